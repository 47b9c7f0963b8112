#include "bills/stock/AllotForm.h"

#include "bills/common/BillStatements.h"

TAllotForm::TAllotForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("AllotForm"));
    setWindowTitle(QStringLiteral("调拨单"));
    FormPrivilegeID = 48;
    ReportType = 17;
    BillType = 13;
    CVFlag = 3;
    DBBillType = 13;
    RelevantCredType = 25;
    MasterTable = QStringLiteral("Allot");
    KeyField = QStringLiteral("AllotID");
    DetailTable = QStringLiteral("DAllot");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Allot_Save");
    DeleteProcName = QStringLiteral("Submit_Allot_Del");
    RedProcName = QStringLiteral("Submit_Allot_Red");
    MasterAmountFieldName = QStringLiteral("TotalAmt");
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
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("InOutForm"));
    setWindowTitle(QStringLiteral("库存变动单"));
    FormPrivilegeID = 50;
    ReportType = 15;
    BillType = 15;
    CVFlag = 3;
    DBBillType = 12;
    RelevantCredType = 26;
    MasterTable = QStringLiteral("Inout");
    KeyField = QStringLiteral("INOUTID");
    DetailTable = QStringLiteral("DINOUT");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_InOut_Save");
    DeleteProcName = QStringLiteral("Submit_InOut_Del");
    RedProcName = QStringLiteral("Submit_InOut_Red");
    // Sent with its trailing blank, as this bill has always named it.
    MasterAmountFieldName = QStringLiteral("TotalAmt ");
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
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("DrawItemForm"));
    setWindowTitle(QStringLiteral("领料单"));
    FormPrivilegeID = 43;
    ReportType = 10;
    BillType = 10;
    CVFlag = 3;
    DBBillType = 6;
    RelevantCredType = 18;
    MasterTable = QStringLiteral("DRAWITEM");
    KeyField = QStringLiteral("DRAWITEMID");
    DetailTable = QStringLiteral("drawdetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_DrawItem_Save");
    DeleteProcName = QStringLiteral("Submit_DrawItem_Del");
    RedProcName = QStringLiteral("Submit_DrawItem_Red");
    MasterAmountFieldName = QStringLiteral("TotalAmt");
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
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("BackDrawForm"));
    setWindowTitle(QStringLiteral("退料单"));
    FormPrivilegeID = 44;
    ReportType = 11;
    BillType = 11;
    CVFlag = 3;
    DBBillType = 7;
    RelevantCredType = 19;
    MasterTable = QStringLiteral("BACKDRAW");
    KeyField = QStringLiteral("BACKDRAWID");
    DetailTable = QStringLiteral("Backdetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_BackDraw_Save");
    DeleteProcName = QStringLiteral("Submit_BackDraw_Del");
    RedProcName = QStringLiteral("Submit_BackDraw_Red");
    MasterAmountFieldName = QStringLiteral("TotalAmt");
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
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("InProductForm"));
    setWindowTitle(QStringLiteral("产品进仓单"));
    FormPrivilegeID = 45;
    ReportType = 12;
    BillType = 12;
    CVFlag = 3;
    DBBillType = 8;
    RelevantCredType = 17;
    MasterTable = QStringLiteral("INPRODUCT");
    KeyField = QStringLiteral("INPRODUCTID");
    DetailTable = QStringLiteral("Indetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Inproduct_Save");
    DeleteProcName = QStringLiteral("Submit_Inproduct_Del");
    RedProcName = QStringLiteral("Submit_Inproduct_Red");
    MasterAmountFieldName = QStringLiteral("TotalAmt");
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
