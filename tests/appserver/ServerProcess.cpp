#include "tests/appserver/ServerProcess.h"

#include "platform/Exceptions.h"
#include "tests/support/DemoDb.h"
#include "webrpc/PacketParams.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QTemporaryDir& SharedDir()
{
    static QTemporaryDir dir;
    return dir;
}
} // namespace

QString TServerProcess::CertFile() { return SharedDir().filePath(QStringLiteral("server.crt")); }

TServerProcess::TServerProcess(const QString& database, const QStringList& extra) : FDatabase(database)
{
    static int serial = 0;
    FLogFile = SharedDir().filePath(QStringLiteral("server-%1.log").arg(++serial));
    FProcess = std::make_unique<QProcess>();
    FProcess->setProcessChannelMode(QProcess::SeparateChannels);
    // Nobody reads the server's standard error while a test waits on something else: in a pipe,
    // a server that logged more than the pipe holds would stop at its next line.
    FProcess->setStandardErrorFile(FLogFile + QStringLiteral(".stderr"));
    FProcess->start(QStringLiteral(TB_BINARY_DIR "/appserver/tradebill-server"),
                    QStringList{QStringLiteral("--database"), database, QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--listen"),
                                QStringLiteral("127.0.0.1"), QStringLiteral("--cert"), CertFile(), QStringLiteral("--key"),
                                SharedDir().filePath(QStringLiteral("server.key")), QStringLiteral("--log"), FLogFile}
                        + extra);
    if (!FProcess->waitForStarted(10000)) {
        ADD_FAILURE() << "tradebill-server did not start: " << FProcess->errorString().toStdString();
        return;
    }
    QByteArray out;
    while (!out.contains('\n') && FProcess->waitForReadyRead(30000))
        out += FProcess->readAllStandardOutput();
    if (!out.startsWith("listening ")) {
        QFile err(FLogFile + QStringLiteral(".stderr"));
        ADD_FAILURE() << "tradebill-server did not listen: " << (err.open(QIODevice::ReadOnly) ? err.readAll().toStdString() : std::string());
        return;
    }
    FPort = out.mid(10).trimmed().toInt();
}

TServerProcess::~TServerProcess()
{
    if (FProcess->state() != QProcess::NotRunning) {
        FProcess->terminate();
        if (!FProcess->waitForFinished(5000)) {
            FProcess->kill();
            FProcess->waitForFinished(5000);
        }
    }
}

void TServerProcess::Kill()
{
    FProcess->kill();
    FProcess->waitForFinished(5000);
}

QString TServerProcess::Log() const
{
    QFile f(FLogFile);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void RemoteLogin(TClientConnection& con, const QString& server, const QString& user, const QString& password)
{
    if (!con.Remote())
        con.OpenRemote(server, TServerProcess::CertFile());
    TPacketParams req, reply;
    req.Set(QStringLiteral("OpName"), user).Set(QStringLiteral("Password"), password);
    reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("Login"), req.ToString()));
    if (reply.GetInt(QStringLiteral("ErrNo")) != 0)
        throw EDatabaseError(reply.GetString(QStringLiteral("ErrMsg")));
    TServerSession s;
    s.OpID = reply.GetInt(QStringLiteral("OpID"));
    s.OpName = reply.GetString(QStringLiteral("OpName"));
    s.ShopID = reply.GetInt(QStringLiteral("ShopID"));
    s.SysManager = reply.GetBool(QStringLiteral("SysManager"));
    con.SetSession(s);
}

QString DemoCopy(const QString& dir, const QString& name)
{
    const QString path = QDir(dir).filePath(name);
    QFile::remove(path);
    if (!QFile::copy(DemoDatabaseTemplate(), path))
        ADD_FAILURE() << "could not copy the demo database to " << path.toStdString();
    return path;
}
