#include "bills/purchase/PorderForm.h"

#include "bills/common/BillStatements.h"

TPorderForm::TPorderForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "Select a.*,b.opname,c.name as shopname from Porder a left outer join OPERATOR b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where orderid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("orderdetail"), QStringLiteral("orderid"));
    CopyExcludedMasterFields = QStringLiteral("orderid,billdate,code,refercount,closed,finished,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("orderid,itemno,refercount,rcvdqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,disc,UNITPRICE,TAXRATE,taxamt,rcvdqty");
    InitBillForm();
}

TPurchaseAppForm::TPurchaseAppForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "Select a.*,b.opname,c.name as shopname,cast(billdate + termdays as datetime) CTermDays,"
        "dbo.getrefercredidcode(a.credid) as credcode from purchaseapp a left outer join OPERATOR b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where purchaseappid = %s");
    // The expense already apportioned to the same receipt line by other expense bills.
    DetailSQL = GoodsDetailSQL(QStringLiteral("purchaseappdetail"), QStringLiteral("purchaseappid"),
                               QStringLiteral("s.purappamt - d.appamt as purappamt"),
                               QStringLiteral("left outer join v_selpurappdetailbill s on d.refertype = s.billtype"
                                              " and d.referbillid = s.billid and d.referitemno = s.itemno"));
    CopyExcludedMasterFields = QStringLiteral(
        "purchaseappid,billdate,code,flag,printed,credid,opid,opname,checkno,checkamt,credcode");
    CopyExcludedDetailFields = QStringLiteral("purchaseappid,itemno,refercount");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,UNITPRICE,appamt,paidamt");
    InitBillForm();
}
