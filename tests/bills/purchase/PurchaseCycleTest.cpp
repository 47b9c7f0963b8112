// A purchase from order to payment, every bill entered in its own window: order 10, receive 6
// against the order, receive the other 4 (the order is executed and, under ORDEREXECFINISHED,
// read-only), return 2 from the first receipt, pay what is owed. After each step the stock,
// the receipt lots, the order's received quantity, the vendor's balance and the bank's balance
// stand where the bills put them.
#include "PurchaseFixture.h"

#include "bills/purchase/PorderForm.h"

#include <QLabel>

#include <tuple>

namespace {

class PurchaseCycle : public TPurchaseWindowTest {
protected:
    double Num(const QString& sql, const TSqlParams& p = {}) { return Db(sql, p).toDouble(); }
    double Stock() { return Num(QStringLiteral("select ifnull(sum(onhand), 0) from onhand where storeid = :s and goodsid = :g"), Where()); }
    double VendorBalance() { return Num(QStringLiteral("select balance from client where clientid = :c"), {{QStringLiteral("c"), vendor}}); }
    double BankBalance() { return Num(QStringLiteral("select balance from bank where bankid = :b"), {{QStringLiteral("b"), bank}}); }
    double LotLeft(int receipt)
    {
        return Num(QStringLiteral("select ifnull(sum(leftqty), 0) from v_DetailBillFlow where billtype = 1 and billid = :id"), {{QStringLiteral("id"), receipt}});
    }
    double Received(int order) { return Num(QStringLiteral("select rcvdqty from orderdetail where orderid = :o and itemno = 1"), {{QStringLiteral("o"), order}}); }
    double Total(const QString& table, const QString& key, int id)
    {
        return Num(QStringLiteral("select totalamt from %1 where %2 = :id").arg(table, key), {{QStringLiteral("id"), id}});
    }
    TSqlParams Where() const { return {{QStringLiteral("s"), store}, {QStringLiteral("g"), goods.GoodsID}}; }
    static QVariantMap FromBill(int type, int id, int item)
    {
        return {{QStringLiteral("refertype"), type}, {QStringLiteral("referbillid"), id}, {QStringLiteral("referitemno"), item}};
    }
    // A receipt of qty against line 1 of the order.
    int Receive(int order, double qty)
    {
        TGoodsBillForm* f = OpenFilled(QStringLiteral("RecieveForm"));
        if (!f)
            return 0;
        AddLine(f, goods.GoodsID, goods.BaseUnitID, qty, 2, FromBill(6, order, 1));
        const int id = SaveNew(f, QStringLiteral("recieved"), QStringLiteral("recievedid"));
        delete f;
        return id;
    }
};

} // namespace

TEST_F(PurchaseCycle, OrderReceiveReturnAndPayThroughTheWindows)
{
    Option(QStringLiteral("ORDEREXECFINISHED"), QStringLiteral("1"));
    const double stock0 = Stock(), vendor0 = VendorBalance(), bank0 = BankBalance();

    // 1. Order 10: nothing moves yet.
    auto* order = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(order, nullptr);
    AddLine(order, goods.GoodsID, goods.BaseUnitID, 10, 2);
    const int orderId = SaveNew(order, QStringLiteral("porder"), QStringLiteral("orderid"));
    ASSERT_GT(orderId, 0) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_DOUBLE_EQ(Stock(), stock0);
    EXPECT_DOUBLE_EQ(Received(orderId), 0);
    EXPECT_DOUBLE_EQ(VendorBalance(), vendor0);
    order->hide();

    // 2. Receive 6 against the order: the order stays open.
    const int first = Receive(orderId, 6);
    ASSERT_GT(first, 0) << FMessages->Texts().join(u'|').toStdString();
    const double owed1 = Total(QStringLiteral("recieved"), QStringLiteral("recievedid"), first);
    EXPECT_GT(owed1, 12 - 1e-9);
    EXPECT_DOUBLE_EQ(Stock(), stock0 + 6);
    EXPECT_DOUBLE_EQ(LotLeft(first), 6);
    EXPECT_DOUBLE_EQ(Received(orderId), 6);
    EXPECT_NEAR(VendorBalance(), vendor0 + owed1, 1e-6);
    EXPECT_DOUBLE_EQ(BankBalance(), bank0);
    ASSERT_TRUE(order->LoadBillByID(orderId));
    EXPECT_FALSE(order->FinishedLabel->isVisibleTo(order));
    EXPECT_FALSE(order->ReadOnly());

    // 3. The other 4: the order is executed, marked and read-only.
    const int second = Receive(orderId, 4);
    ASSERT_GT(second, 0) << FMessages->Texts().join(u'|').toStdString();
    const double owed2 = Total(QStringLiteral("recieved"), QStringLiteral("recievedid"), second);
    EXPECT_DOUBLE_EQ(Stock(), stock0 + 10);
    EXPECT_DOUBLE_EQ(LotLeft(second), 4);
    EXPECT_DOUBLE_EQ(Received(orderId), 10);
    EXPECT_NEAR(VendorBalance(), vendor0 + owed1 + owed2, 1e-6);
    ASSERT_TRUE(order->LoadBillByID(orderId));
    EXPECT_EQ(order->MasterValue(QStringLiteral("finished")).toString(), QStringLiteral("T"));
    EXPECT_TRUE(order->FinishedLabel->isVisibleTo(order));
    EXPECT_EQ(order->FinishedLabel->text(), QStringLiteral("执行完毕"));
    EXPECT_TRUE(order->ReadOnly());

    // 4. Return 2 of the first receipt's lot, refund owed rather than taken.
    TGoodsBillForm* ret = OpenFilled(QStringLiteral("PReturnForm"));
    ASSERT_NE(ret, nullptr);
    QVariantMap back = FromBill(7, first, 1);
    back.insert(QStringLiteral("batchrefid"),
                Db(QStringLiteral("select id from detailbillflow where billtype = 1 and billid = :id"), {{QStringLiteral("id"), first}}));
    AddLine(ret, goods.GoodsID, goods.BaseUnitID, 2, 2, back);
    const int returned = SaveNew(ret, QStringLiteral("preturn"), QStringLiteral("preturnid"));
    ASSERT_GT(returned, 0) << FMessages->Texts().join(u'|').toStdString();
    const double refund = Total(QStringLiteral("preturn"), QStringLiteral("preturnid"), returned);
    delete ret;
    EXPECT_DOUBLE_EQ(Stock(), stock0 + 8);
    EXPECT_DOUBLE_EQ(LotLeft(first), 4);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select returnqty from rcvddetail where recievedid = :id"), {{QStringLiteral("id"), first}}), 2);
    EXPECT_DOUBLE_EQ(Received(orderId), 10);
    EXPECT_NEAR(VendorBalance(), vendor0 + owed1 + owed2 - refund, 1e-6);
    EXPECT_DOUBLE_EQ(BankBalance(), bank0);

    // 5. Pay the two receipts less the return, from the bank.
    const double due = owed1 + owed2 - refund;
    TGoodsBillForm* pay = Open(QStringLiteral("PayForm"));
    ASSERT_NE(pay, nullptr);
    Set(pay, QStringLiteral("clientid"), vendor);
    Set(pay, QStringLiteral("bankid"), bank);
    Set(pay, QStringLiteral("ispp"), 0);
    for (const auto& [type, id, amount] : {std::tuple{7, first, owed1}, std::tuple{7, second, owed2}, std::tuple{8, returned, -refund}}) {
        pay->cdsDetail->Append();
        pay->cdsDetail->FieldByName(QStringLiteral("refertype"))->SetValue(type);
        pay->cdsDetail->FieldByName(QStringLiteral("referbillid"))->SetValue(id);
        pay->cdsDetail->FieldByName(QStringLiteral("amount"))->SetValue(amount);
        pay->cdsDetail->Post();
    }
    Set(pay, QStringLiteral("amount"), due);
    Set(pay, QStringLiteral("factamount"), due);
    ASSERT_GT(SaveNew(pay, QStringLiteral("pay"), QStringLiteral("payid")), 0) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_NEAR(VendorBalance(), vendor0, 1e-6);
    EXPECT_NEAR(BankBalance(), bank0 - due, 1e-6);
    EXPECT_NEAR(Num(QStringLiteral("select totalpaid from recieved where recievedid = :id"), {{QStringLiteral("id"), first}}), owed1, 1e-6);
    EXPECT_NEAR(Num(QStringLiteral("select totalpaid from recieved where recievedid = :id"), {{QStringLiteral("id"), second}}), owed2, 1e-6);
    EXPECT_DOUBLE_EQ(Stock(), stock0 + 8);
    EXPECT_DOUBLE_EQ(LotLeft(first) + LotLeft(second), 8);
}
