#include "server/DemoData.h"
#include "server/Login.h"

#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>

#include <cmath>
#include <iterator>
#include <vector>

// ---------------------------------------------------------------- helpers
namespace {

// Prepared inserts, one per table and column list, reused row after row. On a connection
// to PostgreSQL the rows go through the connection (the SQLite road stays on the raw handle,
// which fills a new file several times faster).
class TDemoWriter {
public:
    explicit TDemoWriter(sqlite3* db) : FDb(db) {}
    explicit TDemoWriter(TClientConnection& con) : FDb(con.IsPostgres() ? nullptr : con.Handle()), FCon(&con) {}
    ~TDemoWriter()
    {
        for (sqlite3_stmt* st : std::as_const(FCache))
            sqlite3_finalize(st);
    }
    TDemoWriter(const TDemoWriter&) = delete;
    TDemoWriter& operator=(const TDemoWriter&) = delete;

    void Insert(const char* table, const char* columns, const QVariantList& values)
    {
        if (!FDb) {
            const QStringList cols = QString::fromLatin1(columns).split(u',');
            if (cols.size() != values.size())
                throw EDatabaseError(QStringLiteral("Demo data: %1 expects %2 values, got %3")
                                         .arg(QString::fromLatin1(table)).arg(cols.size()).arg(values.size()));
            TSqlParams params;
            QStringList marks;
            for (int i = 0; i < values.size(); ++i) {
                marks << QStringLiteral(":p%1").arg(i);
                params.append({QStringLiteral("p%1").arg(i), values.at(i)});
            }
            FCon->ExecuteNative(QStringLiteral("insert into %1 (%2) values (%3)")
                                    .arg(QString::fromLatin1(table), QString::fromLatin1(columns), marks.join(u',')),
                                params);
            return;
        }
        const QString key = QString::fromLatin1(table) + QLatin1Char('|') + QString::fromLatin1(columns);
        sqlite3_stmt* st = FCache.value(key);
        if (!st) {
            const int count = QString::fromLatin1(columns).count(QLatin1Char(',')) + 1;
            QStringList marks;
            for (int i = 0; i < count; ++i)
                marks << QStringLiteral("?");
            const QByteArray sql = QStringLiteral("insert into %1 (%2) values (%3)")
                                       .arg(QString::fromLatin1(table), QString::fromLatin1(columns), marks.join(u','))
                                       .toUtf8();
            if (sqlite3_prepare_v2(FDb, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
                Fail(QString::fromUtf8(sql));
            FCache.insert(key, st);
        }
        if (sqlite3_bind_parameter_count(st) != values.size())
            throw EDatabaseError(QStringLiteral("Demo data: %1 expects %2 values, got %3")
                                     .arg(QString::fromLatin1(table)).arg(sqlite3_bind_parameter_count(st)).arg(values.size()));
        for (int i = 0; i < values.size(); ++i)
            Bind(st, i + 1, values.at(i));
        if (sqlite3_step(st) != SQLITE_DONE) {
            sqlite3_reset(st);
            Fail(QString::fromLatin1(table));
        }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }

    void Exec(const QString& sql)
    {
        if (!FDb) {
            QString text = sql;
            if (text.startsWith(QLatin1String("insert or ignore ")))
                text = QStringLiteral("insert ") + text.mid(17) + QStringLiteral(" on conflict do nothing");
            FCon->ExecuteNative(text);
            return;
        }
        char* err = nullptr;
        if (sqlite3_exec(FDb, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            const QString msg = err ? QString::fromUtf8(err) : QString();
            sqlite3_free(err);
            throw EDatabaseError(QStringLiteral("Demo data failed: %1\n%2").arg(msg, sql.left(300)));
        }
    }

    double Number(const QString& sql, const QVariant& arg)
    {
        if (!FDb)
            return FCon->ExecuteScalar(sql, {{QStringLiteral("a"), arg}}).toDouble();
        sqlite3_stmt* st = nullptr;
        double r = 0;
        if (sqlite3_prepare_v2(FDb, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            Fail(sql);
        sqlite3_bind_int64(st, 1, arg.toLongLong());
        if (sqlite3_step(st) == SQLITE_ROW)
            r = sqlite3_column_double(st, 0);
        sqlite3_finalize(st);
        return r;
    }

private:
    sqlite3* FDb;
    TClientConnection* FCon = nullptr;
    QHash<QString, sqlite3_stmt*> FCache;

    [[noreturn]] void Fail(const QString& what)
    {
        throw EDatabaseError(QStringLiteral("Demo data failed (%1): %2").arg(what, QString::fromUtf8(sqlite3_errmsg(FDb))));
    }

    static void Bind(sqlite3_stmt* st, int i, const QVariant& v)
    {
        if (v.isNull() || !v.isValid()) {
            sqlite3_bind_null(st, i);
            return;
        }
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            sqlite3_bind_int64(st, i, v.toLongLong());
            break;
        case QMetaType::Bool:
            sqlite3_bind_int(st, i, v.toBool() ? 1 : 0);
            break;
        case QMetaType::Double:
            sqlite3_bind_double(st, i, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray t = v.toString().toUtf8();
            sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
        }
    }
};

// A small generator with a fixed seed, so the demo company is the same on every machine.
class TDemoRandom {
public:
    explicit TDemoRandom(quint64 seed) : FState(seed) {}
    quint32 Next()
    {
        FState = FState * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(FState >> 33);
    }
    int Range(int lo, int hi) { return lo + int(Next() % quint32(hi - lo + 1)); } // inclusive
    double Real(double lo, double hi) { return lo + (hi - lo) * (Next() / 4294967296.0); }
    bool Chance(int percent) { return Range(1, 100) <= percent; }

private:
    quint64 FState;
};

double Round2(double v) { return std::round(v * 100.0) / 100.0; }
double Round1(double v) { return std::round(v * 10.0) / 10.0; }
QString DateText(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"); }
QVariant Null() { return QVariant(); }
QString U(const char* s) { return QString::fromUtf8(s); }

} // namespace

// ---------------------------------------------------------------- EAN-13
int Ean13CheckDigit(const QString& twelveDigits)
{
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        const int d = twelveDigits.at(i).digitValue();
        sum += (i % 2 == 0) ? d : 3 * d;
    }
    return (10 - sum % 10) % 10;
}

bool IsValidEan13(const QString& code)
{
    if (code.size() != 13)
        return false;
    for (QChar c : code)
        if (!c.isDigit() || c.unicode() > 127)
            return false;
    return Ean13CheckDigit(code.left(12)) == code.at(12).digitValue();
}

// ---------------------------------------------------------------- bill windows
namespace {

struct TWindowDef {
    TDemoBillWindow Window;
    const char* KeyField;
    const char* Master; // field tokens, see MasterField()
    const char* Detail; // field tokens, see DetailFields()
};

// Master tokens: a name from the table in MasterField(), or "field/caption/subtype[/list]".
// Detail tokens: "@G" goods line with prices and tax, "@S" stock goods line at cost,
// "@B" batch columns, or "field/caption/subtype[/list]".
const TWindowDef kWindows[] = {
    {{44, "QuotationForm", "销售报价单", 36}, "quotationid",
     "client,exeman,dept,linkman,phone,fax,begdate/有效期从/3,enddate/有效期至/3,delivertypeid/交货方式/4/DeliverType,disc,memo,ud,opname,shopname",
     "@G0,begqty/数量段(从)/1,endqty/数量段(至)/1"},
    {{1, "SOrderForm", "销售订单", 5}, "sorderid",
     "client,billtypeid,exeman,dept,linkman,phone,contractno/合同号/1,shipto,takedate/交货日期/3,taxrate,disc,memo,closed/关闭/2,ud,amount,opname,shopname",
     "@G,takeqty/已出货数量/5,@B"},
    {{2, "InvoiceForm", "销售开单", 6}, "invoiceid",
     "client,store,billtypeid,exeman,dept,linkman,phone,termdays,ctermdays,checkno,disc,memo,ud,totalamt,totalrcvd/已收金额/5,debtamt/客户欠款/5,opname,shopname",
     "@G,returnqty/已退货数量/5,@B"},
    {{5, "ChargeForm", "销售收款单", 7}, "chargeid",
     "client,exeman,dept,paytype,bank,checkno,amount/本次结算金额/1,discamount/折扣金额/1,factamount/实收金额/1,memo,ud,opname,shopname",
     "code/单据编号/5,billdate/单据日期/5,total/单据金额/5,totalrcvd/已结金额/5,shouldpayamt/未结金额/5,amount/本次结算/1,memo/备注/1"},
    {{3, "CashSaleForm", "现款销售单", 8}, "csaleid",
     "client,store,billtypeid,exeman,dept,paytype,bank,checkno,disc,memo,ud,totalamt,opname,shopname",
     "@G,returnqty/已退货数量/5,@B"},
    {{4, "SReturnForm", "销售退货单", 9}, "returnid",
     "client,store,billtypeid,exeman,dept,backmoney/退款/2,paytype,bank,checkno,disc,memo,ud,totalamt,opname,shopname",
     "@G,isbad/报损/2,badqty/报损数量/1,@B"},
    {{6, "PorderForm", "采购订单", 1}, "orderid",
     "vendor,billtypeid,exeman,dept,linkman,phone,fax,revdate/交货日期/3,billto/交货地址/1,taxrate,disc,memo,closed/关闭/2,ud,amount,opname,shopname",
     "@G,rcvdqty/已收货数量/5"},
    {{7, "RecieveForm", "采购收货单", 2}, "recievedid",
     "vendor,store,billtypeid,exeman,dept,linkman,phone,termdays,ctermdays,checkno,disc,memo,ud,totalamt,totalpaid/已付金额/5,balamt/应付余额/5,opname,shopname",
     "@G,returnqty/已退货数量/5,@B"},
    {{9, "PayForm", "采购付款单", 4}, "payid",
     "vendor,exeman,dept,paytype,bank,checkno,amount/本次结算金额/1,discamount/折扣金额/1,factamount/实付金额/1,memo,ud,opname,shopname",
     "code/单据编号/5,billdate/单据日期/5,total/单据金额/5,totalrcvd/已结金额/5,shouldpayamt/未结金额/5,amount/本次结算/1,memo/备注/1"},
    {{8, "PReturnForm", "采购退货单", 3}, "preturnid",
     "vendor,store,billtypeid,exeman,dept,backmoney/退款/2,paytype,bank,checkno,disc,memo,ud,totalamt,opname,shopname",
     "@G,@B"},
    {{41, "AskDelieverForm", "请配单", 32}, "askid",
     "store,delidate/要求到货日期/3,exeman,dept,memo,closed/关闭/2,ud,opname,shopname",
     "@S0,deliqty/已配数量/5"},
    {{42, "DeliverForm", "配送单", 33}, "deliverid",
     "outshopid/调出机构/4/Shop,outstoreid/调出仓库/4/Store,inshopid/调入机构/4/Shop,instoreid/调入仓库/4/Store,delidate/到货日期/3,exeman,dept,memo,closed/关闭/2,ud,opname,shopname",
     "@S,allotqty/已调数量/5,@B"},
    {{22, "ValuedRecieveForm", "估价入库单", 26}, "billid",
     "vendor,store,exeman,dept,memo,ud,totalamt,opname,shopname",
     "@S,returnqty/冲回数量/5,@B"},
    {{40, "ValuedRecieveInitForm", "估价入库期初", 26}, "billid",
     "vendor,store,exeman,dept,memo,ud,totalamt,opname,shopname",
     "@S,returnqty/冲回数量/5,@B"},
    {{43, "PurchaseAppForm", "采购费用分摊单", 34}, "purchaseappid",
     "vendor,exeman,dept,paytype,bank,checkno,totalamt/费用金额/1,memo,ud,opname,shopname",
     "goodsid/货品编码/4/Goods,goodsname/货品名称/5,specs/规格/5,unit/单位/5,unitqty/数量/5,unitprice/单价/5,goodsamt/金额/5,appamt/分摊费用/1,referbillcode/收货单号/5,memo/备注/1"},
    {{26, "CashRecieveForm", "现款采购单", 27}, "crecievedid",
     "vendor,store,billtypeid,exeman,dept,paytype,bank,checkno,disc,memo,ud,totalamt,opname,shopname",
     "@G,returnqty/已退货数量/5,@B"},
    {{10, "DrawItemForm", "领料单", 10}, "drawitemid",
     "outsid/发料仓库/4/Store,drawmanid/领料人/4/Employ,subid,dept,exeman,memo,ud,totalamt,opname,shopname",
     "@S,backqty/已退料数量/5,@B"},
    {{11, "BackDrawForm", "退料单", 11}, "backdrawid",
     "insid/退入仓库/4/Store,backmanid/退料人/4/Employ,subid,dept,exeman,memo,ud,totalamt,opname,shopname",
     "@S,@B"},
    {{12, "InProductForm", "产品进仓单", 12}, "inproductid",
     "insid/入库仓库/4/Store,subid,dept,exeman,memo,ud,totalamt,opname,shopname",
     "@S,material/材料成本/1,labour/人工成本/1,manufacture/制造费用/1,assistant/其他费用/1,@B"},
    {{14, "BalItemForm", "库存盘点单", 16}, "balitemid",
     "balsid/盘点仓库/4/Store,subid,dept,exeman,memo,ud,totalamt,opname,shopname",
     "@S,onhand/帐面数量/5,realqty/实盘数量/1,@B"},
    {{19, "AdjApForm", "存货调价单", 13}, "adjapid",
     "subid,dept,exeman,fileno/调价文号/1,memo,ud,totalamt,opname,shopname",
     "goodsid/货品编码/4/Goods,goodsname/货品名称/5,specs/规格/5,unitid/单位/4/Unit,unitqty/数量/1,aoprice/原成本价/5,anprice/新成本价/1,amount/调价金额/5,memo/备注/1"},
    {{13, "AllotForm", "仓库调拨单", 17}, "allotid",
     "outsid/调出仓库/4/Store,insid/调入仓库/4/Store,outsname/调出机构/5,insname/调入机构/5,dept,exeman,memo,ud,totalamt,opname,shopname",
     "@S,sprice/销售价/1,@B"},
    {{16, "CombinForm", "组装与拆卸单", 14}, "combinid",
     "combinflag/组装拆卸/4/CombinFlag,store,goodsid/组装货品/4/Goods,unitid/单位/4/Unit,unitqty/数量/1,unitprice/单价/1,dept,exeman,memo,ud,totalamt,opname,shopname",
     "@S,@B"},
    {{15, "InOutForm", "库存变动单", 15}, "inoutid",
     "store,satid/变动类型/4/Sat,type/类别/5,people/经办人/1,client,dept,exeman,memo,ud,totalamt,opname,shopname",
     "@S,price/单价/1,backqty/已退还数量/5,@B"},
    {{17, "ExpenseForm", "费用开支单", 18}, "expenseid",
     "bank,paytype,emp,dept,traderid/往来单位/4/Client,linkman,checkno,memo,ud,amount,opname,shopname",
     "ietypeid/费用类别/4/IEType,ietypename/费用名称/5,amount/金额/1,memo/备注/1,ud3"},
    {{18, "IncomeForm", "其它收入单", 19}, "incomeid",
     "bank,paytype,emp,dept,checkno,memo,ud,amount,opname,shopname",
     "ietypeid/收入类别/4/InIEType,name/收入名称/5,amount/金额/1,memo/备注/1,ud3"},
    {{20, "MoveMoneyForm", "银行存取款单", 22}, "moveid",
     "outbankid/转出帐户/4/Bank,outsname/转出机构/5,inbankid/转入帐户/4/Bank,insname/转入机构/5,amount/金额/1,emp,checkno,memo,ud,opname,shopname",
     ""},
    {{23, "POSBillForm", "POS销售单", 23}, "billid",
     "billtime/销售时间/5,vipcode/会员卡号/5,storename/仓库/5,machinename/收银机/5,classname/班次/5,empcode/营业员/5,paytype/付款方式/5,totalamount/金额合计/5,opname,shopname",
     "code/货品编码/5,name/货品名称/5,specs/规格/5,unit/单位/5,unitqty/数量/5,unitprice/单价/5,discount/折扣/5,amount/金额/5,batchcode/批号/7,validdate/到期日期/3"},
    {{27, "DeputeSaleForm", "委托代销单", 1750}, "deputesaleid",
     "client,store,billtype/业务类型/4/DeputeBillType,emp,dept,shipto,taxrate,disc,memo,ud,totalamt,opname,shopname",
     "@G,deputeprice/代销价/1,settledqty/已结数量/5,returnqty/已退数量/5,@B"},
    {{28, "DeputeSettlementForm", "代销结算单", 1751}, "deputesettlementid",
     "client,store,settlementtype/结算方式/4/DeputeSettlementType,emp,dept,billtypeid,paytype,bank,termdays,ctermdays,checkno,disc,taxrate,memo,ud,totalamt,totalrcvd/已收金额/5,opname,shopname",
     "@G,deputesalemoney/代销金额/5,margin/差额/5,returnqty/已退数量/5,@B"},
    {{29, "DeputeSaleInitForm", "委托代销期初", 1752}, "deputesaleinitid",
     "client,store,emp,dept,memo,ud,totalamt,opname,shopname",
     "@G,settledqty/已结数量/5,returnqty/已退数量/5,@B"},
    {{30, "SetGoodsDiscountForm", "商品限时打折", 1754}, "goodsdiscountid",
     "discshopid/打折机构/4/Shop,store,startdate/启用日期/3,enddate/结束日期/3,starttime/开始时间/1,endtime/结束时间/1,disc/折扣率%/1,ratifierid/批准人/4/Employ,dept,exeman,memo,opname,shopname",
     "goodsid/货品编码/4/Goods,goodsname/货品名称/5,specs/规格/5,unitid/单位/4/Unit,sprice/销售价/5,rate/折扣率%/1,disprice/折扣价/1,useflag/是否使用/4/YesNo,memo/备注/1"},
    {{25, "OperatorTurninForm", "收银员出入款单", 24}, "id",
     "opid/收银员/4/Operator,incash/入款金额/1,outcash/出款金额/1,memo,opname/经手人(柜长)/5,shopname",
     ""},
    {{24, "POSCloseBillForm", "POS日结单", 25}, "billid",
     "store,client,memo,ud,amount,opname,shopname",
     "goodscode/货品编码/5,goodsname/货品名称/5,specs/规格/5,unit/单位/5,saledate/销售日期/3,quantity/数量/5,price/单价/5,amount/金额/5,aprice/成本价/5,batchcode/批号/5,validdate/到期日期/3,memo/备注/1"},
    {{21, "DisLaborageForm", "支付工资单", 6}, "id",
     "labyear/工资年份/1,labmonth/工资月份/1,emp,bank,paytype,checkno,subid/应付工资科目/6/Subject,subcode/科目代码/5,amount/金额/1,memo,opname,shopname",
     ""},
};

// List sources of drop-down fields: host lookup data source, key, display, list columns.
struct TListDef {
    const char* Name;
    const char* DataSet;
    const char* Key;
    const char* Display;
    const char* Columns;
    const char* Filter;
};
const TListDef kLists[] = {
    {"Client", "Client_DS", "clientid", "shortname", "code;shortname", "closed='F'"},
    {"Vendor", "Vendor_DS", "clientid", "shortname", "code;shortname", "closed='F'"},
    {"Store", "Store_DS", "storeid", "name", "code;name", "closed='F'"},
    {"Employ", "Employ_DS", "empid", "name", "code;name", "sign='T' and isoperate='T'"},
    {"Department", "Department_DS", "departmentid", "name", "code;name", ""},
    {"BillType", "BillType_DS", "billtypeid", "name", "name", ""},
    {"LinkMan", "LinkMan_DS", "id", "name", "name;phone", "closed = 0"},
    {"Bank", "Bank_DS", "bankid", "name", "code;name", "closed='F'"},
    {"PayType", "PayType_DS", "paytypeid", "name", "name", "closed='F'"},
    {"Subject", "Subject_DS", "subid", "name", "subcode;name", "detailflag='T'"},
    {"Shop", "Shop_DS", "shopid", "name", "code;name", ""},
    {"Goods", "GoodsDataSet_DS", "goodsid", "code", "code;name;specs", "closed='F'"},
    {"Unit", "GoodsUnit_DS", "unitid", "unitname", "unitname;rate", ""},
    {"DeliverType", "DeliverType_DS", "delivertypeid", "name", "name", ""},
    {"Sat", "Sat_DS", "satid", "name", "code;name", "closed='F'"},
    {"IEType", "IEType_DS", "ietypeid", "name", "code;name", "iekind=2"},
    {"InIEType", "InIEType_DS", "ietypeid", "name", "code;name", "iekind=1"},
    {"Operator", "Operator_DS", "opid", "opname", "code;opname", "isuse=0"},
    {"DeputeSettlementType", "DeputeSettlementType_DS", "settlementtype", "name", "name", ""},
    {"DeputeBillType", "DeputeBillType_DS", "id", "name", "name", ""},
    {"CombinFlag", "CombinFlag_DS", "id", "name", "name", ""},
    {"YesNo", "YesNo_DS", "id", "name", "name", ""},
};

const TListDef* FindList(const QString& name)
{
    for (const TListDef& l : kLists)
        if (name.compare(QString::fromLatin1(l.Name), Qt::CaseInsensitive) == 0)
            return &l;
    return nullptr;
}

struct TFieldSpec {
    int Section = 2; // 1 head, 2 body, 3 detail, 4 foot
    QString Field;
    QString Caption;
    int SubType = 1;
    QString List;
    int Width = 80;
    bool AlwaysDisplay = false;
    bool Shown = true; // in the standard template
};

TFieldSpec ParseCustom(const QString& token, int section)
{
    const QStringList p = token.split(u'/');
    TFieldSpec f;
    f.Section = section;
    f.Field = p.value(0);
    f.Caption = p.value(1, f.Field);
    f.SubType = p.value(2, QStringLiteral("1")).toInt();
    f.List = p.value(3);
    return f;
}

// Master fields shared by many bills.
QList<TFieldSpec> MasterField(const QString& token)
{
    static const QHash<QString, QString> common{
        {QStringLiteral("client"), U("clientid/客户/4/Client")},
        {QStringLiteral("vendor"), U("clientid/供应商/4/Vendor")},
        {QStringLiteral("store"), U("storeid/仓库/4/Store")},
        {QStringLiteral("exeman"), U("exemanid/业务员/4/Employ")},
        {QStringLiteral("emp"), U("empid/经办人/4/Employ")},
        {QStringLiteral("dept"), U("departmentid/部门/4/Department")},
        {QStringLiteral("billtypeid"), U("billtypeid/发票类型/4/BillType")},
        {QStringLiteral("linkman"), U("linkmanid/联系人/4/LinkMan")},
        {QStringLiteral("phone"), U("phone/联系电话/1")},
        {QStringLiteral("fax"), U("fax/传真/1")},
        {QStringLiteral("shipto"), U("shipto/送货地址/1")},
        {QStringLiteral("termdays"), U("termdays/收付款期限(天)/1")},
        {QStringLiteral("ctermdays"), U("CTermDays/到期日期/5")},
        {QStringLiteral("checkno"), U("checkno/发票号/1")},
        {QStringLiteral("bank"), U("bankid/帐户/4/Bank")},
        {QStringLiteral("paytype"), U("paytypeid/结算方式/4/PayType")},
        {QStringLiteral("subid"), U("subid/科目/6/Subject")},
        {QStringLiteral("disc"), U("disc/整单折扣%/1")},
        {QStringLiteral("taxrate"), U("taxrate/税率%/1")},
        {QStringLiteral("memo"), U("memo/备注/1")},
    };
    QList<TFieldSpec> out;
    if (token == QLatin1String("ud")) {
        for (int i = 1; i <= 5; ++i) {
            TFieldSpec f = ParseCustom(QStringLiteral("userdef%1/%2%1/1").arg(i).arg(U("自定义")), 2);
            f.Shown = false;
            out << f;
        }
        return out;
    }
    if (token == QLatin1String("totalamt") || token == QLatin1String("amount")) {
        TFieldSpec f = ParseCustom(token + U("/合计金额/5"), 4);
        f.AlwaysDisplay = true;
        out << f;
        return out;
    }
    if (token == QLatin1String("opname")) {
        TFieldSpec f = ParseCustom(U("opname/制单人/5"), 4);
        f.AlwaysDisplay = true;
        out << f;
        return out;
    }
    if (token == QLatin1String("shopname")) {
        out << ParseCustom(U("shopname/分支机构/5"), 4);
        return out;
    }
    if (common.contains(token)) {
        out << ParseCustom(common.value(token), 2);
        return out;
    }
    TFieldSpec f = ParseCustom(token, 2);
    // totals and people shown at the foot
    if (f.Field.startsWith(QLatin1String("total")) || f.Field == QLatin1String("amount") || f.Field == QLatin1String("opname"))
        f.Section = 4;
    out << f;
    return out;
}

// Widths that let a goods line with prices, tax and amounts be read without scrolling on
// an ordinary screen: figures of up to eight digits, short texts, a long goods name.
int DetailColumnWidth(const TFieldSpec& f)
{
    static const QStringList kNarrow{QStringLiteral("unitid"), QStringLiteral("disc"), QStringLiteral("taxrate"),
                                     QStringLiteral("isbad"), QStringLiteral("useflag")};
    const QString& n = f.Field;
    if (n == QLatin1String("goodsname"))
        return 160;
    if (n == QLatin1String("memo"))
        return 100;
    if (f.SubType == 3)
        return 90;
    if (kNarrow.contains(n))
        return 56;
    if (n.contains(QLatin1String("qty")) || n.contains(QLatin1String("price")) || n.contains(QLatin1String("amt")) ||
        n.contains(QLatin1String("amount")))
        return 72;
    return 80;
}

QList<TFieldSpec> DetailFields(const QString& token)
{
    QStringList tokens;
    if (token == QLatin1String("@G") || token == QLatin1String("@G0")) {
        tokens = QStringList{U("goodsid/货品编码/4/Goods"), U("goodsname/货品名称/5"), U("specs/规格/5"), U("unitid/单位/4/Unit"),
                             U("unitqty/数量/1"), U("nprice/原价/1"), U("disc/折扣%/1"), U("unitprice/单价/1"), U("taxrate/税率%/1"),
                             U("taxprice/含税单价/1"), U("goodsamt/金额/1"), U("taxamt/税额/1"), U("amount/价税合计/1"), U("memo/备注/1")};
        if (token == QLatin1String("@G0")) // quotations: prices only
            tokens = QStringList{U("goodsid/货品编码/4/Goods"), U("goodsname/货品名称/5"), U("specs/规格/5"), U("unitid/单位/4/Unit"),
                                 U("unitbegqty/数量从/1"), U("unitendqty/数量至/1"), U("unitprice/单价/1"), U("disc/折扣%/1"),
                                 U("taxrate/税率%/1"), U("memo/备注/1")};
    } else if (token == QLatin1String("@S") || token == QLatin1String("@S0")) {
        tokens = QStringList{U("goodsid/货品编码/4/Goods"), U("goodsname/货品名称/5"), U("specs/规格/5"), U("unitid/单位/4/Unit"),
                             U("unitqty/数量/1")};
        if (token == QLatin1String("@S"))
            tokens << U("unitprice/单价/1") << U("amount/金额/1");
        tokens << U("memo/备注/1");
    } else if (token == QLatin1String("@B")) {
        tokens = QStringList{U("batchcode/批号/7"), U("produceddate/生产日期/3"), U("validdate/到期日期/3")};
    } else if (token == QLatin1String("ud3")) {
        tokens = QStringList{U("userdef1/自定义1/1"), U("userdef2/自定义2/1"), U("userdef3/自定义3/1")};
    } else {
        tokens << token;
    }
    QList<TFieldSpec> out;
    for (const QString& t : std::as_const(tokens)) {
        TFieldSpec f = ParseCustom(t, 3);
        f.Width = DetailColumnWidth(f);
        if (f.Field.startsWith(QLatin1String("userdef")))
            f.Shown = false;
        if (f.Field == QLatin1String("goodsid") || f.Field == QLatin1String("goodscode") || f.Field == QLatin1String("unitqty"))
            f.AlwaysDisplay = true;
        out << f;
    }
    return out;
}

int StandardRptId(int reportType) { return reportType; }

void WriteWindows(TDemoWriter& w)
{
    for (const TWindowDef& def : kWindows) {
        const int win = def.Window.WindowID;
        QList<TFieldSpec> fields;
        TFieldSpec title;
        title.Section = 1;
        title.Field = QString::fromLatin1(def.KeyField);
        title.Caption = QString::fromUtf8(def.Window.Title);
        title.SubType = 5;
        title.AlwaysDisplay = true;
        fields << title;
        for (const QString& t : QString::fromUtf8(def.Master).split(u',', Qt::SkipEmptyParts))
            fields << MasterField(t);
        for (const QString& t : QString::fromUtf8(def.Detail).split(u',', Qt::SkipEmptyParts))
            fields << DetailFields(t);

        int item = 0;
        for (const TFieldSpec& f : std::as_const(fields)) {
            ++item;
            const TListDef* list = f.List.isEmpty() ? nullptr : FindList(f.List);
            if (!f.List.isEmpty() && !list)
                throw EDatabaseError(QStringLiteral("Demo data: unknown list %1").arg(f.List));
            w.Insert("FIELDINFO",
                     "WINDOWID,ITEMID,LANGUAGEID,TABLETYPE,DATAFIELD,DEFAULTNAME,PBSTYPE,ATTRIBE,ALWAYSDISPLAY,ALWAYSPRINT,VISIBLE,Serial,WIDTH,"
                     "LISTDATASETNAME,LISTFIELD,LISTDATAFIELD,DROPDOWNFILTER,SUBTYPE,KEYFIELD,TAG,HELPID",
                     {win, item, 1, f.Section, f.Field, f.Caption, 0, 0, f.AlwaysDisplay ? "T" : "F", "F", "T", item, f.Width,
                      list ? QVariant(QString::fromLatin1(list->DataSet)) : Null(),
                      list ? QVariant(QString::fromLatin1(list->Display)) : Null(),
                      list ? QVariant(QString::fromLatin1(list->Columns)) : Null(),
                      list && *list->Filter ? QVariant(QString::fromLatin1(list->Filter)) : Null(),
                      f.SubType,
                      list ? QVariant(QString::fromLatin1(list->Key)) : Null(), 0, 0});
            w.Insert("TEMPLATED", "WINDOWID,TEMPLATEID,ITEMID,BPRINT,BDISPLAY,DISPLAYNAME,Serial,WIDTH",
                     {win, 1, item, f.Shown ? "T" : "F", f.Shown ? "T" : "F", f.Caption, item, f.Width});
        }
        w.Insert("TEMPLATE", "WINDOWID,TEMPLATEID,TEMPLATENAME,WindowName,IsSystem,OPId,BillTypeID,TempColorSetID,RptID,UPFLAG",
                 {win, 1, U("标准模板"), QString::fromLatin1(def.Window.FormName), 1, Null(), win, 0, StandardRptId(def.Window.ReportType), 0});
    }
}

// ---------------------------------------------------------------- print styles
struct TReportTypeDef {
    int Type;
    const char* Name;
};
const TReportTypeDef kReportTypes[] = {
    {1, "采购订货单"}, {2, "采购收货单"}, {3, "采购退货单"}, {4, "采购付款单"}, {5, "销售订货单"}, {6, "销售出货单"},
    {7, "销售收款单"}, {8, "现款销售单"}, {9, "销售退货单"}, {10, "仓库领料单"}, {11, "仓库退料单"}, {12, "产品进仓单"},
    {13, "存货调价单"}, {14, "组装与拆卸单"}, {15, "库存变动单"}, {16, "库存盘点单"}, {17, "仓库调拔单"}, {18, "费用开支单"},
    {19, "其它收入单"}, {20, "记帐凭证"}, {21, "记帐凭证(外币)"}, {22, "银行存取款"}, {23, "POS销售单"},
    {24, "POS收银员出入款单"}, {25, "POS日结单"}, {26, "估价入库单"}, {27, "现款采购单"}, {28, "记帐凭证套打"},
    {29, "转帐凭证套打"}, {30, "收款凭证套打"}, {31, "付款凭证套打"}, {32, "请配单"}, {33, "配送单"},
    {34, "采购费用分摊单"}, {36, "销售报价单"}, {1750, "委托代销"}, {1751, "代销结算"}, {1752, "委托代销初始化"},
    {1754, "商品限时打折"},
};

void WriteReports(TDemoWriter& w)
{
    // Each type gets a system row (negative id: the pristine default that restore copies)
    // and a standard row (id = type) that bills use. The layout data is filled in by the
    // print-style designer; the rows start empty.
    for (const TReportTypeDef& t : kReportTypes) {
        const QString name = U(t.Name);
        w.Insert("report", "rptid,rpttype,rptname,data,reportname,languageid",
                 {-t.Type, t.Type, name + U("(系统)"), QByteArray(""), name, 1});
        w.Insert("report", "rptid,rpttype,rptname,data,reportname,languageid",
                 {StandardRptId(t.Type), t.Type, name + U("(标准)"), QByteArray(""), name, 1});
    }
}

} // namespace

void FillStandardWindows(sqlite3* db)
{
    if (!db)
        throw EDatabaseError(QStringLiteral("FillStandardWindows: no database"));
    TDemoWriter w(db);
    WriteWindows(w);
    WriteReports(w);
}

void FillStandardWindows(TClientConnection& con)
{
    TDemoWriter w(con);
    WriteWindows(w);
    WriteReports(w);
}

const TDemoBillWindow* DemoBillWindows(int* count)
{
    static std::vector<TDemoBillWindow> windows = [] {
        std::vector<TDemoBillWindow> v;
        for (const TWindowDef& d : kWindows)
            v.push_back(d.Window);
        return v;
    }();
    if (count)
        *count = int(windows.size());
    return windows.data();
}

// ---------------------------------------------------------------- the company
namespace {

struct TNamePy {
    const char* Name;
    const char* Py;
};

// One leaf of the goods-type tree with four products in two specifications each.
struct TLeafDef {
    const char* L1;
    const char* L2;
    const char* L3;
    TNamePy Products[4];
    const char* Specs[2];
    double SpecFactor; // price of the second specification against the first
    const char* Unit;
    const char* Pack;
    int PackRate[2];
    double Price; // retail price of the first specification
    int Kind;
    int ValidDays; // > 0: batch-controlled with this shelf life
    int Vendor;    // index into kVendors
    bool Weighed;
};

const TLeafDef kLeaves[] = {
    {"食品饮料", "饮料", "碳酸饮料", {{"可口可乐", "KKKL"}, {"百事可乐", "BSKL"}, {"雪碧", "XB"}, {"芬达橙味汽水", "FDCWQS"}}, {"330ml罐装", "600ml瓶装"}, 1.6, "瓶", "箱", {24, 24}, 2.5, 1, 365, 0, false},
    {"食品饮料", "饮料", "果汁饮料", {{"汇源100%橙汁", "HYCZ"}, {"美汁源果粒橙", "MZYGLC"}, {"农夫果园", "NFGY"}, {"统一鲜橙多", "TYXCD"}}, {"450ml", "1.5L"}, 2.4, "瓶", "箱", {15, 6}, 4.5, 1, 270, 0, false},
    {"食品饮料", "饮料", "茶饮料", {{"康师傅冰红茶", "KSFBHC"}, {"统一绿茶", "TYLC"}, {"王老吉凉茶", "WLJLC"}, {"东方树叶乌龙茶", "DFSYWLC"}}, {"500ml", "1L"}, 1.8, "瓶", "箱", {15, 12}, 3.5, 1, 360, 0, false},
    {"食品饮料", "饮料", "饮用水", {{"农夫山泉天然水", "NFSQTRS"}, {"怡宝纯净水", "YBCJS"}, {"娃哈哈纯净水", "WHHCJS"}, {"百岁山矿泉水", "BSSKQS"}}, {"550ml", "4L"}, 4.0, "瓶", "箱", {24, 6}, 2.0, 1, 0, 0, false},
    {"食品饮料", "乳制品", "液态奶", {{"伊利纯牛奶", "YLCNN"}, {"蒙牛纯牛奶", "MNCNN"}, {"光明鲜牛奶", "GMXNN"}, {"特仑苏纯牛奶", "TLSCNN"}}, {"250ml", "1L"}, 3.5, "盒", "箱", {24, 12}, 3.0, 1, 180, 2, false},
    {"食品饮料", "乳制品", "酸奶", {{"安慕希酸奶", "AMXSN"}, {"纯甄酸奶", "CZSN"}, {"光明莫斯利安", "GMMSLA"}, {"伊利优酸乳", "YLYSR"}}, {"205g", "200g×6"}, 5.5, "盒", "箱", {16, 4}, 5.0, 1, 120, 2, false},
    {"食品饮料", "休闲食品", "饼干糕点", {{"奥利奥夹心饼干", "ALAJXBG"}, {"好丽友派", "HLYP"}, {"达利园法式面包", "DLYFSMB"}, {"康师傅苏打饼干", "KSFSDBG"}}, {"100g", "500g"}, 4.5, "包", "箱", {24, 10}, 6.0, 1, 270, 3, false},
    {"食品饮料", "休闲食品", "膨化食品", {{"乐事薯片", "LSSP"}, {"可比克薯片", "KBKSP"}, {"上好佳鲜虾片", "SHJXXP"}, {"旺旺雪饼", "WWXB"}}, {"70g", "150g"}, 2.0, "袋", "箱", {30, 20}, 5.5, 1, 240, 3, false},
    {"食品饮料", "休闲食品", "糖果巧克力", {{"德芙丝滑牛奶巧克力", "DFSHNNQKL"}, {"士力架花生巧克力", "SLJHSQKL"}, {"大白兔奶糖", "DBTNT"}, {"阿尔卑斯棒棒糖", "AEBSBBT"}}, {"43g", "250g"}, 5.0, "包", "盒", {24, 12}, 8.0, 1, 365, 3, false},
    {"食品饮料", "粮油调味", "食用油", {{"金龙鱼调和油", "JLYTHY"}, {"福临门大豆油", "FLMDDY"}, {"鲁花花生油", "LHHSY"}, {"多力葵花籽油", "DLKHZY"}}, {"1.8L", "5L"}, 2.6, "桶", "箱", {6, 4}, 25.0, 1, 0, 4, false},
    {"食品饮料", "粮油调味", "米面", {{"五常大米", "WCDM"}, {"金龙鱼东北大米", "JLYDBDM"}, {"香雪面粉", "XXMF"}, {"陈克明挂面", "CKMGM"}}, {"5kg", "10kg"}, 1.9, "袋", "件", {4, 2}, 35.0, 1, 0, 4, false},
    {"食品饮料", "粮油调味", "调味品", {{"海天生抽", "HTSC"}, {"李锦记蚝油", "LJJHY"}, {"太太乐鸡精", "TTLJJ"}, {"恒顺香醋", "HSXC"}}, {"500ml", "1.9L"}, 3.2, "瓶", "箱", {12, 6}, 9.0, 1, 540, 11, false},
    {"食品饮料", "生鲜散装", "散装干果", {{"散装红枣", "SZHZ"}, {"散装核桃", "SZHT"}, {"散装瓜子", "SZGZ"}, {"散装花生", "SZHS"}}, {"一级", "特级"}, 1.4, "千克", "件", {10, 10}, 25.0, 1, 0, 1, true},
    {"日用百货", "洗护用品", "洗发护发", {{"海飞丝洗发露", "HFSXFL"}, {"飘柔洗发水", "PRXFS"}, {"清扬洗发露", "QYXFL"}, {"潘婷护发素", "PTHFS"}}, {"200ml", "400ml"}, 1.8, "瓶", "箱", {24, 12}, 25.0, 1, 0, 5, false},
    {"日用百货", "洗护用品", "沐浴清洁", {{"舒肤佳沐浴露", "SFJMYL"}, {"六神沐浴露", "LSMYL"}, {"力士沐浴露", "LSMYL"}, {"蓝月亮洗衣液", "LYLXYY"}}, {"标准装", "家庭装"}, 1.9, "瓶", "箱", {24, 12}, 22.0, 1, 0, 5, false},
    {"日用百货", "洗护用品", "口腔护理", {{"高露洁牙膏", "GLJYG"}, {"佳洁士牙膏", "JJSYG"}, {"云南白药牙膏", "YNBYYG"}, {"黑人牙膏", "HRYG"}}, {"90g", "180g"}, 1.8, "支", "箱", {48, 36}, 9.0, 1, 0, 5, false},
    {"日用百货", "纸品家清", "纸巾", {{"维达抽纸", "WDCZ"}, {"清风卷纸", "QFJZ"}, {"心相印手帕纸", "XXYSPZ"}, {"洁柔面巾纸", "JRMJZ"}}, {"单包", "10包装"}, 9.0, "包", "箱", {24, 6}, 6.0, 1, 0, 6, false},
    {"日用百货", "纸品家清", "家居清洁", {{"威猛先生厨房清洁剂", "WMXSCFQJJ"}, {"立白洗洁精", "LBXJJ"}, {"蓝月亮消毒液", "LYLXDY"}, {"滴露消毒液", "DLXDY"}}, {"500g", "1kg"}, 1.8, "瓶", "箱", {12, 8}, 10.0, 1, 0, 5, false},
    {"家用电器", "厨房电器", "电饭煲", {{"美的电饭煲", "MDDFB"}, {"苏泊尔电饭煲", "SBEDFB"}, {"九阳电饭煲", "JYDFB"}, {"松下电饭煲", "SXDFB"}}, {"3L", "5L"}, 1.5, "台", "箱", {2, 2}, 299.0, 1, 0, 7, false},
    {"家用电器", "厨房电器", "电水壶", {{"美的电水壶", "MDDSH"}, {"苏泊尔电水壶", "SBEDSH"}, {"九阳豆浆机", "JYDJJ"}, {"小熊养生壶", "XXYSH"}}, {"1.5L", "1.7L"}, 1.2, "台", "箱", {4, 4}, 99.0, 1, 0, 7, false},
    {"家用电器", "生活电器", "风扇取暖", {{"格力落地扇", "GLLDS"}, {"美的台扇", "MDTS"}, {"艾美特暖风机", "AMTNFJ"}, {"先锋取暖器", "XFQNQ"}}, {"标准款", "遥控款"}, 1.3, "台", "箱", {2, 2}, 159.0, 1, 0, 8, false},
    {"办公用品", "文具", "书写工具", {{"晨光中性笔", "CGZXB"}, {"得力签字笔", "DLQZB"}, {"真彩圆珠笔", "ZCYZB"}, {"斑马荧光笔", "BMYGB"}}, {"0.5mm黑色", "0.5mm蓝色"}, 1.0, "支", "盒", {12, 12}, 2.0, 1, 0, 9, false},
    {"办公用品", "文具", "本册", {{"得力笔记本", "DLBJB"}, {"晨光活页本", "CGHYB"}, {"国誉便签本", "GYBQB"}, {"齐心文件夹", "QXWJJ"}}, {"A5", "B5"}, 1.3, "本", "包", {10, 10}, 8.0, 1, 0, 9, false},
    {"办公用品", "办公耗材", "打印纸", {{"得力复印纸", "DLFYZ"}, {"晨光复印纸", "CGFYZ"}, {"亚太森博复印纸", "YTSBFYZ"}, {"百旺复印纸", "BWFYZ"}}, {"A4 70g", "A4 80g"}, 1.15, "包", "箱", {5, 5}, 22.0, 1, 0, 9, false},
    {"原材料", "包装材料", "包装物料", {{"五层瓦楞纸箱", "WCWLZX"}, {"透明封箱胶带", "TMFXJD"}, {"气泡膜", "QPM"}, {"打包带", "DBD"}}, {"小号", "大号"}, 1.6, "个", "捆", {50, 20}, 2.5, 2, 0, 10, false},
};

struct TPartnerDef {
    const char* Name;
    const char* Short;
    const char* Py;
    int Area; // index into kAreas (leaf)
};
const TPartnerDef kVendors[] = {
    {"上海嘉禾饮品贸易有限公司", "嘉禾饮品", "JHYP", 1},
    {"杭州顺达食品有限公司", "顺达食品", "SDSP", 3},
    {"广州恒通乳业有限公司", "恒通乳业", "HTRY", 5},
    {"苏州百味食品有限公司", "百味食品", "BWSP", 2},
    {"北京粮丰粮油有限公司", "粮丰粮油", "LFLY", 8},
    {"上海洁美日化有限公司", "洁美日化", "JMRH", 1},
    {"宁波清源纸业有限公司", "清源纸业", "QYZY", 3},
    {"深圳美佳电器有限公司", "美佳电器", "MJDQ", 5},
    {"佛山宏达电器有限公司", "宏达电器", "HDDQ", 5},
    {"上海文华办公用品有限公司", "文华办公", "WHBG", 1},
    {"昆山华达包装材料有限公司", "华达包装", "HDBZ", 2},
    {"天津利民调味品有限公司", "利民调味", "LMTW", 9},
};

struct TAreaDef {
    const char* Code;
    const char* Name;
};
// Level codes: two characters per level.
const TAreaDef kAreas[] = {
    {"01", "华东"}, {"0101", "上海"}, {"0102", "江苏"}, {"0103", "浙江"}, {"02", "华南"}, {"0201", "广东"},
    {"0202", "福建"}, {"03", "华北"}, {"0301", "北京"}, {"0302", "天津"}, {"04", "西南"}, {"0401", "四川"},
};

struct TCityDef {
    const char* Name;
    const char* Py;
    int Area; // index into kAreas
};
const TCityDef kCities[] = {
    {"上海", "SH", 1}, {"南京", "NJ", 2}, {"苏州", "SZ", 2}, {"杭州", "HZ", 3}, {"宁波", "NB", 3}, {"广州", "GZ", 5},
    {"深圳", "SZ", 5}, {"厦门", "XM", 6}, {"北京", "BJ", 8}, {"天津", "TJ", 9}, {"成都", "CD", 11},
};
const TNamePy kTrades[] = {
    {"华联", "HL"}, {"联华", "LH"}, {"世纪", "SJ"}, {"百佳", "BJ"}, {"好又多", "HYD"}, {"家乐", "JL"}, {"万家", "WJ"}, {"永辉", "YH"},
    {"新天地", "XTD"}, {"金鹰", "JY"}, {"大润", "DR"}, {"惠民", "HM"}, {"佳家", "JJ"}, {"福满", "FM"}, {"众兴", "ZX"},
};
const TNamePy kSuffixes[] = {{"超市有限公司", "CS"}, {"商贸有限公司", "SM"}, {"便利店", "BLD"}, {"百货商店", "BH"}};

struct TEmployDef {
    const char* Name;
    const char* Py;
    int Dept;
    int Shop;
    bool Active;
    bool Operates;
};
const TEmployDef kEmployees[] = {
    {"张伟", "ZW", 3, 1, true, true}, {"王芳", "WF", 3, 1, true, true}, {"李娜", "LN", 3, 1, true, true},
    {"刘洋", "LY", 2, 1, true, true}, {"陈静", "CJ", 5, 1, true, true}, {"杨磊", "YL", 4, 1, true, true},
    {"赵敏", "ZM", 1, 1, true, true}, {"黄强", "HQ", 4, 1, true, true}, {"周杰", "ZJ", 3, 1, false, true},
    {"吴丽", "WL", 2, 1, true, false}, {"孙浩", "SH", 6, 2, true, true}, {"郑洁", "ZJ", 6, 2, true, true},
};

// Account options: every key the bills read, with the value of this company.
struct TOptionDef {
    const char* Key;
    const char* Value;
    const char* Memo;
};
const TOptionDef kOptions[] = {
    {"BILLPRINTAFTERSAVE", "0", "新增单据保存后立即打印"},
    {"CHECKMINSALEPRICE", "0", "销售价格低于最低售价时提示"},
    {"CHECKMAXBUYPRICE", "0", "进价高于最高进价时提示"},
    {"SUPPORTMSN", "0", "支持即时通讯"},
    {"SALECONTROL", "1", "超信用额度销售：1 询问，2 禁止，其他 允许"},
    {"BILLSORT", "0", "明细按货品编码排序：1 是"},
    {"WEIGHTPRECODE", "22", "电子秤条码前缀"},
    {"SALEINCTAXRATE", "17", "销售默认税率"},
    {"PURCHASEINCTAXRATE", "17", "采购默认税率"},
    {"GOODSAMTLIMIT", "0.05", "金额尾差容许范围"},
    {"TAXAMTLIMIT", "0.05", "税额尾差容许范围"},
    {"SELFSTOREGOODS", "0", "只能对有权限的仓库开单"},
    {"MUSTREFERPORDER", "0", "收货必须引用采购订单"},
    {"MUSTREFERSORDER", "0", "销售必须引用销售订单"},
    {"ORDEREXECFINISHED", "1", "执行完毕的订单只读"},
    {"OVERDUEAMOUT", "2", "有到期应收款：0 禁止，1 允许，2 询问"},
    {"BANKNEGATIVE", "1", "帐户余额为负：0 允许，1 询问，2 禁止"},
    {"PAYOTHERSHOP", "0", "付款可结算其他机构单据"},
    {"CHARGEOTHERSHOP", "0", "收款可结算其他机构单据"},
    {"ISDISPLAYPRICE", "1", "选择批次时显示成本价"},
    {"AutoHide", "0", "日结隐藏的单据不参与查询"},
    {"WARNWHILEZEROONHAND", "1", "库存为零或负数时提示"},
    {"DRPPORDERBYVENDOR", "1", "DRP生成采购订单按供应商分单"},
};

// The rows every account set holds, demo or new: invoice kinds, bill names and prefixes,
// delivery, settlement, payment, goods and costing kinds, price levels, the account options
// with their defaults, the bill windows with their standard templates and the print styles.
void WriteStandardRows(TDemoWriter& w)
{
    const char* invoiceKinds[] = {"不开票", "普通发票", "增值税发票"};
    for (int i = 0; i < 3; ++i)
        w.Insert("billtype", "billtypeid,name", {i + 1, U(invoiceKinds[i])});
    struct TBillNameDef {
        int Type;
        const char* Name;
        const char* Prefix;
        const char* Table;
    };
    const TBillNameDef billNames[] = {
        {1, "销售订单", "XD", "sorder"},       {2, "销售开单", "XS", "invoice"},         {3, "现款销售", "XX", "csale"},
        {4, "销售退货", "XT", "sreturn"},      {5, "销售收款", "SK", "charge"},          {6, "采购订单", "CD", "porder"},
        {7, "采购收货", "JH", "recieved"},     {8, "采购退货", "JT", "preturn"},         {9, "采购付款", "FK", "pay"},
        {10, "领料单", "LL", "drawitem"},      {11, "退料单", "TL", "backdraw"},         {12, "产品进仓", "CR", "inproduct"},
        {13, "仓库调拨", "DB", "allot"},       {14, "库存盘点", "CP", "balitem"},        {15, "其它库存变动", "BD", "inout"},
        {16, "组装与拆卸", "ZZ", "combin"},    {17, "费用开支", "FY", "expense"},        {18, "其它收入", "SR", "income"},
        {19, "存货调价", "TJ", "adjap"},       {20, "银行存取款", "CQ", "movemoney"},    {21, "支付工资", "GZ", "dislaborage"},
        {22, "估价入库", "GJ", "valuedrcvd"},  {23, "POS销售", "PS", "posbilldate"},     {24, "POS日结", "RJ", "posday"},
        {25, "收银员出入款", "JK", "inoutcash"}, {26, "现款采购", "XC", "crecieved"},    {27, "委托代销", "WT", "deputesale"},
        {28, "代销结算", "DJ", "deputesettlement"}, {29, "委托代销期初", "WC", "deputesaleinit"}, {30, "商品限时打折", "SZ", "goodsdiscount"},
        {40, "估价入库期初", "GC", "valuedrcvd"}, {41, "请配单", "QP", "askdeliver"},     {42, "配送单", "PD", "deliver"},
        {43, "采购费用分摊", "FT", "purchaseapp"}, {44, "销售报价", "BJ", "quotation"},
    };
    for (const TBillNameDef& b : billNames)
        w.Insert("billname", "billtypeid,name,surcode,code,mode,sepa,demo,tablename",
                 {b.Type, U(b.Name), QString::fromLatin1(b.Prefix), QString::fromLatin1(b.Prefix), "yymmdd", "-", U(b.Name), QString::fromLatin1(b.Table)});
    const char* deliverTypes[] = {"送货上门", "客户自提", "物流托运", "快递"};
    for (int i = 0; i < 4; ++i)
        w.Insert("delivertype", "delivertypeid,name", {i + 1, U(deliverTypes[i])});
    w.Insert("deputesettlementtype", "settlementtype,name", {0, U("赊销结算")});
    w.Insert("deputesettlementtype", "settlementtype,name", {1, U("现款结算")});
    const char* payKinds[][2] = {{"应付款", "应收款"}, {"预付款", "预收款"}, {"预付冲应付", "预收冲应收"}, {"应付转预付", "应收转预收"}};
    for (int i = 0; i < 4; ++i)
        w.Insert("paykind", "id,name,cname", {i, U(payKinds[i][0]), U(payKinds[i][1])});
    const char* goodsKinds[] = {"库存商品", "原材料", "组合商品", "非库存商品", "劳务服务", "费用项目", "折扣项目"};
    for (int i = 0; i < 7; ++i)
        w.Insert("goodskind", "kind,name", {i + 1, U(goodsKinds[i])});
    const char* costings[] = {"移动加权平均", "个别计价", "先进先出", "全月一次加权平均"};
    for (int i = 0; i < 4; ++i)
        w.Insert("costingtype", "inf_costingtypeid,name", {i + 1, U(costings[i])});

    const char* levels[] = {"零售价", "批发价", "一级代理价", "二级代理价"};
    for (int i = 0; i < 4; ++i)
        w.Insert("pricelevel", "levelid,name", {i, U(levels[i])});
    int optionId = 0;
    for (const TOptionDef& o : kOptions) {
        ++optionId;
        w.Insert("accoption", "optionkey,optionvalue,optionid,memo", {QString::fromLatin1(o.Key), QString::fromLatin1(o.Value), optionId, U(o.Memo)});
    }
    // new user print styles take ids above the standard ones
    w.Exec(QStringLiteral("insert into sys_keyvalue (tablename, fieldname, keyvalue) values ('report', 'rptid', 5000)"));
    WriteWindows(w);
    WriteReports(w);
}

} // namespace

void FillStandardRows(sqlite3* db)
{
    if (!db)
        throw EDatabaseError(QStringLiteral("FillStandardRows: no database"));
    TDemoWriter w(db);
    WriteStandardRows(w);
}

void FillStandardRows(TClientConnection& con)
{
    TDemoWriter w(con);
    WriteStandardRows(w);
}

void FillDemoData(sqlite3* db)
{
    FillDemoData(db, QDate::currentDate());
}

namespace {
void WriteDemoData(TDemoWriter& w, const QDate& today);
}

void FillDemoData(sqlite3* db, const QDate& today)
{
    if (!db)
        throw EDatabaseError(QStringLiteral("FillDemoData: no database"));
    TDemoWriter w(db);
    WriteDemoData(w, today);
}

void FillDemoData(TClientConnection& con, const QDate& today)
{
    TDemoWriter w(con);
    WriteDemoData(w, today);
}

namespace {
void WriteDemoData(TDemoWriter& w, const QDate& today)
{
    TDemoRandom rnd(20261206);
    const QString now = today.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 08:00:00");

    // ---- organisation
    w.Insert("shop", "shopid,code,name,shortname,address,phone,fax,linkman,isheadshop,closed,memo",
             {1, "01", U("总店"), U("总店"), U("上海市徐汇区漕溪北路88号"), "021-64871234", "021-64871235", U("赵敏"), 1, "F", Null()});
    w.Insert("shop", "shopid,code,name,shortname,address,phone,fax,linkman,isheadshop,closed,memo",
             {2, "02", U("分店"), U("分店"), U("上海市浦东新区张杨路1200号"), "021-58301234", "021-58301235", U("孙浩"), 0, "F", Null()});
    w.Insert("store", "storeid,code,name,shopid,operators,address,empid,isdefault,closed",
             {1, "01", U("总店仓库"), 1, "|1|2|", U("上海市徐汇区漕溪北路88号B1"), 6, 1, "F"});
    w.Insert("store", "storeid,code,name,shopid,operators,address,empid,isdefault,closed",
             {2, "02", U("总店门市"), 1, "|1|2|", U("上海市徐汇区漕溪北路88号"), 8, 0, "F"});
    w.Insert("store", "storeid,code,name,shopid,operators,address,empid,isdefault,closed",
             {3, "03", U("分店仓库"), 2, "|1|", U("上海市浦东新区张杨路1200号"), 11, 1, "F"});

    const char* depts[] = {"总经办", "采购部", "销售部", "仓储部", "财务部", "分店销售部"};
    for (int i = 0; i < 6; ++i)
        w.Insert("department", "id,departmentid,code,name,lcode,parentid,shopid,closed",
                 {i + 1, i + 1, QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), U(depts[i]),
                  QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), 0, i == 5 ? 2 : 1, "F"});

    int empNo = 0;
    for (const TEmployDef& e : kEmployees) {
        ++empNo;
        w.Insert("employ", "empid,code,name,pyassist,departmentid,department,shopid,sex,phone,mobile,email,sign,isoperate",
                 {empNo, QStringLiteral("E%1").arg(empNo, 3, 10, QLatin1Char('0')), U(e.Name), U(e.Py), e.Dept, e.Dept, e.Shop,
                  empNo % 2 ? U("男") : U("女"), QStringLiteral("021-6487%1").arg(1000 + empNo),
                  QStringLiteral("139%1").arg(16000000 + empNo * 7919), Null(), e.Active ? "T" : "F", e.Operates ? "T" : "F"});
    }

    // The demo company's own operators replace the administrator of a new database. Their
    // passwords ("manager" and "clerk") are given in the README.
    w.Exec(QStringLiteral("delete from operator"));
    w.Insert("operator", "opid,code,opname,pwhash,issysmanager,shopid,closed,isuse,empid,departmentid,maxsaleamt,maxbuyamt",
             {1, "admin", U("管理员"), HashPassword(QStringLiteral("manager")), 1, 1, "F", 0, 7, 1, -1.0, -1.0});
    w.Insert("operator", "opid,code,opname,pwhash,issysmanager,shopid,closed,isuse,empid,departmentid,maxsaleamt,maxbuyamt",
             {2, "clerk", U("店员"), HashPassword(QStringLiteral("clerk")), 0, 1, "F", 0, 2, 3, 50000.0, -1.0});
    // The clerk may browse, add and print sales invoices, POS sales and purchase orders.
    for (int privilege : {34, 175, 38})
        for (int action : {1, 2, 6})
            w.Insert("operatorright", "opid,privilegeid,action", {2, privilege, action});

    // ---- areas
    for (int i = 0; i < int(std::size(kAreas)); ++i) {
        const QString code = QString::fromLatin1(kAreas[i].Code);
        int parent = 0;
        if (code.size() > 2)
            for (int j = 0; j < i; ++j)
                if (QString::fromLatin1(kAreas[j].Code) == code.left(2))
                    parent = j + 1;
        w.Insert("area", "areaid,code,name,lcode,parentid", {i + 1, code, U(kAreas[i].Name), code, parent});
    }

    // ---- clients and vendors
    const char* clientCols = "clientid,code,name,shortname,pyassist,clientkind,isdouble,areaid,address,zip,phone,fax,email,msn,shipto,contator,"
                             "taxid,bank,bankid,credit,suramt,balance,creditdays,pricelevel,empid,shopid,closed,updatetime";
    const char* linkNames[] = {"陈经理", "王主管", "李小姐", "刘先生", "张会计", "周采购", "吴店长", "郑先生"};
    int linkId = 0;
    auto addLinkmen = [&](int clientId, int count) {
        w.Insert("crm_trader", "id,traderid,name,tradertype", {clientId, clientId, Null(), 1});
        for (int k = 0; k < count; ++k) {
            ++linkId;
            w.Insert("crm_linkman", "id,traderid,clientid,name,position,phone,mobile,fax,email,ismaster,closed",
                     {linkId, clientId, clientId, U(linkNames[(clientId + k) % 8]), k == 0 ? U("经理") : U("业务"),
                      QStringLiteral("021-5%1").arg(1000000 + clientId * 37 + k), QStringLiteral("138%1").arg(20000000 + linkId * 1231),
                      Null(), Null(), k == 0 ? 1 : 0, 0});
        }
    };
    int clientId = 0;
    // walk-in customer first
    ++clientId;
    w.Insert("client", clientCols,
             {clientId, "K0000", U("零售散客"), U("零售散客"), "LSSK", 1, "F", 2, Null(), Null(), Null(), Null(), Null(), Null(),
              Null(), Null(), Null(), Null(), Null(), 0.0, 0.0, 0.0, 0, 0, Null(), 0, "F", now});
    for (int i = 0; i < 30; ++i) {
        const TCityDef& city = kCities[i % int(std::size(kCities))];
        const TNamePy& trade = kTrades[(i * 7) % int(std::size(kTrades))];
        const TNamePy& suffix = kSuffixes[i % int(std::size(kSuffixes))];
        const QString shortName = U(city.Name) + U(trade.Name);
        ++clientId;
        const double balance = Round2(rnd.Real(0, 60000));
        const double suramt = rnd.Chance(30) ? Round2(rnd.Real(500, 5000)) : 0.0;
        const double credit = rnd.Chance(70) ? double(rnd.Range(2, 20) * 10000) : 0.0;
        w.Insert("client", clientCols,
                 {clientId, QStringLiteral("K%1").arg(i + 1, 4, 10, QLatin1Char('0')), shortName + U(suffix.Name), shortName,
                  QString::fromLatin1(city.Py) + QString::fromLatin1(trade.Py), 1, "F", city.Area + 1,
                  U(city.Name) + U("市") + U(trade.Name) + U("路") + QString::number(rnd.Range(1, 999)) + U("号"),
                  QString::number(200000 + i * 1111), QStringLiteral("0%1-8%2").arg(21 + i).arg(1000000 + i * 4567),
                  QStringLiteral("0%1-8%2").arg(21 + i).arg(1000001 + i * 4567), QStringLiteral("buyer%1@example.cn").arg(i + 1),
                  QStringLiteral("shop%1@msn.cn").arg(i + 1), U(city.Name) + U(trade.Name) + U("配送中心"), U(linkNames[(clientId) % 8]),
                  QStringLiteral("3101%1").arg(10000000000LL + i * 7654321LL), U("中国工商银行") + U(city.Name) + U("分行"),
                  QStringLiteral("6222%1").arg(100000000000LL + i * 98765431LL), credit, suramt, balance,
                  (i % 3) * 30, i % 4, 1 + (i % 3), i % 5 == 4 ? 2 : 1, "F", now});
        addLinkmen(clientId, 1 + i % 2);
    }
    QList<int> vendorIds;
    for (int i = 0; i < int(std::size(kVendors)); ++i) {
        const TPartnerDef& v = kVendors[i];
        ++clientId;
        vendorIds << clientId;
        w.Insert("client", clientCols,
                 {clientId, QStringLiteral("G%1").arg(i + 1, 4, 10, QLatin1Char('0')), U(v.Name), U(v.Short), U(v.Py), 2, "F", v.Area + 1,
                  U(kAreas[v.Area].Name) + U("工业园区") + QString::number(10 + i * 3) + U("号"), QString::number(300000 + i * 1001),
                  QStringLiteral("0%1-6%2").arg(21 + i).arg(2000000 + i * 3571), QStringLiteral("0%1-6%2").arg(21 + i).arg(2000001 + i * 3571),
                  QStringLiteral("sales%1@vendor.cn").arg(i + 1), Null(), Null(), U(linkNames[i % 8]),
                  QStringLiteral("3201%1").arg(20000000000LL + i * 1234567LL), U("中国建设银行"), QStringLiteral("6227%1").arg(300000000000LL + i * 7654321LL),
                  0.0, rnd.Chance(25) ? Round2(rnd.Real(1000, 8000)) : 0.0, Round2(rnd.Real(0, 90000)), 30, 0, 4, 1, "F", now});
        addLinkmen(clientId, 2);
    }
    // partners that both buy and sell
    ++clientId;
    w.Insert("client", clientCols,
             {clientId, "G0101", U("上海通达物流有限公司"), U("通达物流"), "TDWL", 2, "T", 2, U("上海市宝山区物流园8号"), "201900", "021-56781234",
              Null(), Null(), Null(), Null(), U("何经理"), Null(), Null(), Null(), 50000.0, 0.0, 3200.0, 30, 1, 4, 1, "F", now});
    addLinkmen(clientId, 1);
    ++clientId;
    w.Insert("client", clientCols,
             {clientId, "K0101", U("南京友谊商贸有限公司"), U("友谊商贸"), "YYSM", 1, "T", 3, U("南京市鼓楼区中山路66号"), "210000", "025-83451234",
              Null(), Null(), Null(), Null(), U("钱经理"), Null(), Null(), Null(), 80000.0, 1000.0, 15600.0, 30, 1, 1, 1, "F", now});
    addLinkmen(clientId, 2);
    const int lastClient = 31; // clients are ids 1..31

    // ---- goods types, goods, units
    QHash<QString, int> typeIds; // path -> id
    QHash<int, QString> typeLcode;
    int typeId = 0;
    auto typeOf = [&](const QStringList& path) {
        int parent = 0;
        QString key;
        for (int level = 0; level < path.size(); ++level) {
            key += QLatin1Char('/') + path.at(level);
            if (!typeIds.contains(key)) {
                int siblings = 0;
                for (auto it = typeIds.cbegin(); it != typeIds.cend(); ++it)
                    if (it.key().count(u'/') == level + 1 && it.key().startsWith(key.left(key.lastIndexOf(u'/')) + QLatin1Char('/')))
                        ++siblings;
                const QString lcode = (parent ? typeLcode.value(parent) : QString()) + QStringLiteral("%1").arg(siblings + 1, 2, 10, QLatin1Char('0'));
                ++typeId;
                typeIds.insert(key, typeId);
                typeLcode.insert(typeId, lcode);
                w.Insert("goodstype", "goodstypeid,code,name,lcode,parentid,levelno", {typeId, lcode, path.at(level), lcode, parent, level + 1});
            }
            parent = typeIds.value(key);
        }
        return parent;
    };

    const char* goodsCols = "goodsid,code,name,shortname,pyassist,specs,unit,goodstypeid,kind,inf_costingtypeid,batchctrl,validdates,closed,clientid,"
                            "aprice,upqty,downqty,taxrate,producer,memo,updatetime";
    const char* unitCols = "unitid,goodsid,unitname,rate,unittype,barcode,weightcode,pprice,lastpprice,sprice,lprice1,lprice2,lprice3,vipprice,minsprice,maxpprice";
    int goodsId = 0;
    int unitId = 0;
    struct TStockGoods {
        int GoodsID;
        int Rate;
        double Cost;
        int ValidDays;
        bool Retail;
    };
    QList<TStockGoods> stockGoods;
    QHash<int, int> baseUnitOf;
    auto ean = [](int company, int item) {
        const QString twelve = QStringLiteral("690%1%2").arg(company, 4, 10, QLatin1Char('0')).arg(item, 5, 10, QLatin1Char('0'));
        return twelve + QString::number(Ean13CheckDigit(twelve));
    };
    auto addUnit = [&](int gid, const QString& name, double rate, int type, const QVariant& barcode, const QVariant& weightcode, double retail,
                       double purchase) {
        ++unitId;
        const double sp = Round2(retail);
        const double pp = Round2(purchase);
        w.Insert("goodsunit", unitCols,
                 {unitId, gid, name, rate, type, barcode, weightcode, pp, Round2(pp * rnd.Real(0.95, 1.05)), sp, Round2(sp * 0.92),
                  Round2(sp * 0.87), Round2(sp * 0.82), Round2(sp * 0.95), Round2(sp * 0.78), Round2(pp * 1.15)});
        return unitId;
    };

    for (int li = 0; li < int(std::size(kLeaves)); ++li) {
        const TLeafDef& leaf = kLeaves[li];
        const int type = typeOf({U(leaf.L1), U(leaf.L2), U(leaf.L3)});
        const int vendor = vendorIds.at(leaf.Vendor);
        int seq = 0;
        for (int pi = 0; pi < 4; ++pi) {
            for (int si = 0; si < 2; ++si) {
                ++goodsId;
                ++seq;
                const double retail = Round1(leaf.Price * (si ? leaf.SpecFactor : 1.0) * rnd.Real(0.85, 1.15));
                const double purchase = retail * rnd.Real(0.66, 0.76);
                const double cost = Round2(purchase * rnd.Real(0.97, 1.02));
                const bool batch = leaf.ValidDays > 0;
                // dairy in its larger specification is costed per stock batch
                const int costing = batch && leaf.Vendor == 2 && si == 1 ? 2 : 1;
                const int rate = leaf.PackRate[si];
                w.Insert("goods", goodsCols,
                         {goodsId, typeLcode.value(type) + QStringLiteral("%1").arg(seq, 2, 10, QLatin1Char('0')), U(leaf.Products[pi].Name),
                          U(leaf.Products[pi].Name), U(leaf.Products[pi].Py), U(leaf.Specs[si]), U(leaf.Unit), type, leaf.Kind, costing,
                          batch ? "T" : "F", leaf.ValidDays, "F", vendor, cost, double(rate * 40), double(rate * (2 + pi)), 17.0, Null(), Null(), now});
                const int company = 1000 + li * 10 + pi;
                const int base = addUnit(goodsId, U(leaf.Unit), 1, 0, leaf.Weighed ? QVariant() : QVariant(ean(company, seq * 10 + 1)),
                                         leaf.Weighed ? QVariant(QStringLiteral("%1").arg(li * 100 + seq, 5, 10, QLatin1Char('0'))) : QVariant(),
                                         retail, purchase);
                baseUnitOf.insert(goodsId, base);
                addUnit(goodsId, U(leaf.Pack), rate, 1, ean(company, seq * 10 + 2), Null(), retail * rate * 0.97, purchase * rate * 0.98);
                if (!leaf.Weighed && rate >= 24 && rate % 6 == 0) // six-packs of drinks and the like
                    addUnit(goodsId, U("提"), 6, 1, ean(company, seq * 10 + 3), Null(), retail * 6 * 0.99, purchase * 6);
                stockGoods << TStockGoods{goodsId, rate, cost, leaf.ValidDays, leaf.Kind == 1};
                // the goods' main vendor has bought from us at the last purchase price
                w.Insert("gvcprice", "cvid,goodsid,unitid,cvflag,lastprice,lastdate,spprice",
                         {vendor, goodsId, base, 2, Round2(purchase * rnd.Real(0.97, 1.03)), DateText(today.addDays(-rnd.Range(3, 60))), Null()});
            }
        }
    }

    // goods without stock: kits, non-stock goods, services, discount items
    const int otherType = typeOf({U("服务与其他"), U("服务费用"), U("服务项目")});
    const int kitType = typeOf({U("食品饮料"), U("礼盒礼包"), U("组合礼盒")});
    struct TOtherDef {
        const char* Name;
        const char* Py;
        const char* Unit;
        int Kind;
        double Price;
        int Type;
    };
    const TOtherDef others[] = {
        {"饮料组合礼盒", "YLZHLH", "盒", 3, 88.0, kitType}, {"年货零食大礼包", "NHLSDLB", "份", 3, 168.0, kitType},
        {"洗护套装", "XHTZ", "套", 3, 99.0, kitType},      {"会员卡工本费", "HYKGBF", "张", 4, 10.0, otherType},
        {"购物卡", "GWK", "张", 4, 100.0, otherType},       {"送货服务", "SHFW", "次", 5, 20.0, otherType},
        {"安装服务", "AZFW", "次", 5, 50.0, otherType},     {"包装费", "BZF", "次", 6, 5.0, otherType},
        {"整单折扣", "ZDZK", "项", 7, 0.0, otherType},      {"促销折让", "CXZR", "项", 7, 0.0, otherType},
    };
    int otherSeq = 0;
    QList<int> kits;
    for (const TOtherDef& o : others) {
        ++goodsId;
        ++otherSeq;
        const QString code = typeLcode.value(o.Type) + QStringLiteral("%1").arg(otherSeq, 2, 10, QLatin1Char('0'));
        w.Insert("goods", goodsCols,
                 {goodsId, code, U(o.Name), U(o.Name), U(o.Py), Null(), U(o.Unit), o.Type, o.Kind, 1, "F", 0, "F", Null(),
                  o.Kind == 3 ? Round2(o.Price * 0.7) : 0.0, 0.0, 0.0, o.Kind == 7 ? 0.0 : 17.0, Null(), Null(), now});
        addUnit(goodsId, U(o.Unit), 1, 0, o.Kind <= 4 ? QVariant(ean(9000 + o.Kind, otherSeq)) : QVariant(), Null(), o.Price, o.Price * 0.7);
        if (o.Kind == 3)
            kits << goodsId;
    }
    // bills of materials of the kits: drinks, snacks, washing goods
    const int kitParts[3][3] = {{1, 9, 25}, {49, 57, 65}, {105, 113, 121}};
    for (int k = 0; k < kits.size(); ++k)
        for (int i = 0; i < 3; ++i)
            w.Insert("gcmb", "goodsid,itemno,cmbgoodsid,cmbunitid,quantity", {kits.at(k), i + 1, kitParts[k][i], baseUnitOf.value(kitParts[k][i]), double(2 + i)});

    // agreed prices and last sales prices of some regular clients
    for (int c = 2; c <= lastClient; c += 3) {
        for (int n = 0; n < 4; ++n) {
            const int gid = 1 + int(rnd.Next() % 192);
            const int unit = baseUnitOf.value(gid);
            const double retail = w.Number(QStringLiteral("select sprice from goodsunit where unitid = :a"), unit);
            w.Exec(QStringLiteral("insert or ignore into gvcprice (cvid,goodsid,unitid,cvflag,lastprice,lastdate,spprice) values (%1,%2,%3,1,%4,'%5',%6)")
                       .arg(c).arg(gid).arg(unit).arg(Round2(retail * 0.9)).arg(DateText(today.addDays(-rnd.Range(5, 90))))
                       .arg(n == 0 ? QString::number(Round2(retail * 0.85)) : QStringLiteral("null")));
        }
    }

    // ---- opening stock
    int batchId = 0;
    for (const TStockGoods& g : std::as_const(stockGoods)) {
        for (int store = 1; store <= 3; ++store) {
            if (store == 2 && !g.Retail)
                continue; // raw materials are not kept in the shop front
            int qty = 0;
            if (!rnd.Chance(12)) {
                const int packs = store == 1 ? rnd.Range(5, 60) : rnd.Range(1, 12);
                qty = packs * g.Rate + rnd.Range(0, g.Rate - 1);
            }
            w.Insert("onhand", "storeid,goodsid,onhand,aprice,amount", {store, g.GoodsID, double(qty), g.Cost, Round2(qty * g.Cost)});
            if (g.ValidDays <= 0 || qty <= 0)
                continue;
            const int parts = qty >= 3 ? rnd.Range(1, 3) : 1;
            int left = qty;
            for (int p = 0; p < parts; ++p) {
                const int part = p == parts - 1 ? left : rnd.Range(1, left - (parts - p - 1));
                left -= part;
                const QDate produced = today.addDays(-rnd.Range(5, qMin(150, g.ValidDays / 2)) - p * 7);
                ++batchId;
                w.Insert("batchcodeonhand", "id,storeid,goodsid,batchcode,produceddate,validdate,onhand,aprice",
                         {batchId, store, g.GoodsID, QStringLiteral("P%1%2").arg(produced.toString(QStringLiteral("yyMMdd"))).arg(p + 1, 2, 10, QLatin1Char('0')),
                          DateText(produced), DateText(produced.addDays(g.ValidDays)), double(part), g.Cost});
            }
        }
    }

    // ---- money: subjects, accounts, pay types, income and expense types
    struct TSubjectDef {
        int Id;
        const char* Code;
        const char* Name;
        int Parent;
        int Kind;
        int Special;
    };
    const TSubjectDef subjects[] = {
        {1, "1001", "库存现金", 0, 1, 0},        {2, "1002", "银行存款", 0, 1, 0},       {3, "100201", "工商银行", 2, 1, 0},
        {4, "100202", "建设银行", 2, 1, 0},      {5, "100203", "农业银行", 2, 1, 0},     {6, "1122", "应收账款", 0, 1, 0},
        {7, "1123", "预付账款", 0, 1, 0},        {8, "1403", "原材料", 0, 1, 0},         {9, "1405", "库存商品", 0, 1, 0},
        {10, "1901", "待处理财产损溢", 0, 1, 0}, {11, "190101", "待处理流动资产损溢", 10, 1, 191001},
        {12, "2202", "应付账款", 0, 2, 0},       {13, "2203", "预收账款", 0, 2, 0},      {14, "2211", "应付职工薪酬", 0, 2, 0},
        {15, "221101", "应付工资", 14, 2, 0},    {16, "2221", "应交税费", 0, 2, 0},      {17, "222101", "应交增值税", 16, 2, 0},
        {18, "5001", "生产成本", 0, 5, 0},       {19, "6001", "主营业务收入", 0, 6, 0},  {20, "6051", "其他业务收入", 0, 6, 0},
        {21, "6401", "主营业务成本", 0, 6, 502}, {22, "6601", "销售费用", 0, 6, 0},      {23, "660101", "运输费", 22, 6, 0},
        {24, "660102", "广告费", 22, 6, 0},      {25, "6602", "管理费用", 0, 6, 0},      {26, "660201", "办公费", 25, 6, 0},
        {27, "660202", "差旅费", 25, 6, 0},      {28, "660203", "水电费", 25, 6, 0},     {29, "660204", "业务招待费", 25, 6, 0},
        {30, "6603", "财务费用", 0, 6, 0},       {31, "6301", "营业外收入", 0, 6, 0},    {32, "6711", "营业外支出", 0, 6, 0},
    };
    QHash<int, bool> hasChildren;
    for (const TSubjectDef& s : subjects)
        if (s.Parent)
            hasChildren.insert(s.Parent, true);
    for (const TSubjectDef& s : subjects)
        w.Insert("subject", "subid,subcode,name,fullname,parentid,subkind,direction,detailflag,specialcode,closed",
                 {s.Id, QString::fromLatin1(s.Code), U(s.Name), U(s.Name), s.Parent, s.Kind, s.Kind == 2 || s.Kind == 6 ? 2 : 1,
                  hasChildren.value(s.Id) ? "F" : "T", s.Special ? QVariant(s.Special) : QVariant(), "F"});

    const char* bankCols = "bankid,code,name,bankname,accountno,shopid,subid,balance,closed";
    w.Insert("bank", bankCols, {1, "01", U("现金"), Null(), Null(), 1, 1, 25860.5, "F"});
    w.Insert("bank", bankCols, {2, "02", U("工行基本户"), U("中国工商银行上海徐汇支行"), "1001234509876543210", 1, 3, 386420.0, "F"});
    w.Insert("bank", bankCols, {3, "03", U("建行一般户"), U("中国建设银行上海漕河泾支行"), "31001234567890123", 1, 4, 121300.0, "F"});
    w.Insert("bank", bankCols, {4, "04", U("分店现金"), Null(), Null(), 2, 1, 8150.0, "F"});
    w.Insert("bank", bankCols, {5, "05", U("分店农行户"), U("中国农业银行上海浦东支行"), "03345678901234567", 2, 5, 56780.0, "F"});
    const char* payCols = "paytypeid,code,name,bankid,closed";
    w.Insert("paytype", payCols, {1, "01", U("现金"), 1, "F"});
    w.Insert("paytype", payCols, {2, "02", U("支票"), 2, "F"});
    w.Insert("paytype", payCols, {3, "03", U("信用卡"), 3, "F"});
    w.Insert("paytype", payCols, {4, "04", U("银行转帐"), 2, "F"});
    w.Insert("paytype", payCols, {5, "05", U("汇票"), Null(), "F"});

    struct TIETypeDef {
        int Id;
        const char* Lcode;
        const char* Name;
        int Parent;
        int Kind;
        int Subject;
    };
    const TIETypeDef ietypes[] = {
        {1, "01", "其他收入", 0, 1, 20},  {2, "0101", "租金收入", 1, 1, 20}, {3, "0102", "利息收入", 1, 1, 30},
        {4, "0103", "废品收入", 1, 1, 31}, {5, "02", "费用开支", 0, 2, 25}, {6, "0201", "办公费", 5, 2, 26},
        {7, "0202", "差旅费", 5, 2, 27},   {8, "0203", "运输费", 5, 2, 23},  {9, "0204", "水电费", 5, 2, 28},
        {10, "0205", "广告费", 5, 2, 24},  {11, "0206", "招待费", 5, 2, 29},
    };
    for (const TIETypeDef& t : ietypes)
        w.Insert("ietype", "ietypeid,code,name,lcode,parentid,iekind,subid,closed",
                 {t.Id, QString::fromLatin1(t.Lcode), U(t.Name), QString::fromLatin1(t.Lcode), t.Parent, t.Kind, t.Subject, "F"});

    struct TSatDef {
        const char* Name;
        const char* In;
        const char* Back;
    };
    const TSatDef sats[] = {{"盘盈入库", "T", "F"}, {"其他入库", "T", "F"}, {"借出", "F", "T"}, {"借入", "T", "T"},
                            {"赠送出库", "F", "F"}, {"报损出库", "F", "F"}, {"样品领用", "F", "F"}};
    for (int i = 0; i < int(std::size(sats)); ++i)
        w.Insert("sat", "satid,code,name,isin,needback,subid,closed",
                 {i + 1, QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), U(sats[i].Name), sats[i].In, sats[i].Back, 10, "F"});

    // ---- payroll of the last three months
    int labId = 0;
    for (int m = 3; m >= 1; --m) {
        const QDate month = today.addMonths(-m);
        for (int e = 1; e <= int(std::size(kEmployees)); ++e) {
            const double basePay = double(3000 + (e % 5) * 500);
            const double bonus = double(rnd.Range(2, 12) * 100);
            const double deduct = Round2((basePay + bonus) * 0.105);
            w.Insert("laborage", "id,yearnum,monthnum,empid,basepay,bonus,deduct,actualpay",
                     {++labId, month.year(), month.month(), e, basePay, bonus, deduct, Round2(basePay + bonus - deduct)});
        }
    }

    // ---- point of sale
    w.Insert("machine", "machineid,code,name,shopid,storeid,closed", {1, "01", U("收银机01"), 1, 2, "F"});
    w.Insert("machine", "machineid,code,name,shopid,storeid,closed", {2, "02", U("收银机02"), 1, 2, "F"});
    w.Insert("machine", "machineid,code,name,shopid,storeid,closed", {3, "03", U("分店收银机"), 2, 3, "F"});
    w.Insert("class", "classid,classname,begintime,endtime", {1, U("早班"), "08:00", "14:00"});
    w.Insert("class", "classid,classname,begintime,endtime", {2, U("晚班"), "14:00", "22:00"});
    const char* vipNames[] = {"林晓", "何平", "马丽", "高翔", "罗静", "梁晨", "宋涛", "谢芳", "韩冰", "唐宁"};
    for (int i = 0; i < 10; ++i)
        w.Insert("vip", "vipid,code,name,phone,discount,balance,integral,createdate,closed",
                 {i + 1, QStringLiteral("VIP%1").arg(i + 1, 5, 10, QLatin1Char('0')), U(vipNames[i]), QStringLiteral("137%1").arg(50000000 + i * 31337),
                  i < 3 ? 90.0 : 95.0, Round2(rnd.Real(0, 500)), double(rnd.Range(0, 3000)), DateText(today.addDays(-rnd.Range(30, 700))), "F"});
    w.Insert("inoutcashinit", "opid,defference", {1, 0.0});
    w.Insert("inoutcashinit", "opid,defference", {2, 200.0});

    // ---- messages, approval flows, remembered texts
    w.Insert("msnmodel", "id,name,content",
             {1, U("标准模板"), U("[企业名称]（[分支机构]）：您好！单据[单据编号]（[开单日期]）已开出，金额[开单金额]元，结算方式[结算方式]，"
                               "预计到货时间[到货时间]。业务员[业务员]，联系电话[联系电话]。")});
    w.Insert("oa_billflow", "id,billtype,templateid,name", {1, 6, 1, U("采购订单审批")});
    w.Insert("oa_billflow", "id,billtype,templateid,name", {2, 17, 2, U("费用开支审批")});
    const char* remembered[][2] = {{"10001", "加急"}, {"10001", "月结客户"}, {"10002", "含运费"}, {"10006", "赠品"}, {"10006", "样品"}};
    for (int i = 0; i < 5; ++i)
        w.Insert("am_kind", "id,kind,name,kindname", {i + 1, QString::fromLatin1(remembered[i][0]).toInt(), U(remembered[i][1]), U("自定义")});

    // ---- account set: company, options, periods, key generator
    const QDate start(today.year() - 1, today.month(), 1);
    w.Insert("accinfo", "id,accname,name,companyname,taxnumber,address,phone,fax,zip,email,bank,accounts,startdate,bindledger,keepsubject,useshop",
             {1, U("恒信商贸演示帐套"), U("上海恒信商贸有限公司"), U("上海恒信商贸有限公司"), "310104132456789", U("上海市徐汇区漕溪北路88号"),
              "021-64871234", "021-64871235", "200030", "service@hengxin.cn", U("中国工商银行上海徐汇支行"), "1001234509876543210",
              DateText(start), 0, 1, 1});
    int periodId = 0;
    for (QDate m = start; m <= today; m = m.addMonths(1)) {
        const bool current = m.year() == today.year() && m.month() == today.month();
        w.Insert("accperiod", "periodid,year,month,startdate,enddate,iscurrent,acccurrent,closed",
                 {++periodId, m.year(), m.month(), DateText(m), DateText(m.addMonths(1).addDays(-1)), current ? 1 : 0, current ? 1 : 0, "F"});
    }
    // keys in use, so that new rows continue after the demo rows
    w.Exec(QStringLiteral(
        "insert into sys_keyvalue (tablename, fieldname, keyvalue)"
        " select 'goods', 'goodsid', max(goodsid) from goods union all"
        " select 'goodsunit', 'unitid', max(unitid) from goodsunit union all"
        " select 'client', 'clientid', max(clientid) from client union all"
        " select 'crm_linkman', 'id', max(id) from crm_linkman union all"
        " select 'employ', 'empid', max(empid) from employ union all"
        " select 'batchcodeonhand', 'id', max(id) from batchcodeonhand union all"
        " select 'am_kind', 'id', max(id) from am_kind"));

    WriteStandardRows(w);
}
} // namespace
