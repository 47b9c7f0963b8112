#include "bills/sales/InvoiceForm.h"

#include "bills/common/BillStatements.h"

TInvoiceForm::TInvoiceForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.totalamt-a.totalrcvd as spamt,b.opname,dbo.getrefercredidcode(a.credid) as credcode,"
        "c.balance,c.credit,c.suramt,case c.clientkind when 1 then (c.balance - c.suramt )                   when 2"
        " then (-(c.balance-c.suramt))                   else 0 end as debtamt,d.name as shopname,"
        " cast(billdate + termdays as datetime) CTermDays  from invoice  a  left outer join operator b on"
        " a.opid=b.opid  left outer join client c on (a.clientid=c.clientid)  left outer join shop d on"
        " a.shopid = d.shopid  where a.invoiceid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("saledetail"), QStringLiteral("invoiceid"));
    CopyExcludedMasterFields = QStringLiteral(
        "invoiceid,billdate,code,flag,referbillid,refercount,totalrcvd,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "invoiceid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent");
    RequiredDetailFields = QStringLiteral("goodsid,aprice,unitqty,disc,UNITPRICE,RETURNQTY");
    InitBillForm();
}

TCashSaleForm::TCashSaleForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from csale a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.csaleid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("csaledetail"), QStringLiteral("csaleid"));
    CopyExcludedMasterFields = QStringLiteral(
        "csaleid,billdate,code,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "csaleid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent");
    RequiredDetailFields = QStringLiteral("goodsid,aprice,UNITQTY,disc,UNITPRICE,RETURNQTY");
    InitBillForm();
}

TSReturnForm::TSReturnForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from sreturn a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.returnid = %s");
    // IsBad drives the write-off of damaged goods; unitaprice is the cost per entered unit.
    DetailSQL = GoodsDetailSQL(QStringLiteral("returndetail"), QStringLiteral("returnid"),
                               QStringLiteral("case when d.badqty <> 0 then 1 else 0 end as isbad, d.aprice*u.rate as unitaprice"));
    CopyExcludedMasterFields = QStringLiteral(
        "returnid,billdate,code,totalrcvd,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral("returnid,itemno,refercount,badqty,isbad");
    RequiredDetailFields = QStringLiteral("goodsid,aprice,unitqty,disc,UNITPRICE");
    InitBillForm();
}
