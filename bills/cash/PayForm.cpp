#include "bills/cash/PayForm.h"

TPayForm::TPayForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.factamount+a.discamount-a.amount as advanceamount,dbo.getrefercredidcode(a.credid) as credcode,"
        "b.opname,c.name as shopname ,v.suramt,v.balance from pay a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid left outer join client  v on a.clientid=v.clientid"
        " where a.payid = %s");
    // What this bill settles is added back, so a line shows what was open before it.
    DetailSQL = QStringLiteral(
        "select d.*,v.billcode as code, v.billdate,v.recievedate,v.total,v.totalrcvd - d.amount as totalrcvd,"
        "v.shouldpayamt + d.amount as shouldpayamt,case  when d.amount = 0 then 0  else 1 end as paynow from paydetail d"
        " left outer join v_payselectbill v on d.refertype = v.billtypeid and d.referbillid = v.billid where d.payid= %s");
    InitBillForm();
}

TChargeForm::TChargeForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.factamount+a.discamount-a.amount as advanceamount,dbo.getrefercredidcode(a.credid) as credcode,"
        "b.opname,c.name as shopname ,v.suramt,v.balance from charge a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid left outer join client  v on a.clientid=v.clientid"
        " where a.chargeid = %s");
    DetailSQL = QStringLiteral(
        "select d.*,v.billcode as code, v.billdate,v.recievedate,v.total,v.totalrcvd - d.amount as totalrcvd,"
        "v.shouldpayamt + d.amount as shouldpayamt,case  when d.amount = 0 then 0  else 1 end as paynow from chargedetail d"
        " left outer join v_chargeselectbill v on d.refertype = v.billtypeid and d.referbillid = v.billid where d.chargeid= %s");
    InitBillForm();
}
