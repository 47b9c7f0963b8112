#include "server/PrintMark.h"

#include "platform/Exceptions.h"
#include "server/Rights.h"
#include "webrpc/PacketParams.h"
#include "webrpc/Statement.h"

namespace {

class ERefused : public Exception {
public:
    using Exception::Exception;
};

struct TPrintTarget {
    QString Table;
    QString Key;
    QList<int> Privileges;
};

// The names come back from billkind, so the update below never carries the packet's text.
TPrintTarget TargetOf(TClientConnection& con, const QString& table, const QString& key)
{
    TStatement st(con, QStringLiteral("select mastertable, keyfield, privilegeid from billkind "
                                               "where lower(mastertable) = lower(:t) and lower(keyfield) = lower(:k)"));
    st.Bind({{QStringLiteral("t"), table}, {QStringLiteral("k"), key}});
    TPrintTarget t;
    while (st.Step()) {
        t.Table = st.Column(0).toString();
        t.Key = st.Column(1).toString();
        t.Privileges << st.Column(2).toInt();
    }
    if (t.Privileges.isEmpty())
        throw ERefused(QStringLiteral("%1 不是单据的主表，不能设置打印标志").arg(table));
    return t;
}

} // namespace

QString MarkBillPrintedMethod(TClientConnection& con, const QString& request)
{
    TPacketParams reply;
    try {
        TPacketParams req;
        req.LoadFromString(request);
        const TOperatorRights op = TOperatorRights::Of(con);
        const TPrintTarget t = TargetOf(con, req.GetString(QStringLiteral("MasterTable")), req.GetString(QStringLiteral("KeyField")));
        bool mayPrint = false;
        for (int privilege : t.Privileges)
            mayPrint = mayPrint || op.Has(privilege, TRightAction::Print);
        if (!mayPrint)
            throw ERefused(QStringLiteral("您没有打印该单据的权限！"));
        const int changed = con.ExecuteNative(QStringLiteral("update %1 set printed = 1 where %2 = :id").arg(t.Table, t.Key),
                                              {{QStringLiteral("id"), req.GetInt(QStringLiteral("BillID"))}});
        if (changed != 1)
            throw ERefused(QStringLiteral("该单据已不存在，可能已被其他用户删除！"));
        reply.Set(QStringLiteral("ErrNo"), 0);
        reply.Set(QStringLiteral("ErrMsg"), QString());
    } catch (const Exception& e) {
        reply.Set(QStringLiteral("ErrNo"), 1);
        reply.Set(QStringLiteral("ErrTitle"), QStringLiteral("更新出错"));
        reply.Set(QStringLiteral("ErrMsg"), e.Message());
    }
    return reply.ToString();
}

void RegisterPrintMarkMethod()
{
    TServerRegistry::RegisterMethod(QStringLiteral("MarkBillPrinted"), MarkBillPrintedMethod);
}
