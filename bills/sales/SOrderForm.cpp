#include "bills/sales/SOrderForm.h"

#include "bills/common/BillStatements.h"

TSOrderForm::TSOrderForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from sorder a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.sorderid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("sorderdetail"), QStringLiteral("sorderid"));
    CopyExcludedMasterFields = QStringLiteral("sorderid,billdate,code,refercount,closed,finished,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("sorderid,itemno,refercount,takeqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,disc,UNITPRICE,TAKEQTY");
    InitBillForm();
}

TQuotationForm::TQuotationForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from quotation a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.quotationid = %s ");
    DetailSQL = GoodsDetailSQL(QStringLiteral("quotationdetail"), QStringLiteral("quotationid"));
    CopyExcludedMasterFields = QStringLiteral("quotationid,billdate,code,printed,opid,opname,closed");
    CopyExcludedDetailFields = QStringLiteral("quotationid,itemno");
    RequiredDetailFields = QStringLiteral("goodsid,unitid,begqty,endqty,UNITPRICE,unitbegqty,unitendqty,taxrate,disc");
    InitBillForm();
}
