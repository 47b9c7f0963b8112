#include "bills/cash/IncomeForm.h"

TIncomeForm::TIncomeForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from Income a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.IncomeID = %s");
    DetailSQL = QStringLiteral(
        "select d.*,i.name as ietypename,           i.name as name               from incomed d left outer join"
        " ietype i               on d.ietypeid=i.ietypeid               where d.incomeid = %s");
    CopyExcludedMasterFields = QStringLiteral("incomeid,billdate,code,credid,credcode");
    RequiredDetailFields = QStringLiteral("ietypeid,amount");
    InitBillForm();
}

TExpenseForm::TExpenseForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from Expense a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.ExpenseID = %s");
    DetailSQL = QStringLiteral(
        "select d.*,i.name as ietypename           from expensed d left outer join ietype i               on"
        " d.ietypeid=i.ietypeid               where d.expenseid = %s");
    CopyExcludedMasterFields = QStringLiteral("expenseid,billdate,code,credid,credcode");
    RequiredDetailFields = QStringLiteral("ietypeid,amount");
    InitBillForm();
}

TMoveMoneyForm::TMoveMoneyForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    // Both branches of a transfer are shown by name.
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname,so.name as outsname,"
        " si.name as insname from MoveMoney a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid left outer join shop so on a.outshopid = so.shopid"
        " left outer join shop si on a.inshopid = si.shopid where a.MoveID = %s");
    CopyExcludedMasterFields = QStringLiteral("moveid,billdate,code,credid,credcode");
    InitBillForm();
}
