#include "bills/sales/SOrderForm.h"

#include "bills/common/BillStatements.h"

TSOrderForm::TSOrderForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("SOrderForm"));
    setWindowTitle(QStringLiteral("销售订单"));
    FormPrivilegeID = 33;
    ReportType = 5;
    BillType = 1;
    CVFlag = 1;
    DBBillType = 21;
    RelevantCredType = -999;
    MasterTable = QStringLiteral("sorder");
    KeyField = QStringLiteral("sorderid");
    DetailTable = QStringLiteral("sorderdetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Sorder_Save");
    DeleteProcName = QStringLiteral("Submit_Sorder_Del");
    RedProcName = QStringLiteral("Submit_Sorder_Red");
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from sorder a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.sorderid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("sorderdetail"), QStringLiteral("sorderid"));
    CopyExcludedMasterFields = QStringLiteral("sorderid,billdate,code,refercount,closed,finished,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("sorderid,itemno,refercount,takeqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,disc,UNITPRICE,TAKEQTY");
    InitBillForm();
}

TQuotationForm::TQuotationForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("QuotationForm"));
    setWindowTitle(QStringLiteral("销售报价单"));
    FormPrivilegeID = 376;
    ReportType = 36;
    BillType = 44;
    CVFlag = 1;
    DBBillType = 36;
    RelevantCredType = 41;
    MasterTable = QStringLiteral("quotation");
    KeyField = QStringLiteral("quotationid");
    DetailTable = QStringLiteral("quotationdetail");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Quotation_Save");
    DeleteProcName = QStringLiteral("Submit_Quotation_Del");
    RedProcName = QStringLiteral("Submit_Quotation_Red");
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from quotation a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.quotationid = %s ");
    DetailSQL = GoodsDetailSQL(QStringLiteral("quotationdetail"), QStringLiteral("quotationid"));
    CopyExcludedMasterFields = QStringLiteral("quotationid,billdate,code,printed,opid,opname,closed");
    CopyExcludedDetailFields = QStringLiteral("quotationid,itemno");
    RequiredDetailFields = QStringLiteral("goodsid,unitid,begqty,endqty,UNITPRICE,unitbegqty,unitendqty,taxrate,disc");
    InitBillForm();
}
