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
// "group: ALU GROUP ...", "status: ...".
class BenchmarkRun : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::resetScript();
        // ALU rows take 1,500 ms (8000 Mark), FPU rows 3,000 ms (4000 Mark), INSTR rows 100.
        for (int row = 1; row <= 29; ++row)
            fake::script.returns[row] = row <= 7 ? 1500 : row <= 14 ? 3000 : 100;
    }
    void TearDown() override { fake::resetScript(); }

    bench::RunResult run() {
        return bench::runBenchmark(
            rows_, {[this] { log.push_back("before " + std::to_string(++rowsBegun)); },
                    [this](const bench::KernelRow& row, const std::string& caption) {
                        shown[row.row] = caption;
                        log.push_back("row " + std::to_string(row.row) + ": " + caption);
                    },
                    [this](bench::Group, const std::string& caption) {
                        log.push_back("group: " + caption);
                    },
                    [this](const std::string& caption) { log.push_back("status: " + caption); }});
    }

    std::ptrdiff_t position(const std::string& entry) const {
        const auto it = std::find(log.begin(), log.end(), entry);
        return it == log.end() ? -1 : it - log.begin();
    }

    std::array<bench::KernelRow, fake::kRows> rows_ = fake::rows();
    std::vector<std::string> log;
    std::array<std::string, 30> shown;  // by row number
    int rowsBegun = 0;
};

}  // namespace

TEST_F(BenchmarkRun, EventsAreProcessedBeforeEveryKernelInOrder) {
    std::vector<int> order;
    fake::script.onCall = [&](int row) {
        order.push_back(row);
        // The events of this row were processed, and those of the next row not yet.
        EXPECT_EQ(rowsBegun, row);
    };
    run();
    ASSERT_EQ(order.size(), 29u);
    for (int i = 0; i < 29; ++i) EXPECT_EQ(order[i], i + 1);
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
    EXPECT_EQ(fake::script.calls[28], 0);
    EXPECT_EQ(fake::script.calls[29], 0);
    EXPECT_EQ(rowsBegun, 27);  // no event processing for the skipped rows
    EXPECT_FALSE(result.returned[26].has_value());
    EXPECT_EQ(result.scores.instr[13], 0);
}

TEST_F(BenchmarkRun, AFaultingMmxRowKeepsZeroAndTheNextRowsStillRun) {
    fake::script.faults[23] = true;
    fake::script.faults[25] = true;
    run();
    EXPECT_EQ(shown[23], "0");
    EXPECT_EQ(shown[24], "100 Mln. instr/s");
    EXPECT_EQ(shown[25], "0");
    for (int row = 26; row <= 29; ++row) EXPECT_EQ(shown[row], "100 Mln. instr/s") << row;
    // Eleven of 100 over 13: 1100 / 13 = 84, x 5.11945 = 430.03.
    EXPECT_GE(position("group: INSTR. GROUP      score: 430"), 0);
}

// The real table, field by field: a row in the wrong group, slot or guard, or a kernel with
// the wrong sweep tail, would otherwise only show as a wrong score.
TEST(KernelTable, MatchesTheRowsAsListed) {
    using bench::Group;
    using bench::Guard;
    struct Expected {
        Group group;
        int index;
        bench::Kernel routine;
        Guard guard;
        std::int32_t tail;
    };
    const Expected expected[bench::kRowCount] = {
        {Group::Alu, 1, bench::fibonacciDigits, Guard::None, 32},
        {Group::Alu, 2, bench::calculFactorial, Guard::None, 48},
        {Group::Alu, 3, bench::formulaFerma, Guard::None, 52},
        {Group::Alu, 4, bench::bruteForce, Guard::None, 0},
        {Group::Alu, 5, bench::additionMatrix, Guard::None, 52},
        {Group::Alu, 6, bench::multiplicationMatrix, Guard::None, 32},
        {Group::Alu, 7, bench::quickSort, Guard::None, 0},
        {Group::Fpu, 1, bench::hyperbolicCosecant, Guard::None, 42},
        {Group::Fpu, 2, bench::hyperbolicTangent, Guard::None, 42},
        {Group::Fpu, 3, bench::hypotenuse, Guard::None, 42},
        {Group::Fpu, 4, bench::digitPi, Guard::None, 22},
        {Group::Fpu, 5, bench::factorial, Guard::None, 32},
        {Group::Fpu, 6, bench::objects3D, Guard::None, 62},
        {Group::Fpu, 7, bench::precatching, Guard::None, 0},
        {Group::Instr, 1, bench::instrAddition, Guard::None, 0},
        {Group::Instr, 2, bench::instrSubstraction, Guard::None, 0},
        {Group::Instr, 3, bench::instrMultiplication, Guard::None, 0},
        {Group::Instr, 4, bench::instrDivision, Guard::None, 0},
        {Group::Instr, 5, bench::fpuAdd, Guard::None, 0},
        {Group::Instr, 6, bench::fpuSub, Guard::None, 0},
        {Group::Instr, 7, bench::fpuMul, Guard::None, 0},
        {Group::Instr, 8, bench::fpuDiv, Guard::None, 0},
        {Group::Instr, 9, bench::mmxAdd, Guard::Mmx, 0},
        {Group::Instr, 10, bench::mmxSub, Guard::Mmx, 0},
        {Group::Instr, 11, bench::mmxMul, Guard::Mmx, 0},
        {Group::Instr, 12, bench::sseAdd, Guard::Sse, 0},
        {Group::Instr, 13, bench::sseSub, Guard::Sse, 0},
        {Group::Instr, 14, bench::sseMul, Guard::Sse, 0},
        {Group::Instr, 15, bench::sseDiv, Guard::Sse, 0},
    };
    const auto& table = bench::kernelTable();
    for (int k = 0; k < bench::kRowCount; ++k) {
        SCOPED_TRACE(table[k].caption);
        EXPECT_EQ(table[k].row, k + 1);
        EXPECT_EQ(table[k].group, expected[k].group);
        EXPECT_EQ(table[k].index, expected[k].index);
        EXPECT_EQ(table[k].routine, expected[k].routine);
        EXPECT_EQ(table[k].guard, expected[k].guard);
        EXPECT_EQ(table[k].sweepTailFactor, expected[k].tail);
    }
}
