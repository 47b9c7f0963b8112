#pragma once
// Wage payments: one payroll month paid from one money account; no lines.
#include "billcore/BillBaseForm.h"

class TDisLaborageForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TDisLaborageForm(QWidget* owner = nullptr);
};
