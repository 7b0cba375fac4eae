// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/benchmark_run.h"

#include "platform/fault_guard.h"

namespace bench {
namespace {

std::span<const KernelRow> replacedRows;

// Calls the kernel under the fault guard. The guarded block holds no object with a
// destructor: a fault leaves it by a long jump.
std::optional<KernelOutcome> callGuarded(Kernel routine) {
    KernelOutcome outcome;
    const bool completed = platform::runGuarded([&outcome, routine] { outcome = routine(); });
    if (!completed) return std::nullopt;
    return outcome;
}

bool lastOfItsGroup(std::span<const KernelRow> rows, std::size_t i) {
    return i + 1 == rows.size() || rows[i + 1].group != rows[i].group;
}

}  // namespace

RunResult runBenchmark(std::span<const KernelRow> rows, const RunCallbacks& callbacks) {
    if (callbacks.reset) callbacks.reset();

    Scoreboard board;
    RunResult result;
    result.returned.assign(rows.size(), std::nullopt);
    result.valid.assign(rows.size(), true);
    bool sseBlockFailed = false;

    for (std::size_t i = 0; i < rows.size(); ++i) {
        const KernelRow& row = rows[i];
        const bool skipped = row.guard == Guard::Sse && sseBlockFailed;
        if (!skipped) {
            if (callbacks.beforeRow) callbacks.beforeRow();
            std::optional<KernelOutcome> outcome;
            if (row.guard == Guard::None) {
                outcome = row.routine();
            } else {
                outcome = callGuarded(row.routine);
                if (!outcome && row.guard == Guard::Sse) sseBlockFailed = true;
            }
            if (outcome) {
                result.returned[i] = outcome->returned;
                const std::int32_t shown = board.recordRow(row, outcome->returned);
                if (callbacks.rowDone) callbacks.rowDone(row, outcome->returned, shown);
                // The figure stands as measured; a wrong result is said after the run.
                result.valid[i] = matchesGolden(outcome->work, row.golden());
                if (callbacks.rowChecked) callbacks.rowChecked(row, result.valid[i]);
            }
        }
        // The ALU and FPU scores appear as soon as their groups are complete.
        if (lastOfItsGroup(rows, i)) {
            const std::int32_t score = board.completeGroup(row.group);
            if (callbacks.groupDone) callbacks.groupDone(row.group, score);
        }
    }

    const std::int64_t cpuScore = board.completeRun();
    if (callbacks.runDone) callbacks.runDone(cpuScore);
    result.scores = board.scores();
    result.cpuScore = board.cpuScore();
    return result;
}

ScopedBenchmarkRows::ScopedBenchmarkRows(std::span<const KernelRow> rows)
    : previous_(replacedRows) {
    replacedRows = rows;
}

ScopedBenchmarkRows::~ScopedBenchmarkRows() {
    replacedRows = previous_;
}

std::span<const KernelRow> replacedBenchmarkRows() {
    return replacedRows;
}

}  // namespace bench
