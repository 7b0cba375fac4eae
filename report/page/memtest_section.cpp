// SPDX-License-Identifier: GPL-3.0-or-later
// "Memory test": each pattern's speed against the plain ceiling, the failures per bit, the
// located mismatches and the memory controllers' error counters.
#include <algorithm>

#include "diag/memtest.h"
#include "present/captions.h"
#include "present/format.h"
#include "present/page_words.h"
#include "present/words.h"
#include "report/page/sections.h"
#include "report/page/svg.h"

namespace report::page {
namespace {

namespace words = present::page;

// More located mismatches than this would make a page no one prints; the saved result keeps
// them all.
constexpr std::size_t kMostMismatchRows = 500;

constexpr double kBytesPerMiB = 1048576.0;

std::string speedOfBytes(double bytesPerSecond) {
    return present::testSpeedText(static_cast<std::int64_t>(bytesPerSecond / kBytesPerMiB));
}

std::string summaryTable(const json& m) {
    FactTable table(present::kRamTestBox);
    if (const auto bytes = integerAt(m, "bytes"))
        table.add(bare(present::kTestingMemorySize),
                  present::testingMemoryText(diag::memTestSizeMiB(*bytes)));
    if (const auto passes = integerAt(m, "passes"))
        table.add(bare(present::kPass), present::countText(*passes));
    if (const auto errors = integerAt(m, "errors"))
        table.add(bare(present::kErrorsFound),
                  (*errors > 0 ? std::string(words::kWrongMark) : "") + present::countText(*errors),
                  *errors > 0);
    if (const auto write = integerAt(m, "write"))
        table.add(bare(present::kWriteSpeed), present::testSpeedText(*write));
    if (const auto read = integerAt(m, "read"))
        table.add(bare(present::kReadAndTest), present::testSpeedText(*read));
    table.add(words::kPatternsSet, textAt(m, "patterns_set"));
    table.add(words::kSeed, textAt(m, "seed"));
    if (const auto cycles = integerAt(m, "cycles"))
        table.add(words::kCycles, present::intToText(*cycles));
    if (const auto threads = integerAt(m, "threads"))
        table.add(words::kThreads, present::intToText(*threads));
    table.add(words::kCpus, textAt(m, "cpus"));
    if (const auto locked = flagAt(m, "locked")) {
        std::string figure(*locked ? words::kYes : words::kNo);
        if (const auto reason = textAt(m, "lock_reason")) figure += " (" + *reason + ")";
        table.add(words::kLocked, figure);
    }
    if (const json* ceiling = object(m, "ceiling")) {
        if (const auto write = numberAt(*ceiling, "write_bytes_per_second"))
            table.add(words::kCeilingWrite, speedOfBytes(*write));
        if (const auto read = numberAt(*ceiling, "read_bytes_per_second"))
            table.add(words::kCeilingRead, speedOfBytes(*read));
    }
    return table.empty() ? "" : table.html();
}

std::string patternsPart(const json& m, const std::string& summary) {
    const json* patterns = array(m, "patterns");
    if (!patterns || patterns->empty()) return "";
    BarChart chart{std::string(words::kPatternChart),
                   std::string(words::kPatternAxis),
                   {},
                   100.0,
                   std::string(words::kCeiling),
                   100};
    Table table(words::kPatternsTable,
                {std::string(words::kPattern), std::string(words::kTime),
                 std::string(words::kChecked), std::string(words::kSpeed),
                 std::string(words::kShareOfCeiling), std::string(words::kErrorCount)},
                true);
    bool anyFaulty = false;
    for (const json& pattern : *patterns) {
        const std::string name = figureText(textAt(pattern, "name"));
        const auto seconds = numberAt(pattern, "seconds");
        const auto checked = integerAt(pattern, "bytes_checked");
        const auto speed = numberAt(pattern, "bytes_per_second");
        const auto share = numberAt(pattern, "share_of_ceiling");
        const auto errors = integerAt(pattern, "errors");
        const bool faulty = errors.value_or(0) > 0;
        anyFaulty = anyFaulty || faulty;
        const std::string speedText =
            speed ? speedOfBytes(*speed) : std::string(present::kNoFigure);
        const std::string shareText =
            share ? words::percentText(*share * 100, 0) : std::string(present::kNoFigure);
        chart.bars.push_back({name, share ? std::optional(*share * 100) : std::nullopt,
                              speedText + ", " + shareText, std::nullopt, std::nullopt, faulty,
                              ""});
        table.add(
            {Cell{name},
             numericCell(seconds ? words::secondsText(*seconds) : std::string(present::kNoFigure)),
             numericCell(checked ? words::bytesText(*checked) : std::string(present::kNoFigure)),
             numericCell(speedText), numericCell(shareText),
             Cell{(faulty ? std::string(words::kWrongMark) : "") + figureText(errors), true,
                  faulty}},
            faulty);
    }
    return chartWithTables(words::kPatternChart, barChart(chart),
                           anyFaulty ? words::kPatternLegend : "", {summary, table.html()});
}

std::string bitsPart(const json& m) {
    const json* counts = array(m, "bit_counts");
    if (!counts || counts->empty()) return "";
    std::vector<std::int64_t> bits(64, 0);
    for (std::size_t bit = 0; bit < std::min<std::size_t>(64, counts->size()); ++bit)
        bits[bit] = std::max<std::int64_t>(0, asInteger((*counts)[bit]).value_or(0));
    // Eight bits a row: a column for each bit of a byte, a row for each byte of the word.
    std::vector<std::string> heads = {std::string(words::kBits)};
    for (int bit = 0; bit < 8; ++bit) heads.push_back("+" + present::intToText(bit));
    Table table(words::kBitsTable, heads);
    for (std::size_t byte = 0; byte < 8; ++byte) {
        std::vector<Cell> cells = {
            Cell{present::intToText(static_cast<std::int64_t>(byte * 8)) + "\u2013" +
                 present::intToText(static_cast<std::int64_t>(byte * 8 + 7))}};
        bool faulty = false;
        for (std::size_t bit = 0; bit < 8; ++bit) {
            const std::int64_t count = bits[byte * 8 + bit];
            faulty = faulty || count > 0;
            cells.push_back(Cell{present::intToText(count), true, count > 0});
        }
        table.add(std::move(cells), faulty);
    }
    return chartWithTables(words::kBitChart, bitChart(words::kBitChart, words::kBitAxis, bits),
                           words::kBitLegend, {table.html()});
}

std::string mismatchesPart(const json& m) {
    const json* mismatches = array(m, "mismatches");
    const auto notListed = integerAt(m, "mismatches_not_listed").value_or(0);
    const auto unknown = textAt(m, "physical_unknown_reason");
    if ((!mismatches || mismatches->empty()) && notListed <= 0) return "";
    std::string caption(words::kMismatchesTable);
    const std::size_t listed = mismatches ? mismatches->size() : 0;
    if (listed > kMostMismatchRows)
        caption += " (" +
                   words::rowsShownText(static_cast<std::int64_t>(kMostMismatchRows),
                                        static_cast<std::int64_t>(listed)) +
                   ")";
    Table table(caption, {std::string(words::kPattern), std::string(words::kCycle),
                          std::string(words::kOffset), std::string(words::kVirtual),
                          std::string(words::kPhysical), std::string(words::kExpected),
                          std::string(words::kGot), std::string(words::kXor),
                          std::string(words::kReread), std::string(words::kCpu)});
    for (std::size_t i = 0; i < std::min(listed, kMostMismatchRows); ++i) {
        const json& mismatch = (*mismatches)[i];
        const auto text = [&](const char* key) {
            const json* value = member(mismatch, key);
            return figureText(value ? asText(*value) : std::nullopt);
        };
        const auto code = [&](const char* key, bool faulty = false) {
            return Cell{text(key), false, faulty, true};
        };
        table.add({Cell{text("pattern")}, numericCell(text("cycle")), code("offset"),
                   code("virtual"), code("physical"), code("expected"), code("got", true),
                   code("xor", true), code("reread"), numericCell(text("cpu"))},
                  true);
    }
    std::string out = "<div class=\"tables under\">\n" + table.html();
    if (notListed > 0) out += paragraph(words::notListedText(notListed));
    if (unknown) out += paragraph(std::string(words::kPhysicalUnknown) + *unknown);
    return out + "</div>\n";
}

std::string edacPart(const json& m) {
    const json* edac = array(m, "edac");
    if (!edac || edac->empty()) return "";
    BarChart chart{
        std::string(words::kEdacChart), std::string(words::kEdacAxis), {}, std::nullopt, "", 1};
    Table table(words::kEdacTable,
                {std::string(words::kDimm), std::string(words::kController),
                 std::string(words::kLabel), std::string(words::kCorrectedBefore),
                 std::string(words::kCorrectedAfter), std::string(words::kUncorrectedBefore),
                 std::string(words::kUncorrectedAfter), std::string(words::kChange)},
                true);
    for (const json& dimm : *edac) {
        const std::string name = figureText(textAt(dimm, "dimm"));
        const auto ceBefore = integerAt(dimm, "ce_before"), ceAfter = integerAt(dimm, "ce_after");
        const auto ueBefore = integerAt(dimm, "ue_before"), ueAfter = integerAt(dimm, "ue_after");
        const std::int64_t corrected = ceBefore && ceAfter ? *ceAfter - *ceBefore : 0;
        const std::int64_t uncorrected = ueBefore && ueAfter ? *ueAfter - *ueBefore : 0;
        const bool faulty = corrected > 0 || uncorrected > 0;
        const std::string change = (faulty ? std::string(words::kWrongMark) : "") +
                                   words::edacChangeText(corrected, uncorrected);
        const std::string label = textAt(dimm, "label").value_or("");
        chart.bars.push_back(
            {name, static_cast<double>(std::max<std::int64_t>(0, corrected + uncorrected)), change,
             std::nullopt, std::nullopt, faulty, ""});
        table.add({Cell{name}, numericCell(figureText(integerAt(dimm, "controller"))),
                   Cell{label.empty() ? std::string(present::kNoFigure) : label},
                   numericCell(figureText(ceBefore)), numericCell(figureText(ceAfter)),
                   numericCell(figureText(ueBefore)), numericCell(figureText(ueAfter)),
                   Cell{change, true, faulty}},
                  faulty);
    }
    return chartWithTables(words::kEdacChart, barChart(chart), "", {table.html()});
}

}  // namespace

Part memtestSection(const json& result) {
    const json* m = object(result, "memtest");
    if (!m) return {kMemtestId, std::string(words::kMemtestSection), ""};
    const std::string summary = summaryTable(*m);
    std::string body;
    if (flagAt(*m, "smaller_than_4x_llc").value_or(false))
        body += paragraph(words::kSmallBlock, true);
    const std::string patterns = patternsPart(*m, summary);
    // An older result has no patterns: its summary stands alone, with the phases' speeds.
    if (patterns.empty()) {
        BarChart chart{
            std::string(present::kRamTestBox), words::speedUnit(), {}, std::nullopt, "", 0};
        const std::pair<const char*, std::string_view> phases[] = {{"write", present::kWriteSpeed},
                                                                   {"read", present::kReadAndTest}};
        for (const auto& [key, caption] : phases)
            if (const auto speed = integerAt(*m, key))
                chart.bars.push_back({bare(caption), static_cast<double>(*speed),
                                      present::testSpeedText(*speed), std::nullopt, std::nullopt,
                                      false, ""});
        body += chartWithTables(present::kRamTestBox, chart.bars.empty() ? "" : barChart(chart), "",
                                {summary});
    } else {
        body += patterns;
    }
    body += bitsPart(*m) + mismatchesPart(*m) + edacPart(*m);
    return part(kMemtestId, std::string(words::kMemtestSection), body);
}

}  // namespace report::page
