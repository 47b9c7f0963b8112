#pragma once
// Sales orders and sales quotations.
#include "bills/sales/SalesBillForm.h"

class QAction;

class TSOrderForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TSOrderForm(QWidget* owner = nullptr);

    void RefreshFieldState(const QString& fieldName) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    // "转入采购订单": a purchase order window with this order's goods, units and quantities.
    void MakePOrderFromSOrder() override;

    // "导入Excel" on the lines' popup menu: the host's spreadsheet guide fills this order.
    QAction* Execl1 = nullptr;
    void BalItemFormExecl1Click();
};

class TQuotationForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TQuotationForm(QWidget* owner = nullptr);

    void DetailNewRecord(TClientDataSet* ds) override;
    void DetailFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
};
