#pragma once
// The bill base form: the window of one bill and the host of its actions. The bill itself -
// its datasets, profile and lifecycle - is a TBillDocument that the window owns and calls; the
// window shows it, runs the action list every button, menu item and shortcut goes through,
// applies the read-only state to its controls, and prints, mails and opens vouchers and
// approval files.
//
// Every name of the bill form stays here: the profile and state fields are the document's own
// (read and written through this window), the datasets are the document's, and the hooks are
// declared in their slot order. A hook the document calls is implemented here by forwarding to
// the document, so a concrete bill that overrides it on its window is heard by the document.
//
// A concrete bill's constructor takes its profile (UseProfile), adds its SQL and own settings
// and calls InitBillForm() as its last step.
#include "billcore/BillDocument.h"
#include "billcore/BillRootForm.h"

#include "host/Privileges.h"
#include "printing/PrintBill.h"

#include <QAction>
#include <QDateTime>
#include <QStringList>

#include <functional>
#include <memory>

class QComboBox;
class QGridLayout;
class QMenu;
class QToolBar;
class QToolButton;
class QPushButton;
class QFrame;
class TDataSource;
class TDBGrid;

class TBillBaseForm : public TBillRootForm, public TBillHooks {
    Q_OBJECT
public:
    explicit TBillBaseForm(QWidget* owner = nullptr);
    ~TBillBaseForm() override;

    // The form behind an object, when it is a bill form (for the command dispatcher).
    static TBillBaseForm* AsBillForm(QObject* o);

    // The bill this window shows.
    TBillDocument* Document() const { return FDocument; }

private:
    TBillDocument* const FDocument; // owned (child object); first, so the names below can bind to it

public:
    // ------------------------------------------------------------ profile (the document's)
    int& BillType;
    int& CVFlag;
    QString& MasterTable;
    QString& KeyField;
    QString& DetailTable;
    QString& MasterSQL;
    QString& DetailSQL;
    QString& SaveProcName;
    QString& DeleteProcName;
    QString& RedProcName;
    bool& MasterDetailBill;
    QString& MasterAmountFieldName;
    QString& AmountFieldName;
    int& RelevantCredType;
    int& DBBillType;
    QString& DateFieldName;
    QString& CopyExcludedMasterFields;
    QString& CopyExcludedDetailFields;
    QString& RequiredDetailFields;
    qint8& FindCategory;
    qint8& FindIndex;
    QString& NavFilter;
    bool& LinesFromSourceBills;

    // ------------------------------------------------------------ state (the document's)
    int& CurrentBillID;
    bool& IsNewBill;
    bool& Modified;
    int& SourceOrderID;
    bool& FromSourceOrder;
    bool ActionInProgress = false;
    // When set, printing (not previewing) writes this PDF file instead of using a printer.
    QString PdfOutputFile;

    // ------------------------------------------------------------ components
    TClientDataSet* const cdsMaster;
    TClientDataSet* const cdsDetail;
    TDataSource* dsMaster = nullptr;
    TDataSource* dsDetail = nullptr;
    TClientQuery* const cdsReport;
    TClientQuery* const qryMasterCopy;
    TClientQuery* const qryDetailCopy;
    std::unique_ptr<TClientStoredProc>& spGetNewBillCodeByDate;
    TBootUnitImpl* Privilege() const { return FPrivilege.get(); }

    // ---- window parts
    QToolBar* ToolBar = nullptr;
    QToolButton *btnPrev = nullptr, *btnNext = nullptr, *btnPrint = nullptr, *btnPrintPreview = nullptr, *btnOperation = nullptr;
    QToolButton *btnArch = nullptr, *btnSendEMail = nullptr, *btnSendMsn = nullptr;
    QComboBox* dlgcRptStyle = nullptr;
    QWidget* BodyPanel = nullptr;
    QWidget* MasterPanel = nullptr;
    TDBGrid* ItemDBGrid = nullptr;
    QFrame* P_FootForm = nullptr;
    QPushButton *btnSaveAdd = nullptr, *btnOk = nullptr, *btnCancel = nullptr;
    QMenu *menuPrint = nullptr, *menuOperation = nullptr, *menuArch = nullptr, *menuBillPupup = nullptr;
    QAction *muPrintPreview = nullptr, *muPrint = nullptr;
    QAction *muReferFile = nullptr, *muLaunchFile = nullptr, *muLookReferFile = nullptr, *muLookLaunchFile = nullptr;
    // Controls that SetReadOnly leaves alone.
    QList<QWidget*> ReadOnlyExempt;

    // ------------------------------------------------------------ actions (tag = data())
    QList<QAction*> alOperation;
    QAction *ASaveNew = nullptr, *Aok = nullptr, *ACancel = nullptr, *ANew = nullptr, *ADeleteBill = nullptr;
    QAction *AFirst = nullptr, *APrev = nullptr, *ANext = nullptr, *ALast = nullptr, *ARefresh = nullptr;
    QAction *ABillFind = nullptr, *ALoadCred = nullptr, *AMakeRedBill = nullptr, *AReferFile = nullptr;
    QAction *ALaunchFile = nullptr, *ALookReferFile = nullptr, *ALookLaunchFile = nullptr, *APrint = nullptr;
    QAction *APrintView = nullptr, *ACopyBill = nullptr, *ASelChance = nullptr, *ASelPay = nullptr, *ASelOrder = nullptr;
    QAction *ASelRecieved = nullptr, *ASelCRecieved = nullptr, *ASelValueRecieved = nullptr, *ASelInvoice = nullptr;
    QAction *ASelCashSale = nullptr, *ASelDeputeSale = nullptr, *ASelBtnLoadDetailFromFile = nullptr;
    QAction *APayProcess = nullptr, *AChargeProcess = nullptr, *AReturnProcess = nullptr, *ASelDeputeSettlement = nullptr;
    QAction *AExport = nullptr, *AInsertLine = nullptr, *ADeleteLine = nullptr, *ACopyLine = nullptr, *ASelGoods = nullptr;
    QAction *ASetPrice = nullptr, *ASelReferTypeBill = nullptr, *ABatchCodeCopy = nullptr, *ASelDraw = nullptr;
    QAction *ASelAskDeliver = nullptr, *ASelDeliver = nullptr, *ABackDrawProcess = nullptr, *AAllotProcess = nullptr;
    QAction *ASelPurAppBill = nullptr, *ASelSReturn = nullptr, *ASelQuotation = nullptr, *ASendEMail = nullptr;
    QAction *ASendMsn = nullptr, *ASorderToPorder = nullptr, *APorderToSorder = nullptr;
    // The one handler of every action: runs the action table's row of the sender's tag.
    void ASaveNewExecute(QAction* sender);
    QAction* ActionByTag(int tag) const;
    QAction* ActionByName(const QString& objectName) const;

    // ------------------------------------------------------------ plain operations
    bool LoadBillByID(int id);
    void GotoFirstBill();
    void GotoPriorBill();
    void GotoNextBill();
    void GotoLastBill();
    void RefreshBill();
    bool SaveBill();
    // Red reversal (action AMakeRedBill); true when the server reversed the bill.
    bool MakeRedBill();
    // Print (APrint) and print preview (APrintView).
    void PrintFromAction(bool preview);
    // Send the bill by e-mail (ASendEMail).
    void SendBillByEmail();
    // Open the bill's accounting voucher (ALoadCred).
    void ViewVoucher();
    // The close check of FormCloseQuery: true when the form may close.
    bool FormCloseQuery();
    void SetReadOnly(bool flag);
    bool ReadOnly() const;
    int SubmitPacket(const QString& procName, TPacketParams& request, TPacketParams& answer);
    static QString FormatBillSQL(const QString& sql, int id) { return TBillDocument::FormatBillSQL(sql, id); }
    QString BranchCondition(bool deliverySides = false) const { return FDocument->BranchCondition(deliverySides); }
    QString NavCondition() const { return FDocument->NavCondition(); }
    QStringList LookupTableNames() const { return FLookupNames; }
    void AddLookupTable(const QString& name);
    int MasterKeyValue() const { return FDocument->MasterKeyValue(); }
    QVariant MasterValue(const QString& field) const { return FDocument->MasterValue(field); }

    // The stock and price warnings of the server after saving; replaceable by the check
    // dialogs. Return true when the user accepts.
    using TStockCheckDialog = std::function<bool(TBillBaseForm* form, int errNo, const QString& intro, const TPacketParams& answer)>;
    using TPriceCheckDialog = std::function<bool(TBillBaseForm* form, bool allowed, const TPacketParams& answer)>;
    static TStockCheckDialog StockCheckDialog;
    static TPriceCheckDialog PriceCheckDialog;
    static bool DefaultStockCheckDialog(TBillBaseForm* form, int errNo, const QString& intro, const TPacketParams& answer);
    static bool DefaultPriceCheckDialog(TBillBaseForm* form, bool allowed, const TPacketParams& answer);
    static QString StockCheckIntro(int errNo);
    // The bill search (set by the search package): category and index of the bill.
    static std::function<void(TBillBaseForm* form, int category, int index)> ShowBillSearch;

    // ------------------------------------------------------------ hooks, in slot order
    virtual void ArrangeSendButtons();                     // 1
    void SendBillMessage() override;                       // 2
    virtual void ResetContactInfo();                       // 3
    virtual void MarkEmailSent();                          // 4
    virtual bool ConfirmResendEmail();                     // 5
    virtual QWidget* FindDynamicEdit(const QString& fieldName); // 6
    virtual QWidget* GetGoodsGridHook();                   // 7
    virtual void SendInstantMessage();                     // 8
    virtual void MakePOrderFromSOrder();                   // 9
    virtual void DetailGridEditHook();                     // 10
    void MasterAfterOpen(TClientDataSet* ds) override;     // 11
    void MasterBeforePost(TClientDataSet* ds) override;    // 12
    void MasterAfterPost(TClientDataSet* ds) override;     // 13
    void MasterCalcFields(TClientDataSet* ds) override;    // 14
    void MasterNewRecord(TClientDataSet* ds) override;     // 15
    void InitNewMaster() override;                         // 16
    void OnMasterFieldChanged(TField* field) override;     // 17
    void OnEmployeeChanged(TField* field) override;        // 18
    void MasterAfterScroll(TClientDataSet* ds) override;   // 19
    void DetailAfterOpen(TClientDataSet* ds) override;     // 20
    void DetailBeforePost(TClientDataSet* ds) override;    // 21
    void DetailAfterPost(TClientDataSet* ds) override;     // 22
    void DetailCalcFields(TClientDataSet* ds) override;    // 23
    void DetailNewRecord(TClientDataSet* ds) override;     // 24
    void DetailAfterScroll(TClientDataSet* ds) override;   // 25
    void DetailFieldChangeGuarded(TField* field) override; // 26
    void DetailFieldChanged(TField* field) override;       // 27
    void DetailFieldValidate(TField* field) override;      // 28
    virtual void OpenLookupTables();                       // 29
    virtual void LoadReportTemplates();                    // 30
    void PrintBill(bool preview) override;                 // 31
    virtual void DoPrintBill(bool preview);                // 32
    bool IsReadOnlyBill() override;                        // 33
    void RefreshFieldState(const QString& fieldName) override; // 34
    bool QuerySaveChanges() override;                      // 35
    void UpdateBillState() override;                       // 36
    void BeforeOpenBill() override;                        // 37
    void AfterNewBillState() override;                     // 38
    void SetMasterSystemFields() override;                 // 39
    void AfterSaveBill() override;                         // 40
    virtual bool CanEditBill();                            // 41
    virtual void BaseHook42();                             // 42
    virtual void BaseHook43();                             // 43
    bool PostAndValidate() override;                       // 44
    virtual bool CheckEmployee();                          // 45
    bool CheckOnHandDialog(int errNo, TPacketParams& request, TPacketParams& answer) override; // 46
    virtual int GetNewBillID();                            // 47
    QString GetNewBillCode(const QString& dateText) override; // 48
    void NewBill() override;                               // 49
    int GetFirstBillID() override;                         // 50
    int GetPriorBillID(const QString& code, const QVariant& billDate) override; // 51
    int GetLastBillID() override;                          // 52
    int GetNextBillID(const QString& code, const QVariant& billDate) override;  // 53
    virtual void SelectFromChance();                       // 54
    virtual void SelectBillsToPayPurchase();               // 55
    virtual void SelectPurchaseOrder();                    // 56
    virtual void SelectSalesOrder();                       // 57
    virtual void SelectSalesOrderForPurchase();            // 58
    virtual void SelectOrderForStock();                    // 59
    virtual void SelectDeliveryRequest();                  // 60
    virtual void SelectDelivery();                         // 61
    virtual void SelectGoodsReceipt();                     // 62
    virtual void SelectCashPurchase();                     // 63
    virtual void SelectValuedReceipt();                    // 64
    virtual void SelectSalesInvoice();                     // 65
    virtual void SelectCashSale();                         // 66
    virtual void SelectConsignmentSale();                  // 67
    virtual void SelectConsignmentSettlement();            // 68
    virtual void SelectBillsToPaySales();                  // 69
    virtual void SelectMaterialDraw();                     // 70
    virtual void ImportDetailLines();                      // 71
    virtual void OnDetailStateChanged(bool readOnly);      // 72
    virtual void ShowPayProcess();                         // 73
    virtual void ShowChargeProcess();                      // 74
    virtual void ShowPurchaseReturnProcess();              // 75
    virtual void ShowSalesReturnProcess();                 // 76
    virtual void ShowBackDrawProcess();                    // 77
    virtual void ShowAllotProcess();                       // 78
    virtual void SelectPurchaseApplication();              // 79
    virtual void SelectSalesReturn();                      // 80
    virtual void SelectQuotation();                        // 81
    virtual bool IsVoucherBill();                          // 82
    virtual bool BaseHook83();                             // 83
    virtual void BaseHook84();                             // 84
    virtual void ExportBill();                             // 85
    virtual void DoExportBill();                           // 86
    virtual void SetPrice();                               // 87
    virtual void SetShortcutHints();                       // 88
    virtual void ShowReferBill();                          // 89
    virtual void CopyBatchCode();                          // 90
    virtual void DeleteApprovalFiles();                    // 91
    virtual void BaseHook92();                             // 92
    virtual void CheckOperatorHook();                      // 93
    int FindBillByID(int id) override;                     // 94
    virtual QString GetMessageText();                      // 95
    void BuildSavePacket(TPacketParams& packet) override;  // 96
    void BuildDeletePacket(TPacketParams& packet) override; // 97
    void BuildRedPacket(TPacketParams& packet) override;   // 98
    virtual int GetBillType();                             // 99
    virtual void CopyDetailLine();                         // 100
    virtual bool PrivilegeCallback();                      // 101
    bool SaveAndNewBill() override;                        // 102
    bool DeleteBill() override;                            // 103
    bool CanDeleteBill() override;                         // 104
    void TouchUpdateTime() override;                       // 105
    virtual void BaseHook106();                            // 106
    virtual void BaseHook107();                            // 107
    virtual void ReferOrLaunchApprovalFile(int menuTag);   // 108 (3 refer, 4 start)
    virtual void ViewApprovalFile(int menuTag);            // 109 (1 referred, 2 started)
    void CopyBill() override;                              // 110
    bool IsBillModified() override;                        // 111
    bool CanMakeRedBill() override;                        // 112
    virtual void MakeVoucher();                            // 113
    virtual void FindBill();                               // 114
    virtual void SelectGoods();                            // 115
    virtual void InsertDetailLine();                       // 116
    virtual void DeleteDetailLine();                       // 117
    bool ValidateMaster() override;                        // 118
    bool ValidateSourceLines() override;                   // 119
    bool ValidateDetail() override;                        // 120
    virtual void RenumberDetailLines();                    // 121
    virtual void BeforeSubmitCheck();                      // 122
    bool ExecuteSaveProc() override;                       // 123
    virtual void BaseHook124();                            // 124
    virtual void BaseHook125();                            // 125
    virtual void BaseHook126();                            // 126
    virtual void UpdateMasterTotal();                      // 127
    bool OpenBill(int id) override;                        // 128
    virtual int GetReportType();                           // 129

    // ------------------------------------------------------------ root overrides
    void InitBillForm() override;
    void FormActivate() override;
    void FormDeactivate() override;

    // Plain master editors generated from cdsMaster's visible fields (the template-driven
    // layout of the style form replaces this).
    virtual void BuildMasterArea();
    // Cached contact data of the bill's client for e-mail.
    QString ContactEmail, ContactName, ContactPhone;
    // The file the bill is written to as an e-mail attachment.
    virtual QString WriteBillAttachment();
    // Ten host edit items enabled or disabled.
    static QStringList EditMenuItemNames();
    void SetHostEditMenu(bool enabled);
    // The line items of the host's Edit menu as this bill allows them now (while active).
    void PublishEditMenu();
    // Actions in the order of the form's action table.
    static int ActionCount();

protected:
    // For bills whose engine is a document of their own (it becomes a child of the window).
    TBillBaseForm(TBillDocument* document, QWidget* owner);
    // Takes the profile of the bill kind named after the window's class ("TPorderForm" is the
    // "PorderForm" profile): numbers, tables, procedures, caption and object name.
    void UseProfile();

    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Opens a closed dataset and lets every field be written (the shared data service).
    static void MakeFieldsWritable(TClientDataSet* ds) { TBillDocument::MakeFieldsWritable(ds); }
    static void SetFlagValue(TField* f, bool on) { TBillDocument::SetFlagValue(f, on); }
    void ResetPrivilege();
    void SetReadOnlyWalk(QWidget* parent, bool flag);
    void ApplyReadOnly(bool flag);
    void FollowNavigation();
    bool ApprovalRefused(int privilegeId, int action);
    // Where a print of this bill goes (preview, PDF, printer or the print dialog) and over
    // which window; the style form adds its template and variables.
    TPrintBillOptions PrintOptions(bool preview);

    std::unique_ptr<TBootUnitImpl> FPrivilege;
    QStringList FLookupNames;
    QStringList FMasterEditorFields;
    QGridLayout* FMasterLayout = nullptr;
    bool FPrinting = false;
    bool FPrintStraight = false; // printing right after saving: no print dialog

private:
    class TWindowPrompter;
    void CreateActions();
    void CreateWindowParts();
    std::unique_ptr<TWindowPrompter> FPrompter;
};
