// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rounding rule of every figure shown as an integer.

#include <cmath>
#include <cstdint>

namespace platform {

// Nearest integer with exact halves going to the even neighbour, from an 80-bit value.
inline std::int64_t roundHalfEven(long double value) {
    // llrintl follows the current rounding mode, which Corvane never leaves: to nearest, ties
    // to even.
    return std::llrintl(value);
}

}  // namespace platform
