// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <limits>

#include "platform/format.h"

using platform::floatToText;
using platform::roundHalfEven;

// Fifteen significant digits, rounded; trailing zeros and a bare point dropped; the exponent
// form from 1E15 up and below 1E-5. The clock quotients' first seven characters are the
// clock text's cases.
TEST(FloatToText, FifteenSignificantDigitsAndTheExponentOutsideTheFixedRange) {
    for (const auto& [value, text] : {std::pair{1.0L / 3.0L, "0.333333333333333"},
                                      {2.0L / 3.0L, "0.666666666666667"},
                                      {123456789012345.0L, "123456789012345"},
                                      {1e15L, "1E15"},
                                      {1e20L, "1E20"},
                                      {0.00001L, "0.00001"},
                                      {0.000001L, "1E-6"},
                                      {-2.5e-7L, "-2.5E-7"},
                                      {0.0L, "0"},
                                      {-0.0L, "0"},
                                      {7.0L, "7"},
                                      {-100.0L, "-100"}})
        EXPECT_EQ(floatToText(value), text) << text;
}

TEST(RoundHalfEven, ExactHalvesGoToTheEvenNeighbourInSixtyFourBits) {
    EXPECT_EQ(roundHalfEven(2.5L), 2);
    EXPECT_EQ(roundHalfEven(3.5L), 4);
    EXPECT_EQ(roundHalfEven(-2.5L), -2);
    EXPECT_EQ(roundHalfEven(511.945L), 512);
    EXPECT_EQ(roundHalfEven(4676.8L), 4677);
    EXPECT_EQ(roundHalfEven(6'000'000'000.4L), 6'000'000'000);
    EXPECT_EQ(roundHalfEven(-6'000'000'000.6L), -6'000'000'001);
}

TEST(FloatToText, TakesTheSeparatorItIsGiven) {
    EXPECT_EQ(floatToText(0.5L, ","), "0,5");
    EXPECT_EQ(floatToText(1.5e20L, ","), "1,5E20");
    // A separator of two bytes counts as one character when the clock text is cut.
    EXPECT_EQ(platform::firstCharacters(floatToText(2445.78, "\xd9\xab"), 7),
              "2445\xd9\xab"
              "78");
}
