#include "bills/stock/AdjApForm.h"

#include "bills/common/BillStatements.h"

TAdjApForm::TAdjApForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("AdjApForm"));
    setWindowTitle(QStringLiteral("存货调价单"));
    FormPrivilegeID = 47;
    ReportType = 13;
    BillType = 19;
    CVFlag = 3;
    DBBillType = 9;
    RelevantCredType = 28;
    MasterTable = QStringLiteral("Adjap");
    KeyField = QStringLiteral("AdjapID");
    DetailTable = QStringLiteral("DAdjap");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_adjap_Save");
    DeleteProcName = QStringLiteral("Submit_adjap_Del");
    RedProcName = QStringLiteral("Submit_adjap_Red");
    MasterAmountFieldName = QStringLiteral("TotalAmt");
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from Adjap a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.AdjapID = %s");
    // Old and new stock value of the line, the difference being its amount.
    DetailSQL = GoodsDetailSQL(QStringLiteral("DAdjap"), QStringLiteral("AdjapID"),
                               QStringLiteral("dbo.fn_truncatecurrency(d.unitqty*d.aoprice) as oamount,"
                                              "dbo.fn_truncatecurrency(d.unitqty *d.anprice) as namount"));
    CopyExcludedMasterFields = QStringLiteral("adjid,billdate,code,REFERCOUNT,PRINTED,credid,credcode");
    RequiredDetailFields = QStringLiteral("ANPRICE,GOODSID");
    InitBillForm();
}
