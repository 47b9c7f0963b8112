#include "bills/sales/SalesBillForm.h"

#include "goodsbill/MasterServices.h"
#include "platform/DataSet.h"

TSalesBillForm::TSalesBillForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
}

TSalesBillForm::~TSalesBillForm() = default;

TSalesRules& TSalesBillForm::Rules()
{
    if (!FRules)
        FRules = std::make_unique<TSalesRules>(&Lines()->Context());
    return *FRules;
}

bool TSalesBillForm::ValidateLines(const std::function<bool()>& check)
{
    return TGoodsBillForm::ValidateDetail() && Rules().EachLine(check);
}

void TSalesBillForm::EnableField(const QString& field, bool on)
{
    if (QWidget* w = FieldEditor(field))
        w->setEnabled(on && !ReadOnly());
}

void TSalesBillForm::ShowActions(std::initializer_list<QAction*> actions)
{
    for (QAction* a : actions)
        if (a) {
            a->setVisible(true);
            a->setEnabled(true);
        }
}

void TSalesBillForm::OnMasterFieldChanged(TField* field)
{
    if (FollowsInvoiceKind && field && field->FieldName().compare(QLatin1String("billtypeid"), Qt::CaseInsensitive) == 0 && Services())
        Services()->SeparateTaxDisplay = field->AsInteger() != 2;
    TGoodsBillForm::OnMasterFieldChanged(field);
}

void TSalesBillForm::InitNewMaster()
{
    TGoodsBillForm::InitNewMaster();
    if (TField* kind = cdsMaster->FindField(QStringLiteral("billtypeid")); kind && kind->IsNull())
        kind->SetValue(1);
}
