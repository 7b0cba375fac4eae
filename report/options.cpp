// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <limits>

#include "diag/memtest.h"

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
        return platform::Unexpected{"corvane-report: --memtest " + options.memtestSize + ": " +
                                    why};
    };
    if (!allowance) return refused("the memory this process may use cannot be read");
    const std::string allowed = "only " + std::to_string(*allowance / 1'048'576) +
                                " MiB of memory may be used by this process";
    if (options.memtestPercent) {
        const std::int64_t bytes = diag::memTestBlockBytes(*allowance, *options.memtestPercent);
        if (bytes < kMinMemtestBytes) return refused(allowed + ", under the smallest test, 1M");
        return bytes;
    }
    if (!options.memtestBytes) return refused("not a size");
    if (*options.memtestBytes > *allowance) return refused(allowed);
    return *options.memtestBytes;
}

platform::Expected<Options, EarlyExit> parseOptions(const std::vector<std::string>& arguments) {
    CLI::App app{
        "Prints what Corvane's window shows: processor and memory figures, and on request the\n"
        "CPU and memory benchmarks and the stability tests. Exit status: 0 when all went well,\n"
        "1 when a stability test found an error, 2 for a usage error, an unusable --compare\n"
        "file or a failed write.",
        "corvane-report"};
    Options options;
    std::string bench;
    std::string memtestSize;
    std::string format = "text";
    std::string saveFile, compareFile;
    int stability = 0;
    auto* formatOption =
        app.add_option("--format", format, "text, json (one JSON object) or openmetrics")
            ->check(CLI::IsMember({"text", "json", "openmetrics"}));
    bool json = false;
    app.add_flag("--json", json, "the same as --format json")->excludes(formatOption);
    auto* benchOption = app.add_option("--bench", bench, "run a benchmark: cpu, ram or all")
                            ->check(CLI::IsMember({"cpu", "ram", "all"}));
    app.add_option("--repeat", options.repeat, "run the benchmarks N times (default 1)")
        ->check(CLI::Range(1, 100))
        ->type_name("N")
        ->needs(benchOption);
    auto* saveOption =
        app.add_option("--save", saveFile, "also write the JSON object to FILE")->type_name("FILE");
    auto* compareOption =
        app.add_option("--compare", compareFile, "compare the benchmarks with a saved FILE")
            ->type_name("FILE")
            ->needs(benchOption);
    auto* stabilityOption =
        app.add_option("--stability", stability, "run the CPU stability test for SECONDS")
            ->check(CLI::Range(1, 7 * 24 * 3600))
            ->type_name("SECONDS");
    auto* memtest =
        app.add_option("--memtest", memtestSize,
                       "run the memory test on SIZE bytes (suffix K, M or G), or on a share of "
                       "the memory this process may use (90%; 99% is the window's size)")
            ->type_name("SIZE");
    app.add_option("--passes", options.memtestPasses, "memory test cycles (default 1)")
        ->check(CLI::Range(1, 1'000'000))
        ->needs(memtest);

    // CLI11 takes the arguments as a stack, the first one last.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return platform::Unexpected{EarlyExit{0, app.help()}};
    } catch (const CLI::ParseError& error) {
        return platform::Unexpected{
            EarlyExit{2, std::string("corvane-report: ") + error.what() + "\n"}};
    }

    if (json) format = "json";
    options.format = format == "json"          ? Format::Json
                     : format == "openmetrics" ? Format::OpenMetrics
                                               : Format::Text;
    if (saveOption->count() > 0) options.saveFile = saveFile;
    if (compareOption->count() > 0) {
        if (options.format == Format::OpenMetrics)
            return platform::Unexpected{
                EarlyExit{2, "corvane-report: --compare has no OpenMetrics form\n"}};
        options.compareFile = compareFile;
    }
    options.benchCpu = bench == "cpu" || bench == "all";
    options.benchRam = bench == "ram" || bench == "all";
    if (stabilityOption->count() > 0) options.stabilitySeconds = stability;
    if (memtest->count() > 0) {
        options.memtestSize = memtestSize;
        options.memtestPercent = parsePercent(memtestSize);
        if (!options.memtestPercent) {
            options.memtestBytes = parseSize(memtestSize);
            if (!options.memtestBytes)
                return platform::Unexpected{
                    EarlyExit{2, "corvane-report: --memtest: not a size: " + memtestSize + "\n"}};
            if (*options.memtestBytes < kMinMemtestBytes)
                return platform::Unexpected{
                    EarlyExit{2, "corvane-report: --memtest: " + memtestSize +
                                     " is under the smallest test, 1M\n"}};
        }
    }
    return options;
}

}  // namespace report
