#include "bills/purchase/ValuedRecieveForm.h"

#include "bills/common/BillStatements.h"

namespace {
const char* const kValuedMasterSQL =
    "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname from valuedrcvd a"
    " left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.billid = %s ";
} // namespace

TValuedRecieveForm::TValuedRecieveForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("ValuedRecieveForm"));
    setWindowTitle(QStringLiteral("估价入库单"));
    FormPrivilegeID = 42;
    ReportType = 26;
    BillType = 22;
    CVFlag = 2;
    DBBillType = 15;
    RelevantCredType = 35;
    MasterTable = QStringLiteral("valuedrcvd");
    KeyField = QStringLiteral("billid");
    DetailTable = QStringLiteral("valuedrcvddetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Valuedrcvd_Save");
    DeleteProcName = QStringLiteral("Submit_Valuedrcvd_Del");
    RedProcName = QStringLiteral("Submit_Valuedrcvd_Red");
    MasterSQL = QString::fromLatin1(kValuedMasterSQL);
    DetailSQL = GoodsDetailSQL(QStringLiteral("valuedrcvddetail"), QStringLiteral("billid"));
    CopyExcludedMasterFields = QStringLiteral(
        "billid,billdate,code,flag,ownerbilltype,ownerbillid,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("billid,itemno,refercount,returnqty");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,UNITPRICE,ReturnQty");
    InitBillForm();
}

TValuedRecieveInitForm::TValuedRecieveInitForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("ValuedRecieveInitForm"));
    setWindowTitle(QStringLiteral("估价入库初始化"));
    FormPrivilegeID = 42;
    ReportType = 26;
    BillType = 40;
    CVFlag = 2;
    DBBillType = -999;
    MasterTable = QStringLiteral("valuedrcvd");
    KeyField = QStringLiteral("billid");
    DetailTable = QStringLiteral("valuedrcvddetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Valuedrcvdinit_Save");
    DeleteProcName = QStringLiteral("Submit_Valuedrcvdinit_Del");
    RedProcName = QStringLiteral("Submit_Valuedrcvdinit_Red");
    MasterSQL = QString::fromLatin1(kValuedMasterSQL);
    DetailSQL = GoodsDetailSQL(QStringLiteral("valuedrcvddetail"), QStringLiteral("billid"));
    CopyExcludedMasterFields = QStringLiteral(
        "billid,billdate,code,flag,ownerbilltype,ownerbillid,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("billid,itemno,refercount,returnqty,ispresent");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,UNITPRICE,ReturnQty");
    InitBillForm();
}
