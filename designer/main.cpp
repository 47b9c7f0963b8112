// KQDesign <file> [handle] [--screenshot FILE]: edits the print template file named on
// the command line in place. The handle is the host's main window, which owns us on
// systems that can parent across processes; here it is accepted and not needed.
#include "designer/DesignerWindow.h"
#include "platform/report/ReportControl.h"
#include "services/MoneyToChinese.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString screenshot;
    const int shotAt = int(args.indexOf(QStringLiteral("--screenshot")));
    if (shotAt >= 0) {
        if (shotAt + 1 >= args.size()) {
            std::fprintf(stderr, "--screenshot needs a file name\n");
            return 2;
        }
        screenshot = args.at(shotAt + 1);
        args.remove(shotAt, 2);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("KQDesign"));
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: KQDesign <template file> [handle] [--screenshot FILE]\n");
        return 2;
    }

    // The preview writes sample amounts in capitals as bills do.
    SetMoneyInWordsFunction([](double v) {
        try {
            return MoneyToChinese(v);
        } catch (const Exception&) {
            return FormatReportValue(v, QStringLiteral("#,##0.00"));
        }
    });
    TDesignDocument doc;
    try {
        doc.Load(args.first());
    } catch (const EReportError& e) {
        if (!screenshot.isEmpty()) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        QMessageBox::critical(nullptr, QStringLiteral("错误"), e.Message());
        return 1;
    }

    TDesignerWindow w(&doc);
    // The host writes the template's name beside the executables before starting us.
    QFile title(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ReportTitle.ini")));
    if (title.open(QIODevice::ReadOnly)) {
        const QString name = QString::fromLocal8Bit(title.readLine()).trimmed();
        if (!name.isEmpty())
            w.setWindowTitle(QStringLiteral("%1 - 打印样式设计").arg(name));
    }
    w.show();
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(0, &w, [&] {
            const bool ok = w.grab().save(screenshot, "PNG");
            app.exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
