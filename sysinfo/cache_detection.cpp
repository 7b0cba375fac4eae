// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/cache_detection.h"

#include <algorithm>

#include "sysinfo/sweep.h"

namespace sysinfo {
namespace {

// The drop ratio is the 80-bit value nearest to 1.37, and the product is formed in that
// precision: 1.37L x 100 comes out as exactly 137, so 137 against 100 is not a drop.
constexpr long double kDropRatio = 1.37L;

bool isDrop(std::int32_t before, std::int32_t after) {
    return static_cast<long double>(before) > kDropRatio * static_cast<long double>(after);
}

}  // namespace

std::optional<std::string> cacheSizeText(const CacheSweepRates& rates) {
    std::optional<std::string> text;
    for (int k = 1; k < kCacheSweepCount; ++k) {
        // Later tests overwrite earlier ones: the last drop is the outermost cache.
        if (isDrop(rates[k - 1], rates[k])) text = std::to_string(8 << (k - 1)) + " Kbyte";
    }
    return text;
}

CacheSweeps measureCacheSweeps(const SweepRoutine& sweep) {
    CacheSweeps sweeps;
    for (int k = 0; k < kCacheSweepCount; ++k)
        sweeps.rates[k] = sweep(cacheSweepLength(k), kCacheSweepFactor);
    sweeps.confirmed = sweeps.rates;
    // A sweep lasts about as long as a few ticks of the millisecond counter, so one tick of
    // error or a moment of other work moves its rate by several per cent: enough to turn a
    // flat curve into a drop of 1.37. Noise only ever slows a sweep, so a size's fastest
    // rate is its truest. Each size is confirmed once; the sweeps alternate between the two
    // sizes so that one burst of other work does not slow all repeats of one of them.
    std::array<bool, kCacheSweepCount> swept{};
    for (int k = 1; k < kCacheSweepCount; ++k) {
        if (!isDrop(sweeps.confirmed[k - 1], sweeps.confirmed[k])) continue;
        for (int repeat = 0; repeat < kConfirmSweeps; ++repeat) {
            for (const int size : {k - 1, k}) {
                if (swept[size]) continue;
                sweeps.confirmed[size] = std::max(sweeps.confirmed[size],
                                                  sweep(cacheSweepLength(size), kCacheSweepFactor));
            }
        }
        swept[k - 1] = swept[k] = true;
    }
    return sweeps;
}

CacheSweeps measureCacheSweeps() {
    return measureCacheSweeps([](std::int32_t blockLength, std::int32_t volumeFactor) {
        return memorySweep(blockLength, volumeFactor);
    });
}

CacheSweepRates runCacheSweeps() {
    return measureCacheSweeps().confirmed;
}

}  // namespace sysinfo
