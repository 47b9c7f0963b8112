#pragma once
// Other income, expenses and fund transfers: money bills whose lines (if any) are income or
// expense types instead of goods.
#include "goodsbill/GoodsBillForm.h"

class TIncomeForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TIncomeForm(QWidget* owner = nullptr);
};

class TExpenseForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TExpenseForm(QWidget* owner = nullptr);
};

class TMoveMoneyForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TMoveMoneyForm(QWidget* owner = nullptr);
};
