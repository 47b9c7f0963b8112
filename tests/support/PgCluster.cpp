#include "tests/support/PgCluster.h"

#include "platform/Exceptions.h"
#include "server/DemoData.h"
#include "server/Schema.h"
#include "webrpc/Connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// The newest server installed by the distribution (not whatever /usr/local/bin holds).
QString ServerBinDir()
{
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toDouble() > b.toDouble(); });
    for (const QString& v : versions) {
        const QString bin = root.filePath(v + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return QString();
}

int FreeLocalPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof(a);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 && ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

class TPgCluster {
public:
    // The cluster the test run started (TB_PG_CLUSTER names its folder), when there is one.
    static std::unique_ptr<TPgCluster> Shared()
    {
        const QString dir = qEnvironmentVariable("TB_PG_CLUSTER");
        if (dir.isEmpty() || !QFileInfo::exists(dir))
            return nullptr;
        QFile error(dir + QStringLiteral("/error"));
        if (error.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("PostgreSQL cluster: %1").arg(QString::fromUtf8(error.readAll()).trimmed()));
        QFile port(dir + QStringLiteral("/port"));
        if (!port.open(QIODevice::ReadOnly))
            return nullptr;
        auto c = std::unique_ptr<TPgCluster>(new TPgCluster(QString::fromLatin1(port.readAll()).trimmed().toInt()));
        return c->FPort > 0 ? std::move(c) : nullptr;
    }

    TPgCluster()
    {
        const QString bin = ServerBinDir();
        if (bin.isEmpty())
            throw EDatabaseError(QStringLiteral("PostgreSQL cluster: no server binaries under /usr/lib/postgresql/*/bin "
                                                "(install the postgresql package: scripts/install-deps.sh)"));
        if (!FDir.isValid())
            throw EDatabaseError(QStringLiteral("PostgreSQL cluster: no temporary folder"));
        // The server refuses to run as root: it runs as the postgres user, which owns the folder.
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("postgres");
            if (!pw)
                throw EDatabaseError(QStringLiteral("PostgreSQL cluster: running as root, and there is no postgres user to run the server"));
            if (::chown(qPrintable(FDir.path()), pw->pw_uid, pw->pw_gid) != 0)
                throw EDatabaseError(QStringLiteral("PostgreSQL cluster: cannot give %1 to the postgres user").arg(FDir.path()));
            FAsUser = QStringLiteral("postgres");
        }
        const QString data = FDir.filePath(QStringLiteral("data"));
        Run(bin + QStringLiteral("/initdb"), {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("tradebill"),
                                              QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                                              QStringLiteral("--no-locale"), QStringLiteral("--no-sync")});
        FPort = FreeLocalPort();
        if (FPort == 0)
            throw EDatabaseError(QStringLiteral("PostgreSQL cluster: no free local port"));
        // Durability is not what a throwaway cluster is for.
        const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off "
                                               "-c full_page_writes=off -c max_connections=40")
                                    .arg(FPort)
                                    .arg(FDir.path());
        FPgCtl = bin + QStringLiteral("/pg_ctl");
        FData = data;
        Run(FPgCtl, {QStringLiteral("-D"), data, QStringLiteral("-o"), options, QStringLiteral("-l"),
                     FDir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                     QStringLiteral("start")});
        FStarted = true;
    }

    ~TPgCluster()
    {
        if (FStarted) {
            try {
                Run(FPgCtl, {QStringLiteral("-D"), FData, QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                             QStringLiteral("stop")});
            } catch (...) {
            }
        }
    }

    explicit TPgCluster(int port) : FPort(port) {}

    QString Target(const QString& db) const
    {
        return QStringLiteral("postgresql://tradebill@127.0.0.1:%1/%2").arg(FPort).arg(db);
    }

    void CreateDatabase(const QString& name, const QString& templateDb = QString())
    {
        TClientConnection admin;
        admin.Open(Target(QStringLiteral("postgres")));
        admin.ExecuteNative(QStringLiteral("drop database if exists \"%1\"").arg(name));
        admin.ExecuteNative(templateDb.isEmpty() ? QStringLiteral("create database \"%1\"").arg(name)
                                                 : QStringLiteral("create database \"%1\" template \"%2\"").arg(name, templateDb));
    }

private:
    QTemporaryDir FDir{QDir::tempPath() + QStringLiteral("/tb-pg-XXXXXX")};
    QString FAsUser;
    QString FPgCtl;
    QString FData;
    int FPort = 0;
    bool FStarted = false;

    void Run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(FDir.path());
        if (FAsUser.isEmpty())
            p.start(program, args);
        else
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), FAsUser, QStringLiteral("--"), program} + args);
        const bool done = p.waitForFinished(120000);
        if (!done || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            QString log;
            QFile f(FDir.filePath(QStringLiteral("server.log")));
            if (f.open(QIODevice::ReadOnly))
                log = QString::fromUtf8(f.readAll()).right(2000);
            throw EDatabaseError(QStringLiteral("PostgreSQL cluster: %1 failed (%2):\n%3\n%4")
                                     .arg(QFileInfo(program).fileName(), p.errorString(),
                                          QString::fromUtf8(p.readAll()).right(2000), log));
        }
    }
};

TPgCluster& Cluster()
{
    // Built on first use, torn down when the executable exits.
    static std::unique_ptr<TPgCluster> cluster;
    static QString failure;
    if (!failure.isEmpty())
        throw EDatabaseError(failure);
    if (!cluster) {
        try {
            cluster = TPgCluster::Shared();
            if (!cluster)
                cluster = std::make_unique<TPgCluster>();
        } catch (const EDatabaseError& e) {
            failure = e.Message();
            throw;
        }
    }
    return *cluster;
}

} // namespace

namespace {

// Test processes share the cluster: each names its databases after itself.
QString OwnName(const QString& name)
{
    return QStringLiteral("%1_%2").arg(name).arg(QCoreApplication::applicationPid());
}

} // namespace

QString NewPgDatabase(const QString& name)
{
    Cluster().CreateDatabase(OwnName(name));
    return Cluster().Target(OwnName(name));
}

namespace {

const char* const kDemoTemplate = "tb_demo_template";

void EnsureDemoTemplate()
{
    static bool ready = false;
    const QString demo = QString::fromLatin1(kDemoTemplate);
    if (!ready) {
        // The first process to get here builds it (under another name, renamed when complete);
        // the others wait for it on the lock.
        TClientConnection admin;
        admin.Open(Cluster().Target(QStringLiteral("postgres")));
        admin.SessionLock(QStringLiteral("tb_demo_template"), true, true, 600000);
        if (admin.ExecuteScalar(QStringLiteral("select count(*) from pg_database where datname = :d"), {{QStringLiteral("d"), demo}}).toInt() == 0) {
            const QString building = OwnName(QStringLiteral("tb_demo_building"));
            Cluster().CreateDatabase(building);
            {
                TClientConnection con;
                con.Open(Cluster().Target(building));
                con.BeginTrans();
                CreateSchema(con);
                FillDemoData(con, QDate(2026, 12, 1));
                FinishDemoKeys(con);
                con.CommitTrans();
            }
            admin.ExecuteNative(QStringLiteral("alter database \"%1\" rename to \"%2\"").arg(building, demo));
        }
        admin.SessionLock(QStringLiteral("tb_demo_template"), false);
        ready = true;
    }
}

} // namespace

QString NewPgDemoDatabase(const QString& name)
{
    EnsureDemoTemplate();
    Cluster().CreateDatabase(OwnName(name), QString::fromLatin1(kDemoTemplate));
    return Cluster().Target(OwnName(name));
}

QString SharedPgDemoDatabase(const QString& name)
{
    static QString target;
    if (target.isEmpty()) {
        EnsureDemoTemplate();
        TClientConnection admin;
        admin.Open(Cluster().Target(QStringLiteral("postgres")));
        admin.SessionLock(name, true, true, 600000);
        if (admin.ExecuteScalar(QStringLiteral("select count(*) from pg_database where datname = :d"), {{QStringLiteral("d"), name}}).toInt() == 0)
            Cluster().CreateDatabase(name, QString::fromLatin1(kDemoTemplate));
        admin.SessionLock(name, false);
        target = Cluster().Target(name);
    }
    return target;
}
