#pragma once
// The rules of the purchasing bills without a window: the checks each bill passes before it
// is saved, the expense bill's arithmetic and its apportioning over receipt lines, the display
// state of an order, and the lines an order takes from short stock or from a sales order.
// The purchase windows build one over their goods bill's context and call it; every refusal
// tells the user through the bill's prompter and names the field for the cursor.
//
// Choices this code makes where the bills' behaviour leaves room:
// - The line checks run over every line after the goods bill's own line checks, and stop at
//   the first refused line with that line current.
// - An expense is apportioned in currency cents: each share is rounded to cents and the rest
//   (expense minus the sum of the shares, worked in cents) goes onto the last line when it is
//   a cent or more; a basis that sums to 0 apportions nothing.
// - A cash purchase's overdraft test reads the account's balance as stored now; an edited
//   cash purchase's old amount is not added back first (the server's own refusal under "2"
//   judges the posted result).
// - The low-stock proposal counts goods whose stock is below their lower limit over all
//   stores (goods.onhand) and proposes one base unit of each at its purchase price; the
//   category chooser is a callback the window gives.
// - An opening valued receipt is dated by default on the day before the account set starts.
//   Opening bills stand before every period by nature, so their period check asks instead
//   whether the account set's first period is closed, and, where the books are kept, whether
//   the accounting period has moved past the start.
// - An opening entry's supplier, store and employee must share a branch. A supplier of no
//   branch (shopid 0) is everyone's and fits any store and employee. When the supplier changes,
//   a store or employee of another branch is cleared; when the store or employee changes to
//   one of another branch than the supplier's, that choice is taken back. Either way the
//   clerk is told which of the two did not fit.
#include "goodsbill/GoodsLines.h"

#include <QDate>
#include <QVector>

#include <functional>
#include <memory>

class TBillStyleForm;
class TReturnValue;
class TGoodsBillForm;
struct TBillPeriodDates;

class TPurchaseRules : public TGoodsEngine {
public:
    explicit TPurchaseRules(TGoodsBillContext* context);

    // ------------------------------------------------------------ pure arithmetic
    // Shares of `expense` in proportion to `basis`, as the expense bill's lines get them.
    static QVector<double> Apportion(const QVector<double>& basis, double expense);
    // What the display of an order is, from its master flags.
    struct TOrderState {
        bool ReadOnly = false;     // the bill may not be edited
        bool ShowFinished = false; // the "执行完毕" mark
        bool CloseEnabled = true;  // the closing check box
        bool ToSorderEnabled = true;
    };
    static TOrderState OrderState(bool closed, bool finished, bool readOnlyWhenFinished);

    // ------------------------------------------------------------ checks before saving
    bool ValidateOrder();
    bool ValidateExpense();
    bool ValidateReceipt();
    // BANKNEGATIVE "1" asks through the prompter, "2" refuses.
    bool ValidateCashPurchase();
    bool ValidateReturn();
    bool ValidateValuedReceipt();
    // startDate: the account set's start date.
    bool ValidateValuedOpening(const QDate& startDate);
    // After the supplier ("clientid"), store ("storeid") or employee ("exemanid") of an
    // opening entry changed: false (and the clerk told) when a choice was cleared because its
    // branch is not the supplier's.
    bool OpeningBranchFits(const QString& changedField);
    // Pick-list filters of an opening entry's stores and employees: those of the bill's branch.
    QString OpeningStoreFilter() const;
    QString OpeningEmployeeFilter() const;
    // Opening entries change only while the account set's first period (the one its start
    // date falls in) is open, and, where the books are kept, while the accounting period has
    // not moved past the start.
    bool OpeningPeriodsOpen(const TBillPeriodDates& periods, bool firstPeriodClosed);
    // Whether the period the account set started in is closed.
    bool FirstPeriodClosed(const QDate& startDate) const;
    // Every line: quantity above 0 (below 0 for a write-back); a red bill (flag not 0) is
    // left alone when onlyNormalBills. Receipts add MUSTREFERPORDER.
    bool ValidateQuantities(bool onlyNormalBills);
    bool ValidateReceiptLines();
    bool ValidateValuedLines();
    // Lines that are all discount goods (kind 7) are refused.
    bool ValidateNotOnlyDiscountGoods();

    // ------------------------------------------------------------ expense bill
    // The recalculation after a master field of the expense bill changed.
    void ExpenseFieldChanged(const QString& fieldName);
    // Whether the payment fields take a value (a payment is entered).
    bool ExpensePaid() const;
    // Apportions master appamt over the lines by "unitqty" or "goodsamt"; false when nothing
    // was done (another basis, no lines).
    bool ApportionExpense(const QString& basisField);

    // Takes the receipt lines chosen for an expense bill (records of the receipt-line dialog:
    // billtype, billid, itemno, code, goodsid, unitid, unitprice, unitqty, purappamt and the
    // source's master texts); a receipt line already on the bill is not taken twice. The
    // source's memo, user fields and employee fill the master's where they are empty.
    // The number of lines added.
    int TakeReceiptLines(const TReturnValue& chosen);

    // ------------------------------------------------------------ lines from elsewhere
    // Goods below their lower stock limit.
    int ShortGoodsCount() const;
    // The short goods' base unit and purchase price: condition is "" or " And GT.Name in(...)";
    // otherUnclassified adds goods without a category.
    struct TProposedLine {
        int GoodsID = 0;
        int UnitID = 0;
        double UnitQty = 0;
    };
    QVector<TProposedLine> ShortGoods(const QString& condition, bool otherUnclassified) const;
    QVector<TProposedLine> SalesOrderLines(int sorderId) const;

private:
    bool RefuseIfNoStore();
    bool RefuseIfNoInvoiceType();
    QDateTime MasterDate(const QString& name) const;
};

// Numbers of the named fields shown in a format ("#,##0.00"); fields the dataset lacks are skipped.
void ShowFieldsAs(TClientDataSet* ds, std::initializer_list<const char*> fields, const QString& format);

// The editors of fields the clerk may not fill now (a return without a refund has no refund
// account), held disabled for `holder` through the record refreshes that would enable them;
// the bill itself still writes the fields.
void HoldEditors(TBillStyleForm* form, std::initializer_list<const char*> fields, const QString& holder, bool held);

// The host's shared lookup tables a purchase window reads besides the goods bill's.
void AddLookupTables(TBillStyleForm* form, std::initializer_list<const char*> names);

// The rules of one purchase window, made on first use over the window's goods context.
class TPurchaseRulesOf {
public:
    TPurchaseRules& Of(TGoodsBillForm* form);

private:
    std::unique_ptr<TPurchaseRules> FRules;
};
