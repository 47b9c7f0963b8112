#pragma once
// Maintenance editors of the bill window definitions: one field definition (FIELDINFO with
// its row in the standard template), and adding defined fields to a template.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class TClientQuery;
class TClientConnection;

// "系统字段": edits the field `itemId` of the window, or a new one when there is none.
class TSysFieldInfoForm : public QDialog {
    Q_OBJECT
public:
    TSysFieldInfoForm(int windowId, int itemId, QWidget* parent = nullptr);
    ~TSysFieldInfoForm() override;

    bool IsNew() const { return FNew; }
    int ItemID() const { return FItemID; }

    QComboBox* cbTableType;
    QLineEdit* edtDataField;
    QLineEdit* edtDefaultName;
    QCheckBox* chkAlwaysDisplay;
    QCheckBox* chkAlwaysPrint;
    QCheckBox* chkVisible;
    QSpinBox* spnWidth;
    QComboBox* cbSubType;
    QSpinBox* spnTag;
    QGroupBox* grpList; // shown for drop-down editors only
    QLineEdit* edtListDataSetName;
    QLineEdit* edtListField;
    QLineEdit* edtListDataField;
    QLineEdit* edtDropDownFilter;
    QLineEdit* edtKeyField;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    void OKClick();

private:
    void SubTypeChanged();
    int FWindowID;
    int FItemID;
    bool FNew = false;
    TClientQuery* qryField;
    TClientQuery* qryTemplated;
};

// "增加模板字段": the window's fields; "增加(&A)" copies the chosen one into the template.
class TSysTemplatedForm : public QDialog {
    Q_OBJECT
public:
    TSysTemplatedForm(int windowId, int templateId, QWidget* parent = nullptr);

    QListWidget* lstFields; // item data: ITEMID
    QPushButton* btnAdd;
    QPushButton* btnClose;
    int AddedCount() const { return FAdded; }

    // Adds the current field of the list; false when nothing was added.
    bool AddClick();

private:
    int FWindowID;
    int FTemplateID;
    int FAdded = 0;
};

// True when the field was stored; *savedItemId receives its item id.
bool ShowSysFieldInfoEdit(int windowId, int itemId, int* savedItemId = nullptr);
// The number of fields added to the template.
int ShowSysTemplatedEdit(int windowId, int templateId);

// Which window, and which field or template of it, a maintenance editor is to open on:
// the windows that have a standard template, listed by their title.
class TSysEditorChooser : public QDialog {
    Q_OBJECT
public:
    enum TKind { ckField, ckTemplate };
    TSysEditorChooser(TKind kind, TClientConnection* con, QWidget* parent = nullptr);

    QComboBox* cbWindow;  // item data: WINDOWID
    QListWidget* lstItems; // item data: ITEMID (-1 a new field) or TEMPLATEID
    QPushButton* btnOK;
    QPushButton* btnCancel;

    int WindowID() const;
    int ItemID() const; // the chosen field or template; -1 for a new field

private:
    void FillItems();
    TKind FKind;
    TClientConnection* FCon;
};

// Registers "ShowSysFieldInfoEdit" and "ShowSysTemplatedEdit" with the host. Both are for
// system managers only; others are told "您没有该项操作权限！". With "WINDOWID" and
// "ITEMID" / "TEMPLATEID" in the bag they open on those, otherwise the chooser asks.
// "Result": whether anything was stored.
void RegisterSysEditorFunctions();
