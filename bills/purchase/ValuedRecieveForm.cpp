#include "bills/purchase/ValuedRecieveForm.h"

#include "bills/common/BillStatements.h"

namespace {
const char* const kValuedMasterSQL =
    "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname from valuedrcvd a"
    " left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.billid = %s ";
} // namespace

TValuedRecieveForm::TValuedRecieveForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QString::fromLatin1(kValuedMasterSQL);
    DetailSQL = GoodsDetailSQL(QStringLiteral("valuedrcvddetail"), QStringLiteral("billid"));
    CopyExcludedMasterFields = QStringLiteral(
        "billid,billdate,code,flag,ownerbilltype,ownerbillid,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("billid,itemno,refercount,returnqty");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,UNITPRICE,ReturnQty");
    InitBillForm();
}

TValuedRecieveInitForm::TValuedRecieveInitForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QString::fromLatin1(kValuedMasterSQL);
    DetailSQL = GoodsDetailSQL(QStringLiteral("valuedrcvddetail"), QStringLiteral("billid"));
    CopyExcludedMasterFields = QStringLiteral(
        "billid,billdate,code,flag,ownerbilltype,ownerbillid,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("billid,itemno,refercount,returnqty,ispresent");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,UNITPRICE,ReturnQty");
    InitBillForm();
}
