#pragma once
// What every sales bill window shares: its rules engine over the bill's own context, made once
// the goods bill's engines exist.
#include "bills/sales/SalesRules.h"
#include "goodsbill/GoodsBillForm.h"

#include <memory>

class QFrame;
class QLabel;

class TSalesBillForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TSalesBillForm(QWidget* owner = nullptr);
    ~TSalesBillForm() override;

    // Bills executed by later bills (orders, delivery requests, deliveries): the ellipse and its
    // "执行完毕" shown on a finished bill; nullptr on the others.
    QFrame* Shape = nullptr;
    QLabel* FinishedLabel = nullptr;
    // Closed by hand: read-only but for the closing control; finished: read-only when the
    // account's ORDEREXECFINISHED is "1".
    bool IsReadOnlyBill() override;
    void RefreshFieldState(const QString& fieldName) override;
    void MasterAfterOpen(TClientDataSet* ds) override;

    TSalesRules& Rules();

    // Invoices, cash sales and returns: an ordinary invoice (type 2) shows amounts with tax,
    // any other kind shows goods and tax apart.
    void OnMasterFieldChanged(TField* field) override;
    bool FollowsInvoiceKind = false;
    // A new bill that names an invoice kind starts without an invoice ("不开票", kind 1).
    void InitNewMaster() override;

protected:
    // Gives the bill its closed and finished states (made once, in the constructor).
    void UseExecutionStates();
    // The client's debt shown as money ("#,##0.00").
    static void ShowDebtAsMoney(TClientDataSet* master);
    // Runs a line check on every line after the goods bill's own line checks.
    bool ValidateLines(const std::function<bool()>& check);
    // Commands this bill offers that the base form keeps hidden.
    static void ShowActions(std::initializer_list<QAction*> actions);
    // Sets a master control's enabled state when the window has one for the field.
    void EnableField(const QString& field, bool on);
    // Limits a master drop-down list to the rows matching `filter` (trusted SQL, no user text).
    void FilterList(const QString& field, const QString& filter);
    // The branch the bill is written in: its shopid, else the session's.
    int BillBranch() const;
    // Limits the master lists to what the bill's branch offers; run after the bill is read
    // and whenever its fields are refreshed (the editors may be built after the bill was read).
    virtual void BranchLists() {}

private:
    bool Flag(const char* name) const;
    bool FReadOnlyWhenFinished = false;
    std::unique_ptr<TSalesRules> FRules;
};
