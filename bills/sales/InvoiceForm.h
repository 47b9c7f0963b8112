#pragma once
// Sales invoices, cash sales and sales returns.
#include "bills/sales/SalesBillForm.h"

class TInvoiceForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TInvoiceForm(QWidget* owner = nullptr);

    void MasterAfterOpen(TClientDataSet* ds) override;
    bool IsColumnReadOnly(const QString& fieldName) override;
    bool ValidateMaster() override;
    bool ValidateSourceLines() override;
    bool ValidateDetail() override;
};

class TCashSaleForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TCashSaleForm(QWidget* owner = nullptr);

    bool ValidateMaster() override;
    bool ValidateSourceLines() override;
    bool ValidateDetail() override;
};

class TSReturnForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TSReturnForm(QWidget* owner = nullptr);

    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    void RefreshFieldState(const QString& fieldName) override;
    void DetailNewRecord(TClientDataSet* ds) override;
    bool ValidateMaster() override;
    bool ValidateSourceLines() override;
    bool ValidateDetail() override;
    void AfterSaveBill() override;
    // The number of the stocktaking bill the last save generated ("" none).
    QString GeneratedStocktaking;
};
