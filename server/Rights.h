#pragma once
// What the operator calling a server procedure may do.
//
// The operator is the connection's session (set at login), never an id a packet carries. Rights
// are rows of `operatorright` (opid, privilegeid, action) with the actions of host/Privileges.h;
// a system manager (operator.issysmanager) holds every right. Both are read again on every call,
// so a right taken away or an operator closed counts at once; the app server's sessions keep them
// between calls until something that may have changed them ran (KeptSetting, ServerSql.h).
#include "webrpc/Connection.h"

#include <QHash>
#include <QSet>
#include <QString>

// The actions of a right, numbered as the host numbers them.
enum class TRightAction { Browse = 1, New = 2, Edit = 3, Delete = 4, Special = 5, Print = 6, Design = 7, Red = 8 };

// Special rights (action Special) under privilege ids of their own.
constexpr int kPrivilegeOthersBills = 228; // change and delete bills of other operators

class TOperatorRights {
public:
    // The session's operator with its rights; refuses with "请先登录" when nobody is logged in
    // and with a message when the operator is gone or closed.
    static TOperatorRights Of(TClientConnection& con);

    int OpID() const { return FOpID; }
    QString OpName() const { return FOpName; }
    int ShopID() const { return FShopID; }
    bool SysManager() const { return FSysManager; }
    bool Has(int privilegeId, TRightAction action) const;

private:
    static TOperatorRights Read(TClientConnection& con);

    int FOpID = 0;
    QString FOpName;
    int FShopID = 0;
    bool FSysManager = false;
    QHash<int, QSet<int>> FRights;
};

// "ApplyUpdates" may write `table` with the rows of `delta` for this operator; refuses with a
// Chinese message otherwise. The rules are one table (Rights.cpp): the operator and rights
// tables are the system manager's alone, bill and stock tables are written only by the bill
// procedures, bill window templates need the design right of their bill, and every other table
// is the system manager's.
void CheckTableWrite(TClientConnection& con, const TOperatorRights& op, const QString& table, const TDelta& delta);

// While one of these lives, statements prepared on the connection may only read: a statement
// that would write, change the schema, attach a file, steer transactions or set a pragma fails
// to prepare. RefusedMessage() turns the engine's refusal into the message for the caller.
class TReadOnlyStatements {
public:
    explicit TReadOnlyStatements(TClientConnection& con);
    ~TReadOnlyStatements();
    TReadOnlyStatements(const TReadOnlyStatements&) = delete;
    TReadOnlyStatements& operator=(const TReadOnlyStatements&) = delete;

    static QString RefusedMessage(int index);

private:
    sqlite3* FDb;
};
