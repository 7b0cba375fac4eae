// SPDX-License-Identifier: GPL-3.0-or-later
// The window's job runner without a window: one job at a time, on one thread of its own; a
// job submitted while another runs runs at that job's next event point, to its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "platform/jobs.h"

namespace {

// What the jobs did, in order, and on which threads; waits for an entry to appear.
class Log {
  public:
    void note(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
        threads_.push_back(std::this_thread::get_id());
        changed_.notify_all();
    }
    bool waitFor(const std::string& entry) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] {
            return std::find(entries_.begin(), entries_.end(), entry) != entries_.end();
        });
    }
    std::vector<std::string> entries() {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::vector<std::thread::id> threads() {
        std::lock_guard lock(mutex_);
        return threads_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> entries_;
    std::vector<std::thread::id> threads_;
};

// A gate a job waits at, for ten seconds at most.
bool pass(std::binary_semaphore& gate) {
    return gate.try_acquire_for(std::chrono::seconds(10));
}

bool waitUntilIdle(const platform::JobRunner& runner) {
    for (int i = 0; i < 10'000 && !runner.idle(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return runner.idle();
}

}  // namespace

// Two jobs of three steps each, the second submitted while the first waits in its first
// step: the second runs whole at the first's next event point, and both on one thread that
// is not the submitter's.
TEST(JobRunner, ANestedJobRunsWholeBetweenTheStepsOfTheOuter) {
    Log log;
    std::binary_semaphore submitted{0};
    platform::WorkerJobRunner runner;
    EXPECT_TRUE(runner.idle());
    const auto job = [&](const std::string& name, std::binary_semaphore* waitIn) {
        return [&, name, waitIn] {
            for (int step = 1; step <= 3; ++step) {
                log.note(name + " step " + std::to_string(step));
                if (step == 1 && waitIn) pass(*waitIn);
                runner.eventPoint();
            }
        };
    };
    runner.submit(job("outer", &submitted));
    ASSERT_TRUE(log.waitFor("outer step 1"));
    EXPECT_FALSE(runner.idle());
    runner.submit(job("inner", nullptr));
    submitted.release();
    ASSERT_TRUE(log.waitFor("outer step 3"));
    ASSERT_TRUE(waitUntilIdle(runner));

    const std::vector<std::string> expected = {"outer step 1", "inner step 1", "inner step 2",
                                               "inner step 3", "outer step 2", "outer step 3"};
    EXPECT_EQ(log.entries(), expected);
    const auto threads = log.threads();
    EXPECT_EQ(std::count(threads.begin(), threads.end(), threads[0]), 6);
    EXPECT_NE(threads[0], std::this_thread::get_id());
}

// Jobs queued while none runs go in the order they came, each after the other.
TEST(JobRunner, QueuedJobsRunInTheirOrderOneAfterTheOther) {
    Log log;
    std::binary_semaphore first{0};
    platform::WorkerJobRunner runner;
    runner.submit([&] {
        log.note("1 starts");
        pass(first);
        log.note("1 ends");
    });
    for (const char* name : {"2", "3"}) runner.submit([&, name] { log.note(name); });
    first.release();
    ASSERT_TRUE(waitUntilIdle(runner));
    EXPECT_EQ(log.entries(), (std::vector<std::string>{"1 starts", "1 ends", "2", "3"}));
}

// The end of the runner waits for the job under way.
TEST(JobRunner, EndingWaitsForTheJobUnderWay) {
    Log log;
    std::binary_semaphore release{0};
    std::jthread opener;
    {
        platform::WorkerJobRunner runner;
        runner.submit([&] {
            log.note("under way");
            pass(release);
            log.note("ended");
        });
        ASSERT_TRUE(log.waitFor("under way"));
        opener = std::jthread([&] { release.release(); });
    }
    EXPECT_EQ(log.entries(), (std::vector<std::string>{"under way", "ended"}));
}
