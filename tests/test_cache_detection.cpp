#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "sysinfo/cache_detection.h"

using sysinfo::cacheSizeText;
using sysinfo::CacheSweepRates;

namespace {

// `before` up to sweep k-1 and `after` from sweep k on: only test k sees a change.
CacheSweepRates stepAt(int k, std::int32_t before, std::int32_t after) {
    CacheSweepRates rates{};
    for (int i = 0; i < sysinfo::kCacheSweepCount; ++i) rates[i] = i < k ? before : after;
    return rates;
}

}  // namespace

TEST(CacheDetection, HighestPassingTestNamesTheSize) {
    // Drops at 32 KiB -> 64 KiB (test 3) and 512 KiB -> 1 MiB (test 7); the last one wins.
    const CacheSweepRates rates{9000, 9000, 9000, 5000, 5000, 5000,
                                5000, 2000, 2000, 2000, 2000, 2000};
    EXPECT_EQ(cacheSizeText(rates), "512 Kbyte");
}

TEST(CacheDetection, ProductEqualToTheFasterRateIsNoDrop) {
    // 137 against 100: 1.37 x 100 comes out as exactly 137, not less.
    EXPECT_EQ(cacheSizeText(stepAt(5, 137, 100)), std::nullopt);
    EXPECT_EQ(cacheSizeText(stepAt(5, 1370, 1000)), std::nullopt);
    EXPECT_EQ(cacheSizeText(stepAt(5, 138, 100)), "128 Kbyte");
}

TEST(CacheDetection, GentleDeclineFindsNothing) {
    // Each step falls by 1.29 at most, as a faithful sweep over written memory does here.
    const CacheSweepRates rates{30000, 29500, 29000, 25000, 24800, 24500,
                                24000, 23000, 20000, 15500, 15000, 14800};
    EXPECT_EQ(cacheSizeText(rates), std::nullopt);
    CacheSweepRates flat{};
    flat.fill(7000);
    EXPECT_EQ(cacheSizeText(flat), std::nullopt);
}

TEST(CacheDetection, DropBetweenTheLastTwoSizesAlone) {
    CacheSweepRates rates{};
    rates.fill(6000);
    rates[11] = 3000;
    EXPECT_EQ(cacheSizeText(rates), "8192 Kbyte");
}

TEST(CacheDetection, EachTestNamesTheSmallerSize) {
    for (int k = 1; k < sysinfo::kCacheSweepCount; ++k)
        EXPECT_EQ(cacheSizeText(stepAt(k, 1000, 500)), std::to_string(8 << (k - 1)) + " Kbyte")
            << k;
}

TEST(CacheDetection, LargeRatesDoNotOverflowTheComparison) {
    // 1.37 x 1.5e9 overflows 32 bits; the comparison must still see 2147483647 > 2.055e9.
    CacheSweepRates rates{};
    rates.fill(INT32_MAX);
    rates[1] = 1'500'000'000;
    rates[2] = 1'500'000'000;
    EXPECT_EQ(cacheSizeText(rates), "8 Kbyte");
    rates.fill(INT32_MAX);
    EXPECT_EQ(cacheSizeText(rates), std::nullopt);
}
