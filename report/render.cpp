#include <cstdio>
#include <sstream>

#include "report/report.h"

namespace report {
namespace {

template <class T>
nlohmann::json orNull(const std::optional<T>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
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

}  // namespace

bool Report::foundErrors() const {
    return (stability && stability->errors > 0) || (memtest && memtest->errors > 0);
}

std::string renderText(const Report& r) {
    std::ostringstream out;
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
        << "Load               " << r.memory.loadText << "\n";

    if (r.bench) {
        out << "\n";
        for (const auto& row : r.bench->rows) out << row.caption << " " << row.text << "\n";
        out << r.bench->aluText << "\n"
            << r.bench->fpuText << "\n"
            << r.bench->instrText << "\n"
            << r.bench->cpuText << "\n";
    }
    if (r.ramBench) {
        out << "\nWrite memory speed: " << r.ramBench->writeText << "\n"
            << "Read memory speed: " << r.ramBench->readText << "\n";
    }
    if (r.stability) {
        out << "\nCPU TEST (" << r.stability->seconds << " s)  Pass: " << r.stability->passes
            << "  Errors: " << r.stability->errors << "\n";
    }
    if (r.memtest) {
        out << "\nRAM TEST (" << r.memtest->bytes / (1024 * 1024)
            << " Mb.)  Pass: " << r.memtest->passes << "  Errors found: " << r.memtest->errors
            << "  Write speed: " << r.memtest->writeText
            << "  Read and Test: " << r.memtest->readText << "\n";
    }
    return out.str();
}

nlohmann::json renderJson(const Report& r) {
    using nlohmann::json;
    const auto& c = r.cpu;
    json out;
    json cacheSweeps = json::array();
    for (const CacheSweep& sweep : c.cacheSweeps)
        cacheSweeps.push_back(
            {{"kib", sweep.kib}, {"rate", sweep.rate}, {"confirmed", sweep.confirmed}});
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
    if (r.bench) {
        json rows = json::array();
        for (const auto& row : r.bench->rows) {
            rows.push_back({{"row", row.row},
                            {"group", row.group},
                            {"caption", row.caption},
                            {"raw", orNull(row.raw)},
                            {"result", row.result},
                            {"text", row.text}});
        }
        out["bench"] = {{"rows", rows},
                        {"alu", r.bench->alu},
                        {"fpu", r.bench->fpu},
                        {"instr", r.bench->instr},
                        {"cpu_score", r.bench->cpuScore},
                        {"cpu_text", r.bench->cpuText}};
    }
    if (r.ramBench) {
        out["ram_bench"] = {{"write", orNull(r.ramBench->write)},
                            {"read", orNull(r.ramBench->read)},
                            {"write_text", r.ramBench->writeText},
                            {"read_text", r.ramBench->readText}};
    }
    if (r.stability) {
        out["stability"] = {{"seconds", r.stability->seconds},
                            {"passes", r.stability->passes},
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
