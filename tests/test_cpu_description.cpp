// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/cpu_description.h"
#include "report/report.h"
#include "sysinfo/clock.h"
#include "sysinfo/identification.h"

namespace fs = std::filesystem;
using platform::CpuDescription;

namespace {

// The registry panels' figures of the machine below `root`.
std::optional<sysinfo::RegistryFigures> registryBelow(const std::filesystem::path& root) {
    return sysinfo::readRegistry(platform::readProcessorFields(root), root);
}

const fs::path kFixtures = fs::path(CORVANE_FIXTURES) / "cpu";
constexpr std::string_view kKey = CpuDescription::kKeyPath;

// A fixture tree made at run time, for inputs too large or too odd to keep in the tree.
struct GeneratedTree {
    explicit GeneratedTree(const std::string& cpuinfo) { write("proc/cpuinfo", cpuinfo); }
    ~GeneratedTree() { fs::remove_all(root); }
    void write(const fs::path& file, const std::string& content) const {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file, std::ios::binary) << content;
    }
    static inline int made = 0;
    const fs::path root = fs::temp_directory_path() / ("corvane-cpu-" + std::to_string(getpid()) +
                                                       "-" + std::to_string(made++));
};

// The key of a tree that must open; a tree that does not fails the case by throwing.
CpuDescription opened(const fs::path& root) {
    return CpuDescription::open(kKey, root).value();
}

}  // namespace

// The rated speed's sources in order: base_frequency (intel), acpi_cppc's nominal clock
// (amd: not the boost of 4426 in cpuinfo_max_freq), cpuinfo_max_freq, then "cpu MHz".
TEST(CpuDescription, FixtureTreesGiveTheValuesASixtyFourBitSystemRecords) {
    for (const auto& [tree, mhz] : {std::pair{"intel", 3200},
                                    {"amd", 3600},
                                    {"max-freq-only", 3301},
                                    {"vm-no-cpufreq", 2096}})
        EXPECT_EQ(opened(kFixtures / tree).integer("~MHz"), mhz) << tree;
    EXPECT_EQ(opened(kFixtures / "amd").text("Identifier"), "AMD64 Family 23 Model 113 Stepping 0");
    EXPECT_EQ(opened(kFixtures / "vm-no-cpufreq").text("ProcessorNameString"), "AMD EPYC");
    EXPECT_FALSE(opened(kFixtures / "intel").text("~MHz"));  // a number does not read as text
}

// What the three panels are made of; how they are worded is the presentation's case.
TEST(RegistryFigures, ReadFromTheKeyAndMissingValuesAreMissing) {
    const auto figures = registryBelow(kFixtures / "intel");
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->ratedMhz, 3200);
    EXPECT_EQ(figures->name, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
    EXPECT_EQ(figures->identifier, "Intel64 Family 6 Model 158 Stepping 10");
    EXPECT_EQ(figures->vendor, "GenuineIntel");

    const auto missing = registryBelow(kFixtures / "fields-missing");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->ratedMhz, 0);  // no speed reads 0
    EXPECT_EQ(missing->name, "");
    EXPECT_FALSE(missing->identifier);  // no model or stepping: "Family Id" keeps "-"
    EXPECT_EQ(missing->vendor, "GenuineIntel");
}

TEST(CpuDescription, KeyDoesNotOpenWithoutAReadableProcessor) {
    EXPECT_FALSE(CpuDescription::open(kKey, kFixtures / "empty"));
    EXPECT_FALSE(CpuDescription::open(kKey, kFixtures / "missing"));
    EXPECT_FALSE(CpuDescription::open(kKey, "/nonexistent-root"));
    // Any other key; the clock's spelling of this one, with a leading backslash and in
    // capitals, opens in the registry-text case ("3200 Mhz").
    EXPECT_FALSE(CpuDescription::open("hardware\\description\\system\\centralprocessor\\1",
                                      kFixtures / "intel"));
    EXPECT_FALSE(CpuDescription::open("", kFixtures / "intel"));
    EXPECT_FALSE(registryBelow(kFixtures / "empty"));
    EXPECT_EQ(sysinfo::ratedSpeedMHz(platform::readProcessorFields(kFixtures / "empty"),
                                     kFixtures / "empty"),
              0);  // through the clock's own key
}

TEST(CpuDescription, AHugeLineIsPassedOver) {
    GeneratedTree longLine("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: " +
                           std::string(1 << 20, 'X') + "\ncpu MHz\t\t: 2400.000\n");
    EXPECT_FALSE(opened(longLine.root).text("ProcessorNameString"));
    EXPECT_EQ(opened(longLine.root).integer("~MHz"), 2400);
}

// Each odd value counts as missing, so the next source speaks: here "cpu MHz" of 1996.
TEST(CpuDescription, ImplausibleOrMalformedNumbersCountAsMissing) {
    const std::string cpuinfo =
        "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 23\nmodel\t\t: 1\n"
        "stepping\t: 2\ncpu MHz\t\t: 1996.249\n";
    const std::string cpu0 = "sys/devices/system/cpu/cpu0/";
    // kHz in cpufreq, MHz in acpi_cppc.
    for (const auto& [kHz, mhz] : {std::pair{"2147483647500", "100001"},
                                   {"499", "0"},
                                   {"-2400000", "-2400"},
                                   {"2445432 garbage", "3600 MHz"},
                                   {"9223372036854775808", "9223372036854775808"},
                                   {"1e308", "inf"},
                                   {"", ""}}) {
        GeneratedTree tree(cpuinfo);
        tree.write(cpu0 + "cpufreq/base_frequency", std::string(kHz) + "\n");
        tree.write(cpu0 + "cpufreq/cpuinfo_max_freq", kHz);
        tree.write(cpu0 + "acpi_cppc/nominal_freq", mhz);
        EXPECT_EQ(opened(tree.root).integer("~MHz"), 1996) << kHz;
    }
    for (const char* mhz : {"1e308", "inf", "nan", "0.4", "100001", "2400 MHz"}) {
        GeneratedTree tree("processor : 0\ncpu MHz : " + std::string(mhz) + "\n");
        EXPECT_FALSE(opened(tree.root).integer("~MHz")) << mhz;
    }
    GeneratedTree negative("processor : 0\ncpu family : -1\nmodel : 1\nstepping : 99999999\n");
    EXPECT_FALSE(opened(negative.root).text("Identifier"));
}

// A name that is not valid UTF-8, or that carries control characters, is cleaned where it
// is read: the window, the text report and the JSON then show the same characters, and
// writing the JSON cannot throw.
TEST(CpuDescription, HostileNamesBecomeValidUtf8InEveryOutput) {
    GeneratedTree tree(
        "processor\t: 0\nvendor_id\t: Authentic\x1b[31mAMD\nmodel name\t: AMD \xff EPYC "
        "\xe2\x82 \xed\xa0\x80 \xc2\x9b \xf0\x9f\x98\x80 \xc3\xa9\n");
    const auto figures = registryBelow(tree.root);
    ASSERT_TRUE(figures);
    const std::string bad = "\xef\xbf\xbd";  // U+FFFD
    const std::string name = "AMD " + bad + " EPYC " + bad + " " + bad + bad + bad + " " + bad +
                             " \xf0\x9f\x98\x80 \xc3\xa9";
    EXPECT_EQ(figures->name, name);
    EXPECT_EQ(figures->vendor, "Authentic" + bad + "[31mAMD");

    report::Report r;
    r.cpu.name = opened(tree.root).text("ProcessorNameString");
    EXPECT_EQ(nlohmann::json::parse(nlohmann::json(r).dump())["cpu"]["name"], name);
}

TEST(FirstProcessorFields, StopsAtTheEndOfTheFirstBlock) {
    const auto fields = platform::firstProcessorFields(
        "\n\nprocessor : 0\ncpu MHz : 800.0\n\nprocessor : 1\ncpu MHz : 4000.0\n");
    EXPECT_EQ(fields.at("cpu MHz"), "800.0");
    EXPECT_EQ(fields.at("processor"), "0");
}

// A value that is not positive passes to the next name; a failed read (missing, or of the
// other type) ends the reading with 0 even where a later name holds a speed.
TEST(RatedSpeed, TriesTheThreeNamesInOrderAndAFailedReadEndsWithZero) {
    using Map = std::map<std::string, CpuDescription::Value>;
    const std::pair<Map, double> cases[] = {
        {{{"~MHz", 0}, {"~Mhz", 2400}}, 2400},
        {{{"~MHz", -5}, {"~Mhz", 0}, {"~mhz", 1800}}, 1800},
        {{{"~MHz", 3000}, {"~Mhz", 2400}}, 3000},
        {{{"~Mhz", 2400}, {"~mhz", 2400}}, 0},
        {{{"~MHz", 0}, {"~Mhz", std::string("2400")}, {"~mhz", 9}}, 0},
        {{{"~MHz", 0}, {"~Mhz", 0}, {"~mhz", 0}}, 0}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(sysinfo::ratedSpeedFrom(CpuDescription(cases[i].first)), cases[i].second) << i;
}
