#pragma once
// The checks a bill's change sets pass before the save procedure writes anything.
//
// A client sends the master and line changes of one bill. Before they touch the books the
// guard makes sure that every row belongs to that bill; that the columns the server keeps (keys,
// flag, operator, update time, reference counts, follow-up quantities, settled totals) are not
// set by the client; that every value fits its column (finite numbers within range, rounded to
// their places; dates; text the bills accept); that every goods, unit, store, partner,
// employee, account and source line named exists and is in use; that a bill of goods has lines;
// that lines later bills took over are neither deleted nor cut below what was taken. It then
// works out the values the server stores itself: base quantities from the unit, the master total
// from the lines. Every refusal is an EDatabaseError whose Chinese message names the line and
// the field.
#include "server/BillKind.h"
#include "server/Rights.h"

#include <QMap>
#include "platform/RowValues.h"
#include <QVector>

constexpr int kNoBillId = -99999;

struct TBillChange {
    qint64 Id = 0;
    bool IsNew = false;
    TDelta Master;                      // the change sets to write: values checked and rounded,
    TDelta Detail;                      // server columns of new rows filled in
    TRowValues FinalMaster;            // the master as it will be stored (columns in any case)
    QMap<int, TRowValues> FinalLines;  // by itemno: the lines as they will be stored
    TRowValues ServerMaster;           // master columns the server writes after the change sets
};

class TBillGuard {
public:
    TBillGuard(TClientConnection& con, const TBillKind& kind, const TOperatorRights& op);

    // Checks a save. `stored` and `storedLines` are the bill as it is (empty for a new bill).
    // `linesFollow`: the procedure adds lines of its own when none come (a POS day-close), so
    // an empty bill is not refused here.
    TBillChange CheckSave(qint64 id, bool isNew, const TRowValues& stored, const QVector<TRowValues>& storedLines,
                          TDelta masterDelta, TDelta detailDelta, bool linesFollow = false);

    // The message of a bill that needs lines and has none.
    QString NoLinesMessage() const;

private:
    struct TTouched; // values a change set wrote, to be checked against other tables

    TClientConnection& FCon;
    const TBillKind& FKind;
    const TOperatorRights& FOp;
    QStringList FMasterSystem; // master columns the server keeps
    QStringList FLineSystem;   // line columns the server keeps

    void CheckMasterRow(TBillChange& c, TDeltaRow* row, const TRowValues& stored, TTouched& touched);
    void CheckLineRows(TBillChange& c, const QVector<TRowValues>& storedLines, TTouched& touched);
    void CheckSourceLines(const TBillChange& c, const QVector<TRowValues>& storedLines);
    void CheckReferences(TBillChange& c, TTouched& touched);
    void CheckStockColumns(const TBillChange& c);
    void ComputeTotal(TBillChange& c, const TRowValues& stored);
};

// Checks the values of a delta written to any table ("ApplyUpdates"): each inserted or changed
// value must fit its column; numbers are rounded to their places in place.
void CheckDeltaValues(const TTableInfo& table, TDelta& delta);
