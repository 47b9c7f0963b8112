// Branch deliveries: a request, a delivery against it and a transfer against the delivery,
// each raising the executed quantity of the line it takes; the branch and date rules; and the
// deliveries a branch sees as sender and as receiver.
#include "SalesFixture.h"

#include "bills/sales/DeliverForm.h"
#include "billcore/BillSession.h"
#include "host/Session.h"
#include "platform/DataSet.h"
#include "server/Procedures.h"

#include <QComboBox>

class DeliveryTest : public TSalesTest {
protected:
    void Refer(TGoodsBillForm* f, int type, int id, int item)
    {
        SetLine(f, QStringLiteral("refertype"), type);
        SetLine(f, QStringLiteral("referbillid"), id);
        SetLine(f, QStringLiteral("referitemno"), item);
        f->cdsDetail->Post();
    }
};

TEST_F(DeliveryTest, RequestThenDeliveryThenTransferEachRaiseTheLineTheyTake)
{
    const TStock goods = Stocked(3);
    // branch 2 asks for goods into its store ...
    FCon->Execute(QStringLiteral("update operator set shopid = 2 where opid = 1"));
    Login(1);
    TSalesBillForm* ask = NewBill(QStringLiteral("AskDelieverForm"), 0);
    ASSERT_NE(ask, nullptr);
    Set(ask, QStringLiteral("shopid"), 2);
    Set(ask, QStringLiteral("storeid"), 3);
    AddLine(ask, goods, 12, 0);
    const QDateTime day = ask->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    Set(ask, QStringLiteral("delidate"), day.addDays(-1));
    EXPECT_FALSE(Save(ask));
    EXPECT_TRUE(Shown(QStringLiteral("到货日期不能小于开单日期！"))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    Set(ask, QStringLiteral("delidate"), day.addDays(3));
    Set(ask, QStringLiteral("storeid"), QVariant());
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(ask));
    EXPECT_TRUE(Shown(QStringLiteral("请输入仓库！")));
    Set(ask, QStringLiteral("storeid"), 3);
    Set(ask, QStringLiteral("shopid"), QVariant());
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(ask));
    EXPECT_TRUE(Shown(QStringLiteral("请输入请调机构！")));
    Set(ask, QStringLiteral("shopid"), 2);
    ASSERT_TRUE(Save(ask)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    const int askId = ask->CurrentBillID;
    delete ask;
    // ... and the head office delivers them
    FCon->Execute(QStringLiteral("update operator set shopid = 1 where opid = 1"));
    Login(1);

    // the delivery: every rule in its order, then saved against the request
    TSalesBillForm* dl = NewBill(QStringLiteral("DeliverForm"), 0);
    ASSERT_NE(dl, nullptr);
    AddLine(dl, goods, 8, 0);
    Refer(dl, 41, askId, 1);
    const QVector<std::pair<const char*, QVariant>> steps = {
        {"outshopid", QVariant()}, {"inshopid", QVariant()}, {"inshopid", 1}, {"outstoreid", QVariant()}, {"instoreid", QVariant()}};
    const char* texts[] = {"请输入调出机构！", "请输入调入机构！", "调入机构与调出机构不能相同！", "请输入调出仓库！", "请输入调入仓库！"};
    for (int i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        Set(dl, QStringLiteral("outshopid"), i == 0 ? QVariant() : QVariant(1));
        Set(dl, QStringLiteral("inshopid"), i == 1 ? QVariant() : QVariant(i == 2 ? 1 : 2));
        Set(dl, QStringLiteral("outstoreid"), i == 3 ? QVariant() : QVariant(1));
        Set(dl, QStringLiteral("instoreid"), i == 4 ? QVariant() : QVariant(3));
        FMessages->ClearRecords();
        EXPECT_FALSE(Save(dl));
        EXPECT_TRUE(Shown(QString::fromUtf8(texts[i]))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(FMessages->Count(), 1) << "the first broken rule speaks alone";
    }
    Set(dl, QStringLiteral("instoreid"), 3);
    Set(dl, QStringLiteral("delidate"), dl->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime().addDays(-2));
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(dl));
    EXPECT_TRUE(Shown(QStringLiteral("到货日期不能小于业务日期！")));
    Set(dl, QStringLiteral("delidate"), QVariant());
    SetLine(dl, QStringLiteral("unitqty"), -1);
    dl->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(dl));
    EXPECT_TRUE(Shown(QStringLiteral("数量必须大于零！"))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    SetLine(dl, QStringLiteral("unitqty"), 8);
    dl->cdsDetail->Post();
    const double out0 = OnHand(goods.GoodsID, 1);
    ASSERT_TRUE(Save(dl)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    const int deliverId = dl->CurrentBillID;
    EXPECT_NEAR(LineValue(QStringLiteral("askdeliverdetail"), QStringLiteral("askid"), askId, 1, QStringLiteral("deliqty")), 8, 1e-9);
    EXPECT_NEAR(OnHand(goods.GoodsID, 1), out0, 1e-9) << "a delivery is a plan; the transfer moves the goods";

    // the transfer against the delivery moves the stock and fills allotqty
    TGoodsBillForm* allot = Open(QStringLiteral("AllotForm"));
    ASSERT_NE(allot, nullptr);
    Set(allot, QStringLiteral("outsid"), 1);
    Set(allot, QStringLiteral("insid"), 3);
    AddLine(allot, goods, 8, 0);
    Refer(allot, 42, deliverId, 1);
    const double in0 = OnHand(goods.GoodsID, 3);
    ASSERT_TRUE(Save(allot)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(LineValue(QStringLiteral("deliverdetail"), QStringLiteral("deliverid"), deliverId, 1, QStringLiteral("allotqty")), 8, 1e-9);
    EXPECT_EQ(Db(QStringLiteral("select finished from deliver where deliverid = :id"), {{QStringLiteral("id"), deliverId}}).toString(), QStringLiteral("T"));
    EXPECT_NEAR(OnHand(goods.GoodsID, 1), out0 - 8, 1e-9);
    EXPECT_NEAR(OnHand(goods.GoodsID, 3), in0 + 8, 1e-9);
}

TEST_F(DeliveryTest, TheServerRefusesADeliveryToItsOwnBranch)
{
    TSalesBillForm* dl = NewBill(QStringLiteral("DeliverForm"), 0);
    AddLine(dl, Stocked(0), 2, 0);
    Set(dl, QStringLiteral("outshopid"), 1);
    Set(dl, QStringLiteral("inshopid"), 2);
    Set(dl, QStringLiteral("instoreid"), 3);
    ASSERT_TRUE(Save(dl));
    const int id = dl->CurrentBillID;
    // a client that skips the window's check is stopped by the server all the same
    FCon->Execute(QStringLiteral("update deliver set inshopid = 1 where deliverid = :id"), {{QStringLiteral("id"), id}});
    dl->LoadBillByID(id);
    Set(dl, QStringLiteral("memo"), QStringLiteral("again"));
    SetDataSetPost(dl->cdsMaster);
    TPacketParams request, answer;
    dl->BuildSavePacket(request);
    EXPECT_NE(dl->SubmitPacket(dl->SaveProcName, request, answer), 0);
    EXPECT_TRUE(answer.GetString(QStringLiteral("ErrMsg")).contains(QStringLiteral("调入机构与调出机构不能相同！")) ||
                FMessages->Contains(QStringLiteral("调入机构与调出机构不能相同！")))
        << answer.GetString(QStringLiteral("ErrMsg")).toStdString() << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(Db(QStringLiteral("select memo from deliver where deliverid = :id"), {{QStringLiteral("id"), id}}).toString(), QString());
}

TEST_F(DeliveryTest, EachBranchWalksTheDeliveriesItSendsAndReceives)
{
    FCon->Execute(QStringLiteral("insert into shop (shopid, code, name, shortname, isheadshop, closed) values (3, '03', '三店', '三店', 0, 'F')"));
    const char* rows[] = {"(880001, 'PS-A', '2026-01-05', 1, 1, 2)", "(880002, 'PS-B', '2026-01-06', 2, 2, 1)", "(880003, 'PS-C', '2026-01-07', 3, 3, 1)"};
    for (const char* r : rows)
        FCon->Execute(QStringLiteral("insert into deliver (deliverid, code, billdate, shopid, outshopid, inshopid) values ") + QString::fromLatin1(r));
    auto walk = [this](int shop) {
        AccSetData.ShopID = shop;
        TGoodsBillForm* f = Open(QStringLiteral("DeliverForm"));
        QStringList seen;
        f->GotoFirstBill();
        seen << f->cdsMaster->FieldByName(QStringLiteral("code"))->AsString();
        for (int i = 0; i < 10; ++i) {
            const int before = f->CurrentBillID;
            f->GotoNextBill();
            if (f->CurrentBillID == before || f->IsNewBill)
                break;
            seen << f->cdsMaster->FieldByName(QStringLiteral("code"))->AsString();
        }
        QStringList back;
        f->GotoLastBill();
        back << f->cdsMaster->FieldByName(QStringLiteral("code"))->AsString();
        f->GotoPriorBill();
        back << f->cdsMaster->FieldByName(QStringLiteral("code"))->AsString();
        delete f;
        return seen.join(QLatin1Char(',')) + QLatin1Char('/') + back.join(QLatin1Char(','));
    };
    EXPECT_EQ(walk(2).toStdString(), "PS-A,PS-B/PS-B,PS-A") << "branch 2 receives A and sends B";
    EXPECT_EQ(walk(3).toStdString(), "PS-C/PS-C,PS-C");
    EXPECT_EQ(walk(1).toStdString(), "PS-A,PS-B,PS-C/PS-C,PS-B");
}

TEST_F(DeliveryTest, BranchAndStoreListsFollowTheSidesOfTheDelivery)
{
    TSalesBillForm* dl = NewBill(QStringLiteral("DeliverForm"), 0);
    auto listed = [dl](const char* field) {
        auto* combo = qobject_cast<QComboBox*>(dl->FieldEditor(QString::fromLatin1(field)));
        QStringList items;
        for (int i = 0; combo && i < combo->count(); ++i)
            if (combo->itemData(i).isValid())
                items << combo->itemData(i).toString();
        return items.join(QLatin1Char(',')).toStdString();
    };
    EXPECT_EQ(listed("outshopid"), "1") << "the delivering branch is the bill's own";
    EXPECT_EQ(listed("inshopid"), "2");
    Set(dl, QStringLiteral("inshopid"), 2);
    EXPECT_EQ(listed("instoreid"), "3");
    Set(dl, QStringLiteral("outshopid"), 1);
    EXPECT_EQ(listed("outstoreid"), "1,2");
    Set(dl, QStringLiteral("outshopid"), 2);
    EXPECT_EQ(listed("outstoreid"), "3");
}
