// Standard ids, report types and the variable catalogue a bill offers its template.
#include "PrintingFixture.h"

#include "platform/report/ReportControl.h"

#include <QRegularExpression>
#include <QSet>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

QStringList Names(const QVector<TReportCatalogueEntry>& list)
{
    QStringList out;
    for (const auto& e : list)
        out << e.Name;
    return out;
}

QString CaptionOf(const QVector<TReportCatalogueEntry>& list, const QString& name)
{
    for (const auto& e : list)
        if (e.Name.compare(name, Qt::CaseInsensitive) == 0)
            return e.Caption;
    return QStringLiteral("<absent>");
}

bool NamesUnique(const QVector<TReportCatalogueEntry>& list)
{
    QSet<QString> seen;
    for (const auto& e : list) {
        if (seen.contains(e.Name.toUpper()))
            return false;
        seen.insert(e.Name.toUpper());
    }
    return true;
}

} // namespace

TEST(PrintTemplateIds, StandardRangesIncludeBothEnds)
{
    for (int id : {-1003, 0, 1, 1007, 1208, 1230, 1251, 1500, 3000, 5000})
        EXPECT_TRUE(IsStandardReportID(id)) << id;
    for (int id : {1008, 1207, 1252, 1499, 5001, 9000})
        EXPECT_FALSE(IsStandardReportID(id)) << id;
}

TEST(PrintTemplateIds, ReportTypesMapToTheirBills)
{
    EXPECT_EQ(ReportTypeBillType(6), 2);
    EXPECT_EQ(ReportTypeBillType(1), 6);
    EXPECT_EQ(ReportTypeBillType(14), 16);
    EXPECT_EQ(ReportTypeBillType(16), 14);
    EXPECT_EQ(ReportTypeBillType(1751), 28);
    EXPECT_EQ(ReportTypeBillType(20), NoCatalogueBillType);
    EXPECT_EQ(ReportTypeBillType(33), NoCatalogueBillType);
    EXPECT_EQ(ReportTypeBillType(99999), NoCatalogueBillType);
    EXPECT_EQ(ReportTypeName(6), U("销售出货单"));
    EXPECT_EQ(ReportTypeName(24), U("POS收银员出入款单"));
    EXPECT_EQ(ReportTypeName(99999), QString());
}

TEST(PrintCatalogue, SideVariablesFollowTheBillType)
{
    TReportControl rc;
    BuildPrintCatalogue(rc, 9, {}); // purchase payment: vendor side, amounts paid
    QStringList v = Names(rc.Variables());
    EXPECT_TRUE(v.contains(U("供应商开户银行及帐号")));
    EXPECT_TRUE(v.contains(U("实付大写")));
    EXPECT_FALSE(v.contains(U("价税合计大写")));
    EXPECT_TRUE(v.contains(U("未结总计")));
    EXPECT_TRUE(rc.DetailFields().isEmpty()); // a payment has no goods lines

    BuildPrintCatalogue(rc, 27, {}); // consignment: customer side without the total in words
    v = Names(rc.Variables());
    EXPECT_TRUE(v.contains(U("客户名称")));
    EXPECT_FALSE(v.contains(U("价税合计大写")));
    EXPECT_FALSE(v.contains(U("供应商名称"))); // the previous catalogue is gone

    BuildPrintCatalogue(rc, 10, {}); // material issue: stock side prices at cost, no discount
    v = Names(rc.Variables());
    EXPECT_TRUE(v.contains(U("合计大写")));
    const QStringList d = Names(rc.DetailFields());
    EXPECT_TRUE(d.contains(QStringLiteral("D.APRICE")));
    EXPECT_FALSE(d.contains(QStringLiteral("D.PRICE")));
    EXPECT_FALSE(d.contains(QStringLiteral("D.Disc")));

    TPrintStyleField goods;
    goods.DataField = QStringLiteral("goodsid");
    goods.Caption = U("组装货品");
    goods.Section = 2;
    BuildPrintCatalogue(rc, 16, {goods});
    EXPECT_EQ(CaptionOf(rc.Variables(), QStringLiteral("M.Mgoodsid")), U("组装货品"));
    EXPECT_TRUE(Names(rc.DetailFields()).contains(QStringLiteral("D.PRICE")));

    BuildPrintCatalogue(rc, 23, {}); // POS sale: no bill date, its own totals
    v = Names(rc.Variables());
    EXPECT_FALSE(v.contains(U("开单日期")));
    EXPECT_TRUE(v.contains(U("信用卡付款")));
}

TEST_F(TPrintingDbTest, SalesInvoiceCatalogueHoldsCustomerTotalsAndDetailFields)
{
    const QVector<TPrintStyleField> fields = LoadPrintStyleFields(2, 1);
    ASSERT_FALSE(fields.isEmpty());
    TReportControl rc;
    const bool online = AccSetData.Online;
    AccSetData.Online = false;
    BuildPrintCatalogue(rc, 2, fields);
    const QStringList v = Names(rc.Variables());
    // system variables first, in their order
    ASSERT_GE(v.size(), 5);
    EXPECT_EQ(v.mid(0, 5), (QStringList{"Date", "Time", "DateTime", "PageNum", "PageCount"}));
    EXPECT_EQ(CaptionOf(rc.Variables(), QStringLiteral("PageCount")), U("第##页，共##页"));
    for (const char* name : {"客户编码", "客户名称", "客户全称", "客户税号", "客户地址电话", "客户地址", "客户电话",
                             "客户开户银行及帐号", "价税合计大写", "价税合计小写", "单号", "不含本单欠款", "累计欠款", "企业税号",
                             "企业名称", "企业地址电话", "企业地址", "企业电话", "企业开户银行及帐号", "打印人", "开单日期",
                             "价税总计", "数量总计", "税额总计", "货款总计"}) {
        EXPECT_TRUE(v.contains(U(name))) << name;
        EXPECT_EQ(CaptionOf(rc.Variables(), U(name)), U(name));
    }
    EXPECT_FALSE(v.contains(U("分支机构"))); // single-branch host
    EXPECT_FALSE(v.contains(U("实收大写")));
    // the window's shown fields: head/foot as M., grid as D.
    EXPECT_EQ(CaptionOf(rc.Variables(), QStringLiteral("M.clientid")), U("客户"));
    EXPECT_EQ(CaptionOf(rc.Variables(), QStringLiteral("M.totalamt")), U("合计金额"));
    EXPECT_EQ(CaptionOf(rc.DetailFields(), QStringLiteral("D.goodsname")), U("货品名称"));
    EXPECT_EQ(CaptionOf(rc.Variables(), QStringLiteral("M.userdef1")), QStringLiteral("<absent>")); // hidden in the style
    // The goods-line fields follow the grid's; those the grid already has ("disc",
    // "nprice") keep the grid's caption and place.
    const QStringList d = Names(rc.DetailFields());
    EXPECT_EQ(d.indexOf(QStringLiteral("D.BASEUNIT")), d.indexOf(QStringLiteral("D.validdate")) + 1);
    EXPECT_EQ(d.mid(d.size() - 4), (QStringList{"D.BASEUNIT", "D.PRICE", "D.QUANTITY", "D.UNITRATE"}));
    EXPECT_EQ(CaptionOf(rc.DetailFields(), QStringLiteral("D.Disc")), U("折扣%"));
    EXPECT_EQ(CaptionOf(rc.DetailFields(), QStringLiteral("D.NPRICE")), U("原价"));
    EXPECT_EQ(CaptionOf(rc.DetailFields(), QStringLiteral("D.PRICE")), U("基本单位单价"));
    EXPECT_EQ(CaptionOf(rc.DetailFields(), QStringLiteral("D.QUANTITY")), U("基于基本单位的数量"));
    EXPECT_TRUE(NamesUnique(rc.Variables()));

    AccSetData.Online = true;
    BuildPrintCatalogue(rc, 2, fields);
    AccSetData.Online = online;
    EXPECT_TRUE(Names(rc.Variables()).contains(U("分支机构")));
}

TEST_F(TPrintingDbTest, PreparingTwiceLeavesOneEntryPerName)
{
    const QString file = PrintTemplatePath(6);
    ASSERT_TRUE(LoadPrintTemplate(6, file));
    const QVector<TPrintStyleField> fields = LoadPrintStyleFields(2, 1);
    PreparePrintTemplate(file, 2, fields);
    const TReportTemplate once = TReportTemplate::LoadFromFile(file);
    PreparePrintTemplate(file, 2, fields);
    const TReportTemplate twice = TReportTemplate::LoadFromFile(file);
    EXPECT_EQ(once.Variables.size(), twice.Variables.size());
    EXPECT_EQ(once.DetailFields.size(), twice.DetailFields.size());
    EXPECT_TRUE(NamesUnique(twice.Variables));
    EXPECT_TRUE(NamesUnique(twice.DetailFields));
    // the layout itself is untouched by preparing
    EXPECT_EQ(once.Bands, twice.Bands);
    EXPECT_EQ(once.Columns, twice.Columns);
}

TEST_F(TPrintingDbTest, TypesWithoutBillGetNoCatalogue)
{
    const QString file = PrintTemplatePath(20);
    ASSERT_TRUE(LoadPrintTemplate(20, file));
    PreparePrintTemplateForType(file, 20);
    const TReportTemplate t = TReportTemplate::LoadFromFile(file);
    EXPECT_TRUE(t.Variables.isEmpty());
    EXPECT_TRUE(t.DetailFields.isEmpty());
}

TEST_F(TPrintingDbTest, MissingTemplateRowIsReported)
{
    TScriptedMessages msgs;
    EXPECT_FALSE(LoadPrintTemplate(424242, PrintTemplatePath(424242)));
    ASSERT_EQ(msgs.Count(), 1);
    EXPECT_EQ(msgs.Last().Text, U("尚未指定打印模板。"));
    EXPECT_EQ(SystemDefaultReportID(6), -6);
    EXPECT_EQ(StandardReportID(6), 6);
    EXPECT_EQ(SystemDefaultReportID(4711), 0);
}

TEST_F(TPrintingDbTest, StandardTemplatesAreFilledIntoEmptyRowsOnce)
{
    const int empty = RowCount(QStringLiteral("data is null or length(data) = 0"));
    ASSERT_GT(empty, 0);
    EXPECT_EQ(FillStandardPrintTemplates(*FCon), empty);
    EXPECT_EQ(RowCount(QStringLiteral("data is null or length(data) = 0")), 0);
    EXPECT_EQ(FillStandardPrintTemplates(*FCon), 0);
    // every report type's standard layout reads back and prints its own title
    TClientDataSet ds;
    FCon->OpenDataSet(QStringLiteral("select rptid, rpttype, data from report"), &ds);
    for (ds.First(); !ds.Eof(); ds.Next()) {
        const int type = ds.FieldByName(QStringLiteral("rpttype"))->AsInteger();
        const TReportTemplate t = TReportTemplate::FromJson(ds.FieldByName(QStringLiteral("data"))->AsBytes());
        const QString name = ReportTypeName(type);
        EXPECT_EQ(t.Name, name.isEmpty() ? U("打印样式") : name) << type;
        EXPECT_LE(t.TableWidth(), t.Page.ContentWidth() + 0.05) << type;
    }
    // a user's edit is not overwritten
    FCon->Execute(QStringLiteral("update report set data = :d where rptid = 6"), {{QStringLiteral("d"), QByteArray("x")}});
    EXPECT_EQ(FillStandardPrintTemplates(*FCon), 0);
    EXPECT_EQ(StoredData(6), QByteArray("x"));
}

TEST(PrintCatalogue, StyleFieldsAreListedAsTheyComeEvenWhenShownTwice)
{
    auto field = [](const char* data, const char* caption, int section) {
        TPrintStyleField f;
        f.DataField = QString::fromUtf8(data);
        f.Caption = QString::fromUtf8(caption);
        f.Section = section;
        return f;
    };
    // The bill number shown in the head and again in the foot, a goods column shown twice.
    const QVector<TPrintStyleField> fields = {field("code", "单据号", 1), field("billdate", "日期", 1),
                                              field("code", "单据号(重复)", 4), field("goodsname", "品名", 3),
                                              field("goodsname", "品名(二)", 3), field("disc", "折扣%", 3)};
    TReportControl rc;
    BuildPrintCatalogue(rc, 2, fields);
    QVector<QPair<QString, QString>> styleVars;
    for (const auto& e : rc.Variables())
        if (e.Name.startsWith(QStringLiteral("M.")))
            styleVars.append({e.Caption, e.Name});
    EXPECT_EQ(styleVars, (QVector<QPair<QString, QString>>{
                             {U("单据号"), QStringLiteral("M.code")}, {U("日期"), QStringLiteral("M.billdate")},
                             {U("单据号(重复)"), QStringLiteral("M.code")}}));
    // Style entries come right after the five system variables, in the window's order.
    ASSERT_GT(rc.Variables().size(), 8);
    EXPECT_EQ(rc.Variables().at(7).Caption, U("单据号(重复)"));

    const QStringList d = Names(rc.DetailFields());
    EXPECT_EQ(d.mid(0, 3), (QStringList{"D.goodsname", "D.goodsname", "D.disc"}));
    EXPECT_EQ(rc.DetailFields().at(1).Caption, U("品名(二)"));
    // A named detail field already offered by the style is not listed again.
    EXPECT_EQ(d.filter(QRegularExpression(QStringLiteral("^D\\.disc$"), QRegularExpression::CaseInsensitiveOption)).size(), 1);

    // Assembly bills prefix their master fields; both captions stay.
    BuildPrintCatalogue(rc, 16, fields);
    int mcode = 0;
    for (const auto& e : rc.Variables())
        mcode += e.Name == QStringLiteral("M.Mcode");
    EXPECT_EQ(mcode, 2);
    EXPECT_EQ(CaptionOf(rc.Variables(), QStringLiteral("M.Mbilldate")), U("日期"));

    // A value set for the name reaches every entry listed under it.
    rc.SetVarValue(QStringLiteral("M.Mcode"), QStringLiteral("ZZ-0007"));
    for (const auto& e : rc.Variables()) {
        if (e.Name == QStringLiteral("M.Mcode")) {
            EXPECT_EQ(e.Value, QStringLiteral("ZZ-0007"));
        }
    }
}

TEST(PrintTemplateIds, QualityFormsAndBranchBillsHaveNamesButNoCatalogue)
{
    QSet<QString> names;
    for (int type = 1511; type <= 1531; ++type) {
        const QString name = ReportTypeName(type);
        EXPECT_FALSE(name.isEmpty()) << type;
        names.insert(name);
        EXPECT_EQ(ReportTypeBillType(type), NoCatalogueBillType) << type;
    }
    EXPECT_EQ(names.size(), 21) << "every quality form has a name of its own";
    for (int type = 350; type <= 353; ++type) {
        EXPECT_TRUE(ReportTypeName(type).startsWith(U("分支机构"))) << type;
        EXPECT_EQ(ReportTypeBillType(type), NoCatalogueBillType) << type;
    }
    EXPECT_EQ(ReportTypeName(1510), QString());
    EXPECT_EQ(ReportTypeName(1532), QString());
    // The list stays in type order for the managers.
    const QVector<TReportTypeInfo>& all = ReportTypes();
    for (int i = 1; i < all.size(); ++i)
        EXPECT_LT(all.at(i - 1).Type, all.at(i).Type) << all.at(i).Type;
}
