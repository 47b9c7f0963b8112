#include "app/AppSetup.h"
#include "host/Session.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(AppOptions, DefaultsAndOverrides)
{
    const TAppOptions d = ParseAppOptions({QStringLiteral("tradebill")}, QStringLiteral("/opt/tb"));
    EXPECT_EQ(d.DemoDatabase, QStringLiteral("/opt/tb/tradebill-demo.db"));
    EXPECT_TRUE(d.Database.isEmpty());
    EXPECT_EQ(d.UserID, 1);
    const TAppOptions o = ParseAppOptions({QStringLiteral("tradebill"), QStringLiteral("--demo-db"), QStringLiteral("/tmp/a.db"),
                                           QStringLiteral("--database"), QStringLiteral("/tmp/b.db"), QStringLiteral("--user"),
                                           QStringLiteral("2"), QStringLiteral("--screenshot"), QStringLiteral("/tmp/s.png"),
                                           QStringLiteral("--open"), QStringLiteral("PorderForm"), QStringLiteral("--open"), QStringLiteral("InvoiceForm")},
                                          QStringLiteral("/opt/tb"));
    EXPECT_EQ(o.DemoDatabase, QStringLiteral("/tmp/a.db"));
    EXPECT_EQ(o.Database, QStringLiteral("/tmp/b.db"));
    EXPECT_EQ(o.UserID, 2);
    EXPECT_EQ(o.Screenshot, QStringLiteral("/tmp/s.png"));
    EXPECT_EQ(o.OpenForms, (QStringList{QStringLiteral("PorderForm"), QStringLiteral("InvoiceForm")}));
    EXPECT_THROW(ParseAppOptions({QStringLiteral("tradebill"), QStringLiteral("--user")}, QString()), Exception);
    EXPECT_THROW(ParseAppOptions({QStringLiteral("tradebill"), QStringLiteral("--user"), QStringLiteral("x")}, QString()), Exception);
    EXPECT_THROW(ParseAppOptions({QStringLiteral("tradebill"), QStringLiteral("--bogus")}, QString()), Exception);
}

TEST(AppStart, DemoDatabaseIsCreatedOnceAndOtherFilesMustExist)
{
    QTemporaryDir dir;
    TAppOptions o;
    o.DemoDatabase = dir.filePath(QStringLiteral("sub/demo.db"));
    std::unique_ptr<TClientConnection> con(StartSession(o));
    EXPECT_TRUE(QFileInfo::exists(o.DemoDatabase));
    EXPECT_EQ(g_iUserID, 1);
    // The standard print templates are stored, not left for the first print to make up.
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select count(*) from report where data is null or length(data) = 0")).toInt(), 0);
    EXPECT_GT(con->ExecuteScalar(QStringLiteral("select count(*) from report")).toInt(), 30);
    con->Execute(QStringLiteral("update goods set name = 'kept' where goodsid = (select min(goodsid) from goods)"));
    con.reset();

    con.reset(StartSession(o)); // second start: same data, no refill
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select name from goods where goodsid = (select min(goodsid) from goods)")).toString(),
              QStringLiteral("kept"));
    con.reset();

    TAppOptions other;
    other.Database = dir.filePath(QStringLiteral("missing.db"));
    EXPECT_THROW(StartSession(other), Exception);
    TAppOptions nobody = o;
    nobody.UserID = 4242;
    EXPECT_THROW(StartSession(nobody), Exception);
    EXPECT_EQ(g_DefaultCon, nullptr);
}

TEST(AppStart, ScreenshotRendersTheMainWindowHeadless)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("main.png"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TB_APP_EXE), {QStringLiteral("--demo-db"), dir.filePath(QStringLiteral("demo.db")), QStringLiteral("--open"),
                                         QStringLiteral("PorderForm"), QStringLiteral("--screenshot"), png});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QImage img(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_GE(img.width(), 800);
}

} // namespace
