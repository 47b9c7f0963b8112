// Goods entry, goods and unit changes, cell rules, remembered texts, copied lines and lines
// taken from source bills, on a bill without a window over the demo database.
#include "tests/goodsbill/EngineFixture.h"

#include "billcore/BillActions.h"

#include "host/KQParams.h"
#include "host/Registry.h"

namespace {

class GoodsLinesTest : public TEngineTest {
protected:
    void SetUp() override
    {
        TEngineTest::SetUp();
        Cola = AddGoods({"TB-COLA", "测试可乐", "CSKL", 1, 1, false, 0,
                         {{"瓶", 1, "6900000000017", "", 3.5, 2.0}, {"箱", 24, "6900000000024", "", 80, 46}}});
        Apple = AddGoods({"TB-APPLE", "测试苹果", "CSPG", 1, 1, false, 0, {{"公斤", 1, "", "01234", 12, 8}}});
        Service = AddGoods({"TB-SVC", "测试安装服务", "CSAZ", 3, 1, false, 0, {{"次", 1, "", "", 50, 30}}});
        MakeBill(6, tsPurchase);
    }
    int Cola = 0, Apple = 0, Service = 0;
};

TEST_F(GoodsLinesTest, GoodsByCodeFillsTheLineFromTheProcedureAndAsksForTheQuantity)
{
    NewLine();
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral(" TB-COLA ")), TGoodsEntry::Goods);
    EXPECT_EQ(D("goodsid")->AsInteger(), Cola);
    EXPECT_EQ(D("goodscode")->AsString(), "TB-COLA");
    EXPECT_EQ(D("goodsname")->AsString(), "测试可乐");
    EXPECT_EQ(D("specs")->AsString(), "500ml");
    EXPECT_EQ(D("unitid")->AsInteger(), UnitIds["TB-COLA/瓶"]);
    EXPECT_EQ(D("unit")->AsString(), "瓶");
    EXPECT_EQ(D("baseunit")->AsString(), "瓶");
    EXPECT_EQ(D("barcode")->AsString(), "6900000000017");
    EXPECT_EQ(D("batchctrl")->AsString(), "F");
    EXPECT_EQ(D("goodskind")->AsInteger(), 1);
    // a purchase line takes the purchase price of the unit; one bottle
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 2.0);
    EXPECT_DOUBLE_EQ(D("quantity")->AsFloat(), 1);
    EXPECT_DOUBLE_EQ(D("amount")->AsFloat(), 2.0);
    EXPECT_EQ(Lines->FocusRequest(), "unitqty");
    // the same code again changes nothing; name and pinyin initials find goods too
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("TB-COLA")), TGoodsEntry::Unchanged);
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("测试苹果")), TGoodsEntry::Goods);
    EXPECT_EQ(D("goodsid")->AsInteger(), Apple);
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("csaz")), TGoodsEntry::Goods);
    EXPECT_EQ(D("goodsid")->AsInteger(), Service);
    // the beginning of exactly one goods' code is enough; of two it is not
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("TB-AP")), TGoodsEntry::Goods);
    EXPECT_EQ(D("goodsid")->AsInteger(), Apple);
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("TB-")), TGoodsEntry::NotFound);
    EXPECT_EQ(D("goodsid")->AsInteger(), Apple);
}

TEST_F(GoodsLinesTest, BarCodeOfASecondUnitSetsThatUnit)
{
    NewLine();
    Type("unitqty", 2);
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("6900000000024")), TGoodsEntry::BarCode);
    EXPECT_EQ(D("goodsid")->AsInteger(), Cola);
    EXPECT_EQ(D("unitid")->AsInteger(), UnitIds["TB-COLA/箱"]);
    EXPECT_EQ(D("unit")->AsString(), "箱");
    EXPECT_DOUBLE_EQ(D("unitrate")->AsFloat(), 24);
    EXPECT_DOUBLE_EQ(D("quantity")->AsFloat(), 48);
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 46);
    EXPECT_DOUBLE_EQ(D("amount")->AsFloat(), 92);
    EXPECT_EQ(D("barcode")->AsString(), "6900000000024");
    EXPECT_EQ(Lines->FocusRequest(), "unitqty");
}

TEST_F(GoodsLinesTest, ScaleLabelGivesGoodsUnitAndWeight)
{
    NewLine();
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("2201234012507")), TGoodsEntry::ScaleLabel);
    EXPECT_EQ(D("goodsid")->AsInteger(), Apple);
    EXPECT_DOUBLE_EQ(D("unitqty")->AsFloat(), 1.25);
    EXPECT_DOUBLE_EQ(D("quantity")->AsFloat(), 1.25);
    EXPECT_DOUBLE_EQ(D("amount")->AsFloat(), 10); // 1.25 kg at 8
    EXPECT_EQ(Lines->FocusRequest(), "unitqty");

    // another prefix, another length, an unknown weight code: no label, line unchanged
    NewLine();
    for (const char* text : {"2301234012507", "220123401250", "2299999012507"})
        EXPECT_EQ(Lines->EnterGoodsText(QString::fromLatin1(text)), TGoodsEntry::NotFound) << text;
    EXPECT_TRUE(D("goodsid")->IsNull());
    EXPECT_TRUE(D("goodscode")->IsNull());
    // without the option no text is a label
    Options["WEIGHTPRECODE"] = QString();
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("2201234012507")), TGoodsEntry::NotFound);
}

TEST_F(GoodsLinesTest, ClearingGoodsEmptiesCodeNameAndUnitButKeepsAmounts)
{
    NewLine();
    Lines->EnterGoodsText(QStringLiteral("TB-COLA"));
    Type("unitqty", 3);
    Type("batchcode", QStringLiteral("B1"));
    Type("memo", QStringLiteral("note"));
    const double amount = D("amount")->AsFloat();
    ASSERT_DOUBLE_EQ(amount, 6);
    Type("goodsid", QVariant());
    for (const char* f : {"goodscode", "goodsname", "unitid", "unit", "baseunit", "specs", "batchctrl", "batchcode", "memo"})
        EXPECT_TRUE(D(f)->IsNull()) << f;
    EXPECT_DOUBLE_EQ(D("amount")->AsFloat(), amount);
    EXPECT_DOUBLE_EQ(D("unitqty")->AsFloat(), 3);
}

TEST_F(GoodsLinesTest, OptionsAreReadWhenTheBillOpens)
{
    EXPECT_EQ(Lines->DetailOrder(), "  order by d.itemno");
    EXPECT_EQ(Services->SaleControl, "1");
    Options["BILLSORT"] = QStringLiteral("1");
    Options["SALECONTROL"] = QStringLiteral("2");
    EXPECT_EQ(Lines->DetailOrder(), "  order by d.itemno"); // read once, at creation
    MakeBill(2, tsSales, QStringLiteral("invoiceid"), QStringLiteral("saledetail"), QStringLiteral("invoice"));
    EXPECT_EQ(Lines->DetailOrder(), " order by g.code");
    EXPECT_EQ(Services->SaleControl, "2");
}

TEST_F(GoodsLinesTest, RefusedGoodsLeaveTheLine)
{
    // kind 3 is refused on a transfer, taken on an order
    MakeBill(13, tsStock, QStringLiteral("allotid"), QStringLiteral("dallot"), QStringLiteral("allot"));
    NewLine();
    Type("goodsid", Service);
    EXPECT_TRUE(D("goodsid")->IsNull());
    EXPECT_TRUE(D("goodscode")->IsNull());
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("TB-SVC")), TGoodsEntry::NotFound);
    // stock in/out takes no goods costed by moving average, other stock bills do
    const int averaged = AddGoods({"TB-AVG", "测试均价货", "CSJJ", 1, 2, false, 0, {{"件", 1, "", "", 9, 6}}});
    MakeBill(15, tsStock, QStringLiteral("inoutid"), QStringLiteral("dinout"), QStringLiteral("inout"));
    NewLine();
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("TB-AVG")), TGoodsEntry::NotFound);
    Type("goodsid", averaged);
    EXPECT_EQ(D("goodsid")->AsInteger(), 0);
    MakeBill(16, tsStock, QStringLiteral("combinid"), QStringLiteral("combind"), QStringLiteral("combin"));
    NewLine();
    EXPECT_EQ(Lines->EnterGoodsText(QStringLiteral("TB-AVG")), TGoodsEntry::Goods);
    MakeBill(6, tsPurchase);
    NewLine();
    Type("goodsid", Service);
    EXPECT_EQ(D("goodscode")->AsString(), "TB-SVC");
    // an id the procedure does not know becomes 0; nothing else changes
    Type("goodsid", 987654);
    EXPECT_EQ(D("goodsid")->AsInteger(), 0);
    EXPECT_EQ(D("goodscode")->AsString(), "TB-SVC");
    EXPECT_EQ(Msgs->Count(), 0);
}

TEST_F(GoodsLinesTest, UnitChangeReusesTheAnswerWhileNothingChanged)
{
    CountGoodsInfoCalls();
    NewLine();
    Lines->EnterGoodsText(QStringLiteral("TB-COLA"));
    EXPECT_EQ(GoodsInfoCalls, 1); // the goods' answer serves its base unit
    Type("unitqty", 2);
    Type("unitid", UnitIds["TB-COLA/箱"]);
    EXPECT_EQ(GoodsInfoCalls, 2);
    EXPECT_DOUBLE_EQ(D("quantity")->AsFloat(), 48);
    Type("unitid", UnitIds["TB-COLA/箱"]);
    EXPECT_EQ(GoodsInfoCalls, 2);
    // another partner is another question
    TypeMaster("clientid", AddPartner(2, QStringLiteral("测试供应商")));
    Type("unitid", UnitIds["TB-COLA/箱"]);
    EXPECT_EQ(GoodsInfoCalls, 3);
    // a unit of other goods answers no row: no unit, rate 1, no price
    Type("unitid", UnitIds["TB-APPLE/公斤"]);
    EXPECT_TRUE(D("unit")->IsNull());
    EXPECT_DOUBLE_EQ(D("unitrate")->AsFloat(), 1);
    EXPECT_DOUBLE_EQ(D("quantity")->AsFloat(), 2);
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 0);
    EXPECT_DOUBLE_EQ(D("amount")->AsFloat(), 0);
    // entering the unit column offers the units of the line's goods only
    Lines->ColumnEntered(QStringLiteral("unit"));
    EXPECT_EQ(Lines->UnitFilter, QStringLiteral("goodsid=%1").arg(Cola));
    EXPECT_TRUE(Lines->CanSetPrice());
    NewLine();
    EXPECT_FALSE(Lines->CanSetPrice());
    EXPECT_EQ(Shown(), "货品没有输入，不能设置价格.");
}

TEST_F(GoodsLinesTest, SalesBillsTakeTheCostAndTheSalePrice)
{
    MakeBill(2, tsSales, QStringLiteral("invoiceid"), QStringLiteral("saledetail"), QStringLiteral("invoice"));
    NewLine();
    Type("goodsid", Cola);
    EXPECT_DOUBLE_EQ(D("aprice")->AsFloat(), 2.5);
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 3.5);
    Type("unitid", UnitIds["TB-COLA/箱"]);
    EXPECT_DOUBLE_EQ(D("unitaprice")->AsFloat(), 60);
    // a gift line takes no price
    Type("ispresent", QStringLiteral("T"));
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 0);
    Type("ispresent", QStringLiteral("F"));
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 80);
}

TEST(GoodsLineRules, ColumnEntryRules)
{
    const TGoodsFieldNames n;
    auto rule = [&n](const char* column, auto&& adjust) {
        TColumnState s;
        s.Column = QString::fromLatin1(column);
        s.HasGoods = true;
        adjust(s);
        return ColumnEntryRule(s, n);
    };
    auto plain = [](TColumnState&) {};
    for (const char* priced : {"unitprice", "NPRICE", "disc"}) {
        EXPECT_EQ(rule(priced, plain).Button, TCellButton::SetPrice) << priced;
        EXPECT_FALSE(rule(priced, plain).ReadOnly);
        EXPECT_TRUE(rule(priced, [](TColumnState& s) { s.GiftLine = true; }).ReadOnly) << priced;
        EXPECT_EQ(rule(priced, [](TColumnState& s) { s.HasGoods = false; }).Button, TCellButton::None);
    }
    EXPECT_TRUE(rule("batchcode", plain).ReadOnly);
    EXPECT_EQ(rule("batchcode", [](TColumnState& s) { s.BatchControlled = true; }).Button, TCellButton::PickBatch);
    EXPECT_EQ(rule("userdef3", plain).Button, TCellButton::RememberedTexts);
    EXPECT_EQ(rule("userdef4", plain).Button, TCellButton::None);
    EXPECT_FALSE(rule("unitqty", plain).ReadOnly);
    EXPECT_TRUE(rule("unitqty", [](TColumnState& s) { s.BillReadOnly = true; }).ReadOnly);
    EXPECT_TRUE(rule("unitqty", [](TColumnState& s) { s.ColumnRuleReadOnly = true; }).ReadOnly);
    EXPECT_TRUE(rule("unitqty", [](TColumnState& s) { s.LinesCarrySource = s.MasterFlagSet = true; }).ReadOnly);
    EXPECT_FALSE(rule("unitqty", [](TColumnState& s) { s.MasterFlagSet = true; }).ReadOnly);
    const TColumnEntry lockedBatch = rule("batchcode", [](TColumnState& s) { s.BatchControlled = s.BillReadOnly = true; });
    EXPECT_TRUE(lockedBatch.ReadOnly);
    EXPECT_EQ(lockedBatch.Button, TCellButton::None);
}

TEST(GoodsLineRules, LineMenuFollowsTheBill)
{
    QHash<QString, bool> told;
    RegistFunction(QStringLiteral("SETCOMPONENTENABLED"), [&told](const QString&, const QString& subject, KQParams* p) {
        told[subject] = p->GetValue(QStringLiteral("ENABLED")).toBool();
        return 1;
    });
    PublishLineMenuState(LineMenuState(false, false, true, true, false));
    EXPECT_EQ(told.size(), 4);
    EXPECT_TRUE(told["InsertLineItem"]);
    EXPECT_FALSE(told["DeleteLineItem"]); // no line to delete
    EXPECT_TRUE(told["EditItem"]);
    EXPECT_FALSE(told["DeleteItem"]); // an unsaved bill is not deleted
    PublishLineMenuState(LineMenuState(true, true, true, true, true));
    EXPECT_FALSE(told["InsertLineItem"]);
    EXPECT_FALSE(told["DeleteLineItem"]);
    EXPECT_TRUE(told["DeleteItem"]);
    UnregistFunction(QStringLiteral("SETCOMPONENTENABLED"));
}

TEST_F(GoodsLinesTest, FreeTextsAreRememberedAfterTheUserAgrees)
{
    const auto count = [this](int kind, const QString& name) {
        return Scalar(QStringLiteral("select count(*) from am_kind where kind = %1 and name = '%2'").arg(kind).arg(QString(name).replace("'", "''"))).toInt();
    };
    const QString odd = QStringLiteral("O'Neil'); delete from am_kind; --");
    Msgs->AnswerWhen(QStringLiteral("以便下次使用"), IDYES);
    TypeMaster("userdef2", odd);
    EXPECT_EQ(count(10002, odd), 1);
    EXPECT_GT(Scalar(QStringLiteral("select count(*) from am_kind")).toInt(), 1);
    EXPECT_EQ(Msgs->Last().Caption, "询问");
    // an empty text and a known one are not asked about; a no keeps nothing
    TypeMaster("userdef2", QString());
    TypeMaster("userdef2", odd);
    Msgs->AnswerNo();
    NewLine();
    Type("userdef3", QStringLiteral("加急"));
    EXPECT_EQ(count(10008, QStringLiteral("加急")), 0);
    Msgs->AnswerYes();
    Type("userdef1", QStringLiteral("加急"));
    EXPECT_EQ(count(10006, QStringLiteral("加急")), 1);
    EXPECT_EQ(Lines->RememberedTexts(10006).value(0), "加急");
    // without remembering nothing is asked
    Lines->RememberTexts = false;
    Type("userdef2", QStringLiteral("新的"));
    EXPECT_EQ(Msgs->Count(TMessageKind::YesNo), 3);
    EXPECT_EQ(Msgs->PendingAnswers(), 0);
    EXPECT_EQ(TGoodsLines::RememberedKind(QStringLiteral("UserDef5"), true), 10005);
    EXPECT_EQ(TGoodsLines::RememberedKind(QStringLiteral("userdef4"), false), 0);
}

TEST_F(GoodsLinesTest, CopyLineAppendsTheCurrentLinesValues)
{
    NewLine();
    Lines->EnterGoodsText(QStringLiteral("6900000000024"));
    Type("unitqty", 3);
    Type("memo", QStringLiteral("a"));
    ASSERT_TRUE(Lines->CopyLine());
    EXPECT_EQ(Detail.RecordCount(), 2);
    EXPECT_EQ(D("itemno")->AsInteger(), 2);
    for (const char* f : {"goodsid", "unitid", "unitqty", "quantity", "unitprice", "amount", "memo", "goodsname"}) {
        const QVariant copy = D(f)->Value();
        Detail.First();
        EXPECT_EQ(copy, D(f)->Value()) << f;
        Detail.Last();
    }
    NewLine();
    Type("memo", QStringLiteral("no goods yet"));
    EXPECT_FALSE(Lines->CopyLine());
    EXPECT_EQ(Detail.RecordCount(), 3);
}

class SourceLinesTest : public GoodsLinesTest {
protected:
    // chosen lines of purchase order 501 (code CD-501) as the selection dialog hands them
    void Choose(std::initializer_list<QVariantList> rows)
    {
        Chosen.Close();
        Chosen.ClearFields();
        for (const char* f : {"orderid", "itemno", "goodsid", "unitid"})
            Chosen.AddField(QString::fromLatin1(f), TFieldType::ftInteger);
        for (const char* f : {"unitqty", "rcvdqty", "unitprice", "disc", "taxrate"})
            Chosen.AddField(QString::fromLatin1(f), TFieldType::ftFloat);
        for (const char* f : {"code", "memo", "mastermemo", "masteruserdef1", "batchcode"})
            Chosen.AddField(QString::fromLatin1(f), TFieldType::ftString, 64);
        Chosen.AddField(QStringLiteral("exemanid"), TFieldType::ftInteger);
        Chosen.CreateDataSet();
        for (const QVariantList& r : rows)
            Chosen.AppendRecord(r);
    }
    QVariantList Row(int item, int goods, int unit, double qty, double rcvd, double price)
    {
        return {501, item, goods, unit, qty, rcvd, price, 90.0, 13.0, "CD-501", "line memo", "order memo", "ud1", "B-7", 3};
    }
    TClientDataSet Chosen;
};

TEST_F(SourceLinesTest, OrderLinesComeOnceWithWhatRemains)
{
    MakeBill(7, tsPurchase, QStringLiteral("recievedid"), QStringLiteral("rcvddetail"), QStringLiteral("recieved"));
    TypeMaster("clientid", AddPartner(2, QStringLiteral("供应商甲")));
    NewLine();
    Lines->EnterGoodsText(QStringLiteral("TB-APPLE")); // typed by hand
    Detail.Post();
    ASSERT_TRUE(Lines->CanSelectSource(TSourceKind::PurchaseOrder));
    Choose({Row(1, Cola, UnitIds["TB-COLA/箱"], 10, 4, 40), Row(2, Cola, UnitIds["TB-COLA/瓶"], 5, 5, 2),
            Row(1, Cola, UnitIds["TB-COLA/箱"], 10, 4, 40)});
    EXPECT_EQ(Lines->AddSourceLines(TSourceKind::PurchaseOrder, &Chosen), 1);
    // the same line chosen again is not added twice
    EXPECT_EQ(Lines->AddSourceLines(TSourceKind::PurchaseOrder, &Chosen), 0);
    ASSERT_EQ(Detail.RecordCount(), 2);
    Detail.Last();
    EXPECT_EQ(D("refertype")->AsInteger(), 6);
    EXPECT_EQ(D("referbillid")->AsInteger(), 501);
    EXPECT_EQ(D("referitemno")->AsInteger(), 1);
    EXPECT_EQ(D("referbillcode")->AsString(), "CD-501");
    EXPECT_EQ(D("goodscode")->AsString(), "TB-COLA");
    EXPECT_EQ(D("unit")->AsString(), "箱");
    EXPECT_DOUBLE_EQ(D("unitqty")->AsFloat(), 6);
    EXPECT_DOUBLE_EQ(D("quantity")->AsFloat(), 144);
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 40);
    EXPECT_DOUBLE_EQ(D("disc")->AsFloat(), 100); // an order's discount is not taken
    EXPECT_DOUBLE_EQ(D("taxrate")->AsFloat(), 13);
    EXPECT_DOUBLE_EQ(D("goodsamt")->AsFloat(), 240);
    EXPECT_DOUBLE_EQ(D("taxamt")->AsFloat(), 31.2);
    EXPECT_DOUBLE_EQ(D("amount")->AsFloat(), 271.2);
    EXPECT_EQ(D("memo")->AsString(), "line memo");
    EXPECT_EQ(D("batchcode")->AsString(), "B-7");
    EXPECT_EQ(M("memo")->AsString(), "order memo");
    EXPECT_EQ(M("userdef1")->AsString(), "ud1");
    EXPECT_EQ(M("exemanid")->AsInteger(), 3);
    EXPECT_EQ(Msgs->Count(TMessageKind::YesNo), 0); // copied texts are not "typed"
}

TEST_F(SourceLinesTest, SelectionNeedsPartnerStoreOrBranch)
{
    MakeBill(7, tsPurchase, QStringLiteral("recievedid"), QStringLiteral("rcvddetail"), QStringLiteral("recieved"));
    EXPECT_FALSE(Lines->CanSelectSource(TSourceKind::PurchaseOrder));
    EXPECT_EQ(Shown(), "请选择供应商！");
    EXPECT_EQ(Msgs->Last().Caption, "提示");
    EXPECT_EQ(Lines->FocusRequest(), "clientid");
    EXPECT_TRUE(Lines->FocusOnMaster());
    TypeMaster("clientid", AddPartner(2, QStringLiteral("供应商乙")));
    EXPECT_FALSE(Lines->CanSelectSource(TSourceKind::ValuedReceipt));
    EXPECT_EQ(Msgs->Last().Text, "仓库没有输入，不能选择估价入库单！");
    EXPECT_EQ(Lines->FocusRequest(), "storeid");
    TypeMaster("storeid", 1);
    EXPECT_TRUE(Lines->CanSelectSource(TSourceKind::ValuedReceipt));

    MakeBill(8, tsSales, QStringLiteral("returnid"), QStringLiteral("returndetail"), QStringLiteral("sreturn"));
    EXPECT_FALSE(Lines->CanSelectSource(TSourceKind::Invoice));
    EXPECT_EQ(Msgs->Last().Text, "请选择客户！");
    MakeBill(41, tsDistribution, QStringLiteral("askid"), QStringLiteral("askdeliverdetail"), QStringLiteral("askdeliver"));
    EXPECT_FALSE(Lines->CanSelectSource(TSourceKind::DeliveryRequest));
    EXPECT_EQ(Msgs->Last().Text, "请选择调入机构");
    EXPECT_FALSE(Lines->CanSelectSource(TSourceKind::DeliveryOrder));
    EXPECT_EQ(Msgs->Last().Text, "请选择调入仓库");
    EXPECT_FALSE(Lines->CanSelectSource(TSourceKind::Quotation));
    EXPECT_EQ(Msgs->Last().Text, "请选择往来单位！");
}

TEST_F(SourceLinesTest, BillsToSettleAreTakenOncePerBill)
{
    MakeBill(9, tsPurchase, QStringLiteral("payid"), QStringLiteral("paydetail"), QStringLiteral("pay"));
    Detail.Close();
    Detail.ClearFields();
    for (const char* f : {"payid", "itemno", "refertype", "referbillid"})
        Detail.AddField(QString::fromLatin1(f), TFieldType::ftInteger);
    Detail.AddField(QStringLiteral("referbillcode"), TFieldType::ftString, 32);
    for (const char* f : {"total", "totalrcvd", "amount"})
        Detail.AddField(QString::fromLatin1(f), TFieldType::ftCurrency);
    Detail.CreateDataSet();
    Chosen.Close();
    Chosen.ClearFields();
    for (const char* f : {"billid", "billtypeid"})
        Chosen.AddField(QString::fromLatin1(f), TFieldType::ftInteger);
    Chosen.AddField(QStringLiteral("code"), TFieldType::ftString, 32);
    for (const char* f : {"total", "totalrcvd"})
        Chosen.AddField(QString::fromLatin1(f), TFieldType::ftCurrency);
    Chosen.CreateDataSet();
    Chosen.AppendRecord({11, 7, "CS-11", 500.0, 200.0});
    Chosen.AppendRecord({11, 26, "XC-11", 80.0, 0.0});
    Chosen.AppendRecord({11, 7, "CS-11", 500.0, 200.0});
    EXPECT_EQ(Lines->AddSourceLines(TSourceKind::BillsToSettle, &Chosen), 2);
    Detail.First();
    EXPECT_EQ(D("refertype")->AsInteger(), 7);
    EXPECT_EQ(D("referbillcode")->AsString(), "CS-11");
    EXPECT_DOUBLE_EQ(D("total")->AsFloat(), 500);
    EXPECT_DOUBLE_EQ(D("totalrcvd")->AsFloat(), 200);
}

} // namespace
