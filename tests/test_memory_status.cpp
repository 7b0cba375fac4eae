#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/memory_status.h"

namespace fs = std::filesystem;
using platform::MemoryStatus;
using platform::readMemoryStatus;

namespace {

constexpr std::int64_t KiB = 1024;

std::string fixture(const std::string& name) {
    std::ifstream in(fs::path(CORVANE_FIXTURES) / name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// A /proc tree below a fresh directory; an empty optional leaves that file out.
fs::path makeRoot(const std::string& name, std::optional<std::string> meminfo,
                  std::optional<std::string> status,
                  std::optional<std::string> limits = std::nullopt) {
    const fs::path root = fs::path(testing::TempDir()) / ("corvane-memory-status-" + name);
    fs::remove_all(root);
    fs::create_directories(root / "proc/self");
    if (meminfo) writeFile(root / "proc/meminfo", *meminfo);
    if (status) writeFile(root / "proc/self/status", *status);
    if (limits) writeFile(root / "proc/self/limits", *limits);
    return root;
}

std::optional<MemoryStatus> readWithMeminfo(const std::string& name, const std::string& meminfo) {
    return readMemoryStatus(makeRoot(name, meminfo, fixture("status-vmsize-300m.txt")));
}

}  // namespace

// 16 GiB of RAM and 24 GiB of page file: each would wrap in a signed 32-bit count.
TEST(MemoryStatusRead, DesktopWithSwapGivesEveryFigureInBytes) {
    const auto report = readMemoryStatus(makeRoot(
        "desktop", fixture("meminfo-desktop-16g-swap.txt"), fixture("status-vmsize-300m.txt")));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->totalPhys, 16303940 * KiB);
    EXPECT_EQ(report->availPhys, 9876544 * KiB);
    EXPECT_EQ(report->totalPageFile, (16303940 + 8388604) * KiB);
    EXPECT_EQ(report->availPageFile, (9876544 + 8123004) * KiB);
    EXPECT_EQ(report->totalVirtual, std::int64_t{1} << 47);
    EXPECT_EQ(report->availVirtual, (std::int64_t{1} << 47) - 312456 * KiB);
}

TEST(MemoryStatusRead, WithoutSwapThePageFileIsPhysicalMemory) {
    const auto report = readMemoryStatus(
        makeRoot("no-swap", fixture("meminfo-no-swap.txt"), fixture("status-vmsize-300m.txt")));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->totalPageFile, report->totalPhys);
    EXPECT_EQ(report->availPageFile, report->availPhys);
}

TEST(MemoryStatusRead, AddressSpaceLimitBelowTheUserSpaceIsTheVirtualTotal) {
    const auto report = readMemoryStatus(makeRoot("limited", fixture("meminfo-no-swap.txt"),
                                                  fixture("status-vmsize-300m.txt"),
                                                  fixture("limits-address-space-4g.txt")));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->totalVirtual, std::int64_t{4294967296});
    EXPECT_EQ(report->availVirtual, 4294967296 - 312456 * KiB);
}

TEST(MemoryStatusRead, UnlimitedHugeOrUnreadableLimitMeansTheWholeUserSpace) {
    const std::string meminfo = fixture("meminfo-no-swap.txt");
    const std::string status = fixture("status-vmsize-300m.txt");
    std::string huge = fixture("limits-address-space-4g.txt");
    huge.replace(huge.find("4294967296"), 10, "9223372036854775807");
    for (const auto& [name, limits] :
         {std::pair{"unlimited", fixture("limits-unlimited.txt")}, std::pair{"huge", huge},
          std::pair{"garbage", std::string("Max address space  lots  lots  bytes\n")}}) {
        const auto report = readMemoryStatus(makeRoot(name, meminfo, status, limits));
        ASSERT_TRUE(report) << name;
        EXPECT_EQ(report->totalVirtual, platform::kUserAddressSpace) << name;
    }
    const auto noLimitsFile = readMemoryStatus(makeRoot("no-limits", meminfo, status));
    ASSERT_TRUE(noLimitsFile);
    EXPECT_EQ(noLimitsFile->totalVirtual, platform::kUserAddressSpace);
}

TEST(MemoryStatusBadInput, MissingEmptyOrGarbageMeminfoGivesNoReport) {
    const std::string status = fixture("status-vmsize-300m.txt");
    EXPECT_FALSE(readMemoryStatus(makeRoot("missing", std::nullopt, status)));
    EXPECT_FALSE(readWithMeminfo("empty", fixture("meminfo-empty.txt")));
    EXPECT_FALSE(readWithMeminfo("garbage", fixture("meminfo-garbage.txt")));
    EXPECT_FALSE(readWithMeminfo("no-available", fixture("meminfo-no-memavailable.txt")));
    EXPECT_FALSE(readWithMeminfo("huge", fixture("meminfo-huge-values.txt")));
    EXPECT_FALSE(readMemoryStatus(fs::path(testing::TempDir()) / "corvane-no-such-root"));
}

TEST(MemoryStatusBadInput, EachMalformedFieldIsRefused) {
    const std::string good =
        "MemTotal: 1000 kB\nMemAvailable: 500 kB\nSwapTotal: 0 kB\n"
        "SwapFree: 0 kB\n";
    ASSERT_TRUE(readWithMeminfo("good", good));
    const std::pair<const char*, const char*> variants[] = {
        {"negative", "MemAvailable: -500 kB"},  {"no-digits", "MemAvailable: kB"},
        {"wrong-unit", "MemAvailable: 500 MB"}, {"no-unit", "MemAvailable: 500"},
        {"trailing", "MemAvailable: 500 kB x"}, {"zero-total", "MemTotal: 0 kB"},
        {"mixed", "MemAvailable: 5x00 kB"},
    };
    for (const auto& [name, line] : variants) {
        std::string meminfo = std::string(line) + "\n" + good;  // the first of a key wins
        EXPECT_FALSE(readWithMeminfo(name, meminfo)) << name;
    }
}

TEST(MemoryStatusBadInput, MissingStatusOrVmSizeGivesNoReport) {
    const std::string meminfo = fixture("meminfo-no-swap.txt");
    EXPECT_FALSE(readMemoryStatus(makeRoot("no-status", meminfo, std::nullopt)));
    EXPECT_FALSE(readMemoryStatus(makeRoot("no-vmsize", meminfo, fixture("status-no-vmsize.txt"))));
}

TEST(MemoryStatusRead, ThisMachineReportsConsistentFigures) {
    const auto report = readMemoryStatus();
    ASSERT_TRUE(report);
    EXPECT_GT(report->totalPhys, 0);
    EXPECT_LE(report->availPhys, report->totalPhys);
    EXPECT_GE(report->totalPageFile, report->totalPhys);
    EXPECT_GT(report->availVirtual, 0);
    EXPECT_LT(report->availVirtual, report->totalVirtual);
}

TEST(MemoryStatusSource, ScopedSourceReplacesAndRestores) {
    MemoryStatus injected;
    injected.totalPhys = 42;
    {
        platform::ScopedMemoryStatusSource scoped([&] { return std::optional(injected); });
        ASSERT_TRUE(platform::memoryStatus());
        EXPECT_EQ(platform::memoryStatus()->totalPhys, 42);
        {
            platform::ScopedMemoryStatusSource failing([] { return std::nullopt; });
            EXPECT_FALSE(platform::memoryStatus());
        }
        EXPECT_EQ(platform::memoryStatus()->totalPhys, 42);
    }
    const auto real = platform::memoryStatus();
    ASSERT_TRUE(real);
    EXPECT_NE(real->totalPhys, 42);
}
