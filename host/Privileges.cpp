#include "host/Privileges.h"

#include "host/Messages.h"
#include "host/Session.h"
#include "webrpc/Connection.h"

#include <QHash>

namespace {
struct Cache {
    bool Loaded = false;
    int UserID = -1;
    QHash<int, TPrivilegeSet> Rights;
};
Cache g_Cache;

const TPrivilegeSet& AllActions()
{
    static const TPrivilegeSet all{paBrowse, paNew, paEdit, paDelete, paSpecial, paPrint, paDesign, paRed};
    return all;
}

void EnsureLoaded()
{
    if (g_Cache.Loaded && g_Cache.UserID == g_iUserID)
        return;
    g_Cache.Rights.clear();
    g_Cache.UserID = g_iUserID;
    g_Cache.Loaded = true;
    if (g_iSysManager || !g_DefaultCon || !g_DefaultCon->Connected() || g_iUserID == 0)
        return;
    TClientDataSet ds;
    g_DefaultCon->OpenDataSet(QStringLiteral("select privilegeid, action from operatorright where opid = :opid"), &ds,
                              {{QStringLiteral("opid"), g_iUserID}});
    for (ds.First(); !ds.Eof(); ds.Next())
        g_Cache.Rights[ds.Fields(0)->AsInteger()].insert(ds.Fields(1)->AsInteger());
}
} // namespace

void ReloadPrivileges()
{
    g_Cache = Cache();
}

TPrivilegeSet GetUserPrivilege(int privilegeId)
{
    if (g_iSysManager)
        return AllActions();
    EnsureLoaded();
    return g_Cache.Rights.value(privilegeId);
}

bool GetUPrivilegeItem(int privilegeId, int action)
{
    if (g_iSysManager)
        return true;
    EnsureLoaded();
    auto it = g_Cache.Rights.constFind(privilegeId);
    return it != g_Cache.Rights.constEnd() && it->contains(action);
}

bool HasNewPrivilege2(int privilegeId, int action, bool showMessage)
{
    if (GetUPrivilegeItem(privilegeId, action))
        return true;
    if (showMessage)
        ShowInformation(QStringLiteral("您没有该项操作权限！"), QStringLiteral("提示"));
    return false;
}

TBootUnitImpl::TBootUnitImpl(QWidget* form, int privilegeId, TCallback callback)
    : FForm(form), FPrivilegeId(privilegeId), FCallback(std::move(callback))
{
    Refresh();
}

void TBootUnitImpl::Refresh()
{
    const TPrivilegeSet s = GetUserPrivilege(FPrivilegeId);
    Browse = s.contains(paBrowse);
    New = s.contains(paNew);
    Edit = s.contains(paEdit);
    Delete = s.contains(paDelete);
    Print = s.contains(paPrint);
}

void TBootUnitImpl::SetReadOnly(bool value)
{
    if (FReadOnly == value)
        return;
    FReadOnly = value;
    if (FCallback)
        FCallback(this);
}

void TBootUnitImpl::SetEditMenuEnabled(bool enabled)
{
    FEditMenuEnabled = enabled;
    if (FCallback)
        FCallback(this);
}
