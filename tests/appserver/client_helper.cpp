// A desktop that dies mid-save: logs in to the server given, takes BILLLOCK, starts a transaction,
// writes the master row of a receipt without its lines, says "half" and waits to be killed.
#include "platform/Exceptions.h"
#include "tests/appserver/ServerProcess.h"
#include "webrpc/RemoteLink.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

// Only the login of the shared test support is needed here; its other parts stay unused.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: client_helper URL CODE CERT\n");
        return 2;
    }
    try {
        TClientConnection con;
        con.OpenRemote(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[3]));
        RemoteLogin(con, QString::fromLocal8Bit(argv[1]), QStringLiteral("admin"), QStringLiteral("manager"));
        if (!con.Remote()->Lock(QStringLiteral("BILLLOCK"), QStringLiteral("take"), true))
            return 3;
        con.BeginTrans();
        con.Execute(QStringLiteral("insert into recieved (storeid, clientid, code, billdate, shopid, opid) values (1, 1, :c, getdate(), 1, 1)"),
                    {{QStringLiteral("c"), QString::fromLocal8Bit(argv[2])}});
        std::printf("half\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(e.Message()));
        return 1;
    }
}
