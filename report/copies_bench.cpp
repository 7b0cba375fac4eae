// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/copies_bench.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>

#include "bench/scoring.h"
#include "present/report_words.h"
#include "present/words.h"
#include "report/repeat.h"

namespace report {

std::optional<bench::Mismatch> mismatchOf(const CopyStepResult& result) {
    if (!result.wrong) return std::nullopt;
    bench::Mismatch mismatch;
    mismatch.kind =
        result.mismatchKind == 0 ? bench::Mismatch::Kind::Count : bench::Mismatch::Kind::Value;
    mismatch.slot = static_cast<std::size_t>(result.mismatchSlot);
    mismatch.expected = result.expected;
    mismatch.got = result.got;
    mismatch.tolerance = result.tolerance;
    return mismatch;
}

std::optional<std::int64_t> multiResult(bench::Group group, std::uint64_t elapsedNs,
                                        std::span<const CopyRowRun> copies) {
    if (copies.empty() || elapsedNs == 0) return std::nullopt;
    for (const CopyRowRun& copy : copies)
        if (!copy.returned) return std::nullopt;
    if (group != bench::Group::Instr) {
        const double ms = std::round(static_cast<double>(elapsedNs) / 1e6);
        const auto wholeMs = static_cast<std::int32_t>(
            std::min(ms, static_cast<double>(std::numeric_limits<std::int32_t>::max())));
        return static_cast<std::int64_t>(copies.size()) * bench::rowResult(group, wholeMs);
    }
    // Millions of instructions a second times nanoseconds: each copy's instructions, in
    // thousandths; over all copies' nanoseconds together, millions a second again.
    long double instructions = 0;
    for (const CopyRowRun& copy : copies)
        instructions += static_cast<long double>(*copy.returned) * copy.ns;
    return std::llround(instructions / elapsedNs);
}

namespace {

std::int32_t clamped(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

MultiCoreScores multiCoreScores(const std::vector<BenchRow>& rows, int copies) {
    bench::ScoreArrays arrays;
    for (std::size_t i = 0; i < rows.size() && i < bench::kKernelTable.size(); ++i) {
        const bench::RowPlace place = bench::placeOf(bench::kKernelTable, i);
        arrays.entry(place.group, place.index) = clamped(rows[i].multi.value_or(0));
    }
    MultiCoreScores scores;
    scores.copies = copies;
    scores.alu = bench::aluFpuGroupScore(arrays.alu);
    scores.fpu = bench::aluFpuGroupScore(arrays.fpu);
    scores.instr = bench::instrGroupScore(arrays.instr);
    scores.cpuScore = bench::cpuScore(scores.alu, scores.fpu, scores.instr);
    return scores;
}

namespace {

// The copies' runs of row `index`, from their rows and the group's step.
std::vector<CopyRowRun> rowRuns(const BenchFigures& figures, std::size_t index,
                                const platform::GroupStep& step) {
    std::vector<CopyRowRun> runs;
    for (std::size_t c = 0; c < figures.copies.size(); ++c) {
        const platform::CopyTiming timing =
            c < step.copies.size() ? step.copies[c] : platform::CopyTiming{};
        runs.push_back({figures.copies[c].rows.at(index).raw, timing.endNs - timing.startNs});
    }
    return runs;
}

// Slowest and fastest copy by their own row result; the first wrong copy.
void placeCopies(BenchRow& row, const BenchFigures& figures, std::size_t index) {
    std::optional<std::int32_t> slowest, fastest;
    for (const BenchCopy& copy : figures.copies) {
        const BenchRow& own = copy.rows.at(index);
        if (!own.valid && !row.wrongCopy) {
            row.wrongCopy = copy.copy;
            row.wrongCpu = copy.cpu;
            row.valid = false;
            if (!row.wrong) row.wrong = own.wrong;
        }
        if (!own.raw) continue;
        if (!slowest || own.result() < *slowest)
            slowest = own.result(), row.slowestCopy = copy.copy;
        if (!fastest || own.result() > *fastest)
            fastest = own.result(), row.fastestCopy = copy.copy;
    }
}

}  // namespace

void aggregateCopies(BenchFigures& figures, const std::vector<platform::GroupStep>& steps) {
    for (std::size_t i = 0; i < figures.rows.size() && i < steps.size(); ++i) {
        BenchRow& row = figures.rows[i];
        const std::vector<CopyRowRun> runs = rowRuns(figures, i, steps[i]);
        row.multi = multiResult(row.group, steps[i].elapsedNs, runs);
        row.scaling.reset();
        if (row.multi && row.result() > 0)
            row.scaling = static_cast<double>(*row.multi) / row.result();
        placeCopies(row, figures, i);
    }
    // Scores only once every row is in: an interrupted run has no multi-core score.
    if (steps.size() >= figures.rows.size())
        figures.multiCore = multiCoreScores(figures.rows, static_cast<int>(figures.copies.size()));
}

std::vector<int> slowClockedCopies(const std::vector<BenchCopy>& copies) {
    std::vector<std::int64_t> clocks;
    for (const BenchCopy& copy : copies)
        if (copy.effectiveMhz) clocks.push_back(std::llround(*copy.effectiveMhz * 10));
    std::vector<int> slow;
    if (clocks.empty()) return slow;
    const double median = static_cast<double>(spreadOf(clocks).median) / 10;
    for (const BenchCopy& copy : copies)
        if (copy.effectiveMhz && *copy.effectiveMhz < median * 0.95) slow.push_back(copy.copy);
    return slow;
}

namespace {

std::mutex liveMutex;
std::set<platform::CopyGroup*> liveGroups;

}  // namespace

LiveGroup::LiveGroup(std::unique_ptr<platform::CopyGroup> group) : group_(std::move(group)) {
    std::lock_guard lock(liveMutex);
    liveGroups.insert(group_.get());
}

LiveGroup::~LiveGroup() {
    std::lock_guard lock(liveMutex);
    liveGroups.erase(group_.get());
}

void killLiveCopies() {
    std::lock_guard lock(liveMutex);
    for (platform::CopyGroup* group : liveGroups) group->kill();
}

platform::Expected<std::unique_ptr<LiveGroup>, std::string> startCopies(
    const platform::CpuList& cpus) {
    platform::CopyGroup::Launch launch;
    launch.cpus = cpus;
    auto group = platform::CopyGroup::start(launch);
    if (!group) return platform::Unexpected{group.error()};
    return std::make_unique<LiveGroup>(std::move(*group));
}

namespace {

CopyStepResult resultOf(platform::CopyGroup& group, std::size_t copy) {
    CopyStepResult result;
    std::memcpy(&result, group.slot(copy), sizeof result);
    return result;
}

// Every copy's effective clock, measured at once, each on its own CPU.
platform::Expected<void, std::string> measureClocks(platform::CopyGroup& group,
                                                    std::vector<BenchCopy>& copies) {
    const auto step = group.run(kEffectiveClockStep);
    if (!step) return platform::Unexpected{step.error()};
    for (std::size_t c = 0; c < copies.size(); ++c) {
        const double mhz = resultOf(group, c).effectiveMhz;
        if (mhz > 0) copies[c].effectiveMhz = mhz;
    }
    return {};
}

std::vector<BenchCopy> copiesOn(const platform::CpuList& cpus,
                                const platform::CpuTopology& topology) {
    std::vector<BenchCopy> copies;
    for (std::size_t c = 0; c < cpus.size(); ++c) {
        BenchCopy copy{static_cast<int>(c), cpus[c], cpus[c], 0, std::nullopt, {}};
        if (const platform::LogicalCpu* found = topology.find(cpus[c])) {
            copy.core = found->core;
            copy.package = found->package;
        }
        copies.push_back(std::move(copy));
    }
    return copies;
}

// Row `index` in every copy at once: each copy's own row, and the group's step.
platform::Expected<platform::GroupStep, std::string> runRow(platform::CopyGroup& group,
                                                            std::size_t index,
                                                            std::vector<BenchCopy>& copies) {
    const bench::RowPlace place = bench::placeOf(bench::kKernelTable, index);
    auto step = group.run(place.row);
    if (!step) return platform::Unexpected{step.error()};
    for (std::size_t c = 0; c < copies.size(); ++c) {
        const CopyStepResult result = resultOf(group, c);
        const auto raw = result.completed ? std::optional(result.returned) : std::nullopt;
        copies[c].rows.push_back(
            BenchRow{place.row, place.group, raw, {raw}, !result.wrong, mismatchOf(result)});
    }
    return step;
}

void rowProgress(const Progress& progress, const BenchRow& row) {
    progress(present::multiRowLine(row.row, row.group, row.multi, row.scaling));
    if (row.wrongCopy) progress(present::wrongCopyLine(row.row, *row.wrongCopy, *row.wrongCpu));
}

}  // namespace

platform::Expected<BenchFigures, std::string> runCopiesBenchmark(
    const BenchFigures& single, const platform::CpuList& cpus,
    const platform::CpuTopology& topology, const Progress& progress,
    const std::function<void(const BenchFigures&)>& soFar) {
    progress(present::copiesProgressLine(static_cast<int>(cpus.size())));
    auto started = startCopies(cpus);
    if (!started) return platform::Unexpected{started.error()};
    platform::CopyGroup& group = ***started;
    BenchFigures figures = single;
    figures.copies = copiesOn(cpus, topology);
    if (const auto clocks = measureClocks(group, figures.copies); !clocks)
        return platform::Unexpected{clocks.error()};
    std::vector<platform::GroupStep> steps;
    for (std::size_t i = 0; i < figures.rows.size(); ++i) {
        auto step = runRow(group, i, figures.copies);
        if (!step) return platform::Unexpected{step.error()};
        steps.push_back(std::move(*step));
        aggregateCopies(figures, steps);
        rowProgress(progress, figures.rows[i]);
        if (soFar) soFar(figures);
    }
    return figures;
}

}  // namespace report
