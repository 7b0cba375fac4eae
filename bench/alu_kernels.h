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

}  // namespace bench
