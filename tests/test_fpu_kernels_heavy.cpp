// SPDX-License-Identifier: GPL-3.0-or-later
// The seven floating-point kernels run for real, under each control word a benchmark run
// computes them under: the program's own (invalid operation, division by zero and overflow
// fault) in a first run, the default that the x87 instruction kernels leave in any later
// one. What their work left must be its golden value under both.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "bench/alu_kernels.h"
#include "bench/fpu_kernels.h"
#include "real_kernel_test.h"
#include "sysinfo/sweep.h"

namespace {

struct FpuCase {
    const char* caption;
    bench::Kernel kernel;
    std::int32_t tailFactor;  // 0: no sweep tail
};

// Each row's kernel and volume factor as the design gives them, written here rather than
// read from the table.
const FpuCase kFpuCases[] = {
    {"hyperbolic_cosecant", bench::hyperbolicCosecant, 42},
    {"hyperbolic_tangent", bench::hyperbolicTangent, 42},
    {"hypotenuse", bench::hypotenuse, 42},
    {"digit_pi", bench::digitPi, 22},
    {"factorial", bench::factorial, 32},
    {"objects_3d", bench::objects3D, 62},
    {"precatching", bench::precatching, 0},
};

constexpr std::uint16_t kAfterFinit = 0x037F;

class FpuKernel : public RealKernelTest,
                  public ::testing::WithParamInterface<std::tuple<FpuCase, std::uint16_t>> {};

}  // namespace

TEST_P(FpuKernel, LeavesItsGoldenValueAndTimesItsOwnSweepTail) {
    const auto& [c, controlWord] = GetParam();
    const bench::KernelRow& entry = row(c.caption);
    EXPECT_EQ(entry.kernel, c.kernel);
    platform::setX87ControlWord(controlWord);
    bench::globalJ = -5;
    const bench::KernelOutcome outcome = run(entry);
    EXPECT_EQ(outcome.returned, c.tailFactor ? kWithTail : kWithoutTail);
    EXPECT_EQ(sweeps, c.tailFactor ? tailOf(c.tailFactor) : SweepCalls{});
    EXPECT_TRUE(leavesGolden(outcome.work, entry.golden()));
}

INSTANTIATE_TEST_SUITE_P(Each, FpuKernel,
                         ::testing::Combine(::testing::ValuesIn(kFpuCases),
                                            ::testing::Values(platform::kStartupX87ControlWord,
                                                              kAfterFinit)),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).caption) +
                                    (std::get<1>(test.param) == kAfterFinit ? "AfterFinit"
                                                                            : "AtStart");
                         });

TEST_F(RealKernelTest, ObjectsLeavesTheBufferAsFilledAndPrecatchingLeavesTheFillsLastElement) {
    run(row("objects_3d"));
    for (std::int32_t k = 1; k <= 2'097'152; k += 4'099) ASSERT_EQ(sysinfo::sweepBuffer[k], k);
    EXPECT_EQ(sysinfo::sweepBuffer[2'097'152], 2'097'152);
    run(row("precatching"));
    EXPECT_EQ(sysinfo::sweepBuffer[2'097'152], 2'097'152);  // never copied out
}
