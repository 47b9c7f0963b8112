#include "bills/stock/AllotForm.h"

#include "bills/common/BillStatements.h"

TAllotForm::TAllotForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    // Both branches of a transfer are shown by name.
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname,so.name as outsname,"
        " si.name as insname from Allot a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid left outer join shop so on a.outshopid = so.shopid"
        " left outer join shop si on a.inshopid = si.shopid where a.AllotID = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("DAllot"), QStringLiteral("AllotID"));
    CopyExcludedMasterFields = QStringLiteral("allotid,billdate,code,printed");
    CopyExcludedDetailFields = QStringLiteral("allotid,itemno,refertype,referitemno");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,aprice,quantity,unitprice,unitqty,amount,sprice");
    InitBillForm();
}

TInOutForm::TInOutForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname,s.isin,CASE s.isin WHEN 'T' THEN '入库类' WHEN 'F' THEN '出库类' END"
        " AS type,s.needback from Inout a left outer join operator b on a.opid=b.opid left outer join shop c on"
        " a.shopid = c.shopid left outer join sat s on a.satid = s.satid where a.inoutid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("DINOUT"), QStringLiteral("INOUTID"));
    CopyExcludedMasterFields = QStringLiteral("inoutid,billdate,code,refercount,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("inoutid,itemno,refercount,backqty");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,aprice,UNITPRICE,backqty");
    InitBillForm();
}

TDrawItemForm::TDrawItemForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from DRAWITEM a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.DRAWITEMID = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("drawdetail"), QStringLiteral("DRAWITEMID"));
    CopyExcludedMasterFields = QStringLiteral("drawitemid,billdate,code,credid,printed,credcode");
    CopyExcludedDetailFields = QStringLiteral("drawitemid,itemno,backqty,refercount");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,backqty");
    InitBillForm();
}

TBackDrawForm::TBackDrawForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from BACKDRAW a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.BACKDRAWID = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("Backdetail"), QStringLiteral("BACKDRAWID"));
    CopyExcludedMasterFields = QStringLiteral("backdrawid,billdate,code,credid,credcode,printed");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY");
    InitBillForm();
}

TInProductForm::TInProductForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "Select i.*,o.opname,c.name as shopname,dbo.getrefercredidcode(i.credid) as credcode from Inproduct i"
        " left outer join  operator o on i.opid=o.opid left outer join shop c on i.shopid = c.shopid where InproductID=%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("Indetail"), QStringLiteral("INPRODUCTID"));
    // "inproduct", not the key's name: the list is the bill's own as it has always been.
    CopyExcludedMasterFields = QStringLiteral("inproduct,billdate,printed,code,credcode");
    CopyExcludedDetailFields = QStringLiteral("inproductid,itemno,batchcode,produceddate,validdate,batchrefid");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,UNITPRICE");
    InitBillForm();
}
