#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/cpu_description.h"
#include "sysinfo/clock.h"

namespace fs = std::filesystem;
using platform::CpuDescription;

namespace {

const fs::path kFixtures = fs::path(CORVANE_FIXTURES) / "cpu";
constexpr std::string_view kKey = CpuDescription::kKeyPath;

// A fixture tree made at run time, for inputs too large or too binary to keep in the tree.
class GeneratedTree {
  public:
    explicit GeneratedTree(const std::string& cpuinfo) {
        root_ =
            fs::temp_directory_path() /
            ("corvane-cpu-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + std::to_string(counter_++));
        fs::create_directories(root_ / "proc");
        std::ofstream(root_ / "proc/cpuinfo", std::ios::binary) << cpuinfo;
    }
    ~GeneratedTree() { fs::remove_all(root_); }
    const fs::path& root() const { return root_; }

  private:
    static inline int counter_ = 0;
    fs::path root_;
};

}  // namespace

TEST(CpuDescription, IntelTreeGivesTheValuesASixtyFourBitSystemRecords) {
    const auto key = CpuDescription::open(kKey, kFixtures / "intel");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->text("VendorIdentifier"), "GenuineIntel");
    EXPECT_EQ(key->text("ProcessorNameString"), "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    EXPECT_EQ(key->text("Identifier"), "Intel64 Family 6 Model 158 Stepping 10");
    EXPECT_EQ(key->integer("~MHz"), 3200);  // base frequency, not the turbo maximum
}

TEST(CpuDescription, AmdTreeUsesAmd64AndTheMaximumFrequency) {
    const auto key = CpuDescription::open(kKey, kFixtures / "amd");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->text("Identifier"), "AMD64 Family 23 Model 113 Stepping 0");
    EXPECT_EQ(key->integer("~MHz"), 4426);
}

TEST(CpuDescription, WithoutCpufreqTheSpeedComesFromCpuMHz) {
    const auto key = CpuDescription::open(kKey, kFixtures / "vm-no-cpufreq");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->integer("~MHz"), 2096);
    EXPECT_EQ(key->text("ProcessorNameString"), "AMD EPYC");
}

TEST(CpuDescription, MissingFieldsAreMissingValues) {
    const auto key = CpuDescription::open(kKey, kFixtures / "fields-missing");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->text("VendorIdentifier"), "GenuineIntel");
    EXPECT_FALSE(key->text("ProcessorNameString"));
    EXPECT_FALSE(key->text("Identifier"));  // no model or stepping to build it from
    EXPECT_FALSE(key->integer("~MHz"));
}

TEST(CpuDescription, KeyDoesNotOpenWithoutAReadableProcessor) {
    EXPECT_FALSE(CpuDescription::open(kKey, kFixtures / "empty"));
    EXPECT_FALSE(CpuDescription::open(kKey, kFixtures / "missing"));
    EXPECT_FALSE(CpuDescription::open(kKey, "/nonexistent-root"));
}

TEST(CpuDescription, KeyPathsCompareWithoutCaseAndAnyOtherKeyIsMissing) {
    EXPECT_TRUE(CpuDescription::open("\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                                     kFixtures / "intel"));
    EXPECT_FALSE(CpuDescription::open("hardware\\description\\system\\centralprocessor\\1",
                                      kFixtures / "intel"));
    EXPECT_FALSE(CpuDescription::open("", kFixtures / "intel"));
}

TEST(CpuDescription, ValuesOfTheOtherTypeReadAsMissing) {
    const CpuDescription key({{"~MHz", std::string("2400")}, {"Identifier", 7}});
    EXPECT_FALSE(key.integer("~MHz"));
    EXPECT_FALSE(key.text("Identifier"));
}

TEST(CpuDescription, GarbageAndHugeLinesNeverCrash) {
    std::mt19937 random(20261206);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    GeneratedTree binary(garbage);
    (void)CpuDescription::open(kKey, binary.root());  // any outcome but a crash

    GeneratedTree longLine("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: " +
                           std::string(1 << 20, 'X') + "\ncpu MHz\t\t: 2400.000\n");
    const auto key = CpuDescription::open(kKey, longLine.root());
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->text("ProcessorNameString"));  // the 1 MiB line is passed over
    EXPECT_EQ(key->integer("~MHz"), 2400);
}

TEST(FirstProcessorFields, StopsAtTheEndOfTheFirstBlock) {
    const auto fields = platform::firstProcessorFields(
        "\n\nprocessor : 0\ncpu MHz : 800.0\n\nprocessor : 1\ncpu MHz : 4000.0\n");
    EXPECT_EQ(fields.at("cpu MHz"), "800.0");
    EXPECT_EQ(fields.at("processor"), "0");
}

TEST(RatedSpeed, TriesTheThreeNamesInOrderPastNonPositiveValues) {
    using Map = std::map<std::string, CpuDescription::Value>;
    EXPECT_EQ(sysinfo::ratedSpeedFrom(CpuDescription(Map{{"~MHz", 0}, {"~Mhz", 2400}})), 2400);
    EXPECT_EQ(
        sysinfo::ratedSpeedFrom(CpuDescription(Map{{"~MHz", -5}, {"~Mhz", 0}, {"~mhz", 1800}})),
        1800);
    EXPECT_EQ(sysinfo::ratedSpeedFrom(CpuDescription(Map{{"~MHz", 3000}, {"~Mhz", 2400}})), 3000);
}

TEST(RatedSpeed, AFailedReadEndsTheReadingWithZero) {
    using Map = std::map<std::string, CpuDescription::Value>;
    // "~MHz" missing: the later names are not read even though they hold a speed.
    EXPECT_EQ(sysinfo::ratedSpeedFrom(CpuDescription(Map{{"~Mhz", 2400}, {"~mhz", 2400}})), 0);
    EXPECT_EQ(sysinfo::ratedSpeedFrom(
                  CpuDescription(Map{{"~MHz", 0}, {"~Mhz", std::string("2400")}, {"~mhz", 9}})),
              0);
    EXPECT_EQ(sysinfo::ratedSpeedFrom(CpuDescription(Map{{"~MHz", 0}, {"~Mhz", 0}, {"~mhz", 0}})),
              0);
}

TEST(RatedSpeed, ReadsFixtureTreesAndFallsBackToZero) {
    EXPECT_EQ(sysinfo::ratedSpeedMHz(kFixtures / "intel"), 3200);
    EXPECT_EQ(sysinfo::ratedSpeedMHz(kFixtures / "vm-no-cpufreq"), 2096);
    EXPECT_EQ(sysinfo::ratedSpeedMHz(kFixtures / "fields-missing"), 0);
    EXPECT_EQ(sysinfo::ratedSpeedMHz(kFixtures / "empty"), 0);
    EXPECT_EQ(sysinfo::ratedSpeedMHz(kFixtures / "missing"), 0);
}
