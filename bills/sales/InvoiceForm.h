#pragma once
// Sales invoices, cash sales and sales returns.
#include "billcore/BillBaseForm.h"

class TInvoiceForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TInvoiceForm(QWidget* owner = nullptr);
};

class TCashSaleForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TCashSaleForm(QWidget* owner = nullptr);
};

class TSReturnForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TSReturnForm(QWidget* owner = nullptr);
};
