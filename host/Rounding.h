#pragma once
// Rounding of amounts, prices and quantities.
//
// Binary doubles cannot hold most decimal fractions: 1.005 is stored as 1.00499999999999989,
// and 3 × 10 × 1.17 comes out as 35.099999999999994. Rounding such a value naively gives
// 1.00 and 35.09. Round therefore first reduces the value to 12 significant digits (far
// more than any amount, price or quantity carries, far fewer than a double's 15-17, so the
// representation error is gone), and only then rounds half away from zero at the wanted
// decimal place, working on the decimal text so that no new error comes in.
// Negative values round symmetrically: Round(-2.675, 2) = -2.68.

// Rounds half away from zero to `decimals` places (0..15; negative rounds to tens,
// hundreds...). NaN and infinities come back unchanged.
double Round(double value, int decimals);
// Money: rounded to the currency's 2 decimals.
double TruncateCurrency(double amount);
// The number of decimals of the currency (2).
int CurrencyDecimals();
