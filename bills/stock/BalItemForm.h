#pragma once
// Stocktaking: counted minus booked quantity of one store.
#include "billcore/BillBaseForm.h"

class TBalItemForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TBalItemForm(QWidget* owner = nullptr);
};
