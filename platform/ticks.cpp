// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ticks.h"

#include <sched.h>
#include <time.h>

#include <cerrno>

namespace platform {

std::uint32_t monotonicTicks() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000u;
    return static_cast<std::uint32_t>(ms);
}

std::uint64_t nanosecondsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t monotonicNanoseconds() {
    return nanosecondsOf(CLOCK_MONOTONIC);
}

void sleepMs(std::uint32_t ms) {
    if (ms == 0) {
        yieldSlice();
        return;
    }
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000L};
    // A signal must not cut the sleep short: the clock measurement depends on its length.
    while (nanosleep(&rest, &rest) == -1 && errno == EINTR) {
    }
}

void yieldSlice() {
    sched_yield();
}

}  // namespace platform
