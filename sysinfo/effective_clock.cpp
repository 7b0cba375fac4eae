// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/effective_clock.h"

#include <time.h>

#include "platform/ticks.h"

namespace sysinfo {
namespace {

constexpr std::uint64_t kAdditionsPerBlock = 32;

std::int64_t nowNs(clockid_t clock) {
    return static_cast<std::int64_t>(platform::nanosecondsOf(clock));
}

}  // namespace

std::int64_t timeAdditionChainNs(std::uint64_t additions, clockid_t clock) {
    std::uint64_t blocks = (additions + kAdditionsPerBlock - 1) / kAdditionsPerBlock;
    if (blocks == 0) return 0;  // the countdown below would wrap
    std::uint64_t accumulator = 0;
    // The addend is a register whose value the core cannot know in advance: an immediate
    // add chain can be folded by some renamers and would then run faster than the clock.
    std::uint64_t addend = static_cast<std::uint64_t>(nowNs(CLOCK_MONOTONIC)) | 1u;
    const std::int64_t start = nowNs(clock);
    asm volatile(
        "1:\n\t"
        ".rept 32\n\t"
        "addq %[addend], %[acc]\n\t"
        ".endr\n\t"
        "decq %[blocks]\n\t"
        "jnz 1b\n\t"
        : [acc] "+r"(accumulator), [blocks] "+r"(blocks)
        : [addend] "r"(addend)
        : "cc", "memory");
    const std::int64_t end = nowNs(clock);
    return end - start;
}

double chainMHz(std::uint64_t additions, std::int64_t nanoseconds) {
    if (nanoseconds <= 0) return 0.0;
    return static_cast<double>(additions) * 1000.0 / static_cast<double>(nanoseconds);
}

double effectiveClockMHz(int attempts, clockid_t clock) {
    const std::uint64_t additions =
        (kClockChainAdditions + kAdditionsPerBlock - 1) / kAdditionsPerBlock * kAdditionsPerBlock;
    double best = 0.0;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const double mhz = chainMHz(additions, timeAdditionChainNs(additions, clock));
        if (mhz > best) best = mhz;
    }
    return best;
}

}  // namespace sysinfo
