// The data module's goods-price look-up and its cache.
#include "tests/support/DemoDb.h"

#include "server/GoodsInfo.h"
#include "services/BillDB.h"

namespace {

class TGoodsPriceTest : public TDemoDbTest {
protected:
    void SetUp() override
    {
        TDemoDbTest::SetUp();
        // Count what reaches the database, and still answer as the server does.
        TServerRegistry::RegisterProcedure(QStringLiteral("getgoodsinfo"), [this](TClientConnection& con, TProcParams& p, TClientDataSet* rows) {
            ++Calls;
            GetGoodsInfoProc(con, p, rows);
        });
        const QVariantList unit = GetValuesOfSql(QStringLiteral("select goodsid, unitid from goodsunit order by unitid limit 1"));
        ASSERT_EQ(unit.size(), 2);
        Goods = unit[0].toInt();
        Unit = unit[1].toInt();
        const QVariantList other = GetValuesOfSql(
            QStringLiteral("select goodsid, unitid from goodsunit where goodsid <> %1 order by unitid limit 1").arg(Goods));
        ASSERT_EQ(other.size(), 2);
        OtherGoods = other[0].toInt();
        OtherUnit = other[1].toInt();
        Client = Scalar(QStringLiteral("select min(clientid) from client where clientkind = 1")).toInt();
        OtherClient = Scalar(QStringLiteral("select max(clientid) from client where clientkind = 1")).toInt();
        ASSERT_NE(Client, OtherClient);
    }
    void TearDown() override
    {
        RegisterGoodsInfoProcedure();
        TDemoDbTest::TearDown();
    }
    TGoodsPrices Ask(TBillDB& db, int goods, int unit, int client, int store = 1)
    {
        return db.GetGoodsPrices(2, goods, unit, 1, client, 0, 0, store);
    }

    int Calls = 0;
    int Goods = 0, Unit = 0, OtherGoods = 0, OtherUnit = 0, Client = 0, OtherClient = 0;
};

TEST_F(TGoodsPriceTest, TheSameRequestIsAnsweredFromTheCacheUntilABillIsSaved)
{
    TBillDB db;
    const TGoodsPrices first = Ask(db, Goods, Unit, Client);
    ASSERT_TRUE(first.Found);
    EXPECT_EQ(Calls, 1);
    EXPECT_EQ(db.GoodsInfo()->FieldByName(QStringLiteral("GoodsID"))->AsInteger(), Goods);

    // The agreed price changes in the database; the cached answer is still given...
    Con().Execute(QStringLiteral("delete from gvcprice where cvid = %1 and unitid = %2 and cvflag = 1").arg(Client).arg(Unit));
    Con().Execute(QStringLiteral("insert into gvcprice (cvid, goodsid, unitid, cvflag, lastprice, spprice) values (%1, %2, %3, 1, 11.5, 12.75)")
                      .arg(Client)
                      .arg(Goods)
                      .arg(Unit));
    const TGoodsPrices again = Ask(db, Goods, Unit, Client);
    EXPECT_EQ(Calls, 1);
    EXPECT_EQ(again.SPPrice, first.SPPrice);
    EXPECT_EQ(again.DefaultPrice, first.DefaultPrice);

    // ...until a bill is saved, which drops it.
    BillDBAfterSaveBill();
    EXPECT_FALSE(db.spGetGoodsInfo.Active());
    const TGoodsPrices fresh = Ask(db, Goods, Unit, Client);
    EXPECT_EQ(Calls, 2);
    EXPECT_DOUBLE_EQ(fresh.SPPrice, 12.75);
    EXPECT_DOUBLE_EQ(fresh.LastPrice, 11.5);
    EXPECT_DOUBLE_EQ(fresh.DefaultPrice, 12.75); // a client-side bill proposes the agreed price
}

TEST_F(TGoodsPriceTest, AnyDifferenceInTheRequestGoesBackToTheDatabase)
{
    TBillDB db;
    Ask(db, Goods, Unit, Client);
    ASSERT_EQ(Calls, 1);
    Ask(db, Goods, Unit, OtherClient);
    EXPECT_EQ(Calls, 2);
    Ask(db, Goods, Unit, Client); // only the last answer is kept
    EXPECT_EQ(Calls, 3);
    Ask(db, Goods, Unit, Client, 2); // another store
    EXPECT_EQ(Calls, 4);
    db.GetGoodsPrices(3, Goods, Unit, 1, Client, 0, 0, 2); // another bill type
    EXPECT_EQ(Calls, 5);
    db.GetGoodsPrices(3, Goods, Unit, 1, Client, 0, 1, 2); // another branch
    EXPECT_EQ(Calls, 6);
    db.GetGoodsPrices(3, Goods, Unit, 1, Client, 5, 1, 2); // another batch
    EXPECT_EQ(Calls, 7);
    db.GetGoodsPrices(3, Goods, Unit, 2, Client, 5, 1, 2); // another side
    EXPECT_EQ(Calls, 8);
    db.GetGoodsPrices(3, Goods, Unit, 2, Client, 5, 1, 2);
    EXPECT_EQ(Calls, 8);

    const TGoodsPrices other = Ask(db, OtherGoods, OtherUnit, Client);
    EXPECT_EQ(Calls, 9);
    ASSERT_TRUE(other.Found);
    EXPECT_EQ(db.GoodsInfo()->FieldByName(QStringLiteral("GoodsID"))->AsInteger(), OtherGoods);
}

TEST_F(TGoodsPriceTest, AnotherAccountSetNeverSeesTheCachedAnswer)
{
    TBillDB db;
    Ask(db, Goods, Unit, Client);
    EXPECT_EQ(db.CachedAccountID(), g_iAccountID);
    const int saved = g_iAccountID;
    g_iAccountID = saved + 1;
    Ask(db, Goods, Unit, Client);
    EXPECT_EQ(Calls, 2);
    EXPECT_EQ(db.CachedAccountID(), saved + 1);
    g_iAccountID = saved;
}

TEST_F(TGoodsPriceTest, AGoodsRequestWithoutUnitAndAMissingGoodsAreNeverCached)
{
    TBillDB db;
    // Goods with its base unit: the answer names the base unit, not the 0 asked for.
    const TGoodsPrices base = db.GetGoodsPrices(2, Goods, 0, 1, Client, 0, 0, 1, 1);
    EXPECT_TRUE(base.Found);
    db.GetGoodsPrices(2, Goods, 0, 1, Client, 0, 0, 1, 1);
    EXPECT_EQ(Calls, 2);

    const TGoodsPrices none = Ask(db, -42, -42, Client);
    EXPECT_FALSE(none.Found);
    EXPECT_EQ(none.DefaultPrice, 0.0);
    Ask(db, -42, -42, Client);
    EXPECT_EQ(Calls, 4);
}

TEST_F(TGoodsPriceTest, OnlyTheLiveModuleAnswersForTheSavePath)
{
    auto db = std::make_unique<TBillDB>();
    EXPECT_EQ(TBillDB::Current(), db.get());
    EXPECT_EQ(db->objectName(), QStringLiteral("BillDB"));
    Ask(*db, Goods, Unit, Client);
    db.reset();
    EXPECT_EQ(TBillDB::Current(), nullptr);
    BillDBAfterSaveBill(); // no module: nothing to close, no crash
}

} // namespace
