// The desktop application: the host's main window over the bill module, on the embedded
// database.
#include "app/AppSetup.h"
#include "host/Lookups.h"
#include "host/MainWindow.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include "package/BillPackage.h"
#include "printing/PrintingSeams.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tradebill"));
    std::unique_ptr<TClientConnection> con;
    TAppOptions options;
    try {
        options = ParseAppOptions(QApplication::arguments(), QApplication::applicationDirPath());
        con.reset(StartSession(options));
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        if (options.Screenshot.isEmpty() && qgetenv("QT_QPA_PLATFORM") != "offscreen")
            QMessageBox::critical(nullptr, QStringLiteral("错误"), e.Message());
        return 1;
    }

    TMainWindow window;
    // The host's own functions first, so the package may replace any of them.
    RegisterHostFunctions();
    BillLoad();
    RegisterPrintingSeams();
    window.resize(1280, 860);
    window.show();
    for (const QString& form : options.OpenForms)
        GlobalCall(QStringLiteral("SHOWBILLFORM"), form);
    if (!options.Screenshot.isEmpty()) {
        QTimer::singleShot(200, &window, [&] {
            window.RenderToPng(options.Screenshot);
            QApplication::quit();
        });
    }
    const int rc = app.exec();
    BillUnload();
    return rc;
}
