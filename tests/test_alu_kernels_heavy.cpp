// SPDX-License-Identifier: GPL-3.0-or-later
// The seven integer kernels run for real (up to a few seconds each): what their work left
// must be its golden value, the sweep tail each one asks for must have the design's volume
// factor, and the injected tick counter shows what was timed.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "bench/alu_kernels.h"
#include "real_kernel_test.h"
#include "sysinfo/sweep.h"

namespace {

struct AluCase {
    const char* caption;
    bench::Kernel kernel;
    std::int32_t tailFactor;  // 0: no sweep tail
};

// Each row's kernel and volume factor as the design gives them, written here rather than
// read from the table.
const AluCase kAluCases[] = {
    {"fibonacci_digits", bench::fibonacciDigits, 32},
    {"calcul_factorial", bench::calculFactorial, 48},
    {"formula_ferma", bench::formulaFerma, 52},
    {"brute_force", bench::bruteForce, 0},
    {"addition_matrix", bench::additionMatrix, 52},
    {"multiplication_matrix", bench::multiplicationMatrix, 32},
    {"quick_sort", bench::quickSort, 0},
};

class AluKernel : public RealKernelTest, public ::testing::WithParamInterface<AluCase> {};

}  // namespace

TEST_P(AluKernel, LeavesItsGoldenValueAndTimesItsOwnSweepTail) {
    const AluCase& c = GetParam();
    const bench::KernelRow& entry = row(c.caption);
    EXPECT_EQ(entry.kernel, c.kernel);
    // Counters a kernel must set before use start elsewhere.
    bench::globalI = -5;
    bench::globalJ = -5;
    sysinfo::sweepSink = -5;
    const bench::KernelOutcome outcome = run(entry);
    EXPECT_EQ(outcome.returned, c.tailFactor ? kWithTail : kWithoutTail);
    EXPECT_EQ(sweeps, c.tailFactor ? tailOf(c.tailFactor) : SweepCalls{});
    EXPECT_TRUE(leavesGolden(outcome.work, entry.golden()));
}

INSTANTIATE_TEST_SUITE_P(Each, AluKernel, ::testing::ValuesIn(kAluCases),
                         [](const auto& test) { return std::string(test.param.caption); });

TEST_F(RealKernelTest, QuickSortStaysInsideItsElementsAndSortsTheSameInputEveryCall) {
    std::int64_t* const e = sysinfo::sweepBuffer;
    e[0] = -77;
    e[32'501] = 1'000'000;  // larger than any sorted value: must stay outside the range
    for (int call = 0; call < 2; ++call)
        EXPECT_TRUE(leavesGolden(run(row("quick_sort")).work, bench::quickSortGolden()));
    EXPECT_EQ(e[0], -77);
    EXPECT_EQ(e[32'501], 1'000'000);
    e[0] = 0;
    e[32'501] = 0;
}

// The two matrix checksums the golden values hold, against a plain simulation of every pass
// from the same start bytes.
TEST(MatrixGolden, ChecksumsAgreeWithAPlainSimulationOfEveryPass) {
    std::array<std::uint8_t, 50'000> sum{};
    for (std::size_t k = 0; k < sum.size(); ++k) sum[k] = bench::matrixStartByte(k);
    for (int pass = 0; pass < 13'500; ++pass) {
        for (std::size_t k = 0; k < 10'000; ++k) {
            std::uint8_t* const m = sum.data() + k;  // M1 to M5 at strides of 10,000
            m[40'000] = m[30'000] = m[20'000] = static_cast<std::uint8_t>(m[0] + m[10'000]);
            m[10'000] = static_cast<std::uint8_t>(m[20'000] + m[0]);
            m[0] = static_cast<std::uint8_t>(m[20'000] + m[10'000]);
        }
    }
    EXPECT_EQ(bench::additionMatrixGolden().work.counts[3],
              bench::byteChecksum(sum.data(), sum.size()));

    std::array<std::uint8_t, 30'000> block{};
    for (std::size_t k = 0; k < block.size(); ++k) block[k] = bench::matrixStartByte(k);
    const auto elevenProducts = [&](int i, int j) {
        std::uint8_t s = 0;
        for (int k = 0; k <= 10; ++k)
            s = static_cast<std::uint8_t>(s + block[(i + k) * 100 + j] *
                                                  block[10'000 + i * 100 + j + k]);
        return s;
    };
    for (int pass = 0; pass < 2'700; ++pass) {
        for (int i = 0; i < 100; ++i) {
            for (int j = 0; j < 100; ++j) {
                block[20'000 + i * 100 + j] = elevenProducts(i, j);
                block[i * 100 + j] = elevenProducts(i, j);
            }
        }
    }
    EXPECT_EQ(bench::multiplicationMatrixGolden().work.counts[3],
              bench::byteChecksum(block.data(), block.size()));
}
