// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fifteen instruction throughput (INSTR group) kernels, in calling order. Each returns
// its numerator divided by the elapsed ms: millions of instructions per second, and the end
// state of its work (golden.h lists what each must leave).

#include <cstdint>

#include "bench/kernel.h"

namespace bench {

KernelOutcome instrAddition();        // "Addition..........."
KernelOutcome instrSubstraction();    // "Substraction......"
KernelOutcome instrMultiplication();  // "Multiplication......"
KernelOutcome instrDivision();        // "Division............"
KernelOutcome fpuAdd();               // "FPU Add.........."
KernelOutcome fpuSub();               // "FPU Sub.........."
KernelOutcome fpuMul();               // "FPU Mul..........."
KernelOutcome fpuDiv();               // "FPU Div..........."
KernelOutcome mmxAdd();               // "MMX Add.........."
KernelOutcome mmxSub();               // "MMX Sub.........."
KernelOutcome mmxMul();               // "MMX Mul..........."
KernelOutcome sseAdd();               // "SSE Add.........."
KernelOutcome sseSub();               // "SSE Sub.........."
KernelOutcome sseMul();               // "SSE Mul..........."
KernelOutcome sseDiv();               // "SSE Div..........."

}  // namespace bench
