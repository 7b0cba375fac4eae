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

// Records every callback of a run in order, as "before 8", "row 7: 8000 Mark",
// "checked 7: right", "group: ALU GROUP ...", "status: ...".
class BenchmarkRun : public ::testing::Test {
  protected:
    void SetUp() override { fake::resetScript(); }

    bench::RunResult run() {
        return bench::runBenchmark(
            rows_, {[this] { log.push_back("before " + std::to_string(++rowsBegun)); },
                    [this](const bench::KernelRow& row, const std::string& caption) {
                        log.push_back("row " + std::to_string(row.row) + ": " + caption);
                    },
                    [this](bench::Group, const std::string& caption) {
                        log.push_back("group: " + caption);
                    },
                    [this](const std::string& caption) { log.push_back("status: " + caption); },
                    [this](const bench::KernelRow& row, bool valid) {
                        log.push_back("checked " + std::to_string(row.row) + ": " +
                                      (valid ? "right" : "wrong"));
                    }});
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

TEST_F(BenchmarkRun, EventsAreProcessedBeforeEveryKernelInOrder) {
    int next = 1;
    fake::script.onCall = [&](int row) {
        EXPECT_EQ(row, next++);
        // The events of this row were processed, and those of the next row not yet.
        EXPECT_EQ(rowsBegun, row);
    };
    run();
    EXPECT_EQ(next, 30);
}

TEST_F(BenchmarkRun, GroupScoresAppearAsTheirGroupsComplete) {
    run();
    const auto alu = position("group: ALU GROUP      score: 8000");
    const auto fpu = position("group: FPU GROUP      score: 4000");
    EXPECT_GT(alu, position("row 7: 8000 Mark"));
    EXPECT_LT(alu, position("before 8"));
    EXPECT_GT(fpu, position("row 14: 4000 Mark"));
    EXPECT_LT(fpu, position("before 15"));
    EXPECT_GT(position("group: INSTR. GROUP      score: 512"),
              position("row 29: 100 Mln. instr/s"));
    EXPECT_EQ(log.back(), "status: Your CPU score: 4677 Mark!");
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
    EXPECT_EQ(bench::wrongResultsMessage(rows_, result), "");
}

TEST_F(BenchmarkRun, AWrongResultKeepsItsFigureAndIsNamedAfterTheRun) {
    rows_[2].caption = "Formula Ferma.........";
    rows_[26].caption = "SSE Sub..........";
    fake::script.wrong[3] = fake::script.wrong[27] = true;
    const bench::RunResult result = run();
    EXPECT_EQ(position("checked 3: wrong"), position("row 3: 8000 Mark") + 1);
    EXPECT_EQ(position("checked 4: right"), position("row 4: 8000 Mark") + 1);
    EXPECT_GE(position("checked 27: wrong"), 0);
    EXPECT_EQ(log.back(), "status: Your CPU score: 4677 Mark!");  // the scores stand
    for (std::size_t i = 0; i < result.valid.size(); ++i)
        EXPECT_EQ(result.valid[i], i != 2 && i != 26) << i;
    EXPECT_EQ(bench::wrongResultsMessage(rows_, result),
              "Formula Ferma: wrong result; the processor made an error under load\n"
              "SSE Sub: wrong result; the processor made an error under load");

    fake::script.wrong = {};
    EXPECT_EQ(bench::wrongResultsMessage(rows_, run()), "");
}

TEST_F(BenchmarkRun, AFaultingMmxRowKeepsZeroAndTheNextRowsStillRun) {
    fake::script.faults[23] = true;
    fake::script.faults[25] = true;
    run();
    for (const char* shown :
         {"row 23: 0", "row 24: 100 Mln. instr/s", "row 25: 0", "row 29: 100 Mln. instr/s"})
        EXPECT_GE(position(shown), 0) << shown;
    // Eleven of 100 over 13: 1100 / 13 = 84, x 5.11945 = 430.03.
    EXPECT_GE(position("group: INSTR. GROUP      score: 430"), 0);
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
        SCOPED_TRACE(table[k].caption);
        EXPECT_EQ(table[k].row, k + 1);
        EXPECT_EQ(table[k].group, layout[k].group);
        EXPECT_EQ(table[k].index, layout[k].index);
        EXPECT_EQ(table[k].resultLabel, layout[k].resultLabel);
        EXPECT_EQ(table[k].routine, routines[k]);
        EXPECT_EQ(table[k].guard, layout[k].guard);
        EXPECT_EQ(table[k].sweepTailFactor, tails[k]);
        EXPECT_EQ(table[k].golden, goldens[k]);
    }
}
