#pragma once
// Decimal rounding of binary doubles, shared by the host's Round, the SQL functions and the
// server's storage rules.
//
// A double holds most decimal fractions only approximately (1.005 is 1.00499999999999989,
// 3 × 10 × 1.17 is 35.099999999999994). A double carries 15 significant decimal digits
// faithfully, so the value it stands for is its decimal text at 15 significant digits; that
// text is rounded once, half away from zero, at the wanted decimal place. Rounding in two
// steps (first to fewer digits, then to the place) would round some halves twice.

// Rounds `value` half away from zero to `decimals` places (clamped to -15..15; negative
// places round to tens, hundreds...). NaN and infinities come back unchanged; the result is
// never a negative zero.
double DecimalRound(double value, int decimals);

// The decimal text of `value` at 15 significant digits, without exponent and without
// trailing zeros ("35.1", "-0.000125", "100000000000000000000"). Empty for NaN/inf.
const char* DecimalText15(double value, char (&buffer)[400]);
