#include "bills/purchase/PorderForm.h"

#include "bills/common/BillStatements.h"

TPorderForm::TPorderForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("PorderForm"));
    setWindowTitle(QStringLiteral("采购订单"));
    FormPrivilegeID = 38;
    ReportType = 1;
    BillType = 6;
    CVFlag = 2;
    DBBillType = 22;
    RelevantCredType = -999;
    MasterTable = QStringLiteral("Porder");
    KeyField = QStringLiteral("OrderID");
    DetailTable = QStringLiteral("orderdetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_POrder_Save");
    DeleteProcName = QStringLiteral("Submit_POrder_Del");
    RedProcName = QStringLiteral("Submit_POrder_Red");
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
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("PurchaseAppForm"));
    setWindowTitle(QStringLiteral("采购费用单"));
    FormPrivilegeID = 377;
    ReportType = 34;
    BillType = 43;
    CVFlag = 2;
    DBBillType = 35;
    RelevantCredType = 40;
    MasterTable = QStringLiteral("purchaseapp");
    KeyField = QStringLiteral("purchaseappid");
    DetailTable = QStringLiteral("purchaseappdetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_PurchaseApp_Save");
    DeleteProcName = QStringLiteral("Submit_PurchaseApp_Del");
    RedProcName = QStringLiteral("Submit_PurchaseApp_Red");
    MasterAmountFieldName = QStringLiteral("totalamt");
    AmountFieldName = QStringLiteral("goodsamt");
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
