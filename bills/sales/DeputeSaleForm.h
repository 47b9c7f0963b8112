#pragma once
// Consignment deliveries, consignment settlements and consignment opening entries.
#include "billcore/BillBaseForm.h"

class TDeputeSaleForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TDeputeSaleForm(QWidget* owner = nullptr);
};

class TDeputeSettlementForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TDeputeSettlementForm(QWidget* owner = nullptr);
};

class TDeputeSaleInitForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TDeputeSaleInitForm(QWidget* owner = nullptr);
};
