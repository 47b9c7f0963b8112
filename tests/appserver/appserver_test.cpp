// tradebill-server as the desktops use it: sessions and rights kept on the server, refusals
// logged, answers lost on the way and saves retried, many clients saving at once, a client that
// dies holding a lock. The bill-procedure tests of tests/server run here once more, through the
// server (their fixture's route is set below).
#include "tests/appserver/Relay.h"
#include "tests/appserver/ServerProcess.h"
#include "tests/server/BillClient.h"
#include "tests/support/PgCluster.h"
#include "webrpc/RemoteLink.h"
#include "webrpc/SqlDialect.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QThread>

#include <algorithm>

namespace {

// The bill tests' fixture opens its copy through a server of its own and logs in there.
std::unique_ptr<TServerProcess>& RouteServer()
{
    static std::unique_ptr<TServerProcess> server;
    return server;
}

bool RouteOnPostgres()
{
    return qEnvironmentVariable("TB_APPSERVER_ENGINE").compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0;
}

// The last route server stops with the test run, while the application still exists.
class TStopRouteServer : public ::testing::Environment {
public:
    void TearDown() override { RouteServer().reset(); }
};

// A routed test that failed shows what its server logged (the reasons behind "详细信息已写入日志").
class TRouteServerLogOnFailure : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        if (info.result()->Failed() && RouteServer())
            std::fprintf(stderr, "route server log:\n%s\n", qUtf8Printable(RouteServer()->Log().right(8000)));
    }
};

const bool kRouted = [] {
    ::testing::AddGlobalTestEnvironment(new TStopRouteServer);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TRouteServerLogOnFailure);
    TestDatabaseRoute().Open = [](TClientConnection& con, const QString& file) {
        RouteServer().reset();
        QString database = file;
        // The second run of these suites (ctest's "appserver.pg.") puts the server on a fresh
        // PostgreSQL copy of the demo data instead of the test's SQLite file.
        if (RouteOnPostgres() && !file.startsWith(QLatin1String("postgresql://"))) {
            try {
                database = NewPgDemoDatabase(QStringLiteral("route"));
            } catch (const EDatabaseError& e) {
                FAIL() << e.what();
            }
        }
        RouteServer() = std::make_unique<TServerProcess>(database);
        ASSERT_TRUE(RouteServer()->Running());
        con.OpenRemote(RouteServer()->Url(), TServerProcess::CertFile());
    };
    TestDatabaseRoute().LoginAs = [](TClientConnection& con, int opid) {
        ASSERT_TRUE(opid == 1 || opid == 2) << "the demo data's passwords are known for operators 1 and 2 only";
        RemoteLogin(con, RouteServer()->Url(), opid == 1 ? QStringLiteral("admin") : QStringLiteral("clerk"),
                    opid == 1 ? QStringLiteral("manager") : QStringLiteral("clerk"));
    };
    return true;
}();

// A request sent by hand, past the desktop's link: status and body.
std::pair<int, QString> RawPost(const QString& url, const QByteArray& body, const QByteArray& token = {})
{
    QNetworkAccessManager nam;
    QNetworkRequest req{QUrl(url)};
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-tradebill-packet"));
    if (!token.isEmpty())
        req.setRawHeader(kRemoteSessionHeader, token);
    QNetworkReply* r = nam.post(req, body);
    QObject::connect(r, &QNetworkReply::sslErrors, r, [r](const QList<QSslError>&) { r->ignoreSslErrors(); });
    QEventLoop loop;
    QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const std::pair<int, QString> out{r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), QString::fromUtf8(r->readAll())};
    delete r;
    return out;
}

QString MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QString();
}

// A server over a copy of the demo database: a SQLite file, or a database of the test
// cluster for the suites that run on PostgreSQL.
class AppServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterServerProcedures();
        ASSERT_TRUE(dir.isValid());
        QString database;
        try {
            database = OnPostgres() ? NewPgDemoDatabase(QStringLiteral("appserver")) : DemoCopy(dir.path());
        } catch (const EDatabaseError& e) {
            FAIL() << e.what();
        }
        server = std::make_unique<TServerProcess>(database, QStringList{QStringLiteral("--lease"), QStringLiteral("600")});
        ASSERT_TRUE(server->Running());
    }
    virtual bool OnPostgres() const { return false; }
    void TearDown() override
    {
        if (HasFailure())
            std::fprintf(stderr, "server log:\n%s\n", qUtf8Printable(server->Log()));
    }
    // The database as it is on disk, read past the server.
    QVariant Direct(const QString& sql)
    {
        TClientConnection local;
        local.Open(server->Database());
        return local.ExecuteScalar(sql);
    }

    // A purchase order (privilege 38) of two units saved through `con`: empty when saved, else
    // the refusal.
    QString SaveOrder(TClientConnection& con)
    {
        const int goods = Direct(QStringLiteral("select min(goodsid) from goods where kind = 1 and batchctrl = 'F'")).toInt();
        const int unit = Direct(QStringLiteral("select unitid from goodsunit where goodsid = %1 and unittype = 0").arg(goods)).toInt();
        const int vendor = Direct(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
        TBillClient bill(con, 6);
        bill.NewBill();
        bill.SetMaster("storeid", 1);
        bill.SetMaster("clientid", vendor);
        bill.AddLine({{"goodsid", goods}, {"unitid", unit}, {"unitqty", 2}, {"quantity", 2}, {"unitprice", 3}, {"price", 3}, {"goodsamt", 6}, {"amount", 6}});
        const TPacketParams r = bill.SaveAccepting();
        return r.GetInt("ErrNo") == 0 ? QString() : r.GetString("ErrMsg");
    }

    QTemporaryDir dir;
    std::unique_ptr<TServerProcess> server;
};

// The tests whose answers depend on the database under the server run on both engines.
class AppServerOn : public AppServer, public ::testing::WithParamInterface<TSqlEngine> {
protected:
    bool OnPostgres() const override { return GetParam() == TSqlEngine::PostgreSQL; }
};

std::string EngineName(const ::testing::TestParamInfo<TSqlEngine>& info)
{
    return info.param == TSqlEngine::PostgreSQL ? "PostgreSQL" : "SQLite";
}

TEST_P(AppServerOn, TheServerKeepsWhoIsLoggedInAndLogsEveryRefusal)
{
    // no session at all
    const auto [status, body] = RawPost(server->Url() + QStringLiteral("/call"), QByteArrayLiteral("#TBPK2;0;"));
    EXPECT_EQ(status, 401);
    EXPECT_TRUE(body.contains(QStringLiteral("没有有效的会话"))) << body.toStdString();
    const auto [forged, forgedBody] = RawPost(server->Url() + QStringLiteral("/call"), QByteArrayLiteral("#TBPK2;0;"), "0123456789abcdef");
    EXPECT_EQ(forged, 401);

    // a session, nobody logged in: only logging in is served
    TClientConnection con;
    con.OpenRemote(server->Url(), TServerProcess::CertFile());
    EXPECT_EQ(MessageOf([&] { con.ExecuteScalar(QStringLiteral("select count(*) from goods")); }), QStringLiteral("请先登录"));
    EXPECT_FALSE(MessageOf([&] { RemoteLogin(con, server->Url(), QStringLiteral("admin"), QStringLiteral("wrong")); }).isEmpty());

    // a clerk may read and save bills, but not write tables by hand, whatever the desktop says
    RemoteLogin(con, server->Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    EXPECT_GT(con.ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt(), 0);
    TServerSession forgedSession = con.Session();
    forgedSession.OpID = 1;
    forgedSession.SysManager = true;
    con.SetSession(forgedSession);
    EXPECT_TRUE(MessageOf([&] { con.Execute(QStringLiteral("update goods set name = 'x'")); }).contains(QStringLiteral("系统管理员")));
    EXPECT_FALSE(MessageOf([&] { con.ExecuteScalar(QStringLiteral("delete from goods")); }).isEmpty());
    TClientQuery ops(nullptr, &con);
    ops.SQL = QStringLiteral("select opid, opname, issysmanager from operator where opid = 2");
    ops.OpenQuery();
    ops.UpdateTable = QStringLiteral("operator");
    ops.KeyFields = {QStringLiteral("opid")};
    ops.Edit();
    ops.FieldByName("issysmanager")->SetValue(1);
    ops.Post();
    EXPECT_THROW(ops.UpdateBatch(), EDatabaseError);
    EXPECT_GT(ops.GetChangeCount(), 0); // the refused edit is still there to correct
    EXPECT_EQ(Direct(QStringLiteral("select issysmanager from operator where opid = 2")).toInt(), 0);
    EXPECT_NE(Direct(QStringLiteral("select count(*) from goods")).toInt(), 0);

    // the manager may
    RemoteLogin(con, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    EXPECT_EQ(con.Execute(QStringLiteral("update goods set memo = :m where goodsid = 1"), {{QStringLiteral("m"), QStringLiteral("门店共用")}}), 1);
    EXPECT_EQ(Direct(QStringLiteral("select memo from goods where goodsid = 1")).toString(), QStringLiteral("门店共用"));
    con.Close();

    const QString log = server->Log();
    EXPECT_TRUE(log.contains(QStringLiteral("未登录：没有有效的会话"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("未登录：请先登录"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("（尝试 admin）"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("店员(2)：只有系统管理员"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Batch 来自"))) << log.toStdString();
}

TEST_F(AppServer, OnlyTheServersOwnCertificateIsTrusted)
{
    TClientConnection con;
    const QString refused = MessageOf([&] { con.OpenRemote(server->Url()); });
    EXPECT_TRUE(refused.contains(QStringLiteral("证书"))) << refused.toStdString();
    EXPECT_FALSE(con.Connected());
    EXPECT_TRUE(MessageOf([&] { con.OpenRemote(QStringLiteral("http://127.0.0.1:1")); }).contains(QStringLiteral("https://")));
    con.OpenRemote(server->Url(), TServerProcess::CertFile());
    EXPECT_TRUE(con.Connected());
}

TEST_P(AppServerOn, ALostAnswerKeepsTheEditsAndTheRetriedSaveMakesOneBill)
{
    TRelay relay(QUrl(server->Url()).port());
    TClientConnection con;
    RemoteLogin(con, QStringLiteral("https://127.0.0.1:%1").arg(relay.Port()), QStringLiteral("admin"), QStringLiteral("manager"));
    const int goods = con.ExecuteScalar(QStringLiteral("select min(goodsid) from goods where kind = 1 and batchctrl = 'F'")).toInt();
    const int unit = con.ExecuteScalar(QStringLiteral("select unitid from goodsunit where goodsid = :g and unittype = 0"), {{QStringLiteral("g"), goods}}).toInt();
    const int before = con.ExecuteScalar(QStringLiteral("select count(*) from recieved")).toInt();

    TBillClient bill(con, 7);
    bill.NewBill();
    bill.SetMaster("storeid", 1);
    bill.SetMaster("clientid", 1);
    bill.AddLine({{"goodsid", goods}, {"unitid", unit}, {"unitqty", 3}, {"quantity", 3}, {"unitprice", 4}, {"price", 4}, {"goodsamt", 12}, {"amount", 12}});
    bill.RequestId = QStringLiteral("lost-answer-1");

    relay.DropAnswers = true;
    const QString lost = MessageOf([&] { bill.Save(); });
    relay.DropAnswers = false;
    EXPECT_GT(relay.Dropped, 0);
    EXPECT_TRUE(lost.contains(QStringLiteral("窗口中的内容都还在"))) << lost.toStdString();
    EXPECT_GT(bill.M.ChangeCount(), 0);
    EXPECT_GT(bill.D.ChangeCount(), 0);
    // the server did save it; the answer was what got lost
    EXPECT_EQ(Direct(QStringLiteral("select count(*) from recieved")).toInt(), before + 1);

    const TPacketParams again = bill.Save();
    ASSERT_EQ(again.GetInt("ErrNo"), 0) << again.GetString("ErrMsg").toStdString();
    EXPECT_EQ(Direct(QStringLiteral("select count(*) from recieved")).toInt(), before + 1);
    EXPECT_EQ(Direct(QStringLiteral("select count(*) from recieved where recievedid = %1").arg(again.GetInt("NewBillID"))).toInt(), 1);
}

// A session keeps its operator's rights between calls; a change to operators or rights made
// through any session of the server counts at the next call of every other one, also a change
// that stood in a transaction while the other session read its rights.
TEST_P(AppServerOn, ARightTakenAwayOrAnOperatorClosedCountsAtTheNextCall)
{
    TClientConnection clerk, admin;
    RemoteLogin(clerk, server->Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    RemoteLogin(admin, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    auto saveOrder = [&] { return SaveOrder(clerk); };
    ASSERT_EQ(saveOrder(), QString());
    ASSERT_EQ(saveOrder(), QString());

    // taken away through a query's changes to the rights table
    TClientQuery rights(nullptr, &admin);
    rights.SQL = QStringLiteral("select opid, privilegeid, action from operatorright where opid = 2 and privilegeid = 38 and action = 2");
    rights.OpenQuery();
    ASSERT_EQ(rights.RecordCount(), 1);
    rights.UpdateTable = QStringLiteral("operatorright");
    rights.KeyFields = {QStringLiteral("opid"), QStringLiteral("privilegeid"), QStringLiteral("action")};
    rights.Delete();
    rights.UpdateBatch();
    EXPECT_EQ(saveOrder(), QStringLiteral("您没有新增操作权限"));

    // given back in a transaction: the clerk reads meanwhile and is refused still, then may
    admin.BeginTrans();
    admin.Execute(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (2, 38, 2)"));
    EXPECT_GT(clerk.ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt(), 0);
    admin.CommitTrans();
    EXPECT_EQ(saveOrder(), QString());

    // the operator closed by a statement
    admin.Execute(QStringLiteral("update operator set closed = 'T' where opid = 2"));
    EXPECT_TRUE(MessageOf([&] { clerk.ExecuteScalar(QStringLiteral("select count(*) from goods")); }).contains(QStringLiteral("已停用")));
}

// The bill kinds and options a session keeps count again as soon as the manager changed them.
TEST_P(AppServerOn, ABillKindOrAnOptionChangedByTheManagerCountsAtTheNextSave)
{
    TClientConnection con;
    RemoteLogin(con, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    auto saveEmptyReceipt = [&] {
        TBillClient bill(con, 7);
        bill.NewBill();
        bill.SetMaster("storeid", 1);
        bill.SetMaster("clientid", 1);
        const TPacketParams r = bill.SaveAccepting();
        return r.GetString("ErrMsg");
    };
    EXPECT_TRUE(saveEmptyReceipt().startsWith(QStringLiteral("采购收货单没有明细"))) << saveEmptyReceipt().toStdString();
    con.Execute(QStringLiteral("update billkind set caption = '进货单' where billtype = 7"));
    EXPECT_TRUE(saveEmptyReceipt().startsWith(QStringLiteral("进货单没有明细"))) << saveEmptyReceipt().toStdString();

    // an order above the highest purchase price is warned about once the option says so
    const int goods = con.ExecuteScalar(QStringLiteral("select min(goodsid) from goods where kind = 1 and batchctrl = 'F'")).toInt();
    const int unit = con.ExecuteScalar(QStringLiteral("select unitid from goodsunit where goodsid = :g and unittype = 0"), {{QStringLiteral("g"), goods}}).toInt();
    con.Execute(QStringLiteral("update goodsunit set maxpprice = 3 where unitid = :u"), {{QStringLiteral("u"), unit}});
    auto setOption = [&](const char* value) {
        con.Execute(QStringLiteral("delete from accoption where lower(optionkey) = 'checkmaxbuyprice'"));
        con.Execute(QStringLiteral("insert into accoption (optionkey, optionvalue) values ('CHECKMAXBUYPRICE', :v)"), {{QStringLiteral("v"), QString::fromLatin1(value)}});
    };
    auto saveDearOrder = [&] {
        TBillClient order(con, 6);
        order.NewBill();
        order.SetMaster("clientid", 1);
        order.AddLine({{"goodsid", goods}, {"unitid", unit}, {"unitqty", 1}, {"quantity", 1}, {"unitprice", 4.5}, {"price", 4.5}, {"goodsamt", 4.5}, {"amount", 4.5}});
        return order.Save().GetInt("ErrNo");
    };
    setOption("0");
    EXPECT_EQ(saveDearOrder(), 0);
    setOption("1");
    EXPECT_EQ(saveDearOrder(), 1401);
}

// Eight desktop processes save receipts with random lines on the same four goods, every third
// under BILLLOCK: each bill lands once with a code of its own, no stock update is lost, and the
// lock's holding times never overlap.
TEST_P(AppServerOn, EightClientsSaveTogetherWithUniqueCodesAndOneLockHolder)
{
    constexpr int kClients = 8;
    // a full run (100 bills each) is the same test with TB_EIGHT_CLIENT_BILLS=100
    const int kBills = qEnvironmentVariableIntValue("TB_EIGHT_CLIENT_BILLS") > 0 ? qEnvironmentVariableIntValue("TB_EIGHT_CLIENT_BILLS") : 12;
    TClientConnection probe;
    RemoteLogin(probe, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    TClientDataSet goodsRows;
    probe.OpenNative(QStringLiteral("select g.goodsid, u.unitid from goods g join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0 "
                                    "where g.kind = 1 and g.batchctrl = 'F' order by g.goodsid limit 4"),
                     &goodsRows);
    ASSERT_EQ(goodsRows.RecordCount(), 4);
    QStringList goodsArg;
    QList<int> goods;
    for (goodsRows.First(); !goodsRows.Eof(); goodsRows.Next()) {
        goods << goodsRows.FieldByName("goodsid")->AsInteger();
        goodsArg << QStringLiteral("%1:%2").arg(goods.last()).arg(goodsRows.FieldByName("unitid")->AsInteger());
    }
    probe.Execute(QStringLiteral("update goods set upqty = 0, downqty = 0"));
    auto onHand = [&](int g) { return probe.ExecuteScalar(QStringLiteral("select ifnull(sum(onhand), 0) from onhand where goodsid = %1").arg(g)).toDouble(); };
    QMap<int, double> expected;
    for (int g : goods)
        expected[g] = onHand(g);
    const int billsBefore = probe.ExecuteScalar(QStringLiteral("select count(*) from recieved")).toInt();

    std::vector<std::unique_ptr<QProcess>> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.push_back(std::make_unique<QProcess>());
        clients.back()->start(QStringLiteral(TB_BINARY_DIR "/tests/appserver/appserver_client_helper"),
                              {server->Url(), TServerProcess::CertFile(), QStringLiteral("save"), QString::number(kBills), QString::number(c + 1),
                               goodsArg.join(u',')});
    }
    QStringList codes, failures;
    QVector<QPair<qint64, qint64>> holds; // BILLLOCK held from, to
    for (auto& client : clients) {
        // standard error carries Qt's warnings too: only a client that failed is asked for it
        if (!client->waitForFinished(600000) || client->exitStatus() != QProcess::NormalExit || client->exitCode() != 0)
            failures << QStringLiteral("a client ended badly: ") + QString::fromUtf8(client->readAllStandardError()).trimmed();
        for (const QString& line : QString::fromUtf8(client->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList w = line.split(u' ');
            if (w.first() == QLatin1String("bill")) {
                codes << w.at(1);
                for (const QString& added : w.mid(2))
                    expected[added.section(u':', 0, 0).toInt()] += added.section(u':', 1, 1).toDouble();
            } else if (w.first() == QLatin1String("lock")) {
                holds.append({w.at(1).toLongLong(), w.at(2).toLongLong()});
            } else {
                failures << line;
            }
        }
    }
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
    EXPECT_EQ(codes.size(), kClients * kBills);
    EXPECT_EQ(QSet<QString>(codes.cbegin(), codes.cend()).size(), codes.size());
    EXPECT_EQ(holds.size(), kClients * ((kBills + 2) / 3));
    std::sort(holds.begin(), holds.end());
    for (int i = 1; i < holds.size(); ++i)
        EXPECT_LT(holds[i - 1].second, holds[i].first) << "two clients held BILLLOCK at once";
    EXPECT_EQ(probe.ExecuteScalar(QStringLiteral("select count(*) from recieved")).toInt(), billsBefore + kClients * kBills);
    for (int g : goods)
        EXPECT_DOUBLE_EQ(onHand(g), expected[g]) << "goods " << g;
}

TEST_F(AppServer, ACallEndsWithinItsTimeOutAndTakesNoLockForACallerThatGaveUp)
{
    TClientConnection holder, waiter;
    RemoteLogin(holder, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    RemoteLogin(waiter, server->Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    ASSERT_TRUE(holder.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), false));
    TPacketParams req;
    req.Set(QStringLiteral("Op"), RemoteOp::Lock).Set(QStringLiteral("Name"), QStringLiteral("BILLLOCK"));
    req.Set(QStringLiteral("Mode"), QStringLiteral("take")).Set(QStringLiteral("Wait"), true);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(waiter.Remote()->Call(req, 600).GetBool(QStringLiteral("Held")));
    EXPECT_LT(clock.elapsed(), 5000); // the server's own lock wait is ten seconds
    holder.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("release"), false);
    EXPECT_FALSE(waiter.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("held"), false));
    EXPECT_TRUE(holder.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), false));
    // an answer that does not come in time ends the call with the message for a lost connection
    TRelay relay(QUrl(server->Url()).port());
    TClientConnection slow;
    RemoteLogin(slow, QStringLiteral("https://127.0.0.1:%1").arg(relay.Port()), QStringLiteral("clerk"), QStringLiteral("clerk"));
    relay.DropAnswers = true;
    clock.restart();
    EXPECT_THROW(slow.Proxy()->Invoke(QStringLiteral("GetLoginInfo"), QString(), 500), ERemoteLost);
    EXPECT_LT(clock.elapsed(), 5000);
    // a server that hangs: the call gives up on its own time-out, and quietly (nothing read from
    // the request it abandoned)
    TRelay hanging(QUrl(server->Url()).port());
    TClientConnection hung;
    RemoteLogin(hung, QStringLiteral("https://127.0.0.1:%1").arg(hanging.Port()), QStringLiteral("clerk"), QStringLiteral("clerk"));
    hanging.HoldAnswers = true;
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            warnings << text;
    });
    clock.restart();
    EXPECT_THROW(hung.Proxy()->Invoke(QStringLiteral("GetLoginInfo"), QString(), 500), ERemoteLost);
    qInstallMessageHandler(previous);
    EXPECT_LT(clock.elapsed(), 5000);
    hanging.HoldAnswers = false; // logging out is answered again
    EXPECT_GT(hanging.Dropped, 0);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
}

TEST_P(AppServerOn, AClientKilledMidSaveLeavesNoHalfBillAndFreesItsLock)
{
    QProcess helper;
    helper.start(QStringLiteral(TB_BINARY_DIR "/tests/appserver/appserver_client_helper"), {server->Url(), TServerProcess::CertFile(), QStringLiteral("half"), QStringLiteral("HALF-1")});
    ASSERT_TRUE(helper.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("half") && helper.waitForReadyRead(30000))
        out += helper.readAllStandardOutput();
    ASSERT_TRUE(out.contains("half")) << helper.readAllStandardError().toStdString();

    TClientConnection other;
    RemoteLogin(other, server->Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    EXPECT_FALSE(other.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), false));
    helper.kill();
    helper.waitForFinished(5000);

    // the lease (600 ms here) runs out, the transaction is rolled back, the lock is free
    EXPECT_TRUE(other.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), true));
    EXPECT_EQ(Direct(QStringLiteral("select count(*) from recieved where code = 'HALF-1'")).toInt(), 0);
    EXPECT_TRUE(server->Log().contains(QStringLiteral("释放锁 BILLLOCK，回滚了未提交的事务"))) << server->Log().toStdString();
}

class AppServerOnPostgres : public AppServer {
protected:
    bool OnPostgres() const override { return true; }
};

// What the sessions keep counts again after a change made around the server: by a manager at
// psql (here a connection straight to the database) or through a second server. Such a change
// is told by the database on commit, and reaches the sessions a moment later.
TEST_F(AppServerOnPostgres, ARightTakenAwayOutsideTheServerCountsAtTheCallsAfterIt)
{
    TClientConnection clerk;
    RemoteLogin(clerk, server->Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    auto saveOrder = [&] { return SaveOrder(clerk); };
    // the first save reads the rights, the second is answered from what the session keeps
    ASSERT_EQ(saveOrder(), QString());
    ASSERT_EQ(saveOrder(), QString());
    // the answer settles within moments of the commit, not at some later change of this server
    auto settlesTo = [&](const QString& expected) {
        QString last;
        for (int tries = 0; tries < 100 && (last = saveOrder()) != expected; ++tries)
            QThread::msleep(20);
        return last;
    };
    {
        TClientConnection psql;
        psql.Open(server->Database());
        psql.BeginTrans();
        psql.ExecuteNative(QStringLiteral("delete from operatorright where opid = 2 and privilegeid = 38 and action = 2"));
        // not yet committed: the clerk may still
        EXPECT_EQ(saveOrder(), QString());
        psql.CommitTrans();
    }
    EXPECT_EQ(settlesTo(QStringLiteral("您没有新增操作权限")).toStdString(), "您没有新增操作权限");

    // given back through a second server on the same database
    TServerProcess second(server->Database());
    ASSERT_TRUE(second.Running());
    TClientConnection admin;
    RemoteLogin(admin, second.Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    admin.Execute(QStringLiteral("insert into operatorright (opid, privilegeid, action) values (2, 38, 2)"));
    EXPECT_EQ(settlesTo(QString()).toStdString(), "");
}

// On PostgreSQL a named lock is the database's: refused to every other session, of this server or
// of another one on the same database, re-entrant for its holder, and gone with its holder's
// session, whether that ends by logging out or with its server.
TEST_F(AppServerOnPostgres, ALockIsHeldInTheDatabaseAcrossServersAndDiesWithItsSession)
{
    TServerProcess second(server->Database(), {QStringLiteral("--lease"), QStringLiteral("600")});
    ASSERT_TRUE(second.Running());
    TClientConnection holder, neighbour, across;
    RemoteLogin(holder, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    RemoteLogin(neighbour, server->Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    RemoteLogin(across, second.Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    auto take = [](TClientConnection& c, bool wait = false) { return c.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), wait); };
    auto release = [](TClientConnection& c) { c.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("release"), false); };
    auto advisoryLocks = [&] {
        return Direct(QStringLiteral("select count(*) from pg_locks where locktype = 'advisory' and granted and database = "
                                     "(select oid from pg_database where datname = current_database())"))
            .toInt();
    };

    ASSERT_TRUE(take(holder));
    EXPECT_TRUE(holder.Remote()->Lock(QStringLiteral("billlock"), QStringLiteral("take"), false)); // its holder takes it again
    EXPECT_FALSE(take(neighbour));
    EXPECT_FALSE(take(across));
    EXPECT_EQ(advisoryLocks(), 1);
    release(holder);
    EXPECT_FALSE(take(across)) << "still held once";
    release(holder);
    EXPECT_EQ(advisoryLocks(), 0);
    ASSERT_TRUE(take(across));
    EXPECT_FALSE(take(holder));
    EXPECT_FALSE(take(neighbour));

    // the other server's session logs out: its lock goes with it
    across.Close();
    EXPECT_TRUE(take(holder, true));
    release(holder);

    // a server that dies takes its sessions' locks with it
    TClientConnection again;
    RemoteLogin(again, second.Url(), QStringLiteral("clerk"), QStringLiteral("clerk"));
    ASSERT_TRUE(take(again));
    EXPECT_FALSE(take(holder));
    second.Kill();
    EXPECT_TRUE(take(holder, true));
    EXPECT_FALSE(take(neighbour));
}

INSTANTIATE_TEST_SUITE_P(Engines, AppServerOn, ::testing::Values(TSqlEngine::SQLite, TSqlEngine::PostgreSQL), EngineName);

} // namespace
