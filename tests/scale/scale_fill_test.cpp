// The scale benchmark's fill at a small size on the test cluster: bills whose totals are their
// lines, codes numbered as the save numbers them, partners of the right side, stock that is
// what the flow says, and saves afterwards that carry on from the filled keys and codes.
#include "bench/ScaleFill.h"
#include "tests/server/BillClient.h"

namespace {

class ScaleFill : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterServerProcedures();
        try {
            con.Open(NewPgDemoDatabase(QStringLiteral("scale_fill")));
        } catch (const EDatabaseError& e) {
            FAIL() << e.what();
        }
        TServerSession s;
        s.OpID = 1;
        s.OpName = con.ExecuteScalar(QStringLiteral("select opname from operator where opid = 1")).toString();
        s.ShopID = 1;
        s.SysManager = true;
        con.SetSession(s);
        demoGoods = Int("select max(goodsid) from goods");
        demoClients = Int("select max(clientid) from client");
        billsBefore = Int("select (select count(*) from recieved) + (select count(*) from invoice) + (select count(*) from porder)"
                          " + (select count(*) from sorder) + (select count(*) from csale)");
        FillScaleData(con, size, [](const QString&) {});
    }

    qint64 Int(const char* sql) { return con.ExecuteScalar(QString::fromLatin1(sql)).toLongLong(); }
    qint64 Count(const char* sql, qint64 after) { return con.ExecuteScalar(QString::fromLatin1(sql).arg(after)).toLongLong(); }

    TScaleSize size{3000, 400, 20000};
    TClientConnection con;
    qint64 billsBefore = 0;
    qint64 demoGoods = 0;   // the filled rows come after these
    qint64 demoClients = 0;
};

TEST_F(ScaleFill, WritesTheBooksOfAChain)
{
    EXPECT_EQ(Int("select count(*) from goods"), size.Goods);
    EXPECT_EQ(Int("select max(goodsid) from goods"), size.Goods);
    EXPECT_EQ(Int("select count(*) from goods g where not exists (select 1 from goodsunit u where u.goodsid = g.goodsid and u.unittype = 0)"), 0);
    EXPECT_EQ(Int("select count(*) from client"), size.Clients);
    const qint64 bills = Int("select (select count(*) from recieved) + (select count(*) from invoice) + (select count(*) from porder)"
                             " + (select count(*) from sorder) + (select count(*) from csale)");
    EXPECT_EQ(bills - billsBefore, size.Bills);
    // one to nine lines a bill, and one receipt of 2,000 lines in branch 1 for the load figure
    const qint64 lines = Int("select (select count(*) from rcvddetail) + (select count(*) from saledetail) + (select count(*) from orderdetail)"
                             " + (select count(*) from sorderdetail) + (select count(*) from csaledetail)");
    EXPECT_GT(lines, 4 * size.Bills);
    EXPECT_LT(lines, 6 * size.Bills + 2000);
    EXPECT_EQ(Int("select count(*) from recieved r where shopid = 1 and (select count(*) from rcvddetail d where d.recievedid = r.recievedid) = 2000"), 1);

    // every bill's total is its lines', and its partner is of the bill's side
    EXPECT_EQ(Count("select count(*) from recieved m join client c on c.clientid = m.clientid where c.clientkind <> 2 and m.clientid > %1", demoClients), 0);
    EXPECT_EQ(Count("select count(*) from invoice m join client c on c.clientid = m.clientid where c.clientkind <> 1 and m.clientid > %1", demoClients), 0);
    EXPECT_EQ(Int("select count(*) from porder m where abs(m.amount - (select sum(amount) from orderdetail d where d.orderid = m.orderid)) > 0.005"), 0);
    EXPECT_EQ(Int("select count(*) from recieved m where abs(m.totalamt - coalesce((select sum(amount) from rcvddetail d where d.recievedid = m.recievedid), 0)) > 0.005"), 0);
    EXPECT_EQ(Int("select count(*) from invoice m where abs(m.totalamt - coalesce((select sum(amount) from saledetail d where d.invoiceid = m.invoiceid), 0)) > 0.005"), 0);

    // codes as the save writes them: the bill's date and branch, numbered from 1 within them
    EXPECT_EQ(Int("select count(*) - count(distinct code) from recieved"), 0);
    EXPECT_EQ(Int("select count(*) - count(distinct code) from invoice"), 0);
    EXPECT_EQ(Int("select count(*) from recieved where billdate < '2026-01-01'"
                  " and left(code, 12) <> to_char(billdate, 'YYYYMMDD') || '-' || lpad(shopid::text, 2, '0') || '-'"),
              0);
    EXPECT_EQ(Int("select count(*) from (select left(code, 12), max(right(code, 4)::int) as top, count(*) as n from sorder"
                  " where billdate < '2026-01-01' group by 1) d where top <> n"),
              0);

    // the stock of each store is what the flow brought in less what it took out, and the
    // goods' own figure the sum over the stores
    EXPECT_EQ(Int("select count(*) from detailbillflow f join rcvddetail d on d.recievedid = f.billid and d.itemno = f.itemno"
                  " where f.billtype = 1 and f.inqty = d.quantity and f.goodsid = d.goodsid"),
              Int("select count(*) from rcvddetail"));
    EXPECT_EQ(Count("select count(*) from (select storeid, goodsid, sum(inqty - outqty) as q from detailbillflow where goodsid > %1"
                    " group by storeid, goodsid) f left join onhand o on o.storeid = f.storeid and o.goodsid = f.goodsid"
                    " where o.goodsid is null or abs(o.onhand - f.q) > 0.0001",
                    demoGoods),
              0);
    EXPECT_EQ(Int("select count(*) from goods g where abs(g.onhand - coalesce((select sum(onhand) from onhand o where o.goodsid = g.goodsid), 0)) > 0.0001"), 0);
}

TEST_F(ScaleFill, SavesCarryOnFromTheFilledKeysAndCodes)
{
    // a receipt saved on a filled day of branch 1 takes the next code of that day and a new key
    const QDateTime day(QDate(2024, 6, 3), QTime(0, 0));
    const QVariant dayValue = day;
    const QString lastCode = con.ExecuteScalar(QStringLiteral("select max(code) from recieved where billdate = :d and shopid = 1"),
                                               {{QStringLiteral("d"), dayValue}})
                                 .toString();
    ASSERT_EQ(lastCode.size(), 16);
    const qint64 lastId = Int("select max(recievedid) from recieved");
    const int goods = int(Int("select max(goodsid) from goods"));
    const int unit = int(con.ExecuteScalar(QStringLiteral("select unitid from goodsunit where goodsid = %1 and unittype = 0").arg(goods)).toInt());

    TBillClient bill(con, 7);
    bill.NewBill();
    bill.SetMaster("storeid", 1);
    bill.SetMaster("clientid", Int("select min(clientid) from client where clientkind = 2"));
    bill.SetMaster("billdate", day);
    bill.AddLine({{"goodsid", goods}, {"unitid", unit}, {"unitqty", 3}, {"quantity", 3}, {"unitprice", 2}, {"price", 2}, {"goodsamt", 6},
                  {"amount", 6}, {"disc", 100}, {"taxrate", 0}});
    const double stockBefore = con.ExecuteScalar(QStringLiteral("select onhand from goods where goodsid = %1").arg(goods)).toDouble();
    const TPacketParams r = bill.SaveAccepting();
    ASSERT_EQ(r.GetInt("ErrNo"), 0) << r.GetString("ErrMsg").toStdString();
    EXPECT_GT(r.GetInt("NewBillID"), lastId);
    const QString code = con.ExecuteScalar(QStringLiteral("select code from recieved where recievedid = %1").arg(r.GetInt("NewBillID"))).toString();
    EXPECT_EQ(code, lastCode.left(12) + QStringLiteral("%1").arg(lastCode.right(4).toInt() + 1, 4, 10, QLatin1Char('0')));
    EXPECT_DOUBLE_EQ(con.ExecuteScalar(QStringLiteral("select onhand from goods where goodsid = %1").arg(goods)).toDouble(), stockBefore + 3);
}

} // namespace
