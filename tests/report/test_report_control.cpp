// The report control: catalogue, expressions and formats, pagination, PDF and images.
#include "ReportTestData.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cmath>

#include <gtest/gtest.h>

TEST(ReportCatalogue, NamesAreKeptOnceWithoutRegardToCase)
{
    TReportControl rc;
    rc.ClearCatalogue();
    rc.AddVariable(QStringLiteral("M.Code"), QStringLiteral("单号"));
    rc.AddVariable(QStringLiteral("m.code"), QStringLiteral("编号"));
    rc.AddVariable(QStringLiteral("单号"), QStringLiteral("单号"), QStringLiteral("X-1"));
    rc.AddDetailField(QStringLiteral("D.Amount"), QStringLiteral("金额"));
    rc.AddDetailField(QStringLiteral("D.AMOUNT"), QStringLiteral("金额2"));
    // Preparing the catalogue twice leaves one entry per name.
    rc.AddVariable(QStringLiteral("M.Code"), QStringLiteral("单号"));
    rc.AddDetailField(QStringLiteral("D.Amount"), QStringLiteral("金额"));

    ASSERT_EQ(rc.Variables().size(), 2);
    EXPECT_EQ(rc.Variables().at(0).Caption, QStringLiteral("单号")); // first caption wins
    ASSERT_EQ(rc.DetailFields().size(), 1);
    EXPECT_EQ(rc.VarValue(QStringLiteral("单号")).toString(), QStringLiteral("X-1"));

    // Setting an unknown variable adds it; setting a known one replaces only the value.
    rc.SetVarValue(QStringLiteral("打印人"), QStringLiteral("李四"));
    rc.SetVarValue(QStringLiteral("M.CODE"), QStringLiteral("Y-2"));
    EXPECT_EQ(rc.Variables().size(), 3);
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[m.code]/[打印人]")), QStringLiteral("Y-2/李四"));

    rc.ClearCatalogue();
    EXPECT_TRUE(rc.Variables().isEmpty());
    EXPECT_TRUE(rc.DetailFields().isEmpty());
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[打印人]")), QString());
}

TEST(ReportCatalogue, CatalogueAndValuesSurviveSaveAndLoad)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("7.Zrp"));
    {
        TReportControl rc;
        rc.SetTemplate(PurchaseOrderTemplate());
        rc.ClearCatalogue();
        rc.AddVariable(QStringLiteral("M.Code"), QStringLiteral("单号"), QStringLiteral("A-9"));
        rc.AddDetailField(QStringLiteral("D.Qty"), QStringLiteral("数量"));
        rc.SaveToFile(file);
    }
    TReportControl rc;
    rc.SetRptFileName(file);
    EXPECT_EQ(rc.RptFileName(), file);
    ASSERT_EQ(rc.Variables().size(), 1);
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Code]")), QStringLiteral("A-9"));
    ASSERT_EQ(rc.DetailFields().size(), 1);
    EXPECT_EQ(rc.DetailFields().at(0).Caption, QStringLiteral("数量"));
}

TEST(ReportExpressions, VariablesFieldsAndFormats)
{
    TReportControl rc;
    SetMoneyInWordsFunction(MoneyToChinese);
    rc.SetMasterValues({{"Code", "PO-1"}, {"Amount", 1234567.891}, {"BillDate", QDate(2024, 3, 9)}});
    rc.SetDetailRows({{{"Qty", 2}, {"Amount", 10.5}, {"Name", "甲"}}, {{"Qty", 3}, {"Amount", 0.25}, {"Name", "乙"}}});
    rc.SetPrintTime(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));

    EXPECT_EQ(rc.Evaluate(QStringLiteral("单号：[M.Code]")), QStringLiteral("单号：PO-1"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Amount|#,##0.00]")), QStringLiteral("1,234,567.89"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Amount|money]")), QStringLiteral("1,234,567.89"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Amount|0.0]")), QStringLiteral("1234567.9"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.BillDate]")), QStringLiteral("2024-03-09"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.BillDate|date:yyyy年M月d日]")), QStringLiteral("2024年3月9日"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[D.Name]×[D.Qty]"), 0, 1), QStringLiteral("乙×3"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("<[D.Name]>"), 0, -1), QStringLiteral("<>")); // no row outside the detail
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[SUM(D.Amount)|0.00]")), QStringLiteral("10.75"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[SUM(D.Amount)|chinese]")), QStringLiteral("壹拾元零柒角伍分"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[Date] [Time]")), QStringLiteral("2024-01-02 03:04:05"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[DateTime]")), QStringLiteral("2024-01-02 03:04:05"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[RowNo]"), 0, 4), QStringLiteral("5"));
    // Brackets that are not expressions print as written.
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[[注] a[b")), QStringLiteral("[注] a[b"));
    // A variable set by the bill overrides the master field of the same name.
    rc.SetVarValue(QStringLiteral("M.Code"), QStringLiteral("PO-2"));
    EXPECT_EQ(rc.Evaluate(QStringLiteral("[M.Code]")), QStringLiteral("PO-2"));
}

TEST(ReportExpressions, NumberFormattingRoundsHalfAwayFromZero)
{
    EXPECT_EQ(FormatReportValue(2.675, QStringLiteral("0.00")), QStringLiteral("2.68"));
    EXPECT_EQ(FormatReportValue(-2.675, QStringLiteral("0.00")), QStringLiteral("-2.68"));
    EXPECT_EQ(FormatReportValue(-1234.5, QStringLiteral("#,##0.00")), QStringLiteral("-1,234.50"));
    EXPECT_EQ(FormatReportValue(999.999, QStringLiteral("#,##0.00")), QStringLiteral("1,000.00"));
    EXPECT_EQ(FormatReportValue(3.10, QStringLiteral("0.##")), QStringLiteral("3.1"));
    EXPECT_EQ(FormatReportValue(3.0, QStringLiteral("0.##")), QStringLiteral("3"));
    EXPECT_EQ(FormatReportValue(0.5, {}), QStringLiteral("0.5"));
    EXPECT_EQ(FormatReportValue(12, {}), QStringLiteral("12"));
    EXPECT_EQ(FormatReportValue(QStringLiteral("00123"), {}), QStringLiteral("00123"));
    EXPECT_EQ(FormatReportValue(QStringLiteral("12.5"), QStringLiteral("0.00")), QStringLiteral("12.50"));
    EXPECT_EQ(FormatReportValue(QStringLiteral("n/a"), QStringLiteral("0.00")), QStringLiteral("n/a"));
    EXPECT_EQ(FormatReportValue(QVariant(), QStringLiteral("0.00")), QString());
}

namespace {

// Rows that fit between the given top and bottom of the printable area, with the table's
// header repeated at the top of the rows.
int RowsFitting(double from, double to, double headerH, double rowH)
{
    return int(std::floor((to - from - headerH) / rowH + 1e-9));
}

} // namespace

TEST(ReportPagination, HundredLineBillFlowsOverComputedPages)
{
    TReportControl rc;
    BindPurchaseOrder(rc, 100);
    const TReportTemplate& t = rc.Template();
    const double top = t.Page.MarginTop, bottom = t.Page.Height - t.Page.MarginBottom - t.BandHeight(TReportBandKind::PageFooter);
    const double rowH = t.BandHeight(TReportBandKind::Detail), headH = t.Table.HeaderHeight;
    // The page header is for continuation pages only in the standard template.
    const int first = RowsFitting(top + t.BandHeight(TReportBandKind::Title) + t.BandHeight(TReportBandKind::MasterHeader),
                                  bottom, headH, rowH);
    const int other = RowsFitting(top + t.BandHeight(TReportBandKind::PageHeader), bottom, headH, rowH);
    ASSERT_GT(first, 0);
    ASSERT_GT(other, first);
    int pages = 1, left = 100 - first;
    double used = top + t.BandHeight(TReportBandKind::Title) + t.BandHeight(TReportBandKind::MasterHeader) + headH + first * rowH;
    while (left > 0) {
        const int n = std::min(left, other);
        used = top + t.BandHeight(TReportBandKind::PageHeader) + headH + n * rowH;
        left -= n;
        ++pages;
    }
    if (used + rowH + t.BandHeight(TReportBandKind::Summary) > bottom + 1e-9)
        ++pages; // totals and summary go to a page of their own

    ASSERT_EQ(rc.PageCount(), pages);
    QVector<TReportPagePlan> plan;
    for (int p = 0; p < pages; ++p)
        plan.append(rc.PagePlan(p));
    int next = 0;
    for (int p = 0; p < plan.size(); ++p) {
        EXPECT_EQ(plan[p].FirstRow, next) << "page " << p + 1;
        next += plan[p].RowCount;
    }
    EXPECT_EQ(next, 100);
    EXPECT_EQ(plan[0].RowCount, std::min(first, 100));
    EXPECT_THROW(rc.PagePlan(pages), EReportError);
    // "第x页，共y页" is right on the last page, which carries the summary.
    const int last = pages - 1;
    EXPECT_EQ(rc.Evaluate(QStringLiteral("第[PageNum]页，共[PageCount]页"), last),
              QStringLiteral("第%1页，共%1页").arg(pages));
    bool summaryOnLast = false;
    for (const auto& it : plan[last].Items)
        summaryOnLast = summaryOnLast || (it.What == TReportPagePlan::TPlaced::Band && it.Kind == TReportBandKind::Summary);
    EXPECT_TRUE(summaryOnLast);
}

TEST(ReportPagination, ItemsStayInsideThePrintableArea)
{
    for (int lines : {0, 1, 17, 18, 19, 60, 250}) {
        TReportControl rc;
        BindPurchaseOrder(rc, lines);
        const TReportTemplate& t = rc.Template();
        const double bottom = t.Page.Height - t.Page.MarginBottom;
        int rows = 0;
        for (int p = 0; p < rc.PageCount(); ++p) {
            for (const auto& it : rc.PagePlan(p).Items) {
                double h = t.BandHeight(TReportBandKind::Detail);
                if (it.What == TReportPagePlan::TPlaced::Band)
                    h = t.BandHeight(it.Kind);
                else if (it.What == TReportPagePlan::TPlaced::TableHeader)
                    h = t.Table.HeaderHeight;
                EXPECT_GE(it.Top, t.Page.MarginTop - 1e-9) << lines;
                EXPECT_LE(it.Top + h, bottom + 1e-9) << lines;
                if (it.What == TReportPagePlan::TPlaced::DetailRow) {
                    EXPECT_EQ(it.Row, rows++);
                }
            }
        }
        EXPECT_EQ(rows, lines);
    }
}

TEST(ReportPagination, BandsThatCannotFitAreAReportError)
{
    TReportTemplate t = PurchaseOrderTemplate();
    t.Band(TReportBandKind::Summary)->Height = t.Page.ContentHeight() - 2; // plus totals row: too tall
    TReportControl rc;
    rc.SetTemplate(t);
    rc.SetDetailRows(PurchaseOrderLines(3));
    EXPECT_THROW(rc.PageCount(), EReportError);
}

TEST(ReportOutput, RenderedPageHasInkWhereTheTableIs)
{
    TReportControl rc;
    BindPurchaseOrder(rc, 5);
    const QImage img = rc.RenderPage(0, 72);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.width(), qCeil(210 / 25.4 * 72));
    int dark = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            dark += qGray(img.pixel(x, y)) < 128;
    EXPECT_GT(dark, 2000);
    EXPECT_THROW(rc.RenderPage(1), EReportError);
}

TEST(ReportOutput, PdfCarriesBillNumberCompanyAndAmountInWords)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed; cannot read the PDF text back";

    TReportControl rc;
    BindPurchaseOrder(rc, 40);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("bill.pdf"));
    rc.PrintToPdf(pdf);

    QProcess proc;
    proc.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(proc.waitForFinished(60000));
    ASSERT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    QString text = QString::fromUtf8(proc.readAllStandardOutput());
    text.remove(QRegularExpression(QStringLiteral("\\s")));

    const int pages = rc.PageCount();
    ASSERT_GE(pages, 2);
    EXPECT_TRUE(text.contains(QStringLiteral("CG-20240501-0007")));
    EXPECT_TRUE(text.contains(QStringLiteral("北京星辰贸易有限公司")));
    EXPECT_TRUE(text.contains(QStringLiteral("采购订货单")));
    EXPECT_TRUE(text.contains(QStringLiteral("办公用品40号")));
    const double total = PurchaseOrderTotal(40);
    EXPECT_TRUE(text.contains(MoneyToChinese(total))) << MoneyToChinese(total).toStdString();
    EXPECT_TRUE(text.contains(FormatReportValue(total, QStringLiteral("#,##0.00"))));
    EXPECT_TRUE(text.contains(QStringLiteral("第%1页，共%1页").arg(pages)));
    EXPECT_EQ(text.count(QStringLiteral("页，共%1页").arg(pages)), pages);
}

TEST(ReportOutput, PdfToAnUnwritablePlaceIsAReportError)
{
    TReportControl rc;
    BindPurchaseOrder(rc, 2);
    EXPECT_THROW(rc.PrintToPdf(QStringLiteral("/nonexistent/dir/x.pdf")), EReportError);
}

namespace {

// Rows placed one at a time, as a person would lay them out: a row goes on the page when
// it fits under what is there (with the table header before the first row of a page),
// else a new page starts; the totals row and summary follow the last row together.
struct TPlaced {
    int Pages = 0;
    QVector<int> FirstRow, RowCount;
};
TPlaced PlaceRowByRow(const TReportTemplate& t, int rows)
{
    const TReportBand* header = t.Band(TReportBandKind::PageHeader);
    const TReportBand* footer = t.Band(TReportBandKind::PageFooter);
    const double rowH = t.BandHeight(TReportBandKind::Detail);
    const bool table = t.Table.Visible && !t.Columns.isEmpty();
    const double headH = table ? t.Table.HeaderHeight : 0;
    bool anyTotal = false;
    for (const auto& c : t.Columns)
        anyTotal = anyTotal || c.Total;
    const double totalsH = table && anyTotal ? rowH : 0;
    TPlaced out;
    double y = 0, limit = 0;
    bool rowsOnPage = false;
    auto newPage = [&] {
        const int page = out.Pages++;
        out.FirstRow.append(-1);
        out.RowCount.append(0);
        y = t.Page.MarginTop + (header && (page > 0 || header->PrintOnFirstPage) ? header->Height : 0);
        if (page == 0)
            y += t.BandHeight(TReportBandKind::Title) + t.BandHeight(TReportBandKind::MasterHeader);
        limit = t.Page.Height - t.Page.MarginBottom - (footer && (page > 0 || footer->PrintOnFirstPage) ? footer->Height : 0);
        rowsOnPage = false;
    };
    newPage();
    for (int r = 0; r < rows; ++r) {
        if (y + (rowsOnPage ? 0 : headH) + rowH > limit + 1e-6)
            newPage();
        if (!rowsOnPage) {
            y += headH;
            out.FirstRow.last() = r;
        }
        y += rowH;
        out.RowCount.last()++;
        rowsOnPage = true;
    }
    if (y + (totalsH > 0 && !rowsOnPage ? headH : 0) + totalsH + t.BandHeight(TReportBandKind::Summary) > limit + 1e-6)
        newPage();
    return out;
}

} // namespace

TEST(ReportPagination, ThePlanAgreesWithPlacingRowByRowWhateverTheBands)
{
    QVector<TReportTemplate> templates;
    templates << PurchaseOrderTemplate();
    TReportTemplate headerEverywhere = PurchaseOrderTemplate();
    headerEverywhere.Band(TReportBandKind::PageHeader)->PrintOnFirstPage = true;
    headerEverywhere.Band(TReportBandKind::PageFooter)->PrintOnFirstPage = false;
    templates << headerEverywhere;
    TReportTemplate crowdedFirst = PurchaseOrderTemplate(); // page 1 holds no row at all
    crowdedFirst.Band(TReportBandKind::MasterHeader)->Height =
        crowdedFirst.Page.ContentHeight() - crowdedFirst.BandHeight(TReportBandKind::Title) - 20;
    templates << crowdedFirst;
    TReportTemplate noTotals = PurchaseOrderTemplate();
    for (auto& c : noTotals.Columns)
        c.Total = false;
    templates << noTotals;
    TReportTemplate bandOnly = PurchaseOrderTemplate(); // rows drawn by the detail band alone
    bandOnly.Table.Visible = false;
    templates << bandOnly;

    for (int k = 0; k < templates.size(); ++k) {
        for (int rows : {0, 1, 2, 16, 17, 18, 19, 20, 35, 36, 37, 38, 39, 40, 41, 99, 100, 101, 1000}) {
            TReportControl rc;
            rc.SetTemplate(templates[k]);
            rc.SetDetailRows(PurchaseOrderLines(rows));
            const TPlaced want = PlaceRowByRow(templates[k], rows);
            ASSERT_EQ(rc.PageCount(), want.Pages) << "template " << k << ", " << rows << " rows";
            for (int p = 0; p < want.Pages; ++p) {
                const TReportPagePlan plan = rc.PagePlan(p);
                EXPECT_EQ(plan.RowCount, want.RowCount[p]) << k << "/" << rows << " page " << p;
                if (want.RowCount[p] > 0) {
                    EXPECT_EQ(plan.FirstRow, want.FirstRow[p]) << k << "/" << rows << " page " << p;
                }
                int summaries = 0;
                for (const auto& it : plan.Items)
                    summaries += it.What == TReportPagePlan::TPlaced::Band && it.Kind == TReportBandKind::Summary;
                EXPECT_EQ(summaries, p == want.Pages - 1 ? 1 : 0) << k << "/" << rows << " page " << p;
            }
        }
    }
}

TEST(ReportOutput, PrintSequenceFollowsRangeCopiesAndCollation)
{
    TReportControl rc;
    BindPurchaseOrder(rc, 100);
    const int n = rc.PageCount();
    ASSERT_GE(n, 3);
    EXPECT_EQ(rc.PrintSequence(2, 3, 2, true), (QVector<int>{1, 2, 1, 2}));
    EXPECT_EQ(rc.PrintSequence(2, 3, 2, false), (QVector<int>{1, 1, 2, 2}));
    EXPECT_EQ(rc.PrintSequence(0, 0, 1, true).size(), n);
    EXPECT_EQ(rc.PrintSequence(n - 1, n + 5, 1, true), (QVector<int>{n - 2, n - 1})) << "a range past the end stops at the last page";
    EXPECT_EQ(rc.PrintSequence(1, 1, 0, true), QVector<int>{0}) << "no copies asked means one";
    EXPECT_THROW(rc.PrintSequence(n + 1, n + 2), EReportError);
    EXPECT_THROW(rc.PrintSequence(3, 2), EReportError);
}
