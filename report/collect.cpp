#include "report/collect.h"

#include <atomic>
#include <map>
#include <memory>
#include <stdexcept>

#include "bench/benchmark_run.h"
#include "bench/scoring.h"
#include "diag/memtest.h"
#include "diag/potok1.h"
#include "diag/stability.h"
#include "membench/memory_speed.h"
#include "platform/cpu_description.h"
#include "platform/format.h"
#include "platform/oom.h"
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
    if (const auto texts = sysinfo::readRegistryTexts()) {
        cpu.panel1 = texts->cpuName;
        cpu.identifier = texts->identifier;
        cpu.vendor = texts->vendor;
        cpu.ratedMhz = sysinfo::ratedSpeedMHz();
    }
    if (const auto key = platform::CpuDescription::open(platform::CpuDescription::kKeyPath))
        cpu.name = key->text("ProcessorNameString");
    cpu.instructions = sysinfo::instructionSetText(sysinfo::instructionProbes());
    const sysinfo::CacheSweeps sweeps = sysinfo::measureCacheSweeps();
    cpu.l2Cache = sysinfo::cacheSizeText(sweeps.confirmed).value_or("-");
    for (int k = 0; k < sysinfo::kCacheSweepCount; ++k)
        cpu.cacheSweeps.push_back({8 << k, sweeps.rates[k], sweeps.confirmed[k]});
    cpu.l2CacheOs = l2CacheBytesFromOs();
    if (const auto cycles = sysinfo::measureClockCycles()) {
        cpu.clockText = sysinfo::clockTextFromCycles(*cycles);
        cpu.clockMhz = *cycles / 500000.0;
    } else {
        cpu.clockText = "-";  // both sleeps were disturbed: no clock rather than a made-up one
    }
    cpu.tscMhzOs = tscMHzFromOs();
    if (const double effective = sysinfo::effectiveClockMHz(); effective > 0)
        cpu.effectiveMhz = effective;
    return cpu;
}

MemoryFigures collectMemory() {
    MemoryFigures memory;
    memory.status = platform::memoryStatus();
    sysinfo::MemoryMonitor monitor;
    const sysinfo::MemoryTexts texts = monitor.tick(memory.status);
    memory.panelTexts.assign(texts.panels.begin(), texts.panels.end());
    memory.freeText = texts.freePhys;
    memory.loadText = texts.load;
    if (memory.status) memory.loadPercent = sysinfo::loadPercent(*memory.status);
    return memory;
}

BenchFigures runCpuBenchmark(const Progress& progress) {
    BenchFigures figures;
    std::map<int, std::string> shown;  // each row's label as the window would show it
    bench::RunCallbacks callbacks;
    callbacks.beforeRow = [] {};
    callbacks.showResult = [&](const bench::KernelRow& row, const std::string& caption) {
        shown[row.row] = caption;
        if (caption != bench::kResetResultCaption)
            progress(std::string(row.caption) + " " + caption);
    };
    callbacks.showGroup = [&](bench::Group group, const std::string& caption) {
        switch (group) {
            case bench::Group::Alu:
                figures.aluText = caption;
                break;
            case bench::Group::Fpu:
                figures.fpuText = caption;
                break;
            case bench::Group::Instr:
                figures.instrText = caption;
                break;
        }
    };
    callbacks.showStatus = [&](const std::string& caption) { figures.cpuText = caption; };

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
        figures.rows.push_back(std::move(out));
    }
    figures.alu = result.scores.alu[0];
    figures.fpu = result.scores.fpu[0];
    figures.instr = result.scores.instr[0];
    figures.cpuScore = result.cpuScore;
    return figures;
}

RamBenchFigures runRamBenchmark(const Progress& progress) {
    RamBenchFigures figures;
    const membench::Result write = membench::writeMeasurement();
    figures.writeText = membench::speedText(write);
    if (write.outcome == membench::Outcome::measured) figures.write = write.speed;
    progress("Write memory speed: " + figures.writeText);
    const membench::Result read = membench::readMeasurement();
    figures.readText = membench::speedText(read);
    if (read.outcome == membench::Outcome::measured) figures.read = read.speed;
    progress("Read memory speed: " + figures.readText);
    return figures;
}

}  // namespace report

namespace report {
namespace {

// Counts every worker's passes and wrong passes; called on the workers' threads.
class StabilityTally : public diag::StabilityReport {
  public:
    void passCounted(std::int64_t) override { passes.fetch_add(1, std::memory_order_relaxed); }
    void errorCounted(std::int32_t) override { errors.fetch_add(1, std::memory_order_relaxed); }
    void ended() override {}

    std::atomic<std::int64_t> passes{0};
    std::atomic<std::int64_t> errors{0};
};

// Runs the requested number of cycles and keeps what the window would show.
class MemtestRecorder : public diag::MemTestView {
  public:
    MemtestRecorder(int cycles, MemtestFigures& figures, const Progress& progress)
        : cycles_(cycles), figures_(figures), progress_(progress) {}

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
    void processEvents(diag::EventPoint point) override {
        if (point != diag::EventPoint::AfterCheckZeros) return;
        ++done_;
        progress_("Memory test cycle " + std::to_string(done_) + ": " +
                  std::to_string(figures_.errors) + " errors");
        if (done_ >= cycles_) diag::memTestStop.store(1);
    }
    void showNoMemory() override {}
    void ended() override {}

  private:
    int cycles_;
    int done_ = 0;
    MemtestFigures& figures_;
    const Progress& progress_;
};

}  // namespace

StabilityFigures runStability(int seconds, const Progress& progress) {
    StabilityFigures figures;
    figures.seconds = seconds;
    auto tally = std::make_shared<StabilityTally>();
    {
        diag::StabilityWorkers workers;
        diag::cpuTestStop.store(false);
        workers.startTwo(tally);
        for (int second = 1; second <= seconds; ++second) {
            platform::sleepMs(1000);
            if (second % 10 == 0 || second == seconds)
                progress("CPU test: " + std::to_string(second) + " s, " +
                         std::to_string(tally->passes.load()) + " passes, " +
                         std::to_string(tally->errors.load()) + " errors");
        }
        workers.stopAndJoin();
    }
    figures.passes = tally->passes.load();
    figures.errors = tally->errors.load();
    return figures;
}

MemtestFigures runMemtest(std::int64_t bytes, int passes, const Progress& progress) {
    MemtestFigures figures;
    figures.bytes = bytes / diag::kBlockGranule * diag::kBlockGranule;
    figures.writeText = figures.readText = "-";
    platform::FirstOomChoice firstChoice;
    diag::TestBlock block = diag::TestBlock::allocate(figures.bytes);
    if (!block) throw std::runtime_error(diag::kNoMemoryMessage);
    MemtestRecorder recorder(passes, figures, progress);
    diag::memTestStop.store(0);
    const diag::MemTestTotals totals = diag::runMemTestCycles(
        block.data(), block.count(), diag::memTestSizeMiB(figures.bytes), recorder);
    figures.passes = static_cast<std::int32_t>(totals.passes);
    figures.errors = totals.errors;
    return figures;
}

}  // namespace report
