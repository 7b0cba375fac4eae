// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/cpu_stability.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "diag/vector_pass.h"
#include "present/report_words.h"
#include "report/copies_bench.h"

namespace report {
namespace {

// The kernels workload of one worker: a copy of this program on the worker's CPU, which runs
// the next row each pass. One a thread, started at its first pass and ended with the thread.
struct KernelChecker {
    std::unique_ptr<LiveGroup> group;
    int nextRow = 0;
};

diag::PassOutcome checkKernelRow(std::map<int, int>& wrongRows, std::mutex& mutex) {
    thread_local KernelChecker checker;
    const int cpu = platform::currentCpu();
    if (!checker.group) {
        auto started = startCopies({cpu});
        if (!started) return {};
        checker.group = std::move(*started);
    }
    const int row = checker.nextRow % bench::kRowCount + 1;
    ++checker.nextRow;
    platform::CopyGroup& group = **checker.group;
    if (!group.run(kCheckRowStepBase + row)) return {};  // ended: Ctrl-C
    CopyStepResult result;
    std::memcpy(&result, group.slot(0), sizeof result);
    if (!result.wrong) return {};
    std::lock_guard lock(mutex);
    wrongRows.try_emplace(cpu, row);
    return {false, std::nullopt};
}

}  // namespace

platform::Expected<diag::PassRoutine, std::string> workloadPass(
    const std::string& workload, const std::shared_ptr<std::map<int, int>>& wrongRows) {
    auto mutex = std::make_shared<std::mutex>();
    const diag::PassRoutine kernels = [wrongRows, mutex] {
        return checkKernelRow(*wrongRows, *mutex);
    };
    const auto vector = diag::vectorPassRoutine();
    if (workload == "loop") return diag::PassRoutine(diag::designedPass);
    if (workload == "kernels") return kernels;
    if (workload == "vector") {
        if (!vector) return platform::Unexpected{std::string(present::kNoVectorUnit)};
        return *vector;
    }
    // "all": one pass of each in turn; a processor without the vector unit skips it.
    std::vector<diag::PassRoutine> turns{diag::PassRoutine(diag::designedPass), kernels};
    if (vector) turns.insert(turns.begin() + 1, *vector);
    return diag::PassRoutine(
        [turns, turn = std::size_t{0}]() mutable { return turns[turn++ % turns.size()](); });
}

void CoreTemperatures::sample(const std::vector<platform::TemperatureReading>& readings) {
    for (const platform::TemperatureReading& reading : readings) {
        if (!reading.core) continue;
        const std::pair key{reading.package.value_or(0), *reading.core};
        const auto [at, added] = highest_.try_emplace(key, reading.celsius);
        if (!added) at->second = std::max(at->second, reading.celsius);
    }
}

std::optional<double> CoreTemperatures::highest(const platform::LogicalCpu& cpu) const {
    if (!cpu.topologyKnown) return std::nullopt;
    const auto found = highest_.find({cpu.package, cpu.core});
    if (found == highest_.end()) return std::nullopt;
    return found->second;
}

namespace {

const char* valueName(diag::CheckedValue value) {
    switch (value) {
        case diag::CheckedValue::BeforeRounding:
            return "before_rounding";
        case diag::CheckedValue::IterationEnd:
            return "iteration_end";
        case diag::CheckedValue::LaneEnd:
            return "lane_end";
    }
    return "";
}

std::optional<std::string> retestName(diag::Retest retest) {
    if (retest == diag::Retest::Confirmed) return std::string(present::kRetestConfirmed);
    if (retest == diag::Retest::NotReproduced) return std::string(present::kRetestNotReproduced);
    return std::nullopt;
}

StabilityCpu stabilityCpuOf(const diag::CpuResult& result, const platform::CpuTopology& topology) {
    StabilityCpu cpu;
    cpu.cpu = result.cpu;
    cpu.core = result.cpu;
    cpu.siblings = {result.cpu};
    if (const platform::LogicalCpu* found = topology.find(result.cpu)) {
        cpu.core = found->core;
        cpu.package = found->package;
        cpu.die = found->die;
        cpu.siblings = found->siblings;
    }
    cpu.passes = result.passes;
    cpu.errors = result.errors;
    cpu.retest = retestName(result.retest);
    if (!result.firstError) return cpu;
    cpu.firstErrorSeconds = result.firstError->seconds;
    CpuMismatch& first = cpu.firstMismatch.emplace();
    first.pass = result.firstError->pass;
    if (const auto& mismatch = result.firstError->mismatch) {
        first.iteration = mismatch->iteration;
        first.value = valueName(mismatch->value);
        first.expected = mismatch->expected;
        first.got = mismatch->got;
    }
    return cpu;
}

}  // namespace

StabilityFigures stabilityFiguresOf(const diag::CpuRunResult& run, const CpuStabilityPlan& plan,
                                    const platform::CpuTopology& topology) {
    StabilityFigures figures;
    figures.seconds = plan.seconds;
    figures.workload = plan.workload;
    for (const diag::CpuResult& result : run.cpus) {
        figures.passes += result.passes + result.unattributedPasses;
        figures.errors += result.errors + result.unattributedErrors;
        figures.threadPasses.push_back(result.passes);
        figures.cpus.push_back(stabilityCpuOf(result, topology));
    }
    return figures;
}

namespace {

// What the samples and the end of the run add to the figures: temperatures, wrong rows.
struct RunNotes {
    CoreTemperatures temperatures;
    std::shared_ptr<std::map<int, int>> wrongRows = std::make_shared<std::map<int, int>>();
};

StabilityFigures annotated(StabilityFigures figures, const RunNotes& notes,
                           const platform::CpuTopology& topology) {
    for (StabilityCpu& cpu : figures.cpus) {
        if (const platform::LogicalCpu* found = topology.find(cpu.cpu))
            cpu.maxCelsius = notes.temperatures.highest(*found);
        const auto row = notes.wrongRows->find(cpu.cpu);
        if (row != notes.wrongRows->end() && cpu.firstMismatch)
            cpu.firstMismatch->row = row->second;
    }
    return figures;
}

// A progress line every ten seconds of the run, and one when a CPU's retest begins.
class RunProgress {
  public:
    explicit RunProgress(const Progress& progress) : progress_(progress) {}
    void sampled(const diag::CpuRunResult& run, const StabilityFigures& figures) {
        if (run.phase == diag::RunPhase::Retest && run.retestCpu != retestCpu_) {
            retestCpu_ = run.retestCpu;
            progress_(present::retestProgressLine(retestCpu_));
        }
        const int second = static_cast<int>(run.seconds);
        if (run.phase != diag::RunPhase::AllCpus || second / 10 <= shown_ / 10) return;
        shown_ = second;
        progress_(present::stabilityProgressLine(second, figures.passes, figures.errors));
    }

  private:
    const Progress& progress_;
    int retestCpu_ = -1;
    int shown_ = 0;
};

}  // namespace

platform::Expected<StabilityFigures, std::string> runStabilityOnCpus(
    const CpuStabilityPlan& plan, const platform::Sources& sources, const Progress& progress,
    const std::function<void(const StabilityFigures&)>& soFar) {
    RunNotes notes;
    const platform::CpuTopology topology = sources.cpuTopology();
    diag::CpuRunPlan run;
    run.cpus = plan.cpus;
    run.duration = std::chrono::seconds(plan.seconds);
    run.clock = sources.clock;
    run.retest = plan.retest;
    if (plan.pass) {
        run.pass = plan.pass;
    } else {
        auto pass = workloadPass(plan.workload, notes.wrongRows);
        if (!pass) return platform::Unexpected{pass.error()};
        run.pass = std::move(*pass);
    }
    RunProgress lines(progress);
    run.sample = [&](const diag::CpuRunResult& sofar) {
        notes.temperatures.sample(sources.temperatures());
        const StabilityFigures figures =
            annotated(stabilityFiguresOf(sofar, plan, topology), notes, topology);
        lines.sampled(sofar, figures);
        if (soFar) soFar(figures);
    };
    const diag::CpuRunResult result = diag::runOnCpus(run);
    notes.temperatures.sample(sources.temperatures());
    return annotated(stabilityFiguresOf(result, plan, topology), notes, topology);
}

}  // namespace report
