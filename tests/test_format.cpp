#include <gtest/gtest.h>

#include <limits>

#include "platform/format.h"

using platform::floatToText;
using platform::intToText;
using platform::roundHalfEven;

TEST(IntToText, PlainDigitsWithSignAndNoGrouping) {
    EXPECT_EQ(intToText(0), "0");
    EXPECT_EQ(intToText(1714285), "1714285");
    EXPECT_EQ(intToText(-42), "-42");
    EXPECT_EQ(intToText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(FloatToText, ClockQuotientsKeepTheirSignificantDigits) {
    EXPECT_EQ(floatToText(1496123456 / 500000.0), "2992.246912");
    EXPECT_EQ(floatToText(400123456 / 500000.0), "800.246912");
    EXPECT_EQ(floatToText(1500000000 / 500000.0), "3000");
}

TEST(FloatToText, FifteenSignificantDigitsRoundedNotTruncated) {
    EXPECT_EQ(floatToText(1.0L / 3.0L), "0.333333333333333");
    EXPECT_EQ(floatToText(2.0L / 3.0L), "0.666666666666667");
    EXPECT_EQ(floatToText(123456789012345.0L), "123456789012345");
}

TEST(FloatToText, SwitchesToExponentOutsideTheFixedRange) {
    EXPECT_EQ(floatToText(1e15L), "1E15");
    EXPECT_EQ(floatToText(1e20L), "1E20");
    EXPECT_EQ(floatToText(0.00001L), "0.00001");
    EXPECT_EQ(floatToText(0.000001L), "1E-6");
    EXPECT_EQ(floatToText(-2.5e-7L), "-2.5E-7");
}

TEST(FloatToText, WholeNumbersAndZero) {
    EXPECT_EQ(floatToText(0.0L), "0");
    EXPECT_EQ(floatToText(-0.0L), "0");
    EXPECT_EQ(floatToText(7.0L), "7");
    EXPECT_EQ(floatToText(-100.0L), "-100");
}

TEST(RoundHalfEven, ExactHalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(2.5L), 2);
    EXPECT_EQ(roundHalfEven(3.5L), 4);
    EXPECT_EQ(roundHalfEven(-2.5L), -2);
    EXPECT_EQ(roundHalfEven(2560 / 1024.0L), 2);
    EXPECT_EQ(roundHalfEven(3584 / 1024.0L), 4);
    EXPECT_EQ(roundHalfEven(511.945L), 512);
    EXPECT_EQ(roundHalfEven(4676.8L), 4677);
}

TEST(RoundHalfEven, KeepsSixtyFourBitRange) {
    EXPECT_EQ(roundHalfEven(6'000'000'000.4L), 6'000'000'000);
    EXPECT_EQ(roundHalfEven(-6'000'000'000.6L), -6'000'000'001);
}

TEST(FloatToText, TakesTheSeparatorItIsGiven) {
    EXPECT_EQ(floatToText(2445.78, ","), "2445,78");
    EXPECT_EQ(floatToText(0.5L, ","), "0,5");
    EXPECT_EQ(floatToText(1.5e20L, ","), "1,5E20");
    // A separator of two bytes counts as one character when the clock text is cut.
    EXPECT_EQ(platform::firstCharacters(floatToText(2445.78, "\xd9\xab"), 7),
              "2445\xd9\xab"
              "78");
}
