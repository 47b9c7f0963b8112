#pragma once
// Sales orders and sales quotations.
#include "billcore/BillBaseForm.h"

class TSOrderForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TSOrderForm(QWidget* owner = nullptr);
};

class TQuotationForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TQuotationForm(QWidget* owner = nullptr);
};
