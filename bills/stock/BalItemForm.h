#pragma once
// Stocktaking: counted minus booked quantity of one store.
#include "goodsbill/GoodsBillForm.h"

class TBalItemForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TBalItemForm(QWidget* owner = nullptr);
};
