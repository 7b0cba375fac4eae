// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seven floating-point (FPU group) kernels, in calling order. Each returns elapsed ms and
// the end state of its work (golden.h lists what each must leave).

#include <cstdint>

#include "bench/kernel.h"

namespace bench {

KernelOutcome hyperbolicCosecant();  // "Hyperbolic cosecant..."
KernelOutcome hyperbolicTangent();   // "Hyperbolic tangent...."
KernelOutcome hypotenuse();          // "Hypotenuse............"
KernelOutcome digitPi();             // "Digit Pi.................."
KernelOutcome factorial();           // "Factorial................"
KernelOutcome objects3D();           // "3D objects.............."
KernelOutcome precatching();         // "Precatching............"

// Volume factors of the sweep tails that end these kernels' timed work.
inline constexpr std::int32_t kCosecantTailFactor = 42;
inline constexpr std::int32_t kTangentTailFactor = 42;
inline constexpr std::int32_t kHypotenuseTailFactor = 42;
inline constexpr std::int32_t kDigitPiTailFactor = 22;
inline constexpr std::int32_t kFactorialTailFactor = 32;
inline constexpr std::int32_t kObjects3DTailFactor = 62;

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

}  // namespace bench
