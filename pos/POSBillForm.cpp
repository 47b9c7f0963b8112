#include "pos/POSBillForm.h"

namespace {
// The ten user-defined goods columns as the POS statements list them.
const char* const kGoodsUserDefs =
    " g.goodsuserdef1,g.goodsuserdef2,g.goodsuserdef3,g.goodsuserdef4,g.goodsuserdef5 ,"
    " g.goodsuserdef6,g.goodsuserdef7,g.goodsuserdef8,g.goodsuserdef9,g.goodsuserdef10 ";
} // namespace

TPOSBillForm::TPOSBillForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    // Returns (returntag 2) are shown negated: value * (1.5 - returntag) * 2.
    MasterSQL = QStringLiteral(
        " select p.billid,p.code,p.billtime,p.shopid,p.billdate,p.flag,p.empid,  p.returntag,c.classname,p.closeid,"
        "p.printed,v.code as vipcode,s.name as storename,  op.opname,m.name as machinename,"
        "((1.5-p.returntag)*2*p.amount) as totalamount,  e.name as empcode, sh.name as shopname, p.sflag as sflag,"
        "23 as rptid,1 as templateid,  cast('' as varchar(40)) paytype  from posbilldate p left outer join operator op"
        " on p.opid=op.opid  left outer join machine m on p.machineid=m.machineid  left outer join class c on"
        " c.classid=p.classid  left outer join vip v on v.vipid=p.vipid  left outer join store s on"
        " s.storeid=p.storeid  left outer join employ e on e.empid = p.empid  left outer join shop sh on"
        " p.shopid = sh.shopid  where p.billid=%s ");
    DetailSQL = QStringLiteral(
                    " select d.billid,d.itemno,d.goodsid,d.batchrefid,d.batchcode, d.produceddate, d.validdate,g.code,"
                    "g.name,g.specs,  g.unit as baseunit,g.validdates,g.inf_costingtypeid,g.kind as goodskind,") +
                QString::fromLatin1(kGoodsUserDefs) +
                QStringLiteral(
                    ", g.batchctrl,u.unitid,u.unitname as unit,u.rate as unitrate,u.barcode,"
                    "  ((1.5-p.returntag)*2*d.amount) as quantity,  ((1.5-p.returntag)*2*d.unitqty) as unitqty,"
                    "d.discount,  ((d.unitprice/d.discount)) as unitprice,  ((d.price/d.discount)) as price,"
                    "  dbo.fn_truncatecurrency(d.unitprice*(1.5-p.returntag)*2*d.unitqty) as amount  from posbill p,"
                    "posdetail d,goods g,goodsunit u  where p.billid = d.billid and g.goodsid=d.goodsid and"
                    " u.unitid=d.unitid  and p.returntag>0 and p.billid=%s ");
    InitBillForm();
}

TPOSCloseBillForm::TPOSCloseBillForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select p.*, s.name as storename, c.name as shopname   from posday p left outer join store s on"
        " p.storeid=s.storeid  left outer join shop c on p.shopid = c.shopid  where billid = %s ");
    DetailSQL = QStringLiteral(
                    "select d.* , g.name goodsname, g.specs, g.code goodscode, g.inf_costingtypeid,  g.kind as goodskind,"
                    " g.batchctrl, g.unit,") +
                QString::fromLatin1(kGoodsUserDefs) +
                QStringLiteral(
                    ",       gu.barcode   from posdaydetail d       left outer join goods g on (d.goodsid=g.goodsid)"
                    "    left join goodsunit gu on (g.goodsid=gu.goodsid and gu.unitname=g.unit)   where billid =%s  ");
    InitBillForm();
}

TOperatorTurninForm::TOperatorTurninForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select d.*,o.opname,24 as rptid,dbo.getreferbillcode(100,d.credid) as credcode,c.name as shopname from"
        " inoutcash d left outer join operator o on d.opid=o.opid  left outer join shop c on d.shopid = c.shopid"
        "  where id= %s");
    InitBillForm();
}
