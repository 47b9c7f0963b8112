#include "package/BillPackage.h"

#include "bills/BillForms.h"
#include "host/Registry.h"
#include "services/BillDB.h"

#include <QCoreApplication>

TBillDB* BillDB = nullptr;
QPointer<TBillBaseForm> BillBaseForm;
QPointer<QWidget> PrintSamEdit;

namespace {
template <class TForm>
QWidget* Create(QWidget* owner)
{
    return new TForm(owner);
}
} // namespace

const QVector<TBillFormEntry>& BillFormEntries()
{
    static const QVector<TBillFormEntry> entries = {
        {"QuotationForm", 376, 44, &Create<TQuotationForm>},
        {"SOrderForm", 33, 1, &Create<TSOrderForm>},
        {"InvoiceForm", 34, 2, &Create<TInvoiceForm>},
        {"ChargeForm", 35, 5, &Create<TChargeForm>},
        {"CashSaleForm", 36, 3, &Create<TCashSaleForm>},
        {"SReturnForm", 37, 4, &Create<TSReturnForm>},
        {"PorderForm", 38, 6, &Create<TPorderForm>},
        {"RecieveForm", 39, 7, &Create<TRecieveForm>},
        {"PayForm", 40, 9, &Create<TPayForm>},
        {"PReturnForm", 41, 8, &Create<TPReturnForm>},
        {"AskDelieverForm", 361, 41, &Create<TAskDelieverForm>},
        {"DeliverForm", 362, 42, &Create<TDeliverForm>},
        {"ValuedRecieveForm", 42, 22, &Create<TValuedRecieveForm>},
        {"ValuedRecieveInitForm", 42, 40, &Create<TValuedRecieveInitForm>},
        {"PurchaseAppForm", 377, 43, &Create<TPurchaseAppForm>},
        {"CashRecieveForm", 208, 26, &Create<TCashRecieveForm>},
        {"DrawItemForm", 43, 10, &Create<TDrawItemForm>},
        {"BackDrawForm", 44, 11, &Create<TBackDrawForm>},
        {"InProductForm", 45, 12, &Create<TInProductForm>},
        {"BalItemForm", 46, 14, &Create<TBalItemForm>},
        {"AdjApForm", 47, 19, &Create<TAdjApForm>},
        {"AllotForm", 48, 13, &Create<TAllotForm>},
        {"CombinForm", 49, 16, &Create<TCombinForm>},
        {"InOutForm", 50, 15, &Create<TInOutForm>},
        {"ExpenseForm", 51, 17, &Create<TExpenseForm>},
        {"IncomeForm", 52, 18, &Create<TIncomeForm>},
        {"MoveMoneyForm", 53, 20, &Create<TMoveMoneyForm>},
        {"POSBillForm", 175, 23, &Create<TPOSBillForm>},
        {"DeputeSaleForm", 1751, 27, &Create<TDeputeSaleForm>},
        {"DeputeSettlementForm", 1752, 28, &Create<TDeputeSettlementForm>},
        {"DeputeSaleInitForm", 1753, 29, &Create<TDeputeSaleInitForm>},
        {"SetGoodsDiscountForm", 1760, 30, &Create<TSetGoodsDiscountForm>},
        {"OperatorTurninForm", 176, 25, &Create<TOperatorTurninForm>},
        {"POSCloseBillForm", 178, 24, &Create<TPOSCloseBillForm>},
        {"DisLaborageForm", 96, 21, &Create<TDisLaborageForm>},
    };
    return entries;
}

QStringList BillFunctionNames()
{
    return {QStringLiteral("SHOWBILLFORM"),   QStringLiteral("SHOWBILLFORMFROMCRED"), QStringLiteral("GetPCForm"),
            QStringLiteral("GOTOONEBILLBYTYPE"), QStringLiteral("Pick"),            QStringLiteral("PrintSamEdit"),
            QStringLiteral("GetGoodsSubID"),  QStringLiteral("FindBillForm"),         QStringLiteral("EditMenuClickInBill"),
            QStringLiteral("EnterBillBase"),  QStringLiteral("SELECTGOODSUNIT"),      QStringLiteral("SetPosBatch"),
            QStringLiteral("BillManageForm"), QStringLiteral("DRPForm")};
}

QString FormNameOfBillType(int billType)
{
    for (const TBillFormEntry& e : BillFormEntries())
        if (e.BillType == billType)
            return QString::fromLatin1(e.FormName);
    return QString();
}

void BillLoad()
{
    // An exception here leaves the package unregistered and reaches the host.
    BillDB = new TBillDB(QCoreApplication::instance());
    for (const TBillFormEntry& e : BillFormEntries())
        RegisterPrivilegedForm(QString::fromLatin1(e.FormName), e.Create, e.PrivilegeId);
    for (const QString& name : BillFunctionNames())
        RegistFunction(name, &Bill_Call);
}

void BillUnload()
{
    if (BillDB) {
        delete BillDB;
        BillDB = nullptr;
    }
}
