#include "host/DataServices.h"

#include "host/Messages.h"
#include "host/Session.h"
#include "platform/DataSet.h"
#include "webrpc/Connection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QWidget>

TClientQuery* CreateAutoQuery(QObject* owner, const QString& sql, bool open)
{
    auto* q = new TClientQuery(owner, g_DefaultCon);
    q->SQL = sql;
    if (open) {
        try {
            q->OpenQuery();
        } catch (...) {
            if (!owner)
                delete q;
            throw;
        }
    }
    return q;
}

QVariantList GetValuesOfSql(const QString& sql)
{
    QVariantList r;
    TClientQuery q(nullptr, g_DefaultCon);
    q.SQL = sql;
    q.OpenQuery();
    if (q.IsEmpty())
        return r;
    q.First();
    for (int i = 0; i < q.FieldCount(); ++i)
        r << q.Fields(i)->Value();
    return r;
}

bool SafeSetFieldValue(TClientDataSet* ds, const QString& fieldName, const QVariant& value)
{
    TField* f = ds ? ds->FindField(fieldName) : nullptr;
    if (!f)
        return false;
    f->SetValue(value);
    return true;
}

void SetDataSetAllValue(TClientDataSet* ds, const QString& fieldName, const QVariant& value)
{
    if (!ds || !ds->Active())
        return;
    TField* f = ds->FindField(fieldName);
    if (!f)
        return;
    ds->CheckBrowseMode();
    const int recNo = ds->RecNo();
    ds->DisableControls();
    try {
        for (ds->First(); !ds->Eof(); ds->Next()) {
            f->SetValue(value);
            ds->Post();
        }
    } catch (...) {
        if (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert)
            ds->Cancel();
        ds->EnableControls();
        throw;
    }
    if (recNo > 0)
        ds->SetRecNo(recNo);
    ds->EnableControls();
}

double GetDataSetSum(TClientDataSet* ds, const QString& fieldName)
{
    if (!ds || !ds->Active() || !ds->FindField(fieldName))
        return 0;
    ds->CheckBrowseMode();
    return ds->Sum(fieldName);
}

void SetDataSetFormat(TClientDataSet* ds)
{
    if (!ds)
        return;
    static const char* const moneyWords[] = {"AMT", "AMOUNT", "PRICE", "MONEY", "TOTAL", "PAID", "CASH", "COST", "FEE"};
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        if (f->DataType() == TFieldType::ftCurrency) {
            f->DisplayFormat = QStringLiteral("0.00");
        } else if (f->DataType() == TFieldType::ftFloat) {
            const QString n = f->FieldName().toUpper();
            bool money = false;
            for (const char* w : moneyWords)
                money = money || n.contains(QLatin1String(w));
            f->DisplayFormat = money ? QStringLiteral("0.00") : QStringLiteral("0.######");
        }
    }
}

void SetDataSetPost(TClientDataSet* ds)
{
    if (ds && (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert))
        ds->Post();
}

void DeleteItems(TClientDataSet* ds)
{
    if (!ds || !ds->Active())
        return;
    if (ds->State() == TDataSetState::dsInsert)
        ds->Cancel();
    else
        ds->CheckBrowseMode();
    ds->DisableControls();
    try {
        ds->First();
        while (!ds->IsEmpty())
            ds->Delete();
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
}

void SilenceDataSet(TClientDataSet* ds)
{
    if (ds)
        ds->Silence();
}

void WakeUpDataSet(TClientDataSet* ds)
{
    if (ds)
        ds->WakeUp();
}

bool NotNullCheck(TField* field, QWidget* control, const QString& message)
{
    if (field && !field->IsNull() && !field->AsString().trimmed().isEmpty())
        return true;
    ShowInformation(message, QStringLiteral("提示"));
    if (control && control->isEnabled())
        control->setFocus();
    return false;
}

bool CompareStrEqual(const QString& a, const QString& b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

QString LogFileName() { return QDir(TempDirectory()).filePath(QStringLiteral("tradebill.log")); }

void WriteLog(const QString& text)
{
    QFile f(LogFileName());
    if (!f.open(QIODevice::Append | QIODevice::Text))
        return; // logging must never break the operation that logs
    QTextStream out(&f);
    out << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) << ' ' << text << '\n';
}
