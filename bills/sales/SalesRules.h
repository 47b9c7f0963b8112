#pragma once
// The checks and the follow-on work of the sales bills, without a window: what invoices, cash
// sales, returns, orders, quotations, consignment bills and branch deliveries refuse before
// they are saved, the credit control of a client, and the stocktaking bill a return writes its
// damaged goods off with. The forms call these from their hooks; every refusal speaks through
// the bill's prompter, names the field for the cursor and returns false.
//
// Choices this code makes where the bills' rules leave room:
// - The credit check reads the client's credit limit and debt (balance and advance by client
//   kind) from the client row at the moment of saving, not from the values the window loaded
//   with the bill: a collection saved meanwhile counts at once.
// - Debt and limit in the credit messages are shown with two decimals inside the quoted
//   parentheses; the question or refusal follows after a comma.
// - A damaged line is written off once: lines whose badqty already holds a written-off
//   quantity are left out of the next stocktaking bill, so re-saving a return never writes the
//   same goods off twice.
// - The generated stocktaking bill goes through the stocktaking bill's own save procedure (so
//   that stock, lots and the return line's badqty follow); the procedure's transaction is the
//   transaction of the generation. Its subject is the account's subject with special code
//   191001 where the account keeps one, else empty.
// - When the account keeps no bill numbers the server's own numbering names the bill.
#include "goodsbill/GoodsLines.h"

#include <QDate>
#include <QString>

#include <functional>

class TMasterServices;
class TReturnValue;

class TSalesRules : public TGoodsEngine {
public:
    explicit TSalesRules(TGoodsBillContext* context);

    // The shared lock taken while a stocktaking bill is generated; the host's SetLock by default.
    std::function<bool(const QString& name, bool acquire)> Lock;

    // ------------------------------------------------------------ master
    bool RequireStore(const QString& field = QStringLiteral("storeid"), const QString& text = QStringLiteral("请输入仓库！"));
    bool RequireMaster(const QString& field, const QString& text);
    bool RequireInvoiceType() { return RequireMaster(QStringLiteral("billtypeid"), QStringLiteral("请输入发票类型！")); }
    // termdays from 0 to 999.
    bool CheckTermDays(const QString& text);
    // OVERDUEAMOUT against the client's bills past their terms (this bill left out).
    bool CheckOverdue(bool overdue);
    // The client's debt with this bill (its stored total taken back) against its credit limit,
    // as SALECONTROL says.
    bool CheckCreditLimit(const QString& saleControl);
    // Debt and limit as CheckCreditLimit sees them; limit 0 when the client has none.
    struct TCredit {
        double Limit = 0;
        double Debt = 0;
    };
    TCredit CreditPosition() const;
    // The account the refund or receipt goes through must be named when `needed`.
    bool RequireBank(bool needed, const QString& text) { return !needed || RequireMaster(QStringLiteral("bankid"), text); }
    // A refund out of the account may not leave it negative, as BANKNEGATIVE says.
    bool CheckRefundBalance(double bankBalance);
    // From a date field's value not before the bill date (or begdate to enddate).
    bool CheckDateOrder(const QString& earlier, const QString& later, const QString& text);

    // A delivery between branches goes to another branch.
    bool RefuseSameBranch() { return RefuseAtMaster(QStringLiteral("调入机构与调出机构不能相同！"), QStringLiteral("inshopid")); }

    // ------------------------------------------------------------ lines
    double LinesAmount() const;
    bool RefuseDiscountOnly();
    bool RefuseNegativeTotal(const QString& text);
    // Runs `check` on every line (the line current while it runs); the first refusal stops.
    bool EachLine(const std::function<bool()>& check);
    bool LineQtyAbove(const QString& text = QStringLiteral("货品数量必须大于零！"));
    bool LineQtyBelow(const QString& text);
    // MustReferSOrder / MUSTREFERSORDER: lines taken from sales orders only.
    bool LineRefersSalesOrder(bool strict);
    // A batch-controlled line (mode 1) without a cost asks (return) or refuses (consignment return).
    bool AskZeroCost();
    bool RefuseZeroCost();
    // Quotation ranges in the entered unit.
    bool LineQuantityBand();

    // ------------------------------------------------------------ consignment
    // The batch picker in mode 3 (what the consignee holds of the line's goods): the chosen
    // delivery line's batch, cost and quantity (and, on settlements, its prices) into the line,
    // which then refers to it. False when nothing was taken.
    bool PickConsignmentBatch(const std::function<bool(int, int, int, int, TReturnValue*, const QDate&, double)>& picker,
                              bool settlement);
    // A settlement line taken from a consignment delivery keeps its consignment value
    // (deputeprice × unitqty), the margin the consignee keeps and its own amount in step: the
    // amount is the value less the margin. A changed margin, consignment price or quantity
    // moves the amount (the pricing engine then moves the prices); a changed price or amount
    // moves the margin.
    void SettlementLineChanged(const QString& field);
    // The opening entry's master: store of this branch, dated before the account start.
    bool CheckOpeningMaster(const QDate& accountStart);
    bool CheckOpeningLineCost();

    // ------------------------------------------------------------ damaged goods
    // Item numbers of the lines marked damaged and not yet written off.
    QVariantList DamagedItems() const;
    bool HasDamagedLines() const { return !DamagedItems().isEmpty(); }
    // Asks, then generates and saves the stocktaking bill of the damaged lines of the stored
    // return. The new bill's code, "" when nothing was generated.
    QString WriteOffDamaged(int returnId);

    static QString Money(double v);
};
