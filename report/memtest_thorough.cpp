// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/memtest_thorough.h"

#include <algorithm>

#include "platform/os_figures.h"
#include "present/report_words.h"
#include "report/memtest_json.h"

namespace report {
namespace {

std::string_view frameUnknownWords(platform::FrameUnknown why) {
    switch (why) {
        case platform::FrameUnknown::NeedsRoot:
            return present::kPhysicalNeedsRoot;
        case platform::FrameUnknown::NotPresent:
            return present::kPhysicalNotPresent;
        case platform::FrameUnknown::Unreadable:
            break;
    }
    return present::kPhysicalUnreadable;
}

std::string_view lockRefusalWords(platform::LockRefusal why) {
    switch (why) {
        case platform::LockRefusal::NotPermitted:
            return present::kLockNotPermitted;
        case platform::LockRefusal::OverLimit:
            return present::kLockOverLimit;
        case platform::LockRefusal::Unsupported:
            return present::kLockUnsupported;
        case platform::LockRefusal::Failed:
            break;
    }
    return present::kLockFailed;
}

// The mismatches kept, how many were not, which bits failed and why an address is unknown.
void putLocated(MemtestFigures& f, const std::vector<diag::Mismatch>& kept, std::int64_t total,
                const std::array<std::int64_t, 64>& bits,
                const std::optional<platform::FrameUnknown>& physicalUnknown) {
    f.mismatches = kept;
    f.mismatchesNotListed = std::max<std::int64_t>(0, total - std::ssize(kept));
    f.bitCounts.assign(bits.begin(), bits.end());
    f.physicalUnknownReason.reset();
    if (physicalUnknown) f.physicalUnknownReason = std::string(frameUnknownWords(*physicalUnknown));
}

// "mc3" is controller 3.
int controllerNumber(const std::string& name) {
    int number = 0;
    for (const char ch : name)
        if (ch >= '0' && ch <= '9') number = number * 10 + (ch - '0');
    return number;
}

MemtestEdac edacRow(const platform::EdacRise& rise) {
    return {controllerNumber(rise.controller),
            rise.dimm.empty() ? rise.controller : rise.dimm,
            rise.label,
            rise.before.corrected,
            rise.after.corrected,
            rise.before.uncorrected,
            rise.after.uncorrected};
}

// Each module's counts; a controller's own where it names no module, so no rise goes unseen.
std::vector<MemtestEdac> edacRows(const platform::EdacChange& change) {
    std::vector<MemtestEdac> rows;
    for (const platform::EdacRise& dimm : change.dimms) rows.push_back(edacRow(dimm));
    for (const platform::EdacRise& controller : change.controllers) {
        const bool hasDimms = std::any_of(
            change.dimms.begin(), change.dimms.end(),
            [&](const platform::EdacRise& d) { return d.controller == controller.controller; });
        if (!hasDimms) rows.push_back(edacRow(controller));
    }
    return rows;
}

MemtestPattern patternRow(const diag::PatternFigures& p) {
    return {std::string(diag::patternName(p.pattern)),
            static_cast<double>(p.elapsedNs) * 1e-9,
            p.bytesChecked,
            p.checkedBytesPerSecond,
            p.ceilingShare,
            p.errors};
}

// A line on standard error for each step the run ends.
diag::ProgressHook progressLines(const Progress& progress) {
    return [&progress](const diag::ThoroughProgress& p) {
        using Stage = diag::ThoroughProgress::Stage;
        const double seconds = static_cast<double>(p.elapsedNs) * 1e-9;
        const std::string_view stages[] = {present::kBackingStage, present::kFirstWriteStage,
                                           present::kCeilingWriteStage, present::kCeilingReadStage};
        if (p.stage != Stage::Phase)
            progress(present::memtestStageLine(stages[static_cast<int>(p.stage)], seconds));
        else
            progress(present::memtestPhaseLine(p.cycle, diag::patternName(p.pattern), p.phase,
                                               p.phases, seconds, p.mismatches));
    };
}

std::string failureReason(const diag::ThoroughFailure& failure, std::string_view given) {
    switch (failure.kind) {
        case diag::ThoroughFailure::Kind::NoThread:
            return present::memtestRefusedReason(given, present::kNoThreadReason);
        case diag::ThoroughFailure::Kind::NoBacking:
            return present::noBackingReason(given, failure.backingOffset);
        case diag::ThoroughFailure::Kind::NoBlock:
            break;
    }
    return present::memtestNoBlockReason(given);
}

}  // namespace

void DesignedMismatches::copyTo(MemtestFigures& figures) const {
    putLocated(figures, log_.kept, log_.total, log_.bitCounts, log_.physicalUnknown);
}

void DesignedRecorder::cycleEnded(std::int64_t cycles) {
    cyclesEnded_ = cycles;
    figures_.cycles = cycles;
    located_.copyTo(figures_);
    progress_(present::memtestCycleLine(cycles, figures_.errors));
    if (soFar_) soFar_(figures_);
    if (cycles >= cycles_) diag::memTestStop.store(1);
}

void DesignedRecorder::wrongStep(const std::int64_t* block, std::int64_t first,
                                 std::int64_t expected, std::int64_t wrong) {
    // The designed test's block is the process's own: read again from the memory itself.
    const diag::engine::DirectMemory memory(
        reinterpret_cast<std::uint64_t*>(const_cast<std::int64_t*>(block)));
    located_.wrongStep(memory, first, expected, cyclesEnded_ + 1, wrong);
}

MemtestFigures thoroughFigures(const diag::ThoroughResult& r, std::string_view set) {
    MemtestFigures f;
    f.bytes = r.bytes;
    f.errors = r.mismatchCount;
    f.patternsSet = std::string(set);
    f.seed = r.seed;
    f.cycles = r.cycles;
    f.threads = static_cast<int>(r.threads.size());
    platform::CpuList cpus;
    for (const diag::ThreadPlacement& t : r.threads)
        if (t.cpu >= 0) cpus.push_back(t.cpu);
    f.cpus = platform::formatCpuList(cpus);
    f.locked = r.locked;
    if (r.lockRefusal) f.lockReason = std::string(lockRefusalWords(*r.lockRefusal));
    f.smallerThanFourCaches = r.smallerThanFourCaches;
    if (r.ceiling) f.ceiling = {r.ceiling->writeBytesPerSecond, r.ceiling->readBytesPerSecond};
    for (const diag::PatternFigures& p : r.patterns) {
        f.patterns.push_back(patternRow(p));
        // The designed cycle's checks are the passes the window counts, two a cycle.
        if (p.pattern == diag::PatternId::Design) f.passes = 2 * p.runs;
    }
    putLocated(f, r.mismatches, r.mismatchCount, r.bitCounts, r.physicalUnknown);
    if (r.edac) f.edac = edacRows(*r.edac);
    return f;
}

platform::Expected<MemtestFigures, std::string> runThoroughMemtest(const ThoroughRequest& request,
                                                                   const diag::StopFlag& stop,
                                                                   const Progress& progress,
                                                                   const platform::Sources& sources,
                                                                   std::string_view given) {
    diag::ThoroughPlan plan;
    plan.bytes = request.bytes / diag::kBlockGranule * diag::kBlockGranule;
    plan.patterns = request.patterns;
    plan.cycles = request.cycles;
    plan.seed = request.seed;
    plan.cpus = request.cpus;
    plan.lastLevelCacheBytes = platform::lastLevelCacheBytes(platform::cachesFromOs(sources.root));
    plan.clock = sources.clock.nanoseconds;
    plan.root = sources.root;
    progress(present::seedProgressLine(hexJson(request.seed)));
    const diag::ThoroughRun run = diag::runThoroughTest(plan, stop, progressLines(progress));
    if (!run) return platform::Unexpected{failureReason(run.error(), given)};
    return thoroughFigures(*run, request.patternsText);
}

}  // namespace report
