#pragma once
// The windows of the master data: the editor of one row of a kind, the searchable list of
// a kind (the 基础资料 menu opens it with 新增, 修改 and 关闭; the lookups' 查找 opens it as
// a find dialog that answers the chosen row), and the host's find-or-add function of the
// lookup controls. The windows only show and pass on: TMasterEditor checks and writes.
#include "host/MasterData.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class TClientConnection;
class TClientDataSet;
class TDataSource;
class TDBGrid;

// The editor of one row ("GoodsEditForm", "ClientEditForm", ...). Every field's control is
// named after its column; the goods' type tree is "tvGoodsType", the units "tblUnits", the
// contacts "tblContacts", the store's operators "lstOperators". 保存 ("btnSave") writes
// through the engine and closes; a refusal is told and the window stays as it was.
class TMasterEditDialog : public QDialog {
    Q_OBJECT
public:
    // id 0 starts a new row. The dialog owns its engine.
    TMasterEditDialog(TMasterKind kind, int id, TClientConnection* con, const TMasterSession& session, QWidget* parent = nullptr);

    TMasterEditor& Editor() { return FEditor; }
    // The control of a column (nullptr when the kind has no such column).
    QWidget* FieldControl(const QString& field) const { return FControls.value(field.toLower()); }
    QTableWidget* UnitsTable() const { return tblUnits; }
    QTableWidget* ContactsTable() const { return tblContacts; }
    QTreeWidget* TypeTree() const { return tvGoodsType; }
    QListWidget* OperatorsList() const { return lstOperators; }

    // What 保存 does: takes the controls' values, saves, accepts on success.
    bool TrySave();
    // Adds a goods type under the chosen one (asks for its name) - the tree's 新增类别.
    void AddType();

private:
    TMasterEditor FEditor;
    bool FLoading = false;
    QHash<QString, QWidget*> FControls; // lower-case column -> control
    QTreeWidget* tvGoodsType = nullptr;
    QTableWidget* tblUnits = nullptr;
    QTableWidget* tblContacts = nullptr;
    QListWidget* lstOperators = nullptr;
    QPushButton* btnSave;

    QWidget* BuildFields();
    QWidget* BuildTypeTree();
    QWidget* BuildUnits();
    QWidget* BuildContacts();
    QWidget* BuildOperators();
    void ShowValues();
    void ShowUnits();
    void ShowContacts();
    void FillTypeTree(int selectId);
    void FieldEdited(const QString& field, const QVariant& value);
    void TakeTables();
    void GoTo(const TMasterProblem& p);
};

// The searchable list of a kind ("GoodsListForm", ...): typing in "edtFind" narrows the
// list ("grdList") at once; "chkClosed" shows closed rows too. In the find mode the window
// sits in a dialog and "btnChoose" (or a double click) answers the current row.
class TMasterListForm : public QWidget {
    Q_OBJECT
public:
    TMasterListForm(TMasterKind kind, TClientConnection* con, const TMasterSession& session, bool findMode = false,
                    QWidget* parent = nullptr);
    ~TMasterListForm() override;

    TMasterKind Kind() const { return FKind; }
    QLineEdit* FindEdit() const { return edtFind; }
    TDBGrid* Grid() const { return grdList; }
    TClientDataSet* Rows() const { return FRows; }
    // The key of the current row, 0 when the list is empty.
    int CurrentId() const;
    bool SelectId(int id);
    // Reads the list again with the typed text (keeping the current row when it is still there).
    void Refresh();
    // Limits a find to the head office and this branch (-1: every branch).
    void SetShopFilter(int shopId);

    // 新增 and 修改: the editor, then the list again on the saved row. The id saved, or 0.
    int AddNew();
    int EditCurrent();

signals:
    void chosen(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMasterKind FKind;
    TClientConnection* FCon;
    TMasterSession FSession;
    bool FFindMode;
    int FShopFilter = -1;
    TClientDataSet* FRows;
    TDataSource* FSource;
    QLineEdit* edtFind;
    QCheckBox* chkClosed;
    TDBGrid* grdList;
    QLabel* lblCount;
    QPushButton* btnNew;
    QPushButton* btnEdit;
    QPushButton* btnChoose = nullptr;
    QPushButton* btnClose;
    void Choose();
};

// The find dialog of a kind ("GoodsFindForm") around a list in find mode.
class TMasterFindDialog : public QDialog {
    Q_OBJECT
public:
    TMasterFindDialog(TMasterKind kind, TClientConnection* con, const TMasterSession& session, QWidget* parent = nullptr);
    TMasterListForm* List() const { return FList; }
    int ChosenId() const { return FChosen; }

private:
    TMasterListForm* FList;
    int FChosen = 0;
};

// The session of the master-data windows: the connection's operator, the host's branch mode.
TMasterSession HostMasterSession(TClientConnection* con);

// The editor as a modal dialog (through the host's dialog seam); the id saved, 0 when
// cancelled or refused.
int ShowMasterEditor(TMasterKind kind, int id, TClientConnection* con, QWidget* parent = nullptr);
// The find dialog with the text typed so far; the chosen id, 0 when cancelled.
int FindMasterRow(TMasterKind kind, const QString& text, TClientConnection* con, int shopId = -1, QWidget* parent = nullptr);
// The list of a kind as a window of the main window; nullptr (and the user told) without the
// browse right.
TMasterListForm* ShowMasterList(TMasterKind kind, TClientConnection* con);

// Registers the host's master-data functions on the shared connection:
//  "SHOWMASTERLIST"          subject the kind ("Goods", "Client", "Vendor", "Store",
//        "Employee", "Bank", "PayType"): opens its list.
//  "ProShowAddNewDlgByType"  the find-or-add dialog of a lookup control. Bag: "Combo" (the
//        control's address), "Caption" (or the subject: "查找", "新增", "编辑", "置空"; a
//        trailing "#" or "&" is ignored), "ItemType" (1 with the branch mode on: a find
//        limited to the current branch). The kind comes from the bag's "ListDataSetName",
//        else the control's "ListDataSetName" property, else the name of the field a
//        data-aware combo edits. 查找 and 新增 put the chosen or new row into the control's
//        field (and read the kind's lookups again), 编辑 edits the current row, 置空 clears
//        the field. Answers "Result" (whether the field changed) and "ID".
void RegisterMasterDataFunctions();
