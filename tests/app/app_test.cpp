// The desktop application's start: options, the database, the login at start and the
// application run as a process.
#include "app/AppSetup.h"
#include "host/Session.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

QStringList Args(std::initializer_list<const char*> list)
{
    QStringList out{QStringLiteral("tradebill")};
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}

TEST(AppOptions, DefaultsAndOverrides)
{
    qunsetenv("TRADEBILL_PASSWORD");
    const TAppOptions d = ParseAppOptions(Args({}), QStringLiteral("/opt/tb"));
    EXPECT_EQ(d.DemoDatabase, QStringLiteral("/opt/tb/tradebill-demo.db"));
    EXPECT_TRUE(d.Database.isEmpty());
    EXPECT_FALSE(d.HasUser());
    EXPECT_FALSE(d.HasPassword);
    const TAppOptions o = ParseAppOptions(Args({"--demo-db", "/tmp/a.db", "--database", "/tmp/b.db", "--user", "2", "--password", "",
                                                "--screenshot", "/tmp/s.png", "--open", "PorderForm", "--open", "InvoiceForm"}),
                                          QStringLiteral("/opt/tb"));
    EXPECT_EQ(o.DemoDatabase, QStringLiteral("/tmp/a.db"));
    EXPECT_EQ(o.Database, QStringLiteral("/tmp/b.db"));
    EXPECT_EQ(o.UserID, 2);
    EXPECT_TRUE(o.HasPassword);
    EXPECT_TRUE(o.Password.isEmpty());
    EXPECT_EQ(o.Screenshot, QStringLiteral("/tmp/s.png"));
    EXPECT_EQ(o.OpenForms, (QStringList{QStringLiteral("PorderForm"), QStringLiteral("InvoiceForm")}));
    const TAppOptions byName = ParseAppOptions(Args({"--user", "clerk"}), QString());
    EXPECT_EQ(byName.UserID, 0);
    EXPECT_EQ(byName.UserName, QStringLiteral("clerk"));
    for (const auto& bad : {Args({"--user"}), Args({"--user", "0"}), Args({"--user", " "}), Args({"--password"}), Args({"--bogus"})})
        EXPECT_THROW(ParseAppOptions(bad, QString()), Exception) << bad.join(QLatin1Char(' ')).toStdString();

    // the password may come from the environment, but the command line wins
    qputenv("TRADEBILL_PASSWORD", "from-env");
    EXPECT_EQ(ParseAppOptions(Args({"--user", "1"}), QString()).Password, QStringLiteral("from-env"));
    EXPECT_EQ(ParseAppOptions(Args({"--user", "1", "--password", "typed"}), QString()).Password, QStringLiteral("typed"));
    qunsetenv("TRADEBILL_PASSWORD");
}

class TAppStartTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ResetSession();
        g_DefaultCon = nullptr;
    }
    TAppOptions Demo() const
    {
        TAppOptions o;
        o.DemoDatabase = FDir.filePath(QStringLiteral("sub/demo.db"));
        return o;
    }
    QTemporaryDir FDir;
};

TEST_F(TAppStartTest, TheDemoDatabaseIsCreatedOnceAndOtherFilesMustExist)
{
    const TAppOptions o = Demo();
    std::unique_ptr<TClientConnection> con(OpenAppDatabase(o));
    EXPECT_TRUE(QFileInfo::exists(o.DemoDatabase));
    EXPECT_EQ(g_DefaultCon, con.get());
    EXPECT_EQ(g_iUserID, 0) << "nobody is logged in before the password is checked";
    // The standard print templates are stored, not left for the first print to make up.
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select count(*) from report where data is null or length(data) = 0")).toInt(), 0);
    EXPECT_GT(con->ExecuteScalar(QStringLiteral("select count(*) from report")).toInt(), 30);
    con->Execute(QStringLiteral("update goods set name = 'kept' where goodsid = (select min(goodsid) from goods)"));
    con.reset();

    con.reset(OpenAppDatabase(o)); // second start: same data, no refill
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select name from goods where goodsid = (select min(goodsid) from goods)")).toString(),
              QStringLiteral("kept"));
    con.reset();

    TAppOptions other;
    other.Database = FDir.filePath(QStringLiteral("missing.db"));
    EXPECT_THROW(OpenAppDatabase(other), Exception);
}

TEST_F(TAppStartTest, UserAndPasswordLogInWithoutAskingAndAWrongOneStopsTheStart)
{
    std::unique_ptr<TClientConnection> con(OpenAppDatabase(Demo()));
    TAppOptions o = Demo();
    EXPECT_EQ(LoginFromOptions(o, con.get()), TStartLogin::AskUser);
    o.UserName = QStringLiteral("clerk");
    EXPECT_EQ(LoginFromOptions(o, con.get()), TStartLogin::AskUser) << "a user without a password is asked for it";
    EXPECT_EQ(PreselectedOperator(o, con.get()), 2);

    o.HasPassword = true;
    o.Password = QStringLiteral("manager");
    try {
        LoginFromOptions(o, con.get());
        ADD_FAILURE() << "the manager's password let the clerk in";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("密码不正确"))) << e.what();
    }
    EXPECT_EQ(g_iUserID, 0);
    EXPECT_FALSE(con->Session().LoggedIn());

    o.Password = QStringLiteral("clerk");
    EXPECT_EQ(LoginFromOptions(o, con.get()), TStartLogin::LoggedIn);
    EXPECT_EQ(g_iUserID, 2);
    EXPECT_EQ(con->Session().OpID, 2);
}

TEST_F(TAppStartTest, ANewEmptyDatabaseStartsWithAnAdministratorWithoutAPassword)
{
    TAppOptions o;
    o.Database = FDir.filePath(QStringLiteral("empty.db"));
    QFile f(o.Database);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    std::unique_ptr<TClientConnection> con(OpenAppDatabase(o));
    EXPECT_EQ(con->ExecuteScalar(QStringLiteral("select count(*) from goods")).toInt(), 0);
    o.UserID = 1;
    o.HasPassword = true;
    EXPECT_EQ(LoginFromOptions(o, con.get()), TStartLogin::MustSetPassword);
    EXPECT_EQ(g_iUserID, 1);
    EXPECT_EQ(g_iSysManager, 1);
}

// ---------------------------------------------------------------- the process

class TAppProcessTest : public ::testing::Test {
protected:
    // Runs the application headless; returns its exit code.
    int Run(const QStringList& args, const QByteArray& password = QByteArray())
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("TRADEBILL_PASSWORD"));
        if (!password.isNull())
            env.insert(QStringLiteral("TRADEBILL_PASSWORD"), QString::fromUtf8(password));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TB_APP_EXE), QStringList{QStringLiteral("--demo-db"), FDir.filePath(QStringLiteral("demo.db"))} + args);
        EXPECT_TRUE(p.waitForFinished(120000));
        FErr = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }
    QString Png(const char* name) const { return FDir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir FDir;
    QString FErr;
};

TEST_F(TAppProcessTest, ScreenshotRendersTheMainWindowAfterTheLoginAndUnknownFormsAreTold)
{
    ASSERT_EQ(Run({QStringLiteral("--user"), QStringLiteral("1"), QStringLiteral("--open"), QStringLiteral("NoSuchForm"),
                   QStringLiteral("--open"), QStringLiteral("PorderForm"), QStringLiteral("--screenshot"), Png("main.png")},
                  "manager"),
              0)
        << FErr.toStdString();
    QImage img(Png("main.png"));
    ASSERT_FALSE(img.isNull());
    EXPECT_GE(img.width(), 800);
    EXPECT_TRUE(FErr.contains(QStringLiteral("NoSuchForm"))) << FErr.toStdString();
    EXPECT_FALSE(FErr.contains(QStringLiteral("PorderForm"))) << FErr.toStdString();
}

TEST_F(TAppProcessTest, WithoutAPasswordTheLoginWindowIsWhatTheUserSees)
{
    ASSERT_EQ(Run({QStringLiteral("--user"), QStringLiteral("clerk"), QStringLiteral("--screenshot"), Png("login.png")}), 0)
        << FErr.toStdString();
    QImage img(Png("login.png"));
    ASSERT_FALSE(img.isNull());
    EXPECT_LT(img.width(), 800) << "the main window was shown without a login";
}

} // namespace
