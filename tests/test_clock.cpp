// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <deque>
#include <utility>

#include "platform/priority.h"
#include "sysinfo/clock.h"

namespace {

// A machine whose clock runs at 2445.78 MHz and whose sleeps last as scripted: each
// sleep of 500 ms takes the next scripted length, and the monotonic clock and the counter
// advance by it, as a pause or a suspend would make them.
std::deque<std::int64_t> sleepLengthsMs;
std::int64_t nowMs = 0;
platform::Clock jumpingMachine(std::deque<std::int64_t> lengths) {
    sleepLengthsMs = std::move(lengths);
    return {.nanoseconds = [] { return static_cast<std::uint64_t>(nowMs) * 1'000'000; },
            .timeStampCounter = [] { return static_cast<std::uint64_t>(nowMs) * 2'445'780; },
            .sleepMs =
                [](std::uint32_t ms) {
                    const bool scripted = ms == 500 && !sleepLengthsMs.empty();
                    nowMs += scripted ? sleepLengthsMs.front() : ms;
                    if (scripted) sleepLengthsMs.pop_front();
                }};
}

// The thread's policy and nice value.
std::pair<platform::ThreadPolicy, int> scheduling() {
    return {platform::currentThreadPolicy(), platform::currentProcessNice()};
}

}  // namespace

TEST(ClockMeasurement, NoReadingFromADisturbedSleep) {
    EXPECT_EQ(sysinfo::measureClockCycles(jumpingMachine({500})), 1'222'890'000u);
    // Stops of 1 s and 2.5 s in the sleep, or a sleep 100 ms short or 26 ms long: each is
    // measured once more.
    for (std::int64_t stopped : {1500, 3000, 400, 526}) {
        EXPECT_EQ(sysinfo::measureClockCycles(jumpingMachine({stopped, 524})),
                  1'281'588'720u)  // 524 ms of cycles
            << stopped;
    }
    // Both sleeps disturbed: no reading, rather than a made-up clock.
    EXPECT_FALSE(sysinfo::measureClockCycles(jumpingMachine({1000, 2500})));
}

TEST(RaisedPriority, PutsBackThePolicyItFound) {
    const auto before = scheduling();
    { platform::RaisedPriority raised; }
    EXPECT_EQ(scheduling(), before);
}

TEST(RaisedPriority, IsQuietlyRefusedForAnOrdinaryUser) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become an ordinary user";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child drops to "nobody" and checks that nothing changes and nothing fails.
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(3);
        const auto before = scheduling();
        const bool raised = platform::RaisedPriority().raised();  // put back at the semicolon
        _exit(!raised && scheduling() == before ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
