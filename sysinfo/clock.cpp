// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/clock.h"

#include "platform/priority.h"
#include "platform/ticks.h"

namespace sysinfo {
namespace {

// One count across the sleep, with the sleep's length as CLOCK_MONOTONIC saw it.
std::optional<std::uint32_t> undisturbedCycles(const platform::Clock& clock) {
    clock.sleepMs(10);
    std::uint64_t cycles = 0;
    std::int64_t sleptNs = 0;
    {
        platform::RaisedPriority raised;
        const std::uint64_t startNs = clock.nanoseconds();
        const std::uint64_t start = clock.timeStampCounter();
        clock.sleepMs(500);
        cycles = clock.timeStampCounter() - start;
        sleptNs = static_cast<std::int64_t>(clock.nanoseconds() - startNs);
    }
    const std::int64_t strayNs = sleptNs - kClockSleepNs;
    if (strayNs > kClockSleepToleranceNs || strayNs < -kClockSleepToleranceNs) return std::nullopt;
    return static_cast<std::uint32_t>(cycles);
}

}  // namespace

double ratedSpeedFrom(const platform::CpuDescription& key) {
    for (const char* name : {"~MHz", "~Mhz", "~mhz"}) {
        const auto value = key.integer(name);
        if (!value) return 0;  // a failed read ends the reading at once
        if (*value > 0) {
            // Scaled to Hz and back, as the reading does; the value stays the integer read.
            return static_cast<double>(*value) * 1'000'000.0 / 1'000'000.0;
        }
    }
    return 0;
}

double ratedSpeedMHz(const platform::ProcessorFields& fields, const std::filesystem::path& root) {
    const auto key = platform::CpuDescription::open(kRatedSpeedKey, fields, root);
    return key ? ratedSpeedFrom(*key) : 0;
}

std::optional<std::uint32_t> measureClockCycles(const platform::Clock& clock) {
    if (const auto cycles = undisturbedCycles(clock)) return cycles;
    return undisturbedCycles(clock);
}

double clockMHz(std::uint32_t cycles) {
    return static_cast<double>(cycles) / 500000.0;
}

}  // namespace sysinfo
