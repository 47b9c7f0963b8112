#pragma once
// Purchase payments and sales collections: lines are the partner's open bills.
#include "goodsbill/GoodsBillForm.h"

class TPayForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPayForm(QWidget* owner = nullptr);
};

class TChargeForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TChargeForm(QWidget* owner = nullptr);
};
