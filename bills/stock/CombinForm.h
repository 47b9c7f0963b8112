#pragma once
// Assembly and disassembly: the master carries the assembled goods, the lines its components.
#include "goodsbill/GoodsBillForm.h"

class TCombinForm : public TGoodsBillForm {
    Q_OBJECT
public:
    explicit TCombinForm(QWidget* owner = nullptr);
};
