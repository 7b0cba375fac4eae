// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// corvane-report's own words: what it prints besides the window's captions and figures
// (captions.h, words.h), from its help to its error lines. The OpenMetrics HELP texts are not
// here: they document a machine interface, as the JSON keys do, and stay beside the metric
// names they describe.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bench/kernel_table.h"

namespace present {

// The program.

inline constexpr std::string_view kReportProgram = "corvane-report";

// "corvane-report 3.0.0.4", what --version prints.
std::string reportVersionLine();

// An error line on standard error: "corvane-report: " and the reason. Only the program adds
// its name; everything below it gives the reason alone.
std::string reportErrorLine(std::string_view reason);

// --help.

inline constexpr std::string_view kReportDescription =
    "Prints what Corvane's window shows: processor and memory figures, and on request the\n"
    "CPU and memory benchmarks and the stability tests.";
inline constexpr std::string_view kReportExitStatus =
    "Exit status:\n"
    "  0    all went well\n"
    "  1    a stability test found an error, a memory test found a mismatch or an EDAC\n"
    "       count rose, or a benchmark row's work came out wrong\n"
    "  2    a usage error, an unusable --compare file or a failed write\n"
    "  130  interrupted by Ctrl-C";
inline constexpr std::string_view kFormatHelp = "text, json (one JSON object) or openmetrics";
inline constexpr std::string_view kJsonHelp = "the same as --format json";
inline constexpr std::string_view kSaveHelp = "also write the JSON object to FILE";
inline constexpr std::string_view kVersionHelp = "print the version and exit";
inline constexpr std::string_view kBenchHelp = "run a benchmark: cpu, ram or all";
inline constexpr std::string_view kRepeatHelp = "run the benchmarks N times (default 1)";
inline constexpr std::string_view kCompareHelp = "compare the benchmarks with a saved FILE";
inline constexpr std::string_view kStabilityHelp = "run the CPU stability test for SECONDS";
inline constexpr std::string_view kMemtestHelp =
    "run the memory test on SIZE bytes (suffix K, M or G), or on a share of the memory this "
    "process may use (90%; 99% is the window's size)";
inline constexpr std::string_view kPassesHelp =
    "memory test cycles of the chosen patterns (default 1)";
inline constexpr std::string_view kHtmlHelp =
    "also write one self-contained HTML page of the figures, with charts, to FILE";
inline constexpr std::string_view kFromHelp =
    "measure nothing: render the result saved in FILE (any output format, --html, --compare)";
inline constexpr std::string_view kCpusHelp =
    "run the CPU benchmark, the stability test and the memory test on these CPUs: all (every "
    "CPU this process may use, within its CPU quota) or a list such as 0-3,8. The benchmark "
    "runs once alone, then one copy a CPU at once (a multi-core score, with each row's "
    "scaling); the stability test runs one pinned worker a CPU, names each CPU that made an "
    "error and retests it alone. A retest that does not reproduce an error does not make the "
    "CPU sound: heat and boost change when the other cores rest";
inline constexpr std::string_view kWorkloadHelp =
    "what the stability test with --cpus runs: loop (the designed loop, default), kernels "
    "(the benchmark's 29 rows, checked), vector (AVX2 with FMA, or AVX-512), or all (one "
    "pass of each in turn)";

// Usage errors and refusals, each one line.

// "--memtest: not a size: 12Q".
std::string notASizeReason(std::string_view given);
// "--memtest: 1023K is under the smallest test, 1M".
std::string underSmallestTestReason(std::string_view given);
inline constexpr std::string_view kCompareHasNoOpenMetrics = "--compare has no OpenMetrics form";
inline constexpr std::string_view kFromMeasuresNothing =
    "--from renders a saved result and measures nothing: it takes no --bench, --stability, "
    "--memtest or --cpus";
inline constexpr std::string_view kCompareNeedsBench = "--compare requires --bench or --from";
inline constexpr std::string_view kWorkloadNeedsCpus = "--workload needs --stability and --cpus";
inline constexpr std::string_view kNoVectorUnit =
    "--workload vector: this processor has neither AVX2 with FMA nor AVX-512";
inline constexpr std::string_view kCpusNeedAJob =
    "--cpus needs --bench cpu, --stability or --memtest";
// "--cpus 0-9: CPU 9 is not one this process may run on".
std::string cpusRefusedReason(std::string_view given, std::string_view why);

// The CPUs a run takes.

// "CPUs: 0-1 (2 of the 4 this process may use: its CPU quota, 2.5 CPUs in
// /sys/fs/cgroup/cpu.max, allows 2)".
std::string cpuChoiceLine(std::string_view cpus, int allowed, double quotaCpus, int chosen,
                          std::string_view source);
inline constexpr std::string_view kVirtualCpuNote =
    "Note: this is a virtual machine; a CPU here is a virtual CPU, not necessarily one physical "
    "core.";

// Why --memtest SIZE cannot run here. "--memtest 2G: " and one of the three below.
std::string memtestRefusedReason(std::string_view given, std::string_view why);
inline constexpr std::string_view kAllowanceUnknown =
    "the memory this process may use cannot be read";
// "only 1011 MiB of memory may be used by this process".
std::string allowanceReason(std::int64_t allowanceBytes);
// The same, for a share too small to test: "..., under the smallest test, 1M".
std::string allowanceUnderSmallestReason(std::int64_t allowanceBytes);

// "--compare: FILE: " and why FILE cannot be compared with.
std::string savedFileRefusedReason(std::string_view option, std::string_view file,
                                   std::string_view why);
inline constexpr std::string_view kNotJson = "not JSON";
inline constexpr std::string_view kNotAResult = "not a corvane-report result";
// "schema 3 is newer than this program's 2".
std::string newerSchemaReason(std::string_view found, int ours);
// "larger than 64 MiB, not a corvane-report result".
std::string tooLargeReason(std::int64_t maxBytes);

// "--save: DIR: no such directory".
std::string noSuchDirectoryReason(std::string_view option, std::string_view directory);
// "--save: cannot write FILE: No space left on device", with one of the three steps.
inline constexpr std::string_view kCannotCreateTemporary = "cannot create a temporary file for";
inline constexpr std::string_view kCannotWrite = "cannot write";
inline constexpr std::string_view kCannotReplace = "cannot replace";
std::string saveFailedReason(std::string_view option, std::string_view step, std::string_view file,
                             std::string_view systemReason);

// "cannot write the output: No space left on device"; the system's reason, or kWriteError
// where it gives none.
std::string outputFailedReason(std::string_view systemReason);
inline constexpr std::string_view kWriteError = "write error";

// "--memtest 2G: Not enough memory": the block was refused when the test was to start.
std::string memtestNoBlockReason(std::string_view given);

inline constexpr std::string_view kInterrupted = "interrupted";

// Progress, on standard error.

inline constexpr std::string_view kIdentifyingProgress = "Identifying the processor...";
inline constexpr std::string_view kCpuBenchmarkProgress = "CPU benchmark...";
inline constexpr std::string_view kRamBenchmarkProgress = "RAM benchmark...";
inline constexpr std::string_view kStabilityProgress = "CPU stability test...";
inline constexpr std::string_view kMemtestProgress = "Memory test...";
// "[2/5] ", before the lines of one repetition of several.
std::string repetitionPrefix(int repetition, int repetitions);
// "CPU test: 10 s, 201 passes, 0 errors".
std::string stabilityProgressLine(int seconds, std::int64_t passes, std::int64_t errors);
// "Memory test cycle 3: 0 errors".
std::string memtestCycleLine(std::int64_t cycle, std::int64_t errors);

// The text output, around the window's captions.

inline constexpr std::string_view kEffectiveCore = "Effective core";
inline constexpr std::string_view kFreePhysical = "Free physical";
inline constexpr std::string_view kLoad = "Load";
inline constexpr std::string_view kMemoryLimit = "Memory limit";
inline constexpr std::string_view kMemoryTestBlock = "Memory test block";
inline constexpr std::string_view kNoLimit = "none";
inline constexpr std::string_view kIncompleteLine =
    "INCOMPLETE: interrupted; only what was measured before is shown.";

// The report's own MHz, one decimal: "3423.3 MHz".
std::string mhzText(double mhz);
// What the system says beside a figure: "system: 2048 Kbyte", "system TSC: 2096.0 MHz".
std::string systemCacheText(std::int64_t bytes);
std::string systemTscText(double mhz);
// The limit with the least left: "1024 MiB, 1011 MiB of it free (/sys/fs/cgroup/.../memory.max)".
std::string memoryLimitText(std::int64_t limitBytes, std::int64_t availableBytes,
                            std::string_view source);
// The block the window's RUN would test: "1000 Mb. (99 % of 1011 MiB this process may use)".
std::string memtestBlockText(std::int64_t blockMiB, int percent, std::int64_t allowanceBytes);

// "Median of 5 runs".
std::string medianOfRunsLine(std::size_t runs);
// "min 3050, max 3160, spread 3.5 %"; "-" for a spread that cannot be given.
std::string spreadText(std::int64_t min, std::int64_t max, std::optional<double> percent);
// "60 s", the stability test's length.
std::string secondsText(int seconds);
// "100 per thread, 201 in all", or "100 and 101 per thread, 201 in all" when they differ.
std::string passesText(std::span<const std::int64_t> threadPasses, std::int64_t passes);

// The comparison with a saved result.

// "Compared with before.json (2026-12-01T10:00:00Z)"; without the time when it is unknown.
std::string comparedWithLine(std::string_view file, std::string_view savedWhen);
inline constexpr std::string_view kNotePrefix = "Note: ";
inline constexpr std::string_view kWarningPrefix = "Warning: ";
// The identity figures a note names.
inline constexpr std::string_view kCpuNameFigure = "CPU name";
inline constexpr std::string_view kCpuIdentifierFigure = "CPU identifier";
inline constexpr std::string_view kTscFigure = "TSC MHz";
inline constexpr std::string_view kLogicalCpusFigure = "logical CPUs";
inline constexpr std::string_view kMemoryTotalFigure = "memory total";
inline constexpr std::string_view kKernelReleaseFigure = "kernel release";
inline constexpr std::string_view kHostnameFigure = "hostname";
// "TSC MHz differs: saved 2000.0, now 2600.0", the values as JSON shows them.
std::string differsNote(std::string_view figure, std::string_view saved, std::string_view now);
// "bench revision differs: saved 1, now 2; rows whose work changed are not comparable".
std::string revisionWarning(int saved, int now);
inline constexpr std::string_view kNoFiguresInCommon = "No benchmark figures in common.";
inline constexpr std::string_view kSavedColumn = "saved";
inline constexpr std::string_view kNowColumn = "now";
inline constexpr std::string_view kRatioColumn = "ratio";
inline constexpr std::string_view kHigherMark = "* higher";
inline constexpr std::string_view kLowerMark = "* lower";
// "* changed by more than both runs' spread (5 % for a single run)".
std::string changedFootnote(double singleRunPercent);
// What the comparison calls a score: "ALU score", "INSTR. score"; the CPU score is
// kCpuScoreName.
std::string scoreCaption(bench::Group group);

// Every core: the benchmark's copies and the stability test on each chosen CPU.

// "CPU benchmark on 4 CPUs at once..."
std::string copiesProgressLine(int copies);
// "Fibonachi digit's........ multi-core 17000 Mark (x1.98)"; "-" without a figure.
std::string multiRowLine(int row, bench::Group group, std::optional<std::int64_t> multi,
                         std::optional<double> scaling);
// "Fibonachi digit's........: wrong result in copy 1, on CPU 3".
std::string wrongCopyLine(int row, int copy, int cpu);
// "Multi-core scores (4 copies at once): ALU 60000, FPU 30000, INSTR 9000; multi-core score
// 40000" : never called the CPU score, which is one copy's.
std::string multiCoreLine(int copies, std::int32_t alu, std::int32_t fpu, std::int32_t instr,
                          std::int64_t score);
inline constexpr std::string_view kScalingHeader =
    "Row                         single      multi  scaling  slowest  fastest";
// One row of the scaling table.
std::string scalingLine(int row, std::int64_t single, std::optional<std::int64_t> multi,
                        std::optional<double> scaling, std::optional<int> slowest,
                        std::optional<int> fastest);
// "Copy 2 on CPU 2 (package 0, core 2): effective clock 3400.0 MHz".
std::string copyClockLine(int copy, int cpu, int package, int core, std::optional<double> mhz);
// "Copy 2 on CPU 2: effective clock 6.1 % below the copies' median".
std::string slowCopyLine(int copy, int cpu, double percentBelow);
// "Retesting CPU 3 alone..."
std::string retestProgressLine(int cpu);
inline constexpr std::string_view kRetestConfirmed = "confirmed";
inline constexpr std::string_view kRetestNotReproduced = "not reproduced in the retest";
// "Workload: loop, 2 CPUs".
std::string workloadLine(std::string_view workload, std::size_t cpus);
// "CPU 3 (package 0, die 0, core 3; CPUs 3,9): 120 passes, 2 errors, max 71.0 C".
std::string stabilityCpuLine(int cpu, int package, int die, int core, std::string_view siblings,
                             std::int64_t passes, std::int64_t errors,
                             std::optional<double> celsius);
// "  first error at 41.3 s, pass 51: iteration 77, before_rounding, expected 100 (0x4059...),
// got 100.00000000000001 (0x4059...)"; with a row instead of an iteration for the kernels.
std::string firstMismatchLine(double seconds, std::int64_t pass,
                              std::optional<std::int64_t> iteration,
                              std::optional<std::string_view> value, std::optional<int> row,
                              std::optional<double> expected, std::optional<double> got);
// "  retest: confirmed".
std::string retestLine(std::string_view retest);
// "Faulty: CPU 3 (package 0, die 0, core 3), CPU 5 (...)"; kNoFaultyCpu without one.
std::string faultyCpusLine(const std::vector<std::string>& cpus);
std::string faultyCpuText(int cpu, int package, int die, int core);
inline constexpr std::string_view kNoFaultyCpu = "No CPU made an error.";
// The comparison of multi-core scores.
// "multi-core scores not compared: 2 copies saved, 4 now".
std::string multiCoreNotComparedNote(int saved, int now);
inline constexpr std::string_view kMultiCoreScoreName = "Multi-core score";
// "Multi-core ALU score".
std::string multiCoreScoreCaption(bench::Group group);

}  // namespace present

namespace present {

// Thorough memory test

// --patterns and --seed in --help; `choices` are diag::patternChoices().
std::string patternsHelp(std::span<const std::string_view> choices);
inline constexpr std::string_view kSeedHelp =
    "seed of the random pattern, decimal or 0x hex (default: a random seed, printed)";
// "--patterns solid,walk: no pattern is named walk; the choices are design, thorough, ...".
std::string unknownPatternReason(std::string_view given, std::string_view name,
                                 std::span<const std::string_view> choices);
// "--patterns solid,: a pattern name is empty".
std::string emptyPatternReason(std::string_view given);
// "--seed 12x: not a number (decimal, or hexadecimal after 0x)".
std::string notASeedReason(std::string_view given);

// Progress on standard error.
// "Memory test seed 0x5eed0c0ffee (--seed repeats the run)".
std::string seedProgressLine(std::string_view seed);
inline constexpr std::string_view kBackingStage = "Backing the block";
inline constexpr std::string_view kFirstWriteStage = "First write of the block";
inline constexpr std::string_view kCeilingWriteStage = "Plain write (ceiling)";
inline constexpr std::string_view kCeilingReadStage = "Plain read (ceiling)";
// "Plain write (ceiling): 0.41 s".
std::string memtestStageLine(std::string_view stage, double seconds);
// "Cycle 1 solid phase 2/4: 0.12 s, 0 mismatches so far".
std::string memtestPhaseLine(std::int64_t cycle, std::string_view pattern, int phase, int phases,
                             double seconds, std::int64_t mismatches);
// "--memtest 2G: a thread could not be started" and the other ways the run cannot begin.
inline constexpr std::string_view kNoThreadReason = "no thread could be started";
// "--memtest 2G: the kernel could not back the block 0x1000 bytes in".
std::string noBackingReason(std::string_view given, std::int64_t offset);

// The text output.
// "Patterns thorough, seed 0x5eed0c0ffee, 1 cycle, 2 threads on CPUs 0-1".
std::string memtestSetLine(std::string_view set, const std::optional<std::string>& seed,
                           std::int64_t cycles, int threads, std::string_view cpus);
inline constexpr std::string_view kBlockLockedLine = "The block was locked in memory.";
// "The block was not locked in memory: " and one of the reasons below.
std::string notLockedLine(std::string_view reason);
inline constexpr std::string_view kLockNotPermitted =
    "locking needs root or a large enough RLIMIT_MEMLOCK";
inline constexpr std::string_view kLockOverLimit = "the block is larger than RLIMIT_MEMLOCK";
inline constexpr std::string_view kLockUnsupported = "the kernel cannot lock pages on fault";
inline constexpr std::string_view kLockFailed = "the system refused";
inline constexpr std::string_view kSmallBlockLine =
    "The block is smaller than four times the last-level cache: it tests the caches more "
    "than the memory.";
// "Ceiling: plain write 14.20 GB/s, plain read 18.90 GB/s"; "-" for a speed not measured.
std::string ceilingLine(std::optional<double> writeBytesPerSecond,
                        std::optional<double> readBytesPerSecond);
// "Pattern solid: 10.32 GB/s checked, 62 % of the ceiling, 3 errors (5.20 s)".
std::string patternSpeedLine(std::string_view pattern, std::optional<double> bytesPerSecond,
                             std::optional<double> shareOfCeiling, std::int64_t errors,
                             double seconds);
// One located mismatch; the addresses and values are hexadecimal texts, `physical` "-" where
// it is not known.
struct MismatchWords {
    std::string_view pattern;
    std::int64_t cycle = 0;
    std::string offset, virtualAddress, physical, expected, got, xorBits, reread;
    int cpu = -1;
};
std::string mismatchLine(const MismatchWords& m);
// A chunk that read wrong while none of its elements was wrong when read again.
std::string wrongReadLine(std::string_view pattern, std::int64_t cycle, std::string_view offset,
                          std::string_view xorBits);
// "... and 12 more mismatches not listed".
std::string notListedLine(std::int64_t count);
// "5 mismatches, in bits 7 and 18, found by solid and walking"; "No mismatches.".
std::string mismatchSummaryLine(std::int64_t count, std::span<const int> bits,
                                std::span<const std::string> patterns);
inline constexpr std::string_view kPhysicalNeedsRoot =
    "the kernel shows frame numbers only to root";
inline constexpr std::string_view kPhysicalNotPresent = "the page was not in memory when read";
inline constexpr std::string_view kPhysicalUnreadable = "/proc/self/pagemap could not be read";
// "Physical address -: the kernel shows frame numbers only to root".
std::string physicalUnknownLine(std::string_view reason);
inline constexpr std::string_view kGuestPhysicalLine =
    "Physical addresses are the guest's: under a hypervisor the host places the memory "
    "elsewhere.";
// "EDAC mc0 dimm0 (CPU_SrcID#0_Ha#0_Chan#0_DIMM#0): corrected 0 -> 3, uncorrected 0 -> 0".
std::string edacLine(int controller, std::string_view dimm, const std::optional<std::string>& label,
                     std::optional<std::int64_t> ceBefore, std::optional<std::int64_t> ceAfter,
                     std::optional<std::int64_t> ueBefore, std::optional<std::int64_t> ueAfter);

}  // namespace present
