// A sales invoice entered through "SHOWBILLFORM", saved, and printed by its print action to a
// PDF: what lands on paper is read back out of the file, and the bill carries the printed
// mark afterwards. An operator without the print right is turned away.
#include "PackageFixture.h"

#include "printing/PrintTemplates.h"
#include "services/MoneyToChinese.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QStandardPaths>

namespace {

class TBillPrintTest : public TPackageTest {
protected:
    void SetUp() override
    {
        TPackageTest::SetUp();
        // Template files are written under the application folder: keep them in the test's.
        SetPrintAppDirectory(FDir.path());
    }
    void TearDown() override
    {
        SetPrintAppDirectory(QString());
        TPackageTest::TearDown();
    }

    QVariant DbValue(const QString& sql) { return FCon->ExecuteScalar(sql); }

    TBillBaseForm* OpenInvoiceForm()
    {
        Bill_Call(QStringLiteral("SHOWBILLFORM"), QStringLiteral("InvoiceForm"), nullptr);
        const QList<TBillBaseForm*> forms = LiveBillForms();
        return forms.size() == 1 && forms.first()->objectName() == QLatin1String("InvoiceForm") ? forms.first() : nullptr;
    }

    void AddLine(TBillBaseForm* f, int goodsId, double qty, double price)
    {
        const int unit = DbValue(QStringLiteral("select unitid from goodsunit where unittype = 0 and goodsid = %1").arg(goodsId)).toInt();
        TClientDataSet* d = f->cdsDetail;
        f->InsertDetailLine();
        auto set = [d](const char* field, const QVariant& v) { d->FieldByName(QString::fromLatin1(field))->SetValue(v); };
        set("goodsid", goodsId);
        set("unitid", unit);
        set("unitqty", qty);
        set("quantity", qty);
        for (const char* p : {"unitprice", "price", "aprice"})
            set(p, price);
        set("goodsamt", qty * price);
        set("amount", qty * price);
        set("disc", 100);
        set("taxrate", 0);
        set("taxamt", 0);
        d->Post();
    }

    // An invoice to the first client with three lines, saved; its id.
    int EnterAndSaveInvoice(TBillBaseForm* f)
    {
        TClientDataSet* m = f->cdsMaster;
        m->FieldByName(QStringLiteral("clientid"))
            ->SetValue(DbValue(QStringLiteral("select min(clientid) from client where clientkind = 1")));
        SafeSetFieldValue(m, QStringLiteral("storeid"), 1);
        SafeSetFieldValue(m, QStringLiteral("exemanid"), 7);
        SetDataSetPost(m);
        TClientDataSet goods;
        FCon->OpenDataSet(QStringLiteral("select goodsid from goods where kind < 4 and closed = 'F' and inf_costingtypeid = 1 and batchctrl = 'F'"
                                         " order by goodsid limit 3"),
                          &goods);
        const double qty[] = {2, 3, 1};
        const double price[] = {12.5, 7.2, 100.35};
        int i = 0;
        for (goods.First(); !goods.Eof() && i < 3; goods.Next(), ++i)
            AddLine(f, goods.Fields(0)->AsInteger(), qty[i], price[i]);
        EXPECT_EQ(i, 3) << "the demo database has too few goods";
        // Selling may take stock below zero: the save asks, and goes on.
        for (int check = 0; check < 2; ++check)
            FMessages->OnModal(QStringLiteral("BillCheckOnHandForm"), [](QDialog* d) {
                d->findChild<QPushButton*>(QStringLiteral("btnIgnore"))->click();
                return int(QDialog::Accepted);
            });
        EXPECT_TRUE(f->SaveBill()) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
        return f->CurrentBillID;
    }

    static QString PdfText(const QString& pdf)
    {
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

TEST_F(TBillPrintTest, PrintActionWritesTheInvoiceAndMarksItPrinted)
{
    TBillBaseForm* f = OpenInvoiceForm();
    ASSERT_NE(f, nullptr) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    const int id = EnterAndSaveInvoice(f);
    ASSERT_NE(id, kNoBillID);
    ASSERT_FALSE(f->IsNewBill);
    const QString where = QStringLiteral(" from invoice where invoiceid = %1").arg(id);
    ASSERT_EQ(DbValue(QStringLiteral("select printed") + where).toInt(), 0) << "a new bill starts unprinted";
    const QString code = DbValue(QStringLiteral("select code") + where).toString();
    ASSERT_FALSE(code.isEmpty());
    const double total = DbValue(QStringLiteral("select sum(amount) from saledetail where invoiceid = %1").arg(id)).toDouble();
    EXPECT_DOUBLE_EQ(total, 2 * 12.5 + 3 * 7.2 + 100.35) << "the lines as entered";
    const QString company = DbValue(QStringLiteral("select companyname from accinfo")).toString();
    ASSERT_FALSE(company.isEmpty());

    FMessages->ClearRecords();
    const QString pdf = FDir.filePath(QStringLiteral("invoice.pdf"));
    f->PdfOutputFile = pdf;
    // A bill without a template of its own is offered the standard one.
    FMessages->AnswerWhen(QStringLiteral("标准样式"), IDYES);
    f->APrint->trigger();

    EXPECT_EQ(FMessages->Count(TMessageKind::Error), 0) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(QFileInfo::exists(pdf));
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(DbValue(QStringLiteral("select printed") + where).toInt(), 1);
    // The form shows the bill again afterwards, with the mark.
    EXPECT_EQ(f->CurrentBillID, id);
    EXPECT_EQ(f->MasterValue(QStringLiteral("printed")).toInt(), 1);

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed: the PDF's text is not checked";
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(code)) << code.toStdString() << "\n" << text.toStdString();
    EXPECT_TRUE(text.contains(company)) << company.toStdString();
    EXPECT_TRUE(text.contains(MoneyToChinese(total))) << MoneyToChinese(total).toStdString() << "\n" << text.toStdString();
}

TEST_F(TBillPrintTest, NewBillIsNotPrintedAndStaysUnmarked)
{
    TBillBaseForm* f = OpenInvoiceForm();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->IsNewBill);
    const QString pdf = FDir.filePath(QStringLiteral("new.pdf"));
    f->PdfOutputFile = pdf;
    const int printedBefore = DbValue(QStringLiteral("select count(*) from invoice where printed = 1")).toInt();
    f->APrint->trigger();
    if (GetAccOptionValue(QStringLiteral("BILLPRINTAFTERSAVE")) != QStringLiteral("1")) {
        EXPECT_TRUE(FMessages->Contains(QStringLiteral("新增状态不能进行打印！"))) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_EQ(DbValue(QStringLiteral("select count(*) from invoice where printed = 1")).toInt(), printedBefore);
}

TEST_F(TBillPrintTest, OperatorWithoutThePrintRightIsRefused)
{
    // The clerk may browse and enter invoices; here she is not allowed to print them.
    FCon->Execute(QStringLiteral("delete from operatorright where opid = 2 and privilegeid = 34 and action = 6"));
    Login(2);
    ASSERT_TRUE(GetUPrivilegeItem(34, paBrowse));
    ASSERT_FALSE(GetUPrivilegeItem(34, paPrint));

    TBillBaseForm* f = OpenInvoiceForm();
    ASSERT_NE(f, nullptr) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    const int id = EnterAndSaveInvoice(f);
    ASSERT_NE(id, kNoBillID);
    FMessages->ClearRecords();
    const QString pdf = FDir.filePath(QStringLiteral("refused.pdf"));
    f->PdfOutputFile = pdf;
    f->APrint->trigger();

    ASSERT_EQ(FMessages->Count(), 1) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(FMessages->Last().Text, QStringLiteral("您未被授权使用该功能"));
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_EQ(DbValue(QStringLiteral("select printed from invoice where invoiceid = %1").arg(id)).toInt(), 0);

    // With the right back, the same bill prints.
    Grant(2, 34, paPrint);
    f->Privilege()->Refresh();
    FMessages->ClearRecords();
    FMessages->AnswerWhen(QStringLiteral("标准样式"), IDYES);
    f->APrint->trigger();
    EXPECT_FALSE(FMessages->Contains(QStringLiteral("您未被授权使用该功能")));
    EXPECT_TRUE(QFileInfo::exists(pdf));
    EXPECT_EQ(DbValue(QStringLiteral("select printed from invoice where invoiceid = %1").arg(id)).toInt(), 1);
}

TEST_F(TBillPrintTest, PrintingFromTheBillAsksThroughThePrintDialogAndPreviewIsOneClick)
{
    TBillBaseForm* f = OpenInvoiceForm();
    ASSERT_NE(f, nullptr) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    const int id = EnterAndSaveInvoice(f);
    ASSERT_NE(id, kNoBillID);
    const QString where = QStringLiteral(" from invoice where invoiceid = %1").arg(id);
    FMessages->ClearRecords();

    // The print button asks for printer, copies and pages; the user prints into a PDF.
    const QString pdf = FDir.filePath(QStringLiteral("dialog.pdf"));
    FMessages->AnswerWhen(QStringLiteral("标准样式"), IDYES);
    int shownCopies = 0;
    FMessages->OnModal(QStringLiteral("PrintDialog"), [&](QDialog* d) {
        auto* dlg = qobject_cast<QPrintDialog*>(d);
        if (!dlg)
            throw std::runtime_error("expected the print dialog");
        shownCopies = dlg->printer()->copyCount();
        dlg->printer()->setOutputFormat(QPrinter::PdfFormat);
        dlg->printer()->setOutputFileName(pdf);
        dlg->printer()->setCopyCount(2);
        return int(QDialog::Accepted);
    });
    f->btnPrint->click();
    EXPECT_EQ(FMessages->PendingDialogs(), 0) << "the print dialog was not shown";
    EXPECT_EQ(shownCopies, 1);
    EXPECT_EQ(FMessages->Count(TMessageKind::Error), 0) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(QFileInfo::exists(pdf));
    EXPECT_EQ(DbValue(QStringLiteral("select printed") + where).toInt(), 1);

    // Cancelling the dialog leaves the bill as it was.
    FCon->Execute(QStringLiteral("update invoice set printed = 0 where invoiceid = %1").arg(id));
    f->LoadBillByID(id);
    FMessages->AnswerWhen(QStringLiteral("标准样式"), IDYES);
    FMessages->OnModal(QStringLiteral("PrintDialog"), [](QDialog*) { return int(QDialog::Rejected); });
    f->APrint->trigger();
    EXPECT_EQ(FMessages->PendingDialogs(), 0);
    EXPECT_EQ(DbValue(QStringLiteral("select printed") + where).toInt(), 0);

    // Preview has a button of its own on the tool bar; from the preview the bill is saved
    // as a PDF, which does not count as printing it.
    ASSERT_NE(f->btnPrintPreview, nullptr);
    EXPECT_EQ(f->btnPrintPreview->defaultAction(), f->APrintView);
    const QString saved = FDir.filePath(QStringLiteral("preview.pdf"));
    FMessages->AnswerWhen(QStringLiteral("标准样式"), IDYES);
    FMessages->OnModal(QStringLiteral("BillPreview"), [](QDialog* d) {
        d->findChild<QAction*>(QStringLiteral("ASavePdf"))->trigger();
        return int(QDialog::Rejected);
    });
    FMessages->OnModal(QStringLiteral("SavePdfDialog"), [&](QDialog* d) {
        qobject_cast<QFileDialog*>(d)->selectFile(saved);
        return int(QDialog::Accepted);
    });
    f->btnPrintPreview->click();
    EXPECT_EQ(FMessages->PendingDialogs(), 0);
    ASSERT_TRUE(QFileInfo::exists(saved));
    EXPECT_GT(QFileInfo(saved).size(), 0);
    EXPECT_EQ(DbValue(QStringLiteral("select printed") + where).toInt(), 0);
}

TEST_F(TBillPrintTest, PrintingAfterSaveGoesStraightToThePrinter)
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        GTEST_SKIP() << "a printer is installed here: printing straight to it would print on paper";
    FCon->Execute(QStringLiteral("update accoption set optionvalue = '1' where optionkey = 'BILLPRINTAFTERSAVE'"));
    ReloadAccOptions();
    TBillBaseForm* f = OpenInvoiceForm();
    ASSERT_NE(f, nullptr);
    FMessages->AnswerWhen(QStringLiteral("标准样式"), IDYES);
    // No print dialog is scripted: one showing up would fail the save loudly.
    const int id = EnterAndSaveInvoice(f);
    ASSERT_NE(id, kNoBillID);
    EXPECT_EQ(FMessages->Count(TMessageKind::Modal), 2) << "the two stock warnings, no print dialog";
    // This machine has no printer, so the straight print is refused in words.
    EXPECT_TRUE(FMessages->Contains(QStringLiteral("没有设置默认打印机"))) << FMessages->Texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(DbValue(QStringLiteral("select printed from invoice where invoiceid = %1").arg(id)).toInt(), 0);
    FCon->Execute(QStringLiteral("update accoption set optionvalue = '0' where optionkey = 'BILLPRINTAFTERSAVE'"));
    ReloadAccOptions();
}

} // namespace
