// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sample memory reports shared by the memory monitor and RAM page tests.

#include <cstdint>

#include "platform/memory_status.h"

namespace reports {

inline constexpr std::int64_t KiB = 1024;
inline constexpr std::int64_t MiB = 1024 * KiB;

// The figures of tests/fixtures/meminfo-desktop-16g-swap.txt: 39 % load, 9645 Mb free.
inline platform::MemoryStatus desktop() {
    platform::MemoryStatus report;
    report.totalVirtual = std::int64_t{1} << 47;
    report.availVirtual = (std::int64_t{1} << 47) - 312456 * KiB;
    report.totalPageFile = (16303940 + 8388604) * KiB;
    report.availPageFile = (9876544 + 8123004) * KiB;
    report.totalPhys = 16303940 * KiB;
    report.availPhys = 9876544 * KiB;
    return report;
}

// A report whose physical load is exactly `percent` of 100 MiB.
inline platform::MemoryStatus atLoad(int percent) {
    platform::MemoryStatus report = desktop();
    report.totalPhys = 100 * MiB;
    report.availPhys = (100 - percent) * MiB;
    return report;
}

}  // namespace reports
