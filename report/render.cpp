// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <sstream>

#include "bench/benchmark_run.h"
#include "bench/kernel_table.h"
#include "diag/memtest.h"
#include "report/repeat.h"
#include "report/report.h"
#include "version.h"

namespace report {
namespace {

template <class T>
nlohmann::json orNull(const std::optional<T>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json orNulls(const std::vector<std::optional<std::int32_t>>& values) {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& value : values) out.push_back(orNull(value));
    return out;
}

std::string mhz(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MHz", value);
    return text;
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
    std::string limit = "-";
    std::string block = "-";
    if (a) {
        limit = a->limit ? mib(a->limit->limit) + ", " + mib(a->limit->available) +
                               " of it free (" + a->limit->source + ")"
                         : "none";
        block = diag::sizeCaption(diag::memTestSizeMiB(diag::memTestBlockBytes(a->bytes))) + " (" +
                std::to_string(diag::kWindowBlockPercent) + " % of " + mib(a->bytes) +
                " this process may use)";
    }
    return "Memory limit       " + limit + "\n" + "Memory test block  " + block + "\n";
}

constexpr const char* kIncompleteLine =
    "INCOMPLETE: interrupted; only what was measured before is shown.\n";

}  // namespace

bool Report::foundErrors() const {
    if (bench) {
        for (const BenchRow& row : bench->rows)
            if (!row.valid) return true;
    }
    return (stability && stability->errors > 0) || (memtest && memtest->errors > 0);
}

std::string renderText(const Report& r) {
    std::ostringstream out;
    if (r.incomplete) out << kIncompleteLine << "\n";
    const auto& c = r.cpu;
    out << "CPU Name       " << c.panel1 << "\n"
        << "Family Id      " << c.identifier << "\n"
        << "Vendor         " << c.vendor << "\n"
        << "Instructions   " << c.instructions << "\n"
        << "Cache level 2  " << c.l2Cache
        << besides(c.l2CacheOs ? std::optional<std::string>(
                                     "system: " + std::to_string(*c.l2CacheOs / 1024) + " Kbyte")
                               : std::nullopt)
        << "\n"
        << "Core speed     " << c.clockText
        << besides(c.tscMhzOs ? std::optional<std::string>("system TSC: " + mhz(*c.tscMhzOs))
                              : std::nullopt)
        << "\n"
        << "Effective core " << (c.effectiveMhz ? mhz(*c.effectiveMhz) : "-") << "\n\n";

    static const char* memoryCaptions[] = {"Virtual memory",   "Virtual m. in use",
                                           "Size of pagefile", "Pagefile in use",
                                           "Phisical memory",  "Load ph. memory"};
    for (std::size_t i = 0; i < r.memory.panelTexts.size() && i < 6; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "%-18s %s\n", memoryCaptions[i],
                      r.memory.panelTexts[i].c_str());
        out << line;
    }
    out << "Free physical      " << r.memory.freeText << "\n"
        << "Load               " << r.memory.loadText << "\n"
        << memoryLimitLines(r.memory.allowance);

    if (r.bench) {
        const BenchFigures& b = *r.bench;
        out << "\n";
        if (b.repetitions > 1) out << "Median of " << b.repetitions << " runs\n";
        for (const auto& row : b.rows)
            out << row.caption << " " << row.text << spreadText(wide(row.results)) << "\n";
        // An interrupted first repetition has rows but no scores yet.
        for (const auto* score : {&b.alu, &b.fpu, &b.instr})
            if (!score->text.empty()) out << score->text << spreadText(wide(score->runs)) << "\n";
        if (!b.cpuScore.text.empty()) out << b.cpuScore.text << spreadText(b.cpuScore.runs) << "\n";
        for (const auto& row : b.rows)
            if (!row.valid) out << bench::wrongResultLine(row.caption) << "\n";
    }
    if (r.ramBench) {
        const RamBenchFigures& m = *r.ramBench;
        out << "\n";
        if (m.writeRuns.size() > 1) out << "Median of " << m.writeRuns.size() << " runs\n";
        out << "Write memory speed: " << m.writeText << spreadText(measured(m.writeRuns)) << "\n"
            << "Read memory speed: " << m.readText << spreadText(measured(m.readRuns)) << "\n";
    }
    if (r.stability) {
        out << "\nCPU TEST (" << r.stability->seconds << " s)  Pass: " << passesText(*r.stability)
            << "  Errors: " << r.stability->errors << "\n";
    }
    if (r.memtest) {
        out << "\nRAM TEST (" << r.memtest->bytes / (1024 * 1024)
            << " Mb.)  Pass: " << r.memtest->passes << "  Errors found: " << r.memtest->errors
            << "  Write speed: " << r.memtest->writeText
            << "  Read and Test: " << r.memtest->readText << "\n";
    }
    if (r.incomplete) out << "\n" << kIncompleteLine;
    return out.str();
}

nlohmann::json renderJson(const Report& r) {
    using nlohmann::json;
    const auto& c = r.cpu;
    const auto& m = r.machine;
    json out;
    json cacheSweeps = json::array();
    for (const CacheSweep& sweep : c.cacheSweeps)
        cacheSweeps.push_back(
            {{"kib", sweep.kib}, {"rate", sweep.rate}, {"confirmed", sweep.confirmed}});
    out["schema"] = kSchema;
    out["corvane"] = {{"version", CORVANE_VERSION}, {"build_type", CORVANE_BUILD_TYPE}};
    out["when"] = m.when;
    out["bench_revision"] = bench::kBenchRevision;
    out["incomplete"] = r.incomplete;
    out["machine"] = {
        {"cpu_name", orNull(m.cpuName)},
        {"identifier", m.identifier},
        {"vendor", m.vendor},
        {"logical_cpus", m.logicalCpus},
        {"tsc_mhz", orNull(m.tscMhz)},
        {"effective_mhz", orNull(m.effectiveMhz)},
        {"memory_total", orNull(m.memoryTotal)},
        {"kernel_release", m.kernelRelease},
        {"hostname", m.hostname},
    };
    out["cpu"] = {
        {"panel1", c.panel1},
        {"name", orNull(c.name)},
        {"rated_mhz", orNull(c.ratedMhz)},
        {"identifier", c.identifier},
        {"vendor", c.vendor},
        {"instructions", c.instructions},
        {"l2_cache", c.l2Cache},
        {"l2_cache_os", orNull(c.l2CacheOs)},
        {"cache_sweeps", cacheSweeps},
        {"clock_text", c.clockText},
        {"clock_mhz", orNull(c.clockMhz)},
        {"tsc_mhz_os", orNull(c.tscMhzOs)},
        {"effective_mhz", orNull(c.effectiveMhz)},
    };
    const auto& s = r.memory.status;
    const auto field = [&](std::int64_t platform::MemoryStatus::*member) {
        return s ? json((*s).*member) : json(nullptr);
    };
    out["memory"] = {
        {"total_virtual", field(&platform::MemoryStatus::totalVirtual)},
        {"avail_virtual", field(&platform::MemoryStatus::availVirtual)},
        {"total_pagefile", field(&platform::MemoryStatus::totalPageFile)},
        {"pagefile_in_use", s ? json(s->totalPageFile - s->availPageFile) : json(nullptr)},
        {"total_phys", field(&platform::MemoryStatus::totalPhys)},
        {"phys_in_use", s ? json(s->totalPhys - s->availPhys) : json(nullptr)},
        {"avail_phys", field(&platform::MemoryStatus::availPhys)},
        {"load_percent", orNull(r.memory.loadPercent)},
    };
    const auto& a = r.memory.allowance;
    const auto& limit = a ? a->limit : std::nullopt;
    out["memory"]["unused"] = a ? json(a->unused) : json(nullptr);
    out["memory"]["memtest_allowance"] = a ? json(a->bytes) : json(nullptr);
    out["memory"]["limit"] = limit ? json(limit->limit) : json(nullptr);
    out["memory"]["limit_available"] = limit ? json(limit->available) : json(nullptr);
    out["memory"]["limit_source"] = limit ? json(limit->source) : json(nullptr);
    if (r.bench) {
        json rows = json::array();
        for (const auto& row : r.bench->rows) {
            rows.push_back({{"row", row.row},
                            {"group", row.group},
                            {"caption", row.caption},
                            {"raw", orNull(row.raw)},
                            {"result", row.result},
                            {"text", row.text},
                            {"runs", orNulls(row.runs)},
                            {"valid", row.valid}});
        }
        const BenchFigures& b = *r.bench;
        out["bench"] = {{"rows", rows},
                        {"repetitions", b.repetitions},
                        {"alu", b.alu.value},
                        {"fpu", b.fpu.value},
                        {"instr", b.instr.value},
                        {"cpu_score", b.cpuScore.value},
                        {"cpu_text", b.cpuScore.text},
                        {"runs",
                         {{"alu", b.alu.runs},
                          {"fpu", b.fpu.runs},
                          {"instr", b.instr.runs},
                          {"cpu_score", b.cpuScore.runs}}}};
    }
    if (r.ramBench) {
        out["ram_bench"] = {
            {"write", orNull(r.ramBench->write)},
            {"read", orNull(r.ramBench->read)},
            {"write_text", r.ramBench->writeText},
            {"read_text", r.ramBench->readText},
            {"runs",
             {{"write", orNulls(r.ramBench->writeRuns)}, {"read", orNulls(r.ramBench->readRuns)}}}};
    }
    if (r.stability) {
        out["stability"] = {{"seconds", r.stability->seconds},
                            {"passes", r.stability->passes},
                            {"passes_per_thread", r.stability->threadPasses},
                            {"errors", r.stability->errors}};
    }
    if (r.memtest) {
        out["memtest"] = {{"bytes", r.memtest->bytes},
                          {"passes", r.memtest->passes},
                          {"errors", r.memtest->errors},
                          {"write", orNull(r.memtest->writeSpeed)},
                          {"read", orNull(r.memtest->readSpeed)},
                          {"write_text", r.memtest->writeText},
                          {"read_text", r.memtest->readText}};
    }
    return out;
}

}  // namespace report
