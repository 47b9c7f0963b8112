// Branch deliveries: a request, a delivery against it and a transfer against the delivery,
// each raising the executed quantity of the line it takes; the branch and date rules; and the
// deliveries a branch sees as sender and as receiver.
#include "SalesFixture.h"

#include "bills/sales/DeliverForm.h"
#include "billcore/BillSession.h"
#include "host/Messages.h"
#include "host/Session.h"
#include "goodsbill/GoodsLines.h"
#include "platform/DataSet.h"
#include "server/Procedures.h"

#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>

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

TEST_F(DeliveryTest, RequestLinesKeepTheirUnitAndDeliveryLinesTheirExecutedQuantity)
{
    // goods with a second unit of several base units
    TClientDataSet units;
    FCon->OpenDataSet(QStringLiteral("select g.code, u.unitid, u.rate, u.unitname, b.unitid, b.unitname from goods g"
                                     " join goodsunit u on u.goodsid = g.goodsid and u.unittype <> 0 and u.rate > 1"
                                     " join goodsunit b on b.goodsid = g.goodsid and b.unittype = 0"
                                     " where g.kind = 1 and g.closed = 'F' and g.batchctrl = 'F' order by g.goodsid limit 1"),
                      &units);
    ASSERT_FALSE(units.IsEmpty()) << "the demo data has goods with a second unit";
    TStock goods;
    goods.Code = units.Fields(0)->AsString();
    const int bigUnit = units.Fields(1)->AsInteger();
    const double rate = units.Fields(2)->AsFloat();
    const int baseUnit = units.Fields(4)->AsInteger();
    const int foreignUnit = Db(QStringLiteral("select unitid from goodsunit where goodsid <> (select goodsid from goodsunit where unitid = :u) limit 1"),
                               {{QStringLiteral("u"), bigUnit}})
                                .toInt();

    TSalesBillForm* ask = NewBill(QStringLiteral("AskDelieverForm"), 0);
    ASSERT_NE(ask, nullptr);
    SetDataSetPost(ask->cdsDetail);
    ask->cdsDetail->Append();
    auto line = [ask](const char* n) { return ask->cdsDetail->FieldByName(QString::fromLatin1(n)); };
    EXPECT_EQ(line("closed")->AsString(), QStringLiteral("F")) << "a new line is open";
    EXPECT_DOUBLE_EQ(line("deliqty")->AsFloat(), 0);
    ASSERT_TRUE(ask->EnterGoodsText(goods.Code));
    SetLine(ask, QStringLiteral("unitqty"), 3);
    SetLine(ask, QStringLiteral("unitid"), bigUnit);
    EXPECT_DOUBLE_EQ(line("unitrate")->AsFloat(), rate);
    EXPECT_EQ(line("unit")->AsString(), units.Fields(3)->AsString());
    EXPECT_NEAR(line("quantity")->AsFloat(), 3 * rate, 1e-9) << "the base quantity follows the unit";
    SetLine(ask, QStringLiteral("unitqty"), 4);
    EXPECT_NEAR(line("quantity")->AsFloat(), 4 * rate, 1e-9) << "and the entered quantity";
    // a unit of other goods is not one this line can have
    SetLine(ask, QStringLiteral("unitid"), foreignUnit);
    EXPECT_EQ(line("unitid")->AsInteger(), baseUnit);
    EXPECT_EQ(line("unit")->AsString(), units.Fields(5)->AsString());
    EXPECT_NEAR(line("quantity")->AsFloat(), 4, 1e-9);
    SetLine(ask, QStringLiteral("unitid"), bigUnit);
    ask->cdsDetail->Post();
    Set(ask, QStringLiteral("storeid"), 1);
    ASSERT_TRUE(Save(ask)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(LineValue(QStringLiteral("askdeliverdetail"), QStringLiteral("askid"), ask->CurrentBillID, 1, QStringLiteral("quantity")), 4 * rate, 1e-9);
    const int askId = ask->CurrentBillID;

    TSalesBillForm* dl = NewBill(QStringLiteral("DeliverForm"), 0);
    SetDataSetPost(dl->cdsDetail);
    dl->cdsDetail->Append();
    EXPECT_EQ(dl->cdsDetail->FieldByName(QStringLiteral("closed"))->AsString(), QStringLiteral("F"));
    EXPECT_DOUBLE_EQ(dl->cdsDetail->FieldByName(QStringLiteral("allotqty"))->AsFloat(), 0);
    dl->cdsDetail->Cancel();
    AddLine(dl, Stocked(0), 2, 0);
    Refer(dl, 41, askId, 1);
    Set(dl, QStringLiteral("outshopid"), 1);
    Set(dl, QStringLiteral("inshopid"), 2);
    Set(dl, QStringLiteral("instoreid"), 3);
    ASSERT_TRUE(Save(dl)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    // read back: the request's number is shown; it and the transferred quantity are not typed
    dl->OpenBill(dl->CurrentBillID);
    dl->cdsDetail->First();
    EXPECT_EQ(dl->cdsDetail->FieldByName(QStringLiteral("referbillcode"))->AsString(),
              Db(QStringLiteral("select code from askdeliver where askid = :a"), {{QStringLiteral("a"), askId}}).toString());
    EXPECT_TRUE(dl->Lines()->ColumnEntered(QStringLiteral("allotqty")).ReadOnly);
    EXPECT_TRUE(dl->Lines()->ColumnEntered(QStringLiteral("referbillcode")).ReadOnly);
    EXPECT_FALSE(dl->Lines()->ColumnEntered(QStringLiteral("unitqty")).ReadOnly);
}

TEST_F(DeliveryTest, FinishedRequestsAndDeliveriesShowTheirMarkAndClosedOnesTurnReadOnly)
{
    const struct {
        const char* Form;
        const char* Table;
        const char* Key;
    } bills[] = {{"AskDelieverForm", "askdeliver", "askid"}, {"DeliverForm", "deliver", "deliverid"}};
    for (const auto& b : bills) {
        SCOPED_TRACE(b.Form);
        TSalesBillForm* f = NewBill(QString::fromLatin1(b.Form), 0);
        ASSERT_NE(f, nullptr);
        ASSERT_NE(f->Shape, nullptr);
        AddLine(f, Stocked(0), 2, 0);
        if (f->cdsMaster->FindField(QStringLiteral("inshopid"))) {
            Set(f, QStringLiteral("outshopid"), 1);
            Set(f, QStringLiteral("inshopid"), 2);
            Set(f, QStringLiteral("instoreid"), 3);
        }
        ASSERT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
        const int id = f->CurrentBillID;
        EXPECT_FALSE(f->Shape->isVisible());
        EXPECT_FALSE(f->ReadOnly());
        const QString update = QStringLiteral("update %1 set finished = :f, closed = :c where %2 = :id").arg(QLatin1String(b.Table), QLatin1String(b.Key));
        FCon->Execute(update, {{QStringLiteral("f"), QStringLiteral("T")}, {QStringLiteral("c"), QStringLiteral("F")}, {QStringLiteral("id"), id}});
        f->LoadBillByID(id);
        EXPECT_TRUE(f->Shape->isVisible());
        EXPECT_EQ(f->FinishedLabel->text(), QStringLiteral("执行完毕"));
        EXPECT_TRUE(f->ReadOnly()) << "ORDEREXECFINISHED is 1 in the demo account";
        if (const QString dir = qEnvironmentVariable("TB_RENDER_DIR"); !dir.isEmpty()) {
            QDir().mkpath(dir);
            f->resize(1100, 640);
            f->grab().save(dir + QLatin1Char('/') + QString::fromLatin1(b.Form) + QStringLiteral("-finished.png"));
        }
        FCon->Execute(update, {{QStringLiteral("f"), QStringLiteral("F")}, {QStringLiteral("c"), QStringLiteral("F")}, {QStringLiteral("id"), id}});
        f->LoadBillByID(id);
        EXPECT_FALSE(f->Shape->isVisible());
        EXPECT_FALSE(f->ReadOnly());
        // ticking the closing box makes the bill read-only at once
        Set(f, QStringLiteral("closed"), QStringLiteral("T"));
        EXPECT_TRUE(f->ReadOnly());
        FCon->Execute(update, {{QStringLiteral("f"), QStringLiteral("F")}, {QStringLiteral("c"), QStringLiteral("T")}, {QStringLiteral("id"), id}});
        FMessages->AnswerWhen(QStringLiteral("保存数据"), IDNO);
        f->LoadBillByID(id);
        EXPECT_TRUE(f->ReadOnly());
        EXPECT_FALSE(f->Shape->isVisible());
    }
}
