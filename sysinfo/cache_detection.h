// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The second-level cache size, found where the memory sweep's rate drops between two
// neighbouring block sizes. cacheSizeKiB() is pure on the twelve rates;
// measureCacheSweeps() measures them and confirms any drop it sees.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/sources.h"

namespace sysinfo {

inline constexpr int kCacheSweepCount = 12;
inline constexpr std::int32_t kCacheSweepFactor = 80;
// Rounds over all twelve sizes that confirm a drop the first round shows: one from the
// largest size down, one from the smallest up.
inline constexpr int kConfirmRounds = 2;

// Sweep rates in increasing block size order: 1,024 x 2^k elements (8 KiB x 2^k).
using CacheSweepRates = std::array<std::int32_t, kCacheSweepCount>;

constexpr std::int32_t cacheSweepLength(int k) {
    return std::int32_t{1024} << k;
}

// The size named by the highest test k (1 to 11) with r[k-1] > 1.37 x r[k], compared in
// 80-bit precision: the buffer size of sweep k-1 in KiB (512). nullopt when no test passes.
std::optional<std::int32_t> cacheSizeKiB(const CacheSweepRates& rates);

// One memory sweep: block length and volume factor in, rate out.
using SweepRoutine = std::function<std::int32_t(std::int32_t, std::int32_t)>;

struct CacheSweeps {
    CacheSweepRates rates{};      // the first round, smallest block first
    CacheSweepRates confirmed{};  // the rates the size is read from
};

// The twelve sweeps at volume factor 80, smallest block first. When they show a drop, all
// twelve sizes are swept again in kConfirmRounds rounds, down and then up, and each size
// keeps its fastest rate of those rounds; the first round's rates then only raised the
// question. Otherwise the first round's rates stand. The sweep buffer must be backed already.
CacheSweeps measureCacheSweeps(const SweepRoutine& sweep);
// With the sweep timed chunk by chunk (fastestChunkRate) by the clock's nanoseconds.
CacheSweeps measureCacheSweeps(const platform::Clock& clock);

// The confirmed rates, for cacheSizeKiB().
CacheSweepRates runCacheSweeps(const platform::Clock& clock);

}  // namespace sysinfo
