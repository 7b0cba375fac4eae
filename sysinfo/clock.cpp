// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/clock.h"

#include <time.h>

#include "platform/priority.h"
#include "platform/ticks.h"

namespace sysinfo {
namespace {

std::int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// One count across the sleep, with the sleep's length as CLOCK_MONOTONIC saw it.
std::optional<std::uint32_t> undisturbedCycles(const ClockSources& sources) {
    sources.sleepMs(10);
    std::uint64_t cycles = 0;
    std::int64_t sleptNs = 0;
    {
        platform::RaisedPriority raised;
        const std::int64_t startNs = sources.monotonicNs();
        const std::uint64_t start = sources.timeStampCounter();
        sources.sleepMs(500);
        cycles = sources.timeStampCounter() - start;
        sleptNs = sources.monotonicNs() - startNs;
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

double ratedSpeedMHz(const std::filesystem::path& root) {
    const auto key = platform::CpuDescription::open(kRatedSpeedKey, root);
    return key ? ratedSpeedFrom(*key) : 0;
}

ClockSources machineClockSources() {
    return {readTimeStampCounter, monotonicNs, platform::sleepMs};
}

std::optional<std::uint32_t> measureClockCycles(const ClockSources& sources) {
    if (const auto cycles = undisturbedCycles(sources)) return cycles;
    return undisturbedCycles(sources);
}

double clockMHz(std::uint32_t cycles) {
    return static_cast<double>(cycles) / 500000.0;
}

}  // namespace sysinfo
