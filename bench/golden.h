// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a kernel's work must leave on a sound processor, and the check of what it left. Each
// family's golden values live beside its kernels (alu_kernels.cpp, fpu_kernels.cpp,
// instr_kernels.cpp), each from the workload as designed, never from running a kernel: the
// counters' end values and the turn counts that the loop bounds give, the values the design
// states, the instruction blocks' bytes from the processor's encoding reference, and short
// reference computations with their own copies of the bounds.
//
// The run meets two x87 control words: the program's 0x1332 at start, and the default
// 0x037F after the x87 instruction kernels. Both compute in extended precision and round to
// nearest, so every golden value holds under either.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "bench/kernel.h"

namespace bench {

struct Golden {
    WorkProof work;
    // How far each value may lie from the golden one, absolute. Values from the x87 unit's
    // transcendental instructions differ in their last bits between processor makers; a
    // tolerance far above that, and far below what one loop turn fewer or one flipped bit
    // in the exponent or the upper half of the significand changes, tells the two apart.
    std::array<long double, WorkProof::kValues> tolerance{};
};

// Tolerances, as parts of the value (at least of 1). Values from exact operations (sums,
// products, quotients, square roots) differ between sound processors only by how the
// reference rounds; values through fcos, fsin or f2xm1 by up to some 1e-15 of their size
// in the worst reductions any maker's unit does. One turn fewer changes every value checked
// with these by 1e-7 of it or more.
inline constexpr long double kExactOperations = 1e-12L;
inline constexpr long double kTranscendental = 1e-9L;

// A golden of counts only.
Golden exactly(const std::array<std::int64_t, WorkProof::kCounts>& counts);

// Sets value `slot` with a tolerance of `part` of it (at least of 1).
void expect(Golden& golden, std::size_t slot, long double value, long double part);

// The first slot where a kernel's work differs from its golden value, counts before values.
struct Mismatch {
    enum class Kind { Count, Value };
    Kind kind = Kind::Count;
    std::size_t slot = 0;
    // A count is held exactly: the 64-bit significand holds every 64-bit integer.
    long double expected = 0;
    long double got = 0;
    long double tolerance = 0;  // 0 for a count
    friend bool operator==(const Mismatch&, const Mismatch&) = default;
};

// Nothing when every count is equal and every value within its tolerance (a NaN never is).
std::optional<Mismatch> checkWork(const WorkProof& work, const Golden& golden);

}  // namespace bench
