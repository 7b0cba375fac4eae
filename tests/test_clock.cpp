// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <utility>

#include "platform/priority.h"
#include "sysinfo/clock.h"

using sysinfo::clockTextFromCycles;

namespace {

// A machine whose clock runs at 2445.78 MHz and whose sleeps last as scripted: each
// sleep of 500 ms takes the next scripted length, and the monotonic clock and the counter
// advance by it, as a pause or a suspend would make them.
std::deque<std::int64_t> sleepLengthsMs;
std::int64_t nowMs = 0;
sysinfo::ClockSources jumpingMachine(std::deque<std::int64_t> lengths) {
    sleepLengthsMs = std::move(lengths);
    return {[] { return static_cast<std::uint64_t>(nowMs) * 2'445'780; },
            [] { return nowMs * 1'000'000; },
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

// Cut, not rounded, to seven characters; a count above 32 bits (9000 MHz over 0.5 s is
// 4.5e9 cycles) has wrapped before it arrives.
TEST(ClockText, IsTheQuotientCutToSevenCharacters) {
    for (const auto& [cycles, text] : {std::pair{1'496'123'456u, "2992.24"},  // 2992.246912
                                       {400'123'456u, "800.246"},             // 800.246912
                                       {1'500'000'000u, "3000"},
                                       {1'499'999'999u, "2999.99"},  // 2999.999998
                                       {static_cast<std::uint32_t>(4'500'000'000ull), "410.065"},
                                       {0xFFFFFFFFu, "8589.93"}})
        EXPECT_EQ(clockTextFromCycles(cycles), text) << cycles;
}

TEST(ClockMeasurement, NoReadingFromADisturbedSleepIsShown) {
    EXPECT_TRUE(sysinfo::measureClock(jumpingMachine({500})));
    EXPECT_EQ(sysinfo::clockText(), "2445.78");
    // Stops of 1 s and 2.5 s in the sleep, or a sleep 100 ms short or 26 ms long: each is
    // measured once more.
    for (std::int64_t stopped : {1500, 3000, 400, 526}) {
        EXPECT_TRUE(sysinfo::measureClock(jumpingMachine({stopped, 524}))) << stopped;
        EXPECT_EQ(sysinfo::clockText(), "2563.17") << stopped;  // 524 ms of cycles
    }
    // Both sleeps disturbed: the text stays as it was, and the report gets nothing.
    EXPECT_FALSE(sysinfo::measureClock(jumpingMachine({1000, 2500})));
    EXPECT_EQ(sysinfo::clockText(), "2563.17");
    EXPECT_FALSE(sysinfo::measureClockCycles(jumpingMachine({1000, 2500})));
}

// The separator is the C locale's, as QApplication sets it from the environment. A locale
// with a comma is made at test time, so the test needs no locale generated on the machine.
TEST(ClockText, UsesTheUsersDecimalSeparator) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("corvane-locale-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "comma.src") << "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
                                        "LC_NUMERIC\ndecimal_point \"<U002C>\"\n"
                                        "thousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n";
    // localedef warns about the categories left out and says so in its status; the files
    // it writes are what counts.
    const std::string make = "localedef -c -f UTF-8 -i " + (dir / "comma.src").string() + " " +
                             (dir / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
    (void)std::system(make.c_str());
    setenv("LOCPATH", dir.c_str(), 1);

    const std::uint32_t cycles = 1'222'890'000;  // 2445.78 MHz
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
    EXPECT_EQ(clockTextFromCycles(cycles), "2445,78");
    ASSERT_TRUE(std::setlocale(LC_NUMERIC, "C"));
    EXPECT_EQ(clockTextFromCycles(cycles), "2445.78");
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
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
