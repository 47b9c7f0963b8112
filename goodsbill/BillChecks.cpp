#include "goodsbill/BillChecks.h"

#include "billcore/BillDocument.h"
#include "host/DataServices.h"
#include "host/Messages.h"
#include "host/Rounding.h"
#include "services/SelectValues.h"
#include "webrpc/Connection.h"

#include <cmath>

// Choices the rules leave open, made once here:
// - A value that is not a finite number never passes a range check: a discount, price or
//   quantity of NaN or infinity is refused with the message of its step.
// - A master discount that holds no value is not checked (a line's discount is).
// - "Both flags set" when a passing line's amounts are made safe: a null amount, price,
//   quantity, tax rate or cost becomes 0; a value is never overwritten.
// - The three batch refusals move the cursor to the batch code as the other line checks
//   move it to their field.
// - The bill date as last saved is the master row's original value; a new bill has none.
// - The batch picker opens in mode 1 (stock batches) for lines costed by batch and in
//   mode 2 (batch stock) otherwise; a concrete bill may choose another.
// - An inventory period that the database does not name is the session's working period;
//   the accounting period is the inventory period unless the database names its own.

namespace {

const QString kCaptionSaveFailed = QStringLiteral("保存数据失败");
const QString kBillDate = QStringLiteral("BillDate");
const QString kProducedDate = QStringLiteral("produceddate");
const QString kBatchCtrl = QStringLiteral("batchctrl");

bool IsT(const QString& text) { return text.trimmed().compare(QLatin1String("T"), Qt::CaseInsensitive) == 0; }

// The decimal digits counted up by one: "0099" -> "0100", "99" -> "100".
QString NextNumber(QString digits)
{
    for (int i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
        digits[i] = u'0';
    }
    return u'1' + digits;
}

} // namespace

// ====================================================================== period dates

TBillPeriodDates TBillPeriodDates::Read(TClientConnection* con, const TBillSession& session)
{
    TBillPeriodDates p;
    p.InventoryPeriodStart = session.PeriodStart;
    p.InventoryYear = session.PeriodStart.year();
    p.InventoryMonth = session.PeriodStart.month();
    p.CheckAccountingPeriod = session.Bind;
    if (!con)
        return p;
    auto tableHas = [con](const char* table) {
        return con->ExecuteScalar(QStringLiteral("select count(*) from sqlite_master where lower(name) = :t"),
                                  {{QStringLiteral("t"), QString::fromLatin1(table)}})
                   .toInt()
               > 0;
    };
    if (tableHas("accinfo"))
        p.OpeningDate = con->ExecuteScalar(QStringLiteral("select top 1 startdate from accinfo order by id")).toDate();
    if (tableHas("accperiod")) {
        TClientDataSet period;
        con->OpenDataSet(QStringLiteral("select top 1 year, month, startdate from accperiod where iscurrent = 1 order by periodid desc"),
                         &period);
        if (!period.IsEmpty()) {
            p.InventoryYear = period.Fields(0)->AsInteger();
            p.InventoryMonth = period.Fields(1)->AsInteger();
            p.InventoryPeriodStart = period.Fields(2)->AsDateTime().date();
        }
        const QVariant acc =
            con->ExecuteScalar(QStringLiteral("select top 1 startdate from accperiod where acccurrent = 1 order by periodid desc"));
        p.AccountingPeriodStart = acc.isNull() ? p.InventoryPeriodStart : acc.toDate();
    } else {
        p.AccountingPeriodStart = p.InventoryPeriodStart;
    }
    return p;
}

// ====================================================================== checks

TBillChecks::TBillChecks(TGoodsBillContext* context, TGoodsLines* lines) : TGoodsEngine(context), FLines(lines)
{
    Periods = TBillPeriodDates::Read(context->Con, context->Session);
}

TBillChecks::~TBillChecks() = default;

int TBillChecks::GetBatchKind() const
{
    if (!IsT(LineText(kBatchCtrl)))
        return bkNone;
    return LineInt(QStringLiteral("inf_costingtypeid")) == 2 ? bkCodeOnly : bkSpecific;
}

bool TBillChecks::PickBatch()
{
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    if (!HasCurrentLine() || LineInt(n.GoodsID) == 0)
        return RefuseAtLine(QStringLiteral("货品没有输入，不能选择批次！"), n.GoodsID);
    if (MField(n.MasterStoreID) && MasterInt(n.MasterStoreID) == 0)
        return RefuseAtMaster(QStringLiteral("仓库没有输入，不能选择批次！"), n.MasterStoreID);
    const int kind = GetBatchKind();
    if (kind == bkNone)
        return false;
    if (!BatchPicker) {
        Notice(QStringLiteral("该功能模块没有安装：批次选择"));
        return false;
    }
    const double rate = DField(n.UnitRate) ? LineNum(n.UnitRate) : 1.0;
    TReturnValue result;
    const QDate billDate = MField(kBillDate) ? MField(kBillDate)->AsDateTime().date() : QDate();
    if (!BatchPicker(BatchPickMode(), MasterInt(n.MasterClientID), LineInt(n.GoodsID), MasterInt(n.MasterStoreID),
                                  &result, billDate, rate)
        || result.RowCount() < 1)
        return false;
    const TListValue* row = result.Row(1);
    auto value = [row](const char* name) {
        int i = -1;
        return row->Find(QString::fromLatin1(name), i) ? row->GetValueAt(i) : QVariant();
    };
    {
        TWriting writing(ctx);
        PutLine(n.BatchCode, value("batchcode"));
        if (kind == bkSpecific && SpecificBatchRequiredForLine())
            PutLine(n.BatchRefID, value("batchcodeid"));
        const double aprice = value("aprice").toDouble();
        PutLine(QStringLiteral("aprice"), aprice);
        PutLine(QStringLiteral("unitaprice"), Round(aprice * rate, 8));
        PutLine(kProducedDate, value("produceddate"));
        PutLine(n.ValidDate, value("validdate"));
    }
    if (FLines)
        FLines->BatchCodeChanged();
    return true;
}

QStringList TBillChecks::BatchCodeSequence(const QString& prefix, const QString& number, const QString& suffix, int count)
{
    QStringList codes;
    QString digits = number;
    for (int i = 0; i < count; ++i) {
        codes << prefix + digits + suffix;
        digits = NextNumber(digits);
    }
    return codes;
}

bool TBillChecks::CopyBatchCode()
{
    const TGoodsFieldNames& n = Context().Names;
    if (!HasCurrentLine() || LineInt(n.GoodsID) == 0)
        return RefuseAtLine(QStringLiteral("货品没有输入，不能批次复制！"), n.GoodsID);
    if (GetBatchKind() != bkCodeOnly)
        return RefuseAtLine(QStringLiteral("个别计价的货品,或者不是批号管理的货品，不能批次复制！"), n.BatchCode);
    if (!BatchCopyDialog) {
        Notice(QStringLiteral("该功能模块没有安装：批号复制"));
        return false;
    }
    QString prefix, number, suffix;
    int count = 0;
    if (!BatchCopyDialog(prefix, number, suffix, count, LineText(n.BatchCode)) || count < 1)
        return false;
    bool digitsOnly = !number.isEmpty();
    for (const QChar c : number)
        digitsOnly = digitsOnly && c.isDigit() && c.unicode() < 128;
    if (!digitsOnly)
        return false;
    const QStringList codes = BatchCodeSequence(prefix, number, suffix, count);
    {
        TWriting writing(Context());
        PutLine(n.BatchCode, codes.first());
        Context().Detail->CheckBrowseMode();
    }
    for (int i = 1; i < codes.size(); ++i) {
        if (!FLines || !FLines->CopyLine())
            return false;
        TWriting writing(Context());
        PutLine(n.BatchCode, codes.at(i));
        Context().Detail->Post();
    }
    return true;
}

bool TBillChecks::WarnLine(const QString& text, const QString& field)
{
    Prompts().MsgBox(text, kCaptionSaveFailed, MB_OK | MB_ICONWARNING);
    FocusLine(field);
    return false;
}

bool TBillChecks::BatchQuantityLeft()
{
    const TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    int billId = 0;
    if (TField* key = MField(ctx.KeyField))
        billId = Int(key);
    // What is left in the batch plus what this line held when it was last saved: a saved
    // line drawing the batch empty still passes as long as its quantity does not grow.
    const QString sql = QStringLiteral("select isnull((select leftqty from v_DetailBillFlow where id = :ref), 0) + "
                                       "isnull((select ")
                        + n.Quantity + QStringLiteral(" qty from ") + ctx.DetailTable + QStringLiteral(" where ")
                        + ctx.KeyField + QStringLiteral(" = :bill and itemno = :item), 0) as o_qty");
    const QVariant left = ctx.Con->ExecuteScalar(sql, {{QStringLiteral("ref"), LineInt(n.BatchRefID)},
                                                        {QStringLiteral("bill"), billId},
                                                        {QStringLiteral("item"), LineInt(QStringLiteral("itemno"))}});
    if (left.isNull())
        return false;
    const double quantity = LineNum(n.Quantity);
    return std::isfinite(quantity) && !(quantity - left.toDouble() > 0.0000001);
}

bool TBillChecks::ValidateLine()
{
    TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    if (!HasCurrentLine())
        return true;
    const QString name = LineText(n.GoodsName);
    const bool hasGoods = LineInt(n.GoodsID) != 0;
    TField* batchCode = DField(n.BatchCode);
    TField* batchCtrl = DField(kBatchCtrl);

    if (hasGoods && batchCode && batchCtrl && batchCtrl->AsString().trimmed() == QLatin1String("F")
        && !batchCode->AsString().isEmpty()) {
        TWriting writing(ctx);
        batchCode->Clear();
    }
    const QString code = batchCode ? batchCode->AsString().trimmed() : QString();
    if (IsT(Text(batchCtrl))) {
        const QString head = QStringLiteral("批号管理或批次成本核算货品:") + name;
        if (code.isEmpty() && BatchCodeRequired)
            return WarnLine(head + QStringLiteral("的批号不能为空！"), n.BatchCode);
        const bool costedByBatch = LineInt(QStringLiteral("inf_costingtypeid")) != 2;
        const bool namesBatch = LineInt(n.BatchRefID) != 0;
        if (costedByBatch && !namesBatch && SpecificBatchRequiredForLine())
            return WarnLine(head + QStringLiteral("没有指定具体批次！"), n.BatchCode);
        if (costedByBatch && namesBatch && !BatchQuantityLeft())
            return WarnLine(QStringLiteral("个别计价货品：") + name
                                + QStringLiteral(" 在仓库所剩的数量不足或者引用的单据已经被删除，请重新选择批次！"),
                            n.BatchCode);
    } else if (!code.isEmpty()) {
        return WarnLine(QStringLiteral("非批号管理或批次成本核算货品:") + name + QStringLiteral("的不能有批号！"), n.BatchCode);
    }

    if (!hasGoods)
        return RefuseAtLine(QStringLiteral("请选择货品！"), n.GoodsID);
    if (LineInt(n.UnitID) == 0)
        return RefuseAtLine(QStringLiteral("请选择货品单位！"), n.UnitID);
    if (TField* disc = DField(n.Disc)) {
        const double d = Num(disc);
        if (!(d >= 0.000001 && d <= 100))
            return RefuseAtLine(QStringLiteral("折扣率必须大于零小于等于 100 ！"), n.Disc);
    }
    const TField* produced = DField(kProducedDate);
    const TField* valid = DField(n.ValidDate);
    if (produced && valid && !produced->IsNull() && !valid->IsNull() && valid->AsDateTime() < produced->AsDateTime())
        return RefuseAtLine(QStringLiteral("货品名称[") + name + QStringLiteral("]:生产日期必须大于到期日！"), n.ValidDate);
    if (const TField* priceField = DField(n.UnitPrice)) {
        const double price = Num(priceField);
        if (LineInt(QStringLiteral("goodskind")) == 7) {
            if (!(price < 0) || !std::isfinite(price))
                return RefuseAtLine(QStringLiteral("折扣类货品[") + name + QStringLiteral("]:单价必须小于零！"), n.UnitPrice);
        } else if (!(price >= 0) || !std::isfinite(price)) {
            return RefuseAtLine(QStringLiteral("货品[") + name + QStringLiteral("]:单价不能小于零！"), n.UnitPrice);
        }
    }
    // Lines without a quantity (a discount price list) have nothing to count.
    if (TradeSide() != tsStock && DField(n.UnitQty)) {
        const double qty = LineNum(n.UnitQty);
        if (qty == 0 || !std::isfinite(qty))
            return RefuseAtLine(QStringLiteral("货品[") + name + QStringLiteral("]:数量不能等于零！"), n.UnitQty);
    }

    TWriting writing(ctx);
    for (const QString& field : {n.UnitPrice, n.UnitQty, n.TaxRate, n.GoodsAmt, n.TaxAmt, n.Amount, QStringLiteral("aprice")})
        if (TField* f = DField(field); f && f->IsNull())
            f->SetValue(0);
    ctx.Detail->CheckBrowseMode();
    return true;
}

bool TBillChecks::ValidateDetail(const std::function<bool()>& baseLineCheck)
{
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active())
        return true;
    d->CheckBrowseMode();
    for (d->First(); !d->Eof(); d->Next()) {
        if (baseLineCheck && !baseLineCheck())
            return false;
        if (!ValidateLine())
            return false;
    }
    return true;
}

bool TBillChecks::MayUseStore(const QString& refusal)
{
    const TGoodsFieldNames& n = Context().Names;
    const int store = MasterInt(n.MasterStoreID);
    if (store == 0 || Option(QStringLiteral("SELFSTOREGOODS")).trimmed() != QLatin1String("1"))
        return true;
    const QVariant found = Context().Con->ExecuteScalar(
        QStringLiteral("select storeid from store where storeid = :store and operators like :op"),
        {{QStringLiteral("store"), store}, {QStringLiteral("op"), QStringLiteral("%|%1|%").arg(Context().Session.OpID)}});
    if (!found.isNull())
        return true;
    return RefuseAtMaster(refusal, n.MasterStoreID);
}

bool TBillChecks::ValidateMaster()
{
    const TGoodsBillContext& ctx = Context();
    const TGoodsFieldNames& n = ctx.Names;
    if (TField* date = MField(kBillDate); date && date->IsNull())
        return RefuseAtMaster(QStringLiteral("请输入单据日期！"), kBillDate);
    if (TField* code = MField(QStringLiteral("code")); code && code->AsString().trimmed().isEmpty())
        return RefuseAtMaster(QStringLiteral("请输入单号！"), QStringLiteral("code"));
    if (!CheckBillPeriod())
        return false;

    if (MField(n.MasterClientID) && MasterInt(n.MasterClientID) == 0) {
        if (TradeSide() == tsSales)
            return RefuseAtMaster(QStringLiteral("请选择客户！"), n.MasterClientID);
        if (TradeSide() == tsPurchase)
            return RefuseAtMaster(QStringLiteral("请选择供应商！"), n.MasterClientID);
    }
    if (TField* disc = MField(QStringLiteral("disc")); disc && !disc->IsNull() && BillType() != 5 && BillType() != 9) {
        const double d = Num(disc);
        if (!(d >= 0.000001 && d <= 100))
            return RefuseAtMaster(QStringLiteral("折扣率必须大于零小于等于 100 ！"), disc->FieldName());
    }
    if (!MayUseStore(QStringLiteral("您没有当前仓库的开单权限！")))
        return false;
    if (TField* term = MField(QStringLiteral("TERMDAYS"))) {
        const double days = Num(term);
        if (!(days >= 0 && days <= 999))
            return RefuseAtMaster(QStringLiteral("收付款期限必须大于等于零小于1000！"), term->FieldName());
    }
    const bool sidesWithLimit = TradeSide() == tsSales || TradeSide() == tsPurchase;
    if (sidesWithLimit && BillType() != 9 && BillType() != 5 && BillType() != 44) {
        const QString column = TradeSide() == tsSales ? QStringLiteral("maxsaleamt") : QStringLiteral("maxbuyamt");
        const QVariant limitValue = ctx.Con->ExecuteScalar(QStringLiteral("select ") + column
                                                               + QStringLiteral(" from operator where opid = :op"),
                                                           {{QStringLiteral("op"), ctx.Session.OpID}});
        const double limit = Round(limitValue.toDouble(), 4);
        const double total = Round(GetDataSetSum(ctx.Detail, n.Amount), 4);
        if (!limitValue.isNull() && limit >= 0 && !(total <= limit)) {
            Notice(QStringLiteral("所开单据金额大于操作员开单金额限额！"));
            return false;
        }
    }
    return true;
}

bool TBillChecks::CanDeleteBill() { return CheckBillPeriod() && MayUseStore(QStringLiteral("您没有当前仓库的删除单据权限！")); }

bool TBillChecks::CheckBillPeriod()
{
    TField* dateField = MField(kBillDate);
    if (!CheckPeriod || !dateField || dateField->IsNull())
        return true;
    const QDate date = dateField->AsDateTime().date();
    if (Periods.OpeningDate.isValid() && date < Periods.OpeningDate)
        return RefuseAtMaster(QStringLiteral("不能录入开帐日期之前发生的业务，不能保存或删除数据。"), kBillDate);
    if (BillType() != 1 && BillType() != 6 && BillType() != 44 && Periods.InventoryPeriodStart.isValid()) {
        const QVariant saved = dateField->OldValue();
        const QDate savedDate = saved.isNull() ? QDate() : saved.toDateTime().date();
        if (date < Periods.InventoryPeriodStart || (savedDate.isValid() && savedDate < Periods.InventoryPeriodStart))
            return RefuseAtMaster(QStringLiteral("本单日期在当前进销存期间之前，不能保存或删除数据。"), kBillDate);
    }
    if (Periods.CheckAccountingPeriod && Periods.AccountingPeriodStart.isValid() && date < Periods.AccountingPeriodStart)
        return RefuseAtMaster(QStringLiteral("本单日期在当前会计期间之前，不能保存或删除数据。"), kBillDate);
    return true;
}

// ====================================================================== stock on hand

double TBillChecks::LineOnHand() const
{
    const TGoodsBillContext& ctx = Context();
    const int goods = LineInt(ctx.Names.GoodsID);
    if (goods == 0)
        return 0;
    const int store = MasterInt(ctx.Names.MasterStoreID);
    const QVariant v = store != 0
        ? ctx.Con->ExecuteScalar(QStringLiteral("select onhand from onhand where storeid = :s and goodsid = :g"),
                                 {{QStringLiteral("s"), store}, {QStringLiteral("g"), goods}})
        : ctx.Con->ExecuteScalar(QStringLiteral("select sum(onhand) from onhand where goodsid = :g"), {{QStringLiteral("g"), goods}});
    return v.toDouble();
}

QString TBillChecks::OnHandText() const
{
    if (LineInt(Context().Names.GoodsID) == 0)
        return QString();
    QString unit = LineText(Context().Names.BaseUnit);
    if (!unit.isEmpty())
        unit.prepend(u' ');
    return QStringLiteral("库存：") + QString::number(Round(LineOnHand(), 6), 'g', 15) + unit;
}
