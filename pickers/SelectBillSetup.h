#pragma once
// What the source selections, the line import and the price dialog need of a goods bill
// window, taken from the window where its header is known (SelectBillSeams) and handed to
// the goods-line engine's side, which does not see the window.
#include "billcore/BillSession.h"
#include "goodsbill/GoodsFieldNames.h"

#include <QString>

#include <functional>

class TBillBaseForm;
class TClientConnection;
class TClientDataSet;

struct TBillLinesSetup {
    TClientConnection* Con = nullptr;
    TBillSession Session;
    TClientDataSet* Master = nullptr;
    TClientDataSet* Detail = nullptr;
    TGoodsFieldNames Names;
    TGoodsFormSettings Settings;
    QString MasterTable, KeyField, DetailTable, DateFieldName;
    int BillType = 0;
    int CVFlag = -1;
    std::function<bool()> ReadOnly;
    // Puts the cursor into the editor of a master field.
    std::function<void(const QString& field)> FocusMasterField;
    // The lines were changed with the window's routines silent: totals and footer follow.
    std::function<void()> LinesChanged;

    int MasterInt(const QString& field) const;
};

// Opens the dialog for the source bills of type `sourceKind` (6 purchase orders, 1 sales
// orders, 7 receipts, ..., 5 and 9 open bills to collect or pay, 43 receipts for a purchase
// expense) and adds the chosen lines to the bill. Answers the number of lines added; 0 when
// the bill lacks what the selection needs (the user is told), when the dialog was cancelled
// or when nothing new was chosen.
int TakeSourceLines(const TBillLinesSetup& bill, int sourceKind);

// Makes visible the selection actions of the sources the form's bill takes lines from.
void ShowSourceActions(TBillBaseForm* form);
