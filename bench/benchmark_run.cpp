// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/benchmark_run.h"

#include "platform/fault_guard.h"

namespace bench {
namespace {

std::span<const KernelRow> replacedRows;

// Calls the kernel under the fault guard. The guarded block holds no object with a
// destructor: a fault leaves it by a long jump.
std::optional<std::int32_t> callGuarded(Kernel routine) {
    std::int32_t returned = 0;
    const bool completed = platform::runGuarded([&returned, routine] { returned = routine(); });
    if (!completed) return std::nullopt;
    return returned;
}

bool lastOfItsGroup(std::span<const KernelRow> rows, std::size_t i) {
    return i + 1 == rows.size() || rows[i + 1].group != rows[i].group;
}

}  // namespace

RunResult runBenchmark(std::span<const KernelRow> rows, const RunCallbacks& callbacks) {
    // The reset: every label and caption back to its empty state before the first kernel.
    for (const KernelRow& row : rows) {
        callbacks.showResult(row, std::string(kResetResultCaption));
    }
    for (Group group : {Group::Alu, Group::Fpu, Group::Instr}) {
        callbacks.showGroup(group, groupCaption(group));
    }
    callbacks.showStatus(std::string(kBenchmarkingCaption));

    Scoreboard board;
    RunResult result;
    result.returned.assign(rows.size(), std::nullopt);
    bool sseBlockFailed = false;

    for (std::size_t i = 0; i < rows.size(); ++i) {
        const KernelRow& row = rows[i];
        const bool skipped = row.guard == Guard::Sse && sseBlockFailed;
        if (!skipped) {
            callbacks.beforeRow();
            std::optional<std::int32_t> returned;
            if (row.guard == Guard::None) {
                returned = row.routine();
            } else {
                returned = callGuarded(row.routine);
                if (!returned && row.guard == Guard::Sse) sseBlockFailed = true;
            }
            if (returned) {
                result.returned[i] = returned;
                callbacks.showResult(row, board.recordRow(row, *returned));
            }
        }
        // The ALU and FPU scores appear as soon as their groups are complete.
        if (lastOfItsGroup(rows, i)) callbacks.showGroup(row.group, board.completeGroup(row.group));
    }

    callbacks.showStatus(board.completeRun());
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
