#include "host/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
// Half-away-from-zero rounding of a non-negative decimal text "ddd.ddd" (no exponent) to
// `decimals` places; returns the rounded text.
std::string RoundDecimalText(const std::string& text, int decimals)
{
    std::string intPart = text, frac;
    const auto dot = text.find('.');
    if (dot != std::string::npos) {
        intPart = text.substr(0, dot);
        frac = text.substr(dot + 1);
    }
    std::string digits = intPart + frac; // all digits, decimal point after intPart.size()
    const int pointPos = static_cast<int>(intPart.size());
    const int keep = pointPos + decimals; // number of leading digits kept
    if (keep >= static_cast<int>(digits.size()))
        return text;
    if (keep < 0)
        return "0";
    const bool roundUp = digits[keep] >= '5';
    std::string kept = digits.substr(0, keep);
    int intLen = pointPos;
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && kept[i] == '9') {
            kept[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++kept[i];
        } else {
            kept.insert(kept.begin(), '1');
            ++intLen;
        }
    }
    if (decimals <= 0) {
        // Digits below the decimal place become zeros.
        std::string r = kept.empty() ? std::string("0") : kept;
        for (int i = 0; i < -decimals; ++i)
            r += '0';
        return r;
    }
    return kept.substr(0, intLen) + "." + kept.substr(intLen);
}
} // namespace

double Round(double value, int decimals)
{
    if (!std::isfinite(value) || value == 0.0)
        return value;
    if (decimals > 15)
        decimals = 15;
    if (decimals < -15)
        decimals = -15;
    const bool negative = value < 0;
    const double a = std::fabs(value);

    // 12 significant digits, printed as plain decimal text.
    char sig[64];
    std::snprintf(sig, sizeof sig, "%.11e", a);
    const double cleaned = std::strtod(sig, nullptr);
    const int exponent = static_cast<int>(std::floor(std::log10(cleaned)));
    const int fracDigits = std::max(0, 11 - exponent);
    if (fracDigits > 330)
        return value; // denormal-scale values are far below any decimal place we round to
    std::string plain(400, '\0');
    const int n = std::snprintf(plain.data(), plain.size(), "%.*f", fracDigits, cleaned);
    plain.resize(static_cast<size_t>(n));

    const std::string rounded = RoundDecimalText(plain, decimals);
    const double r = std::strtod(rounded.c_str(), nullptr);
    return negative && r != 0.0 ? -r : r;
}

int CurrencyDecimals() { return 2; }

double TruncateCurrency(double amount) { return Round(amount, CurrencyDecimals()); }
