#include "bills/sales/DeliverForm.h"

#include "bills/common/BillStatements.h"

TAskDelieverForm::TAskDelieverForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from askdeliver a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.askid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("askdeliverdetail"), QStringLiteral("askid"));
    CopyExcludedMasterFields = QStringLiteral("askid,billdate,code,refercount,closed,finished,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("askid,itemno,refercount,deliqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,deliqty");
    InitBillForm();
}

TDeliverForm::TDeliverForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from deliver a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.deliverid  = %s");
    // Lines show the number of the request they were taken from.
    DetailSQL = QStringLiteral(
        "select d.*,a.code as referbillcode,g.name as goodsname,g.specs,g.code as goodscode,u.unitname as unit,"
        "u.rate as unitrate,bu.unitname as baseunit,u.barcode from deliverdetail d left outer join askdeliver a on"
        " d.referbillid = a.askid left outer join goods g on d.goodsid=g.goodsid left outer join goodsunit u on"
        " d.goodsid=u.goodsid and d.unitid=u.unitid left outer join goodsunit bu on d.goodsid=bu.goodsid and"
        " bu.unittype=0 where d.deliverid = %s order by d.itemno");
    CopyExcludedMasterFields = QStringLiteral("deliverid,billdate,code,refercount,printed,opid,opname,finished,closed,printed");
    CopyExcludedDetailFields = QStringLiteral(
        "deliverid,itemno,refercount,refertype,referbillid,referitemno,referbillcode,allotqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,UNITID,ALLOTQTY");
    InitBillForm();
}
