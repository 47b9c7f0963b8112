// The "getgoodsinfo" procedure through the stored-procedure client, on the demo company.
#include "platform/Exceptions.h"
#include "server/DemoData.h"
#include "server/GoodsInfo.h"
#include "server/Schema.h"
#include "tests/support/PgCluster.h"
#include "webrpc/SqlDialect.h"
#include "webrpc/Connection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// On both engines: a SQLite database made for the test, or a copy of the cluster's demo database.
class GoodsInfo : public ::testing::TestWithParam<TSqlEngine> {
protected:
    void SetUp() override
    {
        if (GetParam() == TSqlEngine::PostgreSQL) {
            try {
                Con.Open(NewPgDemoDatabase(QStringLiteral("goodsinfo")));
            } catch (const EDatabaseError& e) {
                FAIL() << e.what();
            }
        } else {
            Con.Open(QStringLiteral(":memory:"));
            Con.BeginTrans();
            CreateSchema(Con.Handle());
            FillDemoData(Con.Handle(), QDate::currentDate());
            Con.CommitTrans();
        }
        RegisterGoodsInfoProcedure();
    }

    double Scalar(const QString& sql) { return Con.ExecuteScalar(sql).toDouble(); }

    // Runs the procedure as a goods bill does; returns false when no row came back.
    bool Run(int getType, int goodsId, int unitId, int billType, int cvFlag, int cvId, int storeId = 0, const QString& filter = QString())
    {
        Proc.reset(new TClientStoredProc(&Con, QStringLiteral("getgoodsinfo;1")));
        TProcParams& p = Proc->Params;
        p.Add(QStringLiteral("@RETURN_VALUE"), TFieldType::ftInteger, TParamDirection::pdReturnValue);
        p.Add(QStringLiteral("@gettype"), TFieldType::ftInteger).Value = getType;
        p.Add(QStringLiteral("@goodsid"), TFieldType::ftInteger).Value = goodsId;
        p.Add(QStringLiteral("@unitid"), TFieldType::ftInteger).Value = unitId;
        p.Add(QStringLiteral("@BillType"), TFieldType::ftInteger).Value = billType;
        p.Add(QStringLiteral("@CVFlag"), TFieldType::ftInteger).Value = cvFlag;
        p.Add(QStringLiteral("@CVID"), TFieldType::ftInteger).Value = cvId;
        p.Add(QStringLiteral("@BATCHREFID"), TFieldType::ftInteger).Value = 0;
        p.Add(QStringLiteral("@DefaultPrice"), TFieldType::ftFloat, TParamDirection::pdInputOutput).Value = 0.0;
        p.Add(QStringLiteral("@Filter"), TFieldType::ftString, TParamDirection::pdInput, 255).Value = filter;
        p.Add(QStringLiteral("@shopid"), TFieldType::ftInteger).Value = 1;
        p.Add(QStringLiteral("@storeid"), TFieldType::ftInteger).Value = storeId;
        Proc->Open();
        return !Proc->Rows()->IsEmpty();
    }
    TField* F(const char* name) { return Proc->Rows()->FieldByName(QString::fromLatin1(name)); }
    double DefaultPrice() { return F("DefaultPrice")->AsFloat(); }

    TClientConnection Con;
    std::unique_ptr<TClientStoredProc> Proc;
};

int UnitOf(TClientConnection& con, int goodsId, bool base)
{
    return con.ExecuteScalar(QStringLiteral("select min(unitid) from goodsunit where goodsid = %1 and unittype %2 0").arg(goodsId).arg(base ? "=" : "<>")).toInt();
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Engines, GoodsInfo, ::testing::Values(TSqlEngine::SQLite, TSqlEngine::PostgreSQL),
                         [](const ::testing::TestParamInfo<TSqlEngine>& info) { return info.param == TSqlEngine::PostgreSQL ? "PostgreSQL" : "SQLite"; });

TEST_P(GoodsInfo, GoodsInfoComesWithTheBaseUnitAndTheEchoes)
{
    ASSERT_TRUE(Run(1, 5, 0, 2, 1, 2));
    EXPECT_EQ(F("Code")->AsString(), Con.ExecuteScalar(QStringLiteral("select code from goods where goodsid = 5")).toString());
    EXPECT_EQ(F("Name")->AsString(), Con.ExecuteScalar(QStringLiteral("select name from goods where goodsid = 5")).toString());
    EXPECT_EQ(F("UnitID")->AsInteger(), UnitOf(Con, 5, true));
    EXPECT_DOUBLE_EQ(F("unitrate")->AsFloat(), 1.0);
    EXPECT_EQ(F("batchctrl")->AsString(), QStringLiteral("T"));
    EXPECT_EQ(F("ValidDates")->AsInteger(), 365);
    EXPECT_EQ(F("kind")->AsInteger(), 1);
    EXPECT_FALSE(F("barcode")->AsString().isEmpty());
    EXPECT_EQ(F("GetType")->AsInteger(), 1);
    EXPECT_EQ(F("BillType")->AsInteger(), 2);
    EXPECT_EQ(F("CVFlag")->AsInteger(), 1);
    EXPECT_EQ(F("CVID")->AsInteger(), 2);
    EXPECT_EQ(F("storeid")->AsInteger(), 0);
    EXPECT_NE(Proc->Rows()->FindField(QStringLiteral("goodsuserdef10")), nullptr);
    EXPECT_EQ(Proc->Params.Value(QStringLiteral("@RETURN_VALUE")).toInt(), 1);
}

TEST_P(GoodsInfo, TheGoodsListFilterAppliesToGoodsInfoOnly)
{
    const int kit = Con.ExecuteScalar(QStringLiteral("select min(goodsid) from goods where kind = 3")).toInt();
    ASSERT_GT(kit, 0);
    EXPECT_TRUE(Run(1, kit, 0, 13, 3, 0, 1, QStringLiteral(" closed='F' ")));
    EXPECT_FALSE(Run(1, kit, 0, 13, 3, 0, 1, QStringLiteral(" closed='F' and  kind <= 2 ")));
    EXPECT_FALSE(Run(1, kit, 0, 13, 3, 0, 1, QStringLiteral(" g.closed='F' and g.kind<3 ")));
    EXPECT_DOUBLE_EQ(Proc->Params.Value(QStringLiteral("@DefaultPrice")).toDouble(), 0.0);
    // unit info ignores the list filter
    EXPECT_TRUE(Run(2, kit, UnitOf(Con, kit, true), 13, 3, 0, 1, QStringLiteral(" kind <= 2 ")));
    EXPECT_THROW(Run(1, 1, 0, 2, 1, 0, 0, QStringLiteral("1=1; delete from goods")), EDatabaseError);
    EXPECT_GT(Scalar(QStringLiteral("select count(*) from goods")), 190);
}

TEST_P(GoodsInfo, UnitInfoIsThatOfTheNamedUnitOfThatGoods)
{
    const int pack = UnitOf(Con, 5, false);
    ASSERT_TRUE(Run(2, 5, pack, 2, 1, 0));
    EXPECT_EQ(F("UnitID")->AsInteger(), pack);
    EXPECT_DOUBLE_EQ(F("unitrate")->AsFloat(), Scalar(QStringLiteral("select rate from goodsunit where unitid = %1").arg(pack)));
    EXPECT_EQ(F("unitname")->AsString(), QStringLiteral("箱"));
    EXPECT_NEAR(F("unitaprice")->AsFloat(), F("aprice")->AsFloat() * F("unitrate")->AsFloat(), 1e-6);
    // a unit of another goods item gives no row
    EXPECT_FALSE(Run(2, 6, pack, 2, 1, 0));
    EXPECT_FALSE(Run(2, 99999, 0, 2, 1, 0));
}

TEST_P(GoodsInfo, ClientsGetTheirPriceLevelOrTheirAgreedPrice)
{
    const int unit = UnitOf(Con, 10, false);
    Con.ExecuteNative(QStringLiteral("update client set pricelevel = 2 where clientid = 4"));
    Con.ExecuteNative(QStringLiteral("delete from gvcprice where cvid in (4, 5) and goodsid = 10"));
    ASSERT_TRUE(Run(3, 10, unit, 2, 1, 4));
    const double level2 = Scalar(QStringLiteral("select lprice2 from goodsunit where unitid = %1").arg(unit));
    EXPECT_DOUBLE_EQ(DefaultPrice(), level2);
    EXPECT_DOUBLE_EQ(F("LevPrice")->AsFloat(), level2);
    EXPECT_DOUBLE_EQ(Proc->Params.Value(QStringLiteral("@DefaultPrice")).toDouble(), level2);
    // without a client, and for a retail client, the retail price
    const double retail = Scalar(QStringLiteral("select sprice from goodsunit where unitid = %1").arg(unit));
    ASSERT_TRUE(Run(3, 10, unit, 2, 1, 0));
    EXPECT_DOUBLE_EQ(DefaultPrice(), retail);
    Con.ExecuteNative(QStringLiteral("update client set pricelevel = 0 where clientid = 5"));
    ASSERT_TRUE(Run(3, 10, unit, 2, 1, 5));
    EXPECT_DOUBLE_EQ(DefaultPrice(), retail);
    // an agreed price wins over the level
    Con.ExecuteNative(QStringLiteral("insert into gvcprice (cvid, goodsid, unitid, cvflag, lastprice, spprice) values (4, 10, %1, 1, 40.5, 39.9)").arg(unit));
    ASSERT_TRUE(Run(3, 10, unit, 2, 1, 4));
    EXPECT_DOUBLE_EQ(DefaultPrice(), 39.9);
    EXPECT_DOUBLE_EQ(F("SPPrice")->AsFloat(), 39.9);
    EXPECT_DOUBLE_EQ(F("LastPrice")->AsFloat(), 40.5);
}

TEST_P(GoodsInfo, VendorsGetTheLastPurchasePrice)
{
    const int unit = UnitOf(Con, 20, true);
    const int vendor = Con.ExecuteScalar(QStringLiteral("select clientid from goods where goodsid = 20")).toInt();
    const double last = Scalar(QStringLiteral("select lastprice from gvcprice where cvid = %1 and goodsid = 20 and unitid = %2").arg(vendor).arg(unit));
    ASSERT_GT(last, 0);
    ASSERT_TRUE(Run(3, 20, unit, 6, 2, vendor));
    EXPECT_DOUBLE_EQ(DefaultPrice(), last);
    // another vendor has no history: the goods' last purchase price of that unit
    const int other = Con.ExecuteScalar(QStringLiteral("select min(clientid) from client where clientkind = 2 and clientid <> %1").arg(vendor)).toInt();
    ASSERT_TRUE(Run(3, 20, unit, 7, 2, other));
    EXPECT_DOUBLE_EQ(DefaultPrice(), Scalar(QStringLiteral("select lastpprice from goodsunit where unitid = %1").arg(unit)));
    // and with no last price at all, the reference purchase price
    Con.ExecuteNative(QStringLiteral("update goodsunit set lastpprice = 0 where unitid = %1").arg(unit));
    ASSERT_TRUE(Run(3, 20, unit, 7, 2, other));
    EXPECT_DOUBLE_EQ(DefaultPrice(), Scalar(QStringLiteral("select pprice from goodsunit where unitid = %1").arg(unit)));
}

TEST_P(GoodsInfo, StockBillsGetTheCostOfTheUnit)
{
    const int unit = UnitOf(Con, 30, false);
    const double rate = Scalar(QStringLiteral("select rate from goodsunit where unitid = %1").arg(unit));
    Con.ExecuteNative(QStringLiteral("update onhand set aprice = 2.125 where storeid = 1 and goodsid = 30"));
    ASSERT_TRUE(Run(3, 30, unit, 13, 3, 0, 1));
    EXPECT_NEAR(DefaultPrice(), 2.125 * rate, 1e-9);
    EXPECT_NEAR(F("unitaprice")->AsFloat(), 2.125 * rate, 1e-9);
    // a store without its own cost falls back to the goods' cost
    Con.ExecuteNative(QStringLiteral("update onhand set aprice = 0 where storeid = 3 and goodsid = 30"));
    const double goodsCost = Scalar(QStringLiteral("select aprice from goods where goodsid = 30"));
    ASSERT_TRUE(Run(3, 30, unit, 13, 3, 0, 3));
    EXPECT_NEAR(DefaultPrice(), std::round(goodsCost * rate * 1e8) / 1e8, 1e-9);
}

TEST_P(GoodsInfo, PointOfSaleTakesTheDiscountInForce)
{
    const int unit = UnitOf(Con, 40, true);
    const double retail = Scalar(QStringLiteral("select sprice from goodsunit where unitid = %1").arg(unit));
    ASSERT_TRUE(Run(3, 40, unit, 23, 5, 0, 2));
    EXPECT_DOUBLE_EQ(DefaultPrice(), retail);
    EXPECT_TRUE(F("DisPrice")->IsNull());
    const QString insertMaster = QStringLiteral(
        "insert into goodsdiscount (goodsdiscountid, code, billdate, shopid, discshopid, storeid, startdate, enddate, starttime, endtime,"
        " closed, flag) values (%1, 'SZ%1', :today, 1, %2, null, :yesterday, :tomorrow, '00:00', '23:59', 'F', %3)");
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    const TSqlParams days{{QStringLiteral("today"), today}, {QStringLiteral("yesterday"), today.addDays(-1)}, {QStringLiteral("tomorrow"), today.addDays(1)}};
    const QString insertLine = QStringLiteral("insert into goodsdiscountdetail (goodsdiscountid, itemno, goodsid, unitid, sprice, disprice, rate, useflag)"
                                              " values (%1, 1, 40, %2, %3, %4, 80, '%5')");
    // for another shop, reversed, or a line not in use: no discount
    Con.ExecuteNative(insertMaster.arg(1).arg(2).arg(0), days);
    Con.ExecuteNative(insertLine.arg(1).arg(unit).arg(retail).arg(retail * 0.8).arg(QStringLiteral("是")));
    Con.ExecuteNative(insertMaster.arg(2).arg(1).arg(1), days);
    Con.ExecuteNative(insertLine.arg(2).arg(unit).arg(retail).arg(retail * 0.7).arg(QStringLiteral("是")));
    Con.ExecuteNative(insertMaster.arg(3).arg(QStringLiteral("null")).arg(0), days);
    Con.ExecuteNative(insertLine.arg(3).arg(unit).arg(retail).arg(retail * 0.6).arg(QStringLiteral("否")));
    ASSERT_TRUE(Run(3, 40, unit, 23, 5, 0, 2));
    EXPECT_DOUBLE_EQ(DefaultPrice(), retail);
    // a discount for all shops, in force now
    Con.ExecuteNative(insertMaster.arg(4).arg(QStringLiteral("null")).arg(0), days);
    Con.ExecuteNative(insertLine.arg(4).arg(unit).arg(retail).arg(12.5).arg(QStringLiteral("是")));
    ASSERT_TRUE(Run(3, 40, unit, 23, 5, 0, 2));
    EXPECT_DOUBLE_EQ(DefaultPrice(), 12.5);
    EXPECT_DOUBLE_EQ(F("DisPrice")->AsFloat(), 12.5);
    // a sales bill keeps the client's price
    ASSERT_TRUE(Run(3, 40, unit, 2, 1, 0, 2));
    EXPECT_DOUBLE_EQ(DefaultPrice(), retail);
}
