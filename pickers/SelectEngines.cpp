#include "pickers/SelectEngines.h"

namespace {
// The columns of a list of lots (stock lots and consignment deliveries), the quantity titled
// as the list means it.
QVector<TBatchPickColumn> LotColumns(const QString& quantityTitle)
{
    return {{QStringLiteral("BILLNAME"), QStringLiteral("单据名称"), 90},
            {QStringLiteral("BATCHCODE"), QStringLiteral("批号"), 90},
            {QStringLiteral("VALIDDATE"), QStringLiteral("有效日期"), 80},
            {QStringLiteral("BILLCODE"), QStringLiteral("单据号"), 110},
            {QStringLiteral("BILLDATE"), QStringLiteral("单据日期"), 80},
            {QStringLiteral("UNITAPRICE"), QStringLiteral("成本单价"), 80, QStringLiteral("#0.######")},
            {QStringLiteral("LEFTQTY"), quantityTitle, 80}};
}

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }
} // namespace

TBatchPickStatement BatchPickStatement(const TBatchPickRequest& r, bool showCost)
{
    TBatchPickStatement s;
    // A unit rate of 0 (or less) is no rate at all: quantities stay in base units.
    const double rate = r.UnitRate > 0 ? r.UnitRate : 1.0;
    s.Params.append({QStringLiteral("rate"), rate});
    switch (r.Mode) {
    case bmStockLots:
        s.Caption = QStringLiteral("请选择批次");
        s.Sql = QStringLiteral(
            "SELECT a.GoodsID, a.BatchCode, a.id AS BatchCodeID, a.ValidDate, a.Billtype, a.BillID, a.ItemNo, a.BillDate,"
            " a.BillCode, a.ID, a.InPrice, round(a.RefQty, 6) / :rate AS UnitRefQty, a.RefQty,"
            " round(a.LeftQty, 6) / :rate AS LeftQty, a.storeid, a.billname, a.produceddate, a.unitid, a.unitprice,"
            " a.unitname, a.unitrate, a.BATCHREFID, a.barcode, round(a.aprice * :rate, 6) AS unitaprice, a.aprice"
            " FROM v_DetailBillFlow a, store s WHERE a.storeid = s.storeid AND a.billdate <= :billdate");
        // Dates are stored as text with their time: the bill's day starts at midnight.
        s.Params.append({QStringLiteral("billdate"), r.BillDate.toString(QStringLiteral("yyyy-MM-dd 00:00:00"))});
        s.ReturnFields = QStringLiteral("batchcode,batchcodeid,validdate,produceddate,aprice,billcode");
        s.Columns = LotColumns(QStringLiteral("可用数量"));
        s.Columns.append({QStringLiteral("UnitRefQty"), QStringLiteral("已出仓数量"), 80});
        break;
    case bmBatchStock:
        s.Caption = QStringLiteral("请选择批号");
        s.Sql = QStringLiteral("SELECT a.*, round(a.onhand, 6) / :rate AS LeftQty FROM batchcodeonhand a, store s"
                               " WHERE a.storeid = s.storeid AND a.onhand > 0");
        if (r.ByShop) {
            s.Sql += QStringLiteral(" AND s.shopid = :shopid");
            s.Params.append({QStringLiteral("shopid"), r.ShopID});
        }
        s.ReturnFields = QStringLiteral("batchcode,validdate,produceddate,LeftQty");
        s.Columns = {{QStringLiteral("BATCHCODE"), QStringLiteral("批号"), 100},
                     {QStringLiteral("produceddate"), QStringLiteral("生产日期"), 90},
                     {QStringLiteral("VALIDDATE"), QStringLiteral("有效日期"), 90},
                     {QStringLiteral("LeftQty"), QStringLiteral("可用数量"), 90}};
        break;
    case bmConsignment:
        s.Caption = QStringLiteral("请选择批次");
        s.Sql = QStringLiteral(
            "SELECT a.GoodsID, a.BatchCode, a.batchrefid AS BatchCodeID, a.ValidDate, a.deputesaleid AS BillID, a.billtypeid,"
            " a.itemno, a.aprice AS inprice, a.quantity AS refqty,"
            " round(round((a.quantity - (a.quantity / a.unitqty) * a.settledqty - (a.quantity / a.unitqty) * a.returnqty), 6)"
            " / :rate, 6) AS leftqty,"
            " a.billtypename AS billname, a.produceddate, a.unitid, a.unitprice, u.unitname, u.rate AS unitrate, a.batchrefid,"
            " a.unitprice * (1 + a.taxrate / 100.0) AS taxprice, round(a.aprice * :rate, 6) AS unitaprice, a.aprice AS aprice,"
            " b.storeid, b.code AS billcode, b.billdate, a.unitqty"
            " FROM v_deputesaledetail a INNER JOIN store s ON a.storeid = s.storeid"
            " LEFT OUTER JOIN goodsunit u ON a.unitid = u.unitid"
            " LEFT OUTER JOIN v_deputesale b ON (a.deputesaleid = b.deputesaleid AND a.billtypeid = b.billtypeid)"
            " WHERE s.shopid = :shopid AND a.batchcode IS NOT NULL AND b.billtype <> 2 AND b.flag <> 2"
            " AND a.unitqty <> a.settledqty + a.returnqty");
        s.Params.append({QStringLiteral("shopid"), r.ShopID});
        s.ReturnFields =
            QStringLiteral("batchcode,batchcodeid,validdate,produceddate,aprice,billtypeid,BillID,itemno,billcode,leftqty,unitid,unitqty,taxprice");
        s.Columns = LotColumns(QStringLiteral("出仓数量"));
        break;
    default:
        return {};
    }
    s.Sql += QStringLiteral(" AND a.goodsid = :goodsid");
    s.Params.append({QStringLiteral("goodsid"), r.GoodsID});
    if (r.Mode == bmConsignment) {
        if (r.ClientID != 0) {
            s.Sql += QStringLiteral(" AND b.clientid = :clientid");
            s.Params.append({QStringLiteral("clientid"), r.ClientID});
        }
    } else if (r.StoreID != 0) {
        s.Sql += QStringLiteral(" AND a.storeid = :storeid");
        s.Params.append({QStringLiteral("storeid"), r.StoreID});
    }
    if (!showCost)
        s.Columns.removeIf([](const TBatchPickColumn& c) { return c.Field == QLatin1String("UNITAPRICE"); });
    return s;
}

QString BatchCodeListSql(const QString& masterSql)
{
    return QStringLiteral("SELECT 0 AS type, '所有' AS batchcode UNION SELECT 1 AS type, a.batchcode FROM (") + masterSql +
           QStringLiteral(") a GROUP BY a.batchcode ORDER BY type, batchcode");
}

TProcessKind ProcessStatement(int kind)
{
    // Each kind: its master and detail source, the key that joins them (also the id the bill
    // opens by), and for the money kinds the type column the two also share.
    struct TSource {
        int Kind;
        const char *Master, *Detail, *Key, *Type, *Extra;
    };
    static const TSource sources[] = {
        {1, "v_payrecieve", "v_payrecievedetail", "payid", "paytype", ""},
        {2, "preturn", "prdetail", "preturnid", nullptr, ""},
        {3, "v_chargeinvoice", "v_chargeinvoicedetail", "chargeid", "chargetype", ""},
        {4, "sreturn", "returndetail", "returnid", nullptr, ""},
        {5, "backdraw", "backdetail", "backdrawid", nullptr, ""},
        {6, "allot", "dallot", "allotid", nullptr, ", p.outshopid, p.inshopid"},
    };
    TProcessKind p;
    const TSource* src = nullptr;
    for (const TSource& s : sources)
        if (s.Kind == kind)
            src = &s;
    if (!src)
        return p;
    const QString master = QString::fromLatin1(src->Master), detail = QString::fromLatin1(src->Detail),
                  key = QString::fromLatin1(src->Key);
    const QString tail = QStringLiteral(" WHERE d.refertype = :refertype AND d.referbillid = :referbillid AND p.%1 = d.%1").arg(key);
    p.Kind = kind;
    p.BillIdField = key;
    if (src->Type) {
        const QString type = QString::fromLatin1(src->Type);
        p.Sql = QStringLiteral("SELECT p.%3, p.%4, p.code, p.billdate, p.shopid, t.name AS paytypename, d.amount"
                               " FROM %1 p LEFT JOIN paytype t ON p.paytypeid = t.paytypeid, %2 d")
                    .arg(master, detail, key, type) +
                tail + QStringLiteral(" AND p.%1 = d.%1").arg(type);
        p.Columns = QStringList{QStringLiteral("code"), QStringLiteral("billdate"), QStringLiteral("paytypename"), QStringLiteral("amount")};
    } else {
        p.Sql = QStringLiteral("SELECT p.%3, p.code, p.billdate, p.shopid%4, d.goodsid, d.unitqty, d.unitprice, d.amount,"
                               " g.name AS goodsname, g.specs, g.code AS goodscode, g.unit AS baseunit, u.unitname AS unit,"
                               " u.rate AS unitrate, u.barcode, g.shortname, g.validdates"
                               " FROM %1 p, %2 d INNER JOIN goods g ON (d.goodsid = g.goodsid)"
                               " LEFT OUTER JOIN goodsunit u ON (d.goodsid = u.goodsid AND d.unitid = u.unitid)")
                    .arg(master, detail, key, QString::fromLatin1(src->Extra)) +
                tail;
        p.Columns = QStringList{QStringLiteral("code"),      QStringLiteral("billdate"), QStringLiteral("goodscode"),
                                QStringLiteral("goodsname"), QStringLiteral("specs"),    QStringLiteral("unit"),
                                QStringLiteral("unitqty"),   QStringLiteral("unitprice"), QStringLiteral("amount")};
    }
    return p;
}

int ProcessBillType(int kind, int payOrChargeType)
{
    switch (kind) {
    case 1:
    case 3:
        return payOrChargeType == 9 || payOrChargeType == 5 ? payOrChargeType : -1;
    case 2:
        return 8;
    case 4:
        return 4;
    case 5:
        return 11;
    case 6:
        return 13;
    default:
        return -1;
    }
}

bool MayViewProcessBill(int kind, bool online, int currentShop, int billShop, int outShop, int inShop)
{
    if (!online)
        return true;
    if (kind == 6)
        return currentShop == outShop || currentShop == inShop;
    return billShop == currentShop;
}

TBatchCodeParts SplitBatchCode(const QString& code)
{
    TBatchCodeParts parts;
    qsizetype last = code.size() - 1;
    while (last >= 0 && !IsAsciiDigit(code.at(last)))
        --last;
    if (last < 0) {
        parts.Prefix = code;
        return parts;
    }
    parts.HasDigit = true;
    parts.Suffix = code.mid(last + 1);
    qsizetype first = last;
    while (first > 0 && IsAsciiDigit(code.at(first - 1)))
        --first;
    parts.Number = code.mid(first, last - first + 1);
    parts.Prefix = code.left(first);
    return parts;
}

int ParseCopyCount(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const int n = t.toInt(&ok);
    return ok ? n : -1;
}
