#include "host/MainWindow.h"

#include "host/KQParams.h"
#include "host/LoginDialog.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "host/Session.h"
#include "platform/Exceptions.h"
#include "webrpc/Connection.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>
#include <QStatusBar>

namespace {
QPointer<TMainWindow> g_MainWindow;

struct EditItemDef {
    const char* Name;
    const char* Caption;
    const char* Subject;
    const char* Shortcut;
};
const EditItemDef kEditItems[] = {
    {"InsertLineItem", "增加明细", "INSERTLINE", "Ctrl+Insert"},
    {"DeleteLineItem", "删除明细", "DELETELINE", "Ctrl+Delete"},
    {"EditItem", "修改", "EDIT", ""},
    {"NewItem", "新增", "NEW", ""},
    {"DeleteItem", "删除", "DELETE", ""},
    {"RefreshItem", "刷新", "REFRESH", ""},
    {"FirstItem", "第一单", "FIRST", ""},
    {"PreviousItem", "前单", "PRIOR", ""},
    {"NextItem", "后单", "NEXT", ""},
    {"LastItem", "最后单", "LAST", ""},
};
} // namespace

TMainWindow* MainWindow() { return g_MainWindow.data(); }

void ShowMdiChild(QWidget* form)
{
    if (!form)
        return;
    if (TMainWindow* w = MainWindow())
        w->AddMdiChild(form);
    else
        form->show();
}

QVector<QPair<QString, QVector<TMenuCommand>>> TMainWindow::BusinessMenus()
{
    auto bill = [](const char* caption, const char* form) {
        return TMenuCommand{QString::fromUtf8(caption), QStringLiteral("SHOWBILLFORM"), QString::fromLatin1(form)};
    };
    auto cmd = [](const char* caption, const char* function) {
        return TMenuCommand{QString::fromUtf8(caption), QString::fromLatin1(function), QString()};
    };
    auto master = [](const char* caption, const char* kind) {
        return TMenuCommand{QString::fromUtf8(caption), QStringLiteral("SHOWMASTERLIST"), QString::fromLatin1(kind)};
    };
    return {
        {QStringLiteral("基础资料"),
         {master("货品", "Goods"), master("客户", "Client"), master("供应商", "Vendor"), master("仓库", "Store"),
          master("职员", "Employee"), master("银行帐户", "Bank"), master("结算方式", "PayType")}},
        {QStringLiteral("采购"),
         {bill("采购订单", "PorderForm"), bill("采购收货", "RecieveForm"), bill("现款采购", "CashRecieveForm"),
          bill("采购退货", "PReturnForm"), bill("估价入库", "ValuedRecieveForm"),
          bill("估价入库期初", "ValuedRecieveInitForm"), bill("采购费用", "PurchaseAppForm"),
          bill("采购付款", "PayForm")}},
        {QStringLiteral("销售"),
         {bill("销售报价", "QuotationForm"), bill("销售订单", "SOrderForm"), bill("销售开单", "InvoiceForm"),
          bill("现款销售", "CashSaleForm"), bill("销售退货", "SReturnForm"), bill("销售收款", "ChargeForm"),
          bill("委托代销", "DeputeSaleForm"), bill("代销结算", "DeputeSettlementForm"),
          bill("委托代销期初", "DeputeSaleInitForm"), bill("请配单", "AskDelieverForm"), bill("配送单", "DeliverForm"),
          cmd("配送计划", "DRPForm")}},
        {QStringLiteral("仓库"),
         {bill("领料", "DrawItemForm"), bill("退料", "BackDrawForm"), bill("产品进仓", "InProductForm"),
          bill("仓库调拨", "AllotForm"), bill("其它库存变动", "InOutForm"), bill("组装与拆卸", "CombinForm"),
          bill("库存盘点", "BalItemForm"), bill("存货调价", "AdjApForm")}},
        {QStringLiteral("现金银行"),
         {bill("其它收入", "IncomeForm"), bill("费用开支", "ExpenseForm"), bill("银行存取款", "MoveMoneyForm"),
          bill("工资发放", "DisLaborageForm")}},
        {QStringLiteral("POS"),
         {bill("POS销售单", "POSBillForm"), bill("POS日结单", "POSCloseBillForm"),
          bill("POS出入款单", "OperatorTurninForm"), bill("货品折扣设置", "SetGoodsDiscountForm"),
          cmd("POS批次设置", "SetPosBatch")}},
        {QStringLiteral("查询"),
         {cmd("业务查找", "FindBillForm"), cmd("开票管理", "BillManageForm"), cmd("打印模板", "PrintSamEdit")}},
    };
}

TMainWindow::TMainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Tradebill 单据"));
    FMdiArea = new QMdiArea(this);
    FMdiArea->setObjectName(QStringLiteral("MdiArea"));
    FMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    FMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(FMdiArea);
    BuildMenus();
    BuildSystemMenu();

    FUserLabel = new QLabel(this);
    FShopLabel = new QLabel(this);
    FDatabaseLabel = new QLabel(this);
    statusBar()->addWidget(FUserLabel);
    statusBar()->addWidget(FShopLabel);
    statusBar()->addWidget(FDatabaseLabel, 1);
    UpdateStatusBar();
    resize(1024, 700);
    if (!g_MainWindow)
        g_MainWindow = this;
    if (!DefaultFormOwner())
        SetDefaultFormOwner(this);
}

TMainWindow::~TMainWindow()
{
    if (DefaultFormOwner() == this)
        SetDefaultFormOwner(nullptr);
}

QStringList TMainWindow::EditItemNames()
{
    QStringList l;
    for (const EditItemDef& d : kEditItems)
        l << QString::fromLatin1(d.Name);
    return l;
}

bool TMainWindow::RunCommand(const QString& function, const QString& subject, KQParams* params)
{
    if (!IsFunctionRegistered(function)) {
        ShowInformation(QStringLiteral("该功能尚未安装，无法使用！（%1 %2）").arg(function, subject).trimmed());
        return false;
    }
    try {
        GlobalCall(function, subject, params);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
    return true;
}

void TMainWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("文件"));
    file->setObjectName(QStringLiteral("文件"));
    QAction* newSet = file->addAction(QStringLiteral("新建帐套..."));
    newSet->setObjectName(QStringLiteral("NewAccountSet"));
    connect(newSet, &QAction::triggered, this, [] { RunCommand(QStringLiteral("NEWACCOUNTSET"), QString()); });
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("退出"));
    quit->setObjectName(QStringLiteral("Exit"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    for (const auto& menu : BusinessMenus()) {
        if (menu.first == QStringLiteral("查询")) {
            // The Edit menu sits after the bill menus, before the search menu.
            QMenu* edit = menuBar()->addMenu(QStringLiteral("编辑"));
            edit->setObjectName(QStringLiteral("编辑"));
            for (const EditItemDef& d : kEditItems) {
                QAction* a = edit->addAction(QString::fromUtf8(d.Caption));
                a->setObjectName(QString::fromLatin1(d.Name));
                if (*d.Shortcut)
                    a->setShortcut(QKeySequence(QString::fromLatin1(d.Shortcut)));
                a->setEnabled(false);
                const QString subject = QString::fromLatin1(d.Subject);
                connect(a, &QAction::triggered, this, [this, subject] { EditItemTriggered(subject); });
                FEditItems.insert(a->objectName().toUpper(), a);
                if (QLatin1String(d.Name) == QLatin1String("DeleteLineItem") || QLatin1String(d.Name) == QLatin1String("RefreshItem"))
                    edit->addSeparator();
            }
        }
        QMenu* m = menuBar()->addMenu(menu.first);
        m->setObjectName(menu.first);
        for (const TMenuCommand& c : menu.second) {
            QAction* a = m->addAction(c.Caption);
            a->setObjectName(c.Subject.isEmpty() ? c.Function : c.Subject);
            connect(a, &QAction::triggered, this, [c] { RunCommand(c.Function, c.Subject); });
        }
    }
    // Maintenance of the bill windows' field definitions: shown to system managers only.
    FSystemMenu = menuBar()->addMenu(QStringLiteral("系统管理"));
    FSystemMenu->setObjectName(QStringLiteral("系统管理"));
    for (const TMenuCommand& c : {TMenuCommand{QStringLiteral("系统字段定义"), QStringLiteral("ShowSysFieldInfoEdit"), {}},
                                  TMenuCommand{QStringLiteral("模板字段定义"), QStringLiteral("ShowSysTemplatedEdit"), {}}}) {
        QAction* a = FSystemMenu->addAction(c.Caption);
        a->setObjectName(c.Function);
        connect(a, &QAction::triggered, this, [c] { RunCommand(c.Function, c.Subject); });
    }
}

void TMainWindow::BuildSystemMenu()
{
    QMenu* system = menuBar()->addMenu(QStringLiteral("系统"));
    system->setObjectName(QStringLiteral("系统"));
    QAction* password = system->addAction(QStringLiteral("修改密码..."));
    password->setObjectName(QStringLiteral("ChangePassword"));
    connect(password, &QAction::triggered, this, [] { AskNewPassword(g_DefaultCon); });
}

void TMainWindow::EditItemTriggered(const QString& subject)
{
    KQParams params;
    params.AddValue(QStringLiteral("Sender"), static_cast<const QObject*>(ActiveMdiChild()));
    RunCommand(QStringLiteral("EDITMENUCLICKINBILL"), subject, &params);
}

void TMainWindow::AddMdiChild(QWidget* form)
{
    if (!form)
        return;
    form->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow* sub = FMdiArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // A form that closes itself (Esc, 确定, 取消) takes its frame along; otherwise an empty
    // frame with the bill's title stays behind. Queued: while the form is being destroyed the
    // frame still holds it.
    connect(form, &QObject::destroyed, sub, &QMdiSubWindow::close, Qt::QueuedConnection);
    sub->setWindowTitle(form->windowTitle());
    sub->show();
    FMdiArea->setActiveSubWindow(sub);
}

QWidget* TMainWindow::ActiveMdiChild() const
{
    QMdiSubWindow* sub = FMdiArea->activeSubWindow();
    if (!sub)
        sub = FMdiArea->currentSubWindow();
    return sub ? sub->widget() : nullptr;
}

QAction* TMainWindow::EditItem(const QString& name) const { return FEditItems.value(name.trimmed().toUpper()); }

void TMainWindow::SetEditItemEnabled(const QString& name, bool enabled)
{
    if (QAction* a = EditItem(name))
        a->setEnabled(enabled);
}

bool TMainWindow::EditItemEnabled(const QString& name) const
{
    QAction* a = EditItem(name);
    return a && a->isEnabled();
}

QAction* TMainWindow::FindMenuAction(const QString& menuTitle, const QString& caption) const
{
    for (QAction* top : menuBar()->actions()) {
        if (!top->menu() || top->text() != menuTitle)
            continue;
        for (QAction* a : top->menu()->actions())
            if (a->text() == caption)
                return a;
    }
    return nullptr;
}

QStringList TMainWindow::MenuTitles() const
{
    QStringList l;
    for (QAction* top : menuBar()->actions())
        if (top->menu() && top->isVisible())
            l << top->text();
    return l;
}

void TMainWindow::UpdateStatusBar()
{
    FSystemMenu->menuAction()->setVisible(g_iSysManager != 0);
    FUserLabel->setText(QStringLiteral("操作员：%1").arg(g_asUserName.isEmpty() ? QStringLiteral("(未登录)") : g_asUserName));
    FShopLabel->setText(QStringLiteral("机构：%1").arg(AccSetData.ShopName.isEmpty() ? QStringLiteral("总部") : AccSetData.ShopName));
    const QString db = g_DefaultCon && !g_DefaultCon->DatabaseFile().isEmpty()
                           ? QFileInfo(g_DefaultCon->DatabaseFile()).fileName()
                           : QStringLiteral("(未连接)");
    FDatabaseLabel->setText(QStringLiteral("数据库：%1").arg(db));
}

QString TMainWindow::StatusText() const
{
    return FUserLabel->text() + QLatin1Char(' ') + FShopLabel->text() + QLatin1Char(' ') + FDatabaseLabel->text();
}

void TMainWindow::RenderToPng(const QString& file)
{
    if (!isVisible())
        show();
    grab().save(file, "PNG");
}
