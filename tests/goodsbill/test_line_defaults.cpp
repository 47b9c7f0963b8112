// What a new line starts with: the default tax rate, the new-line values and the default
// unit price, from figures and from the goods-info procedure of the demo company.
#include "tests/goodsbill/PricingFixture.h"
#include "tests/support/DemoDb.h"

#include <limits>
#include <optional>

namespace {

class TLineDefaultsTest : public TPricingTest {
protected:
    // A master row with an invoice kind and a discount, each only when given.
    void MakeMaster(std::optional<int> invoiceKind, std::optional<QVariant> disc = std::nullopt)
    {
        Master.Close();
        Master.ClearFields();
        Master.AddField(QStringLiteral("clientid"), TFieldType::ftInteger);
        if (invoiceKind)
            Master.AddField(QStringLiteral("billtypeid"), TFieldType::ftInteger);
        if (disc)
            Master.AddField(QStringLiteral("Disc"), TFieldType::ftFloat);
        Master.CreateDataSet();
        QVariantList row{3};
        if (invoiceKind)
            row << *invoiceKind;
        if (disc)
            row << *disc;
        Master.AppendRecord(row);
    }
};

TEST_F(TLineDefaultsTest, DefaultTaxRateBySideBillAndInvoiceKind)
{
    struct TCase {
        int Side, BillType;
        std::optional<int> InvoiceKind; // none: the master has no invoice kind field
        double Rate;
    } const cases[] = {
        {tsSales, 2, std::nullopt, 17}, {tsPurchase, 7, std::nullopt, 13}, {tsStock, 13, std::nullopt, 13},
        {tsSales, 2, 3, 17},            {tsSales, 2, 2, 17},               {tsSales, 2, 1, 0},
        {tsPurchase, 7, 3, 13},         {tsPurchase, 7, 2, 0},             {tsPurchase, 7, 0, 0},
        {tsSales, kSalesOrderBillType, 1, 17},
    };
    Options = TPricingOptions::Read([](const QString& key) {
        return key == QLatin1String("SALEINCTAXRATE") ? QStringLiteral(" 17 ")
               : key == QLatin1String("PURCHASEINCTAXRATE") ? QStringLiteral("13") : QStringLiteral("abc");
    });
    EXPECT_EQ(Options.GoodsAmtLimit, 0);
    for (const TCase& c : cases) {
        Settings.TradeSide = c.Side;
        Settings.BillType = c.BillType;
        MakeMaster(c.InvoiceKind);
        MakeLine(AllPricingFields(), {});
        EXPECT_DOUBLE_EQ(Engine->GetDefaultTaxRate(), c.Rate) << c.Side << "/" << c.BillType << "/" << c.InvoiceKind.value_or(-1);
    }
    Engine->SetMaster(nullptr); // no master at all: the option
    EXPECT_DOUBLE_EQ(Engine->GetDefaultTaxRate(), 17);
}

TEST_F(TLineDefaultsTest, ANewLineTakesItsDefaultsWithoutRecomputing)
{
    Options.SaleIncTaxRate = 17;
    Settings.TradeSide = tsSales;
    Names.FollowUpQty = QStringLiteral("returnqty");
    MakeMaster(3, 95.5);
    MakeLine(AllPricingFields() << "returnqty" << "refercount", {});
    Detail.OnNewRecord = [this](TClientDataSet*) { Engine->DetailNewRecord(); };

    Detail.Append();
    ExpectLine({{"unitqty", 1}, {"disc", 95.5}, {"taxrate", 17}}, {});
    EXPECT_FALSE(Detail.FieldByName("returnqty")->IsNull());
    EXPECT_FALSE(Detail.FieldByName("refercount")->IsNull());
    EXPECT_TRUE(Detail.FieldByName("goodsamt")->IsNull());
    EXPECT_TRUE(Engine->Calls.isEmpty());

    // a master without a discount, or with one never entered, gives none; a tax rate
    // option that is not a number is not written
    Options.SaleIncTaxRate = std::numeric_limits<double>::quiet_NaN();
    Engine->SetOptions(Options);
    for (const std::optional<QVariant>& disc : {std::optional<QVariant>(), std::optional<QVariant>(QVariant())}) {
        MakeMaster(3, disc);
        Detail.Cancel();
        Detail.Append();
        EXPECT_DOUBLE_EQ(Num("disc"), 100);
        EXPECT_TRUE(Detail.FieldByName("taxrate")->IsNull());
    }
}

TEST_F(TLineDefaultsTest, DefaultUnitPriceTakesTheDiscountAndSixDecimalsAndGiftsAreFree)
{
    MakeLine(AllPricingFields(), {{"unitqty", 1}, {"unitrate", 12}, {"disc", 90}});
    Engine->SetDefaultUnitPrice(12.3456789, 5.5);
    EXPECT_EQ(Engine->Calls, QStringList{"UnitPriceChanged"});
    ExpectLine({{"unitqty", 1}, {"unitrate", 12}, {"disc", 90}},
               {{"unitprice", 11.111111}, {"nprice", 12.34567889}, {"taxprice", 11.111111}, {"goodsamt", 11.11},
                {"amount", 11.11}, {"price", 0.92592592}, {"discamt", 1.23}, {"UnitAprice", 66}});

    QStringList noDisc = AllPricingFields();
    noDisc.removeAll("disc");
    MakeLine(noDisc, {{"unitqty", 2}, {"unitrate", 1}});
    Engine->SetDefaultUnitPrice(12.3456789, 0);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 12.345679); // no discount field: the price itself
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 24.69);

    MakeLine(AllPricingFields(), {{"unitqty", 2}, {"unitrate", 1}, {"disc", 100}, {"unitprice", 5}});
    Detail.FieldByName("ispresent")->SetValue(QStringLiteral("T"));
    Engine->SetDefaultUnitPrice(12.5, 3);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 0);
    EXPECT_DOUBLE_EQ(Num("amount"), 0);
    EXPECT_DOUBLE_EQ(Num("UnitAprice"), 3);
}

// The default price as the goods-info procedure answers it on the demo company: a
// purchase line of a unit of several pieces, for a vendor whose last price was 12.5.
class TDefaultPriceLookupTest : public TDemoDbTest {
protected:
    void SetUp() override
    {
        TDemoDbTest::SetUp();
        const QVariantList unit = GetValuesOfSql("select goodsid, unitid, rate from goodsunit where rate > 1 order by unitid limit 1");
        ASSERT_EQ(unit.size(), 3);
        Rate = unit[2].toDouble();
        Vendor = Scalar("select min(clientid) from client where clientkind = 2").toInt();
        const TSqlParams keys{{"v", Vendor}, {"g", unit[0]}, {"u", unit[1]}};
        Con().Execute("delete from gvcprice where cvid = :v and goodsid = :g and unitid = :u", keys);
        Con().Execute("insert into gvcprice (cvid, goodsid, unitid, cvflag, lastprice) values (:v, :g, :u, 2, 12.5)", keys);
        Con().Execute("update goods set aprice = 4.25 where goodsid = :g", keys);

        for (const char* name : {"clientid", "storeid", "shopid"})
            Master.AddField(name, TFieldType::ftInteger);
        Master.CreateDataSet();
        Master.AppendRecord({Vendor, 0, 1});
        Detail.AddField("goodsid", TFieldType::ftInteger);
        Detail.AddField("unitid", TFieldType::ftInteger);
        Detail.AddField("ispresent", TFieldType::ftString, 1);
        for (const char* name : {"unitqty", "unitrate", "disc", "unitprice", "amount", "unitaprice"})
            Detail.AddField(name, TFieldType::ftFloat);
        Detail.CreateDataSet();
        Detail.AppendRecord({unit[0], unit[1], "F", 2, Rate, 80});
        Engine = std::make_unique<TLinePricing>(&Detail, TGoodsFieldNames(), TGoodsFormSettings{6, tsPurchase}, TPricingOptions(), &Master);
        for (int i = 0; i < Detail.FieldCount(); ++i)
            Detail.Fields(i)->OnChange = [this](TField* f) { Engine->DetailFieldChanged(f); };
    }
    double Num(const char* field) { return Detail.FieldByName(field)->AsFloat(); }

    TClientDataSet Master, Detail;
    std::unique_ptr<TLinePricing> Engine;
    int Vendor = 0;
    double Rate = 0;
};

TEST_F(TDefaultPriceLookupTest, TheVendorsLastPriceLessTheDiscountAndTheUnitsCost)
{
    const TDefaultPriceRequest request = Engine->DefaultPriceRequest();
    EXPECT_EQ(request.CVFlag, tsPurchase);
    EXPECT_EQ(request.CVID, Vendor);
    EXPECT_EQ(request.BillType, 6);
    EXPECT_EQ(request.ShopID, 1);

    Engine->ApplyDefaultPrice(&Con());
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("amount"), 20);
    EXPECT_DOUBLE_EQ(Num("unitaprice"), 4.25 * Rate);

    // a gift line drops the price; taking the flag off looks it up again
    Detail.FieldByName("ispresent")->SetValue("T");
    EXPECT_DOUBLE_EQ(Num("amount"), 0);
    Engine->SetConnection(&Con());
    Detail.FieldByName("ispresent")->SetValue("F");
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("amount"), 20);

    // goods the procedure does not know get no price
    Detail.FieldByName("goodsid")->SetValue(987654);
    EXPECT_FALSE(LookupDefaultPrice(&Con(), Engine->DefaultPriceRequest()).Found);
    Engine->ApplyDefaultPrice(&Con());
    EXPECT_DOUBLE_EQ(Num("unitprice"), 0);
    EXPECT_THROW(LookupDefaultPrice(nullptr, Engine->DefaultPriceRequest()), EDatabaseError);
}

} // namespace
