// The bill window: its action table, the names it keeps for its document, the read-only
// view, closing, printing, the host edit menu, keys and the root form's window placement.
#include "BillFormFixture.h"
#include "ServerScripts.h"

#include "billcore/BillActions.h"
#include "platform/DBControls.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QToolButton>


TEST_F(TBillFormTest, ActionsCarryTagsCaptionsAndShortcuts)
{
    TTestPorderForm* f = NewForm();
    struct TRow {
        QAction* Action;
        int Tag;
        const char* Caption;
        QKeySequence Keys;
    };
    const TRow rows[] = {
        {f->ASaveNew, 1, "保存新增(&S)", {}},
        {f->Aok, 2, "确定(&A)", {}},
        {f->ANew, 4, "新开单据(&N)", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {f->ADeleteBill, 5, "删除单据(&D)", QKeySequence(Qt::CTRL | Qt::Key_D)},
        {f->APrev, 7, "前单", QKeySequence(Qt::CTRL | Qt::Key_Up)},
        {f->ANext, 8, "后单", QKeySequence(Qt::CTRL | Qt::Key_Down)},
        {f->ALoadCred, 12, "调阅凭证", {}},
        {f->AMakeRedBill, 13, "单据冲红", {}},
        {f->APrint, 18, "打印", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {f->ACopyBill, 20, "整单复制", QKeySequence(Qt::CTRL | Qt::Key_L)},
        {f->ABackDrawProcess, 33, "退料过程", {}},
        {f->ACopyLine, 38, "复制明细(&C)", QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
        {f->APorderToSorder, 53, "选择销售订单", {}},
    };
    for (const TRow& r : rows) {
        EXPECT_EQ(r.Action->data().toInt(), r.Tag) << r.Caption;
        EXPECT_EQ(r.Action->text(), QString::fromUtf8(r.Caption));
        EXPECT_EQ(r.Action->shortcut(), r.Keys) << r.Caption;
    }
    EXPECT_EQ(f->alOperation.size(), TBillBaseForm::ActionCount());
    // Each row of the table made the action its member names, in the table's order.
    const QVector<TBillActionDef>& table = BillActionTable();
    ASSERT_EQ(table.size(), 54);
    for (int i = 0; i < table.size(); ++i) {
        EXPECT_EQ(f->alOperation[i], f->*table[i].Slot) << table[i].Name;
        EXPECT_EQ(f->alOperation[i]->objectName(), QLatin1String(table[i].Name));
    }
    EXPECT_EQ(BillActionOfTag(99), nullptr);
    EXPECT_FALSE(f->ASelOrder->isVisible());
    EXPECT_FALSE(f->ABatchCodeCopy->isEnabled());
    EXPECT_FALSE(f->ALoadCred->isVisible()) << "purchase orders have no voucher";
    EXPECT_TRUE(f->btnArch->isVisibleTo(f));
    EXPECT_TRUE(f->ANew->toolTip().contains(QStringLiteral("快捷键")));
    EXPECT_EQ(TBillBaseForm::AsBillForm(f), f);
    QObject plain;
    EXPECT_EQ(TBillBaseForm::AsBillForm(&plain), nullptr);
}

TEST_F(TBillFormTest, HiddenOrDisabledActionsDoNothingAndTag33FollowsTheSide)
{
    TTestPorderForm* f = NewForm();
    f->NewBill();
    f->ASelOrder->trigger();
    f->ASaveNewExecute(f->ASelOrder);
    EXPECT_EQ(f->PurchaseOrderCalls, 0);
    f->ASelOrder->setVisible(true);
    f->ASaveNewExecute(f->ASelOrder);
    EXPECT_EQ(f->PurchaseOrderCalls, 1);
    f->ASelOrder->setEnabled(false);
    f->ASaveNewExecute(f->ASelOrder);
    EXPECT_EQ(f->PurchaseOrderCalls, 1);

    f->ABackDrawProcess->setVisible(true);
    f->ASaveNewExecute(f->ABackDrawProcess);
    EXPECT_EQ(f->PurchaseReturnProcessCalls, 1) << "vendor side";
    f->CVFlag = 3;
    f->ASaveNewExecute(f->ABackDrawProcess);
    EXPECT_EQ(f->BackDrawProcessCalls, 1) << "stock side";
}

TEST_F(TBillFormTest, TheWindowKeepsTheBillsNamesAndItsOverridesAreHeardByTheDocument)
{
    TTestPorderForm* f = NewForm();
    TBillDocument* d = f->Document();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(f->cdsMaster, d->cdsMaster);
    EXPECT_EQ(f->cdsDetail, d->cdsDetail);
    f->NavFilter = QStringLiteral(" flag = 0");
    EXPECT_EQ(d->NavFilter, QStringLiteral(" flag = 0"));
    EXPECT_EQ(d->Caption, QStringLiteral("采购订单"));
    EXPECT_EQ(d->PrivilegeID, 38);

    // The bill's own check, overridden on the window, runs inside the document's save.
    f->NewBill();
    AddLine(f, 1, 2, 3);
    f->RefuseMaster = true;
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(f->MasterChecks, 1);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder")).toInt(), 0);
    f->RefuseMaster = false;
    ASSERT_TRUE(d->SaveBill()) << Msgs->Texts().join(u'|').toStdString();
    EXPECT_EQ(f->MasterChecks, 2);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName("amount")->AsFloat(), 6);

    // The navigation buttons follow the document.
    f->GotoFirstBill();
    EXPECT_FALSE(f->APrev->isEnabled());
    EXPECT_TRUE(f->ANext->isEnabled());
    f->GotoNextBill();
    EXPECT_TRUE(f->IsNewBill);
    EXPECT_TRUE(f->APrev->isEnabled());
    EXPECT_FALSE(f->ANext->isEnabled());
}

TEST_F(TBillFormTest, AReadOnlyBillDisablesItsEditorsButNotNavigation)
{
    TTestPorderForm* admin = NewForm();
    const int adminBill = SaveNewBill(admin, QDate(2024, 3, 1));
    Login(2);
    Grant(2, 38, paEdit);
    Grant(2, 227, paSpecial);
    TTestPorderForm* clerk = NewForm();
    const int own = SaveNewBill(clerk, QDate(2024, 3, 2));

    ASSERT_TRUE(clerk->LoadBillByID(adminBill));
    EXPECT_TRUE(clerk->ReadOnly());
    EXPECT_TRUE(clerk->Privilege()->ReadOnly());
    QWidget* memo = clerk->MasterPanel->findChild<QWidget*>(QStringLiteral("edmemo"));
    ASSERT_NE(memo, nullptr);
    EXPECT_FALSE(memo->isEnabled());
    EXPECT_TRUE(clerk->btnPrev->isEnabled()) << "navigation stays possible";
    EXPECT_EQ(clerk->ItemDBGrid->editTriggers(), QAbstractItemView::NoEditTriggers);

    ASSERT_TRUE(clerk->LoadBillByID(own));
    EXPECT_FALSE(clerk->ReadOnly());
    EXPECT_TRUE(clerk->MasterPanel->findChild<QWidget*>(QStringLiteral("edmemo"))->isEnabled());
    EXPECT_NE(clerk->ItemDBGrid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(TBillFormTest, AServerWarningGoesThroughTheWindowsCheckDialog)
{
    TScriptedServer server;
    server.Install(QStringLiteral("Submit_POrder_Save"));
    server.Replies << Reply(1502, QStringLiteral("库存检查"), QStringLiteral("批次 B1 库存 -1"));
    QList<QPair<TBillBaseForm*, QString>> asked;
    const auto keep = TBillBaseForm::StockCheckDialog;
    TBillBaseForm::StockCheckDialog = [&asked](TBillBaseForm* form, int, const QString& intro, const TPacketParams&) {
        asked.append({form, intro});
        return true;
    };
    TTestPorderForm* f = NewForm();
    const int id = SaveNewBill(f, QDate(2024, 3, 1));
    TBillBaseForm::StockCheckDialog = keep;
    EXPECT_GT(id, 0);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].first, f);
    EXPECT_EQ(asked[0].second, QStringLiteral("以下批次的库存将为负数:"));
    EXPECT_EQ(server.CheckSteps, (QList<int>{0, 1503}));
}

TEST_F(TBillFormTest, ARequiredMasterColumnTakesTheCursorToItsEditor)
{
    TTestPorderForm* f = NewForm();
    f->NewBill();
    f->show();
    QApplication::setActiveWindow(f);
    f->cdsMaster->FieldByName("billto")->DisplayLabel = QStringLiteral("收货地址");
    f->cdsMaster->FieldByName("billto")->Required = true;
    AddLine(f, 1, 1, 1);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("字段:[收货地址]不能为空."));
    EXPECT_EQ(QApplication::focusWidget(), f->MasterPanel->findChild<QWidget*>(QStringLiteral("edbillto")));
}

TEST_F(TBillFormTest, ClosingAsksAboutUnsavedChanges)
{
    TTestPorderForm* f = NewForm();
    SaveNewBill(f, QDate(2024, 3, 1));
    SetMaster(f, "memo", QStringLiteral("未保存"));
    Msgs->AnswerCancel();
    EXPECT_FALSE(f->close());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("当前单数据没有保存，保存数据？"));
    EXPECT_EQ(Msgs->Last().Flags, 0x23);

    Msgs->AnswerYes();
    const int id = f->CurrentBillID;
    f->ASaveNewExecute(f->ACancel);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(FForms.last().isNull()) << "a closed form is destroyed";
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(id)).toString(), QStringLiteral("未保存"));

    TTestPorderForm* g = NewForm();
    g->NewBill();
    AddLine(g, 1, 1, 1);
    g->ASaveNewExecute(g->Aok);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(FForms.last().isNull());
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder")).toInt(), 2);
}

TEST_F(TBillFormTest, PrintingNeedsTheRightAndASavedBill)
{
    TTestPorderForm* f = NewForm();
    f->NewBill();
    f->ASaveNewExecute(f->APrint);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("新增状态不能进行打印！"));
    EXPECT_EQ(f->PrintCalls, 0);
    SaveNewBill(f, QDate(2024, 3, 1));
    f->ASaveNewExecute(f->APrintView);
    EXPECT_EQ(f->PrintCalls, 1);

    Login(2);
    FCon->Execute(QStringLiteral("delete from operatorright where opid = 2 and privilegeid = 38 and action = 6"));
    ReloadPrivileges();
    TTestPorderForm* clerk = NewForm();
    SaveNewBill(clerk, QDate(2024, 3, 1));
    clerk->ASaveNewExecute(clerk->APrint);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("您未被授权使用该功能"));
    EXPECT_EQ(clerk->PrintCalls, 0);
}

TEST_F(TBillFormTest, ActivationDrivesTheHostEditMenu)
{
    QStringList calls;
    RegistFunction(QStringLiteral("SETCOMPONENTENABLED"), [&calls](const QString&, const QString& subject, KQParams* bag) {
        calls << subject + (bag && bag->GetBool(QStringLiteral("ENABLED")) ? QStringLiteral("+") : QStringLiteral("-"));
        return 0;
    });
    TTestPorderForm* f = NewForm();
    f->FormActivate();
    f->FormDeactivate();
    const QStringList names = TBillBaseForm::EditMenuItemNames();
    ASSERT_EQ(calls.size(), 20);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(calls[i], names[i] + u'+');
        EXPECT_EQ(calls[10 + i], names[i] + u'-');
    }
    EXPECT_EQ(names.first(), QStringLiteral("InsertLineItem"));
    EXPECT_EQ(names.last(), QStringLiteral("LastItem"));
}

TEST_F(TBillFormTest, ApprovalAndEmailRefuseNewBills)
{
    TTestPorderForm* f = NewForm();
    f->NewBill();
    f->ASaveNewExecute(f->AReferFile);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("新增状态下不能引用或发起审批文件！"));
    f->ASaveNewExecute(f->ASendEMail);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("新增状态不能发送邮件！"));

    KQParams started;
    RegistFunction(QStringLiteral("CREATEARCHIVES"), [&started](const QString&, const QString& subject, KQParams* bag) {
        started = *bag;
        started.AddValue(QStringLiteral("Subject"), subject);
        return 0;
    });
    const int id = SaveNewBill(f, QDate(2024, 3, 15));
    f->ASaveNewExecute(f->ALaunchFile); // purchase orders have an approval flow in the demo data
    EXPECT_EQ(started.GetString(QStringLiteral("Subject")), QStringLiteral("OA_ArchivesEditForm"));
    EXPECT_EQ(started.GetInt(QStringLiteral("BillID")), id);
    EXPECT_EQ(started.GetInt(QStringLiteral("BillType")), 6);
    FCon->Execute(QStringLiteral("insert into oa_billarchives (billtype, billid, createarchid) values (6, :id, 77)"), {{QStringLiteral("id"), id}});
    f->ASaveNewExecute(f->ALaunchFile);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("该单据已经创建过审批文件!"));
    FCon->Execute(QStringLiteral("delete from oa_billflow where billtype = 6"));
    f->ASaveNewExecute(f->ALaunchFile);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("请先进行业务审批设定!"));
    f->ASaveNewExecute(f->ALookReferFile);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("没有文件可以查看！"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("错误"));
    QVariant shownArchive;
    RegistFunction(QStringLiteral("BillOaForm"), [&shownArchive](const QString&, const QString&, KQParams* bag) {
        shownArchive = bag->GetValue(QStringLiteral("ArchID"));
        return 0;
    });
    f->ASaveNewExecute(f->ALookLaunchFile);
    EXPECT_EQ(shownArchive.toInt(), 77);
    SetMaster(f, "memo", QStringLiteral("改"));
    f->ASaveNewExecute(f->ASendEMail);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("修改状态不能发送邮件！"));
}

namespace {
// A main window with its MDI area, as the app has it.
struct TMdiHost {
    TMainWindow Main;
    TMdiHost()
    {
        Main.resize(1400, 1000);
        Main.show();
        QApplication::setActiveWindow(&Main);
    }
    QMdiSubWindow* Open(TBillBaseForm* f)
    {
        Main.AddMdiChild(f);
        QCoreApplication::processEvents();
        return qobject_cast<QMdiSubWindow*>(f->parentWidget());
    }
};

void CloseAndDestroy(QMdiSubWindow* sub)
{
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

TEST_F(TBillFormTest, AWindowsPlaceIsSavedAndReadUnderItsOwnClass)
{
    QFile::remove(TBillRootForm::SettingsFileName());
    TMdiHost host;
    QMdiSubWindow* sub = host.Open(NewForm());
    ASSERT_NE(sub, nullptr);
    sub->setGeometry(30, 40, 700, 500);
    CloseAndDestroy(sub);
    EXPECT_TRUE(FForms.last().isNull()) << "the window went with its frame";
    {
        QSettings ini(TBillRootForm::SettingsFileName(), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("FORMSIZE"));
        EXPECT_EQ(ini.value(QStringLiteral("TTESTPORDERFORM_1::WIDTH")).toInt(), 700);
        EXPECT_EQ(ini.value(QStringLiteral("TTESTPORDERFORM_1::LEFT")).toInt(), 30);
        EXPECT_EQ(ini.value(QStringLiteral("TTESTPORDERFORM_1::WindowState")).toInt(), 0);
        EXPECT_FALSE(ini.contains(QStringLiteral("TBILLROOTFORM_1::WIDTH"))) << "never under the base class";
    }
    QMdiSubWindow* again = host.Open(NewForm());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->geometry(), QRect(30, 40, 700, 500));
    CloseAndDestroy(again);

    // Outside an MDI area a form opens with its designed size whatever the file holds.
    TTestPorderForm* g = NewForm();
    const QRect design = g->DesignBounds();
    g->resize(300, 200);
    g->RestoreWindowPlacement();
    EXPECT_EQ(g->size(), design.size());
    QFile::remove(TBillRootForm::SettingsFileName());
}

TEST_F(TBillFormTest, AMaximisedWindowOpensMaximisedAgain)
{
    QFile::remove(TBillRootForm::SettingsFileName());
    TMdiHost host;
    QMdiSubWindow* sub = host.Open(NewForm());
    ASSERT_NE(sub, nullptr);
    sub->setGeometry(20, 20, 640, 480);
    sub->showMaximized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(sub->isMaximized());
    CloseAndDestroy(sub);
    {
        QSettings ini(TBillRootForm::SettingsFileName(), QSettings::IniFormat);
        EXPECT_EQ(ini.value(QStringLiteral("FORMSIZE/TTESTPORDERFORM_1::WindowState")).toInt(), 2);
    }
    TTestPorderForm* reopened = NewForm();
    QMdiSubWindow* again = host.Open(reopened);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(reopened->FirstActivationPending());
    EXPECT_TRUE(again->isMaximized());
    // Back to normal it takes the designed size: a maximised window keeps no other.
    again->showNormal();
    EXPECT_EQ(again->size(), reopened->DesignBounds().size());
    CloseAndDestroy(again);
    QFile::remove(TBillRootForm::SettingsFileName());
}

TEST_F(TBillFormTest, LookupFindBecomesThePlainFindOffline)
{
    AccSetData.Online = false;
    EXPECT_EQ(TBillRootForm::LookupItemType(1, QStringLiteral("查找")), 2);
    EXPECT_EQ(TBillRootForm::LookupItemType(3, QStringLiteral("置空")), 3);
    AccSetData.Online = true;
    EXPECT_EQ(TBillRootForm::LookupItemType(1, QStringLiteral("查找")), 1);
}

TEST_F(TBillFormTest, EnterMovesToTheNextFieldExceptInTheGrid)
{
    TTestPorderForm* f = NewForm();
    f->NewBill();
    f->show();
    QApplication::setActiveWindow(f);
    auto* memo = f->MasterPanel->findChild<QWidget*>(QStringLiteral("edmemo"));
    ASSERT_NE(memo, nullptr);
    memo->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), memo);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(memo, &enter);
    EXPECT_NE(QApplication::focusWidget(), memo);

    f->ItemDBGrid->setFocus();
    QKeyEvent enter2(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(f->ItemDBGrid, &enter2);
    EXPECT_EQ(QApplication::focusWidget(), f->ItemDBGrid);
}
