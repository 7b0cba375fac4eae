// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the operating system itself reports about the processor, printed beside Corvane's
// own measurements so that a reader sees at once where the two disagree; and what names the
// machine and the moment in a saved result.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cpu_description.h"

namespace platform {

inline constexpr std::int64_t kKiB = 1024;
// Plausible cache sizes: 1 KiB to 4 GiB; anything else counts as missing.
inline constexpr std::int64_t kMinCacheBytes = kKiB;
inline constexpr std::int64_t kMaxCacheBytes = std::int64_t{4} * kKiB * kKiB * kKiB;

// A cache "size" file's text ("2048K", "1M", "512") in bytes.
std::optional<std::int64_t> cacheSizeBytes(std::string_view text);

// One cache of the first processor as the system describes it.
struct CacheLevel {
    int level = 0;
    std::string type;  // "Data", "Instruction", "Unified"
    std::int64_t bytes = 0;
    friend bool operator==(const CacheLevel&, const CacheLevel&) = default;
};

// Every cache of the first processor, from
// <root>/sys/devices/system/cpu/cpu0/cache/index*/{level,type,size}, by level and type; one
// whose figures cannot be read is left out.
std::vector<CacheLevel> cachesFromOs(const std::filesystem::path& root);

// The level-2 cache (unified or data) in bytes, of those.
std::optional<std::int64_t> l2CacheBytesFromOs(const std::filesystem::path& root);

// The largest level's size in bytes: what a memory test must exceed to test memory more than
// the cache.
std::optional<std::int64_t> lastLevelCacheBytes(const std::vector<CacheLevel>& caches);

// The time-stamp counter's rate in MHz as the kernel knows it: tsc_freq_khz below `root`
// where the kernel exports it, otherwise "cpu MHz" of the first processor's `fields`
// (readProcessorFields) when it has constant_tsc and no cpufreq driver: the kernel then
// reports its calibrated TSC rate there.
std::optional<double> tscMHzFromOs(const ProcessorFields& fields,
                                   const std::filesystem::path& root);

// What names the machine in a saved result, beside the processor: the kernel's release and
// the host's name as uname(2) gives them (empty where it fails), and the logical processors.
struct MachineNames {
    std::string kernelRelease;
    std::string hostname;
    int logicalCpus = 0;
};
MachineNames machineNames();

// The time now in ISO 8601, UTC, to the second: "2026-12-07T01:02:03Z".
std::string utcTimestamp();

}  // namespace platform
