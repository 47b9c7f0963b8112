// Lines that lack some of the pricing fields: each step whose field is missing is skipped,
// and the steps after it still come out right.
#include "tests/goodsbill/PricingFixture.h"

#include <algorithm>

namespace {

struct TMissingCase {
    const char* Name;
    QStringList Without; // fields the line does not have
    TValues Start;
    const char* Field;
    double Typed;
    TValues Changed; // besides the typed field; every other field must keep its value
};

void PrintTo(const TMissingCase& c, std::ostream* os) { *os << c.Name; }

class TMissingFieldTest : public TPricingTest, public ::testing::WithParamInterface<TMissingCase> {};

const TMissingCase kCases[] = {
    // the amount of a line without a tax amount is quantity x price x (1 + rate), rounded once:
    // 0.14, where 0.13 goods plus 0.02 tax would give 0.15
    {"NoTaxAmountUnitPrice", {"taxamt"}, {{"unitqty", 1}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 13}},
     "unitprice", 0.125, {{"goodsamt", 0.13}, {"amount", 0.14}, {"taxprice", 0.14125}, {"nprice", 0.125}, {"price", 0.125}}},
    {"WithTaxAmountTheAmountAddsTheRoundedParts", {}, {{"unitqty", 1}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 13}},
     "unitprice", 0.125,
     {{"goodsamt", 0.13}, {"taxamt", 0.02}, {"amount", 0.15}, {"taxprice", 0.14125}, {"nprice", 0.125}, {"price", 0.125}}},
    {"NoTaxAmountQuantity", {"taxamt"},
     {{"unitqty", 1}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 17}, {"unitprice", 10}, {"goodsamt", 10}, {"amount", 11.7}},
     "unitqty", 3, {{"quantity", 3}, {"goodsamt", 30}, {"amount", 35.1}}},
    {"NoGoodsOrTaxAmount", {"goodsamt", "taxamt"}, {{"unitqty", 3}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 17}},
     "unitprice", 10, {{"amount", 35.1}, {"taxprice", 11.7}, {"nprice", 10}, {"price", 10}}},
    {"NoTaxRateUnitPrice", {"taxrate"}, {{"unitqty", 3}, {"unitrate", 1}, {"disc", 100}, {"taxamt", 9}},
     "unitprice", 10, {{"goodsamt", 30}, {"taxamt", 0}, {"amount", 30}, {"taxprice", 10}, {"nprice", 10}, {"price", 10}}},
    // without a tax rate the quantity routine writes only the amount
    {"NoTaxRateQuantity", {"taxrate"}, {{"unitqty", 1}, {"unitrate", 1}, {"disc", 100}, {"unitprice", 10}, {"goodsamt", 10}},
     "unitqty", 3, {{"quantity", 3}, {"amount", 30}}},
    {"QuantityPriceAndAmountOnly",
     {"unitrate", "quantity", "nprice", "disc", "price", "taxrate", "taxprice", "goodsamt", "taxamt", "discamt", "UnitAprice", "aprice"},
     {{"unitqty", 4}}, "unitprice", 2.5, {{"amount", 10}}},
    // no discount field: the list price is the unit price
    {"NoDiscount", {"disc"}, {{"unitqty", 3}, {"unitrate", 1}}, "nprice", 20,
     {{"unitprice", 20}, {"taxprice", 20}, {"goodsamt", 60}, {"amount", 60}, {"price", 20}}},
    // no unit rate: one base unit per unit, and no price per base unit is written
    {"NoUnitRate", {"unitrate"}, {{"unitqty", 1}, {"unitprice", 2}, {"disc", 100}, {"price", 1.5}}, "unitqty", 5,
     {{"quantity", 5}, {"goodsamt", 10}, {"amount", 10}}},
    {"NoListOrBasePriceOrDiscountAmount", {"nprice", "price", "discamt"},
     {{"unitqty", 2}, {"unitrate", 6}, {"disc", 50}, {"taxrate", 10}}, "unitprice", 3,
     {{"taxprice", 3.3}, {"goodsamt", 6}, {"taxamt", 0.6}, {"amount", 6.6}}},
    {"GoodsAmtWithinToleranceWithoutAmount", {"amount"}, {{"unitqty", 3}, {"unitprice", 10}, {"goodsamt", 30}, {"taxamt", 5.1}},
     "goodsamt", 30.01, {}},
    {"TaxPriceWithoutTaxAmountTakesAmountOverQuantity", {"taxamt"},
     {{"unitqty", 4}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 17}, {"amount", 50}}, "taxprice", 13,
     {{"unitprice", 12.5}, {"nprice", 12.5}, {"goodsamt", 50}, {"amount", 52}, {"price", 12.5}}},
    {"CostWithoutUnitRate", {"unitrate"}, {{"aprice", 1}}, "UnitAprice", 7.5, {{"aprice", 7.5}}},
};

TEST_P(TMissingFieldTest, StepsOfMissingFieldsAreSkipped)
{
    const TMissingCase& c = GetParam();
    Options.GoodsAmtLimit = 0.05;
    QStringList fields = AllPricingFields();
    for (const QString& name : c.Without)
        fields.removeAll(name);
    MakeLine(fields, c.Start);
    Engine->SetPreviousAmounts({5.1, 30, 35.1});
    TValues before = c.Start;
    for (const QString& name : fields) // fields left empty read 0
        if (std::none_of(before.begin(), before.end(), [&](const auto& v) { return v.first == name; }))
            before.push_back({name, 0});

    Type(QString::fromLatin1(c.Field), c.Typed);

    EXPECT_EQ(Engine->Calls.size(), 1);
    TValues changed{{QString::fromLatin1(c.Field), c.Typed}};
    changed.insert(changed.end(), c.Changed.begin(), c.Changed.end());
    ExpectLine(before, changed);
}

INSTANTIATE_TEST_SUITE_P(Lines, TMissingFieldTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TMissingCase>& info) { return std::string(info.param.Name); });

using TLineShapeTest = TPricingTest;

TEST_F(TLineShapeTest, AStockCountPricesItsLinesInAnprice)
{
    Names.UnitPrice = QStringLiteral("ANPRICE");
    MakeLine({"unitqty", "unitrate", "quantity", "ANPRICE", "unitprice", "goodsamt", "amount"},
             {{"unitqty", 4}, {"unitrate", 1}, {"unitprice", 99}});
    Type("ANPRICE", 2.25);
    EXPECT_EQ(Engine->Calls, QStringList{"UnitPriceChanged"});
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 9);
    EXPECT_DOUBLE_EQ(Num("amount"), 9);
    // a field that keeps the default name is no longer the unit price
    Engine->Calls.clear();
    Type("unitprice", 5);
    EXPECT_TRUE(Engine->Calls.isEmpty());
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 9);
    Type("unitqty", 2);
    EXPECT_DOUBLE_EQ(Num("amount"), 4.5);
}

TEST_F(TLineShapeTest, AnEmptyUnitPriceBecomesZeroWhenTheQuantityIsTyped)
{
    MakeLine(AllPricingFields(), {{"unitrate", 1}, {"taxrate", 17}});
    ASSERT_TRUE(Detail.FieldByName("unitprice")->IsNull());
    Type("unitqty", 2);
    EXPECT_FALSE(Detail.FieldByName("unitprice")->IsNull());
    EXPECT_DOUBLE_EQ(Num("unitprice"), 0);
    EXPECT_DOUBLE_EQ(Num("quantity"), 2);
    EXPECT_DOUBLE_EQ(Num("amount"), 0);
}

} // namespace
