#pragma once
// What a column of the accounting database may hold, and the form in which it is stored.
//
// Numbers are stored as doubles rounded once to their decimal places (platform/Decimal.h):
// money to 4, quantities to 6, prices to 8. The ranges keep every money and quantity value
// within 15 significant digits, which a double carries exactly, so that sums of stored values
// are exact and stock that goes in and out again comes back to the last digit. The ranges are
// listed in schema/README.md.
#include <QString>
#include <QVariant>

// Whether a column name is plain lower-case ASCII, as nearly all are.
inline bool IsLowerName(const QString& name)
{
    for (const QChar c : name)
        if ((c.unicode() >= u'A' && c.unicode() <= u'Z') || c.unicode() > 127)
            return false;
    return true;
}
// A column name in lower case; names already in lower case are not copied.
inline QString LowerName(const QString& name)
{
    return IsLowerName(name) ? name : name.toLower();
}

constexpr double kMaxQuantity = 1e9;  // quantities: columns named *qty* or *quantity*, 6 decimals
constexpr double kMaxAmount = 1e11;   // money: MONEY columns, 4 decimals
constexpr double kMaxPrice = 1e10;    // prices: FLOAT columns named *price*, 8 decimals
constexpr double kMaxRate = 1e6;      // every other FLOAT column (discounts, tax and unit rates)
constexpr qint64 kMaxInteger = 2147483647; // INTEGER columns (ids, numbers, kinds)

double RoundMoney(double v);    // 4 decimals
double RoundQuantity(double v); // 6 decimals
double RoundPrice(double v);    // 8 decimals

// Checks `value` against the column (its lower-case name and declared type) and replaces it by
// the value to store: a number rounded to its places, a date as a date-time, text unchanged.
// Answers "" when the value may be stored, else the reason in Chinese without the field's name
// ("值 inf 不是有效的数字", "值 1e+17 超出范围，绝对值须小于 1000000000", ...).
QString NormaliseColumnValue(const QString& column, const QString& declType, QVariant& value);

// The same in two steps, for a caller checking many values of one column: what the column
// holds, found once, then each value.
enum class TValueClass { Integer, Money, Quantity, Price, Rate, Boolean, DateTime, Text, Blob };
TValueClass ValueClassOf(const QString& column, const QString& declType);
QString NormaliseValue(TValueClass c, const QString& declType, QVariant& value);

// The Chinese name of a column where the bills know one ("数量" for unitqty), else empty.
QString ColumnCaption(const QString& column);
// "数量(unitqty)" or "memo": how messages name a column.
QString ColumnLabel(const QString& column);
