#include "server/Procedures.h"
#include "server/Schema.h"
#include "server/ServerSql.h"
#include "tests/support/PgCluster.h"
#include "webrpc/Connection.h"
#include "webrpc/PgEngine.h"
#include "webrpc/SqlDialect.h"
#include "webrpc/Statement.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <thread>
#include <gtest/gtest.h>

namespace {

const char* const kItemDdl =
    "create table item (\n id INTEGER primary key, name VARCHAR(40), price MONEY, qty FLOAT, made DATETIME, closed CHAR(1), printed BIT);"
    "insert into item values (1, '绿茶', 12.5, 3, '2026-12-01 08:30:00', 'F', 0);"
    "insert into item values (2, 'O''Brien tea', 0, 1.25, null, 'T', 1);"
    "create table sys_keyvalue (tablename VARCHAR(60), fieldname VARCHAR(60), keyvalue INTEGER, primary key (tablename, fieldname));";

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        con.Open(dir.filePath(QStringLiteral("t.db")));
        con.ExecuteNative(QString::fromUtf8(kItemDdl));
    }
    QTemporaryDir dir;
    TClientConnection con;
};

// The same connection calls on either engine: a SQLite file, or a database of the test
// PostgreSQL cluster (the same tables, in its types).
class EngineTest : public ::testing::TestWithParam<TSqlEngine> {
protected:
    void SetUp() override
    {
        if (GetParam() == TSqlEngine::SQLite) {
            ASSERT_TRUE(dir.isValid());
            con.Open(dir.filePath(QStringLiteral("t.db")));
            con.ExecuteNative(QString::fromUtf8(kItemDdl));
            return;
        }
        static int n = 0;
        try {
            con.Open(NewPgDatabase(QStringLiteral("engine_%1").arg(++n)));
        } catch (const EDatabaseError& e) {
            FAIL() << e.what();
        }
        CreateSqlFunctions(con);
        con.ExecuteNative(PostgresDdl(QString::fromUtf8(kItemDdl)));
    }
    QTemporaryDir dir;
    TClientConnection con;
};

TEST(PacketParamsTest, RoundTripsEveryTypeIncludingNullsAndNestedXml)
{
    TPacketParams p;
    p.Set("ErrNo", 0).Set("Amount", 35.1).Set("Bind", true).Set("Caption", QStringLiteral("采购订单 <&> \"x\""));
    p.Set("When", QDateTime(QDate(2026, 12, 6), QTime(9, 15, 30)));
    p.Set("MasterDelta", QStringLiteral("<DELTA><ROW a=\"1\"/></DELTA>"));
    p.CreatePacketParam(TFieldType::ftString, "Memo"); // null
    p.CreatePacketParam(TFieldType::ftBlob, "Data")->Value = QByteArray("\x00\x01\xff", 3);

    TPacketParams q;
    q.LoadFromString(p.ToString());
    EXPECT_EQ(q.Count(), p.Count());
    EXPECT_EQ(q.GetInt("errno"), 0);
    EXPECT_DOUBLE_EQ(q.GetFloat("Amount"), 35.1);
    EXPECT_TRUE(q.GetBool("Bind"));
    EXPECT_EQ(q.GetString("Caption"), QStringLiteral("采购订单 <&> \"x\""));
    EXPECT_EQ(q.ParamByName("When")->AsDateTime(), QDateTime(QDate(2026, 12, 6), QTime(9, 15, 30)));
    EXPECT_EQ(q.GetString("MasterDelta"), QStringLiteral("<DELTA><ROW a=\"1\"/></DELTA>"));
    EXPECT_TRUE(q.ParamByName("Memo")->IsNull());
    EXPECT_EQ(q.ParamByName("Data")->Value.toByteArray(), QByteArray("\x00\x01\xff", 3));
}

TEST(PacketParamsTest, MalformedPacketsAreClearErrorsAndLeaveTheOldContent)
{
    TPacketParams p;
    p.Set("Keep", 7);
    const char* bad[] = {"", "garbage", "<PACKET version=\"1\"><P n=\"a\" t=\"integer\">x1</P></PACKET>",
                         "<PACKET version=\"9\"/>", "<PACKET version=\"1\"><P t=\"integer\">1</P></PACKET>",
                         "<PACKET version=\"1\"><P n=\"a\" t=\"weird\">1</P></PACKET>",
                         "<PACKET version=\"1\"><P n=\"a\" t=\"integer\">1</P>", "<PACKET version=\"1\"><Q/></PACKET>",
                         "<PACKET version=\"1\"><P n=\"d\" t=\"datetime\">yesterday</P></PACKET>"};
    for (const char* text : bad) {
        EXPECT_THROW(p.LoadFromString(QString::fromUtf8(text)), EPacketError) << text;
        EXPECT_EQ(p.GetInt("Keep"), 7) << text;
    }
}

TEST(PacketParamsTest, RetypingAParameterKeepsOneEntry)
{
    TPacketParams p;
    p.Set("CheckStep", 0);
    p.Set("checkstep", 1502);
    EXPECT_EQ(p.Count(), 1);
    EXPECT_EQ(p.GetInt("CheckStep"), 1502);
    EXPECT_THROW(p.ParamByName("Missing"), EPacketError);
}

TEST(StatementTest, ParameterSpellingsAndLiteralsAreKeptApart)
{
    QStringList names;
    const QString out = NormaliseParams(QStringLiteral("select ':x', [a:b] from t where a = :'BillID' and b=:Code -- :c\n and c = :Code"), &names);
    EXPECT_EQ(out, QStringLiteral("select ':x', [a:b] from t where a = :BillID and b=:Code -- :c\n and c = :Code"));
    EXPECT_EQ(names, (QStringList{QStringLiteral("BillID"), QStringLiteral("Code")}));
}

TEST_F(ConnectionTest, SelectsTypeColumnsFromTheSchemaAndFromValues)
{
    TClientDataSet ds;
    con.OpenDataSet(QStringLiteral("select id, name, price, qty, made, closed, printed, qty * 2 as dbl, isnull(price, 0) as p2 from item order by id"), &ds);
    ASSERT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName("price")->DataType(), TFieldType::ftCurrency);
    EXPECT_EQ(ds.FieldByName("made")->DataType(), TFieldType::ftDateTime);
    EXPECT_EQ(ds.FieldByName("printed")->DataType(), TFieldType::ftBoolean);
    EXPECT_EQ(ds.FieldByName("closed")->DataType(), TFieldType::ftString);
    // An expression column holding 0 in one row and 12.5 in another is a float, not an integer.
    EXPECT_EQ(ds.FieldByName("p2")->DataType(), TFieldType::ftFloat);
    EXPECT_EQ(ds.FieldByName("dbl")->DataType(), TFieldType::ftFloat);
    EXPECT_EQ(ds.FieldByName("name")->AsString(), QStringLiteral("绿茶"));
    EXPECT_EQ(ds.FieldByName("made")->AsDateTime(), QDateTime(QDate(2026, 12, 1), QTime(8, 30)));
    EXPECT_EQ(ds.ChangeCount(), 0);
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("made")->IsNull());
    EXPECT_TRUE(ds.FieldByName("printed")->AsBoolean());
}

// The server answers selects as compact packets written straight from the engine's rows; what
// a client loads from them must be what the rows, converted and written as XML, gave.
TEST_F(ConnectionTest, SelectPacketsHoldWhatTheXmlOfTheRowsHolds)
{
    con.ExecuteNative(QStringLiteral(
        "create table odd (id INTEGER, amt MONEY, qty FLOAT, made DATETIME, flag BIT, name VARCHAR(20), pic BLOB, loose, other);"
        "insert into odd values (1, 12.34567, 3, '2026-12-01 08:30:00', 1, '绿茶\r\n', x'00ff', 1, null);"
        "insert into odd values (2, '7.5', '2.5', '2026-12-01', 'T', 15, null, 2.5, 'x');"
        "insert into odd values (3, 5, 1e300, '2026-12-01T08:30:00', 0, 1.5, 'text', 'abc', null);"
        "insert into odd values (4, null, null, '2026-12-01 08:30', null, '', x'', x'41', 7);"
        "insert into odd values (5, 2.5, 'abc', '2026-02-30 00:00:00', 2.5, null, 3, null, 7.25);"
        "insert into odd values (6, -0.00005, -7, '2026-12-01 08:30:00.500', '', '~:;', 4.5, 3, 8);"
        "insert into odd values (7, 1, 2, 'yesterday', 'F', 'i1;', 'b', 4, 9);"));
    const QPair<QString, bool> queries[] = { // the select, and whether no packet can carry its rows
        {QStringLiteral("select * from odd order by id"), false},
        {QStringLiteral("select a.*, b.name, a.qty * 2 as dbl, count(*) over () as n from odd a join odd b on b.id = a.id order by a.id"), false},
        {QStringLiteral("select * from odd where id > 100"), false},
        {QStringLiteral("select id, case when id = 1 then x'01' else 'a' end as mix from odd"), true},
        {QStringLiteral("select id, name || char(7) as bell from odd"), true},
    };
    // what a client would load, or why it was refused
    auto loaded = [](const QString& packet) {
        TClientDataSet ds;
        ds.LoadFromXMLString(packet);
        return ds.XMLData();
    };
    auto outcome = [](const std::function<QString()>& f) {
        try {
            return f();
        } catch (const EDatabaseError& e) {
            return QStringLiteral("refused: ") + e.Message();
        }
    };
    for (const auto& [sql, refused] : queries) {
        SCOPED_TRACE(sql.toStdString());
        const QString viaXml = outcome([&] {
            QVector<TFieldDef> fields;
            QVector<QVariantList> rows;
            RunSelect(con.Handle(), sql, {}, fields, rows);
            return loaded(BuildDataPacketXML(fields, rows));
        });
        const QString direct = outcome([&] {
            const QString packet = SelectDataPacket(con.Handle(), sql, {});
            EXPECT_TRUE(IsCompactPacket(packet));
            return loaded(packet);
        });
        EXPECT_EQ(direct, viaXml);
        EXPECT_EQ(direct.startsWith(QLatin1String("refused")), refused) << direct.toStdString();
    }
    TClientDataSet ds;
    con.OpenNative(QStringLiteral("select made, name from odd where id in (1, 2, 4) order by id"), &ds);
    EXPECT_EQ(ds.FieldByName("made")->AsDateTime(), QDateTime(QDate(2026, 12, 1), QTime(8, 30)));
    EXPECT_EQ(ds.FieldByName("name")->AsString(), QStringLiteral("绿茶\r\n"));
    ds.Next();
    EXPECT_EQ(ds.FieldByName("made")->AsDateTime(), QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
    EXPECT_EQ(ds.FieldByName("name")->AsString(), QStringLiteral("15"));
    EXPECT_THROW(SelectDataPacket(con.Handle(), QStringLiteral("select nothing from odd"), {}), EDatabaseError);
}

TEST(StatementTest, NameMemoWorksOutEachNameOnceWhereverItsTextLies)
{
    TNameMemo<QString> memo;
    int made = 0;
    auto make = [&](const QString& name) {
        ++made;
        return name.toUpper();
    };
    const QString goods = QStringLiteral("goods") + QStringLiteral("id");
    const QString sameText(goods.constData(), goods.size()); // the same name in a buffer of its own
    ASSERT_NE(goods.constData(), sameText.constData());
    EXPECT_EQ(memo.Get(goods, make), QStringLiteral("GOODSID"));
    EXPECT_EQ(memo.Get(goods, make), QStringLiteral("GOODSID"));
    EXPECT_EQ(memo.Get(sameText, make), QStringLiteral("GOODSID"));
    EXPECT_EQ(made, 1);
    // a shorter name in the start of the same text is another name
    const QString goodsOnly = QString::fromRawData(goods.constData(), 5);
    EXPECT_EQ(memo.Get(goodsOnly, make), QStringLiteral("GOODS"));
    EXPECT_EQ(memo.Get(QStringLiteral("unitid"), make), QStringLiteral("UNITID"));
    EXPECT_EQ(memo.Get(goods, make), QStringLiteral("GOODSID"));
    EXPECT_EQ(made, 3);
}

TEST(PacketParamsTest, CutPacketsAreRefusedAndTheXmlFormIsStillRead)
{
    TPacketParams p;
    p.Set("ErrNo", 0).Set("Caption", QStringLiteral("采购 11:x~")).Set("When", QDateTime(QDate(2026, 12, 6), QTime(9, 15, 30)));
    p.CreatePacketParam(TFieldType::ftString, "Memo"); // null
    const QString text = p.ToString();
    TPacketParams q;
    q.Set("Keep", 7);
    for (qsizetype n = 0; n < text.size(); ++n) {
        EXPECT_THROW(q.LoadFromString(text.left(n)), EPacketError) << text.left(n).toStdString();
        EXPECT_EQ(q.GetInt("Keep"), 7);
    }
    EXPECT_THROW(q.LoadFromString(text + "x"), EPacketError);
    q.LoadFromString(text);
    EXPECT_EQ(q.GetString("Caption"), QStringLiteral("采购 11:x~"));
    EXPECT_TRUE(q.ParamByName("Memo")->IsNull());

    // packets written by hand in the earlier form
    q.LoadFromString(QStringLiteral("<PACKET version=\"1\"><P n=\"BillID\" t=\"integer\">12</P>"
                                    "<P n=\"Memo\" t=\"string\">a&#13;b</P><P n=\"Code\" t=\"string\" null=\"1\"/></PACKET>"));
    EXPECT_EQ(q.GetInt("BillID"), 12);
    EXPECT_EQ(q.GetString("Memo"), QStringLiteral("a\rb"));
    EXPECT_TRUE(q.ParamByName("Code")->IsNull());
}

TEST_P(EngineTest, ParametersBindByNameAndMissingOnesAreRefused)
{
    TClientQuery q(nullptr, &con);
    q.SQL = QStringLiteral("select name from item where id = :'BillID' or name = :Name");
    q.SetParam("billid", 2);
    EXPECT_THROW(q.OpenQuery(), EDatabaseError);
    q.SetParam(":Name", QStringLiteral("x'; drop table item; --"));
    q.OpenQuery();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("name")->AsString(), QStringLiteral("O'Brien tea"));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select count(*) from item")).toInt(), 2);
}

TEST_P(EngineTest, NestedTransactionsRollBackOnlyTheirOwnWork)
{
    con.BeginTrans();
    con.Execute(QStringLiteral("update item set qty = 10 where id = 1"));
    con.BeginTrans();
    con.Execute(QStringLiteral("update item set qty = 20 where id = 2"));
    con.RollbackTrans();
    EXPECT_EQ(con.TransactionDepth(), 1);
    con.CommitTrans();
    EXPECT_FALSE(con.InTransaction());
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select qty from item where id = 1")).toDouble(), 10.0);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select qty from item where id = 2")).toDouble(), 1.25);
    EXPECT_THROW(con.CommitTrans(), EDatabaseError);
}

// The item table through a query that writes its changes back, opened.
void OpenItems(TClientQuery& q, const QString& sql)
{
    q.SQL = sql;
    q.UpdateTable = QStringLiteral("item");
    q.KeyFields = QStringList{QStringLiteral("id")};
    q.OpenQuery();
}

TEST_P(EngineTest, CachedUpdatesWriteEveryPendingChangeOrNone)
{
    TClientQuery q(nullptr, &con);
    OpenItems(q, QStringLiteral("select i.*, 'shown only' as caption from item i order by id"));
    q.Edit();
    q.FieldByName("name")->SetAsString(QStringLiteral("红茶"));
    q.Post();
    q.Append();
    q.FieldByName("id")->SetAsInteger(3);
    q.FieldByName("name")->SetAsString(QStringLiteral("花茶"));
    q.FieldByName("caption")->SetAsString(QStringLiteral("not a table column"));
    q.Post();
    ASSERT_EQ(q.GetChangeCount(), 2);
    q.UpdateBatch();
    EXPECT_EQ(q.GetChangeCount(), 0);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select name from item where id = 1")).toString(), QStringLiteral("红茶"));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select name from item where id = 3")).toString(), QStringLiteral("花茶"));

    // A row removed behind the query's back makes the whole batch fail and change nothing.
    q.First();
    q.Edit();
    q.FieldByName("name")->SetAsString(QStringLiteral("改一"));
    q.Post();
    q.Last();
    q.Delete();
    con.Execute(QStringLiteral("delete from item where id = 3"));
    EXPECT_THROW(q.UpdateBatch(), EDatabaseError);
    EXPECT_EQ(q.GetChangeCount(), 2);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select name from item where id = 1")).toString(), QStringLiteral("红茶"));
}

TEST_P(EngineTest, BatchIsAllOrNothing)
{
    TBatchSQL batch(&con);
    batch.Add(QStringLiteral("update item set qty = 99 where id = 1"));
    batch.Add(QStringLiteral("insert into item (id, name) values (1, 'duplicate key')"));
    EXPECT_THROW(batch.Update(), EDatabaseError);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select qty from item where id = 1")).toDouble(), 3.0);
    batch.Clear();
    batch.Add(QStringLiteral("update item set qty = 99 where id = 1"));
    batch.Update();
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select qty from item where id = 1")).toDouble(), 99.0);
}

// What the schema says is remembered between statements on a database server; a change
// through the same connection, also one taken back, must be seen at once.
TEST_P(EngineTest, SchemaChangesAreSeenAtOnce)
{
    auto tables = [&] {
        return con.ExecuteScalar(QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = 'note'")).toInt();
    };
    auto columns = [&] {
        QStringList names;
        for (const auto& c : TableColumns(con, QStringLiteral("note")))
            names << c.first;
        return names.join(u',');
    };
    EXPECT_EQ(tables(), 0);
    EXPECT_EQ(columns(), QString());
    con.ExecuteNative(QStringLiteral("create table note (id INTEGER primary key)"));
    EXPECT_EQ(tables(), 1);
    EXPECT_EQ(columns(), QStringLiteral("id"));
    con.ExecuteNative(QStringLiteral("alter table note add column memo VARCHAR(20)"));
    EXPECT_EQ(columns(), QStringLiteral("id,memo"));

    // dropped inside a transaction, read so, then taken back
    con.BeginTrans();
    con.ExecuteNative(QStringLiteral("drop table note"));
    EXPECT_EQ(tables(), 0);
    EXPECT_EQ(columns(), QString());
    con.RollbackTrans();
    EXPECT_EQ(tables(), 1);
    EXPECT_EQ(columns(), QStringLiteral("id,memo"));

    // a change among other statements of one text
    con.ExecuteNative(QStringLiteral("update item set qty = 4 where id = 1; drop table note"));
    EXPECT_EQ(tables(), 0);
}

// New rows of one table go to a database server a few hundred to a statement: all of them land,
// in order, with the edits and deletions of the same change set around them; one bad row
// writes none.
TEST_P(EngineTest, ManyNewRowsLandTogetherWithTheChangesAroundThem)
{
    TClientQuery q(nullptr, &con);
    OpenItems(q, QStringLiteral("select * from item order by id"));
    q.Edit();
    q.FieldByName("qty")->SetAsFloat(7.5);
    q.Post();
    for (int i = 0; i < 900; ++i) {
        q.Append();
        q.FieldByName("id")->SetAsInteger(100 + i);
        // a text that looks like parameters and literals, and every seventh price left empty
        q.FieldByName("name")->SetAsString(QStringLiteral("行 %1 :v%1 '$1' -- x").arg(i));
        if (i % 7 != 0)
            q.FieldByName("price")->SetAsFloat(i * 0.01 + 123456789.12);
        q.Post();
    }
    q.First();
    q.Next();
    q.Delete(); // item 2
    q.UpdateBatch();
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select count(*) from item")).toInt(), 901);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select qty from item where id = 1")).toDouble(), 7.5);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select name from item where id = 999")).toString(), QStringLiteral("行 899 :v899 '$1' -- x"));
    EXPECT_NEAR(con.ExecuteScalar(QStringLiteral("select price from item where id = 998")).toDouble(), 123456798.10, 1e-6);
    EXPECT_TRUE(con.ExecuteScalar(QStringLiteral("select price from item where id = 100")).isNull());
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select count(*) from item where price is null")).toInt(), 129);

    // the 500th new row takes a key that is there already: nothing of the batch is written
    TClientQuery more(nullptr, &con);
    OpenItems(more, QStringLiteral("select * from item where id < 0"));
    for (int i = 0; i < 600; ++i) {
        more.Append();
        more.FieldByName("id")->SetAsInteger(i == 499 ? 1 : 5000 + i);
        more.Post();
    }
    EXPECT_THROW(more.UpdateBatch(), EDatabaseError);
    EXPECT_EQ(more.GetChangeCount(), 600);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select count(*) from item")).toInt(), 901);
}

TEST(PgStatementTest, ParametersAreNumberedOnceEachOutsideLiteralsAndCasts)
{
    QStringList names;
    EXPECT_EQ(PositionalParams(QStringLiteral("select :A, :a::text, ':a', \":a\", $$ :a $$ -- :a\n, :b /* :c */ from t where x = :B"), &names),
              QStringLiteral("select $1, $1::text, ':a', \":a\", $$ :a $$ -- :a\n, $2 /* :c */ from t where x = $2"));
    EXPECT_EQ(names, (QStringList{QStringLiteral("A"), QStringLiteral("b")}));

    // thousands of names, some used more than once, keep their numbers
    QString sql = QStringLiteral("values ");
    for (int i = 0; i < 3000; ++i)
        sql += QStringLiteral("(:v%1, :w%2, :v%1)").arg(i).arg(i % 10) + (i < 2999 ? QStringLiteral(",") : QString());
    names.clear();
    const QString text = PositionalParams(sql, &names);
    ASSERT_EQ(names.size(), 3010);
    EXPECT_EQ(names[1], QStringLiteral("w0"));
    EXPECT_EQ(names.indexOf(QStringLiteral("v2999")), 3009);
    EXPECT_TRUE(text.endsWith(QStringLiteral("($3010, $%1, $3010)").arg(names.indexOf(QStringLiteral("w9")) + 1))) << text.right(40).toStdString();
}

TEST_F(ConnectionTest, ProxyAndStoredProceduresReachTheRegisteredServerCode)
{
    RegisterServerProcedures();
    con.SetSession(TServerSession{1, QStringLiteral("管理员"), 0, true}); // the server answers operators only
    TPacketParams req;
    req.Set("Count", 2).Set("SQL1", QStringLiteral("select top 1 name from item order by id desc")).Set("SQL2", QStringLiteral("select * from nowhere"));
    TPacketParams reply;
    reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("GetClientDataSet"), req.ToString(), 30000));
    EXPECT_FALSE(reply.GetString("ErrMsg").isEmpty()); // the second select names no table
    req.Set("Count", 1);
    reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("getclientdataset"), req.ToString(), 30000));
    ASSERT_EQ(reply.GetString("ErrMsg"), QString());
    std::unique_ptr<TClientDataSet> rows(RecordsetFromXMLString(reply.GetString("ClientDataSet1")));
    ASSERT_EQ(rows->RecordCount(), 1);
    EXPECT_EQ(rows->FieldByName("name")->AsString(), QStringLiteral("O'Brien tea"));
    EXPECT_THROW(con.Proxy()->Invoke(QStringLiteral("NoSuchMethod"), req.ToString()), EDatabaseError);

    TClientStoredProc sp(&con, QStringLiteral("GETKEYVALUE;1"));
    sp.Params.Add("@TableName", TFieldType::ftString).Value = QStringLiteral("item");
    sp.Params.Add("@R_KeyValue", TFieldType::ftInteger, TParamDirection::pdOutput);
    sp.ExecProc();
    EXPECT_EQ(sp.Params.Value("@R_KeyValue").toInt(), 3); // above the largest id already there
    sp.ExecProc();
    EXPECT_EQ(sp.Params.Value("@R_KeyValue").toInt(), 4);
    TClientStoredProc missing(&con, QStringLiteral("nosuchproc;1"));
    EXPECT_THROW(missing.ExecProc(), EDatabaseError);
}

// A packet goes to a method that takes packets as it is, change sets and all; a method that
// takes text (one registered later in its place, too) gets the packet's text.
TEST_F(ConnectionTest, APacketReachesAPacketMethodAsItIsAndATextMethodAsText)
{
    const QString name = QStringLiteral("Test_EchoDelta");
    QString seenText;
    const TDelta* seenDelta = nullptr;
    TServerRegistry::RegisterMethod(
        name, [&](TClientConnection&, const QString& text) { seenText = text; return QString(); },
        [&](TClientConnection&, const TPacketParams& p) {
            seenDelta = p.FindParam(QStringLiteral("Delta"))->AsDelta();
            return QString();
        });
    TClientDataSet ds;
    ds.LoadFromXMLString(BuildDataPacket({{QStringLiteral("id"), TFieldType::ftInteger}}, {{1}}));
    ds.Edit();
    ds.FieldByName(QStringLiteral("id"))->SetValue(2);
    ds.Post();
    TPacketParams req;
    req.CreatePacketParam(TFieldType::ftString, QStringLiteral("Delta"))->SetAsDelta(ds.GetDelta());
    con.Proxy()->Invoke(name.toUpper(), req);
    EXPECT_EQ(seenDelta, req.FindParam(QStringLiteral("Delta"))->AsDelta()) << "the change set was copied or written out";
    EXPECT_TRUE(seenText.isNull());

    seenDelta = nullptr;
    TServerRegistry::RegisterMethod(name, [&](TClientConnection&, const QString& text) { seenText = text; return QString(); });
    con.Proxy()->Invoke(name, req);
    EXPECT_EQ(seenDelta, nullptr);
    TPacketParams got;
    got.LoadFromString(seenText);
    TDelta d;
    ASSERT_TRUE(got.GetDelta(QStringLiteral("Delta"), d));
    EXPECT_EQ(d.Rows.front().New.value(QStringLiteral("id")).toLongLong(), 2);
}

// The system's own SQL means the same on both engines.
TEST_P(EngineTest, DialectGivesTheSameAnswersOnBothEngines)
{
    auto scalar = [&](const char* sql) { return con.ExecuteScalar(QString::fromUtf8(sql)); };
    auto date = [](const QVariant& v) {
        return v.typeId() == QMetaType::QDateTime ? v.toDateTime()
                                                   : QDateTime::fromString(v.toString(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    };
    EXPECT_EQ(scalar("select top 1 name from item order by id desc").toString(), QStringLiteral("O'Brien tea"));
    EXPECT_EQ(scalar("select 'No.' + cast(id as varchar(10)) + '-' + name from item where id = 1").toString(), QStringLiteral("No.1-绿茶"));
    EXPECT_EQ(scalar("select convert(varchar(10), made, 120) from item where id = 1").toString(), QStringLiteral("2026-12-01"));
    EXPECT_EQ(date(scalar("select cast(made as datetime) + 2 from item where id = 1")), QDateTime(QDate(2026, 12, 3), QTime(8, 30)));
    EXPECT_EQ(date(scalar("select dateadd(month, 1, made) from item where id = 1")), QDateTime(QDate(2027, 1, 1), QTime(8, 30)));
    EXPECT_EQ(scalar("select datediff(day, made, convert(datetime, made) + 10) from item where id = 1").toInt(), 10);
    EXPECT_EQ(scalar("select datepart(weekday, made) from item where id = 1").toInt(), 3); // a Tuesday, Sunday = 1
    EXPECT_EQ(date(scalar("select isnull(made, getdate()) from item where id = 2")).date(), QDate::currentDate());
    EXPECT_EQ(scalar("select count(*) from item where made < getdate() - 1").toInt(), 1);
    EXPECT_EQ(scalar("select dbo.fn_TruncateCurrency(2.345) + len('ab  ') + charindex('b', 'abc')").toDouble(), 2.35 + 2 + 2);

    con.Execute(QStringLiteral("create table #pick (id int, name varchar(40)); insert into #pick select id, name from item where qty > 2"));
    EXPECT_EQ(scalar("select name from #pick").toString(), QStringLiteral("绿茶"));
    con.Execute(QStringLiteral("if exists (select 1 from item) drop table #pick"));

    // the target listed again under an alias
    con.Execute(QStringLiteral("update item set qty = s.qty + 1 from item s where s.id = item.id and s.id = 1"));
    EXPECT_EQ(scalar("select qty from item where id = 1").toDouble(), 4.0);
    EXPECT_EQ(scalar("select qty from item where id = 2").toDouble(), 1.25);
}

// Named locks belong to the database session: re-entrant for their holder, refused to every
// other session, and gone with the holder's session (a client killed while holding one).
TEST(PgSessionLockTest, LocksAreHeldPerSessionAndEndWithIt)
{
    TClientConnection a, b;
    try {
        const QString db = NewPgDatabase(QStringLiteral("locks"));
        a.Open(db);
        b.Open(db);
    } catch (const EDatabaseError& e) {
        FAIL() << e.what();
    }
    EXPECT_TRUE(a.SessionLock(QStringLiteral("BILLLOCK"), true));
    EXPECT_TRUE(a.SessionLock(QStringLiteral("billlock"), true));
    EXPECT_FALSE(b.SessionLock(QStringLiteral("BILLLOCK"), true));
    EXPECT_TRUE(b.SessionLock(QStringLiteral("OTHERLOCK"), true));
    a.SessionLock(QStringLiteral("BILLLOCK"), false);
    EXPECT_TRUE(a.HoldsSessionLock(QStringLiteral("BILLLOCK"))); // taken twice, released once
    EXPECT_FALSE(b.SessionLock(QStringLiteral("BILLLOCK"), true, true, 300));
    a.Close();
    EXPECT_TRUE(b.SessionLock(QStringLiteral("BILLLOCK"), true, true, 5000));
    EXPECT_TRUE(b.HoldsSessionLock(QStringLiteral("BillLock")));
    TClientConnection file;
    QTemporaryDir dir;
    file.Open(dir.filePath(QStringLiteral("f.db")));
    EXPECT_THROW(file.SessionLock(QStringLiteral("BILLLOCK"), true), EDatabaseError);
}

// A session waiting for a named lock gets it once the holder lets go; a wait that times out
// leaves its session as it found it: the transaction it ran in still usable, no time-out left
// behind for the statements after it.
TEST(PgSessionLockTest, WaitsEndOnReleaseOrTimeOutAndLeaveTheSessionAsItWas)
{
    const QString db = NewPgDatabase(QStringLiteral("lockwait"));
    TClientConnection a, b;
    a.Open(db);
    b.Open(db);
    b.ExecuteNative(QStringLiteral("create table t (id int)"));
    ASSERT_TRUE(a.SessionLock(QStringLiteral("BILLSAVE_1"), true));

    b.BeginTrans();
    b.ExecuteNative(QStringLiteral("insert into t values (1)"));
    EXPECT_FALSE(b.SessionLock(QStringLiteral("BILLSAVE_1"), true, true, 200));
    EXPECT_FALSE(b.HoldsSessionLock(QStringLiteral("BILLSAVE_1")));
    b.ExecuteNative(QStringLiteral("insert into t values (2)"));
    b.CommitTrans();
    EXPECT_EQ(b.ExecuteScalar(QStringLiteral("select count(*) from t")).toInt(), 2);
    EXPECT_FALSE(b.SessionLock(QStringLiteral("BILLSAVE_1"), true, true, 200));
    EXPECT_EQ(b.ExecuteScalar(QStringLiteral("select current_setting('lock_timeout')")).toString(), QStringLiteral("0"));

    std::thread holder([&a] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        a.SessionLock(QStringLiteral("BILLSAVE_1"), false);
    });
    b.BeginTrans();
    const bool got = b.SessionLock(QStringLiteral("BILLSAVE_1"), true, true, 20000);
    holder.join();
    EXPECT_TRUE(got);
    b.ExecuteNative(QStringLiteral("insert into t values (3)"));
    b.CommitTrans();
    EXPECT_EQ(b.ExecuteScalar(QStringLiteral("select count(*) from t")).toInt(), 3);
    EXPECT_EQ(b.ExecuteScalar(QStringLiteral("select current_setting('lock_timeout')")).toString(), QStringLiteral("0"));
    // the lock outlives the transaction it was taken in, and is the session's
    EXPECT_FALSE(a.SessionLock(QStringLiteral("BILLSAVE_1"), true));
    b.SessionLock(QStringLiteral("BILLSAVE_1"), false);
    EXPECT_TRUE(a.SessionLock(QStringLiteral("BILLSAVE_1"), true));
}

// Stepping through bills by date and code on PostgreSQL: the step finds the neighbour in both
// directions, also across days and when the two date parameters differ, and reads the date
// index as a range rather than from the first or last bill on.
TEST(PgNavigationTest, StepsFindTheNeighbourThroughTheDateIndex)
{
    TClientConnection con;
    con.Open(NewPgDatabase(QStringLiteral("navigation")));
    // three bills a day over 400 days; within a day the codes run C0 (id 3k+3), C1 (3k+1), C2 (3k+2)
    con.ExecuteNative(QStringLiteral("create table bills (id int primary key, billdate timestamp, code varchar(20), shopid int); "
                                     "create index ix_bills_date on bills (billdate, code); "
                                     "insert into bills select i, timestamp '2025-01-01' + ((i - 1) / 3) * interval '1 day', 'C' || (i % 3), 1 "
                                     "from generate_series(1, 1200) i; analyze bills"));
    const auto stepSql = [](bool forward) {
        return forward ? QStringLiteral(" select top 1 id from bills where  ((BillDate = :'OldBillDate1' and code > :'OldBillCode')   "
                                        " or (BillDate > :'OldBillDate2' ))  and shopid = 1 order by BillDate , Code ")
                       : QStringLiteral(" select top 1 id from bills where ((BillDate = :'OldBillDate1' and code < :'OldBillCode')   "
                                        " or (BillDate < :'OldBillDate2' ))  and shopid = 1 order by BillDate Desc , Code Desc ");
    };
    const auto params = [](const QDateTime& d1, const QString& code, const QDateTime& d2) {
        return TSqlParams{{QStringLiteral("OldBillDate1"), d1}, {QStringLiteral("OldBillCode"), code}, {QStringLiteral("OldBillDate2"), d2}};
    };
    const auto step = [&](bool forward, const QDateTime& d1, const QString& code, const QDateTime& d2) {
        return con.ExecuteScalar(stepSql(forward), params(d1, code, d2));
    };
    const QDateTime day(QDate(2025, 3, 1), QTime(0, 0)); // day 59: ids 178 (C1), 179 (C2), 180 (C0)
    EXPECT_EQ(step(true, day, QStringLiteral("C0"), day).toInt(), 178);
    EXPECT_EQ(step(true, day, QStringLiteral("C2"), day).toInt(), 183); // on to the next day's C0
    EXPECT_EQ(step(false, day, QStringLiteral("C0"), day).toInt(), 176); // back to the day before's C2
    EXPECT_EQ(step(false, day, QStringLiteral("C2"), day).toInt(), 178);
    // the dates apart: any bill after the earlier date comes first
    EXPECT_EQ(step(true, day.addDays(5), QStringLiteral("C2"), day).toInt(), 183);
    EXPECT_EQ(step(false, day.addDays(-5), QStringLiteral("C0"), day).toInt(), 176);
    EXPECT_TRUE(step(true, day.addYears(2), QString(), day.addYears(2)).isNull());

    const auto plan = SelectRows(con, QStringLiteral("explain ") + TranslateSql(stepSql(true), TSqlEngine::PostgreSQL), params(day, QStringLiteral("C0"), day));
    QString text;
    for (const auto& row : plan)
        text += row.value(0).toString() + u'\n';
    EXPECT_TRUE(text.contains(QStringLiteral("ix_bills_date"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Index Cond: .*billdate >= ")))) << qPrintable(text);
}

// Writes whose count nobody reads may wait for the next statement: in order, before what a
// later select reads; a failure of one is raised by the next statement or the commit (at once
// on a file), leaves nothing of its transaction behind, and stops what was queued after it.
// Outside a transaction a write runs at once; a rollback, also to a savepoint, drops what waits.
TEST_P(EngineTest, WritesThatWaitGoInOrderAndTheirFailuresEndTheTransaction)
{
    const bool pg = GetParam() == TSqlEngine::PostgreSQL;
    auto count = [&](const char* where) {
        return con.ExecuteScalar(QStringLiteral("select count(*) from item where %1").arg(QLatin1String(where))).toInt();
    };
    // in order, and seen by the next select of the same transaction
    con.BeginTrans();
    con.ExecuteLater(QStringLiteral("insert into item (id, name, qty) values (:id, :n, :q)"), {{"id", 10}, {"n", "十"}, {"q", 1.5}});
    con.ExecuteLater(QStringLiteral("update item set qty = qty * 2 where id = :id"), {{"id", 10}});
    con.ExecuteLater(QStringLiteral("insert into item (id, name, qty) values (:id, :n, :q)"), {{"id", 11}, {"n", "十一"}, {"q", 2.0}});
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select sum(qty) from item where id >= 10")).toDouble(), 5.0);
    con.ExecuteLater(QStringLiteral("delete from item where id = :id"), {{"id", 11}});
    con.CommitTrans();
    EXPECT_EQ(count("id >= 10"), 1);

    // a failure at the next statement; what came after it did not run, nothing stays
    con.BeginTrans();
    con.ExecuteLater(QStringLiteral("insert into item (id, name) values (20, 'a')"));
    bool raisedAtOnce = false;
    try {
        con.ExecuteLater(QStringLiteral("insert into item (id, name) values (10, 'twice')")); // the key is taken
        con.ExecuteLater(QStringLiteral("insert into item (id, name) values (21, 'b')"));
    } catch (const EDatabaseError&) {
        raisedAtOnce = true;
    }
    EXPECT_EQ(raisedAtOnce, !pg);
    if (pg) {
        try {
            con.ExecuteScalar(QStringLiteral("select count(*) from item"));
            ADD_FAILURE() << "the failed insert was not reported";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("数据重复"))) << e.what();
            EXPECT_EQ(con.PgSession()->LastState(), QStringLiteral("23505"));
        }
    }
    con.RollbackTrans();
    EXPECT_EQ(count("id in (20, 21)"), 0);

    // a failure that goes with the commit: the commit raises it and the transaction is over
    if (pg) {
        con.BeginTrans();
        con.ExecuteLater(QStringLiteral("insert into item (id, name) values (30, 'c')"));
        con.ExecuteLater(QStringLiteral("insert into item (id, name) values (10, 'twice')"));
        EXPECT_THROW(con.CommitTrans(), EDatabaseError);
        EXPECT_FALSE(con.InTransaction());
        EXPECT_FALSE(con.PgSession()->InTransactionBlock());
        EXPECT_EQ(count("id = 30"), 0);
    }

    // a rollback drops what waits (a write that would fail is not even sent), also to a savepoint
    con.BeginTrans();
    con.ExecuteLater(QStringLiteral("insert into item (id, name) values (40, 'kept')"));
    con.BeginTrans();
    if (pg)
        con.ExecuteLater(QStringLiteral("insert into item (id, name) values (10, 'twice')"));
    con.ExecuteLater(QStringLiteral("insert into item (id, name) values (41, 'dropped')"));
    con.RollbackTrans();
    con.CommitTrans();
    EXPECT_EQ(count("id = 40"), 1);
    EXPECT_EQ(count("id = 41"), 0);

    // outside a transaction a write is done when the call returns: another session sees it
    con.ExecuteLater(QStringLiteral("insert into item (id, name) values (50, 'now')"));
    if (pg) {
        TClientConnection other;
        other.Open(con.DatabaseFile());
        EXPECT_EQ(other.ExecuteScalar(QStringLiteral("select count(*) from item where id = 50")).toInt(), 1);
    } else {
        EXPECT_EQ(count("id = 50"), 1);
    }
}

// A statement is prepared on the server the second time it runs. When that second time is in a
// queue that a failure before it stops, it was never prepared, and the session must not run
// it by a name the server does not know.
TEST(PgDeferredWritesTest, AStatementStoppedBeforeItWasPreparedIsPreparedLater)
{
    TClientConnection con;
    con.Open(NewPgDatabase(QStringLiteral("deferred_prepare")));
    con.ExecuteNative(QStringLiteral("create table t (id int primary key, qty float)"));
    const QString add = QStringLiteral("insert into t (id, qty) values (:id, :q)");
    con.ExecuteNative(add, {{"id", 1}, {"q", 1.0}}); // the first run: not prepared yet
    con.BeginTrans();
    con.ExecuteLater(add, {{"id", 1}, {"q", 1.0}});  // fails: the key is taken
    con.ExecuteLater(add, {{"id", 2}, {"q", 2.0}});  // would be prepared here, but never runs
    EXPECT_THROW(con.ExecuteScalar(QStringLiteral("select 1")), EDatabaseError);
    con.RollbackTrans();
    for (int id = 3; id < 7; ++id) { // prepared now, and run by its name after that
        con.BeginTrans();
        con.ExecuteLater(add, {{"id", id}, {"q", 1.0}});
        con.CommitTrans();
    }
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select count(*) from t")).toInt(), 5);
}

// A select read ahead goes with the next select and answers the same select asked right after,
// once: it ran once. Its answer reflects the writes queued before it, and is void after a write
// queued or run after it.
TEST(PgDeferredWritesTest, ASelectReadAheadAnswersOnceAndNeverWhatAWriteChangedSince)
{
    TClientConnection con;
    con.Open(NewPgDatabase(QStringLiteral("select_ahead")));
    con.ExecuteNative(QStringLiteral("create table t (id int primary key, qty float); create sequence s"));
    // asked as the server code asks (SelectValue), which the answers read ahead are for
    auto qty = [&] { return SelectValue(con, QStringLiteral("select qty from t where id = 1")); };
    const QString next = QStringLiteral("select nextval('s')");
    con.BeginTrans();
    con.ExecuteLater(QStringLiteral("insert into t (id, qty) values (1, 5)"));
    con.SelectAhead(next);
    con.SelectAhead(QStringLiteral("select qty from t where id = 1"));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select count(*) from t")).toInt(), 1); // sends all
    EXPECT_EQ(qty().toDouble(), 5.0);                 // the insert came before it
    EXPECT_EQ(SelectValue(con, next).toInt(), 1);      // answered, not run again
    EXPECT_EQ(SelectValue(con, next).toInt(), 2);      // once
    // a write queued after it
    con.SelectAhead(QStringLiteral("select qty from t where id = 1"));
    con.ExecuteLater(QStringLiteral("update t set qty = 7 where id = 1"));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select 1")).toInt(), 1);
    EXPECT_EQ(qty().toDouble(), 7.0);
    // a write run after it
    con.SelectAhead(QStringLiteral("select qty from t where id = 1"));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select 1")).toInt(), 1);
    con.ExecuteNative(QStringLiteral("update t set qty = 9 where id = 1"));
    EXPECT_EQ(qty().toDouble(), 9.0);
    // a write that sends it
    con.SelectAhead(QStringLiteral("select qty from t where id = 1"));
    con.ExecuteNative(QStringLiteral("update t set qty = 11 where id = 1"));
    EXPECT_EQ(qty().toDouble(), 11.0);
    con.CommitTrans();
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineTest, ::testing::Values(TSqlEngine::SQLite, TSqlEngine::PostgreSQL),
                         [](const auto& info) { return info.param == TSqlEngine::SQLite ? "SQLite" : "PostgreSQL"; });

} // namespace
