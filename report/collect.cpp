// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/collect.h"

#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "bench/benchmark_run.h"
#include "diag/memtest.h"
#include "diag/potok1.h"
#include "diag/stability.h"
#include "membench/memory_speed.h"
#include "platform/cpu_description.h"
#include "platform/os_figures.h"
#include "platform/ticks.h"
#include "present/captions.h"
#include "present/report_words.h"
#include "present/words.h"
#include "report/memtest_thorough.h"
#include "sysinfo/cache_detection.h"
#include "sysinfo/clock.h"
#include "sysinfo/effective_clock.h"
#include "sysinfo/identification.h"

namespace report {

CpuFigures collectCpu(const platform::Sources& sources) {
    CpuFigures cpu;
    // Read once, so that the description, the rated speed and the system's TSC rate all
    // describe the same processor block.
    const platform::ProcessorFields fields = platform::readProcessorFields(sources.root);
    // The window's identification, with steps that keep the detail the report prints: every
    // sweep's rate beside the rates the size was read from.
    sysinfo::IdentificationSteps steps = sysinfo::machineIdentificationSteps(sources);
    steps.readRegistry = [&] { return sysinfo::readRegistry(fields, sources.root); };
    sysinfo::CacheSweeps sweeps;
    steps.runCacheSweeps = [&sweeps] {
        sweeps = sysinfo::measureCacheSweeps(platform::Clock{});
        return sweeps.confirmed;
    };
    const sysinfo::Identification found = sysinfo::identify(steps);
    if (const auto& registry = found.registry) {
        cpu.described = true;
        cpu.ratedMhz = registry->ratedMhz;
        cpu.identifier = registry->identifier;
        cpu.vendor = registry->vendor;
    }
    if (found.registry && !found.registry->name.empty()) cpu.name = found.registry->name;
    cpu.extensions = found.extensions;
    cpu.l2CacheKiB = found.cacheKiB;
    for (int k = 0; k < sysinfo::kCacheSweepCount; ++k)
        cpu.cacheSweeps.push_back({8 << k, sweeps.rates[k], sweeps.confirmed[k]});
    cpu.l2CacheOs = platform::l2CacheBytesFromOs(sources.root);
    cpu.clockCycles = found.clockCycles;
    cpu.tscMhzOs = platform::tscMHzFromOs(fields, sources.root);
    cpu.cachesOs = platform::cachesFromOs(sources.root);
    if (const auto flags = fields.find("flags"); flags != fields.end())
        cpu.hypervisor = platform::underHypervisor(flags->second);
    if (const double effective = sysinfo::effectiveClockMHz(); effective > 0)
        cpu.effectiveMhz = effective;
    return cpu;
}

MemoryFigures collectMemory(const platform::Sources& sources) {
    return {sources.memoryStatus(), sources.memoryAllowance()};
}

MachineFigures collectMachine(const CpuFigures& cpu, const MemoryFigures& memory,
                              const platform::Sources& sources) {
    MachineFigures machine;
    machine.cpuName = cpu.name;
    machine.identifier = cpu.identifier;
    machine.vendor = cpu.vendor;
    machine.tscMhz = cpu.tscMhzOs;
    if (!machine.tscMhz) machine.tscMhz = cpu.clockMhz();
    machine.effectiveMhz = cpu.effectiveMhz;
    if (memory.status) machine.memoryTotal = memory.status->totalPhys;
    const platform::MachineNames names = platform::machineNames();
    machine.logicalCpus = names.logicalCpus;
    machine.kernelRelease = names.kernelRelease;
    machine.hostname = names.hostname;
    machine.when = platform::utcTimestamp();
    const platform::CpuTopology topology = sources.cpuTopology();
    machine.cpus = platform::summarizeMachineCpus(topology, sources.allowedCpus(),
                                                  sources.cpuQuota(), cpu.hypervisor);
    machine.logicalCpus =
        machine.cpus->onlineCpus > 0 ? machine.cpus->onlineCpus : names.logicalCpus;
    machine.topology = topology.cpus;
    return machine;
}

BenchFigures runCpuBenchmark(std::span<const bench::KernelRow> rows, const Progress& progress,
                             const std::function<void(const BenchRow&)>& rowDone) {
    BenchFigures figures;
    std::vector<std::optional<BenchRow>> done(rows.size());
    bench::RunCallbacks callbacks;
    callbacks.rowDone = [&](const bench::RowResult& row) {
        const auto raw = std::optional(row.returned);
        const BenchRow& built = done[static_cast<std::size_t>(row.place.row - 1)].emplace(
            BenchRow{row.place.row, row.place.group, raw, {raw}, !row.wrong, row.wrong});
        progress(std::string(present::rowCaption(row.place.row)) + " " +
                 present::resultText(row.place.group, row.shown));
        if (row.wrong) progress(present::wrongResultLine(row.place.row));
        if (rowDone) rowDone(built);
    };
    const bench::RunResult result = bench::runBenchmark(rows, platform::Clock{}, callbacks);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bench::RowPlace place = bench::placeOf(rows, i);
        figures.rows.push_back(done[i].value_or(
            BenchRow{place.row, place.group, std::nullopt, {std::nullopt}, true, {}}));
    }
    figures.repetitions = 1;
    figures.alu = {result.scores.alu[0], {result.scores.alu[0]}};
    figures.fpu = {result.scores.fpu[0], {result.scores.fpu[0]}};
    figures.instr = {result.scores.instr[0], {result.scores.instr[0]}};
    figures.cpuScore = {result.cpuScore, {result.cpuScore}};
    return figures;
}

RamBenchFigures runRamBenchmark(const Progress& progress, const platform::Sources& sources) {
    RamBenchFigures figures;
    const auto figure = [](const membench::Measured& speed) {
        return speed ? std::optional(speed->figure) : std::nullopt;
    };
    figures.write = membench::writeMeasurement(sources.clock);
    progress(std::string(present::kWriteMemorySpeed) + " " + present::speedText(*figures.write));
    figures.read = membench::readMeasurement(sources.clock);
    progress(std::string(present::kReadMemorySpeed) + " " + present::speedText(*figures.read));
    figures.writeRuns = {figure(*figures.write)};
    figures.readRuns = {figure(*figures.read)};
    return figures;
}

namespace {

// Counts every worker's passes and wrong passes, and keeps each worker's own pass count,
// which is what the window shows; called on the workers' threads.
class StabilityTally : public diag::StabilityReport {
  public:
    void passCounted(std::int64_t workerPasses) override {
        std::lock_guard lock(mutex_);
        ++passes_;
        perThread_[std::this_thread::get_id()] = workerPasses;
    }
    void errorCounted(std::int32_t) override {
        std::lock_guard lock(mutex_);
        ++errors_;
    }
    void ended() override {}

    void copyTo(StabilityFigures& figures) const {
        std::lock_guard lock(mutex_);
        figures.passes = passes_;
        figures.errors = errors_;
        figures.threadPasses.clear();
        for (const auto& [thread, count] : perThread_) figures.threadPasses.push_back(count);
    }

  private:
    mutable std::mutex mutex_;
    std::int64_t passes_ = 0;
    std::int64_t errors_ = 0;
    std::map<std::thread::id, std::int64_t> perThread_;
};

}  // namespace

StabilityFigures runStability(int seconds, const Progress& progress,
                              const std::function<void(const StabilityFigures&)>& soFar,
                              const diag::PassRoutine& pass) {
    StabilityFigures figures;
    figures.seconds = seconds;
    const auto line = [&](int second) {
        progress(present::stabilityProgressLine(second, figures.passes, figures.errors));
    };
    auto tally = std::make_shared<StabilityTally>();
    {
        diag::StabilityWorkers workers;
        diag::cpuTestStop.store(false);
        workers.startTwo(tally, pass);
        for (int second = 1; second < seconds; ++second) {
            platform::sleepMs(1000);
            tally->copyTo(figures);
            if (soFar) soFar(figures);
            if (second % 10 == 0) line(second);
        }
        platform::sleepMs(1000);
        // Each worker still ends the pass it is in: the last line comes after them, so
        // that it gives the same final count as the summary.
        workers.stopAndJoin();
    }
    tally->copyTo(figures);
    line(seconds);
    return figures;
}

platform::Expected<MemtestFigures, diag::NoBlock> runMemtest(
    std::int64_t bytes, int passes, const Progress& progress, const platform::Sources& sources,
    const std::function<void(const MemtestFigures&)>& soFar) {
    MemtestFigures figures;
    figures.bytes = bytes / diag::kBlockGranule * diag::kBlockGranule;
    figures.patternsSet = "design";
    figures.cycles = 0;
    figures.threads = 1;
    DesignedRecorder recorder(passes, figures, progress, soFar, sources.root);
    diag::memTestStop.store(0);
    const diag::MemTestRun run = diag::runMemTestOnBlock(figures.bytes, recorder, sources);
    if (!run) return platform::Unexpected{run.error()};
    figures.passes = run->passes;
    figures.errors = run->errors;
    figures.cycles = run->cycles;
    return figures;
}

}  // namespace report
