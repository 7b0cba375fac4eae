// SPDX-License-Identifier: GPL-3.0-or-later
// One start-up identification as the window runs it, with the clock measured beside the
// probes and sweeps ("overlapped") or after them ("serial"), to show that the overlap
// changes neither figure. Prints one line: the mode, the identification's milliseconds, the
// clock text, the kernel's own TSC rate, and the cache text.
//
//   identify_bench overlapped|serial
//
// Run it as a fresh process each time (as a start-up is), e.g. 20 times each way:
//   for i in $(seq 20); do identify_bench overlapped; identify_bench serial; done

#include <time.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/x87.h"
#include "present/captions.h"
#include "present/words.h"
#include "sysinfo/identification.h"

namespace {

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The kernel's calibrated TSC rate: tsc_freq_khz where it exports it, else "cpu MHz", which
// is that rate on a processor with a constant TSC and no frequency driver; "-" otherwise.
std::string kernelTscMHz() {
    char text[32] = "-";
    double khz = 0;
    if (std::ifstream("/sys/devices/system/cpu/cpu0/tsc_freq_khz") >> khz) {
        std::snprintf(text, sizeof text, "%.3f", khz / 1000.0);
        return text;
    }
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("cpu MHz", 0) != 0) continue;
        return line.substr(line.find(':') + 2);
    }
    return text;
}

void print(const char* mode, double ms, const sysinfo::Identification& found) {
    const std::string none(present::kNoFigure);
    std::printf("%s %.0f ms clock %s tsc %s cache %s\n", mode, ms,
                found.clockCycles ? present::clockText(*found.clockCycles).c_str() : none.c_str(),
                kernelTscMHz().c_str(),
                found.cacheKiB ? present::cacheSizeText(*found.cacheKiB).c_str() : none.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const bool serial = argc > 1 && std::strcmp(argv[1], "serial") == 0;
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    sysinfo::IdentificationSteps steps = sysinfo::machineIdentificationSteps(platform::Sources{});
    if (serial) {
        // The clock after the sweeps, on the same thread, as before the overlap.
        const auto sweeps = steps.runCacheSweeps;
        const auto clock = steps.measureClock;
        std::optional<std::uint32_t> measured;
        steps.runCacheSweeps = [&] {
            const auto rates = sweeps();
            measured = clock();
            return rates;
        };
        steps.measureClock = [] { return std::optional<std::uint32_t>(); };
        const double start = monotonicMs();
        sysinfo::Identification found = sysinfo::identify(steps);
        found.clockCycles = measured;
        print("serial", monotonicMs() - start, found);
        return 0;
    }
    const double start = monotonicMs();
    const sysinfo::Identification found = sysinfo::identify(steps);
    print("overlapped", monotonicMs() - start, found);
    return 0;
}
