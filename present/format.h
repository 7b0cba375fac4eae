// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Number-to-text conversions that every caption of the window and every line of the report
// use.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace present {

// Plain decimal digits with a leading '-' for negatives, no grouping.
std::string intToText(std::int64_t value);

// The user's decimal separator: the C locale's, which QApplication sets from the
// environment ("," under de_DE, "." under C, POSIX or en_US).
std::string decimalSeparator();

// General format with up to 15 significant digits: "2992.246912", "800.246912", "3000",
// "0.00001", and an exponent from 1E15 up or below 1E-5: "1E20", "1E-6". Trailing zeros
// are dropped.
std::string floatToText(long double value, std::string_view separator);
inline std::string floatToText(long double value) {
    return floatToText(value, decimalSeparator());
}

// The first `count` characters of a UTF-8 text, never cutting one in two.
std::string firstCharacters(std::string_view text, std::size_t count);

}  // namespace present
