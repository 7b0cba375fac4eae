// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>

#include "fixture_tree.h"
#include "platform/cgroups.h"
#include "platform/cpu_quota.h"

using fixtures::Tree;
using platform::CpuQuota;
using platform::readCpuQuota;

namespace {

// A v2 machine whose process runs in /app.slice/job.scope, mounted where systemd puts it.
Tree v2Machine(const std::string& name) {
    Tree tree("quota-" + name);
    tree.file("proc/self/cgroup", "0::/app.slice/job.scope\n")
        .file("proc/self/mountinfo",
              "24 30 0:22 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw,nsdelegate\n");
    return tree;
}

// A v1 machine with cpu and cpuacct mounted together, the process in /batch/job7.
Tree v1Machine(const std::string& name) {
    Tree tree("quota-" + name);
    tree.file("proc/self/cgroup",
              "5:memory:/batch/job7\n3:cpu,cpuacct:/batch/job7\n1:name=systemd:/batch/job7\n")
        .file("proc/self/mountinfo",
              "30 22 0:27 / /sys/fs/cgroup ro - tmpfs tmpfs ro,mode=755\n"
              "33 30 0:30 / /sys/fs/cgroup/cpu,cpuacct rw shared:9 - cgroup cgroup rw,cpu,cpuacct\n"
              "34 30 0:31 / /sys/fs/cgroup/memory rw shared:10 - cgroup cgroup rw,memory\n"
              "40 30 0:37 / /sys/fs/cgroup/unified rw shared:11 - cgroup2 cgroup2 rw\n");
    return tree;
}

}  // namespace

TEST(CgroupLevels, FromTheProcessOwnGroupUpToTheRootOfEachHierarchy) {
    Tree tree = v1Machine("levels");
    const auto levels = platform::cgroupLevels(tree.root(), "cpu");
    // No "0::" line: the unified hierarchy mounted beside holds nothing of this process.
    EXPECT_TRUE(levels.v2.empty());
    ASSERT_EQ(levels.v1.size(), 3u);
    EXPECT_EQ(levels.v1[0],
              (platform::CgroupLevel{tree.root() / "sys/fs/cgroup/cpu,cpuacct/batch/job7",
                                     "/sys/fs/cgroup/cpu,cpuacct/batch/job7", true}));
    EXPECT_EQ(levels.v1[1].shown, "/sys/fs/cgroup/cpu,cpuacct/batch");
    EXPECT_EQ(levels.v1[2].shown, "/sys/fs/cgroup/cpu,cpuacct");
    EXPECT_FALSE(levels.v1[1].own);
    // "cpu" names the controller, not any hierarchy whose name starts so (cpuacct, cpuset).
    EXPECT_EQ(platform::cgroupLevels(tree.root(), "memory").v1[0].shown,
              "/sys/fs/cgroup/memory/batch/job7");
    EXPECT_TRUE(platform::cgroupLevels(tree.root(), "cpuset").v1.empty());
}

TEST(CpuQuotaRead, V2QuotaOfOneAndAHalfCpusOnTheProcessOwnGroup) {
    Tree tree = v2Machine("v2-own");
    tree.file("sys/fs/cgroup/app.slice/job.scope/cpu.max", "150000 100000\n")
        .file("sys/fs/cgroup/app.slice/cpu.max", "max 100000\n");
    EXPECT_EQ(readCpuQuota(tree.root()),
              (CpuQuota{1.5, "/sys/fs/cgroup/app.slice/job.scope/cpu.max"}));
}

TEST(CpuQuotaRead, TheSmallestOverTheGroupAndItsAncestorsWins) {
    Tree tree = v2Machine("v2-parent");
    tree.file("sys/fs/cgroup/app.slice/job.scope/cpu.max", "400000 100000\n")
        .file("sys/fs/cgroup/app.slice/cpu.max", "25000 50000\n");
    EXPECT_EQ(readCpuQuota(tree.root()), (CpuQuota{0.5, "/sys/fs/cgroup/app.slice/cpu.max"}));

    // On v1 the parent's 2 CPUs hold below the unlimited own group, and the v2 hierarchy
    // beside, without a cpu controller, adds nothing.
    Tree v1 = v1Machine("v1-parent");
    v1.file("sys/fs/cgroup/cpu,cpuacct/batch/job7/cpu.cfs_quota_us", "-1\n")
        .file("sys/fs/cgroup/cpu,cpuacct/batch/job7/cpu.cfs_period_us", "100000\n")
        .file("sys/fs/cgroup/cpu,cpuacct/batch/cpu.cfs_quota_us", "200000\n")
        .file("sys/fs/cgroup/cpu,cpuacct/batch/cpu.cfs_period_us", "100000\n")
        .file("sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", "-1\n")
        .file("sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(readCpuQuota(v1.root()),
              (CpuQuota{2.0, "/sys/fs/cgroup/cpu,cpuacct/batch/cpu.cfs_quota_us"}));
}

TEST(CpuQuotaRead, MaxAndMinusOneAreNoQuota) {
    Tree v2 = v2Machine("v2-max");
    v2.file("sys/fs/cgroup/app.slice/job.scope/cpu.max", "max 100000\n")
        .file("sys/fs/cgroup/app.slice/cpu.max", "max 100000\n");
    EXPECT_EQ(readCpuQuota(v2.root()), std::nullopt);
    Tree v1 = v1Machine("v1-none");
    v1.file("sys/fs/cgroup/cpu,cpuacct/batch/job7/cpu.cfs_quota_us", "-1\n")
        .file("sys/fs/cgroup/cpu,cpuacct/batch/job7/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(readCpuQuota(v1.root()), std::nullopt);
}

TEST(CpuQuotaRead, WithoutMountinfoTheUsualMountPointsAreRead) {
    Tree tree("quota-no-mountinfo");
    tree.file("proc/self/cgroup", "3:cpu,cpuacct:/lxc/web\n0::/\n")
        .file("sys/fs/cgroup/cpu/lxc/web/cpu.cfs_quota_us", "50000\n")
        .file("sys/fs/cgroup/cpu/lxc/web/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(readCpuQuota(tree.root()),
              (CpuQuota{0.5, "/sys/fs/cgroup/cpu/lxc/web/cpu.cfs_quota_us"}));
}

TEST(CpuQuotaRead, AnythingUnreadableOrGarbledIsNoQuota) {
    // Each level holds a different kind of garbage; the one readable file is outside the
    // process's cgroup namespace.
    Tree v2 = v2Machine("v2-garbage");
    v2.file("sys/fs/cgroup/app.slice/job.scope/cpu.max", "150000\n")
        .file("sys/fs/cgroup/app.slice/cpu.max", "1.5 100000\n")
        .folder("sys/fs/cgroup/cpu.max");
    EXPECT_EQ(readCpuQuota(v2.root()), std::nullopt);
    for (const char* text : {"", "max", "abc 100000", "150000 0", "150000 100000 7",
                             "-150000 100000", "150000 100000x", "0 100000"}) {
        v2.file("sys/fs/cgroup/app.slice/job.scope/cpu.max", text);
        EXPECT_EQ(readCpuQuota(v2.root()), std::nullopt) << text;
    }

    Tree v1 = v1Machine("v1-garbage");
    v1.file("sys/fs/cgroup/cpu,cpuacct/batch/job7/cpu.cfs_quota_us", "50000\n")
        .file("sys/fs/cgroup/cpu,cpuacct/batch/cpu.cfs_quota_us", "50000\n")
        .file("sys/fs/cgroup/cpu,cpuacct/batch/cpu.cfs_period_us", "many\n");
    EXPECT_EQ(readCpuQuota(v1.root()), std::nullopt);  // one without a period, one garbled

    Tree outside("quota-outside");
    outside.file("proc/self/cgroup", "0::/../sibling\n")
        .file("sys/fs/cgroup/sibling/cpu.max", "50000 100000\n");
    EXPECT_EQ(readCpuQuota(outside.root()), std::nullopt);
    EXPECT_EQ(readCpuQuota(Tree("quota-nothing").root()), std::nullopt);
}
