#pragma once
// The second-level cache size, found where the memory sweep's rate drops between two
// neighbouring block sizes. Pure on the twelve rates; runCacheSweeps() measures them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace sysinfo {

inline constexpr int kCacheSweepCount = 12;
inline constexpr std::int32_t kCacheSweepFactor = 80;

// Sweep rates in increasing block size order: 1,024 x 2^k elements (8 KiB x 2^k).
using CacheSweepRates = std::array<std::int32_t, kCacheSweepCount>;

constexpr std::int32_t cacheSweepLength(int k) {
    return std::int32_t{1024} << k;
}

// The text of the highest test k (1 to 11) with r[k-1] > 1.37 x r[k], compared in 80-bit
// precision: the buffer size of sweep k-1 ("512 Kbyte"). nullopt when no test passes.
std::optional<std::string> cacheSizeText(const CacheSweepRates& rates);

// Backs the sweep buffer with memory, then runs the twelve sweeps, smallest block first,
// at volume factor 80.
CacheSweepRates runCacheSweeps();

}  // namespace sysinfo
