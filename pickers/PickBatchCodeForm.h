#pragma once
// The batch picker: a goods item's stock lots, its batch stock or its open consignment
// deliveries, with a combo that narrows the list to one batch code.
#include "pickers/BillSelectBaseForm.h"
#include "pickers/SelectEngines.h"

class QComboBox;

class TPickBatchCodeForm : public TBillSelectBaseForm {
    Q_OBJECT
public:
    TPickBatchCodeForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    TBatchPickRequest Request; // the mode, ids, bill date and unit rate of the call

    void PrepareSelect() override;
    void OpenMaster() override;
    // Lists "所有" and every batch code of the result in the combo, "所有" chosen.
    virtual void OpenBatchCodeList();
    // Shows only the rows of one batch code ("所有": every row).
    void ChooseBatchCode(const QString& code);

    QLabel* laSelect;
    QComboBox* dlgcBatchCode;
    TClientDataSet* cdsBatchCode;

private:
    QString FBatchCode; // the code the list is narrowed to; "" all
};
