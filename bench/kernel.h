// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A kernel: a fixed, timed workload. It reads the tick counter at the start and at the end
// of its timed section; ALU and FPU kernels return the elapsed milliseconds, instruction
// kernels a rate in millions of instructions per second. Beside that figure it yields what
// its work left, read after the closing tick, so the run can tell work done from work
// skipped or computed wrongly.
//
// A row of the benchmark is a kernel with what the run needs to call, show and check it;
// the rows themselves are listed once, in kernel_table.h.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ticks.h"
#include "sysinfo/sweep.h"

namespace bench {

// What a kernel's work left: the end values of its loop counters, counts and checksums,
// compared exactly, and the floating-point values it stored last, compared within a
// tolerance. Entries a kernel does not use stay 0.
struct WorkProof {
    static constexpr std::size_t kCounts = 12;
    static constexpr std::size_t kValues = 9;
    std::array<std::int64_t, kCounts> counts{};
    std::array<long double, kValues> values{};
};

struct KernelOutcome {
    std::int32_t returned = 0;  // elapsed ms, or an instruction kernel's rate
    WorkProof work;
};

// Everything a kernel reads besides its own work: the tick counter of its two readings, and
// for a kernel that ends with a sweep tail, the tail's block routine and volume factor.
struct KernelContext {
    platform::TickSource ticks = platform::monotonicTicks;
    sysinfo::SweepBlockRoutine sweepBlock = sysinfo::sweepBlock;
    std::int32_t tailFactor = 0;
};

using Kernel = KernelOutcome (*)(const KernelContext& context);

// What a kernel's work must leave; golden.h.
struct Golden;

enum class Group { Alu, Fpu, Instr };

// How a row runs: plainly, or under the fault guard (a processor without the extension
// refuses the instruction and the row keeps 0).
enum class Guard { None, Mmx, Sse };

struct KernelRow {
    Group group;
    // The caption's key, which the presentation turns into the window's words
    // (present::rowCaption): "fibonacci_digits" is "Fibonachi digit's........".
    std::string_view caption;
    Kernel kernel;
    Guard guard;
    // The volume factor of the sweep tail that ends the kernel's timed work, handed to it in
    // its context; 0 for a kernel without a tail.
    std::int32_t sweepTailFactor;
    Golden (*golden)();
};

// FNV-1a over bytes a kernel leaves in memory: one number that changes with any byte.
inline std::int64_t byteChecksum(const volatile std::uint8_t* bytes, std::size_t count) {
    std::uint64_t hash = 14'695'981'039'346'656'037u;
    for (std::size_t k = 0; k < count; ++k) {
        hash ^= bytes[k];
        hash *= 1'099'511'628'211u;
    }
    return static_cast<std::int64_t>(hash);
}

}  // namespace bench
