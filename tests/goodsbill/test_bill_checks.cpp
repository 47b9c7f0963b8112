// Batches, the line and master checks, the period check and the stock on hand of a line,
// on a bill without a window over the demo database.
#include "tests/goodsbill/EngineFixture.h"

#include "services/SelectValues.h"

#include <cmath>

namespace {

class BillChecksTest : public TEngineTest {
protected:
    void SetUp() override
    {
        TEngineTest::SetUp();
        Tea = AddGoods({"TB-TEA", "测试茶叶", "CSCY", 1, 1, false, 0, {{"盒", 1, "", "", 30, 20}}});
        Milk = AddGoods({"TB-MILK", "测试鲜奶", "CSXN", 1, 1, true, 30, {{"盒", 1, "", "", 5, 3}, {"箱", 12, "", "", 55, 33}}});
        Yogurt = AddGoods({"TB-YOG", "测试酸奶", "CSSN", 1, 2, true, 20, {{"杯", 1, "", "", 4, 2}}});
        Coupon = AddGoods({"TB-DISC", "测试折让", "CSZR", 7, 1, false, 0, {{"次", 1, "", "", 0, 0}}});
        MakeBill(2, tsSales, QStringLiteral("invoiceid"), QStringLiteral("saledetail"), QStringLiteral("invoice"));
        TypeMaster("clientid", AddPartner(1, QStringLiteral("客户甲")));
        TypeMaster("storeid", 1);
    }
    // A line of goods at a quantity and price, posted.
    void Line(int goods, double qty, double price = 10)
    {
        NewLine();
        Type("goodsid", goods);
        Type("unitqty", qty);
        Type("unitprice", price);
        Detail.Post();
    }
    // A stock batch of the goods with `left` base units still in it.
    int Lot(int goods, double in, double used)
    {
        const int id = Scalar(QStringLiteral("select isnull(max(id), 0) + 1 from detailbillflow")).toInt();
        Con().Execute(QStringLiteral("insert into detailbillflow (id, billtype, billid, itemno, storeid, goodsid, unitid, inqty,"
                                     " refqty, inprice, batchcode) values (:id, 1, 1, 1, 1, :g, :u, :in, :used, 3, 'L-1')"),
                      {{"id", id}, {"g", goods}, {"u", UnitIds["TB-MILK/盒"]}, {"in", in}, {"used", used}});
        return id;
    }
    bool LineOk() { return Checks->ValidateLine(); }
    int Tea = 0, Milk = 0, Yogurt = 0, Coupon = 0;
};

TEST_F(BillChecksTest, LineChecksInOrderWithTheirFieldForTheCursor)
{
    struct TCase {
        const char* What;
        std::function<void(BillChecksTest*)> Edit;
        const char* Message; // "" passes
        const char* Focus;
    };
    const std::vector<TCase> cases = {
        {"plain", [](BillChecksTest*) {}, "", ""},
        {"discount 100", [](BillChecksTest* t) { t->Type("disc", 100); }, "", ""},
        {"discount 0.000001", [](BillChecksTest* t) { t->Type("disc", 0.000001); }, "", ""},
        {"discount 0", [](BillChecksTest* t) { t->Type("disc", 0); }, "折扣率必须大于零小于等于 100 ！", "disc"},
        {"discount 100.0001", [](BillChecksTest* t) { t->Type("disc", 100.0001); }, "折扣率必须大于零小于等于 100 ！", "disc"},
        {"discount negative", [](BillChecksTest* t) { t->Type("disc", -10); }, "折扣率必须大于零小于等于 100 ！", "disc"},
        {"no goods", [](BillChecksTest* t) { t->D("goodsid")->Clear(); }, "请选择货品！", "goodsid"},
        {"no unit", [](BillChecksTest* t) { t->Type("unitid", 0); }, "请选择货品单位！", "unitid"},
        {"negative price", [](BillChecksTest* t) { t->Type("unitprice", -0.01); }, "货品[测试茶叶]:单价不能小于零！", "unitprice"},
        {"price zero", [](BillChecksTest* t) { t->Type("unitprice", 0); }, "", ""},
        {"quantity zero", [](BillChecksTest* t) { t->Type("unitqty", 0); }, "货品[测试茶叶]:数量不能等于零！", "unitqty"},
        {"quantity negative", [](BillChecksTest* t) { t->Type("unitqty", -2); }, "", ""},
        {"quantity huge", [](BillChecksTest* t) { t->Type("unitqty", 1e300); }, "", ""},
        {"quantity tiny", [](BillChecksTest* t) { t->Type("unitqty", 1e-300); }, "", ""},
        {"expiry before production",
         [](BillChecksTest* t) {
             t->Type("produceddate", QDateTime(QDate(2024, 5, 2), QTime()));
             t->Type("validdate", QDateTime(QDate(2024, 5, 1), QTime()));
         },
         "货品名称[测试茶叶]:生产日期必须大于到期日！", "validdate"},
        {"expiry on production day",
         [](BillChecksTest* t) {
             t->Type("produceddate", QDateTime(QDate(2024, 5, 2), QTime()));
             t->Type("validdate", QDateTime(QDate(2024, 5, 2), QTime()));
         },
         "", ""},
        {"batch code on other goods",
         [](BillChecksTest* t) { t->D("batchctrl")->Clear(); t->Type("batchcode", QStringLiteral("X1")); },
         "非批号管理或批次成本核算货品:测试茶叶的不能有批号！", "batchcode"},
    };
    for (const TCase& c : cases) {
        Line(Tea, 2, 30);
        Detail.Edit();
        c.Edit(this);
        Msgs->ClearRecords();
        Checks->ClearFocusRequest();
        const bool ok = LineOk();
        EXPECT_EQ(ok, QString::fromUtf8(c.Message).isEmpty()) << c.What;
        EXPECT_EQ(Shown(), QString::fromUtf8(c.Message)) << c.What;
        EXPECT_EQ(Checks->FocusRequest(), QString::fromLatin1(c.Focus)) << c.What;
        if (!ok) {
            EXPECT_EQ(Msgs->Last().Caption, QString::fromUtf8(c.Message).startsWith(u'非') ? "保存数据失败" : "提示") << c.What;
        }
        Detail.Cancel();
    }
}

TEST_F(BillChecksTest, PassingLinesGetZerosForEmptyAmountsAndArePosted)
{
    Line(Tea, 2, 30);
    Detail.Edit();
    Detail.Silence(); // emptied behind the pricing's back, as a loaded line may come
    for (const char* f : {"taxrate", "goodsamt", "taxamt", "amount", "aprice"})
        D(f)->Clear();
    Detail.WakeUp();
    Type("batchctrl", QStringLiteral("F"));
    Type("batchcode", QStringLiteral("stale")); // not batch goods: cleared without a word
    ASSERT_TRUE(LineOk());
    EXPECT_EQ(Detail.State(), TDataSetState::dsBrowse);
    for (const char* f : {"taxrate", "goodsamt", "taxamt", "amount", "aprice"}) {
        EXPECT_FALSE(D(f)->IsNull()) << f;
        EXPECT_DOUBLE_EQ(D(f)->AsFloat(), 0) << f;
    }
    EXPECT_DOUBLE_EQ(D("unitprice")->AsFloat(), 30);
    EXPECT_TRUE(D("batchcode")->IsNull());
    EXPECT_EQ(Msgs->Count(), 0);
    // discount goods must carry a negative price
    Line(Coupon, 1, 5);
    EXPECT_FALSE(LineOk());
    EXPECT_EQ(Shown(), "折扣类货品[测试折让]:单价必须小于零！");
    Detail.Edit();
    Type("unitprice", -5);
    EXPECT_TRUE(LineOk());
    // stock bills may hold a line of quantity 0
    MakeBill(14, tsStock, QStringLiteral("balitemid"), QStringLiteral("baldetail"), QStringLiteral("balitem"));
    Line(Tea, 0, 30);
    EXPECT_TRUE(LineOk());
}

TEST_F(BillChecksTest, BatchLinesNeedCodeAndEnoughLeftInTheBatch)
{
    Checks->SpecificBatchRequired = true;
    Line(Milk, 6);
    EXPECT_EQ(Checks->GetBatchKind(), bkSpecific);
    EXPECT_FALSE(LineOk());
    EXPECT_EQ(Shown(), "批号管理或批次成本核算货品:测试鲜奶的批号不能为空！");
    EXPECT_EQ(Msgs->Last().Caption, "保存数据失败");
    EXPECT_EQ(Msgs->Last().Flags & MB_ICONWARNING, MB_ICONWARNING);
    Detail.Edit();
    Type("batchcode", QStringLiteral("L-1"));
    EXPECT_FALSE(LineOk());
    EXPECT_EQ(Msgs->Last().Text, "批号管理或批次成本核算货品:测试鲜奶没有指定具体批次！");

    const QString shortage = QStringLiteral("个别计价货品：测试鲜奶 在仓库所剩的数量不足或者引用的单据已经被删除，请重新选择批次！");
    Detail.Edit();
    Type("batchrefid", Lot(Milk, 10, 4)); // 6 left
    EXPECT_TRUE(LineOk());
    Detail.Edit();
    Type("unitqty", 6.0001);
    EXPECT_FALSE(LineOk());
    EXPECT_EQ(Msgs->Last().Text, shortage);
    // a batch that was deleted leaves nothing
    Detail.Edit();
    Type("unitqty", 1);
    Type("batchrefid", 999999);
    EXPECT_FALSE(LineOk());

    // a saved bill whose line drew the batch empty still saves unchanged, not more
    const int exhausted = Lot(Milk, 4, 4);
    Con().Execute(QStringLiteral("insert into saledetail (invoiceid, itemno, goodsid, unitid, unitqty, quantity) values (777, 2, :g, :u, 4, 4)"),
                  {{"g", Milk}, {"u", UnitIds["TB-MILK/盒"]}});
    TypeMaster("invoiceid", 777);
    Line(Milk, 4);
    ASSERT_EQ(D("itemno")->AsInteger(), 2);
    Detail.Edit();
    Type("batchcode", QStringLiteral("L-1"));
    Type("batchrefid", exhausted);
    EXPECT_TRUE(LineOk());
    Detail.Edit();
    Type("unitqty", 4.0001);
    EXPECT_FALSE(LineOk());
    // costed by moving average: a code is enough, no stock batch is asked for
    Line(Yogurt, 3);
    Detail.Edit();
    Type("batchcode", QStringLiteral("Y-1"));
    EXPECT_EQ(Checks->GetBatchKind(), bkCodeOnly);
    EXPECT_TRUE(LineOk());
}

// A stock count asks a specific batch only of the lines that take goods out.
class StockCountChecks : public TBillChecks {
public:
    using TBillChecks::TBillChecks;
    bool SpecificBatchRequiredForLine() const override { return SpecificBatchRequired && LineNum(QStringLiteral("unitqty")) < 0; }
};

TEST_F(BillChecksTest, StockCountAsksTheBatchOfIssuesOnly)
{
    MakeBill(14, tsStock, QStringLiteral("balitemid"), QStringLiteral("baldetail"), QStringLiteral("balitem"));
    StockCountChecks checks(&Ctx, Lines.get());
    checks.SpecificBatchRequired = true;
    Line(Milk, 5);
    Detail.Edit();
    Type("batchcode", QStringLiteral("L-1"));
    EXPECT_TRUE(checks.ValidateLine());
    Detail.Edit();
    Type("unitqty", -5);
    EXPECT_FALSE(checks.ValidateLine());
    EXPECT_EQ(Msgs->Last().Text, "批号管理或批次成本核算货品:测试鲜奶没有指定具体批次！");
}

TEST_F(BillChecksTest, ValidateDetailStopsAtTheFirstBadLine)
{
    Line(Tea, 1);
    Line(Tea, 0);
    Line(Tea, 0);
    int baseCalls = 0;
    EXPECT_FALSE(Checks->ValidateDetail([&baseCalls] { return ++baseCalls > 0; }));
    EXPECT_EQ(Detail.RecNo(), 2);
    EXPECT_EQ(baseCalls, 2);
    EXPECT_EQ(Msgs->Count(), 1);
    EXPECT_FALSE(Checks->ValidateDetail([] { return false; }));
    EXPECT_EQ(Msgs->Count(), 1); // the base check speaks for itself
}

TEST_F(BillChecksTest, PickingABatchThroughThePicker)
{
    int mode = -1, goods = -1, store = -1;
    double rate = 0;
    Checks->BatchPicker = [&](int m, int, int g, int s, TReturnValue* result, const QDate&, double r) {
        mode = m, goods = g, store = s, rate = r;
        TListValue* row = result->AddRow();
        row->SetValue(QStringLiteral("BatchCode"), QStringLiteral("L-9"));
        row->SetValue(QStringLiteral("BatchCodeID"), 4711);
        row->SetValue(QStringLiteral("aprice"), 2.75);
        row->SetValue(QStringLiteral("produceddate"), QDateTime(QDate(2024, 1, 2), QTime()));
        row->SetValue(QStringLiteral("validdate"), QDateTime(QDate(2024, 2, 1), QTime()));
        return true;
    };
    NewLine();
    EXPECT_FALSE(Checks->PickBatch());
    EXPECT_EQ(Shown(), "货品没有输入，不能选择批次！");
    EXPECT_EQ(Checks->FocusRequest(), "goodsid");
    Type("goodsid", Tea);
    EXPECT_FALSE(Checks->PickBatch()); // not batch goods: the picker stays shut
    EXPECT_EQ(mode, -1);
    Type("goodsid", Milk);
    Type("unitid", UnitIds["TB-MILK/箱"]);
    ASSERT_TRUE(Checks->PickBatch());
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(goods, Milk);
    EXPECT_EQ(store, 1);
    EXPECT_DOUBLE_EQ(rate, 12);
    EXPECT_EQ(D("batchcode")->AsString(), "L-9");
    EXPECT_TRUE(D("batchrefid")->IsNull()); // the bill does not ask for the stock batch
    EXPECT_DOUBLE_EQ(D("aprice")->AsFloat(), 2.75);
    EXPECT_DOUBLE_EQ(D("unitaprice")->AsFloat(), 33);
    EXPECT_EQ(D("validdate")->AsDateTime().date(), QDate(2024, 2, 1));
    Checks->SpecificBatchRequired = true;
    ASSERT_TRUE(Checks->PickBatch());
    EXPECT_EQ(D("batchrefid")->AsInteger(), 4711);
    Checks->BatchPicker = nullptr;
    EXPECT_FALSE(Checks->PickBatch());
    EXPECT_EQ(Msgs->Last().Text, "该功能模块没有安装：批次选择");
    TypeMaster("storeid", 0);
    EXPECT_FALSE(Checks->PickBatch());
    EXPECT_EQ(Msgs->Last().Text, "仓库没有输入，不能选择批次！");
    EXPECT_EQ(Checks->FocusRequest(), "storeid");
}

TEST_F(BillChecksTest, ExpiryFollowsProductionDate)
{
    NewLine();
    Type("goodsid", Milk);
    Type("produceddate", QDateTime(QDate(2024, 2, 20), QTime()));
    EXPECT_EQ(D("validdate")->AsDateTime().date(), QDate(2024, 3, 21));
    Type("goodsid", Tea); // no shelf life: the expiry date is left alone
    Type("validdate", QDateTime(QDate(2025, 1, 1), QTime()));
    Type("produceddate", QDateTime(QDate(2024, 2, 20), QTime()));
    EXPECT_EQ(D("validdate")->AsDateTime().date(), QDate(2025, 1, 1));
}

TEST_F(BillChecksTest, BatchCopyNumbersTheCopies)
{
    EXPECT_EQ(TBillChecks::BatchCodeSequence("A", "0098", "x", 4), QStringList({"A0098x", "A0099x", "A0100x", "A0101x"}));
    EXPECT_EQ(TBillChecks::BatchCodeSequence("", "9", "", 3), QStringList({"9", "10", "11"}));
    EXPECT_EQ(TBillChecks::BatchCodeSequence("", "99999999999999999999", "", 2).last(), "100000000000000000000");
    EXPECT_TRUE(TBillChecks::BatchCodeSequence("", "1", "", 0).isEmpty());

    Checks->BatchCopyDialog = [](QString& prefix, QString& number, QString& suffix, int& count, const QString& code) {
        EXPECT_EQ(code, "YG07");
        prefix = QStringLiteral("YG"), number = QStringLiteral("08"), suffix.clear(), count = 3;
        return true;
    };
    Line(Milk, 1);
    EXPECT_FALSE(Checks->CopyBatchCode());
    EXPECT_EQ(Shown(), "个别计价的货品,或者不是批号管理的货品，不能批次复制！");
    Line(Yogurt, 2, 4);
    Detail.Edit();
    Type("batchcode", QStringLiteral("YG07"));
    ASSERT_TRUE(Checks->CopyBatchCode());
    ASSERT_EQ(Detail.RecordCount(), 4);
    QStringList codes;
    for (Detail.SetRecNo(2); !Detail.Eof(); Detail.Next()) {
        codes << D("batchcode")->AsString();
        EXPECT_DOUBLE_EQ(D("unitqty")->AsFloat(), 2);
        EXPECT_DOUBLE_EQ(D("amount")->AsFloat(), 8);
    }
    EXPECT_EQ(codes, QStringList({"YG08", "YG09", "YG10"}));
}

TEST_F(BillChecksTest, MasterChecks)
{
    auto refused = [this](const char* message) {
        Msgs->ClearRecords();
        const bool ok = Checks->ValidateMaster();
        EXPECT_EQ(Shown(), QString::fromUtf8(message));
        return !ok;
    };
    EXPECT_FALSE(refused(""));
    TypeMaster("code", QStringLiteral("  "));
    EXPECT_TRUE(refused("请输入单号！"));
    TypeMaster("code", QStringLiteral("X-1"));
    const QVariant date = M("billdate")->Value();
    M("billdate")->Clear();
    EXPECT_TRUE(refused("请输入单据日期！"));
    EXPECT_EQ(Checks->FocusRequest(), "BillDate");
    TypeMaster("billdate", date);
    const QVariant client = M("clientid")->Value();
    TypeMaster("clientid", 0);
    EXPECT_TRUE(refused("请选择客户！"));
    TypeMaster("clientid", client);
    for (double disc : {0.0, 100.5, -1e300}) {
        TypeMaster("disc", disc);
        EXPECT_TRUE(refused("折扣率必须大于零小于等于 100 ！")) << disc;
    }
    TypeMaster("disc", 100);
    for (int days : {-1, 1000}) {
        TypeMaster("termdays", days);
        EXPECT_TRUE(refused("收付款期限必须大于等于零小于1000！")) << days;
    }
    TypeMaster("termdays", 999);
    EXPECT_FALSE(refused(""));

    // the operator's limit counts the lines' amounts, equal passes
    Con().Execute(QStringLiteral("update operator set maxsaleamt = 100, maxbuyamt = 5 where opid = 1"));
    Line(Tea, 2, 50);
    EXPECT_FALSE(refused(""));
    Line(Tea, 1, 0.01);
    EXPECT_TRUE(refused("所开单据金额大于操作员开单金额限额！"));
    Con().Execute(QStringLiteral("update operator set maxsaleamt = -1 where opid = 1"));
    EXPECT_FALSE(refused(""));
    // a payment is not held to the limit, nor to a master discount; a purchase bill is
    MakeBill(9, tsPurchase, QStringLiteral("payid"), QStringLiteral("paydetail"), QStringLiteral("pay"));
    TypeMaster("clientid", AddPartner(2, QStringLiteral("供应商丙")));
    TypeMaster("disc", 0);
    Line(Tea, 1, 50);
    EXPECT_FALSE(refused(""));
    MakeBill(7, tsPurchase, QStringLiteral("recievedid"), QStringLiteral("rcvddetail"), QStringLiteral("recieved"));
    EXPECT_TRUE(refused("请选择供应商！"));
    TypeMaster("clientid", AddPartner(2, QStringLiteral("供应商丁")));
    Line(Tea, 1, 50);
    EXPECT_TRUE(refused("所开单据金额大于操作员开单金额限额！"));
}

TEST_F(BillChecksTest, StoreRightsWhenUsersBillOnlyTheirStores)
{
    Con().Execute(QStringLiteral("update store set operators = '|2|11|' where storeid = 1"));
    EXPECT_TRUE(Checks->ValidateMaster()); // the option is off
    Options["SELFSTOREGOODS"] = QStringLiteral("1");
    EXPECT_FALSE(Checks->ValidateMaster());
    EXPECT_EQ(Shown(), "您没有当前仓库的开单权限！");
    EXPECT_FALSE(Checks->CanDeleteBill());
    EXPECT_EQ(Msgs->Last().Text, "您没有当前仓库的删除单据权限！");
    Con().Execute(QStringLiteral("update store set operators = '|2|1|' where storeid = 1"));
    EXPECT_TRUE(Checks->ValidateMaster());
    EXPECT_TRUE(Checks->CanDeleteBill());
}

TEST_F(BillChecksTest, PeriodCheck)
{
    Checks->Periods.OpeningDate = QDate(2023, 1, 1);
    Checks->Periods.InventoryPeriodStart = QDate(2024, 3, 1);
    Checks->Periods.AccountingPeriodStart = QDate(2024, 4, 1);
    auto at = [this](const QDate& d) {
        TypeMaster("billdate", QDateTime(d, QTime(10, 0)));
        Msgs->ClearRecords();
        return Checks->CheckBillPeriod() ? QString() : Shown();
    };
    EXPECT_EQ(at(QDate(2022, 12, 31)), "不能录入开帐日期之前发生的业务，不能保存或删除数据。");
    EXPECT_EQ(at(QDate(2024, 2, 29)), "本单日期在当前进销存期间之前，不能保存或删除数据。");
    EXPECT_EQ(at(QDate(2024, 3, 1)), "");
    Checks->Periods.CheckAccountingPeriod = true;
    EXPECT_EQ(at(QDate(2024, 3, 31)), "本单日期在当前会计期间之前，不能保存或删除数据。");
    EXPECT_EQ(at(QDate(2024, 4, 1)), "");
    // a saved bill dated before the period cannot be moved into it
    Master.Post();
    Master.MergeChangeLog();
    Master.Edit();
    TypeMaster("billdate", QDateTime(QDate(2024, 2, 1), QTime()));
    Master.Post();
    Master.MergeChangeLog();
    EXPECT_EQ(at(QDate(2024, 4, 2)), "本单日期在当前进销存期间之前，不能保存或删除数据。");
    EXPECT_FALSE(Checks->CanDeleteBill());
    Checks->CheckPeriod = false;
    EXPECT_TRUE(Checks->CanDeleteBill());
    // orders and quotations are not held to the inventory period
    MakeBill(6, tsPurchase);
    Checks->Periods.OpeningDate = QDate(2023, 1, 1);
    Checks->Periods.InventoryPeriodStart = QDate(2024, 3, 1);
    Checks->Periods.CheckAccountingPeriod = false;
    EXPECT_EQ(at(QDate(2024, 2, 1)), "");
}

TEST_F(BillChecksTest, PeriodDatesComeFromTheAccountSet)
{
    Con().Execute(QStringLiteral("update accinfo set startdate = '2021-06-01'"));
    Con().Execute(QStringLiteral("update accperiod set iscurrent = 0, acccurrent = 0"));
    Con().Execute(QStringLiteral("insert into accperiod (periodid, year, month, startdate, enddate, iscurrent, acccurrent)"
                                 " values (9001, 2031, 7, '2031-07-01', '2031-07-31', 1, 0),"
                                 " (9002, 2031, 5, '2031-05-01', '2031-05-31', 0, 1)"));
    TBillSession session;
    session.Bind = true;
    const TBillPeriodDates p = TBillPeriodDates::Read(&Con(), session);
    EXPECT_EQ(p.OpeningDate, QDate(2021, 6, 1));
    EXPECT_EQ(p.InventoryPeriodStart, QDate(2031, 7, 1));
    EXPECT_EQ(InventoryPeriodCaption(p.InventoryYear, p.InventoryMonth), " [ 进销存期间：2031年7月 ]");
    EXPECT_EQ(p.AccountingPeriodStart, QDate(2031, 5, 1));
    EXPECT_TRUE(p.CheckAccountingPeriod);
}

TEST_F(BillChecksTest, OnHandOfTheLine)
{
    Con().Execute(QStringLiteral("insert into onhand (storeid, goodsid, onhand) values (1, :g, 12.5), (2, :g, 4)"), {{"g", Tea}});
    NewLine();
    EXPECT_EQ(Checks->OnHandText(), "");
    Type("goodsid", Tea);
    EXPECT_DOUBLE_EQ(Checks->LineOnHand(), 12.5);
    EXPECT_EQ(Checks->OnHandText(), "库存：12.5 盒");
    TypeMaster("storeid", 0);
    EXPECT_DOUBLE_EQ(Checks->LineOnHand(), 16.5);
    TypeMaster("storeid", 3);
    EXPECT_DOUBLE_EQ(Checks->LineOnHand(), 0);
}

} // namespace
