// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Instruction probes: the extensions are found by trying one instruction of each and
// seeing whether the processor refuses it, never by asking CPUID.

#include <array>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace sysinfo {

struct InstructionProbe {
    std::string_view name;  // the extension: "MMX", "3DNow", "SSE", "SSE2", "SSE3"
    void (*execute)();      // the probe's instructions; faults when they are refused
};

// MMX, 3DNow!, SSE, SSE2 and SSE3, in the order they are run and listed.
const std::array<InstructionProbe, 5>& instructionProbes();

// Runs one probe under its own fault guard: true when the processor executed it. A
// refused probe leaves the floating-point unit as it found it.
bool runProbe(const InstructionProbe& probe);

// The names of the probes that `run` reports as executed, in the order given; each probe
// runs on its own, so a refused one does not stop the next.
std::vector<std::string_view> supportedExtensions(
    std::span<const InstructionProbe> probes,
    const std::function<bool(const InstructionProbe&)>& run = runProbe);

}  // namespace sysinfo
