// SPDX-License-Identifier: GPL-3.0-or-later
// The fifteen instruction kernels run for real (about half a minute together): each
// accumulator must end where k x n instructions take it, the block must have turned n
// times, and it must be the k copies the kernel names, as assembled.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bench/golden.h"
#include "bench/instr_kernels.h"
#include "real_kernel_test.h"

namespace {

struct InstrCase {
    const char* name;
    bench::Kernel kernel;
    bench::Golden (*golden)();
    std::int32_t numerator;
};

const InstrCase kInstrCases[] = {
    {"Addition", bench::instrAddition, bench::instrAdditionGolden, 19'200'000},
    {"Substraction", bench::instrSubstraction, bench::instrSubstractionGolden, 19'200'000},
    {"Multiplication", bench::instrMultiplication, bench::instrMultiplicationGolden, 640'000},
    {"Division", bench::instrDivision, bench::instrDivisionGolden, 400'000},
    {"FpuAdd", bench::fpuAdd, bench::fpuAddGolden, 1'920'000},
    {"FpuSub", bench::fpuSub, bench::fpuSubGolden, 1'920'000},
    {"FpuMul", bench::fpuMul, bench::fpuMulGolden, 1'600'000},
    {"FpuDiv", bench::fpuDiv, bench::fpuDivGolden, 6'400},
    {"MmxAdd", bench::mmxAdd, bench::mmxAddGolden, 1'600'000},
    {"MmxSub", bench::mmxSub, bench::mmxSubGolden, 1'600'000},
    {"MmxMul", bench::mmxMul, bench::mmxMulGolden, 1'600'000},
    {"SseAdd", bench::sseAdd, bench::sseAddGolden, 640'000},
    {"SseSub", bench::sseSub, bench::sseSubGolden, 640'000},
    {"SseMul", bench::sseMul, bench::sseMulGolden, 640'000},
    {"SseDiv", bench::sseDiv, bench::sseDivGolden, 320'000},
};

class InstrKernel : public RealKernelTest, public ::testing::WithParamInterface<InstrCase> {};

}  // namespace

TEST_P(InstrKernel, LeavesItsAccumulatorWhereItsChainEnds) {
    const InstrCase& c = GetParam();
    const bench::KernelOutcome outcome = c.kernel();
    EXPECT_EQ(outcome.returned, c.numerator / 1000);  // the counter's readings are 1 s apart
    EXPECT_TRUE(leavesGolden(outcome.work, c.golden()));
}

INSTANTIATE_TEST_SUITE_P(Each, InstrKernel, ::testing::ValuesIn(kInstrCases),
                         [](const auto& test) { return std::string(test.param.name); });
