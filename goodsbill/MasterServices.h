#pragma once
// The master record of a goods bill kept in step with its partner and its lines, without a
// window: partner data when the client or vendor changes, the tax columns an invoice kind
// shows, payment terms and due dates, the bank of a payment type, the e-mail and invoicing
// marks, the partner's print variables and whether a client has overdue bills.
//
// Wiring: the window sends every master field change to MasterFieldChanged; fields these
// routines write themselves do not come back.
#include "goodsbill/GoodsLines.h"

#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

// Which tax columns the grid shows for an invoice kind (1 no invoice, 2 ordinary invoice,
// 3 VAT invoice), and the title of the amount column. Applies is false on bills of neither
// the sales nor the purchase side, whose columns are left as they are.
struct TTaxColumns {
    bool Applies = false;
    bool TaxPrice = true;
    bool GoodsAmt = true;
    bool TaxAmt = true;
    bool TaxRate = true;
    QString AmountTitle;
};
// separateTax: the sales bill's flag that shows goods and tax amounts apart.
TTaxColumns TaxColumnsFor(int billType, int tradeSide, int invoiceKind, bool separateTax);

// "部分开票", "已开票" or "" from the invoiced amount against the bill's total.
QString InvoicedMarkText(double checkAmt, double totalAmt);

using TPrintVariables = QVector<QPair<QString, QVariant>>;

class TMasterServices : public TGoodsEngine {
public:
    // lines removes the previous partner's source lines; not owned.
    TMasterServices(TGoodsBillContext* context, TGoodsLines* lines);
    ~TMasterServices() override;

    // The master's field-change hook: partner, payment terms, due date, payment type and
    // remembered free texts. Returns whether a routine ran.
    bool MasterFieldChanged(TField* field);

    // Sales bills with separate goods and tax amounts (invoices and the like set it).
    bool SeparateTaxDisplay = false;
    // "SALECONTROL" as it stood when the bill was opened: what invoices and consignment
    // settlements do about a client over the credit limit or with overdue bills.
    QString SaleControl;

    virtual void ClientChanged();
    // The contact drop-down's filter after the last partner change.
    QString ContactFilter;

    // The tax columns for the master's invoice kind, as RefreshFieldState applies them.
    TTaxColumns TaxColumns() const;

    virtual void TermDaysChanged(); // due date := bill date + term days
    virtual void DueDateChanged();  // term days := days from bill date to due date
    virtual void PayTypeChanged();
    double GetBankBalance(int bankId) const;

    // After the bill was e-mailed: the saved bill carries the mark.
    void MarkEmailSent();
    // Before e-mailing: an e-mailed bill is sent again only when the user agrees.
    bool ConfirmResendEmail();
    QString EmailMarkText() const; // "已发邮件" or ""
    QString InvoicedMark() const;  // from the master's checkamt and totalamt

    // The partner's print variables, added after the style form's own.
    TPrintVariables PartnerPrintVariables() const;

    // Whether the client has invoices or consignment settlements past their terms, this
    // bill left out.
    bool HasOverdueBills(int clientId, int billId) const;

private:
    TGoodsLines* FLines;
};
