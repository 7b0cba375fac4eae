// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/memory_status.h"

namespace fs = std::filesystem;
using platform::readMemoryStatus;

namespace {

constexpr std::int64_t KiB = 1024;
const std::string kGood =
    "MemTotal: 1000 kB\nMemAvailable: 500 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n";

std::string fixture(const std::string& name) {
    std::ifstream in(fs::path(CORVANE_FIXTURES) / name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A /proc tree below a fresh directory; an empty optional leaves that file out.
fs::path makeRoot(const std::string& name, std::optional<std::string> meminfo,
                  std::optional<std::string> status = fixture("status-vmsize-300m.txt"),
                  std::optional<std::string> limits = std::nullopt) {
    const fs::path root = fs::path(testing::TempDir()) / ("corvane-memory-status-" + name);
    fs::remove_all(root);
    fs::create_directories(root / "proc/self");
    for (const auto& [file, text] : {std::pair{"proc/meminfo", meminfo},
                                     {"proc/self/status", status},
                                     {"proc/self/limits", limits}})
        if (text) std::ofstream(root / file) << *text;
    return root;
}

}  // namespace

// 16 GiB of RAM and 24 GiB of page file: each would wrap in a signed 32-bit count. The
// virtual figures are the address-space cases'.
TEST(MemoryStatusRead, DesktopWithSwapGivesEveryFigureInBytes) {
    const auto report =
        readMemoryStatus(makeRoot("desktop", fixture("meminfo-desktop-16g-swap.txt")));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->totalPhys, 16303940 * KiB);
    EXPECT_EQ(report->availPhys, 9876544 * KiB);
    EXPECT_EQ(report->totalPageFile, (16303940 + 8388604) * KiB);
    EXPECT_EQ(report->availPageFile, (9876544 + 8123004) * KiB);

    const auto noSwap = readMemoryStatus(makeRoot("no-swap", fixture("meminfo-no-swap.txt")));
    ASSERT_TRUE(noSwap);
    EXPECT_EQ(noSwap->totalPageFile, noSwap->totalPhys);
    EXPECT_EQ(noSwap->availPageFile, noSwap->availPhys);
}

TEST(MemoryStatusRead, OnlyAnAddressSpaceLimitBelowTheUserSpaceSetsTheVirtualTotal) {
    const std::string meminfo = fixture("meminfo-no-swap.txt");
    const std::string status = fixture("status-vmsize-300m.txt");
    const auto limited = readMemoryStatus(
        makeRoot("limited", meminfo, status, fixture("limits-address-space-4g.txt")));
    ASSERT_TRUE(limited);
    EXPECT_EQ(limited->totalVirtual, std::int64_t{4294967296});
    EXPECT_EQ(limited->availVirtual, 4294967296 - 312456 * KiB);

    std::string huge = fixture("limits-address-space-4g.txt");
    huge.replace(huge.find("4294967296"), 10, "9223372036854775807");
    for (const auto& [name, limits] :
         {std::pair{"unlimited", std::optional(fixture("limits-unlimited.txt"))},
          {"huge", huge},
          {"garbage", std::string("Max address space  lots  lots  bytes\n")},
          {"no-limits", std::nullopt}}) {
        const auto report = readMemoryStatus(makeRoot(name, meminfo, status, limits));
        ASSERT_TRUE(report) << name;
        EXPECT_EQ(report->totalVirtual, platform::kUserAddressSpace) << name;
    }
}

TEST(MemoryStatusBadInput, MissingOrMalformedFilesAndFieldsGiveNoReport) {
    const std::string meminfo = fixture("meminfo-no-swap.txt");
    EXPECT_FALSE(readMemoryStatus(makeRoot("missing", std::nullopt)));
    for (const char* name : {"meminfo-empty.txt", "meminfo-garbage.txt",
                             "meminfo-no-memavailable.txt", "meminfo-huge-values.txt"})
        EXPECT_FALSE(readMemoryStatus(makeRoot(name, fixture(name)))) << name;
    EXPECT_FALSE(readMemoryStatus(fs::path(testing::TempDir()) / "corvane-no-such-root"));
    EXPECT_FALSE(readMemoryStatus(makeRoot("no-status", meminfo, std::nullopt)));
    EXPECT_FALSE(readMemoryStatus(makeRoot("no-vmsize", meminfo, fixture("status-no-vmsize.txt"))));
    ASSERT_TRUE(readMemoryStatus(makeRoot("good", kGood)));
    for (const char* line :
         {"MemAvailable: -500 kB", "MemAvailable: kB", "MemAvailable: 500 MB", "MemAvailable: 500",
          "MemAvailable: 500 kB x", "MemTotal: 0 kB", "MemAvailable: 5x00 kB"}) {
        // The first of a key wins.
        EXPECT_FALSE(readMemoryStatus(makeRoot("bad", std::string(line) + "\n" + kGood))) << line;
    }
}

// Container setups can report more available than there is: nothing in use is negative.
TEST(MemoryStatusRead, WhatIsAvailableIsCappedAtTheTotal) {
    const auto report = readMemoryStatus(makeRoot(
        "over", "MemTotal: 1000 kB\nMemAvailable: 1200 kB\nSwapTotal: 100 kB\nSwapFree: 300 kB\n",
        "VmSize: 5000 kB\n", "Max address space  4096  unlimited  bytes\n"));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->availPhys, report->totalPhys);
    EXPECT_EQ(report->availPageFile, report->totalPageFile);
    EXPECT_EQ(report->totalVirtual, 4096);
    EXPECT_EQ(report->availVirtual, 0);  // a limit below what is already mapped
}

// A device, a pipe or a huge file served in a file's place is never read to its end.
TEST(MemoryStatusBadInput, OddFilesAreRefusedOrReadOnlyToTheCap) {
    // The fields beyond the first 4 MiB are never seen.
    EXPECT_FALSE(readMemoryStatus(makeRoot("huge", std::string(5 << 20, 'x') + "\n" + kGood)));
    EXPECT_TRUE(readMemoryStatus(makeRoot("near-cap", std::string(3 << 20, 'x') + "\n" + kGood)));

    const fs::path root = makeRoot("odd", std::nullopt);
    fs::create_symlink("/dev/zero", root / "proc/meminfo");
    EXPECT_FALSE(readMemoryStatus(root));
    fs::remove(root / "proc/meminfo");
    ASSERT_EQ(mkfifo((root / "proc/meminfo").c_str(), 0600), 0);  // nobody ever writes it
    EXPECT_FALSE(readMemoryStatus(root));
}
