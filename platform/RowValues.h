#pragma once
// A row's values by column name, the way the server holds the rows of a change set and the
// rows it reads back: each row one vector of values, and one index of column names shared by
// all rows of the same packet or select. A save of thousands of lines then builds thousands of
// vectors, not thousands of trees of (name, value) nodes, and a name is found by one hash.
//
// Names are found in any case ("GoodsID" finds "goodsid"); a name keeps the spelling it was
// first given. A row holds a value for a name or not: rows of one packet name the same
// columns, and a name one row adds is absent from the others until they set it.
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

#include <memory>

// Names are asked for again and again from the same strings (literals, a form's field names,
// a packet's own names): a string seen before is known by its characters' address, without
// hashing its text. Each entry holds a copy, so the characters stay alive and unchanged while
// the entry names them (a shared string is copied before it is written; literals never change).
// A form asks for a hundred names or more, so this is a table, not a few slots that the names
// would keep taking from each other.
class TNamesByAddress {
public:
    // The index remembered for this very string, or nullptr.
    const int* Find(const QString& name) const
    {
        if (name.isEmpty())
            return nullptr;
        const auto it = FByAddress.constFind(name.constData());
        return it != FByAddress.cend() && it->Name.size() == name.size() ? &it->Index : nullptr;
    }
    void Remember(const QString& name, int index)
    {
        if (name.isEmpty())
            return;
        // strings built on the fly come with new addresses each time: keep the table bounded
        if (FByAddress.size() >= kMaxNames)
            FByAddress.clear();
        FByAddress.insert(name.constData(), TEntry{name, index});
    }
    void Clear() { FByAddress.clear(); }

private:
    static constexpr int kMaxNames = 2048;
    struct TEntry {
        QString Name;
        int Index = -1;
    };
    QHash<const QChar*, TEntry> FByAddress;
};

class TRowNames {
public:
    // The position of a name in any case, or -1.
    int IndexOf(const QString& name) const;
    // The position of a name, added at the end when new.
    int Add(const QString& name);
    const QString& Name(int i) const { return FNames[i]; }
    int Count() const { return int(FNames.size()); }

private:
    QStringList FNames;
    QHash<QString, int> FExact; // as spelled
    QHash<QString, int> FLower; // lower case: the first spelling wins
    mutable TNamesByAddress FRecent;
    int Find(const QString& name) const;
};

class TRowValues {
    struct TSlot {
        QVariant Value;
        bool Has = false;
    };

public:
    TRowValues() : FNames(std::make_shared<TRowNames>()) {}
    // A row of the rows that share `names`.
    explicit TRowValues(std::shared_ptr<TRowNames> names) : FNames(std::move(names)) {}
    // A row of the rows that share `names`, holding values[0..count) as the first names'
    // values; the values are moved out.
    TRowValues(std::shared_ptr<TRowNames> names, QVariant* values, int count);
    // The same with the i-th value given by valueAt(i).
    template <class ValueAt>
    static TRowValues Build(std::shared_ptr<TRowNames> names, int count, ValueAt&& valueAt)
    {
        TRowValues r(std::move(names));
        r.FSlots.reserve(r.FNames->Count() + kServerRoom);
        for (int i = 0; i < count; ++i)
            r.FSlots.emplaceBack(TSlot{valueAt(i), true});
        return r;
    }

    // QVariantMap's reading and writing, by name in any case.
    QVariant value(const QString& name, const QVariant& otherwise = QVariant()) const;
    bool contains(const QString& name) const { return Slot(FNames->IndexOf(name)) != nullptr; }
    void insert(const QString& name, const QVariant& v) { Set(FNames->Add(name), v); }
    QVariant& operator[](const QString& name);
    int remove(const QString& name);
    bool isEmpty() const { return size() == 0; }
    qsizetype size() const;
    QStringList keys() const;

    // By position in the shared names: for filling rows column by column.
    void Set(int index, const QVariant& v);
    void Set(int index, QVariant&& v);
    const QVariant* At(int index) const;
    const TRowNames& Names() const { return *FNames; }
    const std::shared_ptr<TRowNames>& SharedNames() const { return FNames; }

    QVariantMap ToMap() const;
    static TRowValues FromMap(const QVariantMap& m);

    // Equal when they hold the same names (in any case) with equal values.
    bool operator==(const TRowValues& o) const;
    bool operator!=(const TRowValues& o) const { return !(*this == o); }

    // Walks the values the row holds, in the order of the shared names.
    template <bool Const>
    class Iter {
        using Row = std::conditional_t<Const, const TRowValues, TRowValues>;

    public:
        Iter(Row* row, int i) : FRow(row), FI(i) { Skip(); }
        const QString& key() const { return FRow->FNames->Name(FI); }
        // writable through a row's own iterator (its values detach at the first write)
        auto& value() const { return FRow->FSlots[FI].Value; }
        Iter& operator++()
        {
            ++FI;
            Skip();
            return *this;
        }
        bool operator==(const Iter& o) const { return FI == o.FI; }
        bool operator!=(const Iter& o) const { return FI != o.FI; }

    private:
        Row* FRow;
        int FI;
        void Skip()
        {
            const int n = int(FRow->FSlots.size());
            while (FI < n && !FRow->FSlots.at(FI).Has)
                ++FI;
        }
    };
    using const_iterator = Iter<true>;
    using iterator = Iter<false>;
    const_iterator cbegin() const { return const_iterator(this, 0); }
    const_iterator cend() const { return const_iterator(this, int(FSlots.size())); }
    const_iterator begin() const { return cbegin(); }
    const_iterator end() const { return cend(); }
    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, int(FSlots.size())); }

private:
    // the server adds a few columns of its own to every row: room for them at once
    static constexpr int kServerRoom = 8;
    std::shared_ptr<TRowNames> FNames;
    QVector<TSlot> FSlots;

    const TSlot* Slot(int i) const { return i >= 0 && i < FSlots.size() && FSlots.at(i).Has ? &FSlots.at(i) : nullptr; }
    TSlot& Place(int i);
};
