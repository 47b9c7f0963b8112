#pragma once
// Sales orders and sales quotations.
#include "goodsbill/GoodsBillForm.h"

class TSOrderForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TSOrderForm(QWidget* owner = nullptr);
};

class TQuotationForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TQuotationForm(QWidget* owner = nullptr);
};
