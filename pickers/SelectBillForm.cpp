#include "pickers/SelectBillForm.h"

#include "host/Messages.h"
#include "pickers/CheckDialogs.h"
#include "pickers/PickerData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

TSelectBillForm* SelectBillForm = nullptr;

namespace {

QDateEdit* NewDateEdit(QWidget* parent, const char* name)
{
    auto* e = new QDateEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setCalendarPopup(true);
    e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return e;
}

// The keys of the ticked rows of a list.
QVector<QVariantList> TickedKeys(TClientDataSet* ds, const QStringList& keys)
{
    QVector<QVariantList> out;
    if (!ds->Active() || ds->IsEmpty())
        return out;
    const TField* tick = ds->FindField(kIsSelect);
    QVector<const TField*> fields;
    for (const QString& k : keys)
        fields << ds->FindField(k);
    for (int r = 0; r < ds->RecordCount(); ++r) {
        if (!tick || !ds->RowValue(r, tick->Index()).toBool())
            continue;
        QVariantList v;
        for (const TField* f : fields)
            v << (f ? ds->RowValue(r, f->Index()) : QVariant());
        out << v;
    }
    return out;
}

// A key as text, to find a row again after the list was read anew.
QString KeyText(const QVariantList& values)
{
    QStringList parts;
    for (const QVariant& v : values)
        parts << v.toString();
    return parts.join(u'\x1f');
}

// Ticks again the rows of a list read anew whose keys were ticked.
void Retick(TClientDataSet* ds, const QStringList& keys, const QVector<QVariantList>& ticked)
{
    if (ticked.isEmpty() || !ds->Active() || ds->IsEmpty())
        return;
    QSet<QString> wanted;
    for (const QVariantList& k : ticked)
        wanted.insert(KeyText(k));
    ds->Silence();
    for (ds->First(); !ds->Eof(); ds->Next()) {
        QVariantList key;
        for (const QString& k : keys) {
            const TField* f = ds->FindField(k);
            key << (f ? f->Value() : QVariant());
        }
        if (wanted.contains(KeyText(key))) {
            ds->Edit();
            ds->FieldByName(kIsSelect)->SetValue(true);
            ds->Post();
        }
    }
    ds->First();
    ds->WakeUp();
    emit ds->dataReset();
}

} // namespace

TSelectBillForm::TSelectBillForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TBillSelectBaseForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("SelectBillForm"));
    setWindowTitle(QStringLiteral("选择单据"));

    // the dates and the period menu beside the caption
    FDateBar = new QWidget(plTop);
    auto* bar = new QHBoxLayout(FDateBar);
    bar->setContentsMargins(0, 0, 0, 0);
    BeginDateEdit = NewDateEdit(FDateBar, "BeginDateEdit");
    EndDateEdit = NewDateEdit(FDateBar, "EndDateEdit");
    ExplorerButton2 = new QToolButton(FDateBar);
    ExplorerButton2->setObjectName(QStringLiteral("ExplorerButton2"));
    ExplorerButton2->setText(QStringLiteral("时段选择"));
    ExplorerButton2->setPopupMode(QToolButton::InstantPopup);
    DateSelectPMenu = new QMenu(ExplorerButton2);
    DateSelectPMenu->setObjectName(QStringLiteral("DateSelectPMenu"));
    const QStringList periods = PeriodChoiceTitles();
    for (int i = 0; i < periods.size(); ++i)
        connect(DateSelectPMenu->addAction(periods.at(i)), &QAction::triggered, this, [this, i] { ChoosePeriod(i); });
    ExplorerButton2->setMenu(DateSelectPMenu);
    bar->addWidget(new QLabel(QStringLiteral("起始日期:"), FDateBar));
    bar->addWidget(BeginDateEdit);
    bar->addWidget(new QLabel(QStringLiteral("终止日期:"), FDateBar));
    bar->addWidget(EndDateEdit);
    bar->addWidget(ExplorerButton2);
    static_cast<QHBoxLayout*>(plTop->layout())->addWidget(FDateBar);
    const QDate today = Session().WorkDate.isValid() ? Session().WorkDate : QDate::currentDate();
    BeginDateEdit->setDate(QDate(today.year(), today.month(), 1).addMonths(-2));
    EndDateEdit->setDate(today);
    auto datesChanged = [this] {
        if (!FLoading)
            SetDates(BeginDateEdit->date(), EndDateEdit->date());
    };
    connect(BeginDateEdit, &QDateEdit::dateChanged, this, datesChanged);
    connect(EndDateEdit, &QDateEdit::dateChanged, this, datesChanged);

    // the tick buttons and "show executed bills" left of OK and cancel
    auto* bottom = static_cast<QHBoxLayout*>(plBottom->layout());
    cbExecute = new QCheckBox(QStringLiteral("显示已执行完毕的单据"), plBottom);
    cbExecute->setObjectName(QStringLiteral("cbExecute"));
    btnAll = NewButton(plBottom, "btnAll", "全部选择(&A)");
    btnUnAll = NewButton(plBottom, "btnUnAll", "全部清除(&U)");
    btnReverse = NewButton(plBottom, "btnReverse", "反选(&R)");
    bottom->insertWidget(0, cbExecute);
    bottom->insertWidget(1, btnAll);
    bottom->insertWidget(2, btnUnAll);
    bottom->insertWidget(3, btnReverse);
    connect(cbExecute, &QCheckBox::toggled, this, [this](bool on) {
        Request.ShowExecuted = on;
        OpenMaster();
    });
    connect(btnAll, &QPushButton::clicked, this, [this] { TickAll(taSet); });
    connect(btnUnAll, &QPushButton::clicked, this, [this] { TickAll(taClear); });
    connect(btnReverse, &QPushButton::clicked, this, [this] { TickAll(taInvert); });

    // ticks are the only thing a user changes in the lists
    for (TDBGrid* g : {dgMaster, dgDetail}) {
        g->Model()->ReadOnly = false;
        g->Model()->AutoPost = true;
    }
    Request.BeginDate = BeginDateEdit->date();
    Request.EndDate = EndDateEdit->date();
    Request.BillDate = today;
    Request.ShopID = Session().ShopID;
    Request.ByShop = Session().Online;
    resize(900, 560);
    CaptureDesignBounds();
}

bool TSelectBillForm::PrepareKind(int kind)
{
    const TSelectBillKind* k = SelectBillKind(kind);
    if (!k)
        return false;
    PrepareKind(*k);
    return true;
}

void TSelectBillForm::PrepareKind(const TSelectBillKind& kind)
{
    FKind = kind;
    FormPrivilegeID = kind.Kind;
    laCaption->setText(kind.Caption);
    MasterKeyField = kind.MasterKeys.value(0);
    ReturnFields = kind.ReturnFields;
    DetailSQL = kind.HasDetail() ? kind.DetailFrom : QString();
    MultiSelect = kind.HasDetail();
    // another kind lists other bills: nothing ticked carries over
    cdsMaster->AfterPost = nullptr;
    for (TClientDataSet* ds : {cdsMaster, cdsDetail})
        if (ds->Active())
            ds->Close();
    OpenMaster();
}

void TSelectBillForm::ShowColumns(TKQDBGridMaster& grid, const QVector<TSelectBillColumn>& columns)
{
    grid.Columns.clear();
    for (const TSelectBillColumn& c : columns) {
        const bool tick = c.Field == kIsSelect;
        TSetDBGrid::AddColumnInfo(grid, c.Field, c.Title, c.Width, true, !tick, ftNone, c.Format, tick ? 1 : 0);
    }
    ApplyListedColumns(grid);
}

void TSelectBillForm::LoadList(TClientDataSet* ds, const TSelectStatement& s)
{
    TClientDataSet rows;
    try {
        Connection()->OpenDataSet(s.Sql, &rows, s.Params);
    } catch (const std::exception& e) {
        DefineListFields(ds, {ListField(kIsSelect, TFieldType::ftBoolean)});
        ShowError(QStringLiteral("数据读取失败：") + QString::fromUtf8(e.what()));
        return;
    }
    // the tick as a check box; every other column as the statement gives it
    QVector<TFieldDef> defs = rows.FieldDefs();
    int tick = -1;
    for (int i = 0; i < defs.size(); ++i)
        if (defs[i].Name.compare(kIsSelect, Qt::CaseInsensitive) == 0) {
            defs[i].DataType = TFieldType::ftBoolean;
            defs[i].Name = kIsSelect;
            tick = i;
        }
    DefineListFields(ds, defs);
    ds->DisableControls();
    ds->Silence();
    QVariantList values;
    for (int r = 0; r < rows.RecordCount(); ++r) {
        values.clear();
        for (int c = 0; c < defs.size(); ++c)
            values << (c == tick ? QVariant(false) : rows.RowValue(r, c));
        ds->AppendRecord(values);
    }
    ds->First();
    ds->WakeUp();
    ds->EnableControls();
}

void TSelectBillForm::OpenMaster()
{
    if (FKind.MasterFrom.isEmpty())
        return; // no kind prepared yet
    FLoading = true;
    cdsMaster->AfterPost = nullptr;
    // bills ticked before stay ticked when the list is read anew
    const QVector<QVariantList> ticked = TickedKeys(cdsMaster, FKind.MasterKeys);
    LoadList(cdsMaster, SelectBillMasterStatement(FKind, Request));
    Retick(cdsMaster, FKind.MasterKeys, ticked);
    ShowColumns(MasterGrid, FKind.MasterColumns);
    if (FKind.HasDetail())
        cdsMaster->AfterPost = [this](TClientDataSet*) { MasterTicked(); };
    dgDetail->setVisible(FKind.HasDetail());
    FLoading = false;
    OpenDetail();
}

void TSelectBillForm::MasterTicked()
{
    if (!FLoading)
        OpenDetail();
}

void TSelectBillForm::OpenDetail()
{
    if (!FKind.HasDetail()) {
        cdsDetail->Close();
        return;
    }
    // lines ticked before stay ticked when other bills' lines join them
    const QVector<QVariantList> ticked = TickedKeys(cdsDetail, FKind.DetailKeys);
    LoadList(cdsDetail, SelectBillDetailStatement(FKind, Request, TickedKeys(cdsMaster, FKind.MasterKeys)));
    Retick(cdsDetail, FKind.DetailKeys, ticked);
    ShowColumns(DetailGrid, FKind.DetailColumns);
}

void TSelectBillForm::SetTick(TClientDataSet* ds, bool on)
{
    if (!ds->Active() || ds->IsEmpty())
        return;
    ds->Edit();
    ds->FieldByName(kIsSelect)->SetValue(on);
    ds->Post();
}

void TSelectBillForm::TickAll(TTickAll how)
{
    // the lines shown, or the bills of a kind without lines
    TClientDataSet* ds = FKind.HasDetail() ? cdsDetail : cdsMaster;
    if (!ds->Active() || ds->IsEmpty())
        return;
    const TClientDataSet::TBookmark here = ds->GetBookmark();
    ds->Silence();
    for (ds->First(); !ds->Eof(); ds->Next()) {
        TField* f = ds->FieldByName(kIsSelect);
        const bool on = how == taSet ? true : how == taClear ? false : !(!f->IsNull() && f->AsBoolean());
        ds->Edit();
        f->SetValue(on);
        ds->Post();
    }
    ds->GotoBookmark(here);
    ds->WakeUp();
    emit ds->dataReset();
}

void TSelectBillForm::SetDates(const QDate& begin, const QDate& end)
{
    FLoading = true;
    BeginDateEdit->setDate(begin);
    EndDateEdit->setDate(end);
    FLoading = false;
    Request.BeginDate = begin;
    Request.EndDate = end;
    OpenMaster();
}

void TSelectBillForm::ChoosePeriod(int choice)
{
    const QDate today = Session().WorkDate.isValid() ? Session().WorkDate : QDate::currentDate();
    const auto [begin, end] = PeriodChoiceDates(choice, today, Session().PeriodStart, Session().PeriodEnd);
    SetDates(begin, end);
}

void TSelectBillForm::CollectResult()
{
    MissingFields.clear();
    CollectSelectedBills(FKind, cdsMaster, cdsDetail, Result, &MissingFields);
}

void TSelectBillForm::OkClicked()
{
    if (cdsDetail->Active())
        cdsDetail->CheckBrowseMode();
    cdsMaster->CheckBrowseMode();
    CollectResult();
    for (const QString& name : MissingFields)
        ShowInformation(QStringLiteral("字段没有找到！") + u'\n' + name);
    CloseModal(mrOk);
}

// ====================================================================== purchase expenses

TSelBillForPurAppForm::TSelBillForPurAppForm(TClientConnection* con, TBillSession session, QWidget* owner)
    : TSelectBillForm(con, std::move(session), owner)
{
    setObjectName(QStringLiteral("SelBillForPurAppForm"));
    cbVendor = new QComboBox(DateBar());
    cbVendor->setObjectName(QStringLiteral("cbVendor"));
    cbVendor->setMinimumWidth(160);
    auto* bar = static_cast<QHBoxLayout*>(DateBar()->layout());
    bar->insertWidget(0, new QLabel(QStringLiteral("供应商:"), DateBar()));
    bar->insertWidget(1, cbVendor);
    connect(cbVendor, &QComboBox::activated, this, [this](int index) {
        Request.PartyID = cbVendor->itemData(index).toInt();
        OpenMaster();
    });
}

void TSelBillForPurAppForm::FillVendors()
{
    cbVendor->clear();
    TClientDataSet vendors;
    Connection()->OpenDataSet(QStringLiteral("select clientid, name from v_vendor where closed = 'F' order by code"), &vendors);
    for (vendors.First(); !vendors.Eof(); vendors.Next())
        cbVendor->addItem(vendors.Fields(1)->AsString(), vendors.Fields(0)->AsInteger());
    cbVendor->setCurrentIndex(cbVendor->findData(Request.PartyID));
}

// ====================================================================== entry points

namespace {
// The exported global names the dialog of the call in progress.
struct TCurrentSelectBillForm {
    explicit TCurrentSelectBillForm(TSelectBillForm* f) { SelectBillForm = f; }
    ~TCurrentSelectBillForm() { SelectBillForm = nullptr; }
};
} // namespace

bool ShowSelectBill(int kind, int partyId, TReturnValue* result, const QString& condition, const TSqlParams& params,
                    const QDate& billDate)
{
    auto form = std::make_unique<TSelectBillForm>(g_DefaultCon, TBillSession::FromHost());
    TCurrentSelectBillForm current(form.get());
    form->Result = result;
    if (result)
        result->Clear();
    form->Request.PartyID = partyId;
    form->Request.Condition = condition;
    form->Request.ConditionParams = params;
    if (billDate.isValid()) {
        form->Request.BillDate = billDate;
        if (billDate > form->EndDateEdit->date())
            form->SetDates(form->BeginDateEdit->date(), billDate);
    }
    if (!form->PrepareKind(kind))
        return false;
    return form->ShowModal() == mrOk;
}

bool ShowSelectPurAppBill(int kind, int vendorId, const QDate& date, TReturnValue* result, const QString& condition)
{
    auto form = std::make_unique<TSelBillForPurAppForm>(g_DefaultCon, TBillSession::FromHost());
    TCurrentSelectBillForm current(form.get());
    form->Result = result;
    if (result)
        result->Clear();
    form->Request.PartyID = vendorId;
    form->Request.Condition = condition;
    if (date.isValid()) {
        form->Request.BillDate = date;
        form->SetDates(form->BeginDateEdit->date(), date);
    }
    form->FillVendors();
    TSelectBillKind k = PurchaseAppSelectKind();
    k.Kind = kind > 0 ? kind : k.Kind;
    form->PrepareKind(k);
    return form->ShowModal() == mrOk;
}
