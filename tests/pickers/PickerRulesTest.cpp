// The pickers' rules that need no window: pinyin initials, the caller's shop column, the
// follow-up bill types, batch-code parts, and the package's slots being filled.
#include "package/PackageSeams.h"
#include "pickers/ClientPickEngine.h"
#include "pickers/GoodsPickEngine.h"
#include "pickers/SelectEngines.h"

#include <gtest/gtest.h>

namespace {

TEST(PickerRules, PinyinInitialsByCharacter)
{
    struct Case {
        const char* Name;
        const char* Typed;
        bool Match;
    } cases[] = {
        {"中板", "ZB", true},    {"中板", "zb", true},        {"中", "ZB", false},     {"中板", "", true},
        {"纸杯子", "ZB", true},  {"A中板", "AZB", true},      {"A中板", "ZB", false},  {"可口可乐330", "KKKL3", true},
        {" 中板", "ZB", false},  {"中-板", "Z-", false},      {"", "Z", false},        {"𠀋中", "ZZ", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameHasInitials(QString::fromUtf8(c.Name), QString::fromUtf8(c.Typed)), c.Match) << c.Name << " / " << c.Typed;
}

TEST(PickerRules, CallerShopColumnAndStatementsBindTypedText)
{
    EXPECT_EQ(QualifyShopId(QStringLiteral("shopid = 3")), QStringLiteral("a.shopid = 3"));
    EXPECT_EQ(QualifyShopId(QStringLiteral("(ShopID in (1,2)) and a.shopid > 0 and outshopid = 1")),
              QStringLiteral("(a.shopid in (1,2)) and a.shopid > 0 and outshopid = 1"));

    TGoodsPickQuery goods(nullptr);
    goods.Filter.Name = QStringLiteral("x' or '1'='1");
    goods.Filter.Code = QStringLiteral("50%");
    TSqlParams params;
    const QString sql = goods.Statement(params);
    EXPECT_FALSE(sql.contains(QStringLiteral("'1'='1")));
    ASSERT_EQ(params.size(), 2);
    EXPECT_EQ(params[0].second.toString(), QStringLiteral("%50\\%%"));
    EXPECT_EQ(params[1].second.toString(), QStringLiteral("%x' or '1'='1%"));
    // Stock figures of the caller's store only for stock kinds.
    goods.StoreID = 3;
    goods.Filter.KindClass = gkStock;
    EXPECT_TRUE(goods.StoreOnHand());
    goods.Filter.KindClass = gkNonStock;
    EXPECT_FALSE(goods.StoreOnHand());

    TClientPickQuery partners(nullptr);
    partners.Kind = ckVendor;
    partners.Filter.OweAmt = 100;
    partners.Filter.HasOweAmt = true;
    partners.Filter.OweCompare = TOweCompare::AtMost;
    EXPECT_TRUE(partners.Statement(params).contains(QStringLiteral("FROM v_vendor a")));
    EXPECT_TRUE(partners.Statement(params).contains(QStringLiteral("a.oweamt <= :oweamt")));
}

TEST(PickerRules, FollowUpBillTypesAndBranches)
{
    EXPECT_EQ(ProcessBillType(1, 9), 9);
    EXPECT_EQ(ProcessBillType(3, 5), 5);
    EXPECT_EQ(ProcessBillType(1, 7), -1); // other pay types are not opened
    EXPECT_EQ(ProcessBillType(2, 0), 8);
    EXPECT_EQ(ProcessBillType(5, 0), 11);
    EXPECT_EQ(ProcessBillType(6, 0), 13);
    EXPECT_EQ(ProcessStatement(7).Kind, 0);
    EXPECT_TRUE(MayViewProcessBill(2, false, 1, 2, 0, 0));
    EXPECT_FALSE(MayViewProcessBill(2, true, 1, 2, 0, 0));
    EXPECT_TRUE(MayViewProcessBill(6, true, 2, 1, 3, 2));
    EXPECT_FALSE(MayViewProcessBill(6, true, 1, 1, 3, 2));
}

TEST(PickerRules, BatchCodeParts)
{
    struct Case {
        const char* Code;
        const char* Prefix;
        const char* Number;
        const char* Suffix;
        bool Digit;
    } cases[] = {{"AB12C", "AB", "12", "C", true}, {"A1B2", "A1B", "2", "", true}, {"0099", "", "0099", "", true},
                 {"ABC", "ABC", "", "", false},    {"", "", "", "", false},        {"批号８", "批号８", "", "", false}};
    for (const Case& c : cases) {
        const TBatchCodeParts p = SplitBatchCode(QString::fromUtf8(c.Code));
        EXPECT_EQ(p.Prefix, QString::fromUtf8(c.Prefix)) << c.Code;
        EXPECT_EQ(p.Number, QString::fromUtf8(c.Number)) << c.Code;
        EXPECT_EQ(p.Suffix, QString::fromUtf8(c.Suffix)) << c.Code;
        EXPECT_EQ(p.HasDigit, c.Digit) << c.Code;
    }
    EXPECT_EQ(ParseCopyCount(QString()), 0);
    EXPECT_EQ(ParseCopyCount(QStringLiteral(" 12 ")), 12);
    EXPECT_EQ(ParseCopyCount(QStringLiteral("1.5")), -1);
}

TEST(PickerRules, PackageSlotsAreFilled)
{
    EXPECT_TRUE(TPackageSeams::PickGoods);
    EXPECT_TRUE(TPackageSeams::PickClient);
    EXPECT_TRUE(TPackageSeams::PickBatch);
    EXPECT_TRUE(TPackageSeams::ProcessSelect);
    EXPECT_TRUE(TPackageSeams::SelectBatchCodeCopy);
}

} // namespace
