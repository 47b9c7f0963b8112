#pragma once
// An opening entry keeps its partner and the store and employee it names in one branch.

#include <QString>
#include <QVector>

#include <functional>

class TClientConnection;

// One master field checked against the partner's branch: a statement of the partner (:client)
// and the field's row (:other) whose second column is empty when the row is not of the
// partner's branch, and what the user is told then.
struct TBranchSide {
    const char* Field;
    const char* Sql;
    const char* Message;
};

// The sides whose field names a row outside the partner's branch. A partner of no branch fits
// every branch; a field without a value is not checked. `valueOf` reads the master's ids;
// `only` limits the check to that field unless empty.
QVector<const TBranchSide*> SidesOutsideBranch(TClientConnection& con, int client, const QVector<TBranchSide>& sides,
                                               const std::function<int(const QString&)>& valueOf, const QString& only = {});
