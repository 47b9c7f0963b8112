#include "bills/sales/SalesRules.h"

#include "billcore/BillDocument.h"
#include "goodsbill/BillChecks.h"
#include "goodsbill/PartnerBranch.h"
#include "host/Messages.h"
#include "host/Rounding.h"
#include "host/Session.h"
#include "server/BillProfiles.h"
#include "services/SelectValues.h"


#include <cmath>

namespace {

constexpr int kDiscountGoods = 7;
constexpr int kSalesOrder = 1;
constexpr int kSalesReturnType = 4;

// Messages of the generated stocktaking bill go nowhere but into the failure note.
class TQuietPrompter : public TBillPrompter {
public:
    QString LastText;
    void Notice(const QString& text, const QString&) override { LastText = text; }
    void Error(const QString& text, const QString&) override { LastText = text; }
    int MsgBox(const QString& text, const QString&, int) override
    {
        LastText = text;
        return IDNO;
    }
    bool YesNo(const QString& text, const QString&) override
    {
        LastText = text;
        return false;
    }
    int YesNoCancel(const QString& text, const QString&) override
    {
        LastText = text;
        return IDCANCEL;
    }
    void Plain(const QString& text) override { LastText = text; }
    bool StockWarning(int, const QString&, const TPacketParams&) override { return true; }
    bool PriceWarning(int, bool allowed, const TPacketParams&) override { return allowed; }
    void FocusField(TField*) override {}
};

} // namespace

TSalesRules::TSalesRules(TGoodsBillContext* context)
    : TGoodsEngine(context)
    , Lock([](const QString& name, bool acquire) { return SetLock(name, acquire); })
{
}

QString TSalesRules::Money(double v)
{
    return QString::number(v, 'f', 2);
}

// ====================================================================== master

bool TSalesRules::RequireMaster(const QString& field, const QString& text)
{
    TField* f = MField(field);
    if (f && (f->IsNull() || f->AsString().trimmed().isEmpty() || f->AsString().trimmed() == QLatin1String("0")))
        return RefuseAtMaster(text, field);
    return true;
}

bool TSalesRules::RequireStore(const QString& field, const QString& text) { return RequireMaster(field, text); }

bool TSalesRules::CheckTermDays(const QString& text)
{
    if (!MField(QStringLiteral("termdays")))
        return true;
    const double days = MasterNum(QStringLiteral("termdays"));
    if (days < 0 || days > 999)
        return RefuseAtMaster(text, QStringLiteral("termdays"));
    return true;
}

bool TSalesRules::CheckOverdue(bool overdue)
{
    if (!overdue)
        return true;
    switch (Option(QStringLiteral("OVERDUEAMOUT")).trimmed().toInt()) {
    case 0:
        return RefuseAtMaster(QStringLiteral("客户存在到期应收款，不允许保存！"), QStringLiteral("clientid"));
    case 2:
        if (Prompts().MsgBox(QStringLiteral("客户存在到期应收款，是否允许保存！"), QStringLiteral("警告"),
                             MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
            FocusMaster(QStringLiteral("clientid"));
            return false;
        }
        return true;
    default:
        return true;
    }
}

TSalesRules::TCredit TSalesRules::CreditPosition() const
{
    const TGoodsBillContext& ctx = Context();
    TCredit out;
    const int client = MasterInt(QStringLiteral("clientid"));
    if (client == 0)
        return out;
    TClientDataSet c;
    ctx.Con->OpenDataSet(QStringLiteral("select credit, balance, suramt, clientkind from client where clientid = :c"), &c,
                         {{QStringLiteral("c"), client}});
    if (c.IsEmpty())
        return out;
    out.Limit = Num(c.FindField(QStringLiteral("credit")));
    const double net = Num(c.FindField(QStringLiteral("balance"))) - Num(c.FindField(QStringLiteral("suramt")));
    const int kind = Int(c.FindField(QStringLiteral("clientkind")));
    const double debt = kind == 1 ? net : kind == 2 ? -net : 0;
    // what this bill added when it was saved before is in the balance already
    double old = 0;
    const int id = MasterInt(ctx.KeyField);
    if (id > 0 && !ctx.MasterTable.isEmpty())
        old = ctx.Con
                  ->ExecuteScalar(QStringLiteral("select totalamt from %1 where %2 = :id").arg(ctx.MasterTable, ctx.KeyField),
                                  {{QStringLiteral("id"), id}})
                  .toDouble();
    out.Debt = TruncateCurrency(debt - old + LinesAmount());
    return out;
}

bool TSalesRules::CheckCreditLimit(const QString& saleControl)
{
    const TCredit c = CreditPosition();
    if (c.Limit <= 0 || TruncateCurrency(c.Limit) >= c.Debt)
        return true;
    const QString amounts = QStringLiteral("客户欠款金额(") + Money(c.Debt) + QStringLiteral(")") + QStringLiteral("已经超过其信用控制金额(") +
                            Money(TruncateCurrency(c.Limit)) + QStringLiteral(")");
    const int control = saleControl.trimmed().toInt();
    if (control == 1) {
        if (Prompts().MsgBox(amounts + QStringLiteral("，是否继续销售这批货品？"), QStringLiteral("询问"),
                             MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
            return true;
        FocusMaster(QStringLiteral("clientid"));
        return false;
    }
    if (control == 2) {
        Prompts().MsgBox(amounts + QStringLiteral("，不能销售这批货品!"), QStringLiteral("警告"), MB_OK | MB_ICONWARNING);
        FocusMaster(QStringLiteral("clientid"));
        return false;
    }
    return true;
}

bool TSalesRules::CheckRefundBalance(double bankBalance)
{
    const QString option = Option(QStringLiteral("BANKNEGATIVE")).trimmed();
    if (bankBalance - LinesAmount() >= 0 || option.isEmpty() || option == QLatin1String("0"))
        return true;
    if (option == QLatin1String("1"))
        return Ask(QStringLiteral("该单保存之后，帐户余额为负，是否继续保存？"), QStringLiteral("询问"));
    return RefuseAtMaster(QStringLiteral("该单保存之后，帐户余额为负，单据不能保存。"), QStringLiteral("bankid"));
}

bool TSalesRules::CheckDateOrder(const QString& earlier, const QString& later, const QString& text)
{
    TField* a = MField(earlier);
    TField* b = MField(later);
    if (!a || !b || a->IsNull() || b->IsNull())
        return true;
    if (b->AsDateTime().date() < a->AsDateTime().date())
        return RefuseAtMaster(text, later);
    return true;
}

// ====================================================================== lines

double TSalesRules::LinesAmount() const
{
    TClientDataSet* d = Context().Detail;
    const TField* amount = d && d->Active() ? d->FindField(QStringLiteral("amount")) : nullptr;
    if (!amount)
        return 0;
    double sum = 0;
    for (int r = 0; r < d->RecordCount(); ++r)
        sum += d->RowValue(r, amount->Index()).toDouble();
    return sum;
}

bool TSalesRules::RefuseDiscountOnly()
{
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active() || d->IsEmpty())
        return true;
    const TField* goods = d->FindField(QStringLiteral("goodsid"));
    const TField* kind = d->FindField(QStringLiteral("goodskind"));
    if (!goods)
        return true;
    for (int r = 0; r < d->RecordCount(); ++r) {
        QVariant k = kind ? d->RowValue(r, kind->Index()) : QVariant();
        if (k.isNull() || !k.isValid())
            k = Context().Con->ExecuteScalar(QStringLiteral("select kind from goods where goodsid = :g"),
                                             {{QStringLiteral("g"), d->RowValue(r, goods->Index())}});
        if (k.toInt() != kDiscountGoods)
            return true;
    }
    Notice(QStringLiteral("明细表不能只有折扣类货品！"));
    return false;
}

bool TSalesRules::RefuseNegativeTotal(const QString& text)
{
    if (TruncateCurrency(LinesAmount()) < 0) {
        Notice(text);
        return false;
    }
    return true;
}

bool TSalesRules::EachLine(const std::function<bool()>& check)
{
    TClientDataSet* d = Context().Detail;
    if (!d || !d->Active())
        return true;
    d->CheckBrowseMode();
    for (d->First(); !d->Eof(); d->Next())
        if (!check())
            return false;
    return true;
}

bool TSalesRules::LineQtyAbove(const QString& text)
{
    if (LineNum(QStringLiteral("unitqty")) <= 0)
        return RefuseAtLine(text, QStringLiteral("unitqty"));
    return true;
}

bool TSalesRules::LineQtyBelow(const QString& text)
{
    if (LineNum(QStringLiteral("unitqty")) >= 0)
        return RefuseAtLine(text, QStringLiteral("unitqty"));
    return true;
}

bool TSalesRules::LineRefersSalesOrder(bool strict)
{
    if (Option(QStringLiteral("MustReferSOrder")).trimmed() != QLatin1String("1"))
        return true;
    TField* refer = DField(QStringLiteral("referbillid"));
    if (!refer || refer->IsNull())
        return RefuseAtLine(QStringLiteral("明细必须是引用销售订单！"), QStringLiteral("goodsid"));
    if (strict && (LineInt(QStringLiteral("referbillid")) <= 0 || LineInt(QStringLiteral("refertype")) != kSalesOrder))
        return RefuseAtLine(QStringLiteral("必须引用销售订单生成明细！"), QStringLiteral("goodsid"));
    return true;
}

namespace {
int BatchMode(TClientConnection* con, int goodsId)
{
    // batch control mode 1: the goods are batch-controlled and costed lot by lot
    const QVariant ctrl = con->ExecuteScalar(QStringLiteral("select batchctrl from goods where goodsid = :g"), {{QStringLiteral("g"), goodsId}});
    if (ctrl.toString().trimmed() != QLatin1String("T"))
        return 0;
    const QVariant costing =
        con->ExecuteScalar(QStringLiteral("select inf_costingtypeid from goods where goodsid = :g"), {{QStringLiteral("g"), goodsId}});
    return costing.toInt() == 2 ? 1 : 2;
}
} // namespace

bool TSalesRules::AskZeroCost()
{
    if (BatchMode(Context().Con, LineInt(QStringLiteral("goodsid"))) != 1)
        return true;
    const double cost = DField(QStringLiteral("unitaprice")) ? LineNum(QStringLiteral("unitaprice")) : LineNum(QStringLiteral("aprice"));
    if (cost != 0)
        return true;
    if (Ask(QStringLiteral("成本单价为零,是否继续保存?"), QStringLiteral("询问")))
        return true;
    FocusLine(QStringLiteral("aprice"));
    return false;
}

bool TSalesRules::RefuseZeroCost()
{
    if (BatchMode(Context().Con, LineInt(QStringLiteral("goodsid"))) != 1 || LineNum(QStringLiteral("aprice")) != 0)
        return true;
    return RefuseAtLine(QStringLiteral("成本单价不能为零！"), QStringLiteral("aprice"));
}

bool TSalesRules::LineQuantityBand()
{
    const double from = LineNum(QStringLiteral("unitbegqty"));
    const double to = LineNum(QStringLiteral("unitendqty"));
    if (from < 0)
        return RefuseAtLine(QStringLiteral("数量段(从) 必须大于等于零！"), QStringLiteral("unitbegqty"));
    if (to <= from)
        return RefuseAtLine(QStringLiteral("数量段(到) 必须大于 数量段(从) ！"), QStringLiteral("unitendqty"));
    return true;
}

// ====================================================================== consignment

bool TSalesRules::PickConsignmentBatch(const std::function<bool(int, int, int, int, TReturnValue*, const QDate&, double)>& picker,
                                       bool settlement)
{
    if (!HasCurrentLine() || LineInt(QStringLiteral("goodsid")) == 0)
        return RefuseAtLine(QStringLiteral("货品没有输入，不能选择批次！"), QStringLiteral("goodsid"));
    if (MasterInt(QStringLiteral("clientid")) == 0)
        return RefuseAtMaster(QStringLiteral("客户没有输入，不能选择批次！"), QStringLiteral("clientid"));
    if (!picker) {
        Notice(QStringLiteral("该功能模块没有安装：批次选择"));
        return false;
    }
    const double rate = DField(QStringLiteral("unitrate")) && LineNum(QStringLiteral("unitrate")) != 0 ? LineNum(QStringLiteral("unitrate")) : 1.0;
    const QDate date = MField(QStringLiteral("billdate")) ? MField(QStringLiteral("billdate"))->AsDateTime().date() : QDate();
    TReturnValue result;
    if (!picker(3, MasterInt(QStringLiteral("clientid")), LineInt(QStringLiteral("goodsid")), MasterInt(QStringLiteral("storeid")), &result, date,
                rate) ||
        result.RowCount() < 1)
        return false;
    const TListValue* row = result.Row(1);
    auto value = [row](const char* name) {
        int i = -1;
        return row->Find(QString::fromLatin1(name), i) ? row->GetValueAt(i) : QVariant();
    };
    PutLine(QStringLiteral("batchcode"), value("batchcode"));
    PutLine(QStringLiteral("batchrefid"), value("batchcodeid"));
    PutLine(QStringLiteral("aprice"), value("aprice"));
    PutLine(QStringLiteral("produceddate"), value("produceddate"));
    PutLine(QStringLiteral("validdate"), value("validdate"));
    if (settlement) {
        PutLine(QStringLiteral("deputeprice"), value("deputeprice"));
        PutLine(QStringLiteral("taxprice"), value("taxprice"));
    }
    PutLine(QStringLiteral("refertype"), value("billtypeid"));
    PutLine(QStringLiteral("referbillid"), value("BillID"));
    PutLine(QStringLiteral("referitemno"), value("itemno"));
    PutLine(QStringLiteral("referbillcode"), value("billcode"));
    // the quantity goes last: the pricing engine works the amounts out from it
    PutLine(QStringLiteral("unitqty"), value("unitqty"));
    return true;
}

void TSalesRules::SettlementLineChanged(const QString& field)
{
    const int source = LineInt(QStringLiteral("refertype"));
    if (!HasCurrentLine() || (source != 27 && source != 29))
        return;
    const QString name = field.toLower();
    const double value = Round(LineNum(QStringLiteral("deputeprice")) * LineNum(QStringLiteral("unitqty")), 2);
    {
        TWriting writing(Context());
        PutLine(QStringLiteral("deputesalemoney"), value);
    }
    if (name == QLatin1String("margin") || name == QLatin1String("deputeprice") || name == QLatin1String("unitqty")) {
        // the amount goes through the pricing engine, which brings the prices with it
        PutLine(QStringLiteral("amount"), Round(value - LineNum(QStringLiteral("margin")), 2));
    } else if (name == QLatin1String("taxprice") || name == QLatin1String("unitprice") || name == QLatin1String("amount")) {
        TWriting writing(Context());
        PutLine(QStringLiteral("margin"), Round(value - LineNum(QStringLiteral("amount")), 2));
    }
}

bool TSalesRules::CheckOpeningMaster(const QDate& accountStart)
{
    if (!RequireStore())
        return false;
    TField* shop = MField(QStringLiteral("shopid"));
    if (shop && shop->IsNull())
        return RefuseAtMaster(QStringLiteral("分支机构不能为空！"), QStringLiteral("shopid"));
    const QVariant storeShop = Context().Con->ExecuteScalar(QStringLiteral("select shopid from store where storeid = :s"),
                                                            {{QStringLiteral("s"), MasterInt(QStringLiteral("storeid"))}});
    if (shop && storeShop.isValid() && !storeShop.isNull() && storeShop.toInt() != shop->AsInteger())
        return RefuseAtMaster(QStringLiteral("当前仓库不是当前分支机构的仓库，不能保存！"), QStringLiteral("storeid"), QStringLiteral("错误"));
    TField* date = MField(QStringLiteral("billdate"));
    if (date && !date->IsNull() && accountStart.isValid() && date->AsDateTime().date() >= accountStart)
        return RefuseAtMaster(QStringLiteral("初始化单据的日期必须在启用帐套日期前面！"), QStringLiteral("billdate"));
    return true;
}

bool TSalesRules::CheckOpeningLineCost()
{
    const double cost = LineNum(QStringLiteral("aprice"));
    if (cost < 0)
        return RefuseAtLine(QStringLiteral("成本价不能小于零！"), QStringLiteral("aprice"));
    if (cost == 0 && !Ask(QStringLiteral("成本价为零，是否保存单据？"), QStringLiteral("询问"))) {
        FocusLine(QStringLiteral("aprice"));
        return false;
    }
    return true;
}

bool TSalesRules::OpeningPeriodsOpen(const TBillPeriodDates& periods)
{
    const QDate start = periods.OpeningDate;
    if (!start.isValid())
        return true;
    const bool firstClosed = Context().Con->ExecuteScalar(QStringLiteral("select closed from accperiod where date(startdate) <= :d and date(enddate) >= :d"),
                                                          {{QStringLiteral("d"), start.toString(Qt::ISODate)}})
                                 .toString() == QLatin1String("T");
    if (firstClosed)
        return RefuseAtMaster(QStringLiteral("本单日期在当前进销存期间之前，不能保存或删除数据。"), QStringLiteral("billdate"));
    if (periods.CheckAccountingPeriod && periods.AccountingPeriodStart.isValid() && periods.AccountingPeriodStart > start)
        return RefuseAtMaster(QStringLiteral("本单日期在当前会计期间之前，不能保存或删除数据。"), QStringLiteral("billdate"));
    return true;
}

bool TSalesRules::KeepOpeningBranch()
{
    static const QVector<TBranchSide> sides = {
        {"storeid",
         "select C.shopid CShopID, S.shopid SShopID from client C left join Store S on c.shopid = s.shopid and S.storeid = :other"
         " where C.clientid = :client",
         "所选仓库不属于该客户的分支机构，请重新选择！"},
        {"empid",
         "select C.shopid CShopID, E.shopid EShopID from client C left join employ E on c.shopid = E.shopid and IsOperate = 'T'"
         " and E.empid = :other where C.clientid = :client",
         "所选经办人不属于该客户的分支机构，请重新选择！"},
    };
    bool kept = true;
    for (const TBranchSide* side : SidesOutsideBranch(*Context().Con, MasterInt(QStringLiteral("clientid")), sides,
                                                      [this](const QString& f) { return MasterInt(f); })) {
        const QString field = QString::fromLatin1(side->Field);
        {
            TWriting writing(Context());
            PutMaster(field, QVariant());
        }
        kept = RefuseAtMaster(QString::fromUtf8(side->Message), field) && kept;
    }
    return kept;
}

QString TSalesRules::BranchStoreFilter(int branch) { return QStringLiteral("shopid = ") + QString::number(branch); }

QString TSalesRules::BranchEmployeeFilter(int branch)
{
    return QStringLiteral("IsOperate = 'T' and Sign='T' AND shopid = ") + QString::number(branch);
}

// ====================================================================== branch requests

void TSalesRules::RequestUnitChanged()
{
    if (!HasCurrentLine() || LineInt(QStringLiteral("goodsid")) == 0)
        return;
    const TGoodsFieldNames& n = Context().Names;
    TClientDataSet unit;
    Context().Con->OpenDataSet(QStringLiteral("select * from goodsunit where unitid = :u"), &unit,
                               {{QStringLiteral("u"), LineInt(n.UnitID)}});
    if (unit.IsEmpty() || Int(unit.FindField(QStringLiteral("goodsid"))) != LineInt(QStringLiteral("goodsid"))) {
        // no unit of these goods: back to their base unit
        Context().Con->OpenDataSet(QStringLiteral("select * from goodsunit where goodsid = :g and unittype = 0"), &unit,
                                   {{QStringLiteral("g"), LineInt(QStringLiteral("goodsid"))}});
        if (unit.IsEmpty())
            return;
    }
    TWriting writing(Context());
    const double rate = Num(unit.FindField(QStringLiteral("rate"))) != 0 ? Num(unit.FindField(QStringLiteral("rate"))) : 1.0;
    PutLine(n.UnitID, Int(unit.FindField(QStringLiteral("unitid"))));
    PutLine(n.Unit, Text(unit.FindField(QStringLiteral("unitname"))));
    PutLine(n.UnitRate, rate);
    PutLine(n.Quantity, Round(rate * LineNum(n.UnitQty), 6));
}

void TSalesRules::RequestQuantityChanged()
{
    if (!HasCurrentLine())
        return;
    const TGoodsFieldNames& n = Context().Names;
    const double rate = LineNum(n.UnitRate) != 0 ? LineNum(n.UnitRate) : 1.0;
    TWriting writing(Context());
    PutLine(n.Quantity, Round(rate * LineNum(n.UnitQty), 6));
}

void TSalesRules::OpenLine(const QString& executedField)
{
    TWriting writing(Context());
    PutLine(executedField, 0);
    PutLine(QStringLiteral("refercount"), 0);
    PutLine(QStringLiteral("closed"), QStringLiteral("F"));
}

// ====================================================================== damaged goods

QVariantList TSalesRules::DamagedItems() const
{
    QVariantList items;
    TClientDataSet* d = Context().Detail;
    const TField* bad = d && d->Active() ? d->FindField(QStringLiteral("isbad")) : nullptr;
    const TField* done = bad ? d->FindField(QStringLiteral("badqty")) : nullptr;
    const TField* item = bad ? d->FindField(QStringLiteral("itemno")) : nullptr;
    for (int r = 0; bad && item && r < d->RecordCount(); ++r) {
        const QVariant v = d->RowValue(r, bad->Index());
        const bool marked = v.toString() == QLatin1String("T") || v.toString() == QLatin1String("true") || v.toInt() == 1;
        if (marked && (!done || std::abs(d->RowValue(r, done->Index()).toDouble()) < 1e-9))
            items << d->RowValue(r, item->Index());
    }
    return items;
}

QString TSalesRules::WriteOffDamaged(int returnId)
{
    TGoodsBillContext& ctx = Context();
    const QVariantList items = DamagedItems();
    if (items.isEmpty())
        return QString();
    if (!Ask(QStringLiteral("退回货品中有需报损货品，是否生成盘点单？"), QStringLiteral("确认")))
        return QString();
    if (!Lock(QStringLiteral("BILLLOCK"), true)) {
        Notice(QStringLiteral("其他用户正在更新数据！"));
        return QString();
    }
    struct TRelease {
        std::function<bool(const QString&, bool)>& L;
        ~TRelease() { L(QStringLiteral("BILLLOCK"), false); }
    } release{Lock};

    QString code;
    TQuietPrompter quiet;
    try {
        TClientDataSet ret;
        ctx.Con->OpenDataSet(QStringLiteral("select * from sreturn where returnid = :id"), &ret, {{QStringLiteral("id"), returnId}});
        if (ret.IsEmpty())
            throw Exception(QStringLiteral("退货单不存在"));
        const QVariant subject =
            ctx.Con->ExecuteScalar(QStringLiteral(" select subid from subject where specialcode = 191001 "));

        TBillDocument bill(ctx.Con, ctx.Session);
        bill.ApplyProfile(*BillProfileOfForm(QStringLiteral("BalItemForm")));
        bill.MasterSQL = QStringLiteral("select * from balitem where balitemid = %s");
        bill.DetailSQL = QStringLiteral("select * from baldetail where balitemid = %s order by itemno");
        bill.SetPrompter(&quiet);
        bill.InitDocument();
        bill.NewBill();
        auto put = [](TClientDataSet* ds, const QString& field, const QVariant& v) {
            if (TField* f = ds->FindField(field))
                f->SetValue(v);
        };
        auto from = [&ret](const char* field) { return ret.FieldByName(QString::fromLatin1(field))->Value(); };
        TClientDataSet* m = bill.cdsMaster;
        put(m, QStringLiteral("balsid"), from("storeid"));
        put(m, QStringLiteral("billdate"), from("billdate"));
        put(m, QStringLiteral("shopid"), from("shopid"));
        put(m, QStringLiteral("opid"), ctx.Session.OpID);
        put(m, QStringLiteral("exemanid"), from("exemanid"));
        put(m, QStringLiteral("departmentid"), from("departmentid"));
        for (const char* u : {"userdef1", "userdef2", "userdef3", "userdef4", "userdef5"})
            put(m, QString::fromLatin1(u), from(u));
        put(m, QStringLiteral("subid"), subject);
        put(m, QStringLiteral("totalamt"), 0);
        put(m, QStringLiteral("templateid"), 1);
        put(m, QStringLiteral("rptid"), 16);
        put(m, QStringLiteral("printed"), 0);
        m->Post();

        // goods only (services and fees never sit in a store), at the lot's cost for goods costed
        // lot by lot, with the return line's own incoming lot as the lot written off
        TClientDataSet lines;
        QStringList marks;
        TSqlParams params{{QStringLiteral("id"), returnId}};
        for (int i = 0; i < items.size(); ++i) {
            marks << QStringLiteral(":i%1").arg(i);
            params.append({QStringLiteral("i%1").arg(i), items[i]});
        }
        ctx.Con->OpenDataSet(
            QStringLiteral("select d.itemno, d.unitid, d.goodsid, case g.inf_costingtypeid when 2 then d.aprice else g.aprice end aprice,"
                           " -d.quantity as quantity, d.unitprice, d.price, -d.unitqty as unitqty, -d.amount as amount, d.batchcode,"
                           " d.produceddate, d.validdate, case g.inf_costingtypeid when 2 then db.id else null end as batchrefid,"
                           " d.memo, d.userdef1, d.userdef2, d.userdef3 from returndetail d join goods g on d.goodsid = g.goodsid"
                           " left join detailbillflow db on db.billtype = 5 and db.billid = d.returnid and db.itemno = d.itemno"
                           " where g.kind <= 3 and d.returnid = :id and d.itemno in (") +
                marks.join(QLatin1Char(',')) + QStringLiteral(") order by d.itemno"),
            &lines, params);
        if (lines.IsEmpty())
            return QString();
        int itemNo = 0;
        for (lines.First(); !lines.Eof(); lines.Next()) {
            bill.cdsDetail->Append();
            TClientDataSet* l = bill.cdsDetail;
            put(l, QStringLiteral("itemno"), ++itemNo);
            for (const QString& f : lines.FieldNames())
                if (f.compare(QLatin1String("itemno"), Qt::CaseInsensitive) != 0)
                    put(l, f, lines.FieldByName(f)->Value());
            put(l, QStringLiteral("refertype"), kSalesReturnType);
            put(l, QStringLiteral("referbillid"), returnId);
            put(l, QStringLiteral("referitemno"), lines.FieldByName(QStringLiteral("itemno"))->Value());
            l->Post();
        }
        if (!bill.SaveBill())
            throw Exception(quiet.LastText);
        code = ctx.Con
                   ->ExecuteScalar(QStringLiteral("select code from balitem where balitemid = :id"), {{QStringLiteral("id"), bill.CurrentBillID}})
                   .toString();
    } catch (const Exception& e) {
        Prompts().Error(e.Message().isEmpty() ? QStringLiteral("生成盘点单失败") : QStringLiteral("生成盘点单失败\n") + e.Message(),
                        QStringLiteral("错误"));
        return QString();
    }
    Notice(QStringLiteral("已成功生成盘点单：") + code);
    return code;
}
