// The standard print template of a bill: what a report type prints before anyone has
// designed a template of its own.
#include "platform/report/ReportTemplate.h"

#include <QtMath>

namespace {

TReportItem Text(double x, double y, double w, double h, const QString& text, double size = 10, bool bold = false,
                 TReportHAlign align = TReportHAlign::Left)
{
    TReportItem it;
    it.Kind = TReportItemKind::Text;
    it.X = x;
    it.Y = y;
    it.Width = w;
    it.Height = h;
    it.Text = text;
    it.Font.Size = size;
    it.Font.Bold = bold;
    it.Align = align;
    return it;
}

TReportItem Line(double x, double y, double w, double h, double width)
{
    TReportItem it;
    it.Kind = TReportItemKind::Line;
    it.X = x;
    it.Y = y;
    it.Width = w;
    it.Height = h;
    it.LineWidth = width;
    return it;
}

bool IsMoneyFormat(const QString& f)
{
    return f == QLatin1String("money") || f.endsWith(QLatin1String(".00"));
}

bool IsNumericFormat(const QString& f)
{
    return f == QLatin1String("money") || f.contains(QLatin1Char('0')) || f.contains(QLatin1Char('#'));
}

} // namespace

TReportTemplate MakeStandardBillTemplate(const QString& title, const QVector<QPair<QString, QString>>& masterVars,
                                         const QVector<TStandardColumn>& detailColumns)
{
    TReportTemplate t;
    t.Name = title;
    const double contentW = t.Page.ContentWidth();

    // ---- catalogue: system variables, the master block's variables and the columns
    const QPair<const char*, const char*> systemVars[] = {{"Date", "系统日期"},
                                                          {"Time", "系统时间"},
                                                          {"DateTime", "系统日期时间"},
                                                          {"PageNum", "第##页"},
                                                          {"PageCount", "第##页，共##页"},
                                                          {"企业名称", "企业名称"},
                                                          {"打印人", "打印人"}};
    for (const auto& v : systemVars)
        t.Variables.append({QString::fromUtf8(v.first), QString::fromUtf8(v.second), {}});
    for (const auto& v : masterVars)
        t.Variables.append({v.first, v.second, {}});
    for (const auto& c : detailColumns)
        t.DetailFields.append({c.Field, c.Caption, {}});

    // ---- title: company, bill title with a double rule under it
    TReportBand titleBand;
    titleBand.Kind = TReportBandKind::Title;
    titleBand.Height = 25;
    titleBand.Items.append(Text(0, 0, contentW, 8, QStringLiteral("[企业名称]"), 14, true, TReportHAlign::Center));
    titleBand.Items.append(Text(0, 9, contentW, 11, title, 20, true, TReportHAlign::Center));
    const double ruleW = qBound(40.0, title.size() * 9.0 + 12, contentW);
    titleBand.Items.append(Line((contentW - ruleW) / 2, 20.6, ruleW, 0, 0.5));
    titleBand.Items.append(Line((contentW - ruleW) / 2, 21.6, ruleW, 0, 0.25));
    t.Bands.append(titleBand);

    // ---- continuation pages repeat who and what
    TReportBand pageHeader;
    pageHeader.Kind = TReportBandKind::PageHeader;
    pageHeader.Height = 9;
    pageHeader.PrintOnFirstPage = false;
    pageHeader.Items.append(Text(0, 0, contentW * 0.6, 7, QStringLiteral("[企业名称]　%1（续）").arg(title), 11, true));
    if (!masterVars.isEmpty())
        pageHeader.Items.append(Text(contentW * 0.6, 0, contentW * 0.4, 7,
                                     QStringLiteral("%1：[%2]").arg(masterVars.first().second, masterVars.first().first), 10,
                                     false, TReportHAlign::Right));
    pageHeader.Items.append(Line(0, 8, contentW, 0, 0.3));
    t.Bands.append(pageHeader);

    // ---- master block: three label/value pairs a row
    TReportBand master;
    master.Kind = TReportBandKind::MasterHeader;
    const int perRow = 3;
    const double cellW = contentW / perRow, cellH = 7;
    const int rows = int((masterVars.size() + perRow - 1) / perRow);
    for (int i = 0; i < masterVars.size(); ++i) {
        const double x = (i % perRow) * cellW, y = (i / perRow) * cellH;
        master.Items.append(Text(x, y, cellW, cellH, QStringLiteral("%1：[%2]").arg(masterVars.at(i).second, masterVars.at(i).first)));
    }
    master.Height = rows * cellH + 2;
    t.Bands.append(master);

    // ---- detail table: line number, then the columns; unsized columns share the rest
    t.Columns.append({QStringLiteral("RowNo"), QStringLiteral("序号"), 10, TReportHAlign::Center, {}, false});
    double fixed = 10;
    int flexible = 0;
    for (const auto& c : detailColumns) {
        fixed += c.Width;
        if (c.Width <= 0)
            ++flexible;
    }
    const double rest = contentW - fixed;
    const double flexW = flexible > 0 ? qMax(12.0, rest / flexible) : 0;
    const double total = fixed + flexW * flexible;
    const double scale = total > contentW ? contentW / total : 1.0; // squeeze to the paper
    t.Columns[0].Width = 10 * scale;
    QString amountField;
    for (const auto& c : detailColumns) {
        TReportColumn col;
        col.Field = c.Field;
        col.Caption = c.Caption;
        col.Width = (c.Width > 0 ? c.Width : flexW) * scale;
        col.Format = c.Format;
        col.Align = IsNumericFormat(c.Format) ? TReportHAlign::Right : TReportHAlign::Left;
        col.Total = c.Total;
        if (c.Total && IsMoneyFormat(c.Format))
            amountField = c.Field;
        t.Columns.append(col);
    }
    // Widths rounded to 0.1 mm so the saved file reads well; the last column takes the slack.
    double used = 0;
    for (int i = 0; i < t.Columns.size(); ++i) {
        t.Columns[i].Width = qRound(t.Columns[i].Width * 10) / 10.0;
        used += t.Columns[i].Width;
    }
    if (total >= contentW || flexible > 0)
        t.Columns.last().Width = qRound((t.Columns.last().Width + contentW - used) * 10) / 10.0;
    t.Table.HeaderHeight = 8;

    TReportBand detail;
    detail.Kind = TReportBandKind::Detail;
    detail.Height = 7;
    t.Bands.append(detail);

    // ---- summary: total in capitals joined under the table, then the signature line
    TReportBand summary;
    summary.Kind = TReportBandKind::Summary;
    double y = 0;
    const double tableW = t.TableWidth();
    if (!amountField.isEmpty()) {
        TReportItem words = Text(0, 0, tableW, 8,
                                 QStringLiteral("合计金额（大写）：[SUM(%1)|chinese]　　（小写）：￥[SUM(%1)|#,##0.00]").arg(amountField),
                                 10, true);
        words.Frame = TReportFrame{true, false, true, true, t.Table.LineWidth};
        summary.Items.append(words);
        y = 8;
    }
    y += 6;
    const char* const signers[] = {"制单人：", "审核人：", "经手人：", "签收人："};
    const double signW = contentW / 4;
    for (int i = 0; i < 4; ++i) {
        summary.Items.append(Text(i * signW, y, 18, 7, QString::fromUtf8(signers[i])));
        summary.Items.append(Line(i * signW + 17, y + 6, signW - 22, 0, 0.25));
    }
    summary.Items.append(Text(19, y, signW - 24, 6, QStringLiteral("[打印人]"), 10, false, TReportHAlign::Center));
    summary.Height = y + 8;
    t.Bands.append(summary);

    // ---- page footer: print time and "第x页，共y页"
    TReportBand footer;
    footer.Kind = TReportBandKind::PageFooter;
    footer.Height = 8;
    footer.Items.append(Line(0, 1, contentW, 0, 0.2));
    footer.Items.append(Text(0, 2, contentW / 3, 6, QStringLiteral("打印时间：[DateTime]"), 8));
    footer.Items.append(Text(contentW / 3, 2, contentW / 3, 6, QStringLiteral("第[PageNum]页，共[PageCount]页"), 9, false,
                             TReportHAlign::Center));
    t.Bands.append(footer);

    t.Validate();
    return t;
}
