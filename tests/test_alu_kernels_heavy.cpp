// The seven integer kernels run for real (several seconds each); their end states show
// that the specified work was done, and an injected tick counter shows what was timed.

#include <gtest/gtest.h>

#include <cstdint>

#include "bench/alu_kernels.h"
#include "real_kernel_test.h"
#include "sysinfo/sweep.h"

namespace {

class AluKernel : public RealKernelTest {};

// Fibonacci numbers modulo 2^32 by fast doubling, F(0) = 0, F(1) = 1.
void fibonacciPair(std::uint64_t n, std::uint32_t& fn, std::uint32_t& fn1) {
    std::uint32_t a = 0, b = 1;  // F(k), F(k + 1) for the bits read so far
    for (int bit = 63; bit >= 0; --bit) {
        const std::uint32_t c = a * (2 * b - a);
        const std::uint32_t d = a * a + b * b;
        a = c;
        b = d;
        if ((n >> bit) & 1u) {
            const std::uint32_t next = a + b;
            a = b;
            b = next;
        }
    }
    fn = a;
    fn1 = b;
}

}  // namespace

TEST(FibonacciReference, SmallValues) {
    std::uint32_t f = 0, g = 0;
    fibonacciPair(10, f, g);
    EXPECT_EQ(f, 55u);
    EXPECT_EQ(g, 89u);
}

TEST_F(AluKernel, FibonacciMakesAllItsStepsInsideTheTiming) {
    EXPECT_EQ(bench::fibonacciDigits(), kWithTail);
    // previous = 1 = F(2) and current = 2 = F(3) before 6,999,930,007 steps.
    std::uint32_t previous = 0, current = 0;
    fibonacciPair(2 + 6'999'930'007ULL, previous, current);
    EXPECT_EQ(bench::lastAluRun.fibonacciPrevious, previous);
    EXPECT_EQ(bench::lastAluRun.fibonacciCurrent, current);
}

TEST_F(AluKernel, CalculFactorialEndsWithItsSweepTail) {
    EXPECT_EQ(bench::calculFactorial(), kWithTail);
}

TEST_F(AluKernel, FormulaFermaNeverFindsEqualityAndRunsToTheEnd) {
    EXPECT_EQ(bench::formulaFerma(), kWithTail);
    EXPECT_FALSE(bench::lastAluRun.fermaFoundEquality);
    EXPECT_EQ(bench::globalI, 111);
    EXPECT_EQ(bench::globalJ, 111);
}

TEST_F(AluKernel, BruteForceMeetsAllSixesOnceAndLeavesTheSinkAtEight) {
    sysinfo::sweepSink = -5;
    EXPECT_EQ(bench::bruteForce(), kWithoutTail);
    EXPECT_EQ(bench::lastAluRun.bruteForceMatches, 1);
    EXPECT_EQ(sysinfo::sweepSink, 8);
}

TEST_F(AluKernel, AdditionMatrixLeavesBothCountersAt101) {
    bench::globalI = 0;
    bench::globalJ = 0;
    EXPECT_EQ(bench::additionMatrix(), kWithTail);
    EXPECT_EQ(bench::globalI, 101);
    EXPECT_EQ(bench::globalJ, 101);
}

TEST_F(AluKernel, MultiplicationMatrixLeavesBothCountersAt101) {
    bench::globalI = 0;
    bench::globalJ = 0;
    EXPECT_EQ(bench::multiplicationMatrix(), kWithTail);
    EXPECT_EQ(bench::globalI, 101);
    EXPECT_EQ(bench::globalJ, 101);
}

TEST_F(AluKernel, QuickSortDescendsIn32500PassesEveryCall) {
    std::int64_t* const e = sysinfo::sweepBuffer;
    e[0] = -77;
    e[32'501] = 1'000'000;  // larger than any sorted value: must stay outside the range
    for (int call = 0; call < 2; ++call) {
        readings = 0;
        EXPECT_EQ(bench::quickSort(), kWithoutTail);
        EXPECT_EQ(bench::lastAluRun.quickSortPasses, 32'500);
        for (std::int32_t k = 1; k <= 32'500; ++k) {
            ASSERT_EQ(e[k], 32'501 - k) << "element " << k;
        }
    }
    EXPECT_EQ(e[0], -77);
    EXPECT_EQ(e[32'501], 1'000'000);
    e[0] = 0;
    e[32'501] = 0;
}
