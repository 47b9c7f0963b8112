// Sales orders and quotations: their date and range rules at the edges, the closed and
// finished states, and the hand-over of an order's lines to a new purchase order.
#include "SalesFixture.h"

#include "bills/sales/SOrderForm.h"
#include "platform/DataSet.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMetaObject>
#include <QTest>

class SalesOrdersTest : public TSalesTest {};

TEST_F(SalesOrdersTest, DeliveryDateAndOrderAmountAreHeldAtTheirEdges)
{
    const int client = Client(3);
    const TStock goods = Stocked(0);
    TSalesBillForm* f = NewBill(QStringLiteral("SOrderForm"), client);
    ASSERT_NE(f, nullptr);
    AddLine(f, goods, 4, 10);
    const QDateTime billDate = f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    Set(f, QStringLiteral("takedate"), billDate.addDays(-1));
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("交货日期不能小于开单日期！")));
    // a negative order is refused before the date is looked at
    SetLine(f, QStringLiteral("unitprice"), -10);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("本次订单金额不能小于零！")));
    SetLine(f, QStringLiteral("unitprice"), 10);
    f->cdsDetail->Post();
    Set(f, QStringLiteral("takedate"), billDate);
    ASSERT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    SetLine(f, QStringLiteral("unitprice"), 0);
    SetLine(f, QStringLiteral("unitqty"), -1);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("货品数量必须大于零！"))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
}

TEST_F(SalesOrdersTest, ClosedAndFinishedOrdersTurnReadOnlyAndShowTheirMark)
{
    const int client = Client(3);
    auto* f = qobject_cast<TSOrderForm*>(NewBill(QStringLiteral("SOrderForm"), client));
    ASSERT_NE(f, nullptr);
    AddLine(f, Stocked(0), 4, 10);
    ASSERT_TRUE(Save(f));
    const int id = f->CurrentBillID;
    EXPECT_FALSE(f->ReadOnly());
    EXPECT_FALSE(f->Shape->isVisible());
    FCon->Execute(QStringLiteral("update sorder set finished = 'T' where sorderid = :id"), {{QStringLiteral("id"), id}});
    f->LoadBillByID(id);
    EXPECT_TRUE(f->Shape->isVisible());
    EXPECT_EQ(f->FinishedLabel->text(), QStringLiteral("执行完毕"));
    EXPECT_TRUE(f->ReadOnly()) << "ORDEREXECFINISHED is 1 in the demo account";
    FCon->Execute(QStringLiteral("update sorder set finished = 'F', closed = 'T' where sorderid = :id"), {{QStringLiteral("id"), id}});
    f->LoadBillByID(id);
    EXPECT_FALSE(f->Shape->isVisible());
    EXPECT_TRUE(f->ReadOnly());
}

TEST_F(SalesOrdersTest, QuotationRangesAndValidityAreCheckedInTheEnteredUnit)
{
    const int client = Client(4);
    TBillWindowTest::TDemoGoods g = Goods(0);
    ASSERT_GT(g.PackRate, 1);
    TSalesBillForm* f = NewBill(QStringLiteral("QuotationForm"), client);
    ASSERT_NE(f, nullptr);
    SetDataSetPost(f->cdsDetail);
    f->cdsDetail->Append();
    ASSERT_TRUE(f->EnterGoodsText(g.PackBarCode));
    EXPECT_EQ(f->cdsDetail->FieldByName(QStringLiteral("closed"))->AsString(), QStringLiteral("F"));
    SetLine(f, QStringLiteral("unitprice"), 50);
    SetLine(f, QStringLiteral("unitbegqty"), 0);
    SetLine(f, QStringLiteral("unitendqty"), 0);
    f->cdsDetail->Post();
    const QDateTime day = f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    Set(f, QStringLiteral("begdate"), day);
    Set(f, QStringLiteral("enddate"), day.addDays(-1));
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("结束日期不能小于开始日期！")));
    Set(f, QStringLiteral("enddate"), day);
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("数量段(到) 必须大于 数量段(从) ！")));
    SetLine(f, QStringLiteral("unitbegqty"), -1);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("数量段(从) 必须大于等于零！")));
    SetLine(f, QStringLiteral("unitbegqty"), 0);
    SetLine(f, QStringLiteral("unitendqty"), 1);
    f->cdsDetail->Post();
    // the range is kept in the base unit as well
    EXPECT_NEAR(f->cdsDetail->FieldByName(QStringLiteral("endqty"))->AsFloat(), g.PackRate, 1e-9);
    ASSERT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(Db(QStringLiteral("select endqty from quotationdetail where quotationid = :id"), {{QStringLiteral("id"), f->CurrentBillID}}).toDouble(),
                g.PackRate, 1e-9);
}

TEST_F(SalesOrdersTest, AnOrderHandsItsGoodsUnitsAndQuantitiesToANewPurchaseOrder)
{
    const int client = Client(5);
    TSalesBillForm* f = NewBill(QStringLiteral("SOrderForm"), client);
    const TStock a = Stocked(0), b = Stocked(1);
    AddLine(f, a, 3, 10);
    AddLine(f, b, 7, 11);
    ASSERT_TRUE(Save(f));
    const int orderId = f->CurrentBillID;
    f->MakePOrderFromSOrder();
    TBillBaseForm* po = nullptr;
    for (TBillBaseForm* w : LiveBillForms())
        if (w->objectName() == QLatin1String("PorderForm"))
            po = w;
    ASSERT_NE(po, nullptr) << "the purchase order window opens";
    EXPECT_EQ(po->SourceOrderID, orderId);
    if (po->metaObject()->indexOfMethod("TakeSourceOrderLines()") < 0)
        GTEST_SKIP() << "the purchase order window takes no sales order lines yet";
    QTest::qWait(50);
    QApplication::processEvents();
    ASSERT_EQ(po->cdsDetail->RecordCount(), 2);
    po->cdsDetail->First();
    EXPECT_EQ(po->cdsDetail->FieldByName(QStringLiteral("goodsid"))->AsInteger(), a.GoodsID);
    EXPECT_DOUBLE_EQ(po->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 3);
    po->cdsDetail->Next();
    EXPECT_EQ(po->cdsDetail->FieldByName(QStringLiteral("goodsid"))->AsInteger(), b.GoodsID);
    EXPECT_EQ(po->cdsDetail->FieldByName(QStringLiteral("unitid"))->AsInteger(), b.UnitID);
    EXPECT_DOUBLE_EQ(po->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 7);
}
