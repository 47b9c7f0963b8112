#include "bills/sales/InvoiceForm.h"

#include "bills/common/BillStatements.h"
#include "goodsbill/MasterServices.h"
#include "platform/DataSet.h"

TInvoiceForm::TInvoiceForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.totalamt-a.totalrcvd as spamt,b.opname,dbo.getrefercredidcode(a.credid) as credcode,"
        "c.balance,c.credit,c.suramt,case c.clientkind when 1 then (c.balance - c.suramt )                   when 2"
        " then (-(c.balance-c.suramt))                   else 0 end as debtamt,d.name as shopname,"
        " cast(billdate + termdays as datetime) CTermDays  from invoice  a  left outer join operator b on"
        " a.opid=b.opid  left outer join client c on (a.clientid=c.clientid)  left outer join shop d on"
        " a.shopid = d.shopid  where a.invoiceid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("saledetail"), QStringLiteral("invoiceid"));
    CopyExcludedMasterFields = QStringLiteral(
        "invoiceid,billdate,code,flag,referbillid,refercount,totalrcvd,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "invoiceid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent");
    RequiredDetailFields = QStringLiteral("goodsid,aprice,unitqty,disc,UNITPRICE,RETURNQTY");
    InitBillForm();
    ShowActions({ASelChance, ASelOrder, AChargeProcess, AReturnProcess, ABatchCodeCopy});
    FollowsInvoiceKind = true;
}

TCashSaleForm::TCashSaleForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from csale a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.csaleid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("csaledetail"), QStringLiteral("csaleid"));
    CopyExcludedMasterFields = QStringLiteral(
        "csaleid,billdate,code,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "csaleid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent");
    RequiredDetailFields = QStringLiteral("goodsid,aprice,UNITQTY,disc,UNITPRICE,RETURNQTY");
    InitBillForm();
    ShowActions({ASelChance, ASelOrder, AReturnProcess, ABatchCodeCopy});
    FollowsInvoiceKind = true;
}

TSReturnForm::TSReturnForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from sreturn a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.returnid = %s");
    // IsBad drives the write-off of damaged goods; unitaprice is the cost per entered unit.
    DetailSQL = GoodsDetailSQL(QStringLiteral("returndetail"), QStringLiteral("returnid"),
                               QStringLiteral("case when d.badqty <> 0 then 1 else 0 end as isbad, d.aprice*u.rate as unitaprice"));
    CopyExcludedMasterFields = QStringLiteral(
        "returnid,billdate,code,totalrcvd,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral("returnid,itemno,refercount,badqty,isbad");
    RequiredDetailFields = QStringLiteral("goodsid,aprice,unitqty,disc,UNITPRICE");
    InitBillForm();
    ShowActions({ASelInvoice, ASelCashSale, ASelDeputeSettlement, AChargeProcess, ABatchCodeCopy});
    FollowsInvoiceKind = true;
}

// ---------------------------------------------------------------------- invoice

void TInvoiceForm::MasterAfterOpen(TClientDataSet* ds)
{
    TSalesBillForm::MasterAfterOpen(ds);
    if (TField* f = ds->FindField(QStringLiteral("debtamt")))
        f->DisplayFormat = QStringLiteral("#,##0.00");
}

bool TInvoiceForm::IsColumnReadOnly(const QString& fieldName)
{
    // goods come from the sales orders only
    if (fieldName.compare(QLatin1String("goodsname"), Qt::CaseInsensitive) == 0 &&
        Lines()->Context().Session.OptionValue(QStringLiteral("MUSTREFERSORDER")).trimmed() == QLatin1String("1"))
        return true;
    return TSalesBillForm::IsColumnReadOnly(fieldName);
}

bool TInvoiceForm::ValidateMaster()
{
    TSalesRules& r = Rules();
    // the collection term is told in the invoice's own words before the goods bill's
    if (!r.CheckTermDays(QStringLiteral("收款期限必须大于等于零小于1000！")) || !TSalesBillForm::ValidateMaster())
        return false;
    if (!r.RequireStore() || !r.RequireInvoiceType())
        return false;
    const int client = cdsMaster->FieldByName(QStringLiteral("clientid"))->AsInteger();
    return r.CheckOverdue(Services()->HasOverdueBills(client, MasterKeyValue())) && r.CheckCreditLimit(Services()->SaleControl);
}

bool TInvoiceForm::ValidateSourceLines() { return TSalesBillForm::ValidateSourceLines() && Rules().RefuseDiscountOnly(); }

bool TInvoiceForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove() && Rules().LineRefersSalesOrder(true); });
}

// ---------------------------------------------------------------------- cash sale

bool TCashSaleForm::ValidateMaster()
{
    if (!TSalesBillForm::ValidateMaster())
        return false;
    TSalesRules& r = Rules();
    return r.RequireStore() && r.RequireInvoiceType() && r.RequireBank(r.LinesAmount() != 0, QStringLiteral("请输入收款帐户！"));
}

bool TCashSaleForm::ValidateSourceLines()
{
    return TSalesBillForm::ValidateSourceLines() && Rules().RefuseDiscountOnly() &&
           Rules().RefuseNegativeTotal(QStringLiteral("合计金额不能小于零！"));
}

bool TCashSaleForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove(); });
}

// ---------------------------------------------------------------------- return

namespace {
bool RefundsNow(TClientDataSet* master)
{
    const TField* f = master->Active() ? master->FindField(QStringLiteral("backmoney")) : nullptr;
    return f && f->AsString().trimmed() == QLatin1String("T");
}
} // namespace

void TSReturnForm::InitNewMaster()
{
    TSalesBillForm::InitNewMaster();
    if (TField* f = cdsMaster->FindField(QStringLiteral("backmoney")))
        f->SetValue(QStringLiteral("F"));
}

void TSReturnForm::OnMasterFieldChanged(TField* field)
{
    TSalesBillForm::OnMasterFieldChanged(field);
    if (field && field->FieldName().compare(QLatin1String("backmoney"), Qt::CaseInsensitive) == 0)
        RefreshFieldState(QStringLiteral("backmoney"));
}

void TSReturnForm::RefreshFieldState(const QString& fieldName)
{
    TSalesBillForm::RefreshFieldState(fieldName);
    const bool refund = RefundsNow(cdsMaster);
    for (const char* f : {"paytypeid", "bankid", "checkno"})
        EnableField(QString::fromLatin1(f), refund);
    for (const char* f : {"clientid", "backmoney"})
        EnableField(QString::fromLatin1(f), true);
}

void TSReturnForm::DetailNewRecord(TClientDataSet* ds)
{
    TSalesBillForm::DetailNewRecord(ds);
    for (const char* name : {"aprice", "unitaprice", "isbad", "badqty"})
        if (TField* f = ds->FindField(QString::fromLatin1(name)))
            f->SetValue(0);
}

bool TSReturnForm::ValidateMaster()
{
    if (!TSalesBillForm::ValidateMaster())
        return false;
    TSalesRules& r = Rules();
    if (!r.RequireStore() || !r.RequireInvoiceType())
        return false;
    if (!RefundsNow(cdsMaster))
        return true;
    if (!r.RequireBank(true, QStringLiteral("请输入付款帐户！")))
        return false;
    return r.CheckRefundBalance(Services()->GetBankBalance(cdsMaster->FieldByName(QStringLiteral("bankid"))->AsInteger()));
}

bool TSReturnForm::ValidateSourceLines() { return TSalesBillForm::ValidateSourceLines() && Rules().RefuseDiscountOnly(); }

bool TSReturnForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove() && Rules().AskZeroCost(); });
}

void TSReturnForm::AfterSaveBill()
{
    // the damaged marks live in the window until the saved bill is read back
    GeneratedStocktaking.clear();
    if (Rules().HasDamagedLines())
        GeneratedStocktaking = Rules().WriteOffDamaged(CurrentBillID);
    TSalesBillForm::AfterSaveBill();
}
