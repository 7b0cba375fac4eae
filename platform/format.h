#pragma once
// Number-to-text conversions and the rounding rule that every caption of the window uses.

#include <cstdint>
#include <string>

namespace platform {

// Plain decimal digits with a leading '-' for negatives, no grouping.
std::string intToText(std::int64_t value);

// General format with up to 15 significant digits: "2992.246912", "800.246912", "3000",
// "0.00001", and an exponent from 1E15 up or below 1E-5: "1E20", "1E-6". Trailing zeros
// are dropped; '.' is the decimal separator.
std::string floatToText(long double value);

// Nearest integer with exact halves going to the even neighbour, from an 80-bit value.
std::int64_t roundHalfEven(long double value);

}  // namespace platform
