// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Instruction probes: the extensions are found by trying one instruction of each and
// seeing whether the processor refuses it, never by asking CPUID.

#include <array>
#include <functional>
#include <span>
#include <vector>

namespace sysinfo {

// The extensions a probe can find, in the order they are run and listed; their names are
// the presentation's (present::extensionName).
enum class Extension { Mmx, ThreeDNow, Sse, Sse2, Sse3 };

struct InstructionProbe {
    Extension extension;
    void (*execute)();  // the probe's instructions; faults when they are refused
};

// MMX, 3DNow!, SSE, SSE2 and SSE3, in the order they are run and listed.
const std::array<InstructionProbe, 5>& instructionProbes();

// Runs one probe under its own fault guard: true when the processor executed it. A
// refused probe leaves the floating-point unit as it found it.
bool runProbe(const InstructionProbe& probe);

// The extensions of the probes that `run` reports as executed, in the order given; each
// probe runs on its own, so a refused one does not stop the next.
std::vector<Extension> supportedExtensions(
    std::span<const InstructionProbe> probes,
    const std::function<bool(const InstructionProbe&)>& run = runProbe);

}  // namespace sysinfo
