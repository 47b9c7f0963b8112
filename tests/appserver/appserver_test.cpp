// tradebill-server as the desktops use it: sessions and rights kept on the server, refusals
// logged, answers lost on the way and saves retried, many clients saving at once, a client that
// dies holding a lock. The bill-procedure tests of tests/server run here once more, through the
// server (their fixture's route is set below).
#include "tests/appserver/Relay.h"
#include "tests/appserver/ServerProcess.h"
#include "tests/server/BillClient.h"
#include "webrpc/RemoteLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QSet>

#include <atomic>
#include <thread>

namespace {

// The bill tests' fixture opens its copy through a server of its own and logs in there.
std::unique_ptr<TServerProcess>& RouteServer()
{
    static std::unique_ptr<TServerProcess> server;
    return server;
}

// The last route server stops with the test run, while the application still exists.
class TStopRouteServer : public ::testing::Environment {
public:
    void TearDown() override { RouteServer().reset(); }
};

const bool kRouted = [] {
    ::testing::AddGlobalTestEnvironment(new TStopRouteServer);
    TestDatabaseRoute().Open = [](TClientConnection& con, const QString& file) {
        RouteServer().reset();
        RouteServer() = std::make_unique<TServerProcess>(file);
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

class AppServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterServerProcedures();
        ASSERT_TRUE(dir.isValid());
        server = std::make_unique<TServerProcess>(DemoCopy(dir.path()), QStringList{QStringLiteral("--lease"), QStringLiteral("600")});
        ASSERT_TRUE(server->Running());
    }
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

    QTemporaryDir dir;
    std::unique_ptr<TServerProcess> server;
};

TEST_F(AppServer, TheServerKeepsWhoIsLoggedInAndLogsEveryRefusal)
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

TEST_F(AppServer, ALostAnswerKeepsTheEditsAndTheRetriedSaveMakesOneBill)
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

TEST_F(AppServer, EightClientsSaveTogetherWithUniqueCodesAndOneLockHolder)
{
    constexpr int kClients = 8;
    constexpr int kBills = 12;
    TClientConnection probe;
    RemoteLogin(probe, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
    TClientDataSet goodsRows;
    probe.OpenNative(QStringLiteral("select g.goodsid, u.unitid from goods g join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0 "
                                    "where g.kind = 1 and g.batchctrl = 'F' order by g.goodsid limit 4"),
                     &goodsRows);
    ASSERT_EQ(goodsRows.RecordCount(), 4);
    QVector<QPair<int, int>> goods;
    for (goodsRows.First(); !goodsRows.Eof(); goodsRows.Next())
        goods.append({goodsRows.FieldByName("goodsid")->AsInteger(), goodsRows.FieldByName("unitid")->AsInteger()});
    probe.Execute(QStringLiteral("update goods set upqty = 0, downqty = 0"));
    auto onHand = [&](int g) { return probe.ExecuteScalar(QStringLiteral("select ifnull(sum(onhand), 0) from onhand where goodsid = %1").arg(g)).toDouble(); };
    QMap<int, double> expected;
    for (const auto& g : goods)
        expected[g.first] = onHand(g.first);
    const int billsBefore = probe.ExecuteScalar(QStringLiteral("select count(*) from recieved")).toInt();

    std::atomic<int> holders{0}, overlaps{0}, lockTurns{0};
    QMutex mutex;
    QStringList codes;
    QStringList failures;
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            try {
                TClientConnection con;
                RemoteLogin(con, server->Url(), QStringLiteral("admin"), QStringLiteral("manager"));
                QRandomGenerator rnd(static_cast<quint32>(c + 1));
                for (int b = 0; b < kBills; ++b) {
                    // every third bill is saved under BILLLOCK, which one client holds at a time
                    const bool locked = b % 3 == 0;
                    if (locked) {
                        if (!con.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), true))
                            throw EDatabaseError(QStringLiteral("BILLLOCK not taken"));
                        if (++holders != 1)
                            ++overlaps;
                        ++lockTurns;
                    }
                    TBillClient bill(con, 7);
                    bill.NewBill();
                    bill.SetMaster("storeid", 1);
                    bill.SetMaster("clientid", 1);
                    QMap<int, double> added;
                    for (int l = 0, n = 1 + rnd.bounded(3); l < n; ++l) {
                        const auto& g = goods[rnd.bounded(goods.size())];
                        const int qty = 1 + rnd.bounded(9);
                        bill.AddLine({{"goodsid", g.first}, {"unitid", g.second}, {"unitqty", qty}, {"quantity", qty}, {"unitprice", 2}, {"price", 2},
                                      {"goodsamt", 2 * qty}, {"amount", 2 * qty}});
                        added[g.first] += qty;
                    }
                    const TPacketParams r = bill.SaveAccepting();
                    if (locked) {
                        --holders;
                        con.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("release"), false);
                    }
                    QMutexLocker lock(&mutex);
                    if (r.GetInt("ErrNo") != 0) {
                        failures << r.GetString("ErrMsg");
                        continue;
                    }
                    codes << con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(r.GetInt("NewBillID"))).toString();
                    for (auto it = added.cbegin(); it != added.cend(); ++it)
                        expected[it.key()] += it.value();
                }
            } catch (const Exception& e) {
                QMutexLocker lock(&mutex);
                failures << e.Message();
            }
        });
    }
    for (std::thread& t : clients)
        t.join();

    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
    EXPECT_EQ(codes.size(), kClients * kBills);
    EXPECT_EQ(QSet<QString>(codes.cbegin(), codes.cend()).size(), codes.size());
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(lockTurns.load(), kClients * ((kBills + 2) / 3));
    EXPECT_EQ(probe.ExecuteScalar(QStringLiteral("select count(*) from recieved")).toInt(), billsBefore + kClients * kBills);
    for (const auto& g : goods)
        EXPECT_DOUBLE_EQ(onHand(g.first), expected[g.first]) << "goods " << g.first;
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
}

TEST_F(AppServer, AClientKilledMidSaveLeavesNoHalfBillAndFreesItsLock)
{
    QProcess helper;
    helper.start(QStringLiteral(TB_BINARY_DIR "/tests/appserver/appserver_client_helper"), {server->Url(), QStringLiteral("HALF-1"), TServerProcess::CertFile()});
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

} // namespace
