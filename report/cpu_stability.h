// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stability test with --cpus: one pinned worker a chosen CPU (diag::runOnCpus), its
// figures per CPU with where the CPU sits, and each core's highest temperature.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "diag/run_on_cpus.h"
#include "platform/sources.h"
#include "report/collect.h"
#include "report/report.h"

namespace report {

// What one worker runs a pass: "loop" (the designed loop), "vector" (the widest vector
// unit's known-answer loop), "kernels" (the benchmark's rows, one a pass in turn, untimed and
// checked, each in a copy of this program pinned beside the worker) or "all" (the three in
// turn, pass by pass). `wrongRows` learns each CPU's first wrong row. The reason when the
// processor has no unit for the workload.
platform::Expected<diag::PassRoutine, std::string> workloadPass(
    const std::string& workload, const std::shared_ptr<std::map<int, int>>& wrongRows);

struct CpuStabilityPlan {
    int seconds = 0;
    std::string workload = "loop";
    platform::CpuList cpus;
    // Empty: the workload's own.
    diag::PassRoutine pass;
    // Absent: diag::retestLength of the run.
    std::optional<std::chrono::milliseconds> retest;
};

// The figures of a run so far: the window's counts beside every CPU's own.
StabilityFigures stabilityFiguresOf(const diag::CpuRunResult& run, const CpuStabilityPlan& plan,
                                    const platform::CpuTopology& topology);

// Keeps each core's highest temperature over the samples, from the readings that name a core.
class CoreTemperatures {
  public:
    void sample(const std::vector<platform::TemperatureReading>& readings);
    std::optional<double> highest(const platform::LogicalCpu& cpu) const;

  private:
    std::map<std::pair<int, int>, double> highest_;  // package, core
};

platform::Expected<StabilityFigures, std::string> runStabilityOnCpus(
    const CpuStabilityPlan& plan, const platform::Sources& sources, const Progress& progress,
    const std::function<void(const StabilityFigures&)>& soFar = {});

}  // namespace report
