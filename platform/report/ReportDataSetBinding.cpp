// Binding of client datasets, kept apart so that programs that print from plain values
// do not pull in the dataset library.
#include "platform/DataSet.h"
#include "platform/report/ReportControl.h"

namespace {

// Reads the visible rows of a dataset by index, leaving its cursor where the caller has it.
class TDataSetRowSource : public TReportRowSource {
public:
    explicit TDataSetRowSource(const TClientDataSet* ds) : FDataSet(ds), FGuard(const_cast<TClientDataSet*>(ds)) {}

    int RowCount() const override { return Alive() ? FDataSet->RecordCount() : 0; }
    void Prepare() override { FIndexes.clear(); }
    QVariant Value(int row, const QString& field) const override
    {
        if (!Alive())
            return {};
        // Keyed by the name as asked for: a template asks with the same few names on every
        // row, so the lookup costs no new string.
        auto it = FIndexes.constFind(field);
        if (it == FIndexes.constEnd()) {
            const TField* f = FDataSet->FindField(field);
            it = FIndexes.insert(field, f ? f->Index() : -1);
        }
        return it.value() < 0 ? QVariant() : FDataSet->RowValue(row, it.value());
    }

private:
    bool Alive() const { return FGuard && FDataSet->Active(); }
    const TClientDataSet* FDataSet;
    QPointer<QObject> FGuard;
    mutable QHash<QString, int> FIndexes;
};

} // namespace

void TReportControl::SetMasterSource(const TClientDataSet* master)
{
    FMasterValues.clear();
    FMasterReader = nullptr;
    if (master) {
        // The current row is read at print time, so edits made after binding are printed.
        QPointer<QObject> guard(const_cast<TClientDataSet*>(master));
        FMasterReader = [master, guard](const QString& field) -> QVariant {
            if (!guard || !master->Active() || master->IsEmpty())
                return {};
            const TField* f = master->FindField(field);
            return f ? f->Value() : QVariant();
        };
    }
    Invalidate();
}

void TReportControl::SetDataSource(const TClientDataSet* detail)
{
    SetDetailSource(detail ? std::make_shared<TDataSetRowSource>(detail) : nullptr);
}
