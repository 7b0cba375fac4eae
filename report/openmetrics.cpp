// SPDX-License-Identifier: GPL-3.0-or-later
// The report as OpenMetrics text: one gauge family per figure, base units in the names
// (seconds, bytes, hertz), rows and groups as labels. The HELP texts stay beside the names
// they document, here or in the figure tables of report.h: they describe a machine
// interface, as JSON keys do, and are never the window's words.
#include <cstdio>
#include <map>
#include <sstream>

#include "bench/kernel_table.h"
#include "present/captions.h"
#include "report/repeat.h"
#include "report/report.h"
#include "sysinfo/memory_monitor.h"
#include "version.h"

namespace report {
namespace {

std::string escaped(const std::string& value) {
    std::string out;
    for (const char ch : value) {
        if (ch == '\\')
            out += "\\\\";
        else if (ch == '"')
            out += "\\\"";
        else if (ch == '\n')
            out += "\\n";
        else
            out += ch;
    }
    return out;
}

std::string number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

using Labels = std::vector<std::pair<std::string, std::string>>;

// Families in the order they were first added, each with its samples.
class Exposition {
  public:
    void add(const std::string& name, const std::string& help, const Labels& labels, double value) {
        auto [at, fresh] = index_.try_emplace(name, families_.size());
        if (fresh) families_.push_back({name, help, {}});
        std::string sample = name;
        if (!labels.empty()) {
            sample += "{";
            for (std::size_t i = 0; i < labels.size(); ++i)
                sample +=
                    (i ? "," : "") + labels[i].first + "=\"" + escaped(labels[i].second) + "\"";
            sample += "}";
        }
        families_[at->second].samples.push_back(sample + " " + number(value));
    }

    std::string text() const {
        std::ostringstream out;
        for (const auto& family : families_) {
            out << "# HELP " << family.name << " " << family.help << "\n"
                << "# TYPE " << family.name << " gauge\n";
            for (const auto& sample : family.samples) out << sample << "\n";
        }
        out << "# EOF\n";
        return out.str();
    }

  private:
    struct Family {
        std::string name, help;
        std::vector<std::string> samples;
    };
    std::vector<Family> families_;
    std::map<std::string, std::size_t> index_;
};

template <class T>
std::optional<double> spreadRatio(const std::vector<T>& values) {
    const Spread spread = spreadOf({values.begin(), values.end()});
    if (!spread.percent) return std::nullopt;
    return *spread.percent / 100.0;
}

// Bytes per second of a timed loop; nothing for one that took no time.
std::optional<double> bytesPerSecond(const platform::TimedBytes& timed) {
    if (timed.ms <= 0) return std::nullopt;
    return static_cast<double>(timed.bytes) * 1000.0 / timed.ms;
}

// The build and the machine, and whether the run was cut short.
void addInfo(Exposition& e, const Report& r) {
    const auto& m = r.machine;
    e.add("corvane_info", "The build and the machine; the value is always 1.",
          {{"version", CORVANE_VERSION},
           {"build_type", CORVANE_BUILD_TYPE},
           {"bench_revision", std::to_string(r.benchRevision)},
           {"cpu_name", m.cpuName.value_or("")},
           {"vendor", m.vendor.value_or("")},
           {"kernel_release", m.kernelRelease}},
          1);
    e.add("corvane_report_incomplete", "1 when the run was interrupted.", {}, r.incomplete);
}

void addCpu(Exposition& e, const Report& r) {
    const auto& m = r.machine;
    if (m.tscMhz) e.add("corvane_cpu_tsc_hertz", "Time-stamp counter rate.", {}, *m.tscMhz * 1e6);
    if (const auto clock = r.cpu.clockMhz())
        e.add("corvane_cpu_measured_clock_hertz", "Core clock as Corvane measures it.", {},
              *clock * 1e6);
    if (m.effectiveMhz)
        e.add("corvane_cpu_effective_clock_hertz", "Effective core clock under load.", {},
              *m.effectiveMhz * 1e6);
    e.add("corvane_cpu_logical_cpus", "Logical processors.", {}, m.logicalCpus);
}

void addMemoryStatus(Exposition& e, const platform::MemoryStatus& s,
                     const sysinfo::MemoryFigures& shown) {
    const std::pair<const char*, std::pair<std::int64_t, std::int64_t>> kinds[] = {
        {"physical", {s.totalPhys, s.availPhys}},
        {"pagefile", {s.totalPageFile, s.availPageFile}},
        {"virtual", {s.totalVirtual, s.availVirtual}}};
    for (const auto& [kind, figures] : kinds)
        e.add("corvane_memory_total_bytes", "Memory size by kind.", {{"kind", kind}},
              static_cast<double>(figures.first));
    for (const auto& [kind, figures] : kinds)
        e.add("corvane_memory_available_bytes", "Memory available by kind.", {{"kind", kind}},
              static_cast<double>(figures.second));
    e.add("corvane_memory_load_ratio", "Physical memory in use.", {}, shown.loadPercent / 100.0);
}

void addMemoryAllowance(Exposition& e, const platform::MemoryAllowance& a) {
    e.add("corvane_memory_unused_bytes",
          "Memory in no program's working set: MemAvailable less Active(file) and Mapped, at "
          "least MemFree.",
          {}, static_cast<double>(a.unused));
    e.add("corvane_memtest_allowance_bytes",
          "Memory the memory test may take: the unused memory or the limit's free bytes, the "
          "smaller.",
          {}, static_cast<double>(a.bytes));
    if (!a.limit) return;
    const Labels source{{"source", a.limit->source}};
    e.add("corvane_memory_limit_bytes",
          "The limit on this process's memory that leaves the least: a memory cgroup's, "
          "RLIMIT_AS or RLIMIT_DATA.",
          source, static_cast<double>(a.limit->limit));
    e.add("corvane_memory_limit_available_bytes",
          "What that limit leaves: the limit less what is charged against it.", source,
          static_cast<double>(a.limit->available));
}

void addMemory(Exposition& e, const MemoryFigures& m) {
    if (const auto shown = m.shown()) addMemoryStatus(e, *m.status, *shown);
    if (m.allowance) addMemoryAllowance(e, *m.allowance);
}

void addBenchRow(Exposition& e, const BenchRow& row) {
    const Labels labels{
        {"row", std::to_string(row.row)},
        {"group", std::string(bench::groupName(row.group))},
        {"caption", std::string(present::plainCaption(present::rowCaption(row.row)))}};
    if (row.group == bench::Group::Instr) {
        e.add("corvane_bench_row_instructions_per_second",
              "Instruction rate of an INSTR row (median repetition).", labels, row.result() * 1e6);
    } else {
        e.add("corvane_bench_row_score", "Score of an ALU or FPU row (median repetition).", labels,
              row.result());
        if (row.raw)
            e.add("corvane_bench_row_duration_seconds",
                  "Time of an ALU or FPU row's work (median repetition).", labels,
                  *row.raw / 1000.0);
    }
    if (const auto ratio = spreadRatio(row.runResults()))
        e.add("corvane_bench_row_spread_ratio",
              "(max - min) / median of a row's result over the repetitions.", labels, *ratio);
    e.add("corvane_bench_row_valid",
          "1 when every repetition's work left its golden value; 0: the processor computed "
          "wrongly under load.",
          labels, row.valid);
}

// The group scores and the CPU score, as group "CPU", with their spreads.
void addBenchScores(Exposition& e, const BenchFigures& b) {
    const auto group = [](const GroupScore& g) {
        return Labels{{"group", std::string(bench::groupName(g.group))}};
    };
    for (const GroupScore& g : kGroupScores)
        e.add("corvane_bench_score", "Group score, or the CPU score for group CPU.", group(g),
              (b.*g.score).value);
    e.add("corvane_bench_score", "", {{"group", "CPU"}}, static_cast<double>(b.cpuScore.value));
    for (const GroupScore& g : kGroupScores) {
        if (const auto ratio = spreadRatio((b.*g.score).runs))
            e.add("corvane_bench_score_spread_ratio",
                  "(max - min) / median of a score over the repetitions.", group(g), *ratio);
    }
    if (const auto ratio = spreadRatio(b.cpuScore.runs))
        e.add("corvane_bench_score_spread_ratio", "", {{"group", "CPU"}}, *ratio);
}

// With copies on several CPUs: the multi-core scores and each row's scaling.
void addMultiCore(Exposition& e, const BenchFigures& b) {
    if (!b.multiCore) return;
    const MultiCoreScores& m = *b.multiCore;
    e.add("corvane_bench_copies", "Copies of the CPU benchmark that ran at once, one a CPU.", {},
          m.copies);
    const std::pair<const char*, std::int64_t> scores[] = {
        {"ALU", m.alu}, {"FPU", m.fpu}, {"INSTR", m.instr}, {"CPU", m.cpuScore}};
    for (const auto& [group, score] : scores)
        e.add("corvane_bench_multi_core_score",
              "Group score of all copies' work together, or the multi-core score for group CPU.",
              {{"group", group}}, static_cast<double>(score));
    for (const auto& row : b.rows)
        if (row.scaling)
            e.add("corvane_bench_row_scaling_ratio",
                  "A row's multi-core result over its single-copy result.",
                  {{"row", std::to_string(row.row)},
                   {"group", std::string(bench::groupName(row.group))}},
                  *row.scaling);
}

void addBench(Exposition& e, const BenchFigures& b) {
    e.add("corvane_bench_repetitions", "Completed repetitions of the CPU benchmark.", {},
          b.repetitions);
    for (const auto& row : b.rows) addBenchRow(e, row);
    addBenchScores(e, b);
    addMultiCore(e, b);
}

void addRamBench(Exposition& e, const RamBenchFigures& r) {
    for (const RamSpeed& speed : kRamSpeeds) {
        const auto& measured = r.*speed.speed;
        if (!measured || !*measured) continue;
        if (const auto rate = bytesPerSecond((*measured)->timed))
            e.add(speed.metric, speed.help, {}, *rate);
    }
}

void addStability(Exposition& e, const StabilityFigures& s) {
    e.add("corvane_stability_duration_seconds", "Length of the CPU stability test.", {}, s.seconds);
    e.add("corvane_stability_passes", "Passes of the CPU stability test, all threads.", {},
          static_cast<double>(s.passes));
    e.add("corvane_stability_errors", "Wrong passes of the CPU stability test.", {},
          static_cast<double>(s.errors));
    for (const StabilityCpu& cpu : s.cpus)
        e.add("corvane_stability_cpu_errors",
              "Wrong passes of the CPU stability test on one CPU, its worker pinned to it.",
              {{"cpu", std::to_string(cpu.cpu)},
               {"core", std::to_string(cpu.core)},
               {"package", std::to_string(cpu.package)}},
              static_cast<double>(cpu.errors));
}

// A pattern run's own figures: each pattern's errors and speed, how often each bit failed,
// and what the memory controllers counted.
void addMemtestPatterns(Exposition& e, const MemtestFigures& m) {
    if (m.cycles)
        e.add("corvane_memtest_cycles", "Complete cycles of the memory test's patterns.", {},
              static_cast<double>(*m.cycles));
    for (const MemtestPattern& p : m.patterns) {
        const Labels labels{{"pattern", p.name}};
        e.add("corvane_memtest_pattern_errors", "Mismatches a memory test pattern found.", labels,
              static_cast<double>(p.errors));
        if (p.bytesPerSecond)
            e.add("corvane_memtest_pattern_checked_bytes_per_second",
                  "Bytes a memory test pattern checked per second.", labels, *p.bytesPerSecond);
        if (p.shareOfCeiling)
            e.add("corvane_memtest_pattern_ceiling_ratio",
                  "A pattern's speed over the plain write and read of the same block (1: as "
                  "fast as the memory allows).",
                  labels, *p.shareOfCeiling);
    }
    for (std::size_t bit = 0; bit < m.bitCounts.size(); ++bit)
        e.add("corvane_memtest_bit_errors",
              "Mismatches in which this bit position of the 64-bit element was wrong.",
              {{"bit", std::to_string(bit)}}, static_cast<double>(m.bitCounts[bit]));
    if (!m.edac) return;
    for (const MemtestEdac& d : *m.edac) {
        const Labels labels{{"controller", std::to_string(d.controller)},
                            {"dimm", d.dimm},
                            {"label", d.label.value_or("")}};
        const auto rise = [](const auto& before, const auto& after) {
            return before && after ? static_cast<double>(*after - *before) : 0.0;
        };
        e.add("corvane_memtest_edac_corrected_rise",
              "Corrected errors a memory controller counted during the memory test.", labels,
              rise(d.ceBefore, d.ceAfter));
        e.add("corvane_memtest_edac_uncorrected_rise",
              "Uncorrected errors a memory controller counted during the memory test.", labels,
              rise(d.ueBefore, d.ueAfter));
    }
}

void addMemtest(Exposition& e, const MemtestFigures& m) {
    e.add("corvane_memtest_size_bytes", "Block the memory test ran on.", {},
          static_cast<double>(m.bytes));
    for (const MemtestCount& count : kMemtestCounts)
        e.add(count.metric, count.help, {}, static_cast<double>(m.*count.count));
    for (const MemtestPhase& phase : kMemtestPhases) {
        const auto& measured = m.*phase.phase;
        if (!measured) continue;
        if (const auto rate = bytesPerSecond(measured->timed))
            e.add(phase.metric, phase.help, {}, *rate);
    }
    addMemtestPatterns(e, m);
}

}  // namespace

std::string renderOpenMetrics(const Report& r) {
    Exposition e;
    addInfo(e, r);
    addCpu(e, r);
    addMemory(e, r.memory);
    if (r.bench) addBench(e, *r.bench);
    if (r.ramBench) addRamBench(e, *r.ramBench);
    if (r.stability) addStability(e, *r.stability);
    if (r.memtest) addMemtest(e, *r.memtest);
    return e.text();
}

}  // namespace report
