// The dialect translation and the server functions registered on the engine.
#include "webrpc/SqlDialect.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDate>
#include <QString>
#include <QVariant>

namespace {

class TSqlEngine : public ::testing::Test {
protected:
    sqlite3* Db = nullptr;
    void SetUp() override
    {
        ASSERT_EQ(sqlite3_open(":memory:", &Db), SQLITE_OK);
        RegisterSqlFunctions(Db);
    }
    void TearDown() override { sqlite3_close(Db); }

    void Exec(const QString& sql)
    {
        char* err = nullptr;
        const int rc = sqlite3_exec(Db, TranslateSql(sql).toUtf8().constData(), nullptr, nullptr, &err);
        ASSERT_EQ(rc, SQLITE_OK) << (err ? err : "") << "\n" << TranslateSql(sql).toStdString();
    }

    // First column of the first row of the translated statement.
    QVariant Value(const QString& sql)
    {
        sqlite3_stmt* st = nullptr;
        const QByteArray text = TranslateSql(sql).toUtf8();
        if (sqlite3_prepare_v2(Db, text.constData(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(Db) << "\n" << text.constData();
            return QVariant();
        }
        QVariant v;
        if (sqlite3_step(st) == SQLITE_ROW) {
            switch (sqlite3_column_type(st, 0)) {
            case SQLITE_INTEGER: v = static_cast<qlonglong>(sqlite3_column_int64(st, 0)); break;
            case SQLITE_FLOAT: v = sqlite3_column_double(st, 0); break;
            case SQLITE_TEXT: v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))); break;
            default: break;
            }
        }
        sqlite3_finalize(st);
        return v;
    }
    QString Text(const QString& sql) { return Value(sql).toString(); }
    double Number(const QString& sql) { return Value(sql).toDouble(); }
};

QString Squeeze(const QString& s)
{
    return s.simplified();
}

TEST(SqlDialect, TopBecomesLimitAtItsOwnLevel)
{
    EXPECT_EQ(Squeeze(TranslateSql(" select top 1 orderid from porder where 1 = 1 order by BillDate Desc , Code Desc ")),
              "select orderid from porder where 1 = 1 order by BillDate Desc , Code Desc LIMIT 1");
    EXPECT_EQ(Squeeze(TranslateSql("select a.x, (select top 1 b.y from b where b.id = a.id order by b.y) from a where a.id in (select distinct top 5 id from c)")),
              "select a.x, (select b.y from b where b.id = a.id order by b.y LIMIT 1) from a where a.id in (select distinct id from c LIMIT 5)");
    EXPECT_EQ(Squeeze(TranslateSql("select top (10) * from t; select top 2 * from u")),
              "select * from t LIMIT (10); select * from u LIMIT 2");
}

TEST(SqlDialect, LiteralsParametersAndCommentsPassThrough)
{
    // Text inside literals is never rewritten, whatever it looks like.
    const QString lit = "select '中文 top 1 isnull(a,b) + getdate() [x] dbo.f' as t, 'O''Brien' from t where n = :'BillID' and m = :name";
    EXPECT_EQ(TranslateSql(lit), lit);
    EXPECT_EQ(TranslateSql("select N'现金''s' + code from t"), "select '现金''s' || code from t");
    EXPECT_EQ(Squeeze(TranslateSql("select a -- isnull(x,y)\n, b /* top 3 */ from t")), "select a , b from t");
    EXPECT_EQ(TranslateSql("select 1 from t where x = :'Old Code'"), "select 1 from t where x = :'Old Code'");
}

TEST(SqlDialect, NamesAndHints)
{
    EXPECT_EQ(TranslateSql("select [order].[my col] from [order] with (nolock) where dbo.fn_truncatecurrency(x) > 0"),
              "select \"order\".\"my col\" from \"order\" where fn_truncatecurrency(x) > 0");
    EXPECT_EQ(Squeeze(TranslateSql("select g.a from goods g (nolock) where isnull(g.b, 0) <> 1 and g.c != 2")),
              "select g.a from goods g where ifnull(g.b, 0) <> 1 and g.c != 2");
    EXPECT_EQ(Squeeze(TranslateSql("delete template where windowid = 1")), "delete from template where windowid = 1");
}

TEST(SqlDialect, PlusConcatenatesTextAndAddsNumbers)
{
    EXPECT_EQ(Squeeze(TranslateSql("select code + '-' + name from t")), "select code || '-' || name from t");
    EXPECT_EQ(Squeeze(TranslateSql("select cast(id as varchar(10)) + name from t")), "select cast(id as varchar(10)) || name from t");
    EXPECT_EQ(Squeeze(TranslateSql("select a.totalamt-a.totalpaid, o.onhand + d.unitqty, isnull(x,0) + isnull(y,0) from t")),
              "select a.totalamt-a.totalpaid, o.onhand + d.unitqty, ifnull(x,0) + ifnull(y,0) from t");
    EXPECT_EQ(Squeeze(TranslateSql("select left(code, 2) + right(code, 3) from t")), "select tb_left(code, 2) || tb_right(code, 3) from t");
}

TEST(SqlDialect, DateArithmeticAndConversions)
{
    EXPECT_EQ(Squeeze(TranslateSql("select code from invoice where billdate+termdays<getdate()")),
              "select code from invoice where dateadd('day',termdays,billdate)<datetime('now','localtime')");
    EXPECT_EQ(Squeeze(TranslateSql("select a.billdate - 7, billdate - validdate, getdate() + 2*3 from t")),
              "select dateadd('day',-(7),a.billdate), datediff('day',validdate,billdate), dateadd('day',2*3,datetime('now','localtime')) from t");
    EXPECT_EQ(Squeeze(TranslateSql("select cast(billdate + termdays as datetime) CTermDays from t")),
              "select tb_convert('datetime',dateadd('day',termdays,billdate)) CTermDays from t");
    EXPECT_EQ(Squeeze(TranslateSql("select convert(varchar(10),m.BILLDATE,120), datediff(day, a, b), dateadd(month, 1, d) from m")),
              "select tb_convert('varchar(10)',m.BILLDATE,120), datediff('day', a, b), dateadd('month', 1, d) from m");
}

TEST(SqlDialect, ServerBatchesAndUpdateFrom)
{
    EXPECT_EQ(Squeeze(TranslateSql("if exists (Select name From tempdb.dbo.sysobjects Where id = object_id(N'tempdb..#t')) drop table #t "
                                   "create table #t (a integer, b varchar(2) COLLATE Chinese_PRC_BIN)")),
              "drop table if exists \"#t\"; create temp table \"#t\" (a integer, b varchar(2) COLLATE BINARY)");
    EXPECT_EQ(Squeeze(TranslateSql("Update PosDetail Set BatchCode = NULL, d.ValidDate = Null from PosDetail d , PosBill m where m.billid = d.billid")),
              "Update PosDetail Set BatchCode = NULL, ValidDate = Null where rowid in (select d.rowid from PosDetail d , PosBill m where m.billid = d.billid)");
}

// The step to the next or previous bill gets a range on its date column on PostgreSQL, one
// that every row of the step meets; other shapes and SQLite keep their text.
TEST(SqlDialect, StepToNextOrPriorRowGetsAnIndexRangeOnPostgres)
{
    const QString next = " select top 1 BillID from porder where  ((BillDate = :'OldBillDate1' and code > :'OldBillCode')    or (BillDate > :'OldBillDate2' ))  and shopid = 1 order by BillDate , Code ";
    EXPECT_EQ(Squeeze(TranslateSql(next, ::TSqlEngine::PostgreSQL)),
              "select BillID from porder where (((BillDate = :'OldBillDate1' and code > :'OldBillCode') or (BillDate > :'OldBillDate2' )) and BillDate >= "
              "least(:'OldBillDate1', :'OldBillDate2')) and shopid = 1 order by BillDate , Code LIMIT 1");
    EXPECT_EQ(Squeeze(TranslateSql("select id from b where ((b.BillDate < :d) or (b.billdate = :d and code < :c))", ::TSqlEngine::PostgreSQL)).toStdString(),
              "select id from b where (((b.BillDate < :d) or (b.billdate = :d and code < :c)) and b.billdate <= :d)");
    EXPECT_FALSE(TranslateSql(next, ::TSqlEngine::SQLite).contains("BillDate >="));
    for (const char* other : {"select id from b where ((BillDate = :d and code > :c) or (ShipDate > :d))",
                              "select id from b where ((BillDate = :d or code > :c) or (BillDate > :d))",
                              "select id from b where ((BillDate = :d and code > :c) or (BillDate > :d and x = 1))",
                              "select id from b where ((BillDate = '2026-01-02' and code > :c) or (BillDate > :d))"})
        EXPECT_EQ(Squeeze(TranslateSql(other, ::TSqlEngine::PostgreSQL)), Squeeze(other)) << other;
}

TEST(SqlDialect, QuotedStrEscapesEveryQuote)
{
    EXPECT_EQ(QuotedStr("O'Brien"), "'O''Brien'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(QuotedStr("'; drop table goods; --"), "'''; drop table goods; --'");
    EXPECT_EQ(QuotedStr("中文''"), "'中文'''''");
}

TEST_F(TSqlEngine, QuotedUserTextRoundTripsThroughTheEngine)
{
    Exec("create table t (name varchar(64))");
    for (const QString& s : {QString("O'Brien"), QString("'; drop table t; --"), QString("备注 ' [x] + getdate()"), QString("a''b")}) {
        Exec("delete from t");
        Exec("insert into t (name) values (" + QuotedStr(s) + ")");
        EXPECT_EQ(Text("select name from t"), s);
        EXPECT_EQ(Value("select count(*) from t where name = " + QuotedStr(s)).toInt(), 1);
    }
}

TEST_F(TSqlEngine, TruncateCurrencyRoundsHalfAwayFromZeroWithoutBinaryNoise)
{
    // 3 × 10 at 17 %: goods amount 30, tax 5.1, total 35.1 exactly.
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(3*10.0)"), 30.0);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(3*10.0*17/100)"), 5.1);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(3*10.0*(1+17/100.0))"), 35.1);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(5.0999999999)"), 5.1);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(0.285)"), 0.29);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(1.005)"), 1.01);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(-1.005)"), -1.01);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(-2.344)"), -2.34);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(123456789.125)"), 123456789.13);
    EXPECT_FALSE(Value("select dbo.fn_TruncateCurrency(null)").isValid());
}

TEST_F(TSqlEngine, DateFunctionsFollowTheServer)
{
    EXPECT_EQ(Text("select dateadd(day, 30, '2026-12-01 00:00:00')"), "2026-12-31 00:00:00");
    EXPECT_EQ(Text("select dateadd(day, 31, '2026-12-01')"), "2027-01-01");
    EXPECT_EQ(Text("select dateadd(month, 1, '2026-01-31 08:00:00')"), "2026-02-28 08:00:00");
    EXPECT_EQ(Value("select datediff(day, '2026-12-31 23:00:00', '2027-01-01 01:00:00')").toInt(), 1);
    EXPECT_EQ(Value("select datediff(month, '2026-11-30', '2027-01-01')").toInt(), 2);
    EXPECT_EQ(Value("select year('2026-12-01 10:00:00') * 10000 + month('2026-12-01') * 100 + day('2026-12-01')").toInt(), 20261201);
    EXPECT_EQ(Text("select convert(varchar(10), '2026-12-01 10:11:12', 120)"), "2026-12-01");
    EXPECT_EQ(Text("select convert(varchar(8), '2026-12-01', 112)"), "20261201");
    EXPECT_EQ(Value("select convert(int, 2.7)").toInt(), 2);
    EXPECT_EQ(Text("select cast('2026-12-01' as datetime)"), "2026-12-01 00:00:00");
    Exec("create table inv (billdate datetime, termdays integer)");
    Exec("insert into inv values ('2026-11-01 00:00:00', 10), ('2026-11-01 00:00:00', 60)");
    EXPECT_EQ(Value("select count(*) from inv where billdate+termdays<'2026-12-01'").toInt(), 1);
    EXPECT_EQ(Text("select top 1 cast(billdate + termdays as datetime) from inv order by termdays desc"), "2026-12-31 00:00:00");
    // getdate() is local time now.
    EXPECT_EQ(Text("select convert(varchar(10), getdate(), 120)"), QDate::currentDate().toString("yyyy-MM-dd"));
}

TEST_F(TSqlEngine, TextFunctions)
{
    EXPECT_EQ(Value("select len('abc  ')").toInt(), 3);
    EXPECT_EQ(Value("select charindex('c', 'abcabc')").toInt(), 3);
    EXPECT_EQ(Value("select charindex('c', 'abcabc', 4)").toInt(), 6);
    EXPECT_EQ(Value("select charindex('z', 'abc')").toInt(), 0);
    EXPECT_EQ(Text("select left('货品编码', 2) + '-' + right('abcdef', 2) + substring('xyz', 2, 1)"), "货品-efy");
    EXPECT_FALSE(Value("select 'a' + null").isValid());
}

TEST_F(TSqlEngine, ReferBillCodeReadsTheSourceBill)
{
    Exec("create table sorder (sorderid integer primary key, code varchar(32))");
    Exec("create table porder (orderid integer primary key, code varchar(32))");
    Exec("create table orderdetail (orderid integer, itemno integer, refertype integer, referbillid integer)");
    Exec("insert into sorder values (5, 'XS-0005')");
    Exec("insert into porder values (7, 'CG-0007')");
    Exec("insert into orderdetail values (7, 1, 1, 5), (7, 2, null, null), (7, 3, 1, 99), (7, 4, 6, 7), (7, 5, 31, 1)");
    EXPECT_EQ(Text("select dbo.getreferbillcode(d.refertype,d.referbillid) from orderdetail d where itemno = 1"), "XS-0005");
    EXPECT_FALSE(Value("select dbo.getreferbillcode(d.refertype,d.referbillid) from orderdetail d where itemno = 2").isValid());
    EXPECT_FALSE(Value("select dbo.getreferbillcode(d.refertype,d.referbillid) from orderdetail d where itemno = 3").isValid());
    EXPECT_EQ(Text("select dbo.getreferbillcode(d.refertype,d.referbillid) from orderdetail d where itemno = 4"), "CG-0007");
    // A bill type without a table, and a table this database lacks, give no code and no error.
    EXPECT_FALSE(Value("select dbo.getreferbillcode(d.refertype,d.referbillid) from orderdetail d where itemno = 5").isValid());
    EXPECT_FALSE(Value("select dbo.getreferbillcode(2, 1)").isValid());
}

TEST_F(TSqlEngine, KeyValueAndSubjectFunctions)
{
    Exec("create table porder (orderid integer primary key, code varchar(32))");
    EXPECT_EQ(Value("select dbo.GETKEYVALUE('porder')").toInt(), 1);
    Exec("insert into porder values (41, 'a')");
    EXPECT_EQ(Value("select dbo.GETKEYVALUE('porder')").toInt(), 42);
    EXPECT_EQ(Value("select getkeyvalue('porder', 'orderid')").toInt(), 42);
    Exec("create table subject (subid integer primary key, subcode varchar(20), specialcode varchar(20))");
    Exec("insert into subject values (1, '1002', '102'), (2, '100201', ''), (3, '10020101', '')");
    EXPECT_EQ(Text("select dbo.fn_getsc1specialcode(3) SC1SpecialCode"), "102");
}

TEST_F(TSqlEngine, RegistrationIsIdempotent)
{
    RegisterSqlFunctions(Db);
    RegisterSqlFunctions(Db);
    EXPECT_EQ(Number("select dbo.fn_TruncateCurrency(2.675)"), 2.68);
    EXPECT_EQ(Text("select dateadd(day, 1, '2026-02-28')"), "2026-03-01");
}

} // namespace
