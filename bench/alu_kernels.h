// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seven integer (ALU group) kernels, in calling order. Each returns elapsed ms and the
// end state of its work.

#include <cstddef>
#include <cstdint>

#include "bench/kernel.h"

namespace bench {

struct Golden;

// Each kernel beside the golden value its work must leave.
KernelOutcome fibonacciDigits(const KernelContext& context);
Golden fibonacciDigitsGolden();
KernelOutcome calculFactorial(const KernelContext& context);
Golden calculFactorialGolden();
KernelOutcome formulaFerma(const KernelContext& context);
Golden formulaFermaGolden();
KernelOutcome bruteForce(const KernelContext& context);
Golden bruteForceGolden();
KernelOutcome additionMatrix(const KernelContext& context);
Golden additionMatrixGolden();
KernelOutcome multiplicationMatrix(const KernelContext& context);
Golden multiplicationMatrixGolden();
KernelOutcome quickSort(const KernelContext& context);
Golden quickSortGolden();

// The program-wide loop counters I and J. Kept in memory: every use reads them and every
// step writes them back, as part of the measured work.
extern volatile std::int32_t globalI;
extern volatile std::int32_t globalJ;

// Elements of the sweep buffer the quick sort works on: 1 to kQuickSortElements.
inline constexpr std::int32_t kQuickSortElements = 32'500;

// Byte `offset` of the matrix kernels' storage when a call begins. Their start contents do
// not change the work; a fixed pattern keeps every run identical, reads no indeterminate
// memory and makes the end contents known.
inline std::uint8_t matrixStartByte(std::size_t offset) {
    return static_cast<std::uint8_t>(offset * 37u + 11u);
}

// The reference computations behind the golden values, for their tests.
namespace reference {

// F(n) mod 2^32 with F(0) = 0, F(1) = 1, by fast doubling.
std::uint32_t fibonacciMod2To32(std::uint64_t n);

// The checksum of the five matrices of "Addition matrix" after `passes` passes from the
// start pattern (passes >= 1). Every element pair (a, b) of M1 and M2 takes the step
// (a, b) -> (3a + 2b, 2a + b) mod 256, whatever its neighbours do.
std::int64_t additionMatrixChecksum(std::int64_t passes);

}  // namespace reference

}  // namespace bench
