#include "goodsbill/GoodsBillForm.h"

#include "goodsbill/LinePricing.h"
#include "host/Host.h"
#include "host/Lookups.h"
#include "host/Rounding.h"
#include "package/PackageSeams.h"
#include "platform/DBControls.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>

#include <cmath>

namespace {

const QString kCaptionNotice = QStringLiteral("提示");

TField* FieldIn(TClientDataSet* ds, const QString& name)
{
    return name.isEmpty() || !ds || !ds->Active() ? nullptr : ds->FindField(name);
}

void SetIn(TClientDataSet* ds, const QString& name, const QVariant& v)
{
    if (TField* f = FieldIn(ds, name))
        f->SetValue(v);
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

TGoodsBillForm::TGoodsBillForm(QWidget* owner) : TBillStyleForm(owner)
{
    RegisterBillLookups();
    // In multi-branch mode the foot names the bill's branch.
    auto* foot = qobject_cast<QHBoxLayout*>(P_FootForm->layout());
    BranchLabel = new QLabel(P_FootForm);
    BranchLabel->setObjectName(QStringLiteral("BranchLabel"));
    foot->insertWidget(0, BranchLabel);
    BranchLabel->setVisible(Document()->Session().Online);

    ItemDBGrid->CellReadOnly = [this](const QString& field) { return CellReadOnly(field); };
    connect(ItemDBGrid->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& now, const QModelIndex& before) {
        if (now.isValid() && now.column() != before.column())
            if (TField* f = ItemDBGrid->Model()->FieldOfColumn(now.column()))
                ColumnEntered(f->FieldName());
    });
    connect(ItemDBGrid, &TDBGrid::LastCellPassed, this, [this] {
        if (!IsBlankLine())
            StartNewLine();
    });
    connect(ItemDBGrid, &TDBGrid::AppendRequested, this, [this] { StartNewLine(); });
    // the ellipsis of a price cell opens the price dialog
    connect(ItemDBGrid, &TDBGrid::EditButtonClicked, this, [this](const QString& field) {
        const QString key = field.toLower();
        if (key == FieldNames.UnitPrice.toLower() || key == FieldNames.NPrice.toLower() || key == FieldNames.Disc.toLower())
            SetPrice();
    });
    ItemDBGrid->SetColumnEntry(FieldNames.GoodsID, [this](const QString& text) { return EnterGoodsText(text); });
}

TGoodsBillForm::~TGoodsBillForm() = default;

void TGoodsBillForm::InitBillForm()
{
    if (GoodsSettings.BillType == 0)
        GoodsSettings.BillType = BillType;
    if (GoodsSettings.TradeSide == tsNone)
        GoodsSettings.TradeSide = Document()->TradeSide;
    if (!MasterAmountFieldName.trimmed().isEmpty())
        FieldNames.MasterAmount = MasterAmountFieldName.trimmed();
    const TBillSession& session = Document()->Session();
    FPricing = std::make_unique<TLinePricing>(cdsDetail, FieldNames, GoodsSettings,
                                              TPricingOptions::Read([&session](const QString& k) { return session.OptionValue(k); }),
                                              cdsMaster);
    FPricing->SetConnection(Document()->Connection());
    FPricing->OnOtherField = [this](TLineRole role, TField* field) {
        if (role == TLineRole::Goods)
            GoodsChanged(field);
        else if (role == TLineRole::Unit)
            UnitChanged(field);
    };
    TBillStyleForm::InitBillForm();
    if (TPackageSeams::ShowSourceActions)
        TPackageSeams::ShowSourceActions(this);
    FBaseCaption = windowTitle();
    setWindowTitle(FBaseCaption + PeriodCaption());
}

QString TGoodsBillForm::PeriodCaption() const
{
    const QDate start = Document()->Session().PeriodStart;
    if (!start.isValid())
        return QString();
    return QStringLiteral(" [ 进销存期间：") + QString::number(start.year()) + QStringLiteral("年") + QString::number(start.month()) +
           QStringLiteral("月 ") + QStringLiteral("]");
}

QString TGoodsBillForm::GoodsFilter() const
{
    switch (BillType) {
    case 15: return QStringLiteral(" closed='F' and kind <=3 and inf_costingtypeid<>2");
    case 16: return QStringLiteral(" closed='F' and kind <=3");
    case 19: return QStringLiteral(" closed='F' and kind <=3 and inf_costingtypeid<>2 and inf_costingtypeid<>4");
    case 22: case 40: case 44: return QStringLiteral(" closed='F' and  kind <= 3 ");
    default: break;
    }
    return GoodsSettings.TradeSide == tsStock ? QStringLiteral(" closed='F' and  kind <= 3 ") : QStringLiteral(" closed='F' ");
}

// ====================================================================== the grid

void TGoodsBillForm::ApplyBillStyle()
{
    TBillStyleForm::ApplyBillStyle();
    if (TField* shop = FieldIn(cdsMaster, QStringLiteral("shopname")); shop && BranchLabel->isVisible())
        BranchLabel->setText(QStringLiteral("分支机构名称：") + shop->AsString());
}

void TGoodsBillForm::FormatGridColumn(const QString& fieldName)
{
    TBillStyleForm::FormatGridColumn(fieldName);
    const QString key = fieldName.toLower();
    if (IsMoneyField(key) || IsPriceField(key))
        ItemDBGrid->SetColumnDisplayFormat(fieldName, QStringLiteral("0.00"));
    if (key == FieldNames.UnitPrice.toLower() || key == FieldNames.NPrice.toLower() || key == FieldNames.Disc.toLower())
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
    if (ReadOnly() || IsColumnReadOnly(fieldName))
        return true;
    const QString key = fieldName.toLower();
    // Lines taken from other bills are fixed once the bill has moved on.
    if (FieldIn(cdsDetail, FieldNames.ReferBillID) && IntOf(FieldIn(cdsMaster, QStringLiteral("flag"))) != 0)
        return true;
    if ((key == FieldNames.UnitPrice.toLower() || key == FieldNames.NPrice.toLower() || key == FieldNames.Disc.toLower()) && FPricing &&
        FPricing->IsGiftLine())
        return true;
    // Batch, production and expiry dates belong to goods kept in batches only.
    if (key == FieldNames.BatchCode.toLower() || key == QLatin1String("produceddate") || key == FieldNames.ValidDate.toLower()) {
        const TField* ctrl = FieldIn(cdsDetail, QStringLiteral("batchctrl"));
        return !ctrl || ctrl->AsString() != QLatin1String("T");
    }
    // The unit follows the goods: no goods, no unit to choose.
    if (key == FieldNames.UnitID.toLower())
        return IntOf(FieldIn(cdsDetail, FieldNames.GoodsID)) == 0;
    return false;
}

void TGoodsBillForm::ColumnEntered(const QString& fieldName)
{
    // The unit list is built when its editor opens, from the line's goods; the read-only
    // rules are asked by the grid itself for each cell it enters.
    Q_UNUSED(fieldName);
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
    ItemDBGrid->setFocus();
    const int col = ItemDBGrid->FirstEditableColumn();
    const int row = cdsDetail->RecNo() - 1;
    if (col >= 0 && row >= 0 && row < ItemDBGrid->Model()->rowCount())
        ItemDBGrid->setCurrentIndex(ItemDBGrid->Model()->index(row, col));
}

bool TGoodsBillForm::IsBlankLine() const
{
    if (!cdsDetail->Active() || cdsDetail->IsEmpty())
        return false;
    if (cdsDetail->State() != TDataSetState::dsInsert && cdsDetail->State() != TDataSetState::dsEdit)
        return IntOf(FieldIn(cdsDetail, FieldNames.GoodsID)) == 0 && cdsDetail->State() == TDataSetState::dsInsert;
    const TField* goods = FieldIn(cdsDetail, FieldNames.GoodsID);
    return cdsDetail->State() == TDataSetState::dsInsert && goods && IntOf(goods) == 0;
}

void TGoodsBillForm::DeleteDetailLine()
{
    // The cell being edited goes with its line.
    ItemDBGrid->CancelEditor();
    TBillStyleForm::DeleteDetailLine();
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
    if (!cdsDetail->Active() || cdsDetail->IsEmpty() || ReadOnly() || !ItemDBGrid->PostEditor())
        return;
    SetDataSetPost(cdsDetail);
    const TField* goods = FieldIn(cdsDetail, FieldNames.GoodsID);
    const TField* price = FieldIn(cdsDetail, FieldNames.UnitPrice);
    if ((goods && IntOf(goods) == 0) || (price && price->IsNull()))
        return;
    QVariantList values;
    for (int i = 0; i < cdsDetail->FieldCount(); ++i)
        values << cdsDetail->Fields(i)->Value();
    static const QStringList kOwn{QStringLiteral("itemno"), QStringLiteral("refercount"), QStringLiteral("referbillid"),
                                  QStringLiteral("referbillcode"), QStringLiteral("referitemno"), QStringLiteral("refertype")};
    FFilling = true;
    try {
        cdsDetail->Append();
        for (int i = 0; i < cdsDetail->FieldCount(); ++i) {
            TField* f = cdsDetail->Fields(i);
            if (f->ReadOnly || f->FieldKind() != TFieldKind::fkData || kOwn.contains(f->FieldName().toLower()) ||
                f->FieldName().compare(KeyField, Qt::CaseInsensitive) == 0)
                continue;
            f->SetValue(values[i]);
        }
        SetDataSetPost(cdsDetail);
    } catch (...) {
        FFilling = false;
        throw;
    }
    FFilling = false;
    Document()->KeepMasterTotal();
}

void TGoodsBillForm::SetPrice()
{
    if (!FPricing || !FPricing->LineHasGoods()) {
        ShowInformation(QStringLiteral("货品没有输入，不能设置价格."), kCaptionNotice);
        return;
    }
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

int TGoodsBillForm::TakeSourceLines(int sourceKind)
{
    return TPackageSeams::SelectSourceLines ? TPackageSeams::SelectSourceLines(this, sourceKind) : 0;
}

// ====================================================================== line fields

void TGoodsBillForm::DetailNewRecord(TClientDataSet* ds)
{
    TBillStyleForm::DetailNewRecord(ds);
    if (FPricing && !FFilling)
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
    if (FPricing && !FFilling)
        FPricing->DetailFieldChanged(field);
}

void TGoodsBillForm::FillFromGoodsInfo(int getType)
{
    TClientDataSet* d = cdsDetail;
    TClientStoredProc proc(Document()->Connection(), QStringLiteral("getgoodsinfo;1"));
    TProcParams& p = proc.Params;
    p.Add(QStringLiteral("@RETURN_VALUE"), TFieldType::ftInteger, TParamDirection::pdReturnValue);
    const int batchRef = IntOf(FieldIn(d, FieldNames.BatchRefID));
    const std::pair<const char*, int> keys[] = {
        {"@gettype", getType},
        {"@goodsid", IntOf(FieldIn(d, FieldNames.GoodsID))},
        {"@unitid", getType == 1 ? 0 : IntOf(FieldIn(d, FieldNames.UnitID))},
        {"@BillType", BillType},
        {"@CVFlag", GoodsSettings.TradeSide},
        {"@CVID", IntOf(FieldIn(cdsMaster, FieldNames.MasterClientID))},
        {"@BATCHREFID", getType == 1 ? 0 : batchRef},
    };
    for (const auto& [name, value] : keys)
        p.Add(QString::fromLatin1(name), TFieldType::ftInteger).Value = value;
    p.Add(QStringLiteral("@DefaultPrice"), TFieldType::ftFloat, TParamDirection::pdInputOutput, 8).Value = 0.0;
    p.Add(QStringLiteral("@Filter"), TFieldType::ftString, TParamDirection::pdInput, 255).Value = getType == 1 ? GoodsFilter() : QString();
    p.Add(QStringLiteral("@shopid"), TFieldType::ftInteger).Value = IntOf(FieldIn(cdsMaster, QStringLiteral("shopid")));
    p.Add(QStringLiteral("@storeid"), TFieldType::ftInteger).Value = IntOf(FieldIn(cdsMaster, FieldNames.MasterStoreID));
    proc.Open();
    TClientDataSet* rows = proc.Rows();
    const bool found = rows->Active() && !rows->IsEmpty();
    auto col = [rows, found](const char* name) { return found && rows->FindField(QString::fromLatin1(name)) ? rows->FindField(QString::fromLatin1(name))->Value() : QVariant(); };

    if (getType == 1) {
        if (!found || (GoodsSettings.RefuseKind3Goods && col("kind").toInt() == 3)) {
            SetIn(d, FieldNames.GoodsID, found ? QVariant() : QVariant(0));
            return;
        }
        SetIn(d, FieldNames.GoodsCode, col("Code"));
        SetIn(d, FieldNames.GoodsName, col("Name"));
        SetIn(d, FieldNames.UnitID, col("UnitID"));
        SetIn(d, FieldNames.BaseUnit, col("unitname"));
        SetIn(d, QStringLiteral("specs"), col("specs"));
        SetIn(d, QStringLiteral("batchctrl"), col("batchctrl"));
        SetIn(d, QStringLiteral("inf_costingtypeid"), col("inf_costingtypeid"));
        SetIn(d, QStringLiteral("goodskind"), col("kind"));
        for (int i = 1; i <= 10; ++i) {
            const QByteArray n = "goodsuserdef" + QByteArray::number(i);
            SetIn(d, QString::fromLatin1(n), col(n.constData()));
        }
        SetIn(d, FieldNames.ValidDates, col("ValidDates"));
        SetIn(d, FieldNames.ShortName, col("ShortName"));
        if (BillType == 2 || BillType == 3 || BillType == 4 || BillType == 27)
            SetIn(d, QStringLiteral("APRICE"), col("aprice"));
        return;
    }
    const double qty = FieldIn(d, FieldNames.UnitQty) ? cdsDetail->FindField(FieldNames.UnitQty)->AsFloat() : 0.0;
    const double rate = found ? col("unitrate").toDouble() : 1.0;
    SetIn(d, FieldNames.Unit, found ? col("unitname") : QVariant());
    SetIn(d, FieldNames.UnitRate, rate);
    SetIn(d, FieldNames.Quantity, Round(rate * qty, 6));
    SetIn(d, FieldNames.BarCode, found ? col("barcode") : QVariant());
    if (FieldIn(d, QStringLiteral("unitaprice")) && found)
        SetIn(d, QStringLiteral("unitaprice"), Round(col("aprice").toDouble() * rate, 8));
    FPricing->SetDefaultUnitPrice(found ? col("DefaultPrice").toDouble() : 0.0, found ? col("aprice").toDouble() : 0.0);
}

void TGoodsBillForm::GoodsChanged(TField*)
{
    TClientDataSet* d = cdsDetail;
    for (const QString& n : {FieldNames.BatchCode, QStringLiteral("validdate"), FieldNames.BatchRefID, QStringLiteral("produceddate"),
                             QStringLiteral("memo"), FieldNames.ReferBillID, FieldNames.ReferBillCode})
        if (TField* f = FieldIn(d, n); f && !f->IsNull())
            f->SetValue(QVariant());
    if (IntOf(FieldIn(d, FieldNames.GoodsID)) == 0) {
        for (const QString& n : {FieldNames.GoodsCode, FieldNames.GoodsName, FieldNames.UnitID, FieldNames.BaseUnit,
                                 QStringLiteral("specs"), QStringLiteral("batchctrl")})
            SetIn(d, n, QVariant());
        return;
    }
    FillFromGoodsInfo(1);
    if (IntOf(FieldIn(d, FieldNames.GoodsID)) == 0)
        return;
    SetIn(d, FieldNames.FollowUpQty, 0);
    UnitChanged(FieldIn(d, FieldNames.UnitID));
}

void TGoodsBillForm::UnitChanged(TField*)
{
    if (!FieldIn(cdsDetail, FieldNames.GoodsCode) || cdsDetail->FindField(FieldNames.GoodsCode)->AsString().isEmpty())
        return;
    FillFromGoodsInfo(2);
}

// ====================================================================== goods entry

TGoodsEntry TGoodsBillForm::FindGoods(const QString& typed) const
{
    TGoodsEntry e;
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return e;
    TClientConnection* con = Document()->Connection();
    const QString filter = GoodsFilter();
    auto first = [con](const QString& sql, const TSqlParams& params) {
        TClientDataSet rows;
        con->OpenDataSet(sql, &rows, params);
        return rows.IsEmpty() ? QVariantList() : QVariantList{rows.Fields(0)->Value(), rows.FieldCount() > 1 ? rows.Fields(1)->Value() : QVariant()};
    };
    // a goods code
    QVariantList hit = first(QStringLiteral("select goodsid from goods where code = :code and ") + filter, {{QStringLiteral("code"), text}});
    if (!hit.isEmpty()) {
        e.GoodsID = hit[0].toInt();
        return e;
    }
    // a bar code of one of its units
    hit = first(QStringLiteral("select u.goodsid, u.unitid from goodsunit u join goods g on g.goodsid = u.goodsid where u.barcode = :barcode and ") +
                    QString(filter).replace(QStringLiteral("closed"), QStringLiteral("g.closed")).replace(QStringLiteral("kind"), QStringLiteral("g.kind")),
                {{QStringLiteral("barcode"), text}});
    if (!hit.isEmpty()) {
        e.GoodsID = hit[0].toInt();
        e.UnitID = hit[1].toInt();
        return e;
    }
    // a scale label: prefix, weight code, grams, check digit
    const QString prefix = Document()->Session().OptionValue(QStringLiteral("WEIGHTPRECODE")).trimmed();
    if (!prefix.isEmpty() && text.size() == 13 && text.left(2) == prefix) {
        hit = first(QStringLiteral("select goodsid, unitid from goodsunit where weightcode = :weightcode"),
                    {{QStringLiteral("weightcode"), text.mid(2, 5)}});
        bool ok = false;
        const int grams = text.mid(7, 5).toInt(&ok);
        if (!hit.isEmpty() && ok) {
            e.GoodsID = hit[0].toInt();
            e.UnitID = hit[1].toInt();
            e.Quantity = grams * 0.001;
            return e;
        }
    }
    // a name or pinyin initials that name one goods only
    TClientDataSet rows;
    con->OpenDataSet(QStringLiteral("select goodsid from goods where (name = :t or upper(pyassist) = upper(:t)) and ") + filter, &rows,
                     {{QStringLiteral("t"), text}});
    if (rows.RecordCount() == 1)
        e.GoodsID = rows.Fields(0)->AsInteger();
    return e;
}

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
    if (ReadOnly() || !cdsDetail->Active())
        return false;
    const TField* code = FieldIn(cdsDetail, FieldNames.GoodsCode);
    if (code && !cdsDetail->IsEmpty() && code->AsString() == text.trimmed()) {
        ItemDBGrid->SetNextCell(FieldNames.UnitQty);
        return true;
    }
    const TGoodsEntry entry = FindGoods(text);
    if (!entry.Found())
        return false;
    const double qty = entry.Quantity > 0 ? entry.Quantity : 1.0;
    if (Document()->Session().OptionValue(QStringLiteral("SCANADDQTY")) == QLatin1String("1")) {
        int unit = entry.UnitID;
        if (unit == 0)
            unit = Document()->Connection()->ExecuteScalar(QStringLiteral("select unitid from goodsunit where goodsid = :g and unittype = 0"),
                                                           {{QStringLiteral("g"), entry.GoodsID}}).toInt();
        const int row = LineOfGoods(entry.GoodsID, unit);
        if (row >= 0) {
            // One more of what is on the bill already: that line grows, no new line.
            if (IsBlankLine())
                cdsDetail->Cancel();
            else if (cdsDetail->State() == TDataSetState::dsInsert || cdsDetail->State() == TDataSetState::dsEdit)
                cdsDetail->Post();
            cdsDetail->SetRecNo(row + 1);
            TField* q = cdsDetail->FindField(FieldNames.UnitQty);
            cdsDetail->Edit();
            q->SetValue(q->AsFloat() + qty);
            cdsDetail->Post();
            ItemDBGrid->SetNextCell(FieldNames.GoodsID, false);
            return true;
        }
    }
    if (cdsDetail->IsEmpty())
        cdsDetail->Append();
    else if (cdsDetail->State() == TDataSetState::dsBrowse)
        cdsDetail->Edit();
    cdsDetail->FindField(FieldNames.GoodsID)->SetValue(entry.GoodsID);
    if (IntOf(FieldIn(cdsDetail, FieldNames.GoodsID)) != entry.GoodsID)
        return false; // refused by the goods routine (a kind the bill takes no part in)
    if (entry.UnitID > 0 && IntOf(FieldIn(cdsDetail, FieldNames.UnitID)) != entry.UnitID)
        cdsDetail->FindField(FieldNames.UnitID)->SetValue(entry.UnitID);
    if (entry.Quantity > 0)
        SetIn(cdsDetail, FieldNames.UnitQty, entry.Quantity);
    ItemDBGrid->SetNextCell(FieldNames.UnitQty);
    return true;
}
