#include "appserver/AppServer.h"

#include "appserver/Certificate.h"
#include "platform/Exceptions.h"
#include "server/Procedures.h"
#include "server/Schema.h"
#include "server/Rights.h"
#include "server/ServerSql.h"
#include "webrpc/Connection.h"
#include "webrpc/PgEngine.h"
#include "webrpc/SqlDialect.h"
#include "platform/DataSet.h"
#include "webrpc/RemoteProtocol.h"
#include "webrpc/Statement.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>

namespace {

constexpr int kMaxBusyWaitMs = 15000;
constexpr int kLockWaitMs = 10000;

const QByteArray kPacketMime = QByteArrayLiteral("application/x-tradebill-packet");

qint64 Now() { return QDateTime::currentMSecsSinceEpoch(); }

// Linux leaves quick acknowledgement again on its own, so it is asked for after each read.
void AcknowledgeAtOnce(QAbstractSocket* socket)
{
#ifdef TCP_QUICKACK
    const int on = 1;
    if (socket->socketDescriptor() >= 0)
        ::setsockopt(int(socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    Q_UNUSED(socket);
#endif
}

// What a call asks for, as the log names it ("Invoke Submit_POrder_Save").
QString CallName(const TPacketParams& req)
{
    return (req.GetString(QStringLiteral("Op")) + QLatin1Char(' ') + req.GetString(QStringLiteral("Method"))).trimmed();
}

// A call the server will not run for this caller; logged as refused.
class ERefused : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

QHttpServerResponse PacketResponse(const TPacketParams& packet, QHttpServerResponse::StatusCode status = QHttpServerResponse::StatusCode::Ok)
{
    return QHttpServerResponse(kPacketMime, packet.ToString().toUtf8(), status);
}

TPacketParams ErrorPacket(const QString& message)
{
    TPacketParams p;
    p.Set(QStringLiteral("ErrNo"), 1);
    p.Set(QStringLiteral("ErrMsg"), message);
    return p;
}

void SetValue(TPacketParams& packet, const QString& name, const QVariant& v)
{
    packet.CreatePacketParam(PacketTypeOf(v), name)->Value = v;
}

} // namespace

// ---------------------------------------------------------------- options

QString ServerUsage()
{
    return QStringLiteral(
        "用法: tradebill-server --database 文件|postgresql://用户@主机:端口/数据库 [--port 端口] [--listen 地址] [--cert 证书.pem --key 私钥.pem]\n"
        "                        [--log 日志文件] [--demo] [--lease 毫秒] [--idle 秒]\n"
        "  没有给出证书时，第一次启动会在数据库旁（PostgreSQL 数据库时在当前目录）生成自签名证书（.crt/.key），把 .crt 发给各台电脑。");
}

TServerOptions ParseServerOptions(const QStringList& args)
{
    TServerOptions o;
    auto value = [&](int& i) {
        if (i + 1 >= args.size())
            throw Exception(QStringLiteral("选项 %1 缺少值\n%2").arg(args[i], ServerUsage()));
        return args[++i];
    };
    auto number = [&](int& i, int low, int high) {
        const QString name = args[i];
        bool ok = false;
        const int n = value(i).toInt(&ok);
        if (!ok || n < low || n > high)
            throw Exception(QStringLiteral("选项 %1 的值不正确\n%2").arg(name, ServerUsage()));
        return n;
    };
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == QLatin1String("--database"))
            o.Database = value(i);
        else if (a == QLatin1String("--port"))
            o.Port = static_cast<quint16>(number(i, 0, 65535));
        else if (a == QLatin1String("--listen")) {
            o.Address = QHostAddress(value(i));
            if (o.Address.isNull())
                throw Exception(QStringLiteral("监听地址 %1 不正确").arg(args[i]));
        } else if (a == QLatin1String("--cert"))
            o.CertFile = value(i);
        else if (a == QLatin1String("--key"))
            o.KeyFile = value(i);
        else if (a == QLatin1String("--log"))
            o.LogFile = value(i);
        else if (a == QLatin1String("--demo"))
            o.DemoData = true;
        else if (a == QLatin1String("--lease"))
            o.LeaseMs = number(i, 200, 3600 * 1000);
        else if (a == QLatin1String("--idle"))
            o.SessionIdleMs = number(i, 1, 7 * 24 * 3600) * 1000;
        else
            throw Exception(QStringLiteral("不认识的选项 %1\n%2").arg(a, ServerUsage()));
    }
    if (o.Database.isEmpty())
        throw Exception(QStringLiteral("没有指定数据库（--database）\n%1").arg(ServerUsage()));
    if (o.CertFile.isEmpty() != o.KeyFile.isEmpty())
        throw Exception(QStringLiteral("证书（--cert）和私钥（--key）要一起给出"));
    if (o.CertFile.isEmpty() && IsPostgresTarget(o.Database)) {
        // no file to sit beside: the working folder (start-server.sh runs in the data folder)
        o.CertFile = QDir::current().filePath(QStringLiteral("tradebill-server.crt"));
        o.KeyFile = QDir::current().filePath(QStringLiteral("tradebill-server.key"));
    } else if (o.CertFile.isEmpty()) {
        const QFileInfo db(o.Database);
        o.CertFile = db.absoluteDir().filePath(db.completeBaseName() + QStringLiteral("-server.crt"));
        o.KeyFile = db.absoluteDir().filePath(db.completeBaseName() + QStringLiteral("-server.key"));
    }
    return o;
}

// ---------------------------------------------------------------- locks

namespace {
bool InDatabase(TClientConnection* db) { return db && db->IsPostgres(); }
} // namespace

bool TSessionLocks::Take(const QString& name, const QByteArray& owner, int waitMs, TClientConnection* db)
{
    const QString key = name.trimmed().toUpper();
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        bool first = false;
        {
            QMutexLocker lock(&FMutex);
            TEntry& e = FLocks[key];
            if (e.Count > 0 && e.Owner == owner) {
                ++e.Count;
                return true;
            }
            if (e.Count == 0) {
                e.Owner = owner;
                e.Count = 1;
                first = true;
            }
        }
        // Reserved here; the database decides between servers.
        if (first) {
            bool held = true;
            try {
                held = !InDatabase(db) || db->SessionLock(key, true);
            } catch (...) {
                Release(key, owner);
                throw;
            }
            if (held)
                return true;
            Release(key, owner);
        }
        if (clock.elapsed() >= waitMs)
            return false;
        QThread::msleep(20);
    }
}

void TSessionLocks::Release(const QString& name, const QByteArray& owner, TClientConnection* db)
{
    const QString key = name.trimmed().toUpper();
    {
        QMutexLocker lock(&FMutex);
        auto it = FLocks.find(key);
        if (it == FLocks.end() || it->Owner != owner || --it->Count > 0)
            return;
        FLocks.erase(it);
    }
    if (InDatabase(db))
        db->SessionLock(key, false);
}

bool TSessionLocks::Held(const QString& name, const QByteArray& owner)
{
    QMutexLocker lock(&FMutex);
    const auto it = FLocks.constFind(name.trimmed().toUpper());
    return it != FLocks.cend() && it->Owner == owner && it->Count > 0;
}

bool TSessionLocks::HoldsAny(const QByteArray& owner)
{
    QMutexLocker lock(&FMutex);
    for (const TEntry& e : std::as_const(FLocks))
        if (e.Owner == owner && e.Count > 0)
            return true;
    return false;
}

QStringList TSessionLocks::ReleaseAll(const QByteArray& owner, TClientConnection* db)
{
    QStringList freed;
    {
        QMutexLocker lock(&FMutex);
        for (auto it = FLocks.begin(); it != FLocks.end();) {
            if (it->Owner == owner && it->Count > 0) {
                freed << it.key();
                it = FLocks.erase(it);
            } else {
                ++it;
            }
        }
    }
    // A database lock that cannot be given back now goes with the database session.
    if (InDatabase(db)) {
        for (const QString& name : std::as_const(freed)) {
            try {
                db->SessionLock(name, false);
            } catch (const Exception&) {
            }
        }
    }
    return freed;
}

// ---------------------------------------------------------------- sessions

struct TAppServer::TSession {
    QByteArray Token;
    QHostAddress Peer;
    QThread Thread;
    QObject* Context = nullptr;             // lives on Thread
    std::unique_ptr<TClientConnection> Con; // made, used and closed on Thread only
    std::atomic<qint64> LastSeen{0};
    std::atomic<int> Pending{0};
    std::atomic<int> TransDepth{0};
    std::atomic<bool> Lapsed{false};
    bool SettingsTouchedInTransaction = false; // Thread only

    ~TSession()
    {
        if (Thread.isRunning() && QThread::currentThread() != &Thread) {
            Thread.quit();
            Thread.wait();
        }
    }

    // "张三(3)" once someone logged in, else "未登录"
    QString Who() const
    {
        if (!Con || !Con->Session().LoggedIn())
            return QStringLiteral("未登录");
        return QStringLiteral("%1(%2)").arg(Con->Session().OpName).arg(Con->Session().OpID);
    }

    // Leaves nothing open: rolls back every level of an open transaction.
    void RollbackAll()
    {
        while (Con && Con->InTransaction())
            Con->RollbackTrans();
        TransDepth = 0;
        if (SettingsTouchedInTransaction)
            SettingsMayHaveChanged();
        SettingsTouchedInTransaction = false;
    }
};

namespace {

TOperatorRights RequireOperator(TClientConnection& con)
{
    if (!con.Session().LoggedIn())
        throw ERefused(QStringLiteral("请先登录"));
    try {
        return TOperatorRights::Of(con);
    } catch (const EDatabaseError& e) {
        throw ERefused(e.Message());
    }
}

// Whether a call may change what the sessions keep (KeptSetting): the operator, rights, bill kind
// and option tables, or the schema. The manager's statements that write count (his reads too when they
// name one of those tables: the desktop's reads are not held to reading for him); of the methods
// and procedures, those known to leave them alone do not count.
bool MayChangeSettings(const TPacketParams& req)
{
    const QString op = req.GetString(QStringLiteral("Op"));
    // "operator" names "operatorright" as well
    static const QRegularExpression kept(QStringLiteral("operator|billkind|accoption"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression writes(QStringLiteral("\\b(insert|update|delete|merge|truncate|grant|revoke|call|do)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression schema(QStringLiteral("\\b(alter|create|drop)\\b"), QRegularExpression::CaseInsensitiveOption);
    auto names = [](const QString& text) { return text.contains(kept); };
    if (op == QLatin1String(RemoteOp::Execute))
        return true;
    if (op == QLatin1String(RemoteOp::Open) || op == QLatin1String(RemoteOp::Scalar)) {
        const QString sql = req.GetString(QStringLiteral("Sql"));
        return sql.contains(schema) || (names(sql) && sql.contains(writes));
    }
    if (op == QLatin1String(RemoteOp::Batch)) {
        try {
            for (const TRemoteBatchItem& it : UnpackBatch(req))
                if (!it.Sql.isEmpty() || names(it.Table))
                    return true;
        } catch (const Exception&) {
            return true;
        }
        return false;
    }
    if (op == QLatin1String(RemoteOp::Invoke)) {
        static const QStringList readers{QStringLiteral("GetClientDataSet"), QStringLiteral("GetADODataSet"), QStringLiteral("GetLoginInfo"),
                                         QStringLiteral("MarkBillPrinted")};
        const QString method = req.GetString(QStringLiteral("Method"));
        // the bill procedures write bills, stock and balances
        return !method.startsWith(QLatin1String("Submit_"), Qt::CaseInsensitive) && !readers.contains(method, Qt::CaseInsensitive);
    }
    if (op == QLatin1String(RemoteOp::Proc)) {
        static const QStringList readers{QStringLiteral("getnewbillcodebydate"), QStringLiteral("GETKEYVALUE"), QStringLiteral("getgoodsinfo")};
        return !readers.contains(req.GetString(QStringLiteral("Name")), Qt::CaseInsensitive);
    }
    return false; // transaction steps and locks
}

bool OpenBeforeLogin(const QString& method)
{
    return method.compare(QLatin1String("Login"), Qt::CaseInsensitive) == 0
        || method.compare(QLatin1String("GetLoginInfo"), Qt::CaseInsensitive) == 0;
}

// The refusal inside a method's own reply ("ErrNo" not 0), or empty.
QString MethodRefusal(const QString& packet)
{
    try {
        TPacketParams p;
        p.LoadFromString(packet);
        if (p.GetInt(QStringLiteral("ErrNo")) != 0)
            return p.GetString(QStringLiteral("ErrMsg"), QStringLiteral("ErrNo %1").arg(p.GetInt(QStringLiteral("ErrNo"))));
    } catch (const Exception&) {
    }
    return QString();
}

// A read for an operator who is not the system manager, on PostgreSQL: one statement, run in a
// read-only transaction (or savepoint) that is rolled back at once, so that nothing it does can
// stay; password hashes are neither asked for by name nor sent. The desktop's SQL is the
// system's dialect (or SQLite's, which the translation leaves as it is), never PostgreSQL's.
void ReadOnPostgres(TClientConnection& con, const QString& sql, const TSqlParams& params, bool scalar, TPacketParams& reply)
{
    const QString engineSql = NormaliseParams(TranslateSql(sql, TSqlEngine::PostgreSQL));
    if (SplitStatements(engineSql).size() > 1)
        throw ERefused(QStringLiteral("查询中有多个语句：一次只能执行一个查询"));
    if (engineSql.contains(QLatin1String("pwhash"), Qt::CaseInsensitive))
        throw ERefused(QStringLiteral("查询读取操作员密码：不能执行"));
    TPgSession* pg = con.PgSession();
    const bool nested = con.InTransaction();
    pg->Execute(nested ? QStringLiteral("savepoint tb_read; set local transaction_read_only = on") : QStringLiteral("begin read only"), {});
    QVector<TFieldDef> fields;
    QVector<QVariantList> rows;
    try {
        pg->Select(engineSql, params, fields, rows);
    } catch (const EPgError& e) {
        pg->Execute(nested ? QStringLiteral("rollback to savepoint tb_read; release savepoint tb_read") : QStringLiteral("rollback"), {});
        if (e.SqlState() == QLatin1String("25006"))
            throw ERefused(TReadOnlyStatements::RefusedMessage(1));
        throw;
    }
    pg->Execute(nested ? QStringLiteral("rollback to savepoint tb_read; release savepoint tb_read") : QStringLiteral("rollback"), {});
    for (int c = 0; c < fields.size(); ++c)
        if (fields[c].Name.startsWith(QLatin1String("pwhash"), Qt::CaseInsensitive))
            for (QVariantList& row : rows)
                row[c] = QVariant();
    if (scalar)
        SetValue(reply, QStringLiteral("Value"), rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first());
    else
        reply.Set(QStringLiteral("Data"), BuildDataPacket(fields, rows));
}

// Runs one call of a logged-in (or logging-in) session. Throws for a refusal or a failure.
// `deadline`: when the caller stops waiting for the answer (ms since the epoch).
TPacketParams RunCall(TClientConnection& con, TSessionLocks& locks, const QByteArray& token, const TPacketParams& req, qint64 deadline,
                      QString& methodRefusal)
{
    TPacketParams reply;
    const QString op = req.GetString(QStringLiteral("Op"));
    if (op == QLatin1String(RemoteOp::Invoke)) {
        const QString method = req.GetString(QStringLiteral("Method"));
        if (!OpenBeforeLogin(method))
            RequireOperator(con);
        const QString answer = con.Proxy()->Invoke(method, req.GetString(QStringLiteral("Packet")), req.GetInt(QStringLiteral("TimeoutMs"), 30000));
        methodRefusal = MethodRefusal(answer);
        reply.Set(QStringLiteral("Packet"), answer);
        return reply;
    }
    const TOperatorRights op_ = RequireOperator(con);
    const QString sql = req.GetString(QStringLiteral("Sql"));
    const bool native = req.GetBool(QStringLiteral("Native"));
    const TSqlParams params = UnpackSqlParams(req);
    if (op == QLatin1String(RemoteOp::Open) || op == QLatin1String(RemoteOp::Scalar)) {
        // Reading is everyone's; writing goes through the procedures, which check rights.
        if (con.IsPostgres() && !op_.SysManager()) {
            ReadOnPostgres(con, sql, params, op == QLatin1String(RemoteOp::Scalar), reply);
            return reply;
        }
        std::unique_ptr<TReadOnlyStatements> readOnly;
        if (!op_.SysManager())
            readOnly = std::make_unique<TReadOnlyStatements>(con);
        try {
            if (op == QLatin1String(RemoteOp::Scalar)) {
                SetValue(reply, QStringLiteral("Value"), con.ExecuteScalar(sql, params));
            } else {
                TClientDataSet ds;
                native ? con.OpenNative(sql, &ds, params) : con.OpenDataSet(sql, &ds, params);
                reply.Set(QStringLiteral("Data"), ds.XMLData());
            }
        } catch (const EDatabaseError&) {
            if (readOnly && sqlite3_errcode(con.Handle()) == SQLITE_AUTH)
                throw ERefused(TReadOnlyStatements::RefusedMessage(1));
            throw;
        }
        return reply;
    }
    if (op == QLatin1String(RemoteOp::Execute)) {
        if (!op_.SysManager())
            throw ERefused(QStringLiteral("只有系统管理员可以直接执行修改数据的语句"));
        reply.Set(QStringLiteral("Rows"), native ? con.ExecuteNative(sql, params) : con.Execute(sql, params));
        return reply;
    }
    if (op == QLatin1String(RemoteOp::Proc)) {
        const QString name = req.GetString(QStringLiteral("Name"));
        TClientStoredProc sp(&con, name);
        UnpackProcParams(req, sp.Params);
        const bool withRows = req.GetBool(QStringLiteral("WithRows"));
        withRows ? sp.Open() : sp.ExecProc();
        PackProcParams(reply, sp.Params);
        if (withRows && sp.Active())
            reply.Set(QStringLiteral("Rows"), sp.Rows()->XMLData());
        return reply;
    }
    if (op == QLatin1String(RemoteOp::Batch)) {
        const QVector<TRemoteBatchItem> items = UnpackBatch(req);
        con.BeginTrans();
        try {
            for (const TRemoteBatchItem& it : items) {
                if (it.Table.isEmpty()) {
                    if (!op_.SysManager())
                        throw ERefused(QStringLiteral("只有系统管理员可以直接执行修改数据的语句"));
                    con.Execute(it.Sql);
                    continue;
                }
                TDelta delta = ParseDeltaXML(it.Delta);
                try {
                    CheckTableWrite(con, op_, it.Table, delta);
                } catch (const EDatabaseError& e) {
                    throw ERefused(e.Message());
                }
                ApplyDelta(con, delta, TApplyDeltaOptions{it.Table, it.Keys, {}});
            }
            con.CommitTrans();
        } catch (...) {
            con.RollbackTrans();
            throw;
        }
        return reply;
    }
    if (op == QLatin1String(RemoteOp::Begin)) {
        con.BeginTrans();
        return reply;
    }
    if (op == QLatin1String(RemoteOp::Commit)) {
        con.CommitTrans();
        return reply;
    }
    if (op == QLatin1String(RemoteOp::Rollback)) {
        con.RollbackTrans();
        return reply;
    }
    if (op == QLatin1String(RemoteOp::Lock)) {
        const QString name = req.GetString(QStringLiteral("Name"));
        const QString mode = req.GetString(QStringLiteral("Mode"));
        if (name.trimmed().isEmpty())
            throw EDatabaseError(QStringLiteral("锁的名称为空"));
        if (mode == QLatin1String("take")) {
            // Never wait past the caller: a lock taken for a caller that gave up would stay held.
            const qint64 left = deadline - Now() - 200;
            const int wait = req.GetBool(QStringLiteral("Wait")) ? static_cast<int>(qBound<qint64>(0, left, qint64(kLockWaitMs))) : 0;
            reply.Set(QStringLiteral("Held"), locks.Take(name, token, wait, &con));
        } else if (mode == QLatin1String("release")) {
            locks.Release(name, token, &con);
            reply.Set(QStringLiteral("Held"), locks.Held(name, token));
        } else {
            reply.Set(QStringLiteral("Held"), locks.Held(name, token));
        }
        return reply;
    }
    throw ERefused(QStringLiteral("服务器不认识的操作 %1").arg(op));
}

} // namespace

// ---------------------------------------------------------------- server

TAppServer::TAppServer(TServerOptions options, QObject* parent) : QObject(parent), FOptions(std::move(options)) {}

TAppServer::~TAppServer()
{
    const QList<QByteArray> tokens = FSessions.keys();
    for (const QByteArray& t : tokens)
        EndSession(t, QStringLiteral("服务器停止"));
    SetDatabaseLog(nullptr);
}

void TAppServer::Log(const QString& line)
{
    const QString text = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ")) + line;
    QMutexLocker lock(&FLogMutex);
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    std::fflush(stderr);
    if (FLog) {
        FLog->write(text.toUtf8() + '\n');
        FLog->flush();
    }
}

void TAppServer::PrepareDatabase()
{
    TClientConnection con;
    con.Open(FOptions.Database);
    if (InitializeDatabase(con, FOptions.DemoData))
        Log(QStringLiteral("新建数据库 %1").arg(FOptions.Database));
    try {
        NoticeSettingChanges(con);
    } catch (const EDatabaseError& e) {
        // (the server's user does not own the tables) only the changes made through this server count at once
        Log(QStringLiteral("无法让数据库通知权限和选项的修改，其他服务器或直接在数据库中所做的修改要等到本服务器上有修改时才生效：%1").arg(e.Message()));
    }
    con.Close();
}

quint16 TAppServer::Start()
{
    if (!FOptions.LogFile.isEmpty()) {
        FLog = std::make_unique<QFile>(FOptions.LogFile);
        if (!FLog->open(QIODevice::Append | QIODevice::Text))
            throw Exception(QStringLiteral("无法写入日志文件 %1").arg(FOptions.LogFile));
    }
    // The engines' error details (behind "详细信息已写入日志") belong in the server's log, where
    // whoever runs the server reads them beside the refusal they caused.
    SetDatabaseLog([this](const QString& text) { Log(text); });
    RegisterServerProcedures();
    PrepareDatabase();

    QStringList names{QHostInfo::localHostName(), QStringLiteral("localhost"), QStringLiteral("127.0.0.1"), QStringLiteral("::1")};
    if (!FOptions.Address.isNull() && FOptions.Address != QHostAddress::Any && FOptions.Address != QHostAddress::AnyIPv6)
        names << FOptions.Address.toString();
    const bool made = !QFile::exists(FOptions.CertFile);
    EnsureCertificate(FOptions.CertFile, FOptions.KeyFile, names);
    if (made)
        Log(QStringLiteral("生成自签名证书 %1").arg(FOptions.CertFile));
    QFile certFile(FOptions.CertFile), keyFile(FOptions.KeyFile);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("无法读取证书 %1 或私钥 %2").arg(FOptions.CertFile, FOptions.KeyFile));
    const QSslCertificate cert(certFile.readAll(), QSsl::Pem);
    const QByteArray keyPem = keyFile.readAll();
    QSslKey key(keyPem, QSsl::Ec, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
    if (cert.isNull() || key.isNull())
        throw Exception(QStringLiteral("证书 %1 或私钥 %2 不是 PEM 格式").arg(FOptions.CertFile, FOptions.KeyFile));

    FHttp = std::make_unique<QHttpServer>();
    FHttp->route(QStringLiteral("/session"), QHttpServerRequest::Method::Post, [this](const QHttpServerRequest& r) {
        const std::shared_ptr<TSession> s = OpenSession(r.remoteAddress());
        if (!s)
            return PacketResponse(ErrorPacket(QStringLiteral("服务器无法打开数据库，请联系管理员查看服务器日志")));
        TPacketParams p;
        p.Set(QStringLiteral("ErrNo"), 0);
        p.Set(QStringLiteral("Token"), QString::fromLatin1(s->Token));
        p.Set(QStringLiteral("LeaseMs"), FOptions.LeaseMs);
        return PacketResponse(p);
    });
    auto known = [this](const QHttpServerRequest& r) -> std::shared_ptr<TSession> {
        const auto it = FSessions.constFind(r.value(kRemoteSessionHeader));
        if (it == FSessions.cend())
            return nullptr;
        (*it)->LastSeen = Now();
        return *it;
    };
    FHttp->route(QStringLiteral("/ping"), QHttpServerRequest::Method::Post, [known](const QHttpServerRequest& r) {
        return QHttpServerResponse(known(r) ? QHttpServerResponse::StatusCode::Ok : QHttpServerResponse::StatusCode::Unauthorized);
    });
    FHttp->route(QStringLiteral("/logout"), QHttpServerRequest::Method::Post, [this, known](const QHttpServerRequest& r) {
        if (const std::shared_ptr<TSession> s = known(r))
            EndSession(s->Token, QStringLiteral("退出"));
        return QHttpServerResponse(QHttpServerResponse::StatusCode::Ok);
    });
    FHttp->route(QStringLiteral("/call"), QHttpServerRequest::Method::Post, [this, known](const QHttpServerRequest& r, QHttpServerResponder&& responder) {
        // The answer is written later, from this thread, once the session's thread has run the
        // call; a desktop that hung up meanwhile gets nothing.
        auto held = std::make_shared<std::unique_ptr<QHttpServerResponder>>(std::make_unique<QHttpServerResponder>(std::move(responder)));
        const QPointer<QTcpSocket> socket = (*held)->socket();
        auto answer = [held, socket](const QByteArray& packet, QHttpServerResponder::StatusCode status) {
            if (!socket) {
                (void)held->release(); // its socket is gone: nothing may touch it any more
                return;
            }
            (*held)->write(packet, kPacketMime, status);
            held->reset();
        };
        const std::shared_ptr<TSession> s = known(r);
        if (!s) {
            TPacketParams req;
            try {
                req.LoadFromString(QString::fromUtf8(r.body()));
            } catch (const Exception&) {
            }
            const QString why = QStringLiteral("没有有效的会话（没有登录，或会话已经结束），请重新登录");
            Log(QStringLiteral("拒绝 %1 来自 %2 操作员 %3：%4").arg(CallName(req), r.remoteAddress().toString(), QStringLiteral("未登录"), why));
            answer(ErrorPacket(why).ToString().toUtf8(), QHttpServerResponder::StatusCode::Unauthorized);
            return;
        }
        ++s->Pending;
        const qint64 queued = Now();
        // Reading the request and writing the answer are the session thread's work too: this
        // thread serves the sockets of every session.
        QMetaObject::invokeMethod(s->Context, [this, s, body = r.body(), queued, answer] {
            TPacketParams req, reply;
            QString refusal;
            auto status = QHttpServerResponder::StatusCode::Ok;
            bool readable = true;
            try {
                req.LoadFromString(QString::fromUtf8(body));
            } catch (const Exception& e) {
                readable = false;
                refusal = QStringLiteral("请求无法识别：%1").arg(e.Message());
                reply = ErrorPacket(refusal);
                status = QHttpServerResponder::StatusCode::BadRequest;
            }
            const QString what = CallName(req);
            const int timeout = req.GetInt(QStringLiteral("TimeoutMs"), 30000);
            const qint64 waited = Now() - queued;
            if (readable) {
                try {
                    if (!s->Con)
                        throw EDatabaseError(QStringLiteral("会话的数据库连接已经关闭，请重新登录"));
                    // The caller stops waiting after its time-out: a call that waited that long
                    // for the session's previous one is not started any more.
                    if (waited >= timeout)
                        throw EDatabaseError(QStringLiteral("服务器忙，请求等待超时，没有执行。请稍后再试。"));
                    s->Con->SetBusyTimeout(static_cast<int>(qMin<qint64>(kMaxBusyWaitMs, timeout - waited)));
                    // a change committed elsewhere (another server, psql) that this one did not see made
                    if (s->Con->IsPostgres() && s->Con->PgSession()->TakeNotices())
                        SettingsMayHaveChanged();
                    reply = RunCall(*s->Con, FLocks, s->Token, req, queued + timeout, refusal);
                    reply.Set(QStringLiteral("ErrNo"), 0);
                } catch (const Exception& e) {
                    refusal = e.Message();
                    reply = ErrorPacket(e.Message());
                }
            }
            if (!refusal.isEmpty()) {
                QString who = s->Who();
                if (!s->Con || !s->Con->Session().LoggedIn()) {
                    // A refused login names whom it tried to log in as.
                    TPacketParams inner;
                    try {
                        inner.LoadFromString(req.GetString(QStringLiteral("Packet")));
                    } catch (const Exception&) {
                    }
                    const QString tried = inner.GetString(QStringLiteral("OpName"), inner.GetString(QStringLiteral("OpID")));
                    if (!tried.isEmpty())
                        who += QStringLiteral("（尝试 %1）").arg(tried);
                }
                Log(QStringLiteral("拒绝 %1 来自 %2 操作员 %3：%4").arg(what, s->Peer.toString(), who, refusal));
            }
            s->TransDepth = s->Con ? s->Con->TransactionDepth() : 0;
            // Told now, and once more when a transaction that may hold the change has ended:
            // a session reading meanwhile still saw the rights before it.
            if (readable && MayChangeSettings(req)) {
                SettingsMayHaveChanged();
                s->SettingsTouchedInTransaction = s->TransDepth > 0;
            } else if (s->SettingsTouchedInTransaction && s->TransDepth == 0) {
                SettingsMayHaveChanged();
                s->SettingsTouchedInTransaction = false;
            }
            s->Lapsed = false;
            s->LastSeen = Now();
            --s->Pending;
            QMetaObject::invokeMethod(this, [answer, bytes = reply.ToString().toUtf8(), status] { answer(bytes, status); },
                                      Qt::QueuedConnection);
        }, Qt::QueuedConnection);
    });

    FTcp = new QSslServer(this);
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setLocalCertificate(cert);
    ssl.setPrivateKey(key);
    ssl.setPeerVerifyMode(QSslSocket::VerifyNone);
    FTcp->setSslConfiguration(ssl);
    // No 40 ms pauses on the wire. A request or answer longer than a segment ends in a part that
    // its sender holds back (Nagle) until the segments before it are acknowledged, and the
    // receiver delays acknowledging a lone segment by 40 ms. Answers go out at once here; the
    // desktop's HTTP stack keeps Nagle on, so this side acknowledges what arrives at once.
    connect(FTcp, &QSslServer::startedEncryptionHandshake, this, [](QSslSocket* socket) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        AcknowledgeAtOnce(socket);
        QObject::connect(socket, &QIODevice::readyRead, socket, [socket] { AcknowledgeAtOnce(socket); });
    });
    if (!FTcp->listen(FOptions.Address, FOptions.Port))
        throw Exception(QStringLiteral("无法在端口 %1 上监听：%2").arg(FOptions.Port).arg(FTcp->errorString()));
    FHttp->bind(FTcp);

    FJanitor = new QTimer(this);
    connect(FJanitor, &QTimer::timeout, this, &TAppServer::Sweep);
    FJanitor->start(qBound(50, FOptions.LeaseMs / 4, 1000));
    Log(QStringLiteral("tradebill-server 在 https://%1:%2 上服务，数据库 %3，证书 %4")
            .arg(FOptions.Address.toString())
            .arg(FTcp->serverPort())
            .arg(FOptions.Database, FOptions.CertFile));
    return FTcp->serverPort();
}

std::shared_ptr<TAppServer::TSession> TAppServer::OpenSession(const QHostAddress& peer)
{
    auto s = std::make_shared<TSession>();
    QByteArray raw(24, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(raw.data()), raw.size() / 4);
    s->Token = raw.toHex();
    s->Peer = peer;
    s->LastSeen = Now();
    s->Context = new QObject;
    s->Context->moveToThread(&s->Thread);
    s->Thread.start();
    QString error;
    QMetaObject::invokeMethod(s->Context, [&] {
        try {
            s->Con = std::make_unique<TClientConnection>();
            s->Con->Open(FOptions.Database);
            KeepSettingsPerSession(*s->Con);
            if (s->Con->IsPostgres())
                s->Con->PgSession()->Listen(QStringLiteral("tb_settings"));
        } catch (const Exception& e) {
            error = e.Message();
            s->Con.reset();
        }
    }, Qt::BlockingQueuedConnection);
    if (!error.isEmpty()) {
        Log(QStringLiteral("无法为 %1 打开数据库：%2").arg(peer.toString(), error));
        s->Context->deleteLater(); // runs as the thread finishes
        s->Thread.quit();
        s->Thread.wait();
        return nullptr;
    }
    FSessions.insert(s->Token, s);
    return s;
}

void TAppServer::EndSession(const QByteArray& token, const QString& why)
{
    const std::shared_ptr<TSession> s = FSessions.take(token);
    if (!s)
        return;
    Log(QStringLiteral("会话结束（%1）来自 %2 操作员 %3").arg(why, s->Peer.toString(), s->Who()));
    // Queued behind any call still running for it; the thread is joined on this thread.
    QMetaObject::invokeMethod(s->Context, [this, s] {
        try {
            s->RollbackAll();
        } catch (const Exception& e) {
            Log(QStringLiteral("结束会话时回滚失败：%1").arg(e.Message()));
        }
        FLocks.ReleaseAll(s->Token, s->Con.get());
        s->Con.reset();
        s->Context->deleteLater(); // runs as the thread finishes
        QMetaObject::invokeMethod(this, [s] {
            s->Thread.quit();
            s->Thread.wait();
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void TAppServer::Sweep()
{
    const qint64 now = Now();
    QList<QByteArray> idle;
    for (const std::shared_ptr<TSession>& s : std::as_const(FSessions)) {
        if (s->Pending > 0)
            continue;
        const qint64 silent = now - s->LastSeen;
        if (silent > FOptions.SessionIdleMs) {
            idle << s->Token;
            continue;
        }
        if (silent <= FOptions.LeaseMs || s->Lapsed || (s->TransDepth == 0 && !FLocks.HoldsAny(s->Token)))
            continue;
        s->Lapsed = true;
        QMetaObject::invokeMethod(s->Context, [this, s] {
            if (s->Pending > 0)
                return;
            QString rolledBack;
            try {
                if (s->Con && s->Con->InTransaction())
                    rolledBack = QStringLiteral("，回滚了未提交的事务");
                s->RollbackAll();
            } catch (const Exception& e) {
                rolledBack = QStringLiteral("，回滚失败：%1").arg(e.Message());
            }
            const QStringList freed = FLocks.ReleaseAll(s->Token, s->Con.get());
            Log(QStringLiteral("租约到期：来自 %1 操作员 %2 的会话 %3 毫秒没有联系，释放锁 %4%5")
                    .arg(s->Peer.toString(), s->Who())
                    .arg(FOptions.LeaseMs)
                    .arg(freed.isEmpty() ? QStringLiteral("（无）") : freed.join(u','), rolledBack));
        }, Qt::QueuedConnection);
    }
    for (const QByteArray& t : idle)
        EndSession(t, QStringLiteral("长时间没有操作"));
}
