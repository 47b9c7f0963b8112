#include "server/NewCompany.h"

#include "platform/Exceptions.h"
#include "platform/TextRules.h"
#include "server/DemoData.h"
#include "server/Login.h"
#include "server/Schema.h"
#include "webrpc/PacketParams.h"

namespace {

class ERefused : public Exception {
public:
    using Exception::Exception;
};

QString CheckedText(const TPacketParams& req, const char* key, const QString& caption, int maxLength, bool required = true)
{
    const QString text = req.GetString(QString::fromLatin1(key)).trimmed();
    if (required && text.isEmpty())
        throw ERefused(QStringLiteral("%1不能为空！").arg(caption));
    if (text.size() > maxLength)
        throw ERefused(QStringLiteral("%1最多%2个字符！").arg(caption).arg(maxLength));
    const QString refused = RefusedTextReason(text);
    if (!refused.isEmpty())
        throw ERefused(QStringLiteral("%1：%2").arg(caption, refused));
    return text;
}

QString DateText(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"); }

} // namespace

QString CreateCompanyMethod(TClientConnection& con, const QString& request) { return CreateCompanyMethod(con, request, QDate::currentDate()); }

QString CreateCompanyMethod(TClientConnection& con, const QString& request, const QDate& today)
{
    TPacketParams reply;
    try {
        TPacketParams req;
        req.LoadFromString(request);
        if (con.ExecuteScalar(QStringLiteral("select count(*) from sqlite_master where type = 'table'")).toInt() > 0)
            throw ERefused(QStringLiteral("该数据库文件中已经有数据，不能在其中新建帐套！"));
        const QString company = CheckedText(req, "CompanyName", QStringLiteral("公司名称"), 128);
        QString account = CheckedText(req, "AccountName", QStringLiteral("帐套名称"), 64, false);
        if (account.isEmpty())
            account = company.left(64);
        const QString adminName = CheckedText(req, "AdminName", QStringLiteral("管理员名称"), 40);
        const QString adminCode = CheckedText(req, "AdminCode", QStringLiteral("管理员代码"), 20);
        const QString password = req.GetString(QStringLiteral("Password"));
        if (password.isEmpty())
            throw ERefused(QStringLiteral("管理员的密码不能为空！"));
        const int year = req.GetInt(QStringLiteral("FirstYear"));
        const int month = req.GetInt(QStringLiteral("FirstMonth"));
        const QDate first(year, month, 1);
        if (!first.isValid() || year < 2000 || year > 2099)
            throw ERefused(QStringLiteral("启用期间不正确，请输入2000年到2099年之间的年份和1到12月！"));

        const QString hash = HashPassword(password);
        con.BeginTrans();
        try {
            CreateSchema(con);
            FillStandardRows(con);
            FinishDemoKeys(con);
            con.ExecuteNative(QStringLiteral("update operator set opname = :n, code = :c, pwhash = :h, issysmanager = 1, shopid = 0, closed = 'F' "
                                             "where opid = 1"),
                              {{QStringLiteral("n"), adminName}, {QStringLiteral("c"), adminCode}, {QStringLiteral("h"), hash}});
            con.ExecuteNative(QStringLiteral("insert into accinfo (id, accname, name, companyname, startdate, bindledger, keepsubject, useshop) "
                                             "values (1, :a, :n, :n, :d, 0, 1, 1)"),
                              {{QStringLiteral("a"), account}, {QStringLiteral("n"), company}, {QStringLiteral("d"), DateText(first)}});
            const QDate thisMonth(today.year(), today.month(), 1);
            const QDate last = qMax(first, thisMonth);
            const QDate current = first > thisMonth ? first : thisMonth;
            int id = 0;
            for (QDate m = first; m <= last; m = m.addMonths(1)) {
                const int isCurrent = m == current ? 1 : 0;
                con.ExecuteNative(QStringLiteral("insert into accperiod (periodid, year, month, startdate, enddate, iscurrent, acccurrent, closed) "
                                                 "values (:id, :y, :m, :s, :e, :c, :c, 'F')"),
                                  {{QStringLiteral("id"), ++id},
                                   {QStringLiteral("y"), m.year()},
                                   {QStringLiteral("m"), m.month()},
                                   {QStringLiteral("s"), DateText(m)},
                                   {QStringLiteral("e"), DateText(m.addMonths(1).addDays(-1))},
                                   {QStringLiteral("c"), isCurrent}});
            }
            con.CommitTrans();
        } catch (...) {
            con.RollbackTrans();
            throw;
        }
        reply.Set(QStringLiteral("ErrNo"), 0);
        reply.Set(QStringLiteral("OpID"), 1);
    } catch (const ERefused& e) {
        reply.Set(QStringLiteral("ErrNo"), 1);
        reply.Set(QStringLiteral("ErrMsg"), e.Message());
    } catch (const Exception& e) {
        reply.Set(QStringLiteral("ErrNo"), 1);
        reply.Set(QStringLiteral("ErrMsg"), QStringLiteral("新建帐套失败：%1").arg(e.Message()));
    }
    return reply.ToString();
}

void RegisterNewCompanyMethod()
{
    TServerRegistry::RegisterMethod(QStringLiteral("CreateCompany"), [](TClientConnection& con, const QString& request) {
        return CreateCompanyMethod(con, request);
    });
}
