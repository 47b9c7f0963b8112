#pragma once
// tradebill-server: the server procedures and the queries of the desktops, served over HTTPS.
//
// A desktop opens a session (POST /session, answered with a token), logs in through the
// "Login" method like the embedded mode does, and then sends every call as a request packet to
// POST /call with the token in the X-Tradebill-Session header (webrpc/RemoteProtocol.h).
// Each session has a database connection of its own on a thread of its own, so its transactions
// span calls and its calls run one after another. The session's operator, branch and rights live
// only on the server and are checked on every call; refused calls are logged with operator and
// reason.
//
// A session that stops calling (the desktop crashed or lost its network) keeps nothing for long:
// after the lease, its open transaction is rolled back and its named locks are freed; after the
// idle time-out, the session itself ends.
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QHttpServer;
class TClientConnection;
class QFile;
class QTimer;
class QSslServer;

struct TServerOptions {
    QString Database;                      // the SQLite file (made with the schema when empty)
    QHostAddress Address = QHostAddress::Any;
    quint16 Port = 8443;                   // 0: any free port (printed at start)
    QString CertFile;                      // default: beside the database
    QString KeyFile;
    QString LogFile;                       // besides standard error
    bool DemoData = false;                 // fill a new database with the demo data
    int LeaseMs = 30000;                   // silence after which locks and transactions go
    int SessionIdleMs = 8 * 3600 * 1000;   // silence after which the session ends
};

// Reads the command line; throws Exception with the usage text on a bad option.
TServerOptions ParseServerOptions(const QStringList& args);
QString ServerUsage();

// Named locks ("BILLLOCK") held by sessions: re-entrant per session, exclusive between them.
// On PostgreSQL the database holds them as well, as advisory locks of the owner's own database
// session (`db`, its connection): servers sharing one database exclude each other, and a lock
// whose server died goes with its database session. Calls that pass `db` run on the thread of
// that connection.
class TSessionLocks {
public:
    // Takes the lock for `owner`; waits up to waitMs while another session (of this server or,
    // on PostgreSQL, of another) holds it.
    bool Take(const QString& name, const QByteArray& owner, int waitMs, TClientConnection* db = nullptr);
    void Release(const QString& name, const QByteArray& owner, TClientConnection* db = nullptr);
    bool Held(const QString& name, const QByteArray& owner);
    bool HoldsAny(const QByteArray& owner);
    QStringList ReleaseAll(const QByteArray& owner, TClientConnection* db = nullptr); // the names freed

private:
    struct TEntry {
        QByteArray Owner;
        int Count = 0;
    };
    QMutex FMutex;
    QHash<QString, TEntry> FLocks;
};

class TAppServer : public QObject {
    Q_OBJECT
public:
    explicit TAppServer(TServerOptions options, QObject* parent = nullptr);
    ~TAppServer() override;

    // Prepares the database and the certificate and starts listening; returns the port.
    // Throws Exception with a clear message when it cannot.
    quint16 Start();
    void Log(const QString& line);

    struct TSession;

private:
    TServerOptions FOptions;
    std::unique_ptr<QHttpServer> FHttp;
    QSslServer* FTcp = nullptr;
    QTimer* FJanitor = nullptr;
    QHash<QByteArray, std::shared_ptr<TSession>> FSessions;
    TSessionLocks FLocks;
    QMutex FLogMutex;
    std::unique_ptr<QFile> FLog;

    void PrepareDatabase();
    std::shared_ptr<TSession> OpenSession(const QHostAddress& peer);
    void EndSession(const QByteArray& token, const QString& why);
    void Sweep();
};
