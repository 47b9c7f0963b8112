// Partner and money accounts as the bill procedures keep them: a purchase cycle from order to
// payment, overdrawn accounts, edits, reversals and deletions, payment kinds, expenses spread
// over receipt lines, refunds, and amounts at the edges.
#include "server/ServerSql.h"
#include "server/StoredValues.h"
#include "tests/server/BillClient.h"

namespace {

class MoneyLedger : public TBillsTest {
protected:
    void SetUp() override
    {
        TBillsTest::SetUp();
        vendor = Int(QStringLiteral("select min(clientid) from client where clientkind = 2"));
        customer = Int(QStringLiteral("select min(clientid) from client where clientkind = 1 and clientid > 1"));
        ASSERT_GT(vendor, 0);
        ASSERT_GT(customer, 0);
        Option(QStringLiteral("0"));
    }

    void Option(const QString& bankNegative)
    {
        con.ExecuteNative(QStringLiteral("insert or replace into accoption (optionkey, optionvalue) values ('BANKNEGATIVE', :v)"), {{QStringLiteral("v"), bankNegative}});
    }
    double Balance(int client) { return Num(QStringLiteral("select balance from client where clientid = %1").arg(client)); }
    double Prepaid(int client) { return Num(QStringLiteral("select suramt from client where clientid = %1").arg(client)); }
    double Bank(int bank) { return Num(QStringLiteral("select balance from bank where bankid = %1").arg(bank)); }
    int FlowRows(int type, qint64 id) { return Int(QStringLiteral("select count(*) from moneyflow where billtype = %1 and billid = %2").arg(type).arg(id)); }

    // A new bill of `type`: master values, then one line per map; not saved.
    std::unique_ptr<TBillClient> NewBill(int type, const QVariantMap& master, const QVector<QVariantMap>& lines = {})
    {
        auto b = std::make_unique<TBillClient>(con, type);
        b->NewBill();
        for (auto it = master.cbegin(); it != master.cend(); ++it)
            b->SetMaster(it.key(), it.value());
        for (const QVariantMap& l : lines)
            b->AddLine(l);
        return b;
    }
    // Saves like the form, accepting stock warnings; the new bill's id, 0 when refused.
    qint64 Saved(TBillClient& b)
    {
        const TPacketParams r = b.SaveAccepting();
        EXPECT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
        return r.GetInt("ErrNo") == 0 ? r.GetInt("NewBillID") : 0;
    }
    qint64 Save(int type, const QVariantMap& master, const QVector<QVariantMap>& lines = {}) { return Saved(*NewBill(type, master, lines)); }
    QVariantMap From(QVariantMap line, int type, qint64 id, int item)
    {
        line.insert("refertype", type);
        line.insert("referbillid", id);
        line.insert("referitemno", item);
        return line;
    }
    TPacketParams Red(int type, qint64 id)
    {
        TBillClient b(con, type);
        b.OpenBill(id);
        return b.RedAccepting();
    }
    TPacketParams Delete(int type, qint64 id)
    {
        TBillClient b(con, type);
        b.OpenBill(id);
        return b.DeleteAccepting();
    }

    int vendor = 0;
    int customer = 0;
};

TEST_F(MoneyLedger, APurchaseCycleKeepsStockFollowUpsAndAccountsInStep)
{
    const double stock = OnHand(), balance = Balance(vendor), bank = Bank(1);
    auto expect = [&](const char* step, double stockIn, double received, const char* finished, double owed, double paid) {
        SCOPED_TRACE(step);
        EXPECT_DOUBLE_EQ(OnHand(), stock + stockIn);
        EXPECT_DOUBLE_EQ(Num(QStringLiteral("select max(rcvdqty) from orderdetail d join porder m on m.orderid = d.orderid where m.clientid = %1").arg(vendor)), received);
        EXPECT_EQ(con.ExecuteScalar(QStringLiteral("select finished from porder where clientid = %1").arg(vendor)).toString(), QLatin1String(finished));
        EXPECT_DOUBLE_EQ(Balance(vendor), RoundMoney(balance + owed));
        EXPECT_DOUBLE_EQ(Bank(1), RoundMoney(bank - paid));
    };

    const qint64 order = Save(6, {{"clientid", vendor}}, {Line(10, 2)});
    expect("order 10", 0, 0, "F", 0, 0);

    const qint64 first = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {From(Line(6, 2), 6, order, 1)});
    expect("receive 6 of them", 6, 6, "F", 12, 0);
    EXPECT_DOUBLE_EQ(LotLeft(first), 6);

    const qint64 second = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {From(Line(4, 2), 6, order, 1)});
    expect("receive the other 4", 10, 10, "T", 20, 0);

    QVariantMap back = From(Line(2, 2), 7, first, 1);
    back.insert("batchrefid", Int(QStringLiteral("select id from detailbillflow where billtype = 1 and billid = %1").arg(first)));
    const qint64 ret = Save(8, {{"clientid", vendor}, {"storeid", 1}, {"backmoney", "F"}}, {back});
    expect("return 2", 8, 10, "T", 16, 0);
    EXPECT_DOUBLE_EQ(LotLeft(first), 4);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select returnqty from rcvddetail where recievedid = %1").arg(first)), 2);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select returnamt from rcvddetail where recievedid = %1").arg(first)), 4);

    const qint64 pay = Save(9, {{"clientid", vendor}, {"ispp", 0}, {"bankid", 1}, {"amount", 16}, {"factamount", 16}},
                            {{{"refertype", 7}, {"referbillid", first}, {"amount", 12}},
                             {{"refertype", 7}, {"referbillid", second}, {"amount", 8}},
                             {{"refertype", 8}, {"referbillid", ret}, {"amount", -4}}});
    expect("pay the receipts", 8, 10, "T", 0, 16);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select totalpaid from recieved where recievedid = %1").arg(first)), 12);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select totalpaid from recieved where recievedid = %1").arg(second)), 8);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select totalpaid from preturn where preturnid = %1").arg(ret)), 4);

    // the books add up from the postings as well
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select total(balance) from moneyflow where clientid = %1").arg(vendor)), 0);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select total(bankamt) from moneyflow where bankid = 1")), -16);

    // the payment reversed owes the vendor again and gives the money back
    ASSERT_EQ(Red(9, pay).GetInt("ErrNo"), 0);
    expect("payment reversed", 8, 10, "T", 16, 0);
}

TEST_F(MoneyLedger, AnAccountMayNotGoNegativeWhenTheOptionForbidsIt)
{
    con.ExecuteNative(QStringLiteral("update bank set balance = 100 where bankid = 1"));
    Option(QStringLiteral("2"));
    const qint64 first = Save(26, {{"clientid", vendor}, {"storeid", 1}, {"bankid", 1}}, {Line(10, 6)});
    EXPECT_DOUBLE_EQ(Bank(1), 40);

    // more than is left, a new bill or an edit: refused with the forms' message, nothing written
    const QByteArray before = DatabaseChecksum(con);
    TPacketParams r = NewBill(26, {{"clientid", vendor}, {"storeid", 1}, {"bankid", 1}}, {Line(10, 5)})->SaveAccepting();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("该单保存之后，帐户余额为负，单据不能保存。"));
    TBillClient edit(con, 26);
    edit.OpenBill(first);
    edit.SetLine(1, "amount", 101);
    r = edit.SaveAccepting();
    EXPECT_EQ(r.GetString("ErrMsg"), QStringLiteral("该单保存之后，帐户余额为负，单据不能保存。"));
    EXPECT_EQ(DatabaseChecksum(con), before);

    // the same edit within what is left goes through
    edit.OpenBill(first);
    edit.SetLine(1, "amount", 100);
    EXPECT_EQ(Saved(edit), first);
    EXPECT_DOUBLE_EQ(Bank(1), 0);

    // when the form asks first the server lets it through; money coming in is never stopped
    Option(QStringLiteral("1"));
    ASSERT_GT(Save(26, {{"clientid", vendor}, {"storeid", 1}, {"bankid", 1}}, {Line(1, 10)}), 0);
    EXPECT_DOUBLE_EQ(Bank(1), -10);
    Option(QStringLiteral("2"));
    ASSERT_GT(Save(8, {{"clientid", vendor}, {"storeid", 1}, {"backmoney", "T"}, {"bankid", 1}}, {Line(1, 4)}), 0);
    EXPECT_DOUBLE_EQ(Bank(1), -6);

    // a cash bill with money and no account cannot be saved
    r = NewBill(26, {{"clientid", vendor}, {"storeid", 1}}, {Line(1, 3)})->SaveAccepting();
    EXPECT_EQ(r.GetInt("ErrNo"), 1);
    EXPECT_TRUE(r.GetString("ErrMsg").contains(QStringLiteral("账户"))) << r.GetString("ErrMsg").toStdString();
}

TEST_F(MoneyLedger, EditsRedsAndDeletesPostOnlyWhatTheBillNowSays)
{
    const double balance = Balance(vendor), bank = Bank(1);
    const qint64 receipt = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(10, 3)});
    const qint64 cash = Save(26, {{"clientid", vendor}, {"storeid", 1}, {"bankid", 1}}, {Line(10, 3)});
    ASSERT_GT(receipt, 0);
    ASSERT_GT(cash, 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance + 30);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 30);

    // edited: the accounts move by the difference; the bill keeps one posting each
    for (auto [type, id] : {std::pair{7, receipt}, std::pair{26, cash}}) {
        TBillClient b(con, type);
        b.OpenBill(id);
        b.SetLine(1, "unitprice", 5);
        b.SetLine(1, "amount", 50);
        b.SetLine(1, "goodsamt", 50);
        ASSERT_EQ(Saved(b), id);
        EXPECT_EQ(FlowRows(type, id), 1);
    }
    EXPECT_DOUBLE_EQ(Balance(vendor), balance + 50);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 50);

    // reversed after the edit: back where they started
    const qint64 redReceipt = Red(7, receipt).GetInt("NewBillID");
    const qint64 redCash = Red(26, cash).GetInt("NewBillID");
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);
    EXPECT_DOUBLE_EQ(Bank(1), bank);

    // deleting the reversal brings the bill back into the books; deleting the bill takes it out
    ASSERT_EQ(Delete(7, redReceipt).GetInt("ErrNo"), 0);
    ASSERT_EQ(Delete(26, redCash).GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance + 50);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 50);
    ASSERT_EQ(Delete(7, receipt).GetInt("ErrNo"), 0);
    ASSERT_EQ(Delete(26, cash).GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);
    EXPECT_DOUBLE_EQ(Bank(1), bank);
    EXPECT_EQ(Int(QStringLiteral("select count(*) from moneyflow")), 0);

    // a receipt that a return took from stays, and so does what it owes
    const qint64 taken = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(5, 2)});
    ASSERT_GT(Save(8, {{"clientid", vendor}, {"storeid", 1}}, {From(Line(1, 2), 7, taken, 1)}), 0);
    const QByteArray before = DatabaseChecksum(con);
    EXPECT_EQ(Delete(7, taken).GetInt("ErrNo"), 1);
    EXPECT_EQ(Red(7, taken).GetInt("ErrNo"), 1);
    EXPECT_EQ(DatabaseChecksum(con), before);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance + 8);
}

TEST_F(MoneyLedger, AmountsAtZeroNegativeAndLargeAreBookedToTheLastPlace)
{
    const double balance = Balance(vendor), prepaid = Prepaid(vendor), bank = Bank(1);
    const qint64 free = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(3, 0)});
    EXPECT_EQ(FlowRows(7, free), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);

    // an advance taken back: the advance falls, the money comes in
    ASSERT_GT(Save(9, {{"clientid", vendor}, {"ispp", 1}, {"bankid", 1}, {"amount", -200}, {"factamount", -200}}), 0);
    EXPECT_DOUBLE_EQ(Prepaid(vendor), prepaid - 200);
    EXPECT_DOUBLE_EQ(Bank(1), bank + 200);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);

    // above a hundred million with cents, and amounts of a ten-thousandth: exact to four places
    const qint64 large = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(1, 123456789.12), Line(1, 0.07), Line(1, 0.0001)});
    EXPECT_DOUBLE_EQ(Balance(vendor), RoundMoney(balance + 123456789.1901));
    const double stored = Balance(vendor) * 10000;
    EXPECT_DOUBLE_EQ(stored, std::round(stored));
    ASSERT_EQ(Red(7, large).GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);
}

TEST_F(MoneyLedger, APartnerOfTheOtherKindIsBookedFromItsOwnSide)
{
    const double vendorBalance = Balance(vendor), customerBalance = Balance(customer);
    // sold to a vendor: the vendor is owed less; bought from it for the same: even again
    ASSERT_GT(Save(2, {{"clientid", vendor}, {"storeid", 1}}, {Line(1, 100)}), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), vendorBalance - 100);
    ASSERT_GT(Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(1, 100)}), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), vendorBalance);
    // bought from a customer: the customer owes less
    ASSERT_GT(Save(7, {{"clientid", customer}, {"storeid", 1}}, {Line(1, 40)}), 0);
    EXPECT_DOUBLE_EQ(Balance(customer), customerBalance - 40);
}

TEST_F(MoneyLedger, PaymentKindsMoveTheAccountTheAdvanceAndTheMoney)
{
    const double balance = Balance(vendor), prepaid = Prepaid(vendor), bank = Bank(1);
    const qint64 receipt = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(10, 10)});
    // kind 0 paying 130 for 100 of bills: 30 becomes advance
    ASSERT_GT(Save(9, {{"clientid", vendor}, {"ispp", 0}, {"bankid", 1}, {"amount", 100}, {"factamount", 130}},
                   {{{"refertype", 7}, {"referbillid", receipt}, {"amount", 100}}}),
              0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);
    EXPECT_DOUBLE_EQ(Prepaid(vendor), prepaid + 30);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 130);
    // kind 1, an advance of 50
    ASSERT_GT(Save(9, {{"clientid", vendor}, {"ispp", 1}, {"bankid", 1}, {"amount", 50}, {"factamount", 50}}), 0);
    EXPECT_DOUBLE_EQ(Prepaid(vendor), prepaid + 80);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 180);
    // kind 2 settles 40 out of the advance: no money moves
    const qint64 more = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(4, 10)});
    ASSERT_GT(Save(9, {{"clientid", vendor}, {"ispp", 2}, {"amount", 40}}, {{{"refertype", 7}, {"referbillid", more}, {"amount", 40}}}), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);
    EXPECT_DOUBLE_EQ(Prepaid(vendor), prepaid + 40);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 180);
    // kind 3 changes the advance without money
    ASSERT_GT(Save(9, {{"clientid", vendor}, {"ispp", 3}, {"amount", 10}}), 0);
    EXPECT_DOUBLE_EQ(Prepaid(vendor), prepaid + 50);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 180);

    // a collection is the mirror: the customer owes less, the money comes in
    const double owes = Balance(customer), bank2 = Bank(2);
    const qint64 invoice = Save(2, {{"clientid", customer}, {"storeid", 1}}, {Line(1, 70)});
    EXPECT_DOUBLE_EQ(Balance(customer), owes + 70);
    auto charge = NewBill(5, {{"clientid", customer}, {"ispc", 0}, {"bankid", 2}, {"amount", 70}, {"factamount", 70}},
                          {{{"refertype", 2}, {"referbillid", invoice}, {"amount", 70}}});
    charge->MasterAmount = QStringLiteral("amount");
    ASSERT_GT(Saved(*charge), 0);
    EXPECT_DOUBLE_EQ(Balance(customer), owes);
    EXPECT_DOUBLE_EQ(Bank(2), bank2 + 70);
}

TEST_F(MoneyLedger, AnExpenseIsOwedLessWhatIsPaidAndSitsOnTheReceiptLines)
{
    const double balance = Balance(vendor), bank = Bank(1);
    const qint64 receipt = Save(7, {{"clientid", vendor}, {"storeid", 1}}, {Line(6, 10), Line(4, 10)});
    QVariantMap a = From(Line(6, 10), 7, receipt, 1), b = From(Line(4, 10), 7, receipt, 2);
    a.insert("appamt", 60);
    b.insert("appamt", 40);
    auto expense = NewBill(43, {{"clientid", vendor}, {"totalamt", 100}, {"appamt", 100}, {"paidamt", 30}, {"bankid", 1}}, {a, b});
    const qint64 id = Saved(*expense);
    ASSERT_GT(id, 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance + 100 + 70);
    EXPECT_DOUBLE_EQ(Bank(1), bank - 30);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select purappamt from rcvddetail where recievedid = %1 and itemno = 1").arg(receipt)), 60);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select purappamt from rcvddetail where recievedid = %1 and itemno = 2").arg(receipt)), 40);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select total(returnqty) from rcvddetail where recievedid = %1").arg(receipt)), 0) << "an expense returns no goods";

    ASSERT_EQ(Delete(43, id).GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance + 100);
    EXPECT_DOUBLE_EQ(Bank(1), bank);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select total(purappamt) from rcvddetail where recievedid = %1").arg(receipt)), 0);
}

TEST_F(MoneyLedger, RefundsAndTransfersMoveTheAccountsTheyName)
{
    const double balance = Balance(vendor), bank1 = Bank(1), bank2 = Bank(2);
    const qint64 cash = Save(26, {{"clientid", vendor}, {"storeid", 1}, {"bankid", 1}}, {Line(10, 5)});
    EXPECT_DOUBLE_EQ(Bank(1), bank1 - 50);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);
    // refunded at once into the account, or owed less by the vendor
    ASSERT_GT(Save(8, {{"clientid", vendor}, {"storeid", 1}, {"backmoney", "T"}, {"bankid", 1}}, {From(Line(2, 5), 26, cash, 1)}), 0);
    EXPECT_DOUBLE_EQ(Bank(1), bank1 - 40);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance);
    ASSERT_GT(Save(8, {{"clientid", vendor}, {"storeid", 1}, {"backmoney", "F"}}, {From(Line(1, 5), 26, cash, 1)}), 0);
    EXPECT_DOUBLE_EQ(Balance(vendor), balance - 5);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select totalreturn from crecieved where crecievedid = %1").arg(cash)), 15);
    EXPECT_DOUBLE_EQ(Num(QStringLiteral("select returnamt from crcvddetail where crecievedid = %1").arg(cash)), 15);

    // a transfer takes from one account what it gives the other; its reversal puts it back
    const qint64 move = Save(20, {{"outbankid", 1}, {"inbankid", 2}, {"outshopid", 1}, {"inshopid", 1}, {"amount", 1000}});
    EXPECT_DOUBLE_EQ(Bank(1), bank1 - 1040);
    EXPECT_DOUBLE_EQ(Bank(2), bank2 + 1000);
    ASSERT_EQ(Red(20, move).GetInt("ErrNo"), 0);
    EXPECT_DOUBLE_EQ(Bank(1), bank1 - 40);
    EXPECT_DOUBLE_EQ(Bank(2), bank2);
}

} // namespace
