#include "bills/stock/AdjApForm.h"

#include "bills/common/BillStatements.h"

TAdjApForm::TAdjApForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
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
