#pragma once
// Stock transfers, other stock movements, material requisitions and returns, and finished
// goods receipts: the bills that move stock without a trading partner.
#include "goodsbill/GoodsBillForm.h"

class TAllotForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TAllotForm(QWidget* owner = nullptr);
};

class TInOutForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TInOutForm(QWidget* owner = nullptr);
};

class TDrawItemForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TDrawItemForm(QWidget* owner = nullptr);
};

class TBackDrawForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TBackDrawForm(QWidget* owner = nullptr);
};

class TInProductForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TInProductForm(QWidget* owner = nullptr);
};
