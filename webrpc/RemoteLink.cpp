#include "webrpc/RemoteLink.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThread>
#include <QTimer>

#include <future>

namespace {

struct TWireAnswer {
    bool Answered = false; // an HTTP answer came (whatever its status)
    bool Untrusted = false; // the server's certificate was not accepted
    int Status = 0;
    QByteArray Body;
    QString Error;
};

// Long reports may read for a while; everything else answers well within the default.
constexpr int kQueryTimeoutMs = 120000;

} // namespace

// The network side: a thread with its own access manager, so that a call can wait for its
// answer without running the caller's event loop (which could re-enter the connection).
struct TRemoteLink::TWire {
    QThread Thread;
    QObject* Context = nullptr;
    QNetworkAccessManager* Nam = nullptr;
    QSslCertificate Pinned;

    TWire()
    {
        Context = new QObject;
        Context->moveToThread(&Thread);
        Thread.start();
    }
    ~TWire()
    {
        Context->deleteLater(); // runs as the thread finishes, with the access manager
        Thread.quit();
        Thread.wait();
    }

    // Starts a POST on the wire's thread; the answer arrives through the returned future.
    std::shared_future<TWireAnswer> Start(const QUrl& url, const QByteArray& token, const QByteArray& body, int timeoutMs)
    {
        auto promise = std::make_shared<std::promise<TWireAnswer>>();
        std::shared_future<TWireAnswer> answer = promise->get_future().share();
        QMetaObject::invokeMethod(Context, [this, url, token, body, timeoutMs, promise] {
            if (!Nam)
                Nam = new QNetworkAccessManager(Context);
            QNetworkRequest req(url);
            req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-tradebill-packet"));
            if (!token.isEmpty())
                req.setRawHeader(kRemoteSessionHeader, token);
            req.setTransferTimeout(timeoutMs);
            QNetworkReply* r = Nam->post(req, body);
            const QSslCertificate pinned = Pinned;
            QObject::connect(r, &QNetworkReply::sslErrors, r, [r, pinned](const QList<QSslError>&) {
                // The server's own certificate, given to us beforehand, is trusted as it is.
                if (!pinned.isNull() && r->sslConfiguration().peerCertificate() == pinned)
                    r->ignoreSslErrors();
            });
            QObject::connect(r, &QNetworkReply::finished, r, [r, promise] {
                TWireAnswer a;
                a.Status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                a.Answered = a.Status > 0;
                // A request ended by its transfer time-out (a call, or a heartbeat, that the server
                // did not answer in time) is aborted, which closes the reply before it finishes:
                // there is nothing to read from it then.
                if (r->isOpen())
                    a.Body = r->readAll();
                a.Error = r->errorString();
                a.Untrusted = r->error() == QNetworkReply::SslHandshakeFailedError;
                promise->set_value(a);
                r->deleteLater();
            });
        }, Qt::QueuedConnection);
        return answer;
    }

    TWireAnswer Post(const QUrl& url, const QByteArray& token, const QByteArray& body, int timeoutMs)
    {
        std::shared_future<TWireAnswer> answer = Start(url, token, body, timeoutMs);
        // The transfer time-out ends the request; the margin covers a thread that is slow to
        // notice it.
        if (answer.wait_for(std::chrono::milliseconds(timeoutMs + 3000)) != std::future_status::ready) {
            TWireAnswer late;
            late.Error = QStringLiteral("timed out");
            return late;
        }
        return answer.get();
    }
};

TRemoteLink::TRemoteLink(const QUrl& server, const QString& certFile) : FServer(server), FCertFile(certFile), FWire(std::make_unique<TWire>())
{
    if (server.scheme() != QLatin1String("https") || server.host().isEmpty())
        throw EDatabaseError(QStringLiteral("服务器地址 %1 不正确，应写成 https://主机:端口").arg(server.toString()));
    if (!certFile.isEmpty()) {
        QFile f(certFile);
        if (!f.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("无法读取服务器证书文件 %1").arg(certFile));
        FWire->Pinned = QSslCertificate(f.readAll(), QSsl::Pem);
        if (FWire->Pinned.isNull())
            throw EDatabaseError(QStringLiteral("服务器证书文件 %1 不是 PEM 格式的证书").arg(certFile));
    }
}

TRemoteLink::~TRemoteLink()
{
    try {
        Disconnect();
    } catch (...) {
        // the server ends a session nobody calls on its own
    }
}

namespace {

[[noreturn]] void RaiseLost(const QUrl& server, const QString& why)
{
    throw ERemoteLost(QStringLiteral("与服务器 %1 的连接中断（%2），操作没有完成或没有收到结果。窗口中的内容都还在，"
                                     "连接恢复后可以再保存一次；已经保存过的单据不会重复保存。")
                          .arg(server.toString(QUrl::RemovePath), why));
}

TPacketParams ReadReply(const QUrl& server, const TWireAnswer& a)
{
    if (a.Untrusted)
        throw EDatabaseError(QStringLiteral("服务器 %1 的证书不受信任，没有连接。请用 --server-cert 指定服务器的证书文件"
                                            "（服务器第一次启动时生成的 .crt 文件）。").arg(server.toString(QUrl::RemovePath)));
    if (!a.Answered)
        RaiseLost(server, a.Error);
    TPacketParams reply;
    try {
        reply.LoadFromString(QString::fromUtf8(a.Body));
    } catch (const EPacketError&) {
        throw EDatabaseError(QStringLiteral("服务器的回答无法识别（HTTP %1）。请确认地址指向的是本系统的服务器。").arg(a.Status));
    }
    if (reply.GetInt(QStringLiteral("ErrNo")) != 0)
        throw EDatabaseError(reply.GetString(QStringLiteral("ErrMsg"), QStringLiteral("服务器拒绝了请求")));
    return reply;
}

} // namespace

void TRemoteLink::Connect()
{
    const TPacketParams reply = ReadReply(FServer, FWire->Post(FServer.resolved(QUrl(QStringLiteral("/session"))), {}, {}, 15000));
    FToken = reply.GetString(QStringLiteral("Token")).toUtf8();
    const int lease = reply.GetInt(QStringLiteral("LeaseMs"), 30000);
    // A session that stops calling loses its locks and open transaction after the lease, so a
    // client that is alive tells the server so while it sits idle.
    const QUrl ping = FServer.resolved(QUrl(QStringLiteral("/ping")));
    const QByteArray token = FToken;
    TWire* wire = FWire.get();
    QMetaObject::invokeMethod(FWire->Context, [wire, ping, token, lease] {
        auto* beat = new QTimer(wire->Context);
        QObject::connect(beat, &QTimer::timeout, wire->Context, [wire, ping, token, lease] { wire->Start(ping, token, {}, lease); });
        beat->start(qMax(200, lease / 3));
    }, Qt::QueuedConnection);
}

void TRemoteLink::Disconnect()
{
    if (FToken.isEmpty())
        return;
    const QByteArray token = FToken;
    FToken.clear();
    QMetaObject::invokeMethod(FWire->Context, [wire = FWire.get()] {
        for (QTimer* t : wire->Context->findChildren<QTimer*>())
            t->stop();
    }, Qt::BlockingQueuedConnection);
    FWire->Post(FServer.resolved(QUrl(QStringLiteral("/logout"))), token, {}, 3000);
}

TPacketParams TRemoteLink::Call(TPacketParams request, int timeoutMs)
{
    if (FToken.isEmpty())
        throw EDatabaseError(QStringLiteral("没有连接到服务器"));
    request.Set(QStringLiteral("TimeoutMs"), timeoutMs);
    return ReadReply(FServer, FWire->Post(FServer.resolved(QUrl(QStringLiteral("/call"))), FToken, request.ToString().toUtf8(), timeoutMs));
}

namespace {
TPacketParams SqlRequest(const char* op, const QString& sql, const TSqlParams& params, bool native)
{
    TPacketParams req;
    req.Set(QStringLiteral("Op"), op);
    req.Set(QStringLiteral("Sql"), sql);
    req.Set(QStringLiteral("Native"), native);
    PackSqlParams(req, params);
    return req;
}
} // namespace

int TRemoteLink::Execute(const QString& sql, const TSqlParams& params, bool native)
{
    return Call(SqlRequest(RemoteOp::Execute, sql, params, native), kQueryTimeoutMs).GetInt(QStringLiteral("Rows"));
}

void TRemoteLink::Open(const QString& sql, TClientDataSet* ds, const TSqlParams& params, bool native)
{
    ds->LoadFromXMLString(Call(SqlRequest(RemoteOp::Open, sql, params, native), kQueryTimeoutMs).GetString(QStringLiteral("Data")));
}

QVariant TRemoteLink::Scalar(const QString& sql, const TSqlParams& params)
{
    const TPacketParams reply = Call(SqlRequest(RemoteOp::Scalar, sql, params, false), kQueryTimeoutMs);
    const TPacketParam* v = reply.FindParam(QStringLiteral("Value"));
    return v ? v->Value : QVariant();
}

QString TRemoteLink::Invoke(const QString& method, const QString& packet, int timeoutMs)
{
    TPacketParams req;
    req.Set(QStringLiteral("Op"), RemoteOp::Invoke);
    req.Set(QStringLiteral("Method"), method);
    req.Set(QStringLiteral("Packet"), packet);
    return Call(req, timeoutMs).GetString(QStringLiteral("Packet"));
}

void TRemoteLink::RunProc(const QString& name, TProcParams& params, TClientDataSet* rows)
{
    TPacketParams req;
    req.Set(QStringLiteral("Op"), RemoteOp::Proc);
    req.Set(QStringLiteral("Name"), name);
    req.Set(QStringLiteral("WithRows"), rows != nullptr);
    PackProcParams(req, params);
    const TPacketParams reply = Call(req);
    UnpackProcParams(reply, params);
    if (rows && reply.Contains(QStringLiteral("Rows")))
        rows->LoadFromXMLString(reply.GetString(QStringLiteral("Rows")));
}

void TRemoteLink::Batch(const QVector<TRemoteBatchItem>& items)
{
    TPacketParams req;
    req.Set(QStringLiteral("Op"), RemoteOp::Batch);
    PackBatch(req, items);
    Call(req, kQueryTimeoutMs);
}

void TRemoteLink::Transaction(const char* op)
{
    TPacketParams req;
    req.Set(QStringLiteral("Op"), op);
    Call(req);
}

bool TRemoteLink::Lock(const QString& name, const QString& mode, bool wait)
{
    TPacketParams req;
    req.Set(QStringLiteral("Op"), RemoteOp::Lock);
    req.Set(QStringLiteral("Name"), name);
    req.Set(QStringLiteral("Mode"), mode);
    req.Set(QStringLiteral("Wait"), wait);
    return Call(req).GetBool(QStringLiteral("Held"));
}
