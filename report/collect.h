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
