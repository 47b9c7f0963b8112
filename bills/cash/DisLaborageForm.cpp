#include "bills/cash/DisLaborageForm.h"

TDisLaborageForm::TDisLaborageForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("DisLaborageForm"));
    setWindowTitle(QStringLiteral("支付工资"));
    FormPrivilegeID = 96;
    ReportType = 6;
    BillType = 21;
    CVFlag = -1;
    DBBillType = 23;
    RelevantCredType = 33;
    MasterTable = QStringLiteral("DisLaborage");
    KeyField = QStringLiteral("ID");
    MasterDetailBill = false;
    SaveProcName = QStringLiteral("Submit_Dislaborage_Save");
    DeleteProcName = QStringLiteral("Submit_Dislaborage_Del");
    RedProcName = QStringLiteral("Submit_Dislaborage_Red");
    MasterSQL = QStringLiteral(
        "select d.*,s.subcode,dbo.getrefercredidcode(d.credid) as credcode,c.name as shopname from dislaborage d"
        " left outer join shop c on d.shopid = c.shopid left outer join subject s on d.subid=s.subid where d.id=%s");
    InitBillForm();
}
