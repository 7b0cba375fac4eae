// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of corvane-report.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diag/patterns.h"
#include "platform/cpu_choice.h"
#include "platform/expected.h"
#include "platform/sources.h"

namespace report {

// The exit statuses, as --help and the manual page give them.
inline constexpr int kExitAllWell = 0;
// A stability or memory test found an error, or a benchmark row's work came out wrong.
inline constexpr int kExitErrorsFound = 1;
// A usage error, an unusable --compare file or a failed write.
inline constexpr int kExitUsage = 2;
// Ctrl-C: what was measured so far is printed, marked incomplete.
inline constexpr int kExitInterrupted = 130;

enum class Format { Text, Json, OpenMetrics };

struct Options {
    Format format = Format::Text;
    int repeat = 1;
    std::optional<std::string> saveFile;
    std::optional<std::string> compareFile;
    std::optional<std::string> htmlFile;  // the page of the figures
    std::optional<std::string> fromFile;  // render this saved result instead of measuring
    bool benchCpu = false;
    bool benchRam = false;
    std::optional<int> stabilitySeconds;
    // --memtest as given, and what it asks for: a size in bytes or a percentage of the
    // memory this process may take, which only the run can know.
    std::string memtestSize;
    std::optional<std::int64_t> memtestBytes;
    std::optional<int> memtestPercent;
    int memtestPasses = 1;  // cycles of the chosen patterns
    // --patterns as given and as parsed; "design" is the window's own cycle.
    std::string patternsText = "design";
    diag::PatternSet patterns = diag::PatternSet::design();
    // --seed; without it the run draws one and prints it.
    std::optional<std::uint64_t> seed;
    // --cpus as given: "all" or a cpulist; the run resolves it (chooseRunCpus).
    std::optional<std::string> cpus;
    // What the stability test with --cpus runs: "loop", "kernels", "vector" or "all".
    std::string workload = "loop";

    bool memtest() const { return memtestBytes || memtestPercent; }
    // The window's designed cycle alone, which keeps its own run and output.
    bool designedMemtest() const { return patterns == diag::PatternSet::design(); }
};

// What parsing asks the program to do instead of running: exit with `status`, after
// printing `text`: the help or the version for kExitAllWell, otherwise the reason the command
// line is refused.
struct EarlyExit {
    int status = kExitAllWell;
    std::string text;
};

platform::Expected<Options, EarlyExit> parseOptions(const std::vector<std::string>& arguments);

// The smallest memory test worth running: smaller blocks round to no whole MiB.
inline constexpr std::int64_t kMinMemtestBytes = std::int64_t{1} << 20;

// "512M", "1G", "65536", "64K": binary multiples; nullopt for anything else, 0, or a size
// that does not fit in 64 bits.
std::optional<std::int64_t> parseSize(const std::string& text);

// "12345" or "0x5eed": a seed of 64 bits; nullopt for anything else.
std::optional<std::uint64_t> parseSeed(const std::string& text);

// "90%": a whole percentage from 1 to 100; nullopt for anything else.
std::optional<int> parsePercent(const std::string& text);

// The block --memtest asks for when this process may take `allowance` bytes (empty: that
// cannot be known), or the reason it is refused: a size above the allowance would get the
// process killed by its memory cgroup, or make the desktop thrash, instead of testing.
platform::Expected<std::int64_t, std::string> memtestBlock(const Options& options,
                                                           std::optional<std::int64_t> allowance);

// The CPUs --cpus asks for ("all" without it) on the machine of `sources`, or the reason the
// list is refused: a CPU this process may not run on.
platform::Expected<platform::CpuChoice, std::string> chooseRunCpus(
    const Options& options, const platform::Sources& sources);

}  // namespace report
