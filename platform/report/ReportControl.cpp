#include "platform/report/ReportControl.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QtMath>

#include <cmath>
#include <optional>

namespace {

constexpr double Eps = 1e-6;
constexpr double CellPadding = 1.0; // mm left and right of a cell's text

std::function<QString(double)>& MoneyInWords()
{
    static std::function<QString(double)> fn;
    return fn;
}

double Px(double mm, double dpi) { return mm * dpi / 25.4; }

QRectF PxRect(double x, double y, double w, double h, double dpi)
{
    return QRectF(Px(x, dpi), Px(y, dpi), Px(w, dpi), Px(h, dpi));
}

QFont MakeFont(const TReportFont& f, double dpi)
{
    QFont font(f.Family);
    font.setPixelSize(qMax(1, qRound(f.Size * dpi / 72.0)));
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

Qt::Alignment ToQt(TReportHAlign a)
{
    switch (a) {
    case TReportHAlign::Left: return Qt::AlignLeft;
    case TReportHAlign::Center: return Qt::AlignHCenter;
    case TReportHAlign::Right: return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

// Draws text inside a box given in mm: vertically centred, elided unless wrapping. fm
// measures the painter's font (the table passes its own, made once per page).
void DrawText(QPainter& p, const QRectF& box, double dpi, const QString& text, TReportHAlign align, bool wrap,
              const QFontMetricsF* fm = nullptr)
{
    if (text.isEmpty())
        return;
    const QRectF r = box.adjusted(Px(CellPadding, dpi), 0, -Px(CellPadding, dpi), 0);
    if (r.width() <= 0)
        return;
    if (wrap) {
        p.save();
        p.setClipRect(box);
        p.drawText(r, int(ToQt(align) | Qt::AlignVCenter | Qt::TextWordWrap), text);
        p.restore();
        return;
    }
    std::optional<QFontMetricsF> own;
    if (!fm)
        fm = &own.emplace(p.font(), p.device());
    // Placed by hand on its base line: a bill prints thousands of cells, and the general
    // text layout behind drawText(rect, flags) costs more than the drawing itself.
    QString shown = text;
    double width = fm->horizontalAdvance(text);
    if (width > r.width()) {
        shown = fm->elidedText(text, Qt::ElideRight, r.width());
        width = fm->horizontalAdvance(shown);
    }
    double x = r.left();
    if (align == TReportHAlign::Center)
        x += (r.width() - width) / 2;
    else if (align == TReportHAlign::Right)
        x = r.right() - width;
    const double baseline = r.top() + (r.height() - fm->height()) / 2 + fm->ascent();
    p.drawText(QPointF(x, baseline), shown);
}

void DrawFrame(QPainter& p, const QRectF& r, const TReportFrame& f, double dpi)
{
    if (!f.Any())
        return;
    QPen pen(Qt::black);
    pen.setWidthF(qMax(1.0, Px(f.Width, dpi)));
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    if (f.Left) p.drawLine(r.topLeft(), r.bottomLeft());
    if (f.Top) p.drawLine(r.topLeft(), r.topRight());
    if (f.Right) p.drawLine(r.topRight(), r.bottomRight());
    if (f.Bottom) p.drawLine(r.bottomLeft(), r.bottomRight());
}

QString FormatNumber(double v, int decimals, int optional, bool thousands)
{
    const double scale = std::pow(10.0, decimals);
    // Half away from zero on the decimal value the user sees, not on the binary fraction.
    const double scaled = std::round(v * scale + (v >= 0 ? 1e-7 : -1e-7));
    const bool negative = scaled < 0;
    const double mag = std::fabs(scaled);
    QString digits = QString::number(mag, 'f', 0);
    while (digits.size() <= decimals)
        digits.prepend(QLatin1Char('0'));
    QString intPart = digits.left(digits.size() - decimals);
    QString frac = digits.right(decimals);
    int strip = optional;
    while (strip > 0 && frac.endsWith(QLatin1Char('0'))) {
        frac.chop(1);
        --strip;
    }
    if (thousands)
        for (int i = intPart.size() - 3; i > 0; i -= 3)
            intPart.insert(i, QLatin1Char(','));
    QString s = negative ? QStringLiteral("-") + intPart : intPart;
    if (!frac.isEmpty())
        s += QLatin1Char('.') + frac;
    return s;
}

bool IsNumeric(const QVariant& v)
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

// A numeric mask: "0.00", "#,##0.00", "0.##".
bool ParseMask(const QString& mask, int& decimals, int& optional, bool& thousands)
{
    if (mask.isEmpty() || !(mask.contains(QLatin1Char('0')) || mask.contains(QLatin1Char('#'))))
        return false;
    for (QChar c : mask)
        if (!QStringLiteral("0#,.").contains(c))
            return false;
    const int dot = mask.indexOf(QLatin1Char('.'));
    const QString intMask = dot < 0 ? mask : mask.left(dot);
    const QString fracMask = dot < 0 ? QString() : mask.mid(dot + 1);
    thousands = intMask.contains(QLatin1Char(','));
    decimals = int(fracMask.count(QLatin1Char('0')) + fracMask.count(QLatin1Char('#')));
    optional = int(fracMask.count(QLatin1Char('#')));
    return true;
}

} // namespace

void SetMoneyInWordsFunction(std::function<QString(double)> fn) { MoneyInWords() = std::move(fn); }

QString FormatReportValue(const QVariant& value, const QString& format)
{
    if (!value.isValid() || value.isNull())
        return {};
    const QString fmt = format.trimmed();
    if (fmt.startsWith(QLatin1String("date:"), Qt::CaseInsensitive)) {
        const QString pattern = fmt.mid(5);
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().toString(pattern);
        QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            dt = QDateTime::fromString(value.toString(), Qt::ISODate);
        return dt.isValid() ? dt.toString(pattern) : value.toString();
    }
    bool ok = false;
    const double number = IsNumeric(value) ? value.toDouble(&ok) : value.toString().trimmed().toDouble(&ok);
    if (fmt.compare(QLatin1String("chinese"), Qt::CaseInsensitive) == 0) {
        if (!ok)
            return value.toString();
        return MoneyInWords() ? MoneyInWords()(number) : FormatNumber(number, 2, 0, true);
    }
    int decimals = 0, optional = 0;
    bool thousands = false;
    const QString mask = fmt.compare(QLatin1String("money"), Qt::CaseInsensitive) == 0 ? QStringLiteral("#,##0.00") : fmt;
    if (ParseMask(mask, decimals, optional, thousands))
        return ok ? FormatNumber(number, decimals, optional, thousands) : value.toString();

    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    default:
        break;
    }
    if (IsNumeric(value))
        return FormatNumber(number, 4, 4, false);
    return value.toString();
}

// ---------------------------------------------------------------------------------------

namespace {

class TMapRowSource : public TReportRowSource {
public:
    explicit TMapRowSource(const QVector<QVariantMap>& rows)
    {
        FRows.reserve(rows.size());
        for (const auto& r : rows) {
            QHash<QString, QVariant> h;
            for (auto it = r.begin(); it != r.end(); ++it)
                h.insert(it.key().toUpper(), it.value());
            FRows.append(h);
        }
    }
    int RowCount() const override { return int(FRows.size()); }
    QVariant Value(int row, const QString& field) const override
    {
        if (row < 0 || row >= FRows.size())
            return {};
        return FRows.at(row).value(field.toUpper());
    }

private:
    QVector<QHash<QString, QVariant>> FRows;
};

int IndexOfName(const QVector<TReportCatalogueEntry>& list, const QString& name)
{
    for (int i = 0; i < list.size(); ++i)
        if (list.at(i).Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString StripPrefix(const QString& name, const char* prefix)
{
    return name.startsWith(QLatin1String(prefix), Qt::CaseInsensitive) ? name.mid(int(strlen(prefix))) : QString();
}

} // namespace

TReportControl::TReportControl() : FTemplate(TReportTemplate::Empty()) {}
TReportControl::~TReportControl() = default;

void TReportControl::LoadFromFile(const QString& fileName)
{
    SetTemplate(TReportTemplate::LoadFromFile(fileName));
}

void TReportControl::SaveToFile(const QString& fileName) const { FTemplate.SaveToFile(fileName); }

void TReportControl::SetTemplate(const TReportTemplate& t)
{
    t.Validate();
    FTemplate = t;
    FValues.clear();
    for (const auto& v : FTemplate.Variables)
        if (!v.Value.isEmpty())
            FValues.insert(v.Name.toUpper(), v.Value);
    Invalidate();
}

void TReportControl::ClearCatalogue()
{
    ClearVariables();
    ClearDetailFields();
}

void TReportControl::ClearVariables()
{
    FTemplate.Variables.clear();
    FValues.clear();
    Invalidate();
}

void TReportControl::ClearDetailFields()
{
    FTemplate.DetailFields.clear();
    Invalidate();
}

void TReportControl::AddVariable(const QString& name, const QString& caption, const QVariant& value)
{
    if (name.trimmed().isEmpty())
        return;
    if (IndexOfName(FTemplate.Variables, name) < 0)
        FTemplate.Variables.append({name, caption, {}});
    if (value.isValid())
        SetVarValue(name, value);
}

void TReportControl::AddDetailField(const QString& name, const QString& caption)
{
    if (name.trimmed().isEmpty() || IndexOfName(FTemplate.DetailFields, name) >= 0)
        return;
    FTemplate.DetailFields.append({name, caption, {}});
}

void TReportControl::AppendVariable(const QString& name, const QString& caption)
{
    if (name.trimmed().isEmpty())
        return;
    // A name listed before keeps its value: the new entry shows the same one.
    const int known = IndexOfName(FTemplate.Variables, name);
    FTemplate.Variables.append({name, caption, known >= 0 ? FTemplate.Variables.at(known).Value : QString()});
}

void TReportControl::AppendDetailField(const QString& name, const QString& caption)
{
    if (!name.trimmed().isEmpty())
        FTemplate.DetailFields.append({name, caption, {}});
}

void TReportControl::SetVarValue(const QString& name, const QVariant& value)
{
    if (name.trimmed().isEmpty())
        return;
    if (IndexOfName(FTemplate.Variables, name) < 0)
        FTemplate.Variables.append({name, name, {}});
    const QString text = FormatReportValue(value, {});
    for (TReportCatalogueEntry& e : FTemplate.Variables) // every entry listed under the name
        if (e.Name.compare(name, Qt::CaseInsensitive) == 0)
            e.Value = text;
    FValues.insert(name.toUpper(), value);
    Invalidate();
}

QVariant TReportControl::VarValue(const QString& name) const { return FValues.value(name.toUpper()); }

void TReportControl::SetMasterValues(const QVariantMap& values)
{
    FMasterValues.clear();
    for (auto it = values.begin(); it != values.end(); ++it)
        FMasterValues.insert(it.key().toUpper(), it.value());
    FMasterReader = nullptr;
    Invalidate();
}

void TReportControl::SetDetailRows(const QVector<QVariantMap>& rows)
{
    SetDetailSource(std::make_shared<TMapRowSource>(rows));
}

void TReportControl::SetDetailSource(std::shared_ptr<TReportRowSource> source)
{
    FDetail = std::move(source);
    Invalidate();
}

int TReportControl::DetailRowCount() const { return FDetail ? FDetail->RowCount() : 0; }

QVariant TReportControl::MasterValue(const QString& field) const
{
    if (FMasterReader)
        return FMasterReader(field);
    return FMasterValues.value(field.toUpper());
}

double TReportControl::ColumnTotal(const QString& field) const
{
    const QString key = field.toUpper();
    auto it = FTotals.constFind(key);
    if (it != FTotals.constEnd())
        return it.value();
    double sum = 0;
    const int n = DetailRowCount();
    for (int r = 0; r < n; ++r) {
        const QVariant v = FDetail->Value(r, field);
        if (!v.isNull())
            sum += IsNumeric(v) ? v.toDouble() : v.toString().toDouble();
    }
    FTotals.insert(key, sum);
    return sum;
}

QVariant TReportControl::Resolve(const QString& rawName, int pageIndex, int row) const
{
    const QString name = rawName.trimmed();
    if (name.startsWith(QLatin1String("SUM("), Qt::CaseInsensitive) && name.endsWith(QLatin1Char(')'))) {
        QString field = name.mid(4, name.size() - 5).trimmed();
        const QString stripped = StripPrefix(field, "D.");
        return ColumnTotal(stripped.isNull() ? field : stripped);
    }
    if (name.compare(QLatin1String("PageNum"), Qt::CaseInsensitive) == 0)
        return pageIndex + 1;
    if (name.compare(QLatin1String("PageCount"), Qt::CaseInsensitive) == 0)
        return FPageCount;
    if (name.compare(QLatin1String("RowNo"), Qt::CaseInsensitive) == 0)
        return row >= 0 ? QVariant(row + 1) : QVariant();

    const QString detailField = StripPrefix(name, "D.");
    if (!detailField.isNull())
        return (row >= 0 && FDetail) ? FDetail->Value(row, detailField) : QVariant();

    const QVariant set = FValues.value(name.toUpper());
    if (set.isValid() && !set.isNull())
        return set;
    const QString masterField = StripPrefix(name, "M.");
    if (!masterField.isNull())
        return MasterValue(masterField);

    const QDateTime now = FPrintTime.isValid() ? FPrintTime : QDateTime::currentDateTime();
    if (name.compare(QLatin1String("Date"), Qt::CaseInsensitive) == 0)
        return now.date();
    if (name.compare(QLatin1String("Time"), Qt::CaseInsensitive) == 0)
        return now.time().toString(QStringLiteral("hh:mm:ss"));
    if (name.compare(QLatin1String("DateTime"), Qt::CaseInsensitive) == 0)
        return now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return {};
}

QString TReportControl::Evaluate(const QString& expression, int pageIndex, int row)
{
    Layout(); // "PageCount" needs the page plan
    QString out;
    int i = 0;
    const int n = int(expression.size());
    while (i < n) {
        const QChar c = expression.at(i);
        if (c == QLatin1Char('[')) {
            if (i + 1 < n && expression.at(i + 1) == QLatin1Char('[')) { // "[[" is a literal "["
                out += c;
                i += 2;
                continue;
            }
            const int close = int(expression.indexOf(QLatin1Char(']'), i + 1));
            if (close < 0) {
                out += expression.mid(i);
                break;
            }
            const QString token = expression.mid(i + 1, close - i - 1);
            const int bar = int(token.indexOf(QLatin1Char('|')));
            const QString name = bar < 0 ? token : token.left(bar);
            const QString format = bar < 0 ? QString() : token.mid(bar + 1);
            out += FormatReportValue(Resolve(name, pageIndex, row), format);
            i = close + 1;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Layout

QVector<double> TReportControl::TableColumnWidths() const
{
    QVector<double> w;
    for (const auto& c : FTemplate.Columns)
        w.append(c.Width);
    return w;
}

void TReportControl::Layout()
{
    if (FLaidOut)
        return;
    FTotals.clear();
    FPageCount = 0;
    if (FDetail)
        FDetail->Prepare();

    // Every page after the first starts the same way and holds the same number of rows,
    // so the plan is a handful of numbers whatever the number of rows: a page's items are
    // made when the page is drawn and dropped after.
    const TReportTemplate& t = FTemplate;
    TLayoutMetrics& m = FMetrics;
    m = TLayoutMetrics();
    const TReportBand* pageHeader = t.Band(TReportBandKind::PageHeader);
    const TReportBand* pageFooter = t.Band(TReportBandKind::PageFooter);
    m.Top = t.Page.MarginTop;
    m.Bottom = t.Page.Height - t.Page.MarginBottom;
    m.RowHeight = t.BandHeight(TReportBandKind::Detail);
    const bool hasTable = t.Table.Visible && !t.Columns.isEmpty();
    m.TableHeaderHeight = hasTable ? t.Table.HeaderHeight : 0;
    bool anyTotal = false;
    for (const auto& c : t.Columns)
        anyTotal = anyTotal || c.Total;
    m.TotalsHeight = (hasTable && anyTotal) ? m.RowHeight : 0;
    m.SummaryHeight = t.BandHeight(TReportBandKind::Summary);
    for (int page : {0, 1}) {
        m.HeaderOn[page] = pageHeader && (page > 0 || pageHeader->PrintOnFirstPage);
        m.FooterOn[page] = pageFooter && (page > 0 || pageFooter->PrintOnFirstPage);
        m.Start[page] = m.Top + (m.HeaderOn[page] ? pageHeader->Height : 0) +
                        (page == 0 ? t.BandHeight(TReportBandKind::Title) + t.BandHeight(TReportBandKind::MasterHeader) : 0);
        m.Limit[page] = m.Bottom - (m.FooterOn[page] ? pageFooter->Height : 0);
        const double room = m.Limit[page] + Eps - m.Start[page] - m.TableHeaderHeight;
        m.Capacity[page] = room < m.RowHeight ? 0 : int(std::floor(room / m.RowHeight));
    }
    auto checkStart = [&](int page) {
        if (m.Start[page] > m.Limit[page] + Eps)
            throw EReportError(QStringLiteral("页眉、标题和页脚的高度之和超过了纸张的可打印高度"));
    };
    checkStart(0);

    const int rows = DetailRowCount();
    m.Rows = rows;
    int lastRowPage = 0;
    int rowsOnLast = std::min(rows, m.Capacity[0]);
    if (rows > m.Capacity[0]) {
        checkStart(1);
        if (m.Capacity[1] == 0)
            throw EReportError(QStringLiteral("明细行高度超过了纸张的可打印高度"));
        const int rest = rows - m.Capacity[0];
        const int more = (rest + m.Capacity[1] - 1) / m.Capacity[1];
        lastRowPage = more;
        rowsOnLast = rest - (more - 1) * m.Capacity[1];
    }
    const int k = lastRowPage > 0 ? 1 : 0;
    double y = m.Start[k] + (rowsOnLast > 0 ? m.TableHeaderHeight + rowsOnLast * m.RowHeight : 0);
    auto closingHeight = [&](bool rowsOnPage) {
        return (m.TotalsHeight > 0 && !rowsOnPage ? m.TableHeaderHeight : 0) + m.TotalsHeight + m.SummaryHeight;
    };
    m.ClosingPage = lastRowPage;
    // Totals and summary stay together after the last row, on a new page if they must.
    if (y + closingHeight(rowsOnLast > 0) > m.Limit[k] + Eps) {
        m.ClosingPage = lastRowPage + 1;
        checkStart(1);
        if (m.Start[1] + closingHeight(false) > m.Limit[1] + Eps)
            throw EReportError(QStringLiteral("表尾汇总区域的高度超过了纸张的可打印高度"));
    }
    FPageCount = m.ClosingPage + 1;
    FLaidOut = true;
}

int TReportControl::PageCount()
{
    Layout();
    return FPageCount;
}

TReportPagePlan TReportControl::PagePlan(int pageIndex)
{
    using TPlaced = TReportPagePlan::TPlaced;
    Layout();
    if (pageIndex < 0 || pageIndex >= FPageCount)
        throw EReportError(QStringLiteral("报表没有第 %1 页").arg(pageIndex + 1));
    const TLayoutMetrics& m = FMetrics;
    const int k = pageIndex > 0 ? 1 : 0;
    TReportPagePlan plan;
    if (pageIndex == 0) {
        plan.FirstRow = 0;
        plan.RowCount = std::min(m.Rows, m.Capacity[0]);
    } else {
        plan.FirstRow = std::min(m.Rows, m.Capacity[0] + (pageIndex - 1) * m.Capacity[1]);
        plan.RowCount = std::min(m.Capacity[1], m.Rows - plan.FirstRow);
    }
    double y = m.Top;
    if (m.HeaderOn[k]) {
        plan.Items.append({TPlaced::Band, TReportBandKind::PageHeader, -1, y});
        y += FTemplate.BandHeight(TReportBandKind::PageHeader);
    }
    if (pageIndex == 0) {
        if (FTemplate.Band(TReportBandKind::Title)) {
            plan.Items.append({TPlaced::Band, TReportBandKind::Title, -1, y});
            y += FTemplate.BandHeight(TReportBandKind::Title);
        }
        if (FTemplate.Band(TReportBandKind::MasterHeader)) {
            plan.Items.append({TPlaced::Band, TReportBandKind::MasterHeader, -1, y});
            y += FTemplate.BandHeight(TReportBandKind::MasterHeader);
        }
    }
    const bool closing = pageIndex == m.ClosingPage;
    if (plan.RowCount > 0 || (closing && m.TotalsHeight > 0)) {
        if (m.TableHeaderHeight > 0)
            plan.Items.append({TPlaced::TableHeader, TReportBandKind::Detail, -1, y});
        y += m.TableHeaderHeight;
    }
    for (int r = 0; r < plan.RowCount; ++r) {
        plan.Items.append({TPlaced::DetailRow, TReportBandKind::Detail, plan.FirstRow + r, y});
        y += m.RowHeight;
    }
    if (closing) {
        if (m.TotalsHeight > 0) {
            plan.Items.append({TPlaced::TotalsRow, TReportBandKind::Detail, -1, y});
            y += m.TotalsHeight;
        }
        if (FTemplate.Band(TReportBandKind::Summary))
            plan.Items.append({TPlaced::Band, TReportBandKind::Summary, -1, y});
    }
    if (m.FooterOn[k])
        plan.Items.append({TPlaced::Band, TReportBandKind::PageFooter, -1, m.Bottom - FTemplate.BandHeight(TReportBandKind::PageFooter)});
    return plan;
}

// ---------------------------------------------------------------------------------------
// Painting

void TReportControl::PaintBand(QPainter& p, double dpi, const TReportBand& band, double top, int pageIndex, int row)
{
    const double left = FTemplate.Page.MarginLeft;
    for (const TReportItem& it : band.Items) {
        const QRectF box = PxRect(left + it.X, top + it.Y, it.Width, it.Height, dpi);
        switch (it.Kind) {
        case TReportItemKind::Line: {
            QPen pen(Qt::black);
            pen.setWidthF(qMax(1.0, Px(it.LineWidth, dpi)));
            p.setPen(pen);
            p.drawLine(box.topLeft(), box.bottomRight());
            break;
        }
        case TReportItemKind::Rect: {
            QPen pen(Qt::black);
            pen.setWidthF(qMax(1.0, Px(it.LineWidth, dpi)));
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawRect(box);
            break;
        }
        case TReportItemKind::Text:
            p.setFont(MakeFont(it.Font, dpi));
            p.setPen(Qt::black);
            DrawText(p, box, dpi, Evaluate(it.Text, pageIndex, row), it.Align, it.WordWrap);
            DrawFrame(p, box, it.Frame, dpi);
            break;
        }
    }
}

// The table's fonts at the resolution of one page, made once per page rather than per row.
// Each column's plain detail field is looked up by name once, not per cell.
struct TReportControl::TTablePaint {
    TTablePaint(const TReportTemplate& t, QPaintDevice* device, double dpi)
        : Header(MakeFont(t.Table.HeaderFont, dpi)), Cell(MakeFont(t.Table.CellFont, dpi)), Totals(Cell),
          HeaderMetrics(Header, device), CellMetrics(Cell, device), TotalsMetrics(Totals, device)
    {
        Totals.setBold(true);
        TotalsMetrics = QFontMetricsF(Totals, device);
        for (const TReportColumn& c : t.Columns) {
            const QString field = StripPrefix(c.Field.trimmed(), "D.");
            DetailField.append(field.isEmpty() ? QString() : field);
        }
    }
    QFont Header, Cell, Totals;
    QFontMetricsF HeaderMetrics, CellMetrics, TotalsMetrics;
    QVector<QString> DetailField; // "" where the column holds something else
};

void TReportControl::PaintTableRow(QPainter& p, double dpi, double top, int pageIndex, int row, int what, const TTablePaint& tp)
{
    using TPlaced = TReportPagePlan::TPlaced;
    const TReportTemplate& t = FTemplate;
    const bool header = what == TPlaced::TableHeader;
    const bool totals = what == TPlaced::TotalsRow;
    const double h = header ? t.Table.HeaderHeight : t.BandHeight(TReportBandKind::Detail);
    double x = t.Page.MarginLeft;
    const QFontMetricsF* fm = &tp.CellMetrics;
    if (header) {
        p.fillRect(PxRect(x, top, t.TableWidth(), h, dpi), QColor(236, 236, 236));
        p.setFont(tp.Header);
        fm = &tp.HeaderMetrics;
    } else if (totals && !t.Table.CellFont.Bold) {
        p.setFont(tp.Totals);
        fm = &tp.TotalsMetrics;
    } else {
        p.setFont(tp.Cell);
    }
    p.setPen(Qt::black);
    for (int i = 0; i < t.Columns.size(); ++i) {
        const TReportColumn& c = t.Columns.at(i);
        const QRectF box = PxRect(x, top, c.Width, h, dpi);
        QString text;
        TReportHAlign align = c.Align;
        if (header) {
            text = c.Caption;
            align = TReportHAlign::Center;
        } else if (totals) {
            if (i == 0) {
                text = t.Table.TotalCaption;
                align = TReportHAlign::Center;
            } else if (c.Total) {
                text = FormatReportValue(Resolve(QStringLiteral("SUM(%1)").arg(c.Field), pageIndex, -1), c.Format);
            }
        } else if (!tp.DetailField.at(i).isEmpty()) {
            text = FormatReportValue(FDetail ? FDetail->Value(row, tp.DetailField.at(i)) : QVariant(), c.Format);
        } else {
            text = FormatReportValue(Resolve(c.Field, pageIndex, row), c.Format);
        }
        DrawText(p, box, dpi, text, align, false, fm);
        x += c.Width;
    }
}

// The ruling of one page's block of table rows: a line between every two rows and round
// the block, and the column lines from its top to its bottom, each drawn once.
void TReportControl::PaintTableRules(QPainter& p, double dpi, const QVector<double>& rowTops, double bottom)
{
    const TReportTemplate& t = FTemplate;
    if (rowTops.isEmpty() || !(t.Table.LineWidth > 0))
        return;
    QPen pen(Qt::black);
    pen.setWidthF(qMax(1.0, Px(t.Table.LineWidth, dpi)));
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    const double left = t.Page.MarginLeft;
    const double right = left + t.TableWidth();
    QVector<QLineF> lines;
    lines.reserve(rowTops.size() + t.Columns.size() + 2);
    for (double y : rowTops)
        lines.append(QLineF(Px(left, dpi), Px(y, dpi), Px(right, dpi), Px(y, dpi)));
    lines.append(QLineF(Px(left, dpi), Px(bottom, dpi), Px(right, dpi), Px(bottom, dpi)));
    double x = left;
    lines.append(QLineF(Px(x, dpi), Px(rowTops.first(), dpi), Px(x, dpi), Px(bottom, dpi)));
    for (const TReportColumn& c : t.Columns) {
        x += c.Width;
        lines.append(QLineF(Px(x, dpi), Px(rowTops.first(), dpi), Px(x, dpi), Px(bottom, dpi)));
    }
    p.drawLines(lines);
}

void TReportControl::PaintPage(QPainter& p, double dpi, int pageIndex)
{
    using TPlaced = TReportPagePlan::TPlaced;
    const TReportPagePlan plan = PagePlan(pageIndex);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const bool hasTable = FTemplate.Table.Visible && !FTemplate.Columns.isEmpty();
    const TTablePaint tp(FTemplate, p.device(), dpi);
    QVector<double> rowTops; // of the table's rows on this page, for the ruling
    double tableBottom = 0;
    const double rowH = FTemplate.BandHeight(TReportBandKind::Detail);
    for (const TPlaced& it : plan.Items) {
        switch (it.What) {
        case TPlaced::Band:
            if (const TReportBand* b = FTemplate.Band(it.Kind))
                PaintBand(p, dpi, *b, it.Top, pageIndex, -1);
            break;
        case TPlaced::TableHeader:
        case TPlaced::TotalsRow:
            PaintTableRow(p, dpi, it.Top, pageIndex, -1, it.What, tp);
            rowTops.append(it.Top);
            tableBottom = it.Top + (it.What == TPlaced::TableHeader ? FTemplate.Table.HeaderHeight : rowH);
            break;
        case TPlaced::DetailRow:
            if (hasTable) {
                PaintTableRow(p, dpi, it.Top, pageIndex, it.Row, it.What, tp);
                rowTops.append(it.Top);
                tableBottom = it.Top + rowH;
            }
            if (const TReportBand* b = FTemplate.Band(TReportBandKind::Detail))
                PaintBand(p, dpi, *b, it.Top, pageIndex, it.Row);
            break;
        }
    }
    PaintTableRules(p, dpi, rowTops, tableBottom);
}

QImage TReportControl::RenderPage(int pageIndex, double dpi)
{
    Layout();
    if (pageIndex < 0 || pageIndex >= FPageCount)
        throw EReportError(QStringLiteral("报表没有第 %1 页").arg(pageIndex + 1));
    const QSize size(qCeil(Px(FTemplate.Page.Width, dpi)), qCeil(Px(FTemplate.Page.Height, dpi)));
    QImage img(size, QImage::Format_RGB32);
    const int dpm = qRound(dpi / 0.0254);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    img.fill(Qt::white);
    QPainter p(&img);
    PaintPage(p, dpi, pageIndex);
    return img;
}

namespace {
QPageLayout MakePageLayout(const TReportPage& pg)
{
    const bool landscape = pg.Width > pg.Height;
    const QSizeF portrait(qMin(pg.Width, pg.Height), qMax(pg.Width, pg.Height));
    return QPageLayout(QPageSize(portrait, QPageSize::Millimeter), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}
} // namespace

QVector<int> TReportControl::PrintSequence(int fromPage, int toPage, int copies, bool collate)
{
    Layout();
    const int first = fromPage > 0 ? fromPage : 1;
    const int last = toPage > 0 ? std::min(toPage, FPageCount) : FPageCount;
    if (first > last)
        throw EReportError(QStringLiteral("打印范围第 %1 页至第 %2 页中没有可打印的页（共 %3 页）")
                               .arg(first).arg(toPage > 0 ? toPage : last).arg(FPageCount));
    QVector<int> out;
    copies = std::max(1, copies);
    out.reserve((last - first + 1) * copies);
    if (collate) {
        for (int c = 0; c < copies; ++c)
            for (int p = first; p <= last; ++p)
                out.append(p - 1);
    } else {
        for (int p = first; p <= last; ++p)
            for (int c = 0; c < copies; ++c)
                out.append(p - 1);
    }
    return out;
}

void TReportControl::PaintDocument(QPainter& p, QPagedPaintDevice* device, double dpi, const QVector<int>& pages)
{
    // One page is planned, drawn and handed to the device at a time: nothing of a page
    // outlives it, so a bill of any length prints in the same memory.
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device->newPage())
            throw EReportError(QStringLiteral("打印时无法开始新的一页"));
        PaintPage(p, dpi, pages.at(i));
    }
}

void TReportControl::PrintToPdf(const QString& fileName)
{
    Layout();
    QPdfWriter writer(fileName);
    writer.setCreator(QStringLiteral("Tradebill"));
    writer.setTitle(FTemplate.Name);
    writer.setResolution(600);
    writer.setPageLayout(MakePageLayout(FTemplate.Page));
    QPainter p;
    if (!p.begin(&writer))
        throw EReportError(QStringLiteral("无法写入文件 %1").arg(fileName));
    PaintDocument(p, &writer, writer.resolution(), PrintSequence(1, FPageCount, 1, true));
    p.end();
}

void TReportControl::Print(QPrinter* printer)
{
    Layout();
    // The page range and copies the user chose in the print dialog; copies are repeated
    // here when the printer cannot make them itself (a PDF, for one).
    const bool range = printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0;
    const int copies = printer->supportsMultipleCopies() ? 1 : printer->copyCount();
    const QVector<int> pages = PrintSequence(range ? printer->fromPage() : 1, range ? printer->toPage() : FPageCount, copies,
                                             printer->collateCopies());
    printer->setFullPage(true);
    printer->setPageLayout(MakePageLayout(FTemplate.Page));
    printer->setDocName(FTemplate.Name);
    QPainter p;
    if (!p.begin(printer))
        throw EReportError(QStringLiteral("无法开始打印"));
    PaintDocument(p, printer, printer->resolution(), pages);
    p.end();
}
