#include "bills/purchase/RecieveForm.h"

#include "bills/common/BillStatements.h"
#include "platform/DBControls.h"

#include <QAction>

namespace {
// What a line gave away against its list price, shown on vendor-side goods lines.
const char* const kDiscAmt = "(d.unitprice/(d.disc/100.0)-d.unitprice)*d.unitqty as discamt";

void ShowActions(std::initializer_list<QAction*> actions)
{
    for (QAction* a : actions)
        if (a)
            a->setVisible(true);
}

// The expense apportioned to a receipt line is written by expense bills only.
void ShowApportionedColumn(TGoodsBillForm* f)
{
    f->ItemDBGrid->SetColumnReadOnly(QStringLiteral("purappamt"), true);
    f->ItemDBGrid->SetColumnTotal(QStringLiteral("purappamt"));
}

bool OnlyFromOrders(TGoodsBillForm* f)
{
    return f->Document()->Session().OptionValue(QStringLiteral("MUSTREFERPORDER")).trimmed() == QLatin1String("1");
}
} // namespace

TRecieveForm::TRecieveForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,a.totalamt-a.totalpaid as spamt,b.opname,  dbo.getrefercredidcode(a.credid) as credcode,"
        " c.name as shopname,  case d.clientkind when 2 then (d.balance - d.suramt )      when 1 then"
        " (-(d.balance-d.suramt))       else 0      end as balamt, cast(billdate + termdays as datetime) CTermDays"
        "    from recieved a   left outer join operator b on a.opid=b.opid   left outer join shop c on"
        " a.shopid = c.shopid   left outer join client d on (a.clientid=d.clientid)    where a.recievedid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("rcvddetail"), QStringLiteral("recievedid"), QString::fromLatin1(kDiscAmt),
                               QString(), TGoodsJoin::Inner);
    CopyExcludedMasterFields = QStringLiteral(
        "recievedid,billdate,code,flag,referbillid,refercount,totalpaid,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "recievedid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent,purappamt");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,disc,UNITPRICE,returnqty,purappamt");
    InitBillForm();
    ShowActions({ASelChance, ASelOrder, ASelValueRecieved, APayProcess, AReturnProcess, ABatchCodeCopy});
    if (ABatchCodeCopy)
        ABatchCodeCopy->setEnabled(true);
    ShowApportionedColumn(this);
}

bool TRecieveForm::IsColumnReadOnly(const QString& fieldName)
{
    const QString key = fieldName.toLower();
    if (key == QLatin1String("purappamt"))
        return true;
    // A batch-costed line taken from a valued receipt keeps the valued quantity.
    if (key == FieldNames.UnitQty.toLower() && cdsDetail->Active() && !cdsDetail->IsEmpty()) {
        TField* type = cdsDetail->FindField(QStringLiteral("refertype"));
        TField* batch = cdsDetail->FindField(QStringLiteral("batchctrl"));
        TField* costing = cdsDetail->FindField(QStringLiteral("inf_costingtypeid"));
        if (type && type->AsInteger() == 22 && batch && batch->AsString() == QLatin1String("T") &&
            (!costing || costing->AsInteger() != 2))
            return true;
    }
    if (key == QLatin1String("goodsname") && OnlyFromOrders(this))
        return true;
    return TGoodsBillForm::IsColumnReadOnly(fieldName);
}

void TRecieveForm::MasterAfterOpen(TClientDataSet* ds)
{
    TGoodsBillForm::MasterAfterOpen(ds);
    ShowFieldsAs(ds, {"balamt"}, QStringLiteral("#,##0.00"));
}

void TRecieveForm::DetailAfterOpen(TClientDataSet* ds)
{
    TGoodsBillForm::DetailAfterOpen(ds);
    ShowFieldsAs(ds, {"unitqty", "unitprice"}, QStringLiteral("#0.######"));
}

bool TRecieveForm::ValidateMaster() { return TGoodsBillForm::ValidateMaster() && Rules().ValidateReceipt(); }

bool TRecieveForm::ValidateDetail() { return TGoodsBillForm::ValidateDetail() && Rules().ValidateReceiptLines(); }

TCashRecieveForm::TCashRecieveForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from crecieved a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.crecievedid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("crcvddetail"), QStringLiteral("crecievedid"), QString::fromLatin1(kDiscAmt),
                               QString(), TGoodsJoin::Inner);
    CopyExcludedMasterFields = QStringLiteral(
        "crecievedid,billdate,code,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral(
        "crecievedid,itemno,refercount,returnqty,returnamt,refertype,referbillid,referitemno,ispresent,purappamt");
    RequiredDetailFields = QStringLiteral("goodsid,UNITQTY,disc,RETURNQTY,purappamt");
    InitBillForm();
    ShowActions({ASelChance, ASelOrder, ASelValueRecieved, AReturnProcess, ABatchCodeCopy});
    ShowApportionedColumn(this);
}

bool TCashRecieveForm::IsColumnReadOnly(const QString& fieldName)
{
    return fieldName.compare(QLatin1String("purappamt"), Qt::CaseInsensitive) == 0 || TGoodsBillForm::IsColumnReadOnly(fieldName);
}

void TCashRecieveForm::DetailAfterOpen(TClientDataSet* ds)
{
    TGoodsBillForm::DetailAfterOpen(ds);
    ShowFieldsAs(ds, {"unitqty", "unitprice"}, QStringLiteral("#0.######"));
}

bool TCashRecieveForm::ValidateMaster() { return TGoodsBillForm::ValidateMaster() && Rules().ValidateCashPurchase(); }

bool TCashRecieveForm::ValidateSourceLines()
{
    return TGoodsBillForm::ValidateSourceLines() && Rules().ValidateNotOnlyDiscountGoods();
}

bool TCashRecieveForm::ValidateDetail() { return TGoodsBillForm::ValidateDetail() && Rules().ValidateQuantities(true); }

TPReturnForm::TPReturnForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,dbo.getrefercredidcode(a.credid) as credcode,c.name as shopname"
        " from preturn a left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.preturnid = %s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("prdetail"), QStringLiteral("preturnid"), QString::fromLatin1(kDiscAmt),
                               QString(), TGoodsJoin::Inner);
    CopyExcludedMasterFields = QStringLiteral(
        "preturnid,billdate,code,totalpaid,flag,referbillid,refercount,printed,credid,credcode,opid,opname,checkno,checkamt");
    CopyExcludedDetailFields = QStringLiteral("preturnid,itemno,refercount,refertype,referbillid,referitemno");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,disc,UNITPRICE");
    InitBillForm();
    ShowActions({ASelRecieved, ASelCRecieved, APayProcess, ABatchCodeCopy});
    if (AMakeRedBill)
        AMakeRedBill->setEnabled(false);
}

void TPReturnForm::InitNewMaster()
{
    TGoodsBillForm::InitNewMaster();
    if (TField* back = cdsMaster->FindField(QStringLiteral("BackMoney")))
        back->SetValue(QStringLiteral("F"));
}

void TPReturnForm::OnMasterFieldChanged(TField* field)
{
    TGoodsBillForm::OnMasterFieldChanged(field);
    if (field && field->FieldName().compare(QLatin1String("backmoney"), Qt::CaseInsensitive) == 0)
        RefreshFieldState(QString());
}

void TPReturnForm::OnDetailStateChanged(bool readOnly)
{
    TGoodsBillForm::OnDetailStateChanged(readOnly);
    RefreshFieldState(QString());
}

void TPReturnForm::RefreshFieldState(const QString& fieldName)
{
    TGoodsBillForm::RefreshFieldState(fieldName);
    if (!cdsMaster->Active() || cdsMaster->IsEmpty())
        return;
    const bool editable = !ReadOnly();
    const bool refund = MasterValue(QStringLiteral("backmoney")).toString() == QLatin1String("T");
    HoldEditors(this, {"PAYTYPEID", "BANKID", "CHECKNO"}, QStringLiteral("norefund"), !refund);
    for (const char* f : {"CLIENTID", "BACKMONEY"})
        if (QWidget* w = FieldEditor(QString::fromLatin1(f)))
            w->setEnabled(editable);
    if (AMakeRedBill)
        AMakeRedBill->setEnabled(false);
}

bool TPReturnForm::ValidateMaster() { return TGoodsBillForm::ValidateMaster() && Rules().ValidateReturn(); }

bool TPReturnForm::ValidateSourceLines()
{
    return TGoodsBillForm::ValidateSourceLines() && Rules().ValidateNotOnlyDiscountGoods();
}

bool TPReturnForm::ValidateDetail() { return TGoodsBillForm::ValidateDetail() && Rules().ValidateQuantities(true); }

void TRecieveForm::OpenLookupTables()
{
    AddLookupTables(this, {"Vendor_T", "Store_T", "BillType_T", "qryLinkMan"});
    TGoodsBillForm::OpenLookupTables();
}

void TCashRecieveForm::OpenLookupTables()
{
    AddLookupTables(this, {"Vendor_T", "Store_T", "BillType_T", "Bank_T", "PayType_T", "qryLinkMan"});
    TGoodsBillForm::OpenLookupTables();
}

void TPReturnForm::OpenLookupTables()
{
    AddLookupTables(this, {"Vendor_T", "Store_T", "Bank_T", "PayType_T", "BackMoney_T", "BillType_T", "qryLinkMan"});
    TGoodsBillForm::OpenLookupTables();
}
