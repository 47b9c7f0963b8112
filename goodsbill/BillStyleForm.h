#pragma once
// The bill style form: the window of a bill laid out by the bill window's template. The
// template decides which master fields stand in the head, the body and the foot, with which
// caption, in which order and with which editor, and which columns the line grid shows, with
// caption, width and order. The controls are built anew every time a template is applied and
// never patched in place. The form also carries the "合 计" footer of the grid, the printed and
// reversed marks, the template combo with its 新增/编辑 buttons, the export of the lines to a
// spreadsheet and printing with the template's print style.
#include "billcore/BillBaseForm.h"
#include "templates/StyleInfo.h"

#include <QVariantMap>

#include <functional>

class QLabel;
class QToolButton;
class TDBEdit;
class TDBLookupCombo;

class TBillStyleForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TBillStyleForm(QWidget* owner = nullptr);
    ~TBillStyleForm() override;

    // ---- components
    QWidget* HeadPanel = nullptr; // title row: BNLabel, date, number, marks, template combo
    QLabel* BNLabel = nullptr;
    QLabel* DateLabel = nullptr;
    TDBEdit* DateDBEdit = nullptr;
    QLabel* NoLabel = nullptr;
    TDBEdit* NoDBEdit = nullptr;
    QLabel* FlagLabel = nullptr;    // "已冲红" in a red ellipse
    QLabel* stxt_Printed = nullptr; // "已打印"
    QWidget* FootPanel = nullptr;
    TDBLookupCombo* StyledCombo = nullptr;
    QToolButton* btnStyleNew = nullptr;  // the combo's "新增"
    QToolButton* btnStyleEdit = nullptr; // the combo's "编辑"
    TClientQuery* qryTemplate = nullptr;
    QAction* OutToExcel = nullptr;

    // The window id of the bill's templates (the bill type).
    int WindowID() const { return BillType; }
    const TStyleInfo& Style() const { return FStyle; }
    // The editor of a master field on the form ("Dyn_<field>_Edit"), nullptr when not shown.
    QWidget* FieldEditor(const QString& fieldName) const;

    // ---- virtual operations, in slot order
    virtual void ApplyBillStyle();
    // Caption label and editor of one master field, placed by the caller; returns the editor
    // (the label itself for a label-only field).
    virtual QWidget* CreateMasterFieldControls(const TStyleFieldInfo& field, QWidget* parent);
    virtual void FormatGridColumn(const QString& fieldName);
    // The print variables of the bill: company, number, branch, date, printed by.
    virtual void SetPrintVariables(QVariantMap& variables);

    // ---- handlers
    // 0 "新增", 1 "编辑"; other indexes do nothing.
    void StyledComboPBClick(int index);
    void OutToExcelClick();
    // The export file; replaceable by tests. "" cancels the export.
    static std::function<QString(QWidget* parent, const QString& suggestedName)> AskExportFile;
    // The template editor; replaceable by tests. Returns true with the saved template id.
    static std::function<bool(int windowId, int& templateId, QWidget* form, int reportType)> EditTemplate;

    // How many times the controls were built (a template change that is no change builds none).
    int StyleApplications() const { return FApplications; }

    // ---- base-form hooks taken over
    void InitBillForm() override;
    void BuildMasterArea() override;
    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    bool ValidateMaster() override;
    void DoPrintBill(bool preview) override;
    void SendBillMessage() override;
    QWidget* FindDynamicEdit(const QString& fieldName) override;

protected:
    // Loads template id into the template object and applies it when it differs from the
    // loaded one (or force). False when the template is not there.
    bool UseTemplate(int templateId, bool force);
    void ShowMarks();
    void ReopenTemplateList();
    // The master fields shown on the form, in tab order.
    QList<QWidget*> FDynEditors;

private:
    void CreateStyleParts();
    void DestroyDynamicControls();
    void LayoutMasterFields(const QList<const TStyleFieldInfo*>& fields, QWidget* panel, int columns);
    void SetupGridColumns(const QList<const TStyleFieldInfo*>& detail);
    void FitToTemplate();
    void FormatMasterFigures();

    TStyleInfo FStyle;
    bool FStyleLoaded = false;
    bool FApplying = false;
    int FApplications = 0;
};
