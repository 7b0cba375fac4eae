// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/run_on_cpus.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace diag {
namespace {

// The longest the run goes without looking at the stop flag and the workers.
constexpr std::uint32_t kSliceMs = 100;

enum class WorkerState { Starting, Running, NotPinned, Ended };

// One worker's counts, written by it and read by the run while it works.
struct Tally {
    std::atomic<std::int64_t> passes{0}, errors{0};
    std::atomic<std::int64_t> unattributedPasses{0}, unattributedErrors{0};
    std::atomic<WorkerState> state{WorkerState::Starting};
    std::mutex mutex;
    std::optional<CpuFirstError> first;  // under mutex
};

struct WorkerSettings {
    const CpuRunPlan* plan;
    std::uint64_t startNs;
    bool endAtFirstError;
};

bool stopRequested(const CpuRunPlan& plan) {
    return plan.stop != nullptr && plan.stop->load(std::memory_order_relaxed);
}

double secondsSince(const CpuRunPlan& plan, std::uint64_t startNs) {
    return static_cast<double>(plan.clock.nanoseconds() - startNs) / 1e9;
}

void work(int cpu, PassRoutine pass, WorkerSettings settings, const std::atomic<bool>& end,
          Tally& tally) {
    if (!platform::pinCurrentThread(cpu)) {
        tally.state.store(WorkerState::NotPinned);
        return;
    }
    tally.state.store(WorkerState::Running);
    do {
        // A pass is this CPU's only when the thread was on it at both ends: pinned, it
        // cannot have left in between unless its pinning was undone, which these see too.
        const int before = platform::currentCpu();
        const PassOutcome outcome = pass();
        if (before != cpu || platform::currentCpu() != cpu) {
            tally.unattributedPasses.fetch_add(1, std::memory_order_relaxed);
            if (!outcome.right) tally.unattributedErrors.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        const std::int64_t passes = tally.passes.fetch_add(1, std::memory_order_relaxed) + 1;
        if (outcome.right) continue;
        if (tally.errors.fetch_add(1, std::memory_order_relaxed) == 0) {
            const double seconds = secondsSince(*settings.plan, settings.startNs);
            std::lock_guard lock(tally.mutex);
            tally.first = CpuFirstError{passes, seconds, outcome.first};
        }
        if (settings.endAtFirstError) break;
    } while (!end.load(std::memory_order_relaxed) && !stopRequested(*settings.plan));
    tally.state.store(WorkerState::Ended);
}

// The workers of one phase; ends and waits for every one of them when it goes, also when
// the caller's sampling throws.
class Workers {
  public:
    Workers(const CpuRunPlan& plan, std::uint64_t startNs, bool endAtFirstError)
        : settings_{&plan, startNs, endAtFirstError} {}
    ~Workers() { endAll(); }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // False when no thread could be had.
    bool start(int cpu) {
        Tally& tally = tallies_.emplace_back();
        try {
            threads_.emplace_back(work, cpu, settings_.plan->pass, settings_, std::cref(end_),
                                  std::ref(tally));
        } catch (const std::system_error&) {
            tally.state.store(WorkerState::Ended);
            return false;
        }
        return true;
    }

    bool allEnded() const {
        return std::all_of(tallies_.begin(), tallies_.end(), [](const Tally& tally) {
            const WorkerState state = tally.state.load();
            return state == WorkerState::Ended || state == WorkerState::NotPinned;
        });
    }

    void endAll() {
        end_.store(true, std::memory_order_relaxed);
        for (std::thread& thread : threads_)
            if (thread.joinable()) thread.join();
    }

    Tally& tally(std::size_t n) { return tallies_[n]; }

  private:
    WorkerSettings settings_;
    std::atomic<bool> end_{false};
    std::deque<Tally> tallies_;  // a deque: every worker keeps the address of its own
    std::vector<std::thread> threads_;
};

class Run {
  public:
    explicit Run(const CpuRunPlan& plan) : plan_(plan), startNs_(plan.clock.nanoseconds()) {
        result_.cpus.resize(plan.cpus.size());
        for (std::size_t n = 0; n < plan.cpus.size(); ++n) result_.cpus[n].cpu = plan.cpus[n];
        nextSampleNs_ = startNs_ + intervalNs_;
    }

    CpuRunResult allCpus() {
        {
            Workers workers(plan_, startNs_, false);
            for (std::size_t n = 0; n < plan_.cpus.size(); ++n)
                if (!workers.start(plan_.cpus[n])) result_.cpus[n].outcome = CpuOutcome::NoThread;
            const auto copy = [&] {
                for (std::size_t n = 0; n < plan_.cpus.size(); ++n)
                    copyMain(workers.tally(n), result_.cpus[n]);
            };
            waitFor(plan_.duration, workers, copy);
            workers.endAll();
            copy();
        }
        for (CpuResult& cpu : result_.cpus)
            if (cpu.errors > 0) retest(cpu);
        result_.phase = RunPhase::Ended;
        result_.retestCpu = -1;
        result_.seconds = secondsSince(plan_, startNs_);
        return result_;
    }

  private:
    static std::uint64_t nanoseconds(std::chrono::milliseconds ms) {
        return static_cast<std::uint64_t>(std::max<std::int64_t>(ms.count(), 0)) * 1'000'000;
    }

    // Until `length` has passed since the phase began, the stop flag is set or every worker
    // has ended; samples on the way.
    template <class Copy>
    void waitFor(std::chrono::milliseconds length, const Workers& workers, const Copy& copy) {
        const std::uint64_t phaseStart = plan_.clock.nanoseconds();
        const std::uint64_t endNs = phaseStart + nanoseconds(length);
        for (;;) {
            if (stopRequested(plan_)) result_.stopped = true;
            const std::uint64_t now = plan_.clock.nanoseconds();
            if (result_.stopped || now >= endNs || workers.allEnded()) return;
            if (now >= nextSampleNs_) {
                while (nextSampleNs_ <= now) nextSampleNs_ += intervalNs_;
                if (plan_.sample) {
                    copy();
                    result_.seconds = secondsSince(plan_, startNs_);
                    plan_.sample(result_);
                }
                continue;  // the sampling may have set the stop flag
            }
            const std::uint64_t untilNext = std::min(endNs, nextSampleNs_) - now;
            plan_.clock.sleepMs(static_cast<std::uint32_t>(
                std::clamp<std::uint64_t>(untilNext / 1'000'000, 1, kSliceMs)));
        }
    }

    static void copyMain(Tally& tally, CpuResult& cpu) {
        if (tally.state.load() == WorkerState::NotPinned) cpu.outcome = CpuOutcome::NotPinned;
        cpu.passes = tally.passes.load(std::memory_order_relaxed);
        cpu.errors = tally.errors.load(std::memory_order_relaxed);
        cpu.unattributedPasses = tally.unattributedPasses.load(std::memory_order_relaxed);
        cpu.unattributedErrors = tally.unattributedErrors.load(std::memory_order_relaxed);
        std::lock_guard lock(tally.mutex);
        cpu.firstError = tally.first;
    }

    void retest(CpuResult& cpu) {
        if (result_.stopped || stopRequested(plan_)) {
            result_.stopped = true;
            cpu.retest = Retest::Stopped;
            return;
        }
        result_.phase = RunPhase::Retest;
        result_.retestCpu = cpu.cpu;
        Workers alone(plan_, startNs_, true);
        if (!alone.start(cpu.cpu)) {
            cpu.retest = Retest::NotRun;
            return;
        }
        Tally& tally = alone.tally(0);
        const auto copy = [&] {
            cpu.retestPasses = tally.passes.load(std::memory_order_relaxed);
            cpu.retestErrors = tally.errors.load(std::memory_order_relaxed);
        };
        waitFor(plan_.retest.value_or(retestLength(plan_.duration)), alone, copy);
        alone.endAll();
        copy();
        if (tally.state.load() == WorkerState::NotPinned) {
            cpu.retest = Retest::NotRun;
        } else if (cpu.retestErrors > 0) {
            cpu.retest = Retest::Confirmed;
        } else {
            cpu.retest = result_.stopped ? Retest::Stopped : Retest::NotReproduced;
        }
    }

    const CpuRunPlan& plan_;
    const std::uint64_t startNs_;
    const std::uint64_t intervalNs_ = std::max<std::uint64_t>(nanoseconds(plan_.sampleInterval), 1);
    std::uint64_t nextSampleNs_;
    CpuRunResult result_;
};

}  // namespace

bool CpuRunResult::foundErrors() const {
    return std::any_of(cpus.begin(), cpus.end(), [](const CpuResult& cpu) {
        return cpu.errors > 0 || cpu.unattributedErrors > 0;
    });
}

std::chrono::milliseconds retestLength(std::chrono::milliseconds duration) {
    return std::max(std::chrono::milliseconds{10'000}, duration / 10);
}

CpuRunResult runOnCpus(const CpuRunPlan& plan) {
    return Run(plan).allCpus();
}

}  // namespace diag
