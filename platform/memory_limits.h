// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Memory the memory test may take, which is less than the memory status's "available".
//
// Inside a container /proc/meminfo shows the host, and a test sized from it gets the process
// killed by its memory cgroup within a second. And MemAvailable counts the file pages that
// programs are using right now: taking nearly all of it evicts their working sets, which are
// read back from disk again and again while the test runs, and the whole desktop crawls. So
// the test takes the smallest of the memory in no working set and what every limit on this
// process still leaves: each memory cgroup from its own up to the root, and the soft
// RLIMIT_AS and RLIMIT_DATA. Anything missing or unreadable counts as no limit. RAM Info
// keeps the system's own figures, as `free` does.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One limit on this process's memory.
struct MemoryLimit {
    std::int64_t limit = 0;      // bytes
    std::int64_t available = 0;  // the limit less what is charged against it, at least 0
    std::string source;          // the file that sets it, or "RLIMIT_AS", "RLIMIT_DATA"

    friend bool operator==(const MemoryLimit&, const MemoryLimit&) = default;
};

struct MemoryAllowance {
    // What the memory test may take: the smallest of `unused` and every limit's available.
    std::int64_t bytes = 0;
    // MemAvailable less the active and the mapped file pages (other programs' working sets),
    // never below MemFree and never above MemAvailable.
    std::int64_t unused = 0;
    // The limit with the least left, when there is any.
    std::optional<MemoryLimit> limit;
};

// Every limit found below `root`: the cgroups (v2 and v1, each level from the process's own
// up to its hierarchy's root) and the resource limits, in that order.
std::vector<MemoryLimit> readMemoryLimits(const std::filesystem::path& root = "/");

// The unused memory from the text of /proc/meminfo; empty without a readable MemAvailable.
std::optional<std::int64_t> unusedMemoryFromMeminfo(std::string_view meminfo);

// The allowance below `root`; empty when /proc/meminfo gives no unused memory.
std::optional<MemoryAllowance> readMemoryAllowance(const std::filesystem::path& root = "/");

}  // namespace platform
