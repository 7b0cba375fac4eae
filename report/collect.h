// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Gathers the report's figures with the routines the window itself runs.

#include <functional>
#include <span>
#include <string>

#include "bench/kernel.h"
#include "diag/stability.h"
#include "platform/sources.h"
#include "report/report.h"

namespace report {

// Progress lines for standard error; the figures themselves go to standard output.
using Progress = std::function<void(const std::string&)>;

// "CPU Info" as the window identifies it, with what the system says beside it. The first
// processor's fields of <root>/proc/cpuinfo are read once and handed to every step.
CpuFigures collectCpu(const platform::Sources& sources);
MemoryFigures collectMemory(const platform::Sources& sources);
// The machine's identity from the figures already collected, the system's names and the
// time.
MachineFigures collectMachine(const CpuFigures& cpu, const MemoryFigures& memory,
                              const platform::Sources& sources);

// One run of the CPU benchmark over `rows` (bench::kKernelTable, or a test's), as one
// repetition. `rowDone` sees each row as it completes.
BenchFigures runCpuBenchmark(std::span<const bench::KernelRow> rows, const Progress& progress,
                             const std::function<void(const BenchRow&)>& rowDone = {});
RamBenchFigures runRamBenchmark(const Progress& progress, const platform::Sources& sources);

// Two stability workers running `pass` for `seconds`, then STOP: at most one more pass each.
// `soFar` sees the counts once a second.
StabilityFigures runStability(int seconds, const Progress& progress,
                              const std::function<void(const StabilityFigures&)>& soFar = {},
                              const diag::PassRoutine& pass = diag::designedPass);

// `passes` memory test cycles over a block of `bytes` (rounded down to 128 bytes), with the
// window's own run. `soFar` sees the figures after every cycle. The block the system would
// not give is the failure.
platform::Expected<MemtestFigures, diag::NoBlock> runMemtest(
    std::int64_t bytes, int passes, const Progress& progress, const platform::Sources& sources,
    const std::function<void(const MemtestFigures&)>& soFar = {});

}  // namespace report
