// Numbers at the edges: many significant digits, large amounts, long prices, zero,
// negative quantities, divisors of zero and values that are not numbers.
#include "tests/goodsbill/PricingFixture.h"

#include <limits>

namespace {

using TPricingEdgeTest = TPricingTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TValues PlainLine(std::initializer_list<std::pair<QString, double>> extra)
{
    TValues v{{"unitrate", 1}, {"disc", 100}, {"taxrate", 17}};
    v.insert(v.end(), extra.begin(), extra.end());
    return v;
}

TEST_F(TPricingEdgeTest, FifteenSignificantDigitsAndAmountsAboveAHundredMillion)
{
    MakeLine(AllPricingFields(), PlainLine({{"unitqty", 1}, {"unitprice", 98765.4321}}));
    Type("unitqty", 123456.789);
    EXPECT_DOUBLE_EQ(Num("quantity"), 123456.789);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 12193263111.26);
    EXPECT_DOUBLE_EQ(Num("taxamt"), 2072854728.91);
    EXPECT_DOUBLE_EQ(Num("amount"), 14266117840.17);

    MakeLine(AllPricingFields(), PlainLine({{"unitqty", 1000000}}));
    Type("unitprice", 123.45678912);
    EXPECT_DOUBLE_EQ(Num("taxprice"), 144.44444327);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 123456789.12);
    EXPECT_DOUBLE_EQ(Num("taxamt"), 20987654.15);
    EXPECT_DOUBLE_EQ(Num("amount"), 144444443.27);

    Type("amount", 200000000);
    EXPECT_DOUBLE_EQ(Num("taxprice"), 200);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 170.94017094);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 170940170.94);
    EXPECT_DOUBLE_EQ(Num("taxamt"), 29059829.06);
}

TEST_F(TPricingEdgeTest, EightDecimalPricesAboveTenThousand)
{
    MakeLine(AllPricingFields(), {{"unitqty", 2}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 13}});
    Type("taxprice", 12345.67891234);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10925.37956844);
    EXPECT_DOUBLE_EQ(Num("nprice"), 10925.37956844);
    EXPECT_DOUBLE_EQ(Num("price"), 10925.37956844);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 21850.76);
    EXPECT_DOUBLE_EQ(Num("amount"), 24691.36);
    EXPECT_DOUBLE_EQ(Num("taxamt"), 2840.6);
}

TEST_F(TPricingEdgeTest, ZeroQuantityKeepsThePricesTheAmountsCannotGive)
{
    Options.GoodsAmtLimit = 0.05;
    TValues line = BoxLine();
    line[0].second = 0; // unitqty
    MakeLine(AllPricingFields(), line);
    Engine->SetPreviousAmounts({5.1, 30, 35.1});
    Type("goodsamt", 12);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 0);
    EXPECT_DOUBLE_EQ(Num("amount"), 0);

    Type("amount", 20); // the previous amount is now 0
    EXPECT_DOUBLE_EQ(Num("taxprice"), 11.7);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 0);
    EXPECT_DOUBLE_EQ(Num("taxamt"), 20);
    ExpectAllFinite();
}

TEST_F(TPricingEdgeTest, NegativeQuantitiesRoundAwayFromZero)
{
    MakeLine(AllPricingFields(), PlainLine({{"unitqty", 1}, {"unitprice", 0.335}}));
    Type("unitqty", -3);
    EXPECT_DOUBLE_EQ(Num("quantity"), -3);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), -1.01);
    EXPECT_DOUBLE_EQ(Num("taxamt"), -0.17);
    EXPECT_DOUBLE_EQ(Num("amount"), -1.18);

    Type("unitprice", -2);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 6);
    EXPECT_DOUBLE_EQ(Num("taxamt"), 1.02);
    EXPECT_DOUBLE_EQ(Num("taxprice"), -2.34);
}

TEST_F(TPricingEdgeTest, DivisorsOfZeroWriteNothing)
{
    TValues noDiscount = BoxLine();
    noDiscount[4].second = 0; // disc
    MakeLine(AllPricingFields(), noDiscount);
    Type("unitprice", 9);
    EXPECT_DOUBLE_EQ(Num("nprice"), 12.5);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 27);
    Type("taxprice", 11.7);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("nprice"), 12.5);
    ExpectAllFinite();

    TValues noRate = BoxLine();
    noRate[1].second = 0; // unitrate
    MakeLine(AllPricingFields(), noRate);
    Type("disc", 90);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 11.25);
    EXPECT_DOUBLE_EQ(Num("price"), 0.83333333);
    Type("taxprice", 11.7);
    EXPECT_DOUBLE_EQ(Num("price"), 0.83333333);
    Type("UnitAprice", 30);
    EXPECT_DOUBLE_EQ(Num("aprice"), 4);
    ExpectAllFinite();

    // a tax rate of -100 % leaves nothing to divide the price with tax by
    TValues minusAll = BoxLine();
    minusAll[7].second = -100; // taxrate
    MakeLine(AllPricingFields(), minusAll);
    Engine->SetPreviousAmounts({5.1, 30, 35.1});
    Type("taxprice", 5);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    Type("amount", 99);
    EXPECT_DOUBLE_EQ(Num("taxprice"), 33);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    ExpectAllFinite();

    // a tax amount typed on a line without tax cannot give the goods amount
    TValues noTax = BoxLine();
    noTax[7].second = 0;
    MakeLine(AllPricingFields(), noTax);
    Engine->SetPreviousAmounts({0, 30, 30});
    Type("taxamt", 3);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 30);
    EXPECT_DOUBLE_EQ(Num("amount"), 33);
    ExpectAllFinite();
}

TEST_F(TPricingEdgeTest, ResultsThatOverflowAreNotWritten)
{
    MakeLine(AllPricingFields(), PlainLine({{"unitqty", 3}, {"unitprice", 1e300}, {"goodsamt", 30}, {"taxamt", 5.1}}));
    Type("unitqty", 1e10);
    EXPECT_DOUBLE_EQ(Num("quantity"), 1e10);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 30); // 1e310 is no amount
    ExpectAllFinite();

    MakeLine(AllPricingFields(), PlainLine({{"unitqty", 3}}));
    Type("unitprice", 1.6e308); // with tax it would pass the largest double
    EXPECT_DOUBLE_EQ(Num("nprice"), 1.6e308);
    EXPECT_DOUBLE_EQ(Num("taxprice"), 0);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 0);
    ExpectAllFinite();
}

TEST_F(TPricingEdgeTest, NotANumberIsNeverWithinTheToleranceNorWritten)
{
    Options.GoodsAmtLimit = 1e9;
    MakeLine(AllPricingFields(), BoxLine());
    Engine->SetPreviousAmounts({kNaN, kNaN, kNaN});
    Type("goodsamt", 30.01);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10.00333333);

    Options.GoodsAmtLimit = kNaN;
    MakeLine(AllPricingFields(), BoxLine());
    Engine->SetPreviousAmounts({5.1, 30, 35.1});
    Type("amount", 35.11);
    EXPECT_DOUBLE_EQ(Num("taxprice"), 11.70333333);

    // an endless tolerance keeps every typed amount as a correction
    Options.GoodsAmtLimit = std::numeric_limits<double>::infinity();
    MakeLine(AllPricingFields(), BoxLine());
    Type("goodsamt", 1000);
    ExpectLine(BoxLine(), {{"goodsamt", 1000}, {"amount", 1005.1}});

    // a default tax rate that is not a number leaves the new line's rate empty
    Options.PurchaseIncTaxRate = kNaN;
    MakeLine(AllPricingFields(), {});
    Detail.OnNewRecord = [this](TClientDataSet*) { Engine->DetailNewRecord(); };
    Detail.Append();
    EXPECT_TRUE(Detail.FieldByName("taxrate")->IsNull());
    EXPECT_DOUBLE_EQ(Num("unitqty"), 1);
    ExpectAllFinite();
}

} // namespace
