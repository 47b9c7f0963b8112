#pragma once
// Rounding of amounts, prices and quantities.
//
// Round takes the decimal value a double stands for (its 15 significant digits, see
// platform/Decimal.h) and rounds it once, half away from zero: Round(1.005, 2) = 1.01,
// 3 × 10 × 1.17 → 35.1, Round(-2.675, 2) = -2.68, Round(123456789.0446, 2) = 123456789.04.

// Rounds half away from zero to `decimals` places (-15..15; negative rounds to tens,
// hundreds...). NaN and infinities come back unchanged.
double Round(double value, int decimals);
// Money: rounded (half away from zero) to the currency's 2 decimals.
double TruncateCurrency(double amount);
// The number of decimals of the currency (2).
int CurrencyDecimals();
