// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stability test on every chosen CPU at once, one pinned worker per CPU, so that an
// error names the CPU that made it. A CPU with an error is then tested again alone, with
// the others idle: an error that comes back there is the CPU's own, one that does not may
// have come from the load of the whole machine (heat, power) or been a single event.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "diag/stability.h"
#include "platform/cpus.h"
#include "platform/sources.h"

namespace diag {

enum class CpuOutcome : std::uint8_t {
    Tested,     // its worker ran pinned to it
    NotPinned,  // the system would not run a thread on it: nothing was tested there
    NoThread,   // no thread could be started for it
};

enum class Retest : std::uint8_t {
    None,           // no error on this CPU: nothing to retest
    Confirmed,      // it failed again while it ran alone
    NotReproduced,  // every pass of the retest was right
    Stopped,        // the run was stopped before the retest could say
    NotRun,         // the CPU, or a thread for it, could no longer be had for the retest
};

// The first wrong pass of a CPU.
struct CpuFirstError {
    std::int64_t pass = 0;                  // the CPU's own passes, counted from 1
    double seconds = 0.0;                   // from the start of the run to the end of that pass
    std::optional<FirstMismatch> mismatch;  // when the pass routine tells it
};

struct CpuResult {
    int cpu = -1;
    CpuOutcome outcome = CpuOutcome::Tested;
    std::int64_t passes = 0;
    std::int64_t errors = 0;
    // Passes the worker began or ended on another CPU than its own (its pinning was undone
    // under it): counted here, apart, since they say nothing about this CPU.
    std::int64_t unattributedPasses = 0;
    std::int64_t unattributedErrors = 0;
    std::optional<CpuFirstError> firstError;
    Retest retest = Retest::None;
    std::int64_t retestPasses = 0;
    std::int64_t retestErrors = 0;
};

enum class RunPhase : std::uint8_t { AllCpus, Retest, Ended };

struct CpuRunResult {
    std::vector<CpuResult> cpus;  // in the order of the plan
    RunPhase phase = RunPhase::AllCpus;
    int retestCpu = -1;    // the CPU under retest, in that phase
    double seconds = 0.0;  // since the start of the run
    bool stopped = false;  // the stop flag ended it

    // Whether any pass on any CPU came out wrong, attributed or not.
    bool foundErrors() const;
};

struct CpuRunPlan {
    platform::CpuList cpus;
    std::chrono::milliseconds duration{60'000};
    PassRoutine pass = designedPass;
    // Set from another thread or a signal handler; every worker ends within its pass.
    const std::atomic<bool>* stop = nullptr;
    // Its nanoseconds time the run, its sleep waits between looks at the workers.
    platform::Clock clock;
    // Absent: retestLength(duration).
    std::optional<std::chrono::milliseconds> retest;
    // Called on the thread that called runOnCpus, with what was found so far.
    std::function<void(const CpuRunResult&)> sample;
    std::chrono::milliseconds sampleInterval{1000};
};

// The retest of one CPU: a tenth of the run, and at least ten seconds.
std::chrono::milliseconds retestLength(std::chrono::milliseconds duration);

// Runs the plan to its end, or until the stop flag is set; returns what was found either
// way. A CPU's retest ends early at its first error.
CpuRunResult runOnCpus(const CpuRunPlan& plan);

}  // namespace diag
