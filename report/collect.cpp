#include "report/collect.h"

#include <map>

#include "bench/benchmark_run.h"
#include "bench/scoring.h"
#include "membench/memory_speed.h"
#include "platform/cpu_description.h"
#include "platform/format.h"
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
    cpu.l2Cache = sysinfo::cacheSizeText(sysinfo::runCacheSweeps()).value_or("-");
    cpu.l2CacheOs = l2CacheBytesFromOs();
    const std::uint32_t cycles = sysinfo::measureClockCycles();
    cpu.clockText = sysinfo::clockTextFromCycles(cycles);
    cpu.clockMhz = cycles / 500000.0;
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
