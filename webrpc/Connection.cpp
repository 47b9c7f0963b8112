#include "webrpc/Connection.h"

#include "webrpc/SqlDialect.h"
#include "webrpc/Statement.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>

TClientConnection* g_DefaultCon = nullptr;

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

QHash<QString, TStoredProcedure>& Procedures()
{
    static QHash<QString, TStoredProcedure> p;
    return p;
}

} // namespace

void TServerRegistry::RegisterMethod(const QString& name, TServerMethod m) { Methods().insert(RegistryKey(name), std::move(m)); }
void TServerRegistry::RegisterProcedure(const QString& name, TStoredProcedure p) { Procedures().insert(RegistryKey(name), std::move(p)); }
TServerMethod TServerRegistry::FindMethod(const QString& name) { return Methods().value(RegistryKey(name)); }
TStoredProcedure TServerRegistry::FindProcedure(const QString& name) { return Procedures().value(RegistryKey(name)); }

// ---------------------------------------------------------------- proxy

QString TClientProxy::Invoke(const QString& method, const QString& packet, int timeoutMs)
{
    // Methods run in-process on the caller's thread, so the time-out cannot fire; the
    // engine's busy time-out bounds any wait for another process's lock instead.
    Q_UNUSED(timeoutMs);
    if (!FCon || !FCon->Connected())
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    TServerMethod m = TServerRegistry::FindMethod(method);
    if (!m)
        throw EDatabaseError(QStringLiteral("服务器上没有方法 %1").arg(method));
    return m(*FCon, packet);
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

TClientConnection::~TClientConnection()
{
    Close();
    if (g_DefaultCon == this)
        g_DefaultCon = nullptr;
}

void TClientConnection::Open(const QString& databaseFile)
{
    Close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnectionName);
        db.setDatabaseName(databaseFile);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
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
    sqlite3_busy_timeout(h, 15000);
    if (databaseFile != QLatin1String(":memory:")) {
        ExecuteNative(QStringLiteral("pragma journal_mode=WAL"));
        ExecuteNative(QStringLiteral("pragma synchronous=NORMAL"));
    }
    RegisterSqlFunctions(h);
}

void TClientConnection::Close()
{
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
    return QSqlDatabase::contains(FConnectionName) && QSqlDatabase::database(FConnectionName, false).isOpen();
}

sqlite3* TClientConnection::Handle() const
{
    if (!Connected())
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    const QVariant v = QSqlDatabase::database(FConnectionName, false).driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw EDatabaseError(QStringLiteral("数据库驱动不是 SQLite"));
    return *static_cast<sqlite3* const*>(v.constData());
}

void TClientConnection::BeginTrans()
{
    if (FTransDepth == 0)
        ExecuteNative(QStringLiteral("begin immediate"));
    else
        ExecuteNative(QStringLiteral("savepoint tb_sp%1").arg(FTransDepth));
    ++FTransDepth;
}

void TClientConnection::CommitTrans()
{
    if (FTransDepth <= 0)
        throw EDatabaseError(QStringLiteral("没有活动的事务"));
    --FTransDepth;
    if (FTransDepth == 0)
        ExecuteNative(QStringLiteral("commit"));
    else
        ExecuteNative(QStringLiteral("release tb_sp%1").arg(FTransDepth));
}

void TClientConnection::RollbackTrans()
{
    if (FTransDepth <= 0)
        return;
    --FTransDepth;
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

int TClientConnection::Execute(const QString& sql, const TSqlParams& params)
{
    return ExecuteNative(TranslateSql(sql), params);
}

void TClientConnection::OpenNative(const QString& sql, TClientDataSet* ds, const TSqlParams& params)
{
    QVector<TFieldDef> fields;
    QVector<QVariantList> rows;
    RunSelect(Handle(), NormaliseParams(sql), params, fields, rows);
    ds->LoadFromXMLString(BuildDataPacketXML(fields, rows));
}

void TClientConnection::OpenDataSet(const QString& sql, TClientDataSet* ds, const TSqlParams& params)
{
    OpenNative(TranslateSql(sql), ds, params);
}

QVariant TClientConnection::ExecuteScalar(const QString& sql, const TSqlParams& params)
{
    TStatement st(Handle(), NormaliseParams(TranslateSql(sql)));
    st.Bind(params);
    return st.Step() && st.ColumnCount() > 0 ? st.Column(0) : QVariant();
}

qint64 TClientConnection::LastInsertRowId() const
{
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

TClientStoredProc::TClientStoredProc(TClientConnection* con, QString name) : ProcedureName(std::move(name)), FCon(con) {}

void TClientStoredProc::Run(bool withRows)
{
    TClientConnection* con = FCon ? FCon : g_DefaultCon;
    if (!con)
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    TStoredProcedure proc = TServerRegistry::FindProcedure(ProcedureName);
    if (!proc)
        throw EDatabaseError(QStringLiteral("存储过程 %1 不存在").arg(ProcedureName));
    FRows.Close();
    // A procedure is one unit of work: all of its writes land or none do.
    con->BeginTrans();
    try {
        proc(*con, Params, withRows ? &FRows : nullptr);
        con->CommitTrans();
    } catch (...) {
        con->RollbackTrans();
        throw;
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
