#include "bills/stock/BalItemForm.h"

TBalItemForm::TBalItemForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from BalItem a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.BALITEMID = %s");
    // A reloaded bill shows the booked quantity over all stores and the counted quantity
    // derived from it; the stored difference is the line's unitqty.
    DetailSQL = QStringLiteral(
        "select d.*,dbo.getreferbillcode(d.refertype,d.referbillid) as referbillcode,g.name as goodsname,g.specs,"
        "g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,g.kind as goodskind,g.batchctrl,u.barcode,"
        "u.unitname as unit,u.rate as unitrate,bu.unitname as baseunit,'序列号' as seralno,o.onhand,"
        "(o.onhand + d.unitqty) as realqty,d.UnitQty as OldUnitQty from baldetail d left outer join goods g on"
        " d.goodsid=g.goodsid left outer join goodsunit u on d.goodsid=u.goodsid and d.unitid=u.unitid left outer"
        " join goodsunit bu on d.goodsid=bu.goodsid and bu.unittype=0 left outer join (select goodsid,sum(onhand)as"
        " onhand from onhand group by goodsid ) o       on (d.goodsid=o.goodsid) where BalItemID=%s");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY");
    InitBillForm();
}
