#include "host/KQParams.h"

int KQParams::IndexOf(const QString& name) const
{
    for (int i = 0; i < FItems.size(); ++i)
        if (FItems[i].Name == name)
            return i;
    return -1;
}

void KQParams::AddValue(const QString& name, const QVariant& value)
{
    const int i = IndexOf(name);
    if (i >= 0)
        FItems[i].Value = value;
    else
        FItems.append({name, value});
}

void KQParams::AddValue(const QString& name, const QObject* object)
{
    AddValue(name, ObjectToVariant(object));
}

QVariant KQParams::GetValue(const QString& name) const
{
    const int i = IndexOf(name);
    return i >= 0 ? FItems[i].Value : QVariant();
}

bool KQParams::FindValue(const QString& name) const { return IndexOf(name) >= 0; }

bool KQParams::RemoveValue(const QString& name)
{
    const int i = IndexOf(name);
    if (i < 0)
        return false;
    FItems.removeAt(i);
    return true;
}

QStringList KQParams::Names() const
{
    QStringList r;
    for (const Item& it : FItems)
        r << it.Name;
    return r;
}

int KQParams::GetInt(const QString& name, int dflt) const
{
    const QVariant v = GetValue(name);
    if (!v.isValid() || v.isNull())
        return dflt;
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : dflt;
}

bool KQParams::GetBool(const QString& name, bool dflt) const
{
    const QVariant v = GetValue(name);
    if (!v.isValid() || v.isNull())
        return dflt;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toUpper();
        return s == "TRUE" || s == "T" || s == "1" || s == "Y" || s == "YES";
    }
    return v.toBool();
}

QString KQParams::GetString(const QString& name, const QString& dflt) const
{
    const QVariant v = GetValue(name);
    return v.isValid() && !v.isNull() ? v.toString() : dflt;
}

QObject* KQParams::GetObject(const QString& name) const { return VariantToObject(GetValue(name)); }
