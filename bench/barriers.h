// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small named compiler barriers for the benchmark kernels. The kernels compute values that
// nobody reads; these keep the compiler from dropping, merging or hoisting that work while
// leaving the rest of the code at the project's normal optimisation.

#include <cstdint>

#include "platform/ticks.h"

namespace bench {

// Makes `value` look read and rewritten here: the work that produced it must happen, and
// later work cannot reuse what the compiler knew about it.
template <class T>
inline void doNotOptimize(T& value) {
    asm volatile("" : "+r,m"(value) : : "memory");
}

// The extended type cannot live in a general register, so it goes through memory.
inline void doNotOptimize(long double& value) {
    asm volatile("" : "+m"(value) : : "memory");
}

// A compiler fence: memory reads and writes are not moved across it, so work stays on its
// side of a tick reading.
inline void clobberMemory() {
    asm volatile("" : : : "memory");
}

// One step of a counter kept in memory: a load, an add and a store.
template <class T>
inline void stepInMemory(volatile T& counter) {
    counter = counter + 1;
}

// The tick readings around a kernel's timed section, fenced so that no work of the section
// moves outside them.
inline std::uint32_t startTiming() {
    const std::uint32_t start = platform::tickCount();
    clobberMemory();
    return start;
}

inline std::int32_t stopTiming(std::uint32_t start) {
    clobberMemory();
    return platform::elapsedMs(start, platform::tickCount());
}

}  // namespace bench
