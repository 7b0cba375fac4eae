// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-report: Corvane's figures without a window.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/kernel_table.h"
#include "platform/sources.h"
#include "platform/x87.h"
#include "present/words.h"
#include "report/collect.h"
#include "report/compare.h"
#include "report/options.h"
#include "report/repeat.h"
#include "report/save.h"
#include "sysinfo/sweep.h"

namespace {

using report::Format;

std::string jsonText(const nlohmann::json& json) {
    // System strings that are not UTF-8 must not end the program after a long run.
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string rendered(const report::Report& result, Format format,
                     const std::optional<report::Comparison>& comparison) {
    switch (format) {
        case Format::Json: {
            nlohmann::json json = result;
            if (comparison) json["compare"] = report::compareJson(*comparison);
            return jsonText(json);
        }
        case Format::OpenMetrics:
            return report::renderOpenMetrics(result);
        case Format::Text:
            break;
    }
    return report::renderText(result) +
           (comparison ? report::renderCompareText(*comparison) : std::string());
}

// Ctrl-C: prints the figures measured so far, marked incomplete, and ends with status 130.
// A thread of its own takes the signal, so printing is ordinary code rather than a signal
// handler; the main thread keeps the copy it prints up to date.
class Interruption {
  public:
    explicit Interruption(Format format) : format_(format) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        // Blocked before any other thread starts, so every thread inherits it.
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::thread([this, set] {
            int signal = 0;
            sigwait(&set, &signal);
            {
                std::lock_guard lock(mutex_);
                if (!finishing_) {
                    soFar_.incomplete = true;
                    std::fputs("corvane-report: interrupted\n", stderr);
                    report::writeAll(stdout, rendered(soFar_, format_, std::nullopt));
                }
            }
            _exit(130);
        }).detach();
    }

    template <class Change>
    void update(Change change) {
        std::lock_guard lock(mutex_);
        change(soFar_);
    }

    // The complete output is about to be written: Ctrl-C from now on only ends the program.
    void finishing() {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }

  private:
    Format format_;
    std::mutex mutex_;
    report::Report soFar_;
    bool finishing_ = false;
};

// The block --memtest asks for, given what this process may take now; empty, with the
// reason on standard error, when it is refused.
std::optional<std::int64_t> memtestBlock(const report::Options& options,
                                         const platform::Sources& sources) {
    const auto allowance = sources.memoryAllowance();
    const auto block =
        report::memtestBlock(options, allowance ? std::optional(allowance->bytes) : std::nullopt);
    if (!block) {
        std::fprintf(stderr, "%s\n", block.error().c_str());
        return std::nullopt;
    }
    return *block;
}

report::Progress repetitionProgress(const report::Progress& progress, int repetition,
                                    int repetitions) {
    if (repetitions == 1) return progress;
    const std::string prefix =
        "[" + std::to_string(repetition) + "/" + std::to_string(repetitions) + "] ";
    return [progress, prefix](const std::string& line) { progress(prefix + line); };
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = report::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed) {
        const report::EarlyExit& early = parsed.error();
        std::fputs(early.text.c_str(), early.status == 0 ? stdout : stderr);
        return early.status;
    }
    const report::Options& options = *parsed;
    const platform::Sources sources;  // the live machine

    // Everything that can make the run useless is checked before it starts.
    std::optional<report::Report> saved;
    if (options.compareFile) {
        auto loaded = report::loadSaved(*options.compareFile);
        if (!loaded) {
            std::fprintf(stderr, "%s\n", loaded.error().c_str());
            return 2;
        }
        saved = std::move(*loaded);
    }
    if (options.saveFile) {
        std::filesystem::path directory = std::filesystem::path(*options.saveFile).parent_path();
        std::error_code ignored;
        if (!std::filesystem::is_directory(directory.empty() ? "." : directory, ignored)) {
            std::fprintf(stderr, "corvane-report: --save: %s: no such directory\n",
                         directory.c_str());
            return 2;
        }
    }
    // Refused before anything is mapped; checked once more before the block is, as the runs
    // before it take memory of their own.
    if (options.memtest() && !memtestBlock(options, sources)) return 2;

    Interruption interruption(options.format);

    // The same floating-point setting and memory backing the window starts with.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    sysinfo::backSweepBuffer();

    const report::Progress progress = [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
    };
    report::Report result;
    progress("Identifying the processor...");
    result.cpu = report::collectCpu(sources);
    result.memory = report::collectMemory(sources);
    result.machine = report::collectMachine(result.cpu, result.memory);
    interruption.update([&](report::Report& soFar) { soFar = result; });

    if (options.benchCpu) {
        progress("CPU benchmark...");
        std::vector<report::BenchFigures> repetitions;
        for (int k = 1; k <= options.repeat; ++k) {
            report::BenchFigures partial;  // this repetition's rows, for an interruption
            const auto rowDone = [&](const report::BenchRow& row) {
                partial.rows.push_back(row);
                if (repetitions.empty())
                    interruption.update([&](report::Report& soFar) { soFar.bench = partial; });
            };
            repetitions.push_back(report::runCpuBenchmark(
                bench::kKernelTable, repetitionProgress(progress, k, options.repeat), rowDone));
            result.bench = report::combineBench(repetitions);
            interruption.update([&](report::Report& soFar) { soFar.bench = result.bench; });
        }
    }
    if (options.benchRam) {
        progress("RAM benchmark...");
        std::vector<report::RamBenchFigures> repetitions;
        for (int k = 1; k <= options.repeat; ++k) {
            repetitions.push_back(
                report::runRamBenchmark(repetitionProgress(progress, k, options.repeat), sources));
            result.ramBench = report::combineRam(repetitions);
            interruption.update([&](report::Report& soFar) { soFar.ramBench = result.ramBench; });
        }
    }
    if (options.stabilitySeconds) {
        progress("CPU stability test...");
        result.stability = report::runStability(
            *options.stabilitySeconds, progress, [&](const report::StabilityFigures& figures) {
                interruption.update([&](report::Report& soFar) { soFar.stability = figures; });
            });
        interruption.update([&](report::Report& soFar) { soFar.stability = result.stability; });
    }
    if (options.memtest()) {
        const auto bytes = memtestBlock(options, sources);
        if (!bytes) return 2;
        progress("Memory test...");
        const auto memtest = report::runMemtest(
            *bytes, options.memtestPasses, progress, sources,
            [&](const report::MemtestFigures& figures) {
                interruption.update([&](report::Report& soFar) { soFar.memtest = figures; });
            });
        if (!memtest) {
            std::fprintf(stderr, "corvane-report: --memtest %s: %s\n", options.memtestSize.c_str(),
                         std::string(present::kNotEnoughMemory).c_str());
            return 2;
        }
        result.memtest = *memtest;
    }

    interruption.finishing();
    std::optional<report::Comparison> comparison;
    if (saved) comparison = report::compareResults(*saved, result, *options.compareFile);
    if (const auto written = report::writeAll(stdout, rendered(result, options.format, comparison));
        !written) {
        std::fprintf(stderr, "%s\n", written.error().c_str());
        return 2;
    }
    if (options.saveFile) {
        if (const auto stored = report::saveAtomically(*options.saveFile, jsonText(result));
            !stored) {
            std::fprintf(stderr, "%s\n", stored.error().c_str());
            return 2;
        }
    }
    return result.foundErrors() ? 1 : 0;
}
