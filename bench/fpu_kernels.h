// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seven floating-point (FPU group) kernels, in calling order. Each returns elapsed ms and
// the end state of its work.

#include <cstdint>

#include "bench/kernel.h"

namespace bench {

struct Golden;

// Each kernel beside the golden value its work must leave.
KernelOutcome hyperbolicCosecant(const KernelContext& context);
Golden hyperbolicCosecantGolden();
KernelOutcome hyperbolicTangent(const KernelContext& context);
Golden hyperbolicTangentGolden();
KernelOutcome hypotenuse(const KernelContext& context);
Golden hypotenuseGolden();
KernelOutcome digitPi(const KernelContext& context);
Golden digitPiGolden();
KernelOutcome factorial(const KernelContext& context);
Golden factorialGolden();
KernelOutcome objects3D(const KernelContext& context);
Golden objects3DGolden();
KernelOutcome precatching(const KernelContext& context);
Golden precatchingGolden();

// The precatch slots P0 to P4, used only by "Precatching............". Kept in memory.
extern volatile std::int64_t precatchP0;
extern volatile std::int64_t precatchP1;
extern volatile std::int64_t precatchP2;
extern volatile std::int64_t precatchP3;
extern volatile std::int64_t precatchP4;

// Element 64,000 of the precatching scratch array, which that kernel reads but never
// writes: the value "3D objects.............." leaves there (2,067,152 x pi) when the
// kernels share their scratch storage. It keeps the slot P4 far from 0, P4 being a divisor.
inline constexpr long double kPrecatchElement64000 =
    2'067'152.0L * 3.14159265358979323846264338327950288L;

// The reference computation behind "Digit Pi"'s golden value, for its test.
namespace reference {

// 2 x (1 - 1/3 + 1/5 - ... + (-1)^n / (2n + 1)) for an even n, in closed form: pi/2 plus the
// tail of the alternating series, 1/a + 1/a^2 - 2/a^4 with a = 2n + 3 (the Euler-Boole
// expansion; the next term is below 300/a^6).
long double leibnizSumTwice(std::int64_t n);

}  // namespace reference

}  // namespace bench
