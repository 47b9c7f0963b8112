#pragma once
// The named parameter bag of the global-call protocol. Values are variants; objects travel
// as integers holding their address (qint64), so that a bag can cross package borders.
//
// Keys are compared EXACTLY (case-sensitive). Callers spell keys deliberately and some
// commands tell two spellings apart: "GOTOONEBILLBYTYPE" tests for the presence of "MODAL"
// and then reads "Modal", so a bag holding only "Modal" must not answer for "MODAL".
// A caller that wants a modal form supplies both spellings.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class KQParams {
public:
    KQParams() = default;
    KQParams(const QString& name, const QVariant& value) { AddValue(name, value); }

    // Adds the entry or replaces the value of an existing entry of that name.
    void AddValue(const QString& name, const QVariant& value);
    // Stores the object's address as qint64 (null pointer -> 0).
    void AddValue(const QString& name, const QObject* object);
    // Without these the pointer overloads would swallow string literals and ints would be
    // ambiguous; they simply forward to the variant overload.
    void AddValue(const QString& name, const char* text) { AddValue(name, QVariant(QString::fromUtf8(text))); }
    void AddValue(const QString& name, const QString& text) { AddValue(name, QVariant(text)); }
    void AddValue(const QString& name, int v) { AddValue(name, QVariant(v)); }
    void AddValue(const QString& name, bool v) { AddValue(name, QVariant(v)); }
    void AddValue(const QString& name, double v) { AddValue(name, QVariant(v)); }
    void AddValue(const QString& name, qint64 v) { AddValue(name, QVariant(v)); }

    // The entry's value; an invalid QVariant when absent.
    QVariant GetValue(const QString& name) const;
    bool FindValue(const QString& name) const;
    bool RemoveValue(const QString& name);
    void Clear() { FItems.clear(); }
    int Count() const { return FItems.size(); }
    QStringList Names() const; // in insertion order

    // Typed readers with a neutral default when the entry is absent or null.
    int GetInt(const QString& name, int dflt = 0) const;
    bool GetBool(const QString& name, bool dflt = false) const;
    QString GetString(const QString& name, const QString& dflt = QString()) const;
    // An object stored by address; nullptr when absent or 0. The caller knows the type and
    // must use qobject_cast on the result when it is not sure.
    QObject* GetObject(const QString& name) const;

private:
    struct Item {
        QString Name;
        QVariant Value;
    };
    QVector<Item> FItems;
    int IndexOf(const QString& name) const;
};

// Address <-> variant helpers used wherever an object crosses the protocol.
inline QVariant ObjectToVariant(const QObject* o) { return QVariant(static_cast<qint64>(reinterpret_cast<quintptr>(o))); }
inline QObject* VariantToObject(const QVariant& v)
{
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok && n != 0 ? reinterpret_cast<QObject*>(static_cast<quintptr>(n)) : nullptr;
}
