#include "bills/purchase/RecieveForm.h"

#include "bills/common/BillStatements.h"

namespace {
// What a line gave away against its list price, shown on vendor-side goods lines.
const char* const kDiscAmt = "(d.unitprice/(d.disc/100.0)-d.unitprice)*d.unitqty as discamt";
} // namespace

TRecieveForm::TRecieveForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.totalamt-a.totalpaid as spamt,b.opname,  dbo.getrefercredidcode(a.credid) as credcode,"
        " c.name as shopname,  case d.clientkind when 2 then (d.balance - d.suramt )      when 1 then"
        " (-(d.balance-d.suramt))       else 0      end as balamt, cast(billdate + termdays as datetime) CTermDays"
        "    from recieved a   left outer join operator b on a.opid=b.opid   left outer join shop c on"
        " a.shopid = c.shopid   left outer join client d on (a.clientid=d.clientid)    where a.recievedid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("rcvddetail"), QStringLiteral("recievedid"), QString::fromLatin1(kDiscAmt),
                               QString(), TGoodsJoin::Inner);
    CopyExcludedMasterFields = QStringLiteral(
        "recievedid,billdate,code,flag,referbillid,refercount,totalpaid,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "recievedid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent,purappamt");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,disc,UNITPRICE,returnqty,purappamt");
    InitBillForm();
}

TCashRecieveForm::TCashRecieveForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from crecieved a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.crecievedid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("crcvddetail"), QStringLiteral("crecievedid"), QString::fromLatin1(kDiscAmt),
                               QString(), TGoodsJoin::Inner);
    CopyExcludedMasterFields = QStringLiteral(
        "crecievedid,billdate,code,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "crecievedid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent,purappamt");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,disc,RETURNQTY,purappamt");
    InitBillForm();
}

TPReturnForm::TPReturnForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from preturn a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.preturnid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("prdetail"), QStringLiteral("preturnid"), QString::fromLatin1(kDiscAmt),
                               QString(), TGoodsJoin::Inner);
    CopyExcludedMasterFields = QStringLiteral(
        "preturnid,billdate,code,totalpaid,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral("preturnid,itemno,refercount,refertype,referbillid,referitemno");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,disc,UNITPRICE");
    InitBillForm();
}
