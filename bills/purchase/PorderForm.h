#pragma once
// Purchase orders and purchase expense bills.
#include "goodsbill/GoodsBillForm.h"

class TPorderForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPorderForm(QWidget* owner = nullptr);
};

class TPurchaseAppForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPurchaseAppForm(QWidget* owner = nullptr);
};
