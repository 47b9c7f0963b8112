#include "platform/report/SampleBillData.h"

#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace {

QString StripDetail(const QString& name)
{
    return name.startsWith(QLatin1String("D."), Qt::CaseInsensitive) ? name.mid(2) : name;
}

bool Has(const QString& lower, std::initializer_list<const char*> parts)
{
    for (const char* p : parts)
        if (lower.contains(QString::fromUtf8(p)))
            return true;
    return false;
}

// Every "D.x" a text of the template mentions.
void CollectDetailNames(const QString& text, QStringList& out, QSet<QString>& seen)
{
    static const QRegularExpression re(QStringLiteral("\\[(?:SUM\\()?\\s*D\\.([^\\]|)\\s]+)"), QRegularExpression::CaseInsensitiveOption);
    for (auto it = re.globalMatch(text); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!seen.contains(name.toUpper())) {
            seen.insert(name.toUpper());
            out << name;
        }
    }
}

constexpr double Quantity(int row) { return 1 + row % 5; }
double Price(int row) { return 12.5 + 3 * (row % 7); }

} // namespace

QVariant SampleValue(const QString& rawName, const QString& caption, int row)
{
    const QString name = StripDetail(rawName);
    const QString lower = name.toLower() + QLatin1Char(' ') + caption.toLower();
    const double qty = Quantity(row), price = Price(row);
    const double amount = std::round(qty * price * 100) / 100;
    if (Has(lower, {"date", "日期", "time", "时间"}))
        return QDate(2024, 3, 15).addDays(row % 28);
    if (Has(lower, {"disc", "折扣"}))
        return 100;
    if (Has(lower, {"taxrate", "税率"}))
        return 13;
    if (Has(lower, {"taxamt", "税额"}))
        return std::round(amount * 13) / 100;
    if (Has(lower, {"amount", "amt", "金额", "合计", "总计", "价税"}))
        return amount;
    if (Has(lower, {"price", "单价", "价格"}))
        return price;
    if (Has(lower, {"qty", "quantity", "数量"}))
        return qty;
    if (Has(lower, {"rate", "转换率"}))
        return 1;
    if (Has(lower, {"unit", "单位"}))
        return QStringLiteral("箱");
    if (Has(lower, {"specs", "规格"}))
        return QStringLiteral("500g×%1").arg(12 + row % 3 * 6);
    if (Has(lower, {"goodsname", "品名", "名称"}))
        return QStringLiteral("示例货品%1").arg(row + 1);
    if (Has(lower, {"code", "编码", "编号", "单号"}))
        return QStringLiteral("SP%1").arg(row + 1, 5, 10, QLatin1Char('0'));
    return caption.isEmpty() ? name : caption;
}

QVector<QVariantMap> SampleDetailRows(const TReportTemplate& t, int rows)
{
    QStringList names;
    QSet<QString> seen;
    QHash<QString, QString> captions;
    for (const TReportColumn& c : t.Columns) {
        CollectDetailNames(QStringLiteral("[%1]").arg(c.Field), names, seen);
        captions.insert(StripDetail(c.Field).toUpper(), c.Caption);
    }
    for (const TReportCatalogueEntry& e : t.DetailFields) {
        CollectDetailNames(QStringLiteral("[%1]").arg(e.Name), names, seen);
        if (!captions.contains(StripDetail(e.Name).toUpper()))
            captions.insert(StripDetail(e.Name).toUpper(), e.Caption);
    }
    for (const TReportBand& b : t.Bands)
        for (const TReportItem& it : b.Items)
            CollectDetailNames(it.Text, names, seen);
    QVector<QVariantMap> out;
    out.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QVariantMap row;
        for (const QString& n : names)
            row.insert(n, SampleValue(n, captions.value(n.toUpper()), r));
        out.append(row);
    }
    return out;
}

void FillSampleBillData(TReportControl& report, int rows)
{
    const TReportTemplate& t = report.Template();
    const QVector<QVariantMap> lines = SampleDetailRows(t, rows);
    double total = 0;
    for (int r = 0; r < rows; ++r)
        total += std::round(Quantity(r) * Price(r) * 100) / 100;
    // Variables the bill would set: a value last set stays, the rest get sample values;
    // totals and amounts in words agree with the sample lines.
    const QVector<TReportCatalogueEntry> vars = t.Variables;
    for (const TReportCatalogueEntry& v : vars) {
        if (!v.Value.isEmpty() || !report.VarValue(v.Name).isNull())
            continue;
        const QString n = v.Name;
        if (n.compare(QLatin1String("Date"), Qt::CaseInsensitive) == 0 || n.compare(QLatin1String("Time"), Qt::CaseInsensitive) == 0
            || n.compare(QLatin1String("DateTime"), Qt::CaseInsensitive) == 0 || n.compare(QLatin1String("PageNum"), Qt::CaseInsensitive) == 0
            || n.compare(QLatin1String("PageCount"), Qt::CaseInsensitive) == 0)
            continue; // the report fills these itself
        if (n.endsWith(QStringLiteral("大写")))
            report.SetVarValue(n, FormatReportValue(total, QStringLiteral("chinese")));
        else if (n.endsWith(QStringLiteral("小写")) || n.endsWith(QStringLiteral("总计")))
            report.SetVarValue(n, FormatReportValue(total, QStringLiteral("#,##0.00")));
        else if (n.startsWith(QStringLiteral("企业")))
            report.SetVarValue(n, n == QStringLiteral("企业名称") ? QStringLiteral("示例商贸有限公司") : v.Caption + QStringLiteral("（示例）"));
        else if (n.startsWith(QStringLiteral("客户")) || n.startsWith(QStringLiteral("供应商")))
            report.SetVarValue(n, n.endsWith(QStringLiteral("名称")) ? QStringLiteral("示例往来单位") : v.Caption + QStringLiteral("（示例）"));
        else if (n == QStringLiteral("打印人"))
            report.SetVarValue(n, QStringLiteral("示例操作员"));
        else if (n == QStringLiteral("单号") || n.compare(QLatin1String("M.code"), Qt::CaseInsensitive) == 0)
            report.SetVarValue(n, QStringLiteral("XS-20240315-0001"));
        else
            report.SetVarValue(n, SampleValue(n.startsWith(QLatin1String("M."), Qt::CaseInsensitive) ? n.mid(2) : n, v.Caption));
    }
    report.SetDetailRows(lines);
    report.SetPrintTime(QDateTime(QDate(2024, 3, 15), QTime(9, 30)));
}
