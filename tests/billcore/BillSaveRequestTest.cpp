// A save whose answer is lost and is sent again, and a bill another user deleted meanwhile:
// the form and the server together keep one bill and say what happened in words.
#include "BillFormFixture.h"

namespace {
const QDate kDay(2024, 3, 4);
} // namespace

TEST_F(TBillFormTest, ASaveRepeatedAfterALostAnswerSavesOneBill)
{
    // the first answer never reaches the form: the procedure saved, the reply is lost
    const TServerMethod save = TServerRegistry::FindMethod(QStringLiteral("Submit_POrder_Save"));
    QStringList requestIds;
    int calls = 0;
    TServerRegistry::RegisterMethod(QStringLiteral("Submit_POrder_Save"), [&](TClientConnection& con, const QString& request) {
        TPacketParams p;
        p.LoadFromString(request);
        requestIds << p.GetString("RequestID");
        const QString reply = save(con, request);
        if (++calls == 1)
            throw EDatabaseError(QStringLiteral("网络连接中断"));
        return reply;
    });
    const int before = DbValue(QStringLiteral("select count(*) from porder")).toInt();
    TTestPorderForm* f = NewForm();
    f->NewBill();
    SetMaster(f, "billdate", QDateTime(kDay, QTime(0, 0)));
    AddLine(f, 1, 3, 12.5);
    EXPECT_FALSE(f->SaveBill());
    EXPECT_TRUE(f->IsNewBill) << "the edits stay on screen";
    ASSERT_TRUE(f->SaveBill()) << Msgs->Texts().join(u'|').toStdString();

    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder")).toInt(), before + 1);
    ASSERT_EQ(requestIds.size(), 2);
    EXPECT_FALSE(requestIds[0].isEmpty());
    EXPECT_EQ(requestIds[1], requestIds[0]);
    EXPECT_EQ(f->CurrentBillID, DbValue(QStringLiteral("select max(orderid) from porder")).toInt());

    // the next new bill is another request
    f->NewBill();
    SetMaster(f, "billdate", QDateTime(kDay, QTime(0, 0)));
    AddLine(f, 2, 1, 4);
    ASSERT_TRUE(f->SaveBill()) << Msgs->Texts().join(u'|').toStdString();
    EXPECT_NE(requestIds.last(), requestIds[0]);
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from porder")).toInt(), before + 2);
}

TEST_F(TBillFormTest, DeletingABillAnotherUserDeletedSaysSoInWords)
{
    TTestPorderForm* mine = NewForm();
    const int id = SaveNewBill(mine, kDay);
    TTestPorderForm* theirs = NewForm();
    ASSERT_TRUE(theirs->LoadBillByID(id));
    Msgs->AnswerWhen(QStringLiteral("是否真的删除本单"), IDYES);
    ASSERT_TRUE(theirs->DeleteBill()) << Msgs->Texts().join(u'|').toStdString();

    Msgs->ClearRecords();
    Msgs->AnswerWhen(QStringLiteral("是否真的删除本单"), IDYES);
    EXPECT_FALSE(mine->DeleteBill());
    EXPECT_TRUE(Msgs->Contains(QStringLiteral("该单据已不存在，可能已被其他用户删除！"))) << Msgs->Texts().join(u'|').toStdString();
}
