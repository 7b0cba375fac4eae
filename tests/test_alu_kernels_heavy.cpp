// SPDX-License-Identifier: GPL-3.0-or-later
// The seven integer kernels run for real (several seconds each); their end states show
// that the specified work was done, and an injected tick counter shows what was timed.

#include <gtest/gtest.h>

#include <cstdint>

#include "bench/alu_kernels.h"
#include "bench/kernel.h"
#include "real_kernel_test.h"
#include "sysinfo/sweep.h"

using AluKernel = RealKernelTest;

TEST_F(AluKernel, FibonacciAndCalculFactorialEndWithTheirSweepTails) {
    EXPECT_EQ(bench::fibonacciDigits(), kWithTail);
    readings = 0;
    EXPECT_EQ(bench::calculFactorial(), kWithTail);
}

TEST_F(AluKernel, FormulaFermaNeverFindsEqualityAndRunsToTheEnd) {
    EXPECT_EQ(bench::formulaFerma(), kWithTail);
    // An equality would have skipped the sweep tail, which the timing shows ran.
    EXPECT_EQ(bench::globalI, 111);
    EXPECT_EQ(bench::globalJ, 111);
}

TEST_F(AluKernel, BruteForceMeetsAllSixesOnceAndLeavesTheSinkAtEight) {
    sysinfo::sweepSink = -5;
    EXPECT_EQ(bench::bruteForce(), kWithoutTail);
    EXPECT_EQ(sysinfo::sweepSink, 8);
}

TEST_F(AluKernel, MatrixKernelsLeaveBothCountersAt101) {
    for (bench::Kernel kernel : {bench::additionMatrix, bench::multiplicationMatrix}) {
        readings = 0;
        bench::globalI = 0;
        bench::globalJ = 0;
        EXPECT_EQ(kernel(), kWithTail);
        EXPECT_EQ(bench::globalI, 101);
        EXPECT_EQ(bench::globalJ, 101);
    }
}

TEST_F(AluKernel, QuickSortDescendsEveryCall) {
    std::int64_t* const e = sysinfo::sweepBuffer;
    e[0] = -77;
    e[32'501] = 1'000'000;  // larger than any sorted value: must stay outside the range
    for (int call = 0; call < 2; ++call) {
        readings = 0;
        EXPECT_EQ(bench::quickSort(), kWithoutTail);
        for (std::int32_t k = 1; k <= 32'500; ++k) {
            ASSERT_EQ(e[k], 32'501 - k) << "element " << k;
        }
    }
    EXPECT_EQ(e[0], -77);
    EXPECT_EQ(e[32'501], 1'000'000);
    e[0] = 0;
    e[32'501] = 0;
}
