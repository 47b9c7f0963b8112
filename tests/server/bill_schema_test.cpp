// The bill tables and views against the statements the bill forms send: every form's master
// and detail select runs on the schema, the bill kinds match the registered forms, and the
// views that pickers and settlements read give the right open quantities and amounts.
#include "server/BillProfiles.h"
#include "server/Schema.h"
#include "webrpc/SqlDialect.h"

#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <vector>

namespace {

// ---- data: the bill profiles and their select statements ------------------------------

// The bill kinds as the profiles give them.
const QVector<TBillProfile>& kProfiles = BillProfiles();

// The one shape of goods-line select that most goods bills share; extra columns and joins
// are the bill's own.
QString GoodsLines(const QString& table, const QString& key, const QString& extraCols = {},
                   const QString& extraJoin = {}, const QString& goodsJoin = QStringLiteral("left outer join"))
{
    return QStringLiteral(
               "select d.*,dbo.getreferbillcode(d.refertype,d.referbillid) as referbillcode,"
               " g.name as goodsname,g.specs,g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,"
               " g.kind as goodskind,g.batchctrl,g.goodsuserdef1,g.goodsuserdef2,g.goodsuserdef3,g.goodsuserdef4,"
               " g.goodsuserdef5,g.goodsuserdef6,g.goodsuserdef7,g.goodsuserdef8,g.goodsuserdef9,g.goodsuserdef10,"
               " u.barcode,u.unitname as unit,u.rate as unitrate,bu.unitname as baseunit,'序列号' as seralno,"
               " d.unitprice/(d.disc/100.0) as nprice,d.unitprice*(1+d.taxrate/100.0) as taxprice%3"
               " from %1 d %5 goods g on d.goodsid=g.goodsid"
               " left outer join goodsunit u on d.goodsid=u.goodsid and d.unitid=u.unitid"
               " left outer join goodsunit bu on d.goodsid=bu.goodsid and bu.unittype=0 %4"
               " where d.%2 =%s  order by d.itemno")
        .arg(table, key, extraCols.isEmpty() ? QString() : QStringLiteral(",") + extraCols, extraJoin, goodsJoin);
}

QString StdMaster(const QString& table, const QString& key, const QString& extra = {})
{
    return QStringLiteral("select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname%3"
                          " from %1 a left outer join operator b on a.opid=b.opid"
                          " left outer join shop c on a.shopid = c.shopid where a.%2 = %s")
        .arg(table, key, extra);
}

QString ClientMaster(const QString& table, const QString& key, bool withTerm)
{
    return QStringLiteral(
               "select a.*%3b.opname,dbo.getrefercredidcode(a.credid) as credcode,"
               "c.balance,c.credit,c.suramt,case c.clientkind when 1 then (c.balance - c.suramt ) "
               " when 2 then (-(c.balance-c.suramt)) else 0 end as debtamt,d.name as shopname%4"
               " from %1 a left outer join operator b on a.opid=b.opid"
               " left outer join client c on (a.clientid=c.clientid)"
               " left outer join shop d on a.shopid = d.shopid where a.%2 =%s")
        .arg(table, key, withTerm ? QStringLiteral(",a.totalamt-a.totalrcvd as spamt,") : QStringLiteral(","),
             withTerm ? QStringLiteral(", cast(billdate + termdays as datetime) CTermDays") : QString());
}

struct TBillSql {
    int BillType;
    QString MasterSQL;
    QString DetailSQL; // empty: no lines
};

// Statements in the server's dialect only: dbo. functions and date + number arithmetic need
// the translator; the others run on SQLite as written.
bool NeedsTranslator(const QString& sql)
{
    return sql.contains(QLatin1String("dbo.")) || sql.contains(QLatin1String("billdate + termdays"));
}

std::vector<TBillSql> BillStatements()
{
    const QString gu = QStringLiteral(
        " g.goodsuserdef1,g.goodsuserdef2,g.goodsuserdef3,g.goodsuserdef4,g.goodsuserdef5 ,"
        " g.goodsuserdef6,g.goodsuserdef7,g.goodsuserdef8,g.goodsuserdef9,g.goodsuserdef10 ");
    const QString discamt = QStringLiteral("(d.unitprice/(d.disc/100.0)-d.unitprice)*d.unitqty as discamt");
    std::vector<TBillSql> v;
    v.push_back({44, QStringLiteral("select a.*,b.opname,c.name as shopname from quotation a  left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.quotationid = %s "),
                 GoodsLines("quotationdetail", "quotationid")});
    v.push_back({1, QStringLiteral("select a.*,b.opname,c.name as shopname from sorder a  left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.sorderid =%s"),
                 GoodsLines("sorderdetail", "sorderid")});
    v.push_back({2, QStringLiteral("select a.*,a.totalamt-a.totalrcvd as spamt,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.balance,c.credit,c.suramt,case c.clientkind when 1 then (c.balance - c.suramt )                   when 2 then (-(c.balance-c.suramt))                   else 0 end as debtamt,d.name as shopname, cast(billdate + termdays as datetime) CTermDays  from invoice  a  left outer join operator b on a.opid=b.opid  left outer join client c on (a.clientid=c.clientid)  left outer join shop d on a.shopid = d.shopid  where a.invoiceid =%s"),
                 GoodsLines("saledetail", "invoiceid")});
    v.push_back({5, QStringLiteral("select a.*,a.factamount+a.discamount-a.amount as advanceamount,dbo.getrefercredidcode(a.credid) as credcode,b.opname,c.name as shopname ,v.suramt,v.balance from charge a left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid left outer join client  v on a.clientid=v.clientid where a.chargeid = %s"),
                 QStringLiteral("select d.*,v.billcode as code, v.billdate,v.recievedate,v.total,v.totalrcvd - d.amount as totalrcvd,v.shouldpayamt + d.amount as shouldpayamt,case  when d.amount = 0 then 0  else 1 end as paynow from chargedetail d left outer join v_chargeselectbill v on d.refertype = v.billtypeid and d.referbillid = v.billid where d.chargeid= %s")});
    v.push_back({3, StdMaster("csale", "csaleid"), GoodsLines("csaledetail", "csaleid")});
    v.push_back({4, StdMaster("sreturn", "returnid"),
                 GoodsLines("returndetail", "returnid",
                            QStringLiteral("case when d.badqty <> 0 then 1 else 0 end as isbad, d.aprice*u.rate as unitaprice"))});
    v.push_back({6, QStringLiteral("Select a.*,b.opname,c.name as shopname from Porder a left outer join OPERATOR b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where orderid = %s"),
                 GoodsLines("orderdetail", "orderid")});
    v.push_back({7, QStringLiteral("select a.*,a.totalamt-a.totalpaid as spamt,b.opname,  dbo.getrefercredidcode(a.credid) as credcode, c.name as shopname,  case d.clientkind when 2 then (d.balance - d.suramt )      when 1 then (-(d.balance-d.suramt))       else 0      end as balamt, cast(billdate + termdays as datetime) CTermDays    from recieved a   left outer join operator b on a.opid=b.opid   left outer join shop c on a.shopid = c.shopid   left outer join client d on (a.clientid=d.clientid)    where a.recievedid = %s"),
                 GoodsLines("rcvddetail", "recievedid", discamt, {}, QStringLiteral("inner join"))});
    v.push_back({9, QStringLiteral("select a.*,a.factamount+a.discamount-a.amount as advanceamount,dbo.getrefercredidcode(a.credid) as credcode,b.opname,c.name as shopname ,v.suramt,v.balance from pay a left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid left outer join client  v on a.clientid=v.clientid where a.payid = %s"),
                 QStringLiteral("select d.*,v.billcode as code, v.billdate,v.recievedate,v.total,v.totalrcvd - d.amount as totalrcvd,v.shouldpayamt + d.amount as shouldpayamt,case  when d.amount = 0 then 0  else 1 end as paynow from paydetail d left outer join v_payselectbill v on d.refertype = v.billtypeid and d.referbillid = v.billid where d.payid= %s")});
    v.push_back({8, StdMaster("preturn", "preturnid"), GoodsLines("prdetail", "preturnid", discamt, {}, QStringLiteral("inner join"))});
    v.push_back({41, QStringLiteral("select a.*,b.opname,c.name as shopname from askdeliver a  left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.askid =%s"),
                 GoodsLines("askdeliverdetail", "askid")});
    v.push_back({42, QStringLiteral("select a.*,b.opname,c.name as shopname from deliver a left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.deliverid  = %s"),
                 QStringLiteral("select d.*,a.code as referbillcode,g.name as goodsname,g.specs,g.code as goodscode,u.unitname as unit,u.rate as unitrate,bu.unitname as baseunit,u.barcode from deliverdetail d left outer join askdeliver a on d.referbillid = a.askid left outer join goods g on d.goodsid=g.goodsid left outer join goodsunit u on d.goodsid=u.goodsid and d.unitid=u.unitid left outer join goodsunit bu on d.goodsid=bu.goodsid and bu.unittype=0 where d.deliverid = %s order by d.itemno")});
    const QString valued = QStringLiteral("select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname from valuedrcvd a left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.billid = %s ");
    v.push_back({22, valued, GoodsLines("valuedrcvddetail", "billid")});
    v.push_back({40, valued, GoodsLines("valuedrcvddetail", "billid")});
    v.push_back({43, QStringLiteral("Select a.*,b.opname,c.name as shopname,cast(billdate + termdays as datetime) CTermDays,dbo.getrefercredidcode(a.credid) as credcode from purchaseapp a left outer join OPERATOR b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where purchaseappid = %s"),
                 GoodsLines("purchaseappdetail", "purchaseappid", QStringLiteral("s.purappamt - d.appamt as purappamt"),
                            QStringLiteral("left outer join v_selpurappdetailbill s on d.refertype = s.billtype and d.referbillid = s.billid and d.referitemno = s.itemno"))});
    v.push_back({26, StdMaster("crecieved", "crecievedid"), GoodsLines("crcvddetail", "crecievedid", discamt, {}, QStringLiteral("inner join"))});
    v.push_back({10, StdMaster("DRAWITEM", "DRAWITEMID"), GoodsLines("drawdetail", "DRAWITEMID")});
    v.push_back({11, StdMaster("BACKDRAW", "BACKDRAWID"), GoodsLines("Backdetail", "BACKDRAWID")});
    v.push_back({12, QStringLiteral("Select i.*,o.opname,c.name as shopname,dbo.getrefercredidcode(i.credid) as credcode from Inproduct i left outer join  operator o on i.opid=o.opid left outer join shop c on i.shopid = c.shopid where InproductID=%s"),
                 GoodsLines("Indetail", "INPRODUCTID")});
    v.push_back({14, StdMaster("BalItem", "BALITEMID"),
                 QStringLiteral("select d.*,dbo.getreferbillcode(d.refertype,d.referbillid) as referbillcode,g.name as goodsname,g.specs,g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,g.kind as goodskind,g.batchctrl,u.barcode,u.unitname as unit,u.rate as unitrate,bu.unitname as baseunit,'序列号' as seralno,o.onhand,(o.onhand + d.unitqty) as realqty,d.UnitQty as OldUnitQty from baldetail d left outer join goods g on d.goodsid=g.goodsid left outer join goodsunit u on d.goodsid=u.goodsid and d.unitid=u.unitid left outer join goodsunit bu on d.goodsid=bu.goodsid and bu.unittype=0 left outer join (select goodsid,sum(onhand)as onhand from onhand group by goodsid ) o       on (d.goodsid=o.goodsid) where BalItemID=%s")});
    v.push_back({19, StdMaster("Adjap", "AdjapID"),
                 GoodsLines("DAdjap", "AdjapID", QStringLiteral("dbo.fn_truncatecurrency(d.unitqty*d.aoprice) as oamount,dbo.fn_truncatecurrency(d.unitqty *d.anprice) as namount"))});
    v.push_back({13, StdMaster("Allot", "AllotID", QStringLiteral(",so.name as outsname, si.name as insname"))
                         .replace(QStringLiteral(" where a."), QStringLiteral(" left outer join shop so on a.outshopid = so.shopid left outer join shop si on a.inshopid = si.shopid where a.")),
                 GoodsLines("DAllot", "AllotID")});
    v.push_back({16, QStringLiteral("select c.*,o.opname,dbo.getrefercredidcode(c.credid) as credcode,g.name as goodsname,g.specs,g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,g.kind as goodskind,g.batchctrl,bu.unitname as baseunit,u.barcode,u.unitname as unit,u.rate as unitrate,d.name as shopname from combin c left outer join goodsunit u on c.goodsid=u.goodsid and c.unitid=u.unitid left outer join goodsunit bu on c.goodsid=bu.goodsid and bu.unittype=0 left outer join goods g on c.goodsid=g.goodsid left outer join operator o on c.opid=o.opid left outer join shop d on c.shopid=d.shopid where  combinid=%s"),
                 GoodsLines("combind", "combinid")});
    v.push_back({15, QStringLiteral("select a.*,b.opname,c.name as shopname,s.isin,CASE s.isin WHEN 'T' THEN '入库类' WHEN 'F' THEN '出库类' END AS type,s.needback from Inout a left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid left outer join sat s on a.satid = s.satid where a.inoutid = %s"),
                 GoodsLines("DINOUT", "INOUTID")});
    v.push_back({17, StdMaster("Expense", "ExpenseID"),
                 QStringLiteral("select d.*,i.name as ietypename           from expensed d left outer join ietype i               on d.ietypeid=i.ietypeid               where d.expenseid = %s")});
    v.push_back({18, StdMaster("Income", "IncomeID"),
                 QStringLiteral("select d.*,i.name as ietypename,           i.name as name               from incomed d left outer join ietype i               on d.ietypeid=i.ietypeid               where d.incomeid = %s")});
    v.push_back({20, StdMaster("MoveMoney", "MoveID", QStringLiteral(",so.name as outsname, si.name as insname"))
                         .replace(QStringLiteral(" where a."), QStringLiteral(" left outer join shop so on a.outshopid = so.shopid left outer join shop si on a.inshopid = si.shopid where a.")),
                 {}});
    v.push_back({23, QStringLiteral(" select p.billid,p.code,p.billtime,p.shopid,p.billdate,p.flag,p.empid,  p.returntag,c.classname,p.closeid,p.printed,v.code as vipcode,s.name as storename,  op.opname,m.name as machinename,((1.5-p.returntag)*2*p.amount) as totalamount,  e.name as empcode, sh.name as shopname, p.sflag as sflag,23 as rptid,1 as templateid,  cast('' as varchar(40)) paytype  from posbilldate p left outer join operator op on p.opid=op.opid  left outer join machine m on p.machineid=m.machineid  left outer join class c on c.classid=p.classid  left outer join vip v on v.vipid=p.vipid  left outer join store s on s.storeid=p.storeid  left outer join employ e on e.empid = p.empid  left outer join shop sh on p.shopid = sh.shopid  where p.billid=%s "),
                 QStringLiteral(" select d.billid,d.itemno,d.goodsid,d.batchrefid,d.batchcode, d.produceddate, d.validdate,g.code,g.name,g.specs,  g.unit as baseunit,g.validdates,g.inf_costingtypeid,g.kind as goodskind,") + gu +
                     QStringLiteral(", g.batchctrl,u.unitid,u.unitname as unit,u.rate as unitrate,u.barcode,  ((1.5-p.returntag)*2*d.amount) as quantity,  ((1.5-p.returntag)*2*d.unitqty) as unitqty,d.discount,  ((d.unitprice/d.discount)) as unitprice,  ((d.price/d.discount)) as price,  dbo.fn_truncatecurrency(d.unitprice*(1.5-p.returntag)*2*d.unitqty) as amount  from posbill p,posdetail d,goods g,goodsunit u  where p.billid = d.billid and g.goodsid=d.goodsid and u.unitid=d.unitid  and p.returntag>0 and p.billid=%s ")});
    v.push_back({27, ClientMaster("deputesale", "deputesaleid", false), GoodsLines("deputesaledetail", "deputesaleid")});
    v.push_back({28, ClientMaster("deputesettlement", "deputesettlementid", true), GoodsLines("deputesettlementdetail", "deputesettlementid")});
    v.push_back({29, StdMaster("deputesaleinit", "deputesaleinitid"), GoodsLines("deputesaleinitdetail", "deputesaleinitid")});
    v.push_back({30, QStringLiteral("select g.*, o.opname, e.name as ratifier, c.name as shopname from goodsdiscount g left outer join employ e on g.ratifierid = e.empid  left outer join operator o on g.opid=o.opid  left outer join shop c on g.shopid = c.shopid  where  goodsdiscountid = %s "),
                 QStringLiteral("select d.*,g.name as goodsname,g.specs,g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,g.kind as goodskind,") + gu +
                     QStringLiteral(",g.batchctrl,u.unitname as unit from goodsdiscountdetail d left outer join goods g on d.goodsid=g.goodsid left outer join goodsunit u on d.unitid=u.unitid where d.goodsdiscountid = %s order by d.itemno")});
    v.push_back({25, QStringLiteral("select d.*,o.opname,24 as rptid,dbo.getreferbillcode(100,d.credid) as credcode,c.name as shopname from inoutcash d left outer join operator o on d.opid=o.opid  left outer join shop c on d.shopid = c.shopid  where id= %s"),
                 {}});
    v.push_back({24, QStringLiteral("select p.*, s.name as storename, c.name as shopname   from posday p left outer join store s on p.storeid=s.storeid  left outer join shop c on p.shopid = c.shopid  where billid = %s "),
                 QStringLiteral("select d.* , g.name goodsname, g.specs, g.code goodscode, g.inf_costingtypeid,  g.kind as goodskind, g.batchctrl, g.unit,") + gu +
                     QStringLiteral(",       gu.barcode   from posdaydetail d       left outer join goods g on (d.goodsid=g.goodsid)    left join goodsunit gu on (g.goodsid=gu.goodsid and gu.unitname=g.unit)   where billid =%s  ")});
    v.push_back({21, QStringLiteral("select d.*,s.subcode,dbo.getrefercredidcode(d.credid) as credcode,c.name as shopname from dislaborage d left outer join shop c on d.shopid = c.shopid left outer join subject s on d.subid=s.subid where d.id=%s"),
                 {}});
    return v;
}

TBillSql StatementsOf(int billType)
{
    for (const TBillSql& s : BillStatements())
        if (s.BillType == billType)
            return s;
    ADD_FAILURE() << "no statements for bill type " << billType;
    return {};
}

// ---- helpers -----------------------------------------------------------------------------

class BillSchema : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sqlite3_open(":memory:", &Db), SQLITE_OK);
        CreateSchema(Db);
        RegisterSqlFunctions(Db);
    }
    void TearDown() override { sqlite3_close(Db); }

    // Runs every statement of a script; fails the test with the engine's message.
    void Exec(const QString& sql)
    {
        char* err = nullptr;
        const int rc = sqlite3_exec(Db, sql.toUtf8().constData(), nullptr, nullptr, &err);
        EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << "\n" << sql.toStdString();
        sqlite3_free(err);
    }

    // Prepares and runs one query; returns the rows as text, or an error text in Error.
    QList<QStringList> Query(const QString& sql, QString* error = nullptr, QStringList* columns = nullptr)
    {
        QList<QStringList> rows;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(Db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
            if (error)
                *error = QString::fromUtf8(sqlite3_errmsg(Db));
            else
                ADD_FAILURE() << sqlite3_errmsg(Db) << "\n" << sql.toStdString();
            sqlite3_finalize(st);
            return rows;
        }
        const int n = sqlite3_column_count(st);
        if (columns)
            for (int i = 0; i < n; ++i)
                columns->append(QString::fromUtf8(sqlite3_column_name(st, i)));
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < n; ++i) {
                const unsigned char* t = sqlite3_column_text(st, i);
                row << (t ? QString::fromUtf8(reinterpret_cast<const char*>(t)) : QString());
            }
            rows << row;
        }
        if (rc != SQLITE_DONE) {
            if (error)
                *error = QString::fromUtf8(sqlite3_errmsg(Db));
            else
                ADD_FAILURE() << sqlite3_errmsg(Db) << "\n" << sql.toStdString();
        }
        sqlite3_finalize(st);
        return rows;
    }

    double Number(const QString& sql)
    {
        const auto rows = Query(sql);
        if (rows.isEmpty() || rows.first().isEmpty()) {
            ADD_FAILURE() << "no row: " << sql.toStdString();
            return 0;
        }
        return rows.first().first().toDouble();
    }

    struct TColumn {
        QString Name, Type;
        int Pk;
    };
    QList<TColumn> Columns(const QString& table)
    {
        QList<TColumn> out;
        for (const QStringList& r : Query(QStringLiteral("select name, type, pk from pragma_table_info('%1')").arg(table)))
            out << TColumn{r[0].toLower(), r[1], r[2].toInt()};
        return out;
    }
    QSet<QString> ColumnNames(const QString& table)
    {
        QSet<QString> s;
        for (const TColumn& c : Columns(table))
            s << c.Name;
        return s;
    }
    bool IsTable(const QString& name)
    {
        return Number(QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = lower('%1')").arg(name)) == 1;
    }
    // Index column lists of a table, each as "col1,col2".
    QStringList IndexColumns(const QString& table)
    {
        QStringList out;
        for (const QStringList& idx : Query(QStringLiteral("select name from pragma_index_list('%1')").arg(table))) {
            QStringList cols;
            for (const QStringList& c : Query(QStringLiteral("select name from pragma_index_info('%1') order by seqno").arg(idx[0])))
                cols << c[0].toLower();
            out << cols.join(QLatin1Char(','));
        }
        return out;
    }

    sqlite3* Db = nullptr;
};

QString Bind(QString sql) { return sql.replace(QLatin1String("%s"), QLatin1String("-99999")); }

// ---- the bill kinds ----------------------------------------------------------------------

TEST_F(BillSchema, BillKindsMatchTheRegisteredFormsOneToOne)
{
    ASSERT_EQ(Number(QStringLiteral("select count(*) from billkind")), 35);
    for (const TBillProfile& p : kProfiles) {
        SCOPED_TRACE(p.FormName);
        const auto rows = Query(QStringLiteral("select formname, mastertable, keyfield, ifnull(detailtable, '') from billkind where billtype = %1").arg(p.BillType));
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0][0], QLatin1String(p.FormName));
        EXPECT_EQ(rows[0][1].toLower(), QString::fromLatin1(p.MasterTable).toLower());
        EXPECT_EQ(rows[0][2].toLower(), QString::fromLatin1(p.KeyField).toLower());
        EXPECT_EQ(rows[0][3].toLower(), QString::fromLatin1(p.DetailTable ? p.DetailTable : "").toLower());
    }
    // The stock flow is keyed by the database bill type: no two kinds may share one.
    EXPECT_EQ(Number(QStringLiteral("select count(*) from (select dbbilltype from billkind where dbbilltype <> -999 group by dbbilltype having count(*) > 1)")), 0);
    EXPECT_EQ(Number(QStringLiteral("select count(*) from billkind where stockdir not in (-1, 0, 1, 2) or cvflag not in (-1, 1, 2, 3)")), 0);
}

TEST_F(BillSchema, StockDirectionsFollowWhatEachBillDoesToTheStore)
{
    const QList<QPair<int, int>> expected = {
        {7, 1}, {26, 1}, {22, 1}, {4, 1}, {11, 1}, {12, 1},          // goods come in
        {2, -1}, {3, -1}, {8, -1}, {10, -1}, {27, -1}, {24, -1},     // goods go out
        {13, 2}, {16, 2}, {14, 2}, {15, 2},                          // both ways
        {44, 0}, {1, 0}, {6, 0}, {41, 0}, {42, 0}, {9, 0}, {5, 0},   // nothing moves
        {19, 0}, {43, 0}, {23, 0}, {40, 0}, {29, 0}, {28, 0}};
    for (const auto& [billType, dir] : expected)
        EXPECT_EQ(Number(QStringLiteral("select stockdir from billkind where billtype = %1").arg(billType)), dir) << "bill type " << billType;
    // Bills that never post to the stock flow under a type of their own cannot move stock.
    EXPECT_EQ(Number(QStringLiteral("select count(*) from billkind where dbbilltype = -999 and stockdir <> 0")), 0);
}

// ---- the tables --------------------------------------------------------------------------

TEST_F(BillSchema, EveryBillHasItsMasterAndDetailTablesKeyedAsProfiled)
{
    for (const TBillProfile& p : kProfiles) {
        SCOPED_TRACE(p.FormName);
        const QString master = QString::fromLatin1(p.MasterTable), key = QString::fromLatin1(p.KeyField).toLower();
        ASSERT_TRUE(IsTable(master));
        bool keyIsRowid = false;
        for (const TColumn& c : Columns(master))
            if (c.Name == key)
                keyIsRowid = c.Pk == 1 && c.Type == QLatin1String("INTEGER");
        EXPECT_TRUE(keyIsRowid) << "key " << key.toStdString();
        EXPECT_TRUE(IndexColumns(master).contains(QStringLiteral("billdate,code")));
        const QSet<QString> m = ColumnNames(master);
        for (const char* c : {"billdate", "code", "opid", "shopid", "flag", "printed", "refercount", "sflag", "updatetime", "memo", "templateid"})
            EXPECT_TRUE(m.contains(QLatin1String(c))) << master.toStdString() << "." << c;
        // Columns that the selects join in under these names must not be stored, or "a.*"
        // would deliver them twice.
        for (const char* c : {"opname", "shopname", "credcode", "spamt", "ctermdays", "debtamt", "advanceamount"})
            EXPECT_FALSE(m.contains(QLatin1String(c))) << master.toStdString() << "." << c;

        if (!p.DetailTable)
            continue;
        const QString detail = QString::fromLatin1(p.DetailTable);
        ASSERT_TRUE(IsTable(detail));
        QStringList pk;
        for (const TColumn& c : Columns(detail))
            if (c.Pk > 0)
                pk << c.Name;
        EXPECT_EQ(pk, QStringList({key, QStringLiteral("itemno")}));
        EXPECT_TRUE(IndexColumns(detail).contains(key));
        const QSet<QString> d = ColumnNames(detail);
        for (const char* c : {"goodsname", "goodscode", "unit", "unitrate", "baseunit", "barcode", "nprice", "taxprice", "referbillcode"})
            EXPECT_FALSE(d.contains(QLatin1String(c))) << detail.toStdString() << "." << c;
    }
}

TEST_F(BillSchema, GoodsLinesCarryTheGoodsLineFields)
{
    const QSet<QString> notGoods = {"paydetail", "chargedetail", "incomed", "expensed", "posdaydetail", "goodsdiscountdetail", "posdetail"};
    for (const TBillProfile& p : kProfiles) {
        if (!p.DetailTable || notGoods.contains(QString::fromLatin1(p.DetailTable).toLower()))
            continue;
        SCOPED_TRACE(p.DetailTable);
        const QSet<QString> d = ColumnNames(QString::fromLatin1(p.DetailTable));
        for (const char* c : {"itemno", "goodsid", "unitid", "unitqty", "quantity", "unitprice", "price", "disc", "taxrate",
                              "goodsamt", "taxamt", "amount", "aprice", "batchcode", "batchrefid", "produceddate", "validdate",
                              "refertype", "referbillid", "referitemno", "refercount", "ispresent", "userdef1", "userdef3"})
            EXPECT_TRUE(d.contains(QLatin1String(c))) << c;
    }
    // The follow-up quantities that later bills raise.
    const QList<QPair<const char*, const char*>> followUps = {
        {"orderdetail", "rcvdqty"}, {"sorderdetail", "takeqty"}, {"rcvddetail", "returnqty"}, {"rcvddetail", "purappamt"},
        {"crcvddetail", "returnqty"}, {"saledetail", "returnqty"}, {"csaledetail", "returnqty"}, {"returndetail", "badqty"},
        {"valuedrcvddetail", "returnqty"}, {"deputesaledetail", "settledqty"}, {"deputesettlementdetail", "returnqty"},
        {"drawdetail", "backqty"}, {"dinout", "backqty"}, {"askdeliverdetail", "deliqty"}, {"deliverdetail", "allotqty"},
        {"indetail", "material"}, {"dadjap", "anprice"}, {"dallot", "sprice"}, {"quotationdetail", "unitendqty"}};
    for (const auto& [table, column] : followUps)
        EXPECT_TRUE(ColumnNames(QString::fromLatin1(table)).contains(QLatin1String(column))) << table << "." << column;
}

TEST_F(BillSchema, BillColumnsUseOnlyTheDataLayersTypes)
{
    const QRegularExpression allowed(QStringLiteral("^(INTEGER|MONEY|FLOAT|TEXT|CHAR\\(1\\)|BIT|DATETIME|BLOB|VARCHAR\\(\\d+\\))$"));
    QStringList tables;
    for (const QStringList& r : Query(QStringLiteral("select mastertable from billkind union select detailtable from billkind where detailtable is not null")))
        tables << r[0];
    tables << QStringLiteral("detailbillflow") << QStringLiteral("moneydetail") << QStringLiteral("posdetail_tmp") << QStringLiteral("billkind");
    for (const QString& t : tables)
        for (const TColumn& c : Columns(t))
            EXPECT_TRUE(allowed.match(c.Type).hasMatch()) << t.toStdString() << "." << c.Name.toStdString() << " " << c.Type.toStdString();
}

// ---- the bills' selects ------------------------------------------------------------------

// Every master and detail select of the bill forms runs on the schema once translated, and
// delivers each column name once (the client dataset keys fields by name).
TEST_F(BillSchema, EveryBillsSelectsRunAndNameEachColumnOnce)
{
    const auto statements = BillStatements();
    ASSERT_EQ(statements.size(), size_t(kProfiles.size()));
    for (const TBillSql& s : statements) {
        for (const QString& raw : {s.MasterSQL, s.DetailSQL}) {
            if (raw.isEmpty())
                continue;
            SCOPED_TRACE(QStringLiteral("bill type %1: %2").arg(s.BillType).arg(raw).toStdString());
            QString error;
            QStringList columns;
            Query(TranslateSql(Bind(raw)), &error, &columns);
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            QSet<QString> seen;
            for (const QString& c : columns) {
                EXPECT_FALSE(seen.contains(c.toLower())) << "column twice: " << c.toStdString();
                seen << c.toLower();
            }
        }
    }
}

// The selects that need no translator run as written.
TEST_F(BillSchema, PlainSelectsRunWithoutTranslation)
{
    int plain = 0;
    for (const TBillSql& s : BillStatements()) {
        for (const QString& raw : {s.MasterSQL, s.DetailSQL}) {
            if (raw.isEmpty() || NeedsTranslator(raw))
                continue;
            SCOPED_TRACE(raw.toStdString());
            QString error;
            Query(Bind(raw), &error);
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            ++plain;
        }
    }
    EXPECT_GE(plain, 8);
}

// ---- the views ---------------------------------------------------------------------------

class BillViews : public BillSchema {
protected:
    void SetUp() override
    {
        BillSchema::SetUp();
        Exec(QStringLiteral(
            "insert into goods (goodsid, code, name, kind, inf_costingtypeid, batchctrl) values (901, 'G901', '测试货品', 1, 2, 'T');"
            "insert into goodsunit (unitid, goodsid, unitname, rate, unittype) values (9010, 901, '个', 1, 0), (9011, 901, '箱', 12, 1);"
            "insert into store (storeid, code, name, shopid) values (91, 'S91', '测试仓', 0);"
            "insert into client (clientid, code, name, shortname, clientkind) values (801, 'V801', '供应商', '供应商', 2), (802, 'C802', '客户', '客户', 1);"));
    }
};

TEST_F(BillViews, LotsShowWhatIsLeftAfterTheIssuesThatNameThem)
{
    // A receipt of 2 boxes (24 base units) creates a lot; an issue of 5 draws on it.
    Exec(QStringLiteral(
        "insert into detailbillflow (id, billtype, billid, itemno, billcode, billdate, storeid, goodsid, unitid, inqty, inprice, batchcode)"
        " values (1, 1, 11, 1, 'CS-1', '2024-03-01 00:00:00', 91, 901, 9011, 24, 2.5, 'B1');"
        "insert into detailbillflow (id, billtype, billid, itemno, billcode, billdate, storeid, goodsid, unitid, outqty, outprice, batchcode, batchrefid)"
        " values (2, 3, 12, 1, 'XK-1', '2024-03-02 00:00:00', 91, 901, 9010, 5, 2.5, 'B1', 1);"
        "update detailbillflow set refqty = 5 where id = 1;"));
    const auto rows = Query(QStringLiteral("select id, leftqty, leftunitqty, unitprice, billname from v_DetailBillFlow"));
    ASSERT_EQ(rows.size(), 1); // the issue is not a lot
    EXPECT_EQ(rows[0][0], QStringLiteral("1"));
    EXPECT_DOUBLE_EQ(rows[0][1].toDouble(), 19);
    EXPECT_NEAR(rows[0][2].toDouble(), 19.0 / 12, 1e-9);
    EXPECT_DOUBLE_EQ(rows[0][3].toDouble(), 30); // cost per box
    EXPECT_EQ(rows[0][4], QStringLiteral("采购收货单"));

    // The batch-sufficiency check of a saved issue line counts the line's own quantity back.
    Exec(QStringLiteral("insert into invoice (invoiceid, code, billdate) values (12, 'XK-1', '2024-03-02 00:00:00');"
                        "insert into saledetail (invoiceid, itemno, goodsid, unitid, unitqty, quantity, batchrefid) values (12, 1, 901, 9010, 5, 5, 1);"));
    EXPECT_DOUBLE_EQ(Number(TranslateSql(QStringLiteral(
                         "select isnull((select leftqty from v_DetailBillFlow where id = 1), 0) + "
                         "isnull((select quantity qty from saledetail where invoiceid = 12 and itemno = 1), 0) as o_qty"))),
                     24);

    // The batch picker's first mode lists the lot in the line's unit.
    const auto picked = Query(TranslateSql(QStringLiteral(
        " Select a.GoodsID,a.BatchCode,a.id as BatchCodeID,a.ValidDate,a.Billtype,a.BillID, a.ItemNo,a.BillDate,a.BillCode,a.ID,a.InPrice,"
        " round(a.RefQty,6)/12 as UnitRefQty,a.RefQty,  round(a.LeftQty,6)/12 as LeftQty,  a.storeid,a.billname,a.produceddate,"
        "  a.unitid,a.unitprice,a.unitname,a.unitrate, a.BATCHREFID,a.barcode,round(a.aprice*12 ,6) as unitaprice,a.aprice"
        "  from v_DetailBillFlow a, store s  where a.storeid = s.storeid and a.billdate <= '2024-03-31' and a.goodsid =  901 and a.storeid =  91")));
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0][1], QStringLiteral("B1"));
}

TEST_F(BillViews, OpenBillsToPayNetReturnsAndSkipRefundedOnes)
{
    Exec(QStringLiteral(
        "insert into recieved (recievedid, code, billdate, clientid, totalamt, totalpaid, termdays, flag) values (21, 'CS-21', '2024-03-01 00:00:00', 801, 100, 40, 30, 0);"
        "insert into preturn (preturnid, code, billdate, clientid, totalamt, totalpaid, backmoney, flag) values (22, 'CT-22', '2024-03-05 00:00:00', 801, 15, 0, 'F', 0);"
        "insert into preturn (preturnid, code, billdate, clientid, totalamt, totalpaid, backmoney, flag) values (23, 'CT-23', '2024-03-06 00:00:00', 801, 9, 0, 'T', 0);"
        "insert into invoice (invoiceid, code, billdate, clientid, totalamt, totalrcvd, termdays) values (24, 'XK-24', '2024-03-01 00:00:00', 802, 50, 0, 10);"));
    const auto rows = Query(QStringLiteral("select billtypeid, billid, shouldpayamt, recievedate, billtype from v_payselectbill where clientid = 801 order by billid"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_DOUBLE_EQ(rows[0][2].toDouble(), 60);
    EXPECT_EQ(rows[0][3], QStringLiteral("2024-03-31 00:00:00"));
    EXPECT_EQ(rows[1][0], QStringLiteral("8"));
    EXPECT_DOUBLE_EQ(rows[1][2].toDouble(), -15);
    EXPECT_DOUBLE_EQ(Number(QStringLiteral("select shouldpayamt from v_chargeselectbill where billid = 24 and billtypeid = 2")), 50);

    // A payment line shows what was outstanding before the payment itself.
    Exec(QStringLiteral("insert into pay (payid, code, billdate, clientid, amount) values (25, 'CF-25', '2024-03-10 00:00:00', 801, 60);"
                        "insert into paydetail (payid, itemno, refertype, referbillid, amount) values (25, 1, 7, 21, 60);"
                        "update recieved set totalpaid = 100 where recievedid = 21;"));
    const auto lines = Query(QStringLiteral("select d.*,v.billcode as code, v.shouldpayamt + d.amount as shouldpayamt from paydetail d left outer join v_payselectbill v on d.refertype = v.billtypeid and d.referbillid = v.billid where d.payid= 25"),
                             nullptr);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0][lines[0].size() - 2], QStringLiteral("CS-21"));
    EXPECT_DOUBLE_EQ(lines[0].last().toDouble(), 60);
    // And the bill's settlement history finds the payment.
    EXPECT_EQ(Query(QStringLiteral("select p.code from v_payrecieve p, v_payrecievedetail d where d.refertype = 7 and d.referbillid = 21 and p.payid=d.payid and p.paytype = d.paytype")),
              QList<QStringList>({{QStringLiteral("CF-25")}}));
}

TEST_F(BillViews, SourceLinesShowWhatIsStillOpen)
{
    Exec(QStringLiteral(
        "insert into porder (orderid, code, billdate, clientid) values (31, 'CD-31', '2024-03-01 00:00:00', 801);"
        "insert into orderdetail (orderid, itemno, goodsid, unitid, unitqty, unitprice, disc, taxrate, rcvdqty) values"
        " (31, 1, 901, 9011, 4, 10, 80, 17, 4), (31, 2, 901, 9011, 6, 10, 100, 0, 3);"));
    const auto rows = Query(QStringLiteral("select itemno, exeqty, nprice, unitrate, baseunit, code from v_selporderdetail where orderid = 31 and rcvdqty < unitqty"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][0], QStringLiteral("2"));
    EXPECT_DOUBLE_EQ(rows[0][1].toDouble(), 3);
    EXPECT_DOUBLE_EQ(rows[0][2].toDouble(), 10);
    EXPECT_DOUBLE_EQ(rows[0][3].toDouble(), 12);
    EXPECT_EQ(rows[0][4], QStringLiteral("个"));
    EXPECT_EQ(rows[0][5], QStringLiteral("CD-31"));
    EXPECT_DOUBLE_EQ(Number(QStringLiteral("select nprice from v_selporderdetail where orderid = 31 and itemno = 1")), 12.5);
}

TEST_F(BillViews, ExpensesAlreadyApportionedAreSummedPerReceiptLine)
{
    Exec(QStringLiteral(
        "insert into recieved (recievedid, code, billdate, clientid, flag) values (41, 'CS-41', '2024-03-01 00:00:00', 801, 0);"
        "insert into rcvddetail (recievedid, itemno, goodsid, unitid, unitqty, quantity, unitprice, goodsamt) values (41, 1, 901, 9010, 10, 10, 3, 30);"
        "insert into detailbillflow (id, billtype, billid, itemno, storeid, goodsid, unitid, inqty) values (7, 1, 41, 1, 91, 901, 9010, 10);"
        "insert into purchaseapp (purchaseappid, code, billdate, appamt) values (42, 'FY-42', '2024-03-02 00:00:00', 12), (43, 'FY-43', '2024-03-03 00:00:00', 5);"
        "insert into purchaseappdetail (purchaseappid, itemno, goodsid, refertype, referbillid, referitemno, appamt) values"
        " (42, 1, 901, 7, 41, 1, 12), (43, 1, 901, 7, 41, 1, 5);"));
    const auto rows = Query(QStringLiteral("select purappamt, detailbillflowid, code from v_selpurappdetailbill where billtype = 7 and billid = 41 and itemno = 1"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_DOUBLE_EQ(rows[0][0].toDouble(), 17);
    EXPECT_EQ(rows[0][1], QStringLiteral("7"));
    // Seen from expense bill 43, the others apportioned 12.
    const auto shown = Query(TranslateSql(Bind(StatementsOf(43).DetailSQL).replace(QStringLiteral("-99999"), QStringLiteral("43"))));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_DOUBLE_EQ(shown[0].last().toDouble(), 12);
}

TEST_F(BillViews, ConsignmentLinesOfBothKindsServeTheBatchPicker)
{
    Exec(QStringLiteral(
        "insert into deputesale (deputesaleid, billtype, code, billdate, clientid, storeid, shopid, flag) values (51, 1, 'WT-51', '2024-03-01 00:00:00', 802, 91, 0, 0);"
        "insert into deputesaledetail (deputesaleid, itemno, goodsid, unitid, unitqty, quantity, settledqty, returnqty, batchcode, aprice) values"
        " (51, 1, 901, 9011, 2, 24, 1, 0, 'B1', 2), (51, 2, 901, 9011, 1, 12, 1, 0, 'B1', 2);"
        "insert into deputesaleinit (deputesaleinitid, code, billdate, clientid, storeid, shopid) values (51, 'QC-51', '2023-12-01 00:00:00', 802, 91, 0);"
        "insert into deputesaleinitdetail (deputesaleinitid, itemno, goodsid, unitid, unitqty, quantity, batchcode) values (51, 1, 901, 9011, 3, 36, 'B0');"));
    const auto rows = Query(TranslateSql(QStringLiteral(
        " Select a.GoodsID,a.BatchCode,a.batchrefid as BatchCodeID,  a.ValidDate, a.deputesaleid as BillID,a.billtypeid,  a.itemno,a.aprice as inprice,"
        "  a.quantity as refqty,  round(round((a.quantity - (a.quantity/a.unitqty)*a.settledqty - (a.quantity/a.unitqty)*a.returnqty),6)/12 ,6) as leftqty,"
        "  a.billtypename as billname,a.produceddate, a.unitid,a.unitprice,u.unitname,u.rate as unitrate, a.batchrefid,"
        " a.unitprice*(1+a.taxrate/100.0) as taxprice, round(a.aprice *12,6) as unitaprice, a.aprice as aprice,b.storeid,b.code as billcode,b.billdate,a.unitqty"
        "  from v_deputesaledetail a  inner join store s on a.storeid = s.storeid  left outer join goodsunit u on a .unitid = u.unitid"
        "  left outer join v_deputesale b  on ( a.deputesaleid = b.deputesaleid and a.billtypeid = b.billtypeid)"
        "  where s.shopid = 0 and a.batchcode is not null and b.billtype<>2 and b.flag <> 2 and a.unitqty <> a.settledqty + a.returnqty"
        " and a.goodsid =  901 and b.clientid =  802 order by b.code")));
    ASSERT_EQ(rows.size(), 2); // the fully settled line is gone; the opening entry's line stays
    EXPECT_EQ(rows[0][1], QStringLiteral("B0"));
    EXPECT_EQ(rows[0][5], QStringLiteral("29"));
    EXPECT_DOUBLE_EQ(rows[0][9].toDouble(), 3);
    EXPECT_EQ(rows[1][10], QStringLiteral("委托代销"));
    EXPECT_DOUBLE_EQ(rows[1][9].toDouble(), 1);
}

TEST_F(BillViews, PosBillsAreReadUnderTheirOwnName)
{
    Exec(QStringLiteral(
        "insert into posbilldate (billid, code, billdate, billtime, storeid, returntag, amount) values (61, 'P61', '2024-03-01 00:00:00', '2024-03-01 10:00:00', 91, 2, 30);"
        "insert into posdetail (billid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, discount, amount) values (61, 1, 901, 9010, 3, 3, 10, 10, 1, 30);"
        "insert into moneydetail (billid, itemno, paytypeid, amount) values (61, 1, 1, 30);"));
    const auto rows = Query(TranslateSql(Bind(StatementsOf(23).DetailSQL).replace(QStringLiteral("-99999"), QStringLiteral("61"))), nullptr);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(Query(QStringLiteral("select billcode from posbill where closeid is null")), QList<QStringList>({{QStringLiteral("P61")}}));
    EXPECT_DOUBLE_EQ(Number(QStringLiteral(" select ((1.5-p.returntag)*2*m.amount) as amount  from posbill p,moneydetail m   where p.billid = m.billid and p.returntag>0  and m.billid = 61")), -30);
}

} // namespace
