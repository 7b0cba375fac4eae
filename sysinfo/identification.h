// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start-up identification without the window: what the registry view, the probes, the
// cache sweeps and the clock yield for the "CPU Info" panels, and the steps the window's
// shown handler runs, replaceable by tests.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cpu_description.h"
#include "platform/sources.h"
#include "sysinfo/cache_detection.h"
#include "sysinfo/probes.h"

namespace sysinfo {

// What the processor's description holds for the three registry panels.
struct RegistryFigures {
    double ratedMhz = 0;                    // 0 when it cannot be read
    std::string name;                       // "ProcessorNameString"; empty when missing
    std::optional<std::string> identifier;  // "Identifier"; cpuinfo without a stepping has none
    std::optional<std::string> vendor;      // "VendorIdentifier"
};

// The registry panels' figures from the first processor's fields (cpufreq below `root`);
// nullopt when the key does not open. Both keys the panels read open on the same fields.
std::optional<RegistryFigures> readRegistry(const platform::ProcessorFields& fields,
                                            const std::filesystem::path& root = "/");

// The work of the start-up identification, one function per step, in the order the
// shown handler runs them.
struct IdentificationSteps {
    std::function<std::optional<RegistryFigures>()> readRegistry;
    std::function<bool(const InstructionProbe&)> runProbe;
    std::function<CacheSweepRates()> runCacheSweeps;
    // The time-stamp counter's cycles across the half-second sleep; the clock refresh's tick
    // runs it too. nullopt when both sleeps were disturbed.
    std::function<std::optional<std::uint32_t>()> measureClock;
};

// What the start-up identification found for the "CPU Info" panels.
struct Identification {
    std::optional<RegistryFigures> registry;   // nullopt: the key did not open
    std::vector<Extension> extensions;         // the probes the processor executed
    std::optional<std::int32_t> cacheKiB;      // nullopt: no drop, the panel keeps "-"
    std::optional<std::uint32_t> clockCycles;  // nullopt: no reading, the panel keeps "-"
};

// Runs the steps in their order: the registry, the probes, the cache sweeps. The clock
// measurement, which mostly sleeps, runs beside them on a thread of its own: it counts the
// time-stamp counter across its own sleep at raised priority, and the sweeps on this thread
// neither wait for it nor are slowed by it. Where no thread can be had it runs last.
Identification identify(const IdentificationSteps& steps);

// The real work on the machine the sources describe: the processor's fields read once, the
// registry, the probes, the sweeps (the sweep buffer backed first) and the clock.
IdentificationSteps machineIdentificationSteps(const platform::Sources& sources);

}  // namespace sysinfo
