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
    result.valid.assign(rows.size(), true);
    bool sseBlockFailed = false;

    for (std::size_t i = 0; i < rows.size(); ++i) {
        const KernelRow& row = rows[i];
        const bool skipped = row.guard == Guard::Sse && sseBlockFailed;
        if (!skipped) {
            callbacks.beforeRow();
            std::optional<KernelOutcome> outcome;
            if (row.guard == Guard::None) {
                outcome = row.routine();
            } else {
                outcome = callGuarded(row.routine);
                if (!outcome && row.guard == Guard::Sse) sseBlockFailed = true;
            }
            if (outcome) {
                result.returned[i] = outcome->returned;
                callbacks.showResult(row, board.recordRow(row, outcome->returned));
                // The figure stands as measured; a wrong result is said after the run.
                result.valid[i] = matchesGolden(outcome->work, row.golden());
                if (callbacks.checkedRow) callbacks.checkedRow(row, result.valid[i]);
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

std::string wrongResultLine(std::string_view caption) {
    return plainCaption(caption) + ": wrong result; the processor made an error under load";
}

std::string wrongResultsMessage(std::span<const KernelRow> rows, const RunResult& result) {
    std::string message;
    for (std::size_t i = 0; i < rows.size() && i < result.valid.size(); ++i) {
        if (result.valid[i]) continue;
        if (!message.empty()) message += "\n";
        message += wrongResultLine(rows[i].caption);
    }
    return message;
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
