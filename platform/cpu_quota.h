// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU time this process's cgroups grant it, in CPUs.
//
// A container given 1.5 CPUs still sees every CPU of the host in its affinity mask, and a
// test that starts a thread on each of them is throttled every scheduling period: the
// threads stall together and each looks several times slower than its CPU is. So the
// quota decides how many CPUs a test takes; the affinity mask only decides which.

#include <filesystem>
#include <optional>
#include <string>

namespace platform {

struct CpuQuota {
    double cpus = 0;     // the quota over its period: 1.5 for "150000 100000"
    std::string source;  // the file that sets it: "/sys/fs/cgroup/app.slice/cpu.max"

    friend bool operator==(const CpuQuota&, const CpuQuota&) = default;
};

// The smallest quota over the process's cgroup and every ancestor below `root`: v2 cpu.max
// ("max 100000" is none) and v1 cpu.cfs_quota_us over cpu.cfs_period_us (-1 is none).
// Empty when no group sets one; a missing or garbled file sets none.
std::optional<CpuQuota> readCpuQuota(const std::filesystem::path& root = "/");

}  // namespace platform
