// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the benchmark's kernels and the cache-detection sweeps headless and prints, per
// kernel, what the window would show next to the work it did per nanosecond and per core
// cycle. Core cycles come from the effective clock (a serial chain of one-cycle additions),
// since the time-stamp counter runs at a fixed rate; both are taken in thread CPU time.
// The ms and Mark columns are the kernels' own wall-clock figures. A serial chain finishing more
// than one dependent operation per cycle means the compiler removed work: it is flagged.
//
//   kernel_runner [--group alu|fpu|instr|all] [--no-sweeps]

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "bench/golden.h"
#include "bench/kernel_table.h"
#include "platform/fault_guard.h"
#include "platform/x87.h"
#include "present/captions.h"
#include "present/words.h"
#include "sysinfo/cache_detection.h"
#include "sysinfo/effective_clock.h"
#include "sysinfo/sweep.h"

namespace {

// Per-operation figures use the thread's own CPU time, for the kernels and for the effective
// clock alike: on cores shared with other work the wall clock would count the time other
// processes ran.
std::int64_t threadNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// The work of one ALU or FPU kernel, counted in its natural operation.
struct Work {
    double operations;
    const char* unit;
    // Above this many operations per cycle the kernel cannot have done its work. For a
    // serial chain that is one dependent operation per cycle.
    double plausiblePerCycle;
    bool serialChain;
};

// Indexed by row - 1, rows 1 to 14.
constexpr Work kWork[14] = {
    {6'999'930'007.0, "dependent additions", 1.0, true},
    {157'500'035.0, "64-bit multiplications", 1.0, true},  // chains of 35
    {9'317'000.0, "power-sum comparisons", 0.5, false},
    {1'719'926'782.0, "combination visits", 3.0, false},
    {675'000'000.0, "byte additions", 3.0, false},
    {594'000'000.0, "byte multiply-adds", 3.0, false},
    {1'056'217'500.0, "sort comparisons", 3.0, false},
    {29'744'000.0, "cosines", 0.2, false},
    {42'108'000.0, "exponentials", 0.5, false},
    {57'600'000.0, "hypotenuses", 0.5, false},
    {10'000'002.0, "series terms", 0.2, false},
    {89'000'000.0, "dependent extended multiplications", 1.0, true},
    {8'268'608.0, "steps of 3 cosines", 0.1, false},
    {8'388'608.0, "steps of 4 sin/cos", 0.1, false},
};

struct Options {
    bool alu = true, fpu = true, instr = true, sweeps = true;
};

bool parse(int argc, char** argv, Options& options) {
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--no-sweeps") {
            options.sweeps = false;
        } else if (arg == "--group" && k + 1 < argc) {
            const std::string_view group = argv[++k];
            options.alu = group == "alu" || group == "all";
            options.fpu = group == "fpu" || group == "all";
            options.instr = group == "instr" || group == "all";
            if (!options.alu && !options.fpu && !options.instr) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool selected(const Options& options, bench::Group group) {
    switch (group) {
        case bench::Group::Alu:
            return options.alu;
        case bench::Group::Fpu:
            return options.fpu;
        case bench::Group::Instr:
            return options.instr;
    }
    return false;
}

void runScoredRow(const bench::KernelRow& row, int number, double mhz) {
    const Work& work = kWork[number - 1];
    const std::int64_t start = threadNs();
    const bench::KernelOutcome outcome = row.kernel({.tailFactor = row.sweepTailFactor});
    const std::int64_t ns = threadNs() - start;
    const std::int32_t ms = outcome.returned;
    // The sweep tail is timed again on its own, so the rates below are of the arithmetic.
    std::int64_t tailNs = 0;
    if (row.sweepTailFactor > 0) {
        const std::int64_t tailStart = threadNs();
        sysinfo::sweepTail(row.sweepTailFactor, platform::monotonicTicks, sysinfo::sweepBlock);
        tailNs = threadNs() - tailStart;
    }
    const double toCycles = mhz > 0 ? 1000.0 / mhz : 0.0;
    const double workNs = static_cast<double>(ns - tailNs);
    const double perNs = workNs > 0 ? work.operations / workNs : 0.0;
    const double perCycle = perNs * toCycles;
    // The flag uses the whole kernel, tail included: the separately timed tail is only an
    // estimate and must not make honest work look too fast.
    const double perCycleWithTail =
        ns > 0 ? work.operations / static_cast<double>(ns) * toCycles : 0.0;
    const std::int32_t score = ms > 0 ? 12'000'000 / ms : 0;
    const bool suspicious = perCycleWithTail > (work.serialChain ? 1.5 : work.plausiblePerCycle);
    std::printf(
        "%2d %-26s %6d ms %8d Mark | tail %4.0f ms | %.4g %s: %7.4f /ns %7.4f /cycle "
        "(%7.4f with tail)%s%s\n",
        number, std::string(present::rowCaption(row.caption)).c_str(), ms, score,
        static_cast<double>(tailNs) / 1e6, work.operations, work.unit, perNs, perCycle,
        perCycleWithTail, suspicious ? "  optimised away?" : "",
        bench::checkWork(outcome.work, row.golden()) ? "  WRONG RESULT" : "");
}

void runInstrRow(const bench::KernelRow& row, int number) {
    const double mhz = sysinfo::effectiveClockMHz(3);
    bench::KernelOutcome outcome;
    bool completed = true;
    if (row.guard == bench::Guard::None) {
        outcome = row.kernel({});
    } else {
        completed = platform::runGuarded([&] { outcome = row.kernel({}); });
    }
    const std::int32_t rate = outcome.returned;
    // Instruction kernels leave the x87 unit at its default state; put the program's back.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    if (!completed) {
        std::printf("%2d %-26s faulted (instruction set missing or 0 ms)\n", number,
                    std::string(present::rowCaption(row.caption)).c_str());
        return;
    }
    // The rate is wall-clock based (the kernel's own ms); so is this clock, for comparison.
    std::printf("%2d %-26s %8d Mln. instr/s  at %7.1f MHz: %6.3f per cycle%s\n", number,
                std::string(present::rowCaption(row.caption)).c_str(), rate, mhz,
                mhz > 0 ? rate / mhz : 0.0,
                bench::checkWork(outcome.work, row.golden()) ? "  WRONG RESULT" : "");
}

void runSweeps(double mhz) {
    std::printf("\nCache-detection sweeps (factor 80); chunk rate: at the fastest chunk's pace\n");
    for (int k = 0; k < sysinfo::kCacheSweepCount; ++k) {
        const std::int32_t length = sysinfo::cacheSweepLength(k);
        const std::int64_t start = threadNs();
        const std::int32_t rate = sysinfo::memorySweep(
            length, sysinfo::kCacheSweepFactor, platform::monotonicTicks, sysinfo::sweepBlock);
        const double ns = static_cast<double>(threadNs() - start);
        const std::int32_t chunkRate =
            sysinfo::fastestChunkRate(length, sysinfo::kCacheSweepFactor,
                                      platform::monotonicNanoseconds, sysinfo::sweepBlock);
        const double passes =
            static_cast<double>(sysinfo::sweepPassCount(length, sysinfo::kCacheSweepFactor));
        const double loads = passes * (length / 8) * 9;
        const double bytes = passes * length * 8.0;
        std::printf(
            "%8d KiB  rate %7d  chunk rate %7d  %8.0f MiB/s  %6.3f loads/cycle  %6.2f "
            "bytes/cycle\n",
            length / 128, rate, chunkRate, bytes / (1 << 20) / (ns / 1e9),
            loads / ns * 1000.0 / mhz, bytes / ns * 1000.0 / mhz);
    }
    const auto kib = sysinfo::cacheSizeKiB(sysinfo::runCacheSweeps(platform::Clock{}));
    std::printf("second-level cache, as detected at start: %s\n",
                kib ? present::cacheSizeText(*kib).c_str() : "-");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--group alu|fpu|instr|all] [--no-sweeps]\n", argv[0]);
        return 2;
    }
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    sysinfo::backSweepBuffer();

    std::printf("load average %s; effective clock %.1f MHz (wall clock), %.1f MHz (CPU time)\n\n",
                loadAverage().c_str(), sysinfo::effectiveClockMHz(),
                sysinfo::effectiveClockMHz(5, CLOCK_THREAD_CPUTIME_ID));
    for (std::size_t position = 0; position < bench::kKernelTable.size(); ++position) {
        const bench::KernelRow& row = bench::kKernelTable[position];
        const int number = bench::placeOf(bench::kKernelTable, position).row;
        if (!selected(options, row.group)) continue;
        if (row.group == bench::Group::Instr) {
            runInstrRow(row, number);
        } else {
            // Re-measured per row: the core's clock moves with its load and temperature.
            runScoredRow(row, number, sysinfo::effectiveClockMHz(3, CLOCK_THREAD_CPUTIME_ID));
        }
    }
    if (options.sweeps) runSweeps(sysinfo::effectiveClockMHz(3, CLOCK_THREAD_CPUTIME_ID));
    std::printf("\nload average %s; effective clock %.1f MHz (wall clock), %.1f MHz (CPU time)\n",
                loadAverage().c_str(), sysinfo::effectiveClockMHz(),
                sysinfo::effectiveClockMHz(5, CLOCK_THREAD_CPUTIME_ID));
    return 0;
}
