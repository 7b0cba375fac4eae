// SPDX-License-Identifier: GPL-3.0-or-later
// "Every core": how the rows scale over copies on every CPU, how far the copies spread, and a
// map of the cores with the stability test's errors, clocks and temperatures.
#include <algorithm>
#include <map>
#include <tuple>

#include "present/captions.h"
#include "present/format.h"
#include "present/page_words.h"
#include "present/words.h"
#include "report/page/sections.h"
#include "report/page/svg.h"

namespace report::page {
namespace {

namespace words = present::page;

// A core and what every test saw on its CPUs.
struct CoreFigures {
    std::vector<std::int64_t> cpus;
    std::optional<std::int64_t> passes, errors;
    std::optional<double> maxCelsius, firstErrorSeconds;
    std::vector<double> stabilityMhz, copyMhz;
    std::int64_t wrongRows = 0;
    std::string retest;

    bool faulty() const { return errors.value_or(0) > 0 || wrongRows > 0; }
};

using CoreKey = std::tuple<std::int64_t, std::int64_t, std::int64_t>;  // package, die, core

template <class T>
void addUp(std::optional<T>& sum, const std::optional<T>& value) {
    if (value) sum = sum.value_or(T{}) + *value;
}

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (const double value : values) sum += value;
    return sum / static_cast<double>(values.size());
}

std::string cpuListText(const std::vector<std::int64_t>& cpus) {
    std::string text;
    for (const std::int64_t cpu : cpus)
        text += (text.empty() ? "" : ", ") + present::intToText(cpu);
    return text;
}

class CoreMap {
  public:
    explicit CoreMap(const json& result) {
        if (const json* machine = object(result, "machine"))
            if (const json* topology = array(*machine, "topology"))
                for (const json& entry : *topology) place(entry);
        if (const json* stability = object(result, "stability"))
            if (const json* cpus = array(*stability, "cpus"))
                for (const json& cpu : *cpus) addStability(cpu);
        if (const json* bench = object(result, "bench"))
            if (const json* copies = array(*bench, "copies"))
                for (const json& copy : *copies) addCopy(copy);
    }

    const std::map<CoreKey, CoreFigures>& cores() const { return cores_; }

  private:
    // The CPU's core: the topology's where it names the CPU, else the entry's own.
    CoreFigures* coreOf(const json& entry) {
        const auto cpu = integerAt(entry, "cpu");
        if (!cpu) return nullptr;
        if (const auto known = keys_.find(*cpu); known != keys_.end())
            return &cores_[known->second];
        return place(entry);
    }

    CoreFigures* place(const json& entry) {
        const auto cpu = integerAt(entry, "cpu");
        if (!cpu) return nullptr;
        const CoreKey key{integerAt(entry, "package").value_or(0),
                          integerAt(entry, "die").value_or(0),
                          integerAt(entry, "core").value_or(*cpu)};
        keys_[*cpu] = key;
        CoreFigures& core = cores_[key];
        if (std::find(core.cpus.begin(), core.cpus.end(), *cpu) == core.cpus.end()) {
            core.cpus.push_back(*cpu);
            std::sort(core.cpus.begin(), core.cpus.end());
        }
        return &core;
    }

    void addStability(const json& cpu) {
        CoreFigures* core = coreOf(cpu);
        if (!core) return;
        addUp(core->passes, integerAt(cpu, "passes"));
        addUp(core->errors, integerAt(cpu, "errors"));
        if (const auto celsius = numberAt(cpu, "max_celsius"))
            core->maxCelsius = std::max(core->maxCelsius.value_or(*celsius), *celsius);
        if (const auto seconds = numberAt(cpu, "first_error_seconds"))
            core->firstErrorSeconds =
                std::min(core->firstErrorSeconds.value_or(*seconds), *seconds);
        if (const auto mhz = numberAt(cpu, "effective_mhz")) core->stabilityMhz.push_back(*mhz);
        if (const auto retest = textAt(cpu, "retest"))
            core->retest += (core->retest.empty() ? "" : "; ") + *retest;
    }

    void addCopy(const json& copy) {
        CoreFigures* core = coreOf(copy);
        if (!core) return;
        if (const auto mhz = numberAt(copy, "effective_mhz")) core->copyMhz.push_back(*mhz);
        if (const json* rows = array(copy, "rows"))
            for (const json& row : *rows)
                if (!flagAt(row, "valid").value_or(true)) ++core->wrongRows;
    }

    std::map<CoreKey, CoreFigures> cores_;
    std::map<std::int64_t, CoreKey> keys_;
};

// The clock a core ran at: under the stability test where it ran, else under the copies.
std::optional<double> coreMhz(const CoreFigures& core) {
    if (!core.stabilityMhz.empty()) return mean(core.stabilityMhz);
    if (!core.copyMhz.empty()) return mean(core.copyMhz);
    return std::nullopt;
}

std::string coreMapPart(const json& result) {
    const CoreMap map(result);
    if (map.cores().empty()) return "";
    std::vector<PackageTiles> packages;
    Table table(words::kCoresTable,
                {std::string(words::kPackage), std::string(words::kCore), std::string(words::kCpus),
                 std::string(words::kPasses), std::string(words::kErrorCount),
                 std::string(words::kFirstError), std::string(words::kRetest),
                 std::string(words::kMaxTemperature), std::string(words::kEffectiveClock)},
                true);
    std::optional<std::int64_t> package;
    for (const auto& [key, core] : map.cores()) {
        const auto& [packageId, die, coreId] = key;
        if (package != packageId)
            packages.push_back(
                {std::string(words::kPackage) + " " + present::intToText(packageId), {}});
        package = packageId;
        const auto mhz = coreMhz(core);
        CoreTile tile{
            std::string(words::kCore) + " " + present::intToText(coreId), {}, core.faulty()};
        if (die != 0)
            tile.heading += " (" + std::string(words::kDie) + " " + present::intToText(die) + ")";
        tile.lines.push_back(std::string(core.cpus.size() == 1 ? words::kCpu : words::kCpus) + " " +
                             cpuListText(core.cpus));
        if (mhz) tile.lines.push_back(words::mhzText(*mhz));
        if (core.maxCelsius) tile.lines.push_back(words::celsiusText(*core.maxCelsius));
        if (core.errors) tile.lines.push_back(words::errorsText(*core.errors));
        if (core.wrongRows > 0) tile.lines.emplace_back(words::kWrongShort);
        packages.back().cores.push_back(std::move(tile));

        std::string errors = figureText(core.errors);
        if (core.errors.value_or(0) > 0) errors = std::string(words::kWrongMark) + errors;
        if (core.wrongRows > 0)
            errors += (core.errors ? ", " : "") + std::string(words::kWrongShort);
        table.add({numericCell(present::intToText(packageId)),
                   numericCell(present::intToText(coreId)), Cell{cpuListText(core.cpus)},
                   numericCell(figureText(core.passes)), Cell{errors, true, core.faulty()},
                   numericCell(core.firstErrorSeconds ? words::secondsText(*core.firstErrorSeconds)
                                                      : std::string(present::kNoFigure)),
                   Cell{core.retest.empty() ? std::string(present::kNoFigure) : core.retest},
                   numericCell(core.maxCelsius ? words::celsiusText(*core.maxCelsius)
                                               : std::string(present::kNoFigure)),
                   numericCell(mhz ? words::mhzText(*mhz) : std::string(present::kNoFigure))},
                  core.faulty());
    }
    const bool anyFaulty = std::any_of(map.cores().begin(), map.cores().end(),
                                       [](const auto& entry) { return entry.second.faulty(); });
    return chartWithTables(words::kCoreMapChart, coreMap(words::kCoreMapChart, packages),
                           anyFaulty ? words::kCoreMapLegend : "", {table.html()});
}

std::string numberOrNone(const std::optional<double>& value, std::string (*word)(double)) {
    return value ? word(*value) : std::string(present::kNoFigure);
}

std::string firstMismatchTable(const json& stability) {
    const json* cpus = array(stability, "cpus");
    if (!cpus) return "";
    Table table(
        words::kMismatchTable,
        {std::string(words::kCpu), std::string(words::kPass), std::string(words::kIteration),
         std::string(words::kValue), std::string(words::kRow), std::string(words::kExpected),
         std::string(words::kGot), std::string(words::kExpectedBits), std::string(words::kGotBits)},
        true);
    for (const json& cpu : *cpus) {
        const json* mismatch = object(cpu, "first_mismatch");
        if (!mismatch) continue;
        const auto text = [&](const char* key) {
            const json* value = member(*mismatch, key);
            return figureText(value ? asText(*value) : std::nullopt);
        };
        table.add({numericCell(figureText(integerAt(cpu, "cpu"))), numericCell(text("pass")),
                   numericCell(text("iteration")), Cell{text("value")}, numericCell(text("row")),
                   numericCell(text("expected")), Cell{text("got"), true, true},
                   Cell{text("expected_bits"), false, false, true},
                   Cell{text("got_bits"), false, true, true}},
                  true);
    }
    return table.empty() ? "" : table.html();
}

std::string stabilityTable(const json& stability) {
    FactTable table(words::kStabilityTable);
    table.add(words::kWorkload, textAt(stability, "workload"));
    if (const auto seconds = integerAt(stability, "seconds"))
        table.add(words::kDuration, words::wholeSecondsText(*seconds));
    if (const auto passes = integerAt(stability, "passes"))
        table.add(bare(present::kPass), present::countText(*passes));
    const auto errors = integerAt(stability, "errors");
    if (errors)
        table.add(bare(present::kErrors),
                  (*errors > 0 ? std::string(words::kWrongMark) : "") + present::countText(*errors),
                  *errors > 0);
    return table.empty() ? "" : table.html();
}

std::string multiCoreTable(const json& bench) {
    const json* multi = object(bench, "multi_core");
    if (!multi) return "";
    FactTable table(words::kAllCopies);
    if (const auto copies = integerAt(*multi, "copies"))
        table.add(words::kCopies, present::intToText(*copies));
    const std::pair<bench::Group, const char*> groups[] = {
        {bench::Group::Alu, "alu"}, {bench::Group::Fpu, "fpu"}, {bench::Group::Instr, "instr"}};
    for (const auto& [group, key] : groups)
        if (const auto score = integerAt(*multi, key))
            table.add(present::groupTitle(group), present::intToText(*score));
    if (const auto score = integerAt(*multi, "cpu_score"))
        table.add(present::kCpuScoreName, present::cpuScoreText(*score));
    return table.empty() ? "" : table.html();
}

// A copy by the CPU it ran on, "CPU 3"; by its index where the result does not say.
std::string copyText(const json& bench, const std::optional<std::int64_t>& index) {
    if (!index) return std::string(present::kNoFigure);
    if (const json* copies = array(bench, "copies"))
        for (const json& copy : *copies)
            if (integerAt(copy, "copy") == index)
                if (const auto cpu = integerAt(copy, "cpu"))
                    return std::string(words::kCpu) + " " + present::intToText(*cpu);
    return std::string(words::kCopy) + " " + present::intToText(*index);
}

std::string scalingPart(const json& bench) {
    const json* rows = array(bench, "rows");
    if (!rows) return "";
    std::optional<std::int64_t> copies;
    if (const json* multi = object(bench, "multi_core")) copies = integerAt(*multi, "copies");
    if (!copies)
        if (const json* all = array(bench, "copies"))
            copies = static_cast<std::int64_t>(all->size());
    BarChart chart{std::string(words::kScalingChart),
                   std::string(words::kScalingAxis),
                   {},
                   std::nullopt,
                   "",
                   1};
    if (copies && *copies > 0) {
        chart.reference = static_cast<double>(*copies);
        chart.referenceText = words::copiesText(*copies);
    }
    Table table(words::kScalingChart,
                {std::string(words::kRow), std::string(words::kAllCopiesShort),
                 std::string(words::kScaling), std::string(words::kSlowestCopy),
                 std::string(words::kFastestCopy)});
    for (const json& row : *rows) {
        const auto scaling = numberAt(row, "scaling");
        const auto multi = integerAt(row, "multi");
        const auto group = groupOf(row);
        if (!group || (!scaling && !multi)) continue;
        const bool faulty = !flagAt(row, "valid").value_or(true) || object(row, "wrong");
        const std::string scalingWord =
            scaling ? words::scalingText(*scaling) : std::string(present::kNoFigure);
        chart.bars.push_back({rowName(row), scaling, scalingWord, std::nullopt, std::nullopt,
                              faulty, std::string(present::groupTitle(*group))});
        table.add(
            {Cell{rowName(row)},
             numericCell(multi ? present::resultText(*group, static_cast<std::int32_t>(*multi))
                               : std::string(present::kNoFigure)),
             numericCell(scalingWord), Cell{copyText(bench, integerAt(row, "slowest_copy"))},
             Cell{copyText(bench, integerAt(row, "fastest_copy"))}},
            faulty);
    }
    if (chart.bars.empty()) return "";
    return chartWithTables(words::kScalingChart, barChart(chart), "", {table.html()});
}

std::string copiesPart(const json& bench) {
    const json* copies = array(bench, "copies");
    if (!copies || copies->empty()) return "";
    // Each row's result on each copy, in row order.
    struct RowOverCopies {
        std::string name;
        std::vector<std::pair<std::int64_t, std::int64_t>> results;  // cpu, result
        bool faulty = false;
    };
    std::map<std::int64_t, RowOverCopies> rows;
    Table table(words::kCopiesTable,
                {std::string(words::kCopy), std::string(words::kCpu), std::string(words::kCore),
                 std::string(words::kPackage), std::string(words::kEffectiveClock),
                 std::string(words::kRowsWrong)});
    for (const json& copy : *copies) {
        const auto cpu = integerAt(copy, "cpu");
        std::int64_t wrong = 0;
        if (const json* copyRows = array(copy, "rows"))
            for (const json& row : *copyRows) {
                const auto number = integerAt(row, "row");
                if (!number) continue;
                RowOverCopies& over = rows[*number];
                over.name = rowName(row);
                const bool valid = flagAt(row, "valid").value_or(true);
                if (!valid) {
                    over.faulty = true;
                    ++wrong;
                }
                if (const auto result = integerAt(row, "result"))
                    over.results.emplace_back(cpu.value_or(-1), *result);
            }
        const auto mhz = numberAt(copy, "effective_mhz");
        table.add(
            {numericCell(figureText(integerAt(copy, "copy"))), numericCell(figureText(cpu)),
             numericCell(figureText(integerAt(copy, "core"))),
             numericCell(figureText(integerAt(copy, "package"))),
             numericCell(numberOrNone(mhz, words::mhzText)),
             Cell{(wrong > 0 ? std::string(words::kWrongMark) : "") + present::intToText(wrong),
                  true, wrong > 0}},
            wrong > 0);
    }
    BarChart chart{std::string(words::kCopySpreadChart),
                   std::string(words::kCopySpreadAxis),
                   {},
                   std::nullopt,
                   "",
                   100};
    if (copies->size() >= 2) {
        for (const auto& [number, over] : rows) {
            if (over.results.size() < 2) continue;
            const auto [slowest, fastest] = std::minmax_element(
                over.results.begin(), over.results.end(),
                [](const auto& a, const auto& b) { return a.second < b.second; });
            const double share = fastest->second > 0
                                     ? static_cast<double>(slowest->second) /
                                           static_cast<double>(fastest->second) * 100
                                     : 0;
            chart.bars.push_back({over.name, share,
                                  words::percentText(share) + ", " + std::string(words::kCpu) +
                                      " " + present::intToText(slowest->first),
                                  std::nullopt, std::nullopt, over.faulty, ""});
        }
    }
    return chartWithTables(words::kCopySpreadChart, chart.bars.empty() ? "" : barChart(chart), "",
                           {table.html()});
}

// A stability test of the design's two threads, before it ran on every CPU: its passes per
// thread.
std::string threadsPart(const json& stability) {
    const std::vector<std::int64_t> passes = integers(array(stability, "passes_per_thread"));
    if (passes.empty()) return "";
    BarChart chart{
        std::string(words::kPassesChart), std::string(words::kPasses), {}, std::nullopt, "", 1};
    Table table(words::kPassesChart, {std::string(words::kThread), std::string(words::kPasses)});
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const std::string name = std::string(words::kThread) + " " +
                                 present::intToText(static_cast<std::int64_t>(i + 1));
        chart.bars.push_back({name, static_cast<double>(passes[i]), present::countText(passes[i]),
                              std::nullopt, std::nullopt, false, ""});
        table.add({Cell{name}, numericCell(present::countText(passes[i]))});
    }
    return chartWithTables(words::kPassesChart, barChart(chart), "",
                           {stabilityTable(stability), table.html()});
}

}  // namespace

Part coresSection(const json& result) {
    const json* bench = object(result, "bench");
    const json* stability = object(result, "stability");
    const json* copies = bench ? array(*bench, "copies") : nullptr;
    const json* cpus = stability ? array(*stability, "cpus") : nullptr;
    if ((!copies || copies->empty()) && (!cpus || cpus->empty())) {
        // No figure per CPU: the older test's threads are all there is.
        return part(kDiagnosticId, bare(present::kWorkTabs[2]),
                    stability ? threadsPart(*stability) : "");
    }
    std::string body;
    if (bench) {
        const std::string multi = multiCoreTable(*bench);
        if (!multi.empty()) body += tableGrid({multi});
        body += scalingPart(*bench) + copiesPart(*bench);
    }
    body += coreMapPart(result);
    if (stability) {
        body += tableGrid({stabilityTable(*stability)});
        const std::string mismatches = firstMismatchTable(*stability);
        if (!mismatches.empty()) body += "<div class=\"tables under\">\n" + mismatches + "</div>\n";
    }
    return part(kCoresId, std::string(words::kCoresSection), body);
}

}  // namespace report::page
