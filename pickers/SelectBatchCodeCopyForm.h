#pragma once
// "批号复制": asks for a starting batch code and a count, for numbering copied lines.
#include "pickers/PickerForm.h"
#include "pickers/SelectEngines.h"

class QLineEdit;
class QPushButton;

class TSelectBatchCodeCopyForm : public TPickerForm {
    Q_OBJECT
public:
    TSelectBatchCodeCopyForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    void SetBatchCode(const QString& code);
    // The parts of the code as it stands in the edit.
    const TBatchCodeParts& Parts() const { return FParts; }
    int Count() const { return FCount; }
    // Checks the count and the code; closes with OK when both pass.
    bool OkClicked();

    QLineEdit *edBatchCode, *edCount;
    QPushButton *btnOK, *btnCancel;

private:
    TBatchCodeParts FParts;
    int FCount = 0;
};
