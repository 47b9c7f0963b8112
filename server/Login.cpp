#include "server/Login.h"

#include "platform/Exceptions.h"
#include "platform/TextRules.h"
#include "webrpc/PacketParams.h"

#include <sodium.h>

#include <mutex>

namespace {

const QString kWrongLogin = QStringLiteral("操作员或密码不正确，请重新输入！");
constexpr int kMaxPasswordLength = 128;

// A refusal that goes back to the caller as ErrNo 1 with its message.
class ERefused : public Exception {
public:
    using Exception::Exception;
};

void InitSodium()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = sodium_init() >= 0; });
    if (!ok)
        throw Exception(QStringLiteral("密码库初始化失败，不能校验密码"));
}

bool FastHashForTests() { return qEnvironmentVariableIntValue("TRADEBILL_PWHASH_FAST") == 1; }
unsigned long long OpsLimit() { return FastHashForTests() ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE; }
size_t MemLimit() { return FastHashForTests() ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE; }

struct TOperatorRow {
    int OpID = 0;
    QString OpName;
    QString Hash;
    int ShopID = 0;
    bool SysManager = false;
    bool Closed = false;
};

bool IsClosedFlag(const QString& v)
{
    const QString s = v.trimmed().toUpper();
    return s == QLatin1String("T") || s == QLatin1String("1") || s == QLatin1String("TRUE");
}

// The operator by id, or else by name or code (names first, then codes without regard to
// case); OpID 0 when there is none.
TOperatorRow FindOperator(TClientConnection& con, int opid, const QString& name)
{
    TClientDataSet ds;
    const QString cols = QStringLiteral("select opid, opname, pwhash, shopid, issysmanager, closed from operator ");
    if (opid > 0)
        con.OpenNative(cols + QStringLiteral("where opid = :id"), &ds, {{QStringLiteral("id"), opid}});
    else
        con.OpenNative(cols + QStringLiteral("where opname = :n or lower(code) = lower(:n) "
                                             "order by case when opname = :n then 0 else 1 end, opid limit 1"),
                       &ds, {{QStringLiteral("n"), name.trimmed()}});
    TOperatorRow r;
    if (ds.IsEmpty())
        return r;
    r.OpID = ds.FieldByName(QStringLiteral("opid"))->AsInteger();
    r.OpName = ds.FieldByName(QStringLiteral("opname"))->AsString();
    r.Hash = ds.FieldByName(QStringLiteral("pwhash"))->AsString();
    r.ShopID = ds.FieldByName(QStringLiteral("shopid"))->AsInteger();
    r.SysManager = ds.FieldByName(QStringLiteral("issysmanager"))->AsBoolean();
    r.Closed = IsClosedFlag(ds.FieldByName(QStringLiteral("closed"))->AsString());
    return r;
}

// An operator without a password yet is let in only with an empty one.
bool PasswordMatches(const TOperatorRow& op, const QString& password)
{
    if (op.Hash.isEmpty())
        return password.isEmpty();
    return VerifyPassword(op.Hash, password);
}

void StoreHash(TClientConnection& con, int opid, const QString& hash)
{
    con.BeginTrans();
    try {
        con.ExecuteNative(QStringLiteral("update operator set pwhash = :h where opid = :id"),
                          {{QStringLiteral("h"), hash}, {QStringLiteral("id"), opid}});
        con.CommitTrans();
    } catch (...) {
        con.RollbackTrans();
        throw;
    }
}

void CheckNewPassword(const QString& password)
{
    if (password.isEmpty())
        throw ERefused(QStringLiteral("新密码不能为空！"));
    if (password.size() > kMaxPasswordLength)
        throw ERefused(QStringLiteral("新密码不能超过 %1 个字符！").arg(kMaxPasswordLength));
    const QString why = RefusedTextReason(password);
    if (!why.isEmpty())
        throw ERefused(QStringLiteral("新密码中%1").arg(why));
}

QString Refusal(TPacketParams& reply, const QString& message)
{
    reply.Set(QStringLiteral("ErrNo"), 1);
    reply.Set(QStringLiteral("ErrTitle"), QStringLiteral("错误"));
    reply.Set(QStringLiteral("ErrMsg"), message);
    return reply.ToString();
}

} // namespace

QString HashPassword(const QString& password)
{
    InitSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()), OpsLimit(), MemLimit()) != 0)
        throw Exception(QStringLiteral("内存不足，不能生成密码摘要"));
    return QString::fromLatin1(out);
}

bool VerifyPassword(const QString& hash, const QString& password)
{
    if (hash.isEmpty())
        return false;
    InitSodium();
    const QByteArray h = hash.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), utf8.constData(), static_cast<unsigned long long>(utf8.size())) == 0;
}

bool PasswordNeedsRehash(const QString& hash)
{
    InitSodium();
    const QByteArray h = hash.toLatin1();
    return crypto_pwhash_str_needs_rehash(h.constData(), OpsLimit(), MemLimit()) != 0;
}

QString LoginMethod(TClientConnection& con, const QString& request)
{
    TPacketParams reply;
    // Whatever happens below, a failed login leaves nobody logged in on this connection.
    con.SetSession(TServerSession());
    try {
        TPacketParams req;
        req.LoadFromString(request);
        const QString password = req.GetString(QStringLiteral("Password"));
        const TOperatorRow op = FindOperator(con, req.GetInt(QStringLiteral("OpID")), req.GetString(QStringLiteral("OpName")));
        if (op.OpID <= 0 || !PasswordMatches(op, password))
            return Refusal(reply, kWrongLogin);
        if (op.Closed)
            return Refusal(reply, QStringLiteral("操作员“%1”已停用，不能登录！").arg(op.OpName));
        if (!op.Hash.isEmpty() && PasswordNeedsRehash(op.Hash))
            StoreHash(con, op.OpID, HashPassword(password));

        TServerSession session;
        session.OpID = op.OpID;
        session.OpName = op.OpName;
        session.ShopID = op.ShopID;
        session.SysManager = op.SysManager;
        con.SetSession(session);
        reply.Set(QStringLiteral("ErrNo"), 0);
        reply.Set(QStringLiteral("ErrMsg"), QString());
        reply.Set(QStringLiteral("OpID"), op.OpID);
        reply.Set(QStringLiteral("OpName"), op.OpName);
        reply.Set(QStringLiteral("ShopID"), op.ShopID);
        reply.Set(QStringLiteral("SysManager"), op.SysManager);
        reply.Set(QStringLiteral("MustSetPassword"), op.Hash.isEmpty());
        return reply.ToString();
    } catch (const Exception& e) {
        con.SetSession(TServerSession());
        return Refusal(reply, e.Message());
    }
}

QString SetPasswordMethod(TClientConnection& con, const QString& request)
{
    TPacketParams reply;
    try {
        const TServerSession session = con.Session();
        if (!session.LoggedIn())
            throw ERefused(QStringLiteral("请先登录！"));
        TPacketParams req;
        req.LoadFromString(request);
        const int target = req.GetInt(QStringLiteral("OpID"), session.OpID);
        const QString newPassword = req.GetString(QStringLiteral("NewPassword"));
        const TOperatorRow op = FindOperator(con, target, QString());
        if (op.OpID <= 0)
            throw ERefused(QStringLiteral("操作员不存在！"));
        if (target == session.OpID) {
            if (!PasswordMatches(op, req.GetString(QStringLiteral("OldPassword"))))
                throw ERefused(QStringLiteral("原密码不正确！"));
        } else if (!session.SysManager) {
            throw ERefused(QStringLiteral("只有系统管理员可以设置其他操作员的密码！"));
        }
        CheckNewPassword(newPassword);
        StoreHash(con, op.OpID, HashPassword(newPassword));
        reply.Set(QStringLiteral("ErrNo"), 0);
        reply.Set(QStringLiteral("ErrMsg"), QString());
        return reply.ToString();
    } catch (const Exception& e) {
        return Refusal(reply, e.Message());
    }
}

QString GetLoginInfoMethod(TClientConnection& con, const QString&)
{
    TPacketParams reply;
    try {
        QString account;
        if (con.ExecuteScalar(QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'accinfo'")).toInt() > 0)
            account = con.ExecuteScalar(QStringLiteral("select top 1 accname from accinfo order by id")).toString();
        TClientDataSet ops;
        con.OpenNative(QStringLiteral("select opid, code, opname, case when coalesce(pwhash, '') = '' then 0 else 1 end as haspassword "
                                      "from operator where coalesce(closed, 'F') not in ('T', '1') order by opid"),
                       &ops);
        reply.Set(QStringLiteral("ErrNo"), 0);
        reply.Set(QStringLiteral("ErrMsg"), QString());
        reply.Set(QStringLiteral("AccountName"), account);
        reply.Set(QStringLiteral("Operators"), ops.XMLData());
        return reply.ToString();
    } catch (const Exception& e) {
        return Refusal(reply, e.Message());
    }
}

void RegisterLoginMethods()
{
    TServerRegistry::RegisterMethod(QStringLiteral("Login"), LoginMethod);
    TServerRegistry::RegisterMethod(QStringLiteral("SetPassword"), SetPasswordMethod);
    TServerRegistry::RegisterMethod(QStringLiteral("GetLoginInfo"), GetLoginInfoMethod);
}
