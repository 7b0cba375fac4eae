// SPDX-License-Identifier: GPL-3.0-or-later
#include "present/format.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace present {

std::string intToText(std::int64_t value) {
    return std::to_string(value);
}

std::string decimalSeparator() {
    const char* point = std::localeconv()->decimal_point;
    return point != nullptr && *point != '\0' ? point : ".";
}

std::string floatToText(long double value, std::string_view separator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";

    constexpr int kDigits = 15;
    // The value rounded to 15 significant digits with its decimal exponent, "d.ddde+XX",
    // written the same whatever the locale.
    char scientific[64];
    const auto written = std::to_chars(scientific, scientific + sizeof scientific - 1, value,
                                       std::chars_format::scientific, kDigits - 1);
    *written.ptr = '\0';
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
        if (digits.size() > 1) text += std::string(separator) + digits.substr(1);
        text += "E" + std::to_string(exponent);
    } else if (exponent >= 0) {
        if (static_cast<int>(digits.size()) <= exponent + 1) {
            text = digits + std::string(exponent + 1 - digits.size(), '0');
        } else {
            text = digits.substr(0, exponent + 1) + std::string(separator) +
                   digits.substr(exponent + 1);
        }
    } else {
        text = "0" + std::string(separator) + std::string(-exponent - 1, '0') + digits;
    }
    if (text == "0") return text;
    return negative ? "-" + text : text;
}

std::string firstCharacters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t characters = 0; end < text.size(); ++end) {
        const bool continuation = (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
        if (!continuation && characters++ == count) break;
    }
    return std::string(text.substr(0, end));
}

}  // namespace present
