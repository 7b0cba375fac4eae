#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "sysinfo/identification.h"

namespace fs = std::filesystem;

namespace {

fs::path fixture(const char* name) {
    return fs::path(CORVANE_FIXTURES) / "cpu" / name;
}

// A processor description tree made at test time, removed afterwards.
class MadeTree : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("corvane-identification-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(root / "proc");
    }
    void TearDown() override { fs::remove_all(root); }
    void writeCpuinfo(const std::string& content) {
        std::ofstream(root / "proc/cpuinfo", std::ios::binary) << content;
    }
    fs::path root;
};

}  // namespace

TEST(RegistryTexts, IntelUsesTheBaseFrequencyAndTheModelName) {
    const auto texts = sysinfo::readRegistryTexts(fixture("intel"));
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->cpuName, "3200 Mhz Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    EXPECT_EQ(texts->identifier, "Intel64 Family 6 Model 158 Stepping 10");
    EXPECT_EQ(texts->vendor, "GenuineIntel");
}

TEST(RegistryTexts, AmdUsesTheNominalFrequency) {
    const auto texts = sysinfo::readRegistryTexts(fixture("amd"));
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->cpuName, "3600 Mhz AMD Ryzen 7 3700X 8-Core Processor");
    EXPECT_EQ(texts->identifier, "AMD64 Family 23 Model 113 Stepping 0");
    EXPECT_EQ(texts->vendor, "AuthenticAMD");
}

TEST(RegistryTexts, VirtualMachineWithoutCpufreqRoundsCpuMhz) {
    const auto texts = sysinfo::readRegistryTexts(fixture("vm-no-cpufreq"));
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->cpuName, "2096 Mhz AMD EPYC");
    EXPECT_EQ(texts->identifier, "AMD64 Family 25 Model 1 Stepping 1");
}

TEST(RegistryTexts, MissingValuesReadEmptyOrDashAndNoSpeedReadsZero) {
    const auto texts = sysinfo::readRegistryTexts(fixture("fields-missing"));
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->cpuName, "0 Mhz ");  // the blank after "Mhz" stays
    EXPECT_EQ(texts->identifier, "-");    // no model or stepping: "Family Id" keeps "-"
    EXPECT_EQ(texts->vendor, "GenuineIntel");
}

TEST_F(MadeTree, NoSteppingLeavesFamilyIdAtDash) {
    writeCpuinfo("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 85\n");
    EXPECT_EQ(sysinfo::readRegistryTexts(root)->identifier, "-");
}

TEST(RegistryTexts, KeyDoesNotOpenWithoutAProcessor) {
    EXPECT_FALSE(sysinfo::readRegistryTexts(fixture("empty")));
    EXPECT_FALSE(sysinfo::readRegistryTexts(fixture("missing")));
    EXPECT_FALSE(sysinfo::readRegistryTexts(fixture("no-such-tree")));
}

TEST_F(MadeTree, OneMebibyteLineIsPassedOver) {
    writeCpuinfo("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: " +
                 std::string(1 << 20, 'A') + "\ncpu MHz\t\t: 1000.4\n");
    const auto texts = sysinfo::readRegistryTexts(root);
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->cpuName, "1000 Mhz ");
    EXPECT_EQ(texts->vendor, "GenuineIntel");
}

TEST_F(MadeTree, OneMebibyteFileWithoutNewlineDoesNotOpen) {
    writeCpuinfo("vendor_id : " + std::string(1 << 20, 'B'));
    EXPECT_FALSE(sysinfo::readRegistryTexts(root));
}

TEST_F(MadeTree, BinaryGarbageGivesWellFormedTextsOrNone) {
    std::string garbage(64 << 10, '\0');
    std::uint32_t state = 2024;
    for (auto& c : garbage) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    for (int round = 0; round < 4; ++round) {
        // Rotate so the first line starts somewhere else each time.
        std::rotate(garbage.begin(), garbage.begin() + 4099, garbage.end());
        writeCpuinfo(garbage);
        const auto texts = sysinfo::readRegistryTexts(root);
        if (texts) {
            EXPECT_TRUE(std::regex_search(texts->cpuName, std::regex("^[0-9.E+-]+ Mhz ")))
                << texts->cpuName.substr(0, 40);
        }
    }
}
