#pragma once
// Purchase payments and sales collections: lines are the partner's open bills.
#include "billcore/BillBaseForm.h"

class TPayForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TPayForm(QWidget* owner = nullptr);
};

class TChargeForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TChargeForm(QWidget* owner = nullptr);
};
