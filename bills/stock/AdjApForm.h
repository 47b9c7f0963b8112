#pragma once
// Inventory cost adjustment.
#include "goodsbill/GoodsBillForm.h"

class TAdjApForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TAdjApForm(QWidget* owner = nullptr);
};
