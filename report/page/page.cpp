// SPDX-License-Identifier: GPL-3.0-or-later
// The page as a whole, and its sections of the machine and of the cache and memory.
#include "report/page/page.h"

#include <algorithm>

#include "bench/scoring.h"
#include "membench/memory_speed.h"
#include "present/captions.h"
#include "present/format.h"
#include "present/page_words.h"
#include "present/words.h"
#include "report/page/page_css.h"
#include "report/page/sections.h"
#include "report/page/svg.h"
#include "report/repeat.h"
#include "sysinfo/memory_monitor.h"
#include "version.h"

namespace report {
namespace page {

namespace words = present::page;

std::string bare(std::string_view caption) {
    while (!caption.empty() && (caption.front() == ' ')) caption.remove_prefix(1);
    while (!caption.empty() &&
           (caption.back() == '.' || caption.back() == ' ' || caption.back() == ':'))
        caption.remove_suffix(1);
    return std::string(caption);
}

std::optional<bench::Group> groupOf(const json& row) {
    if (const auto group = textAt(row, "group")) {
        for (const auto known : {bench::Group::Alu, bench::Group::Fpu, bench::Group::Instr})
            if (*group == bench::groupName(known)) return known;
    }
    const auto number = integerAt(row, "row");
    if (number && *number >= 1 && *number <= bench::kRowCount)
        return bench::kKernelTable[static_cast<std::size_t>(*number - 1)].group;
    return std::nullopt;
}

std::string rowName(const json& row) {
    const auto number = integerAt(row, "row");
    if (number && *number >= 1 && *number <= bench::kRowCount)
        return bare(present::rowCaption(static_cast<int>(*number)));
    if (const auto caption = textAt(row, "caption")) return bare(*caption);
    return std::string(words::kRow) + " " + figureText(number);
}

std::vector<std::int64_t> integers(const json* values) {
    std::vector<std::int64_t> out;
    if (!values || !values->is_array()) return out;
    for (const json& value : *values)
        if (const auto number = asInteger(value)) out.push_back(*number);
    return out;
}

std::optional<SpreadTexts> spreadTexts(const std::vector<std::int64_t>& values,
                                       std::string (*word)(std::int64_t)) {
    if (values.size() < 2) return std::nullopt;
    const Spread spread = spreadOf(values);
    return SpreadTexts{
        word(spread.min), word(spread.max),
        spread.percent ? words::percentText(*spread.percent) : std::string(present::kNoFigure),
        spread.min, spread.max};
}

std::string figureText(const std::optional<std::int64_t>& value) {
    return value ? present::intToText(*value) : std::string(present::kNoFigure);
}

std::string figureText(const std::optional<std::string>& value) {
    return value.value_or(std::string(present::kNoFigure));
}

Part part(std::string_view id, std::string heading, const std::string& body) {
    if (body.empty()) return {id, std::move(heading), ""};
    return {id, heading, section(id, heading, body)};
}

std::string subheading(std::string_view text) {
    return "<h3>" + escape(text) + "</h3>\n";
}

namespace {

std::optional<std::string> yesNo(const std::optional<bool>& value) {
    if (!value) return std::nullopt;
    return std::string(*value ? words::kYes : words::kNo);
}

// A saved result writes "-" where the system did not say.
std::optional<std::string> identity(const json* a, const json* b, std::string_view key) {
    for (const json* source : {a, b}) {
        if (!source) continue;
        const auto text = textAt(*source, key);
        if (text && *text != present::kNoFigure && !text->empty()) return text;
    }
    return std::nullopt;
}

// "x86, MMX, SSE" from the extensions' names, as the window words them.
std::optional<std::string> instructions(const json& cpu) {
    if (const json* names = array(cpu, "extensions")) {
        std::vector<sysinfo::Extension> found;
        for (const json& name : *names)
            for (const auto known :
                 {sysinfo::Extension::Mmx, sysinfo::Extension::ThreeDNow, sysinfo::Extension::Sse,
                  sysinfo::Extension::Sse2, sysinfo::Extension::Sse3})
                if (name.is_string() && name.get<std::string>() == present::extensionName(known))
                    found.push_back(known);
        return present::instructionsText(found);
    }
    return textAt(cpu, "instructions");
}

std::optional<std::string> cpuName(const json* cpu, const json* machine) {
    if (cpu) {
        const auto rated = numberAt(*cpu, "rated_mhz");
        const auto name = textAt(*cpu, "name");
        if (rated && name) return present::cpuNameText(*rated, *name);
    }
    return identity(machine, cpu, machine ? "cpu_name" : "name");
}

std::string identityTable(const json* cpu, const json* machine) {
    const json none = json::object();
    const json& c = cpu ? *cpu : none;
    const json& m = machine ? *machine : none;
    const auto& captions = present::kCpuCaptions;
    FactTable table(words::kIdentityTable);
    table.add(captions[0], cpuName(cpu, machine));
    table.add(captions[1], identity(cpu, machine, "identifier"));
    table.add(captions[2], identity(cpu, machine, "vendor"));
    table.add(captions[3], instructions(c));
    if (const auto kib = integerAt(c, "l2_cache_kib")) {
        std::string figure = present::cacheSizeText(static_cast<std::int32_t>(*kib));
        if (const auto os = integerAt(c, "l2_cache_os"))
            figure += " (" + std::string(words::kSystemSays) + present::kbyteText(*os) + ")";
        table.add(captions[4], figure);
    }
    if (const auto cycles = integerAt(c, "clock_cycles"); cycles && *cycles >= 0) {
        std::string figure = present::clockText(static_cast<std::uint32_t>(*cycles));
        const auto tsc = numberAt(c, "tsc_mhz_os");
        if (tsc) figure += " (" + std::string(words::kSystemTsc) + words::mhzText(*tsc) + ")";
        table.add(captions[5], figure);
    } else if (const auto tsc = numberAt(m, "tsc_mhz")) {
        table.add(captions[5], words::mhzText(*tsc));
    }
    auto effective = numberAt(c, "effective_mhz");
    if (!effective) effective = numberAt(m, "effective_mhz");
    if (effective) table.add(words::kEffectiveCore, words::mhzText(*effective));
    table.add(words::kKernel, textAt(m, "kernel_release"));
    table.add(words::kHostname, textAt(m, "hostname"));
    return table.empty() ? "" : table.html();
}

std::string processorsTable(const json& m) {
    FactTable table(words::kProcessorsTable);
    const auto count = [&](std::string_view key) {
        const auto value = integerAt(m, key);
        return value ? std::optional(present::intToText(*value)) : std::nullopt;
    };
    table.add(words::kLogicalCpus, count("logical_cpus"));
    table.add(words::kPhysicalCores, count("physical_cores"));
    table.add(words::kPackages, count("packages"));
    table.add(words::kSmt, yesNo(flagAt(m, "smt")));
    table.add(words::kAllowedCpus, textAt(m, "allowed_cpus"));
    if (const auto quota = numberAt(m, "cpu_quota")) {
        std::string figure = words::decimalText(*quota, 2) + std::string(words::kCpusUnit);
        if (const auto source = textAt(m, "cpu_quota_source")) figure += " (" + *source + ")";
        table.add(words::kCpuQuota, figure);
    }
    table.add(words::kHypervisor, yesNo(flagAt(m, "hypervisor")));
    return table.empty() ? "" : table.html();
}

// The topology, one row a core: a list of every CPU would run to hundreds of rows.
std::string topologyTable(const json& m) {
    const json* topology = array(m, "topology");
    if (!topology || topology->empty()) return "";
    struct CoreRow {
        std::int64_t package, die, core;
        std::vector<std::int64_t> cpus;
        std::string kind;
    };
    std::vector<CoreRow> cores;
    for (const json& entry : *topology) {
        const auto cpu = integerAt(entry, "cpu");
        if (!cpu) continue;
        const std::int64_t package = integerAt(entry, "package").value_or(0);
        const std::int64_t die = integerAt(entry, "die").value_or(0);
        const std::int64_t core = integerAt(entry, "core").value_or(*cpu);
        auto found = std::find_if(cores.begin(), cores.end(), [&](const CoreRow& row) {
            return row.package == package && row.die == die && row.core == core;
        });
        if (found == cores.end())
            found = cores.insert(cores.end(),
                                 {package, die, core, {}, textAt(entry, "kind").value_or("")});
        found->cpus.push_back(*cpu);
    }
    std::sort(cores.begin(), cores.end(), [](const CoreRow& a, const CoreRow& b) {
        return std::tie(a.package, a.die, a.core) < std::tie(b.package, b.die, b.core);
    });
    const bool kinds = std::any_of(cores.begin(), cores.end(),
                                   [](const CoreRow& row) { return !row.kind.empty(); });
    std::vector<std::string> heads = {std::string(words::kPackage), std::string(words::kDie),
                                      std::string(words::kCore), std::string(words::kCpus)};
    if (kinds) heads.emplace_back(words::kKind);
    Table table(words::kTopologyTable, heads);
    for (const CoreRow& row : cores) {
        std::string cpus;
        for (const std::int64_t cpu : row.cpus)
            cpus += (cpus.empty() ? "" : ", ") + present::intToText(cpu);
        std::vector<Cell> cells = {numericCell(present::intToText(row.package)),
                                   numericCell(present::intToText(row.die)),
                                   numericCell(present::intToText(row.core)), Cell{cpus}};
        if (kinds) cells.push_back(Cell{row.kind});
        table.add(std::move(cells));
    }
    return table.html();
}

// The figures of "RAM Info", worked out by the window's own code.
std::optional<platform::MemoryStatus> memoryStatus(const json& memory) {
    const auto totalPhys = integerAt(memory, "total_phys");
    const auto availPhys = integerAt(memory, "avail_phys");
    const auto totalPageFile = integerAt(memory, "total_pagefile");
    const auto pageFileInUse = integerAt(memory, "pagefile_in_use");
    const auto totalVirtual = integerAt(memory, "total_virtual");
    const auto availVirtual = integerAt(memory, "avail_virtual");
    if (!totalPhys || !availPhys || !totalPageFile || !pageFileInUse || !totalVirtual ||
        !availVirtual)
        return std::nullopt;
    return platform::MemoryStatus{*totalPhys,     *availPhys,
                                  *totalPageFile, *totalPageFile - *pageFileInUse,
                                  *totalVirtual,  *availVirtual};
}

std::string memoryTable(const json& memory, const std::optional<sysinfo::MemoryFigures>& f) {
    FactTable table(words::kMemoryTable);
    if (f) {
        for (std::size_t i = 0; i + 1 < present::kMemoryCaptions.size(); ++i)
            table.add(present::kMemoryCaptions[i], present::kbyteText(f->panels[i]));
        table.add(present::kMemoryCaptions[5], present::loadText(f->loadPercent));
    }
    if (const auto limit = integerAt(memory, "limit")) {
        std::string figure = words::bytesText(*limit);
        if (const auto available = integerAt(memory, "limit_available"))
            figure += ", " + words::bytesText(*available) + std::string(words::kMemoryLimitFree);
        if (const auto source = textAt(memory, "limit_source")) figure += " (" + *source + ")";
        table.add(words::kMemoryLimit, figure);
    } else if (member(memory, "memtest_allowance")) {
        table.add(words::kMemoryLimit, std::string(words::kNone));
    }
    return table.empty() ? "" : table.html();
}

std::string memoryChart(const std::optional<sysinfo::MemoryFigures>& f) {
    if (!f) return "";
    BarChart chart{std::string(words::kMemoryInUseChart), "%", {}, std::nullopt, "", 100};
    const auto share = [&](std::size_t inUse, std::size_t whole) {
        const double total = static_cast<double>(f->panels[whole]);
        const double part = total > 0 ? static_cast<double>(f->panels[inUse]) / total * 100 : 0;
        chart.bars.push_back({bare(present::kMemoryCaptions[inUse]), part,
                              words::percentText(part, 0) + std::string(words::kOfWhole) +
                                  words::bytesText(f->panels[whole]),
                              std::nullopt, std::nullopt, false, ""});
    };
    share(1, 0);
    share(3, 2);
    share(5, 4);
    return barChart(chart);
}

std::string buildTable(const json& result) {
    FactTable table(words::kBuildTable);
    if (const json* corvane = object(result, "corvane")) {
        table.add(words::kVersion, textAt(*corvane, "version"));
        table.add(words::kBuildType, textAt(*corvane, "build_type"));
    }
    if (const auto revision = integerAt(result, "bench_revision"))
        table.add(words::kBenchRevision, present::intToText(*revision));
    if (const auto schema = integerAt(result, "schema"))
        table.add(words::kSchema, present::intToText(*schema));
    table.add(words::kMeasured, textAt(result, "when"));
    if (const json* from = object(result, "from"))
        table.add(words::kRenderedFrom, textAt(*from, "file"));
    return table.empty() ? "" : table.html();
}

// A speed of the memory benchmark as the window words it, failures included.
std::optional<std::string> ramSpeedText(const json& ram, const std::string& key) {
    if (const auto figure = integerAt(ram, key))
        return present::speedText(
            membench::Measured(membench::Speed{static_cast<std::int32_t>(*figure), {}}));
    const auto failure = textAt(ram, key + "_failure");
    if (failure == "too_fast_to_time")
        return present::speedText(
            membench::Measured(platform::Unexpected{membench::NoSpeed::tooFastToTime}));
    if (failure == "block_refused")
        return present::speedText(
            membench::Measured(platform::Unexpected{membench::NoSpeed::blockRefused}));
    return std::nullopt;
}

std::string ramBenchPart(const json& ram) {
    const std::pair<std::string, std::string_view> speeds[] = {
        {"write", present::kWriteMemorySpeed}, {"read", present::kReadMemorySpeed}};
    BarChart chart{std::string(words::kRamChart), words::speedUnit(), {}, std::nullopt, "", 0};
    std::vector<std::string> heads = {"", std::string(words::kMedian), std::string(words::kMin),
                                      std::string(words::kMax), std::string(words::kSpread)};
    Table table(bare(present::kWorkTabs[1]), heads);
    std::int64_t runs = 0;
    const json* allRuns = object(ram, "runs");
    for (const auto& [key, caption] : speeds) {
        const auto text = ramSpeedText(ram, key);
        if (!text) continue;
        const auto values = integers(allRuns ? member(*allRuns, key) : nullptr);
        runs = std::max(runs, static_cast<std::int64_t>(values.size()));
        // The unit stands once, beside the median.
        const auto spread = spreadTexts(values, present::intToText);
        const auto figure = integerAt(ram, key);
        Bar bar{bare(caption),
                figure ? std::optional<double>(static_cast<double>(*figure)) : std::nullopt,
                *text,
                std::nullopt,
                std::nullopt,
                false,
                ""};
        if (spread) {
            bar.low = static_cast<double>(spread->low);
            bar.high = static_cast<double>(spread->high);
        }
        chart.bars.push_back(bar);
        table.add({Cell{bare(caption)}, numericCell(*text),
                   numericCell(spread ? spread->min : std::string(present::kNoFigure)),
                   numericCell(spread ? spread->max : std::string(present::kNoFigure)),
                   numericCell(spread ? spread->spread : std::string(present::kNoFigure))});
    }
    if (chart.bars.empty()) return "";
    return subheading(bare(present::kWorkTabs[1])) +
           (runs > 1 ? paragraph(words::medianOfText(runs)) : "") +
           chartWithTables(words::kRamChart, barChart(chart),
                           runs > 1 ? words::whiskerLegend(runs) : "", {table.html()});
}

std::string sweepPart(const json& cpu) {
    const json* sweeps = array(cpu, "cache_sweeps");
    SweepChart chart{std::string(words::kSweepChart),
                     std::string(words::kSweepRate),
                     std::string(words::kBlockSize),
                     {},
                     {}};
    Table sweepTable(words::kSweepTable,
                     {std::string(words::kBlockSize), std::string(words::kFirstRound),
                      std::string(words::kConfirmedRound)});
    if (sweeps) {
        for (const json& sweep : *sweeps) {
            const auto kib = integerAt(sweep, "kib");
            if (!kib || *kib <= 0) continue;
            const auto rate = integerAt(sweep, "rate");
            const auto confirmed = integerAt(sweep, "confirmed");
            chart.points.push_back(
                {static_cast<double>(*kib),
                 rate ? std::optional(static_cast<double>(*rate)) : std::nullopt,
                 confirmed ? std::optional(static_cast<double>(*confirmed)) : std::nullopt});
            sweepTable.add({Cell{words::bytesText(*kib * 1024)}, numericCell(figureText(rate)),
                            numericCell(figureText(confirmed))});
        }
    }

    Table systemTable(
        words::kSystemCachesTable,
        {std::string(words::kLevel), std::string(words::kType), std::string(words::kSize)});
    std::string beyond;
    const auto mark = [&](double kib, std::string text, bool timed) {
        if (kib < kSweepSmallestKiB || kib > kSweepLargestKiB)
            beyond += " " + text + ": " + std::string(words::kBeyondChart) + ".";
        chart.marks.push_back({kib, std::move(text), timed});
    };
    if (const auto kib = integerAt(cpu, "l2_cache_kib"))
        mark(static_cast<double>(*kib),
             bare(present::kCpuCaptions[4]) + ": " +
                 present::cacheSizeText(static_cast<std::int32_t>(*kib)) + " (" +
                 std::string(words::kTimed) + ")",
             true);
    if (const json* caches = array(cpu, "caches_os")) {
        for (const json& cache : *caches) {
            const auto level = integerAt(cache, "level");
            const auto bytes = integerAt(cache, "bytes");
            const std::string type = textAt(cache, "type").value_or("");
            if (!level || !bytes) continue;
            systemTable.add({Cell{present::intToText(*level)}, Cell{type},
                             numericCell(words::bytesText(*bytes))});
            // The sweep reads data: an instruction cache has no place on its curve.
            if (type != "Instruction")
                mark(static_cast<double>(*bytes) / 1024,
                     words::cacheLevelText(*level, type) + ": " + words::bytesText(*bytes) + " (" +
                         std::string(words::kSystem) + ")",
                     false);
        }
    } else if (const auto bytes = integerAt(cpu, "l2_cache_os")) {
        systemTable.add({Cell{"2"}, Cell{}, numericCell(words::bytesText(*bytes))});
        mark(static_cast<double>(*bytes) / 1024,
             words::cacheLevelText(2, "") + ": " + words::bytesText(*bytes) + " (" +
                 std::string(words::kSystem) + ")",
             false);
    }
    if (chart.points.empty() && systemTable.empty()) return "";
    std::vector<std::string> tables;
    if (!sweepTable.empty()) tables.push_back(sweepTable.html());
    if (!systemTable.empty()) tables.push_back(systemTable.html());
    return chartWithTables(words::kSweepChart, chart.points.empty() ? "" : sweepChart(chart),
                           std::string(words::kSweepLegend) + beyond, tables);
}

std::string header(const json& result) {
    const json* cpu = object(result, "cpu");
    const json* machine = object(result, "machine");
    std::string out = "<header>\n<h1>" + escape(words::kHeading) + "</h1>\n";
    std::string subject = figureText(cpuName(cpu, machine));
    if (machine)
        if (const auto host = textAt(*machine, "hostname"); host && !host->empty())
            subject += std::string(words::kTitleSeparator) + *host;
    out += "<p class=\"subject\">" + escape(subject) + "</p>\n<dl>\n";
    if (const auto when = textAt(result, "when"))
        out += "<dt>" + escape(words::kMeasured) + "</dt><dd>" + escape(*when) + "</dd>\n";
    if (const json* from = object(result, "from"))
        if (const auto file = textAt(*from, "file"))
            out += "<dt>" + escape(words::kRenderedFrom) + "</dt><dd>" + escape(*file) + "</dd>\n";
    out += "</dl>\n";
    if (flagAt(result, "incomplete").value_or(false))
        out += "<p class=\"faulty banner\">" + escape(words::kIncomplete) + "</p>\n";
    return out + "</header>\n";
}

std::string title(const json& result) {
    std::string text(words::kHeading);
    const json* machine = object(result, "machine");
    if (const auto name = cpuName(object(result, "cpu"), machine))
        text += std::string(words::kTitleSeparator) + *name;
    if (machine)
        if (const auto host = textAt(*machine, "hostname"); host && !host->empty())
            text += std::string(words::kTitleSeparator) + *host;
    if (const auto when = textAt(result, "when"))
        text += std::string(words::kTitleSeparator) + *when;
    return text;
}

std::string contents(const std::vector<Part>& parts) {
    std::string out = "<nav aria-label=\"" + escape(words::kContents) + "\"><ul>\n";
    for (const Part& shown : parts)
        out += "<li><a href=\"#" + escape(shown.id) + "\">" + escape(shown.heading) + "</a></li>\n";
    return out + "</ul></nav>\n";
}

}  // namespace

Part machineSection(const json& result) {
    const json none = json::object();
    const json* cpu = object(result, "cpu");
    const json* machine = object(result, "machine");
    const json* memory = object(result, "memory");
    const auto status = memoryStatus(memory ? *memory : none);
    const auto figures = status ? std::optional(sysinfo::memoryFigures(*status)) : std::nullopt;
    std::vector<std::string> tables;
    for (std::string table :
         {identityTable(cpu, machine), processorsTable(machine ? *machine : none),
          buildTable(result), topologyTable(machine ? *machine : none)})
        if (!table.empty()) tables.push_back(std::move(table));
    const std::string memoryFacts = memoryTable(memory ? *memory : none, figures);
    std::string body = tableGrid(tables);
    if (!memoryFacts.empty() || figures)
        body += chartWithTables(words::kMemoryInUseChart, memoryChart(figures), "", {memoryFacts});
    return part(kMachineId, std::string(words::kMachineSection), body);
}

Part cacheSection(const json& result) {
    const json* cpu = object(result, "cpu");
    const json* ram = object(result, "ram_bench");
    std::string body = cpu ? sweepPart(*cpu) : "";
    if (ram) body += ramBenchPart(*ram);
    return part(kCacheId, std::string(words::kCacheSection), body);
}

}  // namespace page

std::string renderPage(const nlohmann::json& result) {
    std::string body;
    std::vector<page::Part> shown;
    for (const auto section : {page::machineSection, page::cacheSection, page::benchSection,
                               page::coresSection, page::memtestSection}) {
        page::Part made = section(result);
        if (made.html.empty()) continue;
        body += made.html;
        shown.push_back(std::move(made));
    }
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           // Nothing may load from outside the file, whatever a string of the result holds.
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"color-scheme\" content=\"light dark\">\n"
           "<meta name=\"generator\" content=\"" +
           page::escape(present::versionCaption()) + "\">\n<title>" +
           page::escape(page::title(result)) + "</title>\n<style>\n" + std::string(page::kPageCss) +
           "</style>\n</head>\n<body>\n" + page::sharedDefinitions() + page::header(result) +
           page::contents(shown) + "<main>\n" + body + "</main>\n</body>\n</html>\n";
}

}  // namespace report
