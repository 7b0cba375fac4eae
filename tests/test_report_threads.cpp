#include <gtest/gtest.h>

#include "diag/stability.h"
#include "report/collect.h"

namespace {
bool wrongPass() {
    return false;
}
bool soundPass() {
    return true;
}
const report::Progress quiet = [](const std::string&) {};
}  // namespace

TEST(ReportStability, AnInjectedFaultIsCountedAndMakesTheExitStatusFail) {
    diag::ScopedStabilityPass faulty(wrongPass);
    report::Report r;
    r.stability = report::runStability(1, quiet);
    EXPECT_GT(r.stability->passes, 0);
    EXPECT_EQ(r.stability->errors, r.stability->passes);
    EXPECT_TRUE(r.foundErrors());
}

TEST(ReportStability, SoundPassesLeaveNoErrorsAndOneFinalCount) {
    diag::ScopedStabilityPass sound(soundPass);
    report::Report r;
    std::string last;
    r.stability = report::runStability(1, [&](const std::string& line) { last = line; });
    EXPECT_GT(r.stability->passes, 0);
    EXPECT_EQ(r.stability->errors, 0);
    EXPECT_FALSE(r.foundErrors());
    // The last progress line and the summary give the same count: the one after the stop.
    EXPECT_EQ(last, "CPU test: 1 s, " + std::to_string(r.stability->passes) + " passes, 0 errors");
    ASSERT_EQ(r.stability->threadPasses.size(), 2u);
    EXPECT_EQ(r.stability->threadPasses[0] + r.stability->threadPasses[1], r.stability->passes);
}

TEST(ReportMemtest, CountsTheRequestedCyclesOnAHealthyBlock) {
    const report::MemtestFigures m = report::runMemtest(1 << 20, 3, quiet);
    EXPECT_EQ(m.bytes, 1 << 20);
    EXPECT_EQ(m.passes, 6);  // two per cycle
    EXPECT_EQ(m.errors, 0);
}
