#pragma once
// Wage payments: one payroll month paid from one money account; no lines.
#include "goodsbill/GoodsBillForm.h"

class TDisLaborageForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TDisLaborageForm(QWidget* owner = nullptr);
};
