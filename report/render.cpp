// SPDX-License-Identifier: GPL-3.0-or-later
// The report as text, under the window's own captions and in its own words.
#include <cstdio>
#include <sstream>

#include "diag/memtest.h"
#include "present/captions.h"
#include "present/words.h"
#include "report/repeat.h"
#include "report/report.h"
#include "sysinfo/memory_monitor.h"

namespace report {
namespace {

std::string mhz(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MHz", value);
    return text;
}

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
std::string spreadText(const std::vector<std::int64_t>& values) {
    if (values.size() < 2) return "";
    const Spread spread = spreadOf(values);
    char percent[32] = "-";
    if (spread.percent) std::snprintf(percent, sizeof percent, "%.1f %%", *spread.percent);
    return "   min " + std::to_string(spread.min) + ", max " + std::to_string(spread.max) +
           ", spread " + percent;
}

template <class T>
std::vector<std::int64_t> wide(const std::vector<T>& values) {
    return {values.begin(), values.end()};
}

std::vector<std::int64_t> measured(const std::vector<std::optional<std::int32_t>>& runs) {
    std::vector<std::int64_t> values;
    for (const auto& run : runs)
        if (run) values.push_back(*run);
    return values;
}

// "100 per thread, 201 in all", or "100 and 101 per thread, 201 in all".
std::string passesText(const StabilityFigures& s) {
    std::string perThread;
    bool allEqual = true;
    for (std::size_t i = 0; i < s.threadPasses.size(); ++i) {
        if (s.threadPasses[i] != s.threadPasses[0]) allEqual = false;
    }
    if (s.threadPasses.empty()) {
        perThread = "0";
    } else if (allEqual) {
        perThread = std::to_string(s.threadPasses[0]);
    } else {
        for (std::size_t i = 0; i < s.threadPasses.size(); ++i)
            perThread += (i == 0 ? "" : " and ") + std::to_string(s.threadPasses[i]);
    }
    return perThread + " per thread, " + std::to_string(s.passes) + " in all";
}

std::string mib(std::int64_t bytes) {
    return std::to_string(bytes / 1'048'576) + " MiB";
}

// Why the memory test is smaller than the free memory: the limit with the least left, and
// the block the window's RUN would test.
std::string memoryLimitLines(const std::optional<platform::MemoryAllowance>& a) {
    std::string limit(present::kNoFigure);
    std::string block(present::kNoFigure);
    if (a) {
        limit = a->limit ? mib(a->limit->limit) + ", " + mib(a->limit->available) +
                               " of it free (" + a->limit->source + ")"
                         : "none";
        block =
            present::testingMemoryText(diag::memTestSizeMiB(diag::memTestBlockBytes(a->bytes))) +
            " (" + std::to_string(diag::kWindowBlockPercent) + " % of " + mib(a->bytes) +
            " this process may use)";
    }
    return line("Memory limit", 18, limit) + line("Memory test block", 18, block);
}

constexpr const char* kIncompleteLine =
    "INCOMPLETE: interrupted; only what was measured before is shown.\n";

// "CPU Info": the window's panels, with what the system says beside.
void cpuInfo(std::ostringstream& out, const CpuFigures& c) {
    const auto& captions = present::kCpuCaptions;
    const std::string none(present::kNoFigure);
    out << line(captions[0], 14,
                c.described ? present::cpuNameText(c.ratedMhz, c.name.value_or("")) : none)
        << line(captions[1], 14, c.identifier.value_or(none))
        << line(captions[2], 14, c.vendor.value_or(none))
        << line(captions[3], 14, present::instructionsText(c.extensions))
        << line(captions[4], 14,
                (c.l2CacheKiB ? present::cacheSizeText(*c.l2CacheKiB) : none) +
                    besides(c.l2CacheOs ? std::optional<std::string>(
                                              "system: " + present::kbyteText(*c.l2CacheOs))
                                        : std::nullopt))
        << line(captions[5], 14,
                (c.clockCycles ? present::clockText(*c.clockCycles) : none) +
                    besides(c.tscMhzOs
                                ? std::optional<std::string>("system TSC: " + mhz(*c.tscMhzOs))
                                : std::nullopt))
        << line("Effective core", 14, c.effectiveMhz ? mhz(*c.effectiveMhz) : none) << "\n";
}

// "RAM Info": the six panels and the two figures over the chart.
void ramInfo(std::ostringstream& out, const MemoryFigures& m) {
    const std::string none(present::kNoFigure);
    const std::optional<sysinfo::MemoryFigures> figures =
        m.status ? std::optional(sysinfo::memoryFigures(*m.status)) : std::nullopt;
    for (std::size_t i = 0; i < present::kMemoryCaptions.size(); ++i)
        out << line(present::kMemoryCaptions[i], 18,
                    figures ? present::kbyteText(figures->panels[i]) : none);
    out << line("Free physical", 18, figures ? present::freeMbText(figures->freePhys) : none)
        << line("Load", 18, figures ? present::loadText(figures->loadPercent) : none)
        << memoryLimitLines(m.allowance);
}

void benchmark(std::ostringstream& out, const BenchFigures& b) {
    out << "\n";
    if (b.repetitions > 1) out << "Median of " << b.repetitions << " runs\n";
    for (const auto& row : b.rows) {
        std::vector<std::int64_t> results;
        for (const auto& run : row.runs)
            results.push_back(run ? bench::rowResult(row.group, *run) : 0);
        out << present::rowCaption(row.row) << " "
            << (row.raw ? present::resultText(row.group, row.result())
                        : std::string(present::kNoResult))
            << spreadText(results) << "\n";
    }
    // An interrupted first repetition has rows but no scores yet.
    if (b.repetitions > 0) {
        const std::pair<bench::Group, const Repeated<std::int32_t>*> groups[] = {
            {bench::Group::Alu, &b.alu},
            {bench::Group::Fpu, &b.fpu},
            {bench::Group::Instr, &b.instr}};
        for (const auto& [group, score] : groups)
            out << present::groupScoreTitle(group, score->value) << spreadText(wide(score->runs))
                << "\n";
        out << present::cpuScoreText(b.cpuScore.value) << spreadText(b.cpuScore.runs) << "\n";
    }
    for (const auto& row : b.rows)
        if (!row.valid) out << present::wrongResultLine(row.row) << "\n";
}

void ramBenchmark(std::ostringstream& out, const RamBenchFigures& m) {
    const auto text = [](const std::optional<membench::Measured>& speed) {
        return speed ? present::speedText(*speed) : std::string(present::kNoFigure);
    };
    out << "\n";
    if (m.writeRuns.size() > 1) out << "Median of " << m.writeRuns.size() << " runs\n";
    out << present::kWriteMemorySpeed << " " << text(m.write) << spreadText(measured(m.writeRuns))
        << "\n"
        << present::kReadMemorySpeed << " " << text(m.read) << spreadText(measured(m.readRuns))
        << "\n";
}

}  // namespace

std::string renderText(const Report& r) {
    std::ostringstream out;
    if (r.incomplete) out << kIncompleteLine << "\n";
    cpuInfo(out, r.cpu);
    ramInfo(out, r.memory);
    if (r.bench) benchmark(out, *r.bench);
    if (r.ramBench) ramBenchmark(out, *r.ramBench);
    if (r.stability) {
        out << "\n"
            << present::kCpuTestBox << " (" << r.stability->seconds << " s)  " << present::kPass
            << " " << passesText(*r.stability) << "  " << present::kErrors << " "
            << r.stability->errors << "\n";
    }
    if (r.memtest) {
        const auto speed = [](const std::optional<diag::PhaseSpeed>& phase) {
            return phase ? present::testSpeedText(phase->mbPerSec)
                         : std::string(present::kNoFigure);
        };
        const MemtestFigures& m = *r.memtest;
        out << "\n"
            << present::kRamTestBox << " ("
            << present::testingMemoryText(diag::memTestSizeMiB(m.bytes)) << ")  " << present::kPass
            << " " << m.passes << "  " << present::kErrorsFound << " " << m.errors << "  "
            << present::kWriteSpeed << " " << speed(m.write) << "  " << present::kReadAndTest << " "
            << speed(m.read) << "\n";
    }
    if (r.incomplete) out << "\n" << kIncompleteLine;
    return out.str();
}

}  // namespace report
