#include "platform/Decimal.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(Decimal, TextAtFifteenSignificantDigits)
{
    char b[400];
    EXPECT_STREQ(DecimalText15(35.099999999999994, b), "35.1");
    EXPECT_STREQ(DecimalText15(-0.000125, b), "-0.000125");
    EXPECT_STREQ(DecimalText15(1e20, b), "100000000000000000000");
    EXPECT_STREQ(DecimalText15(0.0, b), "0");
    EXPECT_STREQ(DecimalText15(123456789.0446, b), "123456789.0446");
    EXPECT_STREQ(DecimalText15(NAN, b), "");
}

TEST(Decimal, RoundsOnceAtAnyPlace)
{
    EXPECT_DOUBLE_EQ(DecimalRound(0.5, 0), 1.0);
    EXPECT_DOUBLE_EQ(DecimalRound(0.49, 0), 0.0);
    EXPECT_DOUBLE_EQ(DecimalRound(0.0049, 2), 0.0);
    EXPECT_DOUBLE_EQ(DecimalRound(0.005, 2), 0.01);
    EXPECT_DOUBLE_EQ(DecimalRound(-0.005, 2), -0.01);
    EXPECT_DOUBLE_EQ(DecimalRound(99999.999999995, 8), 100000.0);
    EXPECT_DOUBLE_EQ(DecimalRound(1e-7, 6), 0.0);
    EXPECT_DOUBLE_EQ(DecimalRound(5e-7, 6), 1e-6);
    EXPECT_DOUBLE_EQ(DecimalRound(1234.5, -1), 1230.0);
    EXPECT_DOUBLE_EQ(DecimalRound(1235.0, -1), 1240.0);
    EXPECT_DOUBLE_EQ(DecimalRound(4.0, -1), 0.0);
    EXPECT_DOUBLE_EQ(DecimalRound(5.0, -1), 10.0);
    EXPECT_FALSE(std::signbit(DecimalRound(-0.004, 2)));
    EXPECT_FALSE(std::signbit(DecimalRound(-0.0, 2)));
    EXPECT_TRUE(std::isnan(DecimalRound(NAN, 2)));
    EXPECT_EQ(DecimalRound(1e300, 2), 1e300);
    EXPECT_DOUBLE_EQ(DecimalRound(1.0 / 3.0, 40), 0.333333333333333); // places beyond 15 are clamped
}
