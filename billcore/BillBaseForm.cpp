#include "billcore/BillBaseForm.h"
#include "platform/ControlHold.h"

#include "billcore/BillActions.h"
#include "host/Host.h"
#include "platform/DBControls.h"
#include "printing/PrintBill.h"
#include "server/BillProfiles.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QTextEdit>
#include <QTextStream>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

const QString kCaptionNotice = QStringLiteral("提示");
const QString kCaptionError = QStringLiteral("错误");
const QString kNotAuthorised = QStringLiteral("您未被授权使用该功能");

QString PlainCaption(const QAction* a)
{
    QString t = a->text();
    t.remove(QStringLiteral("(&") + QChar(u'A') + u')'); // keeps the text readable in hints
    t.remove(u'&');
    return t;
}

} // namespace

TBillBaseForm::TStockCheckDialog TBillBaseForm::StockCheckDialog = &TBillBaseForm::DefaultStockCheckDialog;
TBillBaseForm::TPriceCheckDialog TBillBaseForm::PriceCheckDialog = &TBillBaseForm::DefaultPriceCheckDialog;
std::function<void(TBillBaseForm*, int, int)> TBillBaseForm::ShowBillSearch;

// The window's way of telling the user: the host's messages, its own warning dialogs, and the
// cursor put on a field that a check refused.
class TBillBaseForm::TWindowPrompter : public TBillPrompter {
public:
    explicit TWindowPrompter(TBillBaseForm* form) : FForm(form) {}
    bool StockWarning(int errNo, const QString& intro, const TPacketParams& answer) override
    {
        return StockCheckDialog && StockCheckDialog(FForm, errNo, intro, answer);
    }
    bool PriceWarning(int, bool allowed, const TPacketParams& answer) override
    {
        return PriceCheckDialog && PriceCheckDialog(FForm, allowed, answer);
    }
    void FocusField(TField* field) override
    {
        if (field->DataSet() == FForm->cdsMaster) {
            // A form laid out by its template names its own editors.
            QWidget* w = FForm->FindDynamicEdit(field->FieldName());
            if (!w)
                w = FForm->MasterPanel->findChild<QWidget*>(QStringLiteral("ed") + field->FieldName());
            if (w)
                w->setFocus();
        } else if (FForm->ItemDBGrid) {
            FForm->ItemDBGrid->setFocus();
            FForm->ItemDBGrid->GotoField(field->FieldName());
        }
    }

private:
    TBillBaseForm* FForm;
};

// ====================================================================== construction

TBillBaseForm::TBillBaseForm(QWidget* owner) : TBillBaseForm(nullptr, owner) {}

TBillBaseForm::TBillBaseForm(TBillDocument* document, QWidget* owner)
    : TBillRootForm(owner)
    , FDocument(document ? document : new TBillDocument(g_DefaultCon, TBillSession::FromHost()))
    , BillType(FDocument->BillType)
    , CVFlag(FDocument->CVFlag)
    , MasterTable(FDocument->MasterTable)
    , KeyField(FDocument->KeyField)
    , DetailTable(FDocument->DetailTable)
    , MasterSQL(FDocument->MasterSQL)
    , DetailSQL(FDocument->DetailSQL)
    , SaveProcName(FDocument->SaveProcName)
    , DeleteProcName(FDocument->DeleteProcName)
    , RedProcName(FDocument->RedProcName)
    , MasterDetailBill(FDocument->MasterDetailBill)
    , MasterAmountFieldName(FDocument->MasterAmountFieldName)
    , AmountFieldName(FDocument->AmountFieldName)
    , RelevantCredType(FDocument->RelevantCredType)
    , DBBillType(FDocument->DBBillType)
    , DateFieldName(FDocument->DateFieldName)
    , CopyExcludedMasterFields(FDocument->CopyExcludedMasterFields)
    , CopyExcludedDetailFields(FDocument->CopyExcludedDetailFields)
    , RequiredDetailFields(FDocument->RequiredDetailFields)
    , FindCategory(FDocument->FindCategory)
    , FindIndex(FDocument->FindIndex)
    , NavFilter(FDocument->NavFilter)
    , LinesFromSourceBills(FDocument->LinesFromSourceBills)
    , CurrentBillID(FDocument->CurrentBillID)
    , IsNewBill(FDocument->IsNewBill)
    , Modified(FDocument->Modified)
    , SourceOrderID(FDocument->SourceOrderID)
    , FromSourceOrder(FDocument->FromSourceOrder)
    , cdsMaster(FDocument->cdsMaster)
    , cdsDetail(FDocument->cdsDetail)
    , cdsReport(FDocument->cdsReport)
    , qryMasterCopy(FDocument->qryMasterCopy)
    , qryDetailCopy(FDocument->qryDetailCopy)
    , spGetNewBillCodeByDate(FDocument->spGetNewBillCodeByDate)
    , FPrompter(std::make_unique<TWindowPrompter>(this))
{
    setWindowTitle(QStringLiteral("BillBaseForm"));
    FDocument->setParent(this);
    FDocument->setObjectName(QStringLiteral("BillDocument"));
    FDocument->SetHooks(this);
    FDocument->SetPrompter(FPrompter.get());
    dsMaster = new TDataSource(cdsMaster, this);
    dsDetail = new TDataSource(cdsDetail, this);
    ResetPrivilege();

    CreateActions();
    CreateWindowParts();
    connect(FDocument, &TBillDocument::navigationChanged, this, &TBillBaseForm::FollowNavigation);
    connect(FDocument, &TBillDocument::readOnlyChanged, this, &TBillBaseForm::ApplyReadOnly);
    // The voucher exists only for account sets bound to the general ledger.
    if (!FDocument->Session().Bind)
        ALoadCred->setVisible(false);
    ASelChance->setVisible(false);
}

TBillBaseForm::~TBillBaseForm()
{
    // The document outlives the window's own members for a moment: it must not call back.
    FDocument->SetHooks(nullptr);
    FDocument->SetPrompter(nullptr);
    disconnect(FDocument, nullptr, this, nullptr);
}

TBillBaseForm* TBillBaseForm::AsBillForm(QObject* o)
{
    return qobject_cast<TBillBaseForm*>(o);
}

void TBillBaseForm::UseProfile()
{
    const QString formName = QString::fromLatin1(metaObject()->className()).mid(1);
    const TBillProfile* p = BillProfileOfForm(formName);
    if (!p)
        throw std::logic_error("no bill profile for form " + formName.toStdString());
    FDocument->ApplyProfile(*p);
    setObjectName(QString::fromLatin1(p->FormName));
    setWindowTitle(QString::fromUtf8(p->Caption));
    FormPrivilegeID = p->PrivilegeId;
    ReportType = p->ReportType;
}

void TBillBaseForm::ResetPrivilege()
{
    FPrivilege = std::make_unique<TBootUnitImpl>(this, FormPrivilegeID, [this](TBootUnitImpl*) {
        PrivilegeCallback();
        PublishEditMenu();
    });
    FPrivilege->SetReadOnly(ReadOnly());
}

void TBillBaseForm::CreateActions()
{
    for (const TBillActionDef& def : BillActionTable()) {
        auto* a = new QAction(QString::fromUtf8(def.Caption), this);
        a->setObjectName(QString::fromLatin1(def.Name));
        a->setData(def.Tag);
        if (def.Shortcut != QKeyCombination()) {
            a->setShortcut(QKeySequence(def.Shortcut));
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        a->setVisible(!def.Hidden);
        a->setEnabled(!def.Disabled);
        addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { ASaveNewExecute(a); });
        alOperation.append(a);
        this->*def.Slot = a;
    }
}

int TBillBaseForm::ActionCount()
{
    return int(BillActionTable().size());
}

QAction* TBillBaseForm::ActionByTag(int tag) const
{
    for (QAction* a : alOperation)
        if (a->data().toInt() == tag)
            return a;
    return nullptr;
}

QAction* TBillBaseForm::ActionByName(const QString& objectName) const
{
    for (QAction* a : alOperation)
        if (a->objectName().compare(objectName, Qt::CaseInsensitive) == 0)
            return a;
    return nullptr;
}

void TBillBaseForm::CreateWindowParts()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(2, 2, 2, 2);
    root->setSpacing(2);

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto toolButton = [this](const char* name, const QString& text, QAction* action, QMenu* menu) {
        auto* b = new QToolButton(ToolBar);
        b->setObjectName(QString::fromLatin1(name));
        if (action)
            b->setDefaultAction(action);
        else
            b->setText(text);
        if (menu) {
            b->setMenu(menu);
            b->setPopupMode(action ? QToolButton::MenuButtonPopup : QToolButton::InstantPopup);
        }
        ToolBar->addWidget(b);
        return b;
    };

    menuPrint = new QMenu(this);
    menuPrint->setObjectName(QStringLiteral("menuPrint"));
    muPrintPreview = menuPrint->addAction(APrintView->text());
    muPrintPreview->setObjectName(QStringLiteral("muPrintPreview"));
    connect(muPrintPreview, &QAction::triggered, APrintView, &QAction::trigger);
    muPrint = menuPrint->addAction(APrint->text());
    muPrint->setObjectName(QStringLiteral("muPrint"));
    connect(muPrint, &QAction::triggered, APrint, &QAction::trigger);

    menuOperation = new QMenu(this);
    menuOperation->setObjectName(QStringLiteral("menuOperation"));
    menuOperation->addActions({ALoadCred, AMakeRedBill});
    menuOperation->addSeparator();
    menuOperation->addActions({APayProcess, AChargeProcess, AReturnProcess, ABackDrawProcess});
    menuOperation->addSeparator();
    menuOperation->addActions({ASelChance, ASelPay, ASelQuotation, ASelOrder, ASelRecieved, ASelCRecieved, ASelValueRecieved,
                               ASelInvoice, ASelCashSale, ASelDeputeSale, ASelDeputeSettlement, ASelDraw, ASelDeliver,
                               ASelSReturn});
    menuOperation->addSeparator();
    menuOperation->addActions({AExport, ASendEMail});
    menuOperation->addSeparator();
    menuOperation->addActions({ASorderToPorder, APorderToSorder});

    menuArch = new QMenu(this);
    menuArch->setObjectName(QStringLiteral("menuArch"));
    auto archItem = [this](const char* name, QAction* action, int menuTag) {
        QAction* m = menuArch->addAction(action->text());
        m->setObjectName(QString::fromLatin1(name));
        m->setData(menuTag);
        connect(m, &QAction::triggered, action, &QAction::trigger);
        return m;
    };
    muReferFile = archItem("muReferFile", AReferFile, 3);
    muLaunchFile = archItem("muLaunchFile", ALaunchFile, 4);
    muLookReferFile = archItem("muLookReferFile", ALookReferFile, 1);
    muLookLaunchFile = archItem("muLookLaunchFile", ALookLaunchFile, 2);

    menuBillPupup = new QMenu(this);
    menuBillPupup->setObjectName(QStringLiteral("menuBillPupup"));
    menuBillPupup->addActions({ANew, ADeleteBill, ACopyBill});
    menuBillPupup->addSeparator();
    menuBillPupup->addActions({AFirst, APrev, ANext, ALast});
    menuBillPupup->addSeparator();
    menuBillPupup->addActions({ARefresh, ABillFind});

    btnPrev = toolButton("btnPrev", QString(), APrev, nullptr);
    btnNext = toolButton("btnNext", QString(), ANext, nullptr);
    btnPrint = toolButton("btnPrint", QString(), APrint, menuPrint);
    btnPrintPreview = toolButton("btnPrintPreview", QString(), APrintView, nullptr);
    btnOperation = toolButton("btnOperation", QStringLiteral("操作"), nullptr, menuOperation);
    btnArch = toolButton("btnArch", QStringLiteral("审批"), nullptr, menuArch);
    btnSendEMail = toolButton("btnSendEMail", QString(), ASendEMail, nullptr);
    btnSendMsn = toolButton("btnSendMsn", QString(), ASendMsn, nullptr);
    ToolBar->addSeparator();
    ToolBar->addWidget(new QLabel(QStringLiteral("打印样式"), ToolBar));
    dlgcRptStyle = new QComboBox(ToolBar);
    dlgcRptStyle->setObjectName(QStringLiteral("dlgcRptStyle"));
    dlgcRptStyle->setMinimumWidth(120);
    ToolBar->addWidget(dlgcRptStyle);
    root->addWidget(ToolBar);

    BodyPanel = new QWidget(this);
    BodyPanel->setObjectName(QStringLiteral("BodyPanel"));
    auto* body = new QVBoxLayout(BodyPanel);
    body->setContentsMargins(0, 0, 0, 0);
    MasterPanel = new QWidget(BodyPanel);
    MasterPanel->setObjectName(QStringLiteral("MasterPanel"));
    FMasterLayout = new QGridLayout(MasterPanel);
    FMasterLayout->setContentsMargins(4, 4, 4, 4);
    body->addWidget(MasterPanel);
    ItemDBGrid = new TDBGrid(BodyPanel);
    ItemDBGrid->setObjectName(QStringLiteral("ItemDBGrid"));
    ItemDBGrid->SetDataSource(dsDetail);
    ItemDBGrid->SetShowFooter(true);
    ItemDBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* lineMenu = new QMenu(ItemDBGrid);
    lineMenu->setObjectName(QStringLiteral("GridPopupMenu"));
    lineMenu->addActions({AInsertLine, ADeleteLine, ACopyLine});
    lineMenu->addSeparator();
    lineMenu->addActions({ASelGoods, ASetPrice, ASelBtnLoadDetailFromFile, ASelReferTypeBill, ABatchCodeCopy});
    connect(ItemDBGrid, &QWidget::customContextMenuRequested, this, [this, lineMenu](const QPoint& pos) {
        // A read-only bill offers the bill menu instead of line editing.
        (ReadOnly() ? menuBillPupup : lineMenu)->popup(ItemDBGrid->viewport()->mapToGlobal(pos));
    });
    body->addWidget(ItemDBGrid, 1);
    root->addWidget(BodyPanel, 1);

    P_FootForm = new QFrame(this);
    P_FootForm->setObjectName(QStringLiteral("P_FootForm"));
    auto* foot = new QHBoxLayout(P_FootForm);
    foot->setContentsMargins(4, 2, 4, 2);
    foot->addStretch(1);
    auto footButton = [this, foot](const char* name, QAction* action) {
        auto* b = new QPushButton(action->text(), P_FootForm);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, b, [b, action] {
            b->setEnabled(action->isEnabled());
            b->setVisible(action->isVisible());
        });
        foot->addWidget(b);
        return b;
    };
    btnSaveAdd = footButton("btnSaveAdd", ASaveNew);
    btnOk = footButton("btnOk", Aok);
    btnCancel = footButton("btnCancel", ACancel);
    root->addWidget(P_FootForm);
}

// ====================================================================== start-up

void TBillBaseForm::InitBillForm()
{
    TBillRootForm::InitBillForm();
    FDocument->PrivilegeID = FormPrivilegeID;
    FDocument->ReportType = ReportType;
    FDocument->Caption = windowTitle();
    FDocument->InitDocument();
    ResetPrivilege();
    CaptureDesignBounds();
    ItemDBGrid->setVisible(MasterDetailBill);
    if (!AmountFieldName.isEmpty())
        ItemDBGrid->SetColumnTotal(AmountFieldName);

    try {
        OpenLookupTables();
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("%1: %2").arg(windowTitle(), e.Message()));
    }
    LoadReportTemplates();
    switch (BillType) {
    case 1: case 6: case 10: case 11: case 14: case 16: case 19:
        ALoadCred->setEnabled(false);
        ALoadCred->setVisible(false);
        break;
    default:
        break;
    }
    btnArch->setVisible(true);
    SetShortcutHints();
}

void TBillBaseForm::AddLookupTable(const QString& name)
{
    for (const QString& n : FLookupNames)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return;
    FLookupNames.append(name);
}

bool TBillBaseForm::ReadOnly() const
{
    return FDocument->ReadOnly();
}

QStringList TBillBaseForm::EditMenuItemNames()
{
    return {QStringLiteral("InsertLineItem"), QStringLiteral("DeleteLineItem"), QStringLiteral("EditItem"),
            QStringLiteral("NewItem"),        QStringLiteral("DeleteItem"),     QStringLiteral("RefreshItem"),
            QStringLiteral("FirstItem"),      QStringLiteral("PreviousItem"),   QStringLiteral("NextItem"),
            QStringLiteral("LastItem")};
}

void TBillBaseForm::SetHostEditMenu(bool enabled)
{
    for (const QString& item : EditMenuItemNames()) {
        KQParams bag;
        bag.AddValue(QStringLiteral("ENABLED"), enabled);
        GlobalCall(QStringLiteral("SETCOMPONENTENABLED"), item, &bag);
    }
}

void TBillBaseForm::PublishEditMenu()
{
    const TBootUnitImpl* rights = Privilege();
    if (!IsFormActive() || !rights)
        return;
    const bool hasLines = MasterDetailBill && cdsDetail->Active() && cdsDetail->RecordCount() > 0;
    PublishLineMenuState(LineMenuState(ReadOnly(), hasLines, rights->Edit, rights->Delete, !IsNewBill));
}

void TBillBaseForm::FormActivate()
{
    TBillRootForm::FormActivate();
    SetHostEditMenu(true);
    PublishEditMenu();
}

void TBillBaseForm::FormDeactivate()
{
    TBillRootForm::FormDeactivate();
    SetHostEditMenu(false);
}
// ====================================================================== the action handler

void TBillBaseForm::ASaveNewExecute(QAction* sender)
{
    if (!sender || !sender->isEnabled() || !sender->isVisible())
        return;
    ActionInProgress = false;
    const TBillActionDef* def = BillActionOfTag(sender->data().toInt());
    if (!def)
        return;
    try {
        def->Run(*this);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowError(e.Message(), kCaptionError);
    }
}

void TBillBaseForm::FollowNavigation()
{
    APrev->setEnabled(FDocument->PriorEnabled);
    ANext->setEnabled(FDocument->NextEnabled);
}

// ====================================================================== the bill: the document's work, the window's view

bool TBillBaseForm::OpenBill(int id)
{
    if (!FDocument->OpenBill(id))
        return false;
    BuildMasterArea();
    if (MasterDetailBill)
        ItemDBGrid->RecalcTotals();
    return true;
}

void TBillBaseForm::UpdateBillState()
{
    FDocument->UpdateBillState();
    for (QWidget* w : MasterPanel->findChildren<QWidget*>()) {
        if (w->isEnabled() && w->focusPolicy() != Qt::NoFocus && !qobject_cast<QLabel*>(w)) {
            w->setFocus();
            break;
        }
    }
}

bool TBillBaseForm::LoadBillByID(int id) { return FDocument->LoadBillByID(id); }
void TBillBaseForm::GotoFirstBill() { FDocument->GotoFirstBill(); }
void TBillBaseForm::GotoPriorBill() { FDocument->GotoPriorBill(); }
void TBillBaseForm::GotoNextBill() { FDocument->GotoNextBill(); }
void TBillBaseForm::GotoLastBill() { FDocument->GotoLastBill(); }
bool TBillBaseForm::SaveBill() { return FDocument->SaveBill(); }
bool TBillBaseForm::MakeRedBill() { return FDocument->MakeRedBill(); }
bool TBillBaseForm::FormCloseQuery() { return FDocument->CloseQuery(); }

int TBillBaseForm::SubmitPacket(const QString& procName, TPacketParams& request, TPacketParams& answer)
{
    return FDocument->SubmitPacket(procName, request, answer);
}

void TBillBaseForm::RefreshBill()
{
    FDocument->RefreshBill();
    for (const QString& name : FLookupNames) {
        GlobalCall(QStringLiteral("CLOSELOOKUPTABLE"), name);
        GlobalCall(QStringLiteral("OPENLOOKUPTABLE"), name);
    }
}

void TBillBaseForm::InsertDetailLine()
{
    if (FDocument->AppendLine())
        ItemDBGrid->setFocus();
}

void TBillBaseForm::DeleteDetailLine()
{
    if (!ADeleteLine->isEnabled() || !ADeleteLine->isVisible())
        return;
    FDocument->DeleteLine();
}

// Hooks whose base behaviour is the document's.
void TBillBaseForm::SendBillMessage() { FDocument->SendBillMessage(); }
void TBillBaseForm::MasterAfterOpen(TClientDataSet* ds) { FDocument->MasterAfterOpen(ds); }
void TBillBaseForm::MasterBeforePost(TClientDataSet* ds) { FDocument->MasterBeforePost(ds); }
void TBillBaseForm::MasterAfterPost(TClientDataSet* ds) { FDocument->MasterAfterPost(ds); }
void TBillBaseForm::MasterCalcFields(TClientDataSet* ds) { FDocument->MasterCalcFields(ds); }
void TBillBaseForm::MasterNewRecord(TClientDataSet* ds) { FDocument->MasterNewRecord(ds); }
void TBillBaseForm::InitNewMaster() { FDocument->InitNewMaster(); }
void TBillBaseForm::OnMasterFieldChanged(TField* field) { FDocument->OnMasterFieldChanged(field); }
void TBillBaseForm::OnEmployeeChanged(TField* field) { FDocument->OnEmployeeChanged(field); }
void TBillBaseForm::MasterAfterScroll(TClientDataSet* ds) { FDocument->MasterAfterScroll(ds); }
void TBillBaseForm::DetailAfterOpen(TClientDataSet* ds) { FDocument->DetailAfterOpen(ds); }
void TBillBaseForm::DetailBeforePost(TClientDataSet* ds) { FDocument->DetailBeforePost(ds); }
void TBillBaseForm::DetailAfterPost(TClientDataSet* ds) { FDocument->DetailAfterPost(ds); }
void TBillBaseForm::DetailCalcFields(TClientDataSet* ds) { FDocument->DetailCalcFields(ds); }
void TBillBaseForm::DetailNewRecord(TClientDataSet* ds) { FDocument->DetailNewRecord(ds); }
void TBillBaseForm::DetailAfterScroll(TClientDataSet* ds) { FDocument->DetailAfterScroll(ds); }
void TBillBaseForm::DetailFieldChangeGuarded(TField* field) { FDocument->DetailFieldChangeGuarded(field); }
void TBillBaseForm::DetailFieldChanged(TField* field) { FDocument->DetailFieldChanged(field); }
void TBillBaseForm::DetailFieldValidate(TField* field) { FDocument->DetailFieldValidate(field); }
bool TBillBaseForm::IsReadOnlyBill() { return FDocument->IsReadOnlyBill(); }
void TBillBaseForm::RefreshFieldState(const QString& fieldName) { FDocument->RefreshFieldState(fieldName); }
bool TBillBaseForm::QuerySaveChanges() { return FDocument->QuerySaveChanges(); }
void TBillBaseForm::BeforeOpenBill() { FDocument->BeforeOpenBill(); }
void TBillBaseForm::AfterNewBillState() { FDocument->AfterNewBillState(); }
void TBillBaseForm::SetMasterSystemFields() { FDocument->SetMasterSystemFields(); }
void TBillBaseForm::AfterSaveBill()
{
    // The only printing inside is the print right after saving a new bill: it goes straight
    // to the printer, without the print dialog.
    const QScopedValueRollback<bool> straight(FPrintStraight, true);
    FDocument->AfterSaveBill();
}
bool TBillBaseForm::PostAndValidate() { return FDocument->PostAndValidate(); }
bool TBillBaseForm::CheckOnHandDialog(int errNo, TPacketParams& request, TPacketParams& answer)
{
    return FDocument->CheckOnHandDialog(errNo, request, answer);
}
QString TBillBaseForm::GetNewBillCode(const QString& dateText) { return FDocument->GetNewBillCode(dateText); }
void TBillBaseForm::NewBill() { FDocument->NewBill(); }
int TBillBaseForm::GetFirstBillID() { return FDocument->GetFirstBillID(); }
int TBillBaseForm::GetPriorBillID(const QString& code, const QVariant& billDate) { return FDocument->GetPriorBillID(code, billDate); }
int TBillBaseForm::GetLastBillID() { return FDocument->GetLastBillID(); }
int TBillBaseForm::GetNextBillID(const QString& code, const QVariant& billDate) { return FDocument->GetNextBillID(code, billDate); }
int TBillBaseForm::FindBillByID(int id) { return FDocument->FindBillByID(id); }
void TBillBaseForm::BuildSavePacket(TPacketParams& packet) { FDocument->BuildSavePacket(packet); }
void TBillBaseForm::BuildDeletePacket(TPacketParams& packet) { FDocument->BuildDeletePacket(packet); }
void TBillBaseForm::BuildRedPacket(TPacketParams& packet) { FDocument->BuildRedPacket(packet); }
bool TBillBaseForm::SaveAndNewBill() { return FDocument->SaveAndNewBill(); }
bool TBillBaseForm::DeleteBill() { return FDocument->DeleteBill(); }
bool TBillBaseForm::CanDeleteBill() { return FDocument->CanDeleteBill(); }
void TBillBaseForm::TouchUpdateTime() { FDocument->TouchUpdateTime(); }
void TBillBaseForm::CopyBill() { FDocument->CopyBill(); }
bool TBillBaseForm::IsBillModified() { return FDocument->IsBillModified(); }
bool TBillBaseForm::CanMakeRedBill() { return FDocument->CanMakeRedBill(); }
bool TBillBaseForm::ValidateMaster() { return FDocument->ValidateMaster(); }
bool TBillBaseForm::ValidateSourceLines() { return FDocument->ValidateSourceLines(); }
bool TBillBaseForm::ValidateDetail() { return FDocument->ValidateDetail(); }
bool TBillBaseForm::ExecuteSaveProc() { return FDocument->ExecuteSaveProc(); }

// ====================================================================== server checks

QString TBillBaseForm::StockCheckIntro(int errNo)
{
    return TBillDocument::StockCheckIntro(errNo, GetAccOptionValue(QStringLiteral("WARNWHILEZEROONHAND")) == QStringLiteral("1"));
}

bool TBillBaseForm::DefaultStockCheckDialog(TBillBaseForm*, int errNo, const QString& intro, const TPacketParams& answer)
{
    return TBillPrompter().StockWarning(errNo, intro, answer);
}

bool TBillBaseForm::DefaultPriceCheckDialog(TBillBaseForm* form, bool allowed, const TPacketParams& answer)
{
    return TBillPrompter().PriceWarning(form->CVFlag, allowed, answer);
}

// ====================================================================== closing

void TBillBaseForm::closeEvent(QCloseEvent* e)
{
    bool ok = true;
    try {
        ok = FormCloseQuery();
    } catch (const Exception& ex) {
        ShowError(ex.Message(), kCaptionError);
        ok = false;
    }
    if (!ok) {
        e->ignore();
        return;
    }
    // FormClose: the form is destroyed when it closes.
    setAttribute(Qt::WA_DeleteOnClose);
    e->accept();
}

void TBillBaseForm::contextMenuEvent(QContextMenuEvent* e)
{
    menuBillPupup->popup(e->globalPos());
}

// ====================================================================== read-only state

void TBillBaseForm::SetReadOnly(bool flag)
{
    FDocument->SetReadOnly(flag);
}

void TBillBaseForm::ApplyReadOnly(bool flag)
{
    Privilege()->SetReadOnly(flag);
    SetReadOnlyWalk(BodyPanel, flag);
    OnDetailStateChanged(flag);
}

void TBillBaseForm::SetReadOnlyWalk(QWidget* parent, bool flag)
{
    static const QStringList kLeftAlone{QStringLiteral("FlagLabel"), QStringLiteral("FinishedLabel"), QStringLiteral("BodyPanel")};
    for (QObject* o : parent->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || ReadOnlyExempt.contains(w) || kLeftAlone.contains(w->objectName()))
            continue;
        if (auto* grid = qobject_cast<TDBGrid*>(w)) {
            grid->Model()->ReadOnly = flag;
            grid->setEditTriggers(flag ? QAbstractItemView::NoEditTriggers
                                       : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
            continue;
        }
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                             qobject_cast<QComboBox*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w) ||
                             qobject_cast<QAbstractItemView*>(w) || qobject_cast<QLabel*>(w);
        // Held: data controls would enable themselves again from their fields on the next
        // record shown, and a control the bill holds for its own reason stays disabled.
        if (control) {
            HoldDisabled(w, QStringLiteral("readonly"), flag);
            if (!flag && !HeldDisabled(w))
                w->setEnabled(true);
        } else
            SetReadOnlyWalk(w, flag);
    }
}


void TBillBaseForm::BuildMasterArea()
{
    QStringList names;
    for (int i = 0; i < cdsMaster->FieldCount(); ++i)
        if (cdsMaster->Fields(i)->Visible)
            names << cdsMaster->Fields(i)->FieldName();
    if (names == FMasterEditorFields)
        return;
    FMasterEditorFields = names;
    while (QLayoutItem* item = FMasterLayout->takeAt(0)) {
        if (QWidget* w = item->widget())
            w->deleteLater();
        delete item;
    }
    const int columns = 3;
    int n = 0;
    for (const QString& name : names) {
        TField* f = cdsMaster->FindField(name);
        QWidget* editor = nullptr;
        switch (f->DataType()) {
        case TFieldType::ftBoolean: {
            auto* e = new TDBCheckBox(MasterPanel);
            e->SetDataSource(dsMaster);
            e->SetDataField(name);
            editor = e;
            break;
        }
        case TFieldType::ftDateTime: {
            auto* e = new TDBDateEdit(MasterPanel);
            e->SetDataSource(dsMaster);
            e->SetDataField(name);
            editor = e;
            break;
        }
        default: {
            auto* e = new TDBEdit(MasterPanel);
            e->SetDataSource(dsMaster);
            e->SetDataField(name);
            editor = e;
            break;
        }
        }
        editor->setObjectName(QStringLiteral("ed") + name);
        auto* label = new QLabel(f->DisplayName(), MasterPanel);
        label->setBuddy(editor);
        FMasterLayout->addWidget(label, n / columns, (n % columns) * 2);
        FMasterLayout->addWidget(editor, n / columns, (n % columns) * 2 + 1);
        if (ReadOnly())
            HoldDisabled(editor, QStringLiteral("readonly"), true);
        ++n;
    }
    InstallKeyPreview();
}


// ====================================================================== lookups and templates

void TBillBaseForm::OpenLookupTables()
{
    AddLookupTable(QStringLiteral("Employ_T"));
    AddLookupTable(QStringLiteral("Department_T"));
    QList<TClientDataSet*> pending;
    QStringList sqls;
    for (const QString& name : FLookupNames) {
        KQParams bag;
        const QVariant v = GlobalCallEx(QStringLiteral("GETLOOKUPDATASET"), name, &bag);
        auto* ds = qobject_cast<TClientDataSet*>(VariantToObject(v));
        if (!ds || ds->Active())
            continue;
        const QString sql = bag.GetString(QStringLiteral("SQL"));
        if (sql.isEmpty())
            continue;
        pending << ds;
        sqls << sql;
    }
    if (pending.isEmpty())
        return;
    TPacketParams request;
    request.Set(QStringLiteral("Count"), int(sqls.size()));
    for (int i = 0; i < sqls.size(); ++i)
        request.Set(QStringLiteral("SQL%1").arg(i + 1), sqls[i]);
    TPacketParams answer;
    answer.LoadFromString(FDocument->Connection()->Proxy()->Invoke(QStringLiteral("GetClientDataSet"), request.ToString(), 30000));
    const QString err = answer.GetString(QStringLiteral("ErrMsg"));
    if (!err.isEmpty()) {
        AppShowMessage(err);
        return;
    }
    for (int i = 0; i < pending.size(); ++i)
        pending[i]->LoadFromXMLString(answer.GetString(QStringLiteral("ClientDataSet%1").arg(i + 1)));
}


void TBillBaseForm::LoadReportTemplates()
{
    FDocument->LoadReportTemplates();
    dlgcRptStyle->clear();
    if (!cdsReport->Active())
        return;
    for (cdsReport->First(); !cdsReport->Eof(); cdsReport->Next())
        dlgcRptStyle->addItem(cdsReport->FieldByName(QStringLiteral("rptname"))->AsString(), cdsReport->FieldByName(QStringLiteral("rptid"))->Value());
    cdsReport->First();
}

void TBillBaseForm::SetShortcutHints()
{
    for (QAction* a : alOperation) {
        if (a->shortcut().isEmpty())
            a->setToolTip(PlainCaption(a));
        else
            a->setToolTip(PlainCaption(a) + QStringLiteral(" 快捷键 ") + a->shortcut().toString(QKeySequence::NativeText));
    }
    for (QPushButton* b : {btnSaveAdd, btnOk, btnCancel})
        b->setToolTip(b->text().remove(u'&'));
}


// ====================================================================== printing, e-mail, vouchers, approvals

void TBillBaseForm::PrintFromAction(bool preview)
{
    if (!Privilege()->Print) {
        ShowInformation(kNotAuthorised, kCaptionNotice);
        return;
    }
    if (IsNewBill) {
        // With print-after-save the bill is printed as soon as it is saved.
        if (GetAccOptionValue(QStringLiteral("BILLPRINTAFTERSAVE")) == QStringLiteral("1"))
            SaveBill();
        else
            ShowInformation(QStringLiteral("新增状态不能进行打印！"), kCaptionNotice);
        return;
    }
    if (!QuerySaveChanges())
        return;
    PrintBill(preview);
    LoadBillByID(CurrentBillID);
}

void TBillBaseForm::PrintBill(bool preview)
{
    if (FPrinting)
        return;
    FPrinting = true;
    try {
        DoPrintBill(preview);
    } catch (...) {
        FPrinting = false;
        throw;
    }
    FPrinting = false;
}

TPrintBillOptions TBillBaseForm::PrintOptions(bool preview)
{
    TPrintBillOptions options;
    options.Output = preview                    ? TPrintOutput::Preview
                     : !PdfOutputFile.isEmpty() ? TPrintOutput::Pdf
                     : FPrintStraight           ? TPrintOutput::Printer
                                                : TPrintOutput::PrintDialog;
    options.PdfFile = PdfOutputFile;
    options.Parent = this;
    options.WindowID = BillType;
    return options;
}

void TBillBaseForm::DoPrintBill(bool preview)
{
    const TField* rpt = cdsMaster->FindField(QStringLiteral("RPTID"));
    const TPrintBillOptions options = PrintOptions(preview);
    TPrintBillResult result;
    if (!PrintBillWithTemplate(ReportType, rpt ? rpt->AsInteger() : 0, cdsMaster, MasterDetailBill ? cdsDetail : nullptr, options,
                               &result))
        return;
    // Only paper (or its PDF stand-in) counts as printed, also when printed from the preview.
    if (result.Printed && !IsNewBill && CurrentBillID != kNoBillID)
        MarkBillPrinted(MasterTable, KeyField, CurrentBillID);
}

QString TBillBaseForm::WriteBillAttachment()
{
    QString code = MasterValue(QStringLiteral("Code")).toString();
    if (code.isEmpty())
        code = QString::number(CurrentBillID);
    QString safe = windowTitle() + u'_' + code;
    for (QChar& c : safe)
        if (!c.isLetterOrNumber() && c != u'_' && c != u'-')
            c = u'_';
    const QString file = QDir(TempDirectory()).filePath(safe + QStringLiteral(".xml"));
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream out(&f);
        out << cdsMaster->XMLData() << '\n';
        if (MasterDetailBill && cdsDetail->Active())
            out << cdsDetail->XMLData() << '\n';
    }
    return file;
}

void TBillBaseForm::SendBillByEmail()
{
    if (IsNewBill) {
        AppShowMessage(QStringLiteral("新增状态不能发送邮件！"));
        return;
    }
    if (IsBillModified()) {
        AppShowMessage(QStringLiteral("修改状态不能发送邮件！"));
        return;
    }
    if (!ConfirmResendEmail())
        return;
    const QString file = WriteBillAttachment();
    ResetContactInfo();
    KQParams bag;
    bag.AddValue(QStringLiteral("SendTo"), ContactEmail);
    bag.AddValue(QStringLiteral("Subject"), windowTitle() + u' ' + MasterValue(QStringLiteral("Code")).toString());
    bag.AddValue(QStringLiteral("Memo"), GetMessageText());
    bag.AddValue(QStringLiteral("Attachments"), file);
    bag.AddValue(QStringLiteral("ShowEditForm"), true);
    GlobalCall(QStringLiteral("SendKQEmail"), QString(), &bag);
    if (bag.GetBool(QStringLiteral("Result"))) {
        if (QFile::exists(file))
            QFile::remove(file);
        MarkEmailSent();
        ShowInformation(QStringLiteral("邮件发送成功！"), kCaptionNotice);
    }
}

void TBillBaseForm::ViewVoucher()
{
    if (!QuerySaveChanges())
        return;
    if (IsNewBill || CurrentBillID == kNoBillID) {
        SaveAndNewBill();
        return;
    }
    TField* cred = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("credid")) : nullptr;
    if ((BillType == 12 || BillType == 19) && !cdsMaster->FindField(QStringLiteral("subid")) && !cred) {
        ShowInformation(QStringLiteral("必须输入科目!"), kCaptionNotice);
        return;
    }
    if (cred && !cred->IsNull() && cred->AsString().trimmed().isEmpty() && !IsVoucherBill()) {
        ShowInformation(QStringLiteral("没有结转成本,不能调阅凭证,请结转成本"), kCaptionNotice);
        return;
    }
    if (!cred || cred->IsNull() || cred->AsString().trimmed().isEmpty()) {
        ShowInformation(QStringLiteral("没有相应的凭证！"), kCaptionNotice);
        return;
    }
    KQParams bag;
    bag.AddValue(QStringLiteral("asOldCredID"), cred->AsString());
    GlobalCall(QStringLiteral("GOTOSPECIALCRED"), QString(), &bag);
}

bool TBillBaseForm::ApprovalRefused(int privilegeId, int action)
{
    if (IsNewBill) {
        ShowInformation(QStringLiteral("新增状态下不能引用或发起审批文件！"), kCaptionNotice);
        return true;
    }
    const QDateTime date = MasterValue(DateFieldName).toDateTime();
    if (FDocument->Session().PeriodStart.isValid() && date.isValid() && date.date() < FDocument->Session().PeriodStart) {
        ShowInformation(QStringLiteral("已月结，此功能禁止使用！"), kCaptionNotice);
        return true;
    }
    if ((BillType == 1 || BillType == 6) && MasterValue(QStringLiteral("closed")).toString() == QStringLiteral("T")) {
        ShowInformation(QStringLiteral("订单已中止，此功能禁止使用！"), kCaptionNotice);
        return true;
    }
    if (!HasNewPrivilege2(privilegeId, action, false)) {
        ShowInformation(kNotAuthorised, kCaptionNotice);
        return true;
    }
    if (IsBillModified()) {
        ShowInformation(QStringLiteral("请先保存单据!"), kCaptionNotice);
        return true;
    }
    return false;
}

void TBillBaseForm::ReferOrLaunchApprovalFile(int menuTag)
{
    const bool refer = menuTag == 3;
    if (ApprovalRefused(refer ? 614 : 615, paNew))
        return;
    KQParams bag;
    bag.AddValue(QStringLiteral("BillType"), BillType);
    bag.AddValue(QStringLiteral("BillID"), CurrentBillID);
    bag.AddValue(QStringLiteral("BillCode"), MasterValue(QStringLiteral("Code")).toString());
    bag.AddValue(QStringLiteral("BillDate"), MasterValue(DateFieldName));
    QVariant emp = MasterValue(QStringLiteral("exemanid"));
    if (emp.isNull())
        emp = MasterValue(QStringLiteral("empid"));
    bag.AddValue(QStringLiteral("EmpID"), emp);
    if (refer) {
        GlobalCall(QStringLiteral("REFERARCHIVES"), QStringLiteral("OA_ReferArchListForm"), &bag);
        return;
    }
    const QString type = QString::number(BillType);
    if (GetValuesOfSql(QStringLiteral("select templateid from oa_billflow where billtype=") + type).isEmpty()) {
        ShowInformation(QStringLiteral("请先进行业务审批设定!"), kCaptionNotice);
        return;
    }
    if (!GetValuesOfSql(QStringLiteral("select createarchid from oa_billarchives where billtype=") + type + QStringLiteral(" and billid = ") +
                        QString::number(CurrentBillID) + QStringLiteral(" and createarchid is not null"))
             .isEmpty()) {
        ShowInformation(QStringLiteral("该单据已经创建过审批文件!"), kCaptionNotice);
        return;
    }
    GlobalCall(QStringLiteral("CREATEARCHIVES"), QStringLiteral("OA_ArchivesEditForm"), &bag);
}

void TBillBaseForm::ViewApprovalFile(int menuTag)
{
    const bool referred = menuTag == 1;
    if (ApprovalRefused(referred ? 616 : 617, paBrowse))
        return;
    const QString column = referred ? QStringLiteral("referarchid") : QStringLiteral("createarchid");
    const QVariantList row = GetValuesOfSql(QStringLiteral("select ") + column + QStringLiteral(" from oa_billarchives where billtype=") +
                                            QString::number(BillType) + QStringLiteral(" and billid = ") + QString::number(CurrentBillID) +
                                            QStringLiteral(" and ") + column + QStringLiteral(" is not null"));
    if (row.isEmpty()) {
        ShowError(QStringLiteral("没有文件可以查看！"), kCaptionError);
        return;
    }
    KQParams bag;
    bag.AddValue(QStringLiteral("BillID"), CurrentBillID);
    bag.AddValue(QStringLiteral("BillType"), BillType);
    bag.AddValue(QStringLiteral("ArchID"), row.first());
    GlobalCall(QStringLiteral("BillOaForm"), QStringLiteral("OA_ArchivesEditForm"), &bag);
}

void TBillBaseForm::FindBill()
{
    if (!HasNewPrivilege2(21, paBrowse, true))
        return;
    if (ShowBillSearch)
        ShowBillSearch(this, FindCategory, FindIndex);
    else
        ShowInformation(QStringLiteral("业务查找尚不可用！"), kCaptionNotice);
}

void TBillBaseForm::ExportBill()
{
    if (IsNewBill) {
        ShowInformation(QStringLiteral("新增状态不能进行导出！"), kCaptionNotice);
        return;
    }
    DoExportBill();
}

// ====================================================================== small hooks

void TBillBaseForm::ArrangeSendButtons()
{
    btnSendMsn->move(btnSendEMail->x(), btnSendMsn->y());
    btnSendEMail->move(btnArch->x(), btnSendEMail->y());
}
void TBillBaseForm::ResetContactInfo()
{
    ContactEmail.clear();
    ContactName.clear();
    ContactPhone.clear();
}
void TBillBaseForm::MarkEmailSent() {}
bool TBillBaseForm::ConfirmResendEmail() { return true; }
QWidget* TBillBaseForm::FindDynamicEdit(const QString&) { return nullptr; }
QWidget* TBillBaseForm::GetGoodsGridHook() { return nullptr; }
void TBillBaseForm::SendInstantMessage() {}
void TBillBaseForm::MakePOrderFromSOrder() {}
void TBillBaseForm::DetailGridEditHook() {}
bool TBillBaseForm::CanEditBill() { return true; }
void TBillBaseForm::BaseHook42() {}
void TBillBaseForm::BaseHook43() {}
bool TBillBaseForm::CheckEmployee() { return true; }
int TBillBaseForm::GetNewBillID() { return kNoBillID; }
void TBillBaseForm::SelectFromChance() {}
void TBillBaseForm::SelectBillsToPayPurchase() {}
void TBillBaseForm::SelectPurchaseOrder() {}
void TBillBaseForm::SelectSalesOrder() {}
void TBillBaseForm::SelectSalesOrderForPurchase() {}
void TBillBaseForm::SelectOrderForStock() {}
void TBillBaseForm::SelectDeliveryRequest() {}
void TBillBaseForm::SelectDelivery() {}
void TBillBaseForm::SelectGoodsReceipt() {}
void TBillBaseForm::SelectCashPurchase() {}
void TBillBaseForm::SelectValuedReceipt() {}
void TBillBaseForm::SelectSalesInvoice() {}
void TBillBaseForm::SelectCashSale() {}
void TBillBaseForm::SelectConsignmentSale() {}
void TBillBaseForm::SelectConsignmentSettlement() {}
void TBillBaseForm::SelectBillsToPaySales() {}
void TBillBaseForm::SelectMaterialDraw() {}
void TBillBaseForm::ImportDetailLines() {}
void TBillBaseForm::OnDetailStateChanged(bool) {}
void TBillBaseForm::ShowPayProcess() {}
void TBillBaseForm::ShowChargeProcess() {}
void TBillBaseForm::ShowPurchaseReturnProcess() {}
void TBillBaseForm::ShowSalesReturnProcess() {}
void TBillBaseForm::ShowBackDrawProcess() {}
void TBillBaseForm::ShowAllotProcess() {}
void TBillBaseForm::SelectPurchaseApplication() {}
void TBillBaseForm::SelectSalesReturn() {}
void TBillBaseForm::SelectQuotation() {}
bool TBillBaseForm::IsVoucherBill()
{
    static const QList<int> kVoucherTypes{11, 12, 13, 15, 16, 17, 21, 22, 30, 31, 32, 33, 34, 35, 36, 38, 39, 40};
    return kVoucherTypes.contains(RelevantCredType);
}
bool TBillBaseForm::BaseHook83() { return true; }
void TBillBaseForm::BaseHook84() {}
void TBillBaseForm::DoExportBill() {}
void TBillBaseForm::SetPrice() {}
void TBillBaseForm::ShowReferBill() {}
void TBillBaseForm::CopyBatchCode() {}
void TBillBaseForm::DeleteApprovalFiles() {}
void TBillBaseForm::BaseHook92() {}
void TBillBaseForm::CheckOperatorHook() {}
QString TBillBaseForm::GetMessageText() { return QStringLiteral("您好，附件是我们的单据，请查收。"); }
int TBillBaseForm::GetBillType() { return BillType; }
void TBillBaseForm::CopyDetailLine() {}
bool TBillBaseForm::PrivilegeCallback() { return true; }
void TBillBaseForm::BaseHook106() {}
void TBillBaseForm::BaseHook107() {}
void TBillBaseForm::MakeVoucher() {}
void TBillBaseForm::SelectGoods() {}
void TBillBaseForm::RenumberDetailLines() {}
void TBillBaseForm::BeforeSubmitCheck() {}
void TBillBaseForm::BaseHook124() {}
void TBillBaseForm::BaseHook125() {}
void TBillBaseForm::BaseHook126() {}
void TBillBaseForm::UpdateMasterTotal() {}
int TBillBaseForm::GetReportType() { return ReportType; }
