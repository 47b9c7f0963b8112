#include "platform/Decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
// The 15 significant digits of |value| and the position of the decimal point among them
// (value = 0.d1d2..d15 × 10^point).
void Digits15(double value, std::string& digits, int& point)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value)); // d.dddddddddddddde±XX
    digits.assign(1, buf[0]);
    digits.append(buf + 2, 14);
    point = std::atoi(std::strchr(buf, 'e') + 1) + 1;
}
} // namespace

double DecimalRound(double value, int decimals)
{
    if (!std::isfinite(value) || value == 0.0)
        return value == 0.0 ? 0.0 : value;
    decimals = std::clamp(decimals, -15, 15);
    // Most figures already stand at the place (quantities, prices, stored amounts): a value
    // that is the double nearest to k / 10^decimals, with k of at most 15 digits, has those
    // digits as its 15 significant ones and comes back unchanged from the rounding below.
    if (decimals >= 0) {
        static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
        const double k = std::nearbyint(value * kScale[decimals]);
        if (std::fabs(k) < 1e15 && k / kScale[decimals] == value)
            return value;
    }
    std::string digits;
    int point = 0;
    Digits15(value, digits, point);
    const int keep = point + decimals; // leading digits that stay
    std::string kept;
    if (keep >= int(digits.size())) {
        kept = digits;
        // the value already has no digit beyond the place: scale the 15 digits back
        const double r = std::strtod((kept + "e" + std::to_string(point - int(digits.size()))).c_str(), nullptr);
        return value < 0 ? -r : r;
    }
    if (keep < 0)
        return 0.0;
    kept = digits.substr(0, size_t(keep));
    if (digits[size_t(keep)] >= '5') {
        int i = keep - 1;
        while (i >= 0 && kept[size_t(i)] == '9')
            kept[size_t(i--)] = '0';
        if (i >= 0)
            ++kept[size_t(i)];
        else
            kept.insert(kept.begin(), '1');
    }
    if (kept.empty() || kept.find_first_not_of('0') == std::string::npos)
        return 0.0;
    // kept × 10^-decimals, converted once (strtod rounds correctly to the nearest double)
    const double r = std::strtod((kept + "e" + std::to_string(-decimals)).c_str(), nullptr);
    return value < 0 ? -r : r;
}

const char* DecimalText15(double value, char (&buffer)[400])
{
    buffer[0] = '\0';
    if (!std::isfinite(value))
        return buffer;
    if (value == 0.0) {
        std::strcpy(buffer, "0");
        return buffer;
    }
    std::string digits;
    int point = 0;
    Digits15(value, digits, point);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = value < 0 ? "-" : "";
    if (point <= 0) {
        out += "0." + std::string(size_t(-point), '0') + digits;
    } else if (point >= int(digits.size())) {
        out += digits + std::string(size_t(point - int(digits.size())), '0');
    } else {
        out += digits.substr(0, size_t(point)) + "." + digits.substr(size_t(point));
    }
    if (out.size() >= sizeof buffer)
        return buffer;
    std::strcpy(buffer, out.c_str());
    return buffer;
}
