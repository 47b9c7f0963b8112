// What invoices, cash sales and returns refuse before they reach the server, and what a
// refusal leaves behind: the bill unsaved, the edits on screen, the books untouched.
#include "SalesFixture.h"

#include "host/Messages.h"
#include "platform/DataSet.h"

namespace {

struct TRefusal {
    const char* Form;
    const char* Text;
    std::function<void(TGoodsBillForm*)> Spoil;
};

} // namespace

class SalesChecksTest : public TSalesTest {};

TEST_F(SalesChecksTest, EachMasterAndLineRuleRefusesItsBillAndNamesTheCause)
{
    const int client = Client(0);
    const TStock goods = Stocked(0);
    ASSERT_GT(goods.GoodsID, 0);
    SetOption(QStringLiteral("BANKNEGATIVE"), QStringLiteral("2"));
    auto set = [this](const char* field, QVariant v) {
        return [this, field, v](TGoodsBillForm* f) { Set(f, QString::fromLatin1(field), v); };
    };
    const QVector<TRefusal> cases = {
        {"InvoiceForm", "请输入仓库！", set("storeid", 0)},
        {"InvoiceForm", "请输入发票类型！", set("billtypeid", QVariant())},
        {"InvoiceForm", "收款期限必须大于等于零小于1000！", set("termdays", 1000)},
        {"InvoiceForm", "收款期限必须大于等于零小于1000！", set("termdays", -1)},
        {"InvoiceForm", "货品数量必须大于零！", [this](TGoodsBillForm* f) { SetLine(f, QStringLiteral("unitqty"), -1); }},
        {"CashSaleForm", "请输入收款帐户！", set("bankid", QVariant())},
        {"CashSaleForm", "合计金额不能小于零！",
         [this](TGoodsBillForm* f) {
             Set(f, QStringLiteral("bankid"), 1);
             SetLine(f, QStringLiteral("unitprice"), -5);
         }},
        {"CashSaleForm", "请输入仓库！", set("storeid", QVariant())},
        {"SReturnForm", "请输入付款帐户！", set("backmoney", QStringLiteral("T"))},
        {"SReturnForm", "该单保存之后，帐户余额为负，单据不能保存。",
         [this](TGoodsBillForm* f) {
             Set(f, QStringLiteral("backmoney"), QStringLiteral("T"));
             Set(f, QStringLiteral("bankid"), 1);
             FCon->Execute(QStringLiteral("update bank set balance = 10 where bankid = 1"));
         }},
        {"SReturnForm", "请输入发票类型！", set("billtypeid", 0)},
    };
    for (const TRefusal& c : cases) {
        SCOPED_TRACE(std::string(c.Form) + " " + c.Text);
        TSalesBillForm* f = NewBill(QString::fromLatin1(c.Form), client);
        ASSERT_NE(f, nullptr);
        AddLine(f, goods, 3, 12.5);
        c.Spoil(f);
        FMessages->ClearRecords();
        const double before = OnHand(goods.GoodsID);
        EXPECT_FALSE(Save(f));
        ASSERT_TRUE(Shown(QString::fromUtf8(c.Text))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(f->IsNewBill);
        EXPECT_EQ(f->cdsDetail->RecordCount(), 1) << "the lines stay on screen";
        EXPECT_DOUBLE_EQ(OnHand(goods.GoodsID), before);
    }
}

TEST_F(SalesChecksTest, DiscountGoodsAloneAndUnreferredLinesAreRefusedOnEveryBill)
{
    const int client = Client(1);
    const QString discount = Db(QStringLiteral("select code from goods where kind = 7 and closed = 'F' order by goodsid limit 1")).toString();
    if (discount.isEmpty())
        FCon->Execute(QStringLiteral("update goods set kind = 7 where goodsid = (select max(goodsid) from goods where kind = 1)"));
    TStock disc;
    disc.Code = Db(QStringLiteral("select code from goods where kind = 7 and closed = 'F' order by goodsid limit 1")).toString();
    ASSERT_FALSE(disc.Code.isEmpty());
    for (const char* form : {"InvoiceForm", "CashSaleForm", "SReturnForm"}) {
        SCOPED_TRACE(form);
        TSalesBillForm* f = NewBill(QString::fromLatin1(form), client);
        if (f->cdsMaster->FindField(QStringLiteral("bankid")))
            Set(f, QStringLiteral("bankid"), 1);
        AddLine(f, disc, 1, 5);
        FMessages->ClearRecords();
        EXPECT_FALSE(Save(f));
        EXPECT_TRUE(Shown(QStringLiteral("明细表不能只有折扣类货品！"))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
        // with real goods beside it the bill passes this check
        AddLine(f, Stocked(0), 1, 5);
        FMessages->ClearRecords();
        Save(f);
        EXPECT_FALSE(Shown(QStringLiteral("明细表不能只有折扣类货品！")));
    }

    // invoices under MUSTREFERSORDER take their lines from sales orders only
    SetOption(QStringLiteral("MUSTREFERSORDER"), QStringLiteral("1"));
    TSalesBillForm* f = NewBill(QStringLiteral("InvoiceForm"), client);
    EXPECT_TRUE(f->IsColumnReadOnly(QStringLiteral("goodsname")));
    AddLine(f, Stocked(0), 1, 5);
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("明细必须是引用销售订单！")));
    SetLine(f, QStringLiteral("refertype"), 3);
    SetLine(f, QStringLiteral("referbillid"), 1);
    SetLine(f, QStringLiteral("referitemno"), 1);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("必须引用销售订单生成明细！")));
}

TEST_F(SalesChecksTest, RefundAndZeroCostQuestionsSaveOnlyOnYes)
{
    const int client = Client(2);
    const TStock goods = Stocked(1);
    SetOption(QStringLiteral("BANKNEGATIVE"), QStringLiteral("1"));
    FCon->Execute(QStringLiteral("update bank set balance = 10 where bankid = 1"));
    TSalesBillForm* f = NewBill(QStringLiteral("SReturnForm"), client);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("backmoney"))->AsString(), QStringLiteral("F"));
    Set(f, QStringLiteral("backmoney"), QStringLiteral("T"));
    Set(f, QStringLiteral("bankid"), 1);
    AddLine(f, goods, 2, 30);
    FMessages->AnswerNo();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("该单保存之后，帐户余额为负，是否继续保存？")));
    const double stock = OnHand(goods.GoodsID);
    FMessages->AnswerYes();
    ASSERT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(OnHand(goods.GoodsID), stock + 2, 1e-9) << "a return brings the goods back";
    const double total = MasterNum(QStringLiteral("sreturn"), QStringLiteral("returnid"), f->CurrentBillID, QStringLiteral("totalamt"));
    EXPECT_NEAR(Db(QStringLiteral("select balance from bank where bankid = 1")).toDouble(), 10 - total, 0.005) << "refunded from the account";
    EXPECT_NEAR(Balance(client), 0, 0.005) << "a refund at once leaves the account alone";

    // goods costed lot by lot: a return line without a cost asks
    const QString lotGoods = Db(QStringLiteral("select code from goods where batchctrl = 'T' and inf_costingtypeid = 2 and kind = 1 and closed = 'F' order by goodsid limit 1")).toString();
    ASSERT_FALSE(lotGoods.isEmpty());
    f = NewBill(QStringLiteral("SReturnForm"), client);
    TStock lot;
    lot.Code = lotGoods;
    AddLine(f, lot, 1, 20);
    SetLine(f, QStringLiteral("batchcode"), QStringLiteral("RT-1"));
    SetLine(f, QStringLiteral("aprice"), 0);
    SetLine(f, QStringLiteral("unitaprice"), 0);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    FMessages->AnswerWhen(QStringLiteral("成本单价为零"), IDNO);
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("成本单价为零,是否继续保存?")));
    EXPECT_TRUE(f->IsNewBill);
}
