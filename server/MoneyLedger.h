#pragma once
// Partner accounts and money accounts kept by the bill procedures: `client.balance` (the running
// account), `client.suramt` (the advance) and `bank.balance`, and `moneyflow`, one row per
// posting of a bill. What a bill kind posts is its money effect in `billkind` (written from the
// bill profiles); the amounts are read from the bill's stored master row.
//
// The ledger also keeps the money columns that later bills raise on the lines they name: the
// amount returned (`returnamt`) and the purchase expense apportioned (`purappamt`) of receipt,
// cash purchase and sales lines, and the cash purchase's and cash sale's `totalreturn`.
//
// One ledger serves one bill inside the caller's transaction: a save takes back what the bill
// posted before (RemoveBillFlow, before the lines change) and posts it again (Apply, after), so
// that an edit moves every account by the difference; a delete only takes back; a red bill posts
// the exact opposite of the bill it reverses.
//
// Partners: amounts are seen from the bill's side (what a vendor is owed on vendor bills, what a
// client owes on client bills). A partner of the other kind on a bill (a vendor on a sales
// invoice) is posted with the opposite sign, so that its balance keeps the meaning of its own kind
// and balance - suramt stays its net position. A bill without a partner posts no partner row.
#include "webrpc/Connection.h"

#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>

class TMoneyLedger {
public:
    TMoneyLedger(TClientConnection& con, int billType, qint64 billId);

    // Takes back every posting of this bill and what its stored lines added to the lines they name.
    void RemoveBillFlow();
    // Posts the effect of the stored bill and books its stored lines on the lines they name.
    void Apply();
    // Posts the opposite of another bill's postings (this bill reverses it) and books this bill's
    // own (negated) lines on the lines they name.
    void ApplyMirrorOf(qint64 billId);

    // The accounts whose balance this bill lowered below zero.
    QList<int> OverdrawnBanks() const;
    // With the account option BANKNEGATIVE "2", a bill may not leave an account negative: throws
    // EDatabaseError with the message the forms show.
    void RefuseOverdraft() const;

private:
    struct TPosting {
        QVariant ClientID, BankID;
        double Balance = 0, Prepaid = 0, Bank = 0;
    };
    struct TTouch {
        double Old = 0;
        double Change = 0;
    };

    TClientConnection& FCon;
    int FBillType;
    qint64 FBillId;
    TRowValues FKind; // the billkind row
    QMap<int, TTouch> FBanks;

    QVector<TPosting> ReadFlow(qint64 billId) const;
    void Post(const TPosting& p, const QString& code, const QVariant& billDate);
    void Book(const TPosting& p, double sign);
    int PartnerSign(const QVariant& clientKind) const; // of the bill's partner
    // Lines of the stored bill that name a source line, booked (sign +1) or taken back (-1).
    void BookReferences(int sign);
};
