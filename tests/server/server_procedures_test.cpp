// The server procedures against the demo database: reads, delta writes, bill codes, keys.
#include "server/BillKind.h"
#include "server/Procedures.h"
#include "server/Rights.h"
#include "server/ServerSql.h"
#include "tests/support/PgCluster.h"
#include "webrpc/Connection.h"

#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DemoDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        con = new TClientConnection;
        con->Open(dir->filePath(QStringLiteral("demo.db")));
        RegisterServerProcedures();
        ASSERT_TRUE(InitializeDatabase(*con));
        con->SetSession(TServerSession{1, QStringLiteral("管理员"), 1, true});
    }
    static void TearDownTestSuite()
    {
        delete con;
        delete dir;
        con = nullptr;
    }

    static TPacketParams Call(const QString& method, const TPacketParams& req)
    {
        TPacketParams reply;
        reply.LoadFromString(con->Proxy()->Invoke(method, req.ToString(), 30000));
        return reply;
    }

    // the cases both engines run
    static void InitialisingTwiceKeepsTheData();
    static void EditedRowsTravelAsADeltaAndLandExactly();
    static void BillCodesFollowTheSavedOnesPerBranchDateAndTable();
    static void DataRequestsOnlyReadAndNeverShowPasswords();
    static void WhatIsKeptIsReadAgainOnceItMayHaveChanged();

    static QTemporaryDir* dir;
    static TClientConnection* con;
};
QTemporaryDir* DemoDatabase::dir = nullptr;
TClientConnection* DemoDatabase::con = nullptr;

// The same procedures on a PostgreSQL database the procedures initialise themselves.
class DemoDatabaseOnPostgres : public DemoDatabase {
protected:
    static void SetUpTestSuite()
    {
        con = new TClientConnection;
        try {
            con->Open(NewPgDatabase(QStringLiteral("procedures")));
        } catch (const EDatabaseError& e) {
            failure = e.Message();
            return;
        }
        RegisterServerProcedures();
        ASSERT_TRUE(InitializeDatabase(*con));
        con->SetSession(TServerSession{1, QStringLiteral("管理员"), 1, true});
    }
    static void TearDownTestSuite()
    {
        delete con;
        con = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(failure.isEmpty()) << failure.toStdString(); }
    static QString failure;
};
QString DemoDatabaseOnPostgres::failure;

void DemoDatabase::InitialisingTwiceKeepsTheData()
{
    const int goods = con->ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt();
    EXPECT_GT(goods, 150);
    EXPECT_FALSE(InitializeDatabase(*con));
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt(), goods);
}

// Rows read through the server, edited in a client dataset and sent back as a delta in a
// packet end up in the database exactly as edited: no more, no less.
void DemoDatabase::EditedRowsTravelAsADeltaAndLandExactly()
{
    TPacketParams req;
    req.Set("Count", 1).Set("SQL1", QStringLiteral("select top 20 g.*, t.name as typename from goods g left join goodstype t on g.goodstypeid = t.goodstypeid order by g.goodsid"));
    TPacketParams reply = Call(QStringLiteral("GetClientDataSet"), req);
    ASSERT_EQ(reply.GetString("ErrMsg"), QString());
    TClientDataSet ds;
    ds.LoadFromXMLString(reply.GetString("ClientDataSet1"));
    ASSERT_EQ(ds.RecordCount(), 20);
    ASSERT_EQ(ds.ChangeCount(), 0);

    const int firstId = ds.FieldByName("goodsid")->AsInteger();
    ds.Edit();
    ds.FieldByName("name")->SetAsString(QStringLiteral("特级龙井 250g"));
    ds.FieldByName("memo")->Clear();
    ds.FieldByName("taxrate")->SetAsFloat(13);
    ds.FieldByName("typename")->SetAsString(QStringLiteral("display only, not a goods column"));
    ds.Post();
    ds.Next();
    const int deletedId = ds.FieldByName("goodsid")->AsInteger();
    ds.Delete();
    const int newId = con->ExecuteScalar(QStringLiteral("select max(goodsid) from goods")).toInt() + 1;
    ds.Append();
    ds.FieldByName("goodsid")->SetAsInteger(newId);
    ds.FieldByName("code")->SetAsString(QStringLiteral("T-0001"));
    ds.FieldByName("name")->SetAsString(QStringLiteral("测试商品 O'Neil"));
    ds.FieldByName("kind")->SetAsInteger(1);
    ds.FieldByName("inf_costingtypeid")->SetAsInteger(1);
    ds.Post();
    ASSERT_EQ(ds.ChangeCount(), 3);

    const int before = con->ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt();
    TPacketParams upd;
    upd.Set("TableName", QStringLiteral("goods")).Set("KeyFields", QStringLiteral("goodsid")).Set("Delta", GetDeltaXML(&ds));
    TPacketParams answer = Call(QStringLiteral("ApplyUpdates"), upd);
    ASSERT_EQ(answer.GetInt("ErrNo", -1), 0) << answer.GetString("ErrMsg").toStdString();

    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt(), before);
    TClientDataSet check;
    con->OpenDataSet(QStringLiteral("select name, memo, taxrate from goods where goodsid = :id"), &check, {{QStringLiteral("id"), firstId}});
    EXPECT_EQ(check.FieldByName("name")->AsString(), QStringLiteral("特级龙井 250g"));
    EXPECT_TRUE(check.FieldByName("memo")->IsNull());
    EXPECT_DOUBLE_EQ(check.FieldByName("taxrate")->AsFloat(), 13.0);
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select count(*) from goods where goodsid = :id"), {{QStringLiteral("id"), deletedId}}).toInt(), 0);
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select name from goods where goodsid = :id"), {{QStringLiteral("id"), newId}}).toString(),
              QStringLiteral("测试商品 O'Neil"));

    // Every column of every row the dataset holds now matches the database, and the
    // database holds no row the dataset deleted.
    ds.MergeChangeLog();
    QStringList ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids << QString::number(ds.FieldByName("goodsid")->AsInteger());
    ids << QString::number(deletedId);
    TPacketParams again;
    again.Set("Count", 1).Set("SQL1", QStringLiteral("select g.* from goods g where g.goodsid in (%1)").arg(ids.join(u',')));
    TClientDataSet reread;
    reread.LoadFromXMLString(Call(QStringLiteral("GetClientDataSet"), again).GetString("ClientDataSet1"));
    EXPECT_EQ(reread.RecordCount(), ds.RecordCount());
    for (reread.First(); !reread.Eof(); reread.Next()) {
        const int id = reread.FieldByName("goodsid")->AsInteger();
        ASSERT_TRUE(ds.Locate(QStringLiteral("goodsid"), id)) << id;
        for (int f = 0; f < reread.FieldCount(); ++f) {
            const QString name = reread.Fields(f)->FieldName();
            EXPECT_EQ(reread.Fields(f)->AsString(), ds.FieldByName(name)->AsString()) << id << " " << name.toStdString();
        }
    }
}

TEST_F(DemoDatabase, AFailedDeltaChangesNothing)
{
    TClientDataSet ds;
    con->OpenDataSet(QStringLiteral("select top 2 * from goods order by goodsid"), &ds);
    ds.Edit();
    ds.FieldByName("name")->SetAsString(QStringLiteral("不应保存"));
    ds.Post();
    ds.Next();
    ds.Edit();
    ds.FieldByName("code")->SetAsString(QString()); // code is NOT NULL
    ds.FieldByName("code")->Clear();
    ds.Post();
    const QString before = con->ExecuteScalar(QStringLiteral("select group_concat(name) from goods")).toString();
    TPacketParams upd;
    upd.Set("TableName", QStringLiteral("goods")).Set("KeyFields", QStringLiteral("goodsid")).Set("Delta", GetDeltaXML(&ds));
    TPacketParams answer = Call(QStringLiteral("ApplyUpdates"), upd);
    EXPECT_EQ(answer.GetInt("ErrNo"), 1);
    EXPECT_FALSE(answer.GetString("ErrMsg").isEmpty());
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select group_concat(name) from goods")).toString(), before);

    upd.Set("TableName", QStringLiteral("goods; drop table goods"));
    EXPECT_EQ(Call(QStringLiteral("ApplyUpdates"), upd).GetInt("ErrNo"), 1);
    EXPECT_GT(con->ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt(), 0);
}

void DemoDatabase::BillCodesFollowTheSavedOnesPerBranchDateAndTable()
{
    auto code = [](int shop, const QString& date, const QString& table) {
        TClientStoredProc sp(con, QStringLiteral("getnewbillcodebydate;1"));
        sp.Params.Add("@RETURN_VALUE", TFieldType::ftInteger, TParamDirection::pdReturnValue);
        sp.Params.Add("@shopid", TFieldType::ftInteger).Value = shop;
        sp.Params.Add("@billdate", TFieldType::ftString, TParamDirection::pdInput, 10).Value = date;
        sp.Params.Add("@masttablename", TFieldType::ftString, TParamDirection::pdInput, 30).Value = table;
        sp.Params.Add("@billcode", TFieldType::ftString, TParamDirection::pdInputOutput, 32);
        sp.ExecProc();
        return sp.Params.Value("@billcode").toString();
    };
    const QString a = code(1, QStringLiteral("2026-12-06"), QStringLiteral("Porder"));
    // proposing a code uses nothing up: a window closed without saving leaves no gap
    EXPECT_EQ(code(1, QStringLiteral("2026-12-06"), QStringLiteral("porder")), a);
    EXPECT_EQ(a, FormatBillCode(QDate(2026, 12, 6), 1, 1));
    EXPECT_NE(code(2, QStringLiteral("2026-12-06"), QStringLiteral("Porder")).mid(9, 2), a.mid(9, 2));
    EXPECT_EQ(code(1, QStringLiteral("2026-12-07"), QStringLiteral("Porder")).right(4), QStringLiteral("0001"));

    // The next code follows the highest one saved.
    const int id = con->ExecuteScalar(QStringLiteral("select ifnull(max(orderid), 0) + 1 from porder")).toInt();
    con->ExecuteNative(QStringLiteral("insert into porder (orderid, code, billdate) values (:id, :c, '2026-12-08 00:00:00')"),
                       {{QStringLiteral("id"), id}, {QStringLiteral("c"), FormatBillCode(QDate(2026, 12, 8), 1, 41)}});
    EXPECT_EQ(code(1, QStringLiteral("2026-12-08"), QStringLiteral("Porder")), FormatBillCode(QDate(2026, 12, 8), 1, 42));

    EXPECT_THROW(code(1, QStringLiteral("2026-13-45"), QStringLiteral("Porder")), EDatabaseError);
    EXPECT_THROW(code(1, QStringLiteral("2026-12-06"), QStringLiteral("no_such_table")), EDatabaseError);
}

// A data request cannot write, and no password hash leaves the server in its answer.
void DemoDatabase::DataRequestsOnlyReadAndNeverShowPasswords()
{
    con->ExecuteNative(QStringLiteral("update operator set pwhash = 'secret-hash' where opid = 1"));
    const QString name = con->ExecuteScalar(QStringLiteral("select name from goods where goodsid = 1")).toString();
    TPacketParams req;
    req.Set("Count", 1).Set("SQL1", QStringLiteral("update goods set name = 'x' where goodsid = 1"));
    EXPECT_FALSE(Call(QStringLiteral("GetClientDataSet"), req).GetString("ErrMsg").isEmpty());
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select name from goods where goodsid = 1")).toString(), name);
    for (const char* sql : {"select * from operator where opid = 1", "select opname, pwhash from operator where opid = 1"}) {
        req.Set("SQL1", QString::fromLatin1(sql));
        const TPacketParams reply = Call(QStringLiteral("GetClientDataSet"), req);
        EXPECT_FALSE(reply.ToString().contains(QLatin1String("secret-hash"))) << sql;
    }
    req.Set("SQL1", QStringLiteral("select * from operator where opid = 1"));
    EXPECT_EQ(Call(QStringLiteral("GetClientDataSet"), req).GetString("ErrMsg"), QString()); // refused only the hash
}

// Options are read once per transaction and again in the next; settings a session keeps
// (rights, bill kinds) are read again once they may have changed, and a connection that keeps
// nothing reads them every time.
void DemoDatabase::WhatIsKeptIsReadAgainOnceItMayHaveChanged()
{
    auto setOption = [&](const char* value) {
        con->ExecuteNative(QStringLiteral("update accoption set optionvalue = :v where optionkey = 'BANKNEGATIVE'"), {{QStringLiteral("v"), QString::fromLatin1(value)}});
    };
    setOption(" 1 ");
    EXPECT_EQ(AccountOption(*con, QStringLiteral("banknegative")), QStringLiteral("1"));
    con->BeginTrans();
    EXPECT_EQ(AccountOption(*con, QStringLiteral("BankNegative")), QStringLiteral("1"));
    EXPECT_EQ(AccountOption(*con, QStringLiteral("NOSUCHOPTION")), QString());
    con->CommitTrans();
    setOption("2");
    EXPECT_EQ(AccountOption(*con, QStringLiteral("BANKNEGATIVE")), QStringLiteral("2"));
    con->BeginTrans();
    EXPECT_EQ(AccountOption(*con, QStringLiteral("BANKNEGATIVE")), QStringLiteral("2")) << "the next transaction reads the options again";
    con->RollbackTrans();

    TClientConnection session;
    session.Open(con->DatabaseFile());
    session.SetSession(TServerSession{2, QStringLiteral("店员"), 1, false});
    KeepSettingsPerSession(session);
    const QString caption = ReadBillKind(session, 7).Caption;
    ASSERT_TRUE(TOperatorRights::Of(session).Has(38, TRightAction::New));
    EXPECT_EQ(AccountOption(session, QStringLiteral("BANKNEGATIVE")), QStringLiteral("2"));
    con->ExecuteNative(QStringLiteral("update billkind set caption = '进货单' where billtype = 7"));
    con->ExecuteNative(QStringLiteral("delete from operatorright where opid = 2 and privilegeid = 38 and action = 2"));
    setOption("1");
    EXPECT_EQ(ReadBillKind(session, 7).Caption, caption) << "kept";
    EXPECT_TRUE(TOperatorRights::Of(session).Has(38, TRightAction::New)) << "kept";
    EXPECT_EQ(AccountOption(session, QStringLiteral("BANKNEGATIVE")), QStringLiteral("2")) << "kept";
    EXPECT_EQ(ReadBillKind(*con, 7).Caption, QStringLiteral("进货单")) << "a connection that keeps nothing reads again";
    SettingsMayHaveChanged();
    EXPECT_EQ(ReadBillKind(session, 7).Caption, QStringLiteral("进货单"));
    EXPECT_FALSE(TOperatorRights::Of(session).Has(38, TRightAction::New));
    EXPECT_EQ(AccountOption(session, QStringLiteral("BANKNEGATIVE")), QStringLiteral("1"));
    con->ExecuteNative(QStringLiteral("update billkind set caption = :c where billtype = 7"), {{QStringLiteral("c"), caption}});
    con->ExecuteNative(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (2, 38, 2)"));
    SettingsMayHaveChanged();
}

TEST_F(DemoDatabase, InitialisingTwiceKeepsTheData) { InitialisingTwiceKeepsTheData(); }
TEST_F(DemoDatabaseOnPostgres, InitialisingTwiceKeepsTheData) { InitialisingTwiceKeepsTheData(); }

TEST_F(DemoDatabase, EditedRowsTravelAsADeltaAndLandExactly) { EditedRowsTravelAsADeltaAndLandExactly(); }
TEST_F(DemoDatabaseOnPostgres, EditedRowsTravelAsADeltaAndLandExactly) { EditedRowsTravelAsADeltaAndLandExactly(); }

TEST_F(DemoDatabase, BillCodesFollowTheSavedOnesPerBranchDateAndTable) { BillCodesFollowTheSavedOnesPerBranchDateAndTable(); }
TEST_F(DemoDatabaseOnPostgres, BillCodesFollowTheSavedOnesPerBranchDateAndTable) { BillCodesFollowTheSavedOnesPerBranchDateAndTable(); }

TEST_F(DemoDatabase, DataRequestsOnlyReadAndNeverShowPasswords) { DataRequestsOnlyReadAndNeverShowPasswords(); }
TEST_F(DemoDatabaseOnPostgres, DataRequestsOnlyReadAndNeverShowPasswords) { DataRequestsOnlyReadAndNeverShowPasswords(); }

TEST_F(DemoDatabase, WhatIsKeptIsReadAgainOnceItMayHaveChanged) { WhatIsKeptIsReadAgainOnceItMayHaveChanged(); }
TEST_F(DemoDatabaseOnPostgres, WhatIsKeptIsReadAgainOnceItMayHaveChanged) { WhatIsKeptIsReadAgainOnceItMayHaveChanged(); }

} // namespace
