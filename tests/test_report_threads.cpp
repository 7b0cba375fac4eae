// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "diag/stability.h"
#include "report/collect.h"

// The sound run is the real pass on both workers at once (under ThreadSanitizer too).
TEST(ReportStability, WrongPassesAreCountedAndFailTheExitStatusRealOnesDoNot) {
    for (const bool sound : {false, true}) {
        const diag::PassRoutine pass = sound ? diag::PassRoutine(diag::designedPass) : [] {
            return diag::PassOutcome{false, {}};
        };
        report::Report r;
        std::string last;
        r.stability = report::runStability(
            1, [&](const std::string& line) { last = line; }, {}, pass);
        const auto& s = *r.stability;
        EXPECT_GT(s.passes, 0);
        EXPECT_EQ(s.errors, sound ? 0 : s.passes);
        EXPECT_EQ(r.foundErrors(), !sound);
        // The last progress line and the summary give the same counts: those after the stop.
        EXPECT_EQ(last, "CPU test: 1 s, " + std::to_string(s.passes) + " passes, " +
                            std::to_string(s.errors) + " errors");
        ASSERT_EQ(s.threadPasses.size(), 2u);
        EXPECT_TRUE(s.threadPasses[0] > 0 && s.threadPasses[1] > 0);
        EXPECT_EQ(s.threadPasses[0] + s.threadPasses[1], s.passes);
    }
}

TEST(ReportMemtest, CountsTheRequestedCyclesOnAHealthyBlock) {
    const auto m = report::runMemtest(
        1 << 20, 3, [](const std::string&) {}, platform::Sources{});
    ASSERT_TRUE(m);
    EXPECT_EQ(m->bytes, 1 << 20);
    EXPECT_EQ(m->passes, 6);  // two per cycle
    EXPECT_EQ(m->errors, 0);
    // A block no system can give is the run's failure, told without a throw.
    EXPECT_FALSE(report::runMemtest(
        std::int64_t{1} << 62, 1, [](const std::string&) {}, platform::Sources{}));
}
