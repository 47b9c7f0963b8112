// One edit of each line field on a fully priced line: which routine runs, what every field
// holds afterwards (values worked out by hand from the rules), and that nothing else moves.
#include "tests/goodsbill/PricingFixture.h"

namespace {

struct TEditCase {
    const char* Name;
    const char* Field;
    double Typed;
    const char* Routine;
    TValues Changed; // besides the typed field; every other field must keep its value
};

void PrintTo(const TEditCase& c, std::ostream* os) { *os << c.Name; }

class TEditTest : public TPricingTest, public ::testing::WithParamInterface<TEditCase> {};

// Starting from BoxLine(); the previous amounts are the line's own (30, 5.1, 35.1) and
// both tolerances are 0.05.
const TEditCase kEdits[] = {
    {"Quantity", "unitqty", 4, "UnitQtyChanged",
     {{"quantity", 48}, {"goodsamt", 40}, {"taxamt", 6.8}, {"amount", 46.8}, {"discamt", 10}}},
    {"ListPrice", "nprice", 20, "NPriceChanged",
     {{"unitprice", 16}, {"taxprice", 18.72}, {"goodsamt", 48}, {"taxamt", 8.16}, {"amount", 56.16},
      {"price", 1.33333333}, {"discamt", 12}}},
    {"UnitPrice", "unitprice", 9, "UnitPriceChanged",
     {{"nprice", 11.25}, {"taxprice", 10.53}, {"goodsamt", 27}, {"taxamt", 4.59}, {"amount", 31.59},
      {"price", 0.75}, {"discamt", 6.75}}},
    {"Discount", "disc", 90, "DiscChanged",
     {{"unitprice", 11.25}, {"taxprice", 13.1625}, {"goodsamt", 33.75}, {"taxamt", 5.74}, {"amount", 39.49},
      {"price", 0.9375}, {"discamt", 3.75}}},
    {"TaxRate", "taxrate", 13, "TaxRateChanged", {{"taxprice", 11.3}, {"taxamt", 3.9}, {"amount", 33.9}}},
    {"PriceWithTax", "taxprice", 11.232, "TaxPriceChanged",
     {{"unitprice", 9.6}, {"nprice", 12}, {"goodsamt", 28.8}, {"amount", 33.7}, {"taxamt", 4.9}, {"price", 0.8},
      {"discamt", 7.2}}},
    {"CostPerUnit", "UnitAprice", 60, "UnitAPriceChanged", {{"aprice", 5}}},
    {"GoodsAmtWithinTolerance", "goodsamt", 30.04, "GoodsAmtChanged", {{"amount", 35.14}}},
    {"GoodsAmtJustAtTolerance", "goodsamt", 30.05, "GoodsAmtChanged", {{"amount", 35.15}}},
    {"GoodsAmtBeyondTolerance", "goodsamt", 31, "GoodsAmtChanged",
     {{"unitprice", 10.33333333}, {"taxprice", 12.09}, {"nprice", 12.91666666}, {"goodsamt", 31}, {"taxamt", 5.27},
      {"amount", 36.27}, {"price", 0.86111111}, {"discamt", 7.75}}},
    {"TaxAmtWithinTolerance", "taxamt", 5.13, "TaxAmtChanged", {{"amount", 35.13}}},
    {"TaxAmtBeyondTolerance", "taxamt", 6.8, "TaxAmtChanged",
     {{"goodsamt", 40}, {"unitprice", 13.33333333}, {"taxprice", 15.6}, {"nprice", 16.66666666}, {"amount", 46.8},
      {"price", 1.11111111}, {"discamt", 10}}},
    {"TaxAmtBeyondToleranceRoundsTheGoodsAmt", "taxamt", 5.2, "TaxAmtChanged",
     {{"goodsamt", 30.59}, {"unitprice", 10.19666667}, {"taxprice", 11.9301}, {"nprice", 12.74583334}, {"amount", 35.79},
      {"price", 0.84972222}, {"discamt", 7.65}}},
    {"AmountWithinTolerance", "amount", 35.12, "AmountChanged", {{"goodsamt", 30.02}}},
    {"AmountJustAtTolerance", "amount", 35.15, "AmountChanged", {{"goodsamt", 30.05}}},
    {"AmountBeyondTolerance", "amount", 46.8, "AmountChanged",
     {{"taxprice", 15.6}, {"unitprice", 13.33333333}, {"nprice", 16.66666666}, {"goodsamt", 40}, {"taxamt", 6.8},
      {"price", 1.11111111}, {"discamt", 10}}},
};

TEST_P(TEditTest, OneEditRunsItsRoutineAndSetsTheLine)
{
    const TEditCase& c = GetParam();
    Options.GoodsAmtLimit = 0.05;
    Options.TaxAmtLimit = 0.05;
    MakeLine(AllPricingFields(), BoxLine());
    Engine->SetPreviousAmounts({5.1, 30, 35.1});

    Type(QString::fromLatin1(c.Field), c.Typed);

    // one routine, however many fields it wrote
    EXPECT_EQ(Engine->Calls, QStringList{QString::fromLatin1(c.Routine)});
    TValues changed{{QString::fromLatin1(c.Field), c.Typed}};
    changed.insert(changed.end(), c.Changed.begin(), c.Changed.end());
    ExpectLine(BoxLine(), changed);
    // the previous amounts are now the line's
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().GoodsAmt, Num("goodsamt"));
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().TaxAmt, Num("taxamt"));
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().Amount, Num("amount"));
}

INSTANTIATE_TEST_SUITE_P(Fields, TEditTest, ::testing::ValuesIn(kEdits),
                         [](const ::testing::TestParamInfo<TEditCase>& info) { return std::string(info.param.Name); });

using TLinePricingTest = TPricingTest;

TEST_F(TLinePricingTest, ThreeAtTenWithSeventeenPercentTax)
{
    MakeLine(AllPricingFields(), {{"unitqty", 3}, {"unitrate", 1}, {"disc", 100}, {"taxrate", 17}});
    Type("unitprice", 10);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 30);
    EXPECT_DOUBLE_EQ(Num("taxamt"), 5.1);
    EXPECT_DOUBLE_EQ(Num("amount"), 35.1);
    EXPECT_DOUBLE_EQ(Num("taxprice"), 11.7);
    EXPECT_DOUBLE_EQ(Num("nprice"), 10);
    EXPECT_DOUBLE_EQ(Num("price"), 10);
}

TEST_F(TLinePricingTest, NinetyPercentOfAHundredForTwo)
{
    MakeLine(AllPricingFields(), {{"unitqty", 2}, {"unitrate", 1}, {"nprice", 100}, {"disc", 100}, {"unitprice", 100}});
    Type("disc", 90);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 90);
    EXPECT_DOUBLE_EQ(Num("discamt"), 20);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 180);

    // the same from the list price side
    Type("nprice", 200);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 180);
    EXPECT_DOUBLE_EQ(Num("discamt"), 40);
}

TEST_F(TLinePricingTest, GoodsAmtBeyondToleranceIsRecomputedFromTheNewUnitPrice)
{
    Options.GoodsAmtLimit = 0.05;
    MakeLine(AllPricingFields(), {{"unitqty", 3000000}, {"unitrate", 1}, {"disc", 100}});
    Type("goodsamt", 1000000.01);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 0.33333334);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 1000000.02);
    EXPECT_DOUBLE_EQ(Num("amount"), 1000000.02);
}

TEST_F(TLinePricingTest, ZeroUnitRateGivesPriceZeroOrTheUnitPriceByTheFieldTyped)
{
    MakeLine(AllPricingFields(), {{"unitqty", 2}, {"unitrate", 0}, {"disc", 100}, {"price", 7}});
    Type("unitprice", 8.5);
    EXPECT_DOUBLE_EQ(Num("price"), 0);
    EXPECT_DOUBLE_EQ(Num("quantity"), 0);
    Type("nprice", 9.25);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 9.25);
    EXPECT_DOUBLE_EQ(Num("price"), 9.25);
    // a rate too small to divide by counts as none for the list price
    Type("unitrate", 0.00000001);
    Type("nprice", 4);
    EXPECT_DOUBLE_EQ(Num("price"), 4);
}

TEST_F(TLinePricingTest, GiftFlagZeroesThePricesAndOnlyWithGoods)
{
    MakeLine(AllPricingFields(), BoxLine());
    Type("ispresent", "T");
    EXPECT_EQ(Engine->Calls, (QStringList{"PresentChanged", "UnitPriceChanged"}));
    ExpectLine(BoxLine(), {{"unitprice", 0}, {"nprice", 0}, {"taxprice", 0}, {"goodsamt", 0}, {"taxamt", 0},
                           {"amount", 0}, {"price", 0}, {"discamt", 0}});

    MakeLine(AllPricingFields(), BoxLine());
    Type("goodsid", 0);
    Type("ispresent", "T");
    ExpectLine(BoxLine(), {});
}

TEST_F(TLinePricingTest, TakingTheGiftFlagOffReReadsTheUnitThroughTheForm)
{
    MakeLine(AllPricingFields(), BoxLine());
    QList<TLineRole> asked;
    Engine->OnOtherField = [&](TLineRole role, TField* field) {
        asked << role;
        EXPECT_EQ(field, nullptr); // this line has no unit id field
    };
    Type("ispresent", "F");
    EXPECT_EQ(asked, QList<TLineRole>{TLineRole::Unit});
    ExpectLine(BoxLine(), {});
}

TEST_F(TLinePricingTest, PreviousAmountsFollowEveryEditOfWhicheverLine)
{
    Options.GoodsAmtLimit = 0.05;
    MakeLine(AllPricingFields(), BoxLine());
    Type("unitprice", 10); // stores 30 / 5.1 / 35.1
    Type("goodsamt", 30.04);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    // 30.08 is 0.08 from the first amount but 0.04 from the one stored by the last edit
    Type("goodsamt", 30.08);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("amount"), 35.18);

    // a second line starts from what the first line left
    Detail.Append();
    for (const auto& [name, value] : BoxLine())
        Detail.FieldByName(name)->SetValue(value);
    Detail.FieldByName("goodsid")->SetValue(8);
    Engine->Calls.clear();
    Type("disc", 80); // any edit stores the new line's amounts
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().GoodsAmt, 30);
    Type("goodsamt", 30.03);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("amount"), 35.13);
}

TEST_F(TLinePricingTest, FieldsOfOtherRoutinesGoToTheFormAndStoreTheAmounts)
{
    MakeLine(AllPricingFields(), BoxLine());
    QList<TLineRole> asked;
    Engine->OnOtherField = [&](TLineRole role, TField*) { asked << role; };
    Engine->SetPreviousAmounts({1, 2, 3});
    Type("goodsid", 9);
    EXPECT_EQ(asked, QList<TLineRole>{TLineRole::Goods});
    EXPECT_TRUE(Engine->Calls.isEmpty());
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().GoodsAmt, 30);
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().TaxAmt, 5.1);
    EXPECT_DOUBLE_EQ(Engine->PreviousAmounts().Amount, 35.1);
}

TEST_F(TLinePricingTest, ABillsOwnRoutineReplacesTheDefault)
{
    class TFixedTax : public TRecordingPricing {
    public:
        using TRecordingPricing::TRecordingPricing;
        void TaxRateChanged(TField*) override { Calls << "own"; }
    };
    MakeLine(AllPricingFields(), BoxLine());
    Engine = std::make_unique<TFixedTax>(&Detail, Names, Settings, Options, &Master);
    Type("taxrate", 6);
    EXPECT_EQ(Engine->Calls, QStringList{"own"});
    ExpectLine(BoxLine(), {{"taxrate", 6}});
}

} // namespace
