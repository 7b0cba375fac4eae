// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/benchmark_run.h"

#include "platform/fault_guard.h"

namespace bench {
namespace {

// Calls the kernel under the fault guard. The guarded block holds no object with a
// destructor: a fault leaves it by a long jump.
std::optional<KernelOutcome> callGuarded(Kernel kernel, const KernelContext& context) {
    KernelOutcome outcome;
    const bool completed =
        platform::runGuarded([&outcome, kernel, &context] { outcome = kernel(context); });
    if (!completed) return std::nullopt;
    return outcome;
}

bool lastOfItsGroup(std::span<const KernelRow> rows, std::size_t i) {
    return i + 1 == rows.size() || rows[i + 1].group != rows[i].group;
}

}  // namespace

RunResult runBenchmark(std::span<const KernelRow> rows, const platform::Clock& clock,
                       const RunCallbacks& callbacks, sysinfo::SweepBlockRoutine sweepBlock) {
    if (callbacks.reset) callbacks.reset();

    Scoreboard board;
    RunResult result;
    result.rows.assign(rows.size(), std::nullopt);
    bool sseBlockFailed = false;

    for (std::size_t i = 0; i < rows.size(); ++i) {
        const KernelRow& row = rows[i];
        const bool skipped = row.guard == Guard::Sse && sseBlockFailed;
        if (!skipped) {
            if (callbacks.beforeRow) callbacks.beforeRow();
            const KernelContext context{clock.ticks, sweepBlock, row.sweepTailFactor};
            std::optional<KernelOutcome> outcome;
            if (row.guard == Guard::None) {
                outcome = row.kernel(context);
            } else {
                outcome = callGuarded(row.kernel, context);
                if (!outcome && row.guard == Guard::Sse) sseBlockFailed = true;
            }
            if (outcome) {
                const RowPlace place = placeOf(rows, i);
                // The figure stands as measured; a wrong result is said beside it.
                RowResult& done = result.rows[i].emplace(
                    RowResult{place, outcome->returned, board.recordRow(place, outcome->returned),
                              checkWork(outcome->work, row.golden())});
                if (callbacks.rowDone) callbacks.rowDone(done);
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

}  // namespace bench
