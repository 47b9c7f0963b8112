#pragma once
// The current session: who is logged in, in which account set and branch, and the
// session-wide services built on it (account options, new keys, named locks).
#include <QDate>
#include <QDateTime>
#include <QString>

class TClientConnection;

extern int g_iUserID;             // opid of the operator logged in; 0 before LoginAs
extern QString g_asUserName;      // the operator's name
extern int g_iAccountID;          // the account set
extern int g_iSysManager;         // 1 when the operator is a system manager (every right)
extern int g_iDefaultBillTypeID;  // default bill type of new bills
extern QDateTime g_dtNewBillTime; // time part given to new bills (see NewBillDateTime)
extern QString g_asTempDirectory; // per-user temporary directory (created on demand)

struct TAccSetData {
    int ShopID = 0;          // current branch; 0 = head office / single shop
    QString ShopName;
    QString ShopCode;
    bool Bind = false;       // account set bound to the general ledger
    bool Online = false;     // the host runs several branches
    QDate WorkDate;          // working date; new bills are dated on it
    QDate PeriodStart;       // working period (month) start and end
    QDate PeriodEnd;
    QString AccountName;
};
extern TAccSetData AccSetData;

// Reads the operator row and makes it the current user: g_iUserID, g_asUserName,
// g_iSysManager, the operator's branch (AccSetData.ShopID/ShopName from `shop`) and reloads
// the privileges and account options. Returns false (and changes nothing) when there is no
// such operator or it is closed.
bool LoginAs(int opid, TClientConnection* con = nullptr);
// Resets every current value to its start-up state (no user).
void ResetSession();

bool IsOnline();
// Working date combined with the time of g_dtNewBillTime (the current time when unset).
QDateTime NewBillDateTime();

// Account option from `accoption`; "" for a missing key. Values are cached for the session
// (keys without regard to case); ReloadAccOptions drops the cache.
QString GetAccOptionValue(const QString& key);
void ReloadAccOptions();

// A new unique integer key for table(.field), from the server procedure "GETKEYVALUE"
// (params @TableName, @FieldName, @R_KeyValue output). Throws EDatabaseError on failure.
int GetNewKeyValue(const QString& tableName, const QString& fieldName = QString());

// Named lock shared by every process that works on the same database file ("BILLLOCK").
// It is an flock() on the file DatabaseFile() + "." + sanitised name + ".lock": the system
// releases it when the holder process dies, so a crashed client never leaves it stuck.
// acquire=true takes it (wait=true retries for about 10 s, else tries once) and answers
// whether it is held; acquire=false releases it (always true).
// Within one process the lock is re-entrant: taking a name this process already holds
// answers true and counts; it is released when released as many times as taken.
bool SetLock(const QString& name, bool acquire, bool wait = false);
// Whether this process holds the named lock now.
bool HoldsLock(const QString& name);
// The lock file used for a name (for diagnostics and tests).
QString LockFileName(const QString& name);
// How long SetLock(name, true, true) keeps trying, in milliseconds (default 10000).
void SetLockWaitTimeout(int ms);

// g_asTempDirectory, set to <system temp>/tradebill-<user> on first use when empty, and
// created when missing.
QString TempDirectory();
