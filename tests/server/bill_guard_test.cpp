// What the save, delete and reverse procedures refuse, and what they store in place of what the
// client sent: the faults a hostile or careless client could cause through the procedures.
#include "tests/server/BillClient.h"

#include <cmath>
#include <limits>

namespace {

class BillGuards : public TBillsTest {
protected:
    // A saved receipt client of `qty` at `price`, reopened on the saved bill.
    std::unique_ptr<TBillClient> SavedReceipt(double qty, double price)
    {
        const qint64 id = Receive(qty, price);
        auto b = std::make_unique<TBillClient>(con, 7);
        b->OpenBill(id);
        return b;
    }
    // Expects a refusal whose message names every given part; the database stays as it was.
    void ExpectRefused(const TPacketParams& reply, const QByteArray& before, std::initializer_list<QString> parts)
    {
        EXPECT_EQ(reply.GetInt("ErrNo"), 1) << reply.GetString("ErrMsg").toStdString();
        for (const QString& p : parts)
            EXPECT_TRUE(reply.GetString("ErrMsg").contains(p)) << reply.GetString("ErrMsg").toStdString() << " lacks " << p.toStdString();
        EXPECT_EQ(DatabaseChecksum(con), before) << "a refused call changed the database";
    }
    // A packet a hostile client writes by hand: one attribute of the change set replaced.
    static QString Forged(QString deltaXml, const QString& field, const QString& from, const QString& to)
    {
        const QString attr = QStringLiteral(" %1=\"%2\"").arg(field, from);
        EXPECT_TRUE(deltaXml.contains(attr)) << attr.toStdString();
        return deltaXml.replace(attr, QStringLiteral(" %1=\"%2\"").arg(field, to));
    }
    // The packet's text with `extra` written after `text` in the parameter `param`, the length
    // prefixes before them (the parameter's and, in a compact change set, the text's) put right.
    static QString WithTextInserted(const TPacketParams& p, const QString& param, const QString& text, const QString& extra)
    {
        const QString value = p.GetString(param);
        QString forged = value;
        if (IsCompactPacket(value)) {
            const QString field = u's' + QString::number(text.size()) + u':' + text;
            EXPECT_EQ(value.count(field), 1) << field.toStdString();
            forged.replace(field, u's' + QString::number(text.size() + extra.size()) + u':' + text + extra);
        } else {
            EXPECT_EQ(value.count(text), 1);
            forged.replace(text, text + extra);
        }
        QString packet = p.ToString();
        auto lengthPrefixed = [&](const QString& v) { return QString::number(param.size()) + u':' + param + QString::number(v.size()) + u':' + v; };
        const QString written = lengthPrefixed(value);
        EXPECT_EQ(packet.count(written), 1) << "the parameter is not where the packet's text keeps it";
        return packet.replace(written, lengthPrefixed(forged));
    }
    QVariantMap LineOf(int g, double qty, double price)
    {
        QVariantMap l = Line(qty, price);
        l.insert("goodsid", g);
        l.insert("unitid", Int(QStringLiteral("select unitid from goodsunit where goodsid = %1 and unittype = 0").arg(g)));
        return l;
    }
};

// ---------------------------------------------------------------- totals

TEST_F(BillGuards, TheMasterTotalIsTheSumOfTheLinesWhateverThePacketSays)
{
    TBillClient b(con, 7);
    b.MasterAmount.clear(); // as the receipt form sends it
    b.LineAmount.clear();
    b.NewBill();
    b.SetMaster("storeid", 1);
    b.SetMaster("clientid", 1);
    b.SetMaster("totalamt", 999);
    b.AddLine(Line(3, 4.1));
    b.AddLine(Line(2, 0.35));
    TPacketParams r = b.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    const int id = r.GetInt("NewBillID");
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select totalamt from recieved where recievedid = %1").arg(id)), 13.0);

    // an edited line moves the total with it
    b.OpenBill(id);
    b.SetLine(2, "amount", 1.7);
    r = b.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select totalamt from recieved where recievedid = %1").arg(id)), 14.0);

    // a prepayment stands alone and keeps its own amount
    TBillClient pay(con, 9);
    pay.NewBill();
    pay.SetMaster("clientid", 1);
    pay.SetMaster("ispp", 1);
    pay.SetMaster("amount", 500);
    pay.SetMaster("factamount", 500);
    pay.SetMaster("bankid", 1);
    r = pay.Save();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select amount from pay where payid = %1").arg(r.GetInt("NewBillID"))), 500.0);
}

// ---------------------------------------------------------------- forged change sets

TEST_F(BillGuards, AChangeSetCannotTouchAnotherBillsLinesOrItsOwnKey)
{
    auto a = SavedReceipt(5, 2);
    auto other = SavedReceipt(7, 3);
    const QByteArray before = DatabaseChecksum(con);

    // the other bill's line edited and deleted under this bill's name
    other->SetLine(1, "unitqty", 700);
    a->SetMaster("memo", "mine");
    TPacketParams p = a->SavePacket();
    p.Set("DetailDelta", other->D.GetDeltaXML());
    ExpectRefused(a->Call("_Save", p), before, {QStringLiteral("行号 1"), QStringLiteral("其他单据")});
    other->OpenBill(other->Id);
    other->D.First();
    other->D.Delete();
    p.Set("DetailDelta", other->D.GetDeltaXML());
    ExpectRefused(a->Call("_Save", p), before, {QStringLiteral("行号 1"), QStringLiteral("其他单据")});

    // a new line carrying the other bill's key
    a->OpenBill(a->Id);
    QVariantMap l = Line(1, 1);
    a->AddLine(l);
    a->SetLine(2, "recievedid", other->Id);
    ExpectRefused(a->Save(), before, {QStringLiteral("行号 2"), QStringLiteral("其他单据")});

    // the bill's own key
    a->OpenBill(a->Id);
    a->SetMaster("recievedid", a->Id + 1000);
    ExpectRefused(a->Save(), before, {QStringLiteral("关键字")});
}

TEST_F(BillGuards, ColumnsTheServerKeepsCannotBeSetByTheClient)
{
    auto a = SavedReceipt(5, 2);
    const QByteArray before = DatabaseChecksum(con);
    for (const char* col : {"flag", "refercount", "totalpaid"}) {
        a->OpenBill(a->Id);
        a->SetMaster(QLatin1String(col), 2);
        ExpectRefused(a->Save(), before, {QLatin1String(col), QStringLiteral("系统维护")});
    }
    a->OpenBill(a->Id);
    a->SetLine(1, "returnqty", 3);
    ExpectRefused(a->Save(), before, {QStringLiteral("行号 1"), QStringLiteral("returnqty")});

    // a new bill starts from what the server says, and belongs to whoever saves it
    QVariantMap l = Line(1, 1);
    l.insert("returnqty", 4);
    l.insert("refercount", 3);
    const qint64 id = ReceiveLine(l, {{"flag", 1}, {"refercount", 9}, {"totalpaid", 50}, {"opid", 2}});
    ASSERT_GT(id, 0);
    const QString where = QStringLiteral(" from recieved where recievedid = %1").arg(id);
    EXPECT_EQ(Int("select flag" + where), 0);
    EXPECT_EQ(Int("select refercount" + where), 0);
    EXPECT_EQ(Num("select totalpaid" + where), 0.0);
    EXPECT_EQ(Int("select opid" + where), 1);
    EXPECT_EQ(Num(QStringLiteral("select returnqty + refercount from rcvddetail where recievedid = %1").arg(id)), 0.0);
}

TEST_F(BillGuards, UnknownOrUnusedGoodsStoresAndUnitsAreRefused)
{
    const QByteArray before = DatabaseChecksum(con);
    const int onhandRows = Int("select count(*) from onhand");
    auto receipt = [&](const QVariantMap& master, const QVariantMap& line) {
        TBillClient b(con, 7);
        b.NewBill();
        b.SetMaster("storeid", 1);
        for (auto it = master.cbegin(); it != master.cend(); ++it)
            b.SetMaster(it.key(), it.value());
        QVariantMap l = Line(4, 2);
        for (auto it = line.cbegin(); it != line.cend(); ++it)
            l.insert(it.key(), it.value());
        b.AddLine(l);
        return b.Save();
    };
    ExpectRefused(receipt({}, {{"goodsid", 987654}}), before, {QStringLiteral("行号 1"), QStringLiteral("goodsid"), QStringLiteral("987654 不存在")});
    ExpectRefused(receipt({{"storeid", 99}}, {}), before, {QStringLiteral("主表"), QStringLiteral("storeid"), QStringLiteral("99 不存在")});
    ExpectRefused(receipt({{"storeid", QVariant()}}, {}), before, {QStringLiteral("storeid"), QStringLiteral("不能为空")});
    ExpectRefused(receipt({{"clientid", 4242}}, {}), before, {QStringLiteral("clientid")});
    ExpectRefused(receipt({}, {{"goodsid", QVariant()}}), before, {QStringLiteral("行号 1"), QStringLiteral("没有货品")});
    const int otherUnit = Int(QStringLiteral("select min(unitid) from goodsunit where goodsid <> %1").arg(goods));
    ExpectRefused(receipt({}, {{"unitid", otherUnit}}), before, {QStringLiteral("行号 1"), QStringLiteral("unitid")});
    con.ExecuteNative(QStringLiteral("update goods set closed = 'T' where goodsid = %1").arg(goods));
    const QByteArray closed = DatabaseChecksum(con);
    ExpectRefused(receipt({}, {}), closed, {QStringLiteral("行号 1"), QStringLiteral("已停用")});
    EXPECT_EQ(Int("select count(*) from onhand"), onhandRows) << "no phantom stock rows";
}

TEST_F(BillGuards, NumbersMustBeFiniteAndWithinTheirRange)
{
    const QByteArray before = DatabaseChecksum(con);
    // values no form lets through, written into the change set by hand
    const struct {
        const char* Field;
        const char* Sent;  // the invoice line holds unitqty 2, unitprice 20, amount 40, disc 100
        const char* Value;
        const char* Shown;
    } cases[] = {{"unitqty", "2", "inf", "inf"},        {"unitqty", "2", "nan", "nan"},        {"unitqty", "2", "1e300", "1e+300"},
                 {"unitqty", "2", "-2e9", "-2000000000"}, {"unitprice", "20", "-inf", "-inf"}, {"amount", "40", "1e300", "1e+300"},
                 {"amount", "40", "2e11", "200000000000"}, {"disc", "100", "nan", "nan"}};
    for (const auto& c : cases) {
        auto inv = Invoice(2);
        TPacketParams p = inv->SavePacket();
        p.Set("DetailDelta", Forged(p.GetString("DetailDelta"), QLatin1String(c.Field), QLatin1String(c.Sent), QLatin1String(c.Value)));
        ExpectRefused(inv->Call("_Save", p), before, {QStringLiteral("行号 1"), QLatin1String(c.Field), QLatin1String(c.Shown)});
    }
    // stored values are rounded once to their places: money 4, quantities 6, prices 8
    QVariantMap l = Line(1.23456789, 0.123456789123);
    l.insert("amount", 0.15245);
    const qint64 id = ReceiveLine(l);
    ASSERT_GT(id, 0);
    const QString where = QStringLiteral(" from rcvddetail where recievedid = %1").arg(id);
    EXPECT_EQ(Num("select unitqty" + where), 1.234568);
    EXPECT_EQ(Num("select quantity" + where), 1.234568);
    EXPECT_EQ(Num("select price" + where), 0.12345679);
    EXPECT_EQ(Num("select amount" + where), 0.1525);
}

TEST_F(BillGuards, TextTheBillsCannotCarryIsRefusedWithTheField)
{
    const QByteArray before = DatabaseChecksum(con);
    // characters XML carries but the bills refuse, in a change set written by hand
    const QPair<QString, QString> refused[] = {{QStringLiteral("\u007f"), QStringLiteral("U+007F")}, {QStringLiteral("\ufdd0"), QStringLiteral("U+FDD0")}};
    for (const auto& [character, code] : refused) {
        for (const bool compact : {false, true}) {
            SCOPED_TRACE(compact ? "compact change set" : "XML change set");
            auto inv = Invoice(1);
            inv->SetMaster("memo", QStringLiteral("铃声"));
            TPacketParams p = inv->SavePacket();
            if (compact)
                p.Set("MasterDelta", inv->M.GetDeltaPacket());
            // the client's own packet refuses such text, so it is written into the packet's text
            const QString packet = WithTextInserted(p, "MasterDelta", QStringLiteral("铃声"), character);
            ExpectRefused(inv->CallText("_Save", packet), before, {QStringLiteral("memo"), code});
        }
    }
    auto inv = Invoice(1);
    inv->SetLine(1, "memo", QString(64 + 1, u'长'));
    ExpectRefused(inv->Save(), before, {QStringLiteral("行号 1"), QStringLiteral("memo"), QStringLiteral("64")});
}

TEST_F(BillGuards, GoodsBillsNeedLinesUnlessTheyStandAlone)
{
    const QByteArray before = DatabaseChecksum(con);
    TBillClient b(con, 2);
    b.NewBill();
    b.SetMaster("storeid", 1);
    b.SetMaster("clientid", 1);
    ExpectRefused(b.Save(), before, {QStringLiteral("没有明细")});

    // deleting every line of a saved bill leaves it without lines as well
    auto saved = SavedReceipt(2, 2);
    const QByteArray withReceipt = DatabaseChecksum(con);
    saved->D.First();
    saved->D.Delete();
    ExpectRefused(saved->Save(), withReceipt, {QStringLiteral("没有明细")});

    // a payment that settles bills needs them; a prepayment does not
    TBillClient pay(con, 9);
    pay.NewBill();
    pay.SetMaster("clientid", 1);
    pay.SetMaster("ispp", 0);
    pay.SetMaster("amount", 10);
    ExpectRefused(pay.Save(), withReceipt, {QStringLiteral("没有明细")});
    pay.SetMaster("ispp", 3);
    EXPECT_EQ(pay.Save().GetInt("ErrNo"), 0);
}

TEST_F(BillGuards, SourceLinesCannotBeDeletedOrCutBelowWhatLaterBillsTook)
{
    const qint64 orderId = Order({10, 3});
    QVariantMap l = LineFromOrder(orderId, 1, 4);
    ASSERT_GT(ReceiveLine(l), 0);
    TBillClient order(con, 6);

    const QByteArray before = DatabaseChecksum(con);
    order.OpenBill(orderId);
    order.D.First();
    order.D.Delete();
    ExpectRefused(order.Save(), before, {QStringLiteral("行号 1"), QStringLiteral("引用")});
    order.OpenBill(orderId);
    order.SetLine(1, "unitqty", 3.5);
    ExpectRefused(order.Save(), before, {QStringLiteral("行号 1"), QStringLiteral("unitqty"), QStringLiteral("4")});
    order.OpenBill(orderId);
    order.SetLine(1, "goodsid", Int(QStringLiteral("select min(goodsid) from goods where goodsid <> %1 and kind = 1").arg(goods)));
    ExpectRefused(order.Save(), before, {QStringLiteral("行号 1"), QStringLiteral("goodsid")});

    // what was not taken may change: the other line goes, the taken one grows
    order.OpenBill(orderId);
    order.SetLine(1, "unitqty", 12);
    order.D.Last();
    order.D.Delete();
    const TPacketParams r = order.Save();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select unitqty from orderdetail where orderid = %1 and itemno = 1").arg(orderId)), 12);

    // a line may only name a source line that exists and holds the same goods
    const QByteArray now = DatabaseChecksum(con);
    TBillClient wrong(con, 7);
    wrong.NewBill();
    wrong.SetMaster("storeid", 1);
    l.insert("referitemno", 9);
    wrong.AddLine(l);
    ExpectRefused(wrong.Save(), now, {QStringLiteral("行号 1"), QStringLiteral("行号 9 不存在")});
}

// ---------------------------------------------------------------- exact stock

TEST_F(BillGuards, ATypoOf1e17ThenDeletingLeavesStockAndValueExactlyAsTheyWere)
{
    const double qty = OnHand(), value = Value(1, goods);
    auto typo = Invoice(1, 3);
    typo->D.First();
    typo->SetLine(1, "unitqty", -1e17); // a sales line typed with a stray minus and exponent
    typo->SetLine(1, "quantity", -1e17);
    const TPacketParams r = typo->SaveAccepting();
    if (r.GetInt("ErrNo") == 0) {
        TBillClient saved(con, 2);
        saved.OpenBill(r.GetInt("NewBillID"));
        saved.DeleteAccepting();
    }
    EXPECT_EQ(OnHand(), qty);
    EXPECT_EQ(Value(1, goods), value);

    // large but allowed quantities come and go to the last digit
    auto receipt = SavedReceipt(0.3, 1.7);
    receipt->SetLine(1, "unitqty", 999999999.7);
    receipt->SetLine(1, "amount", 1699999999.49);
    const TPacketParams big = receipt->SaveAccepting();
    ASSERT_EQ(big.GetInt("ErrNo"), 0) << big.GetString("ErrMsg").toStdString();
    receipt->OpenBill(receipt->Id);
    receipt->SetLine(1, "unitqty", 0.3);
    receipt->SetLine(1, "amount", 0.51);
    const TPacketParams back = receipt->SaveAccepting();
    ASSERT_EQ(back.GetInt("ErrNo"), 0) << back.GetString("ErrMsg").toStdString();
    receipt->OpenBill(receipt->Id);
    ASSERT_EQ(receipt->DeleteAccepting().GetInt("ErrNo"), 0);
    EXPECT_EQ(OnHand(), qty);
    EXPECT_EQ(Value(1, goods), value);
}

TEST_F(BillGuards, TenReceiptsOfATenthAndASaleOfOneLeaveExactlyNothing)
{
    // goods new to the books
    const int g = Int("select max(goodsid) + 1 from goods");
    con.ExecuteNative(QStringLiteral("insert into goods (goodsid, code, name, unit, kind) values (%1, 'TENTH', '散装茶叶', '克', 1)").arg(g));
    con.ExecuteNative(QStringLiteral("insert into goodsunit (unitid, goodsid, unitname, rate, unittype) values ((select max(unitid) + 1 from goodsunit), %1, '克', 1, 0)").arg(g));
    for (int i = 0; i < 10; ++i) {
        TBillClient b(con, 7);
        b.NewBill();
        b.SetMaster("storeid", 1);
        QVariantMap l = LineOf(g, 0.1, 0.7);
        l.insert("amount", 0.07);
        l.insert("goodsamt", 0.07);
        b.AddLine(l);
        ASSERT_EQ(b.SaveAccepting().GetInt("ErrNo"), 0);
    }
    TBillClient sale(con, 2);
    sale.NewBill();
    sale.SetMaster("storeid", 1);
    sale.SetMaster("clientid", 1);
    sale.AddLine(LineOf(g, 1.0, 5));
    ASSERT_EQ(sale.SaveAccepting().GetInt("ErrNo"), 0);
    EXPECT_EQ(OnHand(1, g), 0.0);
    EXPECT_EQ(Value(1, g), 0.0);
}

// ---------------------------------------------------------------- repeated requests

TEST_F(BillGuards, TheSameNewBillRequestTwiceSavesOneBill)
{
    const int bills = Int("select count(*) from recieved");
    const double before = OnHand();
    TBillClient b(con, 7);
    b.RequestId = QStringLiteral("3f2b9c1e-5d4a-4c7e-9a61-0b8e2f1d7c55");
    b.NewBill();
    b.SetMaster("storeid", 1);
    b.AddLine(Line(6, 2));
    const TPacketParams first = b.SaveAccepting();
    ASSERT_EQ(first.GetInt("ErrNo"), 0) << first.GetString("ErrMsg").toStdString();
    // the answer was lost: the client sends the very same packet again
    const TPacketParams again = b.SaveAccepting();
    ASSERT_EQ(again.GetInt("ErrNo"), 0) << again.GetString("ErrMsg").toStdString();
    EXPECT_EQ(again.GetInt("NewBillID"), first.GetInt("NewBillID"));
    EXPECT_EQ(again.GetString("NewBillCode"), first.GetString("NewBillCode"));
    EXPECT_EQ(Int("select count(*) from recieved"), bills + 1);
    EXPECT_DOUBLE_EQ(OnHand(), before + 6);

    // another request is another bill; a request id is not one for another kind of bill
    b.RequestId = QStringLiteral("another");
    EXPECT_NE(b.SaveAccepting().GetInt("NewBillID"), first.GetInt("NewBillID"));
    EXPECT_EQ(Int("select count(*) from recieved"), bills + 2);
    auto inv = Invoice(1);
    inv->RequestId = QStringLiteral("another");
    EXPECT_EQ(inv->Save().GetInt("ErrNo"), 1);
}

// ---------------------------------------------------------------- rights

TEST_F(BillGuards, TheServerRefusesWhatTheOperatorsRightsDoNotAllow)
{
    // the demo clerk may browse, add and print invoices (34), but not receipts (39)
    LoginAs(2);
    auto inv = Invoice(2);
    TPacketParams r = inv->SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    const int invoiceId = r.GetInt("NewBillID");
    EXPECT_EQ(Int(QStringLiteral("select opid from invoice where invoiceid = %1").arg(invoiceId)), 2);
    const QByteArray before = DatabaseChecksum(con);

    TBillClient rcv(con, 7);
    rcv.NewBill();
    rcv.SetMaster("storeid", 1);
    rcv.AddLine(Line(1, 1));
    ExpectRefused(rcv.Save(), before, {QStringLiteral("您没有新增操作权限")});
    TBillClient own(con, 2);
    own.OpenBill(invoiceId);
    ExpectRefused(own.Delete(), before, {QStringLiteral("您没有删除该单据的权限或者该单不能被删除！")});
    own.OpenBill(invoiceId);
    ExpectRefused(own.Red(), before, {QStringLiteral("冲红")});
    own.OpenBill(invoiceId);
    own.SetMaster("memo", "changed");
    ExpectRefused(own.Save(), before, {QStringLiteral("您没有修改该单据的权限！")});

    // granted, the same calls go through
    Grant(2, 34, 3);
    Grant(2, 34, 4);
    own.OpenBill(invoiceId);
    own.SetMaster("memo", "changed");
    EXPECT_EQ(own.SaveAccepting().GetInt("ErrNo"), 0);
    own.OpenBill(invoiceId);
    EXPECT_EQ(own.DeleteAccepting().GetInt("ErrNo"), 0);

    // bills of other operators need right 228, bills of other branches cannot be changed
    LoginAs(1);
    auto managers = Invoice(1);
    const int managersId = managers->SaveAccepting().GetInt("NewBillID");
    LoginAs(2);
    const QByteArray now = DatabaseChecksum(con);
    TBillClient theirs(con, 2);
    theirs.OpenBill(managersId);
    theirs.SetMaster("memo", "mine now");
    ExpectRefused(theirs.Save(), now, {QStringLiteral("其他操作员")});
    Grant(2, 228, 5);
    con.ExecuteNative(QStringLiteral("update invoice set shopid = 2 where invoiceid = %1").arg(managersId));
    const QByteArray branch = DatabaseChecksum(con);
    theirs.OpenBill(managersId);
    theirs.SetMaster("memo", "mine now");
    ExpectRefused(theirs.Save(), branch, {QStringLiteral("分支机构")});
}

TEST_F(BillGuards, NobodyLoggedInMayCallTheServer)
{
    auto inv = Invoice(1);
    con.SetSession(TServerSession());
    const QByteArray before = DatabaseChecksum(con);
    ExpectRefused(inv->Save(), before, {QStringLiteral("请先登录")});
    TPacketParams req;
    req.Set("Count", 1).Set("SQL1", QStringLiteral("select opname from operator"));
    TPacketParams reply;
    reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("GetClientDataSet"), req.ToString()));
    EXPECT_EQ(reply.GetString("ErrMsg"), QStringLiteral("请先登录"));
    EXPECT_FALSE(reply.Contains("ClientDataSet1"));
}

TEST_F(BillGuards, OnlyTheManagerChangesOperatorsAndRightsAndNobodyWritesTheBooksDirectly)
{
    auto apply = [&](const QString& table, const QString& keys, TClientDataSet& ds) {
        TPacketParams req;
        req.Set("TableName", table).Set("KeyFields", keys).Set("Delta", GetDeltaXML(&ds));
        TPacketParams reply;
        reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("ApplyUpdates"), req.ToString()));
        return reply;
    };
    LoginAs(2);
    const QByteArray before = DatabaseChecksum(con);
    TClientDataSet op;
    con.OpenNative(QStringLiteral("select * from operator where opid = 2"), &op);
    op.Edit();
    op.FieldByName("issysmanager")->SetAsBoolean(true);
    op.Post();
    ExpectRefused(apply(QStringLiteral("operator"), QStringLiteral("opid"), op), before, {QStringLiteral("系统管理员")});
    TClientDataSet rights;
    con.OpenNative(QStringLiteral("select * from operatorright where opid = 2"), &rights);
    rights.Append();
    rights.FieldByName("opid")->SetAsInteger(2);
    rights.FieldByName("privilegeid")->SetAsInteger(39);
    rights.FieldByName("action")->SetAsInteger(2);
    rights.Post();
    ExpectRefused(apply(QStringLiteral("OperatorRight"), QStringLiteral("opid;privilegeid;action"), rights), before, {QStringLiteral("系统管理员")});

    // the manager may; the books are written by the bill procedures alone, for everybody
    LoginAs(1);
    EXPECT_EQ(apply(QStringLiteral("operatorright"), QStringLiteral("opid;privilegeid;action"), rights).GetInt("ErrNo"), 0);
    const QByteArray granted = DatabaseChecksum(con);
    TClientDataSet stock;
    con.OpenNative(QStringLiteral("select * from onhand where storeid = 1 and goodsid = %1").arg(goods), &stock);
    stock.Edit();
    stock.FieldByName("onhand")->SetAsFloat(1e6);
    stock.Post();
    ExpectRefused(apply(QStringLiteral("onhand"), QStringLiteral("storeid;goodsid"), stock), granted, {QStringLiteral("单据")});
    auto saved = SavedReceipt(1, 1);
    const QByteArray withReceipt = DatabaseChecksum(con);
    saved->SetLine(1, "unitqty", 1000);
    ExpectRefused(apply(QStringLiteral("rcvddetail"), QStringLiteral("recievedid;itemno"), saved->D), withReceipt, {QStringLiteral("单据")});
}

TEST_F(BillGuards, ReadingProceduresRunOnlyStatementsThatRead)
{
    LoginAs(2);
    const QByteArray before = DatabaseChecksum(con);
    auto read = [&](const QString& sql) {
        TPacketParams req;
        req.Set("Count", 1).Set("SQL1", sql);
        TPacketParams reply;
        reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("GetADODataSet"), req.ToString()));
        return reply;
    };
    for (const QString& sql : {QStringLiteral("update operator set issysmanager = 1 where opid = 2 returning opid"),
                               QStringLiteral("delete from operatorright returning *"),
                               QStringLiteral("insert into operatorright (opid, privilegeid, action) values (2, 39, 2)"),
                               QStringLiteral("select 1; update operator set issysmanager = 1"),
                               QStringLiteral("pragma writable_schema = 1"), QStringLiteral("drop table goods"),
                               QStringLiteral("attach database 'elsewhere.db' as x"), QStringLiteral("commit")}) {
        const TPacketParams r = read(sql);
        EXPECT_EQ(r.GetInt("ErrNo"), 1) << sql.toStdString();
        EXPECT_FALSE(r.GetString("ErrMsg").isEmpty()) << sql.toStdString();
        EXPECT_FALSE(r.GetString("ErrMsg").contains(QStringLiteral("SQL"))) << r.GetString("ErrMsg").toStdString();
        EXPECT_EQ(DatabaseChecksum(con), before) << sql.toStdString();
    }
    EXPECT_EQ(Int("select issysmanager from operator where opid = 2"), 0);
    const TPacketParams ok = read(QStringLiteral("with t(n) as (select 1 union all select n + 1 from t where n < 3) "
                                                 "select count(*) as c from t join operator o on o.opid = t.n"));
    ASSERT_EQ(ok.GetInt("ErrNo"), 0) << ok.GetString("ErrMsg").toStdString();
    std::unique_ptr<TClientDataSet> rows(RecordsetFromXMLString(ok.GetString("ClientDataSet1")));
    EXPECT_EQ(rows->FieldByName("c")->AsInteger(), 2);

    // password hashes read as nulls, for the manager too, however the query names them
    LoginAs(1);
    con.ExecuteNative(QStringLiteral("update operator set pwhash = '$argon2id$secret' where opid = 2"));
    for (const QString& sql : {QStringLiteral("select opid, pwhash from operator where opid = 2"),
                               QStringLiteral("select * from operator where opid = 2"),
                               QStringLiteral("select o.opid, (select max(p.pwhash) from operator p) as pwhash from operator o where o.opid = 2")}) {
        const TPacketParams r = read(sql);
        ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
        std::unique_ptr<TClientDataSet> op(RecordsetFromXMLString(r.GetString("ClientDataSet1")));
        EXPECT_EQ(op->FieldByName("opid")->AsInteger(), 2) << sql.toStdString();
        EXPECT_TRUE(op->FieldByName("pwhash")->AsString().isEmpty()) << sql.toStdString();
    }
    // nor can a condition probe them
    const TPacketParams probe = read(QStringLiteral("select count(*) as c from operator where pwhash like '$argon2id%'"));
    ASSERT_EQ(probe.GetInt("ErrNo"), 0) << probe.GetString("ErrMsg").toStdString();
    std::unique_ptr<TClientDataSet> count(RecordsetFromXMLString(probe.GetString("ClientDataSet1")));
    EXPECT_EQ(count->FieldByName("c")->AsInteger(), 0);
}

TEST_F(BillGuards, ThePrintedMarkNeedsTheRightToPrintThatBill)
{
    auto mark = [&](const QString& table, const QString& key, int id) {
        TPacketParams req;
        req.Set("MasterTable", table).Set("KeyField", key).Set("BillID", id);
        TPacketParams reply;
        reply.LoadFromString(con.Proxy()->Invoke(QStringLiteral("MarkBillPrinted"), req.ToString()));
        return reply;
    };
    const qint64 receipt = Receive(1, 1);
    auto inv = Invoice(1);
    const int invoice = inv->SaveAccepting().GetInt("NewBillID");
    ASSERT_GT(invoice, 0);

    // the demo clerk prints invoices (34) but has no right on receipts (39)
    LoginAs(2);
    const QByteArray before = DatabaseChecksum(con);
    ExpectRefused(mark(QStringLiteral("recieved"), QStringLiteral("recievedid"), int(receipt)), before, {QStringLiteral("打印")});
    ExpectRefused(mark(QStringLiteral("operator"), QStringLiteral("opid"), 2), before, {QStringLiteral("operator")});
    ExpectRefused(mark(QStringLiteral("invoice; drop table goods; --"), QStringLiteral("invoiceid"), invoice), before, {});
    ExpectRefused(mark(QStringLiteral("invoice"), QStringLiteral("invoiceid"), invoice + 1000), before, {QStringLiteral("不存在")});
    const TPacketParams ok = mark(QStringLiteral("INVOICE"), QStringLiteral("InvoiceID"), invoice);
    ASSERT_EQ(ok.GetInt("ErrNo"), 0) << ok.GetString("ErrMsg").toStdString();
    EXPECT_EQ(Int(QStringLiteral("select printed from invoice where invoiceid = %1").arg(invoice)), 1);
    EXPECT_EQ(Int(QStringLiteral("select printed from recieved where recievedid = %1").arg(receipt)), 0);
}

// ---------------------------------------------------------------- codes and messages

TEST_F(BillGuards, ProposedCodesAreNotUsedUpAndSavedCodesHaveNoGaps)
{
    const QDate today = QDate::currentDate();
    auto propose = [&] {
        TClientStoredProc sp(&con, QStringLiteral("getnewbillcodebydate;1"));
        sp.Params.Add("@shopid", TFieldType::ftInteger).Value = 1;
        sp.Params.Add("@billdate", TFieldType::ftString, TParamDirection::pdInput, 10).Value = today.toString(Qt::ISODate);
        sp.Params.Add("@masttablename", TFieldType::ftString, TParamDirection::pdInput, 30).Value = QStringLiteral("recieved");
        sp.Params.Add("@billcode", TFieldType::ftString, TParamDirection::pdInputOutput, 32);
        sp.ExecProc();
        return sp.Params.Value("@billcode").toString();
    };
    auto save = [&](const QString& code, QString* tips) {
        TBillClient b(con, 7);
        b.NewBill();
        b.SetMaster("storeid", 1);
        b.SetMaster("code", code);
        b.AddLine(Line(1, 1));
        const TPacketParams r = b.SaveAccepting();
        EXPECT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
        *tips = r.GetString("BillCodeTips");
        return r.GetString("NewBillCode");
    };
    // three windows open at once and propose the same code; one is closed without saving
    const QString first = propose(), second = propose(), third = propose();
    EXPECT_EQ(first, second);
    EXPECT_EQ(second, third);
    QString tips;
    const QString a = save(first, &tips);
    EXPECT_EQ(a, first);
    EXPECT_TRUE(tips.isEmpty());
    const QString b = save(second, &tips);
    EXPECT_EQ(b, FormatBillCode(today, 1, first.right(4).toInt() + 1));
    EXPECT_EQ(tips, QStringLiteral("单据编号 %1 已被其他用户使用，已自动改为 %2").arg(second, b));
    const QString c = save(propose(), &tips);
    EXPECT_EQ(c, FormatBillCode(today, 1, first.right(4).toInt() + 2));
}

TEST_F(BillGuards, ABillAnotherUserDeletedIsReportedInWords)
{
    auto mine = SavedReceipt(2, 2);
    TBillClient theirs(con, 7);
    theirs.OpenBill(mine->Id);
    ASSERT_EQ(theirs.DeleteAccepting().GetInt("ErrNo"), 0);
    mine->SetMaster("memo", "still here?");
    TPacketParams r = mine->Save();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("该单据已不存在，可能已被其他用户删除！"));
    mine->OpenBill(mine->Id); // the form reloads before deleting: nothing comes back
    r = mine->Delete();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("该单据已不存在，可能已被其他用户删除！"));
}

} // namespace
