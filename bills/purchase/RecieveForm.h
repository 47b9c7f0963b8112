#pragma once
// Goods receipts, cash purchases and purchase returns.
#include "bills/purchase/PurchaseRules.h"
#include "goodsbill/GoodsBillForm.h"

class TRecieveForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TRecieveForm(QWidget* owner = nullptr);
    void OpenLookupTables() override;
    TPurchaseRules& Rules() { return FRules.Of(this); }

    void MasterAfterOpen(TClientDataSet* ds) override;
    void DetailAfterOpen(TClientDataSet* ds) override;
    bool IsColumnReadOnly(const QString& fieldName) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;

private:
    TPurchaseRulesOf FRules;
};

class TCashRecieveForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TCashRecieveForm(QWidget* owner = nullptr);
    void OpenLookupTables() override;
    TPurchaseRules& Rules() { return FRules.Of(this); }

    void DetailAfterOpen(TClientDataSet* ds) override;
    bool IsColumnReadOnly(const QString& fieldName) override;
    bool ValidateMaster() override;
    bool ValidateSourceLines() override;
    bool ValidateDetail() override;

private:
    TPurchaseRulesOf FRules;
};

class TPReturnForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPReturnForm(QWidget* owner = nullptr);
    void OpenLookupTables() override;
    TPurchaseRules& Rules() { return FRules.Of(this); }

    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    // The read-only walk enables every control: the bill's own states are laid over it again.
    void OnDetailStateChanged(bool readOnly) override;
    void RefreshFieldState(const QString& fieldName) override;
    bool ValidateMaster() override;
    bool ValidateSourceLines() override;
    bool ValidateDetail() override;

private:
    TPurchaseRulesOf FRules;
};
