#pragma once
// The client and vendor picker ("选择客户" / "选择供应商"): finds a partner by code, name,
// mnemonic code, area and amount owed, and answers its id.
#include "pickers/ClientPickEngine.h"
#include "pickers/PickerForm.h"
#include "platform/DBControls.h"
#include "services/GridSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

class TPickClientForm : public TPickerForm {
    Q_OBJECT
public:
    TPickClientForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    // Caption, labels, grid titles, source view and the owed-amount column by kind
    // (1 client, 2 vendor; another kind changes none of them and lists nothing).
    void SetKind(int kind);
    int Kind() const { return FQuery.Kind; }
    // The caller's extra condition ("shopid" qualified with the view's alias).
    void SetFilter(const QString& filter);
    void FillAreas();
    void RefreshList() override;
    bool FetchMore();
    // Empties the four edits, selects every area and reads the list again.
    void ClearConditions();
    // The id of the current record: 0 when there is none.
    int CurrentClientID() const;

    TClientPickQuery& Query() { return FQuery; }

    QLineEdit *Code_ED, *Name_ED, *PYAssistED, *OweAmt_ED;
    QLabel *CodeLabel, *NameLabel;
    QComboBox* Area_CB;
    QRadioButton *GE_RB, *LE_RB;
    TDBGrid* dg_Client;
    QPushButton *ClearBtn, *OkBtn, *CancelBtn;
    TClientDataSet* cdsClient;
    TDataSource* dsClient;

private:
    void BuildLayout();
    void OweAmtChanged();

    TClientPickQuery FQuery;
    TKQDBGridMaster FGridMaster;
    bool FShowOweAmt = false;
};

extern TPickClientForm* PickClientForm;

inline constexpr int kClientPageSize = 100;
