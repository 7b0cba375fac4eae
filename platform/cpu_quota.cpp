// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cpu_quota.h"

#include <cstdint>
#include <vector>

#include "platform/cgroups.h"
#include "platform/system_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The kernel takes quotas and periods from 1 ms; its periods end at 1 s, its quotas far
// above anything a machine holds. A value outside these is not one it wrote.
constexpr std::int64_t kMinMicroseconds = 1000;
constexpr std::int64_t kMaxPeriod = 1'000'000;
constexpr std::int64_t kMaxQuota = std::int64_t{1} << 50;

std::optional<double> ratio(std::optional<std::int64_t> quota, std::optional<std::int64_t> period) {
    if (!quota || !period) return std::nullopt;
    return static_cast<double>(*quota) / static_cast<double>(*period);
}

// "150000 100000" in a v2 cpu.max; "max 100000" is none.
std::optional<double> v2Quota(const fs::path& file) {
    const auto line = readFirstLine(file);
    if (!line) return std::nullopt;
    const auto fields = splitText(trimBlanks(*line), ' ');
    if (fields.size() != 2 || fields[0] == "max") return std::nullopt;
    return ratio(parseInteger(fields[0], kMinMicroseconds, kMaxQuota),
                 parseInteger(fields[1], kMinMicroseconds, kMaxPeriod));
}

// A v1 group's cpu.cfs_quota_us over its cpu.cfs_period_us; a quota of -1 is none.
std::optional<double> v1Quota(const fs::path& directory) {
    const auto quota = readFirstLine(directory / "cpu.cfs_quota_us");
    const auto period = readFirstLine(directory / "cpu.cfs_period_us");
    if (!quota || !period) return std::nullopt;
    return ratio(parseInteger(*quota, kMinMicroseconds, kMaxQuota),
                 parseInteger(*period, kMinMicroseconds, kMaxPeriod));
}

void keepSmaller(std::optional<CpuQuota>& smallest, std::optional<double> cpus,
                 std::string source) {
    if (cpus && (!smallest || *cpus < smallest->cpus))
        smallest = CpuQuota{*cpus, std::move(source)};
}

}  // namespace

std::optional<CpuQuota> readCpuQuota(const fs::path& root) {
    const CgroupLevels levels = cgroupLevels(root, "cpu");
    std::optional<CpuQuota> smallest;
    for (const CgroupLevel& level : levels.v2)
        keepSmaller(smallest, v2Quota(level.directory / "cpu.max"), level.shown + "/cpu.max");
    for (const CgroupLevel& level : levels.v1)
        keepSmaller(smallest, v1Quota(level.directory), level.shown + "/cpu.cfs_quota_us");
    return smallest;
}

}  // namespace platform
