// The action table, the server's reply codes, closing, the host edit menu and the root
// form's window placement.
#include "BillFormFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include "platform/DBControls.h"
#include <QFile>
#include <QToolButton>
#include <QSettings>

namespace {

// Replaces the save procedure by one that answers from a list, then hands over to the real one.
struct TScriptedServer {
    QList<TPacketParams> Replies;
    QList<int> CheckSteps;
    void Install(const QString& name)
    {
        TServerMethod real = TServerRegistry::FindMethod(name);
        TServerRegistry::RegisterMethod(name, [this, real](TClientConnection& con, const QString& request) {
            TPacketParams p;
            p.LoadFromString(request);
            CheckSteps << p.GetInt("CheckStep");
            if (!Replies.isEmpty())
                return Replies.takeFirst().ToString();
            return real(con, request);
        });
    }
};

TPacketParams Reply(int errNo, const QString& title, const QString& msg)
{
    TPacketParams p;
    p.Set("ErrNo", errNo);
    p.Set("ErrTitle", title);
    p.Set("ErrMsg", msg);
    return p;
}

} // namespace

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

TEST_F(TBillFormTest, StockWarningAcceptedIsResubmittedWithTheNextCheckStep)
{
    TScriptedServer server;
    server.Install(QStringLiteral("Submit_POrder_Save"));
    server.Replies << Reply(1501, QStringLiteral("库存检查"), QStringLiteral("01001 茶杯 库存 -2"));
    TTestPorderForm* f = NewForm();
    Msgs->AnswerWhen(QStringLiteral("01001 茶杯"), IDYES);
    const int id = SaveNewBill(f, QDate(2024, 3, 1));
    EXPECT_EQ(server.CheckSteps, (QList<int>{0, 1502}));
    EXPECT_GT(id, 0);
    const TMessageRecord& q = Msgs->Records().first();
    EXPECT_EQ(q.Kind, TMessageKind::YesNo);
    EXPECT_TRUE(q.Text.startsWith(QStringLiteral("以下货品的库存将为零或负数:"))) << q.Text.toStdString();

    // A cancelled warning ends the save quietly and keeps the edit.
    server.CheckSteps.clear();
    server.Replies << Reply(1503, QStringLiteral("库存检查"), QStringLiteral("01002 茶壶 超上限"));
    SetMaster(f, "memo", QStringLiteral("再改"));
    Msgs->ClearRecords();
    Msgs->AnswerNo();
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(server.CheckSteps, QList<int>{0});
    EXPECT_EQ(Msgs->Count(), 1);
    EXPECT_TRUE(Msgs->Last().Text.startsWith(QStringLiteral("以下货品的库存超出库存上限或低于库存下限:")));
    EXPECT_TRUE(f->IsBillModified());
    EXPECT_EQ(f->cdsMaster->FieldByName("memo")->AsString(), QStringLiteral("再改"));
}

TEST_F(TBillFormTest, PriceWarningFollowsSideOptionAndRight)
{
    TScriptedServer server;
    server.Install(QStringLiteral("Submit_POrder_Save"));
    Login(2);
    TTestPorderForm* f = NewForm();
    // The clerk lacks right 359: the purchase above the maximum price is refused.
    server.Replies << Reply(1401, QStringLiteral("价格检查"), QStringLiteral("01001 茶杯 进价 99"));
    f->NewBill();
    AddLine(f, 1, 1, 99);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(server.CheckSteps, QList<int>{0});
    EXPECT_EQ(Msgs->Last().Kind, TMessageKind::Error);

    Grant(2, 359, paSpecial);
    server.CheckSteps.clear();
    server.Replies << Reply(1401, QStringLiteral("价格检查"), QStringLiteral("01001 茶杯 进价 99"));
    Msgs->AnswerYes();
    EXPECT_TRUE(f->SaveBill()) << Msgs->Texts().join(u'|').toStdString();
    EXPECT_EQ(server.CheckSteps, (QList<int>{0, 1402}));
}

TEST_F(TBillFormTest, ErrorAnswerIsShownWithItsTitleAndMessage)
{
    TScriptedServer server;
    server.Install(QStringLiteral("Submit_POrder_Save"));
    server.Replies << Reply(1, QStringLiteral("保存失败"), QStringLiteral("供应商已停用"));
    TTestPorderForm* f = NewForm();
    f->NewBill();
    AddLine(f, 1, 2, 3);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(Msgs->Last().Kind, TMessageKind::Error);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("供应商已停用"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("保存失败"));
    EXPECT_TRUE(f->IsNewBill);
    EXPECT_EQ(f->cdsDetail->RecordCount(), 1);

    // Other numbers fail without a message.
    server.Replies << Reply(7, QString(), QStringLiteral("x"));
    Msgs->ClearRecords();
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(Msgs->Count(), 0);

    // The kept edits save once the server agrees.
    EXPECT_TRUE(f->SaveBill());
    EXPECT_FALSE(f->IsNewBill);
}

TEST_F(TBillFormTest, RequiredMasterColumnStopsTheSave)
{
    TTestPorderForm* f = NewForm();
    f->NewBill();
    f->cdsMaster->FieldByName("billto")->DisplayLabel = QStringLiteral("收货地址");
    f->cdsMaster->FieldByName("billto")->Required = true;
    AddLine(f, 1, 1, 1);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("字段:[收货地址]不能为空."));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("错误"));
}

TEST_F(TBillFormTest, NewBillNeedsTheNewRight)
{
    Login(2);
    FCon->Execute(QStringLiteral("delete from operatorright where opid = 2 and privilegeid = 38 and action = 2"));
    ReloadPrivileges();
    TTestPorderForm* f = NewForm();
    f->NewBill();
    AddLine(f, 1, 1, 1);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("您没有新增操作权限"));
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

TEST_F(TBillFormTest, WindowPlacementIsKeptPerFormClass)
{
    TTestPorderForm* f = NewForm();
    EXPECT_EQ(f->SettingsKey(QStringLiteral("::LEFT")), QStringLiteral("TTESTPORDERFORM_1::LEFT"));
    EXPECT_TRUE(TBillRootForm::SettingsFileName().endsWith(QStringLiteral("/SystemForm.ini")));
    QFile::remove(TBillRootForm::SettingsFileName());

    f->setGeometry(30, 40, 700, 500);
    f->SaveWindowPlacement();
    {
        QSettings ini(TBillRootForm::SettingsFileName(), QSettings::IniFormat);
        EXPECT_EQ(ini.value(QStringLiteral("FORMSIZE/TTESTPORDERFORM_1::WIDTH")).toInt(), 700);
        EXPECT_EQ(ini.value(QStringLiteral("FORMSIZE/TTESTPORDERFORM_1::WindowState")).toInt(), 0);
    }
    // Outside an MDI area a form opens with its designed size whatever the file holds.
    TTestPorderForm* g = NewForm();
    const QRect design = g->DesignBounds();
    g->resize(300, 200);
    g->RestoreWindowPlacement();
    EXPECT_EQ(g->size(), design.size());
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
