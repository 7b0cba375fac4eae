// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small named compiler barriers for the benchmark kernels. The kernels compute values that
// nobody reads; these keep the compiler from dropping, merging or hoisting that work while
// leaving the rest of the code at the project's normal optimisation.

#include <atomic>
#include <cstdint>

#include "bench/kernel.h"
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

// Where a kernel keeps its context through its timed section: in a stack slot, so that the
// work between the two tick readings has every register it had before kernels took a
// context. A relaxed atomic, because GCC keeps a plain or even a volatile member of a local
// object in a register all the same.
class TimedContext {
  public:
    explicit TimedContext(const KernelContext& context) {
        slot_.store(&context, std::memory_order_relaxed);
    }
    const KernelContext& operator*() const { return *slot_.load(std::memory_order_relaxed); }

  private:
    std::atomic<const KernelContext*> slot_;
};

// One tick reading: the context loaded from its slot and a call through its tick source, as
// a reading of the program-wide counter loads that counter's source and jumps through it.
// The fence between the two keeps the scheduler from filling the load's latency with the
// kernel's own instructions, which would move them across the reading.
inline std::uint32_t readTicks(const TimedContext& context) {
    const KernelContext& loaded = *context;
    clobberMemory();
    return loaded.ticks();
}

// The tick readings around a kernel's timed section, fenced so that no work of the section
// moves outside them.
inline std::uint32_t startTiming(const TimedContext& context) {
    const std::uint32_t start = readTicks(context);
    clobberMemory();
    return start;
}

inline std::int32_t stopTiming(const TimedContext& context, std::uint32_t start) {
    clobberMemory();
    return platform::elapsedMs(start, readTicks(context));
}

// The six sweeps that end most ALU and FPU kernels' timed work, with the factor of the
// kernel's row. Out of line, so that the call takes one argument register, not the three of
// the sweep's own, which the kernels' loop values sit in as they end.
[[gnu::noinline]] inline void sweepTail(const TimedContext& context) {
    const KernelContext& tail = *context;
    sysinfo::sweepTail(tail.tailFactor, tail.ticks, tail.sweepBlock);
}

}  // namespace bench
