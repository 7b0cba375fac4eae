// SPDX-License-Identifier: GPL-3.0-or-later
// The stability workers: their order of updates, the stop flag, waiting for them, and a
// failing worker that must not take the program with it. Qt-free: runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "diag/potok1.h"
#include "pass_gate.h"

namespace {

// What each worker reported, by thread, in order.
struct Event {
    enum Kind { Pass, Error, End } kind;
    std::int64_t value;
    friend bool operator==(const Event&, const Event&) = default;
};
using Events = std::map<std::thread::id, std::vector<Event>>;

// Counted over all lists: a new thread may reuse the id of one that has ended.
std::size_t endedCount(const Events& events) {
    std::size_t n = 0;
    for (const auto& [id, list] : events)
        n += std::count(list.begin(), list.end(), Event{Event::End, 0});
    return n;
}

struct RecordingReport : diag::StabilityReport {
    void passCounted(std::int64_t passes) override { record({Event::Pass, passes}); }
    void errorCounted(std::int32_t errors) override { record({Event::Error, errors}); }
    void ended() override { record({Event::End, 0}); }

    bool waitForEnded(std::size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60),
                                 [&] { return endedCount(byThread_) == n; });
    }
    void record(Event event) {
        std::lock_guard lock(mutex_);
        byThread_[std::this_thread::get_id()].push_back(event);
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    Events byThread_;  // read by the test once the workers have ended or been joined
};

class StabilityWorkersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gate = &passes;
        diag::cpuTestStop.store(false);
    }
    void TearDown() override {
        passes.openFully();
        workers.stopAndJoin();
    }

    PassGate passes;
    std::shared_ptr<RecordingReport> report = std::make_shared<RecordingReport>();
    diag::StabilityWorkers workers;
};

TEST_F(StabilityWorkersTest, EachWorkerCountsItsOwnPassesAndEachWrongPassOnce) {
    passes.results = {true, true, false, true, false};
    workers.startTwo(report, gatedPass);
    passes.allow(4);
    ASSERT_TRUE(passes.waitFor(2, 10));
    diag::cpuTestStop.store(true);
    passes.allow(1);
    ASSERT_TRUE(report->waitForEnded(2));

    const Events& events = report->byThread_;
    ASSERT_EQ(events.size(), 2u);
    // Within a worker: passes count 1, 2, ...; an error follows its pass and counts 1, 2, ...;
    // the end comes last.
    using enum Event::Kind;
    const std::vector<Event> each{{Pass, 1}, {Pass, 2}, {Pass, 3},  {Error, 1},
                                  {Pass, 4}, {Pass, 5}, {Error, 2}, {End, 0}};
    for (const auto& [id, list] : events) EXPECT_EQ(list, each);
    EXPECT_EQ(passes.started, 10);  // each worker ended after its pass; none began after STOP
}

// A worker still in its pass goes on beside a new test's two; stopAndJoin waits for all.
TEST_F(StabilityWorkersTest, StopAndJoinWaitsForEveryWorkerAlsoOneFromAnEarlierTest) {
    workers.startTwo(report, gatedPass);
    ASSERT_TRUE(passes.waitFor(2));
    diag::cpuTestStop.store(true);
    passes.allow(1, {0});  // one worker ends, the other is still in its pass
    ASSERT_TRUE(report->waitForEnded(1));
    ASSERT_TRUE(passes.waitFor(1));
    // Its thread marks itself finished just after its end steps.
    while (workers.running() != 1) std::this_thread::yield();

    diag::cpuTestStop.store(false);  // RUN again clears the flag, then starts two more
    workers.startTwo(report, gatedPass);
    ASSERT_TRUE(passes.waitFor(3));
    EXPECT_EQ(workers.running(), 3u);

    passes.openFully();
    workers.stopAndJoin();
    EXPECT_TRUE(diag::cpuTestStop.load());
    EXPECT_EQ(workers.running(), 0u);
    EXPECT_EQ(passes.inPass, 0);
    EXPECT_EQ(endedCount(report->byThread_), 4u);  // every worker of both tests
}

// The second count cannot be handed over: memory has run out.
struct ExhaustedReport : RecordingReport {
    void passCounted(std::int64_t passes) override {
        if (passes == 2) throw std::bad_alloc();
        RecordingReport::passCounted(passes);
    }
};

TEST_F(StabilityWorkersTest, WorkerOutOfMemoryStopsAndStillReportsItsEnd) {
    auto exhausted = std::make_shared<ExhaustedReport>();
    workers.startTwo(exhausted, gatedPass);
    passes.allow(2);
    ASSERT_TRUE(passes.waitFor(0, 4));
    workers.stopAndJoin();  // returns: both threads left their run method
    for (const auto& [id, list] : exhausted->byThread_)
        EXPECT_EQ(list, (std::vector<Event>{{Event::Pass, 1}, {Event::End, 0}}));
}

}  // namespace
