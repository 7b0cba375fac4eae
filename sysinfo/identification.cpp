// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/identification.h"

#include <system_error>
#include <thread>

#include "platform/cpu_description.h"
#include "platform/format.h"
#include "sysinfo/clock.h"
#include "sysinfo/sweep.h"

namespace sysinfo {
namespace {

const IdentificationSteps* activeSteps = nullptr;

}  // namespace

std::optional<RegistryTexts> readRegistryTexts(const std::filesystem::path& root) {
    const auto key = platform::CpuDescription::open(platform::CpuDescription::kKeyPath, root);
    if (!key) return std::nullopt;
    RegistryTexts texts;
    // A panel that cannot be filled keeps "-": cpuinfo without a stepping, say, gives no
    // identifier at all.
    texts.identifier = key->text("Identifier").value_or("-");
    texts.vendor = key->text("VendorIdentifier").value_or("-");
    // The rated speed is read through its own key, after the identifier and vendor.
    const std::string speed = platform::floatToText(ratedSpeedMHz(root));
    texts.cpuName = speed + " Mhz " + key->text("ProcessorNameString").value_or("");
    return texts;
}

Identification identify(const IdentificationSteps& steps) {
    Identification found;
    std::jthread clockThread;
    try {
        clockThread = std::jthread([&found, &steps] { found.clock = steps.measureClock(); });
    } catch (const std::system_error&) {
        // Measured after the sweeps instead; the start-up only takes longer.
    }
    found.registry = steps.readRegistry();
    found.instructions = instructionSetText(instructionProbes(), steps.runProbe);
    found.cacheSize = cacheSizeText(steps.runCacheSweeps());
    if (clockThread.joinable()) {
        clockThread.join();
    } else {
        found.clock = steps.measureClock();
    }
    return found;
}

IdentificationSteps machineIdentificationSteps() {
    return {
        [] { return readRegistryTexts("/"); },
        [](const InstructionProbe& probe) { return sysinfo::runProbe(probe); },
        [] {
            // Backed here rather than at start: this takes tens of milliseconds on a virtual
            // machine, which the clock measurement's sleep beside it hides.
            sysinfo::backSweepBuffer();
            return sysinfo::runCacheSweeps();
        },
        [] {
            // Two disturbed sleeps in a row leave no reading: "Core speed" keeps "-".
            sysinfo::measureClock();
            return sysinfo::clockText().empty() ? std::string("-") : sysinfo::clockText();
        },
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
