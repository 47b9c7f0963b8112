#include "bills/sales/SalesBillForm.h"

#include "goodsbill/MasterServices.h"
#include "platform/DBControls.h"
#include "platform/DataSet.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>

TSalesBillForm::TSalesBillForm(QWidget* owner)
    : TGoodsBillForm(owner)
{
    Document()->ClosedByHandOnly = [this] {
        return Shape && Flag("closed") && !(FReadOnlyWhenFinished && Flag("finished")) && !TGoodsBillForm::IsReadOnlyBill();
    };
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

void TSalesBillForm::FilterList(const QString& field, const QString& filter)
{
    if (auto* combo = qobject_cast<TDBLookupCombo*>(FieldEditor(field)))
        combo->SetListFilter(filter);
}

int TSalesBillForm::BillBranch() const
{
    const TField* shop = cdsMaster->Active() ? cdsMaster->FindField(QStringLiteral("shopid")) : nullptr;
    return shop && !shop->IsNull() && shop->AsInteger() != 0 ? shop->AsInteger() : Lines()->Context().Session.ShopID;
}

void TSalesBillForm::ShowActions(std::initializer_list<QAction*> actions)
{
    for (QAction* a : actions)
        if (a) {
            a->setVisible(true);
            a->setEnabled(true);
        }
}

void TSalesBillForm::ShowDebtAsMoney(TClientDataSet* master)
{
    if (TField* f = master->FindField(QStringLiteral("debtamt")))
        f->DisplayFormat = QStringLiteral("#,##0.00");
}

void TSalesBillForm::UseExecutionStates()
{
    FReadOnlyWhenFinished = Lines()->Context().Session.OptionValue(QStringLiteral("ORDEREXECFINISHED")).trimmed() == QLatin1String("1");
    // in the title rows, between the date and the number, where the reversal mark stands
    Shape = new QFrame(HeadPanel ? HeadPanel : MasterPanel);
    Shape->setObjectName(QStringLiteral("Shape"));
    Shape->setFrameShape(QFrame::Box);
    Shape->setStyleSheet(QStringLiteral("QFrame#Shape { border: 2px solid red; border-radius: 18px; }"));
    Shape->setFixedSize(120, 36);
    if (auto* head = HeadPanel ? qobject_cast<QGridLayout*>(HeadPanel->layout()) : nullptr)
        head->addWidget(Shape, 1, 2, Qt::AlignCenter);
    FinishedLabel = new QLabel(QStringLiteral("执行完毕"), Shape);
    FinishedLabel->setObjectName(QStringLiteral("FinishedLabel"));
    FinishedLabel->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    FinishedLabel->setAlignment(Qt::AlignCenter);
    FinishedLabel->setGeometry(0, 0, 120, 36);
    Shape->hide();
    ReadOnlyExempt << Shape << FinishedLabel;
}

bool TSalesBillForm::Flag(const char* name) const
{
    const TField* f = cdsMaster->Active() && !cdsMaster->IsEmpty() ? cdsMaster->FindField(QString::fromLatin1(name)) : nullptr;
    return f && f->AsString().trimmed() == QLatin1String("T");
}

bool TSalesBillForm::IsReadOnlyBill()
{
    if (Shape && (Flag("closed") || (FReadOnlyWhenFinished && Flag("finished"))))
        return true;
    return TGoodsBillForm::IsReadOnlyBill();
}

void TSalesBillForm::MasterAfterOpen(TClientDataSet* ds)
{
    TGoodsBillForm::MasterAfterOpen(ds);
    BranchLists();
}

void TSalesBillForm::RefreshFieldState(const QString& fieldName)
{
    TGoodsBillForm::RefreshFieldState(fieldName);
    BranchLists();
    if (!Shape)
        return;
    const bool finished = Flag("finished");
    Shape->setVisible(finished);
    if (QWidget* closing = FieldEditor(QStringLiteral("closed"))) {
        closing->setEnabled(!finished && !IsNewBill);
        if (!ReadOnlyExempt.contains(closing))
            ReadOnlyExempt << closing;
    }
    // a bill closed by hand is saved to keep or lift its closing
    if (ASaveNew && ReadOnly() && Document()->ClosedByHandOnly())
        ASaveNew->setEnabled(true);
}

void TSalesBillForm::OnMasterFieldChanged(TField* field)
{
    if (FollowsInvoiceKind && field && field->FieldName().compare(QLatin1String("billtypeid"), Qt::CaseInsensitive) == 0 && Services())
        Services()->SeparateTaxDisplay = field->AsInteger() != 2;
    TGoodsBillForm::OnMasterFieldChanged(field);
    // ticking the closing box makes the bill read-only at once, unticking editable again
    if (Shape && field && field->FieldName().compare(QLatin1String("closed"), Qt::CaseInsensitive) == 0) {
        SetReadOnly(IsReadOnlyBill());
        RefreshFieldState(QString());
    }
}

void TSalesBillForm::InitNewMaster()
{
    TGoodsBillForm::InitNewMaster();
    if (TField* kind = cdsMaster->FindField(QStringLiteral("billtypeid")); kind && kind->IsNull())
        kind->SetValue(1);
}
