// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <limits>

#include "diag/memtest.h"
#include "platform/cpu_choice.h"
#include "present/report_words.h"

namespace report {

std::optional<std::int64_t> parseSize(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [unitAt, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc() || unitAt == text.data() || value <= 0) return std::nullopt;
    const std::string unit(unitAt, end);
    int shift = 0;
    if (unit == "K" || unit == "k")
        shift = 10;
    else if (unit == "M" || unit == "m")
        shift = 20;
    else if (unit == "G" || unit == "g")
        shift = 30;
    else if (!unit.empty())
        return std::nullopt;
    if (value > (std::numeric_limits<std::int64_t>::max() >> shift)) return std::nullopt;
    return value << shift;
}

std::optional<std::uint64_t> parseSeed(const std::string& text) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    std::uint64_t value = 0;
    const auto [at, failure] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (failure != std::errc() || at != end || begin == end) return std::nullopt;
    return value;
}

std::optional<int> parsePercent(const std::string& text) {
    if (!text.ends_with('%')) return std::nullopt;
    int value = 0;
    const char* end = text.data() + text.size() - 1;
    const auto [at, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc() || at != end || at == text.data() || value < 1 || value > 100)
        return std::nullopt;
    return value;
}

platform::Expected<std::int64_t, std::string> memtestBlock(const Options& options,
                                                           std::optional<std::int64_t> allowance) {
    const auto refused = [&options](const std::string& why) {
        return platform::Unexpected{present::memtestRefusedReason(options.memtestSize, why)};
    };
    if (!allowance) return refused(std::string(present::kAllowanceUnknown));
    if (options.memtestPercent) {
        const std::int64_t bytes = diag::memTestBlockBytes(*allowance, *options.memtestPercent);
        if (bytes < kMinMemtestBytes)
            return refused(present::allowanceUnderSmallestReason(*allowance));
        return bytes;
    }
    if (!options.memtestBytes) return refused(present::notASizeReason(options.memtestSize));
    if (*options.memtestBytes > *allowance) return refused(present::allowanceReason(*allowance));
    return *options.memtestBytes;
}

namespace {

using Refusal = platform::Unexpected<EarlyExit>;

Refusal usageError(std::string reason) {
    return Refusal{EarlyExit{kExitUsage, std::move(reason)}};
}

// The command line as CLI11 reads it, before it is checked and becomes Options.
struct CommandLine {
    CLI::App app{std::string(present::kReportDescription), std::string(present::kReportProgram)};
    std::string format = "text";
    bool json = false;
    std::string bench;
    int repeat = 1;
    std::string saveFile, compareFile, htmlFile, fromFile;
    int stabilitySeconds = 0;
    std::string memtestSize;
    int memtestPasses = 1;
    std::string patterns = "design";
    std::string seed;
    std::string cpus;
    CLI::Option* seedOption = nullptr;
    std::string workload = "loop";
    CLI::Option* cpusOption = nullptr;
    CLI::Option* workloadOption = nullptr;
    CLI::Option* benchOption = nullptr;
    CLI::Option* saveOption = nullptr;
    CLI::Option* htmlOption = nullptr;
    CLI::Option* fromOption = nullptr;
    CLI::Option* compareOption = nullptr;
    CLI::Option* stabilityOption = nullptr;
    CLI::Option* memtestOption = nullptr;
};

// What is printed and where: --format, --json, --save, --version; and the exit statuses.
void addOutputOptions(CommandLine& c) {
    auto* format = c.app.add_option("--format", c.format, std::string(present::kFormatHelp))
                       ->check(CLI::IsMember({"text", "json", "openmetrics"}));
    c.app.add_flag("--json", c.json, std::string(present::kJsonHelp))->excludes(format);
    c.saveOption =
        c.app.add_option("--save", c.saveFile, std::string(present::kSaveHelp))->type_name("FILE");
    c.htmlOption =
        c.app.add_option("--html", c.htmlFile, std::string(present::kHtmlHelp))->type_name("FILE");
    c.fromOption =
        c.app.add_option("--from", c.fromFile, std::string(present::kFromHelp))->type_name("FILE");
    c.app.set_version_flag("--version", present::reportVersionLine(),
                           std::string(present::kVersionHelp));
    c.app.footer(std::string(present::kReportExitStatus));
}

// --bench, --repeat, --compare.
void addBenchmarkOptions(CommandLine& c) {
    c.benchOption = c.app.add_option("--bench", c.bench, std::string(present::kBenchHelp))
                        ->check(CLI::IsMember({"cpu", "ram", "all"}));
    c.app.add_option("--repeat", c.repeat, std::string(present::kRepeatHelp))
        ->check(CLI::Range(1, 100))
        ->type_name("N")
        ->needs(c.benchOption);
    c.compareOption =
        c.app.add_option("--compare", c.compareFile, std::string(present::kCompareHelp))
            ->type_name("FILE");
}

// --stability, --memtest, --passes, --patterns, --seed.
void addTestOptions(CommandLine& c) {
    c.stabilityOption =
        c.app.add_option("--stability", c.stabilitySeconds, std::string(present::kStabilityHelp))
            ->check(CLI::Range(1, 7 * 24 * 3600))
            ->type_name("SECONDS");
    c.memtestOption =
        c.app.add_option("--memtest", c.memtestSize, std::string(present::kMemtestHelp))
            ->type_name("SIZE");
    c.app.add_option("--passes", c.memtestPasses, std::string(present::kPassesHelp))
        ->check(CLI::Range(1, 1'000'000))
        ->needs(c.memtestOption);
    c.app.add_option("--patterns", c.patterns, present::patternsHelp(diag::patternChoices()))
        ->type_name("design|thorough|NAME,...")
        ->needs(c.memtestOption);
    c.seedOption = c.app.add_option("--seed", c.seed, std::string(present::kSeedHelp))
                       ->type_name("N")
                       ->needs(c.memtestOption);
    c.cpusOption =
        c.app.add_option("--cpus", c.cpus, std::string(present::kCpusHelp))->type_name("all|LIST");
    c.workloadOption =
        c.app.add_option("--workload", c.workload, std::string(present::kWorkloadHelp))
            ->check(CLI::IsMember({"loop", "kernels", "vector", "all"}));
}

// The output options as read; a comparison has no OpenMetrics form.
platform::Expected<void, EarlyExit> takeOutput(const CommandLine& c, Options& options) {
    const std::string format = c.json ? "json" : c.format;
    options.format = format == "json"          ? Format::Json
                     : format == "openmetrics" ? Format::OpenMetrics
                                               : Format::Text;
    if (c.saveOption->count() > 0) options.saveFile = c.saveFile;
    if (c.htmlOption->count() > 0) options.htmlFile = c.htmlFile;
    if (c.fromOption->count() > 0) options.fromFile = c.fromFile;
    if (c.compareOption->count() > 0) {
        if (options.format == Format::OpenMetrics)
            return usageError(std::string(present::kCompareHasNoOpenMetrics));
        options.compareFile = c.compareFile;
    }
    return {};
}

// The jobs as read, and the memory test's SIZE as a size or a percentage.
platform::Expected<void, EarlyExit> takeJobs(const CommandLine& c, Options& options) {
    options.benchCpu = c.bench == "cpu" || c.bench == "all";
    options.benchRam = c.bench == "ram" || c.bench == "all";
    options.repeat = c.repeat;
    if (c.stabilityOption->count() > 0) options.stabilitySeconds = c.stabilitySeconds;
    options.memtestPasses = c.memtestPasses;
    if (c.cpusOption->count() > 0) {
        if (!options.benchCpu && !options.stabilitySeconds && c.memtestOption->count() == 0)
            return usageError(std::string(present::kCpusNeedAJob));
        if (const auto request = platform::parseCpuRequest(c.cpus); !request)
            return usageError(present::cpusRefusedReason(c.cpus, request.error()));
        options.cpus = c.cpus;
    }
    if (c.workloadOption->count() > 0 && (!options.stabilitySeconds || !options.cpus))
        return usageError(std::string(present::kWorkloadNeedsCpus));
    options.workload = c.workload;
    if (c.memtestOption->count() == 0) return {};
    options.memtestSize = c.memtestSize;
    options.memtestPercent = parsePercent(c.memtestSize);
    if (options.memtestPercent) return {};
    options.memtestBytes = parseSize(c.memtestSize);
    if (!options.memtestBytes) return usageError(present::notASizeReason(c.memtestSize));
    if (*options.memtestBytes < kMinMemtestBytes)
        return usageError(present::underSmallestTestReason(c.memtestSize));
    return {};
}

// The patterns by name and the seed as a number.
platform::Expected<void, EarlyExit> takePatterns(const CommandLine& c, Options& options) {
    const auto patterns = diag::parsePatternSet(c.patterns);
    if (!patterns) {
        if (patterns.error().kind == diag::PatternSetError::Kind::Empty)
            return usageError(present::emptyPatternReason(c.patterns));
        return usageError(present::unknownPatternReason(c.patterns, patterns.error().name,
                                                        diag::patternChoices()));
    }
    options.patternsText = c.patterns;
    options.patterns = *patterns;
    if (c.seedOption->count() == 0) return {};
    options.seed = parseSeed(c.seed);
    if (!options.seed) return usageError(present::notASeedReason(c.seed));
    return {};
}

// A run renders a saved result or measures, never both; and a comparison needs benchmarks to
// compare, measured now or in the saved result.
platform::Expected<void, EarlyExit> checkSource(const CommandLine& c, const Options& options) {
    const bool measures = c.benchOption->count() > 0 || c.stabilityOption->count() > 0 ||
                          c.memtestOption->count() > 0 || c.cpusOption->count() > 0 ||
                          c.workloadOption->count() > 0;
    if (options.fromFile && measures) return usageError(std::string(present::kFromMeasuresNothing));
    if (options.compareFile && !options.fromFile && c.benchOption->count() == 0)
        return usageError(std::string(present::kCompareNeedsBench));
    return {};
}

}  // namespace

platform::Expected<Options, EarlyExit> parseOptions(const std::vector<std::string>& arguments) {
    CommandLine c;
    addOutputOptions(c);
    addBenchmarkOptions(c);
    addTestOptions(c);
    // CLI11 takes the arguments as a stack, the first one last.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        c.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return Refusal{EarlyExit{kExitAllWell, c.app.help()}};
    } catch (const CLI::CallForVersion& version) {
        return Refusal{EarlyExit{kExitAllWell, std::string(version.what()) + "\n"}};
    } catch (const CLI::ParseError& error) {
        return usageError(error.what());
    }
    Options options;
    if (const auto output = takeOutput(c, options); !output) return Refusal{output.error()};
    if (const auto jobs = takeJobs(c, options); !jobs) return Refusal{jobs.error()};
    if (const auto patterns = takePatterns(c, options); !patterns) return Refusal{patterns.error()};
    if (const auto source = checkSource(c, options); !source) return Refusal{source.error()};
    return options;
}

}  // namespace report

namespace report {

platform::Expected<platform::CpuChoice, std::string> chooseRunCpus(
    const Options& options, const platform::Sources& sources) {
    const std::string request = options.cpus.value_or("all");
    auto choice = platform::chooseCpus(request, sources.allowedCpus(), sources.cpuQuota(),
                                       sources.cpuTopology());
    if (!choice) return platform::Unexpected{present::cpusRefusedReason(request, choice.error())};
    return choice;
}

}  // namespace report
