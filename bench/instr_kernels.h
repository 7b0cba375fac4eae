// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fifteen instruction throughput (INSTR group) kernels, in calling order. Each returns
// its numerator divided by the elapsed ms: millions of instructions per second, and the end
// state of its work.

#include <cstdint>

#include "bench/kernel.h"

namespace bench {

struct Golden;

// Each kernel beside the golden value its work must leave.
KernelOutcome instrAddition(const KernelContext& context);
Golden instrAdditionGolden();
KernelOutcome instrSubstraction(const KernelContext& context);
Golden instrSubstractionGolden();
KernelOutcome instrMultiplication(const KernelContext& context);
Golden instrMultiplicationGolden();
KernelOutcome instrDivision(const KernelContext& context);
Golden instrDivisionGolden();
KernelOutcome fpuAdd(const KernelContext& context);
Golden fpuAddGolden();
KernelOutcome fpuSub(const KernelContext& context);
Golden fpuSubGolden();
KernelOutcome fpuMul(const KernelContext& context);
Golden fpuMulGolden();
KernelOutcome fpuDiv(const KernelContext& context);
Golden fpuDivGolden();
KernelOutcome mmxAdd(const KernelContext& context);
Golden mmxAddGolden();
KernelOutcome mmxSub(const KernelContext& context);
Golden mmxSubGolden();
KernelOutcome mmxMul(const KernelContext& context);
Golden mmxMulGolden();
KernelOutcome sseAdd(const KernelContext& context);
Golden sseAddGolden();
KernelOutcome sseSub(const KernelContext& context);
Golden sseSubGolden();
KernelOutcome sseMul(const KernelContext& context);
Golden sseMulGolden();
KernelOutcome sseDiv(const KernelContext& context);
Golden sseDivGolden();

}  // namespace bench
