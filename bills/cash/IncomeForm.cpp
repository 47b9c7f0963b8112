#include "bills/cash/IncomeForm.h"

TIncomeForm::TIncomeForm(QWidget* owner)
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("IncomeForm"));
    setWindowTitle(QStringLiteral("其它收入"));
    FormPrivilegeID = 52;
    ReportType = 19;
    BillType = 18;
    CVFlag = -1;
    DBBillType = 25;
    RelevantCredType = 31;
    MasterTable = QStringLiteral("Income");
    KeyField = QStringLiteral("IncomeID");
    DetailTable = QStringLiteral("IncomeD");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Income_Save");
    DeleteProcName = QStringLiteral("Submit_Income_Del");
    RedProcName = QStringLiteral("Submit_Income_Red");
    MasterAmountFieldName = QStringLiteral("AMOUNT");
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
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("ExpenseForm"));
    setWindowTitle(QStringLiteral("费用开支"));
    FormPrivilegeID = 51;
    ReportType = 18;
    BillType = 17;
    CVFlag = -1;
    DBBillType = 24;
    RelevantCredType = 30;
    MasterTable = QStringLiteral("Expense");
    KeyField = QStringLiteral("ExpenseID");
    DetailTable = QStringLiteral("ExpenseD");
    MasterDetailBill = true;
    SaveProcName = QStringLiteral("Submit_Expense_Save");
    DeleteProcName = QStringLiteral("Submit_Expense_Del");
    RedProcName = QStringLiteral("Submit_Expense_Red");
    MasterAmountFieldName = QStringLiteral("AMOUNT");
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
    : TBillBaseForm(owner)
{
    setObjectName(QStringLiteral("MoveMoneyForm"));
    setWindowTitle(QStringLiteral("银行存取款单"));
    FormPrivilegeID = 53;
    ReportType = 22;
    BillType = 20;
    CVFlag = -1;
    DBBillType = 26;
    RelevantCredType = 32;
    MasterTable = QStringLiteral("MoveMoney");
    KeyField = QStringLiteral("MoveID");
    MasterDetailBill = false;
    SaveProcName = QStringLiteral("Submit_MoveMoney_Save");
    DeleteProcName = QStringLiteral("Submit_MoveMoney_Del");
    RedProcName = QStringLiteral("Submit_MoveMoney_Red");
    // Both branches of a transfer are shown by name.
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname,so.name as outsname,"
        " si.name as insname from MoveMoney a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid left outer join shop so on a.outshopid = so.shopid"
        " left outer join shop si on a.inshopid = si.shopid where a.MoveID = %s");
    CopyExcludedMasterFields = QStringLiteral("moveid,billdate,code,credid,credcode");
    InitBillForm();
}
