#include "pickers/SelectBillSeams.h"

#include "goodsbill/GoodsBillForm.h"
#include "host/Lookups.h"
#include "package/PackageSeams.h"
#include "pickers/CheckDialogs.h"
#include "pickers/ImportWizardLines.h"
#include "pickers/SelectBillSetup.h"
#include "pickers/SetPriceForm.h"
#include "platform/DBControls.h"

namespace {

// What the selections and the import need of a goods bill window.
TBillLinesSetup SetupOf(TGoodsBillForm* form)
{
    TBillLinesSetup s;
    s.Con = form->Document()->Connection();
    s.Session = form->Document()->Session();
    s.Master = form->cdsMaster;
    s.Detail = form->cdsDetail;
    s.Names = form->FieldNames;
    s.Settings = form->GoodsSettings;
    s.MasterTable = form->MasterTable;
    s.KeyField = form->KeyField;
    s.DetailTable = form->DetailTable;
    s.DateFieldName = form->DateFieldName;
    s.BillType = form->BillType;
    s.CVFlag = form->CVFlag;
    s.ReadOnly = [form] { return form->ReadOnly(); };
    s.FocusMasterField = [form](const QString& field) {
        if (QWidget* w = form->FieldEditor(field))
            w->setFocus();
    };
    s.LinesChanged = [form] {
        form->Document()->KeepMasterTotal();
        if (form->ItemDBGrid)
            form->ItemDBGrid->RecalcTotals();
    };
    return s;
}

// The price dialog of the form's current line.
bool SetLinePrice(TGoodsBillForm* form)
{
    const TBillLinesSetup s = SetupOf(form);
    const TField* date = s.Master->Active() ? s.Master->FindField(s.DateFieldName) : nullptr;
    return ShowSetPrice(s.BillType, s.CVFlag, s.MasterInt(s.Names.MasterClientID),
                        date && !date->IsNull() ? date->AsDateTime().date() : QDate(), s.Detail, s.MasterInt(s.Names.MasterStoreID),
                        s.Master, s.Names)
           == 1;
}

} // namespace

void InstallSelectionDialogs()
{
    TPackageSeams::SelectSourceLines = [](TGoodsBillForm* form, int kind) { return TakeSourceLines(SetupOf(form), kind); };
    TPackageSeams::ShowSourceActions = [](TGoodsBillForm* form) { ShowSourceActions(form); };
    TPackageSeams::ImportDetailLines = [](TGoodsBillForm* form) { ImportLinesInto(SetupOf(form)); };
    // the host's spreadsheet guide is this import on the bill window it names
    SetExcelGuide([](QWidget* w) {
        if (auto* form = qobject_cast<TGoodsBillForm*>(TBillBaseForm::AsBillForm(w)))
            ImportLinesInto(SetupOf(form));
    });
    TPackageSeams::SetLinePrice = &SetLinePrice;
    InstallCheckDialogs();
}

void UninstallSelectionDialogs()
{
    TPackageSeams::SelectSourceLines = nullptr;
    TPackageSeams::ShowSourceActions = nullptr;
    TPackageSeams::ImportDetailLines = nullptr;
    SetExcelGuide(nullptr);
    TPackageSeams::SetLinePrice = nullptr;
    UninstallCheckDialogs();
}
