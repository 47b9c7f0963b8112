// One client's sales cycle through the windows: a quotation, a sales order, an invoice against
// the order, invoices held by the credit limit and by overdue receivables as the account options
// say, and a return whose damaged line is written off through a generated stocktaking bill.
// After each step: stock, lots, follow-up quantities and the client's balance.
#include "SalesFixture.h"

#include "bills/sales/InvoiceForm.h"
#include "host/Messages.h"
#include "platform/DataSet.h"

class SalesCycleTest : public TSalesTest {
protected:
    void SetUp() override
    {
        TSalesTest::SetUp();
        FClient = Client(9, 0, 1000);
        FGoods = Stocked(4);
        ASSERT_GT(FGoods.GoodsID, 0);
        TBillBaseForm::StockCheckDialog = [this](TBillBaseForm*, int errNo, const QString& intro, const TPacketParams&) {
            FStockWarnings << QStringLiteral("%1 %2").arg(errNo).arg(intro);
            return true;
        };
    }
    void TearDown() override
    {
        TBillBaseForm::StockCheckDialog = TBillBaseForm::DefaultStockCheckDialog;
        TSalesTest::TearDown();
    }
    QStringList FStockWarnings;
    // Lot rows the bill left: quantity out (or in) over its lines.
    double Flow(int dbBillType, int id, const char* column)
    {
        return Db(QStringLiteral("select ifnull(sum(%1), 0) from detailbillflow where billtype = :t and billid = :id").arg(QString::fromLatin1(column)),
                  {{QStringLiteral("t"), dbBillType}, {QStringLiteral("id"), id}})
            .toDouble();
    }
    double Total(const char* table, const char* key, int id)
    {
        return MasterNum(QString::fromLatin1(table), QString::fromLatin1(key), id, QStringLiteral("totalamt"));
    }
    // A fresh invoice window (options are read when it opens).
    TSalesBillForm* Invoice(double qty)
    {
        for (TBillBaseForm* f : LiveBillForms())
            if (f->objectName() == QLatin1String("InvoiceForm"))
                delete f;
        TSalesBillForm* f = NewBill(QStringLiteral("InvoiceForm"), FClient);
        AddLine(f, FGoods, qty, 100);
        return f;
    }
    void SetCredit(double limit)
    {
        FCon->Execute(QStringLiteral("update client set credit = :c where clientid = :id"), {{QStringLiteral("c"), limit}, {QStringLiteral("id"), FClient}});
    }
    void MakeOverdue()
    {
        FCon->Execute(QStringLiteral("insert into invoice (invoiceid, code, billdate, clientid, storeid, termdays, totalamt, shopid)"
                                     " values (990001, 'XK-OLD', '2020-01-01', :c, 1, 10, 100, 1)"),
                      {{QStringLiteral("c"), FClient}});
    }
    int FClient = 0;
    TStock FGoods;
};

TEST_F(SalesCycleTest, QuotationOrderInvoiceCreditOverdueAndDamagedReturn)
{
    const double stock0 = OnHand(FGoods.GoodsID);
    const double balance0 = Balance(FClient);
    SCOPED_TRACE(FStockWarnings.join(QLatin1Char('|')).toStdString());

    // 1. quotation: prices only
    TSalesBillForm* q = NewBill(QStringLiteral("QuotationForm"), FClient);
    AddLine(q, FGoods, 1, 100);
    SetLine(q, QStringLiteral("unitbegqty"), 0);
    SetLine(q, QStringLiteral("unitendqty"), 50);
    q->cdsDetail->Post();
    ASSERT_TRUE(Save(q)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(OnHand(FGoods.GoodsID), stock0, 1e-9);
    EXPECT_NEAR(Balance(FClient), balance0, 0.005);

    // 2. sales order of 10: promised, nothing moves
    TSalesBillForm* order = NewBill(QStringLiteral("SOrderForm"), FClient);
    AddLine(order, FGoods, 10, 100);
    ASSERT_TRUE(Save(order)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    const int orderId = order->CurrentBillID;
    EXPECT_NEAR(LineValue(QStringLiteral("sorderdetail"), QStringLiteral("sorderid"), orderId, 1, QStringLiteral("takeqty")), 0, 1e-9);
    EXPECT_NEAR(OnHand(FGoods.GoodsID), stock0, 1e-9);

    // 3. invoice of 4 against the order: takeqty, stock, lots and the account follow
    TSalesBillForm* inv = Invoice(4);
    SetLine(inv, QStringLiteral("refertype"), 1);
    SetLine(inv, QStringLiteral("referbillid"), orderId);
    SetLine(inv, QStringLiteral("referitemno"), 1);
    inv->cdsDetail->Post();
    ASSERT_TRUE(Save(inv)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    const int invoiceId = inv->CurrentBillID;
    const double invoiced = Total("invoice", "invoiceid", invoiceId);
    EXPECT_GT(invoiced, 0);
    EXPECT_NEAR(LineValue(QStringLiteral("sorderdetail"), QStringLiteral("sorderid"), orderId, 1, QStringLiteral("takeqty")), 4, 1e-9);
    EXPECT_NEAR(OnHand(FGoods.GoodsID), stock0 - 4, 1e-9);
    EXPECT_NEAR(Flow(3, invoiceId, "outqty"), 4, 1e-9);
    EXPECT_NEAR(Balance(FClient), balance0 + invoiced, 0.005);
    double balance = Balance(FClient);

    // 4. credit limit just above the debt: re-saving the invoice does not count it twice ...
    SetCredit(balance + 1);
    inv = Invoice(1);
    FMessages->AnswerWhen(QStringLiteral("保存数据"), IDNO);
    inv->LoadBillByID(invoiceId);
    Set(inv, QStringLiteral("memo"), QStringLiteral("已核对"));
    FMessages->ClearRecords();
    ASSERT_TRUE(Save(inv)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(Shown(QStringLiteral("已经超过其信用控制金额")));
    // ... a new invoice over it asks under SALECONTROL 1; No keeps it unsaved
    SetOption(QStringLiteral("SALECONTROL"), QStringLiteral("1"));
    inv = Invoice(2);
    FMessages->AnswerWhen(QStringLiteral("是否继续销售这批货品？"), IDNO);
    EXPECT_FALSE(Save(inv));
    ASSERT_TRUE(Shown(QStringLiteral("是否继续销售这批货品？")));
    const TMessageRecord asked = FMessages->Last();
    EXPECT_TRUE(asked.Text.startsWith(QStringLiteral("客户欠款金额(")));
    EXPECT_TRUE(asked.Text.contains(QStringLiteral("已经超过其信用控制金额(") + TSalesRules::Money(balance + 1) + QLatin1Char(')')));
    EXPECT_TRUE(asked.Flags & MB_DEFBUTTON2) << "No is the default";
    EXPECT_NEAR(Balance(FClient), balance, 0.005);
    FMessages->AnswerWhen(QStringLiteral("是否继续销售这批货品？"), IDYES);
    ASSERT_TRUE(Save(inv)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(Balance(FClient), balance + Total("invoice", "invoiceid", inv->CurrentBillID), 0.005);
    EXPECT_NEAR(OnHand(FGoods.GoodsID), stock0 - 6, 1e-9);
    balance = Balance(FClient);
    // SALECONTROL 2 refuses outright; any other value lets it pass
    SetOption(QStringLiteral("SALECONTROL"), QStringLiteral("2"));
    inv = Invoice(1);
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(inv));
    EXPECT_TRUE(Shown(QStringLiteral("不能销售这批货品!")));
    EXPECT_EQ(FMessages->Last().Caption, QStringLiteral("警告"));
    EXPECT_NEAR(Balance(FClient), balance, 0.005);
    SetCredit(0);

    // 5. overdue receivables: 0 refuses, 2 asks, 1 lets it pass
    MakeOverdue();
    SetOption(QStringLiteral("OVERDUEAMOUT"), QStringLiteral("0"));
    inv = Invoice(1);
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(inv));
    EXPECT_TRUE(Shown(QStringLiteral("客户存在到期应收款，不允许保存！")));
    SetOption(QStringLiteral("OVERDUEAMOUT"), QStringLiteral("2"));
    inv = Invoice(1);
    FMessages->AnswerWhen(QStringLiteral("客户存在到期应收款"), IDNO);
    EXPECT_FALSE(Save(inv));
    EXPECT_TRUE(Shown(QStringLiteral("客户存在到期应收款，是否允许保存！")));
    EXPECT_EQ(FMessages->Last().Caption, QStringLiteral("警告"));
    EXPECT_NEAR(Balance(FClient), balance, 0.005);
    FMessages->AnswerWhen(QStringLiteral("客户存在到期应收款"), IDYES);
    ASSERT_TRUE(Save(inv));
    balance += Total("invoice", "invoiceid", inv->CurrentBillID);
    EXPECT_NEAR(Balance(FClient), balance, 0.005);
    SetOption(QStringLiteral("OVERDUEAMOUT"), QStringLiteral("1"));
    inv = Invoice(1);
    FMessages->ClearRecords();
    ASSERT_TRUE(Save(inv));
    EXPECT_FALSE(Shown(QStringLiteral("客户存在到期应收款")));
    balance += Total("invoice", "invoiceid", inv->CurrentBillID);
    const double stockBeforeReturn = OnHand(FGoods.GoodsID);
    EXPECT_NEAR(stockBeforeReturn, stock0 - 8, 1e-9);

    // 6. a return of 3 good and 2 damaged: the damaged line is written off by a stocktaking bill
    const TStock damaged = Stocked(5);
    const double damagedStock = OnHand(damaged.GoodsID);
    auto* ret = qobject_cast<TSReturnForm*>(NewBill(QStringLiteral("SReturnForm"), FClient));
    AddLine(ret, FGoods, 3, 100);
    AddLine(ret, damaged, 2, 100);
    SetLine(ret, QStringLiteral("isbad"), 1);
    ret->cdsDetail->Post();
    FMessages->ClearRecords();
    FMessages->AnswerWhen(QStringLiteral("是否生成盘点单"), IDYES);
    ASSERT_TRUE(Save(ret)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    const int returnId = ret->CurrentBillID;
    EXPECT_TRUE(Shown(QStringLiteral("退回货品中有需报损货品，是否生成盘点单？")));
    ASSERT_FALSE(ret->GeneratedStocktaking.isEmpty()) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(Shown(QStringLiteral("已成功生成盘点单：") + ret->GeneratedStocktaking));
    const int balId = Db(QStringLiteral("select balitemid from balitem where code = :c"), {{QStringLiteral("c"), ret->GeneratedStocktaking}}).toInt();
    ASSERT_GT(balId, 0);
    EXPECT_EQ(Db(QStringLiteral("select count(*) from baldetail where balitemid = :b"), {{QStringLiteral("b"), balId}}).toInt(), 1);
    EXPECT_NEAR(LineValue(QStringLiteral("baldetail"), QStringLiteral("balitemid"), balId, 1, QStringLiteral("unitqty")), -2, 1e-9);
    EXPECT_EQ(Db(QStringLiteral("select refertype || '/' || referbillid || '/' || referitemno from baldetail where balitemid = :b"), {{QStringLiteral("b"), balId}})
                  .toString(),
              QStringLiteral("4/%1/2").arg(returnId));
    EXPECT_NEAR(Db(QStringLiteral("select balsid from balitem where balitemid = :b"), {{QStringLiteral("b"), balId}}).toInt(), 1, 0);
    EXPECT_NEAR(LineValue(QStringLiteral("returndetail"), QStringLiteral("returnid"), returnId, 2, QStringLiteral("badqty")), 2, 1e-9);
    EXPECT_NEAR(LineValue(QStringLiteral("returndetail"), QStringLiteral("returnid"), returnId, 1, QStringLiteral("badqty")), 0, 1e-9);
    EXPECT_NEAR(OnHand(FGoods.GoodsID), stockBeforeReturn + 3, 1e-9);
    EXPECT_NEAR(OnHand(damaged.GoodsID), damagedStock, 1e-9) << "the damaged 2 came back and were written off";
    EXPECT_NEAR(Flow(5, returnId, "inqty"), 5, 1e-9);
    EXPECT_NEAR(Flow(11, balId, "outqty"), 2, 1e-9);
    EXPECT_NEAR(Balance(FClient), balance - Total("sreturn", "returnid", returnId), 0.005);
    // saving the return again writes nothing off twice
    Set(ret, QStringLiteral("memo"), QStringLiteral("复核"));
    FMessages->ClearRecords();
    ASSERT_TRUE(Save(ret));
    EXPECT_FALSE(Shown(QStringLiteral("是否生成盘点单")));
    EXPECT_EQ(Db(QStringLiteral("select count(*) from baldetail where refertype = 4 and referbillid = :r"), {{QStringLiteral("r"), returnId}}).toInt(), 1);
}

TEST_F(SalesCycleTest, AWriteOffThatCannotRunLeavesTheReturnAndTheBooksAsSaved)
{
    auto returnWithDamage = [this] {
        auto* ret = qobject_cast<TSReturnForm*>(NewBill(QStringLiteral("SReturnForm"), FClient));
        AddLine(ret, FGoods, 2, 100);
        SetLine(ret, QStringLiteral("isbad"), 1);
        ret->cdsDetail->Post();
        return ret;
    };
    const int bills = Db(QStringLiteral("select count(*) from balitem")).toInt();
    FMessages->ClearRecords();
    // No to the question: nothing generated, the return stands
    TSReturnForm* ret = returnWithDamage();
    FMessages->AnswerWhen(QStringLiteral("是否生成盘点单"), IDNO);
    ASSERT_TRUE(Save(ret));
    EXPECT_TRUE(ret->GeneratedStocktaking.isEmpty());
    // the lock held elsewhere
    ret = returnWithDamage();
    const auto lock = ret->Rules().Lock;
    ret->Rules().Lock = [](const QString&, bool acquire) { return !acquire; };
    FMessages->AnswerWhen(QStringLiteral("是否生成盘点单"), IDYES);
    ASSERT_TRUE(Save(ret));
    EXPECT_TRUE(Shown(QStringLiteral("其他用户正在更新数据！")));
    ret->Rules().Lock = lock;
    // the stocktaking bill refused by the database: rolled back, told
    ret = returnWithDamage();
    FCon->Execute(QStringLiteral("create trigger no_stocktaking before insert on balitem begin select raise(abort, 'locked by audit'); end"));
    const double stock = OnHand(FGoods.GoodsID);
    FMessages->AnswerWhen(QStringLiteral("是否生成盘点单"), IDYES);
    ASSERT_TRUE(Save(ret));
    EXPECT_TRUE(Shown(QStringLiteral("生成盘点单失败"))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(ret->GeneratedStocktaking.isEmpty());
    EXPECT_NEAR(OnHand(FGoods.GoodsID), stock + 2, 1e-9) << "the return itself is saved";
    EXPECT_EQ(Db(QStringLiteral("select count(*) from balitem")).toInt(), bills);
    EXPECT_EQ(Db(QStringLiteral("select count(*) from baldetail where refertype = 4")).toInt(), 0);
}
