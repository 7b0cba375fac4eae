#include "platform/format.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

std::string intToText(std::int64_t value) {
    return std::to_string(value);
}

std::string floatToText(long double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

    constexpr int kDigits = 15;
    // %.14Le gives the value rounded to 15 significant digits with its decimal exponent.
    char scientific[64];
    std::snprintf(scientific, sizeof scientific, "%.*Le", kDigits - 1, value);
    char* exponentMark = std::strchr(scientific, 'e');
    const int exponent = std::atoi(exponentMark + 1);
    *exponentMark = '\0';

    std::string mantissa = scientific;  // "-d.dddddddddddddd"
    const bool negative = mantissa.front() == '-';
    if (negative) mantissa.erase(0, 1);
    std::string digits = mantissa.substr(0, 1) + mantissa.substr(2);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string text;
    if (exponent >= kDigits || exponent < -5) {
        text = digits.substr(0, 1);
        if (digits.size() > 1) text += "." + digits.substr(1);
        text += "E" + std::to_string(exponent);
    } else if (exponent >= 0) {
        if (static_cast<int>(digits.size()) <= exponent + 1) {
            text = digits + std::string(exponent + 1 - digits.size(), '0');
        } else {
            text = digits.substr(0, exponent + 1) + "." + digits.substr(exponent + 1);
        }
    } else {
        text = "0." + std::string(-exponent - 1, '0') + digits;
    }
    if (text == "0") return text;
    return negative ? "-" + text : text;
}

std::int64_t roundHalfEven(long double value) {
    // llrintl follows the current rounding mode, which Corvane never leaves: to nearest, ties
    // to even.
    return std::llrintl(value);
}

}  // namespace platform
