#pragma once
// Valued (estimated-price) receipts and their opening entries; both keep table valuedrcvd.
#include "bills/purchase/PurchaseRules.h"
#include "goodsbill/GoodsBillForm.h"

class TValuedRecieveForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TValuedRecieveForm(QWidget* owner = nullptr);
    void OpenLookupTables() override;
    TPurchaseRules& Rules() { return FRules.Of(this); }

    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    void RefreshFieldState(const QString& fieldName) override;
    // The valued receipt of a goods receipt or cash purchase changes only with its owner.
    bool IsReadOnlyBill() override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;

private:
    TPurchaseRulesOf FRules;
};

class TValuedRecieveInitForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TValuedRecieveInitForm(QWidget* owner = nullptr);
    void OpenLookupTables() override;
    TPurchaseRules& Rules() { return FRules.Of(this); }

    void InitNewMaster() override;
    // Supplier, store and employee stay of one branch.
    void OnMasterFieldChanged(TField* field) override;
    // Stores and employees are offered from the bill's branch only.
    void RefreshFieldState(const QString& fieldName) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    bool CanDeleteBill() override;

private:
    QDate StartDate() const;
    bool OpeningPeriodsOpen();
    TPurchaseRulesOf FRules;
};
