#include "goodsbill/GoodsLines.h"

#include "billcore/BillDocument.h"
#include "goodsbill/LinePricing.h"
#include "host/Registry.h"
#include "host/Rounding.h"
#include "platform/Exceptions.h"
#include "services/BillDB.h"
#include "webrpc/Connection.h"

#include <cmath>

// Choices the rules leave open, made once here:
// - "BILLSORT" = "1" orders the lines by goods code; any other value by line number.
// - A goods id of 0 counts as no goods, like an empty one.
// - Clearing the goods also clears the line's unit name, so that no unit is shown for
//   a line without goods; the amounts stay as they were.
// - Typed goods text: bar code first, then scale label, then exact code, name and pinyin
//   initials, and last a text that begins exactly one goods' code, name or initials.
//   Nothing matched and refused goods leave the line as it was, without a message.
// - A shelf life of 0 days counts as none: the expiry date is then left alone.
// - The kind name of a remembered text is the caption of the field it was typed in.
// - A source line's remaining quantity is rounded to 6 decimals; "not on purchase
//   orders" means that lines taken from a purchase order keep their own discount.
// - The salesman of the source goes to the master's salesman field, or to "empid" when
//   the receiving bill is a consignment sale.

namespace {

const QString kMemo = QStringLiteral("memo");
const QString kProducedDate = QStringLiteral("produceddate");
const QString kReferType = QStringLiteral("refertype");
const QString kItemNo = QStringLiteral("itemno");
const QString kSpecs = QStringLiteral("specs");
const QString kBatchCtrl = QStringLiteral("batchctrl");

constexpr int kConsignmentOpeningBill = 29;
constexpr int kConsignmentSaleBill = 27;

TField* FindIn(const TClientDataSet* ds, const QString& name)
{
    return ds && ds->Active() && !name.isEmpty() ? ds->FindField(name) : nullptr;
}

bool IsNullOrZero(const TField* f)
{
    if (!f || f->IsNull())
        return true;
    bool ok = false;
    const double v = f->Value().toDouble(&ok);
    return ok ? v == 0 : f->AsString().trimmed().isEmpty();
}

} // namespace

// ====================================================================== engine base

TGoodsEngine::TGoodsEngine(TGoodsBillContext* context) : FCtx(context)
{
    if (!FCtx->Prompter)
        FOwnPrompter = std::make_unique<TBillPrompter>();
}

TGoodsEngine::~TGoodsEngine() = default;

TField* TGoodsEngine::MField(const QString& name) const { return FindIn(FCtx->Master, name); }

TField* TGoodsEngine::DField(const QString& name) const { return HasCurrentLine() ? FindIn(FCtx->Detail, name) : nullptr; }

bool TGoodsEngine::HasCurrentLine() const
{
    const TClientDataSet* d = FCtx->Detail;
    if (!d || !d->Active())
        return false;
    const TDataSetState state = d->State();
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert || !d->IsEmpty();
}

double TGoodsEngine::Num(const TField* f)
{
    if (!f)
        return 0;
    const QVariant value = f->Value();
    if (value.isNull() || !value.isValid())
        return 0;
    bool ok = false;
    const double v = value.toDouble(&ok);
    return ok ? v : 0;
}

int TGoodsEngine::Int(const TField* f)
{
    const double v = Num(f);
    return std::isfinite(v) && std::abs(v) < 2e9 ? int(v) : 0;
}

QString TGoodsEngine::Text(const TField* f) { return f ? f->AsString() : QString(); }

bool TGoodsEngine::Put(TField* f, const QVariant& value)
{
    if (!f)
        return false;
    f->SetValue(value);
    return true;
}

TBillPrompter& TGoodsEngine::Prompts() const { return FCtx->Prompter ? *FCtx->Prompter : *FOwnPrompter; }

void TGoodsEngine::Notice(const QString& text, const QString& caption) { Prompts().Notice(text, caption); }

bool TGoodsEngine::Ask(const QString& text, const QString& caption) { return Prompts().YesNo(text, caption); }

void TGoodsEngine::FocusMaster(const QString& name)
{
    FFocusField = name;
    FFocusMaster = true;
    if (TField* f = MField(name))
        Prompts().FocusField(f);
}

void TGoodsEngine::FocusLine(const QString& name)
{
    FFocusField = name;
    FFocusMaster = false;
    if (TField* f = DField(name))
        Prompts().FocusField(f);
}

bool TGoodsEngine::RefuseAtMaster(const QString& text, const QString& field, const QString& caption)
{
    Notice(text, caption);
    FocusMaster(field);
    return false;
}

bool TGoodsEngine::RefuseAtLine(const QString& text, const QString& field, const QString& caption)
{
    Notice(text, caption);
    FocusLine(field);
    return false;
}

QString TGoodsEngine::PartnerMessage() const
{
    switch (TradeSide()) {
    case tsSales: return QStringLiteral("请选择客户！");
    case tsPurchase: return QStringLiteral("请选择供应商！");
    default: return QStringLiteral("请选择往来单位！");
    }
}

// ====================================================================== pure rules

TColumnEntry ColumnEntryRule(const TColumnState& s, const TGoodsFieldNames& n)
{
    TColumnEntry e;
    e.ReadOnly = s.BillReadOnly || s.ColumnRuleReadOnly || (s.LinesCarrySource && s.MasterFlagSet);
    auto is = [&s](const QString& name) { return !name.isEmpty() && s.Column.compare(name, Qt::CaseInsensitive) == 0; };
    if (is(n.UnitPrice) || is(n.NPrice) || is(n.Disc)) {
        e.ReadOnly = e.ReadOnly || s.GiftLine;
        if (!e.ReadOnly && s.HasGoods)
            e.Button = TCellButton::SetPrice;
    } else if (is(n.BatchCode)) {
        e.ReadOnly = e.ReadOnly || !s.BatchControlled;
        if (!e.ReadOnly)
            e.Button = TCellButton::PickBatch;
    } else if (TGoodsLines::RememberedKind(s.Column, false) != 0) {
        if (!e.ReadOnly)
            e.Button = TCellButton::RememberedTexts;
    }
    return e;
}

QString GoodsListFilter(int billType, int tradeSide)
{
    switch (billType) {
    case 15: return QStringLiteral(" closed='F' and kind <=3 and inf_costingtypeid<>2");
    case 16: return QStringLiteral(" closed='F' and kind <=3");
    case 19: return QStringLiteral(" closed='F' and kind <=3 and inf_costingtypeid<>2 and inf_costingtypeid<>4");
    case 22:
    case 40:
    case 44: return QStringLiteral(" closed='F' and  kind <= 3 ");
    // a discount is no goods a consignee can hold
    case kConsignmentSaleBill: return QStringLiteral(" closed='F' and kind <> 7");
    default: break;
    }
    return tradeSide == tsStock ? QStringLiteral(" closed='F' and  kind <= 3 ") : QStringLiteral(" closed='F' ");
}

QString DetailOrderClause(const QString& billSortOption)
{
    return billSortOption.trimmed() == QLatin1String("1") ? QStringLiteral(" order by g.code")
                                                          : QStringLiteral("  order by d.itemno");
}

QString InventoryPeriodCaption(int year, int month)
{
    return QStringLiteral(" [ 进销存期间：") + QString::number(year) + QStringLiteral("年") + QString::number(month)
           + QStringLiteral("月 ") + QStringLiteral("]");
}

QString BranchFootText(const QString& shopName) { return QStringLiteral("分支机构名称：") + shopName; }

const TSourceKindInfo& SourceKindInfo(TSourceKind kind)
{
    using S = TSourceKind;
    static const TSourceKindInfo kinds[] = {
        {S::PurchaseOrder, 6, "orderid", {QStringLiteral("rcvdqty")}, ""},
        {S::SalesOrder, 1, "sorderid", {QStringLiteral("takeqty")}, ""},
        {S::GoodsReceipt, 7, "recievedid", {QStringLiteral("returnqty")}, " and a.flag = 0 "},
        {S::CashPurchase, 26, "crecievedid", {QStringLiteral("returnqty")}, " and a.flag = 0 "},
        {S::ValuedReceipt, 22, "billid", {QStringLiteral("returnqty")}, " and a.billtype=0 and a.flag <> 2"},
        {S::Invoice, 2, "invoiceid", {QStringLiteral("returnqty")}, " and a.flag = 0 "},
        {S::CashSale, 3, "csaleid", {QStringLiteral("returnqty")}, " and a.flag = 0 "},
        {S::ConsignmentSale, 27, "deputesaleid", {QStringLiteral("settledqty"), QStringLiteral("returnqty")},
         " and a.billtype<>2 and a.flag <> 2"},
        {S::ConsignmentSettlement, 28, "deputesettlementid", {QStringLiteral("returnqty")}, " and a.flag = 0 "},
        {S::MaterialDraw, 10, "drawitemid", {QStringLiteral("backqty")}, " and a.flag = 0 "},
        {S::SalesReturn, 4, "returnid", {QStringLiteral("badqty"), QStringLiteral("exeqty")}, ""},
        {S::Quotation, 44, "quotationid", {}, ""},
        {S::DeliveryRequest, 41, "ASKID", {QStringLiteral("DELIQTY")}, ""},
        {S::DeliveryOrder, 42, "DELIVERID", {QStringLiteral("ALLOTQTY")}, ""},
        {S::BillsToSettle, 0, "billid", {}, ""},
    };
    for (const TSourceKindInfo& k : kinds)
        if (k.Kind == kind)
            return k;
    return kinds[0];
}

// ====================================================================== goods lines

TGoodsLines::TGoodsLines(TGoodsBillContext* context, TLinePricing* pricing) : TGoodsEngine(context), FPricing(pricing)
{
    BillSort = Option(QStringLiteral("BILLSORT"));
    if (FPricing)
        FPricing->OnOtherField = [this](TLineRole role, TField* field) { OtherFieldChanged(role, field); };
}

TGoodsLines::~TGoodsLines()
{
    if (FPricing)
        FPricing->OnOtherField = nullptr;
}

TLineRole TGoodsLines::DetailFieldChanged(TField* field)
{
    if (!field || Context().WriteDepth > 0)
        return TLineRole::None;
    if (FPricing)
        return FPricing->DetailFieldChanged(field);
    const TLineRole role = Context().Names.RoleOf(field->FieldName());
    OtherFieldChanged(role, field);
    return role;
}

void TGoodsLines::OtherFieldChanged(TLineRole role, TField* field)
{
    switch (role) {
    case TLineRole::Goods: GoodsChanged(); break;
    case TLineRole::Unit: UnitChanged(); break;
    case TLineRole::ProducedDate: ProducedDateChanged(); break;
    case TLineRole::BatchCode: BatchCodeChanged(); break;
    case TLineRole::UserDef: UserDefChanged(field); break;
    default: break;
    }
}

void TGoodsLines::GoodsChanged()
{
    if (!HasCurrentLine())
        return;
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    TWriting writing(ctx);
    const int storeId = MasterInt(n.MasterStoreID);
    const int shopId = MasterInt(QStringLiteral("shopid"));
    for (const QString& name : {n.BatchCode, n.ValidDate, n.BatchRefID, kProducedDate, kMemo, n.ReferBillID, n.ReferBillCode})
        PutLine(name, QVariant());

    const int goodsId = LineInt(n.GoodsID);
    if (goodsId == 0) {
        for (const QString& name : {n.GoodsCode, n.GoodsName, n.UnitID, n.Unit, n.BaseUnit, kSpecs, kBatchCtrl})
            PutLine(name, QVariant());
        return;
    }
    if (!ctx.BillDB)
        throw EDatabaseError(QStringLiteral("没有货品资料的数据模块，不能读取货品资料。"));
    const TGoodsPrices found = ctx.BillDB->GetGoodsPrices(BillType(), goodsId, 0, TradeSide(), MasterInt(n.MasterClientID),
                                                          0, shopId, storeId, 1, GoodsListFilter(BillType(), TradeSide()));
    TClientDataSet* row = ctx.BillDB->GoodsInfo();
    if (!found.Found) {
        PutLine(n.GoodsID, 0);
        return;
    }
    auto col = [row](const char* name) { return FindIn(row, QString::fromLatin1(name)); };
    if (ctx.Settings.RefuseKind3Goods && Int(col("kind")) == 3) {
        PutLine(n.GoodsID, QVariant());
        return;
    }
    auto copy = [&](const QString& target, const char* source) {
        if (TField* from = col(source))
            PutLine(target, from->Value());
    };
    copy(n.GoodsCode, "Code");
    copy(n.GoodsName, "Name");
    copy(n.BaseUnit, "baseunit");
    copy(kSpecs, "specs");
    copy(kBatchCtrl, "batchctrl");
    copy(QStringLiteral("inf_costingtypeid"), "inf_costingtypeid");
    if (!PutLine(QStringLiteral("goodskind"), Int(col("kind"))))
        copy(QStringLiteral("kind"), "kind");
    for (int i = 1; i <= 10; ++i) {
        const QByteArray name = "goodsuserdef" + QByteArray::number(i);
        copy(QString::fromLatin1(name), name.constData());
    }
    copy(n.ValidDates, "ValidDates");
    copy(n.ShortName, "ShortName");
    const double aprice = Num(col("aprice"));
    if (BillType() == kConsignmentOpeningBill) {
        PutLine(QStringLiteral("UNITAPRICE"), aprice);
        PutLine(QStringLiteral("APRICE"), aprice);
        PutLine(QStringLiteral("apriceamt"), Round(LineNum(QStringLiteral("unitaprice")) * LineNum(n.UnitQty), 2));
    } else if (BillType() == 2 || BillType() == 3 || BillType() == 4 || BillType() == kConsignmentSaleBill) {
        PutLine(QStringLiteral("APRICE"), aprice);
    }
    PutLine(n.FollowUpQty, 0);
    PutLine(n.UnitID, Int(col("UnitID")));
    UnitChanged();
}

void TGoodsLines::UnitChanged()
{
    if (!HasCurrentLine())
        return;
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    const TField* code = DField(n.GoodsCode);
    if (code ? code->AsString().trimmed().isEmpty() : LineInt(n.GoodsID) == 0)
        return;
    if (!ctx.BillDB)
        throw EDatabaseError(QStringLiteral("没有货品资料的数据模块，不能读取货品资料。"));
    TWriting writing(ctx);
    const TGoodsPrices found = ctx.BillDB->GetGoodsPrices(
        BillType(), LineInt(n.GoodsID), LineInt(n.UnitID), TradeSide(), MasterInt(n.MasterClientID), LineInt(n.BatchRefID),
        MasterInt(QStringLiteral("shopid")), MasterInt(n.MasterStoreID), 2, QString());
    TClientDataSet* row = ctx.BillDB->GoodsInfo();
    auto col = [row](const char* name) { return FindIn(row, QString::fromLatin1(name)); };
    const double rate = found.Found ? Num(col("unitrate")) : 1.0;
    PutLine(n.Unit, found.Found ? col("unitname")->Value() : QVariant());
    PutLine(n.UnitRate, rate);
    PutLine(n.Quantity, Round(rate * LineNum(n.UnitQty), 6));
    PutLine(n.BarCode, found.Found && col("barcode") ? col("barcode")->Value() : QVariant());
    if (!found.Found) {
        if (PutLine(n.UnitPrice, 0.0) && FPricing)
            FPricing->UnitPriceChanged(DField(n.UnitPrice));
    } else if (FPricing) {
        // the default price and the cost of the unit, then the unit price routine
        FPricing->SetDefaultUnitPrice(found.DefaultPrice, Num(col("aprice")));
    } else {
        PutLine(n.UnitPrice, Round(found.DefaultPrice, 6));
    }
}

void TGoodsLines::ProducedDateChanged()
{
    const TGoodsFieldNames& n = Context().Names;
    TField* produced = DField(kProducedDate);
    TField* shelfLife = DField(n.ValidDates);
    if (!produced || produced->IsNull() || IsNullOrZero(shelfLife))
        return;
    TWriting writing(Context());
    PutLine(n.ValidDate, produced->AsDateTime().addDays(Int(shelfLife)));
}

QString TGoodsLines::UnitListFilter() const { return QStringLiteral("goodsid=") + QString::number(LineInt(Context().Names.GoodsID)); }

// ---------------------------------------------------------------------- goods entry

bool TGoodsLines::FindGoodsRow(const QString& sql, const QString& text, int& goodsId, int& unitId) const
{
    TClientDataSet rows;
    Context().Con->OpenDataSet(sql, &rows, {{QStringLiteral("t"), text}});
    if (rows.IsEmpty())
        return false;
    rows.First();
    goodsId = Int(rows.FindField(QStringLiteral("goodsid")));
    const TField* unit = rows.FindField(QStringLiteral("unitid"));
    unitId = unit ? Int(unit) : 0;
    return goodsId != 0;
}

void TGoodsLines::SetLineGoods(int goodsId, int unitId)
{
    const TGoodsFieldNames& n = Context().Names;
    TWriting writing(Context());
    PutLine(n.GoodsID, goodsId);
    GoodsChanged();
    if (unitId != 0 && LineInt(n.GoodsID) == goodsId && LineInt(n.UnitID) != unitId) {
        PutLine(n.UnitID, unitId);
        UnitChanged();
    }
}

TGoodsEntry TGoodsLines::EnterGoodsText(const QString& typed)
{
    const QString text = typed.trimmed();
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    if (text.isEmpty() || !ctx.Detail || !ctx.Detail->Active())
        return TGoodsEntry::NotFound;
    if (!HasCurrentLine())
        ctx.Detail->Append();
    if (text == LineText(n.GoodsCode))
        return TGoodsEntry::Unchanged;

    int goodsId = 0, unitId = 0;
    TGoodsEntry how = TGoodsEntry::NotFound;
    double scaleQty = 0;
    if (FindGoodsRow(QStringLiteral("select goodsid, unitid from goodsunit where barcode = :t order by unitid"), text, goodsId,
                     unitId)) {
        how = TGoodsEntry::BarCode;
    } else {
        const QString prefix = Option(QStringLiteral("WEIGHTPRECODE"));
        bool gramsOk = false;
        const int grams = text.mid(7, 5).toInt(&gramsOk);
        if (!prefix.isEmpty() && text.size() == 13 && text.left(2) == prefix && gramsOk
            && FindGoodsRow(QStringLiteral("select goodsid, unitid from goodsunit where weightcode = :t order by unitid"),
                            text.mid(2, 5), goodsId, unitId)) {
            how = TGoodsEntry::ScaleLabel;
            scaleQty = Round(grams * 0.001, 6);
        }
    }
    if (how == TGoodsEntry::NotFound) {
        const QString filter = GoodsListFilter(BillType(), TradeSide());
        for (const char* condition : {"code = :t", "name = :t", "upper(pyassist) = upper(:t)"}) {
            const QString sql = QStringLiteral("select goodsid from goods where (") + filter + QStringLiteral(") and ")
                                + QString::fromLatin1(condition) + QStringLiteral(" order by code");
            if (FindGoodsRow(sql, text, goodsId, unitId)) {
                how = TGoodsEntry::Goods;
                break;
            }
        }
        if (how == TGoodsEntry::NotFound) {
            const QList<int> candidates = SearchGoods(text, 2);
            if (candidates.size() != 1)
                return TGoodsEntry::NotFound;
            goodsId = candidates.first();
            how = TGoodsEntry::Goods;
        }
    }

    SetLineGoods(goodsId, unitId);
    if (LineInt(n.GoodsID) != goodsId)
        return TGoodsEntry::NotFound; // refused (no row for this bill, or a kind it takes not)
    if (how == TGoodsEntry::ScaleLabel) {
        TWriting writing(ctx);
        if (PutLine(n.UnitQty, scaleQty) && FPricing)
            FPricing->UnitQtyChanged(DField(n.UnitQty));
    }
    if (FPricing)
        FPricing->StorePreviousAmounts();
    FocusLine(n.UnitQty);
    return how;
}

QList<int> TGoodsLines::SearchGoods(const QString& text, int limit) const
{
    QList<int> ids;
    const QString t = text.trimmed();
    if (t.isEmpty() || limit <= 0)
        return ids;
    TClientDataSet rows;
    const QString sql = QStringLiteral("select top ") + QString::number(limit) + QStringLiteral(" goodsid from goods where (")
                        + GoodsListFilter(BillType(), TradeSide())
                        + QStringLiteral(") and (code like :p or name like :p or upper(pyassist) like upper(:p)) order by code");
    Context().Con->OpenDataSet(sql, &rows, {{QStringLiteral("p"), t + u'%'}});
    for (rows.First(); !rows.Eof(); rows.Next())
        ids << Int(rows.FindField(QStringLiteral("goodsid")));
    return ids;
}

// ---------------------------------------------------------------------- cells

TColumnEntry TGoodsLines::ColumnEntered(const QString& column)
{
    const TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    TColumnState s;
    s.Column = column;
    s.BillReadOnly = ctx.BillReadOnly && ctx.BillReadOnly();
    s.ColumnRuleReadOnly = IsColumnReadOnly && IsColumnReadOnly(column);
    s.LinesCarrySource = FindIn(ctx.Detail, n.ReferBillID) != nullptr;
    s.MasterFlagSet = MasterInt(QStringLiteral("flag")) != 0;
    s.GiftLine = FPricing && FPricing->IsGiftLine();
    s.HasGoods = LineInt(n.GoodsID) != 0;
    s.BatchControlled = LineText(kBatchCtrl).trimmed() == QLatin1String("T");
    if (column.compare(n.Unit, Qt::CaseInsensitive) == 0 || column.compare(n.UnitID, Qt::CaseInsensitive) == 0)
        UnitFilter = UnitListFilter();
    return ColumnEntryRule(s, n);
}

bool TGoodsLines::CanSetPrice()
{
    if (LineInt(Context().Names.GoodsID) != 0)
        return true;
    return RefuseAtLine(QStringLiteral("货品没有输入，不能设置价格."), Context().Names.GoodsID);
}

// ---------------------------------------------------------------------- remembered texts

int TGoodsLines::RememberedKind(const QString& fieldName, bool masterField)
{
    const QString name = fieldName.trimmed().toLower();
    if (!name.startsWith(QLatin1String("userdef")) || name.size() != 8)
        return 0;
    const int i = name.at(7).digitValue();
    if (masterField)
        return i >= 1 && i <= 5 ? 10000 + i : 0;
    return i >= 1 && i <= 3 ? 10005 + i : 0;
}

QStringList TGoodsLines::RememberedTexts(int kind) const
{
    TClientDataSet rows;
    Context().Con->OpenDataSet(QStringLiteral("select name from am_kind where kind = :kind order by id desc"), &rows,
                               {{QStringLiteral("kind"), kind}});
    QStringList texts;
    for (rows.First(); !rows.Eof(); rows.Next())
        texts << rows.Fields(0)->AsString();
    return texts;
}

bool TGoodsLines::RememberText(int kind, const QString& text, const QString& kindName)
{
    if (kind == 0 || text.isEmpty())
        return false;
    TClientConnection* con = Context().Con;
    const TSqlParams params{{QStringLiteral("kind"), kind}, {QStringLiteral("name"), text}};
    if (!con->ExecuteScalar(QStringLiteral("select top 1 id from am_kind where kind = :kind and name = :name order by id desc"),
                            params)
             .isNull())
        return false;
    if (!Ask(QStringLiteral("当前内容是否需要保存在数据库中以便下次使用？")))
        return false;
    const int id = con->ExecuteScalar(QStringLiteral("select isnull(max(id), 0) + 1 from am_kind")).toInt();
    con->Execute(QStringLiteral("insert into am_kind (id, kind, name, kindname) values (:id, :kind, :name, :kindname)"),
                 {{QStringLiteral("id"), id}, {QStringLiteral("kind"), kind}, {QStringLiteral("name"), text},
                  {QStringLiteral("kindname"), kindName}});
    return true;
}

void TGoodsLines::UserDefChanged(TField* field)
{
    if (!field || !RememberTexts)
        return;
    const bool master = field->DataSet() == Context().Master;
    const QString text = field->AsString();
    if (text.trimmed().isEmpty())
        return;
    RememberText(RememberedKind(field->FieldName(), master), text, field->DisplayName());
}

// ---------------------------------------------------------------------- lines

bool TGoodsLines::CopyLine()
{
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    if (!HasCurrentLine())
        return false;
    ctx.Detail->CheckBrowseMode();
    const TField* price = DField(n.UnitPrice);
    if (LineInt(n.GoodsID) == 0 || (price && price->IsNull()))
        return false;
    QVector<QPair<TField*, QVariant>> values;
    for (int i = 0; i < ctx.Detail->FieldCount(); ++i) {
        TField* f = ctx.Detail->Fields(i);
        const QString& name = f->FieldName();
        if (f->FieldKind() != TFieldKind::fkData || name.compare(kItemNo, Qt::CaseInsensitive) == 0
            || name.compare(ctx.KeyField, Qt::CaseInsensitive) == 0 || NotCopiedFields.contains(name, Qt::CaseInsensitive))
            continue;
        values.append({f, f->Value()});
    }
    TWriting writing(ctx);
    ctx.Detail->Append();
    for (const auto& [f, v] : values)
        f->SetValue(v);
    ctx.Detail->Post();
    return true;
}

// ---------------------------------------------------------------------- source bills

bool TGoodsLines::CanSelectSource(TSourceKind kind)
{
    const TGoodsFieldNames& n = Context().Names;
    if (kind == TSourceKind::DeliveryRequest) {
        if (MField(QStringLiteral("INSHOPID")) && MasterInt(QStringLiteral("INSHOPID")) == 0)
            return RefuseAtMaster(QStringLiteral("请选择调入机构"), QStringLiteral("INSHOPID"));
        return true;
    }
    if (kind == TSourceKind::DeliveryOrder) {
        if (MField(QStringLiteral("INSTOREID")) && MasterInt(QStringLiteral("INSTOREID")) == 0)
            return RefuseAtMaster(QStringLiteral("请选择调入仓库"), QStringLiteral("INSTOREID"));
        return true;
    }
    if (MField(n.MasterClientID) && MasterInt(n.MasterClientID) == 0)
        return RefuseAtMaster(PartnerMessage(), n.MasterClientID);
    const bool noStore = MasterInt(n.MasterStoreID) == 0;
    if (kind == TSourceKind::ValuedReceipt && noStore)
        return RefuseAtMaster(QStringLiteral("仓库没有输入，不能选择估价入库单！"), n.MasterStoreID);
    if (kind == TSourceKind::SalesReturn && noStore)
        return RefuseAtMaster(QStringLiteral("仓库没有输入，不能选择销售退货单！"), n.MasterStoreID);
    return true;
}

int TGoodsLines::AddSourceLines(TSourceKind kind, TClientDataSet* chosen)
{
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    if (!chosen || !chosen->Active() || !ctx.Detail || !ctx.Detail->Active())
        return 0;
    const TSourceKindInfo& info = SourceKindInfo(kind);
    const bool settle = kind == TSourceKind::BillsToSettle;
    const QString locateFields = settle ? kReferType + u';' + n.ReferBillID : kReferType + u';' + n.ReferBillID + u';' + n.ReferItemNo;
    bool canLocate = true;
    for (const QString& name : locateFields.split(u';'))
        canLocate = canLocate && ctx.Detail->FindField(name);

    TWriting writing(ctx);
    ctx.Detail->CheckBrowseMode();
    int added = 0;
    auto src = [chosen](const QString& name) { return chosen->FindField(name); };
    for (chosen->First(); !chosen->Eof(); chosen->Next()) {
        const int referType = info.BillType != 0 ? info.BillType : Int(src(QStringLiteral("billtypeid")));
        const QVariant billId = Int(src(QString::fromLatin1(info.KeyField)));
        QVariantList key{referType, billId};
        if (!settle)
            key << Int(src(kItemNo));
        if (canLocate && !ctx.Detail->IsEmpty() && ctx.Detail->Locate(locateFields, key))
            continue;
        double remaining = 0;
        if (!settle) {
            remaining = Num(src(n.UnitQty));
            for (const QString& followUp : info.FollowUp)
                remaining -= Num(src(followUp));
            remaining = Round(remaining, 6);
            if (!(remaining > 0))
                continue;
        }
        // master texts and the salesman of the source
        if (TField* memo = src(QStringLiteral("mastermemo")))
            PutMaster(kMemo, memo->Value());
        for (int i = 1; i <= 5; ++i)
            if (TField* def = src(QStringLiteral("masteruserdef") + QString::number(i)))
                PutMaster(QStringLiteral("userdef") + QString::number(i), def->Value());
        TField* salesman = src(n.ExeManID) ? src(n.ExeManID) : src(QStringLiteral("empid"));
        if (salesman && !salesman->IsNull())
            PutMaster(BillType() == kConsignmentSaleBill ? QStringLiteral("empid") : n.ExeManID, salesman->Value());
        if (kind == TSourceKind::MaterialDraw)
            if (TField* drawman = src(QStringLiteral("drawmanid")))
                PutMaster(QStringLiteral("backmanid"), drawman->Value());

        AddSourceLine(kind, chosen, remaining);
        ++added;
    }
    return added;
}

void TGoodsLines::AddSourceLine(TSourceKind kind, TClientDataSet* row, double remaining)
{
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    const TSourceKindInfo& info = SourceKindInfo(kind);
    auto src = [row](const QString& name) { return row->FindField(name); };
    auto copy = [&](const QString& target, const QString& source) {
        if (TField* f = src(source))
            PutLine(target, f->Value());
    };
    ctx.Detail->Append();
    const QString code = Text(src(QStringLiteral("code")));
    if (kind == TSourceKind::BillsToSettle) {
        PutLine(kReferType, Int(src(QStringLiteral("billtypeid"))));
        PutLine(n.ReferBillID, Int(src(QStringLiteral("billid"))));
        PutLine(n.ReferBillCode, code);
        for (const char* name : {"billdate", "total", "totalrcvd", "shouldpayamt"})
            copy(QString::fromLatin1(name), QString::fromLatin1(name));
        ctx.Detail->Post();
        return;
    }

    SetLineGoods(Int(src(n.GoodsID)), Int(src(n.UnitID)));
    if (kind != TSourceKind::PurchaseOrder)
        copy(n.Disc, n.Disc);
    copy(n.TaxRate, n.TaxRate);
    copy(kMemo, kMemo);
    for (const QString& name : {n.BatchCode, kProducedDate, n.ValidDate, n.BatchRefID})
        copy(name, name);
    for (const char* cost : {"aprice", "unitaprice"})
        copy(QString::fromLatin1(cost), QString::fromLatin1(cost));
    if (kind == TSourceKind::GoodsReceipt)
        copy(QStringLiteral("detailbillflowid"), QStringLiteral("detailbillflowid"));
    if (kind == TSourceKind::ConsignmentSale)
        copy(QStringLiteral("deputeprice"), QStringLiteral("deputeprice"));
    if (TField* price = src(n.UnitPrice); price && PutLine(n.UnitPrice, price->Value()) && FPricing)
        FPricing->UnitPriceChanged(DField(n.UnitPrice));
    if (PutLine(n.UnitQty, remaining) && FPricing)
        FPricing->UnitQtyChanged(DField(n.UnitQty));
    if (kind == TSourceKind::ConsignmentSale)
        copy(n.TaxPrice, n.TaxPrice);
    PutLine(kReferType, info.BillType);
    PutLine(n.ReferBillID, Int(src(QString::fromLatin1(info.KeyField))));
    PutLine(n.ReferItemNo, Int(src(kItemNo)));
    PutLine(n.ReferBillCode, code);
    ctx.Detail->Post();
    if (FPricing)
        FPricing->StorePreviousAmounts();
}

int TGoodsLines::DeleteSourceLines()
{
    TGoodsBillContext& ctx = Context();
    TClientDataSet* d = ctx.Detail;
    if (!d || !d->Active() || !d->FindField(ctx.Names.ReferBillID))
        return 0;
    TWriting writing(ctx);
    d->CheckBrowseMode();
    int removed = 0;
    // from the end, so that a deletion does not move the rows still to be seen
    for (int r = d->RecordCount(); r >= 1; --r) {
        d->SetRecNo(r);
        if (!IsNullOrZero(d->FindField(ctx.Names.ReferBillID))) {
            d->Delete();
            ++removed;
        }
    }
    return removed;
}
