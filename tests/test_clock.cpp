#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/priority.h"
#include "sysinfo/clock.h"

using sysinfo::clockTextFromCycles;

TEST(ClockText, IsTheQuotientCutToSevenCharactersNotRounded) {
    EXPECT_EQ(clockTextFromCycles(1'496'123'456u), "2992.24");  // 2992.246912
    EXPECT_EQ(clockTextFromCycles(400'123'456u), "800.246");    // 800.246912
    EXPECT_EQ(clockTextFromCycles(1'500'000'000u), "3000");
    EXPECT_EQ(clockTextFromCycles(1'499'999'999u), "2999.99");  // 2999.999998, cut
}

TEST(ClockText, CountsAboveThirtyTwoBitsHaveWrappedBeforeTheyArrive) {
    // 9000 MHz over 0.5 s is 4.5e9 cycles; only the low 32 bits reach the division.
    const std::uint64_t cycles = 4'500'000'000ull;
    EXPECT_EQ(clockTextFromCycles(static_cast<std::uint32_t>(cycles)), "410.065");
    EXPECT_EQ(clockTextFromCycles(0xFFFFFFFFu), "8589.93");
}

TEST(RaisedPriority, PutsBackThePolicyItFound) {
    const auto before = platform::currentThreadPolicy();
    const int niceBefore = platform::currentProcessNice();
    { platform::RaisedPriority raised; }
    EXPECT_EQ(platform::currentThreadPolicy(), before);
    EXPECT_EQ(platform::currentProcessNice(), niceBefore);
}

TEST(RaisedPriority, IsQuietlyRefusedForAnOrdinaryUser) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become an ordinary user";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child drops to "nobody" and checks that nothing changes and nothing fails.
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(3);
        const auto before = platform::currentThreadPolicy();
        const int niceBefore = platform::currentProcessNice();
        bool raised = true;
        {
            platform::RaisedPriority attempt;
            raised = attempt.raised();
        }
        const bool restored = platform::currentThreadPolicy() == before &&
                              platform::currentProcessNice() == niceBefore;
        _exit(!raised && restored ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ClockMeasurement, LeavesSchedulingAsItWasAndFillsTheClockText) {
    const auto before = platform::currentThreadPolicy();
    sysinfo::measureClock();
    EXPECT_EQ(platform::currentThreadPolicy(), before);
    EXPECT_FALSE(sysinfo::clockText().empty());
    EXPECT_LE(sysinfo::clockText().size(), 7u);
}
