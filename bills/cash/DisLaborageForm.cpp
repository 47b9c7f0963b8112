#include "bills/cash/DisLaborageForm.h"

TDisLaborageForm::TDisLaborageForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select d.*,s.subcode,dbo.getrefercredidcode(d.credid) as credcode,c.name as shopname from dislaborage d"
        " left outer join shop c on d.shopid = c.shopid left outer join subject s on d.subid=s.subid where d.id=%s");
    InitBillForm();
}
