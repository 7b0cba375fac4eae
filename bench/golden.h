// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each kernel's work must leave on a sound processor. Every value comes from the
// workloads as designed, never from running a kernel: the counters' end values and the turn
// counts that the loop bounds give, the values the design states (the sink holds 8, 32,500
// elements sorted down to 1), the instruction blocks' bytes from the processor's encoding
// reference, and short reference computations with their own copies of the bounds
// (Fibonacci by fast doubling, powers of the addition step's matrix, closed forms of the
// series and of the instruction chains, the library's own cosine and exponential).
//
// The run meets two x87 control words: the program's 0x1332 at start, and the default
// 0x037F after the x87 instruction kernels. Both compute in extended precision and round to
// nearest, so every value below holds under either.

#include <array>
#include <cstdint>

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

// Every count equal, every value within its tolerance (a NaN never is).
bool matchesGolden(const WorkProof& work, const Golden& golden);

Golden fibonacciDigitsGolden();
Golden calculFactorialGolden();
Golden formulaFermaGolden();
Golden bruteForceGolden();
Golden additionMatrixGolden();
Golden multiplicationMatrixGolden();
Golden quickSortGolden();

Golden hyperbolicCosecantGolden();
Golden hyperbolicTangentGolden();
Golden hypotenuseGolden();
Golden digitPiGolden();
Golden factorialGolden();
Golden objects3DGolden();
Golden precatchingGolden();

Golden instrAdditionGolden();
Golden instrSubstractionGolden();
Golden instrMultiplicationGolden();
Golden instrDivisionGolden();
Golden fpuAddGolden();
Golden fpuSubGolden();
Golden fpuMulGolden();
Golden fpuDivGolden();
Golden mmxAddGolden();
Golden mmxSubGolden();
Golden mmxMulGolden();
Golden sseAddGolden();
Golden sseSubGolden();
Golden sseMulGolden();
Golden sseDivGolden();

// The reference computations behind the golden values, for their tests.
namespace reference {

// F(n) mod 2^32 with F(0) = 0, F(1) = 1, by fast doubling.
std::uint32_t fibonacciMod2To32(std::uint64_t n);

// The checksum of the five matrices of "Addition matrix" after `passes` passes from the
// start pattern (passes >= 1). Every element pair (a, b) of M1 and M2 takes the step
// (a, b) -> (3a + 2b, 2a + b) mod 256, whatever its neighbours do.
std::int64_t additionMatrixChecksum(std::int64_t passes);

// 2 x (1 - 1/3 + 1/5 - ... + (-1)^n / (2n + 1)) for an even n, in closed form: pi/2 plus the
// tail of the alternating series, 1/a + 1/a^2 - 2/a^4 with a = 2n + 3 (the Euler-Boole
// expansion; the next term is below 300/a^6).
long double leibnizSumTwice(std::int64_t n);

}  // namespace reference

}  // namespace bench
