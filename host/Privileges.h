#pragma once
// Operator rights. A row of `operatorright` (opid, privilegeid, action) grants one action
// under one privilege id; a system manager (operator.issysmanager) has every right. The
// current user's rights are read once and cached until ReloadPrivileges (LoginAs reloads).
#include <QSet>
#include <QString>
#include <QWidget>

#include <functional>

enum TPrivilegeAction {
    paBrowse = 1,
    paNew = 2,
    paEdit = 3,
    paDelete = 4,
    paSpecial = 5,
    paPrint = 6,
    paDesign = 7,
    paRed = 8,
};

using TPrivilegeSet = QSet<int>; // granted TPrivilegeAction values

// Whether the current user may perform `action` under `privilegeId`. When refused and
// showMessage is true the user is told "您没有该项操作权限！" (caption "提示").
bool HasNewPrivilege2(int privilegeId, int action, bool showMessage = true);
// The same test without a message.
bool GetUPrivilegeItem(int privilegeId, int action);
// Every action the current user may perform under `privilegeId` (all eight for a manager).
TPrivilegeSet GetUserPrivilege(int privilegeId);
// Drops the cache; the next test reads the rights of g_iUserID again.
void ReloadPrivileges();

// A form's privilege object: the flags that gate its operations, read from the current
// user's rights under the form's privilege id when created, plus the form's read-only state.
// Changing the read-only state or calling SetEditMenuEnabled runs the callback, through
// which the form updates the host's edit menu.
class TBootUnitImpl {
public:
    using TCallback = std::function<void(TBootUnitImpl*)>;
    TBootUnitImpl(QWidget* form, int privilegeId, TCallback callback = {});

    QWidget* Form() const { return FForm; }
    int PrivilegeId() const { return FPrivilegeId; }

    bool New = false;
    bool Edit = false;
    bool Delete = false;
    bool Print = false;
    bool Browse = false;

    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);

    // The edit-menu state the form last asked for; the callback (run on every change)
    // passes it on to the host's edit menu together with ReadOnly().
    bool EditMenuEnabled() const { return FEditMenuEnabled; }
    void SetEditMenuEnabled(bool enabled);

    // Reads the flags again (after the user or the rights changed).
    void Refresh();

private:
    QWidget* FForm;
    int FPrivilegeId;
    TCallback FCallback;
    bool FReadOnly = false;
    bool FEditMenuEnabled = false;
};
