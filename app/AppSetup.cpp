#include "app/AppSetup.h"

#include "host/LoginDialog.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "platform/Exceptions.h"
#include "printing/PrintTemplates.h"
#include "server/Procedures.h"
#include "webrpc/Connection.h"

#include <QDir>
#include <QFileInfo>

namespace {
const char* kUsage = "用法: tradebill [--demo-db FILE] [--database FILE] [--user OPERATOR] [--password PASSWORD] "
                     "[--open FORMNAME] [--screenshot FILE.png] [--server https://HOST:PORT [--server-cert FILE.crt]]";
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
        else if (a == QLatin1String("--server"))
            o.Server = value().trimmed();
        else if (a == QLatin1String("--server-cert"))
            o.ServerCert = value();
        else if (a == QLatin1String("--user")) {
            const QString user = value().trimmed();
            bool isId = false;
            o.UserID = user.toInt(&isId);
            if (!isId)
                o.UserName = user;
            if ((isId && o.UserID <= 0) || user.isEmpty())
                throw Exception(QStringLiteral("--user 需要操作员编号、名称或代码\n%1").arg(QString::fromUtf8(kUsage)));
        } else if (a == QLatin1String("--password")) {
            o.Password = value();
            o.HasPassword = true;
        } else if (a == QLatin1String("--screenshot"))
            o.Screenshot = value();
        else if (a == QLatin1String("--open"))
            o.OpenForms << value();
        else
            throw Exception(QStringLiteral("未知选项 %1\n%2").arg(a, QString::fromUtf8(kUsage)));
    }
    if (!o.HasPassword && qEnvironmentVariableIsSet("TRADEBILL_PASSWORD")) {
        o.Password = qEnvironmentVariable("TRADEBILL_PASSWORD");
        o.HasPassword = true;
    }
    return o;
}

TClientConnection* OpenAppDatabase(const TAppOptions& options)
{
    if (!options.Server.isEmpty()) {
        // The server keeps the database and runs the procedures; this desktop only calls it.
        auto con = std::make_unique<TClientConnection>();
        con->OpenRemote(options.Server, options.ServerCert);
        g_DefaultCon = con.get();
        return con.release();
    }
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
    return con.release();
}

TStartLogin LoginFromOptions(const TAppOptions& options, TClientConnection* con)
{
    if (!options.HasUser() || !options.HasPassword)
        return TStartLogin::AskUser;
    const TLoginResult r = LoginWithPassword(con, options.UserID, options.UserName, options.Password);
    if (!r.Ok)
        throw Exception(r.Message);
    return r.MustSetPassword ? TStartLogin::MustSetPassword : TStartLogin::LoggedIn;
}

int PreselectedOperator(const TAppOptions& options, TClientConnection* con)
{
    if (options.UserID > 0 || options.UserName.isEmpty())
        return options.UserID;
    for (const TLoginOperator& op : ReadLoginInfo(con).Operators)
        if (op.Name == options.UserName || op.Code.compare(options.UserName, Qt::CaseInsensitive) == 0)
            return op.OpID;
    return 0;
}

QStringList OpenStartForms(const QStringList& forms, bool tellUser)
{
    QStringList unknown;
    for (const QString& form : forms) {
        if (IsFormRegistered(form))
            GlobalCall(QStringLiteral("SHOWBILLFORM"), form);
        else
            unknown << form;
    }
    if (!unknown.isEmpty() && tellUser)
        ShowError(QStringLiteral("没有名为 %1 的单据窗口，无法打开。").arg(unknown.join(QStringLiteral("、"))));
    return unknown;
}
