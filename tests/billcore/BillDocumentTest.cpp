// The life of one bill without a window: new, save, load, navigate, delete, red reversal,
// copy, the unsaved-changes question and the server's answers, against the demo database and
// the real save procedures.
#include "DocumentFixture.h"
#include "ServerScripts.h"

#include <QApplication>

namespace {
const QDate kDay1(2024, 3, 1);
const QDate kDay2(2024, 3, 2);
} // namespace

TEST_F(TBillDocTest, ANewBillTakesItsDefaultsAndSavingReturnsIdAndCode)
{
    const int widgets = QApplication::allWidgets().size();
    TBillDocument* d = NewDocument();
    EXPECT_EQ(d->DeleteProcName, QStringLiteral("Submit_POrder_Del"));
    EXPECT_EQ(d->RedProcName, QStringLiteral("Submit_POrder_Red"));
    EXPECT_TRUE(d->NavFilter.isEmpty()) << "a manager sees every operator's bills";

    d->NewBill();
    EXPECT_TRUE(d->IsNewBill);
    EXPECT_EQ(d->cdsMaster->State(), TDataSetState::dsInsert);
    EXPECT_EQ(d->cdsMaster->FieldByName("OrderID")->AsInteger(), kNoBillID);
    EXPECT_EQ(d->cdsMaster->FieldByName("opid")->AsInteger(), 1);
    EXPECT_EQ(d->cdsMaster->FieldByName("closed")->AsString(), QStringLiteral("F"));
    EXPECT_EQ(d->cdsMaster->FieldByName("billdate")->AsDateTime(), QDateTime(QDate(2024, 3, 15), QTime(0, 0)));
    EXPECT_EQ(d->cdsMaster->FieldByName("rptid")->AsInteger(), 1) << "the standard print style of purchase orders";
    const QString code = d->cdsMaster->FieldByName("code")->AsString();
    EXPECT_TRUE(code.startsWith(QStringLiteral("20240315"))) << code.toStdString();
    EXPECT_FALSE(d->IsBillModified()) << "defaults alone are no change";
    EXPECT_FALSE(d->NextEnabled);

    SetMaster(d, "memo", QStringLiteral("首单"));
    AddLine(d, 3, 12.5);
    AddLine(d, 1, 4);
    ASSERT_TRUE(d->SaveBill()) << Shown().toStdString();
    const int id = d->CurrentBillID;
    EXPECT_GT(id, 0);
    EXPECT_FALSE(d->IsNewBill);
    EXPECT_FALSE(d->IsBillModified());
    EXPECT_EQ(d->cdsMaster->FieldByName("OrderID")->AsInteger(), id);
    EXPECT_EQ(DbValue(QStringLiteral("select code from porder where orderid = %1").arg(id)).toString(), code);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from orderdetail where orderid = %1").arg(id)).toInt(), 2);
    EXPECT_DOUBLE_EQ(DbValue(QStringLiteral("select amount from porder where orderid = %1").arg(id)).toDouble(), 41.5);
    EXPECT_EQ(d->cdsDetail->RecordCount(), 2);
    EXPECT_TRUE(d->PriorEnabled && d->NextEnabled);

    // A second new bill of the same day gets the next number.
    d->NewBill();
    EXPECT_NE(d->cdsMaster->FieldByName("code")->AsString(), code);
    EXPECT_EQ(QApplication::allWidgets().size(), widgets) << "the document made no window part";
}

TEST_F(TBillDocTest, TheSessionGivenDecidesOperatorBranchAndDateNotTheHost)
{
    // The host's globals say nobody is logged in; the document works from its session alone.
    ResetSession();
    TBillSession s = SessionOf(2);
    s.ShopID = 7;
    s.ShopName = QStringLiteral("城南店");
    s.WorkDate = QDate(2024, 5, 20);
    TBillDocument* d = NewDocument(2);
    d->SetSession(s);
    d->NewBill();
    EXPECT_EQ(d->cdsMaster->FieldByName("opid")->AsInteger(), 2);
    EXPECT_EQ(d->cdsMaster->FieldByName("shopid")->AsInteger(), 7);
    EXPECT_EQ(d->cdsMaster->FieldByName("billdate")->AsDateTime().date(), QDate(2024, 5, 20));
    EXPECT_EQ(d->BranchCondition(), QStringLiteral(" and (shopid = 7)"));
    EXPECT_EQ(d->NavFilter, QStringLiteral(" opid =2")) << "without right 227 a clerk steps through own bills only";
}

TEST_F(TBillDocTest, TheSavePacketCarriesEveryKeyAndAnUnchangedBillIsNotSent)
{
    WatchProcedure(QStringLiteral("Submit_POrder_Save"));
    TBillDocument* d = NewDocument();
    const int id = SaveNewBill(d, kDay1);
    ASSERT_EQ(Calls("Submit_POrder_Save"), 1);
    const TPacketParams& p = FRequests.last();
    const QStringList keys{"SubmitType", "BillCaption", "Bind", "IsAddNew", "RelevantBillType", "CVFlag", "MasterDetailBill",
                           "MasterAmountFieldName", "AmountFieldName", "RelevantCredType", "ShopID", "MasterDelta", "DetailDelta",
                           "CheckStep"};
    for (const QString& k : keys)
        EXPECT_TRUE(p.FindParam(k)) << k.toStdString();
    EXPECT_EQ(p.GetString("SubmitType"), QStringLiteral("BillSubmit"));
    EXPECT_EQ(p.GetString("BillCaption"), QStringLiteral("采购订单"));
    EXPECT_TRUE(p.GetBool("IsAddNew"));
    EXPECT_EQ(p.GetInt("RelevantBillType"), 6);
    EXPECT_EQ(p.GetInt("CVFlag"), 2);
    EXPECT_EQ(p.GetString("MasterAmountFieldName"), QStringLiteral("amount"));
    EXPECT_EQ(p.GetInt("CheckStep"), 0);
    EXPECT_EQ(ParseDeltaXML(p.GetString("DetailDelta")).Rows.size(), 1);

    EXPECT_TRUE(d->SaveBill());
    ASSERT_TRUE(d->LoadBillByID(id));
    EXPECT_TRUE(d->SaveBill());
    EXPECT_EQ(Calls("Submit_POrder_Save"), 1) << "nothing changed, nothing sent";

    // An edit of a line only still sends the master row so that the server can check its time.
    d->cdsDetail->First();
    d->cdsDetail->FieldByName("memo")->SetValue(QStringLiteral("改"));
    ASSERT_TRUE(d->SaveBill()) << Shown().toStdString();
    EXPECT_EQ(Calls("Submit_POrder_Save"), 2);
    EXPECT_FALSE(FRequests.last().GetBool("IsAddNew"));
    const TDelta master = ParseDeltaXML(FRequests.last().GetString("MasterDelta"));
    ASSERT_EQ(master.Rows.size(), 1);
    EXPECT_EQ(master.Rows[0].Kind, TUpdateStatus::usModified);
    EXPECT_EQ(DbValue(QStringLiteral("select memo from orderdetail where orderid = %1 and itemno = 1").arg(id)).toString(), QStringLiteral("改"));
}

TEST_F(TBillDocTest, NavigationFollowsDateThenCodeTextAndTheOwnBillsFilter)
{
    TBillDocument* d = NewDocument();
    const int early = SaveNewBill(d, kDay1, QStringLiteral("Z-9"));
    const int b = SaveNewBill(d, kDay2, QStringLiteral("B-2"));
    const int a = SaveNewBill(d, kDay2, QStringLiteral("A-1"));

    d->GotoFirstBill();
    EXPECT_EQ(d->CurrentBillID, early);
    EXPECT_FALSE(d->PriorEnabled);
    EXPECT_TRUE(d->NextEnabled);
    d->GotoNextBill();
    EXPECT_EQ(d->CurrentBillID, a);
    d->GotoNextBill();
    EXPECT_EQ(d->CurrentBillID, b);
    d->GotoNextBill();
    EXPECT_TRUE(d->IsNewBill) << "stepping past the newest bill opens an empty one";
    d->GotoPriorBill();
    EXPECT_EQ(d->CurrentBillID, b) << "prior on a new bill goes to the last";
    d->GotoPriorBill();
    d->GotoPriorBill();
    EXPECT_EQ(d->CurrentBillID, early);
    d->GotoPriorBill();
    EXPECT_EQ(d->CurrentBillID, early);
    EXPECT_FALSE(d->PriorEnabled);
    d->GotoLastBill();
    EXPECT_EQ(d->CurrentBillID, b);
    EXPECT_TRUE(d->PriorEnabled && d->NextEnabled);
    EXPECT_EQ(Msgs->Count(), 0) << Shown().toStdString();

    // A clerk without right 227 sees only own bills.
    Login(2);
    TBillDocument* clerk = NewDocument(2);
    const int own = SaveNewBill(clerk, kDay2);
    clerk->GotoFirstBill();
    EXPECT_EQ(clerk->CurrentBillID, own);
    clerk->GotoNextBill();
    EXPECT_TRUE(clerk->IsNewBill);
    EXPECT_FALSE(clerk->LoadBillByID(early));
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("该单据已不存在或者您无权查看该单据！")));
    EXPECT_TRUE(clerk->IsNewBill);
}

TEST_F(TBillDocTest, OtherOperatorsBillIsReadOnlyWithoutTheRightAndANewBillNever)
{
    TBillDocument* admin = NewDocument();
    const int adminBill = SaveNewBill(admin, kDay1);

    Login(2);
    Grant(2, 38, paEdit);
    Grant(2, 227, paSpecial); // may see, but not change, other operators' bills
    TBillDocument* clerk = NewDocument(2);
    QList<bool> states;
    QObject::connect(clerk, &TBillDocument::readOnlyChanged, [&states](bool ro) { states << ro; });
    const int own = SaveNewBill(clerk, kDay2);
    EXPECT_FALSE(clerk->ReadOnly());

    ASSERT_TRUE(clerk->LoadBillByID(adminBill));
    EXPECT_TRUE(clerk->ReadOnly());
    SetMaster(clerk, "memo", QStringLiteral("不该保存"));
    EXPECT_FALSE(clerk->SaveBill());
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("该单据状态为只读状态不能保存！")));
    EXPECT_TRUE(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(adminBill)).isNull());
    EXPECT_FALSE(clerk->DeleteLine()) << "no line is removed from a read-only bill";

    Msgs->AnswerNo(); // discard the refused edit when leaving
    ASSERT_TRUE(clerk->LoadBillByID(own));
    EXPECT_FALSE(clerk->ReadOnly());
    clerk->NewBill();
    EXPECT_FALSE(clerk->ReadOnly());
    EXPECT_EQ(states, (QList<bool>{true, false})) << "the window is told of every change";

    Grant(2, 228, paSpecial);
    TBillDocument* trusted = NewDocument(2);
    ASSERT_TRUE(trusted->LoadBillByID(adminBill));
    EXPECT_FALSE(trusted->ReadOnly());
}

TEST_F(TBillDocTest, DeletingANewBillCallsNoServerAndASavedOneMovesOn)
{
    WatchProcedure(QStringLiteral("Submit_POrder_Del"));
    TBillDocument* d = NewDocument();
    const int first = SaveNewBill(d, kDay1);
    const int second = SaveNewBill(d, kDay2);

    d->NewBill();
    SetMaster(d, "memo", QStringLiteral("草稿"));
    Msgs->AnswerWhen(QStringLiteral("是否真的删除本单"), IDYES);
    EXPECT_TRUE(d->DeleteBill());
    EXPECT_EQ(Calls("Submit_POrder_Del"), 0);
    EXPECT_TRUE(d->IsNewBill);
    EXPECT_FALSE(d->IsBillModified());

    ASSERT_TRUE(d->LoadBillByID(first));
    Msgs->AnswerNo();
    EXPECT_FALSE(d->DeleteBill());
    EXPECT_EQ(Calls("Submit_POrder_Del"), 0);

    Msgs->AnswerYes();
    EXPECT_TRUE(d->DeleteBill()) << Shown().toStdString();
    ASSERT_EQ(Calls("Submit_POrder_Del"), 1);
    const TPacketParams& p = FRequests.last();
    for (const char* k : {"SubmitType", "BillCaption", "Bind", "IsAddNew", "CurrBillID", "CVFlag", "RelevantBillType", "DBBillType",
                          "RelevantCredType", "ShopID", "BillDate", "MasterDelta", "DetailDelta", "CheckStep"})
        EXPECT_TRUE(p.FindParam(QString::fromLatin1(k))) << k;
    EXPECT_EQ(p.GetInt("CurrBillID"), first);
    EXPECT_EQ(p.GetInt("DBBillType"), 22);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder where orderid = %1").arg(first)).toInt(), 0);
    EXPECT_EQ(d->CurrentBillID, second) << "the next bill is shown";
    EXPECT_FALSE(d->IsBillModified());

    // Without the right: a box with an error icon, nothing sent.
    Login(2);
    TBillDocument* clerk = NewDocument(2);
    SaveNewBill(clerk, kDay1);
    EXPECT_FALSE(clerk->DeleteBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("您没有删除该单据的权限或者该单不能被删除！"));
    EXPECT_EQ(Msgs->Last().Flags & MB_ICONERROR, MB_ICONERROR);
    EXPECT_EQ(Calls("Submit_POrder_Del"), 1);
}

TEST_F(TBillDocTest, RedReversalRightFlagsAndMessages)
{
    WatchProcedure(QStringLiteral("Submit_POrder_Red"));
    TBillDocument* d = NewDocument();
    const int id = SaveNewBill(d, kDay1, QString(), {2, 3});

    Msgs->AnswerWhen(QStringLiteral("对应的红单将即时保存"), IDYES);
    ASSERT_TRUE(d->MakeRedBill()) << Shown().toStdString();
    for (const char* k : {"NewBillCode", "UserID", "opid", "CurrBillID", "DBBillType"})
        EXPECT_TRUE(FRequests.last().FindParam(QString::fromLatin1(k))) << k;
    EXPECT_EQ(d->CurrentBillID, id) << "the reversed bill is shown again";
    EXPECT_EQ(d->cdsMaster->FieldByName("flag")->AsInteger(), 1);
    const int red = DbValue(QStringLiteral("select orderid from porder where referbillid = %1 and flag = 2").arg(id)).toInt();
    ASSERT_GT(red, 0);
    EXPECT_DOUBLE_EQ(DbValue(QStringLiteral("select sum(quantity) from orderdetail where orderid = %1").arg(red)).toDouble(), -5);

    Msgs->ClearRecords();
    EXPECT_FALSE(d->MakeRedBill());
    EXPECT_EQ(Msgs->Count(TMessageKind::YesNo), 0) << "no confirmation for a reversed bill";
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("此单已冲红，不能再做！"));
    ASSERT_TRUE(d->LoadBillByID(red));
    EXPECT_FALSE(d->MakeRedBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("此单不能冲红，除非删除！"));
    d->NewBill();
    Msgs->ClearRecords();
    EXPECT_FALSE(d->MakeRedBill());
    EXPECT_EQ(Msgs->Count(), 0) << "a new bill is silently not reversible";

    Login(2);
    Grant(2, 38, paEdit);
    TBillDocument* clerk = NewDocument(2);
    SaveNewBill(clerk, kDay1);
    EXPECT_FALSE(clerk->MakeRedBill());
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("您没有该项操作权限！")));
    EXPECT_EQ(Calls("Submit_POrder_Red"), 1);
}

TEST_F(TBillDocTest, CopyStartsANewBillWithTheLinesAndNewNumbers)
{
    TBillDocument* d = NewDocument();
    d->NewBill();
    d->CopyBill();
    EXPECT_EQ(Msgs->Last().Kind, TMessageKind::AppMessage);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("新增状态不能进行整单复制!"));

    const int id = SaveNewBill(d, kDay1, QString(), {2, 7});
    const QString code = d->cdsMaster->FieldByName("code")->AsString();
    d->CopyBill();
    EXPECT_TRUE(d->IsNewBill);
    EXPECT_EQ(d->cdsMaster->FieldByName("OrderID")->AsInteger(), kNoBillID);
    EXPECT_EQ(d->cdsMaster->FieldByName("clientid")->AsInteger(), 1);
    EXPECT_NE(d->cdsMaster->FieldByName("code")->AsString(), code);
    EXPECT_EQ(d->cdsMaster->FieldByName("billdate")->AsDateTime().date(), QDate(2024, 3, 15)) << "excluded columns keep the new defaults";
    ASSERT_EQ(d->cdsDetail->RecordCount(), 2);
    d->cdsDetail->Last();
    EXPECT_DOUBLE_EQ(d->cdsDetail->FieldByName("quantity")->AsFloat(), 7);
    EXPECT_DOUBLE_EQ(d->cdsMaster->FieldByName("amount")->AsFloat(), 90) << "the copied lines make the total";

    ASSERT_TRUE(d->SaveBill()) << Shown().toStdString();
    EXPECT_NE(d->CurrentBillID, id);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from orderdetail where orderid = %1").arg(d->CurrentBillID)).toInt(), 2);
}

TEST_F(TBillDocTest, UnsavedChangesQuestionHasThreeAnswers)
{
    TBillDocument* d = NewDocument();
    const int first = SaveNewBill(d, kDay1);
    const int second = SaveNewBill(d, kDay2);

    SetMaster(d, "memo", QStringLiteral("编辑中"));
    Msgs->AnswerCancel();
    EXPECT_FALSE(d->LoadBillByID(first));
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("数据没有保存，保存数据？"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("询问"));
    EXPECT_EQ(d->CurrentBillID, second);
    EXPECT_EQ(d->cdsMaster->FieldByName("memo")->AsString(), QStringLiteral("编辑中"));

    Msgs->AnswerNo();
    EXPECT_TRUE(d->LoadBillByID(first));
    EXPECT_TRUE(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(second)).isNull());

    SetMaster(d, "memo", QStringLiteral("已保存"));
    Msgs->AnswerYes();
    d->GotoNextBill();
    EXPECT_EQ(d->CurrentBillID, second);
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(first)).toString(), QStringLiteral("已保存"));

    // The close check asks with its own words and box flags.
    SetMaster(d, "memo", QStringLiteral("关闭前"));
    Msgs->AnswerCancel();
    EXPECT_FALSE(d->CloseQuery());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("当前单数据没有保存，保存数据？"));
    EXPECT_EQ(Msgs->Last().Flags, 0x23);
    Msgs->AnswerNo();
    EXPECT_TRUE(d->CloseQuery());
    EXPECT_FALSE(d->IsBillModified());
    EXPECT_EQ(Msgs->PendingAnswers(), 0);
}

TEST_F(TBillDocTest, StaleEditIsRefusedAndTheEditKept)
{
    TBillDocument* a = NewDocument();
    const int id = SaveNewBill(a, kDay1);
    TBillDocument* b = NewDocument();
    ASSERT_TRUE(b->LoadBillByID(id));

    SetMaster(b, "memo", QStringLiteral("乙先改"));
    ASSERT_TRUE(b->SaveBill()) << Shown().toStdString();

    SetMaster(a, "memo", QStringLiteral("甲后改"));
    EXPECT_FALSE(a->SaveBill());
    EXPECT_EQ(Msgs->Last().Kind, TMessageKind::Error);
    EXPECT_TRUE(Msgs->Last().Text.contains(QStringLiteral("其他用户修改"))) << Msgs->Last().Text.toStdString();
    EXPECT_EQ(a->cdsMaster->FieldByName("memo")->AsString(), QStringLiteral("甲后改"));
    EXPECT_TRUE(a->IsBillModified());
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(id)).toString(), QStringLiteral("乙先改"));

    a->RefreshBill();
    SetMaster(a, "memo", QStringLiteral("甲后改"));
    EXPECT_TRUE(a->SaveBill());
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(id)).toString(), QStringLiteral("甲后改"));
}

TEST_F(TBillDocTest, ServerAnswersWarningsErrorsAndSilentRefusals)
{
    TScriptedServer server;
    server.Install(QStringLiteral("Submit_POrder_Save"));
    TBillDocument* d = NewDocument();

    // An accepted stock warning is sent again with the next check step.
    server.Replies << Reply(1501, QStringLiteral("库存检查"), QStringLiteral("01001 茶杯 库存 -2"));
    Msgs->AnswerWhen(QStringLiteral("01001 茶杯"), IDYES);
    const int id = SaveNewBill(d, kDay1);
    EXPECT_EQ(server.CheckSteps, (QList<int>{0, 1502}));
    EXPECT_GT(id, 0);
    EXPECT_TRUE(Msgs->Records().first().Text.startsWith(QStringLiteral("以下货品的库存将为"))) << Shown().toStdString();

    // A cancelled warning ends the save quietly and keeps the edit.
    server.CheckSteps.clear();
    server.Replies << Reply(1503, QStringLiteral("库存检查"), QStringLiteral("01002 茶壶 超上限"));
    SetMaster(d, "memo", QStringLiteral("再改"));
    Msgs->ClearRecords();
    Msgs->AnswerNo();
    EXPECT_FALSE(d->SaveBill());
    EXPECT_EQ(server.CheckSteps, QList<int>{0});
    EXPECT_EQ(Msgs->Count(), 1);
    EXPECT_TRUE(Msgs->Last().Text.startsWith(QStringLiteral("以下货品的库存超出库存上限或低于库存下限:")));
    EXPECT_TRUE(d->IsBillModified());

    // 1: the server's message with its title; other numbers: nothing shown.
    server.Replies << Reply(1, QStringLiteral("保存失败"), QStringLiteral("供应商已停用"));
    EXPECT_FALSE(d->SaveBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("供应商已停用"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("保存失败"));
    server.Replies << Reply(7, QString(), QStringLiteral("x"));
    Msgs->ClearRecords();
    EXPECT_FALSE(d->SaveBill());
    EXPECT_EQ(Msgs->Count(), 0);
    EXPECT_EQ(d->cdsMaster->FieldByName("memo")->AsString(), QStringLiteral("再改"));

    // The kept edits save once the server agrees.
    EXPECT_TRUE(d->SaveBill());
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(id)).toString(), QStringLiteral("再改"));
}

TEST_F(TBillDocTest, PriceWarningFollowsTheSideTheOptionAndTheRight)
{
    TScriptedServer server;
    server.Install(QStringLiteral("Submit_POrder_Save"));
    FCon->Execute(QStringLiteral("delete from accoption where upper(optionkey) = 'CHECKMAXBUYPRICE'"));
    FCon->Execute(QStringLiteral("insert into accoption (optionkey, optionvalue) values ('CHECKMAXBUYPRICE', '1')"));
    Login(2);
    Grant(2, 38, paEdit);
    TBillDocument* d = NewDocument(2);
    server.Replies << Reply(1401, QStringLiteral("价格检查"), QStringLiteral("01001 茶杯 进价 99"));
    d->NewBill();
    AddLine(d, 1, 99);
    EXPECT_FALSE(d->SaveBill());
    EXPECT_EQ(server.CheckSteps, QList<int>{0});
    EXPECT_EQ(Msgs->Last().Kind, TMessageKind::Error) << "without right 359 the purchase is refused";

    Grant(2, 359, paSpecial);
    server.CheckSteps.clear();
    server.Replies << Reply(1401, QStringLiteral("价格检查"), QStringLiteral("01001 茶杯 进价 99"));
    Msgs->AnswerYes();
    EXPECT_TRUE(d->SaveBill()) << Shown().toStdString();
    EXPECT_EQ(server.CheckSteps, (QList<int>{0, 1402}));

    // With the option off the warning is passed without a question.
    FCon->Execute(QStringLiteral("update accoption set optionvalue = '0' where optionkey = 'CHECKMAXBUYPRICE'"));
    server.CheckSteps.clear();
    server.Replies << Reply(1401, QStringLiteral("价格检查"), QStringLiteral("01001 茶杯 进价 99"));
    SetMaster(d, "memo", QStringLiteral("价"));
    Msgs->ClearRecords();
    EXPECT_TRUE(d->SaveBill());
    EXPECT_EQ(Msgs->Count(TMessageKind::YesNo), 0);
    EXPECT_EQ(server.CheckSteps, (QList<int>{0, 1402}));
}

TEST_F(TBillDocTest, RequiredFieldsAndTheNewRightStopTheSave)
{
    TBillDocument* d = NewDocument();
    d->NewBill();
    d->cdsMaster->FieldByName("billto")->DisplayLabel = QStringLiteral("收货地址");
    d->cdsMaster->FieldByName("billto")->Required = true;
    AddLine(d, 1, 1);
    EXPECT_FALSE(d->SaveBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("字段:[收货地址]不能为空."));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("错误"));
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder")).toInt(), 0);

    Login(2);
    FCon->Execute(QStringLiteral("delete from operatorright where opid = 2 and privilegeid = 38 and action = 2"));
    TBillDocument* clerk = NewDocument(2);
    clerk->NewBill();
    AddLine(clerk, 1, 1);
    EXPECT_FALSE(clerk->SaveBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("您没有新增操作权限"));
    EXPECT_EQ(clerk->cdsDetail->RecordCount(), 1) << "the refused bill stays on screen";
}

TEST_F(TBillDocTest, ANewBillKeepsItsRequestIdUntilItIsSaved)
{
    // The first answer is lost on the way; the bill is sent again as the same request.
    QStringList ids;
    bool lose = true;
    const TServerMethod real = TServerRegistry::FindMethod(QStringLiteral("Submit_POrder_Save"));
    TServerRegistry::RegisterMethod(QStringLiteral("Submit_POrder_Save"), [&](TClientConnection& con, const QString& request) {
        TPacketParams p;
        p.LoadFromString(request);
        ids << p.GetString("RequestID");
        if (std::exchange(lose, false))
            throw EDatabaseError(QStringLiteral("连接中断"));
        return real(con, request);
    });
    TBillDocument* d = NewDocument();
    d->NewBill();
    AddLine(d, 1, 5);
    EXPECT_FALSE(d->SaveBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("连接中断"));
    EXPECT_TRUE(d->IsNewBill);
    ASSERT_TRUE(d->SaveBill()) << Shown().toStdString();
    ASSERT_EQ(ids.size(), 2);
    EXPECT_EQ(ids[0].size(), 36);
    EXPECT_EQ(ids[1], ids[0]);

    // An edit of the saved bill is no new request; the next new bill is.
    SetMaster(d, "memo", QStringLiteral("改"));
    ASSERT_TRUE(d->SaveBill());
    d->NewBill();
    AddLine(d, 2, 5);
    ASSERT_TRUE(d->SaveBill());
    ASSERT_EQ(ids.size(), 4);
    EXPECT_TRUE(ids[2].isEmpty());
    EXPECT_EQ(ids[3].size(), 36);
    EXPECT_NE(ids[3], ids[0]);
}
