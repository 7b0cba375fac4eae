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

std::optional<std::int32_t> cacheSizeKiB(const CacheSweepRates& rates) {
    std::optional<std::int32_t> kib;
    for (int k = 1; k < kCacheSweepCount; ++k) {
        // Later tests overwrite earlier ones: the last drop is the outermost cache.
        if (isDrop(rates[k - 1], rates[k])) kib = 8 << (k - 1);
    }
    return kib;
}

CacheSweeps measureCacheSweeps(const SweepRoutine& sweep) {
    CacheSweeps sweeps;
    for (int k = 0; k < kCacheSweepCount; ++k)
        sweeps.rates[k] = sweep(cacheSweepLength(k), kCacheSweepFactor);
    sweeps.confirmed = sweeps.rates;
    if (!cacheSizeKiB(sweeps.rates)) return sweeps;
    // Other work on the machine only ever slows a sweep, and a spell of it can slow several
    // sweeps in a row, or all from some moment on: the first round compared sizes measured
    // at different moments. In the rounds below, the two samples of a size lie on both sides
    // of its smaller neighbour's two samples, so one spell that slows both samples of a size
    // slows its smaller neighbour's as well; and a machine that keeps slowing down favours
    // the larger size, whose sample comes first going down. Neither makes up a drop; a real
    // drop shows in both rounds.
    CacheSweepRates fastest{};
    for (int round = 0; round < kConfirmRounds; ++round) {
        const bool down = round % 2 == 0;
        for (int i = 0; i < kCacheSweepCount; ++i) {
            const int k = down ? kCacheSweepCount - 1 - i : i;
            fastest[k] = std::max(fastest[k], sweep(cacheSweepLength(k), kCacheSweepFactor));
        }
    }
    sweeps.confirmed = fastest;
    return sweeps;
}

CacheSweeps measureCacheSweeps(const platform::Clock& clock) {
    return measureCacheSweeps([&clock](std::int32_t blockLength, std::int32_t volumeFactor) {
        return fastestChunkRate(blockLength, volumeFactor, clock.nanoseconds, sweepBlock);
    });
}

CacheSweepRates runCacheSweeps(const platform::Clock& clock) {
    return measureCacheSweeps(clock).confirmed;
}

}  // namespace sysinfo
