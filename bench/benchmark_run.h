// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU benchmark run without a window: resets what the page shows, walks the rows in
// order, applies each row's fault guard, checks each row's work against its golden value,
// and hands every figure to callbacks as it comes. The window's Button1Click and
// corvane-report both drive it, each with the rows it is given (bench::kKernelTable, or a
// test's).

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "bench/golden.h"
#include "bench/kernel_table.h"
#include "bench/scoring.h"
#include "platform/sources.h"
#include "sysinfo/sweep.h"

namespace bench {

// A row whose kernel completed.
struct RowResult {
    RowPlace place{};
    std::int32_t returned = 0;  // what the kernel returned: ms, or an INSTR row's rate
    std::int32_t shown = 0;     // the row score of an ALU or FPU row, an INSTR row's rate
    // Where its work left something other than its golden value, which on a sound processor
    // never happens. The row's figures stand all the same.
    std::optional<Mismatch> wrong{};
};

// Each is optional.
struct RunCallbacks {
    // Before every row's kernel: the run's event point, and nowhere else during a run.
    std::function<void()> beforeRow;
    // Once, before the first row: every row, group and the status back to their empty state.
    std::function<void()> reset;
    // A completed row, with its figures and its check.
    std::function<void(const RowResult& row)> rowDone;
    // A group's score, as soon as its last row is done.
    std::function<void(Group group, std::int32_t score)> groupDone;
    // The CPU score, at the end.
    std::function<void(std::int64_t cpuScore)> runDone;
};

struct RunResult {
    std::vector<std::optional<RowResult>> rows;  // per row; nullopt: did not complete
    ScoreArrays scores;
    std::int64_t cpuScore = 0;
};

// Runs every row of `rows` in order on the calling thread and returns what they measured.
// Each kernel reads `clock`'s ticks and sweeps through `sweepBlock`, with its row's tail
// factor.
//
// Rows guarded as Mmx run under the fault guard one by one: a row whose instructions the
// processor refuses keeps "0" and the run goes on with the next row. Rows guarded as Sse
// form one block: the first refused row ends the block, its remaining rows keep "0" without
// being called, and the run goes on with the scoring. Each guarded call covers the kernel
// alone, never the event processing before it, which must not be left by a long jump.
RunResult runBenchmark(std::span<const KernelRow> rows, const platform::Clock& clock,
                       const RunCallbacks& callbacks,
                       sysinfo::SweepBlockRoutine sweepBlock = sysinfo::sweepBlock);

}  // namespace bench
