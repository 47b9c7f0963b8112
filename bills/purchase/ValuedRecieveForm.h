#pragma once
// Valued (estimated-price) receipts and their opening entries; both keep table valuedrcvd.
#include "billcore/BillBaseForm.h"

class TValuedRecieveForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TValuedRecieveForm(QWidget* owner = nullptr);
};

class TValuedRecieveInitForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TValuedRecieveInitForm(QWidget* owner = nullptr);
};
