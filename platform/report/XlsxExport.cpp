#include "platform/report/XlsxExport.h"

#include "platform/report/ReportTemplate.h"

#include <QDate>
#include <QDateTime>
#include <QVariant>

#include <xlsxwriter.h>

#include <algorithm>

namespace {

bool IsNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Long: case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

QString CellText(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.toString(dt.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    default:
        return v.toString();
    }
}

// Display width in spreadsheet characters: CJK characters take two.
double TextWidth(const QString& s)
{
    double w = 0;
    for (QChar c : s)
        w += c.unicode() >= 0x2E80 ? 2.0 : 1.0;
    return w;
}

// Sheet names are at most 31 characters and may not contain []:*?/\ .
QString SheetName(const QString& title)
{
    QString s = title.trimmed();
    for (QChar& c : s)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    s = s.left(31);
    return s.isEmpty() ? QStringLiteral("Sheet1") : s;
}

QString ColumnLetters(int col)
{
    QString s;
    for (int n = col + 1; n > 0; n = (n - 1) / 26)
        s.prepend(QChar('A' + (n - 1) % 26));
    return s;
}

void Check(lxw_error err, const QString& file)
{
    if (err != LXW_NO_ERROR)
        throw EReportError(QStringLiteral("导出到 %1 失败：%2").arg(file, QString::fromUtf8(lxw_strerror(err))));
}

} // namespace

void ExportToXlsx(const QString& file, const QString& title, const QStringList& headers,
                  const QVector<QVariantList>& rows, const QList<int>& totalColumns)
{
    if (headers.isEmpty())
        throw EReportError(QStringLiteral("没有可导出的列"));
    const int cols = int(headers.size());

    lxw_workbook* wb = workbook_new(file.toUtf8().constData());
    if (!wb)
        throw EReportError(QStringLiteral("无法创建文件 %1").arg(file));
    // Whatever happens below, the workbook is closed (and freed) exactly once.
    bool closed = false;
    auto close = [&]() {
        closed = true;
        return workbook_close(wb);
    };
    try {
        const QByteArray sheet = SheetName(title).toUtf8();
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.constData());
        if (!ws)
            throw EReportError(QStringLiteral("无法创建工作表"));

        lxw_format* titleFmt = workbook_add_format(wb);
        format_set_bold(titleFmt);
        format_set_font_size(titleFmt, 16);
        format_set_align(titleFmt, LXW_ALIGN_CENTER);
        format_set_align(titleFmt, LXW_ALIGN_VERTICAL_CENTER);

        lxw_format* headFmt = workbook_add_format(wb);
        format_set_bold(headFmt);
        format_set_border(headFmt, LXW_BORDER_THIN);
        format_set_bg_color(headFmt, 0xE0E0E0);
        format_set_align(headFmt, LXW_ALIGN_CENTER);

        lxw_format* textFmt = workbook_add_format(wb);
        format_set_border(textFmt, LXW_BORDER_THIN);
        lxw_format* numFmt = workbook_add_format(wb);
        format_set_border(numFmt, LXW_BORDER_THIN);
        format_set_num_format(numFmt, "#,##0.####");
        lxw_format* totalFmt = workbook_add_format(wb);
        format_set_bold(totalFmt);
        format_set_border(totalFmt, LXW_BORDER_THIN);
        format_set_num_format(totalFmt, "#,##0.00");

        const QByteArray titleUtf8 = title.toUtf8();
        if (cols > 1)
            Check(worksheet_merge_range(ws, 0, 0, 0, lxw_col_t(cols - 1), titleUtf8.constData(), titleFmt), file);
        else
            Check(worksheet_write_string(ws, 0, 0, titleUtf8.constData(), titleFmt), file);
        worksheet_set_row(ws, 0, 26, nullptr);

        const lxw_row_t headRow = 2, firstData = 3;
        QVector<double> widths(cols, 8);
        for (int c = 0; c < cols; ++c) {
            Check(worksheet_write_string(ws, headRow, lxw_col_t(c), headers.at(c).toUtf8().constData(), headFmt), file);
            widths[c] = std::max(widths[c], TextWidth(headers.at(c)) + 2);
        }

        QVector<double> totals(cols, 0);
        for (int r = 0; r < rows.size(); ++r) {
            const QVariantList& row = rows.at(r);
            const lxw_row_t xr = firstData + lxw_row_t(r);
            for (int c = 0; c < cols; ++c) {
                const QVariant v = c < row.size() ? row.at(c) : QVariant();
                if (!v.isValid() || v.isNull()) {
                    Check(worksheet_write_blank(ws, xr, lxw_col_t(c), textFmt), file);
                } else if (IsNumber(v)) {
                    const double d = v.toDouble();
                    totals[c] += d;
                    Check(worksheet_write_number(ws, xr, lxw_col_t(c), d, numFmt), file);
                    widths[c] = std::max(widths[c], TextWidth(QString::number(d, 'f', 2)) + 2);
                } else {
                    const QString s = CellText(v);
                    Check(worksheet_write_string(ws, xr, lxw_col_t(c), s.toUtf8().constData(), textFmt), file);
                    widths[c] = std::max(widths[c], TextWidth(s) + 2);
                }
            }
        }

        if (!totalColumns.isEmpty()) {
            const lxw_row_t tr = firstData + lxw_row_t(rows.size());
            if (!totalColumns.contains(0))
                Check(worksheet_write_string(ws, tr, 0, "合 计", totalFmt), file);
            for (int c : totalColumns) {
                if (c < 0 || c >= cols)
                    continue;
                const QString letters = ColumnLetters(c);
                const QString formula = rows.isEmpty() ? QStringLiteral("=0")
                                                       : QStringLiteral("=SUM(%1%2:%1%3)").arg(letters).arg(firstData + 1).arg(tr);
                Check(worksheet_write_formula_num(ws, tr, lxw_col_t(c), formula.toUtf8().constData(), totalFmt, totals[c]), file);
            }
        }

        for (int c = 0; c < cols; ++c)
            worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), std::min(widths[c], 60.0), nullptr);
        worksheet_freeze_panes(ws, firstData, 0);
    } catch (...) {
        if (!closed)
            close();
        throw;
    }
    Check(close(), file);
}
