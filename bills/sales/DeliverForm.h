#pragma once
// Branch delivery requests and deliveries.
#include "goodsbill/GoodsBillForm.h"

class TAskDelieverForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TAskDelieverForm(QWidget* owner = nullptr);
};

class TDeliverForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TDeliverForm(QWidget* owner = nullptr);
};
