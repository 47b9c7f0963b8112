#pragma once
// The source-bill dialog ("选择单据"): the open bills of one kind for one partner within two
// dates, the lines of the bills the user ticks shown together, ticks on the lines, and on OK
// the ticked lines with their return fields. TSelBillForPurAppForm is the same dialog for the
// purchase-expense bill, over receipts and cash purchases, with the vendor chosen in it.
// The statements and the result come from SelectBillKinds; this file only shows them.
#include "pickers/BillSelectBaseForm.h"
#include "pickers/SelectBillKinds.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QMenu;
class QToolButton;

class TSelectBillForm : public TBillSelectBaseForm {
    Q_OBJECT
public:
    TSelectBillForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);

    // Sets the kind's caption, statements and columns, then opens the bills. False (and the
    // lists stay empty) for a kind no bill takes lines from.
    bool PrepareKind(int kind);
    void PrepareKind(const TSelectBillKind& kind);
    const TSelectBillKind& Kind() const { return FKind; }
    TSelectBillRequest Request;
    // Field names the last OK could not find (told to the user as well).
    QStringList MissingFields;

    // ---- ticks, as the buttons and the tick column set them
    enum TTickAll { taSet, taClear, taInvert };
    void TickAll(TTickAll how);
    // Ticks the current record of a list (a bill's tick shows or hides its lines).
    void SetTick(TClientDataSet* ds, bool on);
    // The dates, as a choice from the period menu or typed (reopens the bills).
    void SetDates(const QDate& begin, const QDate& end);
    void ChoosePeriod(int choice);

    void OpenMaster() override;
    void OpenDetail() override;
    void CollectResult() override;

    // ---- components
    QDateEdit *BeginDateEdit, *EndDateEdit;
    QToolButton* ExplorerButton2;
    QMenu* DateSelectPMenu;
    QCheckBox* cbExecute;
    QPushButton *btnAll, *btnUnAll, *btnReverse;

protected:
    void OkClicked() override;
    // Reads a statement into a list whose tick column is a check box.
    void LoadList(TClientDataSet* ds, const TSelectStatement& s);
    void ShowColumns(TKQDBGridMaster& grid, const QVector<TSelectBillColumn>& columns);
    QWidget* DateBar() const { return FDateBar; }

private:
    void MasterTicked();
    TSelectBillKind FKind;
    QWidget* FDateBar;
    bool FLoading = false;
};

class TSelBillForPurAppForm : public TSelectBillForm {
    Q_OBJECT
public:
    TSelBillForPurAppForm(TClientConnection* con, TBillSession session, QWidget* owner = nullptr);
    // The vendors of the list ("Vendor_DS"); the current one chosen.
    void FillVendors();
    QComboBox* cbVendor;
};

// The dialog for a kind and a partner; `condition` is the calling bill's own condition text
// (with its values in `params`). On OK the ticked lines are in `result` (empty when none was
// ticked). True when closed with OK.
bool ShowSelectBill(int kind, int partyId, TReturnValue* result, const QString& condition, const TSqlParams& params = {},
                    const QDate& billDate = QDate());
// The purchase-expense variant: receipts and cash purchases of the vendor up to `date`.
bool ShowSelectPurAppBill(int kind, int vendorId, const QDate& date, TReturnValue* result, const QString& condition);
