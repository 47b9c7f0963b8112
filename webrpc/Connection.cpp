#include "webrpc/Connection.h"

#include "webrpc/RemoteLink.h"
#include "webrpc/PgEngine.h"
#include "webrpc/SqlDialect.h"
#include "webrpc/Statement.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>

TClientConnection* g_DefaultCon = nullptr;

// ---------------------------------------------------------------- engine errors

namespace {
std::function<void(const QString&)>& LogSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

// "UNIQUE constraint failed: goods.code, goods.shopid" -> "goods.code, goods.shopid"
QString ConstraintNames(const QString& detail)
{
    const int at = detail.indexOf(QLatin1String("failed: "));
    return at < 0 ? QString() : detail.mid(at + 8).trimmed();
}
} // namespace

void SetDatabaseLog(std::function<void(const QString&)> sink) { LogSink() = std::move(sink); }

void WriteDatabaseLog(const QString& text)
{
    if (LogSink())
        LogSink()(text);
    else
        qWarning("%s", qUtf8Printable(text));
}

QString EngineErrorMessage(int resultCode, const QString& detail)
{
    const QString names = ConstraintNames(detail);
    const QString named = names.isEmpty() ? QString() : QStringLiteral("（%1）").arg(names);
    switch (resultCode) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return QStringLiteral("数据重复%1：已有相同的记录，不能保存。").arg(named);
    case SQLITE_CONSTRAINT_NOTNULL:
        return QStringLiteral("必填的数据没有值%1，不能保存。").arg(named);
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return QStringLiteral("引用的数据不存在或仍被其他数据引用，不能保存。");
    case SQLITE_CONSTRAINT_CHECK:
        return QStringLiteral("数据不符合规则%1，不能保存。").arg(named);
    default:
        break;
    }
    switch (resultCode & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("其他用户正在保存数据，数据库一直忙，本次操作没有完成。请稍后再试。");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("数据不符合数据库的约束，不能保存。");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，数据没有保存。");
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件是只读的，不能保存。");
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("读写数据库文件时出错，数据没有保存。");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("数据库文件已损坏，或者不是本系统的数据库。");
    case SQLITE_TOOBIG:
        return QStringLiteral("数据太大，不能保存。");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足，操作没有完成。");
    case SQLITE_AUTH:
        return QStringLiteral("不允许执行该数据库操作。");
    case SQLITE_INTERRUPT:
        return QStringLiteral("数据库操作被中断。");
    default:
        return QStringLiteral("数据库执行出错，操作没有完成（详细信息已写入日志）。");
    }
}

void RaiseEngineError(sqlite3* db, const QString& sql)
{
    const int code = sqlite3_extended_errcode(db);
    const QString detail = QString::fromUtf8(sqlite3_errmsg(db));
    WriteDatabaseLog(QStringLiteral("数据库错误 %1: %2\nSQL: %3").arg(code).arg(detail, sql.simplified().left(2000)));
    throw EDatabaseError(EngineErrorMessage(code, detail));
}

// ---------------------------------------------------------------- registry

namespace {

QString RegistryKey(const QString& name)
{
    QString n = name.trimmed().toUpper();
    const int semi = n.indexOf(u';');
    if (semi >= 0)
        n.truncate(semi);
    if (n.startsWith(QLatin1String("DBO.")))
        n.remove(0, 4);
    return n;
}

QHash<QString, TServerMethod>& Methods()
{
    static QHash<QString, TServerMethod> m;
    return m;
}

QHash<QString, TServerPacketMethod>& PacketMethods()
{
    static QHash<QString, TServerPacketMethod> m;
    return m;
}

QHash<QString, TStoredProcedure>& Procedures()
{
    static QHash<QString, TStoredProcedure> p;
    return p;
}

} // namespace

void TServerRegistry::RegisterMethod(const QString& name, TServerMethod m)
{
    Methods().insert(RegistryKey(name), std::move(m));
    PacketMethods().remove(RegistryKey(name));
}
void TServerRegistry::RegisterMethod(const QString& name, TServerMethod m, TServerPacketMethod pm)
{
    Methods().insert(RegistryKey(name), std::move(m));
    PacketMethods().insert(RegistryKey(name), std::move(pm));
}
TServerPacketMethod TServerRegistry::FindPacketMethod(const QString& name) { return PacketMethods().value(RegistryKey(name)); }
void TServerRegistry::RegisterProcedure(const QString& name, TStoredProcedure p) { Procedures().insert(RegistryKey(name), std::move(p)); }
TServerMethod TServerRegistry::FindMethod(const QString& name) { return Methods().value(RegistryKey(name)); }
TStoredProcedure TServerRegistry::FindProcedure(const QString& name) { return Procedures().value(RegistryKey(name)); }

// ---------------------------------------------------------------- proxy

QString TClientProxy::Invoke(const QString& method, const QString& packet, int timeoutMs)
{
    TClientConnection::TCallScope scope(FCon);
    // Methods run in-process on the caller's thread, so the time-out cannot fire; the
    // engine's busy time-out bounds any wait for another process's lock instead.
    if (FCon && FCon->Remote())
        return FCon->Remote()->Invoke(method, packet, timeoutMs);
    if (!FCon || !FCon->Connected())
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    TServerMethod m = TServerRegistry::FindMethod(method);
    if (!m)
        throw EDatabaseError(QStringLiteral("服务器上没有方法 %1").arg(method));
    return m(*FCon, packet);
}

QString TClientProxy::Invoke(const QString& method, const TPacketParams& request, int timeoutMs)
{
    if (FCon && !FCon->Remote() && FCon->Connected())
        if (const TServerPacketMethod m = TServerRegistry::FindPacketMethod(method)) {
            TClientConnection::TCallScope scope(FCon);
            return m(*FCon, request);
        }
    return Invoke(method, request.ToString(), timeoutMs);
}

// ---------------------------------------------------------------- stored procedure params

TProcParam& TProcParams::Add(const QString& name, TFieldType t, TParamDirection dir, int size)
{
    if (TProcParam* p = Find(name)) {
        p->DataType = t;
        p->Direction = dir;
        p->Size = size;
        return *p;
    }
    FItems.append(TProcParam{name, t, dir, size, QVariant()});
    return FItems.last();
}

TProcParam* TProcParams::Find(const QString& name)
{
    auto strip = [](const QString& s) { return s.startsWith(u'@') ? s.mid(1) : s; };
    for (TProcParam& p : FItems)
        if (strip(p.Name).compare(strip(name), Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

const TProcParam* TProcParams::Find(const QString& name) const { return const_cast<TProcParams*>(this)->Find(name); }

TProcParam& TProcParams::ParamByName(const QString& name)
{
    if (TProcParam* p = Find(name))
        return *p;
    throw EDatabaseError(QStringLiteral("存储过程参数 %1 不存在").arg(name));
}

QVariant TProcParams::Value(const QString& name) const
{
    const TProcParam* p = Find(name);
    return p ? p->Value : QVariant();
}

// ---------------------------------------------------------------- connection

TClientConnection::TClientConnection(QObject* owner) : QObject(owner)
{
    static QAtomicInt counter;
    FConnectionName = QStringLiteral("tradebill_%1").arg(counter.fetchAndAddRelaxed(1));
}

TClientConnection::TCallScope::TCallScope(TClientConnection* con) : FCon(con)
{
    if (FCon)
        ++FCon->FCallDepth;
}

TClientConnection::TCallScope::~TCallScope()
{
    if (!FCon || --FCon->FCallDepth > 0 || !FCon->FBusyReported)
        return;
    FCon->FBusyReported = false;
    if (FCon->FBusyObserver.Ended) {
        try {
            FCon->FBusyObserver.Ended();
        } catch (...) {
            // telling that a wait is over must never turn into a failure of the operation
        }
    }
}

int TClientConnection::BusyHandler(void* self, int count) { return static_cast<TClientConnection*>(self)->OnBusy(count); }

// The engine calls this while another process holds the write lock; 0 gives up (the
// statement then fails with SQLITE_BUSY), 1 tries again.
int TClientConnection::OnBusy(int count)
{
    if (count == 0)
        FBusyClock.start();
    const qint64 waited = FBusyClock.elapsed();
    if (waited >= FBusyTimeoutMs)
        return 0;
    if (FBusyObserver.Waiting) {
        FBusyReported = true;
        FInBusyWait = true;
        try {
            FBusyObserver.Waiting(waited);
        } catch (...) {
        }
        FInBusyWait = false;
    }
    QThread::msleep(static_cast<unsigned long>(qMin<qint64>(20, FBusyTimeoutMs - waited)));
    return 1;
}

TClientConnection::~TClientConnection()
{
    Close();
    if (g_DefaultCon == this)
        g_DefaultCon = nullptr;
}

void TClientConnection::OpenRemote(const QString& serverUrl, const QString& certFile)
{
    // The connection stays as it was when the server cannot be reached.
    auto link = std::make_unique<TRemoteLink>(QUrl(serverUrl), certFile);
    link->Connect();
    Close();
    FRemote = std::move(link);
    FFile.clear();
}

void TClientConnection::Open(const QString& databaseFile)
{
    Close();
    if (IsPostgresTarget(databaseFile)) {
        FPg = std::make_unique<TPgSession>(databaseFile);
        FFile = databaseFile;
        FTransDepth = 0;
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnectionName);
        db.setDatabaseName(databaseFile);
        if (!db.open()) {
            const QString err = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(FConnectionName);
            throw EDatabaseError(QStringLiteral("无法打开数据库 %1：%2").arg(databaseFile, err));
        }
    }
    FFile = databaseFile;
    FTransDepth = 0;
    sqlite3* h = Handle();
    // Waiting for another writer is ours to handle, so that the user can be told.
    sqlite3_busy_handler(h, &TClientConnection::BusyHandler, this);
    if (databaseFile != QLatin1String(":memory:")) {
        ExecuteNative(QStringLiteral("pragma journal_mode=WAL"));
        ExecuteNative(QStringLiteral("pragma synchronous=NORMAL"));
    }
    RegisterSqlFunctions(h);
}

void TClientConnection::Close()
{
    // Ending the session releases its advisory locks and rolls back what it left open.
    FRemote.reset();
    FPg.reset();
    FSessionLocks.clear();
    FTransDepth = 0;
    if (!QSqlDatabase::contains(FConnectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(FConnectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(FConnectionName);
    FTransDepth = 0;
}

bool TClientConnection::Connected() const
{
    if (FRemote)
        return FRemote->Connected();
    if (FPg)
        return true;
    return QSqlDatabase::contains(FConnectionName) && QSqlDatabase::database(FConnectionName, false).isOpen();
}

TPgSession* TClientConnection::PgSession() const
{
    if (!FPg)
        throw EDatabaseError(QStringLiteral("没有连接到 PostgreSQL 数据库"));
    return FPg.get();
}

sqlite3* TClientConnection::Handle() const
{
    if (FRemote)
        throw EDatabaseError(QStringLiteral("通过服务器工作时，不能直接使用数据库文件"));
    if (FPg)
        throw EDatabaseError(QStringLiteral("数据库驱动不是 SQLite"));
    if (!Connected())
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    if (FInBusyWait)
        throw EDatabaseError(QStringLiteral("数据库正在等待其他用户保存数据，请稍候再操作。"));
    const QVariant v = QSqlDatabase::database(FConnectionName, false).driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw EDatabaseError(QStringLiteral("数据库驱动不是 SQLite"));
    return *static_cast<sqlite3* const*>(v.constData());
}

void TClientConnection::BeginTrans()
{
    BeginTrans(QString());
}

void TClientConnection::BeginTrans(const QString& pgSettings)
{
    if (FRemote) {
        FRemote->Transaction(RemoteOp::Begin);
        ++FTransDepth;
        return;
    }
    if (FTransDepth == 0) {
        if (FPg) // sent with the transaction's first statement
            FPg->Defer(QStringLiteral("begin isolation level serializable") + (pgSettings.isEmpty() ? QString() : QStringLiteral("; ") + pgSettings), {});
        else
            ExecuteNative(QStringLiteral("begin immediate"));
        ++FTransSerial;
    } else {
        ExecuteNative(QStringLiteral("savepoint tb_sp%1").arg(FTransDepth));
    }
    ++FTransDepth;
}

bool TClientConnection::SessionLock(const QString& name, bool acquire, bool wait, int waitMs)
{
    if (!FPg)
        throw EDatabaseError(QStringLiteral("数据库锁只在数据库服务器上使用"));
    const QString key = name.trimmed().toUpper();
    const TSqlParams params{{QStringLiteral("n"), key}};
    auto it = FSessionLocks.find(key);
    if (!acquire) {
        if (it != FSessionLocks.end() && --*it <= 0) {
            FSessionLocks.erase(it);
            ExecuteScalar(QStringLiteral("select pg_advisory_unlock(hashtext(:n))"), params);
        }
        return true;
    }
    if (it != FSessionLocks.end()) {
        ++*it;
        return true;
    }
    // One that may wait asks once, waiting (an answer at once when the lock is free).
    if (wait && waitMs > 0 ? !WaitForSessionLock(params, waitMs)
                           : !ExecuteScalar(QStringLiteral("select pg_try_advisory_lock(hashtext(:n))"), params).toBool())
        return false;
    FSessionLocks.insert(key, 1);
    return true;
}

void TClientConnection::ReleaseSessionLockDurably(const QString& name)
{
    if (!FPg)
        throw EDatabaseError(QStringLiteral("数据库锁只在数据库服务器上使用"));
    const QString key = name.trimmed().toUpper();
    auto it = FSessionLocks.find(key);
    const bool last = it != FSessionLocks.end() && --*it <= 0;
    if (last)
        FSessionLocks.erase(it);
    // A statement outside a transaction commits as a transaction of its own; given an id, that
    // commit waits for the log, which is written in order and so holds every commit before it.
    // The lock goes the moment the statement runs, before that wait.
    ExecuteScalar(last ? QStringLiteral("select pg_advisory_unlock(hashtext(:n)), pg_current_xact_id()") : QStringLiteral("select pg_current_xact_id()"),
                  last ? TSqlParams{{QStringLiteral("n"), key}} : TSqlParams{});
}

bool TClientConnection::WaitForSessionLock(const TSqlParams& params, int waitMs)
{
    // The server queues the waiters and hands the lock on the moment its holder lets go; the
    // lock time-out ends a wait that lasts too long. The statement that waits sets the time-out
    // itself, for its transaction: outside one, for itself alone. Inside a transaction the wait
    // runs under a savepoint, so that a time-out leaves the transaction usable. The savepoint
    // and what follows a wait go with other statements, not in round trips of their own: a
    // turn passed on waits for no more than the lock's answer.
    const bool inTrans = FTransDepth > 0 || FPg->InTransactionBlock();
    if (inTrans)
        FPg->Defer(QStringLiteral("savepoint tb_lock_wait"), {});
    TSqlParams p = params;
    p.append({QStringLiteral("ms"), QString::number(waitMs)});
    try {
        ExecuteNative(QStringLiteral("with t as materialized (select set_config('lock_timeout', :ms, true)) select pg_advisory_lock(hashtext(:n)) from t"), p);
    } catch (const EDatabaseError&) {
        // 55P03: the time-out; 40P01: waiting for each other, which no wait would end
        const QString state = FPg->LastState();
        if (inTrans)
            ExecuteNative(QStringLiteral("rollback to savepoint tb_lock_wait"));
        if (state != QLatin1String("55P03") && state != QLatin1String("40P01"))
            throw;
        FPg->ClearLastState();
        return false;
    }
    if (inTrans)
        FPg->Defer(QStringLiteral("release savepoint tb_lock_wait; set local lock_timeout to default"), {});
    return true;
}

bool TClientConnection::LastFailureRetryable() const
{
    if (!FPg)
        return false;
    const QString& s = FPg->LastState();
    return s == QLatin1String("40001") || s == QLatin1String("40P01");
}

void TClientConnection::ClearLastFailure()
{
    if (FPg)
        FPg->ClearLastState();
}

void TClientConnection::CommitTrans()
{
    if (FTransDepth <= 0)
        throw EDatabaseError(QStringLiteral("没有活动的事务"));
    --FTransDepth;
    if (FRemote)
        return FRemote->Transaction(RemoteOp::Commit);
    if (FTransDepth > 0)
        return (void)ExecuteNative(QStringLiteral("release tb_sp%1").arg(FTransDepth));
    try {
        ExecuteNative(QStringLiteral("commit"));
    } catch (const EDatabaseError&) {
        // A write that went with the commit failed, and the commit did not run: the
        // transaction is over all the same.
        if (FPg && FPg->InTransactionBlock())
            FPg->Execute(QStringLiteral("rollback"), {});
        throw;
    }
}

void TClientConnection::RollbackTrans()
{
    if (FTransDepth <= 0)
        return;
    --FTransDepth;
    if (FRemote)
        return FRemote->Transaction(RemoteOp::Rollback);
    if (FPg) {
        // what waited to be sent was written after the savepoint (a savepoint sends the writes
        // before it) or in the transaction: undone either way
        FPg->DiscardDeferred();
        if (FTransDepth == 0)
            FPg->Execute(QStringLiteral("rollback"), {});
        else
            FPg->Execute(QStringLiteral("rollback to savepoint tb_sp%1; release savepoint tb_sp%1").arg(FTransDepth), {});
        return;
    }
    sqlite3* h = Handle();
    if (FTransDepth == 0) {
        // The engine may already have rolled back on its own (e.g. after a full disk).
        if (!sqlite3_get_autocommit(h))
            ExecuteNative(QStringLiteral("rollback"));
    } else {
        ExecuteNative(QStringLiteral("rollback to tb_sp%1; release tb_sp%1").arg(FTransDepth));
    }
}

int TClientConnection::ExecuteNative(const QString& sql, const TSqlParams& params)
{
    if (FRemote)
        return FRemote->Execute(sql, params, true);
    TCallScope scope(this);
    if (FPg)
        return FPg->Execute(NormaliseParams(sql), params);
    sqlite3* h = Handle();
    QString rest = NormaliseParams(sql);
    int changed = 0;
    while (!rest.trimmed().isEmpty()) {
        TStatement st(h, rest);
        if (st.Valid()) {
            st.Bind(params);
            while (st.Step()) {
            }
            changed += sqlite3_changes(h);
        }
        rest = st.Tail();
    }
    return changed;
}

void TClientConnection::ExecuteLater(const QString& sql, const TSqlParams& params)
{
    if (!FPg || FTransDepth == 0 || FRemote)
        return (void)ExecuteNative(sql, params);
    FPg->Defer(NormaliseParams(sql), params);
}

void TClientConnection::SelectAhead(const QString& sql, const TSqlParams& params)
{
    if (FPg && !FRemote)
        FPg->SelectAhead(NormaliseParams(sql), params, false);
}

int TClientConnection::Execute(const QString& sql, const TSqlParams& params)
{
    if (FRemote)
        return FRemote->Execute(sql, params, false);
    return ExecuteNative(TranslateSql(sql, Engine()), params);
}

void TClientConnection::OpenNative(const QString& sql, TClientDataSet* ds, const TSqlParams& params)
{
    if (FRemote)
        return FRemote->Open(sql, ds, params, true);
    TCallScope scope(this);
    if (FPg) {
        QVector<TFieldDef> fields;
        QVector<QVariantList> rows;
        FPg->Select(NormaliseParams(sql), params, fields, rows);
        ds->LoadFromXMLString(BuildDataPacket(fields, rows));
        return;
    }
    ds->LoadFromXMLString(SelectDataPacket(Handle(), NormaliseParams(sql), params));
}

void TClientConnection::OpenDataSet(const QString& sql, TClientDataSet* ds, const TSqlParams& params)
{
    if (FRemote)
        return FRemote->Open(sql, ds, params, false);
    OpenNative(TranslateSql(sql, Engine()), ds, params);
}

QVariant TClientConnection::ExecuteScalar(const QString& sql, const TSqlParams& params)
{
    if (FRemote)
        return FRemote->Scalar(sql, params);
    TCallScope scope(this);
    if (FPg) {
        QVector<TFieldDef> fields;
        QVector<QVariantList> rows;
        FPg->Select(NormaliseParams(TranslateSql(sql, TSqlEngine::PostgreSQL)), params, fields, rows);
        return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
    }
    TStatement st(Handle(), NormaliseParams(TranslateSql(sql)));
    st.Bind(params);
    return st.Step() && st.ColumnCount() > 0 ? st.Column(0) : QVariant();
}

qint64 TClientConnection::LastInsertRowId() const
{
    if (FRemote)
        throw EDatabaseError(QStringLiteral("通过服务器工作时，新记录的编号由服务器的过程返回"));
    if (FPg) {
        // the key a serial column drew last in this session
        QVector<TFieldDef> fields;
        QVector<QVariantList> rows;
        FPg->Select(QStringLiteral("select lastval()"), {}, fields, rows);
        return rows.first().first().toLongLong();
    }
    return sqlite3_last_insert_rowid(Handle());
}

// ---------------------------------------------------------------- query

TClientQuery::TClientQuery(QObject* owner, TClientConnection* con) : TClientDataSet(owner), FCon(con) {}

TClientConnection* TClientQuery::Connection() const
{
    TClientConnection* c = FCon ? FCon : g_DefaultCon;
    if (!c)
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    return c;
}

void TClientQuery::SetParam(const QString& name, const QVariant& v)
{
    QString n = name.startsWith(u':') ? name.mid(1) : name;
    FParams.insert(n.toUpper(), v);
}

QVariant TClientQuery::Param(const QString& name) const
{
    return FParams.value((name.startsWith(u':') ? name.mid(1) : name).toUpper());
}

QStringList TClientQuery::ParamNames() const
{
    QStringList names;
    NormaliseParams(SQL, &names);
    return names;
}

TSqlParams TClientQuery::BoundParams() const
{
    TSqlParams out;
    for (auto it = FParams.cbegin(); it != FParams.cend(); ++it)
        out.append({it.key(), it.value()});
    return out;
}

void TClientQuery::OpenQuery()
{
    Connection()->OpenDataSet(SQL, this, BoundParams());
}

int TClientQuery::ExecSQL()
{
    return Connection()->Execute(SQL, BoundParams());
}

void TClientQuery::UpdateBatch()
{
    CheckBrowseMode();
    if (ChangeCount() == 0)
        return;
    if (UpdateTable.isEmpty())
        throw EDatabaseError(QStringLiteral("查询没有指定更新的数据表"));
    TClientConnection* con = Connection();
    if (con->Remote()) {
        con->Remote()->Batch({TRemoteBatchItem{QString(), UpdateTable, KeyFields, GetDeltaXML()}});
        MergeChangeLog();
        return;
    }
    TClientConnection::TCallScope scope(con);
    const TDelta delta = ParseDeltaXML(GetDeltaXML());
    con->BeginTrans();
    try {
        ApplyDelta(*con, delta, TApplyDeltaOptions{UpdateTable, KeyFields, {}});
        con->CommitTrans();
    } catch (...) {
        con->RollbackTrans();
        throw;
    }
    MergeChangeLog();
}

// ---------------------------------------------------------------- stored procedure

namespace {
constexpr int kProcedureAttempts = 8;
}

TClientStoredProc::TClientStoredProc(TClientConnection* con, QString name) : ProcedureName(std::move(name)), FCon(con) {}

void TClientStoredProc::Run(bool withRows)
{
    TClientConnection* con = FCon ? FCon : g_DefaultCon;
    if (!con)
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    if (con->Remote()) {
        FRows.Close();
        return con->Remote()->RunProc(ProcedureName, Params, withRows ? &FRows : nullptr);
    }
    TStoredProcedure proc = TServerRegistry::FindProcedure(ProcedureName);
    if (!proc)
        throw EDatabaseError(QStringLiteral("存储过程 %1 不存在").arg(ProcedureName));
    FRows.Close();
    TClientConnection::TCallScope scope(con);
    // A procedure is one unit of work: all of its writes land or none do. When the engine
    // refuses it for a concurrent one, it runs again from its original parameters.
    const TProcParams given = Params;
    for (int attempt = 1;; ++attempt) {
        const bool outermost = !con->InTransaction();
        con->ClearLastFailure();
        con->BeginTrans();
        try {
            proc(*con, Params, withRows ? &FRows : nullptr);
            con->CommitTrans();
            return;
        } catch (...) {
            con->RollbackTrans();
            if (!outermost || attempt >= kProcedureAttempts || !con->LastFailureRetryable())
                throw;
        }
        Params = given;
        FRows.Close();
        QThread::msleep(static_cast<unsigned long>(5 * attempt));
    }
}

void TClientStoredProc::ExecProc() { Run(false); }
void TClientStoredProc::Open() { Run(true); }

// ---------------------------------------------------------------- batch

TBatchSQL::TBatchSQL(TClientConnection* con) : FCon(con) {}

void TBatchSQL::Add(const QString& sql) { FItems.append(Item{sql, nullptr}); }
void TBatchSQL::Add(TClientQuery* query, TBatchKind) { FItems.append(Item{QString(), query}); }
void TBatchSQL::Clear() { FItems.clear(); }

void TBatchSQL::Update()
{
    TClientConnection* con = FCon ? FCon : g_DefaultCon;
    if (!con)
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    if (con->Remote()) {
        QVector<TRemoteBatchItem> items;
        for (const Item& it : FItems) {
            if (!it.Query) {
                items.append(TRemoteBatchItem{it.Sql, {}, {}, {}});
                continue;
            }
            it.Query->CheckBrowseMode();
            if (it.Query->ChangeCount() > 0)
                items.append(TRemoteBatchItem{QString(), it.Query->UpdateTable, it.Query->KeyFields, it.Query->GetDeltaXML()});
        }
        con->Remote()->Batch(items);
        for (const Item& it : FItems)
            if (it.Query)
                it.Query->MergeChangeLog();
        return;
    }
    TClientConnection::TCallScope scope(con);
    con->BeginTrans();
    try {
        for (const Item& it : FItems) {
            if (it.Query) {
                it.Query->CheckBrowseMode();
                if (it.Query->ChangeCount() == 0)
                    continue;
                if (it.Query->UpdateTable.isEmpty())
                    throw EDatabaseError(QStringLiteral("查询没有指定更新的数据表"));
                ApplyDelta(*con, ParseDeltaXML(it.Query->GetDeltaXML()),
                           TApplyDeltaOptions{it.Query->UpdateTable, it.Query->KeyFields, {}});
            } else {
                con->Execute(it.Sql);
            }
        }
        con->CommitTrans();
    } catch (...) {
        con->RollbackTrans();
        throw;
    }
    for (const Item& it : FItems)
        if (it.Query)
            it.Query->MergeChangeLog();
}
