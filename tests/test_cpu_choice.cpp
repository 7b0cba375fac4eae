// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/cpu_choice.h"

using platform::chooseCpus;
using platform::CpuList;
using platform::CpuQuota;
using platform::CpuTopology;
using platform::QuotaNote;

namespace {

// Four cores of two threads whose siblings are numbered next to each other, as on AMD
// processors: cores {0,1}, {2,3}, {4,5}, {6,7}.
CpuTopology adjacentSiblings() {
    CpuTopology t;
    for (int cpu = 0; cpu < 8; ++cpu) {
        const int first = cpu & ~1;
        t.cpus.push_back({cpu, 0, 0, cpu / 2, {first, first + 1}, {}, true});
    }
    t.smtActive = true;
    return t;
}

const CpuList kAll = {0, 1, 2, 3, 4, 5, 6, 7};

CpuList chosen(const std::string& request, const CpuList& allowed,
               const std::optional<CpuQuota>& quota, const CpuTopology& topology) {
    const auto choice = chooseCpus(request, allowed, quota, topology);
    EXPECT_TRUE(choice) << request << ": " << (choice ? "" : choice.error());
    return choice ? choice->cpus : CpuList{};
}

}  // namespace

TEST(CpuChoice, AllIsEveryAllowedCpuWithoutAQuota) {
    const auto choice = chooseCpus("all", kAll, std::nullopt, adjacentSiblings());
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->cpus, kAll);
    EXPECT_FALSE(choice->limitedByQuota());
    EXPECT_EQ(chosen(" all\n", {2, 3, 5}, std::nullopt, adjacentSiblings()), (CpuList{2, 3, 5}));
    // A quota of as many CPUs as allowed, or more, takes nothing away; it is handed on.
    const CpuQuota eight{8.0, "/sys/fs/cgroup/cpu.max"};
    const auto generous = chooseCpus("all", kAll, eight, adjacentSiblings());
    EXPECT_EQ(generous->cpus, kAll);
    EXPECT_FALSE(generous->limitedByQuota());
    EXPECT_EQ(generous->quota, eight);
}

TEST(CpuChoice, AQuotaTakesItsWholeCpusOnDistinctCoresFirst) {
    const CpuQuota quota{2.5, "/sys/fs/cgroup/app.slice/cpu.max"};
    const auto choice = chooseCpus("all", kAll, quota, adjacentSiblings());
    ASSERT_TRUE(choice);
    // 2.5 CPUs: two, on two cores, never the two threads of one.
    EXPECT_EQ(choice->cpus, (CpuList{0, 2}));
    ASSERT_TRUE(choice->limitedByQuota());
    EXPECT_EQ(*choice->quotaNote, (QuotaNote{8, 2.5, 2, "/sys/fs/cgroup/app.slice/cpu.max"}));
    // Six of eight: every core once, then the first two cores' second threads.
    EXPECT_EQ(chosen("all", kAll, CpuQuota{6.0, "q"}, adjacentSiblings()),
              (CpuList{0, 1, 2, 3, 4, 6}));
    // Less than one CPU still runs on one.
    const auto small = chooseCpus("all", kAll, CpuQuota{0.3, "q"}, adjacentSiblings());
    EXPECT_EQ(small->cpus, (CpuList{0}));
    EXPECT_EQ(small->quotaNote->chosenCpus, 1);
    // Within an affinity mask that leaves core {2,3} whole and one thread of two others.
    EXPECT_EQ(chosen("all", {1, 2, 3, 4}, CpuQuota{3.0, "q"}, adjacentSiblings()),
              (CpuList{1, 2, 4}));
}

TEST(CpuChoice, AListIsTakenAsItIsWhenEveryCpuIsAllowed) {
    EXPECT_EQ(chosen("1,3-4", kAll, std::nullopt, adjacentSiblings()), (CpuList{1, 3, 4}));
    // Asked for by name, beyond the quota: someone chose it, and the quota goes along.
    const auto listed = chooseCpus("0-5", kAll, CpuQuota{1.0, "q"}, adjacentSiblings());
    EXPECT_EQ(listed->cpus, (CpuList{0, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(listed->limitedByQuota());
    EXPECT_TRUE(listed->quota);
}

TEST(CpuChoice, ACpuOutsideTheAllowedSetIsRefusedByNumber) {
    const auto refused = chooseCpus("2,7,9", {0, 1, 2, 3, 4, 5}, std::nullopt, adjacentSiblings());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "CPU 7 is not one this process may run on");
    EXPECT_FALSE(
        chooseCpus(platform::CpuRequest{false, {}}, kAll, std::nullopt, adjacentSiblings()));
    const auto bad = chooseCpus("3-1", kAll, std::nullopt, adjacentSiblings());
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error(), "\"3-1\" runs backwards");
}

TEST(CpuChoice, WithoutAnAffinityMaskTheOnlineCpusAreAllowed) {
    EXPECT_EQ(chosen("all", {}, std::nullopt, adjacentSiblings()), kAll);
    EXPECT_FALSE(chooseCpus("8", {}, std::nullopt, adjacentSiblings()));
    // Nothing known at all: "all" has nothing to run on; a list is left to the pinning.
    const auto nothing = chooseCpus("all", {}, std::nullopt, CpuTopology{});
    ASSERT_FALSE(nothing);
    EXPECT_EQ(nothing.error(), "no CPU this process may run on is known");
    EXPECT_EQ(chosen("3", {}, std::nullopt, CpuTopology{}), (CpuList{3}));
}

TEST(MachineCpusSummary, CountsFromTheTopologyBesideTheAllowedCpusAndQuota) {
    const CpuQuota quota{1.5, "/sys/fs/cgroup/cpu.max"};
    const auto summary = platform::summarizeMachineCpus(adjacentSiblings(), {0, 1}, quota, true);
    EXPECT_EQ(summary, (platform::MachineCpus{8, 4, 1, true, 0, 0, {0, 1}, quota, true}));

    CpuTopology hybrid = adjacentSiblings();
    for (int cpu = 0; cpu < 8; ++cpu)
        hybrid.cpus[static_cast<std::size_t>(cpu)].kind =
            cpu < 4 ? platform::CoreKind::performance : platform::CoreKind::efficiency;
    const auto mixed = platform::summarizeMachineCpus(hybrid, kAll, std::nullopt, false);
    EXPECT_EQ(mixed.performanceCpus, 4);
    EXPECT_EQ(mixed.efficiencyCpus, 4);
}
