#pragma once
// The bills of the point of sale: POS sales as recorded by the terminals, day closings and
// cashier cash-in/turn-in bills.
#include "goodsbill/GoodsBillForm.h"

class TPOSBillForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPOSBillForm(QWidget* owner = nullptr);
};

class TPOSCloseBillForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPOSCloseBillForm(QWidget* owner = nullptr);
};

class TOperatorTurninForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TOperatorTurninForm(QWidget* owner = nullptr);
};
