// SPDX-License-Identifier: GPL-3.0-or-later
// "CPU Benchmark": every row as a bar with its spread, the scores, and the change against a
// saved run.
#include <algorithm>
#include <charconv>

#include "bench/scoring.h"
#include "present/captions.h"
#include "present/format.h"
#include "present/page_words.h"
#include "present/words.h"
#include "report/compare.h"
#include "report/page/sections.h"
#include "report/page/svg.h"

namespace report::page {
namespace {

namespace words = present::page;

// One row as the page shows it.
struct RowFigures {
    std::string name;
    bench::Group group = bench::Group::Alu;
    std::optional<std::int64_t> result;  // nullopt: the row did not complete
    std::vector<std::int64_t> runResults;
    bool valid = true;
    std::optional<std::string> wrongDetail;
    std::optional<std::int64_t> number;
};

std::optional<std::string> wrongDetail(const json& row) {
    const json* wrong = object(row, "wrong");
    if (!wrong) return std::nullopt;
    const json* expected = member(*wrong, "expected");
    const json* got = member(*wrong, "got");
    return words::wrongDetailText(textAt(*wrong, "slot").value_or(""),
                                  figureText(expected ? asText(*expected) : std::nullopt),
                                  figureText(got ? asText(*got) : std::nullopt));
}

std::vector<RowFigures> rowsOf(const json& bench) {
    std::vector<RowFigures> rows;
    const json* all = array(bench, "rows");
    if (!all) return rows;
    for (const json& row : *all) {
        const auto group = groupOf(row);
        if (!group) continue;
        RowFigures figures;
        figures.name = rowName(row);
        figures.group = *group;
        figures.number = integerAt(row, "row");
        const auto raw = integerAt(row, "raw");
        if (raw) figures.result = integerAt(row, "result");
        if (raw && !figures.result)
            figures.result = bench::rowResult(*group, static_cast<std::int32_t>(*raw));
        // A repetition's row result from its kernel's return value, as the text report
        // takes it.
        for (const std::int64_t run : integers(array(row, "runs")))
            if (run > 0 && run <= INT32_MAX)
                figures.runResults.push_back(
                    bench::rowResult(*group, static_cast<std::int32_t>(run)));
        figures.valid = flagAt(row, "valid").value_or(true);
        figures.wrongDetail = wrongDetail(row);
        rows.push_back(std::move(figures));
    }
    return rows;
}

std::string resultWord(bench::Group group, std::int64_t result) {
    return present::resultText(group, static_cast<std::int32_t>(result));
}

std::string plainWord(std::int64_t value) {
    return present::intToText(value);
}

std::string rowsChart(const std::vector<RowFigures>& rows, bool instr) {
    BarChart chart;
    chart.axis = words::resultUnit(instr ? bench::Group::Instr : bench::Group::Alu);
    chart.title = words::rowsChartTitle(instr ? bench::Group::Instr : bench::Group::Alu);
    // Both charts take the longest caption of either, and so line up.
    for (const RowFigures& row : rows)
        chart.labelCharacters =
            std::max(chart.labelCharacters, row.name.size() + (row.valid ? 0 : 2));
    for (const RowFigures& row : rows) {
        if ((row.group == bench::Group::Instr) != instr) continue;
        Bar bar;
        bar.label = row.name;
        bar.group = std::string(present::groupTitle(row.group));
        bar.faulty = !row.valid;
        if (row.result) {
            bar.value = static_cast<double>(*row.result);
            bar.valueText = resultWord(row.group, *row.result);
        } else {
            bar.valueText = std::string(present::kNoResult);
        }
        if (row.runResults.size() >= 2) {
            const auto [low, high] =
                std::minmax_element(row.runResults.begin(), row.runResults.end());
            bar.low = static_cast<double>(*low);
            bar.high = static_cast<double>(*high);
        }
        chart.bars.push_back(std::move(bar));
    }
    return chart.bars.empty() ? "" : barChart(chart);
}

std::string rowsTable(const std::vector<RowFigures>& rows, bool repeated) {
    std::vector<std::string> heads = {std::string(words::kRow), std::string(words::kResult)};
    if (repeated)
        for (const auto head : {words::kMin, words::kMax, words::kSpread}) heads.emplace_back(head);
    heads.emplace_back(words::kWork);
    Table table(words::kRowsTable, heads);
    for (const RowFigures& row : rows) {
        std::vector<Cell> cells = {Cell{row.name},
                                   numericCell(row.result ? resultWord(row.group, *row.result)
                                                          : std::string(present::kNoResult))};
        if (repeated) {
            std::vector<std::int64_t> values = row.runResults;
            const auto spread = spreadTexts(values, plainWord);
            for (const auto* text :
                 {spread ? &spread->min : nullptr, spread ? &spread->max : nullptr,
                  spread ? &spread->spread : nullptr})
                cells.push_back(numericCell(text ? *text : std::string(present::kNoFigure)));
        }
        cells.push_back(
            Cell{std::string(row.valid ? words::kRight : words::kWrongShort), false, !row.valid});
        table.add(std::move(cells), !row.valid);
    }
    return table.html();
}

// The group scores and the CPU score, with their spread over repetitions.
std::string scoresPart(const json& bench) {
    const auto repetitions = integerAt(bench, "repetitions");
    // An interrupted first repetition has rows but no scores yet.
    if (repetitions && *repetitions <= 0) return "";
    const json* runs = object(bench, "runs");
    const json none = json::object();
    Table table(words::kScoresTable,
                {std::string(words::kScore), std::string(words::kValue), std::string(words::kMin),
                 std::string(words::kMax), std::string(words::kSpread)});
    std::string headline;
    const std::pair<bench::Group, const char*> groups[] = {
        {bench::Group::Alu, "alu"}, {bench::Group::Fpu, "fpu"}, {bench::Group::Instr, "instr"}};
    const auto addRow = [&](std::string caption, std::string figure, const char* key) {
        const auto spread = spreadTexts(integers(member(runs ? *runs : none, key)), plainWord);
        table.add({Cell{std::move(caption)}, numericCell(std::move(figure)),
                   numericCell(spread ? spread->min : std::string(present::kNoFigure)),
                   numericCell(spread ? spread->max : std::string(present::kNoFigure)),
                   numericCell(spread ? spread->spread : std::string(present::kNoFigure))});
    };
    for (const auto& [group, key] : groups) {
        const auto score = integerAt(bench, key);
        if (!score) continue;
        headline += "<li>" +
                    escape(present::groupScoreTitle(group, static_cast<std::int32_t>(*score))) +
                    "</li>";
        addRow(std::string(present::groupTitle(group)), present::intToText(*score), key);
    }
    const auto cpuScore = integerAt(bench, "cpu_score");
    if (cpuScore)
        addRow(std::string(present::kCpuScoreName), present::intToText(*cpuScore), "cpu_score");
    if (table.empty()) return "";
    return (cpuScore ? "<p class=\"score\">" + escape(present::cpuScoreText(*cpuScore)) + "</p>\n"
                     : "") +
           "<ul class=\"group-scores\">" + headline + "</ul>\n" + tableGrid({table.html()});
}

std::string changeValue(const json& figure) {
    const auto ratio = numberAt(figure, "ratio");
    if (!ratio) return std::string(present::kNoFigure);
    std::string text = words::signedPercentText((*ratio - 1) * 100);
    if (flagAt(figure, "marked").value_or(false)) {
        const bool higher =
            integerAt(figure, "now").value_or(0) > integerAt(figure, "saved").value_or(0);
        text += " " + std::string(higher ? words::kHigher : words::kLower);
    }
    return text;
}

// A compared figure's caption; a row's, by its number, as the rows above name it.
std::string figureCaption(const json& figure) {
    json row = {{"caption", textAt(figure, "caption").value_or(std::string(present::kNoFigure))}};
    const auto key = textAt(figure, "key");
    int number = 0;
    if (textAt(figure, "kind") == "row" && key &&
        std::from_chars(key->data(), key->data() + key->size(), number).ec == std::errc{})
        row["row"] = number;
    return rowName(row);
}

std::string comparePart(const json& compare) {
    std::string heading(words::kComparedWith);
    heading += textAt(compare, "file").value_or(std::string(present::kNoFigure));
    if (const auto when = textAt(compare, "saved_when"); when && !when->empty())
        heading += " (" + *when + ")";
    std::string out = subheading(heading);
    for (const auto& [key, prefix] :
         {std::pair{"notes", words::kNote}, std::pair{"warnings", words::kWarning}})
        if (const json* lines = array(compare, key))
            for (const json& line : *lines)
                if (line.is_string())
                    out += paragraph(std::string(prefix) + line.get<std::string>(),
                                     prefix == words::kWarning);

    const json* figures = array(compare, "figures");
    if (!figures || figures->empty()) return out + paragraph(words::kNoFiguresInCommon);
    ChangeChart chart{std::string(words::kChangeChart), std::string(words::kChangeAxis), {}};
    Table table(words::kChangeChart, {std::string(words::kFigure), std::string(words::kSaved),
                                      std::string(words::kNow), std::string(words::kRatio),
                                      std::string(words::kNoiseBand), std::string(words::kChange)});
    for (const json& figure : *figures) {
        if (!figure.is_object()) continue;
        const auto ratio = numberAt(figure, "ratio");
        const auto band = numberAt(figure, "threshold_percent");
        const bool marked = flagAt(figure, "marked").value_or(false);
        const std::string caption = figureCaption(figure);
        const std::string value = changeValue(figure);
        chart.changes.push_back({caption, ratio ? std::optional((*ratio - 1) * 100) : std::nullopt,
                                 band, value, marked});
        table.add({Cell{caption}, numericCell(figureText(integerAt(figure, "saved"))),
                   numericCell(figureText(integerAt(figure, "now"))),
                   numericCell(ratio ? words::ratioText(*ratio) : std::string(present::kNoFigure)),
                   numericCell(band ? "\u00b1 " + words::percentText(*band)
                                    : std::string(present::kNoFigure)),
                   Cell{value, true, false, false, marked}});
    }
    return out + chartWithTables(words::kChangeChart, changeChart(chart),
                                 words::changeLegend(kSingleRunThreshold), {table.html()});
}

}  // namespace

Part benchSection(const json& result) {
    const json* bench = object(result, "bench");
    const json* compare = object(result, "compare");
    std::string body;
    if (bench) {
        const std::vector<RowFigures> rows = rowsOf(*bench);
        const auto repetitions = integerAt(*bench, "repetitions").value_or(0);
        const bool repeated = std::any_of(rows.begin(), rows.end(), [](const RowFigures& row) {
            return row.runResults.size() >= 2;
        });
        if (repetitions > 1) body += paragraph(words::medianOfText(repetitions));
        body += scoresPart(*bench);
        for (const RowFigures& row : rows) {
            if (row.valid) continue;
            std::string line = row.number && *row.number >= 1 && *row.number <= bench::kRowCount
                                   ? present::wrongResultLine(static_cast<int>(*row.number))
                                   : row.name + ": " + std::string(words::kWrongShort);
            if (row.wrongDetail) line += " (" + *row.wrongDetail + ")";
            body += paragraph(line, true);
        }
        if (!rows.empty()) {
            std::string legend = repeated ? words::whiskerLegend(repetitions) : "";
            if (std::any_of(rows.begin(), rows.end(),
                            [](const RowFigures& row) { return !row.valid; }))
                legend += (legend.empty() ? "" : " ") + std::string(words::kWrongLegend);
            const std::string mark = rowsChart(rows, false);
            const std::string instr = rowsChart(rows, true);
            const std::string table = rowsTable(rows, repeated);
            body += "<div class=\"pair\">\n<div class=\"charts\">\n";
            for (const auto& [chart, group] :
                 {std::pair{&mark, bench::Group::Alu}, std::pair{&instr, bench::Group::Instr}})
                if (!chart->empty())
                    body += "<figure>\n<figcaption>" + escape(words::rowsChartTitle(group)) +
                            "</figcaption>\n" + *chart + "</figure>\n";
            if (!legend.empty()) body += "<p class=\"legend\">" + escape(legend) + "</p>\n";
            body += "</div>\n<div class=\"tables\">\n" + table + "</div>\n</div>\n";
        }
    }
    if (compare) body += comparePart(*compare);
    return part(kBenchId, bare(present::kWorkTabs[0]), body);
}

}  // namespace report::page
