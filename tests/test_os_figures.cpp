// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/os_figures.h"

namespace fs = std::filesystem;

namespace {

std::optional<double> tscBelow(const fs::path& root) {
    return platform::tscMHzFromOs(platform::readProcessorFields(root), root);
}

}  // namespace

// Roots with the system files as they are found.
TEST(OsFigures, LevelTwoCacheAndTscFromSysfs) {
    const fs::path os = fs::path(CORVANE_FIXTURES) / "os";
    EXPECT_EQ(platform::l2CacheBytesFromOs(os / "l1-and-l2"), 2048 * 1024);
    EXPECT_FALSE(platform::l2CacheBytesFromOs(os / "missing"));
    EXPECT_FALSE(tscBelow(os / "l1-and-l2"));  // no cpuinfo, no tsc_freq_khz
    EXPECT_DOUBLE_EQ(*tscBelow(os / "constant-tsc"), 2096.040);
    EXPECT_FALSE(tscBelow(os / "constant-tsc-cpufreq"));  // a scaling clock
    EXPECT_DOUBLE_EQ(*tscBelow(os / "tsc-freq-khz"), 2600.0);
}

TEST(OsFigures, OddNumbersCountAsMissing) {
    EXPECT_EQ(platform::cacheSizeBytes("512K\n"), 512 * 1024);
    EXPECT_EQ(platform::cacheSizeBytes("4G"), std::int64_t{4} << 30);
    for (const char* odd :
         {"9223372036854775807K", "5G", "1023", "0K", "-1K", "2048 K", "2048KB", "K", "12x", ""})
        EXPECT_FALSE(platform::cacheSizeBytes(odd)) << odd;

    const fs::path root = fs::temp_directory_path() / "corvane-os-figures-odd";
    fs::remove_all(root);
    fs::create_directories(root / "sys/devices/system/cpu/cpu0");
    for (const char* odd : {"1e308", "inf", "2445432 garbage", "999", "100000001", "-2600000"}) {
        std::ofstream(root / "sys/devices/system/cpu/cpu0/tsc_freq_khz") << odd << "\n";
        EXPECT_FALSE(tscBelow(root)) << odd;  // and no cpuinfo to fall back on
    }
    fs::remove_all(root);
}
