// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The millisecond tick counter every timing in Corvane is taken from, plus sleeping.
//
// Callers only ever subtract two readings in 32-bit arithmetic, so the counter may wrap.
// Code under test takes its tick source as a parameter (platform::Clock), so a test drives
// every elapsed time exactly.

#include <time.h>

#include <cstdint>

namespace platform {

using TickSource = std::uint32_t (*)();

// Milliseconds of CLOCK_MONOTONIC, truncated to 32 bits.
std::uint32_t monotonicTicks();

// end - start as the callers expect it: a 32-bit difference, right across a wrap.
inline std::uint32_t ticksBetween(std::uint32_t start, std::uint32_t end) {
    return end - start;
}

// The same difference read as signed, as the kernels and sweeps report it.
inline std::int32_t elapsedMs(std::uint32_t start, std::uint32_t end) {
    return static_cast<std::int32_t>(end - start);
}

// What a timed loop covered: bytes (written, or spanned by its loads) in milliseconds, from
// which true bytes per second follow whatever figure the loop's caller shows.
struct TimedBytes {
    std::int64_t bytes = 0;
    std::int32_t ms = 0;
    friend bool operator==(const TimedBytes&, const TimedBytes&) = default;
};

void sleepMs(std::uint32_t ms);

// Gives up the rest of the time slice.
void yieldSlice();

// A finer clock for timing pieces of work far shorter than one tick: nanoseconds of
// CLOCK_MONOTONIC. Only differences of two readings mean anything.
using NanosecondSource = std::uint64_t (*)();
std::uint64_t monotonicNanoseconds();

// Nanoseconds of any system clock: CLOCK_THREAD_CPUTIME_ID counts only the time the
// calling thread ran.
std::uint64_t nanosecondsOf(clockid_t clock);

// The processor's time-stamp counter.
inline std::uint64_t readTimeStampCounter() {
    std::uint32_t low = 0, high = 0;
    asm volatile("rdtsc" : "=a"(low), "=d"(high));
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace platform
