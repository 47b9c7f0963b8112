#pragma once
// The template managers and their two small dialogs: the manager of all templates
// (TPrintSamEdit, command "PRINTSAMEDIT"), the manager of one report type
// (TStyleBillSamForm), the type choice for a new template (TSelectSamfrm) and the name
// dialog (TSamNameForm).
#include <QDialog>
#include <QVector>

#include <memory>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class TClientQuery;
class TPrintTemplateStore;

class TSamNameForm : public QDialog {
    Q_OBJECT
public:
    explicit TSamNameForm(QWidget* parent = nullptr);
    QString Name() const;
    void SetName(const QString& name);
    // A standard template keeps its name; the note tells the user that OK edits the content.
    void SetNameReadOnly(bool readOnly, const QString& note = QString());

    QLineEdit* SamDBEdit;
    QLabel* NoteLabel;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void OKBtnClick();
};

class TSelectSamfrm : public QDialog {
    Q_OBJECT
public:
    explicit TSelectSamfrm(QWidget* parent = nullptr);
    struct TChoice {
        QString Caption;
        int ReportType;
    };
    struct TGroup {
        QString Caption;
        QVector<TChoice> Types;
    };
    static const QVector<TGroup>& Groups();

    void SelectGroup(int index);
    // Picks the group holding the type and the type in it; false when no group offers it.
    bool SelectReportType(int reportType);
    int SelectedReportType() const; // 0 when nothing is chosen

    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    QButtonGroup* FGroupButtons;
    QStackedWidget* FPages;
    QVector<QButtonGroup*> FTypeButtons;
};

// Grid, buttons and the store that both managers share.
class TSamListDialog : public QDialog {
    Q_OBJECT
public:
    ~TSamListDialog() override;
    TClientQuery* List() const { return FList; }
    TPrintTemplateStore* Store() const { return FStore.get(); }
    QTableWidget* Grid() const { return FGrid; }
    // Reads the list again from the database.
    void Reload();
    // Moves to the template with that id; false when it is not listed.
    bool LocateTemplate(int rptid);

    void AddClick();
    void EditClick();
    void DelClick();
    void RestoreClick();
    virtual void INBtnClick();
    void OUTBtnClick();

protected:
    TSamListDialog(QWidget* parent, const QString& sql, bool showTypeColumn);
    QPushButton* AddButton(const QString& name, const QString& caption);
    void RefreshGrid();
    bool event(QEvent* e) override;
    virtual void DoAdd() = 0;

    QString FSql;
    TClientQuery* FList;
    std::unique_ptr<TPrintTemplateStore> FStore;
    QTableWidget* FGrid;
    QWidget* FButtonPanel;
    bool FShowType;
    bool FFilling = false;
};

class TPrintSamEdit : public TSamListDialog {
    Q_OBJECT
public:
    // showAllTypes: list cost adjustment, transfers and the voucher types too; by default
    // they are listed when the account set is bound to the general ledger.
    explicit TPrintSamEdit(QWidget* parent = nullptr);
    TPrintSamEdit(QWidget* parent, bool showAllTypes);
    static QString ListSql(bool showAllTypes);

    QPushButton *AddBtn, *EditBut, *DelBut, *CloseBut, *RestoreBtn, *INBtn, *OUTBtn;

    void INBtnClick() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void DoAdd() override;
};

class TStyleBillSamForm : public TSamListDialog {
    Q_OBJECT
public:
    TStyleBillSamForm(int reportType, QWidget* parent = nullptr);
    int ReportType() const { return FReportType; }

    QPushButton *AddBtn, *EditBtn, *DelBtn, *RestoreBtn, *CloseBtn, *INBtn, *OUTBtn;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void DoAdd() override;

private:
    int FReportType;
};

// Creates the manager of all templates (owner: none), for the "PRINTSAMEDIT" command.
QWidget* CreatePrintSamEdit();
// Runs the manager of all templates modally (the package's dispatcher has its own
// ShowPrintSamEdit, which goes through CreatePrintSamEdit).
void RunPrintSamEdit(QWidget* parent = nullptr);
// Runs the manager of one report type modally (the bill style editor's "设计打印样式").
void ShowStyleBillSam(int reportType, QWidget* parent = nullptr);
