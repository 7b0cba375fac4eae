#include <gtest/gtest.h>

#include <filesystem>

#include "sysinfo/identification.h"

namespace fs = std::filesystem;

namespace {

fs::path fixture(const char* name) {
    return fs::path(CORVANE_FIXTURES) / "cpu" / name;
}

}  // namespace

// What the description key holds for each tree is the key's own tests' business; here, how
// the three panels are put together from it.
TEST(RegistryTexts, SpeedMhzAndNameJoinedAndMissingValuesReadEmpty) {
    const auto texts = sysinfo::readRegistryTexts(fixture("intel"));
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->cpuName, "3200 Mhz Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    EXPECT_EQ(texts->identifier, "Intel64 Family 6 Model 158 Stepping 10");
    EXPECT_EQ(texts->vendor, "GenuineIntel");

    const auto missing = sysinfo::readRegistryTexts(fixture("fields-missing"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->cpuName, "0 Mhz ");  // no speed reads 0; the blank after "Mhz" stays
    EXPECT_EQ(missing->identifier, "-");    // no model or stepping: "Family Id" keeps "-"
    EXPECT_EQ(missing->vendor, "GenuineIntel");

    EXPECT_FALSE(sysinfo::readRegistryTexts(fixture("empty")));  // the key does not open
}
