// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The words of the HTML page of a result: its headings, column heads, legends and the units
// of figures the window never shows. A figure the window shows keeps the window's own words
// (captions.h, words.h), so the page, the window and the text report never disagree.

#include <cstdint>
#include <string>
#include <string_view>

#include "bench/kernel_table.h"

namespace present::page {

// The document.
inline constexpr std::string_view kHeading = "Corvane measurement report";
inline constexpr std::string_view kContents = "Contents";
inline constexpr std::string_view kMeasured = "Measured";
inline constexpr std::string_view kRenderedFrom = "Rendered from";
inline constexpr std::string_view kIncomplete =
    "Incomplete: interrupted; only what was measured before is shown.";
inline constexpr std::string_view kTitleSeparator = " \u2014 ";

// The sections. "CPU Benchmark" and "RAM Benchmark" are the window's own tabs.
inline constexpr std::string_view kMachineSection = "Machine";
inline constexpr std::string_view kCacheSection = "Cache and memory";
inline constexpr std::string_view kCoresSection = "Every core";
inline constexpr std::string_view kMemtestSection = "Memory test";

// "Machine".
inline constexpr std::string_view kIdentityTable = "Identity";
inline constexpr std::string_view kEffectiveCore = "Effective core";
inline constexpr std::string_view kSystemSays = "system: ";
inline constexpr std::string_view kSystemTsc = "system TSC: ";
inline constexpr std::string_view kKernel = "Kernel";
inline constexpr std::string_view kHostname = "Host name";
inline constexpr std::string_view kProcessorsTable = "Processors";
inline constexpr std::string_view kLogicalCpus = "Logical CPUs";
inline constexpr std::string_view kPhysicalCores = "Physical cores";
inline constexpr std::string_view kPackages = "Packages";
inline constexpr std::string_view kSmt = "Simultaneous multithreading";
inline constexpr std::string_view kAllowedCpus = "Allowed CPUs";
inline constexpr std::string_view kCpuQuota = "CPU quota";
inline constexpr std::string_view kCpusUnit = " CPUs";
inline constexpr std::string_view kHypervisor = "Hypervisor";
inline constexpr std::string_view kTopologyTable = "Topology";
inline constexpr std::string_view kPackage = "Package";
inline constexpr std::string_view kDie = "Die";
inline constexpr std::string_view kCore = "Core";
inline constexpr std::string_view kCpu = "CPU";
inline constexpr std::string_view kCpus = "CPUs";
inline constexpr std::string_view kKind = "Kind";
inline constexpr std::string_view kMemoryTable = "Memory";
inline constexpr std::string_view kMemoryInUseChart = "Memory in use";
inline constexpr std::string_view kMemoryLimit = "Memory limit";
inline constexpr std::string_view kMemoryLimitFree = " of it free";
inline constexpr std::string_view kNone = "none";
inline constexpr std::string_view kBuildTable = "Build";
inline constexpr std::string_view kVersion = "Corvane version";
inline constexpr std::string_view kBuildType = "Build type";
inline constexpr std::string_view kBenchRevision = "Benchmark revision";
inline constexpr std::string_view kSchema = "Result schema";
inline constexpr std::string_view kYes = "yes";
inline constexpr std::string_view kNo = "no";
inline constexpr std::string_view kOfWhole = " of ";

// "Cache and memory".
inline constexpr std::string_view kSweepChart = "Memory sweep rate against block size";
inline constexpr std::string_view kBlockSize = "Block size";
inline constexpr std::string_view kSweepRate = "Sweep rate";
inline constexpr std::string_view kFirstRound = "First round";
inline constexpr std::string_view kConfirmedRound = "Confirmed";
inline constexpr std::string_view kSweepLegend =
    "Solid line, circles: the first round. Dashed line, squares: the rates the size is read "
    "from. Solid mark: the size the timing found; dashed marks: the sizes the system reports.";
inline constexpr std::string_view kSweepTable = "Sweep rates";
inline constexpr std::string_view kTimed = "timed";
inline constexpr std::string_view kSystem = "system";
inline constexpr std::string_view kSystemCachesTable = "Caches the system reports";
inline constexpr std::string_view kLevel = "Level";
inline constexpr std::string_view kType = "Type";
inline constexpr std::string_view kSize = "Size";
inline constexpr std::string_view kBeyondChart = "beyond the chart";
inline constexpr std::string_view kRamChart = "Memory write and read speed";

// Figures over repetitions.
inline constexpr std::string_view kMedian = "Median";
inline constexpr std::string_view kMin = "Min";
inline constexpr std::string_view kMax = "Max";
inline constexpr std::string_view kSpread = "Spread";
// "Median of 5 runs".
std::string medianOfText(std::int64_t runs);
// What a whisker shows: "Line across a bar: the slowest and fastest of 5 runs."
std::string whiskerLegend(std::int64_t runs);

// "CPU Benchmark".
// "Rows in Mark", "Rows in Mln. instr/s".
std::string rowsChartTitle(bench::Group group);
inline constexpr std::string_view kRow = "Row";
inline constexpr std::string_view kResult = "Result";
inline constexpr std::string_view kWork = "Work";
inline constexpr std::string_view kRight = "right";
inline constexpr std::string_view kWrongMark = "\u2716 ";
inline constexpr std::string_view kWrongShort = "\u2716 wrong result";
inline constexpr std::string_view kWrongLegend =
    "\u2716 and hatching: the row's work came out wrong; the processor made an error under load.";
// A wrong result's detail: "count 3: expected 5, got 7".
std::string wrongDetailText(std::string_view slot, std::string_view expected, std::string_view got);
inline constexpr std::string_view kScoresTable = "Scores";
inline constexpr std::string_view kScore = "Score";
inline constexpr std::string_view kRowsTable = "Rows";

// The comparison with a saved run.
inline constexpr std::string_view kComparedWith = "Compared with ";
inline constexpr std::string_view kNote = "Note: ";
inline constexpr std::string_view kWarning = "Warning: ";
inline constexpr std::string_view kChangeChart = "Change against the saved run";
inline constexpr std::string_view kChangeAxis = "Change, %";
inline constexpr std::string_view kFigure = "Figure";
inline constexpr std::string_view kSaved = "Saved";
inline constexpr std::string_view kNow = "Now";
inline constexpr std::string_view kRatio = "Ratio";
inline constexpr std::string_view kNoiseBand = "Noise band";
inline constexpr std::string_view kChange = "Change";
inline constexpr std::string_view kHigher = "* higher";
inline constexpr std::string_view kLower = "* lower";
// "* changed by more than both runs' spread (5 % for a single run); the grey band ...".
std::string changeLegend(double singleRunPercent);
inline constexpr std::string_view kNoFiguresInCommon = "No benchmark figures in common.";

// "Every core".
inline constexpr std::string_view kAllCopies = "All copies together";
inline constexpr std::string_view kCopies = "Copies";
inline constexpr std::string_view kScalingChart = "Scaling: all copies against one";
inline constexpr std::string_view kScalingAxis = "times one copy";
// The ideal scaling's mark: "2 copies".
std::string copiesText(std::int64_t copies);
inline constexpr std::string_view kAllCopiesShort = "All copies";
inline constexpr std::string_view kScaling = "Scaling";
inline constexpr std::string_view kSlowestCopy = "Slowest copy";
inline constexpr std::string_view kFastestCopy = "Fastest copy";
inline constexpr std::string_view kCopySpreadChart = "Slowest copy against the fastest";
inline constexpr std::string_view kCopySpreadAxis = "% of the fastest copy";
inline constexpr std::string_view kCopiesTable = "Copies";
inline constexpr std::string_view kCopy = "Copy";
inline constexpr std::string_view kEffectiveClock = "Effective clock";
inline constexpr std::string_view kRowsWrong = "Rows wrong";
inline constexpr std::string_view kCoreMapChart = "Cores by package";
inline constexpr std::string_view kCoreMapLegend =
    "\u2716, a heavy border and hatching: the core made errors in the stability test or a "
    "wrong benchmark result.";
inline constexpr std::string_view kCoresTable = "Cores";
inline constexpr std::string_view kPasses = "Passes";
inline constexpr std::string_view kErrorCount = "Errors";
inline constexpr std::string_view kFirstError = "First error";
inline constexpr std::string_view kRetest = "Retest";
inline constexpr std::string_view kMaxTemperature = "Highest temperature";
inline constexpr std::string_view kWorkload = "Workload";
// "3 errors", "1 error".
std::string errorsText(std::int64_t errors);
inline constexpr std::string_view kMismatchTable = "First mismatch of each CPU";
inline constexpr std::string_view kPass = "Pass";
inline constexpr std::string_view kIteration = "Iteration";
inline constexpr std::string_view kValue = "Value";
inline constexpr std::string_view kExpected = "Expected";
inline constexpr std::string_view kGot = "Got";
inline constexpr std::string_view kExpectedBits = "Expected bits";
inline constexpr std::string_view kGotBits = "Got bits";
inline constexpr std::string_view kStabilityTable = "Stability test";
inline constexpr std::string_view kDuration = "Duration";
inline constexpr std::string_view kPassesChart = "Passes per thread";
inline constexpr std::string_view kThread = "Thread";

// "Memory test".
inline constexpr std::string_view kPatternsSet = "Patterns";
inline constexpr std::string_view kSeed = "Seed";
inline constexpr std::string_view kCycles = "Cycles";
inline constexpr std::string_view kThreads = "Threads";
inline constexpr std::string_view kLocked = "Locked in memory";
inline constexpr std::string_view kSmallBlock =
    "The block is smaller than four times the last-level cache: part of it was timed in the "
    "cache.";
inline constexpr std::string_view kCeilingWrite = "Ceiling, write";
inline constexpr std::string_view kCeilingRead = "Ceiling, read";
inline constexpr std::string_view kPatternChart = "Pattern speed against the ceiling";
inline constexpr std::string_view kPatternAxis = "% of the ceiling";
inline constexpr std::string_view kCeiling = "ceiling";
inline constexpr std::string_view kPatternsTable = "Patterns";
inline constexpr std::string_view kPattern = "Pattern";
inline constexpr std::string_view kTime = "Time";
inline constexpr std::string_view kChecked = "Checked";
inline constexpr std::string_view kSpeed = "Speed";
inline constexpr std::string_view kShareOfCeiling = "Share of the ceiling";
inline constexpr std::string_view kPatternLegend = "\u2716 and hatching: the pattern found errors.";
inline constexpr std::string_view kBitChart = "Failures per bit";
inline constexpr std::string_view kBitAxis = "bit";
inline constexpr std::string_view kBitLegend =
    "Hatched bars with their count: the bits that read wrong.";
inline constexpr std::string_view kBitsTable = "Failures per bit";
inline constexpr std::string_view kBits = "Bits";
inline constexpr std::string_view kMismatchesTable = "Located mismatches";
inline constexpr std::string_view kCycle = "Cycle";
inline constexpr std::string_view kOffset = "Offset";
inline constexpr std::string_view kVirtual = "Virtual";
inline constexpr std::string_view kPhysical = "Physical";
inline constexpr std::string_view kXor = "XOR";
inline constexpr std::string_view kReread = "Reread";
// "12 more mismatches not listed".
std::string notListedText(std::int64_t count);
inline constexpr std::string_view kPhysicalUnknown = "Physical addresses unknown: ";
inline constexpr std::string_view kEdacChart = "New memory errors per DIMM";
inline constexpr std::string_view kEdacAxis = "errors counted during the test";
inline constexpr std::string_view kEdacTable = "Memory controllers' error counters";
inline constexpr std::string_view kController = "Controller";
inline constexpr std::string_view kDimm = "DIMM";
inline constexpr std::string_view kLabel = "Label";
inline constexpr std::string_view kCorrectedBefore = "Corrected, before";
inline constexpr std::string_view kCorrectedAfter = "Corrected, after";
inline constexpr std::string_view kUncorrectedBefore = "Uncorrected, before";
inline constexpr std::string_view kUncorrectedAfter = "Uncorrected, after";
// "3 corrected, 1 uncorrected".
std::string edacChangeText(std::int64_t corrected, std::int64_t uncorrected);
// "showing the first 500 of 2000".
std::string rowsShownText(std::int64_t shown, std::int64_t all);

// Units and figures the window has no words for.

// A row result's unit as the window's result label writes it: "Mark", "Mln. instr/s".
std::string resultUnit(bench::Group group);
// The memory speeds' unit as the window writes it: "Mb/sec".
std::string speedUnit();
// "3412.3 MHz", as the text report writes a clock.
std::string mhzText(double mhz);
// "71.5 °C".
std::string celsiusText(double celsius);
// "3.5 %"; "+3.5 %" with a sign.
std::string percentText(double percent, int decimals = 1);
std::string signedPercentText(double percent);
// "1.93 ×".
std::string scalingText(double times);
// "0.412 s"; "60 s".
std::string secondsText(double seconds);
std::string wholeSecondsText(std::int64_t seconds);
// A ratio as the text report writes it: "1.034".
std::string ratioText(double ratio);
// A size in binary units, whole where it is whole: "48 KiB", "1.25 MiB", "32 MiB", "512 B".
std::string bytesText(std::int64_t bytes);
// A whole number with a fixed count of decimals: "1.5".
std::string decimalText(double value, int decimals);
// "L2 Unified", "L1 Data".
std::string cacheLevelText(std::int64_t level, std::string_view type);

}  // namespace present::page
