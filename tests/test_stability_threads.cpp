// The stability workers: their order of updates, the stop flag, waiting for them, and a
// failing worker that must not take the program with it. Qt-free: runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "diag/potok1.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kGenerous = 60s;

// Passes run only when the test lets them; each can be told to come out wrong.
struct PassGate {
    std::mutex mutex;
    std::condition_variable changed;
    int permits = 0;
    bool open = false;
    int inPass = 0;
    int started = 0;
    std::vector<bool> results;  // by pass start order; missing means right

    void reset() {
        std::lock_guard lock(mutex);
        permits = 0;
        open = false;
        inPass = 0;
        started = 0;
        results.clear();
    }
    void allow(int n) {
        std::lock_guard lock(mutex);
        permits += n;
        changed.notify_all();
    }
    void openFully() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    template <class Predicate>
    bool waitFor(Predicate predicate) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kGenerous, predicate);
    }
};

PassGate gate;

bool gatedPass() {
    std::unique_lock lock(gate.mutex);
    const int index = gate.started++;
    ++gate.inPass;
    gate.changed.notify_all();
    gate.changed.wait(lock, [] { return gate.open || gate.permits > 0; });
    if (!gate.open) --gate.permits;
    --gate.inPass;
    gate.changed.notify_all();
    return index >= static_cast<int>(gate.results.size()) || gate.results[index];
}

// What each worker reported, by thread, in order.
struct Event {
    enum Kind { Pass, Error, End } kind;
    std::int64_t value;
    friend bool operator==(const Event&, const Event&) = default;
};

class RecordingReport : public diag::StabilityReport {
  public:
    void passCounted(std::int64_t passes) override { record({Event::Pass, passes}); }
    void errorCounted(std::int32_t errors) override { record({Event::Error, errors}); }
    void ended() override { record({Event::End, 0}); }

    template <class Predicate>
    bool waitFor(Predicate predicate) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kGenerous, [&] { return predicate(byThread_); });
    }
    std::map<std::thread::id, std::vector<Event>> events() {
        std::lock_guard lock(mutex_);
        return byThread_;
    }

  protected:
    void record(Event event) {
        std::lock_guard lock(mutex_);
        byThread_[std::this_thread::get_id()].push_back(event);
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::thread::id, std::vector<Event>> byThread_;
};

using Events = std::map<std::thread::id, std::vector<Event>>;

std::size_t endedCount(const Events& events) {
    std::size_t n = 0;
    for (const auto& [id, list] : events) n += !list.empty() && list.back().kind == Event::End;
    return n;
}

class StabilityWorkersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gate.reset();
        diag::cpuTestStop.store(false);
    }
    void TearDown() override {
        gate.openFully();
        workers.stopAndJoin();
    }

    diag::ScopedStabilityPass pass{&gatedPass};
    std::shared_ptr<RecordingReport> report = std::make_shared<RecordingReport>();
    diag::StabilityWorkers workers;
};

TEST_F(StabilityWorkersTest, StopEndsEachWorkerAfterItsCurrentPass) {
    workers.startTwo(report);
    ASSERT_TRUE(gate.waitFor([] { return gate.inPass == 2; }));
    diag::cpuTestStop.store(true);
    gate.allow(2);
    ASSERT_TRUE(report->waitFor([](const Events& e) { return endedCount(e) == 2; }));
    workers.stopAndJoin();
    // Each worker showed the pass it was in, then ended; no pass was started after STOP.
    for (const auto& [id, list] : report->events()) {
        EXPECT_EQ(list, (std::vector<Event>{{Event::Pass, 1}, {Event::End, 0}}));
    }
    EXPECT_EQ(gate.started, 2);
}

TEST_F(StabilityWorkersTest, EachWorkerCountsItsOwnPassesAndWrongPasses) {
    gate.results = {true, true, false, false, true, true, false, true};
    workers.startTwo(report);
    gate.allow(8);
    ASSERT_TRUE(gate.waitFor([] { return gate.started >= 8 && gate.inPass == 2; }));
    diag::cpuTestStop.store(true);
    gate.allow(2);
    ASSERT_TRUE(report->waitFor([](const Events& e) { return endedCount(e) == 2; }));

    const Events events = report->events();
    ASSERT_EQ(events.size(), 2u);
    std::int64_t passes = 0;
    std::int64_t errors = 0;
    for (const auto& [id, list] : events) {
        // Within a worker: pass counts rise by one, an error follows its pass and rises by
        // one, and the end comes last.
        std::int64_t expectPass = 1;
        std::int64_t expectError = 1;
        for (std::size_t i = 0; i + 1 < list.size(); ++i) {
            if (list[i].kind == Event::Pass) {
                EXPECT_EQ(list[i].value, expectPass++);
            } else {
                ASSERT_EQ(list[i].kind, Event::Error);
                ASSERT_GT(i, 0u);
                EXPECT_EQ(list[i - 1].kind, Event::Pass);
                EXPECT_EQ(list[i].value, expectError++);
            }
        }
        EXPECT_EQ(list.back().kind, Event::End);
        passes += expectPass - 1;
        errors += expectError - 1;
    }
    EXPECT_EQ(passes, 10);
    EXPECT_EQ(errors, 3);
}

TEST_F(StabilityWorkersTest, StopAndJoinWaitsForThePassesUnderWay) {
    workers.startTwo(report);
    ASSERT_TRUE(gate.waitFor([] { return gate.inPass == 2; }));
    gate.openFully();
    workers.stopAndJoin();
    EXPECT_TRUE(diag::cpuTestStop.load());
    EXPECT_EQ(workers.running(), 0u);
    EXPECT_EQ(gate.inPass, 0);
    EXPECT_EQ(endedCount(report->events()), 2u);
}

TEST_F(StabilityWorkersTest, WorkerStillRunningGoesOnBesideANewTest) {
    workers.startTwo(report);
    ASSERT_TRUE(gate.waitFor([] { return gate.inPass == 2; }));
    diag::cpuTestStop.store(true);
    gate.allow(1);  // one worker ends, the other is still in its pass
    ASSERT_TRUE(report->waitFor([](const Events& e) { return endedCount(e) == 1; }));
    ASSERT_TRUE(gate.waitFor([] { return gate.inPass == 1; }));

    // RUN again: the flag is cleared before the new workers start.
    diag::cpuTestStop.store(false);
    workers.startTwo(report);
    ASSERT_TRUE(gate.waitFor([] { return gate.inPass == 3; }));
    EXPECT_EQ(workers.running(), 3u);
}

class ThrowingReport : public RecordingReport {
  public:
    void passCounted(std::int64_t passes) override {
        if (passes == 2) throw std::runtime_error("no caption");
        RecordingReport::passCounted(passes);
    }
};

TEST_F(StabilityWorkersTest, FailingWorkerEndsQuietlyWithoutItsEndSteps) {
    auto failing = std::make_shared<ThrowingReport>();
    workers.startTwo(failing);
    gate.allow(4);
    ASSERT_TRUE(gate.waitFor([] { return gate.started == 4 && gate.inPass == 0; }));
    workers.stopAndJoin();  // returns: both threads left their run method
    for (const auto& [id, list] : failing->events()) {
        EXPECT_EQ(list, (std::vector<Event>{{Event::Pass, 1}}));
    }
}

TEST(StabilityWorkersReal, SoundLoopCountsPassesAndNoErrors) {
    diag::cpuTestStop.store(false);
    auto report = std::make_shared<RecordingReport>();
    diag::StabilityWorkers workers;
    workers.startTwo(report);
    ASSERT_TRUE(report->waitFor([](const Events& e) {
        if (e.size() < 2) return false;
        for (const auto& [id, list] : e) {
            if (list.size() < 2) return false;
        }
        return true;
    }));
    workers.stopAndJoin();
    for (const auto& [id, list] : report->events()) {
        EXPECT_EQ(list.back().kind, Event::End);
        for (const Event& event : list) EXPECT_NE(event.kind, Event::Error);
    }
}

}  // namespace
