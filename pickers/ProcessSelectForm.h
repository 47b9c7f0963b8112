#pragma once
// "过程": the follow-up bills of a bill (payments, charges, returns, material returns,
// transfers), from which the user opens one.
#include "pickers/BillSelectBaseForm.h"

class TProcessSelectForm : public TBillSelectBaseForm {
    Q_OBJECT
public:
    TProcessSelectForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    int Kind = 0;
    int ReferType = 0;
    int ReferBillID = 0;

    void PrepareSelect() override;
    // Opens the bill of the current row; a bill of another branch is refused on-line.
    // Answers whether a bill was opened.
    bool GoToBill();

    QPushButton* btnGoTo;
};
