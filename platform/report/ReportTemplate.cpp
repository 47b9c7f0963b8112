#include "platform/report/ReportTemplate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace {

const char* const FormatTag = "tradebill-report";
constexpr double MaxPaperMm = 2000; // larger than any roll a bill printer takes

struct TBandKindInfo {
    TReportBandKind Kind;
    const char* Name;
    const char* Caption;
};
const TBandKindInfo BandKinds[] = {
    {TReportBandKind::Title, "title", "标题"},
    {TReportBandKind::PageHeader, "pageHeader", "页眉"},
    {TReportBandKind::MasterHeader, "masterHeader", "表头"},
    {TReportBandKind::Detail, "detail", "明细"},
    {TReportBandKind::Summary, "summary", "表尾汇总"},
    {TReportBandKind::PageFooter, "pageFooter", "页脚"},
};

[[noreturn]] void Fail(const QString& message)
{
    throw EReportError(QStringLiteral("打印模板格式错误：%1").arg(message));
}

// Reads a JSON object with type checks; every failure names the path of the value.
class TReader {
public:
    TReader(const QJsonObject& o, QString path) : FObj(o), FPath(std::move(path)) {}

    bool Has(const char* key) const { return FObj.contains(QLatin1String(key)); }
    QString Where(const char* key) const { return FPath + QLatin1Char('.') + QLatin1String(key); }

    double Number(const char* key, double def, double min, double max, bool required = false) const
    {
        const QJsonValue v = FObj.value(QLatin1String(key));
        if (v.isUndefined()) {
            if (required)
                Fail(QStringLiteral("缺少 %1").arg(Where(key)));
            return def;
        }
        if (!v.isDouble())
            Fail(QStringLiteral("%1 应为数值").arg(Where(key)));
        const double d = v.toDouble();
        if (!std::isfinite(d) || d < min || d > max)
            Fail(QStringLiteral("%1 的值 %2 超出范围 %3～%4").arg(Where(key)).arg(d).arg(min).arg(max));
        return d;
    }
    QString Text(const char* key, const QString& def = {}, bool required = false) const
    {
        const QJsonValue v = FObj.value(QLatin1String(key));
        if (v.isUndefined()) {
            if (required)
                Fail(QStringLiteral("缺少 %1").arg(Where(key)));
            return def;
        }
        if (!v.isString())
            Fail(QStringLiteral("%1 应为文本").arg(Where(key)));
        return v.toString();
    }
    bool Bool(const char* key, bool def) const
    {
        const QJsonValue v = FObj.value(QLatin1String(key));
        if (v.isUndefined())
            return def;
        if (!v.isBool())
            Fail(QStringLiteral("%1 应为 true 或 false").arg(Where(key)));
        return v.toBool();
    }
    TReader Object(const char* key, bool required) const
    {
        const QJsonValue v = FObj.value(QLatin1String(key));
        if (v.isUndefined() && !required)
            return TReader(QJsonObject(), Where(key));
        if (!v.isObject())
            Fail(QStringLiteral("%1 应为对象").arg(Where(key)));
        return TReader(v.toObject(), Where(key));
    }
    QVector<TReader> Array(const char* key, bool required) const
    {
        const QJsonValue v = FObj.value(QLatin1String(key));
        QVector<TReader> out;
        if (v.isUndefined() && !required)
            return out;
        if (!v.isArray())
            Fail(QStringLiteral("%1 应为数组").arg(Where(key)));
        const QJsonArray a = v.toArray();
        for (int i = 0; i < a.size(); ++i) {
            const QString p = QStringLiteral("%1[%2]").arg(Where(key)).arg(i);
            if (!a.at(i).isObject())
                Fail(QStringLiteral("%1 应为对象").arg(p));
            out.append(TReader(a.at(i).toObject(), p));
        }
        return out;
    }

private:
    QJsonObject FObj;
    QString FPath;
};

QString AlignName(TReportHAlign a)
{
    switch (a) {
    case TReportHAlign::Left: return QStringLiteral("left");
    case TReportHAlign::Center: return QStringLiteral("center");
    case TReportHAlign::Right: return QStringLiteral("right");
    }
    return QStringLiteral("left");
}

TReportHAlign ReadAlign(const TReader& r, const char* key)
{
    const QString s = r.Text(key, QStringLiteral("left"));
    if (s == QLatin1String("left"))
        return TReportHAlign::Left;
    if (s == QLatin1String("center"))
        return TReportHAlign::Center;
    if (s == QLatin1String("right"))
        return TReportHAlign::Right;
    Fail(QStringLiteral("%1 的对齐方式 \"%2\" 无法识别").arg(r.Where(key), s));
}

QJsonObject WriteFont(const TReportFont& f)
{
    return QJsonObject{{"family", f.Family}, {"size", f.Size}, {"bold", f.Bold}, {"italic", f.Italic}};
}

TReportFont ReadFont(const TReader& parent, const char* key, const TReportFont& def)
{
    if (!parent.Has(key))
        return def;
    const TReader r = parent.Object(key, true);
    TReportFont f;
    f.Family = r.Text("family", def.Family);
    if (f.Family.trimmed().isEmpty())
        Fail(QStringLiteral("%1 的字体名为空").arg(parent.Where(key)));
    f.Size = r.Number("size", def.Size, 1, 200);
    f.Bold = r.Bool("bold", def.Bold);
    f.Italic = r.Bool("italic", def.Italic);
    return f;
}

QString FrameSides(const TReportFrame& f)
{
    QString s;
    if (f.Left) s += QLatin1Char('L');
    if (f.Top) s += QLatin1Char('T');
    if (f.Right) s += QLatin1Char('R');
    if (f.Bottom) s += QLatin1Char('B');
    return s;
}

QString ItemKindName(TReportItemKind k)
{
    switch (k) {
    case TReportItemKind::Text: return QStringLiteral("text");
    case TReportItemKind::Line: return QStringLiteral("line");
    case TReportItemKind::Rect: return QStringLiteral("rect");
    }
    return QStringLiteral("text");
}

QJsonArray WriteCatalogue(const QVector<TReportCatalogueEntry>& list, bool withValue)
{
    QJsonArray a;
    for (const auto& e : list) {
        QJsonObject o{{"name", e.Name}, {"caption", e.Caption}};
        if (withValue && !e.Value.isEmpty())
            o.insert("value", e.Value);
        a.append(o);
    }
    return a;
}

QVector<TReportCatalogueEntry> ReadCatalogue(const TReader& parent, const char* key)
{
    QVector<TReportCatalogueEntry> out;
    for (const TReader& r : parent.Array(key, false)) {
        TReportCatalogueEntry e;
        e.Name = r.Text("name", {}, true);
        if (e.Name.trimmed().isEmpty())
            Fail(QStringLiteral("%1 的名称为空").arg(r.Where("name")));
        e.Caption = r.Text("caption");
        e.Value = r.Text("value");
        out.append(e);
    }
    return out;
}

} // namespace

QString ReportBandKindName(TReportBandKind k)
{
    for (const auto& b : BandKinds)
        if (b.Kind == k)
            return QLatin1String(b.Name);
    return {};
}

TReportBandKind ReportBandKindFromName(const QString& s)
{
    for (const auto& b : BandKinds)
        if (s == QLatin1String(b.Name))
            return b.Kind;
    Fail(QStringLiteral("未知的区域类型 \"%1\"").arg(s));
}

QString ReportBandCaption(TReportBandKind k)
{
    for (const auto& b : BandKinds)
        if (b.Kind == k)
            return QString::fromUtf8(b.Caption);
    return {};
}

QList<TReportBandKind> AllReportBandKinds()
{
    QList<TReportBandKind> out;
    for (const auto& b : BandKinds)
        out.append(b.Kind);
    return out;
}

bool ReportPaperSize(const QString& paper, double& width, double& height)
{
    struct TPaper {
        const char* Name;
        double W, H;
    };
    static const TPaper papers[] = {{"A3", 297, 420}, {"A4", 210, 297}, {"A5", 148, 210},
                                    {"B5", 176, 250}, {"Letter", 215.9, 279.4}};
    for (const auto& p : papers)
        if (paper.compare(QLatin1String(p.Name), Qt::CaseInsensitive) == 0) {
            width = p.W;
            height = p.H;
            return true;
        }
    return false;
}

TReportTemplate TReportTemplate::Empty()
{
    TReportTemplate t;
    TReportBand detail;
    detail.Kind = TReportBandKind::Detail;
    detail.Height = 7;
    t.Bands.append(detail);
    return t;
}

TReportBand* TReportTemplate::Band(TReportBandKind k)
{
    for (auto& b : Bands)
        if (b.Kind == k)
            return &b;
    return nullptr;
}

const TReportBand* TReportTemplate::Band(TReportBandKind k) const
{
    for (const auto& b : Bands)
        if (b.Kind == k)
            return &b;
    return nullptr;
}

double TReportTemplate::BandHeight(TReportBandKind k) const
{
    const TReportBand* b = Band(k);
    return b ? b->Height : 0;
}

double TReportTemplate::TableWidth() const
{
    double w = 0;
    for (const auto& c : Columns)
        w += c.Width;
    return w;
}

void TReportTemplate::Validate() const
{
    auto fail = [](const QString& m) { throw EReportError(QStringLiteral("打印模板无效：%1").arg(m)); };
    if (Page.Width < 20 || Page.Height < 20 || Page.Width > MaxPaperMm || Page.Height > MaxPaperMm)
        fail(QStringLiteral("纸张尺寸 %1×%2 毫米不合理").arg(Page.Width).arg(Page.Height));
    if (Page.MarginLeft < 0 || Page.MarginTop < 0 || Page.MarginRight < 0 || Page.MarginBottom < 0)
        fail(QStringLiteral("页边距不能为负数"));
    if (Page.ContentWidth() < 10 || Page.ContentHeight() < 10)
        fail(QStringLiteral("页边距过大，页面没有可打印区域"));

    QList<TReportBandKind> seen;
    for (const auto& b : Bands) {
        if (seen.contains(b.Kind))
            fail(QStringLiteral("区域“%1”出现了两次").arg(ReportBandCaption(b.Kind)));
        seen.append(b.Kind);
        if (!(b.Height >= 0) || b.Height > Page.ContentHeight())
            fail(QStringLiteral("区域“%1”的高度 %2 毫米超出页面").arg(ReportBandCaption(b.Kind)).arg(b.Height));
        for (const auto& it : b.Items) {
            if (!(it.Width >= 0) || !(it.Height >= 0) || (it.Kind != TReportItemKind::Line && (it.Width <= 0 || it.Height <= 0)))
                fail(QStringLiteral("区域“%1”中的项目尺寸无效").arg(ReportBandCaption(b.Kind)));
            if (it.Font.Size <= 0)
                fail(QStringLiteral("区域“%1”中的项目字号无效").arg(ReportBandCaption(b.Kind)));
        }
    }
    const TReportBand* detail = Band(TReportBandKind::Detail);
    if (!detail)
        fail(QStringLiteral("缺少明细区域"));
    if (detail->Height <= 0 && (!Columns.isEmpty() || !detail->Items.isEmpty()))
        fail(QStringLiteral("明细行高必须大于零"));
    for (const auto& c : Columns) {
        if (c.Field.trimmed().isEmpty())
            fail(QStringLiteral("明细列“%1”没有字段").arg(c.Caption));
        if (!(c.Width > 0))
            fail(QStringLiteral("明细列“%1”的宽度必须大于零").arg(c.Caption));
    }
    if (Table.HeaderHeight < 0 || Table.LineWidth < 0)
        fail(QStringLiteral("明细表格的尺寸不能为负数"));
}

QByteArray TReportTemplate::ToJson() const
{
    QJsonObject root;
    root.insert("format", QLatin1String(FormatTag));
    root.insert("version", FormatVersion);
    root.insert("name", Name);

    root.insert("page", QJsonObject{{"paper", Page.Paper},
                                    {"orientation", Page.Landscape ? "landscape" : "portrait"},
                                    {"width", Page.Width},
                                    {"height", Page.Height},
                                    {"margins", QJsonObject{{"left", Page.MarginLeft},
                                                            {"top", Page.MarginTop},
                                                            {"right", Page.MarginRight},
                                                            {"bottom", Page.MarginBottom}}}});

    QJsonArray bands;
    for (const auto& b : Bands) {
        QJsonArray items;
        for (const auto& it : b.Items) {
            QJsonObject o{{"type", ItemKindName(it.Kind)},
                          {"x", it.X},
                          {"y", it.Y},
                          {"width", it.Width},
                          {"height", it.Height}};
            if (it.Kind == TReportItemKind::Text) {
                o.insert("text", it.Text);
                o.insert("font", WriteFont(it.Font));
                o.insert("align", AlignName(it.Align));
                o.insert("wordWrap", it.WordWrap);
                o.insert("frame", QJsonObject{{"sides", FrameSides(it.Frame)}, {"width", it.Frame.Width}});
            } else {
                o.insert("lineWidth", it.LineWidth);
            }
            items.append(o);
        }
        QJsonObject bo{{"kind", ReportBandKindName(b.Kind)}, {"height", b.Height}, {"items", items}};
        if (!b.PrintOnFirstPage)
            bo.insert("printOnFirstPage", false);
        bands.append(bo);
    }
    root.insert("bands", bands);

    QJsonArray cols;
    for (const auto& c : Columns)
        cols.append(QJsonObject{{"field", c.Field},
                                {"caption", c.Caption},
                                {"width", c.Width},
                                {"align", AlignName(c.Align)},
                                {"format", c.Format},
                                {"total", c.Total}});
    root.insert("table", QJsonObject{{"visible", Table.Visible},
                                     {"headerHeight", Table.HeaderHeight},
                                     {"headerFont", WriteFont(Table.HeaderFont)},
                                     {"cellFont", WriteFont(Table.CellFont)},
                                     {"lineWidth", Table.LineWidth},
                                     {"totalCaption", Table.TotalCaption},
                                     {"columns", cols}});

    root.insert("catalogue", QJsonObject{{"variables", WriteCatalogue(Variables, true)},
                                         {"detailFields", WriteCatalogue(DetailFields, false)}});
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

TReportTemplate TReportTemplate::FromJson(const QByteArray& data)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &err);
    if (err.error != QJsonParseError::NoError)
        Fail(QStringLiteral("文件已损坏（第 %1 字节：%2）").arg(err.offset).arg(err.errorString()));
    if (!doc.isObject())
        Fail(QStringLiteral("文件内容不是模板"));
    const TReader root(doc.object(), QStringLiteral("$"));
    if (root.Text("format") != QLatin1String(FormatTag))
        Fail(QStringLiteral("不是打印模板文件"));
    const double version = root.Number("version", 0, 0, 1e9, true);
    if (version != FormatVersion)
        Fail(QStringLiteral("不支持的模板版本 %1（本程序读取版本 %2）").arg(version).arg(FormatVersion));

    TReportTemplate t;
    t.Name = root.Text("name");

    const TReader page = root.Object("page", true);
    t.Page.Paper = page.Text("paper", QStringLiteral("A4"));
    const QString orientation = page.Text("orientation", QStringLiteral("portrait"));
    if (orientation != QLatin1String("portrait") && orientation != QLatin1String("landscape"))
        Fail(QStringLiteral("纸张方向 \"%1\" 无法识别").arg(orientation));
    t.Page.Landscape = orientation == QLatin1String("landscape");
    double w = 0, h = 0;
    if (t.Page.Paper == QLatin1String("Custom")) {
        w = page.Number("width", 0, 20, MaxPaperMm, true);
        h = page.Number("height", 0, 20, MaxPaperMm, true);
    } else {
        if (!ReportPaperSize(t.Page.Paper, w, h))
            Fail(QStringLiteral("未知的纸张 \"%1\"").arg(t.Page.Paper));
        if (t.Page.Landscape)
            std::swap(w, h);
    }
    t.Page.Width = w;
    t.Page.Height = h;
    const TReader margins = page.Object("margins", false);
    t.Page.MarginLeft = margins.Number("left", 15, 0, MaxPaperMm);
    t.Page.MarginTop = margins.Number("top", 12, 0, MaxPaperMm);
    t.Page.MarginRight = margins.Number("right", 15, 0, MaxPaperMm);
    t.Page.MarginBottom = margins.Number("bottom", 12, 0, MaxPaperMm);

    for (const TReader& br : root.Array("bands", true)) {
        TReportBand b;
        b.Kind = ReportBandKindFromName(br.Text("kind", {}, true));
        b.Height = br.Number("height", 0, 0, MaxPaperMm, true);
        b.PrintOnFirstPage = br.Bool("printOnFirstPage", true);
        for (const TReader& ir : br.Array("items", false)) {
            TReportItem it;
            const QString type = ir.Text("type", QStringLiteral("text"));
            if (type == QLatin1String("text"))
                it.Kind = TReportItemKind::Text;
            else if (type == QLatin1String("line"))
                it.Kind = TReportItemKind::Line;
            else if (type == QLatin1String("rect"))
                it.Kind = TReportItemKind::Rect;
            else
                Fail(QStringLiteral("%1 的项目类型 \"%2\" 无法识别").arg(ir.Where("type"), type));
            it.X = ir.Number("x", 0, 0, MaxPaperMm, true);
            it.Y = ir.Number("y", 0, 0, MaxPaperMm, true);
            it.Width = ir.Number("width", 0, 0, MaxPaperMm, true);
            it.Height = ir.Number("height", 0, 0, MaxPaperMm, true);
            it.Text = ir.Text("text");
            it.Font = ReadFont(ir, "font", TReportFont());
            it.Align = ReadAlign(ir, "align");
            it.WordWrap = ir.Bool("wordWrap", false);
            const TReader fr = ir.Object("frame", false);
            const QString sides = fr.Text("sides");
            for (QChar c : sides)
                if (!QStringLiteral("LTRB").contains(c))
                    Fail(QStringLiteral("%1 的边框 \"%2\" 无法识别").arg(fr.Where("sides"), sides));
            it.Frame.Left = sides.contains(QLatin1Char('L'));
            it.Frame.Top = sides.contains(QLatin1Char('T'));
            it.Frame.Right = sides.contains(QLatin1Char('R'));
            it.Frame.Bottom = sides.contains(QLatin1Char('B'));
            it.Frame.Width = fr.Number("width", 0.2, 0, 10);
            it.LineWidth = ir.Number("lineWidth", 0.3, 0, 10);
            b.Items.append(it);
        }
        t.Bands.append(b);
    }

    const TReader table = root.Object("table", false);
    t.Table.Visible = table.Bool("visible", true);
    t.Table.HeaderHeight = table.Number("headerHeight", 8, 0, MaxPaperMm);
    t.Table.HeaderFont = ReadFont(table, "headerFont", t.Table.HeaderFont);
    t.Table.CellFont = ReadFont(table, "cellFont", t.Table.CellFont);
    t.Table.LineWidth = table.Number("lineWidth", 0.25, 0, 10);
    t.Table.TotalCaption = table.Text("totalCaption", t.Table.TotalCaption);
    for (const TReader& cr : table.Array("columns", false)) {
        TReportColumn c;
        c.Field = cr.Text("field", {}, true);
        c.Caption = cr.Text("caption");
        c.Width = cr.Number("width", 0, 0, MaxPaperMm, true);
        c.Align = ReadAlign(cr, "align");
        c.Format = cr.Text("format");
        c.Total = cr.Bool("total", false);
        t.Columns.append(c);
    }

    const TReader cat = root.Object("catalogue", false);
    t.Variables = ReadCatalogue(cat, "variables");
    t.DetailFields = ReadCatalogue(cat, "detailFields");

    t.Validate();
    return t;
}

void TReportTemplate::SaveToFile(const QString& fileName) const
{
    Validate();
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly))
        throw EReportError(QStringLiteral("无法写入打印模板文件 %1：%2").arg(fileName, f.errorString()));
    f.write(ToJson());
    if (!f.commit())
        throw EReportError(QStringLiteral("无法写入打印模板文件 %1：%2").arg(fileName, f.errorString()));
}

TReportTemplate TReportTemplate::LoadFromFile(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw EReportError(QStringLiteral("无法打开打印模板文件 %1：%2").arg(fileName, f.errorString()));
    return FromJson(f.readAll());
}
