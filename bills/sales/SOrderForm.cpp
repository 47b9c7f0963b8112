#include "bills/sales/SOrderForm.h"

#include "bills/common/BillStatements.h"
#include "host/Registry.h"
#include "host/Rounding.h"
#include "platform/DataSet.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMetaObject>

TSOrderForm::TSOrderForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from sorder a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.sorderid =%s");
    DetailSQL = GoodsDetailSQL(QStringLiteral("sorderdetail"), QStringLiteral("sorderid"));
    CopyExcludedMasterFields = QStringLiteral("sorderid,billdate,code,refercount,closed,finished,printed,opid,opname");
    CopyExcludedDetailFields = QStringLiteral("sorderid,itemno,refercount,takeqty,closed");
    RequiredDetailFields = QStringLiteral("goodsid,unitqty,disc,UNITPRICE,TAKEQTY");
    InitBillForm();
    ShowActions({ASelChance, ASorderToPorder});
    if (ALoadCred)
        ALoadCred->setEnabled(false);
    if (AMakeRedBill) {
        AMakeRedBill->setVisible(false);
        AMakeRedBill->setEnabled(false);
    }
    FReadOnlyWhenFinished = Lines()->Context().Session.OptionValue(QStringLiteral("ORDEREXECFINISHED")).trimmed() == QLatin1String("1");
    Shape = new QFrame(MasterPanel);
    Shape->setObjectName(QStringLiteral("Shape"));
    Shape->setFrameShape(QFrame::Box);
    Shape->setStyleSheet(QStringLiteral("QFrame#Shape { border: 2px solid red; border-radius: 18px; }"));
    Shape->setGeometry(8, 4, 120, 36);
    FinishedLabel = new QLabel(QStringLiteral("执行完毕"), Shape);
    FinishedLabel->setObjectName(QStringLiteral("FinishedLabel"));
    FinishedLabel->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    FinishedLabel->setAlignment(Qt::AlignCenter);
    FinishedLabel->setGeometry(0, 0, 120, 36);
    Shape->hide();
    ReadOnlyExempt << Shape << FinishedLabel;
}

TQuotationForm::TQuotationForm(QWidget* owner)
    : TSalesBillForm(owner)
{
    UseProfile();
    MasterSQL = QStringLiteral(
        "select a.*,b.opname,c.name as shopname from quotation a  left outer join operator b on a.opid=b.opid"
        " left outer join shop c on a.shopid = c.shopid where a.quotationid = %s ");
    DetailSQL = GoodsDetailSQL(QStringLiteral("quotationdetail"), QStringLiteral("quotationid"));
    CopyExcludedMasterFields = QStringLiteral("quotationid,billdate,code,printed,opid,opname,closed");
    CopyExcludedDetailFields = QStringLiteral("quotationid,itemno");
    RequiredDetailFields = QStringLiteral("goodsid,unitid,begqty,endqty,UNITPRICE,unitbegqty,unitendqty,taxrate,disc");
    InitBillForm();
}

// ---------------------------------------------------------------------- sales order

namespace {
bool Flag(TClientDataSet* ds, const char* name)
{
    const TField* f = ds->Active() && !ds->IsEmpty() ? ds->FindField(QString::fromLatin1(name)) : nullptr;
    return f && f->AsString().trimmed() == QLatin1String("T");
}
} // namespace

bool TSOrderForm::IsReadOnlyBill()
{
    if (Flag(cdsMaster, "closed") || (FReadOnlyWhenFinished && Flag(cdsMaster, "finished")))
        return true;
    return TSalesBillForm::IsReadOnlyBill();
}

void TSOrderForm::RefreshFieldState(const QString& fieldName)
{
    TSalesBillForm::RefreshFieldState(fieldName);
    const bool finished = Flag(cdsMaster, "finished");
    if (Shape)
        Shape->setVisible(finished);
    if (QWidget* closing = FieldEditor(QStringLiteral("closed"))) {
        closing->setEnabled(!finished && !IsNewBill);
        if (!ReadOnlyExempt.contains(closing))
            ReadOnlyExempt << closing;
    }
    const bool mustRefer = Lines()->Context().Session.OptionValue(QStringLiteral("MUSTREFERSORDER")).trimmed() == QLatin1String("1");
    if (ACopyBill)
        ACopyBill->setEnabled(!mustRefer && ACopyBill->isEnabled());
    if (ACopyLine)
        ACopyLine->setEnabled(!mustRefer && ACopyLine->isEnabled());
}

void TSOrderForm::OnMasterFieldChanged(TField* field)
{
    TSalesBillForm::OnMasterFieldChanged(field);
    // closing the order makes it read-only at once
    if (field && field->FieldName().compare(QLatin1String("closed"), Qt::CaseInsensitive) == 0 && Flag(cdsMaster, "closed"))
        SetReadOnly(true);
}

bool TSOrderForm::ValidateMaster()
{
    if (!TSalesBillForm::ValidateMaster())
        return false;
    return Rules().RefuseNegativeTotal(QStringLiteral("本次订单金额不能小于零！")) &&
           Rules().CheckDateOrder(QStringLiteral("billdate"), QStringLiteral("takedate"), QStringLiteral("交货日期不能小于开单日期！"));
}

bool TSOrderForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQtyAbove(); });
}

void TSOrderForm::MakePOrderFromSOrder()
{
    if (IsNewBill || CurrentBillID <= 0)
        return;
    GlobalCall(QStringLiteral("SHOWBILLFORM"), QStringLiteral("PorderForm"));
    // the purchase order window the call opened (or brought forward)
    TBillBaseForm* order = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (TBillBaseForm* f = AsBillForm(w); f && f == w && f->objectName() == QLatin1String("PorderForm"))
            order = f;
    if (!order)
        return;
    order->SourceOrderID = CurrentBillID;
    order->FromSourceOrder = true;
    // the purchase order takes the lines once its window has settled
    QMetaObject::invokeMethod(order, "TakeSourceOrderLines", Qt::QueuedConnection);
}

// ---------------------------------------------------------------------- quotation

void TQuotationForm::DetailNewRecord(TClientDataSet* ds)
{
    TSalesBillForm::DetailNewRecord(ds);
    if (TField* f = ds->FindField(QStringLiteral("closed")))
        f->SetValue(QStringLiteral("F"));
}

void TQuotationForm::DetailFieldChanged(TField* field)
{
    TSalesBillForm::DetailFieldChanged(field);
    const QString name = field->FieldName().toLower();
    if (name != QLatin1String("unitbegqty") && name != QLatin1String("unitendqty") && name != QLatin1String("unitid"))
        return;
    // the range is entered in the line's unit and kept in the base unit as well
    TField* rateField = cdsDetail->FindField(QStringLiteral("unitrate"));
    const double rate = rateField && rateField->AsFloat() != 0 ? rateField->AsFloat() : 1.0;
    for (const auto& [entered, base] : {std::pair{"unitbegqty", "begqty"}, std::pair{"unitendqty", "endqty"}}) {
        TField* from = cdsDetail->FindField(QString::fromLatin1(entered));
        TField* to = cdsDetail->FindField(QString::fromLatin1(base));
        if (from && to && !from->IsNull())
            to->SetValue(Round(from->AsFloat() * rate, 6));
    }
}

bool TQuotationForm::ValidateMaster()
{
    return TSalesBillForm::ValidateMaster() &&
           Rules().CheckDateOrder(QStringLiteral("begdate"), QStringLiteral("enddate"), QStringLiteral("结束日期不能小于开始日期！"));
}

bool TQuotationForm::ValidateDetail()
{
    return ValidateLines([this] { return Rules().LineQuantityBand(); });
}
