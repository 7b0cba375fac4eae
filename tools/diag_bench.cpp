// SPDX-License-Identifier: GPL-3.0-or-later
// Measures the Diagnostic page's work on this machine: stability passes per second with one
// and two workers, the memory test's write and check speeds over a given size, and how long
// each test takes from STOP to its end.
//
//   diag_bench [seconds per stability run = 10] [memory test MiB = 1024]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "diag/memtest.h"
#include "diag/potok1.h"
#include "platform/ticks.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class CountingReport : public diag::StabilityReport {
  public:
    void passCounted(std::int64_t) override {
        std::lock_guard lock(mutex_);
        ++passes_;
    }
    void errorCounted(std::int32_t) override {
        std::lock_guard lock(mutex_);
        ++errors_;
    }
    void ended() override {
        std::lock_guard lock(mutex_);
        ++ended_;
        lastEnd_ = Clock::now();
        changed_.notify_all();
    }
    void waitForEnds(int n) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ended_ >= n; });
    }
    std::int64_t passes() {
        std::lock_guard lock(mutex_);
        return passes_;
    }
    std::int64_t errors() {
        std::lock_guard lock(mutex_);
        return errors_;
    }
    Clock::time_point lastEnd() {
        std::lock_guard lock(mutex_);
        return lastEnd_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t passes_ = 0;
    std::int64_t errors_ = 0;
    int ended_ = 0;
    Clock::time_point lastEnd_;
};

void stabilityWithTwoWorkers(double seconds) {
    diag::cpuTestStop.store(false);
    auto report = std::make_shared<CountingReport>();
    diag::StabilityWorkers workers;
    const auto start = Clock::now();
    workers.startTwo(report, diag::designedPass);
    while (secondsSince(start) < seconds) platform::sleepMs(50);
    const auto passes = static_cast<double>(report->passes());
    const double elapsed = secondsSince(start);
    const auto stop = Clock::now();
    diag::cpuTestStop.store(true);
    report->waitForEnds(2);
    const double stopToEnd = std::chrono::duration<double>(report->lastEnd() - stop).count();
    workers.stopAndJoin();
    std::printf("stability, two workers: %.2f passes/s in all, %.2f per worker, %lld errors\n",
                passes / elapsed, passes / elapsed / 2, static_cast<long long>(report->errors()));
    std::printf("stability: STOP to the end of both workers: %.0f ms\n", stopToEnd * 1000);
}

void stabilityWithOneThread(double seconds) {
    const auto start = Clock::now();
    int passes = 0;
    int wrong = 0;
    while (secondsSince(start) < seconds) {
        wrong += !diag::stabilityPass().right;
        ++passes;
    }
    std::printf("stability, one worker alone: %.2f passes/s (%.1f ms a pass), %d errors\n",
                passes / secondsSince(start), secondsSince(start) * 1000 / passes, wrong);
}

// Shows what the window would, with wall-clock times beside.
class TimingView : public diag::MemTestView {
  public:
    explicit TimingView(int cycles) : cycles_(cycles) {}
    void showSize(std::int64_t mib) override {
        std::printf("memory test: %lld MiB\n", static_cast<long long>(mib));
    }
    void showWriteSpeed(const diag::PhaseSpeed& speed) override {
        std::printf("  write: %lld Mb/sec (%d ms)\n", static_cast<long long>(speed.mbPerSec),
                    speed.timed.ms);
    }
    void showCheckSpeed(const diag::PhaseSpeed& speed) override {
        std::printf("  check: %lld Mb/sec (%d ms)\n", static_cast<long long>(speed.mbPerSec),
                    speed.timed.ms);
    }
    void showPasses(std::int64_t) override {}
    void showErrors(std::int64_t e) override {
        std::printf("  errors: %lld\n", static_cast<long long>(e));
    }
    void processEvents(diag::EventPoint point) override {
        // How long the job ran since its last event point: what a window waits for at most.
        const auto now = Clock::now();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        if (point != diag::EventPoint::DuringBacking)
            std::printf("  event point %d: %.2f s since the last, %ld major faults so far\n",
                        static_cast<int>(point), std::chrono::duration<double>(now - last_).count(),
                        usage.ru_majflt);
        last_ = now;
        if (point == diag::EventPoint::AfterWriteOnes && ++cycle_ == cycles_) {
            // STOP clicked during the timed write of the last cycle.
            diag::memTestStop.store(1);
            stop_ = Clock::now();
        }
        if (point == diag::EventPoint::AfterCheckZeros && cycle_ == 1) {
            std::printf("  one whole cycle: %.2f s\n", secondsSince(cycleStart_));
        }
    }
    void cycleEnded(std::int64_t) override {}
    void refused(const diag::NoBlock&) override {}
    void ended() override { end_ = Clock::now(); }

    Clock::time_point cycleStart_ = Clock::now();
    Clock::time_point stop_;
    Clock::time_point end_;

  private:
    int cycles_;
    int cycle_ = 0;
    Clock::time_point last_ = Clock::now();
};

void memoryTest(std::int64_t mib) {
    // The injected "available" figure that gives a block of exactly `mib` MiB.
    const std::int64_t available = (mib << 20) * 100 / 99 + 128;
    TimingView view(2);
    const auto start = Clock::now();
    view.cycleStart_ = start;
    diag::memTestStop.store(0);
    platform::Sources sources;
    sources.memoryAllowanceSource = [available] {
        return platform::MemoryAllowance{available, available, {}};
    };
    const diag::MemTestRun run = diag::runMemTest(view, sources);
    if (!run) {
        std::puts("memory test: no block");
        return;
    }
    std::printf("memory test: %lld passes, %lld errors, %.2f s with allocation\n",
                static_cast<long long>(run->passes), static_cast<long long>(run->errors),
                secondsSince(start));
    std::printf("memory test: STOP seen to the end: %.1f ms\n",
                std::chrono::duration<double>(view.end_ - view.stop_).count() * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const std::int64_t mib = argc > 2 ? std::atoll(argv[2]) : 1024;
    stabilityWithOneThread(seconds);
    stabilityWithTwoWorkers(seconds);
    memoryTest(mib);
    return 0;
}
