// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/alu_kernels.h"
#include "bench/benchmark_run.h"
#include "bench/fpu_kernels.h"
#include "bench/instr_kernels.h"
#include "bench/kernel_table.h"
#include "fake_benchmark_rows.h"

namespace {

// Records every callback of a run in order, as "reset", "before 8", "row 7: 1500 -> 8000",
// "checked 7: right", "group ALU: 8000", "cpu: 4677".
class BenchmarkRun : public ::testing::Test {
  protected:
    void SetUp() override { fake::resetScript(); }

    bench::RunResult run() {
        bench::RunCallbacks callbacks;
        callbacks.beforeRow = [this] { log.push_back("before " + std::to_string(++rowsBegun)); };
        callbacks.reset = [this] { log.push_back("reset"); };
        callbacks.rowDone = [this](const bench::KernelRow& row, std::int32_t returned,
                                   std::int32_t result) {
            log.push_back("row " + std::to_string(row.row) + ": " + std::to_string(returned) +
                          " -> " + std::to_string(result));
        };
        callbacks.rowChecked = [this](const bench::KernelRow& row, bool valid) {
            log.push_back("checked " + std::to_string(row.row) + ": " +
                          (valid ? "right" : "wrong"));
        };
        callbacks.groupDone = [this](bench::Group group, std::int32_t score) {
            log.push_back("group " + std::string(bench::groupName(group)) + ": " +
                          std::to_string(score));
        };
        callbacks.runDone = [this](std::int64_t score) {
            log.push_back("cpu: " + std::to_string(score));
        };
        return bench::runBenchmark(rows_, callbacks);
    }

    std::ptrdiff_t position(const std::string& entry) const {
        const auto it = std::find(log.begin(), log.end(), entry);
        return it == log.end() ? -1 : it - log.begin();
    }

    std::array<bench::KernelRow, fake::kRows> rows_ = fake::rows();
    std::vector<std::string> log;
    int rowsBegun = 0;
};

}  // namespace

// Events are processed before every kernel, in order; each group's score comes as soon as
// its last row is done.
TEST_F(BenchmarkRun, EventsComeBeforeEveryKernelAndGroupScoresAsTheirGroupsComplete) {
    int next = 1;
    fake::script.onCall = [&](int row) {
        EXPECT_EQ(row, next++);
        // The events of this row were processed, and those of the next row not yet.
        EXPECT_EQ(rowsBegun, row);
    };
    run();
    EXPECT_EQ(next, 30);
    EXPECT_EQ(log.front(), "reset");
    const auto alu = position("group ALU: 8000");
    const auto fpu = position("group FPU: 4000");
    EXPECT_GT(alu, position("row 7: 1500 -> 8000"));
    EXPECT_LT(alu, position("before 8"));
    EXPECT_GT(fpu, position("row 14: 3000 -> 4000"));
    EXPECT_LT(fpu, position("before 15"));
    EXPECT_GT(position("group INSTR: 512"), position("row 29: 100 -> 100"));
    EXPECT_EQ(log.back(), "cpu: 4677");
}

TEST_F(BenchmarkRun, AFaultInTheSseBlockSkipsItsRemainingRows) {
    fake::script.faults[27] = true;
    const bench::RunResult result = run();
    EXPECT_EQ(fake::script.calls[27], 1);
    for (int row : {28, 29}) EXPECT_EQ(fake::script.calls[row], 0) << row;
    EXPECT_EQ(rowsBegun, 27);  // no event processing for the skipped rows
    EXPECT_FALSE(result.returned[26].has_value());
    EXPECT_EQ(result.scores.instr[13], 0);
    // A row that did not complete did no wrong work.
    EXPECT_EQ(position("checked 27: right"), -1);
    EXPECT_TRUE(result.valid[26]);
}

TEST_F(BenchmarkRun, AWrongResultKeepsItsFigureAndIsToldRightAfterIt) {
    fake::script.wrong[3] = fake::script.wrong[27] = true;
    const bench::RunResult result = run();
    EXPECT_EQ(position("checked 3: wrong"), position("row 3: 1500 -> 8000") + 1);
    EXPECT_EQ(position("checked 4: right"), position("row 4: 1500 -> 8000") + 1);
    EXPECT_GE(position("checked 27: wrong"), 0);
    EXPECT_EQ(log.back(), "cpu: 4677");  // the scores stand
    for (std::size_t i = 0; i < result.valid.size(); ++i)
        EXPECT_EQ(result.valid[i], i != 2 && i != 26) << i;
}

TEST_F(BenchmarkRun, AFaultingMmxRowKeepsZeroAndTheNextRowsStillRun) {
    fake::script.faults[23] = true;
    fake::script.faults[25] = true;
    run();
    EXPECT_EQ(position("row 23: 100 -> 100"), -1);
    EXPECT_GE(position("row 24: 100 -> 100"), 0);
    EXPECT_EQ(position("row 25: 100 -> 100"), -1);
    EXPECT_GE(position("row 29: 100 -> 100"), 0);
    // Eleven of 100 over 13: 1100 / 13 = 84, x 5.11945 = 430.03.
    EXPECT_GE(position("group INSTR: 430"), 0);
}

// The real table, field by field: a row in the wrong group, slot, guard or label, or a kernel
// with the wrong sweep tail or golden value, would otherwise only show as a wrong score or a
// false alarm. The fake rows have the table's layout.
TEST(KernelTable, MatchesTheRowsAsListed) {
    using namespace bench;
    // clang-format off
    const Kernel routines[kRowCount] = {
        fibonacciDigits, calculFactorial, formulaFerma, bruteForce, additionMatrix,
        multiplicationMatrix, quickSort,
        hyperbolicCosecant, hyperbolicTangent, hypotenuse, digitPi, factorial, objects3D,
        precatching,
        instrAddition, instrSubstraction, instrMultiplication, instrDivision,
        fpuAdd, fpuSub, fpuMul, fpuDiv, mmxAdd, mmxSub, mmxMul, sseAdd, sseSub, sseMul, sseDiv};
    // clang-format on
    const std::int32_t tails[kRowCount] = {32, 48, 52, 0, 52, 32, 0, 42, 42, 42, 22, 32, 62};
    // clang-format off
    Golden (*const goldens[kRowCount])() = {
        fibonacciDigitsGolden, calculFactorialGolden, formulaFermaGolden, bruteForceGolden,
        additionMatrixGolden, multiplicationMatrixGolden, quickSortGolden,
        hyperbolicCosecantGolden, hyperbolicTangentGolden, hypotenuseGolden, digitPiGolden,
        factorialGolden, objects3DGolden, precatchingGolden,
        instrAdditionGolden, instrSubstractionGolden, instrMultiplicationGolden,
        instrDivisionGolden, fpuAddGolden, fpuSubGolden, fpuMulGolden, fpuDivGolden, mmxAddGolden,
        mmxSubGolden, mmxMulGolden, sseAddGolden, sseSubGolden, sseMulGolden, sseDivGolden};
    // clang-format on
    const auto layout = fake::rows();
    const auto& table = kernelTable();
    for (int k = 0; k < kRowCount; ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_EQ(table[k].row, k + 1);
        EXPECT_EQ(table[k].group, layout[k].group);
        EXPECT_EQ(table[k].index, layout[k].index);
        EXPECT_EQ(table[k].routine, routines[k]);
        EXPECT_EQ(table[k].guard, layout[k].guard);
        EXPECT_EQ(table[k].sweepTailFactor, tails[k]);
        EXPECT_EQ(table[k].golden, goldens[k]);
    }
}
