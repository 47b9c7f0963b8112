#pragma once
// What every sales bill window shares: its rules engine over the bill's own context, made once
// the goods bill's engines exist.
#include "bills/sales/SalesRules.h"
#include "goodsbill/GoodsBillForm.h"

#include <memory>

class TSalesBillForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TSalesBillForm(QWidget* owner = nullptr);
    ~TSalesBillForm() override;

    TSalesRules& Rules();

    // Invoices, cash sales and returns: an ordinary invoice (type 2) shows amounts with tax,
    // any other kind shows goods and tax apart.
    void OnMasterFieldChanged(TField* field) override;
    bool FollowsInvoiceKind = false;
    // A new bill that names an invoice kind starts without an invoice ("不开票", kind 1).
    void InitNewMaster() override;

protected:
    // Runs a line check on every line after the goods bill's own line checks.
    bool ValidateLines(const std::function<bool()>& check);
    // Commands this bill offers that the base form keeps hidden.
    static void ShowActions(std::initializer_list<QAction*> actions);
    // Sets a master control's enabled state when the window has one for the field.
    void EnableField(const QString& field, bool on);

private:
    std::unique_ptr<TSalesRules> FRules;
};
