#pragma once
// Time-limited goods discounts that the POS terminals apply.
#include "billcore/BillBaseForm.h"

class TSetGoodsDiscountForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TSetGoodsDiscountForm(QWidget* owner = nullptr);
};
