#pragma once
// A tradebill-server started by the test on a free local port over a database file of its own,
// and the client side of logging in to it.
#include "webrpc/Connection.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

class TServerProcess {
public:
    // Starts the server over `database` (the file must exist) with the extra options; waits
    // until it listens. Fails the current test when it does not start.
    explicit TServerProcess(const QString& database, const QStringList& extra = {});
    ~TServerProcess();

    QString Url() const { return QStringLiteral("https://127.0.0.1:%1").arg(FPort); }
    QString Database() const { return FDatabase; }
    bool Running() const { return FPort > 0; }
    QString Log() const; // what the server logged so far
    void Kill();         // ends the process at once, as a crash would

    // The certificate every test server shares (made by the first one that starts).
    static QString CertFile();

private:
    QString FDatabase;
    QString FLogFile;
    std::unique_ptr<QProcess> FProcess;
    int FPort = 0;
};

// Opens a session on the server and logs in; the operators and passwords of the demo data
// are "admin"/"manager" (opid 1, a system manager) and "clerk"/"clerk" (opid 2). Throws
// EDatabaseError with the server's message when refused. The connection's own session then
// mirrors the server's, for code that reads who is logged in.
void RemoteLogin(TClientConnection& con, const QString& server, const QString& user, const QString& password);

// A copy of the demo database in `dir`, with its path.
QString DemoCopy(const QString& dir, const QString& name = QStringLiteral("chain.db"));
