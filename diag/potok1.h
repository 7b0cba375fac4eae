// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stability test's worker thread, and the set of workers the window starts and, when
// it closes, stops and waits for.

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "diag/stability.h"

namespace diag {

// What a worker shows, in the order it happens. Called on the worker's own thread; a
// window hands each call over to its own thread in the same order.
class StabilityReport {
  public:
    virtual ~StabilityReport() = default;
    // After every pass: the worker's pass count so far.
    virtual void passCounted(std::int64_t passes) = 0;
    // After a wrong pass, following its passCounted: the worker's error count so far.
    virtual void errorCounted(std::int32_t errors) = 0;
    // Once, when the worker saw the stop flag at the end of a pass.
    virtual void ended() = 0;
};

// One worker: its thread runs stability passes from construction until it finds the CPU
// test stop flag set at the end of a pass. The pass and error counts are its own.
class potok1 {
  public:
    potok1(std::shared_ptr<StabilityReport> report, PassRoutine pass);
    ~potok1();  // waits for the thread
    potok1(const potok1&) = delete;
    potok1& operator=(const potok1&) = delete;

    // True once the thread has left its run method, normally or not.
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    void join();

  private:
    void Execute();

    std::shared_ptr<StabilityReport> report_;
    PassRoutine pass_;
    std::atomic<bool> finished_{false};
    std::thread thread_;  // last: starts once everything it uses is in place
};

// The workers of every test started and not yet released.
class StabilityWorkers {
  public:
    StabilityWorkers() = default;
    ~StabilityWorkers() { stopAndJoin(); }
    StabilityWorkers(const StabilityWorkers&) = delete;
    StabilityWorkers& operator=(const StabilityWorkers&) = delete;

    // Releases the workers that have ended, then starts two more running `pass`. Workers of
    // an earlier test that are still running go on beside them.
    void startTwo(const std::shared_ptr<StabilityReport>& report, const PassRoutine& pass);

    // Sets the stop flag and waits for every worker: at most one pass each.
    void stopAndJoin();

    std::size_t running() const;

  private:
    std::vector<std::unique_ptr<potok1>> workers_;
};

}  // namespace diag
