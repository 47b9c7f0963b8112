#pragma once
// Assembly and disassembly: the master carries the assembled goods, the lines its components.
#include "billcore/BillBaseForm.h"

class TCombinForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TCombinForm(QWidget* owner = nullptr);
};
