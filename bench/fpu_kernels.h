#pragma once
// The seven floating-point (FPU group) kernels, in calling order. Each returns elapsed ms.

#include <cstdint>

namespace bench {

std::int32_t hyperbolicCosecant();  // "Hyperbolic cosecant..."
std::int32_t hyperbolicTangent();   // "Hyperbolic tangent...."
std::int32_t hypotenuse();          // "Hypotenuse............"
std::int32_t digitPi();             // "Digit Pi.................."
std::int32_t factorial();           // "Factorial................"
std::int32_t objects3D();           // "3D objects.............."
std::int32_t precatching();         // "Precatching............"

}  // namespace bench
