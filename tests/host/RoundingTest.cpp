#include "host/Rounding.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(Rounding, BinaryArtefactsDoNotBite)
{
    EXPECT_DOUBLE_EQ(Round(5.0999999999, 2), 5.1);
    EXPECT_DOUBLE_EQ(Round(1.005, 2), 1.01);
    EXPECT_DOUBLE_EQ(Round(2.675, 2), 2.68);
    EXPECT_DOUBLE_EQ(Round(1.0049999, 2), 1.0);
    EXPECT_DOUBLE_EQ(Round(0.285, 2), 0.29);
    EXPECT_DOUBLE_EQ(Round(1.45, 1), 1.5);
    EXPECT_DOUBLE_EQ(Round(8.325, 2), 8.33);

    // 3 units at 10 with 17 % tax: 30 net, 5.1 tax, 35.1 gross.
    const double qty = 3, price = 10, rate = 17;
    const double net = TruncateCurrency(qty * price);
    const double tax = TruncateCurrency(net * rate / 100);
    const double gross = TruncateCurrency(qty * price * (1 + rate / 100));
    EXPECT_DOUBLE_EQ(net, 30.0);
    EXPECT_DOUBLE_EQ(tax, 5.1);
    EXPECT_DOUBLE_EQ(gross, 35.1);
    EXPECT_DOUBLE_EQ(net + tax, gross);
}

TEST(Rounding, NegativesAreSymmetricAndHalvesGoAwayFromZero)
{
    EXPECT_DOUBLE_EQ(Round(-2.675, 2), -2.68);
    EXPECT_DOUBLE_EQ(Round(-1.005, 2), -1.01);
    EXPECT_DOUBLE_EQ(Round(2.5, 0), 3.0);
    EXPECT_DOUBLE_EQ(Round(-2.5, 0), -3.0);
    EXPECT_DOUBLE_EQ(Round(0.5, 0), 1.0);
    EXPECT_DOUBLE_EQ(TruncateCurrency(-35.099999999999994), -35.1);
    EXPECT_FALSE(std::signbit(Round(-0.001, 2))); // no negative zero
}

TEST(Rounding, PlacesCarriesAndLargeValues)
{
    EXPECT_DOUBLE_EQ(Round(9.995, 2), 10.0);
    EXPECT_DOUBLE_EQ(Round(99.9999996, 6), 100.0);
    EXPECT_DOUBLE_EQ(Round(1.23456789, 8), 1.23456789);
    EXPECT_DOUBLE_EQ(Round(0.123456785, 8), 0.12345679);
    EXPECT_DOUBLE_EQ(Round(12.3456, 0), 12.0);
    EXPECT_DOUBLE_EQ(Round(1250, -2), 1300.0);
    EXPECT_DOUBLE_EQ(Round(1234567.125, 2), 1234567.13);
    EXPECT_DOUBLE_EQ(Round(0.000125, 5), 0.00013);
    EXPECT_DOUBLE_EQ(Round(1e20, 2), 1e20);
    EXPECT_DOUBLE_EQ(Round(0.0, 2), 0.0);
    EXPECT_TRUE(std::isnan(Round(NAN, 2)));
    EXPECT_DOUBLE_EQ(Round(7.0, 2), 7.0);
}
