#include "services/BillServices.h"

#include "host/DataServices.h"
#include "host/KQParams.h"
#include "host/Messages.h"
#include "host/Registry.h"
#include "webrpc/Connection.h"
#include "webrpc/SqlDialect.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

TClientQuery* CreateClientDataSet(QObject* owner, const QString& sql, bool open)
{
    auto* ds = new TClientQuery(owner, g_DefaultCon);
    ds->SQL = sql;
    if (sql.indexOf(u':', 1) > 0)
        for (const QString& name : ds->ParamNames())
            ds->SetParam(name, QVariant());
    if (open) {
        try {
            ds->OpenQuery();
        } catch (...) {
            delete ds;
            throw;
        }
    }
    return ds;
}

double GetGoodsOnHand(TClientDataSet* stock, int goodsId, const QString& storeId)
{
    if (goodsId <= 0 || storeId.trimmed().isEmpty()) return kNoStockLimit;
    if (!stock || !stock->Active()) return 0;
    const QVariant v = stock->Lookup(QStringLiteral("StoreID;GoodsID"), {storeId.trimmed(), goodsId}, QStringLiteral("OnHand"));
    return v.isValid() && !v.isNull() ? v.toDouble() : 0;
}

namespace {
bool InList(int billType, std::initializer_list<int> types)
{
    return std::find(types.begin(), types.end(), billType) != types.end();
}
} // namespace

bool IsClientSideBill(int billType) { return InList(billType, {1, 2, 3, 4, 5, 27, 28, 29, 44}); }
bool IsVendorSideBill(int billType) { return InList(billType, {6, 7, 8, 9, 22, 26, 43}); }
bool IsStockSideBill(int billType) { return InList(billType, {10, 11, 12, 13, 14, 15, 16, 19}); }

void MakeFieldsWritable(TClientDataSet* ds)
{
    if (!ds) return;
    if (!ds->Active()) {
        if (auto* q = qobject_cast<TClientQuery*>(ds))
            q->OpenQuery();
        else
            ds->Open();
    }
    // Datasets here hold no nested-dataset fields: detail rows live in their own dataset,
    // which the forms pass in separately.
    for (int i = 0; i < ds->FieldCount(); ++i)
        ds->Fields(i)->ReadOnly = false;
}

TClientQuery* CreateQuery(QObject* owner, const QString& sql, bool open)
{
    auto* q = new TClientQuery(owner, g_DefaultCon);
    q->SQL = sql;
    if (open) {
        try {
            q->OpenQuery();
        } catch (...) {
            delete q;
            throw;
        }
    }
    return q;
}

TClientDataSet* CallFindDataSet(const QString& name)
{
    KQParams params;
    const QVariant v = GlobalCallEx(QStringLiteral("GetFindDataSet"), name, &params);
    return qobject_cast<TClientDataSet*>(VariantToObject(v));
}

int GetBankSubID(int bankId)
{
    std::unique_ptr<TClientQuery> q(CreateQuery(nullptr, QStringLiteral("select SubID from Bank where BankID = ") + QString::number(bankId)));
    if (q->IsEmpty()) return 0;
    return q->FieldByName(QStringLiteral("SubID"))->AsInteger();
}

QString GetClientShortName(int clientId)
{
    std::unique_ptr<TClientQuery> q(CreateQuery(nullptr, QStringLiteral("select * from client where clientid = ") + QString::number(clientId)));
    if (q->IsEmpty()) return QString();
    return q->FieldByName(QStringLiteral("shortname"))->AsString();
}

QString LookupFieldValue(const QString& resultField, const QString& table, const QString& keyField, const QString& keyValue)
{
    // The key value may come from what the user typed: it goes in as a quoted literal.
    const QString sql = QStringLiteral(" select top 1 ") + resultField + QStringLiteral(" from ") + table
                        + QStringLiteral(" where ") + keyField + QStringLiteral(" = ") + QuotedStr(keyValue);
    std::unique_ptr<TClientQuery> q(CreateQuery(nullptr, sql));
    if (q->IsEmpty()) return QString();
    return q->Fields(0)->AsString();
}

bool IsDetailSubject(int subId)
{
    std::unique_ptr<TClientQuery> q(CreateAutoQuery(
        nullptr, QStringLiteral("Select Count(*) As RefCount From subject where detailflag = 'T' and subid = ") + QString::number(subId)));
    return !q->IsEmpty() && q->FieldByName(QStringLiteral("RefCount"))->AsInteger() > 0;
}

// ---------------------------------------------------------------- input box

namespace {
class TInputValueForm : public QDialog {
public:
    TInputValueForm(const QString& caption, const QString& prompt, TInputKind kind, const QString& text, QWidget* parent)
        : QDialog(parent), FCaption(caption), FKind(kind)
    {
        setObjectName(QStringLiteral("InputValueForm"));
        setWindowTitle(caption);
        auto* lay = new QVBoxLayout(this);
        auto* label = new QLabel(prompt, this);
        label->setObjectName(QStringLiteral("lblPrompt"));
        lay->addWidget(label);
        edtValue = new QLineEdit(text, this);
        edtValue->setObjectName(QStringLiteral("edtValue"));
        lay->addWidget(edtValue);
        auto* box = new QDialogButtonBox(this);
        btnOK = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
        btnOK->setObjectName(QStringLiteral("btnOK"));
        btnCancel = box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
        btnCancel->setObjectName(QStringLiteral("btnCancel"));
        lay->addWidget(box);
        connect(btnOK, &QPushButton::clicked, this, &TInputValueForm::OKClick);
        connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    }

    QVariant Value;
    QLineEdit* edtValue;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    void OKClick()
    {
        const QString text = edtValue->text().trimmed();
        QString error;
        bool ok = true;
        if (text.isEmpty()) {
            error = QStringLiteral("不能输入空值,请重新输入.");
        } else if (FKind == TInputKind::ikInteger) {
            const int n = text.toInt(&ok);
            if (ok) Value = n;
            else error = QStringLiteral("不是有效的整数,请重新输入.");
        } else if (FKind == TInputKind::ikNumber) {
            const double x = text.toDouble(&ok);
            if (ok) Value = x;
            else error = QStringLiteral("不是有效的数值,请重新输入.");
        } else {
            Value = text;
        }
        if (!error.isEmpty()) {
            ShowInformation(error, QStringLiteral("资料输入"));
            edtValue->setFocus();
            edtValue->selectAll();
            return;
        }
        accept();
    }

    QString FCaption;
    TInputKind FKind;
};
} // namespace

bool InputValue(const QString& caption, const QString& prompt, TInputKind kind, QVariant& value, QWidget* parent)
{
    TInputValueForm form(caption.isEmpty() ? QStringLiteral("资料输入") : caption,
                         prompt.isEmpty() ? QStringLiteral("请输入") : prompt, kind,
                         value.isNull() ? QString() : value.toString(), parent);
    if (ExecModal(&form) != QDialog::Accepted) return false;
    // A script (or a caller) may accept the box without OK: the text is checked all the same.
    if (!form.Value.isValid()) return false;
    value = form.Value;
    return true;
}
