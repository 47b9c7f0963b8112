#include "platform/DBControls.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>

std::function<void(QWidget*, const QString&)> DBErrorHandler = [](QWidget* control, const QString& message) {
    QMessageBox::warning(control, QStringLiteral("错误"), message);
};

static void ReportError(QWidget* control, const QString& message)
{
    if (DBErrorHandler) DBErrorHandler(control, message);
}

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource(TClientDataSet* ds, QObject* parent) : QObject(parent) { SetDataSet(ds); }

void TDataSource::SetDataSet(TClientDataSet* ds)
{
    if (FDataSet == ds) return;
    if (FDataSet) disconnect(FDataSet, nullptr, this, nullptr);
    FDataSet = ds;
    if (ds) {
        connect(ds, &TClientDataSet::dataReset, this, [this] {
            emit dataReset();
            emit recordChanged();
        });
        connect(ds, &TClientDataSet::currentChanged, this, &TDataSource::recordChanged);
        connect(ds, &TClientDataSet::stateChanged, this, &TDataSource::recordChanged);
        connect(ds, &TClientDataSet::rowChanged, this, [this](int row) {
            emit rowChanged(row);
            if (FDataSet && row == FDataSet->RecNo() - 1) emit recordChanged();
        });
        connect(ds, &QObject::destroyed, this, [this] {
            emit dataSetChanged();
            emit recordChanged();
        });
    }
    emit dataSetChanged();
    emit recordChanged();
}

// ---------------------------------------------------------------- TFieldDataLink

TFieldDataLink::TFieldDataLink(QWidget* control) : FControl(control) {}

void TFieldDataLink::SetDataSource(TDataSource* src)
{
    if (FSource) disconnect(FSource, nullptr, this, nullptr);
    FSource = src;
    if (src) connect(src, &TDataSource::recordChanged, this, &TFieldDataLink::Refresh);
    Refresh();
}

void TFieldDataLink::SetDataField(const QString& name)
{
    FFieldName = name;
    Refresh();
}

TField* TFieldDataLink::Field() const
{
    if (!FSource || !FSource->DataSet() || !FSource->DataSet()->Active() || FFieldName.isEmpty()) return nullptr;
    return FSource->DataSet()->FindField(FFieldName);
}

bool TFieldDataLink::CanModify() const
{
    TField* f = Field();
    return f && !f->ReadOnly && f->FieldKind() == TFieldKind::fkData;
}

bool TFieldDataLink::Write(const QVariant& v)
{
    TField* f = Field();
    if (!f) return false;
    bool ok = true;
    FUpdating = true;
    try {
        f->SetValue(v);
    } catch (const EAbort&) {
        ok = false;
    } catch (const Exception& e) {
        ok = false;
        FUpdating = false;
        ReportError(FControl, e.Message());
    }
    FUpdating = false;
    Refresh(); // show the stored value (converted, truncated or refused)
    return ok;
}

void TFieldDataLink::Refresh()
{
    if (OnRefresh) OnRefresh();
}

// ---------------------------------------------------------------- TDBEdit

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QLineEdit::editingFinished, this, [this] { UpdateRecord(); });
    ShowField();
}

void TDBEdit::ShowField()
{
    TField* f = FLink.Field();
    setReadOnly(!FLink.CanModify());
    const QString text = f ? f->AsString() : QString();
    if (text != this->text()) setText(text);
    setModified(false);
    if (f && f->DataType() == TFieldType::ftString && f->Size() > 0) setMaxLength(f->Size());
}

bool TDBEdit::UpdateRecord()
{
    if (!isModified() || !FLink.CanModify()) return true;
    setModified(false);
    return FLink.Write(text());
}

// ---------------------------------------------------------------- TDBCheckBox

TDBCheckBox::TDBCheckBox(QWidget* parent) : QCheckBox(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QCheckBox::clicked, this, &TDBCheckBox::Toggled);
    ShowField();
}

void TDBCheckBox::ShowField()
{
    TField* f = FLink.Field();
    setEnabled(FLink.CanModify());
    bool on = false;
    if (f && !f->IsNull()) {
        if (f->DataType() == TFieldType::ftBoolean) on = f->AsBoolean();
        else on = f->AsString().compare(ValueChecked, Qt::CaseInsensitive) == 0;
    }
    QSignalBlocker block(this);
    setChecked(on);
}

void TDBCheckBox::Toggled(bool on)
{
    TField* f = FLink.Field();
    if (!f || !FLink.CanModify()) { ShowField(); return; }
    if (f->DataType() == TFieldType::ftBoolean) FLink.Write(on);
    else FLink.Write(on ? ValueChecked : ValueUnchecked);
}

// ---------------------------------------------------------------- TDBDateEdit

TDBDateEdit::TDBDateEdit(QWidget* parent) : QDateTimeEdit(parent), FLink(this)
{
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setCalendarPopup(true);
    setMinimumDate(QDate(1899, 12, 30));
    setSpecialValueText(QStringLiteral(" ")); // the minimum stands for "no date"
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QDateTimeEdit::editingFinished, this, [this] { UpdateRecord(); });
    ShowField();
}

void TDBDateEdit::ShowField()
{
    TField* f = FLink.Field();
    setReadOnly(!FLink.CanModify());
    QSignalBlocker block(this);
    if (f && !f->IsNull()) setDateTime(f->AsDateTime());
    else setDateTime(QDateTime(minimumDate(), QTime(0, 0)));
}

bool TDBDateEdit::UpdateRecord()
{
    TField* f = FLink.Field();
    if (!f || !FLink.CanModify()) return true;
    const QDate shown = date();
    if (shown == minimumDate()) {
        if (f->IsNull()) return true;
        return FLink.Write(QVariant());
    }
    const QDateTime old = f->AsDateTime();
    if (old.isValid() && old.date() == shown) return true;
    const QTime time = old.isValid() ? old.time() : QTime(0, 0);
    if (f->DataType() == TFieldType::ftString) return FLink.Write(shown.toString(QStringLiteral("yyyy-MM-dd")));
    return FLink.Write(QDateTime(shown, time));
}

// ---------------------------------------------------------------- TDBMemo

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!FLink.Updating()) FDirty = true;
    });
    ShowField();
}

void TDBMemo::ShowField()
{
    if (FDirty && hasFocus()) return; // keep what the user is typing
    TField* f = FLink.Field();
    setReadOnly(!FLink.CanModify());
    const QString text = f ? f->AsString() : QString();
    if (text != toPlainText()) {
        QSignalBlocker block(this);
        setPlainText(text);
    }
    FDirty = false;
}

bool TDBMemo::UpdateRecord()
{
    if (!FDirty || !FLink.CanModify()) return true;
    FDirty = false;
    return FLink.Write(toPlainText());
}

void TDBMemo::focusOutEvent(QFocusEvent* e)
{
    UpdateRecord();
    QPlainTextEdit::focusOutEvent(e);
}

// ---------------------------------------------------------------- TDBLookupCombo

TDBLookupCombo::TDBLookupCombo(QWidget* parent) : QComboBox(parent), FLink(this)
{
    FLink.OnRefresh = [this] { ShowField(); };
    connect(this, qOverload<int>(&QComboBox::activated), this, &TDBLookupCombo::Chosen);
}

void TDBLookupCombo::SetListSource(TClientDataSet* list, const QString& keyField, const QString& listField)
{
    if (FList) disconnect(FList, nullptr, this, nullptr);
    FList = list;
    FKeyField = keyField;
    FListField = listField;
    if (list) {
        connect(list, &TClientDataSet::dataReset, this, &TDBLookupCombo::ReloadList);
        connect(list, &TClientDataSet::rowInserted, this, &TDBLookupCombo::ReloadList);
        connect(list, &TClientDataSet::rowRemoved, this, &TDBLookupCombo::ReloadList);
        connect(list, &TClientDataSet::rowChanged, this, [this] {
            if (FList && FList->State() == TDataSetState::dsBrowse) ReloadList();
        });
    }
    ReloadList();
}

void TDBLookupCombo::SetListSource(TDataSource* list, const QString& keyField, const QString& listField)
{
    SetListSource(list ? list->DataSet() : nullptr, keyField, listField);
}

void TDBLookupCombo::ReloadList()
{
    FFilling = true;
    {
        QSignalBlocker block(this);
        clear();
        if (FList && FList->Active()) {
            TField* key = FList->FindField(FKeyField);
            TField* text = FList->FindField(FListField);
            if (key && text)
                for (int r = 0; r < FList->RecordCount(); ++r)
                    addItem(FormatFieldValue(text, FList->RowValue(r, text->Index())), FList->RowValue(r, key->Index()));
        }
    }
    FFilling = false;
    ShowField();
}

void TDBLookupCombo::ShowField()
{
    if (FFilling) return;
    TField* f = FLink.Field();
    setEnabled(FLink.CanModify());
    int found = -1;
    if (f && !f->IsNull()) {
        const QVariant v = f->Value();
        for (int i = 0; i < count() && found < 0; ++i) {
            const QVariant k = itemData(i);
            if (k == v || (k.isValid() && k.toString() == v.toString())) found = i;
        }
    }
    QSignalBlocker block(this);
    setCurrentIndex(found);
}

QVariant TDBLookupCombo::KeyValue() const { return currentIndex() < 0 ? QVariant() : itemData(currentIndex()); }

void TDBLookupCombo::Chosen(int index)
{
    if (index < 0 || !FLink.CanModify()) { ShowField(); return; }
    FLink.Write(itemData(index));
}

// ---------------------------------------------------------------- TDBGrid

class TDBGridFooter : public QWidget {
public:
    explicit TDBGridFooter(TDBGrid* grid) : QWidget(grid), FGrid(grid) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, 0, width(), 0);
        p.setPen(palette().color(QPalette::WindowText));
        QHeaderView* h = FGrid->horizontalHeader();
        for (int c = 0; c < h->count(); ++c) {
            if (h->isSectionHidden(c)) continue;
            const QString text = FGrid->FooterText(c);
            if (text.isEmpty()) continue;
            const QRect cell(h->sectionViewportPosition(c) + 3, 0, h->sectionSize(c) - 6, height());
            TField* f = FGrid->FModel->FieldOfColumn(c);
            const bool numeric = f && f->DataType() != TFieldType::ftString;
            p.drawText(cell, Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft), text);
        }
    }

private:
    TDBGrid* FGrid;
};

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), FModel(new TDataSetModel(nullptr, this))
{
    setModel(FModel);
    FFooter = new TDBGridFooter(this);
    FFooter->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TDBGrid::SyncToDataSet);
    connect(FModel, &TDataSetModel::currentRowChanged, this, &TDBGrid::SyncFromDataSet);
    connect(FModel, &TDataSetModel::editFailed, this, [this](const QString& m) { ReportError(this, m); });
    connect(FModel, &QAbstractItemModel::dataChanged, this, &TDBGrid::RecalcTotals);
    connect(FModel, &QAbstractItemModel::rowsInserted, this, &TDBGrid::RecalcTotals);
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, &TDBGrid::RecalcTotals);
    connect(FModel, &QAbstractItemModel::modelReset, this, &TDBGrid::RecalcTotals);
    connect(horizontalHeader(), &QHeaderView::sectionResized, FFooter, qOverload<>(&QWidget::update));
    connect(horizontalHeader(), &QHeaderView::sectionMoved, FFooter, qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, FFooter, qOverload<>(&QWidget::update));
}

void TDBGrid::SetDataSource(TDataSource* src)
{
    if (FSource) disconnect(FSource, nullptr, this, nullptr);
    FSource = src;
    FModel->SetDataSet(src ? src->DataSet() : nullptr);
    if (src)
        connect(src, &TDataSource::dataSetChanged, this, [this] {
            FModel->SetDataSet(FSource ? FSource->DataSet() : nullptr);
            RecalcTotals();
        });
    RecalcTotals();
    if (FModel->DataSet()) SyncFromDataSet(FModel->DataSet()->RecNo() - 1);
}

void TDBGrid::SetColumnTotal(const QString& fieldName, bool on)
{
    const QString key = fieldName.toLower();
    FTotalFields.removeAll(key);
    if (on) FTotalFields << key;
    if (on && !FShowFooter) SetShowFooter(true);
    RecalcTotals();
}

void TDBGrid::SetShowFooter(bool on)
{
    FShowFooter = on;
    FFooter->setVisible(on);
    updateGeometries();
}

void TDBGrid::RecalcTotals()
{
    FTotals.clear();
    TClientDataSet* ds = FModel->DataSet();
    if (ds && ds->Active()) {
        for (const QString& name : FTotalFields) {
            TField* f = ds->FindField(name);
            if (!f) continue;
            FTotals.insert(name, FormatFieldValue(f, ds->Sum(name)));
        }
    }
    FFooter->update();
}

QString TDBGrid::FooterText(int column) const
{
    TField* f = FModel->FieldOfColumn(column);
    if (!f) return QString();
    const QString key = f->FieldName().toLower();
    if (FTotalFields.contains(key)) return FTotals.value(key);
    // the caption goes into the first shown column that has no total
    for (int c = 0; c < FModel->columnCount(); ++c) {
        if (horizontalHeader()->isSectionHidden(c)) continue;
        TField* g = FModel->FieldOfColumn(c);
        if (g && !FTotalFields.contains(g->FieldName().toLower())) return c == column ? FooterCaption : QString();
    }
    return QString();
}

void TDBGrid::updateGeometries()
{
    QTableView::updateGeometries();
    const int h = FShowFooter ? fontMetrics().height() + 8 : 0;
    const QMargins m = viewportMargins();
    if (m.bottom() != h) setViewportMargins(m.left(), m.top(), m.right(), h);
    if (FShowFooter) {
        const QRect vg = viewport()->geometry();
        FFooter->setGeometry(vg.left(), vg.bottom() + 1, vg.width(), h);
        FFooter->raise();
    }
}

void TDBGrid::SyncFromDataSet(int row)
{
    if (FSyncing) return;
    FSyncing = true;
    const int col = currentIndex().isValid() ? currentIndex().column() : 0;
    if (row >= 0 && row < FModel->rowCount())
        selectionModel()->setCurrentIndex(FModel->index(row, col), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    FSyncing = false;
}

void TDBGrid::SyncToDataSet(const QModelIndex& current, const QModelIndex&)
{
    if (FSyncing || !current.isValid()) return;
    TClientDataSet* ds = FModel->DataSet();
    if (!ds || !ds->Active() || ds->RecNo() == current.row() + 1) return;
    try {
        ds->SetRecNo(current.row() + 1);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ReportError(this, e.Message());
    }
    if (ds->RecNo() != current.row() + 1) SyncFromDataSet(ds->RecNo() - 1);
}
