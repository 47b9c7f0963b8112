#pragma once
// Consignment deliveries, consignment settlements and consignment opening entries.
#include "bills/sales/SalesBillForm.h"

class TDeputeSaleForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TDeputeSaleForm(QWidget* owner = nullptr);

    // 1 delivery, 2 take-back.
    int DeliveryKind() const;
    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    void DetailNewRecord(TClientDataSet* ds) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    // A take-back's lines come from what the consignee holds (batch picker mode 3).
    void PickLineBatch() override;
};

class TDeputeSettlementForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TDeputeSettlementForm(QWidget* owner = nullptr);

    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    void RefreshFieldState(const QString& fieldName) override;
    void DetailNewRecord(TClientDataSet* ds) override;
    void DetailFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    void PickLineBatch() override;

private:
    bool OnCredit() const;
    bool FSyncing = false;
};

class TDeputeSaleInitForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TDeputeSaleInitForm(QWidget* owner = nullptr);

    // An opening entry is dated the day before the account start.
    void InitNewMaster() override;
    void DetailNewRecord(TClientDataSet* ds) override;
    bool ValidateMaster() override;
    bool ValidateSourceLines() override;
    bool ValidateDetail() override;
};
