#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/benchmark_run.h"
#include "fake_benchmark_rows.h"

namespace {

using bench::Group;

std::string nameOf(Group group) {
    return group == Group::Alu ? "ALU" : group == Group::Fpu ? "FPU" : "INSTR";
}

// Records every callback of a run in order, as "before 8", "row 7: 8000 Mark",
// "group ALU: ...", "status: ...".
struct Recorder {
    std::vector<std::string> log;
    std::array<std::string, 30> shown;  // by row number
    int rowsBegun = 0;

    bench::RunCallbacks callbacks() {
        return {
            [this] { log.push_back("before " + std::to_string(++rowsBegun)); },
            [this](const bench::KernelRow& row, const std::string& caption) {
                shown[row.row] = caption;
                log.push_back("row " + std::to_string(row.row) + ": " + caption);
            },
            [this](Group group, const std::string& caption) {
                log.push_back("group " + nameOf(group) + ": " + caption);
            },
            [this](const std::string& caption) { log.push_back("status: " + caption); },
        };
    }

    std::ptrdiff_t position(const std::string& entry) const {
        const auto it = std::find(log.begin(), log.end(), entry);
        return it == log.end() ? -1 : it - log.begin();
    }
};

class BenchmarkRun : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::resetScript();
        // ALU rows take 1,500 ms (8000 Mark), FPU rows 3,000 ms (4000 Mark), INSTR rows
        // return the rate 100.
        for (int row = 1; row <= 7; ++row) fake::script.returns[row] = 1500;
        for (int row = 8; row <= 14; ++row) fake::script.returns[row] = 3000;
        for (int row = 15; row <= 29; ++row) fake::script.returns[row] = 100;
    }
    void TearDown() override { fake::resetScript(); }

    bench::RunResult run() { return bench::runBenchmark(rows_, recorder_.callbacks()); }

    std::array<bench::KernelRow, fake::kRows> rows_ = fake::rows();
    Recorder recorder_;
};

}  // namespace

TEST_F(BenchmarkRun, ResetsEveryTextBeforeTheFirstRow) {
    run();
    const auto firstRow = recorder_.position("before 1");
    ASSERT_GT(firstRow, 0);
    for (int row = 1; row <= 29; ++row) {
        const auto reset = recorder_.position("row " + std::to_string(row) + ": 0");
        EXPECT_GE(reset, 0) << row;
        EXPECT_LT(reset, firstRow) << row;
    }
    EXPECT_LT(recorder_.position("group ALU: ALU GROUP"), firstRow);
    EXPECT_LT(recorder_.position("group FPU: FPU GROUP"), firstRow);
    EXPECT_LT(recorder_.position("group INSTR: INSTR. GROUP"), firstRow);
    EXPECT_LT(recorder_.position("status: Benchmarking..."), firstRow);
}

TEST_F(BenchmarkRun, EventsAreProcessedBeforeEveryKernelInOrder) {
    std::vector<int> order;
    fake::script.onCall = [&](int row) {
        order.push_back(row);
        // The events of this row were processed, and those of the next row not yet.
        EXPECT_EQ(recorder_.rowsBegun, row);
    };
    run();
    ASSERT_EQ(order.size(), 29u);
    for (int i = 0; i < 29; ++i) EXPECT_EQ(order[i], i + 1);
}

TEST_F(BenchmarkRun, GroupScoresAppearAsTheirGroupsComplete) {
    const bench::RunResult result = run();
    const auto alu = recorder_.position("group ALU: ALU GROUP      score: 8000");
    const auto fpu = recorder_.position("group FPU: FPU GROUP      score: 4000");
    const auto instr = recorder_.position("group INSTR: INSTR. GROUP      score: 512");
    EXPECT_GT(alu, recorder_.position("row 7: 8000 Mark"));
    EXPECT_LT(alu, recorder_.position("before 8"));
    EXPECT_GT(fpu, recorder_.position("row 14: 4000 Mark"));
    EXPECT_LT(fpu, recorder_.position("before 15"));
    EXPECT_GT(instr, recorder_.position("row 29: 100 Mln. instr/s"));
    EXPECT_EQ(recorder_.log.back(), "status: Your CPU score: 4677 Mark!");
    EXPECT_EQ(result.cpuScore, 4677);
    EXPECT_EQ(result.scores.instr[0], 512);
}

TEST_F(BenchmarkRun, AFaultInTheSseBlockSkipsItsRemainingRows) {
    fake::script.faults[27] = true;
    const bench::RunResult result = run();

    EXPECT_EQ(recorder_.shown[26], "100 Mln. instr/s");
    for (int row = 27; row <= 29; ++row) EXPECT_EQ(recorder_.shown[row], "0") << row;
    EXPECT_EQ(fake::script.calls[27], 1);
    EXPECT_EQ(fake::script.calls[28], 0);
    EXPECT_EQ(fake::script.calls[29], 0);
    EXPECT_EQ(recorder_.rowsBegun, 27);  // no event processing for the skipped rows
    EXPECT_FALSE(result.returned[26].has_value());
    EXPECT_EQ(result.scores.instr[13], 0);
    // Ten rows of 100 still divided by 13: 1000 / 13 = 76, x 5.11945 = 389.08.
    EXPECT_GE(recorder_.position("group INSTR: INSTR. GROUP      score: 389"), 0);
    EXPECT_EQ(
        recorder_.log.back(),
        "status: Your CPU score: " + std::to_string(bench::cpuScore(8000, 4000, 389)) + " Mark!");
}

TEST_F(BenchmarkRun, AFaultingMmxRowKeepsZeroAndTheNextRowsStillRun) {
    fake::script.faults[23] = true;
    fake::script.faults[25] = true;
    run();
    EXPECT_EQ(recorder_.shown[23], "0");
    EXPECT_EQ(recorder_.shown[24], "100 Mln. instr/s");
    EXPECT_EQ(recorder_.shown[25], "0");
    for (int row = 26; row <= 29; ++row) {
        EXPECT_EQ(fake::script.calls[row], 1) << row;
        EXPECT_EQ(recorder_.shown[row], "100 Mln. instr/s") << row;
    }
    // Eleven of 100 over 13: 1100 / 13 = 84, x 5.11945 = 430.03.
    EXPECT_GE(recorder_.position("group INSTR: INSTR. GROUP      score: 430"), 0);
}

TEST_F(BenchmarkRun, AZeroMsRowShowsZeroAndTheRunGoesOn) {
    fake::script.returns[3] = 0;   // an ALU kernel whose tick readings were equal
    fake::script.returns[19] = 0;  // an INSTR kernel reports 0 for the same reason
    run();
    EXPECT_EQ(recorder_.shown[3], "0 Mark");
    EXPECT_EQ(recorder_.shown[19], "0 Mln. instr/s");
    EXPECT_EQ(fake::script.calls[29], 1);
    // (6 x 8000) / 7 = 6857
    EXPECT_GE(recorder_.position("group ALU: ALU GROUP      score: 6857"), 0);
    EXPECT_EQ(recorder_.log.back().rfind("status: Your CPU score: ", 0), 0u);
}

TEST_F(BenchmarkRun, ShowsWhatScoringTheSameResultsGives) {
    for (int row = 1; row <= 29; ++row) fake::script.returns[row] = 37 * row + 1;
    fake::script.faults[24] = true;
    fake::script.faults[28] = true;
    const bench::RunResult result = run();
    const bench::RunTexts texts = bench::scoreRun(rows_, result.returned);
    for (int row = 1; row <= 29; ++row) EXPECT_EQ(recorder_.shown[row], texts.results[row - 1]);
    EXPECT_GE(recorder_.position("group ALU: " + texts.aluGroup), 0);
    EXPECT_GE(recorder_.position("group FPU: " + texts.fpuGroup), 0);
    EXPECT_GE(recorder_.position("group INSTR: " + texts.instrGroup), 0);
    EXPECT_EQ(recorder_.log.back(), "status: " + texts.status);
    EXPECT_EQ(result.cpuScore, texts.cpuScore);
}
