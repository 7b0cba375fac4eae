// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-report: Corvane's figures without a window. main reads as the run goes: the
// command line, what can make the run useless, the jobs, the output, the exit status.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/kernel_table.h"
#include "diag/memtest.h"
#include "diag/thorough.h"
#include "platform/sources.h"
#include "platform/x87.h"
#include "present/report_words.h"
#include "report/collect.h"
#include "report/compare.h"
#include "report/copies_bench.h"
#include "report/cpu_stability.h"
#include "report/memtest_thorough.h"
#include "report/options.h"
#include "report/output.h"
#include "report/page/page.h"
#include "report/repeat.h"
#include "report/save.h"
#include "sysinfo/sweep.h"

namespace {

using report::Format;
template <class T>
using Expected = platform::Expected<T, std::string>;
using Failure = platform::Unexpected<std::string>;

void progress(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

// The reason on standard error as the program's error line; the status to exit with.
int fail(const std::string& reason, int status = report::kExitUsage) {
    std::fprintf(stderr, "%s\n", present::reportErrorLine(reason).c_str());
    return status;
}

// --help and --version print and end well; a refused command line is an error.
int exitEarly(const report::EarlyExit& early) {
    if (early.status != report::kExitAllWell) return fail(early.text, early.status);
    std::fputs(early.text.c_str(), stdout);
    return early.status;
}

// Ctrl-C: prints the figures measured so far, marked incomplete, and ends with status 130.
// A thread of its own takes the signal, so printing is ordinary code rather than a signal
// handler; the main thread keeps the copy it prints up to date. A memory test stops on a
// flag instead: the signal sets it at once, and the test hands back what it found, within a
// second, for the main thread to print.
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
            // Before anything that could wait: the test's threads look at the flags after
            // every chunk.
            stop_.store(true);
            diag::memTestStop.store(1);
            // No copy outlives the report, nor runs on while it prints.
            report::killLiveCopies();
            if (testStops()) return;
            printSoFar();
            _exit(report::kExitInterrupted);
        }).detach();
    }

    template <class Change>
    void update(Change change) {
        std::lock_guard lock(mutex_);
        change(soFar_);
    }

    // The memory test that stops on the flag; between these two calls Ctrl-C leaves the
    // printing to testEnded, once the test has handed over its figures.
    const diag::StopFlag& testStarts() {
        std::lock_guard lock(mutex_);
        testRunning_ = true;
        return stop_;
    }
    void testEnded() {
        {
            std::lock_guard lock(mutex_);
            testRunning_ = false;
            if (!interrupted_) return;
        }
        printSoFar();
        _exit(report::kExitInterrupted);
    }

    // The complete output is about to be written: Ctrl-C from now on only ends the program.
    void finishing() {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }

  private:
    bool testStops() {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        return testRunning_;
    }

    void printSoFar() {
        std::lock_guard lock(mutex_);
        if (finishing_) return;
        soFar_.incomplete = true;
        std::fprintf(stderr, "%s\n", present::reportErrorLine(present::kInterrupted).c_str());
        report::writeAll(stdout, report::rendered(soFar_, format_, std::nullopt));
    }

    Format format_;
    std::mutex mutex_;
    report::Report soFar_;
    diag::StopFlag stop_{false};
    bool testRunning_ = false;
    bool interrupted_ = false;
    bool finishing_ = false;
};

// The block --memtest asks for, given what this process may take now.
Expected<std::int64_t> memtestBlock(const report::Options& options,
                                    const platform::Sources& sources) {
    const auto allowance = sources.memoryAllowance();
    return report::memtestBlock(options,
                                allowance ? std::optional(allowance->bytes) : std::nullopt);
}

// The saved results a run reads: the one to compare with, the one to render instead of
// measuring.
struct SavedResults {
    std::optional<report::Report> compared;
    std::optional<report::Report> rendered;
};

// A file is written only into a folder that exists: found now, not after the run.
Expected<void> folderExists(const std::optional<std::string>& file, std::string_view option) {
    if (!file) return {};
    const auto folder = std::filesystem::path(*file).parent_path();
    std::error_code ignored;
    if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ignored))
        return Failure{present::noSuchDirectoryReason(option, folder.string())};
    return {};
}

Expected<std::optional<report::Report>> loadIf(const std::optional<std::string>& file,
                                               std::string_view option) {
    if (!file) return std::optional<report::Report>();
    auto loaded = report::loadSaved(*file, option);
    if (!loaded) return Failure{loaded.error()};
    return std::optional(std::move(*loaded));
}

// Everything that can make the run useless, checked before it starts: the files to read, the
// folders to write in, the CPUs and the memory test's block.
Expected<SavedResults> checkBeforeRunning(const report::Options& options,
                                          const platform::Sources& sources) {
    SavedResults saved;
    auto compared = loadIf(options.compareFile, "--compare");
    if (!compared) return Failure{compared.error()};
    saved.compared = std::move(*compared);
    auto rendered = loadIf(options.fromFile, "--from");
    if (!rendered) return Failure{rendered.error()};
    saved.rendered = std::move(*rendered);
    if (saved.rendered) saved.rendered->from = *options.fromFile;
    for (const auto& [file, option] :
         {std::pair{options.saveFile, "--save"}, std::pair{options.htmlFile, "--html"}})
        if (const auto exists = folderExists(file, option); !exists) return Failure{exists.error()};
    if (options.cpus) {
        if (const auto cpus = report::chooseRunCpus(options, sources); !cpus)
            return Failure{cpus.error()};
    }
    // Refused before anything is mapped; checked once more before the block is, as the runs
    // before it take memory of their own.
    if (options.memtest()) {
        if (const auto block = memtestBlock(options, sources); !block)
            return Failure{block.error()};
    }
    return saved;
}

report::Progress repetitionProgress(int repetition, int repetitions) {
    if (repetitions == 1) return progress;
    const std::string prefix = present::repetitionPrefix(repetition, repetitions);
    return [prefix](const std::string& line) { progress(prefix + line); };
}

// "CPU Info", "RAM Info" and what identifies the machine.
report::Report identify(const platform::Sources& sources, Interruption& interruption) {
    progress(std::string(present::kIdentifyingProgress));
    report::Report result;
    result.cpu = report::collectCpu(sources);
    result.memory = report::collectMemory(sources);
    result.machine = report::collectMachine(result.cpu, result.memory, sources);
    interruption.update([&](report::Report& soFar) { soFar = result; });
    return result;
}

// The CPUs --cpus chose, said on standard error when the quota took fewer than allowed.
std::optional<platform::CpuList> runCpus(const report::Options& options,
                                         const platform::Sources& sources) {
    if (!options.cpus) return std::nullopt;
    const auto choice = report::chooseRunCpus(options, sources);
    if (!choice) return std::nullopt;  // refused before the run started
    if (const auto& note = choice->quotaNote)
        progress(present::cpuChoiceLine(platform::formatCpuList(choice->cpus), note->allowedCpus,
                                        note->quotaCpus, note->chosenCpus, note->source));
    return choice->cpus;
}

// One repetition: the single copy, then with --cpus one copy a CPU at once. An
// interruption in the first repetition prints its rows as they come.
Expected<report::BenchFigures> benchRepetition(const std::optional<platform::CpuList>& cpus,
                                               const platform::Sources& sources,
                                               const report::Progress& lines, bool first,
                                               Interruption& interruption) {
    report::BenchFigures partial;
    const auto keep = [&](const report::BenchFigures& figures) {
        if (first) interruption.update([&](report::Report& soFar) { soFar.bench = figures; });
    };
    const auto rowDone = [&](const report::BenchRow& row) {
        partial.rows.push_back(row);
        keep(partial);
    };
    report::BenchFigures single = report::runCpuBenchmark(bench::kKernelTable, lines, rowDone);
    if (!cpus) return single;
    keep(single);
    auto copies = report::runCopiesBenchmark(single, *cpus, sources.cpuTopology(), lines, keep);
    if (!copies) return Failure{copies.error()};
    return *copies;
}

// The CPU benchmark `repeat` times; an interruption prints the first repetition's rows as
// they come, and the repetitions that completed after it.
Expected<report::BenchFigures> cpuBenchmark(const report::Options& options,
                                            const platform::Sources& sources,
                                            Interruption& interruption) {
    progress(std::string(present::kCpuBenchmarkProgress));
    const auto cpus = runCpus(options, sources);
    std::vector<report::BenchFigures> repetitions;
    report::BenchFigures combined;
    for (int k = 1; k <= options.repeat; ++k) {
        auto repetition = benchRepetition(cpus, sources, repetitionProgress(k, options.repeat),
                                          repetitions.empty(), interruption);
        if (!repetition) return Failure{repetition.error()};
        repetitions.push_back(std::move(*repetition));
        combined = report::combineBench(repetitions);
        interruption.update([&](report::Report& soFar) { soFar.bench = combined; });
    }
    return combined;
}

report::RamBenchFigures ramBenchmark(int repeat, const platform::Sources& sources,
                                     Interruption& interruption) {
    progress(std::string(present::kRamBenchmarkProgress));
    std::vector<report::RamBenchFigures> repetitions;
    report::RamBenchFigures combined;
    for (int k = 1; k <= repeat; ++k) {
        repetitions.push_back(report::runRamBenchmark(repetitionProgress(k, repeat), sources));
        combined = report::combineRam(repetitions);
        interruption.update([&](report::Report& soFar) { soFar.ramBench = combined; });
    }
    return combined;
}

// The stability test with --cpus: one pinned worker a chosen CPU.
Expected<report::StabilityFigures> stabilityOnCpus(const report::Options& options,
                                                   const platform::Sources& sources,
                                                   Interruption& interruption) {
    const auto keep = [&](const report::StabilityFigures& figures) {
        interruption.update([&](report::Report& soFar) { soFar.stability = figures; });
    };
    report::CpuStabilityPlan plan;
    plan.seconds = *options.stabilitySeconds;
    plan.workload = options.workload;
    plan.cpus = runCpus(options, sources).value_or(platform::CpuList{});
    report::StabilityFigures started;
    started.seconds = plan.seconds;
    started.workload = plan.workload;
    keep(started);
    progress(std::string(present::kStabilityProgress));
    const auto figures = report::runStabilityOnCpus(plan, sources, progress, keep);
    if (figures) keep(*figures);
    return figures;
}

report::StabilityFigures stabilityTest(int seconds, Interruption& interruption) {
    const auto keep = [&](const report::StabilityFigures& figures) {
        interruption.update([&](report::Report& soFar) { soFar.stability = figures; });
    };
    // Kept before the progress line: Ctrl-C at any moment of the test shows that it ran.
    report::StabilityFigures started;
    started.seconds = seconds;
    keep(started);
    progress(std::string(present::kStabilityProgress));
    const report::StabilityFigures figures = report::runStability(seconds, progress, keep);
    keep(figures);
    return figures;
}

// The designed cycle as the window runs it, on the chosen CPUs where --cpus names them.
Expected<report::MemtestFigures> designedTest(const report::Options& options,
                                              const platform::Sources& sources, std::int64_t bytes,
                                              Interruption& interruption) {
    std::optional<platform::CpuList> cpus;
    if (options.cpus) {
        const auto choice = report::chooseRunCpus(options, sources);
        if (!choice) return Failure{choice.error()};
        cpus = choice->cpus;
        platform::allowCurrentThread(*cpus);
    }
    const auto keep = [&](const report::MemtestFigures& figures) {
        interruption.update([&](report::Report& soFar) { soFar.memtest = figures; });
    };
    auto memtest = report::runMemtest(bytes, options.memtestPasses, progress, sources, keep);
    if (!memtest) return Failure{present::memtestNoBlockReason(options.memtestSize)};
    if (cpus) memtest->cpus = platform::formatCpuList(*cpus);
    return *memtest;
}

// A seed drawn for each run that is not given one; printed, so the run can be repeated.
std::uint64_t drawnSeed() {
    std::random_device entropy;
    return std::uint64_t{entropy()} << 32 | entropy();
}

Expected<report::MemtestFigures> thoroughTest(const report::Options& options,
                                              const platform::Sources& sources, std::int64_t bytes,
                                              const diag::StopFlag& stop) {
    report::ThoroughRequest request;
    request.bytes = bytes;
    request.patterns = options.patterns;
    request.patternsText = options.patternsText;
    request.cycles = options.memtestPasses;
    request.seed = options.seed ? *options.seed : drawnSeed();
    const auto cpus = report::chooseRunCpus(options, sources);
    if (!cpus) return Failure{cpus.error()};
    request.cpus = cpus->cpus;
    return report::runThoroughMemtest(request, stop, progress, sources, options.memtestSize);
}

Expected<report::MemtestFigures> memoryTest(const report::Options& options,
                                            const platform::Sources& sources,
                                            Interruption& interruption) {
    const auto bytes = memtestBlock(options, sources);
    if (!bytes) return Failure{bytes.error()};
    progress(std::string(present::kMemtestProgress));
    const diag::StopFlag& stop = interruption.testStarts();
    auto memtest = options.designedMemtest() ? designedTest(options, sources, *bytes, interruption)
                                             : thoroughTest(options, sources, *bytes, stop);
    if (memtest) interruption.update([&](report::Report& soFar) { soFar.memtest = *memtest; });
    interruption.testEnded();
    return memtest;
}

// The jobs the options ask for, in the order of the window's pages.
Expected<report::Report> collect(const report::Options& options, const platform::Sources& sources,
                                 Interruption& interruption) {
    // The same floating-point setting and memory backing the window starts with.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    sysinfo::backSweepBuffer();
    report::Report result = identify(sources, interruption);
    if (options.benchCpu) {
        auto bench = cpuBenchmark(options, sources, interruption);
        if (!bench) return Failure{bench.error()};
        result.bench = std::move(*bench);
    }
    if (options.benchRam) result.ramBench = ramBenchmark(options.repeat, sources, interruption);
    if (options.stabilitySeconds && options.cpus) {
        auto stability = stabilityOnCpus(options, sources, interruption);
        if (!stability) return Failure{stability.error()};
        result.stability = std::move(*stability);
    } else if (options.stabilitySeconds) {
        result.stability = stabilityTest(*options.stabilitySeconds, interruption);
    }
    if (options.memtest()) {
        const auto memtest = memoryTest(options, sources, interruption);
        if (!memtest) return Failure{memtest.error()};
        result.memtest = *memtest;
    }
    return result;
}

// The figures on standard output, compared with the saved result where there is one; in the
// --save file; and as the page of --html.
platform::Expected<void, std::string> write(const report::Report& result,
                                            const report::Options& options,
                                            const std::optional<report::Report>& compared) {
    std::optional<report::Comparison> comparison;
    if (compared) comparison = report::compareResults(*compared, result, *options.compareFile);
    const auto written =
        report::writeAll(stdout, report::rendered(result, options.format, comparison));
    if (!written) return written;
    if (options.saveFile) {
        const auto saved = report::saveAtomically(*options.saveFile, report::jsonText(result));
        if (!saved) return saved;
    }
    if (!options.htmlFile) return {};
    nlohmann::json page = result;
    if (comparison) page["compare"] = report::compareJson(*comparison);
    return report::saveAtomically(*options.htmlFile, report::renderPage(page), "--html");
}

int exitStatus(const report::Report& result) {
    return result.foundErrors() ? report::kExitErrorsFound : report::kExitAllWell;
}

}  // namespace

int main(int argc, char** argv) {
    // A copy started by another corvane-report: before any thread, and nothing else.
    if (argc == 3 && std::string(argv[1]) == platform::kCopyOfArgument)
        return report::runCopyMode(argv[2]);
    const auto options = report::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) return exitEarly(options.error());
    const platform::Sources sources;  // the live machine
    const auto saved = checkBeforeRunning(*options, sources);
    if (!saved) return fail(saved.error());
    Interruption interruption(options->format);
    const auto result = saved->rendered ? Expected<report::Report>(*saved->rendered)
                                        : collect(*options, sources, interruption);
    if (!result) return fail(result.error());
    interruption.finishing();
    if (const auto written = write(*result, *options, saved->compared); !written)
        return fail(written.error());
    return exitStatus(*result);
}
