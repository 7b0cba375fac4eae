// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seven integer (ALU group) kernels, in calling order. Each returns elapsed ms and the
// end state of its work (golden.h lists what each must leave).

#include <cstddef>
#include <cstdint>

#include "bench/kernel.h"

namespace bench {

KernelOutcome fibonacciDigits();       // "Fibonachi digit's........"
KernelOutcome calculFactorial();       // "Calcul factorial........."
KernelOutcome formulaFerma();          // "Formula Ferma........."
KernelOutcome bruteForce();            // "Brute force............."
KernelOutcome additionMatrix();        // "Addition matrix........"
KernelOutcome multiplicationMatrix();  // "Multiplication matrix..."
KernelOutcome quickSort();             // "Quick sort.............."

// Volume factors of the sweep tails that end these kernels' timed work.
inline constexpr std::int32_t kFibonacciTailFactor = 32;
inline constexpr std::int32_t kCalculFactorialTailFactor = 48;
inline constexpr std::int32_t kFermaTailFactor = 52;
inline constexpr std::int32_t kAdditionMatrixTailFactor = 52;
inline constexpr std::int32_t kMultiplicationMatrixTailFactor = 32;

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

}  // namespace bench
