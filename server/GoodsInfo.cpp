#include "server/GoodsInfo.h"

#include "platform/Exceptions.h"
#include "webrpc/Connection.h"
#include "webrpc/Statement.h"

#include <algorithm>

namespace {

bool HasColumns(TClientConnection& con, const char* table, std::initializer_list<const char*> columns)
{
    // one question per table, not one per column: every goods entered on a line asks these
    const auto known = TableColumns(con, QString::fromLatin1(table)); // lower-case names
    for (const char* col : columns) {
        const QString name = QString::fromLatin1(col).toLower();
        if (std::none_of(known.cbegin(), known.cend(), [&](const QPair<QString, QString>& c) { return c.first == name; }))
            return false;
    }
    return true;
}

// The goods list condition is composed by the bill forms, never typed by users; still,
// anything that could end the statement or hide the rest of it is refused.
void CheckFilter(const QString& filter)
{
    if (filter.contains(u';') || filter.contains(QLatin1String("--")) || filter.contains(QLatin1String("/*")))
        throw EDatabaseError(QStringLiteral("getgoodsinfo: 货品过滤条件无效：%1").arg(filter));
}

int IntParam(const TProcParams& params, const char* name)
{
    const QVariant v = params.Value(QString::fromLatin1(name));
    return v.isNull() ? 0 : v.toInt();
}

} // namespace

QString GoodsInfoSql(TClientConnection& con, int getType, const QString& filter)
{
    CheckFilter(filter);
    const bool pg = con.IsPostgres();
    // today and the time of day, in the server's local time
    const QString today = pg ? QStringLiteral("current_date") : QStringLiteral("date('now', 'localtime')");
    const QString hourMinute = pg ? QStringLiteral("to_char(localtimestamp, 'HH24:MI')") : QStringLiteral("strftime('%H:%M', 'now', 'localtime')");

    // Time-limited discounts of the point of sale, when the discount bills exist: the
    // latest bill in force today, at this hour, for this shop and store.
    QString disPrice = QStringLiteral("null");
    if (HasColumns(con, "goodsdiscount", {"goodsdiscountid", "discshopid", "storeid", "startdate", "enddate", "starttime", "endtime", "closed"})
        && HasColumns(con, "goodsdiscountdetail", {"goodsdiscountid", "goodsid", "unitid", "disprice", "useflag"})) {
        disPrice = QStringLiteral(
            "(select d.disprice from goodsdiscountdetail d"
            " join goodsdiscount m on m.goodsdiscountid = d.goodsdiscountid"
            " where d.goodsid = g.goodsid and d.unitid = u.unitid and d.useflag = '是'"
            " and coalesce(m.closed, 'F') not in ('T', '是')%1"
            " and (m.discshopid is null or m.discshopid = 0 or m.discshopid = p.shopid)"
            " and (m.storeid is null or m.storeid = 0 or m.storeid = p.storeid)"
            " and date(m.startdate) <= %2 and date(m.enddate) >= %2"
            " and coalesce(m.starttime, '00:00') <= %3"
            " and coalesce(m.endtime, '23:59') >= %3"
            " order by m.startdate desc, m.goodsdiscountid desc limit 1)")
                       // a reversed discount bill and its reversing bill are not in force
                       .arg(HasColumns(con, "goodsdiscount", {"flag"}) ? QStringLiteral(" and coalesce(m.flag, 0) = 0") : QString(), today, hourMinute);
    }

    // Cost: the named stock batch, else the store's cost, else the goods' cost.
    QString batchCost = QStringLiteral("null");
    if (HasColumns(con, "v_DetailBillFlow", {"id", "aprice"}))
        batchCost = QStringLiteral("(select nullif(f.aprice, 0) from v_DetailBillFlow f where p.batchrefid > 0 and f.id = p.batchrefid)");

    const QString goodsSource = getType == 1 && !filter.trimmed().isEmpty()
        ? QStringLiteral("(select * from goods g where %1) g").arg(filter)
        : QStringLiteral("goods g");
    const QString unitJoin = getType == 1
        ? QStringLiteral("u.goodsid = g.goodsid and u.unittype = 0")
        : QStringLiteral("u.goodsid = g.goodsid and u.unitid = p.unitid");

    return QStringLiteral(
        // typed here: PostgreSQL takes an untyped parameter in a select list for text
        "with p as (select cast(:gettype as integer) as gettype, cast(:goodsid as integer) as goodsid,"
        "   cast(:unitid as integer) as unitid, cast(:billtype as integer) as billtype, cast(:cvflag as integer) as cvflag,"
        "   cast(:cvid as integer) as cvid, cast(:batchrefid as integer) as batchrefid, cast(:shopid as integer) as shopid,"
        "   cast(:storeid as integer) as storeid),"
        " b as ("
        "  select g.goodsid as GoodsID, g.code as Code, g.name as Name, g.shortname as ShortName, g.specs as specs,"
        "   g.unit as baseunit, g.batchctrl as batchctrl, g.kind as kind, g.inf_costingtypeid as inf_costingtypeid,"
        "   g.validdates as ValidDates, g.pyassist as pyassist,"
        "   g.goodsuserdef1, g.goodsuserdef2, g.goodsuserdef3, g.goodsuserdef4, g.goodsuserdef5,"
        "   g.goodsuserdef6, g.goodsuserdef7, g.goodsuserdef8, g.goodsuserdef9, g.goodsuserdef10,"
        "   u.unitid as UnitID, u.unitname as unitname, u.rate as unitrate, u.barcode as barcode,"
        "   coalesce(%1, (select nullif(o.aprice, 0) from onhand o where o.storeid = p.storeid and o.goodsid = g.goodsid),"
        "            g.aprice, 0) as aprice,"
        "   gv.spprice as SPPrice,"
        "   %2 as DisPrice,"
        "   coalesce(gv.lastprice, case when p.cvflag = 2 then nullif(u.lastpprice, 0) end) as LastPrice,"
        "   case when p.cvflag = 1 then"
        "     case coalesce(c.pricelevel, 0)"
        "       when 1 then coalesce(u.lprice1, u.sprice)"
        "       when 2 then coalesce(u.lprice2, u.lprice1, u.sprice)"
        "       when 3 then coalesce(u.lprice3, u.lprice2, u.lprice1, u.sprice)"
        "       else u.sprice end"
        "   else u.sprice end as LevPrice,"
        "   u.sprice as SalePrice, u.pprice as PurchasePrice,"
        "   p.gettype as GetType, p.billtype as BillType, p.cvflag as CVFlag, p.cvid as CVID,"
        "   p.batchrefid as BATCHREFID, p.shopid as shopid, p.storeid as storeid"
        "  from p"
        "  join %3 on g.goodsid = p.goodsid"
        "  join goodsunit u on %4"
        "  left join client c on c.clientid = p.cvid and p.cvid > 0"
        "  left join gvcprice gv on gv.cvid = p.cvid and p.cvid > 0 and gv.goodsid = g.goodsid and gv.unitid = u.unitid"
        "   and gv.cvflag = case when p.cvflag = 2 then 2 else 1 end"
        " )"
        " select b.*, round(b.aprice * b.unitrate, 8) as unitaprice,"
        "  round(case"
        "   when b.CVFlag = 1 then coalesce(b.SPPrice, b.LevPrice, 0)"
        "   when b.CVFlag = 2 then coalesce(b.LastPrice, nullif(b.PurchasePrice, 0), 0)"
        "   when b.CVFlag in (3, 8) then b.aprice * b.unitrate"
        "   when b.CVFlag = 5 then coalesce(b.DisPrice, b.SalePrice, 0)"
        "   else coalesce(b.SalePrice, 0) end, 8) as DefaultPrice"
        " from b")
        .arg(batchCost, disPrice, goodsSource, unitJoin);
}

void GetGoodsInfoProc(TClientConnection& con, TProcParams& params, TClientDataSet* rows)
{
    const int getType = IntParam(params, "@gettype");
    const QString filter = params.Value(QStringLiteral("@Filter")).toString();
    const QString sql = GoodsInfoSql(con, getType, filter);
    const TSqlParams bound{
        {QStringLiteral("gettype"), getType},
        {QStringLiteral("goodsid"), IntParam(params, "@goodsid")},
        {QStringLiteral("unitid"), IntParam(params, "@unitid")},
        {QStringLiteral("billtype"), IntParam(params, "@BillType")},
        {QStringLiteral("cvflag"), IntParam(params, "@CVFlag")},
        {QStringLiteral("cvid"), IntParam(params, "@CVID")},
        {QStringLiteral("batchrefid"), IntParam(params, "@BATCHREFID")},
        {QStringLiteral("shopid"), IntParam(params, "@shopid")},
        {QStringLiteral("storeid"), IntParam(params, "@storeid")},
    };

    TClientDataSet local;
    TClientDataSet* target = rows ? rows : &local;
    con.OpenNative(sql, target, bound);

    const int count = target->RecordCount();
    if (TProcParam* p = params.Find(QStringLiteral("@DefaultPrice")))
        p->Value = count > 0 ? target->FieldByName(QStringLiteral("DefaultPrice"))->Value() : QVariant(0.0);
    if (TProcParam* p = params.Find(QStringLiteral("@RETURN_VALUE")))
        p->Value = count;
    target->First();
}

void RegisterGoodsInfoProcedure()
{
    TServerRegistry::RegisterProcedure(QStringLiteral("getgoodsinfo"), GetGoodsInfoProc);
}
