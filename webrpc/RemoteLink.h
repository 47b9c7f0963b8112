#pragma once
// The desktop's side of tradebill-server: a session on the server and the calls that a
// TClientConnection forwards to it when it works remotely (OpenRemote). The server runs the same
// procedure code as the embedded mode, on its own database; the desktop never holds database
// credentials, only the session token the server gave it.
//
// Calls block the calling thread; the network runs on a thread of the link's own. An answer that
// does not come (connection lost, time-out) raises ERemoteLost, whose message tells the user that
// the window keeps what they typed; the server's refusals raise EDatabaseError with its message.
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"
#include "webrpc/RemoteProtocol.h"

#include <QUrl>

#include <memory>

class ERemoteLost : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

class TRemoteLink {
public:
    // `server` "https://host:port". `certFile`: the server's own certificate (PEM), trusted for
    // that server alone, which is how a self-signed server is reached; empty trusts the system's
    // certificate authorities only.
    TRemoteLink(const QUrl& server, const QString& certFile);
    ~TRemoteLink();
    TRemoteLink(const TRemoteLink&) = delete;
    TRemoteLink& operator=(const TRemoteLink&) = delete;

    // Opens a session (nobody logged in yet); throws on failure.
    void Connect();
    bool Connected() const { return !FToken.isEmpty(); }
    // Ends the session: the server rolls back what is open and frees its locks.
    void Disconnect();
    QUrl Server() const { return FServer; }
    QString CertFile() const { return FCertFile; }

    // One round trip: sends `request`, returns the reply; throws ERemoteLost when no answer
    // came and EDatabaseError when the server refused (reply "ErrNo" not 0).
    TPacketParams Call(TPacketParams request, int timeoutMs = 30000);

    int Execute(const QString& sql, const TSqlParams& params, bool native);
    void Open(const QString& sql, TClientDataSet* ds, const TSqlParams& params, bool native);
    QVariant Scalar(const QString& sql, const TSqlParams& params);
    QString Invoke(const QString& method, const QString& packet, int timeoutMs);
    void RunProc(const QString& name, TProcParams& params, TClientDataSet* rows);
    void Batch(const QVector<TRemoteBatchItem>& items);
    void Transaction(const char* op);
    // Named locks held by this session on the server ("take", "release", "held").
    bool Lock(const QString& name, const QString& mode, bool wait);

private:
    struct TWire;
    QUrl FServer;
    QString FCertFile;
    QByteArray FToken;
    std::unique_ptr<TWire> FWire;
};
