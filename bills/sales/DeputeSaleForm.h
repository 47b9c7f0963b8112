#pragma once
// Consignment deliveries, consignment settlements and consignment opening entries.
#include "goodsbill/GoodsBillForm.h"

class TDeputeSaleForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TDeputeSaleForm(QWidget* owner = nullptr);
};

class TDeputeSettlementForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TDeputeSettlementForm(QWidget* owner = nullptr);
};

class TDeputeSaleInitForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TDeputeSaleInitForm(QWidget* owner = nullptr);
};
