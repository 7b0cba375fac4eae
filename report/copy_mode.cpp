// SPDX-License-Identifier: GPL-3.0-or-later
// A copy of corvane-report, started by the copies' group of another: pinned to its CPU, it
// runs the step it is given (a benchmark row, its effective clock) and writes back what it
// found. It prints nothing; the program that started it reports.
#include <cstring>

#include "bench/benchmark_run.h"
#include "bench/kernel_table.h"
#include "platform/x87.h"
#include "report/copies_bench.h"
#include "sysinfo/effective_clock.h"
#include "sysinfo/sweep.h"

namespace report {
namespace {

// Row `row` (1 to 29) as the benchmark runs it, under its guard, checked with its golden.
CopyStepResult runRow(int row) {
    CopyStepResult result;
    const auto rows = std::span(bench::kKernelTable).subspan(static_cast<std::size_t>(row - 1), 1);
    bench::RunCallbacks callbacks;
    callbacks.rowDone = [&](const bench::RowResult& done) {
        result.completed = 1;
        result.returned = done.returned;
        if (!done.wrong) return;
        result.wrong = 1;
        result.mismatchKind = done.wrong->kind == bench::Mismatch::Kind::Count ? 0 : 1;
        result.mismatchSlot = done.wrong->slot;
        result.expected = done.wrong->expected;
        result.got = done.wrong->got;
        result.tolerance = done.wrong->tolerance;
    };
    bench::runBenchmark(rows, platform::Clock{}, callbacks);
    return result;
}

CopyStepResult runStep(int step) {
    if (step >= 1 && step <= bench::kRowCount) return runRow(step);
    if (step > kCheckRowStepBase && step <= kCheckRowStepBase + bench::kRowCount)
        return runRow(step - kCheckRowStepBase);
    CopyStepResult result;
    if (step == kEffectiveClockStep) result.effectiveMhz = sysinfo::effectiveClockMHz();
    return result;
}

}  // namespace

int runCopyMode(const std::string& where) {
    auto member = platform::CopyMember::join(where);
    if (!member) return 3;
    // The same floating-point setting and memory backing as the program that started it, so
    // that no first touch of a page lands in a timed section.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    sysinfo::backSweepBuffer();
    member->ready();
    while (const auto step = member->nextStep()) {
        const std::uint64_t start = platform::monotonicNanoseconds();
        const CopyStepResult result = runStep(*step);
        const std::uint64_t end = platform::monotonicNanoseconds();
        std::memcpy(member->slot(), &result, sizeof result);
        member->finished({start, end});
    }
    return 0;
}

}  // namespace report
