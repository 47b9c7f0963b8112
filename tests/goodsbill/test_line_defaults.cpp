// What a new line starts with: the default tax rate, the new-line values and the default
// unit price, from figures and from the goods-info procedure of the demo company.
#include "tests/goodsbill/PricingFixture.h"
#include "tests/support/DemoDb.h"

#include <optional>

namespace {

class TLineDefaultsTest : public TPricingTest {
protected:
    // A master row with an optional invoice kind and discount.
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
        Master.Append();
        if (invoiceKind)
            Master.FieldByName(QStringLiteral("billtypeid"))->SetValue(*invoiceKind);
        if (disc)
            Master.FieldByName(QStringLiteral("Disc"))->SetValue(*disc);
        Master.Post();
    }
};

TEST_F(TLineDefaultsTest, DefaultTaxRateBySideBillAndInvoiceKind)
{
    struct TCase {
        int Side;
        int BillType;
        std::optional<int> InvoiceKind; // none: the master has no invoice kind field
        double Rate;
    };
    const TCase cases[] = {
        {tsSales, 2, std::nullopt, 17},  {tsPurchase, 7, std::nullopt, 13}, {tsStock, 13, std::nullopt, 13},
        {tsSales, 2, 3, 17},             {tsSales, 2, 2, 17},               {tsSales, 2, 1, 0},
        {tsSales, 2, 0, 0},              {tsPurchase, 7, 3, 13},            {tsPurchase, 7, 2, 0},
        {tsPurchase, 7, 1, 0},           {tsSales, kSalesOrderBillType, 1, 17}, {tsSales, kSalesOrderBillType, 0, 17},
    };
    Options.SaleIncTaxRate = 17;
    Options.PurchaseIncTaxRate = 13;
    for (const TCase& c : cases) {
        Settings.TradeSide = c.Side;
        Settings.BillType = c.BillType;
        MakeMaster(c.InvoiceKind);
        MakeLine(AllPricingFields(), {});
        EXPECT_DOUBLE_EQ(Engine->GetDefaultTaxRate(), c.Rate)
            << "side " << c.Side << " bill " << c.BillType << " kind " << c.InvoiceKind.value_or(-1);
    }
    // without any master the option decides
    Settings.TradeSide = tsPurchase;
    MakeLine(AllPricingFields(), {});
    Engine->SetMaster(nullptr);
    EXPECT_DOUBLE_EQ(Engine->GetDefaultTaxRate(), 13);
}

TEST_F(TLineDefaultsTest, ANewLineTakesItsDefaultsWithoutRecomputing)
{
    Options = TPricingOptions::Read([](const QString& key) {
        return key == QLatin1String("SALEINCTAXRATE") ? QStringLiteral(" 17 ") : QStringLiteral("abc");
    });
    Settings.TradeSide = tsSales;
    Settings.BillType = 4;
    Names.FollowUpQty = QStringLiteral("returnqty");
    MakeMaster(3, 95.5);
    QStringList fields = AllPricingFields();
    fields << "returnqty" << "refercount";
    MakeLine(fields, {});
    Detail.OnNewRecord = [this](TClientDataSet*) { Engine->DetailNewRecord(); };

    Detail.Append();
    EXPECT_DOUBLE_EQ(Num("unitqty"), 1);
    EXPECT_DOUBLE_EQ(Num("disc"), 95.5);
    EXPECT_DOUBLE_EQ(Num("taxrate"), 17);
    EXPECT_FALSE(Detail.FieldByName("returnqty")->IsNull());
    EXPECT_FALSE(Detail.FieldByName("refercount")->IsNull());
    EXPECT_DOUBLE_EQ(Num("returnqty"), 0);
    EXPECT_TRUE(Engine->Calls.isEmpty());
    EXPECT_TRUE(Detail.FieldByName("goodsamt")->IsNull());

    // a master without a discount, or one never entered, gives none
    for (const std::optional<QVariant>& disc : {std::optional<QVariant>(), std::optional<QVariant>(QVariant())}) {
        MakeMaster(3, disc);
        Detail.Cancel();
        Detail.Append();
        EXPECT_DOUBLE_EQ(Num("disc"), 100);
    }
}

TEST_F(TLineDefaultsTest, DefaultUnitPriceTakesTheDiscountAndSixDecimals)
{
    MakeLine(AllPricingFields(), {{"unitqty", 1}, {"unitrate", 12}, {"disc", 90}});
    Engine->SetDefaultUnitPrice(12.3456789, 5.5);
    EXPECT_EQ(Engine->Calls, QStringList{"UnitPriceChanged"});
    EXPECT_DOUBLE_EQ(Num("unitprice"), 11.111111);
    EXPECT_DOUBLE_EQ(Num("nprice"), 12.34567889);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 11.11);
    EXPECT_DOUBLE_EQ(Num("UnitAprice"), 66);

    // no discount field: the price itself, still to six decimals
    QStringList noDisc = AllPricingFields();
    noDisc.removeAll("disc");
    MakeLine(noDisc, {{"unitqty", 2}, {"unitrate", 1}});
    Engine->SetDefaultUnitPrice(12.3456789, 0);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 12.345679);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 24.69);

    // a gift line is free whatever the price
    MakeLine(AllPricingFields(), {{"unitqty", 2}, {"unitrate", 1}, {"disc", 100}, {"unitprice", 5}});
    Detail.FieldByName("ispresent")->OnChange = nullptr;
    Type("ispresent", "T");
    Engine->SetDefaultUnitPrice(12.5, 3);
    EXPECT_DOUBLE_EQ(Num("unitprice"), 0);
    EXPECT_DOUBLE_EQ(Num("amount"), 0);
    EXPECT_DOUBLE_EQ(Num("UnitAprice"), 3);
}

// The default price as the goods-info procedure answers it on the demo company.
class TDefaultPriceLookupTest : public TDemoDbTest {
protected:
    void SetUp() override
    {
        TDemoDbTest::SetUp();
        const QVariantList unit = GetValuesOfSql(
            QStringLiteral("select goodsid, unitid, rate from goodsunit where rate > 1 order by unitid limit 1"));
        ASSERT_EQ(unit.size(), 3);
        Goods = unit[0].toInt();
        Unit = unit[1].toInt();
        Rate = unit[2].toDouble();
        Vendor = Scalar(QStringLiteral("select min(clientid) from client where clientkind = 2")).toInt();
        ASSERT_GT(Vendor, 0);
        // the vendor's last price for this unit, and the goods' own cost
        Con().Execute(QStringLiteral("delete from gvcprice where cvid = :v and goodsid = :g and unitid = :u"),
                      {{"v", Vendor}, {"g", Goods}, {"u", Unit}});
        Con().Execute(QStringLiteral("insert into gvcprice (cvid, goodsid, unitid, cvflag, lastprice) values (:v, :g, :u, 2, 12.5)"),
                      {{"v", Vendor}, {"g", Goods}, {"u", Unit}});
        Con().Execute(QStringLiteral("update goods set aprice = 4.25 where goodsid = :g"), {{"g", Goods}});

        Master.AddField(QStringLiteral("clientid"), TFieldType::ftInteger);
        Master.AddField(QStringLiteral("storeid"), TFieldType::ftInteger);
        Master.AddField(QStringLiteral("shopid"), TFieldType::ftInteger);
        Master.CreateDataSet();
        Master.AppendRecord({Vendor, 0, 1});
        for (const char* name : {"goodsid", "unitid", "batchrefid"})
            Detail.AddField(QString::fromLatin1(name), TFieldType::ftInteger);
        Detail.AddField(QStringLiteral("ispresent"), TFieldType::ftString, 1);
        for (const char* name : {"unitqty", "unitrate", "disc", "unitprice", "nprice", "goodsamt", "amount", "unitaprice"})
            Detail.AddField(QString::fromLatin1(name), TFieldType::ftFloat);
        Detail.CreateDataSet();
        Detail.AppendRecord({Goods, Unit, 0, QStringLiteral("F"), 2, Rate, 80});
        Settings.BillType = 6; // purchase order
        Settings.TradeSide = tsPurchase;
        Engine = std::make_unique<TLinePricing>(&Detail, TGoodsFieldNames(), Settings, TPricingOptions(), &Master);
        for (int i = 0; i < Detail.FieldCount(); ++i)
            Detail.Fields(i)->OnChange = [this](TField* f) { Engine->DetailFieldChanged(f); };
    }
    double Num(const char* field) { return Detail.FieldByName(QString::fromLatin1(field))->AsFloat(); }

    TClientDataSet Master, Detail;
    TGoodsFormSettings Settings;
    std::unique_ptr<TLinePricing> Engine;
    int Goods = 0, Unit = 0, Vendor = 0;
    double Rate = 0;
};

TEST_F(TDefaultPriceLookupTest, TheVendorsLastPriceLessTheDiscountAndTheUnitsCost)
{
    const TDefaultPriceRequest request = Engine->DefaultPriceRequest();
    EXPECT_EQ(request.GoodsID, Goods);
    EXPECT_EQ(request.UnitID, Unit);
    EXPECT_EQ(request.CVFlag, tsPurchase);
    EXPECT_EQ(request.CVID, Vendor);
    EXPECT_EQ(request.BillType, 6);
    EXPECT_EQ(request.ShopID, 1);

    Engine->ApplyDefaultPrice(&Con());
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("nprice"), 12.5);
    EXPECT_DOUBLE_EQ(Num("goodsamt"), 20);
    EXPECT_DOUBLE_EQ(Num("unitaprice"), Round(4.25 * Rate, 8));

    // a gift line drops the price; taking the flag off looks it up again
    Detail.FieldByName("ispresent")->SetValue(QStringLiteral("T"));
    EXPECT_DOUBLE_EQ(Num("unitprice"), 0);
    EXPECT_DOUBLE_EQ(Num("amount"), 0);
    Engine->SetConnection(&Con());
    Detail.FieldByName("ispresent")->SetValue(QStringLiteral("F"));
    EXPECT_DOUBLE_EQ(Num("unitprice"), 10);
    EXPECT_DOUBLE_EQ(Num("amount"), 20);
}

TEST_F(TDefaultPriceLookupTest, GoodsTheProcedureDoesNotKnowGetNoPrice)
{
    Detail.FieldByName("unitprice")->SetValue(7);
    Detail.FieldByName("goodsid")->SetValue(987654);
    const TDefaultPriceAnswer answer = LookupDefaultPrice(&Con(), Engine->DefaultPriceRequest());
    EXPECT_FALSE(answer.Found);
    Engine->ApplyDefaultPrice(&Con());
    EXPECT_DOUBLE_EQ(Num("unitprice"), 0);

    EXPECT_THROW(LookupDefaultPrice(nullptr, Engine->DefaultPriceRequest()), EDatabaseError);
}

} // namespace
