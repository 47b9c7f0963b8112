#include "bills/purchase/ValuedRecieveForm.h"

#include "bills/common/BillStatements.h"
#include "goodsbill/BillChecks.h"
#include "platform/DBControls.h"

#include <QAction>

namespace {
const char* const kValuedMasterSQL =
    "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname from valuedrcvd a"
    " left outer join operator b on a.opid=b.opid left outer join shop c on a.shopid = c.shopid where a.billid = %s ";
} // namespace

TValuedRecieveForm::TValuedRecieveForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QString::fromLatin1(kValuedMasterSQL);
    DetailSQL = GoodsDetailSQL(QStringLiteral("valuedrcvddetail"), QStringLiteral("billid"));
    CopyExcludedMasterFields = QStringLiteral(
        "billid,billdate,code,flag,ownerbilltype,ownerbillid,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("billid,itemno,refercount,returnqty");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,UNITPRICE,ReturnQty");
    InitBillForm();
    for (QAction* a : {ASelChance, ASelOrder, ASelValueRecieved, ABatchCodeCopy})
        if (a)
            a->setVisible(true);
}

void TValuedRecieveForm::InitNewMaster()
{
    TGoodsBillForm::InitNewMaster();
    if (TField* type = cdsMaster->FindField(QStringLiteral("billtype")))
        type->SetValue(0);
}

void TValuedRecieveForm::OnMasterFieldChanged(TField* field)
{
    TGoodsBillForm::OnMasterFieldChanged(field);
    if (field && field->FieldName().compare(QLatin1String("billtype"), Qt::CaseInsensitive) == 0)
        RefreshFieldState(QString());
}

void TValuedRecieveForm::RefreshFieldState(const QString& fieldName)
{
    TGoodsBillForm::RefreshFieldState(fieldName);
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    // A valued receipt takes order lines; its write-back takes the valued receipt's lines.
    const bool writeBack = MasterValue(QStringLiteral("billtype")).toInt() == 1;
    const bool editable = !ReadOnly();
    if (ASelOrder)
        ASelOrder->setEnabled(editable && !writeBack);
    if (ASelValueRecieved)
        ASelValueRecieved->setEnabled(editable && writeBack);
    if (ADeleteBill && MasterValue(QStringLiteral("flag")).toInt() == 2)
        ADeleteBill->setEnabled(false);
}

bool TValuedRecieveForm::IsReadOnlyBill()
{
    return TGoodsBillForm::IsReadOnlyBill() || (cdsMaster->Active() && !cdsMaster->IsEmpty() &&
                                                MasterValue(QStringLiteral("ownerbilltype")).toInt() != 0);
}

bool TValuedRecieveForm::ValidateMaster() { return TGoodsBillForm::ValidateMaster() && Rules().ValidateValuedReceipt(); }

bool TValuedRecieveForm::ValidateDetail() { return TGoodsBillForm::ValidateDetail() && Rules().ValidateValuedLines(); }

TValuedRecieveInitForm::TValuedRecieveInitForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QString::fromLatin1(kValuedMasterSQL);
    DetailSQL = GoodsDetailSQL(QStringLiteral("valuedrcvddetail"), QStringLiteral("billid"));
    CopyExcludedMasterFields = QStringLiteral(
        "billid,billdate,code,flag,ownerbilltype,ownerbillid,referbillid,refercount,printed,credid,credcode,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("billid,itemno,refercount,returnqty,ispresent");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,UNITPRICE,ReturnQty");
    InitBillForm();
    if (ABatchCodeCopy)
        ABatchCodeCopy->setVisible(true);
    // Opening entries stand before the account set's start, so before every period: their
    // date is held against the start date instead.
    if (Checks())
        Checks()->CheckPeriod = false;
}

QDate TValuedRecieveInitForm::StartDate() const
{
    return TBillPeriodDates::Read(Document()->Connection(), Document()->Session()).OpeningDate;
}

void TValuedRecieveInitForm::InitNewMaster()
{
    TGoodsBillForm::InitNewMaster();
    if (TField* type = cdsMaster->FindField(QStringLiteral("billtype")))
        type->SetValue(0);
    const QDate start = StartDate();
    if (TField* date = cdsMaster->FindField(QStringLiteral("billdate")); date && start.isValid())
        date->SetValue(QDateTime(start.addDays(-1), QTime(0, 0)));
}

void TValuedRecieveInitForm::OnMasterFieldChanged(TField* field)
{
    TGoodsBillForm::OnMasterFieldChanged(field);
    if (!field || !Lines() || Lines()->Context().WriteDepth != 0)
        return;
    Rules().OpeningBranchFits(field->FieldName());
    if (field->FieldName().compare(QLatin1String("shopid"), Qt::CaseInsensitive) == 0)
        RefreshFieldState(QString());
}

void TValuedRecieveInitForm::RefreshFieldState(const QString& fieldName)
{
    TGoodsBillForm::RefreshFieldState(fieldName);
    if (!Lines() || !cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    if (auto* stores = qobject_cast<TDBLookupCombo*>(FieldEditor(QStringLiteral("storeid"))))
        stores->SetListFilter(Rules().OpeningStoreFilter());
    if (auto* employees = qobject_cast<TDBLookupCombo*>(FieldEditor(QStringLiteral("exemanid"))))
        employees->SetListFilter(Rules().OpeningEmployeeFilter());
}

bool TValuedRecieveInitForm::ValidateMaster()
{
    return TGoodsBillForm::ValidateMaster() && Rules().ValidateValuedOpening(StartDate()) &&
           OpeningPeriodsOpen();
}

bool TValuedRecieveInitForm::OpeningPeriodsOpen()
{
    const TBillPeriodDates periods = TBillPeriodDates::Read(Document()->Connection(), Document()->Session());
    return Rules().OpeningPeriodsOpen(periods, Rules().FirstPeriodClosed(periods.OpeningDate));
}

bool TValuedRecieveInitForm::CanDeleteBill()
{
    return TGoodsBillForm::CanDeleteBill() &&
           OpeningPeriodsOpen();
}

bool TValuedRecieveInitForm::ValidateDetail() { return TGoodsBillForm::ValidateDetail() && Rules().ValidateQuantities(false); }

void TValuedRecieveForm::OpenLookupTables()
{
    AddLookupTables(this, {"Vendor_T", "Store_T", "ValueRecieved_T"});
    TGoodsBillForm::OpenLookupTables();
}

void TValuedRecieveInitForm::OpenLookupTables()
{
    AddLookupTables(this, {"Vendor_T", "Store_T", "Shop_T"});
    TGoodsBillForm::OpenLookupTables();
}
