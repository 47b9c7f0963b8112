#include "server/StoredValues.h"

#include "platform/Decimal.h"
#include "platform/TextRules.h"

#include <QDateTime>
#include <QHash>

#include <cmath>

namespace {

TValueClass Classify(const QString& column, const QString& declType)
{
    const QString d = declType.trimmed().toUpper();
    if (d.startsWith(QLatin1String("INT")))
        return TValueClass::Integer;
    if (d.startsWith(QLatin1String("MONEY")))
        return TValueClass::Money;
    if (d.startsWith(QLatin1String("FLOAT")) || d.startsWith(QLatin1String("REAL")) || d.startsWith(QLatin1String("DOUBLE"))) {
        if (column.contains(QLatin1String("qty")) || column.contains(QLatin1String("quantity")))
            return TValueClass::Quantity;
        if (column.contains(QLatin1String("price")))
            return TValueClass::Price;
        return TValueClass::Rate;
    }
    if (d == QLatin1String("BIT"))
        return TValueClass::Boolean;
    if (d.startsWith(QLatin1String("DATE")))
        return TValueClass::DateTime;
    if (d.startsWith(QLatin1String("BLOB")))
        return TValueClass::Blob;
    return TValueClass::Text;
}

// A handful of declared types and column names, asked about for every value of every line.
TValueClass ClassOf(const QString& column, const QString& declType)
{
    thread_local QHash<QPair<QString, QString>, TValueClass> known;
    const QPair<QString, QString> key(column, declType);
    auto it = known.constFind(key);
    if (it == known.cend())
        it = known.insert(key, Classify(column, declType));
    return it.value();
}

QString NumberText(double v)
{
    if (std::isnan(v))
        return QStringLiteral("nan");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(v, 'g', 15);
}

QString Shown(const QVariant& v)
{
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return NumberText(v.toDouble());
    return v.toString().left(40);
}

// The declared length of VARCHAR(n) / CHAR(n), 0 when unlimited.
int DeclaredLength(const QString& declType)
{
    const int open = declType.indexOf(u'(');
    const int close = declType.indexOf(u')', open + 1);
    return open >= 0 && close > open ? declType.mid(open + 1, close - open - 1).trimmed().toInt() : 0;
}

QDateTime ParseDateTime(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    const QString s = v.toString().trimmed();
    for (const char* f : {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-dd", "yyyy-MM-ddThh:mm:ss", "yyyy-MM-ddThh:mm:ss.zzz", "yyyy-MM-dd hh:mm"}) {
        const QDateTime dt = QDateTime::fromString(s, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(s, Qt::ISODateWithMs);
}

} // namespace

double RoundMoney(double v) { return DecimalRound(v, 4); }
double RoundQuantity(double v) { return DecimalRound(v, 6); }
double RoundPrice(double v) { return DecimalRound(v, 8); }

QString NormaliseColumnValue(const QString& column, const QString& declType, QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    return NormaliseValue(ClassOf(LowerName(column), declType), declType, value);
}

TValueClass ValueClassOf(const QString& column, const QString& declType)
{
    return Classify(LowerName(column), declType);
}

QString NormaliseValue(TValueClass c, const QString& declType, QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (c) {
    case TValueClass::Integer: {
        bool ok = false;
        qint64 n = 0;
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            const double d = value.toDouble();
            if (!std::isfinite(d) || d != std::floor(d))
                return QStringLiteral("值 %1 不是整数").arg(NumberText(d));
            if (std::abs(d) > double(kMaxInteger))
                return QStringLiteral("值 %1 超出范围，绝对值不能大于 %2").arg(NumberText(d)).arg(kMaxInteger);
            n = qint64(d);
            ok = true;
        } else if (value.typeId() == QMetaType::Bool) {
            n = value.toBool() ? 1 : 0;
            ok = true;
        } else {
            n = value.toString().trimmed().toLongLong(&ok);
        }
        if (!ok)
            return QStringLiteral("值 %1 不是整数").arg(Shown(value));
        if (n > kMaxInteger || n < -kMaxInteger)
            return QStringLiteral("值 %1 超出范围，绝对值不能大于 %2").arg(n).arg(kMaxInteger);
        value = n;
        return QString();
    }
    case TValueClass::Money:
    case TValueClass::Quantity:
    case TValueClass::Price:
    case TValueClass::Rate: {
        bool ok = true;
        double d = 0;
        if (value.typeId() == QMetaType::QString)
            d = value.toString().trimmed().toDouble(&ok);
        else
            d = value.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return QStringLiteral("值 %1 不是有效的数字").arg(Shown(value));
        const double limit = c == TValueClass::Money ? kMaxAmount : c == TValueClass::Quantity ? kMaxQuantity : c == TValueClass::Price ? kMaxPrice : kMaxRate;
        if (std::abs(d) >= limit)
            return QStringLiteral("值 %1 超出范围，绝对值须小于 %2").arg(NumberText(d), NumberText(limit));
        if (c == TValueClass::Money)
            d = RoundMoney(d);
        else if (c == TValueClass::Quantity)
            d = RoundQuantity(d);
        else if (c == TValueClass::Price)
            d = RoundPrice(d);
        value = d;
        return QString();
    }
    case TValueClass::Boolean: {
        if (value.typeId() == QMetaType::Bool)
            return QString();
        const QString s = value.toString().trimmed().toUpper();
        if (s == QLatin1String("1") || s == QLatin1String("T") || s == QLatin1String("TRUE"))
            value = true;
        else if (s == QLatin1String("0") || s == QLatin1String("F") || s == QLatin1String("FALSE"))
            value = false;
        else
            return QStringLiteral("值 %1 不是是/否值").arg(Shown(value));
        return QString();
    }
    case TValueClass::DateTime: {
        const QDateTime dt = ParseDateTime(value);
        if (!dt.isValid() || dt.date().year() < 1900 || dt.date().year() > 9999)
            return QStringLiteral("值 %1 不是有效的日期").arg(Shown(value));
        value = dt;
        return QString();
    }
    case TValueClass::Blob:
        return QString();
    case TValueClass::Text: {
        const QString s = value.toString();
        const QString refused = RefusedTextReason(s);
        if (!refused.isEmpty())
            return refused;
        const int max = DeclaredLength(declType);
        if (max > 0 && s.toUcs4().size() > max)
            return QStringLiteral("长度 %1 超过 %2 个字符").arg(s.toUcs4().size()).arg(max);
        value = s;
        return QString();
    }
    }
    return QString();
}

QString ColumnCaption(const QString& column)
{
    static const QHash<QString, QString> captions{
        {QStringLiteral("goodsid"), QStringLiteral("货品")},         {QStringLiteral("unitid"), QStringLiteral("单位")},
        {QStringLiteral("unitqty"), QStringLiteral("数量")},         {QStringLiteral("quantity"), QStringLiteral("基本数量")},
        {QStringLiteral("unitprice"), QStringLiteral("单价")},       {QStringLiteral("price"), QStringLiteral("基本单价")},
        {QStringLiteral("aprice"), QStringLiteral("成本价")},        {QStringLiteral("amount"), QStringLiteral("金额")},
        {QStringLiteral("goodsamt"), QStringLiteral("货款")},        {QStringLiteral("taxamt"), QStringLiteral("税额")},
        {QStringLiteral("totalamt"), QStringLiteral("合计金额")},    {QStringLiteral("disc"), QStringLiteral("折扣")},
        {QStringLiteral("taxrate"), QStringLiteral("税率")},         {QStringLiteral("storeid"), QStringLiteral("仓库")},
        {QStringLiteral("insid"), QStringLiteral("入库仓库")},       {QStringLiteral("outsid"), QStringLiteral("出库仓库")},
        {QStringLiteral("balsid"), QStringLiteral("盘点仓库")},      {QStringLiteral("instoreid"), QStringLiteral("调入仓库")},
        {QStringLiteral("outstoreid"), QStringLiteral("调出仓库")},  {QStringLiteral("clientid"), QStringLiteral("往来单位")},
        {QStringLiteral("empid"), QStringLiteral("职员")},           {QStringLiteral("exemanid"), QStringLiteral("经手人")},
        {QStringLiteral("departmentid"), QStringLiteral("部门")},    {QStringLiteral("bankid"), QStringLiteral("账户")},
        {QStringLiteral("inbankid"), QStringLiteral("转入账户")},    {QStringLiteral("outbankid"), QStringLiteral("转出账户")},
        {QStringLiteral("paytypeid"), QStringLiteral("结算方式")},   {QStringLiteral("shopid"), QStringLiteral("机构")},
        {QStringLiteral("satid"), QStringLiteral("库存变动类型")},   {QStringLiteral("ietypeid"), QStringLiteral("收支类型")},
        {QStringLiteral("subid"), QStringLiteral("科目")},           {QStringLiteral("linkmanid"), QStringLiteral("联系人")},
        {QStringLiteral("batchrefid"), QStringLiteral("批次")},      {QStringLiteral("batchcode"), QStringLiteral("批号")},
        {QStringLiteral("billdate"), QStringLiteral("单据日期")},    {QStringLiteral("code"), QStringLiteral("单据编号")},
        {QStringLiteral("memo"), QStringLiteral("备注")},            {QStringLiteral("referbillid"), QStringLiteral("引用单据")},
        {QStringLiteral("referitemno"), QStringLiteral("引用行号")}, {QStringLiteral("itemno"), QStringLiteral("行号")},
        {QStringLiteral("appamt"), QStringLiteral("费用金额")},      {QStringLiteral("opid"), QStringLiteral("操作员")},
    };
    return captions.value(column.toLower());
}

QString ColumnLabel(const QString& column)
{
    const QString c = ColumnCaption(column);
    return c.isEmpty() ? column : QStringLiteral("%1(%2)").arg(c, column);
}
