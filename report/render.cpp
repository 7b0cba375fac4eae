// SPDX-License-Identifier: GPL-3.0-or-later
// The report as text, under the window's own captions and in its own words: one function a
// page of the window, in the order the report prints them.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "diag/memtest.h"
#include "present/captions.h"
#include "present/report_words.h"
#include "present/words.h"
#include "report/copies_bench.h"
#include "report/memtest_json.h"
#include "report/repeat.h"
#include "report/report.h"

namespace report {
namespace {

// The widths the captions of "CPU Info" and "RAM Info" are padded to.
constexpr std::size_t kCpuCaptionWidth = 14;
constexpr std::size_t kMemoryCaptionWidth = 18;

const std::string kNone(present::kNoFigure);

// A caption padded to `width` columns and a blank, then the figure.
std::string line(std::string_view caption, std::size_t width, const std::string& figure) {
    std::string text(caption);
    text.resize(std::max(width, text.size()), ' ');
    return text + " " + figure + "\n";
}

// "   (system: …)" after a figure, or nothing when the system does not say.
std::string besides(const std::optional<std::string>& what) {
    return what ? "   (" + *what + ")" : "";
}

// "   min 3050, max 3160, spread 3.5 %" after a median; nothing for a single run.
std::string spreadAfter(const std::vector<std::int64_t>& values) {
    if (values.size() < 2) return "";
    const Spread spread = spreadOf(values);
    return "   " + present::spreadText(spread.min, spread.max, spread.percent);
}

template <class T>
std::vector<std::int64_t> wide(const std::vector<T>& values) {
    return {values.begin(), values.end()};
}

template <class T, class Words>
std::string wordedOr(const std::optional<T>& figure, Words words) {
    return figure ? words(*figure) : kNone;
}

// "CPU Info": the window's panels, with what the system says beside.
void cpuInfo(std::ostringstream& out, const CpuFigures& c) {
    const auto& captions = present::kCpuCaptions;
    const auto cpuLine = [&out](std::string_view caption, const std::string& figure) {
        out << line(caption, kCpuCaptionWidth, figure);
    };
    cpuLine(captions[0],
            c.described ? present::cpuNameText(c.ratedMhz, c.name.value_or("")) : kNone);
    cpuLine(captions[1], c.identifier.value_or(kNone));
    cpuLine(captions[2], c.vendor.value_or(kNone));
    cpuLine(captions[3], present::instructionsText(c.extensions));
    cpuLine(captions[4],
            wordedOr(c.l2CacheKiB, present::cacheSizeText) +
                besides(c.l2CacheOs ? std::optional(present::systemCacheText(*c.l2CacheOs))
                                    : std::nullopt));
    cpuLine(captions[5], wordedOr(c.clockCycles, present::clockText) +
                             besides(c.tscMhzOs ? std::optional(present::systemTscText(*c.tscMhzOs))
                                                : std::nullopt));
    cpuLine(present::kEffectiveCore, wordedOr(c.effectiveMhz, present::mhzText));
    out << "\n";
}

// Why the memory test is smaller than the free memory: the limit with the least left, and
// the block the window's RUN would test.
void memoryLimit(std::ostringstream& out, const std::optional<platform::MemoryAllowance>& a) {
    std::string limit = kNone;
    std::string block = kNone;
    if (a) {
        limit = a->limit ? present::memoryLimitText(a->limit->limit, a->limit->available,
                                                    a->limit->source)
                         : std::string(present::kNoLimit);
        block = present::memtestBlockText(diag::memTestSizeMiB(diag::memTestBlockBytes(a->bytes)),
                                          diag::kWindowBlockPercent, a->bytes);
    }
    out << line(present::kMemoryLimit, kMemoryCaptionWidth, limit)
        << line(present::kMemoryTestBlock, kMemoryCaptionWidth, block);
}

// "RAM Info": the six panels and the two figures over the chart.
void ramInfo(std::ostringstream& out, const MemoryFigures& m) {
    const auto shown = m.shown();
    for (std::size_t i = 0; i < present::kMemoryCaptions.size(); ++i)
        out << line(present::kMemoryCaptions[i], kMemoryCaptionWidth,
                    shown ? present::kbyteText(shown->panels[i]) : kNone);
    out << line(present::kFreePhysical, kMemoryCaptionWidth,
                shown ? present::freeMbText(shown->freePhys) : kNone)
        << line(present::kLoad, kMemoryCaptionWidth,
                shown ? present::loadText(shown->loadPercent) : kNone);
    memoryLimit(out, m.allowance);
}

// The copies whose effective clock lags the copies' median by more than 5 %.
void copyClockOutliers(std::ostringstream& out, const std::vector<BenchCopy>& copies) {
    std::vector<std::int64_t> clocks;
    for (const BenchCopy& copy : copies)
        if (copy.effectiveMhz) clocks.push_back(std::llround(*copy.effectiveMhz * 10));
    if (clocks.empty()) return;
    const double median = static_cast<double>(spreadOf(clocks).median) / 10;
    for (const int slow : slowClockedCopies(copies)) {
        const BenchCopy& copy = copies[static_cast<std::size_t>(slow)];
        out << present::slowCopyLine(copy.copy, copy.cpu,
                                     100.0 * (median - *copy.effectiveMhz) / median)
            << "\n";
    }
}

// "CPU Benchmark ": every row, the group scores and the CPU score, then the wrong rows.
void benchmark(std::ostringstream& out, const BenchFigures& b) {
    out << "\n";
    if (b.repetitions > 1)
        out << present::medianOfRunsLine(static_cast<std::size_t>(b.repetitions)) << "\n";
    for (const auto& row : b.rows)
        out << present::rowCaption(row.row) << " "
            << (row.raw ? present::resultText(row.group, row.result())
                        : std::string(present::kNoResult))
            << spreadAfter(row.runResults()) << "\n";
    // An interrupted first repetition has rows but no scores yet.
    if (b.repetitions > 0) {
        for (const GroupScore& group : kGroupScores) {
            const Repeated<std::int32_t>& score = b.*group.score;
            out << present::groupScoreTitle(group.group, score.value)
                << spreadAfter(wide(score.runs)) << "\n";
        }
        out << present::cpuScoreText(b.cpuScore.value) << spreadAfter(b.cpuScore.runs) << "\n";
    }
    for (const auto& row : b.rows)
        if (!row.valid) out << present::wrongResultLine(row.row) << "\n";
}

// The copies on several CPUs: each row's multi-core result and scaling, the multi-core
// scores, the copy in which a row went wrong, and each copy's effective clock.
void copiesBenchmark(std::ostringstream& out, const BenchFigures& b) {
    if (b.copies.empty()) return;
    out << "\n" << present::kScalingHeader << "\n";
    for (const auto& row : b.rows)
        out << present::scalingLine(row.row, row.result(), row.multi, row.scaling, row.slowestCopy,
                                    row.fastestCopy)
            << "\n";
    if (const auto& m = b.multiCore)
        out << present::multiCoreLine(m->copies, m->alu, m->fpu, m->instr, m->cpuScore) << "\n";
    for (const auto& row : b.rows)
        if (row.wrongCopy)
            out << present::wrongCopyLine(row.row, *row.wrongCopy, row.wrongCpu.value_or(-1))
                << "\n";
    for (const BenchCopy& copy : b.copies)
        out << present::copyClockLine(copy.copy, copy.cpu, copy.package, copy.core,
                                      copy.effectiveMhz)
            << "\n";
    copyClockOutliers(out, b.copies);
}

// " RAM Benchmark  ".
void ramBenchmark(std::ostringstream& out, const RamBenchFigures& r) {
    out << "\n";
    if (r.writeRuns.size() > 1) out << present::medianOfRunsLine(r.writeRuns.size()) << "\n";
    for (const RamSpeed& speed : kRamSpeeds)
        out << speed.caption << " " << wordedOr(r.*speed.speed, present::speedText)
            << spreadAfter(measuredRuns(r.*speed.runs)) << "\n";
}

// One CPU of the stability test with --cpus, with its first error and retest.
void stabilityCpu(std::ostringstream& out, const StabilityCpu& c) {
    out << present::stabilityCpuLine(c.cpu, c.package, c.die, c.core,
                                     platform::formatCpuList(c.siblings), c.passes, c.errors,
                                     c.maxCelsius)
        << "\n";
    if (const auto& m = c.firstMismatch)
        out << present::firstMismatchLine(c.firstErrorSeconds.value_or(0), m->pass, m->iteration,
                                          m->value, m->row, m->expected, m->got)
            << "\n";
    if (c.retest) out << present::retestLine(*c.retest) << "\n";
}

// Every CPU's figures, and the line that names the faulty ones.
void stabilityCpus(std::ostringstream& out, const StabilityFigures& s) {
    if (s.cpus.empty()) return;
    out << present::workloadLine(s.workload.value_or("loop"), s.cpus.size()) << "\n";
    std::vector<std::string> faulty;
    for (const StabilityCpu& cpu : s.cpus) {
        stabilityCpu(out, cpu);
        if (cpu.errors > 0)
            faulty.push_back(present::faultyCpuText(cpu.cpu, cpu.package, cpu.die, cpu.core));
    }
    out << present::faultyCpusLine(faulty) << "\n";
}

// "    Diagnostic    ": the CPU TEST box.
void stability(std::ostringstream& out, const StabilityFigures& s) {
    out << "\n"
        << present::kCpuTestBox << " (" << present::secondsText(s.seconds) << ")  "
        << present::kPass << " " << present::passesText(s.threadPasses, s.passes) << "  "
        << present::kErrors << " " << s.errors << "\n";
    stabilityCpus(out, s);
}

// The setting of a pattern run: its set and seed, the lock, the block against the caches, the
// ceiling and each pattern's speed.
void memtestSetting(std::ostringstream& out, const MemtestFigures& m) {
    out << present::memtestSetLine(
               *m.patternsSet, m.seed ? std::optional(hexJson(*m.seed)) : std::nullopt,
               m.cycles.value_or(0), m.threads.value_or(0), m.cpus.value_or(kNone))
        << "\n";
    if (m.locked)
        out << (*m.locked ? std::string(present::kBlockLockedLine)
                          : present::notLockedLine(m.lockReason.value_or(kNone)))
            << "\n";
    if (m.smallerThanFourCaches.value_or(false)) out << present::kSmallBlockLine << "\n";
    if (m.ceiling)
        out << present::ceilingLine(m.ceiling->writeBytesPerSecond, m.ceiling->readBytesPerSecond)
            << "\n";
    for (const MemtestPattern& p : m.patterns)
        out << present::patternSpeedLine(p.name, p.bytesPerSecond, p.shareOfCeiling, p.errors,
                                         p.seconds)
            << "\n";
}

std::string mismatchText(const diag::Mismatch& m) {
    const std::string_view pattern = diag::patternName(m.pattern);
    if (!m.located)
        return present::wrongReadLine(pattern, m.cycle,
                                      hexJson(static_cast<std::uint64_t>(m.offset)),
                                      hexJson(m.xorBits, 16));
    return present::mismatchLine(
        {pattern, m.cycle, hexJson(static_cast<std::uint64_t>(m.offset)), hexJson(m.virtualAddress),
         m.physicalAddress ? hexJson(*m.physicalAddress) : kNone, hexJson(m.expected, 16),
         hexJson(m.got, 16), hexJson(m.xorBits, 16), hexJson(m.reread, 16), m.cpu});
}

// The closing line: how many, which bits, which patterns.
std::string mismatchSummary(const MemtestFigures& m) {
    std::vector<int> bits;
    for (std::size_t bit = 0; bit < m.bitCounts.size(); ++bit)
        if (m.bitCounts[bit] > 0) bits.push_back(static_cast<int>(bit));
    std::vector<std::string> patterns;
    for (const MemtestPattern& p : m.patterns)
        if (p.errors > 0) patterns.push_back(p.name);
    // The designed run has no pattern rows: its mismatches name it.
    for (const diag::Mismatch& found : m.mismatches) {
        const std::string name(diag::patternName(found.pattern));
        if (std::find(patterns.begin(), patterns.end(), name) == patterns.end())
            patterns.push_back(name);
    }
    return present::mismatchSummaryLine(m.errors, bits, patterns);
}

// One line a located mismatch, the rest counted, the summary, and once what the physical
// addresses are not.
void memtestMismatches(std::ostringstream& out, const MemtestFigures& m, bool hypervisor) {
    for (const diag::Mismatch& found : m.mismatches) out << mismatchText(found) << "\n";
    if (m.mismatchesNotListed > 0) out << present::notListedLine(m.mismatchesNotListed) << "\n";
    out << mismatchSummary(m) << "\n";
    if (m.mismatches.empty()) return;
    if (m.physicalUnknownReason)
        out << present::physicalUnknownLine(*m.physicalUnknownReason) << "\n";
    if (hypervisor) out << present::kGuestPhysicalLine << "\n";
}

// "    Diagnostic    ": the RAM TEST box, its counts and phases in the window's order; then
// what a pattern run adds, and the designed run's mismatches where it found any.
void memtest(std::ostringstream& out, const MemtestFigures& m, bool hypervisor) {
    out << "\n"
        << present::kRamTestBox << " (" << present::testingMemoryText(diag::memTestSizeMiB(m.bytes))
        << ")";
    for (const MemtestCount& count : kMemtestCounts)
        out << "  " << count.caption << " " << m.*count.count;
    for (const MemtestPhase& phase : kMemtestPhases)
        out << "  " << phase.caption << " "
            << wordedOr(m.*phase.phase, [](const diag::PhaseSpeed& speed) {
                   return present::testSpeedText(speed.mbPerSec);
               });
    out << "\n";
    const bool patterns = m.patternsSet && *m.patternsSet != "design";
    if (patterns) memtestSetting(out, m);
    if (patterns || !m.mismatches.empty() || m.mismatchesNotListed > 0)
        memtestMismatches(out, m, hypervisor);
    if (!m.edac) return;
    for (const MemtestEdac& e : *m.edac)
        out << present::edacLine(e.controller, e.dimm, e.label, e.ceBefore, e.ceAfter, e.ueBefore,
                                 e.ueAfter)
            << "\n";
}

}  // namespace

std::string renderText(const Report& r) {
    std::ostringstream out;
    if (r.incomplete) out << present::kIncompleteLine << "\n\n";
    cpuInfo(out, r.cpu);
    ramInfo(out, r.memory);
    if (r.bench) benchmark(out, *r.bench);
    if (r.bench) copiesBenchmark(out, *r.bench);
    if (r.ramBench) ramBenchmark(out, *r.ramBench);
    if (r.stability) stability(out, *r.stability);
    if (r.memtest) memtest(out, *r.memtest, r.cpu.hypervisor);
    if (r.incomplete) out << "\n" << present::kIncompleteLine << "\n";
    return out.str();
}

}  // namespace report
