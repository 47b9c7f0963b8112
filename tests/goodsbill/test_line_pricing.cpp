// One edit of a line field: which routine runs and what every field holds afterwards
// (worked out by hand from the rules); fields a row does not name keep their value.
#include "tests/goodsbill/PricingFixture.h"

#include <limits>

namespace {

struct TEdit {
    const char* Name;
    QStringList Without; // fields the line lacks
    TValues Start;
    const char* Field;
    double Typed;
    TValues Changed; // besides the typed field
};
void PrintTo(const TEdit& e, std::ostream* os) { *os << e.Name; }

// A line of one base unit per unit, no discount and 17 % tax.
TValues Plain(const TValues& more)
{
    TValues v{{"unitrate", 1}, {"disc", 100}, {"taxrate", 17}};
    v.insert(v.end(), more.begin(), more.end());
    return v;
}

// Previous amounts are always 30 / 5.1 / 35.1 and both tolerances 0.05.
const TEdit kEdits[] = {
    // every routine on the box line
    {"Quantity", {}, BoxLine(), "unitqty", 4, {{"quantity", 48}, {"goodsamt", 40}, {"taxamt", 6.8}, {"amount", 46.8}, {"discamt", 10}}},
    {"ListPrice", {}, BoxLine(), "nprice", 20,
     {{"unitprice", 16}, {"taxprice", 18.72}, {"goodsamt", 48}, {"taxamt", 8.16}, {"amount", 56.16}, {"price", 1.33333333}, {"discamt", 12}}},
    {"UnitPrice", {}, BoxLine(), "unitprice", 9,
     {{"nprice", 11.25}, {"taxprice", 10.53}, {"goodsamt", 27}, {"taxamt", 4.59}, {"amount", 31.59}, {"price", 0.75}, {"discamt", 6.75}}},
    {"Discount", {}, BoxLine(), "disc", 90,
     {{"unitprice", 11.25}, {"taxprice", 13.1625}, {"goodsamt", 33.75}, {"taxamt", 5.74}, {"amount", 39.49}, {"price", 0.9375}, {"discamt", 3.75}}},
    {"TaxRate", {}, BoxLine(), "taxrate", 13, {{"taxprice", 11.3}, {"taxamt", 3.9}, {"amount", 33.9}}},
    {"PriceWithTax", {}, BoxLine(), "taxprice", 11.232,
     {{"unitprice", 9.6}, {"nprice", 12}, {"goodsamt", 28.8}, {"amount", 33.7}, {"taxamt", 4.9}, {"price", 0.8}, {"discamt", 7.2}}},
    {"Cost", {}, BoxLine(), "UnitAprice", 60, {{"aprice", 5}}},
    {"GoodsAmtWithinTolerance", {}, BoxLine(), "goodsamt", 30.04, {{"amount", 35.14}}},
    {"GoodsAmtJustAtTolerance", {}, BoxLine(), "goodsamt", 30.05, {{"amount", 35.15}}},
    {"GoodsAmtBeyondTolerance", {}, BoxLine(), "goodsamt", 31,
     {{"unitprice", 10.33333333}, {"taxprice", 12.09}, {"nprice", 12.91666666}, {"taxamt", 5.27}, {"amount", 36.27},
      {"price", 0.86111111}, {"discamt", 7.75}}},
    {"TaxAmtWithinTolerance", {}, BoxLine(), "taxamt", 5.13, {{"amount", 35.13}}},
    {"TaxAmtBeyondTolerance", {}, BoxLine(), "taxamt", 6.8,
     {{"goodsamt", 40}, {"unitprice", 13.33333333}, {"taxprice", 15.6}, {"nprice", 16.66666666}, {"amount", 46.8},
      {"price", 1.11111111}, {"discamt", 10}}},
    {"TaxAmtBeyondToleranceRoundsTheGoodsAmt", {}, BoxLine(), "taxamt", 5.2,
     {{"goodsamt", 30.59}, {"unitprice", 10.19666667}, {"taxprice", 11.9301}, {"nprice", 12.74583334}, {"amount", 35.79},
      {"price", 0.84972222}, {"discamt", 7.65}}},
    {"AmountWithinTolerance", {}, BoxLine(), "amount", 35.12, {{"goodsamt", 30.02}}},
    {"AmountJustAtTolerance", {}, BoxLine(), "amount", 35.15, {{"goodsamt", 30.05}}},
    {"AmountBeyondTolerance", {}, BoxLine(), "amount", 46.8,
     {{"taxprice", 15.6}, {"unitprice", 13.33333333}, {"nprice", 16.66666666}, {"goodsamt", 40}, {"taxamt", 6.8},
      {"price", 1.11111111}, {"discamt", 10}}},

    // the cases the rules single out
    {"ThreeAtTenWithSeventeenPercent", {}, Plain({{"unitqty", 3}}), "unitprice", 10,
     {{"goodsamt", 30}, {"taxamt", 5.1}, {"amount", 35.1}, {"taxprice", 11.7}, {"nprice", 10}, {"price", 10}}},
    {"NinetyPercentOfAHundredForTwo", {}, {{"unitqty", 2}, {"unitrate", 1}, {"nprice", 100}, {"disc", 100}}, "disc", 90,
     {{"unitprice", 90}, {"discamt", 20}, {"taxprice", 90}, {"goodsamt", 180}, {"amount", 180}, {"price", 90}}},
    {"GoodsAmtIsRecomputedFromTheNewUnitPrice", {}, {{"unitqty", 3000000}, {"unitrate", 1}, {"disc", 100}}, "goodsamt", 1000000.01,
     {{"unitprice", 0.33333334}, {"goodsamt", 1000000.02}, {"amount", 1000000.02}, {"taxprice", 0.33333334},
      {"nprice", 0.33333334}, {"price", 0.33333334}}},
    {"ZeroUnitRateUnitPrice", {}, {{"unitqty", 2}, {"disc", 100}, {"price", 7}}, "unitprice", 8.5,
     {{"price", 0}, {"nprice", 8.5}, {"taxprice", 8.5}, {"goodsamt", 17}, {"amount", 17}}},
    {"ZeroUnitRateListPrice", {}, {{"unitqty", 2}, {"disc", 100}, {"price", 7}}, "nprice", 9.25,
     {{"price", 9.25}, {"unitprice", 9.25}, {"taxprice", 9.25}, {"goodsamt", 18.5}, {"amount", 18.5}}},
    {"TinyUnitRateListPrice", {}, {{"unitqty", 2}, {"unitrate", 0.00000001}, {"disc", 100}}, "nprice", 4,
     {{"price", 4}, {"unitprice", 4}, {"taxprice", 4}, {"goodsamt", 8}, {"amount", 8}}},

    // lines that lack fields: without a tax amount the amount is rounded once (0.14, where
    // 0.13 goods and 0.02 tax add up to 0.15)
    {"WithTaxAmountTheRoundedPartsAddUp", {}, {{"unitqty", 1}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 13}}, "unitprice", 0.125,
     {{"goodsamt", 0.13}, {"taxamt", 0.02}, {"amount", 0.15}, {"taxprice", 0.14125}, {"nprice", 0.125}, {"price", 0.125}}},
    {"NoTaxAmountUnitPrice", {"taxamt"}, {{"unitqty", 1}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 13}}, "unitprice", 0.125,
     {{"goodsamt", 0.13}, {"amount", 0.14}, {"taxprice", 0.14125}, {"nprice", 0.125}, {"price", 0.125}}},
    {"NoTaxAmountQuantity", {"taxamt"}, Plain({{"unitqty", 1}, {"unitprice", 10}, {"goodsamt", 10}, {"amount", 11.7}}), "unitqty", 3,
     {{"quantity", 3}, {"goodsamt", 30}, {"amount", 35.1}}},
    {"NoGoodsOrTaxAmount", {"goodsamt", "taxamt"}, Plain({{"unitqty", 3}}), "unitprice", 10,
     {{"amount", 35.1}, {"taxprice", 11.7}, {"nprice", 10}, {"price", 10}}},
    {"NoTaxRateUnitPrice", {"taxrate"}, {{"unitqty", 3}, {"unitrate", 1}, {"disc", 100}, {"taxamt", 9}}, "unitprice", 10,
     {{"goodsamt", 30}, {"taxamt", 0}, {"amount", 30}, {"taxprice", 10}, {"nprice", 10}, {"price", 10}}},
    {"NoTaxRateQuantityWritesOnlyTheAmount", {"taxrate"}, {{"unitqty", 1}, {"unitrate", 1}, {"unitprice", 10}, {"goodsamt", 10}},
     "unitqty", 3, {{"quantity", 3}, {"amount", 30}}},
    {"QuantityPriceAndAmountOnly",
     {"unitrate", "quantity", "nprice", "disc", "price", "taxrate", "taxprice", "goodsamt", "taxamt", "discamt", "UnitAprice", "aprice"},
     {{"unitqty", 4}}, "unitprice", 2.5, {{"amount", 10}}},
    {"NoDiscountTheListPriceIsTheUnitPrice", {"disc"}, {{"unitqty", 3}, {"unitrate", 1}}, "nprice", 20,
     {{"unitprice", 20}, {"taxprice", 20}, {"goodsamt", 60}, {"amount", 60}, {"price", 20}}},
    {"NoUnitRate", {"unitrate"}, {{"unitqty", 1}, {"unitprice", 2}, {"price", 1.5}}, "unitqty", 5,
     {{"quantity", 5}, {"goodsamt", 10}, {"amount", 10}}},
    {"NoListOrBasePriceOrDiscountAmount", {"nprice", "price", "discamt"}, {{"unitqty", 2}, {"unitrate", 6}, {"disc", 50}, {"taxrate", 10}},
     "unitprice", 3, {{"taxprice", 3.3}, {"goodsamt", 6}, {"taxamt", 0.6}, {"amount", 6.6}}},
    {"GoodsAmtWithinToleranceWithoutAmount", {"amount"}, {{"unitqty", 3}, {"unitprice", 10}, {"goodsamt", 30}, {"taxamt", 5.1}},
     "goodsamt", 30.01, {}},
    {"PriceWithTaxWithoutTaxAmountTakesAmountOverQuantity", {"taxamt"}, Plain({{"unitqty", 4}, {"amount", 50}}), "taxprice", 13,
     {{"unitprice", 12.5}, {"nprice", 12.5}, {"goodsamt", 50}, {"amount", 52}, {"price", 12.5}}},
    // without a unit price field the discount has no unit price to give
    {"DiscountWithoutUnitPrice", {"unitprice"}, {{"unitqty", 2}, {"unitrate", 1}, {"nprice", 10}, {"goodsamt", 5}}, "disc", 50,
     {{"goodsamt", 0}, {"discamt", 10}}},
    {"CostWithoutUnitRate", {"unitrate"}, {{"aprice", 1}}, "UnitAprice", 7.5, {{"aprice", 7.5}}},

    // numbers at the edges
    {"FifteenSignificantDigits", {}, Plain({{"unitqty", 1}, {"unitprice", 98765.4321}}), "unitqty", 123456.789,
     {{"quantity", 123456.789}, {"goodsamt", 12193263111.26}, {"taxamt", 2072854728.91}, {"amount", 14266117840.17}}},
    {"AmountsAboveAHundredMillion", {}, Plain({{"unitqty", 1000000}}), "unitprice", 123.45678912,
     {{"taxprice", 144.44444327}, {"goodsamt", 123456789.12}, {"taxamt", 20987654.15}, {"amount", 144444443.27},
      {"nprice", 123.45678912}, {"price", 123.45678912}}},
    {"TypedAmountAboveAHundredMillion", {}, Plain({{"unitqty", 1000000}}), "amount", 200000000,
     {{"taxprice", 200}, {"unitprice", 170.94017094}, {"nprice", 170.94017094}, {"goodsamt", 170940170.94},
      {"taxamt", 29059829.06}, {"price", 170.94017094}}},
    {"EightDecimalPricesAboveTenThousand", {}, {{"unitqty", 2}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 13}}, "taxprice", 12345.67891234,
     {{"unitprice", 10925.37956844}, {"nprice", 10925.37956844}, {"price", 10925.37956844}, {"goodsamt", 21850.76},
      {"amount", 24691.36}, {"taxamt", 2840.6}}},
    {"ZeroQuantityGoodsAmtKeepsThePrice", {}, BoxLine({{"unitqty", 0}}), "goodsamt", 12,
     {{"goodsamt", 0}, {"taxamt", 0}, {"amount", 0}, {"discamt", 0}}},
    {"ZeroQuantityAmountKeepsThePriceWithTax", {}, BoxLine({{"unitqty", 0}}), "amount", 20,
     {{"goodsamt", 0}, {"taxamt", 20}, {"discamt", 0}}},
    {"NegativeQuantityRoundsAwayFromZero", {}, Plain({{"unitqty", 1}, {"unitprice", 0.335}}), "unitqty", -3,
     {{"quantity", -3}, {"goodsamt", -1.01}, {"taxamt", -0.17}, {"amount", -1.18}}},
    {"NegativePrice", {}, Plain({{"unitqty", 3}}), "unitprice", -2,
     {{"nprice", -2}, {"taxprice", -2.34}, {"goodsamt", -6}, {"taxamt", -1.02}, {"amount", -7.02}, {"price", -2}}},

    // divisors of zero write nothing
    {"ZeroDiscountKeepsTheListPrice", {}, BoxLine({{"disc", 0}}), "unitprice", 9,
     {{"taxprice", 10.53}, {"goodsamt", 27}, {"taxamt", 4.59}, {"amount", 31.59}, {"price", 0.75}, {"discamt", 37.5}}},
    {"ZeroDiscountPriceWithTax", {}, BoxLine({{"disc", 0}}), "taxprice", 11.7, {{"discamt", 37.5}}},
    {"ZeroUnitRateDiscountKeepsThePrice", {}, BoxLine({{"unitrate", 0}}), "disc", 90,
     {{"unitprice", 11.25}, {"taxprice", 13.1625}, {"goodsamt", 33.75}, {"taxamt", 5.74}, {"amount", 39.49}, {"discamt", 3.75}}},
    {"ZeroUnitRateKeepsTheCost", {}, BoxLine({{"unitrate", 0}}), "UnitAprice", 30, {}},
    {"MinusHundredPercentPriceWithTax", {}, BoxLine({{"taxrate", -100}}), "taxprice", 5, {{"amount", 15}, {"taxamt", -15}}},
    {"MinusHundredPercentAmount", {}, BoxLine({{"taxrate", -100}}), "amount", 99, {{"taxprice", 33}, {"taxamt", 69}}},
    {"ZeroTaxRateTaxAmountKeepsTheGoodsAmount", {}, BoxLine({{"taxrate", 0}}), "taxamt", 3, {{"taxprice", 10}, {"amount", 33}}},
    {"OverflowingGoodsAmountIsNotWritten", {}, Plain({{"unitqty", 3}, {"unitprice", 1e300}, {"goodsamt", 30}, {"taxamt", 5.1}, {"amount", 35.1}}),
     "unitqty", 1e10, {{"quantity", 1e10}}},
    {"OverflowingPriceWithTaxIsNotWritten", {}, Plain({{"unitqty", 3}}), "unitprice", 1.6e308,
     {{"nprice", 1.6e308}, {"price", 1.6e308}}},
};

class TEditTest : public TPricingTest, public ::testing::WithParamInterface<TEdit> {};

TEST_P(TEditTest, OneEditRunsOneRoutineAndSetsTheLine)
{
    const TEdit& e = GetParam();
    Options.GoodsAmtLimit = 0.05;
    Options.TaxAmtLimit = 0.05;
    QStringList fields = AllPricingFields();
    for (const QString& name : e.Without)
        fields.removeAll(name);
    MakeLine(fields, e.Start);
    Engine->SetPreviousAmounts({5.1, 30, 35.1});

    Type(QString::fromLatin1(e.Field), e.Typed);

    EXPECT_EQ(Engine->Calls.size(), 1) << Engine->Calls.join(u',').toStdString();
    TValues changed{{QString::fromLatin1(e.Field), e.Typed}};
    changed.insert(changed.end(), e.Changed.begin(), e.Changed.end());
    ExpectLine(e.Start, changed);
    // what the edit left is what the next edit is compared with
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().GoodsAmt, fields.contains("goodsamt") ? Num("goodsamt") : 0);
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().Amount, fields.contains("amount") ? Num("amount") : 0);
}

INSTANTIATE_TEST_SUITE_P(Lines, TEditTest, ::testing::ValuesIn(kEdits),
                         [](const ::testing::TestParamInfo<TEdit>& info) { return std::string(info.param.Name); });

using TLinePricingTest = TPricingTest;

TEST_F(TLinePricingTest, PreviousAmountsFollowEveryEditOfWhicheverLine)
{
    Options.GoodsAmtLimit = 0.05;
    MakeLine(AllPricingFields(), BoxLine());
    Type("unitprice", 10); // stores 30 / 5.1 / 35.1
    Type("goodsamt", 30.04);
    // 30.08 is 0.08 from the first amount but 0.04 from the one the last edit stored
    Type("goodsamt", 30.08);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("amount"), 35.18);

    // a second line is compared with what the first line left until it is edited itself
    Detail.Silence(); // as loaded, not typed
    Detail.Append();
    for (const auto& [name, value] : BoxLine({{"goodsamt", 60}}))
        Detail.FieldByName(name)->SetValue(value);
    Detail.WakeUp();
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().GoodsAmt, 30.08);
    Type("goodsamt", 60.03);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 20.01);
}

TEST_F(TLinePricingTest, GiftFlagZeroesThePricesOfALineWithGoodsAndOffReReadsTheUnit)
{
    MakeLine(AllPricingFields(), BoxLine());
    Type("ispresent", "T");
    EXPECT_EQ(Engine->Calls, (QStringList{"PresentChanged", "UnitPriceChanged"}));
    ExpectLine(BoxLine(), {{"unitprice", 0}, {"nprice", 0}, {"taxprice", 0}, {"goodsamt", 0}, {"taxamt", 0},
                           {"amount", 0}, {"price", 0}, {"discamt", 0}});

    QList<TLineRole> asked;
    MakeLine(AllPricingFields(), BoxLine());
    Engine->OnOtherField = [&](TLineRole role, TField*) { asked << role; };
    Type("ispresent", "F");
    Type("goodsid", 0);
    Type("ispresent", "T"); // no goods, nothing to price
    EXPECT_EQ(asked, (QList<TLineRole>{TLineRole::Unit, TLineRole::Goods}));
    ExpectLine(BoxLine(), {});
}

TEST_F(TLinePricingTest, OtherFieldsGoToTheFormAndABillMayReplaceARoutine)
{
    class TOwnTax : public TRecordingPricing {
    public:
        using TRecordingPricing::TRecordingPricing;
        void TaxRateChanged(TField*) override { Calls << "own"; }
    };
    MakeLine(AllPricingFields(), BoxLine());
    Engine = std::make_unique<TOwnTax>(&Detail, Names, Settings, Options, &Master);
    QList<TLineRole> asked;
    Engine->OnOtherField = [&](TLineRole role, TField*) { asked << role; };
    Engine->SetPreviousAmounts({1, 2, 3});
    Type("taxrate", 6);
    Type("goodsid", 9);
    EXPECT_EQ(Engine->Calls, QStringList{"own"});
    EXPECT_EQ(asked, QList<TLineRole>{TLineRole::Goods});
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().TaxAmt, 5.1);
    ExpectLine(BoxLine(), {{"taxrate", 6}});
}

TEST_F(TLinePricingTest, NotANumberIsNeverWithinTheTolerance)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Options.GoodsAmtLimit = 1e9;
    MakeLine(AllPricingFields(), BoxLine());
    Engine->SetPreviousAmounts({nan, nan, nan});
    Type("goodsamt", 30.01);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10.00333333);

    Options.GoodsAmtLimit = nan;
    MakeLine(AllPricingFields(), BoxLine());
    Engine->SetPreviousAmounts({5.1, 30, 35.1});
    Type("amount", 35.11);
    EXPECT_DOUBLE_EQ(Num("taxprice"), 11.70333333);

    // an endless tolerance keeps every typed amount as a correction
    Options.GoodsAmtLimit = std::numeric_limits<double>::infinity();
    MakeLine(AllPricingFields(), BoxLine());
    Type("goodsamt", 1000);
    ExpectLine(BoxLine(), {{"goodsamt", 1000}, {"amount", 1005.1}});
}

} // namespace
