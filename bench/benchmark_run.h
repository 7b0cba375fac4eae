// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU benchmark run without a window: resets what the page shows, walks the rows in
// order, applies each row's fault guard, checks each row's work against its golden value,
// and hands every figure to callbacks as it comes. The window's Button1Click and
// corvane-report both drive it.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "bench/kernel_table.h"
#include "bench/scoring.h"

namespace bench {

// Each is optional.
struct RunCallbacks {
    // Before every row's kernel: the run's event point, and nowhere else during a run.
    std::function<void()> beforeRow;
    // Once, before the first row: every row, group and the status back to their empty state.
    std::function<void()> reset;
    // A completed row: what its kernel returned, and what the row shows, the row score of an
    // ALU or FPU row or an INSTR row's rate.
    std::function<void(const KernelRow& row, std::int32_t returned, std::int32_t result)> rowDone;
    // Right after the row's result: whether its work left its golden value.
    std::function<void(const KernelRow& row, bool valid)> rowChecked;
    // A group's score, as soon as its last row is done.
    std::function<void(Group group, std::int32_t score)> groupDone;
    // The CPU score, at the end.
    std::function<void(std::int64_t cpuScore)> runDone;
};

struct RunResult {
    std::vector<std::optional<std::int32_t>> returned;  // per row; nullopt: did not complete
    // Per row: false when the row completed but its work did not leave its golden value,
    // which on a sound processor never happens. The row's figures are shown all the same.
    std::vector<bool> valid;
    ScoreArrays scores;
    std::int64_t cpuScore = 0;
};

// Runs every row in order on the calling thread and returns what the rows measured.
//
// Rows guarded as Mmx run under the fault guard one by one: a row whose instructions the
// processor refuses keeps "0" and the run goes on with the next row. Rows guarded as Sse
// form one block: the first refused row ends the block, its remaining rows keep "0" without
// being called, and the run goes on with the scoring. Each guarded call covers the kernel
// alone, never the event processing before it, which must not be left by a long jump.
RunResult runBenchmark(std::span<const KernelRow> rows, const RunCallbacks& callbacks);

// Replaces the rows that benchmarkRows() hands out for the lifetime of the object, so a
// window test can run fake kernels; tests only, not thread-safe.
class ScopedBenchmarkRows {
  public:
    explicit ScopedBenchmarkRows(std::span<const KernelRow> rows);
    ~ScopedBenchmarkRows();
    ScopedBenchmarkRows(const ScopedBenchmarkRows&) = delete;
    ScopedBenchmarkRows& operator=(const ScopedBenchmarkRows&) = delete;

  private:
    std::span<const KernelRow> previous_;
};

// The rows a test put in place, or none.
std::span<const KernelRow> replacedBenchmarkRows();

// The rows the window runs: the kernel table unless a test replaced them. Inline, so only
// a caller of this function links the real kernels.
inline std::span<const KernelRow> benchmarkRows() {
    const std::span<const KernelRow> replaced = replacedBenchmarkRows();
    return replaced.empty() ? std::span<const KernelRow>(kernelTable()) : replaced;
}

}  // namespace bench
