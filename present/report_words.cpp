// SPDX-License-Identifier: GPL-3.0-or-later
#include "present/report_words.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

#include "present/captions.h"
#include "present/words.h"
#include "version.h"

namespace present {
namespace {

constexpr std::int64_t kMiB = 1'048'576;

std::string text(std::string_view view) {
    return std::string(view);
}

std::string mibText(std::int64_t bytes) {
    return std::to_string(bytes / kMiB) + " MiB";
}

}  // namespace

std::string reportVersionLine() {
    return text(kReportProgram) + " " + CORVANE_VERSION;
}

std::string reportErrorLine(std::string_view reason) {
    return text(kReportProgram) + ": " + text(reason);
}

std::string notASizeReason(std::string_view given) {
    return "--memtest: not a size: " + text(given);
}

std::string underSmallestTestReason(std::string_view given) {
    return "--memtest: " + text(given) + " is under the smallest test, 1M";
}

std::string memtestRefusedReason(std::string_view given, std::string_view why) {
    return "--memtest " + text(given) + ": " + text(why);
}

std::string allowanceReason(std::int64_t allowanceBytes) {
    return "only " + mibText(allowanceBytes) + " of memory may be used by this process";
}

std::string allowanceUnderSmallestReason(std::int64_t allowanceBytes) {
    return allowanceReason(allowanceBytes) + ", under the smallest test, 1M";
}

std::string savedFileRefusedReason(std::string_view option, std::string_view file,
                                   std::string_view why) {
    return text(option) + ": " + text(file) + ": " + text(why);
}

std::string newerSchemaReason(std::string_view found, int ours) {
    return "schema " + text(found) + " is newer than this program's " + std::to_string(ours);
}

std::string tooLargeReason(std::int64_t maxBytes) {
    return "larger than " + mibText(maxBytes) + ", " + text(kNotAResult);
}

std::string noSuchDirectoryReason(std::string_view option, std::string_view directory) {
    return text(option) + ": " + text(directory) + ": no such directory";
}

std::string saveFailedReason(std::string_view option, std::string_view step, std::string_view file,
                             std::string_view systemReason) {
    return text(option) + ": " + text(step) + " " + text(file) + ": " + text(systemReason);
}

std::string outputFailedReason(std::string_view systemReason) {
    return "cannot write the output: " + text(systemReason);
}

std::string memtestNoBlockReason(std::string_view given) {
    return memtestRefusedReason(given, kNotEnoughMemory);
}

std::string repetitionPrefix(int repetition, int repetitions) {
    return "[" + std::to_string(repetition) + "/" + std::to_string(repetitions) + "] ";
}

std::string stabilityProgressLine(int seconds, std::int64_t passes, std::int64_t errors) {
    return "CPU test: " + std::to_string(seconds) + " s, " + std::to_string(passes) + " passes, " +
           std::to_string(errors) + " errors";
}

std::string memtestCycleLine(std::int64_t cycle, std::int64_t errors) {
    return "Memory test cycle " + std::to_string(cycle) + ": " + std::to_string(errors) + " errors";
}

std::string mhzText(double mhz) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.1f MHz", mhz);
    return figure;
}

std::string systemCacheText(std::int64_t bytes) {
    return "system: " + kbyteText(bytes);
}

std::string systemTscText(double mhz) {
    return "system TSC: " + mhzText(mhz);
}

std::string memoryLimitText(std::int64_t limitBytes, std::int64_t availableBytes,
                            std::string_view source) {
    return mibText(limitBytes) + ", " + mibText(availableBytes) + " of it free (" + text(source) +
           ")";
}

std::string memtestBlockText(std::int64_t blockMiB, int percent, std::int64_t allowanceBytes) {
    return testingMemoryText(blockMiB) + " (" + std::to_string(percent) + " % of " +
           mibText(allowanceBytes) + " this process may use)";
}

std::string medianOfRunsLine(std::size_t runs) {
    return "Median of " + std::to_string(runs) + " runs";
}

std::string spreadText(std::int64_t min, std::int64_t max, std::optional<double> percent) {
    char spread[32] = "-";
    if (percent) std::snprintf(spread, sizeof spread, "%.1f %%", *percent);
    return "min " + std::to_string(min) + ", max " + std::to_string(max) + ", spread " + spread;
}

std::string secondsText(int seconds) {
    return std::to_string(seconds) + " s";
}

std::string passesText(std::span<const std::int64_t> threadPasses, std::int64_t passes) {
    std::string perThread = threadPasses.empty() ? "0" : std::to_string(threadPasses[0]);
    bool allEqual = true;
    for (const std::int64_t count : threadPasses) allEqual = allEqual && count == threadPasses[0];
    if (!allEqual) {
        for (std::size_t i = 1; i < threadPasses.size(); ++i)
            perThread += " and " + std::to_string(threadPasses[i]);
    }
    return perThread + " per thread, " + std::to_string(passes) + " in all";
}

std::string comparedWithLine(std::string_view file, std::string_view savedWhen) {
    std::string line = "Compared with " + text(file);
    if (!savedWhen.empty()) line += " (" + text(savedWhen) + ")";
    return line;
}

std::string differsNote(std::string_view figure, std::string_view saved, std::string_view now) {
    return text(figure) + " differs: saved " + text(saved) + ", now " + text(now);
}

std::string revisionWarning(int saved, int now) {
    return "bench revision differs: saved " + std::to_string(saved) + ", now " +
           std::to_string(now) + "; rows whose work changed are not comparable";
}

std::string changedFootnote(double singleRunPercent) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "* changed by more than both runs' spread (%.0f %% for a single run)",
                  singleRunPercent);
    return line;
}

std::string scoreCaption(bench::Group group) {
    return text(groupLabel(group)) + " score";
}

}  // namespace present

namespace present {

std::string cpusRefusedReason(std::string_view given, std::string_view why) {
    return "--cpus " + std::string(given) + ": " + std::string(why);
}

std::string cpuChoiceLine(std::string_view cpus, int allowed, double quotaCpus, int chosen,
                          std::string_view source) {
    char quota[32];
    std::snprintf(quota, sizeof quota, "%g", quotaCpus);
    return "CPUs: " + std::string(cpus) + " (" + std::to_string(chosen) + " of the " +
           std::to_string(allowed) + " this process may use: its CPU quota, " + quota +
           " CPUs in " + std::string(source) + ", allows " + std::to_string(chosen) + ")";
}

}  // namespace present

namespace present {

// Thorough memory test

namespace {

std::string joined(std::span<const std::string_view> names) {
    std::string out;
    for (const std::string_view name : names) out += (out.empty() ? "" : ", ") + std::string(name);
    return out;
}

// "a", "a and b", "a, b and c".
template <class T>
std::string listed(std::span<const T> items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
        if constexpr (std::is_arithmetic_v<T>)
            out += std::to_string(items[i]);
        else
            out += items[i];
    }
    return out;
}

std::string gbPerSecond(std::optional<double> bytesPerSecond) {
    if (!bytesPerSecond) return std::string(kNoFigure);
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.2f GB/s", *bytesPerSecond / 1e9);
    return figure;
}

std::string countOf(std::int64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string countedFigure(const std::optional<std::int64_t>& count) {
    return count ? std::to_string(*count) : std::string(kNoFigure);
}

}  // namespace

std::string patternsHelp(std::span<const std::string_view> choices) {
    return "memory test patterns: design (the window's 1/0 cycle, the default), thorough (all "
           "six) or a comma-separated list; the names: " +
           joined(choices);
}

std::string unknownPatternReason(std::string_view given, std::string_view name,
                                 std::span<const std::string_view> choices) {
    return "--patterns " + std::string(given) + ": no pattern is named " + std::string(name) +
           "; the choices are " + joined(choices);
}

std::string emptyPatternReason(std::string_view given) {
    return "--patterns " + std::string(given) + ": a pattern name is empty";
}

std::string notASeedReason(std::string_view given) {
    return "--seed " + std::string(given) + ": not a number (decimal, or hexadecimal after 0x)";
}

std::string seedProgressLine(std::string_view seed) {
    return "Memory test seed " + std::string(seed) + " (--seed repeats the run)";
}

std::string memtestStageLine(std::string_view stage, double seconds) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.2f s", seconds);
    return std::string(stage) + ": " + figure;
}

std::string memtestPhaseLine(std::int64_t cycle, std::string_view pattern, int phase, int phases,
                             double seconds, std::int64_t mismatches) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.2f s", seconds);
    return "Cycle " + std::to_string(cycle) + " " + std::string(pattern) + " phase " +
           std::to_string(phase + 1) + "/" + std::to_string(phases) + ": " + figure + ", " +
           countOf(mismatches, "mismatch", "mismatches") + " so far";
}

std::string noBackingReason(std::string_view given, std::int64_t offset) {
    return "--memtest " + std::string(given) + ": the kernel could not back the block " +
           std::to_string(offset) + " bytes in";
}

std::string memtestSetLine(std::string_view set, const std::optional<std::string>& seed,
                           std::int64_t cycles, int threads, std::string_view cpus) {
    return "Patterns " + std::string(set) + (seed ? ", seed " + *seed : "") + ", " +
           countOf(cycles, "cycle", "cycles") + ", " + countOf(threads, "thread", "threads") +
           " on CPUs " + std::string(cpus);
}

std::string notLockedLine(std::string_view reason) {
    return "The block was not locked in memory: " + std::string(reason) + ".";
}

std::string ceilingLine(std::optional<double> writeBytesPerSecond,
                        std::optional<double> readBytesPerSecond) {
    return "Ceiling: plain write " + gbPerSecond(writeBytesPerSecond) + ", plain read " +
           gbPerSecond(readBytesPerSecond);
}

std::string patternSpeedLine(std::string_view pattern, std::optional<double> bytesPerSecond,
                             std::optional<double> shareOfCeiling, std::int64_t errors,
                             double seconds) {
    char share[32] = "-";
    if (shareOfCeiling) std::snprintf(share, sizeof share, "%.0f %%", *shareOfCeiling * 100);
    char time[32];
    std::snprintf(time, sizeof time, "%.2f s", seconds);
    return "Pattern " + std::string(pattern) + ": " + gbPerSecond(bytesPerSecond) + " checked, " +
           share + " of the ceiling, " + countOf(errors, "error", "errors") + " (" + time + ")";
}

std::string mismatchLine(const MismatchWords& m) {
    return "Mismatch " + std::string(m.pattern) + " cycle " + std::to_string(m.cycle) +
           " element " + m.offset + " virtual " + m.virtualAddress + " physical " + m.physical +
           " expected " + m.expected + " got " + m.got + " xor " + m.xorBits + " reread " +
           m.reread + " CPU " + (m.cpu >= 0 ? std::to_string(m.cpu) : std::string(kNoFigure));
}

std::string wrongReadLine(std::string_view pattern, std::int64_t cycle, std::string_view offset,
                          std::string_view xorBits) {
    return "Wrong read " + std::string(pattern) + " cycle " + std::to_string(cycle) +
           " in the chunk at element " + std::string(offset) + ": bits " + std::string(xorBits) +
           " differed, and no element was wrong when read again";
}

std::string notListedLine(std::int64_t count) {
    return "... and " + countOf(count, "more mismatch", "more mismatches") + " not listed";
}

std::string mismatchSummaryLine(std::int64_t count, std::span<const int> bits,
                                std::span<const std::string> patterns) {
    if (count == 0) return "No mismatches.";
    return countOf(count, "mismatch", "mismatches") + ", in " +
           (bits.size() == 1 ? "bit " : "bits ") + listed(bits) + ", found by " + listed(patterns);
}

std::string physicalUnknownLine(std::string_view reason) {
    return "Physical address " + std::string(kNoFigure) + ": " + std::string(reason);
}

std::string edacLine(int controller, std::string_view dimm, const std::optional<std::string>& label,
                     std::optional<std::int64_t> ceBefore, std::optional<std::int64_t> ceAfter,
                     std::optional<std::int64_t> ueBefore, std::optional<std::int64_t> ueAfter) {
    return "EDAC mc" + std::to_string(controller) + " " + std::string(dimm) +
           (label ? " (" + *label + ")" : "") + ": corrected " + countedFigure(ceBefore) + " -> " +
           countedFigure(ceAfter) + ", uncorrected " + countedFigure(ueBefore) + " -> " +
           countedFigure(ueAfter);
}

}  // namespace present

// Every core
namespace present {
namespace {

std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string scalingText(std::optional<double> scaling) {
    return scaling ? "x" + fixed(*scaling, 2) : std::string(kNoFigure);
}

// A double to every digit it has, and its bits: "100.00000000000001 (0x4059000000000001)".
std::string exactText(double value) {
    char buffer[96];
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    std::snprintf(buffer, sizeof buffer, "%.17g (0x%016llx)", value,
                  static_cast<unsigned long long>(bits));
    return buffer;
}

std::string optionalInt(std::optional<std::int64_t> value) {
    return value ? std::to_string(*value) : std::string(kNoFigure);
}

std::string padLeft(std::string value, std::size_t width) {
    return value.size() >= width ? value : std::string(width - value.size(), ' ') + value;
}

}  // namespace

std::string copiesProgressLine(int copies) {
    return "CPU benchmark on " + std::to_string(copies) + " CPUs at once...";
}

std::string multiRowLine(int row, bench::Group group, std::optional<std::int64_t> multi,
                         std::optional<double> scaling) {
    const std::string figure =
        multi ? resultText(group, static_cast<std::int32_t>(std::min<std::int64_t>(
                                      *multi, std::numeric_limits<std::int32_t>::max())))
              : std::string(kNoResult);
    return text(rowCaption(row)) + " multi-core " + figure + " (" + scalingText(scaling) + ")";
}

std::string wrongCopyLine(int row, int copy, int cpu) {
    return text(rowCaption(row)) + ": wrong result in copy " + std::to_string(copy) + ", on CPU " +
           std::to_string(cpu);
}

std::string multiCoreLine(int copies, std::int32_t alu, std::int32_t fpu, std::int32_t instr,
                          std::int64_t score) {
    return "Multi-core scores (" + std::to_string(copies) + " copies at once): ALU " +
           std::to_string(alu) + ", FPU " + std::to_string(fpu) + ", INSTR " +
           std::to_string(instr) + "; multi-core score " + std::to_string(score);
}

std::string scalingLine(int row, std::int64_t single, std::optional<std::int64_t> multi,
                        std::optional<double> scaling, std::optional<int> slowest,
                        std::optional<int> fastest) {
    std::string caption(rowCaption(row));
    caption.resize(26, ' ');
    const auto copy = [](std::optional<int> index) {
        return index ? std::to_string(*index) : std::string(kNoFigure);
    };
    return caption + padLeft(std::to_string(single), 8) + padLeft(optionalInt(multi), 11) +
           padLeft(scalingText(scaling), 9) + padLeft(copy(slowest), 9) + padLeft(copy(fastest), 9);
}

std::string copyClockLine(int copy, int cpu, int package, int core, std::optional<double> mhz) {
    return "Copy " + std::to_string(copy) + " on CPU " + std::to_string(cpu) + " (package " +
           std::to_string(package) + ", core " + std::to_string(core) + "): effective clock " +
           (mhz ? mhzText(*mhz) : std::string(kNoFigure));
}

std::string slowCopyLine(int copy, int cpu, double percentBelow) {
    return "Copy " + std::to_string(copy) + " on CPU " + std::to_string(cpu) +
           ": effective clock " + fixed(percentBelow, 1) + " % below the copies' median";
}

std::string retestProgressLine(int cpu) {
    return "Retesting CPU " + std::to_string(cpu) + " alone...";
}

std::string workloadLine(std::string_view workload, std::size_t cpus) {
    return "Workload: " + text(workload) + ", " + std::to_string(cpus) + " CPUs";
}

std::string stabilityCpuLine(int cpu, int package, int die, int core, std::string_view siblings,
                             std::int64_t passes, std::int64_t errors,
                             std::optional<double> celsius) {
    return "CPU " + std::to_string(cpu) + " (package " + std::to_string(package) + ", die " +
           std::to_string(die) + ", core " + std::to_string(core) + "; CPUs " + text(siblings) +
           "): " + std::to_string(passes) + " passes, " + std::to_string(errors) + " errors" +
           (celsius ? ", max " + fixed(*celsius, 1) + " C" : "");
}

std::string firstMismatchLine(double seconds, std::int64_t pass,
                              std::optional<std::int64_t> iteration,
                              std::optional<std::string_view> value, std::optional<int> row,
                              std::optional<double> expected, std::optional<double> got) {
    std::string line = "  first error at " + fixed(seconds, 1) + " s, pass " + std::to_string(pass);
    if (row) line += ": row " + text(rowCaption(*row));
    if (iteration) line += ": iteration " + std::to_string(*iteration);
    if (value) line += ", " + text(*value);
    if (expected && got) line += ", expected " + exactText(*expected) + ", got " + exactText(*got);
    return line;
}

std::string retestLine(std::string_view retest) {
    return "  retest: " + text(retest);
}

std::string faultyCpuText(int cpu, int package, int die, int core) {
    return "CPU " + std::to_string(cpu) + " (package " + std::to_string(package) + ", die " +
           std::to_string(die) + ", core " + std::to_string(core) + ")";
}

std::string faultyCpusLine(const std::vector<std::string>& cpus) {
    if (cpus.empty()) return text(kNoFaultyCpu);
    std::string line = "Faulty: ";
    for (std::size_t i = 0; i < cpus.size(); ++i) line += (i ? ", " : "") + cpus[i];
    return line;
}

std::string multiCoreNotComparedNote(int saved, int now) {
    return "multi-core scores not compared: " + std::to_string(saved) + " copies saved, " +
           std::to_string(now) + " now";
}

std::string multiCoreScoreCaption(bench::Group group) {
    return "Multi-core " + scoreCaption(group);
}

}  // namespace present
