#pragma once
// Stock transfers, other stock movements, material requisitions and returns, and finished
// goods receipts: the bills that move stock without a trading partner.
#include "billcore/BillBaseForm.h"

class TAllotForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TAllotForm(QWidget* owner = nullptr);
};

class TInOutForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TInOutForm(QWidget* owner = nullptr);
};

class TDrawItemForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TDrawItemForm(QWidget* owner = nullptr);
};

class TBackDrawForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TBackDrawForm(QWidget* owner = nullptr);
};

class TInProductForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TInProductForm(QWidget* owner = nullptr);
};
