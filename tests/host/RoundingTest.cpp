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

// The decimal value of the double is rounded once: no digit is cut first and rounded again.
TEST(Rounding, OneStepOnFifteenSignificantDigits)
{
    EXPECT_DOUBLE_EQ(Round(123456789.0446, 2), 123456789.04);
    EXPECT_DOUBLE_EQ(TruncateCurrency(150000000.0049), 150000000.0);
    EXPECT_DOUBLE_EQ(Round(11868.38764045, 8), 11868.38764045);
    EXPECT_DOUBLE_EQ(Round(-11868.38764045, 8), -11868.38764045);
    EXPECT_DOUBLE_EQ(Round(12345.678901235, 8), 12345.67890124); // half at the 9th decimal
    EXPECT_DOUBLE_EQ(Round(123456789012.345, 2), 123456789012.35);
    EXPECT_DOUBLE_EQ(TruncateCurrency(999999999999.995), 1000000000000.0);
    EXPECT_DOUBLE_EQ(TruncateCurrency(123456789012.344), 123456789012.34);
    EXPECT_DOUBLE_EQ(Round(999999999999999.0, 2), 999999999999999.0);
    EXPECT_DOUBLE_EQ(Round(0.1 + 0.2, 8), 0.3);
    EXPECT_TRUE(std::isinf(Round(INFINITY, 2)));
    EXPECT_TRUE(std::isinf(TruncateCurrency(-INFINITY)));
    EXPECT_DOUBLE_EQ(Round(4.9e-324, 8), 0.0);
}

// Prices divided out of amounts (amount ÷ quantity) round like the decimal quotient they
// stand for: compare with exact integer arithmetic on a grid of amounts and quantities.
TEST(Rounding, DividedPricesMatchExactDecimalQuotients)
{
    int mismatches = 0, cases = 0;
    for (long long cents = 1; cents <= 200000; cents += 37) {
        for (int qty : {3, 7, 9, 11, 13, 17, 19, 21, 23, 29, 31, 33, 37, 41, 43, 47, 49, 53, 57, 59}) {
            // exact: cents / qty / 100 rounded half up at 8 decimals = floor((cents*1e6*2 + qty) / (2*qty))
            const __int128 num = __int128(cents) * 1000000;
            const long long exact = (long long)((num * 2 + qty) / (2 * qty)); // in 1e-8 units
            const double got = Round(double(cents) / 100.0 / qty, 8);
            ++cases;
            if (std::llround(got * 1e8) != exact)
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << cases;
}
