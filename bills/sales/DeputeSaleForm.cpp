#include "bills/sales/DeputeSaleForm.h"

#include "bills/common/BillStatements.h"

TDeputeSaleForm::TDeputeSaleForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    // The consignee's debt as the invoice shows it.
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.balance,c.credit,c.suramt,"
        "case c.clientkind when 1 then (c.balance - c.suramt )  when 2 then (-(c.balance-c.suramt)) else 0 end"
        " as debtamt,d.name as shopname from deputesale a left outer join operator b on a.opid=b.opid"
        " left outer join client c on (a.clientid=c.clientid) left outer join shop d on a.shopid = d.shopid"
        " where a.deputesaleid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("deputesaledetail"), QStringLiteral("deputesaleid"));
    CopyExcludedMasterFields = QStringLiteral("deputesaleid,billdate,code,flag,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("deputesaleid,itemno,refercount,settledqty,returnqty");
    RequiredDetailFields = QStringLiteral(
        "goodsid,aprice,price,quantity,unitqty,disc,UNITPRICE,GOODSAMT,amount,TAXRATE,TAXAMT,UNITAPRICE,SettledQTY,RETURNQTY");
    InitBillForm();
}

TDeputeSettlementForm::TDeputeSettlementForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.totalamt-a.totalrcvd as spamt,b.opname,dbo.getrefercredidcode(a.credid) as credcode,"
        "c.balance,c.credit,c.suramt,case c.clientkind when 1 then (c.balance - c.suramt )  when 2 then"
        " (-(c.balance-c.suramt)) else 0 end as debtamt,d.name as shopname, cast(billdate + termdays as datetime)"
        " CTermDays from deputesettlement a left outer join operator b on a.opid=b.opid left outer join client c on"
        " (a.clientid=c.clientid) left outer join shop d on a.shopid = d.shopid where a.deputesettlementid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("deputesettlementdetail"), QStringLiteral("deputesettlementid"));
    CopyExcludedMasterFields = QStringLiteral(
        "deputesettlementid,billdate,code,flag,referbillid,refercount,totalrcvd,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral("deputesettlementid,itemno,refercount,returnqty,batchcode,margin");
    RequiredDetailFields = QStringLiteral(
        "goodsid,aprice,price,disc,taxrate,quantity,UNITPRICE,UNITQTY,goodsamt,taxamt,amount,deputesalemoney,refercount,MARGIN,returnqty");
    InitBillForm();
}

TDeputeSaleInitForm::TDeputeSaleInitForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from deputesaleinit a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.deputesaleinitid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("deputesaleinitdetail"), QStringLiteral("deputesaleinitid"));
    CopyExcludedMasterFields = QStringLiteral("deputesaleinitid,billdate,code,refercount,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("deputesaleinitid,itemno,refercount,settledqty,returnqty,ispresent");
    // The opening entry asks for what a consignment delivery asks for.
    RequiredDetailFields = QStringLiteral(
        "goodsid,aprice,price,quantity,unitqty,disc,UNITPRICE,GOODSAMT,amount,TAXRATE,TAXAMT,UNITAPRICE,SettledQTY,RETURNQTY");
    InitBillForm();
}
