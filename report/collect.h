#pragma once
// Gathers the report's figures with the routines the window itself runs.

#include <functional>
#include <string>

#include "report/report.h"

namespace report {

// Progress lines for standard error; the figures themselves go to standard output.
using Progress = std::function<void(const std::string&)>;

CpuFigures collectCpu();
MemoryFigures collectMemory();
BenchFigures runCpuBenchmark(const Progress& progress);
RamBenchFigures runRamBenchmark(const Progress& progress);

}  // namespace report

namespace report {

// Two stability workers for `seconds`, then STOP: at most one more pass each.
StabilityFigures runStability(int seconds, const Progress& progress);

// `passes` memory test cycles over a block of `bytes` (rounded down to 128 bytes).
MemtestFigures runMemtest(std::int64_t bytes, int passes, const Progress& progress);

}  // namespace report
