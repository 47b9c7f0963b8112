// Logging in: passwords are checked by the server against salted hashes, the connection's
// session follows the login, operators change their passwords, and a new database starts
// with an administrator who sets one at the first start.
#include "tests/support/DemoDb.h"

#include "host/LoginDialog.h"
#include "server/Login.h"
#include "server/Procedures.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

TPacketParams Invoke(TClientConnection& con, const QString& method, const TPacketParams& request)
{
    TPacketParams reply;
    reply.LoadFromString(con.Proxy()->Invoke(method, request.ToString()));
    return reply;
}

TPacketParams ServerLogin(TClientConnection& con, const QVariant& who, const QString& password)
{
    TPacketParams r;
    if (who.typeId() == QMetaType::Int)
        r.Set(QStringLiteral("OpID"), who.toInt());
    else
        r.Set(QStringLiteral("OpName"), who.toString());
    r.Set(QStringLiteral("Password"), password);
    return Invoke(con, QStringLiteral("Login"), r);
}

TPacketParams SetPassword(TClientConnection& con, int opid, const QString& oldPassword, const QString& newPassword)
{
    TPacketParams r;
    if (opid > 0)
        r.Set(QStringLiteral("OpID"), opid);
    r.Set(QStringLiteral("OldPassword"), oldPassword);
    r.Set(QStringLiteral("NewPassword"), newPassword);
    return Invoke(con, QStringLiteral("SetPassword"), r);
}

bool HasChinese(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

class TLoginTest : public TDemoDbTest {
protected:
    QString StoredHash(int opid)
    {
        return Scalar(QStringLiteral("select pwhash from operator where opid = %1").arg(opid)).toString();
    }
};

TEST_F(TLoginTest, DemoOperatorsLogInWithTheirPasswordsAndTheSessionFollows)
{
    Con().SetSession(TServerSession());
    TPacketParams r = ServerLogin(Con(), 1, QStringLiteral("manager"));
    ASSERT_EQ(r.GetInt(QStringLiteral("ErrNo")), 0) << r.GetString(QStringLiteral("ErrMsg")).toStdString();
    EXPECT_EQ(r.GetInt(QStringLiteral("OpID")), 1);
    EXPECT_EQ(r.GetString(QStringLiteral("OpName")), QStringLiteral("管理员"));
    EXPECT_EQ(r.GetInt(QStringLiteral("ShopID")), 1);
    EXPECT_TRUE(r.GetBool(QStringLiteral("SysManager")));
    EXPECT_FALSE(r.GetBool(QStringLiteral("MustSetPassword")));
    EXPECT_EQ(Con().Session().OpID, 1);
    EXPECT_TRUE(Con().Session().SysManager);

    // by name and by code, which are what people type
    for (const QString& who : {QStringLiteral("店员"), QStringLiteral("CLERK")}) {
        r = ServerLogin(Con(), who, QStringLiteral("clerk"));
        ASSERT_EQ(r.GetInt(QStringLiteral("ErrNo")), 0) << who.toStdString();
        EXPECT_EQ(r.GetInt(QStringLiteral("OpID")), 2);
        EXPECT_FALSE(r.GetBool(QStringLiteral("SysManager")));
        EXPECT_EQ(Con().Session().OpID, 2);
        EXPECT_FALSE(Con().Session().SysManager);
    }
}

TEST_F(TLoginTest, RefusedLoginsLeaveNobodyLoggedIn)
{
    Con().Execute(QStringLiteral("update operator set closed = 'T' where opid = 2"));
    struct Attempt {
        QVariant Who;
        QString Password;
        QString Says;
    };
    const Attempt attempts[] = {
        {1, QStringLiteral("Manager"), QStringLiteral("密码不正确")},
        {1, QString(), QStringLiteral("密码不正确")},
        {QStringLiteral("nobody"), QStringLiteral("manager"), QStringLiteral("密码不正确")},
        {4242, QStringLiteral("manager"), QStringLiteral("密码不正确")},
        {2, QStringLiteral("clerk"), QStringLiteral("已停用")},
    };
    for (const Attempt& a : attempts) {
        SCOPED_TRACE(a.Who.toString().toStdString() + " / " + a.Password.toStdString());
        ASSERT_EQ(ServerLogin(Con(), 1, QStringLiteral("manager")).GetInt(QStringLiteral("ErrNo")), 0);
        ASSERT_TRUE(Con().Session().LoggedIn());
        const TPacketParams r = ServerLogin(Con(), a.Who, a.Password);
        EXPECT_EQ(r.GetInt(QStringLiteral("ErrNo")), 1);
        EXPECT_TRUE(r.GetString(QStringLiteral("ErrMsg")).contains(a.Says)) << r.GetString(QStringLiteral("ErrMsg")).toStdString();
        EXPECT_TRUE(HasChinese(r.GetString(QStringLiteral("ErrMsg"))));
        EXPECT_FALSE(Con().Session().LoggedIn());
    }
    // a closed operator's status is not told to someone who does not know the password
    const TPacketParams r = ServerLogin(Con(), 2, QStringLiteral("guess"));
    EXPECT_FALSE(r.GetString(QStringLiteral("ErrMsg")).contains(QStringLiteral("停用")));
}

TEST_F(TLoginTest, PasswordsAreStoredAsSaltedArgon2Hashes)
{
    for (int opid : {1, 2}) {
        const QString hash = StoredHash(opid);
        EXPECT_TRUE(hash.startsWith(QStringLiteral("$argon2id$"))) << hash.toStdString();
        EXPECT_FALSE(hash.contains(QStringLiteral("manager")));
        EXPECT_FALSE(hash.contains(QStringLiteral("clerk")));
    }
    EXPECT_EQ(Scalar(QStringLiteral("select count(*) from pragma_table_info('operator') where name = 'password'")).toInt(), 0);
    // the same password twice gives two different hashes, both verifying
    ASSERT_EQ(SetPassword(Con(), 2, QString(), QStringLiteral("same")).GetInt(QStringLiteral("ErrNo")), 0);
    ASSERT_EQ(SetPassword(Con(), 1, QStringLiteral("manager"), QStringLiteral("same")).GetInt(QStringLiteral("ErrNo")), 0);
    EXPECT_NE(StoredHash(1), StoredHash(2));
    EXPECT_TRUE(VerifyPassword(StoredHash(1), QStringLiteral("same")));
    EXPECT_TRUE(VerifyPassword(StoredHash(2), QStringLiteral("same")));
    EXPECT_FALSE(VerifyPassword(StoredHash(2), QStringLiteral("Same")));
    EXPECT_FALSE(VerifyPassword(QString(), QString()));
    EXPECT_FALSE(VerifyPassword(QStringLiteral("same"), QStringLiteral("same")));
}

TEST_F(TLoginTest, OperatorsChangeTheirOwnPasswordsAndOnlyAManagerSetsOthers)
{
    ASSERT_EQ(ServerLogin(Con(), 2, QStringLiteral("clerk")).GetInt(QStringLiteral("ErrNo")), 0);
    TPacketParams r = SetPassword(Con(), 0, QStringLiteral("wrong"), QStringLiteral("新密码1"));
    EXPECT_EQ(r.GetInt(QStringLiteral("ErrNo")), 1);
    EXPECT_TRUE(r.GetString(QStringLiteral("ErrMsg")).contains(QStringLiteral("原密码不正确")));
    r = SetPassword(Con(), 1, QStringLiteral("clerk"), QStringLiteral("hijack"));
    EXPECT_EQ(r.GetInt(QStringLiteral("ErrNo")), 1);
    EXPECT_TRUE(r.GetString(QStringLiteral("ErrMsg")).contains(QStringLiteral("系统管理员"))) << r.GetString(QStringLiteral("ErrMsg")).toStdString();
    EXPECT_EQ(ServerLogin(Con(), 1, QStringLiteral("manager")).GetInt(QStringLiteral("ErrNo")), 0);

    ASSERT_EQ(ServerLogin(Con(), 2, QStringLiteral("clerk")).GetInt(QStringLiteral("ErrNo")), 0);
    r = SetPassword(Con(), 0, QStringLiteral("clerk"), QString());
    EXPECT_EQ(r.GetInt(QStringLiteral("ErrNo")), 1);
    EXPECT_TRUE(r.GetString(QStringLiteral("ErrMsg")).contains(QStringLiteral("不能为空")));
    // a password no packet can carry never leaves the client
    EXPECT_TRUE(ChangePassword(&Con(), 0, QStringLiteral("clerk"), QStringLiteral("a") + QChar(0x07)).contains(QStringLiteral("U+0007")));
    EXPECT_EQ(SetPassword(Con(), 0, QStringLiteral("clerk"), QStringLiteral("新密码1")).GetInt(QStringLiteral("ErrNo")), 0);
    EXPECT_EQ(ServerLogin(Con(), 2, QStringLiteral("clerk")).GetInt(QStringLiteral("ErrNo")), 1);
    EXPECT_EQ(ServerLogin(Con(), 2, QStringLiteral("新密码1")).GetInt(QStringLiteral("ErrNo")), 0);

    // the manager sets the clerk's without knowing it
    ASSERT_EQ(ServerLogin(Con(), 1, QStringLiteral("manager")).GetInt(QStringLiteral("ErrNo")), 0);
    EXPECT_EQ(SetPassword(Con(), 2, QString(), QStringLiteral("reset")).GetInt(QStringLiteral("ErrNo")), 0);
    EXPECT_EQ(ServerLogin(Con(), 2, QStringLiteral("reset")).GetInt(QStringLiteral("ErrNo")), 0);

    Con().SetSession(TServerSession());
    r = SetPassword(Con(), 2, QStringLiteral("reset"), QStringLiteral("x"));
    EXPECT_EQ(r.GetInt(QStringLiteral("ErrNo")), 1);
    EXPECT_TRUE(r.GetString(QStringLiteral("ErrMsg")).contains(QStringLiteral("请先登录")));
}

TEST_F(TLoginTest, WeakerHashesAreUpgradedAtTheNextLogin)
{
    const QByteArray before = qgetenv("TRADEBILL_PWHASH_FAST");
    qputenv("TRADEBILL_PWHASH_FAST", "1");
    ASSERT_EQ(SetPassword(Con(), 2, QString(), QStringLiteral("quick")).GetInt(QStringLiteral("ErrNo")), 0);
    const QString weak = StoredHash(2);
    EXPECT_TRUE(weak.contains(QStringLiteral("m=8,"))) << weak.toStdString();
    qunsetenv("TRADEBILL_PWHASH_FAST");
    EXPECT_TRUE(PasswordNeedsRehash(weak));
    EXPECT_EQ(ServerLogin(Con(), 2, QStringLiteral("quick")).GetInt(QStringLiteral("ErrNo")), 0);
    const QString strong = StoredHash(2);
    EXPECT_TRUE(strong.contains(QStringLiteral("m=65536,"))) << strong.toStdString();
    EXPECT_FALSE(PasswordNeedsRehash(strong));
    EXPECT_TRUE(VerifyPassword(strong, QStringLiteral("quick")));
    if (!before.isNull())
        qputenv("TRADEBILL_PWHASH_FAST", before);
}

TEST_F(TLoginTest, TheLoginWindowListsTheOperatorsButNoHashes)
{
    Con().Execute(QStringLiteral("insert into operator (opid, code, opname, closed) values (9, 'gone', '离职员工', 'T')"));
    const QString raw = Con().Proxy()->Invoke(QStringLiteral("GetLoginInfo"), TPacketParams().ToString());
    EXPECT_FALSE(raw.contains(QStringLiteral("argon2")));
    EXPECT_FALSE(raw.contains(QStringLiteral("pwhash")));
    const TLoginInfo info = ReadLoginInfo(&Con());
    EXPECT_FALSE(info.AccountName.isEmpty());
    ASSERT_EQ(info.Operators.size(), 2);
    EXPECT_EQ(info.Operators[0].Name, QStringLiteral("管理员"));
    EXPECT_EQ(info.Operators[1].Code, QStringLiteral("clerk"));
    EXPECT_TRUE(info.Operators[1].HasPassword);
}

// ---------------------------------------------------------------- the windows

TEST_F(TLoginTest, TheLoginWindowStaysOpenOnARefusalAndAcceptsTheRightPassword)
{
    ResetSession();
    TLoginDialog d(&Con());
    const QString account = Scalar(QStringLiteral("select accname from accinfo")).toString();
    ASSERT_FALSE(account.isEmpty());
    EXPECT_EQ(d.AccountText(), QStringLiteral("账套：") + account);
    ASSERT_EQ(d.OperatorBox()->count(), 2);
    EXPECT_TRUE(d.OperatorBox()->itemText(1).contains(QStringLiteral("店员")));
    d.SelectOperator(2);
    EXPECT_EQ(d.SelectedOperator(), 2);

    // a wrong password, and one that no packet can carry: told in the window, nobody let in
    for (const QString& wrong : {QStringLiteral("manager"), QStringLiteral("cl") + QChar(0)}) {
        d.PasswordEdit()->setText(wrong);
        d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(d.ErrorText().isEmpty());
        EXPECT_TRUE(d.PasswordEdit()->text().isEmpty());
        EXPECT_EQ(g_iUserID, 0);
        EXPECT_FALSE(Con().Session().LoggedIn());
    }
    EXPECT_TRUE(d.ErrorText().contains(QStringLiteral("U+0000"))) << d.ErrorText().toStdString();

    d.PasswordEdit()->setText(QStringLiteral("clerk"));
    d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_FALSE(d.MustSetPassword());
    EXPECT_EQ(g_iUserID, 2);
    EXPECT_EQ(g_asUserName, QStringLiteral("店员"));
    EXPECT_EQ(g_iSysManager, 0);
    EXPECT_EQ(Con().Session().OpID, 2);
}

TEST_F(TLoginTest, CancellingTheLoginLeavesNobodyLoggedIn)
{
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("LoginForm"), [](QDialog*) { return int(QDialog::Rejected); });
    EXPECT_FALSE(LoginInteractively(&Con(), 1));
    EXPECT_EQ(g_iUserID, 0);
    EXPECT_FALSE(Con().Session().LoggedIn());
}

TEST_F(TLoginTest, TheMainWindowLetsTheOperatorChangeTheirPassword)
{
    ASSERT_TRUE(LoginWithPassword(&Con(), 2, QString(), QStringLiteral("clerk")).Ok);
    TMainWindow w;
    QAction* item = w.FindMenuAction(QStringLiteral("系统"), QStringLiteral("修改密码..."));
    ASSERT_NE(item, nullptr);
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("SetPasswordForm"), [](QDialog* dlg) {
        auto* d = static_cast<TSetPasswordDialog*>(dlg);
        EXPECT_NE(d->OldPasswordEdit(), nullptr);
        d->OldPasswordEdit()->setText(QStringLiteral("wrong"));
        d->NewPasswordEdit()->setText(QStringLiteral("柜台2号"));
        d->ConfirmEdit()->setText(QStringLiteral("柜台2号"));
        d->TrySave();
        EXPECT_TRUE(d->ErrorText().contains(QStringLiteral("原密码不正确")));
        d->OldPasswordEdit()->setText(QStringLiteral("clerk"));
        d->TrySave();
        return d->result();
    });
    item->trigger();
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_TRUE(msgs.Contains(QStringLiteral("密码已修改")));
    EXPECT_FALSE(LoginWithPassword(&Con(), 2, QString(), QStringLiteral("clerk")).Ok);
    EXPECT_TRUE(LoginWithPassword(&Con(), 2, QString(), QStringLiteral("柜台2号")).Ok);
}

// A new empty database: the administrator exists, logs in without a password and must set
// one before going on.
class TNewDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterServerProcedures();
        ASSERT_TRUE(FDir.isValid());
        FCon.Open(FDir.filePath(QStringLiteral("new.db")));
        ASSERT_TRUE(InitializeDatabase(FCon, false));
        g_DefaultCon = &FCon;
        ResetSession();
    }
    void TearDown() override
    {
        ResetSession();
        g_DefaultCon = nullptr;
    }
    QTemporaryDir FDir;
    TClientConnection FCon;
};

TEST_F(TNewDatabaseTest, TheAdministratorSetsAPasswordAtTheFirstStart)
{
    EXPECT_EQ(FCon.ExecuteScalar(QStringLiteral("select count(*) from operator")).toInt(), 1);
    EXPECT_EQ(FCon.ExecuteScalar(QStringLiteral("select issysmanager from operator where opid = 1")).toInt(), 1);
    const TLoginInfo info = ReadLoginInfo(&FCon);
    ASSERT_EQ(info.Operators.size(), 1);
    EXPECT_FALSE(info.Operators[0].HasPassword);

    TScriptedMessages msgs;
    QString hint;
    msgs.OnModal(QStringLiteral("LoginForm"), [&](QDialog* dlg) {
        auto* d = static_cast<TLoginDialog*>(dlg);
        hint = d->findChild<QLabel*>(QStringLiteral("lbHint"))->text();
        d->PasswordEdit()->setText(QStringLiteral("typed"));
        d->TryLogin(); // refused: the administrator has no password yet
        EXPECT_FALSE(d->ErrorText().isEmpty());
        d->PasswordEdit()->clear();
        d->TryLogin();
        return d->result();
    });
    msgs.OnModal(QStringLiteral("SetPasswordForm"), [](QDialog* dlg) {
        auto* d = static_cast<TSetPasswordDialog*>(dlg);
        EXPECT_EQ(d->OldPasswordEdit(), nullptr);
        d->NewPasswordEdit()->setText(QStringLiteral("首次密码"));
        d->ConfirmEdit()->setText(QStringLiteral("首次密码x"));
        d->TrySave();
        EXPECT_TRUE(d->ErrorText().contains(QStringLiteral("不一致")));
        d->ConfirmEdit()->setText(QStringLiteral("首次密码"));
        d->TrySave();
        return d->result();
    });
    ASSERT_TRUE(LoginInteractively(&FCon));
    EXPECT_FALSE(hint.isEmpty());
    EXPECT_EQ(g_iUserID, 1);
    EXPECT_EQ(g_iSysManager, 1);
    EXPECT_TRUE(FCon.ExecuteScalar(QStringLiteral("select pwhash from operator where opid = 1")).toString().startsWith(QStringLiteral("$argon2id$")));

    // from now on the password is asked for
    EXPECT_FALSE(LoginWithPassword(&FCon, 1, QString(), QString()).Ok);
    const TLoginResult r = LoginWithPassword(&FCon, 1, QString(), QStringLiteral("首次密码"));
    EXPECT_TRUE(r.Ok);
    EXPECT_FALSE(r.MustSetPassword);
}

TEST_F(TNewDatabaseTest, NotSettingThePasswordEndsTheStart)
{
    TScriptedMessages msgs;
    msgs.OnModal(QStringLiteral("LoginForm"), [](QDialog* dlg) {
        static_cast<TLoginDialog*>(dlg)->TryLogin();
        return dlg->result();
    });
    msgs.OnModal(QStringLiteral("SetPasswordForm"), [](QDialog*) { return int(QDialog::Rejected); });
    EXPECT_FALSE(LoginInteractively(&FCon));
    EXPECT_EQ(g_iUserID, 0);
    EXPECT_FALSE(FCon.Session().LoggedIn());
    EXPECT_EQ(FCon.ExecuteScalar(QStringLiteral("select pwhash from operator where opid = 1")).toString(), QString());
}

} // namespace
