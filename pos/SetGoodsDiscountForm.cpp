#include "pos/SetGoodsDiscountForm.h"

TSetGoodsDiscountForm::TSetGoodsDiscountForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select g.*, o.opname, e.name as ratifier, c.name as shopname from goodsdiscount g left outer join employ e"
        " on g.ratifierid = e.empid  left outer join operator o on g.opid=o.opid  left outer join shop c on"
        " g.shopid = c.shopid  where  goodsdiscountid = %s ");
    DetailSQL = QStringLiteral(
        "select d.*,g.name as goodsname,g.specs,g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,"
        "g.kind as goodskind, g.goodsuserdef1,g.goodsuserdef2,g.goodsuserdef3,g.goodsuserdef4,g.goodsuserdef5 ,"
        " g.goodsuserdef6,g.goodsuserdef7,g.goodsuserdef8,g.goodsuserdef9,g.goodsuserdef10 ,g.batchctrl,"
        "u.unitname as unit from goodsdiscountdetail d left outer join goods g on d.goodsid=g.goodsid left outer join"
        " goodsunit u on d.unitid=u.unitid where d.goodsdiscountid = %s order by d.itemno");
    InitBillForm();
}
