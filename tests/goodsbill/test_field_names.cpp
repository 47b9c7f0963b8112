// Which routine a changed field goes to, by the bill's field-name table.
#include "goodsbill/GoodsFieldNames.h"

#include <gtest/gtest.h>

namespace {

TEST(TGoodsFieldNamesTest, DefaultNamesReachTheirRoutinesWhateverTheCase)
{
    const TGoodsFieldNames names;
    const std::pair<const char*, TLineRole> expected[] = {
        {"goodsid", TLineRole::Goods},       {"UNITID", TLineRole::Unit},         {"unitqty", TLineRole::UnitQty},
        {"NPrice", TLineRole::NPrice},       {"unitprice", TLineRole::UnitPrice}, {"disc", TLineRole::Disc},
        {"taxrate", TLineRole::TaxRate},     {"goodsamt", TLineRole::GoodsAmt},   {"taxamt", TLineRole::TaxAmt},
        {"amount", TLineRole::Amount},       {"produceddate", TLineRole::ProducedDate},
        {"batchcode", TLineRole::BatchCode}, {"taxprice", TLineRole::TaxPrice},   {"unitaprice", TLineRole::UnitAPrice},
        {"UnitAprice", TLineRole::UnitAPrice}, {"ispresent", TLineRole::IsPresent}, {"userdef2", TLineRole::UserDef},
        // fields no routine reacts to
        {"quantity", TLineRole::None},       {"price", TLineRole::None},          {"discamt", TLineRole::None},
        {"aprice", TLineRole::None},         {"userdef4", TLineRole::None},       {"memo", TLineRole::None},
        {"unit", TLineRole::None},           {"", TLineRole::None},
    };
    for (const auto& [name, role] : expected)
        EXPECT_EQ(names.RoleOf(QString::fromLatin1(name)), role) << name;
}

TEST(TGoodsFieldNamesTest, ABillsOwnNamesReplaceTheDefaults)
{
    TGoodsFieldNames count; // a stock count prices its lines in ANPRICE
    count.UnitPrice = QStringLiteral("ANPRICE");
    EXPECT_EQ(count.RoleOf(QStringLiteral("anprice")), TLineRole::UnitPrice);
    EXPECT_EQ(count.RoleOf(QStringLiteral("unitprice")), TLineRole::None);

    // the follow-up quantity is empty by default and never matches a field
    EXPECT_TRUE(count.FollowUpQty.isEmpty());
    count.Amount.clear();
    EXPECT_EQ(count.RoleOf(QString()), TLineRole::None);
    EXPECT_EQ(count.RoleOf(QStringLiteral("amount")), TLineRole::None);

    // two roles under one name: the earlier routine of the hook wins
    TGoodsFieldNames odd;
    odd.TaxPrice = QStringLiteral("unitqty");
    EXPECT_EQ(odd.RoleOf(QStringLiteral("unitqty")), TLineRole::UnitQty);
}

} // namespace
