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
#include "bench/golden.h"
#include "real_kernel_test.h"
#include "sysinfo/sweep.h"

namespace {

struct FpuCase {
    const char* name;
    bench::Kernel kernel;
    bench::Golden (*golden)();
    std::int32_t tailFactor;  // 0: no sweep tail
};

// The volume factors are the design's, written here rather than read from the kernels.
const FpuCase kFpuCases[] = {
    {"HyperbolicCosecant", bench::hyperbolicCosecant, bench::hyperbolicCosecantGolden, 42},
    {"HyperbolicTangent", bench::hyperbolicTangent, bench::hyperbolicTangentGolden, 42},
    {"Hypotenuse", bench::hypotenuse, bench::hypotenuseGolden, 42},
    {"DigitPi", bench::digitPi, bench::digitPiGolden, 22},
    {"Factorial", bench::factorial, bench::factorialGolden, 32},
    {"Objects3D", bench::objects3D, bench::objects3DGolden, 62},
    {"Precatching", bench::precatching, bench::precatchingGolden, 0},
};

constexpr std::uint16_t kAfterFinit = 0x037F;

class FpuKernel : public RealKernelTest,
                  public ::testing::WithParamInterface<std::tuple<FpuCase, std::uint16_t>> {};

}  // namespace

TEST_P(FpuKernel, LeavesItsGoldenValueAndTimesItsOwnSweepTail) {
    const auto& [c, controlWord] = GetParam();
    platform::setX87ControlWord(controlWord);
    bench::globalJ = -5;
    const bench::KernelOutcome outcome = c.kernel();
    EXPECT_EQ(outcome.returned, c.tailFactor ? kWithTail : kWithoutTail);
    EXPECT_EQ(sweeps, c.tailFactor ? tailOf(c.tailFactor) : SweepCalls{});
    EXPECT_TRUE(leavesGolden(outcome.work, c.golden()));
}

INSTANTIATE_TEST_SUITE_P(Each, FpuKernel,
                         ::testing::Combine(::testing::ValuesIn(kFpuCases),
                                            ::testing::Values(platform::kStartupX87ControlWord,
                                                              kAfterFinit)),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).name) +
                                    (std::get<1>(test.param) == kAfterFinit ? "AfterFinit"
                                                                            : "AtStart");
                         });

TEST_F(RealKernelTest, ObjectsLeavesTheBufferAsFilledAndPrecatchingLeavesTheFillsLastElement) {
    bench::objects3D();
    for (std::int32_t k = 1; k <= 2'097'152; k += 4'099) ASSERT_EQ(sysinfo::sweepBuffer[k], k);
    EXPECT_EQ(sysinfo::sweepBuffer[2'097'152], 2'097'152);
    bench::precatching();
    EXPECT_EQ(sysinfo::sweepBuffer[2'097'152], 2'097'152);  // never copied out
}
