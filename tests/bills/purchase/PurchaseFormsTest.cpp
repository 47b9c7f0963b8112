// The purchase windows' own checks and states, each shown as the clerk meets it: a refused
// save tells why and leaves the bill unsaved and editable; an accepted one is in the database.
#include "PurchaseFixture.h"

#include "bills/purchase/PorderForm.h"
#include "bills/purchase/RecieveForm.h"
#include "bills/purchase/ValuedRecieveForm.h"
#include "pickers/ImportWizardFiles.h"
#include "pickers/SmallDialogs.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {

class PurchaseForms : public TPurchaseWindowTest {
protected:
    // Refused with the message, nothing saved, the bill still new and editable.
    void ExpectRefused(TGoodsBillForm* f, const QString& table, const QString& key, const QString& message)
    {
        FMessages->ClearRecords();
        EXPECT_EQ(SaveNew(f, table, key), 0) << message.toStdString();
        EXPECT_TRUE(Shown(message)) << message.toStdString() << " | " << FMessages->Texts().join(u'|').toStdString();
        EXPECT_TRUE(f->IsNewBill);
        EXPECT_FALSE(f->ReadOnly());
    }
    void ExpectSaved(TGoodsBillForm* f, const QString& table, const QString& key)
    {
        FMessages->ClearRecords();
        EXPECT_GT(SaveNew(f, table, key), 0) << FMessages->Texts().join(u'|').toStdString();
    }
    void SetLine(TGoodsBillForm* f, const QString& field, const QVariant& v)
    {
        f->cdsDetail->FieldByName(field)->SetValue(v);
        f->cdsDetail->Post();
    }
};

} // namespace

TEST_F(PurchaseForms, OrderChecksAmountDeliveryDateAndQuantity)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("PorderForm"));
    ASSERT_NE(f, nullptr);
    const QString t = QStringLiteral("porder"), k = QStringLiteral("orderid");
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 5, 2);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, -1, 2);
    ExpectRefused(f, t, k, QStringLiteral("货品数量必须大于零！"));
    SetLine(f, f->FieldNames.UnitQty, -6);
    ExpectRefused(f, t, k, QStringLiteral("本次订单金额不能小于零！"));
    f->cdsDetail->Delete();
    const QDateTime billed = f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    Set(f, QStringLiteral("revdate"), billed.addDays(-1));
    ExpectRefused(f, t, k, QStringLiteral("交货日期不能小于开单日期！"));
    Set(f, QStringLiteral("revdate"), billed);
    ExpectSaved(f, t, k);
}

TEST_F(PurchaseForms, ReceiptChecksStoreInvoiceTermAndOrderReference)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("RecieveForm"));
    ASSERT_NE(f, nullptr);
    const QString t = QStringLiteral("recieved"), k = QStringLiteral("recievedid");
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 3);
    Set(f, QStringLiteral("storeid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("请输入仓库！"));
    Set(f, QStringLiteral("storeid"), store);
    Set(f, QStringLiteral("billtypeid"), 0);
    ExpectRefused(f, t, k, QStringLiteral("请输入发票类型！"));
    Set(f, QStringLiteral("billtypeid"), 1);
    for (int term : {1000, -1}) {
        Set(f, QStringLiteral("termdays"), term);
        ExpectRefused(f, t, k, QStringLiteral("付款期限必须大于等于零小于1000！"));
    }
    Set(f, QStringLiteral("termdays"), 999);
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("1"));
    ExpectRefused(f, t, k, QStringLiteral("必须引用采购订单生成明细！"));
    EXPECT_TRUE(static_cast<TRecieveForm*>(f)->IsColumnReadOnly(QStringLiteral("goodsname")));
    EXPECT_TRUE(static_cast<TRecieveForm*>(f)->IsColumnReadOnly(QStringLiteral("purappamt")));
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("0"));
    ExpectSaved(f, t, k);
}

TEST_F(PurchaseForms, CashPurchaseNeedsAnAccountAndMindsItsBalance)
{
    const QString t = QStringLiteral("crecieved"), k = QStringLiteral("crecievedid");
    FCon->Execute(QStringLiteral("update bank set balance = 5 where bankid = :b"), {{QStringLiteral("b"), bank}});
    TGoodsBillForm* f = OpenFilled(QStringLiteral("CashRecieveForm"));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 3);
    Set(f, QStringLiteral("bankid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("请输入付款帐户！"));
    Set(f, QStringLiteral("bankid"), bank);

    Option(QStringLiteral("BANKNEGATIVE"), QStringLiteral("1"));
    FMessages->AnswerWhen(QStringLiteral("帐户余额为负"), IDNO);
    ExpectRefused(f, t, k, QStringLiteral("该单保存之后，帐户余额为负，是否继续保存？"));
    Option(QStringLiteral("BANKNEGATIVE"), QStringLiteral("2"));
    ExpectRefused(f, t, k, QStringLiteral("该单保存之后，帐户余额为负，单据不能保存。"));
    EXPECT_EQ(Db(QStringLiteral("select balance from bank where bankid = :b"), {{QStringLiteral("b"), bank}}).toDouble(), 5);

    Option(QStringLiteral("BANKNEGATIVE"), QStringLiteral("1"));
    FMessages->AnswerWhen(QStringLiteral("帐户余额为负"), IDYES);
    ExpectSaved(f, t, k);
    EXPECT_TRUE(Shown(QStringLiteral("该单保存之后，帐户余额为负，是否继续保存？")));
    EXPECT_NEAR(Db(QStringLiteral("select balance from bank where bankid = :b"), {{QStringLiteral("b"), bank}}).toDouble(),
                5 - Db(QStringLiteral("select max(totalamt) from crecieved")).toDouble(), 1e-9);
}

TEST_F(PurchaseForms, ACashPurchaseOfNothingNeedsNoAccount)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("CashRecieveForm"));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2);
    SetLine(f, f->FieldNames.UnitPrice, 0);
    Set(f, QStringLiteral("bankid"), QVariant());
    ExpectSaved(f, QStringLiteral("crecieved"), QStringLiteral("crecievedid"));
}

TEST_F(PurchaseForms, DiscountGoodsAloneAreRefusedOnCashPurchasesAndReturns)
{
    const int discount = Db(QStringLiteral("select min(goodsid) from goods where kind = 7 and closed = 'F'")).toInt();
    ASSERT_GT(discount, 0);
    const int discountUnit = Db(QStringLiteral("select min(unitid) from goodsunit where goodsid = :g"), {{QStringLiteral("g"), discount}}).toInt();
    for (const char* form : {"CashRecieveForm", "PReturnForm"}) {
        SCOPED_TRACE(form);
        TGoodsBillForm* f = OpenFilled(QString::fromLatin1(form));
        ASSERT_NE(f, nullptr);
        if (f->cdsMaster->FindField(QStringLiteral("backmoney")))
            Set(f, QStringLiteral("backmoney"), QStringLiteral("T"));
        Set(f, QStringLiteral("bankid"), bank);
        AddLine(f, discount, discountUnit, 1, 1);
        FMessages->ClearRecords();
        EXPECT_FALSE(f->ValidateSourceLines());
        EXPECT_TRUE(Shown(QStringLiteral("明细表不能只有折扣类货品！")));
        AddLine(f, goods.GoodsID, goods.BaseUnitID, 1, 1);
        EXPECT_TRUE(f->ValidateSourceLines()) << "one ordinary line is enough";
        FMessages->AnswerWhen(QStringLiteral("保存数据"), IDNO);
        f->close();
        delete f;
    }
}

TEST_F(PurchaseForms, ReturnRefundFieldsFollowBackMoney)
{
    TGoodsBillForm* f = OpenFilled(QStringLiteral("PReturnForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("backmoney"))->AsString(), QStringLiteral("F"));
    QWidget* bankEdit = f->FieldEditor(QStringLiteral("bankid"));

    Set(f, QStringLiteral("backmoney"), QStringLiteral("T"));
    if (bankEdit) {
        EXPECT_TRUE(bankEdit->isEnabled());
    }
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 1, 1);
    Set(f, QStringLiteral("bankid"), QVariant());
    ExpectRefused(f, QStringLiteral("preturn"), QStringLiteral("preturnid"), QStringLiteral("请输入收款帐户！"));
    EXPECT_FALSE(f->AMakeRedBill->isEnabled());
}

TEST_F(PurchaseForms, RedReceiptsKeepTheirNegativeQuantities)
{
    auto* f = static_cast<TRecieveForm*>(OpenFilled(QStringLiteral("RecieveForm")));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, -2, 3);
    EXPECT_FALSE(f->Rules().ValidateQuantities(true));
    Set(f, QStringLiteral("flag"), 1);
    EXPECT_TRUE(f->Rules().ValidateQuantities(true)) << "a red bill takes back what its original brought";
}

TEST_F(PurchaseForms, ExpenseBillRecalculatesChecksAndApportions)
{
    auto* f = static_cast<TPurchaseAppForm*>(Open(QStringLiteral("PurchaseAppForm")));
    ASSERT_NE(f, nullptr);
    Set(f, QStringLiteral("clientid"), vendor);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("paidamt"))->AsFloat(), 0);
    Set(f, QStringLiteral("taxrate"), 13);
    Set(f, QStringLiteral("totalamt"), 113);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("taxamt"))->AsFloat(), 14.69);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("appamt"))->AsFloat(), 98.31);
    Set(f, QStringLiteral("taxamt"), 13);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("appamt"))->AsFloat(), 100);
    Set(f, QStringLiteral("appamt"), 100);
    EXPECT_DOUBLE_EQ(f->cdsMaster->FieldByName(QStringLiteral("taxamt"))->AsFloat(), 13);

    // Three receipt lines of equal quantity and amount.
    for (int i = 0; i < 3; ++i)
        AddLine(f, goods.GoodsID, goods.BaseUnitID, 4, 0, {{QStringLiteral("goodsamt"), 10.0}});
    f->btnAppByQty->click();
    auto shares = [&] {
        QVector<double> out;
        const int col = f->cdsDetail->FieldByName(QStringLiteral("appamt"))->Index();
        for (int r = 0; r < f->cdsDetail->RecordCount(); ++r)
            out << f->cdsDetail->RowValue(r, col).toDouble();
        return out;
    };
    EXPECT_EQ(shares(), (QVector<double>{33.33, 33.33, 33.34}));
    f->cdsDetail->First();
    SetLine(f, QStringLiteral("goodsamt"), 20.0);
    f->btnAppByAmt->click();
    EXPECT_EQ(shares(), (QVector<double>{50, 25, 25}));

    // A payment needs an account; without one the account is cleared and closed.
    const QString t = QStringLiteral("purchaseapp"), k = QStringLiteral("purchaseappid");
    f->cdsDetail->Last();
    SetLine(f, QStringLiteral("appamt"), 24.0);
    ExpectRefused(f, t, k, QStringLiteral("费用金额与本次分摊费用合计必须相等！"));
    SetLine(f, QStringLiteral("appamt"), 25.0);
    Set(f, QStringLiteral("paidamt"), 50);
    ExpectRefused(f, t, k, QStringLiteral("请选择结算账户！"));
    if (QWidget* w = f->FieldEditor(QStringLiteral("bankid"))) {
        EXPECT_TRUE(w->isEnabled());
    }
    Set(f, QStringLiteral("paidamt"), 0);

    Set(f, QStringLiteral("totalamt"), 113);
    Set(f, QStringLiteral("taxamt"), 13);
    ExpectSaved(f, t, k);
}

TEST_F(PurchaseForms, ValuedReceiptsAndWriteBacks)
{
    const QString t = QStringLiteral("valuedrcvd"), k = QStringLiteral("billid");
    TGoodsBillForm* f = OpenFilled(QStringLiteral("ValuedRecieveForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->cdsMaster->FieldByName(QStringLiteral("billtype"))->AsInteger(), 0);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, -1, 2);
    ExpectRefused(f, t, k, QStringLiteral("货品数量必须大于零！"));
    SetLine(f, f->FieldNames.UnitQty, 5);
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("1"));
    ExpectRefused(f, t, k, QStringLiteral("明细必须是引用采购订单！"));
    Option(QStringLiteral("MUSTREFERPORDER"), QStringLiteral("0"));
    Set(f, QStringLiteral("storeid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("请输入仓库！"));
    Set(f, QStringLiteral("storeid"), store);
    const int valued = SaveNew(f, t, k);
    ASSERT_GT(valued, 0) << FMessages->Texts().join(u'|').toStdString();

    // The write-back takes 2 back out of it.
    f->NewBill();
    f->cdsMaster->FieldByName(QStringLiteral("clientid"))->SetValue(vendor);
    Set(f, QStringLiteral("storeid"), store);
    Set(f, QStringLiteral("billtype"), 1);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 2);
    ExpectRefused(f, t, k, QStringLiteral("货品数量必须小于零！"));
    SetLine(f, f->FieldNames.UnitQty, -2);
    ExpectRefused(f, t, k, QStringLiteral("明细必须是引用估价入库单！"));
    f->cdsDetail->FieldByName(QStringLiteral("refertype"))->SetValue(22);
    f->cdsDetail->FieldByName(QStringLiteral("referbillid"))->SetValue(valued);
    SetLine(f, QStringLiteral("referitemno"), 1);
    ExpectSaved(f, t, k);

    // A valued receipt owned by a goods receipt is shown, never edited here.
    FCon->Execute(QStringLiteral("update valuedrcvd set ownerbilltype = 7, ownerbillid = 1 where billid = :id"), {{QStringLiteral("id"), valued}});
    ASSERT_TRUE(f->LoadBillByID(valued));
    EXPECT_TRUE(f->ReadOnly());
    FMessages->ClearRecords();
    EXPECT_FALSE(static_cast<TValuedRecieveForm*>(f)->Rules().ValidateValuedReceipt());
    EXPECT_TRUE(Shown(QStringLiteral("冲红单据不能修改！"))) << FMessages->Texts().join(u'|').toStdString();
}

TEST_F(PurchaseForms, OpeningValuedReceiptsStandBeforeTheStart)
{
    const QDate start = Db(QStringLiteral("select startdate from accinfo")).toDateTime().date();
    ASSERT_TRUE(start.isValid());
    TGoodsBillForm* f = OpenFilled(QStringLiteral("ValuedRecieveInitForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_LT(f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime().date(), start) << "dated before the start by default";
    const QString t = QStringLiteral("valuedrcvd"), k = QStringLiteral("billid");
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 3, 2);
    Set(f, QStringLiteral("billdate"), QDateTime(start, QTime(0, 0)));
    ExpectRefused(f, t, k, QStringLiteral("初始化单据的日期必须在启用帐套日期前面！"));
    Set(f, QStringLiteral("billdate"), QDateTime(start.addDays(-3), QTime(0, 0)));
    const int otherShopStore = Db(QStringLiteral("select min(storeid) from store where shopid <> (select shopid from store where storeid = :s)"),
                                  {{QStringLiteral("s"), store}}).toInt();
    if (otherShopStore > 0) {
        Set(f, QStringLiteral("storeid"), otherShopStore);
        ExpectRefused(f, t, k, QStringLiteral("当前仓库不是当前分支机构的仓库，不能保存！"));
        Set(f, QStringLiteral("storeid"), store);
    }
    Set(f, QStringLiteral("shopid"), QVariant());
    ExpectRefused(f, t, k, QStringLiteral("分支机构不能为空！"));
    Set(f, QStringLiteral("shopid"), Db(QStringLiteral("select shopid from store where storeid = :s"), {{QStringLiteral("s"), store}}));
    ExpectSaved(f, t, k);
    const int opening = Db(QStringLiteral("select max(billid) from valuedrcvd")).toInt();

    // Once the account set's first period is closed, opening entries are history.
    FCon->Execute(QStringLiteral("delete from accperiod where date(startdate) <= :d and date(enddate) >= :d"), {{QStringLiteral("d"), start.toString(Qt::ISODate)}});
    FCon->Execute(QStringLiteral("insert into accperiod (periodid, year, month, startdate, enddate, iscurrent, acccurrent, closed)"
                                 " values (9901, :y, :m, :s, :e, 0, 0, 'T')"),
                  {{QStringLiteral("y"), start.year()}, {QStringLiteral("m"), start.month()},
                   {QStringLiteral("s"), start.toString(Qt::ISODate)}, {QStringLiteral("e"), start.addMonths(1).addDays(-1).toString(Qt::ISODate)}});
    ASSERT_TRUE(f->LoadBillByID(opening));
    FMessages->ClearRecords();
    EXPECT_FALSE(f->CanDeleteBill());
    EXPECT_TRUE(Shown(QStringLiteral("本单日期在当前进销存期间之前，不能保存或删除数据。"))) << FMessages->Texts().join(u'|').toStdString();
}

TEST_F(PurchaseForms, LowStockProposalIsAskedOnceAfterTheFirstSaveAndNew)
{
    // No goods short: no question when the window starts its first bill.
    FCon->Execute(QStringLiteral("update goods set downqty = null"));
    TGoodsBillForm* quiet = Open(QStringLiteral("PorderForm"));
    ASSERT_NE(quiet, nullptr);
    EXPECT_FALSE(Shown(QStringLiteral("库存量不足")));
    delete quiet;

    FCon->Execute(QStringLiteral("update goods set downqty = onhand + 5 where goodsid = :g"), {{QStringLiteral("g"), goods.GoodsID}});
    int chooserCalls = 0;
    TPorderForm::ChooseShortCategories = [&](TCategoryChoice* c) {
        ++chooserCalls;
        c->All = true;
        return true;
    };
    // The window starts its first bill with a save-and-new: that is when it proposes.
    FMessages->AnswerWhen(QStringLiteral("库存量不足"), IDYES);
    auto* f = static_cast<TPorderForm*>(Open(QStringLiteral("PorderForm")));
    TPorderForm::ChooseShortCategories = ShowLackGoodsFilter;
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(Shown(QStringLiteral("部分商品库存量不足,是否自动生成订单?")));
    EXPECT_EQ(chooserCalls, 1);
    ASSERT_EQ(f->cdsDetail->RecordCount(), 1);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.GoodsID)->AsInteger(), goods.GoodsID);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitID)->AsInteger(), goods.BaseUnitID);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitQty)->AsFloat(), 1);
    EXPECT_FALSE(f->cdsDetail->FieldByName(QStringLiteral("goodsname"))->AsString().isEmpty()) << "the goods engine filled the line";

    // The proposal saved; the next save-and-new asks nothing.
    Set(f, QStringLiteral("clientid"), vendor);
    FMessages->ClearRecords();
    const int before = Db(QStringLiteral("select count(*) from porder")).toInt();
    f->SaveAndNewBill();
    EXPECT_EQ(Db(QStringLiteral("select count(*) from porder")).toInt(), before + 1) << FMessages->Texts().join(u'|').toStdString();
    EXPECT_FALSE(Shown(QStringLiteral("库存量不足")));
    EXPECT_TRUE(f->IsNewBill);
}

TEST_F(PurchaseForms, ClosedAndFinishedOrdersInTheirWindow)
{
    auto* f = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 2);
    const int order = SaveNew(f, QStringLiteral("porder"), QStringLiteral("orderid"));
    ASSERT_GT(order, 0);
    EXPECT_FALSE(f->ReadOnly());
    EXPECT_FALSE(f->FinishedLabel->isVisible());

    FCon->Execute(QStringLiteral("update porder set closed = 'T' where orderid = :o"), {{QStringLiteral("o"), order}});
    ASSERT_TRUE(f->LoadBillByID(order));
    EXPECT_TRUE(f->ReadOnly());
    EXPECT_TRUE(f->ASaveNew->isEnabled()) << "a closed order can be reopened and saved";
    EXPECT_FALSE(f->APorderToSorder->isEnabled());

    FCon->Execute(QStringLiteral("update porder set closed = 'F', finished = 'T' where orderid = :o"), {{QStringLiteral("o"), order}});
    ASSERT_TRUE(f->LoadBillByID(order));
    EXPECT_TRUE(f->FinishedLabel->isVisible());
    EXPECT_EQ(f->FinishedLabel->text(), QStringLiteral("执行完毕"));
    EXPECT_TRUE(f->Shape->isVisible());
    EXPECT_TRUE(f->ReadOnly()) << "ORDEREXECFINISHED of the demo account set is 1";
}

TEST_F(PurchaseForms, AnOrderExportsToAWorkbook)
{
    auto* f = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(f, nullptr);
    AddLine(f, goods.GoodsID, goods.BaseUnitID, 2, 2);
    Set(f, QStringLiteral("memo"), QStringLiteral("急件"));
    ASSERT_GT(SaveNew(f, QStringLiteral("porder"), QStringLiteral("orderid")), 0);
    f->ExportFile = FDir.filePath(QStringLiteral("order.xlsx"));
    f->ExportBill();
    const TImportRead read = ReadImportXlsx(f->ExportFile);
    ASSERT_TRUE(read.Ok()) << read.Error.toStdString();
    QStringList cells = read.Sheet.Headers;
    for (const QStringList& row : read.Sheet.Rows)
        cells += row;
    const QString all = cells.join(u'|');
    for (const char* text : {"客户", "交货日期", "急件", "序号", "明细号", "比率"})
        EXPECT_TRUE(all.contains(QString::fromUtf8(text))) << text;
    EXPECT_TRUE(all.contains(Db(QStringLiteral("select name from client where clientid = :c"), {{QStringLiteral("c"), vendor}}).toString()));
    EXPECT_TRUE(all.contains(goods.Code)) << all.toStdString();
}

TEST_F(PurchaseForms, SalesOrderLinesComeOverIntoAnOrder)
{
    const int sorder = 9901;
    FCon->Execute(QStringLiteral("insert into sorderdetail (sorderid, itemno, goodsid, unitid, unitqty) values (:s, 1, :g, :u, 7)"),
                  {{QStringLiteral("s"), sorder}, {QStringLiteral("g"), goods.GoodsID}, {QStringLiteral("u"), goods.PackUnitID}});
    auto* f = static_cast<TPorderForm*>(OpenFilled(QStringLiteral("PorderForm")));
    ASSERT_NE(f, nullptr);
    f->SourceOrderID = sorder;
    f->FromSourceOrder = true;
    QMetaObject::invokeMethod(f, "TakeSourceOrderLines", Qt::QueuedConnection);
    QApplication::processEvents();
    ASSERT_EQ(f->cdsDetail->RecordCount(), 1);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitID)->AsInteger(), goods.PackUnitID);
    EXPECT_EQ(f->cdsDetail->FieldByName(f->FieldNames.UnitQty)->AsFloat(), 7);
    EXPECT_NEAR(f->cdsDetail->FieldByName(f->FieldNames.Quantity)->AsFloat(), 7 * goods.PackRate, 1e-9);
    EXPECT_FALSE(f->FromSourceOrder) << "taken once";
}
