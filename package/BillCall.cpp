// The command dispatcher: every global function name the package registers arrives here.
#include "billcore/BillBaseForm.h"
#include "host/Host.h"
#include "package/BillPackage.h"
#include "package/ModalForm.h"
#include "package/PackageSeams.h"
#include "platform/DBControls.h"

#include <QApplication>
#include <QComboBox>
#include <QMdiSubWindow>
#include <QToolButton>

namespace {

TBillBaseForm* GetBillForm(const QString& formName)
{
    QWidget* w = GetPrivilegedForm(formName);
    if (!w)
        return nullptr;
    TBillBaseForm* form = TBillBaseForm::AsBillForm(w);
    if (!form) // registered under a bill's name but not a bill form: nothing to drive
        delete w;
    return form;
}

// MDI child, normal window state, at its designed place.
void ShowNonModal(TBillBaseForm* form)
{
    form->setWindowState(Qt::WindowNoState);
    ShowMdiChild(form);
}

// A new bill when the user may add bills, else the first bill.
void StartEntry(TBillBaseForm* form)
{
    if (form->Privilege() && form->Privilege()->New)
        form->SaveAndNewBill();
    else
        form->GotoFirstBill();
}

void ShowBillForm(const QString& formName)
{
    if (TBillBaseForm* form = GetBillForm(formName)) {
        StartEntry(form);
        ShowNonModal(form);
    }
}

void EnterBillBase(const QString& formName)
{
    if (TBillBaseForm* form = GetBillForm(formName)) {
        form->hide();
        StartEntry(form);
        // The form closes itself; it is left alive for its owner.
        ShowFormModal(form, false);
    }
}

void ShowBillFormFromCred(const QString& formName, KQParams* params)
{
    TBillBaseForm* form = GetBillForm(formName);
    if (!form)
        return;
    if (params)
        form->LoadBillByID(params->GetInt(QStringLiteral("BILLID")));
    form->hide();
    // Opened from a voucher: the voucher cannot be opened again from inside.
    form->ALoadCred->setEnabled(false);
    ShowFormModal(form, true);
}

void GotoOneBillByType(KQParams* params)
{
    const int billType = params ? params->GetInt(QStringLiteral("BillType")) : 0;
    const int billId = params ? params->GetInt(QStringLiteral("BillID")) : 0;
    // Presence is asked under one spelling and the value read under the other.
    const bool modal = params && params->FindValue(QStringLiteral("MODAL")) && params->GetBool(QStringLiteral("Modal"));
    const QString formName = FormNameOfBillType(billType);
    if (formName.isEmpty())
        return;
    TBillBaseForm* form = GetBillForm(formName);
    if (!form)
        return;
    form->LoadBillByID(billId);
    if (modal) {
        form->hide();
        if (form->btnArch)
            form->btnArch->setEnabled(false);
        ShowFormModal(form, false);
    } else {
        ShowNonModal(form);
    }
}

void GotoPorderForm(const QString& subject, KQParams* params)
{
    if (subject != QLatin1String("PORDERFORM"))
        return;
    TBillBaseForm* form = GetBillForm(QStringLiteral("PORDERFORM"));
    if (!form)
        return;
    if (params) {
        form->SourceOrderID = params->GetInt(QStringLiteral("BILLID"));
        form->FromSourceOrder = true;
    }
    form->hide();
    form->ALoadCred->setEnabled(false);
    ShowFormModal(form, true);
}

// ---- pickers

// The filter of the goods picker for a goods bill of this type.
QString GoodsFilterOfBillType(int billType)
{
    switch (billType) {
    case 10: case 11: case 12: case 13: case 14: case 16: case 22: case 30: case 40: case 41: case 42:
        return QStringLiteral(" g.closed='F' and g.kind<4 ");
    case 43:
        return QStringLiteral(" g.closed='F' and (g.inf_costingtypeid=1 or g.inf_costingtypeid=3)");
    case 15:
        return QStringLiteral(" g.closed='F' and g.inf_costingtypeid<>2");
    case 19:
        return QStringLiteral(" g.closed='F' and g.inf_costingtypeid<>2 and g.inf_costingtypeid<>4");
    case 27: case 29:
        return QStringLiteral(" g.closed='F' and g.kind<=4");
    default:
        return QStringLiteral(" g.closed='F' ");
    }
}

int MasterInt(TBillBaseForm* form, const char* field)
{
    TClientDataSet* m = form->cdsMaster;
    if (!m || !m->Active())
        return 0;
    TField* f = m->FindField(QString::fromLatin1(field));
    return f && !f->IsNull() ? f->AsInteger() : 0;
}

bool GoodsBillIds(TBillBaseForm* form, int& storeId, int& clientId)
{
    storeId = clientId = 0;
    if (TPackageSeams::GoodsBillIds)
        return TPackageSeams::GoodsBillIds(form, storeId, clientId);
    storeId = MasterInt(form, "storeid");
    clientId = MasterInt(form, "clientid");
    return true;
}

// The form a combo sits on: the nearest bill form up the parent chain, else the window.
QWidget* ComboOwner(QObject* combo)
{
    for (QObject* o = combo; o; o = o->parent())
        if (TBillBaseForm::AsBillForm(o))
            return static_cast<QWidget*>(o);
    for (QObject* o = combo; o; o = o->parent())
        if (o->objectName().compare(QLatin1String("CRMChanceEditForm"), Qt::CaseInsensitive) == 0)
            return static_cast<QWidget*>(o);
    return nullptr;
}

QString ComboText(QObject* combo)
{
    if (auto* c = qobject_cast<QComboBox*>(combo))
        return c->currentText();
    return combo->property("text").toString();
}

TClientDataSet* ComboDataSet(QObject* combo, TBillBaseForm* bill)
{
    if (auto* c = qobject_cast<TDBLookupCombo*>(combo))
        if (c->Field())
            return c->Field()->DataSet();
    // The goods combo of a bill edits its detail lines.
    return bill ? bill->cdsDetail : nullptr;
}

void PickGoods(KQParams* params)
{
    QObject* combo = params ? params->GetObject(QStringLiteral("AProDBLookupGridCombo")) : nullptr;
    if (!combo)
        return;
    // A lookup combo keeps its own list condition in the "Filter" property.
    QString filter = combo->property("Filter").toString();
    QWidget* owner = ComboOwner(combo);
    if (!owner)
        return;
    TBillBaseForm* bill = TBillBaseForm::AsBillForm(owner);
    int storeId = 0, clientId = 0;
    if (bill && GoodsBillIds(bill, storeId, clientId)) {
        filter = GoodsFilterOfBillType(bill->BillType);
        if (!TPackageSeams::PickGoods)
            return ShowNotInstalled(QStringLiteral("选择货品"));
        TPackageSeams::PickGoods(ComboText(combo), ComboDataSet(combo, bill), true, storeId, clientId, filter, true);
    } else if (owner->objectName().compare(QLatin1String("CRMChanceEditForm"), Qt::CaseInsensitive) == 0) {
        if (!TPackageSeams::PickGoods)
            return ShowNotInstalled(QStringLiteral("选择货品"));
        TPackageSeams::PickGoods(QStringLiteral("请选择货品"), ComboDataSet(combo, nullptr), true, -1, -1, filter, true);
    }
}

void PickClient(int kind, KQParams* params)
{
    if (!params)
        return;
    // A dataset field is not an object of the meta-object system: it travels as its address.
    auto* field = reinterpret_cast<TField*>(static_cast<quintptr>(params->GetValue(QStringLiteral("Field")).toLongLong()));
    const QString filter = params->GetString(QStringLiteral("DropDownFilter"));
    if (!TPackageSeams::PickClient)
        return ShowNotInstalled(kind == 1 ? QStringLiteral("选择客户") : QStringLiteral("选择供应商"));
    int id = 0;
    if (!TPackageSeams::PickClient(kind, id, filter) || !field || !field->DataSet())
        return;
    field->DataSet()->Edit();
    if (id != 0)
        field->SetAsInteger(id);
}

void Pick(const QString& subject, KQParams* params)
{
    if (subject == QLatin1String("GOODS"))
        PickGoods(params);
    else if (subject == QLatin1String("CLIENT"))
        PickClient(1, params);
    else if (subject == QLatin1String("VENDOR"))
        PickClient(2, params);
    // "GSPGOODS" and "BASESAM" read their combo (and id) and do nothing more.
}

// ---- forms of other modules

void RunModal(const TPackageSeams::TFormFactory& factory, const QString& what)
{
    if (!factory)
        return ShowNotInstalled(what);
    if (QWidget* form = factory())
        ShowFormModal(form, true);
}

void ShowPrintSamEdit()
{
    if (!TPackageSeams::CreatePrintSamEdit)
        return ShowNotInstalled(QStringLiteral("打印样式设计"));
    PrintSamEdit = TPackageSeams::CreatePrintSamEdit();
    if (PrintSamEdit)
        ShowFormModal(PrintSamEdit, true);
    PrintSamEdit = nullptr;
}

void FindBillForm()
{
    if (!HasNewPrivilege2(21, 1, true))
        return;
    const QVariant active = GlobalCallEx(QStringLiteral("GETPROPERTYVALUE"), QStringLiteral("ACTIVEMDICHILD"), nullptr);
    BillBaseForm = TBillBaseForm::AsBillForm(VariantToObject(active));
    if (BillBaseForm)
        BillBaseForm->FindBill();
    else if (TBillBaseForm::ShowBillSearch)
        TBillBaseForm::ShowBillSearch(nullptr, 0, -1);
    else
        ShowNotInstalled(QStringLiteral("业务查找"));
}

void EditMenuClick(const QString& word, KQParams* params)
{
    TBillBaseForm* form = params ? TBillBaseForm::AsBillForm(params->GetObject(QStringLiteral("Sender"))) : nullptr;
    if (form) {
        if (word == QLatin1String("INSERTLINE"))
            form->InsertDetailLine();
        else if (word == QLatin1String("DELETELINE"))
            form->DeleteDetailLine();
        else if (word == QLatin1String("EDIT")) {
            if (form->cdsMaster && form->cdsMaster->Active())
                form->cdsMaster->Edit();
        } else if (word == QLatin1String("NEW"))
            form->SaveAndNewBill();
        else if (word == QLatin1String("DELETE"))
            form->DeleteBill();
        else if (word == QLatin1String("FIRST"))
            form->GotoFirstBill();
        else if (word == QLatin1String("PRIOR"))
            form->GotoPriorBill();
        else if (word == QLatin1String("NEXT"))
            form->GotoNextBill();
        else if (word == QLatin1String("LAST"))
            form->GotoLastBill();
        else if (word == QLatin1String("REFRESH"))
            form->RefreshBill();
    }
    if (params)
        params->AddValue(QStringLiteral("Result"), true);
}

void ShowBillManage()
{
    for (QWidget* w : QApplication::allWidgets())
        if (w->objectName().toUpper() == QLatin1String("BILLMANAGEFORM")) {
            QWidget* frame = qobject_cast<QMdiSubWindow*>(w->parentWidget()) ? w->parentWidget() : w;
            frame->show();
            w->show();
            frame->raise();
            frame->activateWindow();
            return;
        }
    if (!TPackageSeams::CreateBillManage)
        return ShowNotInstalled(QStringLiteral("开票管理"));
    if (QWidget* form = TPackageSeams::CreateBillManage())
        ShowMdiChild(form);
}

} // namespace

int Bill_Call(const QString& name, const QString& subject, KQParams* params)
{
    const QString cmd = name.toUpper();
    const QString subj = subject.toUpper();
    // "GETPCFORM", "GETGOODSSUBID" and "SELECTGOODSUNIT" are registered and do nothing.
    if (cmd == QLatin1String("SHOWBILLFORM")) {
        ShowBillForm(subj);
    } else if (cmd == QLatin1String("SHOWBILLFORMFROMCRED")) {
        ShowBillFormFromCred(subj, params);
    } else if (cmd == QLatin1String("GOTOONEBILLBYTYPE")) {
        GotoOneBillByType(params);
    } else if (cmd == QLatin1String("PICK")) {
        Pick(subj, params);
    } else if (cmd == QLatin1String("PRINTSAMEDIT")) {
        ShowPrintSamEdit();
    } else if (cmd == QLatin1String("FINDBILLFORM")) {
        FindBillForm();
    } else if (cmd == QLatin1String("EDITMENUCLICKINBILL")) {
        EditMenuClick(subj, params);
    } else if (cmd == QLatin1String("ENTERBILLBASE")) {
        EnterBillBase(subj);
    } else if (cmd == QLatin1String("SETPOSBATCH")) {
        RunModal(TPackageSeams::CreateSetPosBatch, QStringLiteral("调整货品批次"));
    } else if (cmd == QLatin1String("BILLMANAGEFORM")) {
        ShowBillManage();
    } else if (cmd == QLatin1String("DRPFORM")) {
        RunModal(TPackageSeams::CreateDRPForm, QStringLiteral("DRP运算"));
    } else if (cmd == QLatin1String("GOTOPORDERFORM")) {
        GotoPorderForm(subj, params);
    }
    return 0;
}
