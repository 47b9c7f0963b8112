// The save, delete and red-reverse procedures of the bills, called through the proxy with packets
// built the way the bill forms build them: datasets loaded from the bill's own tables, edited, and
// sent as deltas.
#include "server/StoredValues.h"
#include "tests/server/BillClient.h"

#include <QSet>

#include <thread>
#include <vector>

namespace {

using BillProcedures = TBillsTest;

TEST_F(BillProcedures, EveryBillHasItsThreeProceduresUnderCaseInsensitiveNames)
{
    EXPECT_EQ(BillProcedureNames().size(), 105);
    EXPECT_EQ(BillTypeOfProcedure(QStringLiteral("Submit_POrder_Save")), 6);
    EXPECT_EQ(BillTypeOfProcedure(QStringLiteral("submit_porder_red")), 6);
    EXPECT_EQ(BillTypeOfProcedure(QStringLiteral("SUBMIT_RECIEVED_DEL;1")), 7);
    EXPECT_EQ(BillTypeOfProcedure(QStringLiteral("Submit_BaseBill_Save")), -1);
    // every bill type of the kind table is served, each by exactly one save procedure
    TClientDataSet kinds;
    con.OpenNative(QStringLiteral("select billtype from billkind"), &kinds);
    ASSERT_EQ(kinds.RecordCount(), 35);
    for (kinds.First(); !kinds.Eof(); kinds.Next())
        EXPECT_FALSE(ProcName(kinds.FieldByName("billtype")->AsInteger(), "_Save").isEmpty()) << kinds.FieldByName("billtype")->AsInteger();
}

TEST_F(BillProcedures, ReceiptRaisesStockAtItsCostAndOpensALot)
{
    const double before = OnHand();
    const double valueBefore = Num(QStringLiteral("select amount from onhand where storeid = 1 and goodsid = %1").arg(goods));
    const qint64 id = Receive(12, 2.5);
    ASSERT_GT(id, 0);
    EXPECT_DOUBLE_EQ(OnHand(), before + 12);
    EXPECT_NEAR(Num(QStringLiteral("select amount from onhand where storeid = 1 and goodsid = %1").arg(goods)), valueBefore + 30, 0.001);
    EXPECT_DOUBLE_EQ(LotLeft(id), 12);
    EXPECT_NEAR(Num(QStringLiteral("select totalamt from recieved where recievedid = %1").arg(id)), 30, 0.0001);
    EXPECT_FALSE(con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(id)).toString().isEmpty());
    EXPECT_FALSE(con.ExecuteScalar(QStringLiteral("select updatetime from recieved where recievedid = %1").arg(id)).isNull());
    EXPECT_EQ(Int(QStringLiteral("select count(*) from rcvddetail where recievedid = %1").arg(id)), 1);
}

TEST_F(BillProcedures, InvoiceIssuesFromTheOldestLotsAndFromANamedLot)
{
    const qint64 first = Receive(10, 2);
    const qint64 second = Receive(10, 4);
    const double before = OnHand();
    auto inv = Invoice(15);
    const TPacketParams r = inv->SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before - 15);
    EXPECT_DOUBLE_EQ(LotLeft(first), 0);
    EXPECT_DOUBLE_EQ(LotLeft(second), 5);
    // the issue is costed at the lots it drew on: 10 at 2 and 5 at 4
    EXPECT_NEAR(Num(QStringLiteral("select sum(outqty * outprice) from detailbillflow where billtype = 3 and billid = %1").arg(r.GetInt("NewBillID"))), 40, 0.0001);

    // a line that names a lot takes from that lot only
    const qint64 lot = Int(QStringLiteral("select id from detailbillflow where billtype = 1 and billid = %1").arg(second));
    auto named = Invoice(3);
    named->D.Edit();
    named->D.FieldByName("batchrefid")->SetValue(lot);
    named->D.Post();
    ASSERT_EQ(named->SaveAccepting().GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(LotLeft(second), 2);
}

TEST_F(BillProcedures, StockShortfallsAreReportedOneCheckAtATimeUntilAccepted)
{
    const double before = OnHand();
    const int invoices = Int("select count(*) from invoice");
    auto inv = Invoice(before + 5);
    TPacketParams r = inv->Save(0);
    ASSERT_EQ(r.GetInt("ErrNo"), 1501);
    const QString code = con.ExecuteScalar(QStringLiteral("select code from goods where goodsid = %1").arg(goods)).toString();
    EXPECT_TRUE(r.GetString("ErrMsg").contains(code)) << r.GetString("ErrMsg").toStdString();
    EXPECT_TRUE(r.GetString("ErrMsg").contains(QStringLiteral("新库存:-5"))) << r.GetString("ErrMsg").toStdString();
    TClientDataSet rows;
    rows.LoadFromXMLString(r.GetString("ds1"));
    ASSERT_EQ(rows.RecordCount(), 1);
    EXPECT_DOUBLE_EQ(rows.FieldByName("newonhand")->AsFloat(), -5);
    // refused: nothing written
    EXPECT_EQ(Int("select count(*) from invoice"), invoices);
    EXPECT_DOUBLE_EQ(OnHand(), before);

    r = inv->Save(1502);
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before - before - 5);
}

TEST_F(BillProcedures, SellingTheLastUnitWarnsOnlyWhenZeroStockCounts)
{
    const double before = OnHand();
    con.ExecuteNative(QStringLiteral("update accoption set optionvalue = '1' where optionkey = 'WARNWHILEZEROONHAND'"));
    EXPECT_EQ(Invoice(before)->Save(0).GetInt("ErrNo"), 1501);
    con.ExecuteNative(QStringLiteral("update accoption set optionvalue = '0' where optionkey = 'WARNWHILEZEROONHAND'"));
    EXPECT_EQ(Invoice(before)->Save(0).GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(OnHand(), 0);
}

TEST_F(BillProcedures, BatchShortfallAndStockLimitsFollowAsTheNextChecks)
{
    // a batch that holds less than the goods' stock in the store
    TClientDataSet b;
    con.OpenNative(QStringLiteral("select b.goodsid, b.batchcode, b.onhand, o.onhand as total from batchcodeonhand b "
                                  "join onhand o on o.storeid = b.storeid and o.goodsid = b.goodsid "
                                  "where b.storeid = 1 and o.onhand > b.onhand + 5 order by b.id limit 1"),
                   &b);
    ASSERT_EQ(b.RecordCount(), 1);
    const int g = b.FieldByName("goodsid")->AsInteger();
    const double batchQty = b.FieldByName("onhand")->AsFloat();
    const double total = b.FieldByName("total")->AsFloat();
    con.ExecuteNative(QStringLiteral("update goods set upqty = 0, downqty = %1 where goodsid = %2").arg(total).arg(g));
    const int gUnit = Int(QStringLiteral("select unitid from goodsunit where goodsid = %1 and unittype = 0").arg(g));

    TBillClient inv(con, 2);
    inv.NewBill();
    inv.SetMaster("storeid", 1);
    inv.SetMaster("clientid", 1);
    inv.AddLine({{"goodsid", g}, {"unitid", gUnit}, {"unitqty", batchQty + 1}, {"quantity", batchQty + 1}, {"price", 3}, {"amount", 3 * (batchQty + 1)},
                 {"batchcode", b.FieldByName("batchcode")->AsString()}});
    QList<int> warnings;
    const TPacketParams r = inv.SaveAccepting(&warnings);
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_EQ(warnings, (QList<int>{1502, 1503}));
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select onhand from batchcodeonhand where storeid = 1 and goodsid = %1 and batchcode = '%2'")
                             .arg(g)
                             .arg(b.FieldByName("batchcode")->AsString())),
                     -1);
    EXPECT_DOUBLE_EQ(OnHand(1, g), total - batchQty - 1);
}

TEST_F(BillProcedures, ATakenOrEmptyCodeIsReplacedAndTheUserIsTold)
{
    const qint64 first = Receive(1, 1, QStringLiteral("R-0001"));
    TBillClient b(con, 7);
    b.NewBill();
    b.SetMaster("storeid", 1);
    b.SetMaster("code", "R-0001");
    b.AddLine(Line(1, 1));
    const TPacketParams r = b.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0);
    const QString newCode = con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(r.GetInt("NewBillID"))).toString();
    EXPECT_NE(newCode, QStringLiteral("R-0001"));
    EXPECT_EQ(r.GetString("BillCodeTips"), QStringLiteral("单据编号 R-0001 已被其他用户使用，已自动改为 %1").arg(newCode));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(first)).toString(), QStringLiteral("R-0001"));

    // a bill keeps its own code when it is saved again
    TBillClient again(con, 7);
    again.OpenBill(first);
    again.SetMaster("memo", "again");
    const TPacketParams r2 = again.Save();
    ASSERT_EQ(r2.GetInt("ErrNo"), 0);
    EXPECT_FALSE(r2.Contains("BillCodeTips"));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(first)).toString(), QStringLiteral("R-0001"));
}

TEST_F(BillProcedures, EditingABillRebooksItsStockAndRefusesAStaleCopy)
{
    const double before = OnHand();
    const qint64 id = Receive(10, 2);
    TBillClient user1(con, 7), user2(con, 7);
    user1.OpenBill(id);
    user2.OpenBill(id);

    user1.D.Edit();
    user1.D.FieldByName("quantity")->SetAsFloat(4);
    user1.D.FieldByName("unitqty")->SetAsFloat(4);
    user1.D.FieldByName("amount")->SetAsFloat(8);
    user1.D.Post();
    user1.SetMaster("memo", "first");
    TPacketParams r = user1.Save();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before + 4);
    EXPECT_DOUBLE_EQ(LotLeft(id), 4);
    EXPECT_EQ(Int(QStringLiteral("select count(*) from detailbillflow where billtype = 1 and billid = %1").arg(id)), 1);
    EXPECT_NEAR(Num(QStringLiteral("select totalamt from recieved where recievedid = %1").arg(id)), 8, 0.0001);

    user2.SetMaster("memo", "second");
    r = user2.Save();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("该单据已被其他用户修改，请刷新后重新操作！"));
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select memo from recieved where recievedid = %1").arg(id)).toString(), QStringLiteral("first"));
    EXPECT_DOUBLE_EQ(OnHand(), before + 4);
}

TEST_F(BillProcedures, DeletingGivesTheStockBackAndRefusesWhatOthersStillNeed)
{
    const double before = OnHand();
    const qint64 receipt = Receive(10, 2);
    auto inv = Invoice(before + 8);
    ASSERT_EQ(inv->SaveAccepting().GetInt("ErrNo"), 0);
    ASSERT_DOUBLE_EQ(OnHand(), 2);

    // taking the receipt away would leave the store short
    TBillClient r(con, 7);
    r.OpenBill(receipt);
    TPacketParams reply = r.Delete(0);
    EXPECT_EQ(reply.GetInt("ErrNo"), 1501);
    EXPECT_EQ(Int(QStringLiteral("select count(*) from recieved where recievedid = %1").arg(receipt)), 1);

    TBillClient i(con, 2);
    const int invoiceId = Int("select max(invoiceid) from invoice");
    i.OpenBill(invoiceId);
    reply = i.Delete(0);
    ASSERT_EQ(reply.GetInt("ErrNo"), 0) << reply.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before + 10);
    EXPECT_DOUBLE_EQ(LotLeft(receipt), 10);
    EXPECT_EQ(Int(QStringLiteral("select count(*) from saledetail where invoiceid = %1").arg(invoiceId)), 0);
    EXPECT_EQ(Int(QStringLiteral("select count(*) from detailbillflow where billtype = 3 and billid = %1").arg(invoiceId)), 0);

    r.OpenBill(receipt);
    reply = r.Delete(0);
    ASSERT_EQ(reply.GetInt("ErrNo"), 0) << reply.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before);
    EXPECT_EQ(Int(QStringLiteral("select count(*) from detailbillflow where billtype = 1 and billid = %1").arg(receipt)), 0);
}

TEST_F(BillProcedures, RedReversalNegatesTheBillAndIsUndoneByDeletingIt)
{
    const double before = OnHand();
    const qint64 id = Receive(6, 3);
    TBillClient b(con, 7);
    b.OpenBill(id);
    TPacketParams r = b.Red(QStringLiteral("RED-1"));
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    const qint64 redId = r.GetInt("NewBillID");
    EXPECT_NE(redId, id);
    EXPECT_EQ(Int(QStringLiteral("select flag from recieved where recievedid = %1").arg(id)), 1);
    EXPECT_EQ(Int(QStringLiteral("select flag from recieved where recievedid = %1").arg(redId)), 2);
    EXPECT_EQ(Int(QStringLiteral("select referbillid from recieved where recievedid = %1").arg(redId)), id);
    // the packet names operator 2; the reversing bill is the logged-in operator's
    EXPECT_EQ(Int(QStringLiteral("select opid from recieved where recievedid = %1").arg(redId)), 1);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(redId)).toString(), QStringLiteral("RED-1"));
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select quantity from rcvddetail where recievedid = %1").arg(redId)), -6);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select unitqty from rcvddetail where recievedid = %1").arg(redId)), -6);
    EXPECT_NEAR(Num(QStringLiteral("select amount from rcvddetail where recievedid = %1").arg(redId)), -18, 0.0001);
    EXPECT_NEAR(Num(QStringLiteral("select totalamt from recieved where recievedid = %1").arg(redId)), -18, 0.0001);
    EXPECT_DOUBLE_EQ(OnHand(), before);
    EXPECT_DOUBLE_EQ(LotLeft(id), 0);

    r = b.Red();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("此单已冲红，不能再做！"));
    TBillClient red(con, 7);
    red.OpenBill(redId);
    r = red.Red();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("此单不能冲红，除非删除！"));
    // neither side may be edited, and the reversed one not deleted
    b.OpenBill(id);
    b.SetMaster("memo", "x");
    EXPECT_EQ(b.Save().GetInt("ErrNo"), 1);
    b.OpenBill(id);
    EXPECT_EQ(b.Delete().GetInt("ErrNo"), 1);

    red.OpenBill(redId);
    r = red.Delete();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_EQ(Int(QStringLiteral("select flag from recieved where recievedid = %1").arg(id)), 0);
    EXPECT_DOUBLE_EQ(OnHand(), before + 6);
    EXPECT_DOUBLE_EQ(LotLeft(id), 6);
    b.OpenBill(id);
    EXPECT_EQ(b.Red().GetInt("ErrNo"), 0);
}

TEST_F(BillProcedures, AFailureHalfwayLeavesNoTraceOfTheBill)
{
    const int masters = Int("select count(*) from recieved");
    const int lines = Int("select count(*) from rcvddetail");
    const int flows = Int("select count(*) from detailbillflow");
    const double before = OnHand();
    TBillClient b(con, 7);
    b.NewBill();
    b.SetMaster("storeid", 1);
    b.AddLine(Line(5, 1));
    b.AddLine(Line(5, 1));
    b.D.Edit();
    b.D.FieldByName("itemno")->SetAsInteger(1); // two lines numbered 1: the second insert fails
    b.D.Post();
    const TPacketParams r = b.Save();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrTitle"), QStringLiteral("保存失败"));
    EXPECT_FALSE(r.GetString("ErrMsg").isEmpty());
    EXPECT_EQ(Int("select count(*) from recieved"), masters);
    EXPECT_EQ(Int("select count(*) from rcvddetail"), lines);
    EXPECT_EQ(Int("select count(*) from detailbillflow"), flows);
    EXPECT_DOUBLE_EQ(OnHand(), before);
    EXPECT_FALSE(con.InTransaction());
}

TEST_F(BillProcedures, SourceLinesAndSettledBillsFollowTheBillsThatReferToThem)
{
    const qint64 orderId = Order({10});
    const qint64 rcvId = ReceiveLine(LineFromOrder(orderId, 1, 4));
    ASSERT_GT(rcvId, 0);
    TBillClient order(con, 6), rcv(con, 7);
    TPacketParams r;
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select rcvdqty from orderdetail where orderid = %1").arg(orderId)), 4);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select finished from porder where orderid = %1").arg(orderId)).toString(), QStringLiteral("F"));

    rcv.OpenBill(rcvId);
    rcv.D.Edit();
    rcv.D.FieldByName("unitqty")->SetAsFloat(10);
    rcv.D.FieldByName("quantity")->SetAsFloat(10);
    rcv.D.Post();
    r = rcv.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select rcvdqty from orderdetail where orderid = %1").arg(orderId)), 10);
    EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select finished from porder where orderid = %1").arg(orderId)).toString(), QStringLiteral("T"));

    // the order cannot go while a receipt refers to it
    order.OpenBill(orderId);
    r = order.Delete();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_TRUE(r.GetString("ErrMsg").contains(QStringLiteral("引用"))) << r.GetString("ErrMsg").toStdString();

    // a payment settles part of the receipt; its reversal takes the settlement back
    TBillClient pay(con, 9);
    pay.MasterAmount = QStringLiteral("amount");
    pay.NewBill();
    pay.SetMaster("clientid", 1);
    pay.AddLine({{"refertype", 7}, {"referbillid", rcvId}, {"amount", 15}});
    r = pay.Save();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_NEAR(Num(QStringLiteral("select totalpaid from recieved where recievedid = %1").arg(rcvId)), 15, 0.0001);
    EXPECT_NEAR(Num(QStringLiteral("select amount from pay where payid = %1").arg(r.GetInt("NewBillID"))), 15, 0.0001);
    pay.OpenBill(r.GetInt("NewBillID"));
    ASSERT_EQ(pay.Red().GetInt("ErrNo"), 0);
    EXPECT_NEAR(Num(QStringLiteral("select totalpaid from recieved where recievedid = %1").arg(rcvId)), 0, 0.0001);

    rcv.OpenBill(rcvId);
    r = rcv.Delete(1600);
    EXPECT_EQ(r.GetInt("ErrNo"), 1) << "settled by the payment and its reversal";
}

// An order moves no stock and its lines are not read back after the write for stock: the price
// check must still see them.
TEST_F(BillProcedures, AnOrderAboveTheHighestPurchasePriceIsCheckedThoughItMovesNoStock)
{
    con.ExecuteNative(QStringLiteral("update goodsunit set maxpprice = 3 where unitid = :u"), {{QStringLiteral("u"), unit}});
    con.ExecuteNative(QStringLiteral("delete from accoption where lower(optionkey) = 'checkmaxbuyprice'"));
    con.ExecuteNative(QStringLiteral("insert into accoption (optionkey, optionvalue) values ('CHECKMAXBUYPRICE', '1')"));
    const int before = Int(QStringLiteral("select count(*) from porder"));
    TBillClient order(con, 6);
    order.NewBill();
    order.SetMaster("clientid", 1);
    order.AddLine(Line(2, 2));
    order.AddLine(Line(1, 4.5));
    TPacketParams r = order.Save();
    EXPECT_EQ(r.GetInt("ErrNo"), 1401) << r.GetString("ErrMsg").toStdString();
    EXPECT_TRUE(r.GetString("ErrMsg").contains(QStringLiteral("4.5"))) << r.GetString("ErrMsg").toStdString();
    EXPECT_EQ(Int(QStringLiteral("select count(*) from porder")), before) << "the warned save wrote nothing";
    r = order.Save(1402);
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_EQ(Int(QStringLiteral("select count(*) from orderdetail where orderid = %1").arg(r.GetInt("NewBillID"))), 2);
}

TEST_F(BillProcedures, TransferMovesStockAtCostBetweenStores)
{
    const double out = OnHand(1);
    const double in = OnHand(3);
    const double cost = Num(QStringLiteral("select aprice from onhand where storeid = 1 and goodsid = %1").arg(goods));
    TBillClient t(con, 13);
    t.NewBill();
    t.SetMaster("outsid", 1);
    t.SetMaster("insid", 3);
    t.AddLine(Line(5, 0));
    const TPacketParams r = t.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(1), out - 5);
    EXPECT_DOUBLE_EQ(OnHand(3), in + 5);
    EXPECT_NEAR(Num(QStringLiteral("select inprice from detailbillflow where billtype = 13 and billid = %1 and inqty > 0").arg(r.GetInt("NewBillID"))), cost, 0.0001);
}

TEST_F(BillProcedures, ReversingAnInvoiceGivesBackTheLotsItDrewOn)
{
    const qint64 receipt = Receive(10, 2);
    const double before = OnHand();
    auto inv = Invoice(6);
    TPacketParams r = inv->SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    ASSERT_DOUBLE_EQ(LotLeft(receipt), 4);
    TBillClient b(con, 2);
    b.OpenBill(r.GetInt("NewBillID"));
    r = b.Red();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(LotLeft(receipt), 10);
    EXPECT_DOUBLE_EQ(OnHand(), before);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select quantity from saledetail where invoiceid = %1").arg(r.GetInt("NewBillID"))), -6);
}

TEST_F(BillProcedures, ShrinkingAReceiptBelowWhatItsLotGaveOutIsABatchShortfall)
{
    const qint64 receipt = Receive(10, 2);
    ASSERT_EQ(Invoice(8)->SaveAccepting().GetInt("ErrNo"), 0);
    const double before = OnHand();
    TBillClient b(con, 7);
    b.OpenBill(receipt);
    b.D.Edit();
    b.D.FieldByName("quantity")->SetAsFloat(5);
    b.D.FieldByName("unitqty")->SetAsFloat(5);
    b.D.Post();
    TPacketParams r = b.Save(0);
    ASSERT_EQ(r.GetInt("ErrNo"), 1502) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before);
    EXPECT_DOUBLE_EQ(LotLeft(receipt), 2);
    r = b.Save(1503);
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before - 5);
    EXPECT_DOUBLE_EQ(LotLeft(receipt), -3);
}

// The stock of a bill's lines is written several lines to a statement; lines of one goods must
// still follow each other as they would one by one (the average cost depends on the order).
TEST_F(BillProcedures, ManyLinesOfTheSameGoodsAreBookedInTurn)
{
    const int other = Int(QStringLiteral("select o.goodsid from onhand o join goods g on g.goodsid = o.goodsid where o.storeid = 1 "
                                         "and g.kind = 1 and g.batchctrl = 'F' and o.goodsid <> %1 order by o.goodsid limit 1").arg(goods));
    ASSERT_GT(other, 0);
    const int otherUnit = Int(QStringLiteral("select unitid from goodsunit where goodsid = %1 and unittype = 0").arg(other));
    double qty = OnHand(), value = Value(1, goods), cost = Num(QStringLiteral("select aprice from onhand where storeid = 1 and goodsid = %1").arg(goods));
    const double otherQty = OnHand(1, other), otherValue = Value(1, other);
    TBillClient b(con, 7);
    b.NewBill();
    b.SetMaster("storeid", 1);
    b.SetMaster("clientid", 1);
    // 700 lines, two statements' worth and more: ours at changing prices, between them the other goods
    double addedOther = 0, otherAmount = 0;
    for (int i = 0; i < 700; ++i) {
        if (i % 3 == 2) {
            QVariantMap l = Line(2, 1.25);
            l["goodsid"] = other;
            l["unitid"] = otherUnit;
            b.AddLine(l);
            addedOther += 2;
            otherAmount = RoundMoney(otherAmount + 2.5);
            continue;
        }
        const double q = 1 + i % 7 * 0.125, p = 2 + i % 11 * 0.3333;
        b.AddLine(Line(q, p));
        const double amount = RoundMoney(RoundMoney(q * p));
        const double newQty = RoundQuantity(qty + q);
        cost = newQty > 0 ? (value + amount) / newQty : cost;
        value = RoundMoney(value + amount);
        qty = newQty;
    }
    const TPacketParams r = b.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    const qint64 id = r.GetInt("NewBillID");
    EXPECT_DOUBLE_EQ(OnHand(), qty);
    EXPECT_NEAR(Value(1, goods), value, 0.00005);
    EXPECT_NEAR(Num(QStringLiteral("select aprice from onhand where storeid = 1 and goodsid = %1").arg(goods)), cost, 1e-9 * cost);
    EXPECT_DOUBLE_EQ(OnHand(1, other), otherQty + addedOther);
    EXPECT_NEAR(Value(1, other), otherValue + otherAmount, 0.00005);
    // every line is a lot of its own, and all of them are there
    EXPECT_EQ(Int(QStringLiteral("select count(*) from detailbillflow where billtype = 1 and billid = %1 and batchrefid is null and inqty > 0").arg(id)), 700);
    EXPECT_EQ(Int(QStringLiteral("select count(distinct itemno) from detailbillflow where billtype = 1 and billid = %1").arg(id)), 700);

    // and deleting the bill takes all of it back
    TBillClient del(con, 7);
    del.OpenBill(id);
    ASSERT_EQ(del.DeleteAccepting().GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(OnHand(1, other), otherQty);
    EXPECT_NEAR(Value(1, other), otherValue, 0.00005);
}

TEST_F(BillProcedures, PosDayCloseCoversTheDaysSalesAndBooksThemOutOfStock)
{
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const double before = OnHand();
    // a sale of 3 and a return of 1 at the terminal of store 1, and a sale in store 2
    con.ExecuteNative(QStringLiteral("insert into posbilldate (billid, code, billdate, shopid, storeid, returntag, amount, flag) values "
                                     "(9001, 'P1', '%1 10:00:00', 1, 1, 1, 30, 'F'), (9002, 'P2', '%1 11:00:00', 1, 1, 2, 10, 'F'), "
                                     "(9003, 'P3', '%1 11:00:00', 1, 2, 1, 10, 'F')").arg(today));
    con.ExecuteNative(QStringLiteral("insert into posdetail (billid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, amount) values "
                                     "(9001, 1, %1, %2, 3, 3, 10, 10, 30), (9002, 1, %1, %2, 1, 1, 10, 10, 10), (9003, 1, %1, %2, 1, 1, 10, 10, 10)")
                          .arg(goods)
                          .arg(unit));
    TBillClient day(con, 24);
    day.MasterAmount = QStringLiteral("amount");
    day.NewBill();
    day.SetMaster("storeid", 1);
    TPacketParams r = day.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    const int id = r.GetInt("NewBillID");
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select sum(quantity) from posdaydetail where billid = %1").arg(id)), 2);
    EXPECT_NEAR(Num(QStringLiteral("select amount from posday where billid = %1").arg(id)), 20, 0.0001);
    EXPECT_DOUBLE_EQ(OnHand(), before - 2);
    EXPECT_EQ(Int(QStringLiteral("select count(*) from posbilldate where closeid = %1 and flag = 'T'").arg(id)), 2);
    EXPECT_TRUE(con.ExecuteScalar(QStringLiteral("select closeid from posbilldate where billid = 9003")).isNull());

    // a covered sale is closed for editing
    TBillClient sale(con, 23);
    sale.MasterAmount = QStringLiteral("amount");
    sale.OpenBill(9001);
    sale.SetMaster("memo", "x");
    r = sale.Save();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("该POS单据已日结，不能修改！"));

    day.OpenBill(id);
    r = day.Delete();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before);
    EXPECT_EQ(Int("select count(*) from posbilldate where closeid is not null or flag = 'T'"), 0);
}

// ---------------------------------------------------------------- every bill

class EveryBill : public TBillsTest, public ::testing::WithParamInterface<int> {
protected:
    void SavesAMinimalBillAndReadsItBack(int type);
};

// The same bills saved by the same procedures on PostgreSQL.
class EveryBillOnPostgres : public EveryBill {
protected:
    void OpenDatabase() override
    {
        try {
            const QString target = NewPgDemoDatabase(QStringLiteral("bills_%1").arg(GetParam()));
            if (TestDatabaseRoute().Open) // the server suite saves them through a server on it
                TestDatabaseRoute().Open(con, target);
            else
                con.Open(target);
        } catch (const EDatabaseError& e) {
            FAIL() << e.what();
        }
    }
};

TEST_P(EveryBill, SavesAMinimalBillAndReadsItBack) { SavesAMinimalBillAndReadsItBack(GetParam()); }
TEST_P(EveryBillOnPostgres, SavesAMinimalBillAndReadsItBack) { SavesAMinimalBillAndReadsItBack(GetParam()); }

void EveryBill::SavesAMinimalBillAndReadsItBack(int type)
{
    TBillClient b(con, type);
    b.NewBill();
    for (const char* store : {"storeid", "insid", "outsid", "balsid", "instoreid", "outstoreid"})
        b.SetMaster(QLatin1String(store), 1);
    if (type == 13)
        b.SetMaster("insid", 3);
    b.SetMaster("clientid", 1);
    b.SetMaster("bankid", 1); // cash bills put their money through an account
    b.SetMaster("satid", Int("select min(satid) from sat"));
    b.SetMaster("memo", QStringLiteral("最小单据 %1").arg(type));
    if (type == 16) { // the assembled goods sit on the master
        b.SetMaster("goodsid", goods);
        b.SetMaster("unitid", unit);
        b.SetMaster("quantity", 1);
        b.SetMaster("unitqty", 1);
    }
    if (!b.Detail.isEmpty()) {
        QVariantMap l = Line(1, 2);
        l.insert("ietypeid", Int("select min(ietypeid) from ietype"));
        b.AddLine(l);
    }
    const TPacketParams r = b.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    const int id = r.GetInt("NewBillID");
    ASSERT_GT(id, 0);

    TBillClient back(con, type);
    back.OpenBill(id);
    ASSERT_EQ(back.M.RecordCount(), 1);
    EXPECT_EQ(back.M.FieldByName("memo")->AsString(), QStringLiteral("最小单据 %1").arg(type));
    EXPECT_FALSE(back.M.FieldByName("code")->AsString().isEmpty());
    EXPECT_FALSE(back.M.FieldByName("updatetime")->IsNull());
    if (!b.Detail.isEmpty()) {
        ASSERT_EQ(back.D.RecordCount(), 1);
        EXPECT_EQ(back.D.FieldByName(b.Key)->AsInteger(), id);
    }
    // exactly the bills whose kind moves stock leave stock-flow rows
    const int dir = Int(QStringLiteral("select stockdir from billkind where billtype = %1").arg(type));
    const int dbType = Int(QStringLiteral("select dbbilltype from billkind where billtype = %1").arg(type));
    const int flows = Int(QStringLiteral("select count(*) from detailbillflow where billtype = %1 and billid = %2").arg(dbType).arg(id));
    if (dir != 0) {
        EXPECT_GT(flows, 0);
    } else if (dbType != -999) {
        EXPECT_EQ(flows, 0);
    }
}

// Clients saving receipts at the same time on PostgreSQL, each on a session of its own: every
// save lands once, the codes stay unique and without gaps, and no stock update is lost.
class ConcurrentSavesOnPostgres : public TBillsTest {
protected:
    void OpenDatabase() override
    {
        try {
            Target = NewPgDemoDatabase(QStringLiteral("concurrent"));
            con.Open(Target);
        } catch (const EDatabaseError& e) {
            FAIL() << e.what();
        }
    }
    QString Target;
};

TEST_F(ConcurrentSavesOnPostgres, CodesStayUniqueAndGaplessAndNoStockIsLost)
{
    constexpr int kClients = 4, kBills = 6;
    const double before = OnHand();
    std::vector<QStringList> codes(kClients);
    std::vector<QStringList> failures(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            try {
                TClientConnection mine;
                mine.Open(Target);
                mine.SetSession(con.Session());
                for (int n = 0; n < kBills; ++n) {
                    TBillClient b(mine, 7);
                    b.NewBill();
                    b.SetMaster("storeid", 1);
                    b.SetMaster("clientid", 1);
                    b.AddLine(Line(1, 2));
                    TPacketParams r = b.Save();
                    while (r.GetInt("ErrNo") > 1000)
                        r = b.Save(r.GetInt("ErrNo") + 1);
                    if (r.GetInt("ErrNo") != 0)
                        failures[c] << r.GetString("ErrMsg");
                    else
                        codes[c] << r.GetString("NewBillCode");
                }
            } catch (const std::exception& e) {
                failures[c] << QString::fromUtf8(e.what());
            }
        });
    }
    for (std::thread& t : clients)
        t.join();
    QStringList all;
    for (int c = 0; c < kClients; ++c) {
        EXPECT_TRUE(failures[c].isEmpty()) << failures[c].join(u'\n').toStdString();
        all += codes[c];
    }
    ASSERT_EQ(all.size(), kClients * kBills);
    all.sort();
    EXPECT_EQ(QSet<QString>(all.cbegin(), all.cend()).size(), all.size());
    for (int i = 1; i < all.size(); ++i)
        EXPECT_EQ(all[i].right(4).toInt(), all[i - 1].right(4).toInt() + 1) << all[i - 1].toStdString() << " " << all[i].toStdString();
    EXPECT_DOUBLE_EQ(OnHand(), before + kClients * kBills);
}

const auto kEveryBillType = ::testing::Values(44, 1, 2, 5, 3, 4, 6, 7, 9, 8, 41, 42, 22, 40, 43, 26, 10, 11, 12, 14, 19, 13, 16, 15,
                                              17, 18, 20, 23, 27, 28, 29, 30, 25, 24, 21);
INSTANTIATE_TEST_SUITE_P(AllBills, EveryBill, kEveryBillType);
INSTANTIATE_TEST_SUITE_P(AllBills, EveryBillOnPostgres, kEveryBillType);

} // namespace
