// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fifteen instruction throughput (INSTR group) kernels, in calling order. Each returns
// its numerator divided by the elapsed ms: millions of instructions per second.

#include <cstdint>

namespace bench {

std::int32_t instrAddition();        // "Addition..........."
std::int32_t instrSubstraction();    // "Substraction......"
std::int32_t instrMultiplication();  // "Multiplication......"
std::int32_t instrDivision();        // "Division............"
std::int32_t fpuAdd();               // "FPU Add.........."
std::int32_t fpuSub();               // "FPU Sub.........."
std::int32_t fpuMul();               // "FPU Mul..........."
std::int32_t fpuDiv();               // "FPU Div..........."
std::int32_t mmxAdd();               // "MMX Add.........."
std::int32_t mmxSub();               // "MMX Sub.........."
std::int32_t mmxMul();               // "MMX Mul..........."
std::int32_t sseAdd();               // "SSE Add.........."
std::int32_t sseSub();               // "SSE Sub.........."
std::int32_t sseMul();               // "SSE Mul..........."
std::int32_t sseDiv();               // "SSE Div..........."

}  // namespace bench
