// Consignment: goods delivered to a consignee, part settled, part taken back, through the
// three windows; the delivery line's settled and returned quantities, the stock and the
// consignee's account follow each step. Settlement and opening-entry rules at their edges.
#include "SalesFixture.h"

#include "bills/sales/DeputeSaleForm.h"
#include "goodsbill/BillChecks.h"
#include "host/Messages.h"
#include "platform/DataSet.h"
#include "services/SelectValues.h"

class ConsignmentTest : public TSalesTest {
protected:
    // The batch picker as the package shows it in mode 3, answering with a delivery line.
    int PickerMode = 0;
    int PickedClient = 0;
    void PickFrom(TGoodsBillForm* f, int deliveryId, int itemNo)
    {
        f->Checks()->BatchPicker = [this, deliveryId, itemNo](int mode, int client, int, int, TReturnValue* r, const QDate&, double) {
            PickerMode = mode;
            PickedClient = client;
            TClientDataSet line;
            FCon->OpenDataSet(QStringLiteral("select d.*, m.code from deputesaledetail d join deputesale m on m.deputesaleid = d.deputesaleid"
                                             " where d.deputesaleid = :id and d.itemno = :i"),
                              &line, {{QStringLiteral("id"), deliveryId}, {QStringLiteral("i"), itemNo}});
            TListValue* row = r->AddRow();
            row->SetValue(QStringLiteral("billtypeid"), 27);
            row->SetValue(QStringLiteral("BillID"), deliveryId);
            row->SetValue(QStringLiteral("itemno"), itemNo);
            row->SetValue(QStringLiteral("billcode"), line.FieldByName(QStringLiteral("code"))->Value());
            row->SetValue(QStringLiteral("batchcode"), line.FieldByName(QStringLiteral("batchcode"))->Value());
            row->SetValue(QStringLiteral("batchcodeid"), line.FieldByName(QStringLiteral("batchrefid"))->Value());
            row->SetValue(QStringLiteral("aprice"), line.FieldByName(QStringLiteral("aprice"))->Value());
            const double held = line.FieldByName(QStringLiteral("unitqty"))->AsFloat() - line.FieldByName(QStringLiteral("settledqty"))->AsFloat() -
                                line.FieldByName(QStringLiteral("returnqty"))->AsFloat();
            row->SetValue(QStringLiteral("unitqty"), held);
            row->SetValue(QStringLiteral("deputeprice"), line.FieldByName(QStringLiteral("unitprice"))->Value());
            row->SetValue(QStringLiteral("taxprice"), line.FieldByName(QStringLiteral("unitprice"))->Value());
            return true;
        };
    }
    double Delivered(int id, const char* column)
    {
        return LineValue(QStringLiteral("deputesaledetail"), QStringLiteral("deputesaleid"), id, 1, QString::fromLatin1(column));
    }
};

TEST_F(ConsignmentTest, DeliverTenSettleSixTakeBackTwo)
{
    const int client = Client(6);
    const TStock goods = Stocked(2);
    const double stock0 = OnHand(goods.GoodsID);
    const double balance0 = Balance(client);

    // delivery: the goods leave the store, the consignee owes nothing yet
    auto* delivery = qobject_cast<TDeputeSaleForm*>(NewBill(QStringLiteral("DeputeSaleForm"), client));
    ASSERT_NE(delivery, nullptr);
    EXPECT_EQ(delivery->DeliveryKind(), 1);
    AddLine(delivery, goods, 10, 20);
    EXPECT_DOUBLE_EQ(delivery->cdsDetail->FieldByName(QStringLiteral("settledqty"))->AsFloat(), 0);
    ASSERT_TRUE(Save(delivery)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    const int deliveryId = delivery->CurrentBillID;
    EXPECT_NEAR(OnHand(goods.GoodsID), stock0 - 10, 1e-9);
    EXPECT_NEAR(Balance(client), balance0, 0.005);

    // settlement on credit of 6 taken from the delivery line through the picker
    TSalesBillForm* settle = NewBill(QStringLiteral("DeputeSettlementForm"), client);
    ASSERT_NE(settle, nullptr);
    EXPECT_EQ(settle->cdsMaster->FieldByName(QStringLiteral("settlementtype"))->AsInteger(), 0);
    EXPECT_EQ(settle->RelevantCredType, 38);
    PickFrom(settle, deliveryId, 1);
    AddLine(settle, goods, 1, 20);
    EXPECT_DOUBLE_EQ(settle->cdsDetail->FieldByName(QStringLiteral("margin"))->AsFloat(), 0);
    settle->PickLineBatch();
    EXPECT_EQ(PickerMode, 3);
    EXPECT_EQ(PickedClient, client);
    EXPECT_EQ(settle->cdsDetail->FieldByName(QStringLiteral("referbillid"))->AsInteger(), deliveryId);
    EXPECT_EQ(settle->cdsDetail->FieldByName(QStringLiteral("refertype"))->AsInteger(), 27);
    EXPECT_DOUBLE_EQ(settle->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 10) << "what the consignee holds";
    SetLine(settle, QStringLiteral("unitqty"), 6);
    auto line = [settle](const char* f) { return settle->cdsDetail->FieldByName(QString::fromLatin1(f))->AsFloat(); };
    EXPECT_NEAR(line("deputesalemoney"), 120, 0.005) << "6 at the consignment price of 20";
    // the consignee keeps 12: the owner's amount is what is left
    SetLine(settle, QStringLiteral("margin"), 12);
    EXPECT_NEAR(line("amount"), 108, 0.005);
    SetLine(settle, QStringLiteral("amount"), 114);
    EXPECT_NEAR(line("margin"), 6, 0.005);
    EXPECT_NEAR(line("deputesalemoney"), 120, 0.005);
    settle->cdsDetail->Post();
    ASSERT_TRUE(Save(settle)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    const double settled = MasterNum(QStringLiteral("deputesettlement"), QStringLiteral("deputesettlementid"), settle->CurrentBillID, QStringLiteral("totalamt"));
    EXPECT_GT(settled, 0);
    EXPECT_NEAR(Delivered(deliveryId, "settledqty"), 6, 1e-9);
    EXPECT_NEAR(OnHand(goods.GoodsID), stock0 - 10, 1e-9) << "the goods left with the delivery";
    EXPECT_NEAR(Balance(client), balance0 + settled, 0.005) << "a credit settlement is owed";

    // take-back of 2: refused while positive, then the goods come back
    auto* back = qobject_cast<TDeputeSaleForm*>(NewBill(QStringLiteral("DeputeSaleForm"), client));
    Set(back, QStringLiteral("billtype"), 2);
    EXPECT_EQ(back->DeliveryKind(), 2);
    PickFrom(back, deliveryId, 1);
    AddLine(back, goods, 1, 20);
    PickerMode = 0;
    back->PickLineBatch();
    EXPECT_EQ(PickerMode, 3);
    EXPECT_DOUBLE_EQ(back->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 4);
    SetLine(back, QStringLiteral("unitqty"), 2);
    back->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(back));
    EXPECT_TRUE(Shown(QStringLiteral("货品数量必须小于零！")));
    SetLine(back, QStringLiteral("unitqty"), -2);
    back->cdsDetail->Post();
    ASSERT_TRUE(Save(back)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(Delivered(deliveryId, "returnqty"), 2, 1e-9);
    EXPECT_NEAR(Delivered(deliveryId, "settledqty"), 6, 1e-9);
    EXPECT_NEAR(OnHand(goods.GoodsID), stock0 - 8, 1e-9);
    EXPECT_NEAR(Balance(client), balance0 + settled, 0.005);
}

TEST_F(ConsignmentTest, PickingNeedsGoodsAndConsigneeFirstAndChangesNothingElse)
{
    TSalesBillForm* f = NewBill(QStringLiteral("DeputeSettlementForm"), 0);
    PickFrom(f, 1, 1);
    SetDataSetPost(f->cdsDetail);
    f->cdsDetail->Append();
    f->PickLineBatch();
    EXPECT_TRUE(Shown(QStringLiteral("货品没有输入，不能选择批次！")));
    ASSERT_TRUE(f->EnterGoodsText(Stocked(0).Code));
    f->PickLineBatch();
    EXPECT_TRUE(Shown(QStringLiteral("客户没有输入，不能选择批次！")));
    EXPECT_EQ(PickerMode, 0) << "the picker never opened";
    EXPECT_TRUE(f->cdsDetail->FieldByName(QStringLiteral("referbillid"))->IsNull());
}

TEST_F(ConsignmentTest, SettlementTermAccountAndCreditRules)
{
    const int client = Client(7);
    TSalesBillForm* f = NewBill(QStringLiteral("DeputeSettlementForm"), client);
    AddLine(f, Stocked(0), 1, 10);
    Set(f, QStringLiteral("termdays"), 1000);
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("收款期限必须大于零小于1000！")));
    Set(f, QStringLiteral("termdays"), 0);
    Set(f, QStringLiteral("settlementtype"), 1);
    EXPECT_EQ(f->RelevantCredType, 39);
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("请输入结算帐户！")));
    // a cash settlement is not held to overdue bills; a credit one is
    FCon->Execute(QStringLiteral("insert into invoice (invoiceid, code, billdate, clientid, storeid, termdays, totalamt, shopid)"
                                 " values (990001, 'XK-OLD', '2020-01-01', :c, 1, 10, 100, 1)"),
                  {{QStringLiteral("c"), client}});
    SetOption(QStringLiteral("OVERDUEAMOUT"), QStringLiteral("0"));
    Set(f, QStringLiteral("bankid"), 1);
    FMessages->ClearRecords();
    EXPECT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(Shown(QStringLiteral("客户存在到期应收款，不允许保存！")));
    f->NewBill();
    Set(f, QStringLiteral("clientid"), client);
    Set(f, QStringLiteral("storeid"), 1);
    Set(f, QStringLiteral("billtypeid"), 1);
    AddLine(f, Stocked(0), 1, 10);
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("客户存在到期应收款，不允许保存！")));
}

TEST_F(ConsignmentTest, OpeningEntryBelongsToTheBranchAndPrecedesTheAccount)
{
    const int client = Client(8);
    const QDate start = Db(QStringLiteral("select startdate from accinfo")).toDate();
    ASSERT_TRUE(start.isValid());
    TSalesBillForm* f = NewBill(QStringLiteral("DeputeSaleInitForm"), client);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime().date(), start.addDays(-1)) << "a new entry is dated before the start";
    AddLine(f, Stocked(0), 5, 10);
    SetLine(f, QStringLiteral("aprice"), 4);
    f->cdsDetail->Post();
    Set(f, QStringLiteral("billdate"), QDateTime(start, QTime(8, 0)));
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("初始化单据的日期必须在启用帐套日期前面！")));
    Set(f, QStringLiteral("billdate"), QDateTime(start.addDays(-1), QTime(8, 0)));
    const int otherShopStore = Db(QStringLiteral("select storeid from store where shopid <> 1 order by storeid limit 1")).toInt();
    ASSERT_GT(otherShopStore, 0);
    Set(f, QStringLiteral("storeid"), otherShopStore);
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("当前仓库不是当前分支机构的仓库，不能保存！")));
    EXPECT_EQ(FMessages->Last().Caption, QStringLiteral("错误"));
    Set(f, QStringLiteral("storeid"), 1);
    const QVariant shop = f->cdsMaster->FieldByName(QStringLiteral("shopid"))->Value();
    Set(f, QStringLiteral("shopid"), QVariant());
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("分支机构不能为空！")));
    Set(f, QStringLiteral("shopid"), shop.isNull() ? QVariant(1) : shop);
    SetLine(f, QStringLiteral("aprice"), -1);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("成本价不能小于零！")));
    SetLine(f, QStringLiteral("aprice"), 0);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    FMessages->AnswerWhen(QStringLiteral("成本价为零"), IDNO);
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("成本价为零，是否保存单据？")));
    const double stock = OnHand(Stocked(0).GoodsID);
    FMessages->AnswerWhen(QStringLiteral("成本价为零"), IDYES);
    EXPECT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(OnHand(Stocked(0).GoodsID), stock, 1e-9) << "goods already at consignees do not move";
}

TEST_F(ConsignmentTest, ATakeBackOfGoodsCostedLotByLotNeedsItsCost)
{
    TStock lot;
    lot.Code = Db(QStringLiteral("select code from goods where batchctrl = 'T' and inf_costingtypeid = 2 and kind = 1 and closed = 'F' order by goodsid limit 1"))
                   .toString();
    ASSERT_FALSE(lot.Code.isEmpty());
    TSalesBillForm* f = NewBill(QStringLiteral("DeputeSaleForm"), Client(8));
    Set(f, QStringLiteral("billtype"), 2);
    AddLine(f, lot, -1, 20);
    SetLine(f, QStringLiteral("batchcode"), QStringLiteral("WT-1"));
    SetLine(f, QStringLiteral("aprice"), 0);
    f->cdsDetail->Post();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("成本单价不能为零！"))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
}
