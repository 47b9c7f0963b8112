#pragma once
// The bill window's action table: one row per action with its tag, caption, shortcut and
// initial state, and what the one handler ASaveNewExecute runs for it. The window creates its
// actions from this table and the handler finds its work in it by the sender's tag.
#include <QKeyCombination>
#include <QVector>

class QAction;
class TBillBaseForm;

struct TBillActionDef {
    const char* Name;               // object name ("ASaveNew")
    int Tag;                        // what tells the actions apart in ASaveNewExecute
    const char* Caption;
    QKeyCombination Shortcut;       // QKeyCombination() when the action has none
    bool Hidden;                    // shown only by the bills that support it
    bool Disabled;
    QAction* TBillBaseForm::*Slot;  // the window's member that holds the action
    void (*Run)(TBillBaseForm& form);
};

// The 54 rows, in the order of the action list (tag 33 appears twice: the return history and
// the material-return history share it).
const QVector<TBillActionDef>& BillActionTable();
// The row of a tag; nullptr for a tag no action carries.
const TBillActionDef* BillActionOfTag(int tag);

// The four line-menu items of the host's Edit menu and whether each is enabled.
struct TLineMenuState {
    bool InsertLine = false; // "InsertLineItem"
    bool DeleteLine = false; // "DeleteLineItem"
    bool EditBill = false;   // "EditItem"
    bool DeleteBill = false; // "DeleteItem"
};
TLineMenuState LineMenuState(bool readOnly, bool hasLines, bool mayEdit, bool mayDelete, bool savedBill);
// Tells the host (GlobalCall "SETCOMPONENTENABLED", key "ENABLED") about each item.
void PublishLineMenuState(const TLineMenuState& state);
