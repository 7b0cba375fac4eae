// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

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

// Rates by size: the first sweep of a size gives first[k], every repeat repeat[k]. Records
// the sizes swept, in order, and checks each sweep's factor.
struct ScriptedSweeps {
    CacheSweepRates first{};
    CacheSweepRates repeat{};
    std::vector<int> swept;

    sysinfo::CacheSweeps measure() {
        return sysinfo::measureCacheSweeps([this](std::int32_t length, std::int32_t factor) {
            EXPECT_EQ(factor, 80);
            int k = 0;
            while (sysinfo::cacheSweepLength(k) != length) ++k;
            const bool again = std::count(swept.begin(), swept.end(), k) > 0;
            swept.push_back(k);
            return again ? repeat[k] : first[k];
        });
    }
};

}  // namespace

// The highest of two passing tests names the size: in the confirmation case below.
TEST(CacheDetection, ProductEqualToTheFasterRateAndAGentleDeclineAreNoDrop) {
    // 137 against 100: 1.37 x 100 comes out as exactly 137, not less.
    EXPECT_EQ(cacheSizeText(stepAt(5, 137, 100)), std::nullopt);
    EXPECT_EQ(cacheSizeText(stepAt(5, 138, 100)), "128 Kbyte");
    // Each step falls by 1.29 at most, as a faithful sweep over written memory does here.
    const CacheSweepRates rates{30000, 29500, 29000, 25000, 24800, 24500,
                                24000, 23000, 20000, 15500, 15000, 14800};
    EXPECT_EQ(cacheSizeText(rates), std::nullopt);
}

// Test 11 alone, a drop between the last two sizes, names 8192 Kbyte.
TEST(CacheDetection, EachTestNamesTheSmallerSize) {
    for (int k = 1; k < sysinfo::kCacheSweepCount; ++k)
        EXPECT_EQ(cacheSizeText(stepAt(k, 1000, 500)), std::to_string(8 << (k - 1)) + " Kbyte")
            << k;
}

TEST(CacheDetection, LargeRatesDoNotOverflowTheComparison) {
    // 1.37 x 1.5e9 overflows 32 bits; the comparison must still see 2147483647 > 2.055e9.
    CacheSweepRates rates{};
    rates.fill(INT32_MAX);
    rates[1] = rates[2] = 1'500'000'000;
    EXPECT_EQ(cacheSizeText(rates), "8 Kbyte");
    rates.fill(INT32_MAX);  // and a flat curve finds nothing
    EXPECT_EQ(cacheSizeText(rates), std::nullopt);
}

TEST(CacheConfirmation, AFlatCurveIsSweptTwelveTimesAndFindsNothing) {
    ScriptedSweeps script;
    script.first.fill(26'700);
    const sysinfo::CacheSweeps sweeps = script.measure();
    EXPECT_EQ(script.swept, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(sweeps.confirmed, sweeps.rates);
    EXPECT_EQ(cacheSizeText(sweeps.confirmed), std::nullopt);
}

TEST(CacheConfirmation, ADropMadeBySlowSweepsVanishesAndTheScanGoesOnToARealOne) {
    ScriptedSweeps script;
    // Slowed first sweeps at 64 KiB (test 4) and a real drop from 512 KiB to 1 MiB (test 7).
    script.first = {26'700, 26'700, 26'700, 26'700, 15'000, 26'000,
                    26'000, 16'000, 16'000, 16'000, 16'000, 16'000};
    script.repeat = {26'700, 26'700, 26'700, 26'700, 26'500, 26'100,
                     26'300, 16'500, 16'000, 16'000, 16'000, 16'000};
    const sysinfo::CacheSweeps sweeps = script.measure();
    EXPECT_EQ(cacheSizeText(sweeps.rates), "512 Kbyte");  // test 4 passed too, unconfirmed
    EXPECT_EQ(sweeps.rates, script.first);
    // Each size's fastest rate; the repeats alternate between the drop's two sizes.
    const std::vector<int> expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                    3, 4, 3, 4, 3, 4, 6, 7, 6, 7, 6,  7};
    EXPECT_EQ(script.swept, expected);
    // Size 5 (26,000) was never suspected, never swept again.
    EXPECT_EQ(sweeps.confirmed, (CacheSweepRates{26'700, 26'700, 26'700, 26'700, 26'500, 26'000,
                                                 26'300, 16'500, 16'000, 16'000, 16'000, 16'000}));
    EXPECT_EQ(cacheSizeText(sweeps.confirmed), "512 Kbyte");

    // The same curve without the real drop: the slow sweep alone reports nothing.
    for (int k = 7; k < sysinfo::kCacheSweepCount; ++k) script.first[k] = script.repeat[k] = 26'000;
    script.swept.clear();
    EXPECT_EQ(cacheSizeText(script.measure().confirmed), std::nullopt);
}
