// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "diag/memtest.h"
#include "platform/memory_limits.h"
#include "platform/sources.h"

namespace fs = std::filesystem;
using platform::MemoryAllowance;
using platform::MemoryLimit;
using platform::readMemoryAllowance;

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = 1024 * KiB;
constexpr std::int64_t GiB = 1024 * MiB;

fs::path tree(const std::string& name) {
    return fs::path(CORVANE_FIXTURES) / "limits" / name;
}

// A tree below a fresh directory from {file, text} pairs.
fs::path makeTree(const std::string& name,
                  std::initializer_list<std::pair<std::string, std::string>> files) {
    const fs::path root = fs::path(testing::TempDir()) / ("corvane-limits-" + name);
    fs::remove_all(root);
    for (const auto& [file, text] : files) {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file) << text;
    }
    return root;
}

const std::string kMeminfo =
    "MemTotal: 16777216 kB\nMemFree: 1048576 kB\n"
    "MemAvailable: 12582912 kB\nActive(file): 8388608 kB\n";

}  // namespace

TEST(UnusedMemory, AvailableLessActiveAndMappedFilePagesBetweenFreeAndAvailable) {
    using platform::unusedMemoryFromMeminfo;
    // 12 GiB available of which 8 GiB are active file pages: 4 GiB.
    EXPECT_EQ(unusedMemoryFromMeminfo(kMeminfo), 4 * GiB);
    // A file a program maps and reads in a loop stays inactive: 1 GiB mapped is left too.
    EXPECT_EQ(unusedMemoryFromMeminfo(kMeminfo + "Mapped: 1048576 kB\n"), 3 * GiB);
    // More active file pages than the cache holds beside the free memory: the free memory.
    EXPECT_EQ(unusedMemoryFromMeminfo("MemFree: 3145728 kB\nMemAvailable: 4194304 kB\n"
                                      "Active(file): 4194304 kB\n"),
              3 * GiB);
    // More free than available (the watermarks are kept back): what is available.
    EXPECT_EQ(unusedMemoryFromMeminfo("MemFree: 4194304 kB\nMemAvailable: 3145728 kB\n"
                                      "Active(file): 0 kB\n"),
              3 * GiB);
    // No Active(file) or MemFree line: MemAvailable, capped at the total as RAM Info does.
    EXPECT_EQ(unusedMemoryFromMeminfo("MemTotal: 1048576 kB\nMemAvailable: 2097152 kB\n"), GiB);
    EXPECT_FALSE(unusedMemoryFromMeminfo("MemTotal: 1048576 kB\nMemFree: 1024 kB\n"));
    EXPECT_FALSE(unusedMemoryFromMeminfo("MemAvailable: -1 kB\n"));
}

TEST(MemoryAllowanceRead, V2NestedGroupsTheParentIsTheTighter) {
    // app.scope: 2 GiB, 1 GiB charged; user-1000.slice: "max"; user.slice: 4 GiB, 3.5 GiB
    // charged; every memory.high "max".
    const auto a = readMemoryAllowance(tree("v2-nested"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->unused, 4 * GiB);
    EXPECT_EQ(a->bytes, 512 * MiB);
    EXPECT_EQ(a->limit, (MemoryLimit{4 * GiB, 512 * MiB, "/sys/fs/cgroup/user.slice/memory.max"}));
    EXPECT_EQ(platform::readMemoryLimits(tree("v2-nested")),
              (std::vector<MemoryLimit>{
                  {2 * GiB, GiB, "/sys/fs/cgroup/user.slice/user-1000.slice/app.scope/memory.max"},
                  {4 * GiB, 512 * MiB, "/sys/fs/cgroup/user.slice/memory.max"}}));
}

TEST(MemoryAllowanceRead, V1ContainerSeesItsLimitInMemoryStat) {
    // Its own group is the mount's root and unlimited; the 1 GiB above it shows only as
    // hierarchical_memory_limit. The v2 hierarchy beside it has no memory controller.
    const auto a = readMemoryAllowance(tree("v1-container"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->unused, 11 * GiB);
    EXPECT_EQ(a->limit, (MemoryLimit{GiB, 724 * MiB, "/sys/fs/cgroup/memory/memory.stat"}));
    EXPECT_EQ(a->bytes, 724 * MiB);
}

TEST(MemoryAllowanceRead, UsageAboveTheLimitLeavesNothing) {
    // No mountinfo: the usual mount point. job7 holds 600 MiB under a 512 MiB limit.
    const auto a = readMemoryAllowance(tree("v1-usage-above-limit"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes, 0);
    EXPECT_EQ(a->limit, (MemoryLimit{512 * MiB, 0,
                                     "/sys/fs/cgroup/memory/batch/job7/memory.limit_in_bytes"}));
    EXPECT_EQ(platform::readMemoryLimits(tree("v1-usage-above-limit")).size(), 3u);
    EXPECT_EQ(diag::memTestBlockBytes(a->bytes), 0);  // the window shows "Not enough memory"
}

TEST(MemoryAllowanceRead, ResourceLimitsLeaveWhatTheProcessDoesNotHold) {
    // RLIMIT_AS 4 GiB less VmSize; RLIMIT_DATA 2 GiB less VmData 1,900 MiB: the least.
    const auto limits = platform::readMemoryLimits(tree("rlimits"));
    EXPECT_EQ(limits, (std::vector<MemoryLimit>{{4 * GiB, 4 * GiB - 312456 * KiB, "RLIMIT_AS"},
                                                {2 * GiB, 2 * GiB - 1900 * MiB, "RLIMIT_DATA"}}));
    EXPECT_EQ(readMemoryAllowance(tree("rlimits"))->bytes, 2 * GiB - 1900 * MiB);
}

TEST(MemoryAllowanceRead, AnythingMissingOrGarbledIsNoLimit) {
    for (const char* name : {"garbage", "meminfo-only"}) {
        const auto a = readMemoryAllowance(tree(name));
        ASSERT_TRUE(a) << name;
        EXPECT_EQ(a->bytes, a->unused) << name;
        EXPECT_EQ(a->bytes, 4 * GiB) << name;
        EXPECT_FALSE(a->limit) << name;
    }
    // Without /proc/meminfo nothing can be said.
    EXPECT_FALSE(readMemoryAllowance(tree("missing")));

    // A group outside a cgroup namespace ("/.."), and limits in files that are not numbers,
    // empty or a directory.
    const fs::path outside = makeTree("outside", {{"proc/meminfo", kMeminfo},
                                                  {"proc/self/cgroup", "0::/../sibling\n"},
                                                  {"sys/fs/cgroup/memory.max", "1048576\n"},
                                                  {"sys/fs/cgroup/memory.current", "0\n"},
                                                  {"sys/fs/cgroup/sibling/memory.max", "1048576\n"},
                                                  {"sys/fs/cgroup/sibling/memory.current", "0\n"}});
    EXPECT_FALSE(readMemoryAllowance(outside)->limit);
    const fs::path odd = makeTree("odd", {{"proc/meminfo", kMeminfo},
                                          {"proc/self/cgroup", "0::/a/b/c\n"},
                                          {"sys/fs/cgroup/a/memory.max", "1G\n"},
                                          {"sys/fs/cgroup/a/memory.current", "0\n"},
                                          {"sys/fs/cgroup/a/b/memory.max", ""},
                                          {"sys/fs/cgroup/a/b/memory.current", "0\n"},
                                          {"sys/fs/cgroup/a/b/c/memory.max/x", ""},
                                          {"sys/fs/cgroup/a/b/c/memory.current", "0\n"}});
    EXPECT_TRUE(platform::readMemoryLimits(odd).empty());
}

TEST(MemoryAllowanceRead, MountPointsAreTakenFromMountinfoWithTheirEscapes) {
    // A v2 hierarchy mounted at "/run/cg 2" (a blank written \040); v1's memory controller
    // mounted together with cpu.
    const fs::path root = makeTree(
        "escapes",
        {{"proc/meminfo", kMeminfo},
         {"proc/self/cgroup", "3:cpu,memory:/svc\n0::/svc\n"},
         {"proc/self/mountinfo",
          "40 30 0:37 / /run/cg\\0402 rw,relatime - cgroup2 cgroup2 rw\n"
          "41 30 0:38 / /cg/cpu,memory rw,relatime shared:9 - cgroup cgroup rw,cpu,memory\n"},
         {"run/cg 2/svc/memory.max", "2147483648\n"},
         {"run/cg 2/svc/memory.current", "1073741824\n"},
         {"run/cg 2/svc/memory.high", "1610612736\n"},
         {"cg/cpu,memory/svc/memory.limit_in_bytes", "3221225472\n"},
         {"cg/cpu,memory/svc/memory.usage_in_bytes", "1073741824\n"}});
    EXPECT_EQ(
        platform::readMemoryLimits(root),
        (std::vector<MemoryLimit>{{2 * GiB, GiB, "/run/cg 2/svc/memory.max"},
                                  {1536 * MiB, 512 * MiB, "/run/cg 2/svc/memory.high"},
                                  {3 * GiB, 2 * GiB, "/cg/cpu,memory/svc/memory.limit_in_bytes"}}));
}

TEST(MemoryAllowanceSource, TheSourcesAnswerAndNothingKnownIsZero) {
    platform::Sources sources;
    sources.memoryAllowanceSource = [] {
        return std::optional(MemoryAllowance{300'000'000, GiB, {}});
    };
    EXPECT_EQ(sources.memoryTestAllowance(), 300'000'000);
    sources.memoryAllowanceSource = [] { return std::optional<MemoryAllowance>(); };
    EXPECT_EQ(sources.memoryTestAllowance(), 0);
    sources.root = "/nowhere";  // nothing to read
    sources.memoryAllowanceSource = nullptr;
    EXPECT_EQ(sources.memoryTestAllowance(), 0);
    EXPECT_GT(platform::Sources{}.memoryTestAllowance(), 0);  // this machine's own
}
