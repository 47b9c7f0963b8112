#pragma once
// Branch delivery requests and deliveries.
#include "billcore/BillBaseForm.h"

class TAskDelieverForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TAskDelieverForm(QWidget* owner = nullptr);
};

class TDeliverForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TDeliverForm(QWidget* owner = nullptr);
};
