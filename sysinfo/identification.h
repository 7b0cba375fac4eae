// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start-up identification without the window: what the registry view yields for the
// "CPU Info" panels, and the steps the window's shown handler runs, replaceable by tests.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "sysinfo/cache_detection.h"
#include "sysinfo/probes.h"

namespace sysinfo {

struct RegistryTexts {
    std::string cpuName;     // rated speed, " Mhz ", "ProcessorNameString"
    std::string identifier;  // "Identifier"
    std::string vendor;      // "VendorIdentifier"
};

// Reads the three registry panels from the description below `root`. nullopt when the
// key does not open; a missing name reads as empty text, a missing identifier or vendor
// as "-", and a rated speed that cannot be read shows as 0.
std::optional<RegistryTexts> readRegistryTexts(const std::filesystem::path& root = "/");

// The work of the start-up identification, one function per step, in the order the
// shown handler runs them.
struct IdentificationSteps {
    std::function<std::optional<RegistryTexts>()> readRegistry;
    std::function<bool(const InstructionProbe&)> runProbe;
    std::function<CacheSweepRates()> runCacheSweeps;
    // Returns the clock text; the clock refresh's tick runs it too.
    std::function<std::string()> measureClock;
};

// What the start-up identification found: the "CPU Info" panels' texts.
struct Identification {
    std::optional<RegistryTexts> registry;  // nullopt: the key did not open
    std::string instructions;               // "x86" and the extensions found
    std::optional<std::string> cacheSize;   // nullopt: no drop, the panel keeps "-"
    std::string clock;                      // the clock text, or "-"
};

// Runs the steps in their order: the registry, the probes, the cache sweeps. The clock
// measurement, which mostly sleeps, runs beside them on a thread of its own: it counts the
// time-stamp counter across its own sleep at raised priority, and the sweeps on this thread
// neither wait for it nor are slowed by it. Where no thread can be had it runs last.
Identification identify(const IdentificationSteps& steps);

// The real work on the live machine.
IdentificationSteps machineIdentificationSteps();

// The steps the shown handler uses: the machine's unless a test replaced them.
const IdentificationSteps& identificationSteps();

// Replaces the steps for the lifetime of the object; tests only, not thread-safe.
class ScopedIdentificationSteps {
  public:
    explicit ScopedIdentificationSteps(IdentificationSteps steps);
    ~ScopedIdentificationSteps();
    ScopedIdentificationSteps(const ScopedIdentificationSteps&) = delete;
    ScopedIdentificationSteps& operator=(const ScopedIdentificationSteps&) = delete;

  private:
    IdentificationSteps replacement_;
    const IdentificationSteps* previous_;
};

}  // namespace sysinfo
