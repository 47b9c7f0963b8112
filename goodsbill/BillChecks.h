#pragma once
// Batches and the checks a goods bill passes before it is saved or deleted, without a
// window: which batch a line draws from (through the batch picker), batch copy, the line
// and master checks, the period check against the account set's dates, and the stock on
// hand of a line. Every refusal shows its message through the bill's prompter, names the
// field for the cursor (FocusRequest) and returns false; nothing is written then.
#include "goodsbill/GoodsLines.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

class TReturnValue;

// The batch picker: mode (1 stock lots, 2 batch stock, 3 open consignment deliveries),
// client, goods and store ids, the record the chosen batch is written to, the bill date and
// the line's unit rate; true on OK. The signature of the package's PickBatch slot.
using TBatchPicker = std::function<bool(int mode, int clientId, int goodsId, int storeId, TReturnValue* result,
                                        const QDate& billDate, double unitRate)>;
// The batch-copy dialog: from the line's batch code, the code's prefix, starting number and
// suffix and the number of lines wanted; true on OK. The signature of the package's
// SelectBatchCodeCopy slot.
using TBatchCopyDialog =
    std::function<bool(QString& prefix, QString& number, QString& suffix, int& count, const QString& batchCode)>;

// The dates bill dates are held against, from the account set.
struct TBillPeriodDates {
    QDate OpeningDate;           // no business before the account set was opened
    QDate InventoryPeriodStart;  // first day of the current inventory period
    int InventoryYear = 0;       // the current inventory period as the caption names it
    int InventoryMonth = 0;
    QDate AccountingPeriodStart; // first day of the current accounting period
    // The host's setting that makes the accounting period count: the account set feeds
    // the general ledger.
    bool CheckAccountingPeriod = false;

    // accinfo.startdate and the current periods of accperiod; where the database has no
    // period, the session's working period stands for both.
    static TBillPeriodDates Read(TClientConnection* con, const TBillSession& session);
};

// How a line's goods are kept in batches.
enum TLineBatchKind : int {
    bkNone = 0,       // not batch-controlled
    bkSpecific = 1,   // batch-controlled and costed by batch: a stock batch must be named
    bkCodeOnly = 2,   // batch-controlled, costed by moving average: a batch code is enough
};

class TBillChecks : public TGoodsEngine {
public:
    // lines gives the copy-line operation of batch copy and the batch-code routine; not owned.
    TBillChecks(TGoodsBillContext* context, TGoodsLines* lines);
    ~TBillChecks() override;

    // The dialogs, given by the window: forwarders to the package's slots (TPackageSeams::
    // PickBatch and SelectBatchCodeCopy), so that what the slots hold when the user asks is
    // what opens. Without one the user is told that the module is not installed.
    TBatchPicker BatchPicker;
    TBatchCopyDialog BatchCopyDialog;

    // Per-bill flags (a concrete bill sets them in its constructor).
    bool BatchCodeRequired = true;
    bool SpecificBatchRequired = false;
    bool CheckPeriod = true;
    TBillPeriodDates Periods;

    // ------------------------------------------------------------ batches
    int GetBatchKind() const; // of the current line
    // Whether the current line must name a specific batch; a stock count asks it only of
    // lines that take goods out (negative quantity).
    virtual bool SpecificBatchRequiredForLine() const { return SpecificBatchRequired; }
    // Mode of the batch picker: stock batches for lines costed by batch, batch stock else.
    virtual int BatchPickMode() const { return GetBatchKind() == bkSpecific ? 1 : 2; }
    // The batch button of the current line; true when a batch was taken.
    virtual bool PickBatch();
    // Action "批号复制": numbers the current line's batch and copies the line.
    virtual bool CopyBatchCode();
    // The batch codes of batch copy: prefix + number counted up from the digits typed,
    // keeping their width (zeros in front) and growing when the number needs it + suffix.
    static QStringList BatchCodeSequence(const QString& prefix, const QString& number, const QString& suffix, int count);

    // ------------------------------------------------------------ checks
    // Every line in order: the base form's line check (when given), then ValidateLine; the
    // first refusal stops with its line current.
    bool ValidateDetail(const std::function<bool()>& baseLineCheck = {});
    // The goods-bill checks of the current line; a line that passes is posted.
    virtual bool ValidateLine();
    virtual bool ValidateMaster();
    virtual bool CanDeleteBill();
    virtual bool CheckBillPeriod();

    // ------------------------------------------------------------ stock on hand
    // Book stock of the current line's goods in base units: in the master's store, or over
    // every store when the bill names none; 0 without goods.
    double LineOnHand() const;
    // "库存：12.5 瓶" for the window's status line; "" without goods.
    QString OnHandText() const;

protected:
    bool WarnLine(const QString& text, const QString& field);
    bool MayUseStore(const QString& refusal);
    bool BatchQuantityLeft();

private:
    TGoodsLines* FLines;
};
