// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/probes.h"

#include <cstdint>

#include "platform/fault_guard.h"

namespace sysinfo {
namespace {

// Each probe works on zeros, so a supported instruction raises no numeric exception and
// only a refused one (SIGILL) ends it. The MMX probe takes its zero in a register; the
// others load it from a local variable, as their instructions read memory.

void probeMmx() {
    asm volatile(
        "movd %0, %%mm0\n\t"
        "emms"
        :
        : "r"(std::int32_t{0})
        : "mm0");
}

void probe3DNow() {
    std::int32_t zero = 0;
    asm volatile(
        "movd %0, %%mm0\n\t"
        "pfmul %%mm1, %%mm0\n\t"
        "emms"
        :
        : "m"(zero)
        : "mm0", "mm1");
}

void probeSse() {
    std::int32_t zero = 0;
    asm volatile(
        "movss %0, %%xmm0\n\t"
        "movss %0, %%xmm1\n\t"
        "addss %%xmm1, %%xmm0\n\t"
        "emms"
        :
        : "m"(zero)
        : "xmm0", "xmm1");
}

void probeSse2() {
    std::int32_t zero = 0;
    asm volatile(
        "movss %0, %%xmm0\n\t"
        "movss %0, %%xmm1\n\t"
        "addsd %%xmm1, %%xmm0\n\t"
        "emms"
        :
        : "m"(zero)
        : "xmm0", "xmm1");
}

void probeSse3() {
    std::int32_t zero = 0;
    asm volatile(
        "movss %0, %%xmm0\n\t"
        "movss %0, %%xmm1\n\t"
        "addsubps %%xmm1, %%xmm0\n\t"
        "emms"
        :
        : "m"(zero)
        : "xmm0", "xmm1");
}

}  // namespace

const std::array<InstructionProbe, 5>& instructionProbes() {
    static const std::array<InstructionProbe, 5> probes{{
        {Extension::Mmx, probeMmx},
        {Extension::ThreeDNow, probe3DNow},
        {Extension::Sse, probeSse},
        {Extension::Sse2, probeSse2},
        {Extension::Sse3, probeSse3},
    }};
    return probes;
}

bool runProbe(const InstructionProbe& probe) {
    // The guard puts the x87 unit and MXCSR back as they were if the probe is refused.
    return platform::runGuarded(
        [](void* context) { static_cast<const InstructionProbe*>(context)->execute(); },
        const_cast<InstructionProbe*>(&probe));
}

std::vector<Extension> supportedExtensions(
    std::span<const InstructionProbe> probes,
    const std::function<bool(const InstructionProbe&)>& run) {
    std::vector<Extension> found;
    for (const auto& probe : probes) {
        if (run(probe)) found.push_back(probe.extension);
    }
    return found;
}

}  // namespace sysinfo
