// SPDX-License-Identifier: GPL-3.0-or-later
// The copy group with real copies (copy_child): pinned, released together, timed to the last
// one, and never outliving the group.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "copy_report.h"
#include "platform/copies.h"
#include "platform/cpus.h"

namespace {

using platform::CopyGroup;

CopyGroup::Launch launch(platform::CpuList cpus, std::vector<std::string> arguments = {}) {
    CopyGroup::Launch copies;
    copies.program = CORVANE_COPY_CHILD;
    copies.arguments = std::move(arguments);
    copies.cpus = std::move(cpus);
    copies.patience = std::chrono::seconds(20);
    return copies;
}

CopyReport reportOf(const CopyGroup& group, std::size_t index) {
    CopyReport report;
    std::memcpy(&report, group.slot(index), sizeof report);
    return report;
}

bool alive(int pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

TEST(CopyGroup, EachCopyRunsEveryStepPinnedAndTheStepLastsUntilTheLastCopyEnds) {
    const platform::CpuList cpus = platform::allowedCpus();
    ASSERT_FALSE(cpus.empty());
    auto group = CopyGroup::start(launch(cpus));
    ASSERT_TRUE(group) << group.error();
    std::vector<int> pids;
    for (int step = 0; step < 3; ++step) {
        const auto done = (*group)->run(step);
        ASSERT_TRUE(done) << done.error();
        ASSERT_EQ(done->copies.size(), cpus.size());
        for (std::size_t index = 0; index < cpus.size(); ++index) {
            const CopyReport report = reportOf(**group, index);
            EXPECT_EQ(report.index, static_cast<int>(index));
            EXPECT_EQ(report.cpu, cpus[index]);
            EXPECT_EQ(report.ranOn, cpus[index]);
            EXPECT_EQ(report.step, step);
            const platform::CopyTiming& timing = done->copies[index];
            EXPECT_LE(timing.startNs, timing.endNs);
            // Released before any copy started; over when the last one ended.
            EXPECT_LE(timing.endNs - timing.startNs, done->elapsedNs);
            if (step == 0) pids.push_back(report.pid);
        }
    }
    group->reset();  // the group ends its copies
    for (const int pid : pids) EXPECT_FALSE(alive(pid)) << pid;
}

TEST(CopyGroup, ACopyThatDiesOrCannotBePinnedIsNamedByItsCpu) {
    const platform::CpuList cpus = platform::allowedCpus();
    auto dying = CopyGroup::start(launch({cpus.back()}, {"die-at=1"}));
    ASSERT_TRUE(dying) << dying.error();
    EXPECT_TRUE((*dying)->run(0));
    const auto died = (*dying)->run(1);
    ASSERT_FALSE(died);
    EXPECT_NE(died.error().find("CPU " + std::to_string(cpus.back())), std::string::npos)
        << died.error();
    EXPECT_NE(died.error().find("signal 9"), std::string::npos) << died.error();

    const auto refused = CopyGroup::start(launch({4095}));
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("CPU 4095"), std::string::npos) << refused.error();
    EXPECT_FALSE(CopyGroup::start(launch({})));
}

TEST(CopyGroup, KillEndsACopyInTheMiddleOfAStep) {
    auto group = CopyGroup::start(launch({platform::allowedCpus().front()}, {"stall-at=0"}));
    ASSERT_TRUE(group) << group.error();
    (*group)->kill();
    EXPECT_EQ((*group)->size(), 0u);
}

TEST(CopyMember, RefusesAPlaceThatIsNotAGroups) {
    for (const char* where : {"", "1:2:3", "x:0:0:1", "100:0:0:0"})
        EXPECT_FALSE(platform::CopyMember::join(where)) << where;
}

}  // namespace
