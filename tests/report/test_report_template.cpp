// Template file format: round trip, and damaged or foreign files refused with EReportError.
#include "ReportTestData.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

QJsonObject StandardJson()
{
    return QJsonDocument::fromJson(PurchaseOrderTemplate().ToJson()).object();
}

void ExpectRefused(const QByteArray& data, const char* what)
{
    try {
        TReportTemplate::FromJson(data);
        ADD_FAILURE() << "accepted: " << what;
    } catch (const EReportError& e) {
        EXPECT_FALSE(e.Message().isEmpty()) << what;
    }
}

QByteArray ToBytes(const QJsonObject& o) { return QJsonDocument(o).toJson(); }

} // namespace

TEST(ReportTemplate, SaveAndLoadGiveTheSameTemplate)
{
    TReportTemplate t = PurchaseOrderTemplate();
    // Touch the parts the standard template leaves at their defaults.
    t.Page.Paper = QStringLiteral("Custom");
    t.Page.Width = 241;
    t.Page.Height = 140;
    t.Page.MarginLeft = 5.5;
    TReportBand* title = t.Band(TReportBandKind::Title);
    ASSERT_NE(title, nullptr);
    title->Items[0].Font = TReportFont{QStringLiteral("Noto Sans"), 13.5, true, true};
    title->Items[0].Frame = TReportFrame{true, false, true, true, 0.4};
    title->Items[0].WordWrap = true;
    TReportItem rect;
    rect.Kind = TReportItemKind::Rect;
    rect.X = 1;
    rect.Y = 2;
    rect.Width = 30;
    rect.Height = 10;
    rect.LineWidth = 0.8;
    title->Items.append(rect);
    t.Variables.append({QStringLiteral("价税合计大写"), QStringLiteral("价税合计大写"), QStringLiteral("壹元整")});
    t.Table.TotalCaption = QStringLiteral("总计");

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("1001.Zrp"));
    t.SaveToFile(file);
    const TReportTemplate back = TReportTemplate::LoadFromFile(file);
    EXPECT_EQ(back, t);
    EXPECT_EQ(back.ToJson(), t.ToJson());
}

TEST(ReportTemplate, FileCarriesFormatTagVersionAndLandscapePaper)
{
    QJsonObject o = StandardJson();
    EXPECT_EQ(o.value("format").toString(), QStringLiteral("tradebill-report"));
    EXPECT_EQ(o.value("version").toInt(), 1);

    QJsonObject page = o.value("page").toObject();
    page.insert("orientation", "landscape");
    o.insert("page", page);
    const TReportTemplate t = TReportTemplate::FromJson(ToBytes(o));
    EXPECT_DOUBLE_EQ(t.Page.Width, 297);
    EXPECT_DOUBLE_EQ(t.Page.Height, 210);
}

TEST(ReportTemplate, DamagedFilesAreRefused)
{
    const QByteArray good = PurchaseOrderTemplate().ToJson();
    ExpectRefused(good.left(good.size() / 2), "truncated");
    ExpectRefused(QByteArray(), "empty");
    ExpectRefused("\x00\x01\x02garbage", "binary");
    ExpectRefused("[1,2,3]", "array document");

    QJsonObject o = StandardJson();
    o.insert("version", 2);
    ExpectRefused(ToBytes(o), "newer version");
    o.insert("version", "1");
    ExpectRefused(ToBytes(o), "version as text");
    o = StandardJson();
    o.remove("version");
    ExpectRefused(ToBytes(o), "no version");
    o = StandardJson();
    o.insert("format", "other-report");
    ExpectRefused(ToBytes(o), "foreign format");

    o = StandardJson();
    o.remove("bands");
    ExpectRefused(ToBytes(o), "no bands");

    // Bands without the detail band.
    o = StandardJson();
    QJsonArray bands;
    for (const auto& b : o.value("bands").toArray())
        if (b.toObject().value("kind").toString() != QLatin1String("detail"))
            bands.append(b);
    o.insert("bands", bands);
    ExpectRefused(ToBytes(o), "no detail band");

    // The same band twice.
    o = StandardJson();
    bands = o.value("bands").toArray();
    bands.append(bands.at(0));
    o.insert("bands", bands);
    ExpectRefused(ToBytes(o), "duplicate band");

    o = StandardJson();
    bands = o.value("bands").toArray();
    QJsonObject b0 = bands.at(0).toObject();
    b0.insert("kind", "sidebar");
    bands.replace(0, b0);
    o.insert("bands", bands);
    ExpectRefused(ToBytes(o), "unknown band kind");
}

TEST(ReportTemplate, BadNumbersAreRefused)
{
    auto withItemValue = [](const char* key, const QJsonValue& v) {
        QJsonObject o = StandardJson();
        QJsonArray bands = o.value("bands").toArray();
        QJsonObject band = bands.at(0).toObject();
        QJsonArray items = band.value("items").toArray();
        QJsonObject item = items.at(0).toObject();
        item.insert(key, v);
        items.replace(0, item);
        band.insert("items", items);
        bands.replace(0, band);
        o.insert("bands", bands);
        return ToBytes(o);
    };
    ExpectRefused(withItemValue("x", "ten"), "x as text");
    ExpectRefused(withItemValue("width", -5), "negative width");
    ExpectRefused(withItemValue("width", 0), "zero-width text item");
    ExpectRefused(withItemValue("height", QJsonValue()), "height null");
    ExpectRefused(withItemValue("align", "justify"), "unknown alignment");
    ExpectRefused(withItemValue("font", QJsonObject{{"family", "A"}, {"size", 0}}), "zero font size");

    QJsonObject o = StandardJson();
    QJsonObject page = o.value("page").toObject();
    page.insert("paper", "Custom");
    page.insert("width", 1e6);
    page.insert("height", 100);
    o.insert("page", page);
    ExpectRefused(ToBytes(o), "absurd paper width");

    o = StandardJson();
    page = o.value("page").toObject();
    page.insert("margins", QJsonObject{{"left", 150}, {"right", 150}});
    o.insert("page", page);
    ExpectRefused(ToBytes(o), "margins eat the page");

    o = StandardJson();
    QJsonObject table = o.value("table").toObject();
    QJsonArray cols = table.value("columns").toArray();
    QJsonObject c0 = cols.at(0).toObject();
    c0.insert("width", 0);
    cols.replace(0, c0);
    table.insert("columns", cols);
    o.insert("table", table);
    ExpectRefused(ToBytes(o), "zero-width column");

    o = StandardJson();
    QJsonArray bands = o.value("bands").toArray();
    for (int i = 0; i < bands.size(); ++i) {
        QJsonObject b = bands.at(i).toObject();
        if (b.value("kind").toString() == QLatin1String("detail")) {
            b.insert("height", 500);
            bands.replace(i, b);
        }
    }
    o.insert("bands", bands);
    ExpectRefused(ToBytes(o), "row taller than the page");
}

TEST(ReportTemplate, MissingFileIsAReportError)
{
    EXPECT_THROW(TReportTemplate::LoadFromFile(QStringLiteral("/nonexistent/dir/1.Zrp")), EReportError);
    EXPECT_THROW(PurchaseOrderTemplate().SaveToFile(QStringLiteral("/nonexistent/dir/1.Zrp")), EReportError);
}

TEST(ReportTemplate, StandardTemplateFitsThePaperAndNamesItsCatalogue)
{
    const TReportTemplate t = PurchaseOrderTemplate();
    EXPECT_NEAR(t.TableWidth(), t.Page.ContentWidth(), 0.05);
    for (const auto& band : t.Bands)
        for (const auto& it : band.Items) {
            EXPECT_LE(it.X + it.Width, t.Page.ContentWidth() + 1e-6) << it.Text.toStdString();
            EXPECT_LE(it.Y + it.Height, band.Height + 1e-6) << it.Text.toStdString();
        }
    auto hasVar = [&](const char* n) {
        for (const auto& v : t.Variables)
            if (v.Name == QString::fromUtf8(n))
                return true;
        return false;
    };
    EXPECT_TRUE(hasVar("M.Code"));
    EXPECT_TRUE(hasVar("PageCount"));
    ASSERT_EQ(t.DetailFields.size(), 6);
    EXPECT_EQ(t.DetailFields.at(1).Name, QStringLiteral("D.GoodsName"));
    EXPECT_EQ(t.Columns.first().Field, QStringLiteral("RowNo"));

    // A table too wide for the paper is squeezed, not spilled.
    const TReportTemplate wide = MakeStandardBillTemplate(
        QStringLiteral("宽"), {}, {{"D.A", "A", 120, {}, false}, {"D.B", "B", 120, {}, false}});
    EXPECT_NEAR(wide.TableWidth(), wide.Page.ContentWidth(), 0.05);
}
