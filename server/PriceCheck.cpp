#include "server/PriceCheck.h"

#include "platform/DataSet.h"
#include "server/ServerSql.h"

#include <QStringList>

namespace {

constexpr double kEps = 0.0000001;

QVector<TFieldDef> RowFields(const QString& priceField)
{
    return {{QStringLiteral("itemno"), TFieldType::ftInteger},
            {QStringLiteral("goodsid"), TFieldType::ftInteger},
            {QStringLiteral("code"), TFieldType::ftString, 32},
            {QStringLiteral("name"), TFieldType::ftString, 128},
            {QStringLiteral("specs"), TFieldType::ftString, 64},
            {QStringLiteral("unitname"), TFieldType::ftString, 16},
            {QStringLiteral("unitprice"), TFieldType::ftFloat},
            {priceField, TFieldType::ftFloat}};
}

} // namespace

bool LinePriceCheckApplies(TClientConnection& con, int cvFlag, int stockDir)
{
    const bool sale = cvFlag == 1;
    if ((cvFlag != 1 && cvFlag != 2) || (sale && stockDir > 0) || (!sale && stockDir < 0))
        return false;
    return AccountOption(con, sale ? QStringLiteral("CHECKMINSALEPRICE") : QStringLiteral("CHECKMAXBUYPRICE")) == QLatin1String("1");
}

TPriceCheck CheckLinePrices(TClientConnection& con, int cvFlag, int stockDir, const QVector<TRowValues>& lines)
{
    TPriceCheck check;
    const bool sale = cvFlag == 1;
    if (!LinePriceCheckApplies(con, cvFlag, stockDir))
        return check;
    const QString priceField = sale ? QStringLiteral("sprice") : QStringLiteral("pprice");
    QVector<QVariantList> beyondLimit, beyondReference;
    QStringList text;
    for (const TRowValues& line : lines) {
        if (line.value(QStringLiteral("ispresent")).toString().trimmed().compare(QLatin1String("T"), Qt::CaseInsensitive) == 0)
            continue;
        const auto units = SelectMaps(con, QStringLiteral("select g.code, g.name, g.specs, u.unitname, u.minsprice, u.maxpprice, u.sprice, u.pprice"
                                                         " from goodsunit u join goods g on g.goodsid = u.goodsid where u.unitid = :u"),
                                      {{QStringLiteral("u"), line.value(QStringLiteral("unitid"))}});
        if (units.isEmpty())
            continue;
        const TRowValues& u = units.first();
        const double price = line.value(QStringLiteral("unitprice")).toDouble();
        const double limit = u.value(sale ? QStringLiteral("minsprice") : QStringLiteral("maxpprice")).toDouble();
        const double reference = u.value(priceField).toDouble();
        auto row = [&](double compared) {
            return QVariantList{line.value(QStringLiteral("itemno")), line.value(QStringLiteral("goodsid")), u.value(QStringLiteral("code")),
                                u.value(QStringLiteral("name")), u.value(QStringLiteral("specs")), u.value(QStringLiteral("unitname")), price,
                                compared};
        };
        const auto beyond = [&](double bound) { return bound > kEps && (sale ? price < bound - kEps : price > bound + kEps); };
        if (beyond(limit)) {
            beyondLimit << row(limit);
            text << QStringLiteral("[%1] %2  单位:%3  价格:%4  %5:%6")
                        .arg(u.value(QStringLiteral("code")).toString(), u.value(QStringLiteral("name")).toString(),
                             u.value(QStringLiteral("unitname")).toString(), QString::number(price, 'g', 12),
                             sale ? QStringLiteral("最低售价") : QStringLiteral("最高进价"), QString::number(limit, 'g', 12));
        }
        if (beyond(reference))
            beyondReference << row(reference);
    }
    if (beyondLimit.isEmpty())
        return check;
    check.Message = (sale ? QStringLiteral("以下货品的价格低于系统的最低售价:\n") : QStringLiteral("以下货品的价格高于系统的最高进价:\n"))
                    + text.join(u'\n');
    check.LimitRows = BuildDataPacketXML(RowFields(priceField), beyondLimit);
    if (!beyondReference.isEmpty())
        check.ReferenceRows = BuildDataPacketXML(RowFields(priceField), beyondReference);
    return check;
}
