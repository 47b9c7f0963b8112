#include "host/Registry.h"

#include "host/Messages.h"
#include "host/Privileges.h"

#include <QHash>
#include <algorithm>
#include <QPointer>
#include <QWidget>

namespace {
struct FunctionEntry {
    TGlobalHandler Handler;
    TGlobalHandlerEx HandlerEx;
};
struct FormEntry {
    QString Name;
    TFormFactory Factory;
    int PrivilegeId = 0;
};

QHash<QString, FunctionEntry>& Functions()
{
    static QHash<QString, FunctionEntry> m;
    return m;
}
QHash<QString, FormEntry>& Forms()
{
    static QHash<QString, FormEntry> m;
    return m;
}
QStringList& FormOrder()
{
    static QStringList l;
    return l;
}
QPointer<QWidget>& DefaultOwner()
{
    static QPointer<QWidget> w;
    return w;
}
QString Key(const QString& name) { return name.trimmed().toUpper(); }
} // namespace

void RegistFunction(const QString& name, TGlobalHandler handler)
{
    if (!handler)
        return UnregistFunction(name);
    Functions().insert(Key(name), FunctionEntry{std::move(handler), {}});
}

void RegistFunctionEx(const QString& name, TGlobalHandlerEx handler)
{
    if (!handler)
        return UnregistFunction(name);
    Functions().insert(Key(name), FunctionEntry{{}, std::move(handler)});
}

void UnregistFunction(const QString& name) { Functions().remove(Key(name)); }

bool IsFunctionRegistered(const QString& name) { return Functions().contains(Key(name)); }

QStringList RegisteredFunctions()
{
    QStringList l = Functions().keys();
    l.sort();
    return l;
}

int GlobalCall(const QString& name, const QString& subject, KQParams* params)
{
    auto it = Functions().constFind(Key(name));
    if (it == Functions().constEnd())
        return -1;
    const FunctionEntry e = it.value(); // a copy: the handler may re-register names
    if (e.Handler)
        return e.Handler(name, subject, params);
    e.HandlerEx(name, subject, params);
    return 0;
}

QVariant GlobalCallEx(const QString& name, const QString& subject, KQParams* params)
{
    auto it = Functions().constFind(Key(name));
    if (it == Functions().constEnd())
        return QVariant();
    const FunctionEntry e = it.value();
    if (e.HandlerEx)
        return e.HandlerEx(name, subject, params);
    const int r = e.Handler(name, subject, params);
    if (params && params->FindValue(QStringLiteral("Result")))
        return params->GetValue(QStringLiteral("Result"));
    return r;
}

void RegisterPrivilegedForm(const QString& formName, TFormFactory factory, int privilegeId)
{
    const QString k = Key(formName);
    if (!Forms().contains(k))
        FormOrder().append(formName);
    else
        for (QString& n : FormOrder())
            if (Key(n) == k)
                n = formName;
    Forms().insert(k, FormEntry{formName, std::move(factory), privilegeId});
}

void UnregisterPrivilegedForm(const QString& formName)
{
    const QString k = Key(formName);
    Forms().remove(k);
    FormOrder().erase(std::remove_if(FormOrder().begin(), FormOrder().end(),
                                     [&](const QString& n) { return Key(n) == k; }),
                      FormOrder().end());
}

bool IsFormRegistered(const QString& formName) { return Forms().contains(Key(formName)); }

QStringList RegisteredForms() { return FormOrder(); }

int GetFormPrivilegeId(const QString& formName)
{
    auto it = Forms().constFind(Key(formName));
    return it == Forms().constEnd() ? -1 : it->PrivilegeId;
}

QWidget* GetPrivilegedForm(const QString& formName, QWidget* owner)
{
    auto it = Forms().constFind(Key(formName));
    if (it == Forms().constEnd() || !it->Factory)
        return nullptr;
    const FormEntry e = it.value();
    if (!GetUPrivilegeItem(e.PrivilegeId, paBrowse)) {
        ShowError(QStringLiteral("您没有该功能的操作权限！"));
        return nullptr;
    }
    return e.Factory(owner ? owner : DefaultFormOwner());
}

void SetDefaultFormOwner(QWidget* owner) { DefaultOwner() = owner; }

QWidget* DefaultFormOwner() { return DefaultOwner().data(); }

void ClearRegistries()
{
    Functions().clear();
    Forms().clear();
    FormOrder().clear();
}
