#include "billcore/BillSession.h"

#include "host/Privileges.h"
#include "host/Session.h"

QDateTime TBillSession::NewBillDateTime() const
{
    const QDate d = WorkDate.isValid() ? WorkDate : QDate::currentDate();
    const QTime t = NewBillTime.isValid() ? NewBillTime.time() : QTime::currentTime();
    return QDateTime(d, t);
}

TBillSession TBillSession::FromHost()
{
    TBillSession s;
    s.OpID = g_iUserID;
    s.OpName = g_asUserName;
    s.ShopID = AccSetData.ShopID;
    s.ShopName = AccSetData.ShopName;
    s.AccountID = g_iAccountID;
    s.Bind = AccSetData.Bind;
    s.Online = AccSetData.Online;
    s.WorkDate = AccSetData.WorkDate;
    s.PeriodStart = AccSetData.PeriodStart;
    s.PeriodEnd = AccSetData.PeriodEnd;
    s.NewBillTime = g_dtNewBillTime;
    // Options and rights stay live: the host caches them and reloads them on a new login.
    s.Option = [](const QString& key) { return GetAccOptionValue(key); };
    s.HasRight = [](int privilegeId, int action) { return GetUPrivilegeItem(privilegeId, action); };
    return s;
}
