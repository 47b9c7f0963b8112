// Amounts in Chinese capitals. Every expected text below was written by hand from the
// writing rules (numeral + unit, 亿/万/元 kept on zero digits, one 零 before the next
// non-zero digit, 整 when there is no fen), not produced by running the function.
#include "services/MoneyToChinese.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }
QT_END_NAMESPACE

namespace {

struct TCase {
    double Amount;
    const char* Expected;
};

void ExpectAll(std::initializer_list<TCase> cases)
{
    for (const TCase& c : cases)
        EXPECT_EQ(MoneyToChinese(c.Amount), QString::fromUtf8(c.Expected)) << "amount " << c.Amount;
}

} // namespace

TEST(MoneyToChinese, SmallAmountsAndFractions)
{
    ExpectAll({
        {0, "元整"},
        {0.05, "元零伍分"},
        {0.5, "元零伍角整"},
        {1.2, "壹元贰角整"},
        {10, "壹拾元整"},
        {100.01, "壹佰元零壹分"},
        {305.6, "叁佰零伍元陆角整"},
    });
}

TEST(MoneyToChinese, TenThousandAndHundredMillionGroups)
{
    ExpectAll({
        {1000000, "壹佰万元整"},
        {100001, "壹拾万零壹元整"},
        {100000000, "壹亿元整"},
        {100000001, "壹亿零壹元整"},
        {100010000.5, "壹亿零壹万元零伍角整"},
        {1000100000, "壹拾亿零壹拾万元整"},
        {123456789012.34, "壹仟贰佰叁拾肆亿伍仟陆佰柒拾捌万玖仟零壹拾贰元叁角肆分"},
    });
}

TEST(MoneyToChinese, NegativeAmountsBeginWithFu)
{
    ExpectAll({
        {-1.2, "负壹元贰角整"},
        {-0.05, "负元零伍分"},
        {-100010000.5, "负壹亿零壹万元零伍角整"},
    });
    // Rounds to nothing: no sign is written for a zero amount.
    EXPECT_EQ(MoneyToChinese(-0.001), QStringLiteral("元整"));
}

TEST(MoneyToChinese, RoundsLikeACurrencyValue)
{
    // 2.675 is 2.67499999... as a double; as a four-decimal currency it is 2.6750 and
    // rounds half away from zero to 2.68.
    ExpectAll({
        {2.675, "贰元陆角捌分"},
        {0.005, "元零壹分"},
        {-0.005, "负元零壹分"},
        {9.999, "壹拾元整"},
    });
}

TEST(MoneyToChinese, AmountsBeyondTheUnitTableAreRefused)
{
    EXPECT_EQ(MoneyToChinese(999999999999.99), QStringLiteral("玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"));
    EXPECT_THROW(MoneyToChinese(999999999999.995), EConvertError); // rounds up to a trillion
    EXPECT_THROW(MoneyToChinese(1e12), EConvertError);
    EXPECT_THROW(MoneyToChinese(9999999999999.49), EConvertError);
    EXPECT_THROW(MoneyToChinese(1e13), EConvertError);
    EXPECT_THROW(MoneyToChinese(-1e13), EConvertError);
    EXPECT_THROW(MoneyToChinese(std::nan("")), EConvertError);
}
