// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <utility>

#include "platform/rounding.h"
#include "present/format.h"

using platform::roundHalfEven;
using present::floatToText;

// Fifteen significant digits, rounded; trailing zeros and a bare point dropped; the exponent
// form from 1E15 up and below 1E-5. The clock quotients' first seven characters are the
// clock text's cases.
TEST(FloatToText, FifteenSignificantDigitsAndTheExponentOutsideTheFixedRange) {
    using T = std::pair<long double, const char*>;
    for (const auto& [value, text] :
         {T{1.0L / 3.0L, "0.333333333333333"}, T{2.0L / 3.0L, "0.666666666666667"},
          T{123456789012345.0L, "123456789012345"}, T{1e15L, "1E15"}, T{1e20L, "1E20"},
          T{0.00001L, "0.00001"}, T{0.000001L, "1E-6"}, T{-2.5e-7L, "-2.5E-7"}, T{0.0L, "0"},
          T{-0.0L, "0"}, T{7.0L, "7"}, T{-100.0L, "-100"}})
        EXPECT_EQ(floatToText(value), text) << text;
}

TEST(RoundHalfEven, ExactHalvesGoToTheEvenNeighbourInSixtyFourBits) {
    using R = std::pair<long double, std::int64_t>;
    for (const auto& [x, rounded] :
         {R{2.5L, 2}, R{3.5L, 4}, R{-2.5L, -2}, R{511.945L, 512}, R{4676.8L, 4677},
          R{6'000'000'000.4L, 6'000'000'000}, R{-6'000'000'000.6L, -6'000'000'001}})
        EXPECT_EQ(roundHalfEven(x), rounded) << x;
}

TEST(FloatToText, TakesTheSeparatorItIsGiven) {
    EXPECT_EQ(floatToText(0.5L, ","), "0,5");
    EXPECT_EQ(floatToText(1.5e20L, ","), "1,5E20");
    // A separator of two bytes counts as one character when the clock text is cut.
    EXPECT_EQ(present::firstCharacters(floatToText(2445.78, "\xd9\xab"), 7),
              "2445\xd9\xab"
              "78");
}
