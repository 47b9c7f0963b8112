// Sales orders and quotations: their date and range rules at the edges, the closed and
// finished states, and the hand-over of an order's lines to a new purchase order.
#include "SalesFixture.h"

#include "bills/sales/SOrderForm.h"
#include "pickers/ImportWizardForm.h"
#include "platform/DBControls.h"
#include "platform/DataSet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QMetaObject>
#include <QTest>

#include <xlsxwriter.h>

class SalesOrdersTest : public TSalesTest {};

TEST_F(SalesOrdersTest, DeliveryDateAndOrderAmountAreHeldAtTheirEdges)
{
    const int client = Client(3);
    const TStock goods = Stocked(0);
    TSalesBillForm* f = NewBill(QStringLiteral("SOrderForm"), client);
    ASSERT_NE(f, nullptr);
    AddLine(f, goods, 4, 10);
    const QDateTime billDate = f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    Set(f, QStringLiteral("takedate"), billDate.addDays(-1));
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("交货日期不能小于开单日期！")));
    // a negative order is refused before the date is looked at
    SetLine(f, QStringLiteral("unitprice"), -10);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("本次订单金额不能小于零！")));
    SetLine(f, QStringLiteral("unitprice"), 10);
    f->cdsDetail->Post();
    Set(f, QStringLiteral("takedate"), billDate);
    ASSERT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    SetLine(f, QStringLiteral("unitprice"), 0);
    SetLine(f, QStringLiteral("unitqty"), -1);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("货品数量必须大于零！"))) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
}

TEST_F(SalesOrdersTest, ClosedAndFinishedOrdersTurnReadOnlyAndShowTheirMark)
{
    const int client = Client(3);
    auto* f = qobject_cast<TSOrderForm*>(NewBill(QStringLiteral("SOrderForm"), client));
    ASSERT_NE(f, nullptr);
    AddLine(f, Stocked(0), 4, 10);
    ASSERT_TRUE(Save(f));
    const int id = f->CurrentBillID;
    EXPECT_FALSE(f->ReadOnly());
    EXPECT_FALSE(f->Shape->isVisible());

    // Closed by hand through its box and saved, then opened again the same way.
    auto* closing = qobject_cast<QAbstractButton*>(f->FieldEditor(QStringLiteral("closed")));
    ASSERT_NE(closing, nullptr) << "the order's window has its closing box";
    auto closedInDb = [&] { return Db(QStringLiteral("select closed from sorder where sorderid = %1").arg(id)).toString(); };
    closing->click();
    EXPECT_TRUE(f->ReadOnly()) << "read-only as soon as it is ticked";
    ASSERT_TRUE(Save(f));
    EXPECT_EQ(closedInDb(), QStringLiteral("T"));
    EXPECT_TRUE(f->ReadOnly());
    EXPECT_TRUE(f->ASaveNew->isEnabled()) << "a closed order is saved to open it again";
    if (!qEnvironmentVariableIsEmpty("TB_SHOTS"))
        f->grab().save(qEnvironmentVariable("TB_SHOTS") + QStringLiteral("/sorder_closed.png"));
    ASSERT_TRUE(closing->isEnabled());
    closing->click();
    EXPECT_FALSE(f->ReadOnly());
    ASSERT_TRUE(Save(f));
    EXPECT_EQ(closedInDb(), QStringLiteral("F"));

    FCon->Execute(QStringLiteral("update sorder set finished = 'T' where sorderid = :id"), {{QStringLiteral("id"), id}});
    f->LoadBillByID(id);
    EXPECT_TRUE(f->Shape->isVisible());
    EXPECT_EQ(f->FinishedLabel->text(), QStringLiteral("执行完毕"));
    EXPECT_TRUE(f->ReadOnly()) << "ORDEREXECFINISHED is 1 in the demo account";
    FCon->Execute(QStringLiteral("update sorder set finished = 'F', closed = 'T' where sorderid = :id"), {{QStringLiteral("id"), id}});
    f->LoadBillByID(id);
    EXPECT_FALSE(f->Shape->isVisible());
    EXPECT_TRUE(f->ReadOnly());
}

TEST_F(SalesOrdersTest, QuotationRangesAndValidityAreCheckedInTheEnteredUnit)
{
    const int client = Client(4);
    TBillWindowTest::TDemoGoods g = Goods(0);
    ASSERT_GT(g.PackRate, 1);
    TSalesBillForm* f = NewBill(QStringLiteral("QuotationForm"), client);
    ASSERT_NE(f, nullptr);
    SetDataSetPost(f->cdsDetail);
    f->cdsDetail->Append();
    ASSERT_TRUE(f->EnterGoodsText(g.PackBarCode));
    EXPECT_EQ(f->cdsDetail->FieldByName(QStringLiteral("closed"))->AsString(), QStringLiteral("F"));
    SetLine(f, QStringLiteral("unitprice"), 50);
    SetLine(f, QStringLiteral("unitbegqty"), 0);
    SetLine(f, QStringLiteral("unitendqty"), 0);
    f->cdsDetail->Post();
    const QDateTime day = f->cdsMaster->FieldByName(QStringLiteral("billdate"))->AsDateTime();
    Set(f, QStringLiteral("begdate"), day);
    Set(f, QStringLiteral("enddate"), day.addDays(-1));
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("结束日期不能小于开始日期！")));
    Set(f, QStringLiteral("enddate"), day);
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("数量段(到) 必须大于 数量段(从) ！")));
    SetLine(f, QStringLiteral("unitbegqty"), -1);
    f->cdsDetail->Post();
    FMessages->ClearRecords();
    EXPECT_FALSE(Save(f));
    EXPECT_TRUE(Shown(QStringLiteral("数量段(从) 必须大于等于零！")));
    SetLine(f, QStringLiteral("unitbegqty"), 0);
    SetLine(f, QStringLiteral("unitendqty"), 1);
    f->cdsDetail->Post();
    // the range is kept in the base unit as well
    EXPECT_NEAR(f->cdsDetail->FieldByName(QStringLiteral("endqty"))->AsFloat(), g.PackRate, 1e-9);
    ASSERT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_NEAR(Db(QStringLiteral("select endqty from quotationdetail where quotationid = :id"), {{QStringLiteral("id"), f->CurrentBillID}}).toDouble(),
                g.PackRate, 1e-9);
}

TEST_F(SalesOrdersTest, AnOrderHandsItsGoodsUnitsAndQuantitiesToANewPurchaseOrder)
{
    const int client = Client(5);
    TSalesBillForm* f = NewBill(QStringLiteral("SOrderForm"), client);
    const TStock a = Stocked(0), b = Stocked(1);
    AddLine(f, a, 3, 10);
    AddLine(f, b, 7, 11);
    ASSERT_TRUE(Save(f));
    const int orderId = f->CurrentBillID;
    f->MakePOrderFromSOrder();
    TBillBaseForm* po = nullptr;
    for (TBillBaseForm* w : LiveBillForms())
        if (w->objectName() == QLatin1String("PorderForm"))
            po = w;
    ASSERT_NE(po, nullptr) << "the purchase order window opens";
    EXPECT_EQ(po->SourceOrderID, orderId);
    if (po->metaObject()->indexOfMethod("TakeSourceOrderLines()") < 0)
        GTEST_SKIP() << "the purchase order window takes no sales order lines yet";
    QTest::qWait(50);
    QApplication::processEvents();
    ASSERT_EQ(po->cdsDetail->RecordCount(), 2);
    po->cdsDetail->First();
    EXPECT_EQ(po->cdsDetail->FieldByName(QStringLiteral("goodsid"))->AsInteger(), a.GoodsID);
    EXPECT_DOUBLE_EQ(po->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 3);
    po->cdsDetail->Next();
    EXPECT_EQ(po->cdsDetail->FieldByName(QStringLiteral("goodsid"))->AsInteger(), b.GoodsID);
    EXPECT_EQ(po->cdsDetail->FieldByName(QStringLiteral("unitid"))->AsInteger(), b.UnitID);
    EXPECT_DOUBLE_EQ(po->cdsDetail->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 7);
}

TEST_F(SalesOrdersTest, ASpreadsheetOfLinesIsImportedThroughTheHostGuide)
{
    const TStock a = Stocked(0), b = Stocked(1);
    // a workbook of the kind a customer sends: codes, quantities, prices and one unknown code
    const QString path = FDir.filePath(QStringLiteral("order-lines.xlsx"));
    lxw_workbook* wb = workbook_new(path.toUtf8().constData());
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    const char* headers[] = {"货品编号", "数量", "单价"};
    for (int c = 0; c < 3; ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), headers[c], nullptr);
    const struct {
        QByteArray Code;
        double Qty, Price;
    } rows[] = {{a.Code.toUtf8(), 4, 12.5}, {b.Code.toUtf8(), 1.5, 30}, {QByteArrayLiteral("NO-SUCH-GOODS"), 1, 1}};
    for (int r = 0; r < 3; ++r) {
        worksheet_write_string(ws, lxw_row_t(r + 1), 0, rows[r].Code.constData(), nullptr);
        worksheet_write_number(ws, lxw_row_t(r + 1), 1, rows[r].Qty, nullptr);
        worksheet_write_number(ws, lxw_row_t(r + 1), 2, rows[r].Price, nullptr);
    }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);

    auto* f = qobject_cast<TSOrderForm*>(NewBill(QStringLiteral("SOrderForm"), Client(4)));
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->Execl1, nullptr);
    EXPECT_EQ(f->Execl1->text(), QStringLiteral("导入Excel"));
    auto* lineMenu = f->ItemDBGrid->findChild<QMenu*>(QStringLiteral("GridPopupMenu"));
    ASSERT_NE(lineMenu, nullptr);
    EXPECT_TRUE(lineMenu->actions().contains(f->Execl1)) << "offered on the lines' popup menu";

    int guides = 0;
    QStringList problems;
    auto scriptGuide = [&] {
        FMessages->OnModal(QStringLiteral("BillLoadDetailForm"), [&](QDialog* d) {
            ++guides;
            auto* w = d->findChild<TBillLoadDetailForm*>();
            w->edFileName->setText(path);
            w->btnNext->click();
            w->btnAutoAdd->click();
            w->btnNext->click();
            EXPECT_EQ(w->Step(), 3) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
            problems = w->edProblems->toPlainText().split(u'\n', Qt::SkipEmptyParts);
            w->btnFinish->click();
            return int(QDialog::Accepted);
        });
    };
    scriptGuide();
    f->Execl1->trigger();
    ASSERT_EQ(guides, 1) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(problems.size(), 1) << problems.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(f->cdsDetail->RecordCount(), 2);
    double total = 0;
    int i = 0;
    for (f->cdsDetail->First(); !f->cdsDetail->Eof(); f->cdsDetail->Next(), ++i) {
        auto num = [f](const char* n) { return f->cdsDetail->FieldByName(QString::fromLatin1(n))->AsFloat(); };
        EXPECT_EQ(f->cdsDetail->FieldByName(QStringLiteral("goodsid"))->AsInteger(), i == 0 ? a.GoodsID : b.GoodsID);
        EXPECT_DOUBLE_EQ(num("unitqty"), rows[i].Qty);
        EXPECT_DOUBLE_EQ(num("unitprice"), rows[i].Price);
        EXPECT_NEAR(num("goodsamt"), rows[i].Qty * rows[i].Price, 0.005) << "the lines are priced as typed ones";
        total += num("amount");
    }
    EXPECT_GT(total, 0);
    ASSERT_TRUE(Save(f)) << FMessages->Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(Db(QStringLiteral("select count(*) from sorderdetail where sorderid = :o"), {{QStringLiteral("o"), f->CurrentBillID}}).toInt(), 2);

    // a closed order takes no more lines: the guide does not open
    Set(f, QStringLiteral("closed"), QStringLiteral("T"));
    ASSERT_TRUE(f->ReadOnly());
    scriptGuide();
    f->Execl1->trigger();
    EXPECT_EQ(guides, 1);
}
