// A save whose answer is lost after the server saved, sent again; a bill another user deleted
// meanwhile; a change the operator may not make: the document and the server together keep one
// bill and say what happened in words.
#include "DocumentFixture.h"

namespace {
const QDate kDay(2024, 3, 4);
} // namespace

TEST_F(TBillDocTest, ASaveRepeatedAfterALostAnswerSavesOneBill)
{
    // the procedure saved, the reply is lost on the way back
    const TServerMethod save = TServerRegistry::FindMethod(QStringLiteral("Submit_POrder_Save"));
    int calls = 0;
    TServerRegistry::RegisterMethod(QStringLiteral("Submit_POrder_Save"), [&](TClientConnection& con, const QString& request) {
        const QString reply = save(con, request);
        if (++calls == 1)
            throw EDatabaseError(QStringLiteral("网络连接中断"));
        return reply;
    });
    const int before = DbValue(QStringLiteral("select count(*) from porder")).toInt();
    TBillDocument* d = NewDocument();
    d->NewBill();
    AddLine(d, 3, 12.5);
    EXPECT_FALSE(d->SaveBill());
    EXPECT_TRUE(d->IsNewBill) << "the edits stay on screen";
    ASSERT_TRUE(d->SaveBill()) << Shown().toStdString();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder")).toInt(), before + 1);
    EXPECT_EQ(d->CurrentBillID, DbValue(QStringLiteral("select max(orderid) from porder")).toInt());
}

TEST_F(TBillDocTest, DeletingABillAnotherUserDeletedSaysSoInWords)
{
    TBillDocument* mine = NewDocument();
    const int id = SaveNewBill(mine, kDay);
    TBillDocument* theirs = NewDocument();
    ASSERT_TRUE(theirs->LoadBillByID(id));
    Msgs->AnswerWhen(QStringLiteral("是否真的删除本单"), IDYES);
    ASSERT_TRUE(theirs->DeleteBill()) << Shown().toStdString();

    Msgs->ClearRecords();
    Msgs->AnswerWhen(QStringLiteral("是否真的删除本单"), IDYES);
    EXPECT_FALSE(mine->DeleteBill());
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("该单据已不存在，可能已被其他用户删除！"))) << Shown().toStdString();
}

TEST_F(TBillDocTest, AChangeWithoutTheEditRightIsRefusedInWords)
{
    // the demo clerk may add purchase orders but not change them
    Login(2);
    TBillDocument* clerk = NewDocument(2);
    SaveNewBill(clerk, kDay);
    Msgs->ClearRecords();
    SetMaster(clerk, "memo", QStringLiteral("改一下"));
    EXPECT_FALSE(clerk->SaveBill());
    ASSERT_EQ(Msgs->Count(), 1);
    EXPECT_EQ(Msgs->Last().Text, QStringLiteral("您没有修改该单据的权限！"));
    EXPECT_EQ(Msgs->Last().Caption, QStringLiteral("错误"));
}
