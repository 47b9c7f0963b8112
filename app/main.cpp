// The desktop application: the host's main window over the bill module, on the embedded
// database.
#include "app/AppSetup.h"
#include "host/BusyIndicator.h"
#include "host/DataServices.h"
#include "host/LoginDialog.h"
#include "host/Lookups.h"
#include "host/MainWindow.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "host/Translations.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include "package/BillPackage.h"
#include "printing/PrintingSeams.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

bool Headless(const TAppOptions& options)
{
    return !options.Screenshot.isEmpty() || qgetenv("QT_QPA_PLATFORM") == "offscreen";
}

int Fail(const TAppOptions& options, const Exception& e)
{
    std::fprintf(stderr, "%s\n", e.what());
    if (!Headless(options))
        QMessageBox::critical(nullptr, QStringLiteral("错误"), e.Message());
    return 1;
}

// With --screenshot and nobody to log in, the window that would ask is what gets rendered.
int RenderLoginWindow(const TAppOptions& options, TClientConnection* con, TStartLogin state)
{
    std::unique_ptr<QDialog> dialog;
    if (state == TStartLogin::MustSetPassword) {
        dialog = std::make_unique<TSetPasswordDialog>(con, 0, false, QStringLiteral("操作员“%1”还没有密码。请设置密码，以后登录时使用。").arg(g_asUserName));
    } else {
        auto login = std::make_unique<TLoginDialog>(con);
        login->SelectOperator(PreselectedOperator(options, con));
        dialog = std::move(login);
    }
    dialog->show();
    QApplication::processEvents();
    return dialog->grab().save(options.Screenshot, "PNG") ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tradebill"));
    InstallQtChineseTranslations();
    // The engine's own error texts are for the log; users read them in words.
    SetDatabaseLog([](const QString& text) { WriteLog(text); });
    std::unique_ptr<TClientConnection> con;
    TAppOptions options;
    TStartLogin login = TStartLogin::AskUser;
    try {
        options = ParseAppOptions(QApplication::arguments(), QApplication::applicationDirPath());
        con.reset(OpenAppDatabase(options));
    } catch (const Exception& e) {
        return Fail(options, e);
    }
    TBusyIndicator busy(con.get());
    try {
        login = LoginFromOptions(options, con.get());
    } catch (const Exception& e) {
        return Fail(options, e);
    }

    if (login != TStartLogin::LoggedIn) {
        try {
            if (!options.Screenshot.isEmpty())
                return RenderLoginWindow(options, con.get(), login);
            const bool in = login == TStartLogin::AskUser ? LoginInteractively(con.get(), PreselectedOperator(options, con.get()))
                                                          : AskFirstPassword(con.get());
            if (!in)
                return 0;
        } catch (const Exception& e) {
            return Fail(options, e);
        }
    }

    TMainWindow window;
    // The host's own functions first, so the package may replace any of them.
    RegisterHostFunctions();
    BillLoad();
    RegisterPrintingSeams();
    window.resize(1280, 860);
    window.show();
    for (const QString& form : OpenStartForms(options.OpenForms, !Headless(options)))
        std::fprintf(stderr, "没有名为 %s 的单据窗口，无法打开。\n", qUtf8Printable(form));
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
