// A second client of the same database for the multi-process tests.
//   tb_host_helper lock <database> <name>     takes the named lock, prints "LOCKED" (or
//                                             "BUSY"), then holds it until killed
//   tb_host_helper keys <database> <table> <n> prints n new keys of the table, one a line
#include "host/Session.h"
#include "server/Procedures.h"
#include "webrpc/Connection.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    TClientConnection con;
    con.Open(args[2]);
    g_DefaultCon = &con;
    if (args[1] == QLatin1String("lock")) {
        const bool ok = SetLock(args[3], true, false);
        std::printf("%s\n", ok ? "LOCKED" : "BUSY");
        std::fflush(stdout);
        if (!ok)
            return 1;
        for (;;)
            QThread::msleep(1000);
    }
    if (args[1] == QLatin1String("keys") && args.size() >= 5) {
        RegisterServerProcedures();
        const int n = args[4].toInt();
        for (int i = 0; i < n; ++i)
            std::printf("%d\n", GetNewKeyValue(args[3]));
        std::fflush(stdout);
        return 0;
    }
    return 2;
}
