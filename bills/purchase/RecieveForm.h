#pragma once
// Goods receipts, cash purchases and purchase returns.
#include "goodsbill/GoodsBillForm.h"

class TRecieveForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TRecieveForm(QWidget* owner = nullptr);
};

class TCashRecieveForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TCashRecieveForm(QWidget* owner = nullptr);
};

class TPReturnForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TPReturnForm(QWidget* owner = nullptr);
};
