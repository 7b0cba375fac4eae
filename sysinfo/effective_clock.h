// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The effective core clock: how many dependent one-cycle additions the core completes per
// microsecond. The time-stamp counter runs at a fixed rate whatever the core does, so it
// cannot say how many cycles a workload took; this can.

#include <time.h>

#include <cstdint>

namespace sysinfo {

// Additions in one timed chain: long enough (tens of ms) that the clock reading is noise.
inline constexpr std::uint64_t kClockChainAdditions = 200'000'000;

// Nanoseconds of `clock` that a serial chain of `additions` dependent register additions
// took (rounded up to a multiple of the unrolled block). CLOCK_THREAD_CPUTIME_ID counts only
// the time the thread ran, which keeps the figure honest on cores shared with other work.
std::int64_t timeAdditionChainNs(std::uint64_t additions, clockid_t clock = CLOCK_MONOTONIC);

// additions per microsecond, i.e. MHz when each addition takes one cycle; 0 for no time.
double chainMHz(std::uint64_t additions, std::int64_t nanoseconds);

// The best of `attempts` chains: other work on the core can only slow a chain down.
double effectiveClockMHz(int attempts = 5, clockid_t clock = CLOCK_MONOTONIC);

}  // namespace sysinfo
