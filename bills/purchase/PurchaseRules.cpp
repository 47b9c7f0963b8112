#include "bills/purchase/PurchaseRules.h"

#include "goodsbill/BillChecks.h"
#include "goodsbill/GoodsBillForm.h"
#include "goodsbill/PartnerBranch.h"
#include "host/Rounding.h"
#include "platform/ControlHold.h"
#include "services/SelectValues.h"
#include "webrpc/Connection.h"

#include <QtMath>

#include <cmath>

namespace {

const QString kNotice = QStringLiteral("提示");
const QString kQtyAboveZero = QStringLiteral("货品数量必须大于零！");

// Cents as whole numbers, so that a rest is never lost between doubles.
qint64 Cents(double amount) { return qRound64(TruncateCurrency(amount) * 100.0); }

// The short-goods conditions shared by the count and the proposal.
const char* const kShortGoods =
    " (G.DownQty is Not NULL ) and (G.OnHand<isnull(G.DownQty,0))  And G.Closed='F' AND G.Kind<=3 ";

} // namespace

TPurchaseRules::TPurchaseRules(TGoodsBillContext* context)
    : TGoodsEngine(context)
{
}

// ====================================================================== pure arithmetic

QVector<double> TPurchaseRules::Apportion(const QVector<double>& basis, double expense)
{
    QVector<double> shares(basis.size(), 0.0);
    double sum = 0;
    for (double b : basis)
        sum += b;
    if (basis.isEmpty() || sum == 0)
        return shares;
    qint64 given = 0;
    for (int i = 0; i < basis.size(); ++i) {
        shares[i] = TruncateCurrency(basis[i] * expense / sum);
        given += Cents(shares[i]);
    }
    const qint64 rest = Cents(expense) - given;
    if (rest != 0)
        shares.last() = TruncateCurrency(shares.last() + static_cast<double>(rest) / 100.0);
    return shares;
}

TPurchaseRules::TOrderState TPurchaseRules::OrderState(bool closed, bool finished, bool readOnlyWhenFinished)
{
    TOrderState s;
    s.ReadOnly = closed || (finished && readOnlyWhenFinished);
    s.ShowFinished = finished;
    s.CloseEnabled = !finished;
    s.ToSorderEnabled = !closed;
    return s;
}

// ====================================================================== checks

QDateTime TPurchaseRules::MasterDate(const QString& name) const
{
    TField* f = MField(name);
    return f && !f->IsNull() ? f->AsDateTime() : QDateTime();
}

bool TPurchaseRules::RefuseIfNoStore()
{
    return MasterInt(QStringLiteral("storeid")) != 0 || RefuseAtMaster(QStringLiteral("请输入仓库！"), QStringLiteral("storeid"));
}

bool TPurchaseRules::RefuseIfNoInvoiceType()
{
    return MasterInt(QStringLiteral("billtypeid")) != 0 ||
           RefuseAtMaster(QStringLiteral("请输入发票类型！"), QStringLiteral("billtypeid"));
}

bool TPurchaseRules::ValidateOrder()
{
    TClientDataSet* d = Context().Detail;
    double sum = 0;
    if (d && d->Active()) {
        d->CheckBrowseMode();
        const int amount = d->FieldByName(Context().Names.Amount)->Index();
        for (int r = 0; r < d->RecordCount(); ++r)
            sum += d->RowValue(r, amount).toDouble();
    }
    if (TruncateCurrency(sum) < 0)
        return RefuseAtMaster(QStringLiteral("本次订单金额不能小于零！"), QStringLiteral("amount"));
    const QDateTime rev = MasterDate(QStringLiteral("revdate"));
    const QDateTime billed = MasterDate(QStringLiteral("billdate"));
    if (rev.isValid() && billed.isValid() && rev.date() < billed.date())
        return RefuseAtMaster(QStringLiteral("交货日期不能小于开单日期！"), QStringLiteral("revdate"));
    return true;
}

bool TPurchaseRules::ValidateExpense()
{
    const double app = MasterNum(QStringLiteral("appamt"));
    const double total = MasterNum(QStringLiteral("totalamt"));
    const double paid = MasterNum(QStringLiteral("paidamt"));
    if (app <= 0.0001)
        return RefuseAtMaster(QStringLiteral("费用金额必须大于零！"), QStringLiteral("appamt"));
    if (TruncateCurrency(app) > TruncateCurrency(total))
        return RefuseAtMaster(QStringLiteral("费用金额不能大于价税合计！"), QStringLiteral("appamt"));
    if (MasterNum(QStringLiteral("taxrate")) < 0)
        return RefuseAtMaster(QStringLiteral("税率不能小于零！"), QStringLiteral("taxrate"));
    if (MasterNum(QStringLiteral("taxamt")) < 0)
        return RefuseAtMaster(QStringLiteral("税额不能小于零！"), QStringLiteral("taxamt"));
    if (paid < 0)
        return RefuseAtMaster(QStringLiteral("本次付款不能小于零！"), QStringLiteral("paidamt"));
    if (TruncateCurrency(paid) > TruncateCurrency(total))
        return RefuseAtMaster(QStringLiteral("本次付款不能大于价税合计！"), QStringLiteral("paidamt"));
    if (TruncateCurrency(paid) != 0 && MasterInt(QStringLiteral("bankid")) < 1)
        return RefuseAtMaster(QStringLiteral("请选择结算账户！"), QStringLiteral("bankid"));
    qint64 lines = 0;
    if (TClientDataSet* d = Context().Detail; d && d->Active()) {
        d->CheckBrowseMode();
        if (TField* f = d->FindField(QStringLiteral("appamt")))
            for (int r = 0; r < d->RecordCount(); ++r)
                lines += Cents(d->RowValue(r, f->Index()).toDouble());
    }
    if (Cents(app) != lines)
        return RefuseAtMaster(QStringLiteral("费用金额与本次分摊费用合计必须相等！"), QStringLiteral("appamt"));
    return true;
}

bool TPurchaseRules::ValidateReceipt()
{
    if (!RefuseIfNoStore() || !RefuseIfNoInvoiceType())
        return false;
    const int term = MasterInt(QStringLiteral("termdays"));
    if (term < 0 || term > 999)
        return RefuseAtMaster(QStringLiteral("付款期限必须大于等于零小于1000！"), QStringLiteral("termdays"));
    return true;
}

bool TPurchaseRules::ValidateCashPurchase()
{
    if (!RefuseIfNoStore() || !RefuseIfNoInvoiceType())
        return false;
    double sum = 0;
    if (TClientDataSet* d = Context().Detail; d && d->Active()) {
        d->CheckBrowseMode();
        const int amount = d->FieldByName(Context().Names.Amount)->Index();
        for (int r = 0; r < d->RecordCount(); ++r)
            sum += d->RowValue(r, amount).toDouble();
    }
    sum = TruncateCurrency(sum);
    const int bank = MasterInt(QStringLiteral("bankid"));
    if (sum != 0 && bank == 0)
        return RefuseAtMaster(QStringLiteral("请输入付款帐户！"), QStringLiteral("bankid"));
    if (bank == 0)
        return true;
    const double balance = Context().Con->ExecuteScalar(QStringLiteral("select balance from bank where bankid = :b"),
                                                        {{QStringLiteral("b"), bank}}).toDouble();
    if (TruncateCurrency(balance - sum) >= 0)
        return true;
    const QString rule = Option(QStringLiteral("BANKNEGATIVE")).trimmed();
    if (rule == QLatin1String("1"))
        return Ask(QStringLiteral("该单保存之后，帐户余额为负，是否继续保存？"));
    if (rule == QLatin1String("2"))
        return RefuseAtMaster(QStringLiteral("该单保存之后，帐户余额为负，单据不能保存。"), QStringLiteral("bankid"));
    return true;
}

bool TPurchaseRules::ValidateReturn()
{
    if (!RefuseIfNoStore() || !RefuseIfNoInvoiceType())
        return false;
    if (Text(MField(QStringLiteral("backmoney"))) == QLatin1String("T") && MasterInt(QStringLiteral("bankid")) == 0)
        return RefuseAtMaster(QStringLiteral("请输入收款帐户！"), QStringLiteral("bankid"));
    return true;
}

bool TPurchaseRules::ValidateValuedReceipt()
{
    if (!RefuseIfNoStore())
        return false;
    if (MasterInt(QStringLiteral("ownerbilltype")) != 0)
        return RefuseAtMaster(QStringLiteral("冲红单据不能修改！"), QStringLiteral("storeid"));
    return true;
}

bool TPurchaseRules::ValidateValuedOpening(const QDate& startDate)
{
    const QDateTime billed = MasterDate(QStringLiteral("billdate"));
    if (!billed.isValid() || (startDate.isValid() && billed.date() >= startDate))
        return RefuseAtMaster(QStringLiteral("初始化单据的日期必须在启用帐套日期前面！"), QStringLiteral("billdate"));
    const int shop = MasterInt(QStringLiteral("shopid"));
    if (MField(QStringLiteral("shopid")) && shop == 0 && Text(MField(QStringLiteral("shopid"))).isEmpty())
        return RefuseAtMaster(QStringLiteral("分支机构不能为空！"), QStringLiteral("shopid"));
    if (!RefuseIfNoStore())
        return false;
    const QVariant storeShop = Context().Con->ExecuteScalar(QStringLiteral(" Select c.shopid From STORE C where c.STOREID=:s"),
                                                            {{QStringLiteral("s"), MasterInt(QStringLiteral("storeid"))}});
    if (storeShop.isNull() || storeShop.toInt() != shop)
        return RefuseAtMaster(QStringLiteral("当前仓库不是当前分支机构的仓库，不能保存！"), QStringLiteral("storeid"),
                              QStringLiteral("错误"));
    return true;
}

bool TPurchaseRules::OpeningBranchFits(const QString& changedField)
{
    const QString changed = changedField.toLower();
    const bool supplierChanged = changed == QLatin1String("clientid");
    if (!supplierChanged && changed != QLatin1String("storeid") && changed != QLatin1String("exemanid"))
        return true;
    static const QVector<TBranchSide> sides = {
        {"storeid",
         "select C.shopid CShopID, S.shopid SShopID from client C left join Store S on c.shopid = s.shopid"
         " and S.storeid = :other where C.clientid = :client",
         "所选仓库与供应商不属于同一分支机构，请重新选择仓库！"},
        {"exemanid",
         "select C.shopid CShopID, E.shopid EShopID from client C left join employ E on c.shopid = E.shopid"
         " and IsOperate = 'T' and E.empid = :other where C.clientid = :client",
         "所选业务员与供应商不属于同一分支机构，请重新选择业务员！"},
    };
    bool fits = true;
    for (const TBranchSide* side : SidesOutsideBranch(*Context().Con, MasterInt(QStringLiteral("clientid")), sides,
                                                      [this](const QString& f) { return MasterInt(f); }, supplierChanged ? QString() : changed)) {
        const QString field = QString::fromLatin1(side->Field);
        {
            TWriting writing(Context());
            PutMaster(field, QVariant());
        }
        fits = RefuseAtMaster(QString::fromUtf8(side->Message), field) && fits;
    }
    return fits;
}

QString TPurchaseRules::OpeningStoreFilter() const
{
    return QStringLiteral("shopid = %1").arg(MasterInt(QStringLiteral("shopid")));
}

QString TPurchaseRules::OpeningEmployeeFilter() const
{
    return QStringLiteral("IsOperate = 'T' and Sign='T' AND shopid = %1").arg(MasterInt(QStringLiteral("shopid")));
}

bool TPurchaseRules::FirstPeriodClosed(const QDate& startDate) const
{
    if (!startDate.isValid())
        return false;
    return Context().Con->ExecuteScalar(
               QStringLiteral("select closed from accperiod where date(startdate) <= :d and date(enddate) >= :d"),
               {{QStringLiteral("d"), startDate.toString(Qt::ISODate)}})
               .toString() == QLatin1String("T");
}

bool TPurchaseRules::OpeningPeriodsOpen(const TBillPeriodDates& periods, bool firstPeriodClosed)
{
    const QDate start = periods.OpeningDate;
    if (!start.isValid())
        return true;
    if (firstPeriodClosed)
        return RefuseAtMaster(QStringLiteral("本单日期在当前进销存期间之前，不能保存或删除数据。"), QStringLiteral("billdate"));
    if (periods.CheckAccountingPeriod && periods.AccountingPeriodStart.isValid() && periods.AccountingPeriodStart > start)
        return RefuseAtMaster(QStringLiteral("本单日期在当前会计期间之前，不能保存或删除数据。"), QStringLiteral("billdate"));
    return true;
}

bool TPurchaseRules::ValidateQuantities(bool onlyNormalBills)
{
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active() || (onlyNormalBills && MasterInt(QStringLiteral("flag")) != 0))
        return true;
    d->CheckBrowseMode();
    const QString qty = Context().Names.UnitQty;
    for (d->First(); !d->Eof(); d->Next())
        if (LineNum(qty) <= 0)
            return RefuseAtLine(kQtyAboveZero, qty);
    return true;
}

bool TPurchaseRules::ValidateReceiptLines()
{
    if (!ValidateQuantities(true))
        return false;
    if (Option(QStringLiteral("MUSTREFERPORDER")).trimmed() != QLatin1String("1"))
        return true;
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active())
        return true;
    for (d->First(); !d->Eof(); d->Next())
        if (LineInt(QStringLiteral("referbillid")) <= 0 || LineInt(QStringLiteral("refertype")) != 6)
            return RefuseAtLine(QStringLiteral("必须引用采购订单生成明细！"), Context().Names.GoodsID);
    return true;
}

bool TPurchaseRules::ValidateValuedLines()
{
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active())
        return true;
    d->CheckBrowseMode();
    const bool writeBack = MasterInt(QStringLiteral("billtype")) == 1;
    const bool mustReferOrder = Option(QStringLiteral("MustReferPOrder")).trimmed() == QLatin1String("1");
    const QString qty = Context().Names.UnitQty;
    for (d->First(); !d->Eof(); d->Next()) {
        if (!writeBack && LineNum(qty) <= 0)
            return RefuseAtLine(kQtyAboveZero, qty);
        if (writeBack && LineNum(qty) >= 0)
            return RefuseAtLine(QStringLiteral("货品数量必须小于零！"), qty);
        const bool refers = LineInt(QStringLiteral("referbillid")) > 0;
        if (!writeBack && mustReferOrder && !refers)
            return RefuseAtLine(QStringLiteral("明细必须是引用采购订单！"), Context().Names.GoodsID);
        if (writeBack && !refers)
            return RefuseAtLine(QStringLiteral("明细必须是引用估价入库单！"), Context().Names.GoodsID);
    }
    return true;
}

bool TPurchaseRules::ValidateNotOnlyDiscountGoods()
{
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active() || d->RecordCount() == 0)
        return true;
    d->CheckBrowseMode();
    const int goods = d->FieldByName(Context().Names.GoodsID)->Index();
    for (int r = 0; r < d->RecordCount(); ++r) {
        const int kind = Context().Con->ExecuteScalar(QStringLiteral("select kind from goods where goodsid = :g"),
                                                      {{QStringLiteral("g"), d->RowValue(r, goods)}}).toInt();
        if (kind != 7)
            return true;
    }
    Notice(QStringLiteral("明细表不能只有折扣类货品！"));
    return false;
}

// ====================================================================== expense bill

void TPurchaseRules::ExpenseFieldChanged(const QString& fieldName)
{
    const QString name = fieldName.toLower();
    TWriting writing(Context());
    const double total = MasterNum(QStringLiteral("totalamt"));
    if (name == QLatin1String("totalamt")) {
        const double cut = TruncateCurrency(total);
        const double tax = TruncateCurrency(cut * 0.01 * MasterNum(QStringLiteral("taxrate")));
        PutMaster(QStringLiteral("totalamt"), cut);
        PutMaster(QStringLiteral("taxamt"), tax);
        PutMaster(QStringLiteral("appamt"), TruncateCurrency(cut - tax));
    } else if (name == QLatin1String("taxrate")) {
        const double rate = Round(MasterNum(QStringLiteral("taxrate")), 4);
        const double tax = TruncateCurrency(total * 0.01 * rate);
        PutMaster(QStringLiteral("taxrate"), rate);
        PutMaster(QStringLiteral("taxamt"), tax);
        PutMaster(QStringLiteral("appamt"), TruncateCurrency(total - tax));
    } else if (name == QLatin1String("taxamt")) {
        const double tax = TruncateCurrency(MasterNum(QStringLiteral("taxamt")));
        PutMaster(QStringLiteral("taxamt"), tax);
        PutMaster(QStringLiteral("appamt"), TruncateCurrency(total - tax));
    } else if (name == QLatin1String("appamt")) {
        const double app = TruncateCurrency(MasterNum(QStringLiteral("appamt")));
        PutMaster(QStringLiteral("appamt"), app);
        PutMaster(QStringLiteral("taxamt"), TruncateCurrency(total - app));
    } else if (name == QLatin1String("paidamt")) {
        TField* paid = MField(QStringLiteral("paidamt"));
        if (paid && paid->IsNull())
            Put(paid, 0.0);
    }
    if (!ExpensePaid()) {
        for (const char* f : {"paytypeid", "bankid"})
            if (TField* field = MField(QString::fromLatin1(f)); field && !field->IsNull())
                Put(field, QVariant());
    }
}

bool TPurchaseRules::ExpensePaid() const { return std::fabs(TruncateCurrency(MasterNum(QStringLiteral("paidamt")))) >= 0.0001; }

bool TPurchaseRules::ApportionExpense(const QString& basisField)
{
    const QString basis = basisField.toLower();
    if (basis != QLatin1String("unitqty") && basis != QLatin1String("goodsamt"))
        return false;
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active() || d->RecordCount() == 0)
        return false;
    d->CheckBrowseMode();
    TWriting writing(Context());
    d->DisableControls();
    QVector<double> values;
    const int col = d->FieldByName(basis)->Index();
    for (int r = 0; r < d->RecordCount(); ++r)
        values << d->RowValue(r, col).toDouble();
    const QVector<double> shares = Apportion(values, MasterNum(QStringLiteral("appamt")));
    int r = 0;
    for (d->First(); !d->Eof(); d->Next(), ++r) {
        if (PutLine(QStringLiteral("appamt"), shares[r]))
            d->Post();
    }
    d->EnableControls();
    d->First();
    return true;
}

int TPurchaseRules::TakeReceiptLines(const TReturnValue& chosen)
{
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active())
        return 0;
    d->CheckBrowseMode();
    const QString key = QStringLiteral("refertype;referbillid;referitemno");
    const bool canLocate = d->FindField(QStringLiteral("refertype")) && d->FindField(QStringLiteral("referbillid")) &&
                           d->FindField(QStringLiteral("referitemno"));
    int added = 0;
    for (int i = 1; i <= chosen.RowCount(); ++i) {
        const TListValue* rec = chosen.Row(i);
        auto has = [rec](const char* name) {
            int at = 0;
            return rec->Find(QString::fromLatin1(name), at);
        };
        auto get = [rec](const char* name) { return rec->GetValue(QString::fromLatin1(name)); };
        const QVariantList at{get("billtype").toInt(), get("billid").toInt(), get("itemno").toInt()};
        if (canLocate && !d->IsEmpty() && d->Locate(key, at))
            continue;
        // The source's texts and employee where the master has none yet.
        auto fillMaster = [&](const QString& target, const char* source) {
            TField* f = MField(target);
            if (f && has(source) && Text(f).isEmpty() && !get(source).toString().isEmpty())
                Put(f, get(source));
        };
        fillMaster(QStringLiteral("memo"), "mastermemo");
        for (int u = 1; u <= 5; ++u)
            fillMaster(QStringLiteral("userdef%1").arg(u), QStringLiteral("masteruserdef%1").arg(u).toLatin1().constData());
        if (TField* man = MField(QStringLiteral("exemanid")); man && Int(man) == 0 && has("exemanid") && get("exemanid").toInt() != 0)
            Put(man, get("exemanid"));

        // Field by field as the clerk would: the goods engine fills names and units.
        d->Append();
        const std::pair<const char*, const char*> copied[] = {
            {"goodsid", "goodsid"},   {"unitid", "unitid"},           {"unitprice", "unitprice"},
            {"unitqty", "unitqty"},   {"purappamt", "purappamt"},     {"refertype", "billtype"},
            {"referbillid", "billid"}, {"referitemno", "itemno"},     {"referbillcode", "code"}};
        for (const auto& [target, source] : copied)
            if (TField* f = d->FindField(QString::fromLatin1(target)); f && has(source))
                f->SetValue(get(source));
        d->Post();
        ++added;
    }
    if (added)
        d->First();
    return added;
}

// ====================================================================== lines from elsewhere

int TPurchaseRules::ShortGoodsCount() const
{
    return Context().Con->ExecuteScalar(QStringLiteral(" Select Count(*) As RecCnt  From  Goods G  Where") +
                                        QString::fromLatin1(kShortGoods)).toInt();
}

QVector<TPurchaseRules::TProposedLine> TPurchaseRules::ShortGoods(const QString& condition, bool otherUnclassified) const
{
    const QString select = QStringLiteral(
        "Select G.GoodsID, U.UnitID, 1 As UnitQty From Goods G join GoodsUnit U on U.GoodsID = G.GoodsID and U.UnitType=0 ");
    QString sql = select;
    if (!condition.isEmpty())
        sql += QStringLiteral(" join GoodsType GT on G.GoodsTypeID=GT.GoodsTypeID ");
    sql += QStringLiteral(" Where") + QString::fromLatin1(kShortGoods) + condition;
    if (otherUnclassified)
        sql += QStringLiteral(" union all ") + select + QStringLiteral(" Where") + QString::fromLatin1(kShortGoods) +
               QStringLiteral(" and G.GoodsTypeID Is Null");
    TClientDataSet rows;
    Context().Con->OpenDataSet(sql, &rows);
    QVector<TProposedLine> out;
    for (int r = 0; r < rows.RecordCount(); ++r)
        out.append({rows.RowValue(r, 0).toInt(), rows.RowValue(r, 1).toInt(), rows.RowValue(r, 2).toDouble()});
    return out;
}

QVector<TPurchaseRules::TProposedLine> TPurchaseRules::SalesOrderLines(int sorderId) const
{
    TClientDataSet rows;
    Context().Con->OpenDataSet(
        QStringLiteral("select goodsid, unitid, unitqty from sorderdetail where sorderid = :id order by itemno"), &rows,
        {{QStringLiteral("id"), sorderId}});
    QVector<TProposedLine> out;
    for (int r = 0; r < rows.RecordCount(); ++r)
        out.append({rows.RowValue(r, 0).toInt(), rows.RowValue(r, 1).toInt(), rows.RowValue(r, 2).toDouble()});
    return out;
}

TPurchaseRules& TPurchaseRulesOf::Of(TGoodsBillForm* form)
{
    if (!FRules)
        FRules = std::make_unique<TPurchaseRules>(&form->Lines()->Context());
    return *FRules;
}

void ShowFieldsAs(TClientDataSet* ds, std::initializer_list<const char*> fields, const QString& format)
{
    for (const char* name : fields)
        if (TField* f = ds->FindField(QString::fromLatin1(name)))
            f->DisplayFormat = format;
}

void AddLookupTables(TBillStyleForm* form, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        form->AddLookupTable(QString::fromLatin1(name));
}

void HoldEditors(TBillStyleForm* form, std::initializer_list<const char*> fields, const QString& holder, bool held)
{
    for (const char* name : fields)
        HoldDisabled(form->FieldEditor(QString::fromLatin1(name)), holder, held);
}
