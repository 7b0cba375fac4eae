// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU benchmark on several CPUs at once: one copy of this program pinned to each, every
// row released in all of them together, and the rows' results over the copies counted as
// the work of all of them in the time the last one needed (the way a "rate" benchmark counts
// copies). The copies' own side is report/copy_mode.cpp; the steps they run and the result
// each writes back are declared here, for both sides.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench/golden.h"
#include "platform/copies.h"
#include "platform/sources.h"
#include "report/collect.h"
#include "report/report.h"

namespace report {

// What a copy runs at a step: benchmark row k (1 to 29) timed as the benchmark times it,
// its effective clock, or row k untimed as a known-answer check of the stability test.
inline constexpr int kEffectiveClockStep = 100;
inline constexpr int kCheckRowStepBase = 200;  // + the row

// What a copy writes into its slot after a step; plain bytes, read by the parent.
struct CopyStepResult {
    std::int32_t completed = 0;  // the row ran (its guard let it)
    std::int32_t returned = 0;   // ms, or an INSTR row's rate
    std::int32_t wrong = 0;      // its work missed its golden value
    std::int32_t mismatchKind = 0;
    std::uint64_t mismatchSlot = 0;
    long double expected = 0, got = 0, tolerance = 0;
    double effectiveMhz = 0;
};
static_assert(sizeof(CopyStepResult) <= platform::kCopySlotBytes);

// The mismatch a copy wrote, as the row's check gave it; nothing for a right row.
std::optional<bench::Mismatch> mismatchOf(const CopyStepResult& result);

// One copy's run of one row: what its kernel returned (nothing when the row did not run)
// and how long the copy took, its own start to its own end.
struct CopyRowRun {
    std::optional<std::int32_t> returned;
    std::uint64_t ns = 0;
};

// The row's result over N copies that all finished within `elapsedNs` of their release:
// for an ALU or FPU row N times the result a run of elapsedNs (in whole ms, rounded to the
// nearest as a tick difference estimates them) would get; for an INSTR row every copy's
// instructions (its rate times its own time) over elapsedNs. Nothing when a copy did not
// complete the row.
std::optional<std::int64_t> multiResult(bench::Group group, std::uint64_t elapsedNs,
                                        std::span<const CopyRowRun> copies);

// The group and overall scores of the rows' multi results, by the benchmark's own scoring.
MultiCoreScores multiCoreScores(const std::vector<BenchRow>& rows, int copies);

// Fills each row's multi, scaling, slowest and fastest copy and the wrong copy from the
// copies' rows and the rows' group steps, and the multi-core scores.
void aggregateCopies(BenchFigures& figures, const std::vector<platform::GroupStep>& steps);

// Copies more than 5 % below the copies' median effective clock.
std::vector<int> slowClockedCopies(const std::vector<BenchCopy>& copies);

// Ends every group of copies this process has started and not yet ended: Ctrl-C.
void killLiveCopies();

// A copy group that Ctrl-C can end from another thread.
class LiveGroup {
  public:
    explicit LiveGroup(std::unique_ptr<platform::CopyGroup> group);
    ~LiveGroup();
    LiveGroup(const LiveGroup&) = delete;
    LiveGroup& operator=(const LiveGroup&) = delete;
    platform::CopyGroup& operator*() { return *group_; }
    platform::CopyGroup* operator->() { return group_.get(); }

  private:
    std::unique_ptr<platform::CopyGroup> group_;
};

// Starts one copy on each of `cpus`; the reason when one cannot be started.
platform::Expected<std::unique_ptr<LiveGroup>, std::string> startCopies(
    const platform::CpuList& cpus);

// The copies' run of the benchmark after the single copy's `single`: the effective clock of
// each, then every row of `rows` in all at once. `rowDone` sees each row's figures.
platform::Expected<BenchFigures, std::string> runCopiesBenchmark(
    const BenchFigures& single, const platform::CpuList& cpus,
    const platform::CpuTopology& topology, const Progress& progress,
    const std::function<void(const BenchFigures&)>& soFar = {});

// The copy's side: joins the group at `where`, readies its buffers, and runs the steps it is
// given until the group ends. The exit status.
int runCopyMode(const std::string& where);

}  // namespace report
