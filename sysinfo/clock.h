#pragma once
// The processor's core clock two ways: the rated speed the system records, and the
// time-stamp counter counted across a 500 ms sleep.

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/cpu_description.h"

namespace sysinfo {

// The registry-style path under which the rated speed is read.
inline constexpr const char* kRatedSpeedKey =
    "\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// "~MHz", then "~Mhz", then "~mhz": the first that holds more than 0. A value that is
// missing or not an integer ends the reading with 0.
double ratedSpeedFrom(const platform::CpuDescription& key);

// Opens the description below `root`; 0 when it does not open.
double ratedSpeedMHz(const std::filesystem::path& root = "/");

inline std::uint64_t readTimeStampCounter() {
    std::uint32_t low = 0, high = 0;
    asm volatile("rdtsc" : "=a"(low), "=d"(high));
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

// Time-stamp-counter cycles across a 500 ms sleep at raised priority, low 32 bits kept.
std::uint32_t measureClockCycles();

// cycles / 500000.0 in general format, cut (not rounded) to 7 characters.
std::string clockTextFromCycles(std::uint32_t cycles);

// The last measured clock text, at most 7 characters; empty until the first measurement.
const std::string& clockText();

// Runs the measurement and stores its text as the clock text.
void measureClock();

}  // namespace sysinfo
