// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU benchmark's arithmetic: row results, the three group scores and the CPU score.
// Plain code, so every number can be checked without a window.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bench/kernel_table.h"

namespace bench {

// An ALU or FPU row scores 12,000,000 / its elapsed ms: 1,000 ms makes 12,000 Mark.
inline constexpr std::int32_t kRowScoreNumerator = 12'000'000;

// numerator / elapsedMs, truncating toward zero. Two equal tick readings mean the work was
// too short to measure: the result is then 0, the value of a row that did not complete,
// instead of a division by zero that would end the program.
std::int32_t perMs(std::int32_t numerator, std::int32_t elapsedMs);

// What a row shows from its kernel's return value: the row score for an ALU or FPU row
// (the kernel returned ms), the rate unchanged for an INSTR row.
std::int32_t rowResult(Group group, std::int32_t returned);

// The three score arrays of one run. Entry 0 is the group score; entries 1 to 7 (1 to 15)
// are the rows' results in calling order. A row that did not complete keeps 0.
struct ScoreArrays {
    std::array<std::int32_t, 8> alu{};
    std::array<std::int32_t, 8> fpu{};
    std::array<std::int32_t, 16> instr{};

    // Throws std::out_of_range for an index outside the group's array.
    std::int32_t& entry(Group group, int index);
    std::int32_t entry(Group group, int index) const;
};

// (entries[1] + ... + entries[7]) / 7 in 32-bit integers.
std::int32_t aluFpuGroupScore(const std::array<std::int32_t, 8>& entries);

// (entries[3] + ... + entries[15]) / 13, times 5.11945 in extended precision, rounded with
// halves to even. Entries 1 and 2 (Addition, Substraction) are shown but never count.
std::int32_t instrGroupScore(const std::array<std::int32_t, 16>& entries);

// ALU x 0.3 + FPU x 0.55 + INSTR x 0.15 in extended precision, the first two terms added
// first, rounded with halves to even.
std::int64_t cpuScore(std::int32_t alu, std::int32_t fpu, std::int32_t instr);

// One run's scores as its rows complete.
class Scoreboard {
  public:
    // Stores the result of the row at `place` (its score, or an INSTR row's rate) and
    // returns it.
    std::int32_t recordRow(const RowPlace& place, std::int32_t returned);
    // Computes the group score into entry 0 and returns it.
    std::int32_t completeGroup(Group group);
    // Computes the CPU score from the three group scores and returns it.
    std::int64_t completeRun();

    const ScoreArrays& scores() const { return scores_; }
    std::int64_t cpuScore() const { return cpuScore_; }

  private:
    ScoreArrays scores_;
    std::int64_t cpuScore_ = 0;
};

}  // namespace bench
