#include "bills/sales/DeputeSaleForm.h"

#include "bills/common/BillStatements.h"
#include "goodsbill/BillChecks.h"
#include "goodsbill/MasterServices.h"
#include "platform/DataSet.h"

#include <QScopedValueRollback>

TDeputeSaleForm::TDeputeSaleForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    // The consignee's debt as the invoice shows it.
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.balance,c.credit,c.suramt,"
        "case c.clientkind when 1 then (c.balance - c.suramt )  when 2 then (-(c.balance-c.suramt)) else 0 end"
        " as debtamt,d.name as shopname from deputesale a left outer join operator b on a.opid=b.opid"
        " left outer join client c on (a.clientid=c.clientid) left outer join shop d on a.shopid = d.shopid"
        " where a.deputesaleid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("deputesaledetail"), QStringLiteral("deputesaleid"));
    CopyExcludedMasterFields = QStringLiteral("deputesaleid,billdate,code,flag,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("deputesaleid,itemno,refercount,settledqty,returnqty");
    RequiredDetailFields = QStringLiteral(
        "goodsid,aprice,price,quantity,unitqty,disc,UNITPRICE,GOODSAMT,amount,TAXRATE,TAXAMT,UNITAPRICE,SettledQTY,RETURNQTY");
    InitBillForm();
    ShowActions({ASelChance, ASelOrder, ASelDeputeSale, ASelQuotation, ABatchCodeCopy});
    if (AMakeRedBill)
        AMakeRedBill->setEnabled(false);
}

TDeputeSettlementForm::TDeputeSettlementForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.totalamt-a.totalrcvd as spamt,b.opname,dbo.getrefercredidcode(a.credid) as credcode,"
        "c.balance,c.credit,c.suramt,case c.clientkind when 1 then (c.balance - c.suramt )  when 2 then"
        " (-(c.balance-c.suramt)) else 0 end as debtamt,d.name as shopname, cast(billdate + termdays as datetime)"
        " CTermDays from deputesettlement a left outer join operator b on a.opid=b.opid left outer join client c on"
        " (a.clientid=c.clientid) left outer join shop d on a.shopid = d.shopid where a.deputesettlementid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("deputesettlementdetail"), QStringLiteral("deputesettlementid"));
    CopyExcludedMasterFields = QStringLiteral(
        "deputesettlementid,billdate,code,flag,referbillid,refercount,totalrcvd,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral("deputesettlementid,itemno,refercount,returnqty,batchcode,margin");
    RequiredDetailFields = QStringLiteral(
        "goodsid,aprice,price,disc,taxrate,quantity,UNITPRICE,UNITQTY,goodsamt,taxamt,amount,deputesalemoney,refercount,MARGIN,returnqty");
    InitBillForm();
    ShowActions({ASelDeputeSale, AChargeProcess, AReturnProcess});
}

TDeputeSaleInitForm::TDeputeSaleInitForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from deputesaleinit a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.deputesaleinitid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("deputesaleinitdetail"), QStringLiteral("deputesaleinitid"));
    CopyExcludedMasterFields = QStringLiteral("deputesaleinitid,billdate,code,refercount,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("deputesaleinitid,itemno,refercount,settledqty,returnqty,ispresent");
    // The opening entry asks for what a consignment delivery asks for.
    RequiredDetailFields = QStringLiteral(
        "goodsid,aprice,price,quantity,unitqty,disc,UNITPRICE,GOODSAMT,amount,TAXRATE,TAXAMT,UNITAPRICE,SettledQTY,RETURNQTY");
    InitBillForm();
    // an opening entry is dated before the account start, which the period check refuses
    if (Checks())
        Checks()->CheckPeriod = false;
}

namespace {
void ZeroLineFields(TClientDataSet* ds, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (TField* f = ds->FindField(QString::fromLatin1(name)))
            f->SetValue(0);
}
} // namespace

// ---------------------------------------------------------------------- delivery

int TDeputeSaleForm::DeliveryKind() const
{
    const TField* f = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("billtype")) : nullptr;
    return f && f->AsInteger() == 2 ? 2 : 1;
}

void TDeputeSaleForm::InitNewMaster()
{
    TSalesBillForm::InitNewMaster();
    if (TField* f = cdsMaster->FindField(QStringLiteral("billtype")))
        f->SetValue(1);
}

void TDeputeSaleForm::OnMasterFieldChanged(TField* field)
{
    TSalesBillForm::OnMasterFieldChanged(field);
    if (field && field->FieldName().compare(QLatin1String("billtype"), Qt::CaseInsensitive) == 0)
        RefreshFieldState(QStringLiteral("billtype"));
}

void TDeputeSaleForm::DetailNewRecord(TClientDataSet* ds)
{
    TSalesBillForm::DetailNewRecord(ds);
    ZeroLineFields(ds, {"settledqty"});
}

bool TDeputeSaleForm::ValidateMaster() { return TSalesBillForm::ValidateMaster() && Rules().RequireStore(); }

bool TDeputeSaleForm::ValidateDetail()
{
    return ValidateLines([this] {
        TSalesRules& r = Rules();
        const bool quantityRight = DeliveryKind() == 2 ? r.LineQtyBelow(QStringLiteral("货品数量必须小于零！")) && r.RefuseZeroCost() : r.LineQtyAbove();
        return quantityRight && r.LineRefersSalesOrder(false);
    });
}

void TDeputeSaleForm::PickLineBatch()
{
    if (DeliveryKind() == 2)
        Rules().PickConsignmentBatch(Checks()->BatchPicker, false);
    else
        TSalesBillForm::PickLineBatch();
}

// ---------------------------------------------------------------------- settlement

bool TDeputeSettlementForm::OnCredit() const
{
    const TField* f = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("settlementtype")) : nullptr;
    return !f || f->IsNull() || f->AsInteger() == 0;
}

void TDeputeSettlementForm::InitNewMaster()
{
    TSalesBillForm::InitNewMaster();
    if (TField* f = cdsMaster->FindField(QStringLiteral("checkamt")))
        f->SetValue(0);
    // a new settlement is on credit until the clerk says otherwise
    if (TField* f = cdsMaster->FindField(QStringLiteral("settlementtype")))
        f->SetValue(0);
    RelevantCredType = 38;
}

void TDeputeSettlementForm::OnMasterFieldChanged(TField* field)
{
    TSalesBillForm::OnMasterFieldChanged(field);
    if (field && field->FieldName().compare(QLatin1String("settlementtype"), Qt::CaseInsensitive) == 0)
        RefreshFieldState(QStringLiteral("settlementtype"));
}

void TDeputeSettlementForm::RefreshFieldState(const QString& fieldName)
{
    TSalesBillForm::RefreshFieldState(fieldName);
    const bool credit = OnCredit();
    RelevantCredType = credit ? 38 : 39;
    for (const char* f : {"termdays", "ctermdays"})
        EnableField(QString::fromLatin1(f), credit);
    for (const char* f : {"paytypeid", "bankid"})
        EnableField(QString::fromLatin1(f), !credit);
}

void TDeputeSettlementForm::DetailNewRecord(TClientDataSet* ds)
{
    TSalesBillForm::DetailNewRecord(ds);
    ZeroLineFields(ds, {"margin"});
}

void TDeputeSettlementForm::DetailFieldChanged(TField* field)
{
    TSalesBillForm::DetailFieldChanged(field);
    // the fields written here come back through this hook once
    if (FSyncing || !field)
        return;
    const QScopedValueRollback syncing(FSyncing, true);
    Rules().SettlementLineChanged(field->FieldName());
}

bool TDeputeSettlementForm::ValidateMaster()
{
    TSalesRules& r = Rules();
    // the collection term is told in the settlement's own words before the goods bill's
    if (!r.CheckTermDays(QStringLiteral("收款期限必须大于零小于1000！")) || !TSalesBillForm::ValidateMaster())
        return false;
    if (!r.RequireStore() || !r.RequireMaster(QStringLiteral("billtypeid"), QStringLiteral("请输入发票类型！")))
        return false;
    const TField* type = cdsMaster->FindField(QStringLiteral("settlementtype"));
    if (type && type->AsInteger() == 1 && !r.RequireBank(true, QStringLiteral("请输入结算帐户！")))
        return false;
    const int client = cdsMaster->FieldByName(QStringLiteral("clientid"))->AsInteger();
    if (OnCredit() && !r.CheckOverdue(Services()->HasOverdueBills(client, MasterKeyValue())))
        return false;
    return r.CheckCreditLimit(Services()->SaleControl);
}

bool TDeputeSettlementForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove(); });
}

void TDeputeSettlementForm::PickLineBatch() { Rules().PickConsignmentBatch(Checks()->BatchPicker, true); }

// ---------------------------------------------------------------------- opening entry

void TDeputeSaleInitForm::InitNewMaster()
{
    TSalesBillForm::InitNewMaster();
    const QDate start = Checks() ? Checks()->Periods.OpeningDate : QDate();
    TField* date = cdsMaster->FindField(QStringLiteral("billdate"));
    if (date && start.isValid())
        date->SetValue(QDateTime(start.addDays(-1), date->IsNull() ? QTime(8, 0) : date->AsDateTime().time()));
}

void TDeputeSaleInitForm::DetailNewRecord(TClientDataSet* ds)
{
    TSalesBillForm::DetailNewRecord(ds);
    ZeroLineFields(ds, {"settledqty", "returnqty"});
}

bool TDeputeSaleInitForm::ValidateMaster()
{
    return TSalesBillForm::ValidateMaster() && Rules().CheckOpeningMaster(Checks() ? Checks()->Periods.OpeningDate : QDate());
}

bool TDeputeSaleInitForm::ValidateSourceLines() { return TSalesBillForm::ValidateSourceLines() && Rules().RefuseDiscountOnly(); }

bool TDeputeSaleInitForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove() && Rules().CheckOpeningLineCost(); });
}
