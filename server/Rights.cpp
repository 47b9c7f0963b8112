#include "server/Rights.h"

#include "server/ServerSql.h"
#include "webrpc/Statement.h"

#include <sqlite3.h>

namespace {

// Who may write a table through "ApplyUpdates". Tables not listed are the system manager's.
enum class TTableRule {
    ManagerOnly,  // the operator and rights tables
    BillProcedure, // written only by the bill procedures, for everyone
    BillTemplate,  // design right (7) under the privilege of the bill whose type is the row's WINDOWID
};
struct TTableRight {
    const char* Table;
    TTableRule Rule;
};
// The bill masters and lines of every kind in `billkind` count as BillProcedure as well.
const TTableRight kTableRights[] = {
    {"operator", TTableRule::ManagerOnly},
    {"operatorright", TTableRule::ManagerOnly},
    {"detailbillflow", TTableRule::BillProcedure},
    {"onhand", TTableRule::BillProcedure},
    {"batchcodeonhand", TTableRule::BillProcedure},
    {"moneyflow", TTableRule::BillProcedure},
    {"billkind", TTableRule::BillProcedure},
    {"sys_request", TTableRule::BillProcedure},
    {"sys_keyvalue", TTableRule::BillProcedure},
    {"template", TTableRule::BillTemplate},
    {"templated", TTableRule::BillTemplate},
};

bool IsBillTable(TClientConnection& con, const QString& table)
{
    TStatement st(con, QStringLiteral("select count(*) from billkind where lower(mastertable) = lower(:t) or lower(detailtable) = lower(:t)"));
    st.Bind({{QStringLiteral("t"), table}});
    return st.Step() && st.Column(0).toInt() > 0;
}

int PrivilegeOfBillType(TClientConnection& con, const QVariant& billType)
{
    TStatement st(con, QStringLiteral("select privilegeid from billkind where billtype = :t"));
    st.Bind({{QStringLiteral("t"), billType}});
    return st.Step() ? st.Column(0).toInt() : 0;
}

// Statements of "GetClientDataSet" may read tables and call functions; everything else fails to
// prepare. Pragmas are refused too, apart from those that only describe the schema.
int ReadOnlyAuthorizer(void*, int action, const char* arg1, const char* arg2, const char*, const char*)
{
    switch (action) {
    case SQLITE_READ:
        // password hashes never leave the server: a query naming them reads nulls
        if (arg1 && arg2 && sqlite3_stricmp(arg1, "operator") == 0 && sqlite3_stricmp(arg2, "pwhash") == 0)
            return SQLITE_IGNORE;
        return SQLITE_OK;
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_PRAGMA: {
        static const char* const describing[] = {"table_info", "table_xinfo", "index_list", "index_info", "index_xinfo", "foreign_key_list"};
        if (arg2 || !arg1)
            return SQLITE_DENY;
        for (const char* p : describing)
            if (sqlite3_stricmp(arg1, p) == 0)
                return SQLITE_OK;
        return SQLITE_DENY;
    }
    default:
        return SQLITE_DENY;
    }
}

} // namespace

TOperatorRights TOperatorRights::Of(TClientConnection& con)
{
    const TServerSession& s = con.Session();
    if (!s.LoggedIn())
        throw EDatabaseError(QStringLiteral("请先登录"));
    return KeptSetting<TOperatorRights>(con, QStringLiteral("rights %1 %2").arg(s.OpID).arg(s.ShopID), [&] { return Read(con); });
}

TOperatorRights TOperatorRights::Read(TClientConnection& con)
{
    const TServerSession& s = con.Session();
    TOperatorRights r;
    r.FOpID = s.OpID;
    r.FShopID = s.ShopID;
    {
        // a database without operators (a bare schema of a tool or a test) has no rights to read
        TStatement has(con, QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'operator'"));
        if (!has.Step() || has.Column(0).toInt() == 0) {
            r.FOpName = s.OpName;
            r.FSysManager = s.SysManager;
            return r;
        }
    }
    {
        TStatement st(con, QStringLiteral("select opname, issysmanager, closed from operator where opid = :op"));
        st.Bind({{QStringLiteral("op"), s.OpID}});
        if (!st.Step())
            throw EDatabaseError(QStringLiteral("操作员 %1 已不存在，请重新登录").arg(s.OpName));
        const QString closed = st.Column(2).toString().trimmed().toUpper();
        if (closed == QLatin1String("T") || closed == QLatin1String("1"))
            throw EDatabaseError(QStringLiteral("操作员 %1 已停用，请重新登录").arg(st.Column(0).toString()));
        r.FOpName = st.Column(0).toString();
        r.FSysManager = st.Column(1).toInt() != 0;
    }
    if (!r.FSysManager) {
        TStatement st(con, QStringLiteral("select privilegeid, action from operatorright where opid = :op"));
        st.Bind({{QStringLiteral("op"), s.OpID}});
        while (st.Step())
            r.FRights[st.Column(0).toInt()].insert(st.Column(1).toInt());
    }
    return r;
}

bool TOperatorRights::Has(int privilegeId, TRightAction action) const
{
    if (FSysManager)
        return true;
    const auto it = FRights.constFind(privilegeId);
    return it != FRights.cend() && it->contains(int(action));
}

void CheckTableWrite(TClientConnection& con, const TOperatorRights& op, const QString& table, const TDelta& delta)
{
    TTableRule rule = TTableRule::ManagerOnly;
    for (const TTableRight& r : kTableRights)
        if (table.compare(QLatin1String(r.Table), Qt::CaseInsensitive) == 0)
            rule = r.Rule;
    if (IsBillTable(con, table))
        rule = TTableRule::BillProcedure;

    switch (rule) {
    case TTableRule::BillProcedure:
        throw EDatabaseError(QStringLiteral("数据表 %1 只能通过单据的保存、删除和冲红写入").arg(table));
    case TTableRule::ManagerOnly:
        if (!op.SysManager())
            throw EDatabaseError(QStringLiteral("只有系统管理员可以修改数据表 %1").arg(table));
        return;
    case TTableRule::BillTemplate:
        if (op.SysManager())
            return;
        for (const TDeltaRow& row : delta.Rows) {
            // a row may neither come from nor go to a window the operator may not design
            QVariantList windows;
            if (row.Kind != TUpdateStatus::usInserted)
                windows << ValueCI(row.Old, QStringLiteral("windowid"));
            if (row.Kind != TUpdateStatus::usDeleted)
                windows << ValueCI(row.New, QStringLiteral("windowid"));
            for (const QVariant& window : windows) {
                const int privilege = PrivilegeOfBillType(con, window);
                if (privilege == 0 || !op.Has(privilege, TRightAction::Design))
                    throw EDatabaseError(QStringLiteral("您没有设计该单据模板的权限（窗口 %1）").arg(window.toString()));
            }
        }
        return;
    }
}

// PostgreSQL: the caller's read-only transaction refuses the writes.
TReadOnlyStatements::TReadOnlyStatements(TClientConnection& con) : FDb(con.IsPostgres() ? nullptr : con.Handle())
{
    if (FDb)
        sqlite3_set_authorizer(FDb, ReadOnlyAuthorizer, nullptr);
}

TReadOnlyStatements::~TReadOnlyStatements()
{
    if (FDb)
        sqlite3_set_authorizer(FDb, nullptr, nullptr);
}

QString TReadOnlyStatements::RefusedMessage(int index)
{
    return QStringLiteral("第 %1 个语句不是查询语句：这里只能执行读取数据的语句").arg(index);
}
