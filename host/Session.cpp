#include "host/Session.h"

#include "host/Privileges.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"
#include "webrpc/RemoteLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int g_iUserID = 0;
QString g_asUserName;
int g_iAccountID = 0;
int g_iSysManager = 0;
int g_iDefaultBillTypeID = 0;
QDateTime g_dtNewBillTime;
QString g_asTempDirectory;
TAccSetData AccSetData;

namespace {
QHash<QString, QString> g_Options;
bool g_OptionsLoaded = false;

TClientConnection* Con(TClientConnection* con)
{
    TClientConnection* c = con ? con : g_DefaultCon;
    if (!c || !c->Connected())
        throw EDatabaseError(QStringLiteral("没有连接到数据库！"));
    return c;
}
} // namespace

void ResetSession()
{
    g_iUserID = 0;
    g_asUserName.clear();
    g_iSysManager = 0;
    g_iDefaultBillTypeID = 0;
    g_dtNewBillTime = QDateTime();
    AccSetData = TAccSetData();
    g_Options.clear();
    g_OptionsLoaded = false;
    ReloadPrivileges();
    if (g_DefaultCon)
        g_DefaultCon->SetSession(TServerSession());
}

namespace {

bool TableExists(TClientConnection* c, const QString& table)
{
    return c->ExecuteScalar(QStringLiteral("select count(*) from sqlite_master where type = 'table' and lower(name) = lower(:t)"),
                            {{QStringLiteral("t"), table}})
               .toInt() > 0;
}

// The account set's own data: its name, whether it feeds the general ledger, whether it
// runs several branches, and the working period (the current one, else the month of today).
void LoadAccountSet(TClientConnection* c)
{
    if (TableExists(c, QStringLiteral("accinfo"))) {
        TClientDataSet info;
        c->OpenDataSet(QStringLiteral("select top 1 accname, bindledger, useshop from accinfo order by id"), &info);
        if (!info.IsEmpty()) {
            AccSetData.AccountName = info.FieldByName(QStringLiteral("accname"))->AsString();
            AccSetData.Bind = info.FieldByName(QStringLiteral("bindledger"))->AsBoolean();
            AccSetData.Online = info.FieldByName(QStringLiteral("useshop"))->AsBoolean() &&
                                c->ExecuteScalar(QStringLiteral("select count(*) from shop")).toInt() > 1;
        }
    }
    if (AccSetData.WorkDate.isValid())
        return;
    AccSetData.WorkDate = QDate::currentDate();
    AccSetData.PeriodStart = QDate(AccSetData.WorkDate.year(), AccSetData.WorkDate.month(), 1);
    AccSetData.PeriodEnd = AccSetData.PeriodStart.addMonths(1).addDays(-1);
    if (TableExists(c, QStringLiteral("accperiod"))) {
        TClientDataSet period;
        c->OpenDataSet(QStringLiteral("select top 1 startdate, enddate from accperiod where iscurrent = 1 order by periodid desc"), &period);
        if (!period.IsEmpty()) {
            AccSetData.PeriodStart = period.FieldByName(QStringLiteral("startdate"))->AsDateTime().date();
            AccSetData.PeriodEnd = period.FieldByName(QStringLiteral("enddate"))->AsDateTime().date();
        }
    }
}

} // namespace

bool LoginAs(int opid, TClientConnection* con)
{
    TClientConnection* c = Con(con);
    TClientDataSet ds;
    c->OpenDataSet(QStringLiteral("select opid, opname, issysmanager, shopid, closed from operator where opid = :opid"),
                   &ds, {{QStringLiteral("opid"), opid}});
    if (ds.IsEmpty())
        return false;
    const QString closed = ds.FieldByName(QStringLiteral("closed"))->AsString().trimmed().toUpper();
    if (closed == QLatin1String("T") || closed == QLatin1String("1") || closed == QLatin1String("TRUE"))
        return false;
    g_iUserID = opid;
    g_asUserName = ds.FieldByName(QStringLiteral("opname"))->AsString();
    g_iSysManager = ds.FieldByName(QStringLiteral("issysmanager"))->AsBoolean() ? 1 : 0;
    AccSetData.ShopID = ds.FieldByName(QStringLiteral("shopid"))->AsInteger();
    AccSetData.ShopName.clear();
    AccSetData.ShopCode.clear();
    if (AccSetData.ShopID != 0) {
        TClientDataSet shop;
        c->OpenDataSet(QStringLiteral("select code, name from shop where shopid = :shopid"), &shop,
                       {{QStringLiteral("shopid"), AccSetData.ShopID}});
        if (!shop.IsEmpty()) {
            AccSetData.ShopCode = shop.FieldByName(QStringLiteral("code"))->AsString();
            AccSetData.ShopName = shop.FieldByName(QStringLiteral("name"))->AsString();
        }
    }
    LoadAccountSet(c);
    ReloadAccOptions();
    ReloadPrivileges();
    TServerSession session;
    session.OpID = g_iUserID;
    session.OpName = g_asUserName;
    session.ShopID = AccSetData.ShopID;
    session.SysManager = g_iSysManager != 0;
    c->SetSession(session);
    return true;
}

bool IsOnline() { return AccSetData.Online; }

QDateTime NewBillDateTime()
{
    const QDate d = AccSetData.WorkDate.isValid() ? AccSetData.WorkDate : QDate::currentDate();
    const QTime t = g_dtNewBillTime.isValid() ? g_dtNewBillTime.time() : QTime::currentTime();
    return QDateTime(d, t);
}

QString GetAccOptionValue(const QString& key)
{
    if (!g_OptionsLoaded) {
        g_Options.clear();
        TClientDataSet ds;
        Con(nullptr)->OpenDataSet(QStringLiteral("select optionkey, optionvalue from accoption"), &ds);
        for (ds.First(); !ds.Eof(); ds.Next())
            g_Options.insert(ds.Fields(0)->AsString().trimmed().toUpper(), ds.Fields(1)->AsString());
        g_OptionsLoaded = true;
    }
    return g_Options.value(key.trimmed().toUpper());
}

void ReloadAccOptions()
{
    g_Options.clear();
    g_OptionsLoaded = false;
}

int GetNewKeyValue(const QString& tableName, const QString& fieldName)
{
    TClientStoredProc proc(Con(nullptr), QStringLiteral("GETKEYVALUE"));
    proc.Params.Add(QStringLiteral("@TableName"), TFieldType::ftString, TParamDirection::pdInput, 50).Value = tableName;
    proc.Params.Add(QStringLiteral("@FieldName"), TFieldType::ftString, TParamDirection::pdInput, 50).Value = fieldName;
    proc.Params.Add(QStringLiteral("@R_KeyValue"), TFieldType::ftInteger, TParamDirection::pdOutput);
    proc.ExecProc();
    const QVariant v = proc.Params.Value(QStringLiteral("@R_KeyValue"));
    bool ok = false;
    const int key = v.toInt(&ok);
    if (!ok)
        throw EDatabaseError(QStringLiteral("取新键值失败：%1").arg(tableName));
    return key;
}

// ---------------------------------------------------------------- named locks

namespace {
struct HeldLock {
    int Fd = -1;
    int Count = 0;
};
QHash<QString, HeldLock> g_Locks; // by lock file name
int g_LockWaitMs = 10000;

QString SanitisedLockName(const QString& name)
{
    QString r;
    for (QChar ch : name.trimmed().toUpper())
        r += (ch.isLetterOrNumber() && ch.unicode() < 128) || ch == QLatin1Char('_') || ch == QLatin1Char('-')
                 ? ch
                 : QLatin1Char('_');
    return r.isEmpty() ? QStringLiteral("_") : r;
}

bool TryLock(const QString& file, HeldLock& out)
{
    const QByteArray path = QFile::encodeName(file);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        throw EDatabaseError(QStringLiteral("无法创建锁文件：%1").arg(file));
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        out.Fd = fd;
        out.Count = 1;
        return true;
    }
    ::close(fd);
    return false;
}
} // namespace

QString LockFileName(const QString& name)
{
    QString base;
    if (g_DefaultCon && !g_DefaultCon->DatabaseFile().isEmpty())
        base = g_DefaultCon->DatabaseFile();
    else
        base = QDir(QDir::tempPath()).filePath(QStringLiteral("tradebill"));
    return base + QLatin1Char('.') + SanitisedLockName(name) + QStringLiteral(".lock");
}

void SetLockWaitTimeout(int ms) { g_LockWaitMs = ms < 0 ? 0 : ms; }

bool HoldsLock(const QString& name)
{
    if (g_DefaultCon && g_DefaultCon->Remote())
        return g_DefaultCon->Remote()->Lock(name, QStringLiteral("held"), false);
    if (g_DefaultCon && g_DefaultCon->IsPostgres())
        return g_DefaultCon->HoldsSessionLock(name);
    return g_Locks.contains(LockFileName(name));
}

bool SetLock(const QString& name, bool acquire, bool wait)
{
    // Through a server the lock is the server's, shared by every desktop of the chain.
    if (g_DefaultCon && g_DefaultCon->Remote())
        return g_DefaultCon->Remote()->Lock(name, acquire ? QStringLiteral("take") : QStringLiteral("release"), wait) || !acquire;
    // On a database server the lock belongs to the database session.
    if (g_DefaultCon && g_DefaultCon->IsPostgres())
        return g_DefaultCon->SessionLock(name, acquire, wait, g_LockWaitMs);
    const QString file = LockFileName(name);
    auto it = g_Locks.find(file);
    if (!acquire) {
        if (it != g_Locks.end() && --it->Count <= 0) {
            ::flock(it->Fd, LOCK_UN);
            ::close(it->Fd);
            g_Locks.erase(it);
        }
        return true;
    }
    if (it != g_Locks.end()) {
        ++it->Count;
        return true;
    }
    HeldLock held;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (TryLock(file, held)) {
            g_Locks.insert(file, held);
            return true;
        }
        if (!wait || timer.elapsed() >= g_LockWaitMs)
            return false;
        QThread::msleep(100);
    }
}

QString TempDirectory()
{
    if (g_asTempDirectory.isEmpty()) {
        QString user = qEnvironmentVariable("USER");
        if (user.isEmpty())
            user = QStringLiteral("user");
        g_asTempDirectory = QDir(QDir::tempPath()).filePath(QStringLiteral("tradebill-") + user);
    }
    QDir().mkpath(g_asTempDirectory);
    return g_asTempDirectory;
}
