// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seven integer (ALU group) kernels, in calling order. Each returns elapsed ms.

#include <cstdint>

namespace bench {

std::int32_t fibonacciDigits();       // "Fibonachi digit's........"
std::int32_t calculFactorial();       // "Calcul factorial........."
std::int32_t formulaFerma();          // "Formula Ferma........."
std::int32_t bruteForce();            // "Brute force............."
std::int32_t additionMatrix();        // "Addition matrix........"
std::int32_t multiplicationMatrix();  // "Multiplication matrix..."
std::int32_t quickSort();             // "Quick sort.............."

// Volume factors of the sweep tails that end these kernels' timed work.
inline constexpr std::int32_t kFibonacciTailFactor = 32;
inline constexpr std::int32_t kCalculFactorialTailFactor = 48;
inline constexpr std::int32_t kFermaTailFactor = 52;
inline constexpr std::int32_t kAdditionMatrixTailFactor = 52;
inline constexpr std::int32_t kMultiplicationMatrixTailFactor = 32;

}  // namespace bench

namespace bench {

// The program-wide loop counters I and J. Kept in memory: every use reads them and every
// step writes them back, as part of the measured work.
extern volatile std::int32_t globalI;
extern volatile std::int32_t globalJ;

// Elements of the sweep buffer the quick sort works on: 1 to kQuickSortElements.
inline constexpr std::int32_t kQuickSortElements = 32'500;

}  // namespace bench
