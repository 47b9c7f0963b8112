#include "goodsbill/GoodsFieldNames.h"

#include <initializer_list>
#include <utility>

TLineRole TGoodsFieldNames::RoleOf(const QString& fieldName) const
{
    const QString name = fieldName.trimmed();
    if (name.isEmpty())
        return TLineRole::None;
    auto is = [&name](const QString& tableName) {
        return !tableName.isEmpty() && name.compare(tableName, Qt::CaseInsensitive) == 0;
    };
    // The order of the field-change hook: the first role whose name matches wins, so a bill
    // that gives two roles one name gets the earlier routine.
    const std::pair<const QString*, TLineRole> table[] = {
        {&GoodsID, TLineRole::Goods},     {&UnitID, TLineRole::Unit},         {&UnitQty, TLineRole::UnitQty},
        {&NPrice, TLineRole::NPrice},     {&UnitPrice, TLineRole::UnitPrice}, {&Disc, TLineRole::Disc},
        {&TaxRate, TLineRole::TaxRate},   {&GoodsAmt, TLineRole::GoodsAmt},   {&TaxAmt, TLineRole::TaxAmt},
        {&Amount, TLineRole::Amount},
    };
    for (const auto& [tableName, role] : table)
        if (is(*tableName))
            return role;
    if (is(QStringLiteral("produceddate")))
        return TLineRole::ProducedDate;
    if (is(BatchCode))
        return TLineRole::BatchCode;
    if (is(TaxPrice))
        return TLineRole::TaxPrice;
    if (is(QStringLiteral("UnitAprice")))
        return TLineRole::UnitAPrice;
    if (is(IsPresent))
        return TLineRole::IsPresent;
    for (const char* userDef : {"userdef1", "userdef2", "userdef3"})
        if (is(QString::fromLatin1(userDef)))
            return TLineRole::UserDef;
    return TLineRole::None;
}
