#pragma once
// Other income, expenses and fund transfers: money bills whose lines (if any) are income or
// expense types instead of goods.
#include "billcore/BillBaseForm.h"

class TIncomeForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TIncomeForm(QWidget* owner = nullptr);
};

class TExpenseForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TExpenseForm(QWidget* owner = nullptr);
};

class TMoveMoneyForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TMoveMoneyForm(QWidget* owner = nullptr);
};
