#include "goodsbill/GoodsBillForm.h"

#include "goodsbill/BillChecks.h"
#include "goodsbill/LinePricing.h"
#include "goodsbill/MasterServices.h"
#include "host/Host.h"
#include "host/Lookups.h"
#include "host/Messages.h"
#include "host/Privileges.h"
#include "host/Rounding.h"
#include "package/PackageSeams.h"
#include "platform/DBControls.h"
#include "services/BillDB.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace {


TField* FieldIn(TClientDataSet* ds, const QString& name)
{
    return name.isEmpty() || !ds || !ds->Active() ? nullptr : ds->FindField(name);
}

int IntOf(const TField* f) { return f && !f->IsNull() ? f->AsInteger() : 0; }

bool IsPriceField(const QString& key)
{
    static const QStringList prices{QStringLiteral("price"),      QStringLiteral("nprice"),     QStringLiteral("unitprice"),
                                    QStringLiteral("taxprice"),   QStringLiteral("aprice"),     QStringLiteral("unitaprice"),
                                    QStringLiteral("sprice"),     QStringLiteral("disprice"),   QStringLiteral("anprice"),
                                    QStringLiteral("aoprice"),    QStringLiteral("deputeprice")};
    return prices.contains(key);
}

bool IsMoneyField(const QString& key)
{
    static const QStringList money{QStringLiteral("goodsamt"), QStringLiteral("taxamt"),   QStringLiteral("amount"),
                                   QStringLiteral("appamt"),   QStringLiteral("discamt"),  QStringLiteral("apriceamt"),
                                   QStringLiteral("total"),    QStringLiteral("totalrcvd"), QStringLiteral("shouldpayamt"),
                                   QStringLiteral("deputesalemoney"), QStringLiteral("margin"), QStringLiteral("material"),
                                   QStringLiteral("labour"),   QStringLiteral("manufacture"), QStringLiteral("assistant")};
    return money.contains(key);
}

} // namespace

namespace {
// Small lists some bills choose from that the host does not keep.
void RegisterBillLookups()
{
    if (LookupSql(QStringLiteral("CombinFlag")).isEmpty())
        RegisterLookup(QStringLiteral("CombinFlag"), QStringLiteral("select 0 as id, '组装' as name union all select 1 as id, '拆卸' as name"));
    if (LookupSql(QStringLiteral("DeputeBillType")).isEmpty())
        RegisterLookup(QStringLiteral("DeputeBillType"),
                       QStringLiteral("select 1 as id, '委托代销' as name union all select 2 as id, '代销退回' as name"));
}
} // namespace

// The engines call back into the form's routines, so that a bill that adds to one is heard
// however the change came (typed, scanned, copied, taken from a source bill).
class TGoodsBillForm::TFormLines : public TGoodsLines {
public:
    TFormLines(TGoodsBillForm* form, TGoodsBillContext* context, TLinePricing* pricing)
        : TGoodsLines(context, pricing), FForm(form)
    {
    }
    void GoodsChanged() override { FForm->GoodsChanged(DField(Context().Names.GoodsID)); }
    void UnitChanged() override { FForm->UnitChanged(DField(Context().Names.UnitID)); }
    void BaseGoodsChanged() { TGoodsLines::GoodsChanged(); }
    void BaseUnitChanged() { TGoodsLines::UnitChanged(); }

private:
    TGoodsBillForm* FForm;
};

class TGoodsBillForm::TFormServices : public TMasterServices {
public:
    TFormServices(TGoodsBillForm* form, TGoodsBillContext* context, TGoodsLines* lines)
        : TMasterServices(context, lines), FForm(form)
    {
    }
    void ClientChanged() override { FForm->ClientChanged(); }
    void BaseClientChanged() { TMasterServices::ClientChanged(); }

private:
    TGoodsBillForm* FForm;
};

TGoodsBillForm::TGoodsBillForm(QWidget* owner) : TBillStyleForm(owner)
{
    RegisterBillLookups();
    // In multi-branch mode the foot names the bill's branch.
    auto* foot = qobject_cast<QHBoxLayout*>(P_FootForm->layout());
    BranchLabel = new QLabel(P_FootForm);
    BranchLabel->setObjectName(QStringLiteral("BranchLabel"));
    foot->insertWidget(0, BranchLabel);
    BranchLabel->setVisible(Document()->Session().Online);
    StockLabel = new QLabel(P_FootForm);
    StockLabel->setObjectName(QStringLiteral("StockLabel"));
    foot->insertWidget(1, StockLabel);

    ItemDBGrid->CellReadOnly = [this](const QString& field) { return CellReadOnly(field); };
    connect(ItemDBGrid->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& now, const QModelIndex& before) {
        if (now.isValid() && now.column() != before.column())
            if (TField* f = ItemDBGrid->Model()->FieldOfColumn(now.column()))
                ColumnEntered(f->FieldName());
        if (now.row() != before.row())
            ScheduleOnHand();
    });
    connect(ItemDBGrid, &TDBGrid::LastCellPassed, this, [this] {
        if (!IsBlankLine())
            StartNewLine();
    });
    connect(ItemDBGrid, &TDBGrid::AppendRequested, this, [this] { StartNewLine(); });
    // the ellipsis of a price cell opens the price dialog, that of the batch cell the batch picker
    connect(ItemDBGrid, &TDBGrid::EditButtonClicked, this, [this](const QString& field) {
        const QString key = field.toLower();
        if (key == FieldNames.UnitPrice.toLower() || key == FieldNames.NPrice.toLower() || key == FieldNames.Disc.toLower())
            SetPrice();
        else if (key == FieldNames.BatchCode.toLower() && FChecks && !IsColumnReadOnly(field))
            PickLineBatch();
        else if (const int kind = TGoodsLines::RememberedKind(field, false); kind && !IsColumnReadOnly(field))
            PickRememberedText(field, kind);
    });
    ItemDBGrid->SetColumnEntry(FieldNames.GoodsID, [this](const QString& text) { return EnterGoodsText(text); });
}

void TGoodsBillForm::PickLineBatch()
{
    if (FChecks)
        FChecks->PickBatch();
}

TGoodsBillForm::~TGoodsBillForm()
{
    // The engines hook the pricing engine; they go first.
    FServices.reset();
    FChecks.reset();
    FLines.reset();
    FPricing.reset();
}

TGoodsLines* TGoodsBillForm::Lines() const { return FLines.get(); }

TMasterServices* TGoodsBillForm::Services() const { return FServices.get(); }

void TGoodsBillForm::CreateEngines()
{
    TBillDocument* doc = Document();
    TClientConnection* con = doc->Connection();
    FContext = TGoodsBillContext();
    FContext.Con = con;
    FContext.Session = doc->Session();
    FContext.Master = cdsMaster;
    FContext.Detail = cdsDetail;
    FContext.Names = FieldNames;
    FContext.Settings = GoodsSettings;
    FContext.MasterTable = MasterTable;
    FContext.KeyField = KeyField;
    FContext.DetailTable = DetailTable;
    // The package's data module is shared by every bill (its goods-info answer is the cache);
    // a window opened without the package keeps one of its own.
    FContext.BillDB = TBillDB::Current();
    if (!FContext.BillDB) {
        FOwnBillDB = std::make_unique<TBillDB>(nullptr, con);
        FContext.BillDB = FOwnBillDB.get();
    }
    // The document may put another prompter in front for a while (the save's checks do).
    FDocPrompts = std::make_unique<TRelayPrompter>([doc]() -> TBillPrompter& { return doc->Prompts(); });
    FContext.Prompter = FDocPrompts.get();
    FContext.BillReadOnly = [this] { return ReadOnly(); };

    const TBillSession& session = FContext.Session;
    FPricing = std::make_unique<TLinePricing>(cdsDetail, FieldNames, GoodsSettings,
                                              TPricingOptions::Read([&session](const QString& k) { return session.OptionValue(k); }),
                                              cdsMaster);
    FPricing->SetConnection(con);
    FLines = std::make_unique<TFormLines>(this, &FContext, FPricing.get());
    FLines->IsColumnReadOnly = [this](const QString& column) { return IsColumnReadOnly(column); };
    FLines->NotCopiedFields = {QStringLiteral("refercount"), QStringLiteral("referbillid"), QStringLiteral("referbillcode"),
                               QStringLiteral("referitemno"), QStringLiteral("refertype")};
    FChecks = std::make_unique<TBillChecks>(&FContext, FLines.get());
    FChecks->Periods = TBillPeriodDates::Read(con, session);
    // empty slots leave the checks saying that the batch dialogs are not installed
    FChecks->BatchPicker = TPackageSeams::PickBatch;
    FChecks->BatchCopyDialog = TPackageSeams::SelectBatchCodeCopy;
    FServices = std::make_unique<TFormServices>(this, &FContext, FLines.get());
}

void TGoodsBillForm::InitBillForm()
{
    if (GoodsSettings.BillType == 0)
        GoodsSettings.BillType = BillType;
    if (GoodsSettings.TradeSide == tsNone)
        GoodsSettings.TradeSide = Document()->TradeSide;
    if (!MasterAmountFieldName.trimmed().isEmpty())
        FieldNames.MasterAmount = MasterAmountFieldName.trimmed();
    CreateEngines();
    TBillStyleForm::InitBillForm();
    if (TPackageSeams::ShowSourceActions)
        TPackageSeams::ShowSourceActions(this);
    FBaseCaption = windowTitle();
    setWindowTitle(FBaseCaption + PeriodCaption());
}

QString TGoodsBillForm::PeriodCaption() const
{
    if (FChecks && FChecks->Periods.InventoryYear > 0)
        return InventoryPeriodCaption(FChecks->Periods.InventoryYear, FChecks->Periods.InventoryMonth);
    const QDate start = Document()->Session().PeriodStart;
    return start.isValid() ? InventoryPeriodCaption(start.year(), start.month()) : QString();
}

QString TGoodsBillForm::GoodsFilter() const { return GoodsListFilter(BillType, GoodsSettings.TradeSide); }

// ====================================================================== the grid

void TGoodsBillForm::ApplyBillStyle()
{
    TBillStyleForm::ApplyBillStyle();
    if (TField* shop = FieldIn(cdsMaster, QStringLiteral("shopname")); shop && BranchLabel->isVisible())
        BranchLabel->setText(BranchFootText(shop->AsString()));
    ShowTaxColumns();
}

void TGoodsBillForm::FormatGridColumn(const QString& fieldName)
{
    TBillStyleForm::FormatGridColumn(fieldName);
    const QString key = fieldName.toLower();
    if (IsMoneyField(key) || IsPriceField(key))
        ItemDBGrid->SetColumnDisplayFormat(fieldName, QStringLiteral("0.00"));
    if (key == FieldNames.UnitPrice.toLower() || key == FieldNames.NPrice.toLower() || key == FieldNames.Disc.toLower()
        || key == FieldNames.BatchCode.toLower() || TGoodsLines::RememberedKind(key, false) != 0)
        ItemDBGrid->SetColumnStyle(fieldName, TColumnStyle::Ellipsis);
    if (key == FieldNames.GoodsID.toLower()) {
        KQParams bag;
        auto* goods = qobject_cast<TClientDataSet*>(
            VariantToObject(GlobalCallEx(QStringLiteral("GETLOOKUPDATASOURCE"), QStringLiteral("GoodsDataSet_DS"), &bag)));
        ItemDBGrid->SetColumnLookup(fieldName, goods, QStringLiteral("goodsid"), QStringLiteral("code"));
        ItemDBGrid->SetColumnStyle(fieldName, TColumnStyle::Lookup);
    } else if (key == FieldNames.UnitID.toLower()) {
        KQParams bag;
        auto* units = qobject_cast<TClientDataSet*>(
            VariantToObject(GlobalCallEx(QStringLiteral("GETLOOKUPDATASOURCE"), QStringLiteral("GoodsUnit_DS"), &bag)));
        ItemDBGrid->SetColumnLookup(fieldName, units, QStringLiteral("unitid"), QStringLiteral("unitname"));
        ItemDBGrid->SetColumnStyle(fieldName, TColumnStyle::Lookup);
        // the unit list offers only the units of the line's goods
        ItemDBGrid->SetColumnLookupFilter(fieldName, QStringLiteral("goodsid"), [this] {
            return FieldIn(cdsDetail, FieldNames.GoodsID) ? cdsDetail->FindField(FieldNames.GoodsID)->Value() : QVariant();
        });
    }
}

bool TGoodsBillForm::IsColumnReadOnly(const QString&) { return false; }

bool TGoodsBillForm::CellReadOnly(const QString& fieldName)
{
    if (ReadOnly())
        return true;
    // The line engine's rules: the bill, the bill's own column rule, lines taken from bills
    // that moved on, prices of gift lines, batches of goods kept without batches.
    if (FLines ? FLines->ColumnEntered(fieldName).ReadOnly : IsColumnReadOnly(fieldName))
        return true;
    const QString key = fieldName.toLower();
    // Production and expiry dates, like the batch, belong to goods kept in batches only.
    if (key == QLatin1String("produceddate") || key == FieldNames.ValidDate.toLower()) {
        const TField* ctrl = FieldIn(cdsDetail, QStringLiteral("batchctrl"));
        return !ctrl || ctrl->AsString().trimmed() != QLatin1String("T");
    }
    // The unit follows the goods: no goods, no unit to choose.
    if (key == FieldNames.UnitID.toLower())
        return IntOf(FieldIn(cdsDetail, FieldNames.GoodsID)) == 0;
    return false;
}

void TGoodsBillForm::ColumnEntered(const QString& fieldName)
{
    // The read-only rules are asked by the grid for each cell it enters; entering the unit
    // column sets the engine's unit filter, which the unit editor reads when it opens.
    if (FLines)
        FLines->ColumnEntered(fieldName);
}

void TGoodsBillForm::StartNewLine()
{
    if (!AInsertLine->isEnabled() || !AInsertLine->isVisible())
        return;
    InsertDetailLine();
}

void TGoodsBillForm::InsertDetailLine()
{
    if (!cdsDetail->Active() || !ItemDBGrid->PostEditor())
        return;
    // An opened line without goods is the new line already.
    if (IsBlankLine()) {
        ItemDBGrid->setFocus();
        return;
    }
    if (!Document()->AppendLine())
        return;
    PublishEditMenu();
    ItemDBGrid->setFocus();
    const int col = ItemDBGrid->FirstEditableColumn();
    const int row = cdsDetail->RecNo() - 1;
    if (col >= 0 && row >= 0 && row < ItemDBGrid->Model()->rowCount())
        ItemDBGrid->setCurrentIndex(ItemDBGrid->Model()->index(row, col));
}

bool TGoodsBillForm::IsBlankLine() const
{
    if (!cdsDetail->Active() || cdsDetail->IsEmpty() || cdsDetail->State() != TDataSetState::dsInsert)
        return false;
    const TField* goods = FieldIn(cdsDetail, FieldNames.GoodsID);
    return goods && IntOf(goods) == 0;
}

void TGoodsBillForm::DeleteDetailLine()
{
    // The cell being edited goes with its line.
    ItemDBGrid->CancelEditor();
    TBillStyleForm::DeleteDetailLine();
    PublishEditMenu();
}

void TGoodsBillForm::PickRememberedText(const QString& fieldName, int kind)
{
    if (!TPackageSeams::SelectUserDef) {
        ShowNotInstalled(QStringLiteral("用户自定义字段"));
        return;
    }
    const TField* f = cdsDetail->Active() ? cdsDetail->FindField(fieldName) : nullptr;
    const QString caption = f && !f->DisplayLabel.isEmpty() ? f->DisplayLabel : QStringLiteral("用户自定义字段");
    if (!ItemDBGrid->PostEditor())
        return;
    TPackageSeams::SelectUserDef(kind, caption, cdsDetail, fieldName);
}

void TGoodsBillForm::OnDetailStateChanged(bool readOnly)
{
    TBillStyleForm::OnDetailStateChanged(readOnly);
    PublishEditMenu();
}

void TGoodsBillForm::BuildMasterArea()
{
    TBillStyleForm::BuildMasterArea();
    PublishEditMenu();
}

bool TGoodsBillForm::PostAndValidate()
{
    if (MasterDetailBill && !ItemDBGrid->PostEditor())
        return false;
    // The empty line the clerk's last Enter opened is not part of the bill.
    if (MasterDetailBill && IsBlankLine()) {
        ItemDBGrid->closePersistentEditor(ItemDBGrid->currentIndex());
        cdsDetail->Cancel();
    }
    return TBillStyleForm::PostAndValidate();
}

void TGoodsBillForm::CopyDetailLine()
{
    if (!FLines || !cdsDetail->Active() || cdsDetail->IsEmpty() || ReadOnly() || !ItemDBGrid->PostEditor())
        return;
    QStringList keep = FLines->NotCopiedFields;
    // What the line may not be given is not copied either (names shown from other tables).
    for (int i = 0; i < cdsDetail->FieldCount(); ++i)
        if (cdsDetail->Fields(i)->ReadOnly)
            FLines->NotCopiedFields << cdsDetail->Fields(i)->FieldName();
    const bool copied = FLines->CopyLine();
    FLines->NotCopiedFields = keep;
    if (copied)
        Document()->KeepMasterTotal();
}

void TGoodsBillForm::SetPrice()
{
    if (!FLines || !FLines->CanSetPrice())
        return;
    if (TPackageSeams::SetLinePrice) {
        TPackageSeams::SetLinePrice(this);
        // kept or put back, the line's amount may differ from what the total counted
        Document()->KeepMasterTotal();
    }
}

void TGoodsBillForm::ImportDetailLines()
{
    if (TPackageSeams::ImportDetailLines)
        TPackageSeams::ImportDetailLines(this);
}

void TGoodsBillForm::CopyBatchCode()
{
    if (FChecks && MasterDetailBill && cdsDetail->Active())
        FChecks->CopyBatchCode();
}

void TGoodsBillForm::ShowProcess(int kind)
{
    if (CurrentBillID <= 0)
        return; // a bill not yet saved has no follow-up bills
    if (!TPackageSeams::ProcessSelect) {
        ShowInformation(QStringLiteral("该功能模块没有安装：过程"));
        return;
    }
    TPackageSeams::ProcessSelect(kind, BillType, CurrentBillID);
}

int TGoodsBillForm::TakeSourceLines(int sourceKind)
{
    return TPackageSeams::SelectSourceLines ? TPackageSeams::SelectSourceLines(this, sourceKind) : 0;
}

// ====================================================================== line fields

void TGoodsBillForm::DetailNewRecord(TClientDataSet* ds)
{
    TBillStyleForm::DetailNewRecord(ds);
    // A copied line brings its own figures.
    if (FPricing && FContext.WriteDepth == 0)
        FPricing->DetailNewRecord();
    // Figures a line cannot be stored without start at 0; the goods and unit are chosen.
    for (const QString& name : RequiredDetailFields.split(u',', Qt::SkipEmptyParts)) {
        TField* f = FieldIn(ds, name.trimmed());
        if (f && f->IsNull() && f->FieldName().compare(FieldNames.GoodsID, Qt::CaseInsensitive) != 0 &&
            f->FieldName().compare(FieldNames.UnitID, Qt::CaseInsensitive) != 0 &&
            (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftCurrency || f->DataType() == TFieldType::ftInteger))
            f->SetValue(0);
    }
}

void TGoodsBillForm::DetailFieldChanged(TField* field)
{
    TBillStyleForm::DetailFieldChanged(field);
    if (FLines)
        FLines->DetailFieldChanged(field);
}

void TGoodsBillForm::GoodsChanged(TField*)
{
    if (FLines)
        FLines->BaseGoodsChanged();
    ScheduleOnHand();
}

void TGoodsBillForm::ScheduleOnHand()
{
    // Walking the lines (a check, a total) moves the cursor many times: one read afterwards.
    if (FOnHandPending)
        return;
    FOnHandPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FOnHandPending = false;
            StockLabel->setText(FChecks && MasterDetailBill && cdsDetail->Active() ? FChecks->OnHandText() : QString());
        },
        Qt::QueuedConnection);
}

void TGoodsBillForm::UnitChanged(TField*)
{
    if (FLines)
        FLines->BaseUnitChanged();
}

// ====================================================================== master fields, checks

void TGoodsBillForm::OnMasterFieldChanged(TField* field)
{
    TBillStyleForm::OnMasterFieldChanged(field);
    if (FServices)
        FServices->MasterFieldChanged(field);
    if (field->FieldName().compare(FieldNames.MasterBillTypeID, Qt::CaseInsensitive) == 0)
        RefreshFieldState(field->FieldName());
    else if (field->FieldName().compare(FieldNames.MasterStoreID, Qt::CaseInsensitive) == 0)
        ScheduleOnHand();
}

void TGoodsBillForm::ClientChanged()
{
    if (!FServices)
        return;
    const int lines = cdsDetail->Active() ? cdsDetail->RecordCount() : 0;
    const int current = cdsDetail->Active() ? cdsDetail->RecNo() : 0;
    FServices->BaseClientChanged();
    if (!cdsDetail->Active())
        return;
    // The previous partner's source lines went: the totals follow. Otherwise the clerk stays
    // on the line he was on, whichever lines the partner change looked at.
    if (cdsDetail->RecordCount() != lines)
        Document()->KeepMasterTotal();
    else if (current > 0 && cdsDetail->RecNo() != current)
        cdsDetail->SetRecNo(current);
}

void TGoodsBillForm::RefreshFieldState(const QString& fieldName)
{
    TBillStyleForm::RefreshFieldState(fieldName);
    if (fieldName.isEmpty() || fieldName.compare(QLatin1String("flag"), Qt::CaseInsensitive) == 0 ||
        fieldName.compare(FieldNames.MasterBillTypeID, Qt::CaseInsensitive) == 0)
        ShowTaxColumns();
}

void TGoodsBillForm::ShowTaxColumns()
{
    if (!FServices || !MasterDetailBill || !cdsDetail->Active() || !FieldIn(cdsMaster, FieldNames.MasterBillTypeID))
        return;
    const TTaxColumns tax = FServices->TaxColumns();
    if (!tax.Applies)
        return;
    // Only columns the template shows are shown; the rule hides some of them.
    auto show = [this](const QString& field, bool on) {
        const int col = ItemDBGrid->Model()->ColumnOfField(field);
        if (col < 0)
            return;
        const auto& layout = ItemDBGrid->ColumnLayout();
        const bool inTemplate = std::any_of(layout.cbegin(), layout.cend(), [&field](const TGridColumnLayout& c) {
            return c.Field.compare(field, Qt::CaseInsensitive) == 0;
        });
        ItemDBGrid->setColumnHidden(col, !(inTemplate && on));
    };
    show(FieldNames.TaxPrice, tax.TaxPrice);
    show(FieldNames.GoodsAmt, tax.GoodsAmt);
    show(FieldNames.TaxAmt, tax.TaxAmt);
    show(FieldNames.TaxRate, tax.TaxRate);
    if (TField* amount = FieldIn(cdsDetail, FieldNames.Amount); amount && !tax.AmountTitle.isEmpty() && amount->DisplayLabel != tax.AmountTitle) {
        amount->DisplayLabel = tax.AmountTitle;
        const int col = ItemDBGrid->Model()->ColumnOfField(FieldNames.Amount);
        emit ItemDBGrid->Model()->headerDataChanged(Qt::Horizontal, col, col);
    }
}

bool TGoodsBillForm::ValidateMaster()
{
    return TBillStyleForm::ValidateMaster() && (!FChecks || FChecks->ValidateMaster());
}

bool TGoodsBillForm::ValidateDetail()
{
    if (!TBillStyleForm::ValidateDetail())
        return false;
    // Lines of income and expense kinds have no goods: the goods checks are not theirs.
    if (!FChecks || !MasterDetailBill || !FieldIn(cdsDetail, FieldNames.GoodsID))
        return true;
    return FChecks->ValidateDetail();
}

bool TGoodsBillForm::CanDeleteBill() { return TBillStyleForm::CanDeleteBill() && (!FChecks || FChecks->CanDeleteBill()); }

// ====================================================================== goods entry

int TGoodsBillForm::LineOfGoods(int goodsId, int unitId) const
{
    const TField* g = FieldIn(cdsDetail, FieldNames.GoodsID);
    const TField* u = FieldIn(cdsDetail, FieldNames.UnitID);
    if (!g)
        return -1;
    const int current = cdsDetail->RecNo() - 1;
    for (int r = 0; r < cdsDetail->RecordCount(); ++r) {
        if (r == current)
            continue;
        if (cdsDetail->RowValue(r, g->Index()).toInt() != goodsId)
            continue;
        if (u && unitId > 0 && cdsDetail->RowValue(r, u->Index()).toInt() != unitId)
            continue;
        return r;
    }
    return -1;
}

bool TGoodsBillForm::EnterGoodsText(const QString& text)
{
    if (ReadOnly() || !cdsDetail->Active() || !FLines)
        return false;
    const bool newLine = cdsDetail->IsEmpty() || IsBlankLine();
    const TGoodsEntry how = FLines->EnterGoodsText(text);
    FLines->ClearFocusRequest();
    if (how == TGoodsEntry::NotFound)
        return false;
    if (how != TGoodsEntry::Unchanged && newLine && Document()->Session().OptionValue(QStringLiteral("SCANADDQTY")) == QLatin1String("1")) {
        const int row = LineOfGoods(IntOf(FieldIn(cdsDetail, FieldNames.GoodsID)), IntOf(FieldIn(cdsDetail, FieldNames.UnitID)));
        if (row >= 0) {
            // One more of what is on the bill already: that line grows, no new line.
            const double qty = how == TGoodsEntry::ScaleLabel ? cdsDetail->FindField(FieldNames.UnitQty)->AsFloat() : 1.0;
            cdsDetail->Cancel();
            cdsDetail->SetRecNo(row + 1);
            TField* q = cdsDetail->FindField(FieldNames.UnitQty);
            cdsDetail->Edit();
            q->SetValue(q->AsFloat() + qty);
            cdsDetail->Post();
            Document()->KeepMasterTotal();
            ItemDBGrid->SetNextCell(FieldNames.GoodsID, false);
            return true;
        }
    }
    ItemDBGrid->SetNextCell(FieldNames.UnitQty);
    return true;
}
