#include "printing/PrintTemplates.h"

#include "host/Messages.h"
#include "host/Session.h"
#include "platform/report/ReportControl.h"
#include "webrpc/Connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

TClientConnection* Con(TClientConnection* con)
{
    TClientConnection* c = con ? con : g_DefaultCon;
    if (!c)
        throw EDatabaseError(QStringLiteral("没有连接到数据库"));
    return c;
}

QString& AppDirOverride()
{
    static QString dir;
    return dir;
}

bool In(int v, std::initializer_list<int> list)
{
    for (int x : list)
        if (x == v)
            return true;
    return false;
}

} // namespace

bool IsStandardReportID(int rptid)
{
    return rptid <= 1007 || (rptid >= 1208 && rptid <= 1251) || (rptid >= 1500 && rptid <= 5000);
}

const QVector<TReportTypeInfo>& ReportTypes()
{
    static const QVector<TReportTypeInfo> types = [] {
        const struct {
            int Type;
            const char* Name;
            int BillType;
        } rows[] = {
            {1, "采购订货单", 6},   {2, "采购收货单", 7},   {3, "采购退货单", 8},     {4, "采购付款单", 9},
            {5, "销售订货单", 1},   {6, "销售出货单", 2},   {7, "销售收款单", 5},     {8, "现款销售单", 3},
            {9, "销售退货单", 4},   {10, "仓库领料单", 10}, {11, "仓库退料单", 11},   {12, "产品进仓单", 12},
            {13, "存货调价单", 19}, {14, "组装与拆卸单", 16}, {15, "库存变动单", 15}, {16, "库存盘点单", 14},
            {17, "仓库调拔单", 13}, {18, "费用开支单", 17}, {19, "其它收入单", 18},   {20, "记帐凭证", NoCatalogueBillType},
            {21, "记帐凭证(外币)", NoCatalogueBillType},    {22, "银行存取款", 20},   {23, "POS销售单", 23},
            {24, "POS收银员出入款单", 25},                  {25, "POS日结单", 24},    {26, "估价入库单", 22},
            {27, "现款采购单", 26}, {28, "记帐凭证套打", NoCatalogueBillType},        {29, "转帐凭证套打", NoCatalogueBillType},
            {30, "收款凭证套打", NoCatalogueBillType},      {31, "付款凭证套打", NoCatalogueBillType},
            {32, "请配单", NoCatalogueBillType},            {33, "配送单", NoCatalogueBillType},
            {34, "采购费用分摊单", 43},                     {36, "销售报价单", 44},
            // branch bills exchanged between the head office and its branches
            {350, "分支机构要货单", NoCatalogueBillType},   {351, "分支机构配货单", NoCatalogueBillType},
            {352, "分支机构退货单", NoCatalogueBillType},   {353, "分支机构调拨单", NoCatalogueBillType},
            // quality management records
            {1511, "首营企业审批表", NoCatalogueBillType},  {1512, "首营品种审批表", NoCatalogueBillType},
            {1513, "商品质量验收记录", NoCatalogueBillType}, {1514, "商品入库验收单", NoCatalogueBillType},
            {1515, "商品养护检查记录", NoCatalogueBillType}, {1516, "商品质量复查通知单", NoCatalogueBillType},
            {1517, "不合格商品报告单", NoCatalogueBillType}, {1518, "不合格商品报损审批表", NoCatalogueBillType},
            {1519, "不合格商品销毁记录", NoCatalogueBillType}, {1520, "退回商品验收记录", NoCatalogueBillType},
            {1521, "商品出库复核记录", NoCatalogueBillType}, {1522, "库房温湿度记录", NoCatalogueBillType},
            {1523, "质量查询记录", NoCatalogueBillType},    {1524, "质量投诉处理记录", NoCatalogueBillType},
            {1525, "商品质量事故报告", NoCatalogueBillType}, {1526, "商品召回记录", NoCatalogueBillType},
            {1527, "质量信息反馈单", NoCatalogueBillType},  {1528, "设施设备检查记录", NoCatalogueBillType},
            {1529, "计量器具校准记录", NoCatalogueBillType}, {1530, "员工健康检查记录", NoCatalogueBillType},
            {1531, "员工质量培训记录", NoCatalogueBillType},
            {1747, "加工单", NoCatalogueBillType},          {1748, "成品入库单", NoCatalogueBillType},
            {1749, "费用分摊", NoCatalogueBillType},        {1750, "委托代销", 27},   {1751, "代销结算", 28},
            {1752, "委托代销初始化", 29},                   {1754, "商品限时打折", NoCatalogueBillType},
            {1773, "主生产计划", NoCatalogueBillType},      {3000, "物料需求-查询", NoCatalogueBillType},
            {3001, "物料需求-采购建议", NoCatalogueBillType}, {3002, "物料需求-生产建议", NoCatalogueBillType},
            {3003, "物料需求-计算", NoCatalogueBillType},
        };
        QVector<TReportTypeInfo> v;
        for (const auto& r : rows)
            v.append({r.Type, U(r.Name), r.BillType});
        return v;
    }();
    return types;
}

QString ReportTypeName(int reportType)
{
    for (const auto& t : ReportTypes())
        if (t.Type == reportType)
            return t.Name;
    return {};
}

int ReportTypeBillType(int reportType)
{
    for (const auto& t : ReportTypes())
        if (t.Type == reportType)
            return t.BillType;
    return NoCatalogueBillType;
}

TPrintSide PrintBillSide(int billType)
{
    if (In(billType, {1, 2, 3, 4, 5, 27, 28, 29, 44}))
        return TPrintSide::Customer;
    if (In(billType, {6, 7, 8, 9, 22, 26, 43}))
        return TPrintSide::Vendor;
    if ((billType >= 10 && billType <= 16) || billType == 19)
        return TPrintSide::Stock;
    return TPrintSide::None;
}

// ---------------------------------------------------------------------------------------
// Catalogue

QVector<TPrintStyleField> LoadPrintStyleFields(int windowId, int templateId, TClientConnection* con)
{
    TClientDataSet ds;
    Con(con)->OpenDataSet(
        QStringLiteral("SELECT F.WINDOWID ,F.ITEMID ,F.TABLETYPE ,F.DATAFIELD ,F.DEFAULTNAME ,F.ALWAYSDISPLAY ,F.SUBTYPE ,"
                       " F.LISTDATASETNAME ,F.LISTFIELD ,F.KEYFIELD , T.BDISPLAY, T.DISPLAYNAME, T.Serial"
                       " FROM FIELDINFO F, TEMPLATED T WHERE F.WINDOWID=T.WINDOWID AND F.ITEMID=T.ITEMID"
                       " AND F.WINDOWID=:WINDOWID AND T.TEMPLATEID=:TEMPLATEID AND F.VISIBLE='T'"
                       " ORDER BY TABLETYPE, T.Serial"),
        &ds, {{QStringLiteral("WINDOWID"), windowId}, {QStringLiteral("TEMPLATEID"), templateId}});
    QVector<TPrintStyleField> out;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        const bool shown = ds.FieldByName(QStringLiteral("BDISPLAY"))->AsString() == QLatin1String("T") ||
                           ds.FieldByName(QStringLiteral("ALWAYSDISPLAY"))->AsString() == QLatin1String("T");
        if (!shown)
            continue;
        TPrintStyleField f;
        f.DataField = ds.FieldByName(QStringLiteral("DATAFIELD"))->AsString().trimmed();
        f.Caption = ds.FieldByName(QStringLiteral("DISPLAYNAME"))->AsString();
        if (f.Caption.isEmpty())
            f.Caption = ds.FieldByName(QStringLiteral("DEFAULTNAME"))->AsString();
        f.Section = ds.FieldByName(QStringLiteral("TABLETYPE"))->AsInteger();
        f.SubType = ds.FieldByName(QStringLiteral("SUBTYPE"))->AsInteger();
        f.ListDataSet = ds.FieldByName(QStringLiteral("LISTDATASETNAME"))->AsString();
        f.KeyField = ds.FieldByName(QStringLiteral("KEYFIELD"))->AsString();
        f.ListField = ds.FieldByName(QStringLiteral("LISTFIELD"))->AsString();
        if (!f.DataField.isEmpty())
            out.append(f);
    }
    return out;
}

void BuildPrintCatalogue(TReportControl& report, int billType, const QVector<TPrintStyleField>& styleFields)
{
    report.ClearCatalogue();
    // 1. system variables
    report.AddVariable(QStringLiteral("Date"), U("系统日期"));
    report.AddVariable(QStringLiteral("Time"), U("系统时间"));
    report.AddVariable(QStringLiteral("DateTime"), U("系统日期时间"));
    report.AddVariable(QStringLiteral("PageNum"), U("第##页"));
    report.AddVariable(QStringLiteral("PageCount"), U("第##页，共##页"));

    // 2. the bill's shown style fields, as they come: a field the window shows twice is
    // offered under both captions
    for (const TPrintStyleField& f : styleFields) {
        if (f.Section == 3) {
            report.AppendDetailField(QStringLiteral("D.") + f.DataField, f.Caption);
        } else {
            const QString field = billType == 16 ? QStringLiteral("M") + f.DataField : f.DataField;
            report.AppendVariable(QStringLiteral("M.") + field, f.Caption);
        }
    }

    // 3. named master variables (caption = name)
    auto var = [&](const char* name) { report.AddVariable(U(name), U(name)); };
    const TPrintSide side = PrintBillSide(billType);
    if (side == TPrintSide::Customer || side == TPrintSide::Vendor) {
        const QString who = side == TPrintSide::Customer ? U("客户") : U("供应商");
        for (const char* item : {"编码", "名称", "全称", "税号", "地址电话", "地址", "电话", "开户银行及帐号"}) {
            const QString name = who + U(item);
            report.AddVariable(name, name);
        }
        if (side == TPrintSide::Customer) {
            if (billType == 5) {
                var("实收大写");
                var("实收小写");
            } else if (billType != 27) {
                var("价税合计大写");
                var("价税合计小写");
            }
        } else if (billType == 9) {
            var("实付大写");
            var("实付小写");
        } else {
            var("价税合计大写");
            var("价税合计小写");
        }
    } else if (side == TPrintSide::Stock) {
        var("合计大写");
        var("合计小写");
    }
    var("单号");
    if (IsOnline())
        var("分支机构");
    if (billType == 2) {
        var("不含本单欠款");
        var("累计欠款");
    }
    for (const char* item : {"企业税号", "企业名称", "企业地址电话", "企业地址", "企业电话", "企业开户银行及帐号", "打印人"})
        var(item);
    if (billType != 23 && billType != 24)
        var("开单日期");

    // totals by bill type
    if ((billType >= 1 && billType <= 4) || (billType >= 6 && billType <= 8) || (billType >= 10 && billType <= 16) ||
        In(billType, {19, 22, 26, 27, 28, 29, 40})) {
        for (const char* item : {"价税总计", "数量总计", "税额总计", "货款总计"})
            var(item);
    } else if (billType == 5 || billType == 9) {
        for (const char* item : {"本结总计", "总额总计", "已结总计", "已退总计", "未结总计"})
            var(item);
    } else if (billType == 17 || billType == 18) {
        var("合计大写");
        var("合计小写");
    } else if (billType == 23) {
        for (const char* item : {"结算标志", "开单时间", "现金付款", "支票付款", "信用卡付款", "金额合计大写", "金额合计小写"})
            var(item);
    } else if (billType == 24) {
        for (const char* item : {"日结日期", "金额合计大写", "金额合计小写"})
            var(item);
    }

    // 4. detail fields of goods lines
    const bool goodsLines = (side == TPrintSide::Customer && billType != 5) || (side == TPrintSide::Vendor && billType != 9) ||
                            side == TPrintSide::Stock;
    if (goodsLines) {
        auto detail = [&](const char* name, const char* caption) { report.AddDetailField(QStringLiteral("D.") + U(name), U(caption)); };
        detail("BASEUNIT", "基本单位");
        if (side != TPrintSide::Stock || billType == 16)
            detail("PRICE", "基本单位单价");
        else
            detail("APRICE", "基本单位单价");
        if (side != TPrintSide::Stock)
            detail("Disc", "折扣比率");
        detail("QUANTITY", "基于基本单位的数量");
        detail("UNITRATE", "转换率");
        detail("NPRICE", "不含折单价");
    }
}

// ---------------------------------------------------------------------------------------
// Files and rows

QString PrintAppDirectory()
{
    return AppDirOverride().isEmpty() ? QCoreApplication::applicationDirPath() : AppDirOverride();
}

void SetPrintAppDirectory(const QString& dir) { AppDirOverride() = dir; }

QString PrintTemplatePath(int rptid)
{
    QDir dir(PrintAppDirectory());
    dir.mkpath(QStringLiteral("Temp"));
    return dir.filePath(QStringLiteral("Temp/%1.Zrp").arg(rptid));
}

QByteArray PrintTemplateData(int rptid, TClientConnection* con)
{
    TClientDataSet ds;
    Con(con)->OpenDataSet(QStringLiteral("Select * from report where RptID=") + QString::number(rptid), &ds);
    if (ds.IsEmpty())
        throw EDatabaseError(U("打印样式 %1 不存在").arg(rptid));
    const QByteArray data = ds.FieldByName(QStringLiteral("data"))->AsBytes();
    if (!data.trimmed().isEmpty())
        return data;
    return StandardPrintTemplate(ds.FieldByName(QStringLiteral("rpttype"))->AsInteger()).ToJson();
}

namespace {
void WriteFile(const QString& fileName, const QByteArray& data)
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        throw EReportError(U("无法写入打印样式文件 %1").arg(fileName));
}
} // namespace

bool LoadPrintTemplate(int rptid, const QString& fileName)
{
    TClientDataSet ds;
    Con(nullptr)->OpenDataSet(QStringLiteral("Select * from report where RptID=") + QString::number(rptid), &ds);
    if (ds.IsEmpty()) {
        ShowInformation(U("尚未指定打印模板。"));
        return false;
    }
    QByteArray data = ds.FieldByName(QStringLiteral("data"))->AsBytes();
    if (data.trimmed().isEmpty())
        data = StandardPrintTemplate(ds.FieldByName(QStringLiteral("rpttype"))->AsInteger()).ToJson();
    WriteFile(fileName, data);
    return true;
}

void PreparePrintTemplate(const QString& fileName, int billType, const QVector<TPrintStyleField>& styleFields)
{
    TReportControl report;
    report.LoadFromFile(fileName);
    report.ClearCatalogue();
    if (billType != NoCatalogueBillType)
        BuildPrintCatalogue(report, billType, styleFields);
    report.SaveToFile(fileName);
}

void PreparePrintTemplateForType(const QString& fileName, int reportType)
{
    const int billType = ReportTypeBillType(reportType);
    QVector<TPrintStyleField> fields;
    if (billType != NoCatalogueBillType)
        fields = LoadPrintStyleFields(billType, 1); // the window id of a bill is its bill type
    PreparePrintTemplate(fileName, billType, fields);
}

int SystemDefaultReportID(int reportType, TClientConnection* con)
{
    const QVariant v = Con(con)->ExecuteScalar(QStringLiteral("select min(RptID) from report where RptType = ") +
                                               QString::number(reportType));
    return v.isNull() ? 0 : v.toInt();
}

int StandardReportID(int reportType, TClientConnection* con)
{
    const QVariant v = Con(con)->ExecuteScalar(QStringLiteral("select min(RptID) from report where RptID > 0 and RptType = ") +
                                               QString::number(reportType));
    return v.isNull() ? 0 : v.toInt();
}

int FillStandardPrintTemplates(TClientConnection& con)
{
    TClientDataSet ds;
    con.OpenDataSet(QStringLiteral("select rptid, rpttype from report where data is null or length(data) = 0"), &ds);
    int filled = 0;
    con.BeginTrans();
    try {
        for (ds.First(); !ds.Eof(); ds.Next()) {
            const QByteArray data = StandardPrintTemplate(ds.FieldByName(QStringLiteral("rpttype"))->AsInteger()).ToJson();
            filled += con.Execute(QStringLiteral("update report set data = :data where rptid = :id"),
                                  {{QStringLiteral("data"), data},
                                   {QStringLiteral("id"), ds.FieldByName(QStringLiteral("rptid"))->AsInteger()}});
        }
        con.CommitTrans();
    } catch (...) {
        con.RollbackTrans();
        throw;
    }
    return filled;
}
