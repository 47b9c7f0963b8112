#pragma once
// The bill template editor ("单据模板设置"): captions, order, widths and what is shown and
// printed, per section of the bill, for one template of one bill window.
#include "templates/StyleInfo.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TClientDataSet;
class TDBGrid;
class TDataSource;

// Opens the print-style manager of one report type. The printing package installs it;
// until then the design button stays disabled.
extern std::function<void(QWidget* parent, int reportType)> g_ShowPrintStyleManager;

class TStyleDefineForm : public QDialog {
    Q_OBJECT
public:
    // reportType < 0: taken from the bill form's "ReportType" property, else from the
    // report row of the template's print style.
    TStyleDefineForm(int windowId, int templateId, QWidget* billForm = nullptr, int reportType = -1,
                     QWidget* parent = nullptr);
    ~TStyleDefineForm() override;

    TStyleInfo& Style() { return FStyle; }
    int ReportType() const { return FReportType; }
    // The template the bill should show after OK (the saved one, the standard template
    // after a delete). "另存为" leaves the editor open on the new template.
    int ResultTemplateID() const { return FResultTemplateID; }

    QLineEdit* edtTempName;
    QComboBox* RptStyleCB;
    QPushButton* btnDesignRpt;
    QTabWidget* PageControl;
    TClientDataSet* cdsMasterHead;
    TClientDataSet* cdsMasterBody;
    TClientDataSet* cdsDetailItem;
    TClientDataSet* cdsMasterFoot;
    TDBGrid* grdMasterHead;
    TDBGrid* grdMasterBody;
    TDBGrid* grdDetailItem;
    TDBGrid* grdMasterFoot;
    QPushButton* btnUp;
    QPushButton* btnDown;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnSaveAs;
    QPushButton* btnDefault;
    QPushButton* btnDelete;
    QPushButton* btnAddSysField;
    QPushButton* btnAddTemplateField;

    // The dataset of a section (1 head, 2 body, 3 detail, 4 foot) and of the page shown.
    TClientDataSet* SectionDataSet(int tableType) const;
    TClientDataSet* CurrentDataSet() const;

    // Button handlers (public so that they can be driven like the buttons).
    void MoveUpClick();
    void MoveDownClick();
    void OKClick();
    void SaveAsClick();
    void DefaultClick();
    void DeleteClick();

private:
    TClientDataSet* MakeSectionDataSet(const QString& name);
    TDBGrid* MakeGrid(TClientDataSet* ds, TDataSource*& src, bool withWidth, const QString& name);
    void FillGrids();
    void WriteBack(); // grids -> template object
    void LoadReportList();
    void SwapWithNeighbour(int distance);

    TStyleInfo FStyle;
    QWidget* FBillForm;
    int FReportType = 0;
    int FResultTemplateID = TStyleInfo::kNewTemplate;
    bool FFilling = false;
};

// Runs the editor modally; on OK returns true with the template the bill should use.
bool ShowStyleDefine(int windowId, int& templateId, QWidget* billForm = nullptr, int reportType = -1);
