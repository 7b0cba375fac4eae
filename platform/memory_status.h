// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory-status report: physical, page-file and virtual memory in bytes, read from
// <root>/proc/meminfo, <root>/proc/self/status and <root>/proc/self/limits.
//
// Every count is 64-bit: a machine with 2 GiB or more does not fit a signed 32-bit count,
// and a wrapped figure would show as negative.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct MemoryStatus {
    std::int64_t totalPhys = 0;      // MemTotal
    std::int64_t availPhys = 0;      // MemAvailable
    std::int64_t totalPageFile = 0;  // MemTotal + SwapTotal
    std::int64_t availPageFile = 0;  // MemAvailable + SwapFree
    std::int64_t totalVirtual = 0;   // the user address space, or RLIMIT_AS if lower
    std::int64_t availVirtual = 0;   // totalVirtual - VmSize
};

// The user address space of an x86-64 process with four-level page tables.
inline constexpr std::int64_t kUserAddressSpace = std::int64_t{1} << 47;

// Reads the report below `root`. Empty when /proc/meminfo or /proc/self/status cannot be
// read, or one of MemTotal, MemAvailable, SwapTotal, SwapFree, VmSize is missing, not a
// plain count of kB, or MemTotal is 0 (no load can be computed from it). A missing or
// unreadable limits file means no address-space limit. What is available is capped at the
// total: MemAvailable at MemTotal, SwapFree at SwapTotal, the virtual space at 0.
std::optional<MemoryStatus> readMemoryStatus(const std::filesystem::path& root = "/");

// The same from the texts of the three files; an empty limits text means no limit.
std::optional<MemoryStatus> memoryStatusFromTexts(std::string_view meminfo, std::string_view status,
                                                  std::string_view limits);

// The "Key: value" lines of a /proc file such as meminfo or status; the first line of each
// key wins.
using KeyedFields = std::map<std::string, std::string_view, std::less<>>;
KeyedFields keyedFields(std::string_view text);

// A field such as "MemTotal:   24683748 kB" in bytes; empty when it is missing or not a plain
// count of kB.
std::optional<std::int64_t> kbField(const KeyedFields& fields, std::string_view key);

// The soft limit of the /proc/self/limits row that starts with `name` ("Max address space",
// "Max data size"), in bytes; empty when it is unlimited, missing or not a count below the
// user address space.
std::optional<std::int64_t> softLimit(std::string_view limits, std::string_view name);

}  // namespace platform
