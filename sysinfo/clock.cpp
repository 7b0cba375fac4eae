#include "sysinfo/clock.h"

#include "platform/format.h"
#include "platform/priority.h"
#include "platform/ticks.h"

namespace sysinfo {
namespace {
std::string lastClockText;
}

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

std::uint32_t measureClockCycles() {
    platform::sleepMs(10);
    std::uint64_t cycles = 0;
    {
        platform::RaisedPriority raised;
        const std::uint64_t start = readTimeStampCounter();
        platform::sleepMs(500);
        cycles = readTimeStampCounter() - start;
    }
    return static_cast<std::uint32_t>(cycles);
}

std::string clockTextFromCycles(std::uint32_t cycles) {
    const double mhz = static_cast<double>(cycles) / 500000.0;
    return platform::floatToText(mhz).substr(0, 7);
}

const std::string& clockText() {
    return lastClockText;
}

void measureClock() {
    lastClockText = clockTextFromCycles(measureClockCycles());
}

}  // namespace sysinfo
