// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stability workload for the widest vector unit the processor has: AVX-512, or AVX2 with
// FMA, chosen at run time.
//
// Every lane runs its own sequence x := (A x + C) mod 2^26 on integer-valued doubles: one
// fused multiply-add gives A x + C exactly (below 2^53), a multiplication by 2^-26 and a
// rounding down give the quotient exactly, and a second fused multiply-add takes it off
// again. Each step's multiplier sees 26 changing bits, the values differ from lane to lane,
// and no rounding ever happens, so the end of a block of steps is known in advance from
// integer arithmetic alone. Unlike the stability loop a wrong value is never repaired: it
// carries through to the block's end, where every lane is checked.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "diag/stability.h"

namespace diag {

enum class VectorUnit : std::uint8_t { None, Avx2Fma, Avx512 };

// What CPUID and XGETBV say: the instructions the processor has and the registers the
// system saves on a task switch. A unit the system does not save cannot be used even where
// the processor has it.
struct VectorFeatures {
    std::uint32_t leaf1Ecx = 0;  // CPUID 1: FMA, OSXSAVE, AVX
    std::uint32_t leaf7Ebx = 0;  // CPUID 7.0: AVX2, AVX512F
    std::uint64_t xcr0 = 0;      // 0 where OSXSAVE is clear: XGETBV would fault
};

VectorFeatures readVectorFeatures();
VectorUnit widestVectorUnit(const VectorFeatures& features);
// Of this machine; read once.
VectorUnit widestVectorUnit();

// Lanes of the unit's pass: 4 doubles per AVX2 register in 8 chains, 8 per AVX-512 register
// in 16; 0 for None.
int vectorLanes(VectorUnit unit);

inline constexpr int kVectorStepsPerBlock = 1024;
// 20 to 30 ms a pass on the machine measured, a fifth of a stability pass: a worker sees a
// stop soon.
inline constexpr std::int64_t kVectorBlocksPerPass = 4096;

// Lets a test change the lanes' values at the end of a block, before they are checked.
using VectorFault = std::function<void(std::int64_t block, std::span<double> lanes)>;

// One pass of `blocks` blocks on `unit`; each block starts from the same known values.
// Absent when the unit is None or this machine does not have it, so that nothing else is
// run in its place.
std::optional<PassRoutine> vectorPassRoutine(VectorUnit unit = widestVectorUnit(),
                                             std::int64_t blocks = kVectorBlocksPerPass,
                                             VectorFault fault = {});

}  // namespace diag
