#include "billcore/BillBaseForm.h"

#include "host/Host.h"
#include "platform/DBControls.h"
#include "printing/PrintBill.h"
#include "services/BillDB.h"

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
#include <QScrollArea>
#include <QTextEdit>
#include <QTextStream>
#include <QToolBar>
#include <QUuid>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kCaptionNotice = QStringLiteral("提示");
const QString kCaptionQuestion = QStringLiteral("询问");
const QString kCaptionError = QStringLiteral("错误");
const QString kCaptionWarning = QStringLiteral("警告");
const QString kNotAuthorised = QStringLiteral("您未被授权使用该功能");

bool InList(const QString& commaList, const QString& name)
{
    for (const QString& part : commaList.split(u',', Qt::SkipEmptyParts))
        if (part.trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool EditingState(const TClientDataSet* ds)
{
    return ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
}

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

// ====================================================================== construction

TBillBaseForm::TBillBaseForm(QWidget* owner) : TBillRootForm(owner)
{
    setWindowTitle(QStringLiteral("BillBaseForm"));
    cdsMaster = new TClientDataSet(this);
    cdsMaster->setObjectName(QStringLiteral("cdsMaster"));
    cdsMaster->ProviderName = QStringLiteral("dspBill");
    cdsDetail = new TClientDataSet(this);
    cdsDetail->setObjectName(QStringLiteral("cdsDetail"));
    cdsDetail->ProviderName = QStringLiteral("dspBill");
    dsMaster = new TDataSource(cdsMaster, this);
    dsDetail = new TDataSource(cdsDetail, this);
    cdsReport = new TClientQuery(this, g_DefaultCon);
    cdsReport->setObjectName(QStringLiteral("cdsReport"));
    qryMasterCopy = new TClientQuery(this, g_DefaultCon);
    qryMasterCopy->setObjectName(QStringLiteral("qryMasterCopy"));
    qryDetailCopy = new TClientQuery(this, g_DefaultCon);
    qryDetailCopy->setObjectName(QStringLiteral("qryDetailCopy"));
    ResetPrivilege();

    CreateActions();
    CreateWindowParts();
    // The voucher exists only for account sets bound to the general ledger.
    if (!AccSetData.Bind)
        ALoadCred->setVisible(false);
    ASelChance->setVisible(false);
}

TBillBaseForm::~TBillBaseForm()
{
    // Dataset events must not reach hooks of a half-destroyed form.
    for (TClientDataSet* ds : {cdsMaster, cdsDetail}) {
        ds->Silence();
        ds->AfterOpen = ds->BeforePost = ds->AfterPost = ds->OnCalcFields = ds->OnNewRecord = ds->AfterScroll = nullptr;
    }
}

TBillBaseForm* TBillBaseForm::AsBillForm(QObject* o)
{
    return qobject_cast<TBillBaseForm*>(o);
}

void TBillBaseForm::ResetPrivilege()
{
    FPrivilege = std::make_unique<TBootUnitImpl>(this, FormPrivilegeID, [this](TBootUnitImpl* p) {
        if (IsFormActive()) {
            for (const char* item : {"InsertLineItem", "DeleteLineItem", "EditItem", "DeleteItem"}) {
                KQParams bag;
                bag.AddValue(QStringLiteral("ENABLED"), !p->ReadOnly());
                GlobalCall(QStringLiteral("SETCOMPONENTENABLED"), QString::fromLatin1(item), &bag);
            }
        }
        PrivilegeCallback();
    });
    FPrivilege->SetReadOnly(FReadOnly);
}

QAction* TBillBaseForm::MakeAction(const char* name, int tag, const QString& caption, const QKeySequence& shortcut)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setData(tag);
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    addAction(a);
    connect(a, &QAction::triggered, this, [this, a] { ASaveNewExecute(a); });
    alOperation.append(a);
    return a;
}

void TBillBaseForm::CreateActions()
{
    using K = QKeySequence;
    ASaveNew = MakeAction("ASaveNew", 1, QStringLiteral("保存新增(&S)"));
    Aok = MakeAction("Aok", 2, QStringLiteral("确定(&A)"));
    ACancel = MakeAction("ACancel", 3, QStringLiteral("取消(&C)"));
    ANew = MakeAction("ANew", 4, QStringLiteral("新开单据(&N)"), K(Qt::CTRL | Qt::Key_N));
    ADeleteBill = MakeAction("ADeleteBill", 5, QStringLiteral("删除单据(&D)"), K(Qt::CTRL | Qt::Key_D));
    AFirst = MakeAction("AFirst", 6, QStringLiteral("第一单(&F)"), K(Qt::CTRL | Qt::Key_Home));
    APrev = MakeAction("APrev", 7, QStringLiteral("前单"), K(Qt::CTRL | Qt::Key_Up));
    ANext = MakeAction("ANext", 8, QStringLiteral("后单"), K(Qt::CTRL | Qt::Key_Down));
    ALast = MakeAction("ALast", 9, QStringLiteral("最后单(&L)"), K(Qt::CTRL | Qt::Key_End));
    ARefresh = MakeAction("ARefresh", 10, QStringLiteral("刷新(&R)"), K(Qt::CTRL | Qt::Key_R));
    ABillFind = MakeAction("ABillFind", 11, QStringLiteral("业务查找(&F)..."), K(Qt::CTRL | Qt::Key_F));
    ALoadCred = MakeAction("ALoadCred", 12, QStringLiteral("调阅凭证"));
    AMakeRedBill = MakeAction("AMakeRedBill", 13, QStringLiteral("单据冲红"));
    AReferFile = MakeAction("AReferFile", 14, QStringLiteral("引用审批文件"));
    ALaunchFile = MakeAction("ALaunchFile", 15, QStringLiteral("发起审批文件"));
    ALookReferFile = MakeAction("ALookReferFile", 16, QStringLiteral("查看引用文件"));
    ALookLaunchFile = MakeAction("ALookLaunchFile", 17, QStringLiteral("查看发起文件"));
    APrint = MakeAction("APrint", 18, QStringLiteral("打印"), K(Qt::CTRL | Qt::Key_P));
    APrintView = MakeAction("APrintView", 19, QStringLiteral("打印预览"));
    ACopyBill = MakeAction("ACopyBill", 20, QStringLiteral("整单复制"), K(Qt::CTRL | Qt::Key_L));
    ASelChance = MakeAction("ASelChance", 21, QStringLiteral("机会报价单"));
    ASelPay = MakeAction("ASelPay", 22, QStringLiteral("选择开单"));
    ASelOrder = MakeAction("ASelOrder", 23, QStringLiteral("选择订单"));
    ASelRecieved = MakeAction("ASelRecieved", 24, QStringLiteral("选择收货单"));
    ASelCRecieved = MakeAction("ASelCRecieved", 25, QStringLiteral("选择现款采购单"));
    ASelValueRecieved = MakeAction("ASelValueRecieved", 26, QStringLiteral("选择估价入库单"));
    ASelInvoice = MakeAction("ASelInvoice", 27, QStringLiteral("选择销售单"));
    ASelCashSale = MakeAction("ASelCashSale", 28, QStringLiteral("选择现款销售单"));
    ASelDeputeSale = MakeAction("ASelDeputeSale", 29, QStringLiteral("选择委托代销单"));
    ASelBtnLoadDetailFromFile = MakeAction("ASelBtnLoadDetailFromFile", 30, QStringLiteral("导入明细(&A)"));
    APayProcess = MakeAction("APayProcess", 31, QStringLiteral("付款过程"));
    AChargeProcess = MakeAction("AChargeProcess", 32, QStringLiteral("收款过程"));
    AReturnProcess = MakeAction("AReturnProcess", 33, QStringLiteral("退货过程"));
    ASelDeputeSettlement = MakeAction("ASelDeputeSettlement", 34, QStringLiteral("选择委托结算单"));
    AExport = MakeAction("AExport", 35, QStringLiteral("单据导出"));
    AInsertLine = MakeAction("AInsertLine", 36, QStringLiteral("增加明细(&N)"), K(Qt::CTRL | Qt::Key_Insert));
    ADeleteLine = MakeAction("ADeleteLine", 37, QStringLiteral("删除明细(&D)"), K(Qt::CTRL | Qt::Key_Delete));
    ACopyLine = MakeAction("ACopyLine", 38, QStringLiteral("复制明细(&C)"), K(Qt::SHIFT | Qt::Key_Insert));
    ASelGoods = MakeAction("ASelGoods", 39, QStringLiteral("选择货品(&G)..."));
    ASetPrice = MakeAction("ASetPrice", 40, QStringLiteral("设置价格(&P)..."));
    ASelReferTypeBill = MakeAction("ASelReferTypeBill", 41, QStringLiteral("查看引用单据(&R)"));
    ABatchCodeCopy = MakeAction("ABatchCodeCopy", 42, QStringLiteral("批号复制"));
    ASelDraw = MakeAction("ASelDraw", 43, QStringLiteral("选择领料单"));
    ASelAskDeliver = MakeAction("ASelAskDeliver", 44, QStringLiteral("ASelAskDeliver"));
    ASelDeliver = MakeAction("ASelDeliver", 45, QStringLiteral("选择配送单"));
    ABackDrawProcess = MakeAction("ABackDrawProcess", 33, QStringLiteral("退料过程"));
    AAllotProcess = MakeAction("AAllotProcess", 46, QStringLiteral("AAllotProcess"));
    ASelPurAppBill = MakeAction("ASelPurAppBill", 47, QStringLiteral("选择单据"));
    ASelSReturn = MakeAction("ASelSReturn", 48, QStringLiteral("选择销售退货单"));
    ASelQuotation = MakeAction("ASelQuotation", 49, QStringLiteral("销售报价单"));
    ASendEMail = MakeAction("ASendEMail", 50, QStringLiteral("发送邮件"));
    ASendMsn = MakeAction("ASendMsn", 51, QStringLiteral("即时沟通"));
    ASorderToPorder = MakeAction("ASorderToPorder", 52, QStringLiteral("转入采购订单"));
    APorderToSorder = MakeAction("APorderToSorder", 53, QStringLiteral("选择销售订单"));

    // Selection and history actions appear only on the bills that support them.
    for (QAction* a : {ASelChance, ASelPay, ASelOrder, ASelRecieved, ASelCRecieved, ASelValueRecieved, ASelInvoice,
                       ASelCashSale, ASelDeputeSale, APayProcess, AChargeProcess, AReturnProcess, ASelDeputeSettlement,
                       AExport, ASelReferTypeBill, ABatchCodeCopy, ASelDraw, ASelDeliver, ABackDrawProcess, ASelSReturn,
                       ASelQuotation, ASorderToPorder, APorderToSorder})
        a->setVisible(false);
    ABatchCodeCopy->setEnabled(false);
}

int TBillBaseForm::ActionCount()
{
    return 54;
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
    lineMenu->addActions({AInsertLine, ADeleteLine, ACopyLine});
    lineMenu->addSeparator();
    lineMenu->addActions({ASelGoods, ASetPrice, ASelBtnLoadDetailFromFile, ASelReferTypeBill, ABatchCodeCopy});
    connect(ItemDBGrid, &QWidget::customContextMenuRequested, this, [this, lineMenu](const QPoint& pos) {
        // A read-only bill offers the bill menu instead of line editing.
        (FReadOnly ? menuBillPupup : lineMenu)->popup(ItemDBGrid->viewport()->mapToGlobal(pos));
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
    // Bills that name only their save procedure get the delete and reverse names from it.
    if (SaveProcName.endsWith(QStringLiteral("_Save"), Qt::CaseInsensitive)) {
        const QString stem = SaveProcName.left(SaveProcName.size() - 5);
        const bool baseSave = SaveProcName == QStringLiteral("Submit_BaseBill_Save");
        if (DeleteProcName.isEmpty() || (!baseSave && DeleteProcName == QStringLiteral("Submit_BaseBill_Del")))
            DeleteProcName = stem + QStringLiteral("_Del");
        if (RedProcName.isEmpty() || (!baseSave && RedProcName == QStringLiteral("Submit_BaseBill_Red")))
            RedProcName = stem + QStringLiteral("_Red");
    }
    ResetPrivilege();
    BindDataComponents();
    spGetNewBillCodeByDate = MakeBillCodeProc();
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
    RouteDataSetEvents();

    if (!HasNewPrivilege2(227, paSpecial, false)) {
        if (!NavFilter.trimmed().isEmpty())
            NavFilter += QStringLiteral(" and opid =") + QString::number(g_iUserID);
        else
            NavFilter = QStringLiteral(" opid =") + QString::number(g_iUserID);
    }
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
    FInitialised = true;
}

std::unique_ptr<TClientStoredProc> TBillBaseForm::MakeBillCodeProc()
{
    auto sp = std::make_unique<TClientStoredProc>(g_DefaultCon, QStringLiteral("getnewbillcodebydate;1"));
    sp->Params.Add(QStringLiteral("@RETURN_VALUE"), TFieldType::ftInteger, TParamDirection::pdReturnValue);
    sp->Params.Add(QStringLiteral("@shopid"), TFieldType::ftInteger);
    sp->Params.Add(QStringLiteral("@billdate"), TFieldType::ftString, TParamDirection::pdInput, 10);
    sp->Params.Add(QStringLiteral("@masttablename"), TFieldType::ftString, TParamDirection::pdInput, 30);
    sp->Params.Add(QStringLiteral("@billcode"), TFieldType::ftString, TParamDirection::pdInputOutput, 32);
    return sp;
}

void TBillBaseForm::RouteDataSetEvents()
{
    cdsMaster->AfterOpen = [this](TClientDataSet* ds) { MasterAfterOpen(ds); };
    cdsMaster->BeforePost = [this](TClientDataSet* ds) { MasterBeforePost(ds); };
    cdsMaster->AfterPost = [this](TClientDataSet* ds) { MasterAfterPost(ds); };
    cdsMaster->OnCalcFields = [this](TClientDataSet* ds) { MasterCalcFields(ds); };
    cdsMaster->OnNewRecord = [this](TClientDataSet* ds) { MasterNewRecord(ds); };
    cdsMaster->AfterScroll = [this](TClientDataSet* ds) { MasterAfterScroll(ds); };
    if (MasterDetailBill) {
        cdsDetail->AfterOpen = [this](TClientDataSet* ds) { DetailAfterOpen(ds); };
        cdsDetail->BeforePost = [this](TClientDataSet* ds) { DetailBeforePost(ds); };
        cdsDetail->AfterPost = [this](TClientDataSet* ds) { DetailAfterPost(ds); };
        cdsDetail->OnCalcFields = [this](TClientDataSet* ds) { DetailCalcFields(ds); };
        cdsDetail->OnNewRecord = [this](TClientDataSet* ds) { DetailNewRecord(ds); };
        cdsDetail->AfterScroll = [this](TClientDataSet* ds) { DetailAfterScroll(ds); };
    }
}

void TBillBaseForm::AddLookupTable(const QString& name)
{
    for (const QString& n : FLookupNames)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return;
    FLookupNames.append(name);
}

// ====================================================================== helpers

QString TBillBaseForm::FormatBillSQL(const QString& sql, int id)
{
    QString out = sql;
    const QString idText = QString::number(id);
    int pos = 0;
    while ((pos = out.indexOf(QStringLiteral("%s"), pos)) >= 0) {
        out.replace(pos, 2, idText);
        pos += idText.size();
    }
    return out;
}

QString TBillBaseForm::BranchCondition(bool deliverySides) const
{
    const int b = AccSetData.ShopID;
    if (b == 0)
        return QString();
    const QString s = QString::number(b);
    if (deliverySides && BillType == 42)
        return QStringLiteral(" and (shopid = ") + s + QStringLiteral(" or outshopid = ") + s + QStringLiteral(" or inshopid = ") + s + QStringLiteral(")");
    return QStringLiteral(" and (shopid = ") + s + QStringLiteral(")");
}

QString TBillBaseForm::NavCondition() const
{
    return NavFilter.trimmed().isEmpty() ? QString() : QStringLiteral(" and ") + NavFilter;
}

int TBillBaseForm::MasterKeyValue() const
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty() || KeyField.isEmpty())
        return kNoBillID;
    TField* f = cdsMaster->FindField(KeyField);
    return f && !f->IsNull() ? f->AsInteger() : kNoBillID;
}

QVariant TBillBaseForm::MasterValue(const QString& field) const
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return QVariant();
    TField* f = cdsMaster->FindField(field);
    return f ? f->Value() : QVariant();
}

void TBillBaseForm::MakeFieldsWritable(TClientDataSet* ds)
{
    for (int i = 0; i < ds->FieldCount(); ++i)
        ds->Fields(i)->ReadOnly = false;
}

void TBillBaseForm::SetFlagValue(TField* f, bool on)
{
    if (!f)
        return;
    switch (f->DataType()) {
    case TFieldType::ftBoolean:
        f->SetValue(on);
        break;
    case TFieldType::ftString:
        f->SetValue(on ? QStringLiteral("T") : QStringLiteral("F"));
        break;
    default:
        f->SetValue(on ? 1 : 0);
        break;
    }
}

bool TBillBaseForm::ReadOnly() const
{
    return FReadOnly;
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

void TBillBaseForm::FormActivate()
{
    TBillRootForm::FormActivate();
    SetHostEditMenu(true);
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
    try {
        switch (sender->data().toInt()) {
        case 1: SaveAndNewBill(); break;
        case 2:
            if (SaveBill())
                close();
            break;
        case 3: close(); break;
        case 4:
            if (QuerySaveChanges())
                NewBill();
            break;
        case 5: DeleteBill(); break;
        case 6: GotoFirstBill(); break;
        case 7: GotoPriorBill(); break;
        case 8: GotoNextBill(); break;
        case 9: GotoLastBill(); break;
        case 10: RefreshBill(); break;
        case 11: FindBill(); break;
        case 12: ViewVoucher(); break;
        case 13: MakeRedBill(); break;
        case 14: ReferOrLaunchApprovalFile(3); break;
        case 15: ReferOrLaunchApprovalFile(4); break;
        case 16: ViewApprovalFile(1); break;
        case 17: ViewApprovalFile(2); break;
        case 18: PrintFromAction(false); break;
        case 19: PrintFromAction(true); break;
        case 20: CopyBill(); break;
        case 21: SelectFromChance(); break;
        case 22:
            if (CVFlag == 2)
                SelectBillsToPayPurchase();
            else if (CVFlag == 1)
                SelectBillsToPaySales();
            break;
        case 23:
            if (CVFlag == 2)
                SelectPurchaseOrder();
            else if (CVFlag == 1)
                SelectSalesOrder();
            else if (CVFlag == 3)
                SelectOrderForStock();
            break;
        case 24: SelectGoodsReceipt(); break;
        case 25: SelectCashPurchase(); break;
        case 26: SelectValuedReceipt(); break;
        case 27: SelectSalesInvoice(); break;
        case 28: SelectCashSale(); break;
        case 29: SelectConsignmentSale(); break;
        case 30: ImportDetailLines(); break;
        case 31: ShowPayProcess(); break;
        case 32: ShowChargeProcess(); break;
        case 33:
            if (CVFlag == 2)
                ShowPurchaseReturnProcess();
            else if (CVFlag == 1)
                ShowSalesReturnProcess();
            else if (CVFlag == 3)
                ShowBackDrawProcess();
            break;
        case 34: SelectConsignmentSettlement(); break;
        case 35: ExportBill(); break;
        case 36: InsertDetailLine(); break;
        case 37: DeleteDetailLine(); break;
        case 38: CopyDetailLine(); break;
        case 39: SelectGoods(); break;
        case 40: SetPrice(); break;
        case 41: ShowReferBill(); break;
        case 42: CopyBatchCode(); break;
        case 43: SelectMaterialDraw(); break;
        case 44: SelectDeliveryRequest(); break;
        case 45: SelectDelivery(); break;
        case 46: ShowAllotProcess(); break;
        case 47: SelectPurchaseApplication(); break;
        case 48: SelectSalesReturn(); break;
        case 49: SelectQuotation(); break;
        case 50: SendBillByEmail(); break;
        case 51: SendInstantMessage(); break;
        case 52: MakePOrderFromSOrder(); break;
        case 53: SelectSalesOrderForPurchase(); break;
        default: break;
        }
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowError(e.Message(), kCaptionError);
    }
}

// ====================================================================== opening and new bills

bool TBillBaseForm::OpenBill(int id)
{
    cdsMaster->DisableControls();
    cdsDetail->DisableControls();
    struct TEnable {
        TBillBaseForm* F;
        ~TEnable()
        {
            F->cdsMaster->EnableControls();
            F->cdsDetail->EnableControls();
        }
    } enable{this};
    if (cdsDetail->Active()) {
        cdsDetail->Cancel();
        cdsDetail->Close();
    }
    if (cdsMaster->Active()) {
        cdsMaster->Cancel();
        cdsMaster->Close();
    }

    TPacketParams request;
    request.Set(QStringLiteral("Count"), 1);
    request.Set(QStringLiteral("SQL1"), FormatBillSQL(MasterSQL, id));
    if (MasterDetailBill) {
        request.Set(QStringLiteral("Count"), 2);
        request.Set(QStringLiteral("SQL2"), FormatBillSQL(DetailSQL, id));
    }
    TPacketParams answer;
    try {
        answer.LoadFromString(g_DefaultCon->Proxy()->Invoke(QStringLiteral("GetClientDataSet"), request.ToString(), 30000));
    } catch (const Exception& e) {
        AppShowMessage(e.Message());
        return false;
    }
    const QString err = answer.GetString(QStringLiteral("ErrMsg"));
    if (!err.isEmpty()) {
        AppShowMessage(err);
        return false;
    }
    cdsMaster->LoadFromXMLString(answer.GetString(QStringLiteral("ClientDataSet1")));
    if (MasterDetailBill)
        cdsDetail->LoadFromXMLString(answer.GetString(QStringLiteral("ClientDataSet2")));
    MakeFieldsWritable(cdsMaster);
    MakeFieldsWritable(cdsDetail);
    WireMasterFields();
    CurrentBillID = id;
    if (id != kNoBillID)
        IsNewBill = false;
    BuildMasterArea();
    if (MasterDetailBill)
        ItemDBGrid->RecalcTotals();
    return true;
}

void TBillBaseForm::WireMasterFields()
{
    for (int i = 0; i < cdsMaster->FieldCount(); ++i)
        cdsMaster->Fields(i)->OnChange = [this](TField* f) { OnMasterFieldChanged(f); };
}

void TBillBaseForm::NewBill()
{
    if (!OpenBill(kNoBillID))
        return;
    BeforeOpenBill();
    cdsMaster->Append();
    AfterNewBillState();
    RefreshFieldState(QString());
}

void TBillBaseForm::MasterNewRecord(TClientDataSet*)
{
    InitNewMaster();
}

void TBillBaseForm::InitNewMaster()
{
    auto set = [this](const QString& name, const QVariant& v) {
        if (TField* f = cdsMaster->FindField(name))
            f->SetValue(v);
    };
    auto flag = [this](const QString& name, bool on) { SetFlagValue(cdsMaster->FindField(name), on); };
    if (!DateFieldName.isEmpty())
        set(DateFieldName, NewBillDateTime());
    if (!KeyField.isEmpty())
        set(KeyField, kNoBillID);
    set(QStringLiteral("OPID"), g_iUserID);
    set(QStringLiteral("OPName"), g_asUserName);
    set(QStringLiteral("SFlag"), 0);
    flag(QStringLiteral("CLOSED"), false);
    set(QStringLiteral("SHOPID"), AccSetData.ShopID);
    set(QStringLiteral("SHOPNAME"), AccSetData.ShopName);
    set(QStringLiteral("Flag"), 0);
    if (cdsReport->Active() && !cdsReport->IsEmpty()) {
        cdsReport->First();
        set(QStringLiteral("RPTID"), cdsReport->FieldByName(QStringLiteral("rptid"))->Value());
    }
    flag(QStringLiteral("printed"), false);
    set(QStringLiteral("refercount"), 0);
    for (const char* name : {"amount", "totalamt", "totalpaid", "totalreturn", "taxrate", "totalrcvd", "checkamt"})
        set(QString::fromLatin1(name), 0);
    flag(QStringLiteral("finished"), false);
}

void TBillBaseForm::AfterNewBillState()
{
    IsNewBill = true;
    NewBillRequestID = QUuid::createUuid().toString(QUuid::WithoutBraces);
    Modified = false;
    ANext->setEnabled(false);
    APrev->setEnabled(true);
    UpdateBillState();
}

QString TBillBaseForm::GetNewBillCode(const QString& dateText)
{
    if (!spGetNewBillCodeByDate)
        spGetNewBillCodeByDate = MakeBillCodeProc();
    TClientStoredProc& sp = *spGetNewBillCodeByDate;
    sp.Params.ParamByName(QStringLiteral("@shopid")).Value = AccSetData.ShopID;
    sp.Params.ParamByName(QStringLiteral("@billdate")).Value = dateText;
    sp.Params.ParamByName(QStringLiteral("@masttablename")).Value = MasterTable;
    sp.Params.ParamByName(QStringLiteral("@billcode")).Value = QString();
    sp.ExecProc();
    return sp.Params.Value(QStringLiteral("@billcode")).toString();
}

void TBillBaseForm::OnMasterFieldChanged(TField* field)
{
    const QString name = field->FieldName().toUpper();
    if (name == QStringLiteral("BILLDATE")) {
        if (field->IsNull())
            return;
        TField* code = cdsMaster->FindField(QStringLiteral("Code"));
        if (!code)
            return;
        try {
            code->SetValue(GetNewBillCode(field->AsDateTime().date().toString(QStringLiteral("yyyy-MM-dd"))));
        } catch (const Exception& e) {
            // The server numbers a bill saved without a code, so a failure here only costs the preview.
            WriteLog(QStringLiteral("GetNewBillCode: ") + e.Message());
        }
    } else if (name == QStringLiteral("EMPID") || name == QStringLiteral("EXEMANID")) {
        OnEmployeeChanged(field);
    }
}

void TBillBaseForm::OnEmployeeChanged(TField* field)
{
    if (field->IsNull())
        return;
    const QVariantList row = GetValuesOfSql(QStringLiteral("select Name,Department from Employ where empid =") + QString::number(field->AsInteger()));
    if (row.size() < 2)
        return;
    if (TField* f = cdsMaster->FindField(QStringLiteral("EmpName")))
        f->SetValue(row[0]);
    if (TField* f = cdsMaster->FindField(QStringLiteral("Department")))
        f->SetValue(row[1]);
    else if (TField* f = cdsMaster->FindField(QStringLiteral("DepartmentID")))
        f->SetValue(row[1]);
}

// ====================================================================== changes

bool TBillBaseForm::IsBillModified()
{
    if (Modified)
        return true;
    bool answer = false;
    if (cdsMaster->Active()) {
        if (cdsMaster->State() == TDataSetState::dsInsert) {
            answer = cdsMaster->Modified();
        } else {
            if (cdsMaster->State() == TDataSetState::dsEdit)
                cdsMaster->Post();
            answer = cdsMaster->ChangeCount() > 0;
        }
    }
    if (MasterDetailBill && cdsDetail->Active()) {
        if (EditingState(cdsDetail)) {
            // A blank line the user only opened counts for nothing.
            if (cdsDetail->State() == TDataSetState::dsInsert && !cdsDetail->Modified())
                cdsDetail->Cancel();
            else
                cdsDetail->Post();
        }
        answer = answer || cdsDetail->ChangeCount() > 0;
    }
    Modified = answer;
    return answer;
}

void TBillBaseForm::DiscardChanges()
{
    OpenBill(CurrentBillID);
    Modified = false;
}

bool TBillBaseForm::QuerySaveChanges()
{
    if (!IsBillModified())
        return true;
    const int answer = ShowYesNoCancelQuestion(QStringLiteral("数据没有保存，保存数据？"), kCaptionQuestion);
    if (answer == IDYES)
        return SaveBill();
    if (answer == IDNO) {
        DiscardChanges();
        return true;
    }
    return false;
}

// ====================================================================== loading and navigating

int TBillBaseForm::FindBillByID(int id)
{
    QString sql = QStringLiteral(" select top 1 ") + KeyField + QStringLiteral(" from ") + MasterTable + QStringLiteral(" where ") + KeyField +
                  QStringLiteral(" = :'BillID'") + BranchCondition(true) + NavCondition();
    std::unique_ptr<TClientQuery> q(CreateAutoQuery(nullptr, sql, false));
    q->SetParam(QStringLiteral("BillID"), id);
    q->OpenQuery();
    if (q->IsEmpty()) {
        ShowInformation(QStringLiteral("该单据已不存在或者您无权查看该单据！"), kCaptionNotice);
        return kNoBillID;
    }
    return q->Fields(0)->AsInteger();
}

bool TBillBaseForm::LoadBillByID(int id)
{
    if (!QuerySaveChanges())
        return false;
    if (FindBillByID(id) != kNoBillID) {
        OpenBill(id);
        UpdateBillState();
        APrev->setEnabled(true);
        return true;
    }
    NewBill();
    return false;
}

int TBillBaseForm::NavigateQuery(const QString& where, const QString& order, const QString& code, const QVariant& billDate)
{
    const QString sql = QStringLiteral(" select top 1 ") + KeyField + QStringLiteral(" from ") + MasterTable + where + order;
    std::unique_ptr<TClientQuery> q(CreateAutoQuery(nullptr, sql, false));
    const QStringList names = q->ParamNames();
    for (const QString& n : names) {
        if (n.compare(QStringLiteral("OldBillCode"), Qt::CaseInsensitive) == 0)
            q->SetParam(n, code);
        else
            q->SetParam(n, billDate);
    }
    q->OpenQuery();
    return q->IsEmpty() ? kNoBillID : q->Fields(0)->AsInteger();
}

int TBillBaseForm::GetFirstBillID()
{
    return NavigateQuery(QStringLiteral(" where 1 = 1") + BranchCondition() + NavCondition(), QStringLiteral(" order by BillDate  , Code  "),
                         QString(), QVariant());
}

int TBillBaseForm::GetPriorBillID(const QString& code, const QVariant& billDate)
{
    return NavigateQuery(QStringLiteral(" where ((BillDate = :'OldBillDate1' and code < :'OldBillCode')   ") +
                             QStringLiteral(" or (BillDate < :'OldBillDate2' )) ") + BranchCondition() + NavCondition(),
                         QStringLiteral(" order by BillDate Desc , Code Desc "), code, billDate);
}

int TBillBaseForm::GetNextBillID(const QString& code, const QVariant& billDate)
{
    return NavigateQuery(QStringLiteral(" where  ((BillDate = :'OldBillDate1' and code > :'OldBillCode')   ") +
                             QStringLiteral(" or (BillDate > :'OldBillDate2' )) ") + BranchCondition() + NavCondition(),
                         QStringLiteral(" order by BillDate , Code "), code, billDate);
}

int TBillBaseForm::GetLastBillID()
{
    return NavigateQuery(QStringLiteral(" where 1 = 1") + BranchCondition() + NavCondition(), QStringLiteral(" order by BillDate Desc , Code Desc "),
                         QString(), QVariant());
}

void TBillBaseForm::GotoFirstBill()
{
    if (!QuerySaveChanges())
        return;
    const int id = GetFirstBillID();
    if (id == kNoBillID) {
        NewBill();
        return;
    }
    OpenBill(id);
    UpdateBillState();
    ANext->setEnabled(true);
    APrev->setEnabled(false);
}

void TBillBaseForm::OpenLastBill()
{
    const int id = GetLastBillID();
    if (id == kNoBillID) {
        NewBill();
        return;
    }
    OpenBill(id);
    UpdateBillState();
    APrev->setEnabled(true);
    ANext->setEnabled(true);
}

void TBillBaseForm::GotoPriorBill()
{
    if (!QuerySaveChanges())
        return;
    if (IsNewBill) {
        OpenLastBill();
        return;
    }
    const int id = GetPriorBillID(MasterValue(QStringLiteral("Code")).toString(), MasterValue(QStringLiteral("BillDate")));
    if (id == kNoBillID) {
        OpenBill(CurrentBillID);
        UpdateBillState();
        APrev->setEnabled(false);
        return;
    }
    OpenBill(id);
    UpdateBillState();
    ANext->setEnabled(true);
}

void TBillBaseForm::GotoNextBill()
{
    if (!QuerySaveChanges())
        return;
    const int id = GetNextBillID(MasterValue(QStringLiteral("Code")).toString(), MasterValue(QStringLiteral("BillDate")));
    if (id == kNoBillID) {
        NewBill();
        return;
    }
    OpenBill(id);
    UpdateBillState();
    APrev->setEnabled(true);
}

void TBillBaseForm::GotoLastBill()
{
    if (!QuerySaveChanges())
        return;
    OpenLastBill();
}

void TBillBaseForm::RefreshBill()
{
    if (!IsNewBill) {
        OpenBill(CurrentBillID);
        UpdateBillState();
    }
    for (const QString& name : FLookupNames) {
        GlobalCall(QStringLiteral("CLOSELOOKUPTABLE"), name);
        GlobalCall(QStringLiteral("OPENLOOKUPTABLE"), name);
    }
}

// ====================================================================== saving

bool TBillBaseForm::SaveBill()
{
    try {
        if (!IsBillModified())
            return true;
        if (IsOnline() && BillType != 29 && BillType != 40) {
            TField* shop = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("ShopID")) : nullptr;
            if (shop && !shop->IsNull() && shop->AsInteger() != AccSetData.ShopID) {
                ShowMsgBox(QStringLiteral("您不能修改分支机构的单据！"), kCaptionWarning, MB_OK | MB_ICONEXCLAMATION);
                return false;
            }
        }
        if (IsNewBill) {
            if (!Privilege()->New) {
                ShowError(QStringLiteral("您没有新增操作权限"), kCaptionError);
                return false;
            }
        } else if (!Privilege()->Edit) {
            return false;
        }
        SetMasterSystemFields();
        if (!PostAndValidate())
            return false;
        if (!ExecuteSaveProc())
            return false;
        AfterSaveBill();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const Exception& e) {
        ShowError(e.Message(), kCaptionError);
        return false;
    }
}

bool TBillBaseForm::SaveAndNewBill()
{
    if (SaveBill())
        NewBill();
    return true;
}

void TBillBaseForm::SetMasterSystemFields()
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    if (TField* op = cdsMaster->FindField(QStringLiteral("opid")); op && (op->IsNull() || op->AsInteger() != g_iUserID))
        op->SetValue(g_iUserID);
    if (!IsNewBill)
        TouchUpdateTime();
}

void TBillBaseForm::TouchUpdateTime()
{
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    TField* f = cdsMaster->FindField(QStringLiteral("UpdateTime"));
    if (!f)
        return;
    const bool pending = cdsMaster->UpdateStatus() != TUpdateStatus::usUnmodified ||
                         (cdsMaster->State() == TDataSetState::dsEdit && cdsMaster->Modified()) ||
                         cdsMaster->State() == TDataSetState::dsInsert;
    if (pending)
        return;
    // The master row must travel in the delta so that the server can compare its update
    // time with the stored one. A post that changes nothing is not logged, so the row gets
    // a fresh stamp; the server writes its own time anyway.
    QDateTime stamp = QDateTime::currentDateTime();
    stamp.setTime(QTime(stamp.time().hour(), stamp.time().minute(), stamp.time().second()));
    if (!f->IsNull() && f->AsDateTime() == stamp)
        stamp = stamp.addSecs(1);
    f->SetValue(stamp);
    cdsMaster->Post();
}

void TBillBaseForm::DiscardPendingTouch()
{
    cdsMaster->Cancel();
    cdsMaster->CancelUpdates();
    Modified = false;
}

bool TBillBaseForm::PostAndValidate()
{
    try {
        SetDataSetPost(cdsMaster);
        if (MasterDetailBill)
            SetDataSetPost(cdsDetail);
    } catch (const Exception& e) {
        // The dataset refuses a required column without a value on posting; the checks
        // name the column the way users know it, so they speak first.
        if (ValidateMaster() && ValidateSourceLines() && ValidateDetail())
            ShowError(e.Message(), kCaptionError);
        return false;
    }
    return ValidateMaster() && ValidateSourceLines() && ValidateDetail();
}

bool TBillBaseForm::ValidateRequiredFields(TClientDataSet* ds)
{
    if (!ds->Active() || ds->IsEmpty())
        return true;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        if (!f->Required || f->FieldKind() != TFieldKind::fkData)
            continue;
        const bool floating = f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftCurrency;
        if (floating && f->AsString().isEmpty()) {
            f->SetValue(0);
            ds->Post();
            continue;
        }
        if (f->IsNull() || (f->DataType() == TFieldType::ftString && f->AsString().isEmpty())) {
            ShowError(QStringLiteral("字段:[") + f->DisplayName() + QStringLiteral("]不能为空."), kCaptionError);
            if (ds == cdsMaster) {
                if (QWidget* w = MasterPanel->findChild<QWidget*>(QStringLiteral("ed") + f->FieldName()))
                    w->setFocus();
            } else if (ItemDBGrid) {
                ItemDBGrid->setFocus();
            }
            return false;
        }
    }
    return true;
}

bool TBillBaseForm::ValidateMaster()
{
    if (FReadOnly) {
        ShowInformation(QStringLiteral("该单据状态为只读状态不能保存！"), kCaptionNotice);
        return false;
    }
    return ValidateRequiredFields(cdsMaster);
}

bool TBillBaseForm::ValidateSourceLines()
{
    if (LinesFromSourceBills && MasterDetailBill && (!cdsDetail->Active() || cdsDetail->IsEmpty())) {
        ShowInformation(QStringLiteral("请选择明细单据！"), kCaptionNotice);
        return false;
    }
    return true;
}

bool TBillBaseForm::ValidateDetail()
{
    if (!MasterDetailBill || !cdsDetail->Active())
        return true;
    const int keep = cdsDetail->RecNo();
    cdsDetail->First();
    while (!cdsDetail->Eof()) {
        if (!ValidateRequiredFields(cdsDetail))
            return false; // the offending line stays current
        cdsDetail->Next();
    }
    if (keep > 0)
        cdsDetail->SetRecNo(keep);
    return true;
}

void TBillBaseForm::BuildSavePacket(TPacketParams& p)
{
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("SubmitType"))->SetAsString(QStringLiteral("BillSubmit"));
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("BillCaption"))->SetAsString(windowTitle());
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("Bind"))->SetAsBoolean(AccSetData.Bind);
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("IsAddNew"))->SetAsBoolean(IsNewBill);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantBillType"))->SetAsInteger(BillType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CVFlag"))->SetAsInteger(CVFlag);
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("MasterDetailBill"))->SetAsBoolean(MasterDetailBill);
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("MasterAmountFieldName"))->SetAsString(MasterAmountFieldName);
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("AmountFieldName"))->SetAsString(AmountFieldName);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantCredType"))->SetAsInteger(RelevantCredType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("ShopID"))->SetAsInteger(AccSetData.ShopID);
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("MasterDelta"))->SetAsString(GetDeltaXML(cdsMaster));
    if (MasterDetailBill)
        p.CreatePacketParam(TFieldType::ftString, QStringLiteral("DetailDelta"))->SetAsString(GetDeltaXML(cdsDetail));
    if (IsNewBill)
        p.CreatePacketParam(TFieldType::ftString, QStringLiteral("RequestID"))->SetAsString(NewBillRequestID);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CheckStep"))->SetAsInteger(0);
}

void TBillBaseForm::BuildDeletePacket(TPacketParams& p)
{
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("SubmitType"))->SetAsString(QStringLiteral("BillSubmit"));
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("BillCaption"))->SetAsString(windowTitle());
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("Bind"))->SetAsBoolean(AccSetData.Bind);
    p.CreatePacketParam(TFieldType::ftBoolean, QStringLiteral("IsAddNew"))->SetAsBoolean(IsNewBill);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CurrBillID"))->SetAsInteger(CurrentBillID);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CVFlag"))->SetAsInteger(CVFlag);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantBillType"))->SetAsInteger(BillType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("DBBillType"))->SetAsInteger(DBBillType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("RelevantCredType"))->SetAsInteger(RelevantCredType);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("ShopID"))->SetAsInteger(AccSetData.ShopID);
    const QVariant date = MasterValue(DateFieldName);
    // a bill another user deleted reloads without a date: the server then says it is gone
    const QDateTime billDate = date.toDateTime();
    p.CreatePacketParam(TFieldType::ftDateTime, QStringLiteral("BillDate"))->Value = billDate.isValid() ? QVariant(billDate) : QVariant();
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("MasterDelta"))->SetAsString(GetDeltaXML(cdsMaster));
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("DetailDelta"))->SetAsString(MasterDetailBill ? GetDeltaXML(cdsDetail) : QString());
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CheckStep"))->SetAsInteger(0);
}

void TBillBaseForm::BuildRedPacket(TPacketParams& p)
{
    BuildDeletePacket(p);
    QString code;
    try {
        code = GetNewBillCode(NewBillDateTime().date().toString(QStringLiteral("yyyy-MM-dd")));
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("GetNewBillCode: ") + e.Message()); // the server numbers it then
    }
    p.CreatePacketParam(TFieldType::ftString, QStringLiteral("NewBillCode"))->SetAsString(code);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("UserID"))->SetAsInteger(g_iUserID);
    p.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("opid"))->SetAsInteger(g_iUserID);
}

int TBillBaseForm::SubmitPacket(const QString& procName, TPacketParams& request, TPacketParams& answer)
{
    bool again = true;
    int errNo = -1;
    while (again) {
        again = false;
        QString reply;
        try {
            reply = g_DefaultCon->Proxy()->Invoke(procName, request.ToString(), 120000);
        } catch (const Exception& e) {
            ShowError(e.Message(), kCaptionError);
            return -1;
        }
        answer.Clear();
        answer.LoadFromString(reply);
        errNo = answer.GetInt(QStringLiteral("ErrNo"));
        if (errNo > 1000 && CheckOnHandDialog(errNo, request, answer))
            again = true;
    }
    return errNo;
}

bool TBillBaseForm::ExecuteSaveProc()
{
    SetDataSetPost(cdsMaster);
    if (MasterDetailBill)
        SetDataSetPost(cdsDetail);
    TPacketParams request, answer;
    BuildSavePacket(request);
    const int errNo = SubmitPacket(SaveProcName, request, answer);
    if (errNo == 0) {
        if (IsNewBill)
            CurrentBillID = answer.GetInt(QStringLiteral("NewBillID"), kNoBillID);
        const QString tips = answer.GetString(QStringLiteral("BillCodeTips"));
        if (!tips.isEmpty())
            ShowInformation(tips, kCaptionNotice);
        return true;
    }
    if (errNo == 1) {
        const QString title = answer.GetString(QStringLiteral("ErrTitle"));
        ShowError(answer.GetString(QStringLiteral("ErrMsg")), title.isEmpty() ? kCaptionError : title);
    }
    return false;
}

void TBillBaseForm::AfterSaveBill()
{
    const bool wasNew = IsNewBill;
    // Prices may have moved with this bill (last purchase price, cost): forget the cache.
    BillDBAfterSaveBill();
    OpenBill(CurrentBillID);
    SendBillMessage();
    ANext->setEnabled(true);
    APrev->setEnabled(true);
    Modified = false;
    if (wasNew && GetAccOptionValue(QStringLiteral("BILLPRINTAFTERSAVE")) == QStringLiteral("1") && Privilege()->Print)
        PrintBill(false);
    IsNewBill = false;
    UpdateBillState();
}

// ====================================================================== server checks

QString TBillBaseForm::StockCheckIntro(int errNo)
{
    switch (errNo) {
    case 1501:
        return GetAccOptionValue(QStringLiteral("WARNWHILEZEROONHAND")) == QStringLiteral("1")
                   ? QStringLiteral("以下货品的库存将为零或负数:")
                   : QStringLiteral("以下货品的库存将为负数:");
    case 1502:
        return QStringLiteral("以下批次的库存将为负数:");
    case 1503:
        return QStringLiteral("以下货品的库存超出库存上限或低于库存下限:");
    default:
        return QString();
    }
}

bool TBillBaseForm::DefaultStockCheckDialog(TBillBaseForm*, int, const QString& intro, const TPacketParams& answer)
{
    return ShowYesNoQuestion(intro + u'\n' + answer.GetString(QStringLiteral("ErrMsg")) + QStringLiteral("\n\n是否继续保存？"),
                             QStringLiteral("库存检查"));
}

bool TBillBaseForm::DefaultPriceCheckDialog(TBillBaseForm* form, bool allowed, const TPacketParams& answer)
{
    const QString intro = form->CVFlag == 1 ? QStringLiteral("以下货品的售价低于最低售价:") : QStringLiteral("以下货品的进价高于最高进价:");
    const QString text = intro + u'\n' + answer.GetString(QStringLiteral("ErrMsg"));
    if (!allowed) {
        ShowError(text + QStringLiteral("\n\n您没有权限保存该单据！"), kCaptionError);
        return false;
    }
    return ShowYesNoQuestion(text + QStringLiteral("\n\n是否继续保存？"), QStringLiteral("价格检查"));
}

bool TBillBaseForm::CheckOnHandDialog(int errNo, TPacketParams& request, TPacketParams& answer)
{
    bool accepted = false;
    if (errNo == 1501 || errNo == 1502 || errNo == 1503) {
        accepted = StockCheckDialog && StockCheckDialog(this, errNo, StockCheckIntro(errNo), answer);
    } else if (errNo == 1401) {
        int privilegeId = 0;
        QString option;
        if (CVFlag == 1) {
            privilegeId = 360;
            option = QStringLiteral("CHECKMINSALEPRICE");
        } else if (CVFlag == 2) {
            privilegeId = 359;
            option = QStringLiteral("CHECKMAXBUYPRICE");
        } else {
            return false;
        }
        if (GetAccOptionValue(option) != QStringLiteral("1")) {
            accepted = true; // the check is switched off for this side
        } else {
            const bool allowed = GetUPrivilegeItem(privilegeId, paSpecial);
            accepted = PriceCheckDialog && PriceCheckDialog(this, allowed, answer) && allowed;
        }
    }
    if (accepted)
        request.CreatePacketParam(TFieldType::ftInteger, QStringLiteral("CheckStep"))->SetAsInteger(errNo + 1);
    return accepted;
}

// ====================================================================== deleting, reversing, copying

bool TBillBaseForm::CanDeleteBill()
{
    if (FReadOnly) {
        ShowInformation(QStringLiteral("该单据状态为只读状态不能删除！"), kCaptionNotice);
        return false;
    }
    return true;
}

bool TBillBaseForm::DeleteBill()
{
    if (!Privilege()->Delete) {
        ShowMsgBox(QStringLiteral("您没有删除该单据的权限或者该单不能被删除！"), kCaptionError, MB_OK | MB_ICONERROR);
        return false;
    }
    if (!IsOnline()) {
        TField* shop = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("ShopID")) : nullptr;
        if (shop && !shop->IsNull() && shop->AsInteger() != AccSetData.ShopID) {
            ShowMsgBox(QStringLiteral("您不能删除别的机构的单据！"), kCaptionWarning, MB_OK | MB_ICONWARNING);
            return false;
        }
    }
    if (!CanDeleteBill())
        return false;
    if (!ShowYesNoQuestion(QStringLiteral("单据被删除后将不能恢复，是否真的删除本单？"), kCaptionNotice))
        return false;
    if (IsNewBill) {
        NewBill();
        return true;
    }
    DiscardChanges();
    TouchUpdateTime();
    TPacketParams request, answer;
    BuildDeletePacket(request);
    const int errNo = SubmitPacket(DeleteProcName, request, answer);
    DiscardPendingTouch();
    if (errNo == 0) {
        GotoNextBill();
        return true;
    }
    if (errNo == 1)
        ShowError(answer.GetString(QStringLiteral("ErrMsg")), answer.GetString(QStringLiteral("ErrTitle"), kCaptionError));
    return false;
}

bool TBillBaseForm::CanMakeRedBill()
{
    if (!Privilege()->Edit)
        return false;
    if (IsNewBill || !cdsMaster->Active() || !cdsMaster->FindField(QStringLiteral("ReferBillID")))
        return false;
    const int flag = MasterValue(QStringLiteral("flag")).toInt();
    if (flag == 1) {
        ShowInformation(QStringLiteral("此单已冲红，不能再做！"), kCaptionNotice);
        return false;
    }
    if (flag == 2) {
        ShowInformation(QStringLiteral("此单不能冲红，除非删除！"), kCaptionNotice);
        return false;
    }
    return true;
}

bool TBillBaseForm::MakeRedBill()
{
    if (!HasNewPrivilege2(FormPrivilegeID, paRed, true))
        return false;
    if (!QuerySaveChanges())
        return false;
    if (!CanMakeRedBill())
        return false;
    if (!ShowYesNoQuestion(QStringLiteral("本单执行冲红操作后，对应的红单将即时保存，是否继续？"), kCaptionQuestion))
        return false;
    TouchUpdateTime();
    TPacketParams request, answer;
    BuildRedPacket(request);
    const int errNo = SubmitPacket(RedProcName, request, answer);
    DiscardPendingTouch();
    if (errNo == 1)
        ShowError(answer.GetString(QStringLiteral("ErrMsg")), answer.GetString(QStringLiteral("ErrTitle"), kCaptionError));
    else if (errNo == 0 && !answer.GetString(QStringLiteral("BillCodeTips")).isEmpty())
        ShowInformation(answer.GetString(QStringLiteral("BillCodeTips")), kCaptionNotice);
    LoadBillByID(CurrentBillID);
    return errNo == 0;
}

void TBillBaseForm::CopyBill()
{
    if (IsNewBill || CurrentBillID == kNoBillID) {
        AppShowMessage(QStringLiteral("新增状态不能进行整单复制!"));
        return;
    }
    const QVariant shop = MasterValue(QStringLiteral("ShopID"));
    if (!shop.isNull() && shop.toInt() != AccSetData.ShopID) {
        AppShowMessage(QStringLiteral("不能复制其他分支机构的单据!"));
        return;
    }
    if (!QuerySaveChanges())
        return;
    const int source = CurrentBillID;
    qryMasterCopy->SetConnection(g_DefaultCon);
    qryMasterCopy->SQL = FormatBillSQL(MasterSQL, source);
    qryMasterCopy->OpenQuery();
    if (MasterDetailBill) {
        qryDetailCopy->SetConnection(g_DefaultCon);
        qryDetailCopy->SQL = FormatBillSQL(DetailSQL, source);
        qryDetailCopy->OpenQuery();
    }
    NewBill();
    if (!cdsMaster->Active() || qryMasterCopy->IsEmpty())
        return;
    const QString newCode = MasterValue(QStringLiteral("Code")).toString();
    for (int i = 0; i < qryMasterCopy->FieldCount(); ++i) {
        TField* src = qryMasterCopy->Fields(i);
        // The key stays the new-bill marker whatever the exclusion list says.
        if (src->FieldName().compare(KeyField, Qt::CaseInsensitive) == 0 || InList(CopyExcludedMasterFields, src->FieldName()))
            continue;
        TField* dst = cdsMaster->FindField(src->FieldName());
        if (dst && dst->FieldKind() == TFieldKind::fkData)
            dst->SetValue(src->Value());
    }
    // A copy never keeps the number of the bill it came from.
    if (TField* code = cdsMaster->FindField(QStringLiteral("Code")); code && code->AsString() == qryMasterCopy->FindField(QStringLiteral("Code"))->AsString())
        code->SetValue(newCode);
    if (MasterDetailBill && cdsDetail->Active()) {
        for (qryDetailCopy->First(); !qryDetailCopy->Eof(); qryDetailCopy->Next()) {
            cdsDetail->Append();
            for (int i = 0; i < qryDetailCopy->FieldCount(); ++i) {
                TField* src = qryDetailCopy->Fields(i);
                if (src->FieldName().compare(KeyField, Qt::CaseInsensitive) == 0 || InList(CopyExcludedDetailFields, src->FieldName()))
                    continue;
                TField* dst = cdsDetail->FindField(src->FieldName());
                if (dst && dst->FieldKind() == TFieldKind::fkData)
                    dst->SetValue(src->Value());
            }
            cdsDetail->Post();
        }
        cdsDetail->First();
    }
    qryMasterCopy->Close();
    qryDetailCopy->Close();
    RefreshFieldState(QString());
}

// ====================================================================== closing

bool TBillBaseForm::FormCloseQuery()
{
    if (!IsBillModified())
        return true;
    const int answer = ShowMsgBox(QStringLiteral("当前单数据没有保存，保存数据？"), kCaptionQuestion, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES)
        return SaveBill();
    if (answer == IDNO) {
        cdsMaster->Cancel();
        cdsDetail->Cancel();
        cdsMaster->CancelUpdates();
        cdsDetail->CancelUpdates();
        Modified = false;
        return true;
    }
    return false;
}

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

// ====================================================================== state and read-only rules

bool TBillBaseForm::IsReadOnlyBill()
{
    if (IsNewBill || !cdsMaster->Active() || cdsMaster->IsEmpty())
        return false;
    if (!Privilege()->Edit)
        return true;
    if (BillType != 29 && BillType != 40) {
        TField* shop = cdsMaster->FindField(QStringLiteral("ShopID"));
        if (shop && !shop->IsNull() && shop->AsInteger() != AccSetData.ShopID)
            return true;
    }
    if (!HasNewPrivilege2(228, paSpecial, false)) {
        TField* op = cdsMaster->FindField(QStringLiteral("opid"));
        if (op && !op->IsNull() && op->AsInteger() != g_iUserID)
            return true;
    }
    return false;
}

void TBillBaseForm::UpdateBillState()
{
    if (!KeyField.isEmpty() && cdsMaster->Active())
        CurrentBillID = MasterKeyValue();
    SetReadOnly(IsReadOnlyBill());
    RefreshFieldState(QString());
    for (QWidget* w : MasterPanel->findChildren<QWidget*>()) {
        if (w->isEnabled() && w->focusPolicy() != Qt::NoFocus && !qobject_cast<QLabel*>(w)) {
            w->setFocus();
            break;
        }
    }
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
        if (control)
            w->setEnabled(!flag);
        else
            SetReadOnlyWalk(w, flag);
    }
}

void TBillBaseForm::SetReadOnly(bool flag)
{
    if (flag == FReadOnly)
        return;
    FReadOnly = flag;
    Privilege()->SetReadOnly(flag);
    SetReadOnlyWalk(BodyPanel, flag);
    OnDetailStateChanged(flag);
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
        if (FReadOnly)
            editor->setEnabled(false);
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
    answer.LoadFromString(g_DefaultCon->Proxy()->Invoke(QStringLiteral("GetClientDataSet"), request.ToString(), 30000));
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
    cdsReport->SetConnection(g_DefaultCon);
    cdsReport->SQL = QStringLiteral(" select * from report where rptid > 0 and rpttype = ") + QString::number(ReportType) + QStringLiteral(" order by rptname ");
    dlgcRptStyle->clear();
    try {
        cdsReport->OpenQuery();
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("%1: %2").arg(windowTitle(), e.Message()));
        return;
    }
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

void TBillBaseForm::DoPrintBill(bool preview)
{
    const TField* rpt = cdsMaster->FindField(QStringLiteral("RPTID"));
    TPrintBillOptions options;
    options.Output = preview ? TPrintOutput::Preview : (PdfOutputFile.isEmpty() ? TPrintOutput::Printer : TPrintOutput::Pdf);
    options.PdfFile = PdfOutputFile;
    options.Parent = this;
    options.WindowID = BillType;
    if (!PrintBillWithTemplate(ReportType, rpt ? rpt->AsInteger() : 0, cdsMaster, MasterDetailBill ? cdsDetail : nullptr, options))
        return;
    // Only paper (or its PDF stand-in) counts as printed; a preview leaves the mark alone.
    if (!preview && !IsNewBill && CurrentBillID != kNoBillID)
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
    if (AccSetData.PeriodStart.isValid() && date.isValid() && date.date() < AccSetData.PeriodStart) {
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

// ====================================================================== detail lines

void TBillBaseForm::MasterAfterOpen(TClientDataSet*)
{
    WireMasterFields();
    if (TField* code = cdsMaster->FindField(QStringLiteral("Code")); code && code->DisplayLabel.isEmpty())
        code->DisplayLabel = QStringLiteral("单据编号");
}

void TBillBaseForm::DetailAfterOpen(TClientDataSet* ds)
{
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        f->OnChange = [this](TField* field) { DetailFieldChangeGuarded(field); };
        f->OnValidate = [this](TField* field) { DetailFieldValidate(field); };
    }
    for (const QString& name : RequiredDetailFields.split(u',', Qt::SkipEmptyParts))
        if (TField* f = ds->FindField(name.trimmed()))
            f->Required = true;
}

void TBillBaseForm::DetailNewRecord(TClientDataSet* ds)
{
    if (TField* item = ds->FindField(QStringLiteral("ItemNo"))) {
        int next = 0;
        for (int row = 0; row < ds->RecordCount(); ++row) {
            const QVariant v = ds->RowValue(row, item->Index());
            if (!v.isNull())
                next = qMax(next, v.toInt());
        }
        item->SetValue(next + 1);
    }
    if (!KeyField.isEmpty() && CurrentBillID != kNoBillID)
        if (TField* key = ds->FindField(KeyField))
            key->SetValue(CurrentBillID);
    SetFlagValue(ds->FindField(QStringLiteral("ispresent")), false);
    for (const char* name : {"returnqty", "refercount", "rcvdqty"})
        if (TField* f = ds->FindField(QString::fromLatin1(name)))
            f->SetValue(0);
}

void TBillBaseForm::DetailFieldChangeGuarded(TField* field)
{
    if (FInDetailFieldChange)
        return;
    FInDetailFieldChange = true;
    try {
        DetailFieldChanged(field);
    } catch (...) {
        FInDetailFieldChange = false;
        throw;
    }
    FInDetailFieldChange = false;
}

void TBillBaseForm::InsertDetailLine()
{
    if (!MasterDetailBill || !cdsDetail->Active() || FReadOnly)
        return;
    cdsDetail->Append();
    ItemDBGrid->setFocus();
}

void TBillBaseForm::DeleteDetailLine()
{
    if (!ADeleteLine->isEnabled() || !ADeleteLine->isVisible() || FReadOnly || !cdsDetail->Active())
        return;
    if (cdsDetail->State() == TDataSetState::dsInsert) {
        cdsDetail->Cancel();
        return;
    }
    if (!cdsDetail->IsEmpty())
        cdsDetail->Delete();
}

// ====================================================================== small hooks

void TBillBaseForm::ArrangeSendButtons()
{
    btnSendMsn->move(btnSendEMail->x(), btnSendMsn->y());
    btnSendEMail->move(btnArch->x(), btnSendEMail->y());
}
void TBillBaseForm::SendBillMessage() {}
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
void TBillBaseForm::MasterBeforePost(TClientDataSet*) {}
void TBillBaseForm::MasterAfterPost(TClientDataSet*) {}
void TBillBaseForm::MasterCalcFields(TClientDataSet*) {}
void TBillBaseForm::MasterAfterScroll(TClientDataSet*) {}
void TBillBaseForm::DetailBeforePost(TClientDataSet*) {}
void TBillBaseForm::DetailAfterPost(TClientDataSet*) {}
void TBillBaseForm::DetailCalcFields(TClientDataSet*) {}
void TBillBaseForm::DetailAfterScroll(TClientDataSet*) {}
void TBillBaseForm::DetailFieldChanged(TField*) {}
void TBillBaseForm::DetailFieldValidate(TField*) {}
void TBillBaseForm::RefreshFieldState(const QString&) {}
void TBillBaseForm::BeforeOpenBill() {}
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
