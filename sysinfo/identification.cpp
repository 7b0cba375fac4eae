// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/identification.h"

#include <system_error>
#include <thread>

#include "platform/cpu_description.h"
#include "sysinfo/clock.h"
#include "sysinfo/sweep.h"

namespace sysinfo {
std::optional<RegistryFigures> readRegistry(const platform::ProcessorFields& fields,
                                            const std::filesystem::path& root) {
    const auto key =
        platform::CpuDescription::open(platform::CpuDescription::kKeyPath, fields, root);
    if (!key) return std::nullopt;
    RegistryFigures figures;
    figures.identifier = key->text("Identifier");
    figures.vendor = key->text("VendorIdentifier");
    // The rated speed is read through its own key, after the identifier and vendor.
    figures.ratedMhz = ratedSpeedMHz(fields, root);
    figures.name = key->text("ProcessorNameString").value_or("");
    return figures;
}

Identification identify(const IdentificationSteps& steps) {
    Identification found;
    std::jthread clockThread;
    try {
        clockThread = std::jthread([&found, &steps] { found.clockCycles = steps.measureClock(); });
    } catch (const std::system_error&) {
        // Measured after the sweeps instead; the start-up only takes longer.
    }
    found.registry = steps.readRegistry();
    found.extensions = supportedExtensions(instructionProbes(), steps.runProbe);
    found.cacheKiB = cacheSizeKiB(steps.runCacheSweeps());
    if (clockThread.joinable()) {
        clockThread.join();
    } else {
        found.clockCycles = steps.measureClock();
    }
    return found;
}

IdentificationSteps machineIdentificationSteps(const platform::Sources& sources) {
    return {
        [root = sources.root] { return readRegistry(platform::readProcessorFields(root), root); },
        [](const InstructionProbe& probe) { return sysinfo::runProbe(probe); },
        [] {
            // Backed here rather than at start: this takes tens of milliseconds on a virtual
            // machine, which the clock measurement's sleep beside it hides.
            sysinfo::backSweepBuffer();
            return sysinfo::runCacheSweeps(platform::Clock{});
        },
        [clock = sources.clock] { return sysinfo::measureClockCycles(clock); },
    };
}

}  // namespace sysinfo
