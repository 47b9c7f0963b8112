#pragma once
// Who works on a bill, where and when: the values a bill document needs from the logged-in
// session, handed to it instead of being read from the host's globals. The host's current
// session is turned into one by FromHost(), the only place here that reads those globals.
#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>

struct TBillSession {
    int OpID = 0;            // the operator
    QString OpName;
    int ShopID = 0;          // current branch; 0 at head office
    QString ShopName;
    int AccountID = 0;       // account set
    bool Bind = false;       // the account set is bound to the general ledger
    bool Online = false;     // the host runs several branches
    QDate WorkDate;          // new bills are dated on it (today when unset)
    QDate PeriodStart, PeriodEnd;
    QDateTime NewBillTime;   // time part given to new bills (now when unset)
    // Account option by key ("" when unset).
    std::function<QString(const QString& key)> Option;
    // Whether the operator may perform the action under the privilege id (no message).
    std::function<bool(int privilegeId, int action)> HasRight;

    QString OptionValue(const QString& key) const { return Option ? Option(key) : QString(); }
    bool Right(int privilegeId, int action) const { return HasRight && HasRight(privilegeId, action); }
    // The working date with the new-bill time.
    QDateTime NewBillDateTime() const;

    // The host's session as it stands now.
    static TBillSession FromHost();
};
