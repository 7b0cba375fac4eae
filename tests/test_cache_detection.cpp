// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "sysinfo/cache_detection.h"

using sysinfo::cacheSizeKiB;
using sysinfo::CacheSweepRates;

namespace {

// `before` up to sweep k-1 and `after` from sweep k on: only test k sees a change.
CacheSweepRates stepAt(int k, std::int32_t before, std::int32_t after) {
    CacheSweepRates rates{};
    for (int i = 0; i < sysinfo::kCacheSweepCount; ++i) rates[i] = i < k ? before : after;
    return rates;
}

// A machine whose sweeps rate truth[k], each divided by the slowdown of the moment it runs
// in: slowdown[t] for the t-th sweep (1 where none is given). Records the sizes swept.
struct ScriptedMachine {
    explicit ScriptedMachine(const CacheSweepRates& rates, std::vector<double> slower = {})
        : truth(rates), slowdown(std::move(slower)) {}

    CacheSweepRates truth;
    std::vector<double> slowdown;
    std::vector<int> swept;

    sysinfo::CacheSweeps measure() {
        swept.clear();
        return sysinfo::measureCacheSweeps([this](std::int32_t length, std::int32_t factor) {
            EXPECT_EQ(factor, 80);
            int k = 0;
            while (sysinfo::cacheSweepLength(k) != length) ++k;
            const std::size_t t = swept.size();
            swept.push_back(k);
            const double slower = t < slowdown.size() ? slowdown[t] : 1.0;
            return static_cast<std::int32_t>(truth[k] / slower);
        });
    }
};

// Flat rates, as this sweep gives on many machines, and a real drop of 2 from 512 KiB on.
constexpr CacheSweepRates kFlat{26'700, 26'700, 26'500, 26'500, 26'300, 26'300,
                                26'000, 25'800, 25'800, 25'500, 25'500, 25'000};
constexpr CacheSweepRates kDropAfter512K{26'700, 26'700, 26'500, 26'500, 26'300, 26'300,
                                         26'000, 13'000, 12'900, 12'900, 12'800, 12'500};

// Noise that only ever slows sweeps, placed at every moment of the 36 sweeps a detection
// can make: `pattern(t0)` gives the slowdown of each moment.
template <class Pattern>
void expectAtEveryMoment(const CacheSweepRates& truth, std::optional<std::int32_t> size,
                         Pattern pattern) {
    for (std::size_t t0 = 0; t0 < 36; ++t0) {
        ScriptedMachine machine{truth, pattern(t0)};
        EXPECT_EQ(cacheSizeKiB(machine.measure().confirmed), size) << "from sweep " << t0;
    }
}

std::vector<double> slowFor(std::size_t t0, std::size_t count, double factor = 2.0) {
    std::vector<double> slowdown(36, 1.0);
    for (std::size_t t = t0; t < t0 + count && t < 36; ++t) slowdown[t] = factor;
    return slowdown;
}

// Each sweep `factor` times slower than the one before.
std::vector<double> ramp(double factor) {
    std::vector<double> slowdown(36, 1.0);
    for (std::size_t t = 1; t < 36; ++t) slowdown[t] = slowdown[t - 1] * factor;
    return slowdown;
}

}  // namespace

TEST(CacheDetection, ProductEqualToTheFasterRateAndAGentleDeclineAreNoDrop) {
    // 137 against 100: 1.37 x 100 comes out as exactly 137, not less.
    EXPECT_EQ(cacheSizeKiB(stepAt(5, 137, 100)), std::nullopt);
    EXPECT_EQ(cacheSizeKiB(stepAt(5, 138, 100)), 128);
    // Each step falls by 1.29 at most, as a faithful sweep over written memory does here.
    const CacheSweepRates rates{30000, 29500, 29000, 25000, 24800, 24500,
                                24000, 23000, 20000, 15500, 15000, 14800};
    EXPECT_EQ(cacheSizeKiB(rates), std::nullopt);
}

// Test 11 alone, a drop between the last two sizes, names 8192 Kbyte. Where tests 3
// (9000 > 6850) and 7 (5000 > 2740) both pass, the highest names the size.
TEST(CacheDetection, EachTestNamesTheSmallerSizeAndTheHighestPassingOneCounts) {
    for (int k = 1; k < sysinfo::kCacheSweepCount; ++k)
        EXPECT_EQ(cacheSizeKiB(stepAt(k, 1000, 500)), 8 << (k - 1)) << k;
    EXPECT_EQ(
        cacheSizeKiB({9000, 9000, 9000, 5000, 5000, 5000, 5000, 2000, 2000, 2000, 2000, 2000}),
        512);
}

TEST(CacheDetection, LargeRatesDoNotOverflowTheComparison) {
    // 1.37 x 1.5e9 overflows 32 bits; the comparison must still see 2147483647 > 2.055e9.
    CacheSweepRates rates{};
    rates.fill(INT32_MAX);
    rates[1] = rates[2] = 1'500'000'000;
    EXPECT_EQ(cacheSizeKiB(rates), 8);
    rates.fill(INT32_MAX);  // and a flat curve finds nothing
    EXPECT_EQ(cacheSizeKiB(rates), std::nullopt);
}

TEST(CacheConfirmation, AFlatFirstRoundIsTheWholeDetection) {
    ScriptedMachine machine{kFlat};
    const sysinfo::CacheSweeps sweeps = machine.measure();
    EXPECT_EQ(machine.swept, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(sweeps.confirmed, kFlat);
    EXPECT_EQ(cacheSizeKiB(sweeps.confirmed), std::nullopt);
}

TEST(CacheConfirmation, ADropIsSweptAgainDownAndUpAndEachSizeKeepsItsFastest) {
    ScriptedMachine machine{kDropAfter512K};
    machine.slowdown = slowFor(13, 1);  // 8 MiB, in the round going down
    const sysinfo::CacheSweeps sweeps = machine.measure();
    std::vector<int> order{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int k = 11; k >= 0; --k) order.push_back(k);
    for (int k = 0; k <= 11; ++k) order.push_back(k);
    EXPECT_EQ(machine.swept, order);
    EXPECT_EQ(sweeps.rates, kDropAfter512K);
    EXPECT_EQ(sweeps.confirmed, kDropAfter512K);
    EXPECT_EQ(cacheSizeKiB(sweeps.confirmed), 512);
}

TEST(CacheConfirmation, OneSlowSweepASlowPairOrASlowerMachineMakeUpNoSize) {
    for (const double factor : {1.5, 2.0, 4.0}) {
        SCOPED_TRACE(factor);
        expectAtEveryMoment(kFlat, std::nullopt,
                            [&](std::size_t t0) { return slowFor(t0, 1, factor); });
        expectAtEveryMoment(kFlat, std::nullopt,
                            [&](std::size_t t0) { return slowFor(t0, 2, factor); });
        // Slower from some moment on, to the end.
        expectAtEveryMoment(kFlat, std::nullopt,
                            [&](std::size_t t0) { return slowFor(t0, 36, factor); });
    }
    // Slowing down a little more with every sweep: 1.4 from one to the next.
    ScriptedMachine machine{kFlat, ramp(1.4)};
    EXPECT_EQ(cacheSizeKiB(machine.measure().confirmed), std::nullopt);
}

TEST(CacheConfirmation, ARealDropIsFoundThroughTheSameNoise) {
    expectAtEveryMoment(kDropAfter512K, 512, [](std::size_t t0) { return slowFor(t0, 1); });
    expectAtEveryMoment(kDropAfter512K, 512, [](std::size_t t0) { return slowFor(t0, 2); });
    // Slower from some moment on: found, unless that moment falls between the drop's two
    // sizes in the round going down (1 MiB at sweep 16, 512 KiB at 17). The two were then
    // never measured at one pace, and "-" is the honest answer: never another size.
    for (std::size_t t0 = 0; t0 < 36; ++t0) {
        ScriptedMachine machine{kDropAfter512K, slowFor(t0, 36)};
        EXPECT_EQ(cacheSizeKiB(machine.measure().confirmed),
                  t0 == 17 ? std::nullopt : std::optional<std::int32_t>(512))
            << "from sweep " << t0;
    }
    ScriptedMachine machine{kDropAfter512K, ramp(1.2)};
    EXPECT_EQ(cacheSizeKiB(machine.measure().confirmed), 512);
}
