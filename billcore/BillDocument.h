#pragma once
// One bill at a time, without a window: the master row and its lines in two client datasets,
// and everything done to them - open, new, load, navigate, save, delete, red reversal, copy,
// the packets and the server's answers, bill codes, the defaults of a new bill, the change
// test, and the master total kept in step with the lines.
//
// The document is given its connection and its session; it reads no globals. It speaks to the
// user only through its prompter, and calls the bill's hooks through a TBillHooks that a bill
// window may take over: a window implements the hooks and forwards to the document, so a
// concrete bill that overrides a hook on its window is heard by the document too. Without a
// window the document is its own hook table, and a headless bill engine can subclass it.
#include "billcore/BillSession.h"

#include "platform/DataSet.h"
#include "webrpc/Connection.h"
#include "webrpc/PacketParams.h"

#include <QObject>

#include <functional>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

struct TBillProfile;

// "No bill, no row, nothing found".
constexpr int kNoBillID = -99999;

// The hooks the bill's life runs through, in the order of the bill form's hook table.
class TBillHooks {
public:
    virtual ~TBillHooks() = default;
    virtual void SendBillMessage() = 0;                                  // 2
    virtual void MasterAfterOpen(TClientDataSet* ds) = 0;                // 11
    virtual void MasterBeforePost(TClientDataSet* ds) = 0;               // 12
    virtual void MasterAfterPost(TClientDataSet* ds) = 0;                // 13
    virtual void MasterCalcFields(TClientDataSet* ds) = 0;               // 14
    virtual void MasterNewRecord(TClientDataSet* ds) = 0;                // 15
    virtual void InitNewMaster() = 0;                                    // 16
    virtual void OnMasterFieldChanged(TField* field) = 0;                // 17
    virtual void OnEmployeeChanged(TField* field) = 0;                   // 18
    virtual void MasterAfterScroll(TClientDataSet* ds) = 0;              // 19
    virtual void DetailAfterOpen(TClientDataSet* ds) = 0;                // 20
    virtual void DetailBeforePost(TClientDataSet* ds) = 0;               // 21
    virtual void DetailAfterPost(TClientDataSet* ds) = 0;                // 22
    virtual void DetailCalcFields(TClientDataSet* ds) = 0;               // 23
    virtual void DetailNewRecord(TClientDataSet* ds) = 0;                // 24
    virtual void DetailAfterScroll(TClientDataSet* ds) = 0;              // 25
    virtual void DetailFieldChangeGuarded(TField* field) = 0;            // 26
    virtual void DetailFieldChanged(TField* field) = 0;                  // 27
    virtual void DetailFieldValidate(TField* field) = 0;                 // 28
    virtual void PrintBill(bool preview) = 0;                            // 31
    virtual bool IsReadOnlyBill() = 0;                                   // 33
    virtual void RefreshFieldState(const QString& fieldName) = 0;        // 34
    virtual bool QuerySaveChanges() = 0;                                 // 35
    virtual void UpdateBillState() = 0;                                  // 36
    virtual void BeforeOpenBill() = 0;                                   // 37
    virtual void AfterNewBillState() = 0;                                // 38
    virtual void SetMasterSystemFields() = 0;                            // 39
    virtual void AfterSaveBill() = 0;                                    // 40
    virtual bool PostAndValidate() = 0;                                  // 44
    virtual bool CheckOnHandDialog(int errNo, TPacketParams& request, TPacketParams& answer) = 0; // 46
    virtual QString GetNewBillCode(const QString& dateText) = 0;         // 48
    virtual void NewBill() = 0;                                          // 49
    virtual int GetFirstBillID() = 0;                                    // 50
    virtual int GetPriorBillID(const QString& code, const QVariant& billDate) = 0; // 51
    virtual int GetLastBillID() = 0;                                     // 52
    virtual int GetNextBillID(const QString& code, const QVariant& billDate) = 0;  // 53
    virtual int FindBillByID(int id) = 0;                                // 94
    virtual void BuildSavePacket(TPacketParams& packet) = 0;             // 96
    virtual void BuildDeletePacket(TPacketParams& packet) = 0;           // 97
    virtual void BuildRedPacket(TPacketParams& packet) = 0;              // 98
    virtual bool SaveAndNewBill() = 0;                                   // 102
    virtual bool DeleteBill() = 0;                                       // 103
    virtual bool CanDeleteBill() = 0;                                    // 104
    virtual void TouchUpdateTime() = 0;                                  // 105
    virtual void CopyBill() = 0;                                         // 110
    virtual bool IsBillModified() = 0;                                   // 111
    virtual bool CanMakeRedBill() = 0;                                   // 112
    virtual bool ValidateMaster() = 0;                                   // 118
    virtual bool ValidateSourceLines() = 0;                              // 119
    virtual bool ValidateDetail() = 0;                                   // 120
    virtual bool ExecuteSaveProc() = 0;                                  // 123
    virtual bool OpenBill(int id) = 0;                                   // 128
};

// Every message and question of a bill. The base class asks through the host's message
// services (scripted in tests); a window adds focus and its own warning dialogs.
class TBillPrompter {
public:
    virtual ~TBillPrompter() = default;
    virtual void Notice(const QString& text, const QString& caption);    // ShowInformation
    virtual void Error(const QString& text, const QString& caption);     // ShowError
    virtual int MsgBox(const QString& text, const QString& caption, int flags); // ShowMsgBox
    virtual bool YesNo(const QString& text, const QString& caption);
    virtual int YesNoCancel(const QString& text, const QString& caption);
    virtual void Plain(const QString& text);                             // AppShowMessage
    // The server's stock warning (1501-1503) and price warning (1401); true to save anyway.
    virtual bool StockWarning(int errNo, const QString& intro, const TPacketParams& answer);
    virtual bool PriceWarning(int cvFlag, bool allowed, const TPacketParams& answer);
    // A check refused this field: the window puts the cursor there.
    virtual void FocusField(TField* field);
};

// Passes every message on to another prompter, found when the message comes, after an optional
// step of its own. Engines that outlive a swap of the bill's prompter hold one of these.
class TRelayPrompter : public TBillPrompter {
public:
    explicit TRelayPrompter(std::function<TBillPrompter&()> target, std::function<void()> before = {})
        : FTarget(std::move(target)), FBefore(std::move(before))
    {
    }
    void Notice(const QString& text, const QString& caption) override { To().Notice(text, caption); }
    void Error(const QString& text, const QString& caption) override { To().Error(text, caption); }
    int MsgBox(const QString& text, const QString& caption, int flags) override { return To().MsgBox(text, caption, flags); }
    bool YesNo(const QString& text, const QString& caption) override { return To().YesNo(text, caption); }
    int YesNoCancel(const QString& text, const QString& caption) override { return To().YesNoCancel(text, caption); }
    void Plain(const QString& text) override { To().Plain(text); }
    bool StockWarning(int errNo, const QString& intro, const TPacketParams& answer) override
    {
        return To().StockWarning(errNo, intro, answer);
    }
    bool PriceWarning(int cvFlag, bool allowed, const TPacketParams& answer) override
    {
        return To().PriceWarning(cvFlag, allowed, answer);
    }
    void FocusField(TField* field) override { To().FocusField(field); }

private:
    TBillPrompter& To()
    {
        if (FBefore)
            FBefore();
        return FTarget();
    }
    std::function<TBillPrompter&()> FTarget;
    std::function<void()> FBefore;
};

// What the operator may do with bills of this kind.
struct TBillRights {
    bool New = false;
    bool Edit = false;
    bool Delete = false;
    bool Print = false;
};

class TBillDocument : public QObject, public TBillHooks {
    Q_OBJECT
public:
    TBillDocument(TClientConnection* con, const TBillSession& session, QObject* owner = nullptr);
    ~TBillDocument() override;

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
    int PrivilegeID = -1;    // FormPrivilegeID of the bill's window
    int ReportType = 0;
    QString Caption;         // "BillCaption" of the packets
    // The master total (MasterAmountFieldName) is the sum of the lines' AmountFieldName.
    bool TotalFromLines = true;
    // A bill of this kind cannot stand without lines (no lines means a total of 0), unless its
    // master AloneField holds one of AloneValues.
    bool NeedsLines = false;
    QString AloneField;
    QStringList AloneValues;
    // Whether the bill as it stands now may be saved without lines.
    bool MayStandAlone() const;
    int TradeSide = 0;

    // Takes every profile field from the bill kind's profile.
    void ApplyProfile(const TBillProfile& profile);

    // ------------------------------------------------------------ state
    int CurrentBillID = kNoBillID;
    bool IsNewBill = false;
    bool Modified = false;
    int SourceOrderID = 0;
    bool FromSourceOrder = false;
    // The id of a new bill's save request ("RequestID"): the same for every try until the bill
    // is saved, so that the server saves it once however often an answer is lost on the way.
    QString RequestID;
    TBillRights Rights;
    // Whether stepping back and forth makes sense from the bill shown (the window's APrev, ANext).
    bool PriorEnabled = true;
    bool NextEnabled = true;
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool flag);
    // A bill that is read-only only because the user closed it by hand (an order) is saved all
    // the same: that is how its closing is kept, or lifted again. The bill tells through this.
    std::function<bool()> ClosedByHandOnly;

    // ------------------------------------------------------------ data
    TClientDataSet* const cdsMaster;
    TClientDataSet* const cdsDetail;
    TClientQuery* const cdsReport; // print templates of ReportType
    TClientQuery* const qryMasterCopy;
    TClientQuery* const qryDetailCopy;
    // "getnewbillcodebydate;1" (@shopid, @billdate, @masttablename -> @billcode).
    std::unique_ptr<TClientStoredProc> spGetNewBillCodeByDate;

    TClientConnection* Connection() const { return FCon; }
    const TBillSession& Session() const { return FSession; }
    void SetSession(const TBillSession& session) { FSession = session; }
    // The hooks the document calls; nullptr makes it its own.
    void SetHooks(TBillHooks* hooks) { FHooks = hooks ? hooks : this; }
    TBillHooks& Hooks() const { return *FHooks; }
    // Not owned; nullptr restores the plain prompter.
    void SetPrompter(TBillPrompter* prompter);
    TBillPrompter& Prompts() const { return *FPrompter; }

    // Completes the profile (delete and red procedure names, the own-bills navigation filter
    // without the right to see other operators' bills), reads the rights and routes the
    // datasets' events to the hooks. Called once, after the profile is filled.
    void InitDocument();
    // The print templates of the bill's report type (cdsReport).
    void LoadReportTemplates();

    // ------------------------------------------------------------ operations
    bool LoadBillByID(int id);
    void GotoFirstBill();
    void GotoPriorBill();
    void GotoNextBill();
    void GotoLastBill();
    // The shown bill read again (a new bill stays as it is).
    void RefreshBill();
    bool SaveBill();
    // The unsaved-change question, then a new bill (ANew).
    void StartNewBill();
    bool MakeRedBill();
    // The close check: true when the bill may be closed (saved, discarded or unchanged).
    bool CloseQuery();
    // A new line at the end / the current line removed; false when the bill takes no lines.
    bool AppendLine();
    bool DeleteLine();
    // Drops unsaved edits by opening the shown bill again.
    void DiscardChanges();
    // Sends a packet to a server procedure, repeating while CheckOnHandDialog accepts a
    // warning; the final "ErrNo" (-1 when the call itself failed, already shown).
    int SubmitPacket(const QString& procName, TPacketParams& request, TPacketParams& answer);

    // The lines counted again and the master total written from them when it differs (see
    // TotalFromLines). Field edits keep it in step by themselves; code that changes lines
    // with the dataset's events silenced calls this afterwards.
    void KeepMasterTotal();
    // The next "ItemNo" a new line gets is one above this.
    int MaxItemNo() const { return FMaxItemNo; }

    // ------------------------------------------------------------ helpers
    // "%s" placeholders of MasterSQL / DetailSQL filled with the id.
    static QString FormatBillSQL(const QString& sql, int id);
    // " and (shopid = B)" (delivery sides for bill type 42 when asked), "" at head office.
    QString BranchCondition(bool deliverySides = false) const;
    // " and " + NavFilter, or "".
    QString NavCondition() const;
    int MasterKeyValue() const;
    QVariant MasterValue(const QString& field) const;
    // Opens a closed dataset, then lets every field be written (the shared data service).
    static void MakeFieldsWritable(TClientDataSet* ds);
    static void SetFlagValue(TField* f, bool on);
    static QString StockCheckIntro(int errNo, bool warnZeroOnHand);

    // ------------------------------------------------------------ hooks: base behaviour
    void SendBillMessage() override;
    void MasterAfterOpen(TClientDataSet* ds) override;
    void MasterBeforePost(TClientDataSet* ds) override;
    void MasterAfterPost(TClientDataSet* ds) override;
    void MasterCalcFields(TClientDataSet* ds) override;
    void MasterNewRecord(TClientDataSet* ds) override;
    void InitNewMaster() override;
    void OnMasterFieldChanged(TField* field) override;
    void OnEmployeeChanged(TField* field) override;
    void MasterAfterScroll(TClientDataSet* ds) override;
    void DetailAfterOpen(TClientDataSet* ds) override;
    void DetailBeforePost(TClientDataSet* ds) override;
    void DetailAfterPost(TClientDataSet* ds) override;
    void DetailCalcFields(TClientDataSet* ds) override;
    void DetailNewRecord(TClientDataSet* ds) override;
    void DetailAfterScroll(TClientDataSet* ds) override;
    void DetailFieldChangeGuarded(TField* field) override;
    void DetailFieldChanged(TField* field) override;
    void DetailFieldValidate(TField* field) override;
    void PrintBill(bool preview) override;
    bool IsReadOnlyBill() override;
    void RefreshFieldState(const QString& fieldName) override;
    bool QuerySaveChanges() override;
    void UpdateBillState() override;
    void BeforeOpenBill() override;
    void AfterNewBillState() override;
    void SetMasterSystemFields() override;
    void AfterSaveBill() override;
    bool PostAndValidate() override;
    bool CheckOnHandDialog(int errNo, TPacketParams& request, TPacketParams& answer) override;
    QString GetNewBillCode(const QString& dateText) override;
    void NewBill() override;
    int GetFirstBillID() override;
    int GetPriorBillID(const QString& code, const QVariant& billDate) override;
    int GetLastBillID() override;
    int GetNextBillID(const QString& code, const QVariant& billDate) override;
    int FindBillByID(int id) override;
    void BuildSavePacket(TPacketParams& packet) override;
    void BuildDeletePacket(TPacketParams& packet) override;
    void BuildRedPacket(TPacketParams& packet) override;
    bool SaveAndNewBill() override;
    bool DeleteBill() override;
    bool CanDeleteBill() override;
    void TouchUpdateTime() override;
    void CopyBill() override;
    bool IsBillModified() override;
    bool CanMakeRedBill() override;
    bool ValidateMaster() override;
    bool ValidateSourceLines() override;
    bool ValidateDetail() override;
    bool ExecuteSaveProc() override;
    bool OpenBill(int id) override;

signals:
    // PriorEnabled or NextEnabled changed.
    void navigationChanged();
    void readOnlyChanged(bool readOnly);

protected:
    bool ValidateRequiredFields(TClientDataSet* ds);
    int NavigateQuery(const QString& where, const QString& order, const QString& code, const QVariant& billDate);
    void OpenLastBill();
    void ShowBill(int id);
    void SetNavigation(bool prior, bool next);
    void RouteDataSetEvents();
    void WireMasterFields();
    void WatchLineFields();
    void LineFieldChanged(TField* field);
    void LinesChanged();
    void FollowLineEdit();
    TField* MasterTotalField() const;
    void WriteMasterTotal(TField* total);
    void DiscardPendingTouch();
    void ShowServerError(const TPacketParams& answer);
    // "SubmitType", "BillCaption", "Bind" and "IsAddNew", which every packet begins with.
    void AddPacketHead(TPacketParams& p) const;
    std::unique_ptr<TClientQuery> Query(const QString& sql) const;

private:
    TClientConnection* FCon;
    TBillSession FSession;
    TBillHooks* FHooks;
    std::unique_ptr<TBillPrompter> FOwnPrompter;
    TBillPrompter* FPrompter;
    bool FReadOnly = false;
    bool FInDetailFieldChange = false;
    int FLineChangeDepth = 0;
    int FNewRecordDepth = 0;
    int FLoading = 0;
    int FMaxItemNo = 0;
    // The line amounts in ten-thousandths as last counted, and the line whose amount was in it.
    qint64 FLineUnits = 0;
    bool FLineTotalValid = false;
    qint64 FTrackedLine = -1;
    qint64 FTrackedUnits = 0;
    quint64 FUnseenCounted = 0; // the lines' silent changes when they were last counted
};
