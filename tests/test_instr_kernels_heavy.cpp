// SPDX-License-Identifier: GPL-3.0-or-later
// The fifteen instruction kernels run for real (about half a minute together): each
// accumulator must end where k x n instructions take it, the block must have turned n
// times, and it must be the k copies the kernel names, as assembled.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bench/instr_kernels.h"
#include "real_kernel_test.h"

namespace {

struct InstrCase {
    const char* caption;
    bench::Kernel kernel;
    std::int32_t numerator;
};

const InstrCase kInstrCases[] = {
    {"addition", bench::instrAddition, 19'200'000},
    {"substraction", bench::instrSubstraction, 19'200'000},
    {"multiplication", bench::instrMultiplication, 640'000},
    {"division", bench::instrDivision, 400'000},
    {"fpu_add", bench::fpuAdd, 1'920'000},
    {"fpu_sub", bench::fpuSub, 1'920'000},
    {"fpu_mul", bench::fpuMul, 1'600'000},
    {"fpu_div", bench::fpuDiv, 6'400},
    {"mmx_add", bench::mmxAdd, 1'600'000},
    {"mmx_sub", bench::mmxSub, 1'600'000},
    {"mmx_mul", bench::mmxMul, 1'600'000},
    {"sse_add", bench::sseAdd, 640'000},
    {"sse_sub", bench::sseSub, 640'000},
    {"sse_mul", bench::sseMul, 640'000},
    {"sse_div", bench::sseDiv, 320'000},
};

class InstrKernel : public RealKernelTest, public ::testing::WithParamInterface<InstrCase> {};

}  // namespace

TEST_P(InstrKernel, LeavesItsAccumulatorWhereItsChainEnds) {
    const InstrCase& c = GetParam();
    const bench::KernelRow& entry = row(c.caption);
    EXPECT_EQ(entry.kernel, c.kernel);
    const bench::KernelOutcome outcome = run(entry);
    EXPECT_EQ(outcome.returned, c.numerator / 1000);  // the counter's readings are 1 s apart
    EXPECT_TRUE(leavesGolden(outcome.work, entry.golden()));
}

INSTANTIATE_TEST_SUITE_P(Each, InstrKernel, ::testing::ValuesIn(kInstrCases),
                         [](const auto& test) { return std::string(test.param.caption); });
