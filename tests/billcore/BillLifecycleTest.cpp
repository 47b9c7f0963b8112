// New, save, load, navigate, delete, red reversal, copy and the unsaved-changes question of
// the bill base form, end to end against the demo database and the real save procedures.
#include "BillFormFixture.h"

#include <QToolButton>
#include <QWidget>

namespace {
const QDate kDay1(2024, 3, 1);
const QDate kDay2(2024, 3, 2);
} // namespace

TEST_F(TBillFormTest, NewBillTakesDefaultsAndSavingReturnsIdAndCode)
{
    TTestPorderForm* f = NewForm();
    EXPECT_EQ(f->DeleteProcName, QStringLiteral("Submit_POrder_Del"));
    EXPECT_EQ(f->RedProcName, QStringLiteral("Submit_POrder_Red"));

    f->NewBill();
    EXPECT_TRUE(f->IsNewBill);
    EXPECT_EQ(f->cdsMaster->State(), TDataSetState::dsInsert);
    EXPECT_EQ(f->cdsMaster->FieldByName("OrderID")->AsInteger(), kNoBillID);
    EXPECT_EQ(f->cdsMaster->FieldByName("opid")->AsInteger(), 1);
    EXPECT_EQ(f->cdsMaster->FieldByName("shopid")->AsInteger(), AccSetData.ShopID);
    EXPECT_EQ(f->cdsMaster->FieldByName("closed")->AsString(), QStringLiteral("F"));
    EXPECT_EQ(f->cdsMaster->FieldByName("billdate")->AsDateTime(), QDateTime(QDate(2024, 3, 15), QTime(0, 0)));
    EXPECT_EQ(f->cdsMaster->FieldByName("rptid")->AsInteger(), 1); // the standard print style of purchase orders
    const QString code = f->cdsMaster->FieldByName("code")->AsString();
    EXPECT_TRUE(code.startsWith(QStringLiteral("20240315"))) << code.toStdString();
    EXPECT_FALSE(f->IsBillModified()) << "defaults alone are no change";
    EXPECT_FALSE(f->ANext->isEnabled());

    SetMaster(f, "memo", QStringLiteral("首单"));
    AddLine(f, 1, 3, 12.5);
    AddLine(f, 2, 1, 4);
    ASSERT_TRUE(f->SaveBill()) << Msgs->Texts().join(u'|').toStdString();
    const int id = f->CurrentBillID;
    EXPECT_GT(id, 0);
    EXPECT_FALSE(f->IsNewBill);
    EXPECT_FALSE(f->IsBillModified());
    EXPECT_EQ(f->cdsMaster->FieldByName("OrderID")->AsInteger(), id);
    EXPECT_EQ(DbValue(QStringLiteral("select code from porder where orderid = %1").arg(id)).toString(), code);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from orderdetail where orderid = %1").arg(id)).toInt(), 2);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName("amount")->AsFloat(), 41.5);
    EXPECT_EQ(f->cdsDetail->RecordCount(), 2);
    EXPECT_TRUE(f->ANext->isEnabled() && f->APrev->isEnabled());

    // A second new bill of the same day gets the next number.
    f->NewBill();
    EXPECT_NE(f->cdsMaster->FieldByName("code")->AsString(), code);
}

TEST_F(TBillFormTest, SavingAnUnchangedBillCallsNoServer)
{
    WatchProcedure(QStringLiteral("Submit_POrder_Save"));
    TTestPorderForm* f = NewForm();
    const int id = SaveNewBill(f, kDay1);
    EXPECT_EQ(Calls("Submit_POrder_Save"), 1);
    EXPECT_TRUE(FRequests.last().GetBool("IsAddNew"));
    EXPECT_EQ(FRequests.last().GetString("SubmitType"), QStringLiteral("BillSubmit"));
    EXPECT_EQ(FRequests.last().GetString("BillCaption"), QStringLiteral("采购订单"));
    EXPECT_EQ(FRequests.last().GetInt("RelevantBillType"), 6);
    EXPECT_EQ(FRequests.last().GetInt("CVFlag"), 2);
    EXPECT_EQ(FRequests.last().GetInt("CheckStep"), 0);
    EXPECT_FALSE(FRequests.last().GetString("DetailDelta").isEmpty());

    EXPECT_TRUE(f->SaveBill());
    EXPECT_EQ(Calls("Submit_POrder_Save"), 1);
    ASSERT_TRUE(f->LoadBillByID(id));
    EXPECT_TRUE(f->SaveBill());
    EXPECT_EQ(Calls("Submit_POrder_Save"), 1);

    // An edit of a line only still sends the master row so that the server can check its time.
    f->cdsDetail->First();
    f->cdsDetail->FieldByName("memo")->SetValue(QStringLiteral("改"));
    ASSERT_TRUE(f->SaveBill()) << Msgs->Texts().join(u'|').toStdString();
    EXPECT_EQ(Calls("Submit_POrder_Save"), 2);
    EXPECT_FALSE(FRequests.last().GetBool("IsAddNew"));
    const TDelta master = ParseDeltaXML(FRequests.last().GetString("MasterDelta"));
    ASSERT_EQ(master.Rows.size(), 1);
    EXPECT_EQ(master.Rows[0].Kind, TUpdateStatus::usModified);
    EXPECT_EQ(DbValue(QStringLiteral("select memo from orderdetail where orderid = %1 and itemno = 1").arg(id)).toString(), QStringLiteral("改"));
}

TEST_F(TBillFormTest, NavigationFollowsDateThenCodeText)
{
    TTestPorderForm* f = NewForm();
    const int early = SaveNewBill(f, kDay1, QStringLiteral("Z-9"));
    const int b = SaveNewBill(f, kDay2, QStringLiteral("B-2"));
    const int a = SaveNewBill(f, kDay2, QStringLiteral("A-1"));

    f->GotoFirstBill();
    EXPECT_EQ(f->CurrentBillID, early);
    EXPECT_FALSE(f->APrev->isEnabled());
    EXPECT_TRUE(f->ANext->isEnabled());
    f->GotoNextBill();
    EXPECT_EQ(f->CurrentBillID, a);
    f->GotoNextBill();
    EXPECT_EQ(f->CurrentBillID, b);
    f->GotoNextBill();
    EXPECT_TRUE(f->IsNewBill) << "stepping past the newest bill opens an empty one";
    f->GotoPriorBill();
    EXPECT_EQ(f->CurrentBillID, b) << "prior on a new bill goes to the last";
    f->GotoPriorBill();
    EXPECT_EQ(f->CurrentBillID, a);
    f->GotoPriorBill();
    EXPECT_EQ(f->CurrentBillID, early);
    f->GotoPriorBill();
    EXPECT_EQ(f->CurrentBillID, early);
    EXPECT_FALSE(f->APrev->isEnabled());
    f->GotoLastBill();
    EXPECT_EQ(f->CurrentBillID, b);
    EXPECT_TRUE(f->APrev->isEnabled() && f->ANext->isEnabled());
    EXPECT_EQ(Msgs->Count(), 0) << Msgs->Texts().join(u'|').toStdString();
}

TEST_F(TBillFormTest, UserWithoutOthersBillsRightNavigatesOnlyOwnBills)
{
    TTestPorderForm* admin = NewForm();
    const int adminBill = SaveNewBill(admin, kDay1);
    EXPECT_TRUE(admin->NavFilter.isEmpty()) << "a manager sees every operator's bills";

    Login(2);
    TTestPorderForm* clerk = NewForm();
    EXPECT_EQ(clerk->NavFilter, QStringLiteral(" opid =2"));
    const int own = SaveNewBill(clerk, kDay2);
    EXPECT_EQ(DbValue(QStringLiteral("select opid from porder where orderid = %1").arg(own)).toInt(), 2);

    clerk->GotoFirstBill();
    EXPECT_EQ(clerk->CurrentBillID, own);
    clerk->GotoPriorBill();
    EXPECT_EQ(clerk->CurrentBillID, own);
    clerk->GotoNextBill();
    EXPECT_TRUE(clerk->IsNewBill);

    EXPECT_FALSE(clerk->LoadBillByID(adminBill));
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("该单据已不存在或者您无权查看该单据！")));
    EXPECT_TRUE(clerk->IsNewBill);
}

TEST_F(TBillFormTest, OtherOperatorsBillIsReadOnlyWithoutTheRight)
{
    TTestPorderForm* admin = NewForm();
    const int adminBill = SaveNewBill(admin, kDay1);

    Login(2);
    Grant(2, 38, paEdit);
    Grant(2, 227, paSpecial); // may see, but not change, other operators' bills
    TTestPorderForm* clerk = NewForm();
    const int own = SaveNewBill(clerk, kDay2);
    EXPECT_FALSE(clerk->ReadOnly());

    ASSERT_TRUE(clerk->LoadBillByID(adminBill));
    EXPECT_TRUE(clerk->ReadOnly());
    EXPECT_TRUE(clerk->Privilege()->ReadOnly());
    QWidget* memo = clerk->MasterPanel->findChild<QWidget*>(QStringLiteral("edmemo"));
    ASSERT_NE(memo, nullptr);
    EXPECT_FALSE(memo->isEnabled());
    EXPECT_TRUE(clerk->btnPrev->isEnabled()) << "navigation stays possible";

    SetMaster(clerk, "memo", QStringLiteral("不该保存"));
    EXPECT_FALSE(clerk->SaveBill());
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("该单据状态为只读状态不能保存！")));
    EXPECT_TRUE(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(adminBill)).isNull());

    Msgs->AnswerNo(); // discard the refused edit when leaving
    ASSERT_TRUE(clerk->LoadBillByID(own));
    EXPECT_FALSE(clerk->ReadOnly());
    EXPECT_TRUE(memo->isEnabled() || clerk->MasterPanel->findChild<QWidget*>(QStringLiteral("edmemo"))->isEnabled());

    clerk->NewBill();
    EXPECT_FALSE(clerk->ReadOnly()) << "a new bill is never read-only";

    Grant(2, 228, paSpecial);
    TTestPorderForm* trusted = NewForm();
    ASSERT_TRUE(trusted->LoadBillByID(adminBill));
    EXPECT_FALSE(trusted->ReadOnly());
}

TEST_F(TBillFormTest, DeletingANewBillCallsNoServerAndASavedOneMovesOn)
{
    WatchProcedure(QStringLiteral("Submit_POrder_Del"));
    TTestPorderForm* f = NewForm();
    const int first = SaveNewBill(f, kDay1);
    const int second = SaveNewBill(f, kDay2);

    f->NewBill();
    SetMaster(f, "memo", QStringLiteral("草稿"));
    Msgs->AnswerWhen(QStringLiteral("是否真的删除本单"), IDYES);
    EXPECT_TRUE(f->DeleteBill());
    EXPECT_EQ(Calls("Submit_POrder_Del"), 0);
    EXPECT_TRUE(f->IsNewBill);
    EXPECT_FALSE(f->IsBillModified());

    ASSERT_TRUE(f->LoadBillByID(first));
    Msgs->AnswerNo();
    EXPECT_FALSE(f->DeleteBill());
    EXPECT_EQ(Calls("Submit_POrder_Del"), 0);

    Msgs->AnswerYes();
    EXPECT_TRUE(f->DeleteBill()) << Msgs->Texts().join(u'|').toStdString();
    EXPECT_EQ(Calls("Submit_POrder_Del"), 1);
    EXPECT_EQ(FRequests.last().GetInt("CurrBillID"), first);
    EXPECT_EQ(FRequests.last().GetInt("DBBillType"), 22);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder where orderid = %1").arg(first)).toInt(), 0);
    EXPECT_EQ(f->CurrentBillID, second) << "the next bill is shown";
    EXPECT_FALSE(f->IsBillModified());
}

TEST_F(TBillFormTest, DeleteNeedsTheRight)
{
    TTestPorderForm* admin = NewForm();
    SaveNewBill(admin, kDay1);
    Login(2);
    TTestPorderForm* clerk = NewForm();
    SaveNewBill(clerk, kDay1);
    EXPECT_FALSE(clerk->DeleteBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("您没有删除该单据的权限或者该单不能被删除！"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("错误"));
    EXPECT_EQ(Msgs->Last().Flags & MB_ICONERROR, MB_ICONERROR);
}

TEST_F(TBillFormTest, RedReversalFlagsAndMessages)
{
    TTestPorderForm* f = NewForm();
    const int id = SaveNewBill(f, kDay1, QString(), {2, 3});

    Msgs->AnswerWhen(QStringLiteral("对应的红单将即时保存"), IDYES);
    ASSERT_TRUE(f->MakeRedBill()) << Msgs->Texts().join(u'|').toStdString();
    EXPECT_EQ(f->CurrentBillID, id) << "the reversed bill is shown again";
    EXPECT_EQ(f->cdsMaster->FieldByName("flag")->AsInteger(), 1);
    const int red = DbValue(QStringLiteral("select orderid from porder where referbillid = %1 and flag = 2").arg(id)).toInt();
    ASSERT_GT(red, 0);
    EXPECT_DOUBLE_EQ(DbValue(QStringLiteral("select sum(quantity) from orderdetail where orderid = %1").arg(red)).toDouble(), -5);

    Msgs->ClearRecords();
    EXPECT_FALSE(f->MakeRedBill());
    EXPECT_EQ(Msgs->Count(TMessageKind::YesNo), 0) << "no confirmation for a reversed bill";
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("此单已冲红，不能再做！"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("提示"));

    ASSERT_TRUE(f->LoadBillByID(red));
    EXPECT_FALSE(f->MakeRedBill());
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("此单不能冲红，除非删除！"));

    f->NewBill();
    Msgs->ClearRecords();
    EXPECT_FALSE(f->MakeRedBill());
    EXPECT_EQ(Msgs->Count(), 0) << "a new bill is silently not reversible";
}

TEST_F(TBillFormTest, RedReversalNeedsTheRedRight)
{
    TTestPorderForm* admin = NewForm();
    SaveNewBill(admin, kDay1);
    Login(2);
    Grant(2, 38, paEdit);
    TTestPorderForm* clerk = NewForm();
    SaveNewBill(clerk, kDay1);
    EXPECT_FALSE(clerk->MakeRedBill());
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("您没有该项操作权限！")));
    EXPECT_EQ(Msgs->Count(TMessageKind::YesNo), 0);
}

TEST_F(TBillFormTest, CopyStartsANewBillWithTheLines)
{
    TTestPorderForm* f = NewForm();
    f->CopyBill();
    EXPECT_EQ(Msgs->Last().Kind, TMessageKind::AppMessage);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("新增状态不能进行整单复制!"));

    const int id = SaveNewBill(f, kDay1, QString(), {2, 7});
    const QString code = f->cdsMaster->FieldByName("code")->AsString();
    f->CopyBill();
    EXPECT_TRUE(f->IsNewBill);
    EXPECT_EQ(f->cdsMaster->FieldByName("OrderID")->AsInteger(), kNoBillID);
    EXPECT_EQ(f->cdsMaster->FieldByName("clientid")->AsInteger(), 1);
    EXPECT_NE(f->cdsMaster->FieldByName("code")->AsString(), code);
    EXPECT_EQ(f->cdsMaster->FieldByName("billdate")->AsDateTime().date(), QDate(2024, 3, 15)) << "excluded columns keep the new defaults";
    ASSERT_EQ(f->cdsDetail->RecordCount(), 2);
    f->cdsDetail->Last();
    EXPECT_DOUBLE_EQ(f->cdsDetail->FieldByName("quantity")->AsFloat(), 7);

    ASSERT_TRUE(f->SaveBill()) << Msgs->Texts().join(u'|').toStdString();
    EXPECT_NE(f->CurrentBillID, id);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from orderdetail where orderid = %1").arg(f->CurrentBillID)).toInt(), 2);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from orderdetail where orderid = %1").arg(id)).toInt(), 2);
}

TEST_F(TBillFormTest, UnsavedChangesQuestionHasThreeAnswers)
{
    TTestPorderForm* f = NewForm();
    const int first = SaveNewBill(f, kDay1);
    const int second = SaveNewBill(f, kDay2);

    // Cancel: stay on the bill with the edit.
    SetMaster(f, "memo", QStringLiteral("编辑中"));
    Msgs->AnswerCancel();
    EXPECT_FALSE(f->LoadBillByID(first));
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("数据没有保存，保存数据？"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("询问"));
    EXPECT_EQ(f->CurrentBillID, second);
    EXPECT_EQ(f->cdsMaster->FieldByName("memo")->AsString(), QStringLiteral("编辑中"));

    // No: the edit is dropped.
    Msgs->AnswerNo();
    EXPECT_TRUE(f->LoadBillByID(first));
    EXPECT_EQ(f->CurrentBillID, first);
    EXPECT_TRUE(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(second)).isNull());

    // Yes: saved, then moved on.
    SetMaster(f, "memo", QStringLiteral("已保存"));
    Msgs->AnswerYes();
    f->GotoNextBill();
    EXPECT_EQ(f->CurrentBillID, second);
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(first)).toString(), QStringLiteral("已保存"));
    EXPECT_EQ(Msgs->PendingAnswers(), 0);
}

TEST_F(TBillFormTest, StaleEditIsRefusedAndTheEditKept)
{
    TTestPorderForm* a = NewForm();
    const int id = SaveNewBill(a, kDay1);
    TTestPorderForm* b = NewForm();
    ASSERT_TRUE(b->LoadBillByID(id));

    SetMaster(b, "memo", QStringLiteral("乙先改"));
    ASSERT_TRUE(b->SaveBill()) << Msgs->Texts().join(u'|').toStdString();

    SetMaster(a, "memo", QStringLiteral("甲后改"));
    EXPECT_FALSE(a->SaveBill());
    EXPECT_EQ(Msgs->Last().Kind, TMessageKind::Error);
    EXPECT_TRUE(Msgs->Last().Text.contains(QStringLiteral("其他用户修改"))) << Msgs->Last().Text.toStdString();
    EXPECT_EQ(a->cdsMaster->FieldByName("memo")->AsString(), QStringLiteral("甲后改"));
    EXPECT_TRUE(a->IsBillModified());
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(id)).toString(), QStringLiteral("乙先改"));

    // After a refresh the same edit goes through.
    a->RefreshBill();
    SetMaster(a, "memo", QStringLiteral("甲后改"));
    EXPECT_TRUE(a->SaveBill());
    EXPECT_EQ(DbValue(QStringLiteral("select memo from porder where orderid = %1").arg(id)).toString(), QStringLiteral("甲后改"));
}
