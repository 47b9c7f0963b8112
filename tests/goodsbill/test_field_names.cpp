// Which routine a changed field goes to, by the bill's field-name table.
#include "goodsbill/GoodsFieldNames.h"

#include <gtest/gtest.h>

TEST(TGoodsFieldNamesTest, RolesByDefaultOrByTheBillsOwnNames)
{
    const TGoodsFieldNames names;
    const std::pair<const char*, TLineRole> expected[] = {
        {"goodsid", TLineRole::Goods},     {"UNITID", TLineRole::Unit},         {"NPrice", TLineRole::NPrice},
        {"unitaprice", TLineRole::UnitAPrice}, {"produceddate", TLineRole::ProducedDate}, {"userdef3", TLineRole::UserDef},
        {"ispresent", TLineRole::IsPresent}, {"taxprice", TLineRole::TaxPrice},
        // fields no routine reacts to
        {"quantity", TLineRole::None}, {"price", TLineRole::None}, {"discamt", TLineRole::None},
        {"userdef4", TLineRole::None}, {"unit", TLineRole::None},  {"", TLineRole::None},
    };
    for (const auto& [name, role] : expected)
        EXPECT_EQ(names.RoleOf(QString::fromLatin1(name)), role) << name;

    TGoodsFieldNames count; // a stock count prices its lines in ANPRICE
    count.UnitPrice = QStringLiteral("ANPRICE");
    count.Amount.clear();
    EXPECT_EQ(count.RoleOf(QStringLiteral("anprice")), TLineRole::UnitPrice);
    EXPECT_EQ(count.RoleOf(QStringLiteral("unitprice")), TLineRole::None);
    EXPECT_EQ(count.RoleOf(QStringLiteral("amount")), TLineRole::None);
    EXPECT_TRUE(count.FollowUpQty.isEmpty());

    // two roles under one name: the earlier routine of the hook wins
    count.TaxPrice = QStringLiteral("unitqty");
    EXPECT_EQ(count.RoleOf(QStringLiteral("unitqty")), TLineRole::UnitQty);
}
