#include "bills/common/BillStatements.h"

QString GoodsDetailSQL(const QString& detailTable, const QString& keyField, const QString& extraColumns,
                       const QString& extraJoin, TGoodsJoin goodsJoin)
{
    // Concatenated rather than arg()-formatted: the text carries the "%s" of the bill id.
    QString sql = QStringLiteral(
        "select d.*,dbo.getreferbillcode(d.refertype,d.referbillid) as referbillcode,"
        " g.name as goodsname,g.specs,g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,"
        " g.kind as goodskind,g.batchctrl,g.goodsuserdef1,g.goodsuserdef2,g.goodsuserdef3,g.goodsuserdef4,"
        " g.goodsuserdef5,g.goodsuserdef6,g.goodsuserdef7,g.goodsuserdef8,g.goodsuserdef9,g.goodsuserdef10,"
        " u.barcode,u.unitname as unit,u.rate as unitrate,bu.unitname as baseunit,'序列号' as seralno,"
        " d.unitprice/(d.disc/100.0) as nprice,d.unitprice*(1+d.taxrate/100.0) as taxprice");
    if (!extraColumns.isEmpty())
        sql += QLatin1Char(',') + extraColumns;
    sql += QStringLiteral(" from ") + detailTable + QStringLiteral(" d ");
    sql += goodsJoin == TGoodsJoin::Inner ? QStringLiteral("inner join") : QStringLiteral("left outer join");
    sql += QStringLiteral(" goods g on d.goodsid=g.goodsid"
                          " left outer join goodsunit u on d.goodsid=u.goodsid and d.unitid=u.unitid"
                          " left outer join goodsunit bu on d.goodsid=bu.goodsid and bu.unittype=0 ");
    sql += extraJoin;
    sql += QStringLiteral(" where d.") + keyField + QStringLiteral(" =%s  order by d.itemno");
    return sql;
}
