#pragma once
// The bill base form: one bill at a time (a master row and its detail lines in two client
// datasets), its lifecycle (new, load, navigate, save, delete, red reversal, copy), the
// action list every button, menu item and shortcut goes through, the privilege and
// read-only rules, and the virtual hooks that concrete bills override.
//
// A concrete bill's constructor fills the profile fields, sets the window title and calls
// InitBillForm() as its last step.
#include "billcore/BillRootForm.h"

#include "host/Privileges.h"
#include "platform/DataSet.h"
#include "webrpc/Connection.h"
#include "webrpc/PacketParams.h"

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

// "No bill, no row, nothing found".
constexpr int kNoBillID = -99999;

class TBillBaseForm : public TBillRootForm {
    Q_OBJECT
public:
    explicit TBillBaseForm(QWidget* owner = nullptr);
    ~TBillBaseForm() override;

    // The form behind an object, when it is a bill form (for the command dispatcher).
    static TBillBaseForm* AsBillForm(QObject* o);

    // ------------------------------------------------------------ profile
    int BillType = 0;
    int CVFlag = -1; // 1 client side, 2 vendor side, 3 stock, -1 none
    QString MasterTable, KeyField, DetailTable, MasterSQL, DetailSQL;
    QString SaveProcName = QStringLiteral("Submit_BaseBill_Save");
    QString DeleteProcName = QStringLiteral("Submit_BaseBill_Del");
    QString RedProcName = QStringLiteral("Submit_BaseBill_Red");
    bool MasterDetailBill = false;
    QString MasterAmountFieldName, AmountFieldName;
    int RelevantCredType = 0;
    int DBBillType = -999;
    QString DateFieldName = QStringLiteral("billdate");
    QString CopyExcludedMasterFields, CopyExcludedDetailFields, RequiredDetailFields;
    qint8 FindCategory = 0;
    qint8 FindIndex = -1;
    QString NavFilter;
    // Bills whose lines are taken from other bills refuse an empty detail on saving.
    bool LinesFromSourceBills = false;

    // ------------------------------------------------------------ state
    int CurrentBillID = kNoBillID;
    bool IsNewBill = false;
    // Names a new bill's save request; kept until a save succeeds, so that a save repeated after
    // a lost answer is known to the server as the same request.
    QString NewBillRequestID;
    bool Modified = false;
    int SourceOrderID = 0;
    bool FromSourceOrder = false;
    bool ActionInProgress = false;
    // When set, printing (not previewing) writes this PDF file instead of using a printer.
    QString PdfOutputFile;

    // ------------------------------------------------------------ components
    TClientDataSet* cdsMaster = nullptr; // owned
    TClientDataSet* cdsDetail = nullptr; // owned
    TDataSource* dsMaster = nullptr;
    TDataSource* dsDetail = nullptr;
    TClientQuery* cdsReport = nullptr;    // print templates of ReportType
    TClientQuery* qryMasterCopy = nullptr;
    TClientQuery* qryDetailCopy = nullptr;
    // "getnewbillcodebydate;1" (@shopid, @billdate, @masttablename -> @billcode).
    std::unique_ptr<TClientStoredProc> spGetNewBillCodeByDate;
    static std::unique_ptr<TClientStoredProc> MakeBillCodeProc();
    TBootUnitImpl* Privilege() const { return FPrivilege.get(); }

    // ---- window parts
    QToolBar* ToolBar = nullptr;
    QToolButton *btnPrev = nullptr, *btnNext = nullptr, *btnPrint = nullptr, *btnOperation = nullptr;
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
    QAction *ASaveNew, *Aok, *ACancel, *ANew, *ADeleteBill, *AFirst, *APrev, *ANext, *ALast, *ARefresh;
    QAction *ABillFind, *ALoadCred, *AMakeRedBill, *AReferFile, *ALaunchFile, *ALookReferFile, *ALookLaunchFile;
    QAction *APrint, *APrintView, *ACopyBill, *ASelChance, *ASelPay, *ASelOrder, *ASelRecieved, *ASelCRecieved;
    QAction *ASelValueRecieved, *ASelInvoice, *ASelCashSale, *ASelDeputeSale, *ASelBtnLoadDetailFromFile;
    QAction *APayProcess, *AChargeProcess, *AReturnProcess, *ASelDeputeSettlement, *AExport, *AInsertLine;
    QAction *ADeleteLine, *ACopyLine, *ASelGoods, *ASetPrice, *ASelReferTypeBill, *ABatchCodeCopy, *ASelDraw;
    QAction *ASelAskDeliver, *ASelDeliver, *ABackDrawProcess, *AAllotProcess, *ASelPurAppBill, *ASelSReturn;
    QAction *ASelQuotation, *ASendEMail, *ASendMsn, *ASorderToPorder, *APorderToSorder;
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
    // Sends a packet to a server procedure, repeating while CheckOnHandDialog accepts a
    // warning; returns the final "ErrNo" (-1 when the call itself failed, already shown).
    int SubmitPacket(const QString& procName, TPacketParams& request, TPacketParams& answer);
    // "%s" placeholders of MasterSQL / DetailSQL filled with the id.
    static QString FormatBillSQL(const QString& sql, int id);
    // " and (shopid = B)" (delivery sides for bill type 42 when asked), "" at head office.
    QString BranchCondition(bool deliverySides = false) const;
    // " and " + NavFilter, or "".
    QString NavCondition() const;
    QStringList LookupTableNames() const { return FLookupNames; }
    void AddLookupTable(const QString& name);
    // Master key of the shown row, kNoBillID when none.
    int MasterKeyValue() const;
    QVariant MasterValue(const QString& field) const;

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
    virtual void SendBillMessage();                        // 2
    virtual void ResetContactInfo();                       // 3
    virtual void MarkEmailSent();                          // 4
    virtual bool ConfirmResendEmail();                     // 5
    virtual QWidget* FindDynamicEdit(const QString& fieldName); // 6
    virtual QWidget* GetGoodsGridHook();                   // 7
    virtual void SendInstantMessage();                     // 8
    virtual void MakePOrderFromSOrder();                   // 9
    virtual void DetailGridEditHook();                     // 10
    virtual void MasterAfterOpen(TClientDataSet* ds);      // 11
    virtual void MasterBeforePost(TClientDataSet* ds);     // 12
    virtual void MasterAfterPost(TClientDataSet* ds);      // 13
    virtual void MasterCalcFields(TClientDataSet* ds);     // 14
    virtual void MasterNewRecord(TClientDataSet* ds);      // 15
    virtual void InitNewMaster();                          // 16
    virtual void OnMasterFieldChanged(TField* field);      // 17
    virtual void OnEmployeeChanged(TField* field);         // 18
    virtual void MasterAfterScroll(TClientDataSet* ds);    // 19
    virtual void DetailAfterOpen(TClientDataSet* ds);      // 20
    virtual void DetailBeforePost(TClientDataSet* ds);     // 21
    virtual void DetailAfterPost(TClientDataSet* ds);      // 22
    virtual void DetailCalcFields(TClientDataSet* ds);     // 23
    virtual void DetailNewRecord(TClientDataSet* ds);      // 24
    virtual void DetailAfterScroll(TClientDataSet* ds);    // 25
    virtual void DetailFieldChangeGuarded(TField* field);  // 26
    virtual void DetailFieldChanged(TField* field);        // 27
    virtual void DetailFieldValidate(TField* field);       // 28
    virtual void OpenLookupTables();                       // 29
    virtual void LoadReportTemplates();                    // 30
    virtual void PrintBill(bool preview);                  // 31
    virtual void DoPrintBill(bool preview);                // 32
    virtual bool IsReadOnlyBill();                         // 33
    virtual void RefreshFieldState(const QString& fieldName); // 34
    virtual bool QuerySaveChanges();                       // 35
    virtual void UpdateBillState();                        // 36
    virtual void BeforeOpenBill();                         // 37
    virtual void AfterNewBillState();                      // 38
    virtual void SetMasterSystemFields();                  // 39
    virtual void AfterSaveBill();                          // 40
    virtual bool CanEditBill();                            // 41
    virtual void BaseHook42();                             // 42
    virtual void BaseHook43();                             // 43
    virtual bool PostAndValidate();                        // 44
    virtual bool CheckEmployee();                          // 45
    virtual bool CheckOnHandDialog(int errNo, TPacketParams& request, TPacketParams& answer); // 46
    virtual int GetNewBillID();                            // 47
    virtual QString GetNewBillCode(const QString& dateText); // 48
    virtual void NewBill();                                // 49
    virtual int GetFirstBillID();                          // 50
    virtual int GetPriorBillID(const QString& code, const QVariant& billDate); // 51
    virtual int GetLastBillID();                           // 52
    virtual int GetNextBillID(const QString& code, const QVariant& billDate);  // 53
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
    virtual int FindBillByID(int id);                      // 94
    virtual QString GetMessageText();                      // 95
    virtual void BuildSavePacket(TPacketParams& packet);   // 96
    virtual void BuildDeletePacket(TPacketParams& packet); // 97
    virtual void BuildRedPacket(TPacketParams& packet);    // 98
    virtual int GetBillType();                             // 99
    virtual void CopyDetailLine();                         // 100
    virtual bool PrivilegeCallback();                      // 101
    virtual bool SaveAndNewBill();                         // 102
    virtual bool DeleteBill();                             // 103
    virtual bool CanDeleteBill();                          // 104
    virtual void TouchUpdateTime();                        // 105
    virtual void BaseHook106();                            // 106
    virtual void BaseHook107();                            // 107
    virtual void ReferOrLaunchApprovalFile(int menuTag);   // 108 (3 refer, 4 start)
    virtual void ViewApprovalFile(int menuTag);            // 109 (1 referred, 2 started)
    virtual void CopyBill();                               // 110
    virtual bool IsBillModified();                         // 111
    virtual bool CanMakeRedBill();                         // 112
    virtual void MakeVoucher();                            // 113
    virtual void FindBill();                               // 114
    virtual void SelectGoods();                            // 115
    virtual void InsertDetailLine();                       // 116
    virtual void DeleteDetailLine();                       // 117
    virtual bool ValidateMaster();                         // 118
    virtual bool ValidateSourceLines();                    // 119
    virtual bool ValidateDetail();                         // 120
    virtual void RenumberDetailLines();                    // 121
    virtual void BeforeSubmitCheck();                      // 122
    virtual bool ExecuteSaveProc();                        // 123
    virtual void BaseHook124();                            // 124
    virtual void BaseHook125();                            // 125
    virtual void BaseHook126();                            // 126
    virtual void UpdateMasterTotal();                      // 127
    virtual bool OpenBill(int id);                         // 128
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
    // Actions in the order of the form's action table.
    static int ActionCount();

protected:
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Makes every field of the dataset writable (loaded packets may mark computed columns).
    static void MakeFieldsWritable(TClientDataSet* ds);
    static void SetFlagValue(TField* f, bool on);
    void RouteDataSetEvents();
    void ResetPrivilege();
    void SetReadOnlyWalk(QWidget* parent, bool flag);
    void DiscardPendingTouch();
    bool ValidateRequiredFields(TClientDataSet* ds);
    void DiscardChanges();
    void OpenLastBill();
    void WireMasterFields();
    bool ApprovalRefused(int privilegeId, int action);
    int NavigateQuery(const QString& where, const QString& order, const QString& code, const QVariant& billDate);

    std::unique_ptr<TBootUnitImpl> FPrivilege;
    QStringList FLookupNames;
    QStringList FMasterEditorFields;
    QGridLayout* FMasterLayout = nullptr;
    bool FPrinting = false;
    bool FInDetailFieldChange = false;
    bool FReadOnly = false;
    bool FClosingChecked = false;
    bool FInitialised = false;

private:
    void CreateActions();
    void CreateWindowParts();
    QAction* MakeAction(const char* name, int tag, const QString& caption, const QKeySequence& shortcut = QKeySequence());
};
