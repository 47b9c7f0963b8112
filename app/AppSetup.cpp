#include "app/AppSetup.h"

#include "host/Session.h"
#include "platform/Exceptions.h"
#include "printing/PrintTemplates.h"
#include "server/Procedures.h"
#include "webrpc/Connection.h"

#include <QDir>
#include <QFileInfo>

namespace {
const char* kUsage =
    "用法: tradebill [--demo-db FILE] [--database FILE] [--user OPID] [--open FORMNAME] [--screenshot FILE.png]";
}

TAppOptions ParseAppOptions(const QStringList& args, const QString& appDir)
{
    TAppOptions o;
    o.DemoDatabase = QDir(appDir).filePath(QStringLiteral("tradebill-demo.db"));
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw Exception(QStringLiteral("选项 %1 缺少参数\n%2").arg(a, QString::fromUtf8(kUsage)));
            return args[++i];
        };
        if (a == QLatin1String("--demo-db"))
            o.DemoDatabase = value();
        else if (a == QLatin1String("--database"))
            o.Database = value();
        else if (a == QLatin1String("--user")) {
            bool ok = false;
            o.UserID = value().toInt(&ok);
            if (!ok)
                throw Exception(QStringLiteral("--user 需要操作员编号\n%1").arg(QString::fromUtf8(kUsage)));
        } else if (a == QLatin1String("--screenshot"))
            o.Screenshot = value();
        else if (a == QLatin1String("--open"))
            o.OpenForms << value();
        else
            throw Exception(QStringLiteral("未知选项 %1\n%2").arg(a, QString::fromUtf8(kUsage)));
    }
    return o;
}

TClientConnection* StartSession(const TAppOptions& options)
{
    const bool demo = options.Database.isEmpty();
    const QString file = demo ? options.DemoDatabase : options.Database;
    if (!demo && !QFileInfo::exists(file))
        throw Exception(QStringLiteral("数据库文件 %1 不存在").arg(file));
    QDir().mkpath(QFileInfo(file).absolutePath());
    auto con = std::make_unique<TClientConnection>();
    con->Open(file);
    RegisterServerProcedures();
    // A new demo database gets its standard print templates written out, so that they can
    // be opened in the designer like any other template.
    if (InitializeDatabase(*con, demo) && demo)
        FillStandardPrintTemplates(*con);
    g_DefaultCon = con.get();
    if (!LoginAs(options.UserID, con.get())) {
        g_DefaultCon = nullptr;
        throw Exception(QStringLiteral("操作员 %1 不存在或已停用").arg(options.UserID));
    }
    return con.release();
}
