#include "HostFixture.h"

#include "server/Procedures.h"

#include <QTemporaryDir>

#include <QProcess>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <thread>

using SessionTest = THostDbTest;

TEST_F(SessionTest, LoginReadsTheOperatorAndItsBranch)
{
    ASSERT_TRUE(LoginAs(2));
    EXPECT_EQ(g_iUserID, 2);
    EXPECT_EQ(g_asUserName, QStringLiteral("张三"));
    EXPECT_EQ(g_iSysManager, 0);
    EXPECT_EQ(AccSetData.ShopID, 2);
    EXPECT_EQ(AccSetData.ShopName, QStringLiteral("东区分店"));
    EXPECT_TRUE(AccSetData.WorkDate.isValid());

    ASSERT_TRUE(LoginAs(1));
    EXPECT_EQ(g_iSysManager, 1);
    EXPECT_EQ(AccSetData.ShopID, 0);
    EXPECT_TRUE(AccSetData.ShopName.isEmpty());

    // Unknown and closed operators are refused and leave the session as it was.
    EXPECT_FALSE(LoginAs(99));
    EXPECT_FALSE(LoginAs(3));
    EXPECT_EQ(g_iUserID, 1);
}

TEST_F(SessionTest, PrivilegesOfManagerAndClerk)
{
    ASSERT_TRUE(LoginAs(1));
    EXPECT_TRUE(GetUPrivilegeItem(12345, paRed));
    EXPECT_EQ(GetUserPrivilege(38).size(), 8);

    ASSERT_TRUE(LoginAs(2));
    EXPECT_TRUE(GetUPrivilegeItem(38, paBrowse));
    EXPECT_TRUE(GetUPrivilegeItem(38, paNew));
    EXPECT_FALSE(GetUPrivilegeItem(38, paDelete));
    EXPECT_FALSE(GetUPrivilegeItem(39, paBrowse));
    EXPECT_EQ(GetUserPrivilege(38), (TPrivilegeSet{paBrowse, paNew}));
    EXPECT_TRUE(GetUserPrivilege(1000).isEmpty());

    TScriptedMessages msgs;
    EXPECT_TRUE(HasNewPrivilege2(21, paBrowse, true));
    EXPECT_FALSE(HasNewPrivilege2(227, paSpecial, false));
    EXPECT_EQ(msgs.Count(), 0);
    EXPECT_FALSE(HasNewPrivilege2(38, paRed, true));
    ASSERT_EQ(msgs.Count(), 1);
    EXPECT_EQ(msgs.Last().Text, QStringLiteral("您没有该项操作权限！"));
    EXPECT_EQ(msgs.Last().Caption, QStringLiteral("提示"));
}

TEST_F(SessionTest, RightsAreCachedUntilReloaded)
{
    ASSERT_TRUE(LoginAs(2));
    EXPECT_FALSE(GetUPrivilegeItem(38, paPrint));
    Grant(2, 38, paPrint);
    EXPECT_FALSE(GetUPrivilegeItem(38, paPrint)); // cached
    ReloadPrivileges();
    EXPECT_TRUE(GetUPrivilegeItem(38, paPrint));
}

TEST_F(SessionTest, BootUnitFlagsFollowTheRights)
{
    ASSERT_TRUE(LoginAs(2));
    int calls = 0;
    QWidget form;
    TBootUnitImpl boot(&form, 38, [&calls](TBootUnitImpl*) { ++calls; });
    EXPECT_EQ(boot.Form(), &form);
    EXPECT_TRUE(boot.New);
    EXPECT_FALSE(boot.Edit);
    EXPECT_FALSE(boot.Delete);
    EXPECT_FALSE(boot.Print);
    EXPECT_FALSE(boot.ReadOnly());
    boot.SetReadOnly(true);
    boot.SetReadOnly(true); // no change, no callback
    EXPECT_EQ(calls, 1);
    boot.SetEditMenuEnabled(true);
    EXPECT_TRUE(boot.EditMenuEnabled());
    EXPECT_EQ(calls, 2);

    ASSERT_TRUE(LoginAs(1));
    boot.Refresh();
    EXPECT_TRUE(boot.Edit && boot.Delete && boot.Print);
}

TEST_F(SessionTest, AccountOptionsAreCachedAndMissingKeysAreEmpty)
{
    EXPECT_EQ(GetAccOptionValue(QStringLiteral("BILLPRINTAFTERSAVE")), QStringLiteral("1"));
    EXPECT_EQ(GetAccOptionValue(QStringLiteral("saleinctaxrate")), QStringLiteral("17"));
    EXPECT_EQ(GetAccOptionValue(QStringLiteral("EMPTY")), QString());
    EXPECT_EQ(GetAccOptionValue(QStringLiteral("NOSUCHKEY")), QString());
    FCon->Execute(QStringLiteral("update accoption set optionvalue = '0' where optionkey = 'BILLPRINTAFTERSAVE'"));
    EXPECT_EQ(GetAccOptionValue(QStringLiteral("BILLPRINTAFTERSAVE")), QStringLiteral("1"));
    ReloadAccOptions();
    EXPECT_EQ(GetAccOptionValue(QStringLiteral("BILLPRINTAFTERSAVE")), QStringLiteral("0"));
}

TEST_F(SessionTest, NewBillTimeCombinesTheWorkingDate)
{
    AccSetData.WorkDate = QDate(2024, 3, 15);
    g_dtNewBillTime = QDateTime(QDate(2000, 1, 1), QTime(9, 30, 0));
    EXPECT_EQ(NewBillDateTime(), QDateTime(QDate(2024, 3, 15), QTime(9, 30, 0)));
}

TEST_F(SessionTest, LocksAreReentrantWithinAProcess)
{
    EXPECT_TRUE(LockFileName(QStringLiteral("BILLLOCK")).startsWith(DatabaseFile() + "."));
    EXPECT_EQ(LockFileName(QStringLiteral("billlock")), LockFileName(QStringLiteral("BILLLOCK")));
    EXPECT_FALSE(LockFileName(QStringLiteral("../x y")).contains(QStringLiteral("../")));

    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), true));
    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), true));
    EXPECT_TRUE(HoldsLock(QStringLiteral("BILLLOCK")));
    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), false));
    EXPECT_TRUE(HoldsLock(QStringLiteral("BILLLOCK")));
    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), false));
    EXPECT_FALSE(HoldsLock(QStringLiteral("BILLLOCK")));
    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), false)); // releasing a free lock is harmless
}

namespace {
// Starts the helper holding the lock and waits for its "LOCKED".
bool StartLockHolder(QProcess& p, const QString& db, const QString& name)
{
    p.start(QStringLiteral(TB_HOST_HELPER), {QStringLiteral("lock"), db, name});
    if (!p.waitForStarted(10000) || !p.waitForReadyRead(10000))
        return false;
    return p.readAllStandardOutput().trimmed() == "LOCKED";
}
} // namespace

TEST_F(SessionTest, ALockHeldByAnotherProcessIsRefusedUntilItDies)
{
    QProcess holder;
    ASSERT_TRUE(StartLockHolder(holder, DatabaseFile(), QStringLiteral("BILLLOCK")));
    EXPECT_FALSE(SetLock(QStringLiteral("BILLLOCK"), true, false));
    EXPECT_FALSE(HoldsLock(QStringLiteral("BILLLOCK")));
    EXPECT_TRUE(SetLock(QStringLiteral("OTHERLOCK"), true, false)); // names are independent
    SetLock(QStringLiteral("OTHERLOCK"), false);

    // Waiting gives up after the timeout while the holder lives.
    SetLockWaitTimeout(300);
    EXPECT_FALSE(SetLock(QStringLiteral("BILLLOCK"), true, true));

    // A killed holder leaves no stale lock behind.
    holder.kill();
    holder.waitForFinished(10000);
    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), true, false));

    // And while this process holds it, another process cannot take it.
    QProcess second;
    second.start(QStringLiteral(TB_HOST_HELPER), {QStringLiteral("lock"), DatabaseFile(), QStringLiteral("BILLLOCK")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.readAllStandardOutput().trimmed(), "BUSY");
    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), false));
    SetLockWaitTimeout(10000);
}

TEST_F(SessionTest, WaitingForALockSucceedsWhenTheHolderLetsGo)
{
    QProcess holder;
    ASSERT_TRUE(StartLockHolder(holder, DatabaseFile(), QStringLiteral("BILLLOCK")));
    // The wait loop does not run the event loop, so end the holder from a thread instead.
    std::thread killer([&holder] {
        QThread::msleep(300);
        ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    });
    EXPECT_TRUE(SetLock(QStringLiteral("BILLLOCK"), true, true));
    killer.join();
    holder.waitForFinished(10000);
    SetLock(QStringLiteral("BILLLOCK"), false);
}

TEST_F(SessionTest, NewKeysAreUniqueAcrossProcesses)
{
    RegisterServerProcedures();
    const int first = GetNewKeyValue(QStringLiteral("porder"), QStringLiteral("orderid"));
    EXPECT_EQ(GetNewKeyValue(QStringLiteral("porder"), QStringLiteral("orderid")), first + 1);

    QSet<int> keys;
    QProcess a, b;
    const QStringList args{QStringLiteral("keys"), DatabaseFile(), QStringLiteral("porder"), QStringLiteral("50")};
    a.start(QStringLiteral(TB_HOST_HELPER), args);
    b.start(QStringLiteral(TB_HOST_HELPER), args);
    for (int i = 0; i < 50; ++i)
        keys.insert(GetNewKeyValue(QStringLiteral("porder")));
    ASSERT_TRUE(a.waitForFinished(30000));
    ASSERT_TRUE(b.waitForFinished(30000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    int drawn = 50;
    for (QProcess* p : {&a, &b})
        for (const QByteArray& line : p->readAllStandardOutput().split('\n'))
            if (!line.trimmed().isEmpty()) {
                keys.insert(line.trimmed().toInt());
                ++drawn;
            }
    EXPECT_EQ(drawn, 150);
    EXPECT_EQ(keys.size(), 150); // no key handed out twice
}

// The demo database of the server: manager (1) and clerk (2).
class DemoDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FCon.Open(FDir.filePath(QStringLiteral("demo.db")));
        g_DefaultCon = &FCon;
        InitializeDatabase(FCon, true);
        ResetSession();
    }
    void TearDown() override
    {
        FreeLookupTables();
        ResetSession();
        g_DefaultCon = nullptr;
    }
    QTemporaryDir FDir;
    TClientConnection FCon;
};

TEST_F(DemoDbTest, ManagerHasEveryRightAndTheClerkOnlyHers)
{
    ASSERT_TRUE(LoginAs(1));
    EXPECT_EQ(g_iSysManager, 1);
    EXPECT_TRUE(GetUPrivilegeItem(33, paDelete));
    EXPECT_TRUE(GetUPrivilegeItem(34, paRed));

    ASSERT_TRUE(LoginAs(2));
    EXPECT_EQ(g_iSysManager, 0);
    EXPECT_EQ(GetUserPrivilege(34), (TPrivilegeSet{paBrowse, paNew, paPrint}));
    EXPECT_FALSE(GetUPrivilegeItem(34, paEdit));
    EXPECT_FALSE(GetUPrivilegeItem(33, paBrowse));
    EXPECT_FALSE(AccSetData.ShopName.isEmpty());

    // Every lookup has rows to offer on the demo data where the bills need them.
    for (const char* name : {"Employ_T", "Department_T", "Bank_T", "Vendor_T", "Client_T", "Store_T", "Operator"}) {
        TClientDataSet* ds = GetLookupDataSet(QString::fromLatin1(name));
        ASSERT_NE(ds, nullptr) << name;
        EXPECT_GT(ds->RecordCount(), 0) << name;
    }
}

TEST_F(DemoDbTest, LoginReadsTheAccountSetAndItsCurrentPeriod)
{
    FCon.Execute(QStringLiteral("update accperiod set iscurrent = 0"));
    FCon.Execute(QStringLiteral("insert into accperiod (periodid, year, month, startdate, enddate, iscurrent) "
                                "values (9999, 2031, 2, '2031-02-01 00:00:00', '2031-02-28 00:00:00', 1)"));
    FCon.Execute(QStringLiteral("update accinfo set bindledger = 1, useshop = 1"));
    ASSERT_TRUE(LoginAs(1));
    EXPECT_TRUE(AccSetData.Bind);
    EXPECT_TRUE(AccSetData.Online); // the demo company has two shops
    EXPECT_FALSE(AccSetData.AccountName.isEmpty());
    EXPECT_EQ(AccSetData.PeriodStart, QDate(2031, 2, 1));
    EXPECT_EQ(AccSetData.PeriodEnd, QDate(2031, 2, 28));

    ResetSession();
    FCon.Execute(QStringLiteral("update accinfo set bindledger = 0, useshop = 0"));
    ASSERT_TRUE(LoginAs(1));
    EXPECT_FALSE(AccSetData.Bind);
    EXPECT_FALSE(AccSetData.Online);
}
