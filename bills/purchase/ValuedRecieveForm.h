#pragma once
// Valued (estimated-price) receipts and their opening entries; both keep table valuedrcvd.
#include "goodsbill/GoodsBillForm.h"

class TValuedRecieveForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TValuedRecieveForm(QWidget* owner = nullptr);
};

class TValuedRecieveInitForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TValuedRecieveInitForm(QWidget* owner = nullptr);
};
