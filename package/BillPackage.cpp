#include "package/BillPackage.h"

#include "bills/BillForms.h"
#include "host/Registry.h"
#include "pickers/SelectBillSeams.h"
#include "server/BillProfiles.h"
#include "services/BillDB.h"

#include <QCoreApplication>
#include <QHash>

TBillDB* BillDB = nullptr;
QPointer<TBillBaseForm> BillBaseForm;
QPointer<QWidget> PrintSamEdit;

namespace {
template <class TForm>
QWidget* Create(QWidget* owner)
{
    return new TForm(owner);
}

// Every bill form class; each is registered under the profile of its name ("T" + form name).
template <class... TForms>
QHash<QString, QWidget* (*)(QWidget*)> FormClasses()
{
    return {{QString::fromLatin1(TForms::staticMetaObject.className()), &Create<TForms>}...};
}

const QHash<QString, QWidget* (*)(QWidget*)>& Factories()
{
    static const auto factories =
        FormClasses<TQuotationForm, TSOrderForm, TInvoiceForm, TChargeForm, TCashSaleForm, TSReturnForm, TPorderForm,
                    TRecieveForm, TPayForm, TPReturnForm, TAskDelieverForm, TDeliverForm, TValuedRecieveForm,
                    TValuedRecieveInitForm, TPurchaseAppForm, TCashRecieveForm, TDrawItemForm, TBackDrawForm, TInProductForm,
                    TBalItemForm, TAdjApForm, TAllotForm, TCombinForm, TInOutForm, TExpenseForm, TIncomeForm, TMoveMoneyForm,
                    TPOSBillForm, TDeputeSaleForm, TDeputeSettlementForm, TDeputeSaleInitForm, TSetGoodsDiscountForm,
                    TOperatorTurninForm, TPOSCloseBillForm, TDisLaborageForm>();
    return factories;
}
} // namespace

const QVector<TBillFormEntry>& BillFormEntries()
{
    static const QVector<TBillFormEntry> entries = [] {
        QVector<TBillFormEntry> out;
        for (const TBillProfile& p : BillProfiles())
            out.append({p.FormName, p.PrivilegeId, p.BillType, Factories().value(p.ClassName())});
        return out;
    }();
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
    const TBillProfile* p = BillProfileOfType(billType);
    return p ? QString::fromLatin1(p->FormName) : QString();
}

void BillLoad()
{
    // An exception here leaves the package unregistered and reaches the host.
    BillDB = new TBillDB(QCoreApplication::instance());
    for (const TBillFormEntry& e : BillFormEntries())
        RegisterPrivilegedForm(QString::fromLatin1(e.FormName), e.Create, e.PrivilegeId);
    for (const QString& name : BillFunctionNames())
        RegistFunction(name, &Bill_Call);
    InstallSelectionDialogs();
}

void BillUnload()
{
    UninstallSelectionDialogs();
    if (BillDB) {
        delete BillDB;
        BillDB = nullptr;
    }
}
