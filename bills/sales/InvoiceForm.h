#pragma once
// Sales invoices, cash sales and sales returns.
#include "goodsbill/GoodsBillForm.h"

class TInvoiceForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TInvoiceForm(QWidget* owner = nullptr);
};

class TCashSaleForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TCashSaleForm(QWidget* owner = nullptr);
};

class TSReturnForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TSReturnForm(QWidget* owner = nullptr);
};
