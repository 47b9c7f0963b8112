#pragma once
// Time-limited goods discounts that the POS terminals apply.
#include "goodsbill/GoodsBillForm.h"

class TSetGoodsDiscountForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TSetGoodsDiscountForm(QWidget* owner = nullptr);
};
