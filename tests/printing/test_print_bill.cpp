// A sales invoice printed through its standard template into a PDF, read back as text.
#include "PrintingFixture.h"

#include "platform/report/ReportControl.h"
#include "platform/report/ReportPreview.h"
#include "printing/PrintBill.h"
#include "services/MoneyToChinese.h"

#include <QDir>
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>

#include <cmath>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// Pages the layout rules give for a template and a number of detail rows: the title and
// master block open page 1, later pages start with the page header, each page's rows
// follow the table header, and the totals row and summary stay together after the last
// row.
int ExpectedPages(const TReportTemplate& t, int rows)
{
    const double top = t.Page.MarginTop;
    const double bottom = t.Page.Height - t.Page.MarginBottom;
    const TReportBand* footer = t.Band(TReportBandKind::PageFooter);
    const TReportBand* header = t.Band(TReportBandKind::PageHeader);
    const double rowH = t.BandHeight(TReportBandKind::Detail);
    const double headH = t.Table.HeaderHeight;
    const double closing = rowH /* totals */ + t.BandHeight(TReportBandKind::Summary);
    auto limit = [&](int page) { return bottom - ((footer && (page > 0 || footer->PrintOnFirstPage)) ? footer->Height : 0); };
    auto start = [&](int page) {
        double y = top + ((header && (page > 0 || header->PrintOnFirstPage)) ? header->Height : 0);
        if (page == 0)
            y += t.BandHeight(TReportBandKind::Title) + t.BandHeight(TReportBandKind::MasterHeader);
        return y;
    };
    int page = 0, left = rows;
    double y = start(0);
    bool rowsOnPage = false;
    while (left > 0) {
        const int fit = int(std::floor((limit(page) - y - headH + 1e-6) / rowH));
        if (fit <= 0) {
            ++page;
            y = start(page);
            continue;
        }
        const int placed = std::min(fit, left);
        left -= placed;
        y += headH + placed * rowH;
        rowsOnPage = true;
        if (left > 0) {
            ++page;
            y = start(page);
            rowsOnPage = false;
        }
    }
    if (y + closing + (rowsOnPage ? 0 : headH) > limit(page) + 1e-6)
        ++page;
    return page + 1;
}

QString PdfText(const QString& pdf)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return QString();
    QProcess p;
    p.start(tool, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString& pdf)
{
    QFile f(pdf);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray all = f.readAll();
    int n = 0;
    for (qsizetype i = all.indexOf("/Type /Page"); i >= 0; i = all.indexOf("/Type /Page", i + 1))
        if (all.mid(i + 11, 1) != "s")
            ++n;
    return n;
}

class TPrintBillTest : public TPrintingDbTest {
protected:
    // A sales invoice as the bill form holds it: master and lines loaded empty from the
    // bill's tables (id -99999) and filled in.
    void MakeInvoice(int lines)
    {
        FCon->OpenDataSet(QStringLiteral("select * from invoice where invoiceid = -99999"), &Master);
        FCon->OpenDataSet(QStringLiteral("select d.*, g.code as goodscode, g.name as goodsname, g.specs, u.unitname as unit,"
                                         " u.rate as unitrate from saledetail d"
                                         " left outer join goods g on d.goodsid = g.goodsid"
                                         " left outer join goodsunit u on d.goodsid = u.goodsid and d.unitid = u.unitid"
                                         " where d.invoiceid = -99999"),
                          &Detail);
        ClientID = FCon->ExecuteScalar(QStringLiteral("select min(clientid) from client where clientkind = 1 and address <> ''")).toInt();
        ClientName = FCon->ExecuteScalar(QStringLiteral("select shortname from client where clientid = ") + QString::number(ClientID)).toString();
        Master.Append();
        Master.FieldByName(QStringLiteral("invoiceid"))->SetValue(9001);
        Master.FieldByName(QStringLiteral("code"))->SetValue(QStringLiteral("XK-20240315-0042"));
        Master.FieldByName(QStringLiteral("billdate"))->SetValue(QDateTime(QDate(2024, 3, 15), QTime(0, 0)));
        Master.FieldByName(QStringLiteral("clientid"))->SetValue(ClientID);
        Master.FieldByName(QStringLiteral("storeid"))->SetValue(FCon->ExecuteScalar(QStringLiteral("select min(storeid) from store")));
        Master.FieldByName(QStringLiteral("exemanid"))->SetValue(FCon->ExecuteScalar(QStringLiteral("select min(empid) from employ")));
        Master.FieldByName(QStringLiteral("memo"))->SetValue(U("月底前送货"));
        Master.Post();

        TClientDataSet goods;
        FCon->OpenDataSet(QStringLiteral("select g.goodsid, g.code, g.name, g.specs, u.unitid, u.unitname, u.rate, u.sprice"
                                         " from goods g join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0"
                                         " order by g.goodsid"),
                          &goods);
        ASSERT_GT(goods.RecordCount(), 0);
        Total = 0;
        goods.First();
        for (int i = 0; i < lines; ++i) {
            if (goods.Eof())
                goods.First();
            const double qty = 1 + i % 7;
            const double price = std::round((goods.FieldByName(QStringLiteral("sprice"))->AsFloat() + 1.25) * 100) / 100;
            const double amount = std::round(qty * price * 100) / 100;
            Total += amount;
            Detail.Append();
            Detail.FieldByName(QStringLiteral("invoiceid"))->SetValue(9001);
            Detail.FieldByName(QStringLiteral("itemno"))->SetValue(i + 1);
            Detail.FieldByName(QStringLiteral("goodsid"))->SetValue(goods.FieldByName(QStringLiteral("goodsid"))->Value());
            Detail.FieldByName(QStringLiteral("unitid"))->SetValue(goods.FieldByName(QStringLiteral("unitid"))->Value());
            Detail.FieldByName(QStringLiteral("goodscode"))->SetValue(goods.FieldByName(QStringLiteral("code"))->Value());
            Detail.FieldByName(QStringLiteral("goodsname"))->SetValue(goods.FieldByName(QStringLiteral("name"))->Value());
            Detail.FieldByName(QStringLiteral("specs"))->SetValue(goods.FieldByName(QStringLiteral("specs"))->Value());
            Detail.FieldByName(QStringLiteral("unit"))->SetValue(goods.FieldByName(QStringLiteral("unitname"))->Value());
            Detail.FieldByName(QStringLiteral("unitrate"))->SetValue(1);
            Detail.FieldByName(QStringLiteral("unitqty"))->SetValue(qty);
            Detail.FieldByName(QStringLiteral("quantity"))->SetValue(qty);
            Detail.FieldByName(QStringLiteral("unitprice"))->SetValue(price);
            Detail.FieldByName(QStringLiteral("price"))->SetValue(price);
            Detail.FieldByName(QStringLiteral("amount"))->SetValue(amount);
            Detail.FieldByName(QStringLiteral("goodsamt"))->SetValue(amount);
            Detail.Post();
            goods.Next();
        }
        Master.Edit();
        Master.FieldByName(QStringLiteral("totalamt"))->SetValue(Total);
        Master.Post();
    }

    TClientDataSet Master, Detail;
    int ClientID = 0;
    QString ClientName;
    double Total = 0;
};

} // namespace

TEST_F(TPrintBillTest, InvoiceOfHundredLinesPrintsToPdfWithTheStandardTemplate)
{
    MakeInvoice(100);
    const QString pdf = QDir(AppDir()).filePath(QStringLiteral("invoice.pdf"));
    TScriptedMessages msgs;
    TPrintBillOptions opt;
    opt.Output = TPrintOutput::Pdf;
    opt.PdfFile = pdf;
    opt.PrintTime = QDateTime(QDate(2024, 3, 16), QTime(9, 30));
    TPrintBillResult result;
    ASSERT_TRUE(PrintBillWithTemplate(6, 6, &Master, &Detail, opt, &result)) << msgs.Texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(msgs.Count(), 0);
    EXPECT_EQ(result.RptID, 6);
    ASSERT_TRUE(QFile::exists(pdf));

    const TReportTemplate used = TReportTemplate::FromJson(PrintTemplateData(6));
    const int pages = ExpectedPages(used, 100);
    EXPECT_GT(pages, 1);
    EXPECT_EQ(result.Pages, pages);
    EXPECT_EQ(PdfPages(pdf), pages);

    const QString text = PdfText(pdf);
    ASSERT_FALSE(text.isEmpty()) << "pdftotext is needed (poppler-utils)";
    EXPECT_TRUE(text.contains(QStringLiteral("XK-20240315-0042")));
    EXPECT_TRUE(text.contains(U("上海恒信商贸有限公司")));
    EXPECT_TRUE(text.contains(MoneyToChinese(Total))) << MoneyToChinese(Total).toStdString();
    EXPECT_TRUE(text.contains(ClientName));
    EXPECT_TRUE(text.contains(U("第%1页，共%1页").arg(pages)));
    const QByteArray keep = qgetenv("TB_KEEP_PRINT_PDF");
    if (!keep.isEmpty())
        QFile::copy(pdf, QString::fromLocal8Bit(keep));
}

TEST_F(TPrintBillTest, ValuesComeFromCompanyPartnerAndLines)
{
    MakeInvoice(3);
    TReportControl report;
    report.SetTemplate(StandardPrintTemplate(6));
    g_asUserName = U("张会计");
    SetBillPrintVariables(report, 2, &Master, &Detail, LoadPrintStyleFields(2, 1));
    EXPECT_EQ(report.VarValue(U("企业名称")).toString(), U("上海恒信商贸有限公司"));
    EXPECT_EQ(report.VarValue(U("企业税号")).toString(), QStringLiteral("310104132456789"));
    EXPECT_EQ(report.VarValue(U("单号")).toString(), QStringLiteral("XK-20240315-0042"));
    EXPECT_EQ(report.VarValue(U("开单日期")).toString(), QStringLiteral("2024-03-15"));
    EXPECT_EQ(report.VarValue(U("打印人")).toString(), U("张会计"));
    EXPECT_EQ(report.VarValue(U("客户名称")).toString(), ClientName);
    EXPECT_EQ(report.VarValue(U("价税合计大写")).toString(), MoneyToChinese(Total));
    EXPECT_EQ(report.VarValue(U("价税合计小写")).toString(), FormatReportValue(Total, QStringLiteral("#,##0.00")));
    EXPECT_EQ(report.VarValue(U("数量总计")).toString(), QStringLiteral("6")); // 1 + 2 + 3
    // a drop-down prints what it shows, not its key
    const QString store = FCon->ExecuteScalar(QStringLiteral("select name from store where storeid = ") +
                                              Master.FieldByName(QStringLiteral("storeid"))->AsString()).toString();
    EXPECT_EQ(report.VarValue(QStringLiteral("M.storeid")).toString(), store);
    EXPECT_EQ(report.Evaluate(QStringLiteral("[M.memo]")), U("月底前送货"));
}

TEST_F(TPrintBillTest, BillWithoutTemplateAsksForTheStandardOne)
{
    MakeInvoice(2);
    const QString pdf = QDir(AppDir()).filePath(QStringLiteral("std.pdf"));
    TPrintBillOptions opt;
    opt.Output = TPrintOutput::Pdf;
    opt.PdfFile = pdf;
    TScriptedMessages msgs;
    const QString question = U("本单没有选择打印样式, 是否要用标准样式进行打印或预览?");
    msgs.AnswerWhen(question, IDNO);
    EXPECT_FALSE(PrintBillWithTemplate(6, 777777, &Master, &Detail, opt));
    EXPECT_FALSE(QFile::exists(pdf));
    msgs.AnswerWhen(question, IDYES);
    TPrintBillResult result;
    ASSERT_TRUE(PrintBillWithTemplate(6, 777777, &Master, &Detail, opt, &result));
    EXPECT_TRUE(result.UsedStandard);
    EXPECT_EQ(result.RptID, 6);
    EXPECT_TRUE(QFile::exists(pdf));
}

TEST_F(TPrintBillTest, PrintedMarkIsWrittenOrReported)
{
    FCon->Execute(QStringLiteral("insert into invoice (invoiceid, code, billdate, printed) values (77, 'P-1', '2024-01-01 00:00:00', 0)"));
    TScriptedMessages msgs;
    EXPECT_TRUE(MarkBillPrinted(QStringLiteral("invoice"), QStringLiteral("invoiceid"), 77));
    EXPECT_EQ(FCon->ExecuteScalar(QStringLiteral("select printed from invoice where invoiceid = 77")).toInt(), 1);
    EXPECT_FALSE(MarkBillPrinted(QStringLiteral("nosuchtable"), QStringLiteral("id"), 77));
    EXPECT_EQ(msgs.Last().Text, U("更新打印标志是出现更新错误！"));
    EXPECT_EQ(msgs.Last().Caption, U("更新出错"));
}

namespace {

// The print dialog as a user fills it: printing to a PDF file (the printer every machine
// has), a page range and a number of copies.
TScriptedMessages::TDialogHandler FillPrintDialog(const QString& pdf, int from, int to, int copies, bool collate = true)
{
    return [=](QDialog* d) {
        auto* dlg = qobject_cast<QPrintDialog*>(d);
        if (!dlg)
            throw std::runtime_error("expected the print dialog");
        EXPECT_TRUE(dlg->testOption(QAbstractPrintDialog::PrintPageRange));
        EXPECT_EQ(dlg->minPage(), 1);
        QPrinter* p = dlg->printer();
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdf);
        p->setCopyCount(copies);
        p->setCollateCopies(collate);
        if (from > 0) {
            p->setPrintRange(QPrinter::PageRange);
            p->setFromTo(from, to);
        }
        return int(QDialog::Accepted);
    };
}

} // namespace

TEST_F(TPrintBillTest, PrintingAsksForPrinterCopiesAndPagesAndHonoursThem)
{
    MakeInvoice(100);
    TPrintBillOptions opt;
    opt.Output = TPrintOutput::PrintDialog;
    TScriptedMessages msgs;
    const QString pdf = QDir(AppDir()).filePath(QStringLiteral("range.pdf"));

    // Pages 2 to 3, twice: four pages come out.
    msgs.OnModal(QStringLiteral("PrintDialog"), FillPrintDialog(pdf, 2, 3, 2));
    TPrintBillResult result;
    ASSERT_TRUE(PrintBillWithTemplate(6, 6, &Master, &Detail, opt, &result)) << msgs.Texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_GE(result.Pages, 3);
    EXPECT_TRUE(result.Printed);
    EXPECT_EQ(PdfPages(pdf), 4);
    const QString text = PdfText(pdf);
    if (!text.isEmpty()) {
        EXPECT_EQ(text.count(U("第2页，共%1页").arg(result.Pages)), 2);
        EXPECT_EQ(text.count(U("第3页，共%1页").arg(result.Pages)), 2);
        EXPECT_FALSE(text.contains(U("第1页，共"))) << "page 1 was not asked for";
    }

    // Every page, once.
    QFile::remove(pdf);
    msgs.OnModal(QStringLiteral("PrintDialog"), FillPrintDialog(pdf, 0, 0, 1));
    ASSERT_TRUE(PrintBillWithTemplate(6, 6, &Master, &Detail, opt, &result));
    EXPECT_EQ(PdfPages(pdf), result.Pages);

    // A range past the last page is refused in words and prints nothing.
    QFile::remove(pdf);
    msgs.OnModal(QStringLiteral("PrintDialog"), FillPrintDialog(pdf, result.Pages + 1, result.Pages + 2, 1));
    EXPECT_FALSE(PrintBillWithTemplate(6, 6, &Master, &Detail, opt, &result));
    EXPECT_EQ(msgs.Last().Kind, TMessageKind::Error);
    EXPECT_TRUE(msgs.Last().Text.contains(U("没有可打印的页")));
    EXPECT_FALSE(QFile::exists(pdf) && PdfPages(pdf) > 0);

    // Cancelling the dialog prints nothing and says nothing.
    const int shown = msgs.Count();
    msgs.OnModal(QStringLiteral("PrintDialog"), [](QDialog*) { return int(QDialog::Rejected); });
    TPrintBillResult cancelled;
    EXPECT_FALSE(PrintBillWithTemplate(6, 6, &Master, &Detail, opt, &cancelled));
    EXPECT_FALSE(cancelled.Printed);
    EXPECT_EQ(msgs.Count(), shown + 1); // the dialog itself, no message
    EXPECT_EQ(msgs.PendingDialogs(), 0);
}

TEST_F(TPrintBillTest, PreviewSavesAPdfAndPrintsThroughTheDialog)
{
    MakeInvoice(60);
    TPrintBillOptions opt; // the preview
    TScriptedMessages msgs;
    const QString saved = QDir(AppDir()).filePath(QStringLiteral("saved.pdf"));
    const QString printed = QDir(AppDir()).filePath(QStringLiteral("printed.pdf"));
    QString suggested;
    int previewPages = 0;
    msgs.OnModal(QStringLiteral("BillPreview"), [&](QDialog* d) {
        auto* preview = qobject_cast<TReportPreview*>(d);
        if (!preview)
            throw std::runtime_error("expected the preview");
        previewPages = preview->PageCount();
        preview->ASavePdf->trigger();
        preview->APrint->trigger();
        return int(QDialog::Rejected); // closed afterwards
    });
    msgs.OnModal(QStringLiteral("SavePdfDialog"), [&](QDialog* d) {
        auto* fd = qobject_cast<QFileDialog*>(d);
        if (!fd)
            throw std::runtime_error("expected a file dialog");
        suggested = fd->selectedFiles().value(0);
        fd->selectFile(saved);
        return int(QDialog::Accepted);
    });
    msgs.OnModal(QStringLiteral("PrintDialog"), FillPrintDialog(printed, 0, 0, 1));

    TPrintBillResult result;
    ASSERT_TRUE(PrintBillWithTemplate(6, 6, &Master, &Detail, opt, &result)) << msgs.Texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(msgs.PendingDialogs(), 0);
    EXPECT_GT(result.Pages, 1);
    EXPECT_EQ(previewPages, result.Pages);
    EXPECT_TRUE(suggested.endsWith(QStringLiteral("XK-20240315-0042.pdf"))) << suggested.toStdString();
    EXPECT_EQ(result.SavedPdfFiles, QStringList{saved});
    EXPECT_EQ(PdfPages(saved), result.Pages);
    EXPECT_EQ(PdfPages(printed), result.Pages);
    EXPECT_TRUE(result.Printed) << "printing from the preview counts as printing";
    const QString text = PdfText(saved);
    if (!text.isEmpty()) {
        EXPECT_TRUE(text.contains(QStringLiteral("XK-20240315-0042")));
    }

    // Only looking at the preview prints nothing.
    msgs.OnModal(QStringLiteral("BillPreview"), [](QDialog*) { return int(QDialog::Rejected); });
    TPrintBillResult looked;
    ASSERT_TRUE(PrintBillWithTemplate(6, 6, &Master, &Detail, opt, &looked));
    EXPECT_FALSE(looked.Printed);
    EXPECT_TRUE(looked.SavedPdfFiles.isEmpty());
}
