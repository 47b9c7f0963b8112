#include "pickers/ImportWizardLines.h"

#include "goodsbill/GoodsLines.h"
#include "pickers/ImportWizardForm.h"
#include "pickers/SelectBillLines.h"

#include <memory>

int AppendImportLines(TGoodsLines& lines, const QVector<TImportLine>& rows, const std::function<void(int)>& progress)
{
    TGoodsBillContext& ctx = lines.Context();
    TClientDataSet* d = ctx.Detail;
    const TGoodsFieldNames& n = ctx.Names;
    if (!d || !d->Active())
        return 0;
    // each field written is handed to the engine, as the window hands on what is typed
    auto type = [&](const QString& field, const QVariant& value) {
        if (TField* f = d->FindField(field)) {
            f->SetValue(value);
            lines.DetailFieldChanged(f);
        }
    };
    d->CheckBrowseMode();
    int added = 0;
    for (const TImportLine& row : rows) {
        d->Append();
        type(n.GoodsID, row.GoodsID);
        const TField* unit = d->FindField(n.UnitID);
        if (unit && unit->AsInteger() != row.UnitID)
            type(n.UnitID, row.UnitID);
        type(n.UnitQty, row.Quantity);
        if (row.HasPrice)
            type(n.UnitPrice, row.Price);
        d->Post();
        ++added;
        if (progress)
            progress(added);
    }
    return added;
}

int ImportLinesInto(const TBillLinesSetup& bill)
{
    if (!bill.Detail || !bill.Detail->Active() || (bill.ReadOnly && bill.ReadOnly()))
        return 0;
    bill.Master->CheckBrowseMode();
    bill.Detail->CheckBrowseMode();
    auto wizard = std::make_unique<TBillLoadDetailForm>(bill.Con, bill.Session);
    wizard->AppendLines = [&bill](const QVector<TImportLine>& rows, const std::function<void(int)>& progress) {
        TFormLineEngine engine(bill);
        int added = 0;
        {
            const TFieldChangesTakenOver quiet(bill.Detail, nullptr);
            added = AppendImportLines(engine.Lines(), rows, progress);
        }
        if (bill.LinesChanged)
            bill.LinesChanged();
        return added;
    };
    if (wizard->ShowModal() != mrOk)
        return 0;
    return wizard->Added();
}
