// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The processor's core clock two ways: the rated speed the system records, and the
// time-stamp counter counted across a 500 ms sleep.

#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/cpu_description.h"
#include "platform/sources.h"
#include "platform/ticks.h"

namespace sysinfo {

// The registry-style path under which the rated speed is read.
inline constexpr const char* kRatedSpeedKey =
    "\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// "~MHz", then "~Mhz", then "~mhz": the first that holds more than 0. A value that is
// missing or not an integer ends the reading with 0.
double ratedSpeedFrom(const platform::CpuDescription& key);

// Opens the description from the first processor's fields, cpufreq below `root`; 0 when it
// does not open.
double ratedSpeedMHz(const platform::ProcessorFields& fields,
                     const std::filesystem::path& root = "/");

using platform::readTimeStampCounter;

// The sleep the cycles are counted across, and how far its measured length may stray.
inline constexpr std::int64_t kClockSleepNs = 500'000'000;
inline constexpr std::int64_t kClockSleepToleranceNs = kClockSleepNs / 20;  // 5 %

// Time-stamp-counter cycles across a 500 ms sleep at raised priority, low 32 bits kept.
// A sleep that lasted more than 5 % off 500 ms (the process was stopped, the machine
// suspended, the thread starved) is measured once more; nullopt when that one strays too,
// since the count would make up a clock.
// The clock gives the counter, CLOCK_MONOTONIC and the sleep; tests drive one that jumps.
std::optional<std::uint32_t> measureClockCycles(const platform::Clock& clock);

// The clock the cycles across the half-second sleep give: cycles / 500000.0 MHz, rounded to
// double.
double clockMHz(std::uint32_t cycles);

}  // namespace sysinfo
