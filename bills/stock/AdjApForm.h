#pragma once
// Inventory cost adjustment.
#include "billcore/BillBaseForm.h"

class TAdjApForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TAdjApForm(QWidget* owner = nullptr);
};
