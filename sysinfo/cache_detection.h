// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The second-level cache size, found where the memory sweep's rate drops between two
// neighbouring block sizes. cacheSizeText() is pure on the twelve rates;
// measureCacheSweeps() measures them and confirms any drop it sees.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sysinfo {

inline constexpr int kCacheSweepCount = 12;
inline constexpr std::int32_t kCacheSweepFactor = 80;
// Sweeps of each of the two sizes of a suspected drop made again before it is believed.
inline constexpr int kConfirmSweeps = 3;

// Sweep rates in increasing block size order: 1,024 x 2^k elements (8 KiB x 2^k).
using CacheSweepRates = std::array<std::int32_t, kCacheSweepCount>;

constexpr std::int32_t cacheSweepLength(int k) {
    return std::int32_t{1024} << k;
}

// The text of the highest test k (1 to 11) with r[k-1] > 1.37 x r[k], compared in 80-bit
// precision: the buffer size of sweep k-1 ("512 Kbyte"). nullopt when no test passes.
std::optional<std::string> cacheSizeText(const CacheSweepRates& rates);

// One memory sweep: block length and volume factor in, rate out.
using SweepRoutine = std::function<std::int32_t(std::int32_t, std::int32_t)>;

struct CacheSweeps {
    CacheSweepRates rates{};      // the twelve sweeps, smallest block first
    CacheSweepRates confirmed{};  // the same, each size of a suspected drop at its fastest
};

// The twelve sweeps at volume factor 80, smallest block first. Where the rule finds a drop,
// both of its sizes are swept kConfirmSweeps times more and keep their fastest rate; the
// rule then goes on over the confirmed rates. The sweep buffer must be backed already.
CacheSweeps measureCacheSweeps(const SweepRoutine& sweep);
CacheSweeps measureCacheSweeps();

// The confirmed rates, for cacheSizeText().
CacheSweepRates runCacheSweeps();

}  // namespace sysinfo
