#pragma once
// Purchase orders and purchase expense bills.
#include "billcore/BillBaseForm.h"

class TPorderForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TPorderForm(QWidget* owner = nullptr);
};

class TPurchaseAppForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TPurchaseAppForm(QWidget* owner = nullptr);
};
