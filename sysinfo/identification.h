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
