#pragma once
// What a selection dialog hands back to the bill that opened it: rows of named values.
// The caller that creates a record frees it; a record owns its rows and values.
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class TSelectValue {
public:
    QVariant Value; // empty after construction
};

// A named value list. Names match without regard to case.
class TListValue {
public:
    TListValue() = default;
    TListValue(const TListValue&) = delete;
    TListValue& operator=(const TListValue&) = delete;

    int Count() const { return int(FItems.size()); }
    bool Find(const QString& name, int& index) const;
    // Replaces the value of an existing name, or appends the name.
    void SetValue(const QString& name, const QVariant& value);
    // The value, or 0 when the name is absent.
    QVariant GetValue(const QString& name) const;
    QVariant GetValueAt(int index) const;
    void SetValueAt(int index, const QVariant& value);
    QString GetNameAt(int index) const;
    TSelectValue* ObjectAt(int index) const;
    // Empties the list and fills the names from comma-separated text, values empty.
    void SetCommaText(const QString& text);
    QString CommaText() const { return FCommaText; }
    QStringList Names() const;
    void Clear();

private:
    struct Item {
        QString Name;
        std::unique_ptr<TSelectValue> Value;
    };
    std::vector<Item> FItems;
    QString FCommaText;
};

// Rows of named values, numbered from 1.
class TReturnValue {
public:
    TReturnValue() = default;
    TReturnValue(const TReturnValue&) = delete;
    TReturnValue& operator=(const TReturnValue&) = delete;

    int RowCount() const { return int(FRows.size()); }
    // The value in row `row` (from 1). A row without that name tells the user
    // "值没有找到" with the name and gives 0.
    QVariant GetValue(int row, const QString& name) const;
    // Sets the value in row `row` when there is such a row, else in a new row appended.
    void SetValue(int row, const QString& name, const QVariant& value);
    TListValue* Row(int row) const; // nullptr when out of range
    TListValue* AddRow();
    void Clear() { FRows.clear(); }

private:
    std::vector<std::unique_ptr<TListValue>> FRows;
};
