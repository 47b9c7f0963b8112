#pragma once
// The source bills a new bill takes its lines from, without a window: for each kind the
// caption of the dialog, the statement of the open bills of one partner, the statement of
// their lines, the condition that leaves out lines carried on in full, the keys, the fields
// handed back, and the columns a clerk reads. Dates, partner, branch and the chosen bills go
// into the statements as bound parameters; only the calling bill's own condition text is
// added as it is (it is the program's, never typed by the user).
#include "services/SelectValues.h"
#include "webrpc/Connection.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

struct TSelectBillColumn {
    QString Field;
    QString Title;
    int Width = 80;
    QString Format; // display format of a number column
};

struct TSelectBillKind {
    int Kind = 0; // the bill type of the source bills (56203: sales opportunities)
    QString Caption;
    // Master: "select <MasterSelect> from <MasterFrom> where <MasterCondition>"; alias a for
    // the bill. The select list starts with the tick, every column of the bill and, for bills
    // with texts, their memo and userdef1-5 as mastermemo and masteruserdef1-5.
    QString MasterSelect;
    QString MasterFrom;
    QString MasterCondition;
    // Master condition dropped, like the open-line condition, when executed bills are shown.
    QString MasterOpenCondition;
    QString MasterOrder;     // without "order by"
    QString PartyColumn;     // "a.clientid"; "" when the bills belong to no partner
    // The branch condition with :shop when the account set works by branches; "" for none.
    QString ShopCondition = QStringLiteral(" and a.shopid = :shop");
    bool ValidOnBillDate = false; // quotations: begdate .. enddate around the bill date
    bool StillValid = false;      // opportunities: billdate + validdays not passed
    // Detail: "select <DetailSelect> from <DetailFrom> where 1=1 <DetailCondition>
    // <OpenCondition>"; alias d.
    QString DetailSelect = QStringLiteral("d.*");
    QString DetailFrom;      // "" for kinds without a line list (5, 9)
    QString DetailCondition;
    QString OpenCondition;
    QStringList MasterKeys, DetailKeys, ReturnFields;
    QVector<TSelectBillColumn> MasterColumns, DetailColumns;

    bool HasDetail() const { return !DetailFrom.isEmpty(); }
};

// The kind of a source bill type; nullptr for a type no bill takes lines from.
const TSelectBillKind* SelectBillKind(int kind);
// The seventeen kinds, in the order of their numbers.
QList<int> SelectBillKindNumbers();
// The purchase-expense bill's variant: receipts and cash purchases of a vendor.
const TSelectBillKind& PurchaseAppSelectKind();

// What the dialog lists.
struct TSelectBillRequest {
    // Client, vendor, branch or store, as the kind's PartyColumn says; 0 lists the bills of
    // every partner (a bill without a partner of its own).
    int PartyID = 0;
    QDate BeginDate, EndDate;
    QDate BillDate;       // the calling bill's date (quotations valid on it)
    int ShopID = 0;       // the current branch
    bool ByShop = false;  // the account set works by branches
    QString Condition;    // the calling bill's own condition, e.g. " and a.flag = 0 "
    TSqlParams ConditionParams; // the values its :names stand for
    bool ShowExecuted = false; // cbExecute: also bills and lines carried on in full
};

struct TSelectStatement {
    QString Sql;
    TSqlParams Params;
};

// The open bills of the request (a begin date after the end date lists nothing).
TSelectStatement SelectBillMasterStatement(const TSelectBillKind& kind, const TSelectBillRequest& request);
// The lines of the chosen bills, each given by its values of the kind's MasterKeys, in the
// order of the detail keys; with no bill chosen the statement answers no row (but its columns).
TSelectStatement SelectBillDetailStatement(const TSelectBillKind& kind, const TSelectBillRequest& request,
                                           const QVector<QVariantList>& chosenBills);

// The dates of the period menu: 0 today, 1 this week, 2 last week, 3 this period, 4 5 6 the
// first, middle and last ten days of the period (the last part runs to the period's end).
enum TPeriodChoice : int { pcToday, pcThisWeek, pcLastWeek, pcThisPeriod, pcPeriodFirst, pcPeriodMiddle, pcPeriodLast };
QStringList PeriodChoiceTitles();
// The begin and end of a choice; a period without dates counts as the month of `today`.
std::pair<QDate, QDate> PeriodChoiceDates(int choice, const QDate& today, const QDate& periodStart, const QDate& periodEnd);

// One result line per ticked line (per ticked bill for kinds without lines), in list order:
// every return field taken from the line first, from its bill second. Fields found in
// neither are named in `missing` (once each) and skipped. Answers the number of lines.
int CollectSelectedBills(const TSelectBillKind& kind, TClientDataSet* master, TClientDataSet* detail, TReturnValue* result,
                         QStringList* missing);

// The rows of a result as a dataset, one field per name in the rows (typed by the first value
// that is not null), for the bill's receiving end.
void ReturnValueToDataSet(const TReturnValue& rows, TClientDataSet* ds);

// The tick column of both lists.
inline const QString kIsSelect = QStringLiteral("is_select");
