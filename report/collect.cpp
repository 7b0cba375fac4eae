// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/collect.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <charconv>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "bench/benchmark_run.h"
#include "bench/scoring.h"
#include "diag/memtest.h"
#include "diag/potok1.h"
#include "diag/stability.h"
#include "membench/memory_speed.h"
#include "platform/cpu_description.h"
#include "platform/format.h"
#include "platform/ticks.h"
#include "report/os_figures.h"
#include "sysinfo/cache_detection.h"
#include "sysinfo/clock.h"
#include "sysinfo/effective_clock.h"
#include "sysinfo/identification.h"
#include "sysinfo/memory_monitor.h"
#include "sysinfo/probes.h"

namespace report {

CpuFigures collectCpu() {
    CpuFigures cpu;
    // The window's identification, with steps that keep the detail the report prints: every
    // sweep's rate and the clock's unrounded rate.
    sysinfo::IdentificationSteps steps = sysinfo::machineIdentificationSteps();
    sysinfo::CacheSweeps sweeps;
    steps.runCacheSweeps = [&sweeps] {
        sweeps = sysinfo::measureCacheSweeps();
        return sweeps.confirmed;
    };
    std::optional<std::uint32_t> cycles;
    steps.measureClock = [&cycles] {
        cycles = sysinfo::measureClockCycles();
        // Both sleeps disturbed: no clock rather than a made-up one.
        return cycles ? sysinfo::clockTextFromCycles(*cycles) : std::string("-");
    };
    const sysinfo::Identification found = sysinfo::identify(steps);
    if (found.registry) {
        cpu.panel1 = found.registry->cpuName;
        cpu.identifier = found.registry->identifier;
        cpu.vendor = found.registry->vendor;
        cpu.ratedMhz = sysinfo::ratedSpeedMHz();
    }
    if (const auto key = platform::CpuDescription::open(platform::CpuDescription::kKeyPath))
        cpu.name = key->text("ProcessorNameString");
    cpu.instructions = found.instructions;
    cpu.l2Cache = found.cacheSize.value_or("-");
    for (int k = 0; k < sysinfo::kCacheSweepCount; ++k)
        cpu.cacheSweeps.push_back({8 << k, sweeps.rates[k], sweeps.confirmed[k]});
    cpu.l2CacheOs = l2CacheBytesFromOs();
    cpu.clockText = found.clock;
    if (cycles) cpu.clockMhz = *cycles / 500000.0;
    cpu.tscMhzOs = tscMHzFromOs();
    if (const double effective = sysinfo::effectiveClockMHz(); effective > 0)
        cpu.effectiveMhz = effective;
    return cpu;
}

MemoryFigures collectMemory() {
    MemoryFigures memory;
    memory.status = platform::memoryStatus();
    memory.allowance = platform::memoryAllowance();
    sysinfo::MemoryMonitor monitor;
    const sysinfo::MemoryTexts texts = monitor.tick(memory.status);
    memory.panelTexts.assign(texts.panels.begin(), texts.panels.end());
    memory.freeText = texts.freePhys;
    memory.loadText = texts.load;
    if (memory.status) memory.loadPercent = sysinfo::loadPercent(*memory.status);
    return memory;
}

MachineFigures collectMachine(const CpuFigures& cpu, const MemoryFigures& memory) {
    MachineFigures machine;
    machine.cpuName = cpu.name;
    machine.identifier = cpu.identifier;
    machine.vendor = cpu.vendor;
    machine.logicalCpus = static_cast<int>(std::thread::hardware_concurrency());
    machine.tscMhz = cpu.tscMhzOs ? cpu.tscMhzOs : cpu.clockMhz;
    machine.effectiveMhz = cpu.effectiveMhz;
    if (memory.status) machine.memoryTotal = memory.status->totalPhys;
    if (utsname names{}; uname(&names) == 0) {
        machine.kernelRelease = names.release;
        machine.hostname = names.nodename;
    }
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    machine.when = when;
    return machine;
}

BenchFigures runCpuBenchmark(const Progress& progress,
                             const std::function<void(const BenchRow&)>& rowDone) {
    BenchFigures figures;
    figures.repetitions = 1;
    std::map<int, std::string> shown;  // each row's label as the window would show it
    bench::RunCallbacks callbacks;
    callbacks.beforeRow = [] {};
    callbacks.showResult = [&](const bench::KernelRow& row, const std::string& caption) {
        shown[row.row] = caption;
        if (caption == bench::kResetResultCaption) return;
        progress(std::string(row.caption) + " " + caption);
    };
    callbacks.checkedRow = [&](const bench::KernelRow& row, bool valid) {
        if (!valid) progress(bench::wrongResultLine(row.caption));
        if (!rowDone) return;
        BenchRow done;
        done.row = row.row;
        done.group = std::string(bench::groupName(row.group));
        done.caption = std::string(row.caption);
        const std::string& caption = shown[row.row];
        // The caption starts with the result; the raw value comes only with the run's end.
        std::from_chars(caption.data(), caption.data() + caption.size(), done.result);
        done.text = caption;
        done.valid = valid;
        rowDone(done);
    };
    callbacks.showGroup = [&](bench::Group group, const std::string& caption) {
        switch (group) {
            case bench::Group::Alu:
                figures.alu.text = caption;
                break;
            case bench::Group::Fpu:
                figures.fpu.text = caption;
                break;
            case bench::Group::Instr:
                figures.instr.text = caption;
                break;
        }
    };
    callbacks.showStatus = [&](const std::string& caption) { figures.cpuScore.text = caption; };

    const auto rows = bench::benchmarkRows();
    const bench::RunResult result = bench::runBenchmark(rows, callbacks);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        BenchRow out;
        out.row = row.row;
        out.group = std::string(bench::groupName(row.group));
        out.caption = std::string(row.caption);
        out.raw = result.returned[i];
        out.result = result.scores.entry(row.group, row.index);
        out.text = shown[row.row];
        out.runs = {out.raw};
        out.results = {out.result};
        out.valid = result.valid[i];
        figures.rows.push_back(std::move(out));
    }
    figures.alu.value = result.scores.alu[0];
    figures.fpu.value = result.scores.fpu[0];
    figures.instr.value = result.scores.instr[0];
    figures.cpuScore.value = result.cpuScore;
    for (auto* score : {&figures.alu, &figures.fpu, &figures.instr}) score->runs = {score->value};
    figures.cpuScore.runs = {figures.cpuScore.value};
    return figures;
}

RamBenchFigures runRamBenchmark(const Progress& progress) {
    RamBenchFigures figures;
    const membench::Result write = membench::writeMeasurement();
    figures.writeText = membench::speedText(write);
    if (write.outcome == membench::Outcome::measured) {
        figures.write = write.speed;
        figures.writeTimed = TimedBytes{write.bytes, write.elapsedMs};
    }
    progress("Write memory speed: " + figures.writeText);
    const membench::Result read = membench::readMeasurement();
    figures.readText = membench::speedText(read);
    if (read.outcome == membench::Outcome::measured) {
        figures.read = read.speed;
        figures.readTimed = TimedBytes{read.bytes, read.elapsedMs};
    }
    progress("Read memory speed: " + figures.readText);
    figures.writeRuns = {figures.write};
    figures.readRuns = {figures.read};
    return figures;
}

}  // namespace report

namespace report {
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

// Runs the requested number of cycles and keeps what the window would show.
class MemtestRecorder : public diag::MemTestView {
  public:
    MemtestRecorder(int cycles, MemtestFigures& figures, const Progress& progress,
                    const std::function<void(const MemtestFigures&)>& soFar)
        : cycles_(cycles), figures_(figures), progress_(progress), soFar_(soFar) {}

    void showSize(std::int64_t) override {}
    void showWriteSpeed(std::int64_t mbPerSec) override {
        figures_.writeSpeed = static_cast<std::int32_t>(mbPerSec);
        figures_.writeText = diag::speedCaption(mbPerSec);
    }
    void showCheckSpeed(std::int64_t mbPerSec) override {
        figures_.readSpeed = static_cast<std::int32_t>(mbPerSec);
        figures_.readText = diag::speedCaption(mbPerSec);
    }
    void showPasses(std::int64_t passes) override {
        figures_.passes = static_cast<std::int32_t>(passes);
    }
    void showErrors(std::int64_t errors) override { figures_.errors = errors; }
    void processEvents(diag::EventPoint) override {}
    void cycleEnded(std::int64_t cycles) override {
        progress_("Memory test cycle " + std::to_string(cycles) + ": " +
                  std::to_string(figures_.errors) + " errors");
        if (soFar_) soFar_(figures_);
        if (cycles >= cycles_) diag::memTestStop.store(1);
    }
    void showNoMemory() override { refused = true; }
    void ended() override {}

    bool refused = false;

  private:
    int cycles_;
    MemtestFigures& figures_;
    const Progress& progress_;
    const std::function<void(const MemtestFigures&)>& soFar_;
};

}  // namespace

StabilityFigures runStability(int seconds, const Progress& progress,
                              const std::function<void(const StabilityFigures&)>& soFar) {
    StabilityFigures figures;
    figures.seconds = seconds;
    const auto line = [&](int second) {
        progress("CPU test: " + std::to_string(second) + " s, " + std::to_string(figures.passes) +
                 " passes, " + std::to_string(figures.errors) + " errors");
    };
    auto tally = std::make_shared<StabilityTally>();
    {
        diag::StabilityWorkers workers;
        diag::cpuTestStop.store(false);
        workers.startTwo(tally);
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

MemtestFigures runMemtest(std::int64_t bytes, int passes, const Progress& progress,
                          const std::function<void(const MemtestFigures&)>& soFar) {
    MemtestFigures figures;
    figures.bytes = bytes / diag::kBlockGranule * diag::kBlockGranule;
    figures.writeText = figures.readText = "-";
    MemtestRecorder recorder(passes, figures, progress, soFar);
    diag::memTestStop.store(0);
    const diag::MemTestTotals totals = diag::runMemTestOnBlock(figures.bytes, recorder);
    if (recorder.refused) throw std::runtime_error(diag::kNoMemoryMessage);
    figures.passes = static_cast<std::int32_t>(totals.passes);
    figures.errors = totals.errors;
    return figures;
}

}  // namespace report
