#include "bills/stock/CombinForm.h"

#include "bills/common/BillStatements.h"

TCombinForm::TCombinForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    // The master's own goods line brings the goods and unit columns a detail line would.
    MasterSQL = QStringLiteral(
        "select c.*,o.opname,dbo.getrefercredidcode(c.credid) as credcode,g.name as goodsname,g.specs,"
        "g.code as goodscode,g.shortname,g.validdates,g.inf_costingtypeid,g.kind as goodskind,g.batchctrl,"
        "bu.unitname as baseunit,u.barcode,u.unitname as unit,u.rate as unitrate,d.name as shopname from combin c"
        " left outer join goodsunit u on c.goodsid=u.goodsid and c.unitid=u.unitid left outer join goodsunit bu on"
        " c.goodsid=bu.goodsid and bu.unittype=0 left outer join goods g on c.goodsid=g.goodsid left outer join"
        " operator o on c.opid=o.opid left outer join shop d on c.shopid=d.shopid where  combinid=%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("combind"), QStringLiteral("combinid"));
    CopyExcludedMasterFields = QStringLiteral("combinid,billdate,code,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("combinid,itemno");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,aprice,price,quantity,unitprice,unitqty,amount");
    InitBillForm();
}
