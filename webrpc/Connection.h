#pragma once
// The database seam: the shared connection, queries, stored procedures, batches and the
// proxy through which server procedures are called.
#include "platform/DataSet.h"
#include "webrpc/PacketParams.h"
#include "webrpc/SqlDialect.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <any>
#include <functional>
#include <memory>

struct sqlite3;
class TClientConnection;
class TPgSession;
class TRemoteLink;

// A server method: takes the request packet text, answers a packet text. Runs in-process
// against the connection it is given, inside its own transaction.
using TServerMethod = std::function<QString(TClientConnection& con, const QString& request)>;
// The same method taking its request as a packet: called in-process without the request's
// text (a bill's change sets of thousands of lines are not written and read back).
using TServerPacketMethod = std::function<QString(TClientConnection& con, const TPacketParams& request)>;

// Stored procedures: named, typed parameters in and out, optionally rows.
enum class TParamDirection { pdInput, pdOutput, pdInputOutput, pdReturnValue };
struct TProcParam {
    QString Name; // "@billcode"
    TFieldType DataType = TFieldType::ftInteger;
    TParamDirection Direction = TParamDirection::pdInput;
    int Size = 0;
    QVariant Value;
};
class TProcParams {
public:
    TProcParam& Add(const QString& name, TFieldType t, TParamDirection dir = TParamDirection::pdInput, int size = 0);
    TProcParam* Find(const QString& name); // case-insensitive
    const TProcParam* Find(const QString& name) const;
    TProcParam& ParamByName(const QString& name); // throws EDatabaseError
    QVariant Value(const QString& name) const;     // null when absent
    int Count() const { return FItems.size(); }
    TProcParam& operator[](int i) { return FItems[i]; }
    void Clear() { FItems.clear(); }

private:
    QVector<TProcParam> FItems;
};
// A stored procedure's body: reads and writes params; may fill rows (set fields and append).
using TStoredProcedure = std::function<void(TClientConnection& con, TProcParams& params, TClientDataSet* rows)>;

// Where server methods and stored procedures are found. The server registers into it at
// start-up; names compare without regard to case, and a ";1" suffix is ignored.
class TServerRegistry {
public:
    static void RegisterMethod(const QString& name, TServerMethod m);
    // A method that also takes its request as a packet in the same process.
    static void RegisterMethod(const QString& name, TServerMethod m, TServerPacketMethod pm);
    static void RegisterProcedure(const QString& name, TStoredProcedure p);
    static TServerMethod FindMethod(const QString& name);
    static TServerPacketMethod FindPacketMethod(const QString& name);
    static TStoredProcedure FindProcedure(const QString& name);
};

class TClientProxy {
public:
    explicit TClientProxy(TClientConnection* con) : FCon(con) {}
    // Calls a server method and returns its reply packet text. An unknown method or a
    // method that throws raises EDatabaseError to the caller.
    QString Invoke(const QString& method, const QString& packet, int timeoutMs = 30000);
    // The same with the request as a packet: its text crosses only to a remote server.
    QString Invoke(const QString& method, const TPacketParams& request, int timeoutMs = 30000);

private:
    TClientConnection* FCon;
};

// Who is calling the server procedures on this connection. It is set when an operator logs in
// (the server's login method, or the host's LoginAs in the embedded mode) and the procedures
// check rights against it, never against ids that a packet carries.
struct TServerSession {
    int OpID = 0;
    QString OpName;
    int ShopID = 0;
    bool SysManager = false;
    bool LoggedIn() const { return OpID > 0; }
};

// A named value bound to ":name" or ":'name'" in SQL text.
using TSqlParams = QList<QPair<QString, QVariant>>;

// Told while a connection waits for another process to finish writing (the engine allows one
// writer at a time). Waiting comes every few dozen milliseconds with the time waited so far;
// Ended once the operation that waited is over, whether it got through or gave up. Both run
// on the connection's thread, inside the wait: they must not use the connection.
struct TBusyObserver {
    std::function<void(qint64 waitedMs)> Waiting;
    std::function<void()> Ended;
};

// Where the engine's own error texts go (users see them in words; the raw text, with the
// statement, is kept for whoever looks into a fault). Default: Qt's warning log.
void SetDatabaseLog(std::function<void(const QString&)> sink);
void WriteDatabaseLog(const QString& text);
// The message users see for an engine result code (extended codes accepted); `detail` is the
// engine's text, from which only the names of a failed constraint are taken.
QString EngineErrorMessage(int resultCode, const QString& detail = QString());
// Logs the engine's error of `db` with the statement and raises EDatabaseError with the
// message users see.
[[noreturn]] void RaiseEngineError(sqlite3* db, const QString& sql);

class TClientConnection : public QObject {
    Q_OBJECT
public:
    explicit TClientConnection(QObject* owner = nullptr);
    ~TClientConnection() override;

    // Opens a database: "postgresql://user@host:port/db" reaches a PostgreSQL server; any
    // other text is a SQLite file (created when absent; the SQL functions are registered).
    void Open(const QString& databaseFile);
    // Works through tradebill-server instead of a file (webrpc/RemoteLink.h): every public
    // operation below is then answered by the server, under the session it keeps.
    void OpenRemote(const QString& serverUrl, const QString& certFile = QString());
    TRemoteLink* Remote() const { return FRemote.get(); }
    void Close();
    bool Connected() const;
    QString DatabaseFile() const { return FFile; }
    // The engine behind the connection; code above this layer asks only to pick SQL that the
    // dialect translation cannot bridge (schema scripts).
    TSqlEngine Engine() const { return FPg ? TSqlEngine::PostgreSQL : TSqlEngine::SQLite; }
    bool IsPostgres() const { return FPg != nullptr; }
    // SQLite's handle; raises EDatabaseError on a PostgreSQL connection.
    sqlite3* Handle() const;
    TPgSession* PgSession() const;

    // Transactions nest: the outermost is a real transaction, inner ones are savepoints.
    // On PostgreSQL the outermost transaction is serializable: what a procedure read stays true
    // until it commits, or the engine refuses it and the procedure runs again (see below).
    void BeginTrans();
    // The same, with settings of the outermost transaction on PostgreSQL ("set local ..."), sent
    // with its begin in one round trip; savepoints and SQLite take no settings.
    void BeginTrans(const QString& pgSettings);
    void CommitTrans();
    void RollbackTrans();
    // Whether a failure since ClearLastFailure was the engine's "run it again" (a serialization
    // failure or a deadlock on PostgreSQL); a procedure that failed so is retried whole.
    bool LastFailureRetryable() const;
    void ClearLastFailure();
    bool InTransaction() const { return FTransDepth > 0; }
    int TransactionDepth() const { return FTransDepth; }
    // Counts the outermost transactions begun: what was read under one number stays what the
    // transaction sees until the number moves on.
    quint64 TransactionSerial() const { return FTransSerial; }

    // Runs statements without rows (several may be separated by ';'). Returns rows changed.
    int Execute(const QString& sql, const TSqlParams& params = {});
    // Runs a select and fills ds (fields replaced; dataset left open, clean).
    void OpenDataSet(const QString& sql, TClientDataSet* ds, const TSqlParams& params = {});
    // First column of the first row, or null.
    QVariant ExecuteScalar(const QString& sql, const TSqlParams& params = {});
    // Runs SQL already in the engine's dialect (server code and schema scripts).
    int ExecuteNative(const QString& sql, const TSqlParams& params = {});
    void OpenNative(const QString& sql, TClientDataSet* ds, const TSqlParams& params = {});
    // A write in the engine's dialect whose count of rows nobody reads. Inside a transaction on
    // a database server it waits and goes with the next statement (or the commit) in one round
    // trip, and a failure of it is raised there; anywhere else it runs at once.
    void ExecuteLater(const QString& sql, const TSqlParams& params = {});
    // A select in the engine's dialect that the server code asks next (its rows by names as
    // they come, not made unique): on a database server it goes with the next select, in one
    // round trip, and is answered from there; anywhere else nothing happens until it is asked.
    void SelectAhead(const QString& sql, const TSqlParams& params = {});

    // Named locks of the database session (PostgreSQL advisory locks, such as "BILLLOCK"): held
    // until released as many times as taken, or until the session ends, so a client that dies
    // never leaves one behind. acquire=false releases (always true); wait retries up to waitMs.
    // Raises EDatabaseError on a SQLite connection (which locks files instead).
    bool SessionLock(const QString& name, bool acquire, bool wait = false, int waitMs = 10000);
    // Releases a named lock as SessionLock(name, false) does and, in the same round trip, waits
    // until the database log holds everything committed so far (see RunSubmit's turns).
    void ReleaseSessionLockDurably(const QString& name);
    bool HoldsSessionLock(const QString& name) const { return FSessionLocks.contains(name.trimmed().toUpper()); }

    TClientProxy* Proxy() { return &FProxy; }

    // The operator the server procedures act for (empty until someone logs in).
    const TServerSession& Session() const { return FSession; }
    void SetSession(const TServerSession& s) { FSession = s; }
    // What the server procedures keep for this connection between calls, by name (each keeper
    // says when its entry is still good); it ends with the connection.
    std::any& Memo(const QString& name) { return FMemo[name]; }

    qint64 LastInsertRowId() const;

    // Waiting for another writer: how long before giving up (default 15000 ms), and who is
    // told while it lasts. While the connection waits it refuses to be used (the observer may
    // let the application repaint, which must not start another statement on it).
    void SetBusyTimeout(int ms) { FBusyTimeoutMs = ms < 0 ? 0 : ms; }
    int BusyTimeout() const { return FBusyTimeoutMs; }
    void SetBusyObserver(TBusyObserver observer) { FBusyObserver = std::move(observer); }
    bool WaitingForWriter() const { return FInBusyWait; }

    // Marks a public operation, so that a wait inside it is reported ended when it returns.
    class TCallScope {
    public:
        explicit TCallScope(TClientConnection* con);
        ~TCallScope();
        TCallScope(const TCallScope&) = delete;
        TCallScope& operator=(const TCallScope&) = delete;

    private:
        TClientConnection* FCon;
    };

private:
    bool WaitForSessionLock(const TSqlParams& params, int waitMs);

    std::unique_ptr<TRemoteLink> FRemote;
    QString FConnectionName;
    QString FFile;
    std::unique_ptr<TPgSession> FPg;
    QHash<QString, int> FSessionLocks; // held names, upper-cased, and how often taken
    int FTransDepth = 0;
    quint64 FTransSerial = 0;
    QHash<QString, std::any> FMemo;
    TClientProxy FProxy{this};
    TServerSession FSession;
    int FBusyTimeoutMs = 15000;
    TBusyObserver FBusyObserver;
    QElapsedTimer FBusyClock;
    int FCallDepth = 0;
    bool FInBusyWait = false;
    bool FBusyReported = false;
    static int BusyHandler(void* self, int count);
    int OnBusy(int count);
};

// The shared connection of the host (set by the application or the test fixture).
extern TClientConnection* g_DefaultCon;

// A query dataset. Parameters are written ":name" or ":'name'" in the SQL text.
class TClientQuery : public TClientDataSet {
    Q_OBJECT
public:
    explicit TClientQuery(QObject* owner = nullptr, TClientConnection* con = nullptr);
    TClientConnection* Connection() const;
    void SetConnection(TClientConnection* con) { FCon = con; }

    QString SQL;                  // text in the system's dialect
    QString& GetSQL() { return SQL; }
    void SetParam(const QString& name, const QVariant& v);
    QVariant Param(const QString& name) const;
    QStringList ParamNames() const; // names found in SQL, in order of first use
    void ClearParams() { FParams.clear(); }

    void OpenQuery();  // runs SQL and loads rows (clean)
    int ExecSQL();     // runs SQL without rows

    // Cached updates: the table the rows came from and its key columns, so that
    // UpdateBatch can write the pending changes back.
    QString UpdateTable;
    QStringList KeyFields;
    void UpdateBatch(); // writes every pending change in one transaction, then merges the log
    int GetChangeCount() const { return ChangeCount(); }

private:
    TClientConnection* FCon;
    QMap<QString, QVariant> FParams; // upper-cased names
    TSqlParams BoundParams() const;
};

class TClientStoredProc {
public:
    explicit TClientStoredProc(TClientConnection* con = nullptr, QString name = QString());
    QString ProcedureName; // "getnewbillcodebydate;1"
    TProcParams Params;
    TClientDataSet* Rows() { return &FRows; } // rows of the last Open
    void ExecProc();
    void Open();
    void Close() { FRows.Close(); }
    bool Active() const { return FRows.Active(); }

private:
    TClientConnection* FCon;
    TClientDataSet FRows;
    void Run(bool withRows);
};

enum class TBatchKind { bkSql, bkQueryChanges };
class TBatchSQL {
public:
    explicit TBatchSQL(TClientConnection* con = nullptr);
    void Add(const QString& sql);
    void Add(TClientQuery* query, TBatchKind kind = TBatchKind::bkQueryChanges);
    void Clear();
    int Count() const { return FItems.size(); }
    void Update(); // everything in one transaction; all or nothing

private:
    struct Item {
        QString Sql;
        TClientQuery* Query = nullptr;
    };
    TClientConnection* FCon;
    QVector<Item> FItems;
};
