// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/identification.h"

#include <system_error>
#include <thread>

#include "platform/cpu_description.h"
#include "sysinfo/clock.h"
#include "sysinfo/sweep.h"

namespace sysinfo {
namespace {

const IdentificationSteps* activeSteps = nullptr;

}  // namespace

std::optional<RegistryFigures> readRegistry(const std::filesystem::path& root) {
    const auto key = platform::CpuDescription::open(platform::CpuDescription::kKeyPath, root);
    if (!key) return std::nullopt;
    RegistryFigures figures;
    figures.identifier = key->text("Identifier");
    figures.vendor = key->text("VendorIdentifier");
    // The rated speed is read through its own key, after the identifier and vendor.
    figures.ratedMhz = ratedSpeedMHz(root);
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

IdentificationSteps machineIdentificationSteps() {
    return {
        [] { return readRegistry("/"); },
        [](const InstructionProbe& probe) { return sysinfo::runProbe(probe); },
        [] {
            // Backed here rather than at start: this takes tens of milliseconds on a virtual
            // machine, which the clock measurement's sleep beside it hides.
            sysinfo::backSweepBuffer();
            return sysinfo::runCacheSweeps(platform::Clock{});
        },
        [] { return sysinfo::measureClockCycles(); },
    };
}

const IdentificationSteps& identificationSteps() {
    if (activeSteps != nullptr) return *activeSteps;
    static const IdentificationSteps machine = machineIdentificationSteps();
    return machine;
}

ScopedIdentificationSteps::ScopedIdentificationSteps(IdentificationSteps steps)
    : replacement_(std::move(steps)), previous_(activeSteps) {
    activeSteps = &replacement_;
}

ScopedIdentificationSteps::~ScopedIdentificationSteps() {
    activeSteps = previous_;
}

}  // namespace sysinfo
