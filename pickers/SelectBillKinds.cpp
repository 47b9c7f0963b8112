#include "pickers/SelectBillKinds.h"

#include <QHash>
#include <QSet>

namespace {

const QString kMasterTexts = QStringLiteral(
    "0 as is_select, a.*, a.memo as mastermemo, a.userdef1 as masteruserdef1, a.userdef2 as masteruserdef2,"
    " a.userdef3 as masteruserdef3, a.userdef4 as masteruserdef4, a.userdef5 as masteruserdef5");

QStringList Names(const char* commaText) { return QString::fromLatin1(commaText).split(u',', Qt::SkipEmptyParts); }

// What follows the keys in the return fields of receipts, sales and their returns.
QStringList LineReturnFields(const char* keys, const char* cost, const char* followUp, const char* salesman)
{
    QStringList f = Names(keys);
    f << Names("unitid,goodsid,unitprice,unitqty,taxrate,disc,batchcode,batchrefid") << Names(cost)
      << Names("produceddate,validdate") << Names(followUp)
      << Names("memo,code,mastermemo,masteruserdef1,masteruserdef2,masteruserdef3,masteruserdef4,masteruserdef5,"
               "userdef1,userdef2,userdef3,ispresent")
      << Names(salesman);
    return f;
}

TSelectBillColumn Col(const char* field, const char* title, int width, const char* format = "")
{
    return {QString::fromLatin1(field), QString::fromUtf8(title), width, QString::fromLatin1(format)};
}

const TSelectBillColumn kTick = Col("is_select", "选择", 40);

QVector<TSelectBillColumn> BillColumns(const char* partyTitle, const char* amountField, bool withStore)
{
    QVector<TSelectBillColumn> c{kTick, Col("code", "单据号", 120), Col("billdate", "日期", 90)};
    if (partyTitle)
        c << Col("clientname", partyTitle, 160);
    if (withStore)
        c << Col("storename", "仓库", 90);
    if (amountField)
        c << Col(amountField, "金额", 90, "0.00");
    c << Col("memo", "备注", 160);
    return c;
}

// The lines as a clerk reads them: the source bill, the goods, what was ordered and what is
// still open, and the prices.
QVector<TSelectBillColumn> LineColumns(const char* openTitle)
{
    return {kTick,
            Col("code", "单据号", 110),
            Col("goodscode", "货品编码", 90),
            Col("goodsname", "货品名称", 150),
            Col("specs", "规格", 70),
            Col("unit", "单位", 45),
            Col("unitqty", "数量", 65, "0.####"),
            Col("exeqty", openTitle, 75, "0.####"),
            Col("unitprice", "单价", 70, "0.00"),
            Col("disc", "折扣率", 55, "0.##"),
            Col("taxrate", "税率", 45, "0.##"),
            Col("amount", "金额", 80, "0.00"),
            Col("batchcode", "批号", 80),
            Col("memo", "备注", 120)};
}

const QString kClientJoin = QStringLiteral(" left outer join client cl on cl.clientid = a.clientid");
const QString kStoreJoin = QStringLiteral(" left outer join store st on st.storeid = a.storeid");
const QString kPartyNames = QStringLiteral(", cl.name as clientname");
const QString kStoreNames = QStringLiteral(", st.name as storename");

// A receipt, sale or return of goods kept in a store: client or vendor, store, total.
TSelectBillKind GoodsBill(int kind, const char* caption, const char* table, const char* key, const char* view,
                          const char* partyTitle)
{
    TSelectBillKind k;
    k.Kind = kind;
    k.Caption = QString::fromUtf8(caption);
    k.MasterSelect = kMasterTexts + kPartyNames + kStoreNames;
    k.MasterFrom = QString::fromLatin1(table) + QStringLiteral(" a") + kClientJoin + kStoreJoin;
    k.PartyColumn = QStringLiteral("a.clientid");
    k.DetailFrom = QString::fromLatin1(view) + QStringLiteral(" d");
    k.MasterKeys = QStringList{QString::fromLatin1(key)};
    k.DetailKeys = QStringList{QString::fromLatin1(key), QStringLiteral("itemno")};
    k.MasterColumns = BillColumns(partyTitle, "totalamt", true);
    k.DetailColumns = LineColumns("未执行数量");
    return k;
}

// The open bills a payment (9) or a collection (5) settles: no lines, one result per bill.
TSelectBillKind BillsToSettle(int kind, const char* view, const char* settledTitle, const char* openTitle)
{
    TSelectBillKind k;
    k.Kind = kind;
    k.Caption = QStringLiteral("请选择单据");
    k.MasterSelect = QStringLiteral("0 as is_select, a.*, a.billcode as code");
    k.MasterFrom = QString::fromLatin1(view) + QStringLiteral(" a");
    k.MasterCondition = QStringLiteral("a.shouldpayamt <> 0 and ( a.flag = 0 or a.flag is null ) ");
    // opening balances (negative ids) first within their group
    k.MasterOrder = QStringLiteral("shopid, billtypeid, billdate, case when billid < 0 then null else billcode end");
    k.PartyColumn = QStringLiteral("a.clientid");
    k.MasterKeys = Names("billtypeid,billid");
    // "code" as well: the receiving end names the bill by it
    k.ReturnFields = Names("billtypeid,billid,billtype,billcode,billdate,total,totalrcvd,shouldpayamt,code");
    k.MasterColumns = {kTick,
                       Col("billtype", "单据类型", 100),
                       Col("billcode", "单据号", 120),
                       Col("billdate", "日期", 90),
                       Col("total", "总额", 90, "0.00"),
                       Col("totalrcvd", settledTitle, 90, "0.00"),
                       Col("shouldpayamt", openTitle, 90, "0.00")};
    return k;
}

QHash<int, TSelectBillKind> BuildKinds()
{
    QHash<int, TSelectBillKind> kinds;
    auto add = [&kinds](TSelectBillKind k) { kinds.insert(k.Kind, std::move(k)); };

    {
        TSelectBillKind k;
        k.Kind = 1;
        k.Caption = QStringLiteral("请选择销售订单");
        k.MasterSelect = kMasterTexts + kPartyNames;
        k.MasterFrom = QStringLiteral("sorder a") + kClientJoin;
        k.MasterCondition = QStringLiteral("a.closed = 'F' and a.finished ='F' ");
        k.PartyColumn = QStringLiteral("a.clientid");
        k.DetailFrom = QStringLiteral("v_selsorderdetail d");
        k.DetailCondition = QStringLiteral(" and d.goodskind <= 3");
        k.OpenCondition = QStringLiteral(" and d.exeqty > 0");
        k.MasterKeys = Names("sorderid");
        k.DetailKeys = Names("sorderid,itemno");
        k.ReturnFields = Names("sorderid,itemno,unitid,goodsid,unitprice,unitqty,taxrate,disc,produceddate,validdate,batchcode,"
                               "takeqty,Exeqty,memo,code,taxamt,goodsamt,amount,mastermemo,masteruserdef1,masteruserdef2,"
                               "masteruserdef3,masteruserdef4,masteruserdef5,userdef1,userdef2,userdef3,EXEMANID");
        k.MasterColumns = BillColumns("客户", "amount", false);
        k.DetailColumns = LineColumns("未执行数量");
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(2, "请选择销售单", "invoice", "invoiceid", "v_selinvoicedetail", "客户");
        k.OpenCondition = QStringLiteral(" and d.returnqty < d.unitqty");
        k.ReturnFields = LineReturnFields("invoiceid,itemno", "aprice", "returnqty", "EXEMANID");
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(3, "请选择现款销售单", "csale", "csaleid", "v_selcsaledetail", "客户");
        k.OpenCondition = QStringLiteral(" and d.returnqty < d.unitqty");
        k.ReturnFields = LineReturnFields("csaleid,itemno", "aprice", "returnqty", "EXEMANID");
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(4, "请选择销售退货单", "sreturn", "returnid", "v_selsreturndetail", "客户");
        k.OpenCondition = QStringLiteral(" and d.badqty < d.unitqty");
        k.ReturnFields = LineReturnFields("returnid,itemno", "detailbillflowid,aprice", "badqty", "EXEMANID");
        k.DetailColumns = LineColumns("未报损数量");
        add(k);
    }
    add(BillsToSettle(5, "v_chargeselectbill", "已收款", "未收款"));
    {
        TSelectBillKind k;
        k.Kind = 6;
        k.Caption = QStringLiteral("请选择采购订单");
        k.MasterSelect = kMasterTexts + kPartyNames;
        k.MasterFrom = QStringLiteral("porder a") + kClientJoin;
        k.MasterCondition = QStringLiteral("a.closed = 'F' and a.finished ='F' ");
        k.PartyColumn = QStringLiteral("a.clientid");
        k.DetailFrom = QStringLiteral("v_selporderdetail d");
        k.OpenCondition = QStringLiteral(" and d.RCVDQTY < d.UNITQTY ");
        k.MasterKeys = Names("orderid");
        k.DetailKeys = Names("orderid,itemno");
        k.ReturnFields = Names("orderid,itemno,unitid,goodsid,unitprice,unitqty,taxrate,disc,produceddate,validdate,rcvdqty,memo,"
                               "code,mastermemo,masteruserdef1,masteruserdef2,masteruserdef3,masteruserdef4,masteruserdef5,"
                               "userdef1,userdef2,userdef3,batchcode,EXEMANID");
        k.MasterColumns = BillColumns("供应商", "amount", false);
        k.DetailColumns = LineColumns("未收货数量");
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(7, "请选择采购收货单", "recieved", "recievedid", "v_selrecieveddetail", "供应商");
        k.OpenCondition = QStringLiteral(" and d.RETURNQTY < d.UNITQTY ");
        k.ReturnFields = LineReturnFields("recievedid,itemno", "detailbillflowid", "returnqty", "EXEMANID");
        k.DetailColumns = LineColumns("未退货数量");
        add(k);
    }
    add(BillsToSettle(9, "v_payselectbill", "已付款", "未付款"));
    {
        TSelectBillKind k;
        k.Kind = 10;
        k.Caption = QStringLiteral("请选择领料单");
        k.MasterSelect = kMasterTexts + QStringLiteral(", st.name as storename, e.name as drawmanname");
        k.MasterFrom = QStringLiteral("drawitem a left outer join store st on st.storeid = a.outsid"
                                      " left outer join employ e on e.empid = a.drawmanid");
        k.DetailFrom = QStringLiteral("v_seldrawitemdetail d");
        k.OpenCondition = QStringLiteral(" and d.backqty < d.UNITQTY ");
        k.MasterKeys = Names("drawitemid");
        k.DetailKeys = Names("drawitemid,itemno");
        k.ReturnFields = LineReturnFields("drawitemid,itemno", "detailbillflowid,aprice", "backqty", "drawmanid");
        k.MasterColumns = {kTick, Col("code", "单据号", 120), Col("billdate", "日期", 90), Col("drawmanname", "领料人", 90),
                           Col("storename", "仓库", 90), Col("totalamt", "金额", 90, "0.00"), Col("memo", "备注", 160)};
        k.DetailColumns = LineColumns("未退料数量");
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(22, "请选择估价入库单", "valuedrcvd", "billid", "v_selvaluedrcvddetail", "供应商");
        k.MasterCondition = QStringLiteral("a.flag=0");
        k.OpenCondition = QStringLiteral(" and d.returnqty < d.unitqty");
        k.ReturnFields = LineReturnFields("billid,itemno", "detailbillflowid,aprice", "returnqty", "EXEMANID");
        k.DetailColumns = LineColumns("未冲回数量");
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(26, "请选择现款采购单", "crecieved", "crecievedid", "v_selcrecieveddetail", "供应商");
        k.OpenCondition = QStringLiteral(" and d.RETURNQTY < d.UNITQTY ");
        k.ReturnFields = LineReturnFields("crecievedid,itemno", "detailbillflowid", "returnqty", "EXEMANID");
        k.DetailColumns = LineColumns("未退货数量");
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(27, "请选择委托代销单", "v_deputesale", "deputesaleid", "v_seldeputesaledetail", "客户");
        // bills with something still at the consignee
        k.MasterOpenCondition = QStringLiteral(
            " and exists (select 1 from v_deputesaledetail x where x.deputesaleid = a.deputesaleid and x.billtypeid = a.billtypeid"
            " and x.unitqty - isnull(x.returnqty, 0) - isnull(x.settledqty, 0) > 0)");
        k.OpenCondition = QStringLiteral(" and d.exeqty > 0");
        k.MasterKeys = Names("deputesaleid,billtypeid");
        k.DetailKeys = Names("deputesaleid,billtypeid,itemno");
        k.ReturnFields = Names("deputesaleid,billtypeid,itemno,unitid,goodsid,unitprice,taxprice,unitqty,taxrate,disc,batchcode,"
                               "batchrefid,detailbillflowid,aprice,unitaprice,produceddate,validdate,settledqty,returnqty,memo,"
                               "code,mastermemo,masteruserdef1,masteruserdef2,masteruserdef3,masteruserdef4,masteruserdef5,"
                               "userdef1,userdef2,userdef3,ispresent,empid");
        k.DetailColumns = LineColumns("未结数量");
        k.DetailColumns.insert(8, Col("settledqty", "已结数量", 65, "0.####"));
        add(k);
    }
    {
        TSelectBillKind k = GoodsBill(28, "请选择委托结算单", "deputesettlement", "deputesettlementid",
                                      "v_seldeputesettlementdetail", "客户");
        k.OpenCondition = QStringLiteral(" and d.returnqty < d.unitqty");
        k.ReturnFields = LineReturnFields("deputesettlementid,itemno", "aprice", "returnqty", "empid");
        k.DetailColumns = LineColumns("未退货数量");
        add(k);
    }
    {
        TSelectBillKind k;
        k.Kind = 41;
        k.Caption = QStringLiteral("请选择请配单");
        k.MasterSelect = kMasterTexts + QStringLiteral(", sh.name as shopname") + kStoreNames;
        k.MasterFrom = QStringLiteral("ASKDELIVER a left outer join shop sh on sh.shopid = a.shopid") + kStoreJoin;
        k.MasterCondition = QStringLiteral("1=1 and a.closed = 'F' and a.finished ='F' ");
        // the requests of the receiving branch, whichever branch delivers
        k.PartyColumn = QStringLiteral("a.shopid");
        k.ShopCondition.clear();
        k.DetailFrom = QStringLiteral("v_selaskdeliverdetail d");
        k.OpenCondition = QStringLiteral(" and d.DELIQTY < d.UNITQTY");
        k.MasterKeys = Names("ASKID");
        k.DetailKeys = Names("ASKID,ITEMNO");
        k.ReturnFields = Names("askid,itemno,unitid,goodsid,unitprice,unitqty,taxrate,disc,batchcode,produceddate,validdate,"
                               "deliqty,memo,code,mastermemo,masteruserdef1,masteruserdef2,masteruserdef3,masteruserdef4,"
                               "masteruserdef5,userdef1,userdef2,userdef3");
        k.MasterColumns = {kTick, Col("code", "单据号", 120), Col("billdate", "日期", 90), Col("shopname", "请配机构", 110),
                           Col("storename", "仓库", 90), Col("memo", "备注", 160)};
        k.DetailColumns = LineColumns("未配数量");
        add(k);
    }
    {
        TSelectBillKind k;
        k.Kind = 42;
        k.Caption = QStringLiteral("请选择配送单");
        k.MasterSelect = kMasterTexts + QStringLiteral(", so.name as outshopname, si.name as inshopname, sti.name as instorename");
        k.MasterFrom = QStringLiteral("DELIVER a left outer join shop so on so.shopid = a.outshopid"
                                      " left outer join shop si on si.shopid = a.inshopid"
                                      " left outer join store sti on sti.storeid = a.instoreid");
        k.MasterCondition = QStringLiteral("1=1 and a.closed = 'F' and a.finished ='F' ");
        k.PartyColumn = QStringLiteral("a.instoreid");
        k.ShopCondition = QStringLiteral(" and (a.OUTSHOPID = :shop or a.inshopid = :shop)");
        k.DetailFrom = QStringLiteral("v_seldeliverdetail d");
        k.OpenCondition = QStringLiteral(" and d.ALLOTQTY < d.UNITQTY");
        k.MasterKeys = Names("DELIVERID");
        k.DetailKeys = Names("DELIVERID,ITEMNO");
        k.ReturnFields = Names("deliverid,itemno,unitid,goodsid,unitprice,unitqty,taxrate,disc,batchcode,batchrefid,produceddate,"
                               "validdate,allotqty,memo,code,mastermemo,masteruserdef1,masteruserdef2,masteruserdef3,"
                               "masteruserdef4,masteruserdef5,userdef1,userdef2,userdef3,outstoreid,instoreid");
        k.MasterColumns = {kTick, Col("code", "单据号", 120), Col("billdate", "日期", 90), Col("outshopname", "调出机构", 100),
                           Col("inshopname", "调入机构", 100), Col("instorename", "调入仓库", 90), Col("memo", "备注", 140)};
        k.DetailColumns = LineColumns("未调数量");
        add(k);
    }
    {
        TSelectBillKind k;
        k.Kind = 44;
        k.Caption = QStringLiteral("请选择销售报价单");
        k.MasterSelect = kMasterTexts + kPartyNames;
        k.MasterFrom = QStringLiteral("quotation a") + kClientJoin;
        k.MasterCondition = QStringLiteral("a.closed = 'F'");
        k.ValidOnBillDate = true;
        k.PartyColumn = QStringLiteral("a.clientid");
        k.DetailFrom = QStringLiteral("v_selquotationdetail d");
        k.MasterKeys = Names("quotationid");
        k.DetailKeys = Names("quotationid,itemno");
        k.ReturnFields = Names("quotationid,itemno,unitid,goodsid,unitprice,unitqty,taxrate,disc,begqty,endqty,memo,code,mastermemo,"
                               "masteruserdef1,masteruserdef2,masteruserdef3,masteruserdef4,masteruserdef5,userdef1,userdef2,"
                               "userdef3,EXEMANID");
        k.MasterColumns = {kTick, Col("code", "单据号", 120), Col("billdate", "日期", 90), Col("clientname", "客户", 160),
                           Col("begdate", "起始日期", 90), Col("enddate", "终止日期", 90), Col("memo", "备注", 140)};
        QVector<TSelectBillColumn> lines = LineColumns("数量");
        lines.remove(7); // a quotation is never carried on: no open quantity
        lines.insert(7, Col("begqty", "数量段(从)", 70, "0.####"));
        lines.insert(8, Col("endqty", "数量段(到)", 70, "0.####"));
        k.DetailColumns = lines;
        add(k);
    }
    {
        TSelectBillKind k;
        k.Kind = 56203;
        k.Caption = QStringLiteral("请选择机会单");
        k.MasterSelect = kMasterTexts + QStringLiteral(", cl.name as clientname, t.name as tradername");
        k.MasterFrom = QStringLiteral("crm_chance a left outer join crm_trader t on t.id = a.traderid") + kClientJoin;
        k.MasterCondition = QStringLiteral("a.billstate = 1  and a.statustype <> 3");
        k.StillValid = true;
        k.PartyColumn = QStringLiteral("a.clientid");
        k.DetailSelect = QStringLiteral(
            "0 as is_select, d.*, g.name as goodsname, g.specs, g.code as goodscode, u.unitname as unit, u.rate as unitrate,"
            " bu.unitname as baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid, g.kind as goodskind, g.batchctrl,"
            " d.unitprice/(d.disc/100.0) as nprice, d.unitprice*(1+d.taxrate/100.0) as taxprice, d.unitqty as exeqty, m.code,"
            " m.billdate");
        k.DetailFrom = QStringLiteral(
            "crm_chancedetail d join crm_chance m on m.billid = d.billid left outer join goods g on g.goodsid = d.goodsid"
            " left outer join goodsunit u on u.goodsid = d.goodsid and u.unitid = d.unitid"
            " left outer join goodsunit bu on bu.goodsid = d.goodsid and bu.unittype = 0");
        k.MasterKeys = Names("billid");
        k.DetailKeys = Names("billid,itemno");
        k.ReturnFields = Names("billid,itemno,unitid,goodsid,unitprice,unitqty,taxrate,disc,memo,code,mastermemo,masteruserdef1,"
                               "masteruserdef2,masteruserdef3,masteruserdef4,masteruserdef5,userdef1,userdef2,userdef3");
        k.MasterColumns = {kTick, Col("code", "单据号", 120), Col("billdate", "日期", 90), Col("clientname", "客户", 160),
                           Col("amount", "金额", 90, "0.00"), Col("memo", "备注", 160)};
        k.DetailColumns = LineColumns("数量");
        add(k);
    }
    return kinds;
}

const QHash<int, TSelectBillKind>& Kinds()
{
    static const QHash<int, TSelectBillKind> kinds = BuildKinds();
    return kinds;
}

QString DateText(const QDate& d, bool endOfDay)
{
    return d.toString(QStringLiteral("yyyy-MM-dd")) + (endOfDay ? QStringLiteral(" 23:59:59") : QStringLiteral(" 00:00:00"));
}

} // namespace

const TSelectBillKind* SelectBillKind(int kind)
{
    const auto it = Kinds().constFind(kind);
    return it == Kinds().cend() ? nullptr : &it.value();
}

QList<int> SelectBillKindNumbers()
{
    QList<int> n = Kinds().keys();
    std::sort(n.begin(), n.end());
    return n;
}

const TSelectBillKind& PurchaseAppSelectKind()
{
    static const TSelectBillKind kind = [] {
        TSelectBillKind k;
        k.Kind = 43;
        k.Caption = QStringLiteral("请选择收货单据");
        k.MasterSelect = kMasterTexts + kPartyNames + kStoreNames
                         + QStringLiteral(", case a.billtype when 7 then '采购收货单' else '现款采购单' end as billtypename");
        k.MasterFrom = QStringLiteral("v_selpurappbill a") + kClientJoin + kStoreJoin;
        k.MasterCondition = QStringLiteral("billid > 0 ");
        k.PartyColumn = QStringLiteral("a.ClientID");
        k.DetailSelect = QStringLiteral(
            "0 as is_select, d.*, g.name as goodsname, g.specs, g.code as goodscode, u.unitname as unit, u.rate as unitrate,"
            " g.kind as goodskind, g.inf_costingtypeid, d.unitqty - isnull(d.returnqty, 0) as exeqty");
        k.DetailFrom = QStringLiteral("v_selpurappdetailbill d join goods g on g.goodsid = d.goodsid"
                                      " left outer join goodsunit u on u.goodsid = d.goodsid and u.unitid = d.unitid");
        // stock goods costed by moving average or first in, first out
        k.DetailCondition = QStringLiteral(" and g.kind<4 and g.inf_costingtypeid in (1, 3)");
        k.OpenCondition = QStringLiteral(" and d.RETURNQTY < d.UNITQTY ");
        k.MasterKeys = Names("billtype,billid");
        k.DetailKeys = Names("billtype,billid,itemno");
        k.ReturnFields = Names("billtype,billid,itemno,unitid,goodsid,unitprice,unitqty,taxrate,disc,batchcode,batchrefid,"
                               "detailbillflowid,produceddate,validdate,returnqty,memo,code,exemanid,mastermemo,masteruserdef1,"
                               "masteruserdef2,masteruserdef3,masteruserdef4,masteruserdef5,userdef1,userdef2,userdef3,"
                               "ispresent,purappamt");
        k.MasterColumns = {kTick, Col("billtypename", "单据类型", 90), Col("code", "单据号", 120), Col("billdate", "日期", 90),
                           Col("clientname", "供应商", 150), Col("storename", "仓库", 90), Col("totalamt", "金额", 90, "0.00"),
                           Col("memo", "备注", 120)};
        k.DetailColumns = LineColumns("未退货数量");
        k.DetailColumns.insert(12, Col("purappamt", "已分摊费用", 80, "0.00"));
        return k;
    }();
    return kind;
}

TSelectStatement SelectBillMasterStatement(const TSelectBillKind& kind, const TSelectBillRequest& r)
{
    TSelectStatement s;
    s.Sql = QStringLiteral("select ") + kind.MasterSelect + QStringLiteral(" from ") + kind.MasterFrom + QStringLiteral(" where ")
            + (kind.MasterCondition.trimmed().isEmpty() ? QStringLiteral("1=1") : kind.MasterCondition);
    s.Sql += QStringLiteral(" and a.billdate between :begindate and :enddate");
    s.Params << qMakePair(QStringLiteral("begindate"), QVariant(DateText(r.BeginDate, false)))
             << qMakePair(QStringLiteral("enddate"), QVariant(DateText(r.EndDate, true)));
    if (r.ByShop && !kind.ShopCondition.isEmpty()) {
        s.Sql += kind.ShopCondition;
        s.Params << qMakePair(QStringLiteral("shop"), QVariant(r.ShopID));
    }
    if (r.PartyID != 0 && !kind.PartyColumn.isEmpty()) {
        s.Sql += QStringLiteral(" and ") + kind.PartyColumn + QStringLiteral(" = :party");
        s.Params << qMakePair(QStringLiteral("party"), QVariant(r.PartyID));
    }
    if (kind.ValidOnBillDate) {
        const QDate day = r.BillDate.isValid() ? r.BillDate : QDate::currentDate();
        s.Sql += QStringLiteral(" and :billdate1 between case when a.begdate is null then :billdate2 else a.begdate end"
                                " and case when a.enddate is null then :billdate3 else a.enddate end");
        for (const char* name : {"billdate1", "billdate2", "billdate3"})
            s.Params << qMakePair(QString::fromLatin1(name), QVariant(DateText(day, false)));
    }
    if (kind.StillValid)
        s.Sql += QStringLiteral(" and a.billdate + validdays >= getdate() ");
    if (!r.ShowExecuted)
        s.Sql += kind.MasterOpenCondition;
    s.Sql += r.Condition;
    s.Params += r.ConditionParams;
    s.Sql += QStringLiteral(" order by ")
             + (kind.MasterOrder.isEmpty() ? QStringLiteral("a.billdate, a.code") : kind.MasterOrder);
    return s;
}

TSelectStatement SelectBillDetailStatement(const TSelectBillKind& kind, const TSelectBillRequest& r,
                                           const QVector<QVariantList>& chosenBills)
{
    TSelectStatement s;
    if (!kind.HasDetail())
        return s;
    QString lines = QStringLiteral("select ") + kind.DetailSelect + QStringLiteral(" from ") + kind.DetailFrom
                    + QStringLiteral(" where 1=1") + kind.DetailCondition;
    if (!r.ShowExecuted)
        lines += kind.OpenCondition;
    // the chosen bills' keys as rows of bound values
    QStringList rows;
    for (int i = 0; i < chosenBills.size(); ++i) {
        QStringList cols;
        for (int k = 0; k < kind.MasterKeys.size(); ++k) {
            const QString name = QStringLiteral("k%1_%2").arg(i).arg(k);
            cols << u':' + name + QStringLiteral(" as ") + kind.MasterKeys.at(k);
            s.Params << qMakePair(name, chosenBills.at(i).value(k));
        }
        rows << QStringLiteral("select ") + cols.join(QStringLiteral(", "));
    }
    if (rows.isEmpty()) {
        QStringList cols;
        for (const QString& key : kind.MasterKeys)
            cols << QStringLiteral("null as ") + key;
        rows << QStringLiteral("select ") + cols.join(QStringLiteral(", ")) + QStringLiteral(" where 1=0");
    }
    QString join;
    for (const QString& key : kind.MasterKeys)
        join += QStringLiteral(" and b.") + key + QStringLiteral(" = a.") + key;
    QStringList order;
    for (const QString& key : kind.DetailKeys)
        order << QStringLiteral("a.") + key;
    s.Sql = QStringLiteral(" select a.* from ( %1 ) a,( %2 ) b where 1=1 %3 order by %4")
                .arg(lines, rows.join(QStringLiteral(" union all ")), join, order.join(QStringLiteral(", ")));
    return s;
}

QStringList PeriodChoiceTitles()
{
    return {QStringLiteral("今        天"), QStringLiteral("本        周"), QStringLiteral("上        周"), QStringLiteral("本        期"),
            QStringLiteral("本期上旬"),       QStringLiteral("本期中旬"),       QStringLiteral("本期下旬")};
}

std::pair<QDate, QDate> PeriodChoiceDates(int choice, const QDate& today, const QDate& periodStart, const QDate& periodEnd)
{
    QDate start = periodStart;
    QDate end = periodEnd;
    if (!start.isValid() || !end.isValid() || end < start) {
        start = QDate(today.year(), today.month(), 1);
        end = start.addMonths(1).addDays(-1);
    }
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    switch (choice) {
    case pcToday: return {today, today};
    case pcThisWeek: return {monday, monday.addDays(6)};
    case pcLastWeek: return {monday.addDays(-7), monday.addDays(-1)};
    case pcThisPeriod: return {start, end};
    case pcPeriodFirst: return {start, std::min(start.addDays(9), end)};
    case pcPeriodMiddle: return {std::min(start.addDays(10), end), std::min(start.addDays(19), end)};
    case pcPeriodLast: return {std::min(start.addDays(20), end), end};
    default: return {today, today};
    }
}

namespace {
bool Ticked(TClientDataSet* ds)
{
    const TField* f = ds->FindField(kIsSelect);
    return f && !f->IsNull() && f->AsBoolean();
}

QVariantList KeyValues(TClientDataSet* ds, const QStringList& keys)
{
    QVariantList v;
    for (const QString& k : keys) {
        const TField* f = ds->FindField(k);
        v << (f ? f->Value() : QVariant());
    }
    return v;
}
} // namespace

int CollectSelectedBills(const TSelectBillKind& kind, TClientDataSet* master, TClientDataSet* detail, TReturnValue* result,
                         QStringList* missing)
{
    if (!result)
        return 0;
    result->Clear();
    const bool byLine = kind.HasDetail();
    TClientDataSet* rows = byLine ? detail : master;
    if (!rows || !rows->Active() || !master || !master->Active())
        return 0;
    QSet<QString> told;
    const TClientDataSet::TBookmark masterHere = master->IsEmpty() ? 0 : master->GetBookmark();
    const TClientDataSet::TBookmark rowsHere = rows->IsEmpty() || rows == master ? 0 : rows->GetBookmark();
    master->Silence();
    if (rows != master)
        rows->Silence();
    int count = 0;
    for (rows->First(); !rows->Eof(); rows->Next()) {
        if (!Ticked(rows))
            continue;
        // the bill of the line, for the fields the line does not carry
        bool withMaster = !byLine;
        if (byLine) {
            const QVariantList keys = KeyValues(rows, kind.MasterKeys);
            withMaster = master->Locate(kind.MasterKeys.join(u';'), keys);
        }
        TListValue* line = result->AddRow();
        for (const QString& name : kind.ReturnFields) {
            TField* f = rows->FindField(name);
            if (!f && withMaster)
                f = master->FindField(name);
            if (f) {
                line->SetValue(name, f->Value());
            } else if (!told.contains(name.toLower())) {
                told.insert(name.toLower());
                if (missing)
                    *missing << name;
            }
        }
        ++count;
    }
    if (rows != master) {
        if (rowsHere)
            rows->GotoBookmark(rowsHere);
        rows->WakeUp();
    }
    if (masterHere)
        master->GotoBookmark(masterHere);
    master->WakeUp();
    return count;
}

void ReturnValueToDataSet(const TReturnValue& rows, TClientDataSet* ds)
{
    ds->Close();
    ds->ClearFields();
    // one field per name, typed by its first value that is not null
    QStringList names;
    QHash<QString, TFieldType> types;
    QSet<QString> typed;
    for (int r = 1; r <= rows.RowCount(); ++r) {
        const TListValue* row = rows.Row(r);
        for (int i = 0; i < row->Count(); ++i) {
            const QString name = row->GetNameAt(i);
            const QString key = name.toLower();
            if (!types.contains(key)) {
                names << name;
                types.insert(key, TFieldType::ftString);
            }
            const QVariant v = row->GetValueAt(i);
            if (v.isNull() || !v.isValid() || typed.contains(key))
                continue;
            typed.insert(key);
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong: types.insert(key, TFieldType::ftInteger); break;
            case QMetaType::Double:
            case QMetaType::Float: types.insert(key, TFieldType::ftFloat); break;
            case QMetaType::QDateTime:
            case QMetaType::QDate: types.insert(key, TFieldType::ftDateTime); break;
            case QMetaType::Bool: types.insert(key, TFieldType::ftBoolean); break;
            default: break;
            }
        }
    }
    for (const QString& n : names)
        ds->AddField(n, types.value(n.toLower()), types.value(n.toLower()) == TFieldType::ftString ? 255 : 0);
    ds->CreateDataSet();
    for (int r = 1; r <= rows.RowCount(); ++r) {
        const TListValue* row = rows.Row(r);
        ds->Append();
        for (int i = 0; i < row->Count(); ++i)
            if (TField* f = ds->FindField(row->GetNameAt(i)))
                f->SetValue(row->GetValueAt(i));
        ds->Post();
    }
    ds->First();
}
