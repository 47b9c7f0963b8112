// The standard print template of each report type: what a bill prints with before a user
// has designed anything, and what "restore" puts back.
#include "printing/PrintTemplates.h"

#include "platform/report/ReportControl.h"

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

using TVars = QVector<QPair<QString, QString>>;
using TColumns = QVector<TStandardColumn>;

TStandardColumn Col(const char* field, const char* caption, double width, const char* format = "", bool total = false)
{
    return TStandardColumn{QStringLiteral("D.") + U(field), U(caption), width, U(format), total};
}

const char* const kQty = "0.##";
const char* const kPrice = "0.00";
const char* const kMoney = "#,##0.00";

TColumns TradeColumns()
{
    return {Col("goodscode", "货品编码", 24), Col("goodsname", "货品名称", 0), Col("specs", "规格", 20),
            Col("unit", "单位", 12),           Col("unitqty", "数量", 18, kQty, true), Col("unitprice", "单价", 20, kPrice),
            Col("amount", "金额", 26, kMoney, true)};
}

TColumns StockColumns(int billType)
{
    const TColumns head = {Col("goodscode", "货品编码", 24), Col("goodsname", "货品名称", 0), Col("specs", "规格", 20),
                           Col("unit", "单位", 12)};
    TColumns c = head;
    switch (billType) {
    case 19: // cost adjustment
        c << Col("unitqty", "数量", 16, kQty, true) << Col("aoprice", "原成本价", 20, kPrice) << Col("anprice", "新成本价", 20, kPrice)
          << Col("amount", "调价金额", 24, kMoney, true);
        break;
    case 14: // stock count
        c << Col("onhand", "帐面数量", 17, kQty) << Col("realqty", "实盘数量", 17, kQty) << Col("unitqty", "盈亏数量", 17, kQty, true)
          << Col("amount", "盈亏金额", 24, kMoney, true);
        break;
    default:
        c << Col("unitqty", "数量", 18, kQty, true) << Col("unitprice", "单价", 20, kPrice) << Col("amount", "金额", 26, kMoney, true);
    }
    return c;
}

struct TLayout {
    TVars Vars;
    TColumns Columns;
    bool NoLines = false;
    QString AmountInWords; // summary line for bills without lines
};

TVars PartnerVars(const QString& who, const QString& whoCaption, bool withStore)
{
    // Address and bank lines are long: they take two of the three cells of a row.
    TVars v = {{who + U("名称"), whoCaption}, {U("单号"), U("单号")}, {U("开单日期"), U("日期")},
               {who + U("地址电话"), U("地址电话")}, {U("M.exemanid"), U("业务员")},
               {who + U("开户银行及帐号"), U("开户行及帐号")}};
    v << (withStore ? qMakePair(U("M.storeid"), U("仓库")) : qMakePair(U("M.phone"), U("联系电话")));
    v << qMakePair(who + U("税号"), U("税号")) << qMakePair(U("M.memo"), U("备注"));
    return v;
}

TLayout LayoutOf(int reportType, int billType)
{
    const TPrintSide side = PrintBillSide(billType);
    const QString who = side == TPrintSide::Vendor ? U("供应商") : U("客户");
    const TVars dated = {{U("单号"), U("单号")}, {U("开单日期"), U("日期")}};
    TLayout l;
    if (billType == 5 || billType == 9) { // settlements: the bills paid are the lines
        l.Vars = {{who + U("名称"), who}, {U("单号"), U("单号")}, {U("开单日期"), U("日期")},
                  {U("M.paytypeid"), U("结算方式")}, {U("M.bankid"), U("帐户")}, {U("M.exemanid"), U("业务员")},
                  {billType == 5 ? U("实收小写") : U("实付小写"), billType == 5 ? U("实收金额") : U("实付金额")},
                  {U("M.checkno"), U("票据号")}, {U("M.memo"), U("备注")}};
        l.Columns = {Col("code", "单据编号", 30), Col("billdate", "单据日期", 22, "date:yyyy-MM-dd"),
                     Col("total", "单据金额", 24, kMoney, true), Col("totalrcvd", "已结金额", 24, kMoney, true),
                     Col("shouldpayamt", "未结金额", 24, kMoney, true), Col("amount", "本次结算", 24, kMoney, true),
                     Col("memo", "备注", 0)};
        return l;
    }
    if (side == TPrintSide::Customer || side == TPrintSide::Vendor) {
        const bool withStore = !(billType == 1 || billType == 6 || billType == 44 || billType == 43);
        l.Vars = PartnerVars(who, who, withStore);
        l.Columns = TradeColumns();
        if (billType == 43) // expense allocation: the receipts' goods carry the expense
            l.Columns = {Col("goodscode", "货品编码", 24), Col("goodsname", "货品名称", 0), Col("specs", "规格", 18),
                         Col("unit", "单位", 12), Col("unitqty", "数量", 16, kQty, true), Col("goodsamt", "货款", 24, kMoney, true),
                         Col("appamt", "分摊费用", 24, kMoney, true)};
        return l;
    }
    if (side == TPrintSide::Stock || reportType == 32 || reportType == 33 || reportType >= 1747) {
        l.Vars = dated;
        switch (billType) {
        case 10: l.Vars << qMakePair(U("M.outsid"), U("发料仓库")); break;
        case 11: l.Vars << qMakePair(U("M.insid"), U("退入仓库")); break;
        case 12: l.Vars << qMakePair(U("M.insid"), U("入库仓库")); break;
        case 13: l.Vars << qMakePair(U("M.outsid"), U("调出仓库")) << qMakePair(U("M.insid"), U("调入仓库")); break;
        case 14: l.Vars << qMakePair(U("M.balsid"), U("盘点仓库")); break;
        case 15: case 16: l.Vars << qMakePair(U("M.storeid"), U("仓库")); break;
        case 19: l.Vars << qMakePair(U("M.fileno"), U("调价文号")); break;
        default:
            if (reportType == 33)
                l.Vars << qMakePair(U("M.outstoreid"), U("调出仓库")) << qMakePair(U("M.instoreid"), U("调入仓库"));
            else
                l.Vars << qMakePair(U("M.storeid"), U("仓库"));
        }
        l.Vars << qMakePair(U("M.departmentid"), U("部门")) << qMakePair(U("M.exemanid"), U("经办人")) << qMakePair(U("M.memo"), U("备注"));
        l.Columns = StockColumns(billType);
        if (reportType == 32) // a request names quantities only
            l.Columns = {Col("goodscode", "货品编码", 26), Col("goodsname", "货品名称", 0), Col("specs", "规格", 26),
                         Col("unit", "单位", 14), Col("unitqty", "数量", 22, kQty, true), Col("memo", "备注", 34)};
        return l;
    }
    switch (billType) {
    case 17: // expense
    case 18: // other income
        l.Vars = dated;
        l.Vars << qMakePair(U("M.bankid"), U("帐户")) << qMakePair(U("M.paytypeid"), U("结算方式")) << qMakePair(U("M.empid"), U("经办人"))
               << qMakePair(U("M.departmentid"), U("部门")) << qMakePair(U("M.checkno"), U("票据号")) << qMakePair(U("M.memo"), U("备注"));
        l.Columns = {billType == 17 ? Col("ietypename", "费用项目", 60) : Col("name", "收入项目", 60),
                     Col("amount", "金额", 34, kMoney, true), Col("memo", "备注", 0)};
        return l;
    case 20: // bank deposit and withdrawal
        l.Vars = dated;
        l.Vars << qMakePair(U("M.empid"), U("经办人")) << qMakePair(U("M.outbankid"), U("转出帐户")) << qMakePair(U("M.inbankid"), U("转入帐户"))
               << qMakePair(U("M.amount|money"), U("金额")) << qMakePair(U("M.checkno"), U("票据号")) << qMakePair(U("M.memo"), U("备注"));
        l.NoLines = true;
        l.AmountInWords = U("金额（大写）：[M.amount|chinese]");
        return l;
    case 23: // POS sale
        l.Vars = {{U("单号"), U("单号")}, {U("M.billtime"), U("销售时间")}, {U("M.storename"), U("仓库")},
                  {U("M.machinename"), U("收银机")}, {U("M.empcode"), U("营业员")}, {U("M.vipcode"), U("会员卡号")}};
        l.Columns = {Col("code", "货品编码", 24), Col("name", "货品名称", 0), Col("specs", "规格", 18), Col("unit", "单位", 12),
                     Col("unitqty", "数量", 16, kQty, true), Col("unitprice", "单价", 18, kPrice), Col("discount", "折扣", 12, "0.##"),
                     Col("amount", "金额", 24, kMoney, true)};
        return l;
    case 24: // POS day close
        l.Vars = {{U("单号"), U("单号")}, {U("日结日期"), U("日结日期")}, {U("M.storename"), U("仓库")}, {U("M.memo"), U("备注")}};
        l.Columns = {Col("goodscode", "货品编码", 24), Col("goodsname", "货品名称", 0), Col("specs", "规格", 20), Col("unit", "单位", 12),
                     Col("quantity", "数量", 18, kQty, true), Col("price", "单价", 20, kPrice), Col("amount", "金额", 26, kMoney, true)};
        return l;
    case 25: // cashier cash in/out
        l.Vars = dated;
        l.Vars << qMakePair(U("M.opname"), U("经手人")) << qMakePair(U("M.incash|money"), U("入款金额"))
               << qMakePair(U("M.outcash|money"), U("出款金额")) << qMakePair(U("M.memo"), U("备注"));
        l.NoLines = true;
        return l;
    default: // vouchers and the types printed by other packages
        l.Vars = dated;
        l.Vars << qMakePair(U("M.memo"), U("备注"));
        l.Columns = {Col("memo", "摘要", 0), Col("subcode", "科目编码", 28), Col("subname", "科目名称", 44),
                     Col("debit", "借方金额", 28, kMoney, true), Col("credit", "贷方金额", 28, kMoney, true)};
        return l;
    }
}

bool IsWide(const QString& name)
{
    return name.endsWith(U("地址电话")) || name.endsWith(U("开户银行及帐号")) || name == QLatin1String("M.memo");
}

// Lays the master block out again so that wide entries span two cells; a row holds three.
void ReflowMasterBlock(TReportTemplate& t, const TVars& vars)
{
    TReportBand* band = t.Band(TReportBandKind::MasterHeader);
    if (!band || band->Items.size() != vars.size())
        return;
    const double cellW = t.Page.ContentWidth() / 3, cellH = 7;
    int cell = 0, row = 0;
    for (int i = 0; i < vars.size(); ++i) {
        const int span = IsWide(vars[i].first) ? 2 : 1;
        if (cell + span > 3) {
            ++row;
            cell = 0;
        }
        TReportItem& it = band->Items[i];
        it.X = cell * cellW;
        it.Y = row * cellH;
        it.Width = span * cellW;
        cell += span;
    }
    band->Height = (row + 1) * cellH + 2;
}

} // namespace

TReportTemplate StandardPrintTemplate(int reportType)
{
    const int billType = ReportTypeBillType(reportType);
    const TLayout l = LayoutOf(reportType, billType);
    QString title = ReportTypeName(reportType);
    if (title.isEmpty())
        title = U("打印样式");
    TReportTemplate t = MakeStandardBillTemplate(title, l.Vars, l.Columns);
    ReflowMasterBlock(t, l.Vars);
    if (l.NoLines) {
        t.Columns.clear();
        t.Table.Visible = false;
        if (!l.AmountInWords.isEmpty())
            if (TReportBand* summary = t.Band(TReportBandKind::Summary)) {
                for (TReportItem& it : summary->Items)
                    it.Y += 10;
                TReportItem words;
                words.Kind = TReportItemKind::Text;
                words.X = 0;
                words.Y = 1;
                words.Width = t.Page.ContentWidth();
                words.Height = 8;
                words.Text = l.AmountInWords;
                words.Font.Bold = true;
                words.Frame = TReportFrame{true, true, true, true, 0.25};
                summary->Items.prepend(words);
                summary->Height += 10;
            }
    }

    // The catalogue the designer lists is the bill's own; the layout's columns join it.
    TReportControl report;
    report.SetTemplate(t);
    if (billType != NoCatalogueBillType)
        BuildPrintCatalogue(report, billType, {});
    for (const auto& v : l.Vars)
        if (v.first.startsWith(QLatin1String("M.")))
            report.AddVariable(v.first.section(QLatin1Char('|'), 0, 0), v.second);
    for (const auto& c : l.Columns)
        report.AddDetailField(c.Field, c.Caption);
    t = report.Template();
    t.Validate();
    return t;
}
