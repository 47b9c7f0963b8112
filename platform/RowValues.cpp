#include "platform/RowValues.h"

namespace {

bool IsLower(const QString& s)
{
    for (QChar c : s)
        if (c.isUpper())
            return false;
    return true;
}

} // namespace

int TRowNames::IndexOf(const QString& name) const
{
    if (const int* known = FRecent.Find(name))
        return *known;
    const int i = Find(name);
    FRecent.Remember(name, i);
    return i;
}

int TRowNames::Find(const QString& name) const
{
    if (const auto it = FExact.constFind(name); it != FExact.cend())
        return it.value();
    const auto it = IsLower(name) ? FLower.constFind(name) : FLower.constFind(name.toLower());
    return it == FLower.cend() ? -1 : it.value();
}

int TRowNames::Add(const QString& name)
{
    if (const int i = IndexOf(name); i >= 0)
        return i;
    const int i = int(FNames.size());
    FRecent.Clear(); // a name it did not know is one now
    FNames << name;
    FExact.insert(name, i);
    FLower.insert(name.toLower(), i);
    return i;
}

TRowValues::TRowValues(std::shared_ptr<TRowNames> names, QVariant* values, int count) : FNames(std::move(names))
{
    Q_ASSERT(count <= FNames->Count());
    *this = Build(FNames, count, [values](int i) { return std::move(values[i]); });
}

QVariant TRowValues::value(const QString& name, const QVariant& otherwise) const
{
    const TSlot* s = Slot(FNames->IndexOf(name));
    return s ? s->Value : otherwise;
}

QVariant& TRowValues::operator[](const QString& name)
{
    TSlot& s = Place(FNames->Add(name));
    s.Has = true;
    return s.Value;
}

int TRowValues::remove(const QString& name)
{
    const int i = FNames->IndexOf(name);
    if (!Slot(i))
        return 0;
    TSlot& s = FSlots[i];
    s.Has = false;
    s.Value = QVariant();
    return 1;
}

qsizetype TRowValues::size() const
{
    qsizetype n = 0;
    for (const TSlot& s : FSlots)
        n += s.Has ? 1 : 0;
    return n;
}

QStringList TRowValues::keys() const
{
    QStringList out;
    for (auto it = cbegin(); it != cend(); ++it)
        out << it.key();
    return out;
}

TRowValues::TSlot& TRowValues::Place(int i)
{
    Q_ASSERT(i >= 0 && i < FNames->Count());
    if (i >= FSlots.size()) {
        if (FSlots.capacity() <= i)
            FSlots.reserve(FNames->Count() + kServerRoom);
        FSlots.resize(std::max<qsizetype>(i + 1, FNames->Count()));
    }
    return FSlots[i];
}

void TRowValues::Set(int index, const QVariant& v)
{
    TSlot& s = Place(index);
    s.Value = v;
    s.Has = true;
}

void TRowValues::Set(int index, QVariant&& v)
{
    TSlot& s = Place(index);
    s.Value = std::move(v);
    s.Has = true;
}

const QVariant* TRowValues::At(int index) const
{
    const TSlot* s = Slot(index);
    return s ? &s->Value : nullptr;
}

QVariantMap TRowValues::ToMap() const
{
    QVariantMap m;
    for (auto it = cbegin(); it != cend(); ++it)
        m.insert(it.key(), it.value());
    return m;
}

TRowValues TRowValues::FromMap(const QVariantMap& m)
{
    TRowValues r;
    for (auto it = m.cbegin(); it != m.cend(); ++it)
        r.insert(it.key(), it.value());
    return r;
}

bool TRowValues::operator==(const TRowValues& o) const
{
    if (size() != o.size())
        return false;
    for (auto it = cbegin(); it != cend(); ++it) {
        const TSlot* s = o.Slot(o.FNames->IndexOf(it.key()));
        if (!s || s->Value != it.value())
            return false;
    }
    return true;
}
