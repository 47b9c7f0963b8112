#pragma once
// Goods receipts, cash purchases and purchase returns.
#include "billcore/BillBaseForm.h"

class TRecieveForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TRecieveForm(QWidget* owner = nullptr);
};

class TCashRecieveForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TCashRecieveForm(QWidget* owner = nullptr);
};

class TPReturnForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TPReturnForm(QWidget* owner = nullptr);
};
