#include "services/SelectValues.h"

#include "host/Messages.h"

bool TListValue::Find(const QString& name, int& index) const
{
    for (int i = 0; i < Count(); ++i) {
        if (FItems[i].Name.compare(name, Qt::CaseInsensitive) == 0) {
            index = i;
            return true;
        }
    }
    index = -1;
    return false;
}

void TListValue::SetValue(const QString& name, const QVariant& value)
{
    int i;
    if (Find(name, i)) {
        FItems[i].Value->Value = value;
        return;
    }
    auto v = std::make_unique<TSelectValue>();
    v->Value = value;
    FItems.push_back(Item{name, std::move(v)});
}

QVariant TListValue::GetValue(const QString& name) const
{
    int i;
    return Find(name, i) ? FItems[i].Value->Value : QVariant(0);
}

QVariant TListValue::GetValueAt(int index) const
{
    return index >= 0 && index < Count() ? FItems[index].Value->Value : QVariant();
}

void TListValue::SetValueAt(int index, const QVariant& value)
{
    if (index >= 0 && index < Count()) FItems[index].Value->Value = value;
}

QString TListValue::GetNameAt(int index) const { return index >= 0 && index < Count() ? FItems[index].Name : QString(); }

TSelectValue* TListValue::ObjectAt(int index) const
{
    return index >= 0 && index < Count() ? FItems[index].Value.get() : nullptr;
}

void TListValue::SetCommaText(const QString& text)
{
    FCommaText = text;
    FItems.clear();
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (!name.isEmpty()) FItems.push_back(Item{name, std::make_unique<TSelectValue>()});
    }
}

QStringList TListValue::Names() const
{
    QStringList out;
    for (const Item& it : FItems) out << it.Name;
    return out;
}

void TListValue::Clear()
{
    FItems.clear();
    FCommaText.clear();
}

QVariant TReturnValue::GetValue(int row, const QString& name) const
{
    int i;
    TListValue* r = Row(row);
    if (!r || !r->Find(name, i)) {
        AppShowMessage(QStringLiteral("值没有找到") + name);
        return QVariant(0);
    }
    return r->GetValueAt(i);
}

void TReturnValue::SetValue(int row, const QString& name, const QVariant& value)
{
    TListValue* r = row >= 1 && row <= RowCount() ? Row(row) : AddRow();
    r->SetValue(name, value);
}

TListValue* TReturnValue::Row(int row) const
{
    return row >= 1 && row <= RowCount() ? FRows[row - 1].get() : nullptr;
}

TListValue* TReturnValue::AddRow()
{
    FRows.push_back(std::make_unique<TListValue>());
    return FRows.back().get();
}
