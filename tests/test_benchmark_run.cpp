// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/benchmark_run.h"
#include "bench/kernel_table.h"
#include "fake_benchmark_rows.h"

namespace {

// Records every callback of a run in order, as "reset", "before 8", "row 7: 1500 -> 8000",
// "row 3: 1500 -> 8000, wrong count 0", "group ALU: 8000", "cpu: 4677".
class BenchmarkRun : public ::testing::Test {
  protected:
    void SetUp() override { fake::resetScript(); }

    bench::RunResult run() {
        bench::RunCallbacks callbacks;
        callbacks.beforeRow = [this] { log.push_back("before " + std::to_string(++rowsBegun)); };
        callbacks.reset = [this] { log.push_back("reset"); };
        callbacks.rowDone = [this](const bench::RowResult& row) {
            log.push_back("row " + std::to_string(row.place.row) + ": " +
                          std::to_string(row.returned) + " -> " + std::to_string(row.shown) +
                          (row.wrong ? ", wrong count " + std::to_string(row.wrong->slot) : ""));
        };
        callbacks.groupDone = [this](bench::Group group, std::int32_t score) {
            log.push_back("group " + std::string(bench::groupName(group)) + ": " +
                          std::to_string(score));
        };
        callbacks.runDone = [this](std::int64_t score) {
            log.push_back("cpu: " + std::to_string(score));
        };
        return bench::runBenchmark(rows_, platform::Clock{}, callbacks);
    }

    std::ptrdiff_t position(const std::string& entry) const {
        const auto it = std::find(log.begin(), log.end(), entry);
        return it == log.end() ? -1 : it - log.begin();
    }

    std::array<bench::KernelRow, fake::kRows> rows_ = fake::rows();
    std::vector<std::string> log;
    int rowsBegun = 0;
};

// What the replaced row's kernel was handed.
bench::KernelContext handed;

bench::KernelOutcome quickerKernel(const bench::KernelContext& context) {
    handed = context;
    return {750, {{3, 7}}};
}

bench::Golden quickerGolden() {
    return bench::exactly({3, 8});
}

std::uint32_t fixedTicks() {
    return 5;
}

void noSweep(const std::int64_t*, std::int32_t, std::int64_t) {}

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
    EXPECT_FALSE(result.rows[26].has_value());
    EXPECT_EQ(result.scores.instr[13], 0);
}

// A row whose work came out wrong keeps its figure; its check, handed with it, names the
// slot, what it should have held and what it held.
TEST_F(BenchmarkRun, AWrongResultKeepsItsFigureAndSaysWhereItWentWrong) {
    fake::script.wrong[3] = fake::script.wrong[27] = true;
    const bench::RunResult result = run();
    EXPECT_GE(position("row 3: 1500 -> 8000, wrong count 0"), 0);
    EXPECT_GE(position("row 4: 1500 -> 8000"), 0);
    EXPECT_EQ(log.back(), "cpu: 4677");  // the scores stand
    ASSERT_TRUE(result.rows[2].has_value());
    EXPECT_EQ(result.rows[2]->wrong, (bench::Mismatch{bench::Mismatch::Kind::Count, 0, 3, 4, 0}));
    for (std::size_t i = 0; i < result.rows.size(); ++i)
        EXPECT_EQ(result.rows[i]->wrong.has_value(), i == 2 || i == 26) << i;
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

// One entry of the table changed, kernel, golden check and tail factor, and nothing else:
// the row's figure, its check and the scores follow, and its kernel is handed the run's
// clock and sweep and the entry's tail factor.
TEST_F(BenchmarkRun, ARowIsItsEntryAlone) {
    rows_[2].kernel = quickerKernel;
    rows_[2].golden = quickerGolden;
    rows_[2].sweepTailFactor = 77;
    std::vector<bench::RowResult> done;
    bench::RunCallbacks callbacks;
    callbacks.rowDone = [&](const bench::RowResult& row) { done.push_back(row); };
    const bench::RunResult result =
        bench::runBenchmark(rows_, platform::Clock{.ticks = fixedTicks}, callbacks, noSweep);

    EXPECT_EQ(handed.ticks, fixedTicks);
    EXPECT_EQ(handed.sweepBlock, noSweep);
    EXPECT_EQ(handed.tailFactor, 77);
    ASSERT_EQ(done.size(), 29u);
    EXPECT_EQ(done[2].place, (bench::RowPlace{3, bench::Group::Alu, 3}));
    EXPECT_EQ(done[2].shown, 16'000);  // 12,000,000 / 750 ms
    EXPECT_EQ(done[2].wrong, (bench::Mismatch{bench::Mismatch::Kind::Count, 1, 8, 7, 0}));
    for (const std::size_t other : {1u, 3u}) EXPECT_EQ(done[other].wrong, std::nullopt);
    // (6 x 8000 + 16000) / 7 = 9142; 9142 x 0.3 + 4000 x 0.55 + 512 x 0.15 = 5019.4.
    EXPECT_EQ(result.scores.alu,
              (std::array<std::int32_t, 8>{9142, 8000, 8000, 16'000, 8000, 8000, 8000, 8000}));
    EXPECT_EQ(result.scores.fpu[0], 4000);
    EXPECT_EQ(result.cpuScore, 5019);
}

// The window's three score arrays, from the table's order alone: rows 1 to 7 are ALU 1 to 7,
// 8 to 14 FPU 1 to 7, 15 to 29 INSTR 1 to 15. Rows 23 to 25 run guarded one by one, 26 to
// 29 as the SSE block.
TEST(KernelTable, PlacesRowsInTheWindowsScoreArrays) {
    using bench::Group;
    ASSERT_EQ(bench::kRowCount, 29);
    for (std::size_t k = 0; k < bench::kKernelTable.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        const bench::RowPlace expected = row <= 7    ? bench::RowPlace{row, Group::Alu, row}
                                         : row <= 14 ? bench::RowPlace{row, Group::Fpu, row - 7}
                                                     : bench::RowPlace{row, Group::Instr, row - 14};
        EXPECT_EQ(bench::placeOf(bench::kKernelTable, k), expected) << row;
        const bench::Guard guard = row >= 26   ? bench::Guard::Sse
                                   : row >= 23 ? bench::Guard::Mmx
                                               : bench::Guard::None;
        EXPECT_EQ(bench::kKernelTable[k].guard, guard) << row;
    }
}
