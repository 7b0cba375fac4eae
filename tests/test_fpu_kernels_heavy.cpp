// SPDX-License-Identifier: GPL-3.0-or-later
// The seven floating-point kernels run for real, under the program's own x87 control word
// (invalid operation, division by zero and overflow fault), with an injected tick counter.

#include <gtest/gtest.h>

#include <cstdint>

#include "bench/alu_kernels.h"
#include "bench/fpu_kernels.h"
#include "real_kernel_test.h"
#include "sysinfo/sweep.h"

using FpuKernel = RealKernelTest;

// Cosecant runs its middle loop on J; the tangent stays in range up to e^290.
TEST_F(FpuKernel, HyperbolicKernelsAndHypotenuseEndWithTheirSweepTails) {
    EXPECT_EQ(bench::hyperbolicCosecant(), kWithTail);
    EXPECT_EQ(bench::globalJ, 131);
    readings = 0;
    EXPECT_EQ(bench::hyperbolicTangent(), kWithTail);
    EXPECT_EQ(bench::globalJ, 111);
    readings = 0;
    EXPECT_EQ(bench::hypotenuse(), kWithTail);
}

TEST_F(FpuKernel, DigitPiAndFactorialStayInRangeUnderTheFaultingControlWord) {
    EXPECT_EQ(bench::digitPi(), kWithTail);
    readings = 0;
    EXPECT_EQ(bench::factorial(), kWithTail);  // 1000! overflows a double, not extended
}

TEST_F(FpuKernel, ObjectsReadsTheFilledBufferWithoutChangingIt) {
    EXPECT_EQ(bench::objects3D(), kWithTail);
    for (std::int32_t k = 1; k <= 2'097'152; k += 4'099) ASSERT_EQ(sysinfo::sweepBuffer[k], k);
    EXPECT_EQ(sysinfo::sweepBuffer[2'097'152], 2'097'152);
}

TEST_F(FpuKernel, PrecatchingSettlesOnTheFixedPatternWithP4FarFromZero) {
    EXPECT_EQ(bench::precatching(), kWithoutTail);
    // P4 = nearest(0.7237... + 2,067,152 pi) = nearest(6,494,150.26).
    const std::int64_t pattern[8] = {1, 0, 1, 0, 6'494'150, 1, 0, 1};
    const std::int64_t p[] = {bench::precatchP0, bench::precatchP1, bench::precatchP2,
                              bench::precatchP3, bench::precatchP4};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(p[k], pattern[k]) << "P" << k;
    for (std::int32_t k = 0; k < 2'097'152; ++k) {
        ASSERT_EQ(sysinfo::sweepBuffer[k], pattern[k % 8]) << "element " << k;
    }
    EXPECT_EQ(sysinfo::sweepBuffer[2'097'152], 2'097'152);  // the fill's last, never copied out
}
