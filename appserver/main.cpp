// tradebill-server: serves the books of a shop chain to its desktops over HTTPS.
#include "appserver/AppServer.h"
#include "platform/Exceptions.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tradebill-server"));
    // A desktop that goes away mid-answer must not take the server with it.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        TAppServer server(ParseServerOptions(QCoreApplication::arguments()));
        const quint16 port = server.Start();
        std::printf("listening %u\n", port);
        std::fflush(stdout);
        return app.exec();
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(e.Message()));
        return 1;
    }
}
