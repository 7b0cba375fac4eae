// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "bench/scoring.h"
#include "fake_benchmark_rows.h"

namespace {

using bench::Group;

// INSTR entries 1 to 15 all equal to `each`; entry 0 is unused.
std::array<std::int32_t, 16> instrRows(std::int32_t each) {
    std::array<std::int32_t, 16> entries{};
    entries.fill(each);
    entries[0] = 0;
    return entries;
}

}  // namespace

// Twelve million, or a rate, over the elapsed ms, truncated toward zero; zero elapsed shows
// zero instead of dividing.
TEST(RowScore, IsTheNumeratorOverElapsedMsTruncatedAndZeroForZeroElapsed) {
    EXPECT_EQ(bench::rowResult(Group::Alu, 1000), 12000);
    EXPECT_EQ(bench::rowResult(Group::Fpu, 7), 1714285);
    EXPECT_EQ(bench::rowResult(Group::Alu, 12'000'001), 0);
    EXPECT_EQ(bench::rowResult(Group::Alu, 0), 0);
    using R = std::tuple<std::int32_t, std::int32_t, std::int32_t>;
    for (const auto& [numerator, ms, rate] :
         {R{19'200'000, 2000, 9600}, R{320'000, 333, 960}, R{6'400, 6'401, 0},
          R{12'000'000, -7, -1714285}, R{19'200'000, 0, 0}})
        EXPECT_EQ(bench::perMs(numerator, ms), rate) << numerator << " / " << ms;
}

TEST(GroupScore, AluSumIsDividedBySevenTruncating) {
    const std::array<std::int32_t, 8> entries{0, 8000, 8000, 8000, 8000, 8000, 8000, 8006};
    EXPECT_EQ(bench::aluFpuGroupScore(entries), 8000);
}

// The thirteen counted rows at 100: 100 x 5.11945 = 511.945, shown as 512. 10,000 x 5.11945
// is 51194.5 in decimal but lands just above the half with the extended constant, and just
// below it in double: the extended computation gives 51195.
TEST(GroupScore, InstrIgnoresAdditionAndSubstractionAndUsesTheExtendedConstant) {
    auto entries = instrRows(100);
    entries[1] = -5;         // Addition
    entries[2] = INT32_MAX;  // Substraction
    EXPECT_EQ(bench::instrGroupScore(entries), 512);
    EXPECT_EQ(bench::instrGroupScore(instrRows(10'000)), 51195);
    EXPECT_EQ(bench::instrGroupScore(instrRows(50'000)), 255973);
}

TEST(CpuScore, ExactHalvesGoToTheEvenNeighbourAndAluAndFpuTermsAreAddedFirst) {
    EXPECT_EQ(bench::cpuScore(15, 0, 0), 4);    // 4.5
    EXPECT_EQ(bench::cpuScore(0, 110, 0), 60);  // 60.5 exactly in extended; above it in double
    // Added the other way round, 1 x 0.3 + (7 x 0.55 + 29 x 0.15) ends above 8.5 and rounds
    // to 9.
    EXPECT_EQ(bench::cpuScore(1, 7, 29), 8);
}

TEST(Scoreboard, TheWholeExampleRun) {
    const auto rows = fake::rows();
    bench::Scoreboard board;
    std::vector<std::int32_t> shown;
    for (int i = 0; i < 29; ++i) {
        const std::int32_t returned = i < 6    ? 1500  // 8000 Mark each
                                      : i == 6 ? 1498  // 8010 Mark
                                      : i < 14 ? 3000  // 4000 Mark each
                                      : i < 16 ? 9600  // Addition, Substraction: not counted
                                               : 100;
        shown.push_back(
            board.recordRow(bench::placeOf(rows, static_cast<std::size_t>(i)), returned));
    }
    EXPECT_EQ(shown[0], 8000);
    EXPECT_EQ(shown[6], 8010);
    EXPECT_EQ(shown[13], 4000);
    EXPECT_EQ(shown[14], 9600);  // an INSTR row shows its rate
    EXPECT_EQ(shown[28], 100);
    EXPECT_EQ(board.completeGroup(Group::Alu), 8001);
    EXPECT_EQ(board.completeGroup(Group::Fpu), 4000);
    EXPECT_EQ(board.completeGroup(Group::Instr), 512);
    EXPECT_EQ(board.completeRun(), 4677);  // 2400.3 + 2200 + 76.8
}

TEST(Scoreboard, RowsNeverRecordedCountAsZero) {
    const auto rows = fake::rows();
    bench::Scoreboard board;
    for (std::size_t i = 14; i < 25; ++i)
        board.recordRow(bench::placeOf(rows, i), 130);  // SSE failed
    EXPECT_EQ(board.scores().instr[12], 0);
    // 9 rows of 130 over 13 rows: 1170 / 13 = 90, x 5.11945 = 460.75
    EXPECT_EQ(board.completeGroup(Group::Instr), 461);
}
