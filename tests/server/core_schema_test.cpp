// The core schema and the demo company: scripts load, the demo data keeps the invariants
// the bills rely on, and the statements the bills send find the columns they read.
#include "platform/Exceptions.h"
#include "server/DemoData.h"
#include "server/Schema.h"

#include <QSet>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const QDate kToday(2026, 12, 6);

class TMemDb {
public:
    TMemDb() { sqlite3_open(":memory:", &FDb); }
    ~TMemDb() { sqlite3_close(FDb); }
    TMemDb(const TMemDb&) = delete;
    TMemDb& operator=(const TMemDb&) = delete;
    sqlite3* Handle() const { return FDb; }

    void Exec(const QString& sql)
    {
        char* err = nullptr;
        const int rc = sqlite3_exec(FDb, sql.toUtf8().constData(), nullptr, nullptr, &err);
        const QString msg = err ? QString::fromUtf8(err) : QString();
        sqlite3_free(err);
        ASSERT_EQ(rc, SQLITE_OK) << msg.toStdString() << "\n" << sql.toStdString();
    }
    // All rows of a select, every value as a variant.
    QList<QVariantList> Rows(const QString& sql) const
    {
        QList<QVariantList> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(FDb, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(FDb) << "\n" << sql.toStdString();
            return out;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_INTEGER: row << QVariant(sqlite3_column_int64(st, i)); break;
                case SQLITE_FLOAT: row << QVariant(sqlite3_column_double(st, i)); break;
                case SQLITE_NULL: row << QVariant(); break;
                default: row << QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
                }
            }
            out << row;
        }
        sqlite3_finalize(st);
        return out;
    }
    QVariant Scalar(const QString& sql) const
    {
        const auto rows = Rows(sql);
        return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
    }
    qint64 Count(const QString& sql) const { return Scalar(sql).toLongLong(); }

private:
    sqlite3* FDb = nullptr;
};

class CoreDemoData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Db = new TMemDb;
        CreateSchema(Db->Handle());
        Db->Exec(QStringLiteral("begin"));
        FillDemoData(Db->Handle(), kToday);
        Db->Exec(QStringLiteral("commit"));
    }
    static void TearDownTestSuite()
    {
        delete Db;
        Db = nullptr;
    }
    static TMemDb* Db;
};
TMemDb* CoreDemoData::Db = nullptr;

} // namespace

// ---------------------------------------------------------------- schema

TEST(CoreSchema, LoadsOnAnEmptyDatabaseWithEveryCoreObject)
{
    TMemDb db;
    ASSERT_NO_THROW(CreateSchema(db.Handle()));
    const QStringList names = SchemaScriptNames();
    ASSERT_TRUE(names.contains(QStringLiteral("10_core.sql")));
    ASSERT_TRUE(names.contains(QStringLiteral("30_core_views.sql")));
    QStringList sorted = names;
    sorted.sort();
    EXPECT_EQ(names, sorted);

    const QStringList objects{
        "shop", "store", "department", "employ", "operator", "operatorright", "area", "pricelevel", "client", "crm_trader",
        "crm_linkman", "crm_affixinfo", "crm_chance", "crm_chancedetail", "goodstype", "goodskind", "costingtype", "goods",
        "goodsunit", "gcmb", "gvcprice", "onhand", "batchcodeonhand", "sat", "subject", "bank", "paytype", "ietype", "billtype",
        "billname", "delivertype", "deputesettlementtype", "paykind", "laborage", "machine", "class", "vip", "inoutcashinit",
        "msnmodel", "msnmessage", "oa_billflow", "oa_billarchives", "am_kind", "fieldinfo", "template", "templated", "report",
        "accoption", "accinfo", "accperiod", "sys_keyvalue", "v_client", "v_vendor", "accoptions", "v_goods", "v_onhandgoods",
        "v_onhandshop", "v_linkman", "v_curperiod"};
    for (const QString& o : objects)
        EXPECT_EQ(db.Count(QStringLiteral("select count(*) from sqlite_master where lower(name) = '%1'").arg(o)), 1) << o.toStdString();
}

TEST(CoreSchema, FailureNamesTheScriptAndTheEngineMessage)
{
    TMemDb db;
    CreateSchema(db.Handle());
    try {
        CreateSchema(db.Handle()); // every table exists already
        FAIL() << "a second run must fail";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral(".sql"))) << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("already exists"))) << e.what();
    }
    EXPECT_THROW(CreateSchema(nullptr), EDatabaseError);
}

TEST(CoreSchema, DeclaredTypesUseTheDataLayerVocabulary)
{
    TMemDb db;
    CreateSchema(db.Handle());
    const QSet<QString> allowed{"INTEGER", "MONEY", "FLOAT", "TEXT", "CHAR(1)", "BIT", "DATETIME", "BLOB"};
    const auto tables = db.Rows(QStringLiteral("select name from sqlite_master where type = 'table' and name not like 'sqlite%'"));
    ASSERT_GT(tables.size(), 40);
    for (const QVariantList& t : tables) {
        const auto cols = db.Rows(QStringLiteral("select name, upper(type) from pragma_table_info('%1')").arg(t.first().toString()));
        for (const QVariantList& c : cols) {
            const QString type = c.at(1).toString();
            EXPECT_TRUE(allowed.contains(type) || type.startsWith(QLatin1String("VARCHAR(")))
                << t.first().toString().toStdString() << "." << c.first().toString().toStdString() << " " << type.toStdString();
        }
    }
}

TEST(CoreSchema, Ean13CheckDigits)
{
    EXPECT_TRUE(IsValidEan13(QStringLiteral("4006381333931")));
    EXPECT_TRUE(IsValidEan13(QStringLiteral("6901234567892")));
    EXPECT_FALSE(IsValidEan13(QStringLiteral("6901234567893")));
    EXPECT_FALSE(IsValidEan13(QStringLiteral("690123456789")));
    EXPECT_FALSE(IsValidEan13(QStringLiteral("69012345678a2")));
    EXPECT_EQ(Ean13CheckDigit(QStringLiteral("690123456789")), 2);
    EXPECT_EQ(Ean13CheckDigit(QStringLiteral("400638133393")), 1);
}

// ---------------------------------------------------------------- goods and units

TEST_F(CoreDemoData, AboutTwoHundredGoodsInAThreeLevelTypeTree)
{
    const qint64 goods = Db->Count(QStringLiteral("select count(*) from goods"));
    EXPECT_GE(goods, 190);
    EXPECT_LE(goods, 220);
    EXPECT_EQ(Db->Count(QStringLiteral("select max(levelno) from goodstype")), 3);
    // every goods item sits on a leaf of the third level
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goods g left join goodstype t on t.goodstypeid = g.goodstypeid"
                                       " where t.levelno is null or t.levelno <> 3")), 0);
    // level codes nest: a child's code begins with its parent's
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goodstype c join goodstype p on p.goodstypeid = c.parentid"
                                       " where substr(c.lcode, 1, length(p.lcode)) <> p.lcode or length(c.lcode) <> length(p.lcode) + 2")), 0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(distinct code) from goods")), goods);
    // the kinds the bills tell apart are all present
    for (int kind : {1, 2, 3, 4, 5, 7})
        EXPECT_GT(Db->Count(QStringLiteral("select count(*) from goods where kind = %1").arg(kind)), 0) << kind;
}

TEST_F(CoreDemoData, EveryGoodsHasOneBaseUnitAndLargerExtraUnits)
{
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goods g where (select count(*) from goodsunit u"
                                       " where u.goodsid = g.goodsid and u.unittype = 0 and u.rate = 1) <> 1")), 0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goodsunit where unittype <> 0 and rate <= 1")), 0);
    // stock goods come in packs as well
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goods g where g.kind in (1, 2)"
                                       " and not exists (select 1 from goodsunit u where u.goodsid = g.goodsid and u.unittype <> 0)")), 0);
    // the goods' unit name is its base unit's
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goods g join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0"
                                       " where g.unit <> u.unitname")), 0);
    EXPECT_GT(Db->Count(QStringLiteral("select count(*) from goodsunit where rate = 12")), 0);
}

TEST_F(CoreDemoData, BarcodesAreValidUniqueEan13)
{
    const auto rows = Db->Rows(QStringLiteral("select barcode from goodsunit where barcode is not null"));
    ASSERT_GT(rows.size(), 300);
    QSet<QString> seen;
    for (const QVariantList& r : rows) {
        const QString code = r.first().toString();
        EXPECT_TRUE(IsValidEan13(code)) << code.toStdString();
        EXPECT_FALSE(seen.contains(code)) << code.toStdString();
        seen.insert(code);
    }
    // weighed goods are found by their scale code instead
    EXPECT_GT(Db->Count(QStringLiteral("select count(*) from goodsunit where weightcode is not null and length(weightcode) = 5")), 0);
}

TEST_F(CoreDemoData, PricesAreConsistent)
{
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goodsunit u join goods g on g.goodsid = u.goodsid"
                                       " where g.kind <> 7 and (u.sprice <= 0 or u.pprice <= 0 or u.pprice >= u.sprice)")), 0);
    // price levels come down from retail
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goodsunit where sprice > 0 and"
                                       " not (lprice1 <= sprice and lprice2 <= lprice1 and lprice3 <= lprice2)")), 0);
    // every stock goods has its main vendor and a last purchase price from it
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goods g where g.kind in (1, 2) and not exists"
                                       " (select 1 from gvcprice p where p.cvid = g.clientid and p.goodsid = g.goodsid and p.cvflag = 2)")), 0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goods g join client c on c.clientid = g.clientid where c.clientkind <> 2")), 0);
}

// ---------------------------------------------------------------- stock

TEST_F(CoreDemoData, OpeningStockIsNonNegativeAndMatchesBatches)
{
    EXPECT_GT(Db->Count(QStringLiteral("select count(*) from onhand where onhand > 0")), 300);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from onhand where onhand < 0")), 0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from onhand where abs(amount - round(onhand * aprice, 2)) > 0.005")), 0);
    // only stock goods are kept, and only in existing stores
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from onhand o join goods g on g.goodsid = o.goodsid where g.kind > 2")), 0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from onhand o left join store s on s.storeid = o.storeid where s.storeid is null")), 0);
    // batch goods: batches add up to the book stock; others have no batches
    EXPECT_EQ(Db->Count(QStringLiteral(
                  "select count(*) from onhand o join goods g on g.goodsid = o.goodsid and g.batchctrl = 'T'"
                  " where abs(o.onhand - coalesce((select sum(b.onhand) from batchcodeonhand b"
                  "  where b.storeid = o.storeid and b.goodsid = o.goodsid), 0)) > 0.000001")),
              0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from batchcodeonhand b join goods g on g.goodsid = b.goodsid where g.batchctrl <> 'T'")), 0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from batchcodeonhand where onhand <= 0")), 0);
    // expiry follows production by the shelf life, and the stock is not expired today
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from batchcodeonhand b join goods g on g.goodsid = b.goodsid"
                                       " where julianday(b.validdate) - julianday(b.produceddate) <> g.validdates"
                                       " or date(b.validdate) <= '2026-12-06' or date(b.produceddate) > '2026-12-06'")), 0);
    EXPECT_GT(Db->Count(QStringLiteral("select count(*) from goods where batchctrl = 'T' and validdates > 0")), 20);
    EXPECT_GT(Db->Count(QStringLiteral("select count(*) from goods where batchctrl = 'T' and inf_costingtypeid = 2")), 0);
}

TEST_F(CoreDemoData, KitsHaveBillsOfMaterials)
{
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from goods g where g.kind = 3"
                                       " and not exists (select 1 from gcmb c where c.goodsid = g.goodsid)")), 0);
    // components are stock goods with a unit of their own
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from gcmb c join goods g on g.goodsid = c.cmbgoodsid"
                                       " left join goodsunit u on u.unitid = c.cmbunitid and u.goodsid = c.cmbgoodsid"
                                       " where g.kind > 2 or u.unitid is null")), 0);
}

// ---------------------------------------------------------------- partners and people

TEST_F(CoreDemoData, ClientsAndVendorsWithContacts)
{
    const qint64 clients = Db->Count(QStringLiteral("select count(*) from v_client"));
    const qint64 vendors = Db->Count(QStringLiteral("select count(*) from v_vendor"));
    EXPECT_GE(clients, 25);
    EXPECT_GE(vendors, 10);
    // partners marked as both are listed by both views
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from client where isdouble = 'T'")), 2);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from v_client c join v_vendor v on v.clientid = c.clientid")), 2);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from v_client where abs(oweamt - (balance - suramt)) > 0.0001")), 0);
    // every partner but the walk-in customer has a master contact reachable the way bills look it up
    const auto partners = Db->Rows(QStringLiteral("select clientid from client where clientid > 1"));
    for (const QVariantList& p : partners) {
        const QVariant master = Db->Scalar(QStringLiteral(
            "select CL.ID, CL.ismaster from crm_linkman CL left join crm_trader CT on CL.traderid = CT.id"
            " left join Client C on CT.traderid = C.ClientID where C.clientid = %1 order by ismaster desc, CL.id limit 1").arg(p.first().toInt()));
        EXPECT_TRUE(master.isValid() && !master.isNull()) << p.first().toInt();
    }
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from client c left join area a on a.areaid = c.areaid where a.areaid is null")), 0);
}

TEST_F(CoreDemoData, StatementsOfTheBillsFindTheirColumns)
{
    // client picker over both views
    for (const char* view : {"v_client", "v_vendor"})
        EXPECT_GT(Db->Rows(QStringLiteral(" select a.clientid, a.code,a.pyassist, a.shortname as name, a.oweamt, b.name as areaname,b.lcode"
                                          "  from %1 a  left outer join area b on a.areaid=b.areaid  where 1=1 and a.clientid>0 and a.closed = 'F' "
                                          " And b.LCode like '01%'").arg(QString::fromLatin1(view))).size(), 0);
    // partner change: salesman only while active and operating
    EXPECT_EQ(Db->Rows(QStringLiteral(" Select c.*, E.EmpID as EmployID  From Client C Left Join Employ e "
                                      "  On c.Empid = e.EmpID and e.Sign='T' and e.IsOperate='T'   where   c.ClientID=2")).size(), 1);
    // goods picker
    EXPECT_GT(Db->Rows(QStringLiteral(
                  " SELECT distinct G.GoodsID,G.Code,G.Name,c.shortname as vender, SPECS, G.PYASSIST,G.Unit,O.OnHand, GU.UnitID, GU.barcode,"
                  "GT.name as GoodsType  FROM GVCPrice H, Goods G  LEFT JOIN Client c on G.clientid=c.clientid  LEFT JOIN GoodsUnit GU ON"
                  " G.GoodsID = GU.GoodsID AND GU.UnitType = 0 LEFT OUTER JOIN GoodsType GT ON G.GoodsTypeID=GT.GoodsTypeID LEFT OUTER JOIN"
                  " (select goodsid,sum(ifnull(onhand,0)) as onhand from ONHAND where 1=1  And StoreID=1 group by goodsid ) O  ON"
                  " (G.GoodsiD=O.GoodsID )  Where H.CVid = 32 and H.Goodsid = G.GoodsID  and G.closed='F' and G.Kind<=3 ORDER BY G.Code "))
                  .size(),
              0);
    // batch picker, batch stock mode
    EXPECT_GT(Db->Rows(QStringLiteral(" select a.*, round(a.onhand,6)/12 as LeftQty  from batchcodeonhand a, store s where a.storeid = s.storeid"
                                      " and a.onhand > 0  and s.shopid = 1")).size(), 0);
    // store rights, operator limits, bank of a pay type, subjects
    EXPECT_EQ(Db->Rows(QStringLiteral("select storeid from store where storeid = 1 and operators like '%|2|%' ")).size(), 1);
    EXPECT_EQ(Db->Rows(QStringLiteral("select storeid from store where storeid = 3 and operators like '%|2|%' ")).size(), 0);
    EXPECT_DOUBLE_EQ(Db->Scalar(QStringLiteral("select maxsaleamt from operator where opid = 2")).toDouble(), 50000.0);
    EXPECT_EQ(Db->Rows(QStringLiteral("select a.*,b.shopid as bankshopid from Paytype a left outer join bank b on a.bankid= b.bankid"
                                      " where paytypeid = 2")).size(), 1);
    EXPECT_EQ(Db->Count(QStringLiteral("Select Count(*) As RefCount From subject where detailflag = 'T' and subid = 3")), 1);
    EXPECT_EQ(Db->Count(QStringLiteral("Select Count(*) As RefCount From subject where detailflag = 'T' and subid = 2")), 0);
    EXPECT_EQ(Db->Rows(QStringLiteral(" select subid from subject where specialcode = 191001 ")).size(), 1);
    // invoicing management's bill kinds: a union with eight constant columns
    EXPECT_EQ(Db->Rows(QStringLiteral("select -2 as billtypeid,'全部采购' as name,''as surcode,''as code,''as mode,''as sepa,''as demo,"
                                      "'allreceive' as tablename union select * from billname where billtypeid in (1,17,2,3,4,20,5)")).size(), 8);
    // income type must be last-level
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from ietype where lcode like '0101%'")), 1);
    EXPECT_GT(Db->Count(QStringLiteral("select count(*) from ietype where lcode like '01%'")), 1);
    // DRP figures
    EXPECT_GT(Db->Rows(QStringLiteral(" select a.*,g.DOWNQTY,a.onhand - g.DOWNQTY as disqty from  ( select a.shopid,a.shopname,a.storeid,"
                                      "a.storename,o.goodsid,o.onhand from   ( select sp.shopid,sp.name as shopname,st.storeid,st.name as storename"
                                      " from shop sp,store st where sp.shopid = st.shopid) a left outer join  onhand o on o.storeid = a.storeid"
                                      " where o.goodsid = 1 )a, goods g   where a.goodsid = g.goodsid")).size(), 0);
    EXPECT_EQ(Db->Rows(QStringLiteral("select optionvalue from accoptions where optionid = 23")).size(), 1);
    EXPECT_EQ(Db->Rows(QStringLiteral("select pprice from goodsunit where unittype = 0 and goodsid = 1")).size(), 1);
    // payroll of a month
    EXPECT_GT(Db->Rows(QStringLiteral("Select L.Yearnum,L.Monthnum,Sum(L.ActualPay) as Amount From Laborage L Where L.Yearnum=2026"
                                      " And L.Monthnum=11 Group by L.Yearnum,L.Monthnum")).size(), 0);
}

TEST_F(CoreDemoData, OperatorsAndRights)
{
    const auto admin = Db->Rows(QStringLiteral("select opname, issysmanager, closed from operator where opid = 1"));
    ASSERT_EQ(admin.size(), 1);
    EXPECT_EQ(admin.first().at(0).toString(), QStringLiteral("管理员"));
    EXPECT_EQ(admin.first().at(1).toInt(), 1);
    EXPECT_EQ(admin.first().at(2).toString(), QStringLiteral("F"));
    const auto clerk = Db->Rows(QStringLiteral("select opname, issysmanager from operator where opid = 2"));
    ASSERT_EQ(clerk.size(), 1);
    EXPECT_EQ(clerk.first().at(0).toString(), QStringLiteral("店员"));
    EXPECT_EQ(clerk.first().at(1).toInt(), 0);
    for (int privilege : {34, 175, 38}) {
        for (int action : {1, 2, 6})
            EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from operatorright where opid = 2 and privilegeid = %1 and action = %2")
                                    .arg(privilege).arg(action)), 1) << privilege << "/" << action;
        for (int action : {3, 4, 8})
            EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from operatorright where opid = 2 and privilegeid = %1 and action = %2")
                                    .arg(privilege).arg(action)), 0) << privilege << "/" << action;
    }
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from operatorright where opid = 2 and privilegeid in (227, 228)")), 0);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from operatorright where opid = 2")), 9);
}

// ---------------------------------------------------------------- account set

TEST_F(CoreDemoData, EveryAccountOptionIsPresent)
{
    const QStringList keys{"BILLPRINTAFTERSAVE", "CHECKMINSALEPRICE", "CHECKMAXBUYPRICE", "SUPPORTMSN", "SALECONTROL", "BILLSORT",
                           "WEIGHTPRECODE", "SALEINCTAXRATE", "PURCHASEINCTAXRATE", "GOODSAMTLIMIT", "TAXAMTLIMIT", "SELFSTOREGOODS",
                           "MUSTREFERPORDER", "MUSTREFERSORDER", "ORDEREXECFINISHED", "OVERDUEAMOUT", "BANKNEGATIVE", "PAYOTHERSHOP",
                           "CHARGEOTHERSHOP", "ISDISPLAYPRICE", "AutoHide", "WARNWHILEZEROONHAND"};
    for (const QString& k : keys) {
        const QVariant v = Db->Scalar(QStringLiteral("select optionvalue from accoption where optionkey = '%1'").arg(k));
        EXPECT_TRUE(v.isValid() && !v.toString().isEmpty()) << k.toStdString();
    }
    EXPECT_EQ(Db->Scalar(QStringLiteral("select optionvalue from accoption where optionkey = 'BILLPRINTAFTERSAVE'")).toString(), QStringLiteral("0"));
    EXPECT_EQ(Db->Scalar(QStringLiteral("select optionvalue from accoption where optionkey = 'WEIGHTPRECODE'")).toString().size(), 2);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) - count(distinct optionid) from accoption")), 0);
}

TEST_F(CoreDemoData, PeriodsCoverTodayAndStartAfterTheOpeningDate)
{
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from accperiod where iscurrent = 1")), 1);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from v_curperiod where date(startdate) <= '2026-12-06' and date(enddate) >= '2026-12-06'")), 1);
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from accinfo where date(startdate) < '2026-12-01'")), 1);
    // keys continue after the demo rows
    EXPECT_EQ(Db->Scalar(QStringLiteral("select keyvalue from sys_keyvalue where tablename = 'goods' and fieldname = 'goodsid'")).toLongLong(),
              Db->Scalar(QStringLiteral("select max(goodsid) from goods")).toLongLong());
}

// ---------------------------------------------------------------- windows and print styles

TEST_F(CoreDemoData, EveryBillWindowHasItsStandardTemplate)
{
    int count = 0;
    const TDemoBillWindow* windows = DemoBillWindows(&count);
    ASSERT_EQ(count, 35);
    QSet<int> ids;
    for (int i = 0; i < count; ++i) {
        const TDemoBillWindow& w = windows[i];
        ids.insert(w.WindowID);
        const auto tpl = Db->Rows(QStringLiteral("select TEMPLATENAME, WindowName, RptID from TEMPLATE where WINDOWID=%1 and TEMPLATEID=1").arg(w.WindowID));
        ASSERT_EQ(tpl.size(), 1) << w.FormName;
        EXPECT_EQ(tpl.first().at(0).toString(), QStringLiteral("标准模板"));
        EXPECT_EQ(tpl.first().at(1).toString(), QString::fromLatin1(w.FormName));
        // the template's print style exists and belongs to the bill's report type
        EXPECT_EQ(Db->Scalar(QStringLiteral("select rpttype from report where rptid = %1").arg(tpl.first().at(2).toInt())).toInt(), w.ReportType)
            << w.FormName;
        // the field list as the template object loads it
        const auto fields = Db->Rows(QStringLiteral(
            "SELECT F.WINDOWID ,F.ITEMID ,F.TABLETYPE ,F.DATAFIELD ,F.DEFAULTNAME ,F.PBSTYPE , F.ATTRIBE ,F.ALWAYSDISPLAY ,F.ALWAYSPRINT ,"
            "F.Serial AS DEFAULTSEQUENCE,F.WIDTH AS DEFAULTWIDTH, F.LISTDATASETNAME ,F.LISTFIELD ,F.LISTDATAFIELD ,F.DROPDOWNFILTER ,F.SUBTYPE ,"
            " F.KEYFIELD ,F.TAG ,F.HELPID, T.BPRINT, T.BDISPLAY, T.DISPLAYNAME, T.Serial, T.WIDTH FROM FIELDINFO F, TEMPLATED T WHERE"
            " F.WINDOWID=T.WINDOWID AND F.ITEMID=T.ITEMID AND F.WINDOWID=%1 AND T.TEMPLATEID=1 AND F.VISIBLE='T' ORDER BY TABLETYPE, T.Serial")
                                           .arg(w.WindowID));
        ASSERT_GT(fields.size(), 3) << w.FormName;
        EXPECT_EQ(fields.first().at(2).toInt(), 1) << w.FormName; // the head: the bill title on the key field
        EXPECT_EQ(fields.first().at(21).toString(), QString::fromUtf8(w.Title));
        EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from FIELDINFO where WINDOWID=%1").arg(w.WindowID)), fields.size());
        // drop-down fields name their list and key
        EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from FIELDINFO where WINDOWID=%1 and SUBTYPE in (4, 6)"
                                           " and (LISTDATASETNAME is null or KEYFIELD is null)").arg(w.WindowID)), 0);
    }
    EXPECT_EQ(ids.size(), 35);
    // goods bills show goods columns in the detail section
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from FIELDINFO where WINDOWID=6 and TABLETYPE=3 and DATAFIELD in ('goodsid','unitqty','unitprice','amount')")), 4);
    // windows without lines have no detail section
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from FIELDINFO where WINDOWID in (20, 21, 25) and TABLETYPE=3")), 0);
}

TEST_F(CoreDemoData, StandardPrintStylesPerReportType)
{
    const auto types = Db->Rows(QStringLiteral("select distinct rpttype from report"));
    EXPECT_GE(types.size(), 35);
    for (const QVariantList& t : types) {
        const int type = t.first().toInt();
        // the system default (smallest id) is a system row, the bills' row is standard
        EXPECT_LE(Db->Count(QStringLiteral("select min(rptid) from report where rpttype = %1").arg(type)), 0) << type;
        const auto positive = Db->Rows(QStringLiteral("select rptid from report where rpttype = %1 and rptid > 0").arg(type));
        ASSERT_EQ(positive.size(), 1) << type;
        const int id = positive.first().first().toInt();
        EXPECT_TRUE(id <= 1007 || (id >= 1208 && id <= 1251) || (id >= 1500 && id <= 5000)) << id;
    }
    EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from report where data is null or length(data) <> 0")), 0);
    // rows the bills name directly
    for (int id : {16, 23, 24})
        EXPECT_EQ(Db->Count(QStringLiteral("select count(*) from report where rptid = %1 and rpttype = %1").arg(id)), 1) << id;
    // new user styles are numbered after the standard range
    EXPECT_GE(Db->Scalar(QStringLiteral("select keyvalue from sys_keyvalue where tablename = 'report'")).toInt(), 5000);
}

// ---------------------------------------------------------------- determinism

TEST(DemoData, SameCompanyEveryTime)
{
    auto fingerprint = [](sqlite3* h) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "select group_concat(x, '|') from (select code || ':' || aprice || ':' || (select group_concat(barcode) from goodsunit u"
                              " where u.goodsid = g.goodsid) as x from goods g order by goodsid)"
                              " union all select group_concat(storeid || ':' || goodsid || ':' || onhand) from onhand"
                              " union all select group_concat(batchcode || ':' || onhand) from batchcodeonhand",
                           -1, &st, nullptr);
        QString out;
        while (sqlite3_step(st) == SQLITE_ROW)
            out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return out;
    };
    TMemDb a;
    TMemDb b;
    CreateSchema(a.Handle());
    CreateSchema(b.Handle());
    FillDemoData(a.Handle(), kToday);
    FillDemoData(b.Handle(), kToday);
    const QString fa = fingerprint(a.Handle());
    EXPECT_GT(fa.size(), 1000);
    EXPECT_EQ(fa, fingerprint(b.Handle()));
}

TEST(DemoData, RefusesANonEmptyDatabase)
{
    TMemDb db;
    CreateSchema(db.Handle());
    FillDemoData(db.Handle(), kToday);
    EXPECT_THROW(FillDemoData(db.Handle(), kToday), EDatabaseError);
}
