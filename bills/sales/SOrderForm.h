#pragma once
// Sales orders and sales quotations.
#include "bills/sales/SalesBillForm.h"

class QFrame;
class QLabel;

class TSOrderForm : public TSalesBillForm {
    Q_OBJECT
public:
    explicit TSOrderForm(QWidget* owner = nullptr);

    // The ellipse and its "执行完毕" shown on a finished order.
    QFrame* Shape = nullptr;
    QLabel* FinishedLabel = nullptr;

    bool IsReadOnlyBill() override;
    void RefreshFieldState(const QString& fieldName) override;
    void OnMasterFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    bool ValidateDetail() override;
    // "转入采购订单": a purchase order window with this order's goods, units and quantities.
    void MakePOrderFromSOrder() override;

private:
    bool FReadOnlyWhenFinished = false;
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
