// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "fixture_tree.h"
#include "platform/temperatures.h"

using platform::readTemperatures;
using platform::TemperatureReading;

namespace {

std::filesystem::path fixture(const std::string& name) {
    return std::filesystem::path(CORVANE_FIXTURES) / "hwmon" / name;
}

TemperatureReading reading(const char* chip, const char* label, std::optional<int> core,
                           std::optional<int> package, std::optional<int> ccd, double celsius,
                           const char* source) {
    return {chip, label, core, package, ccd, celsius, source};
}

}  // namespace

TEST(Temperatures, CoretempGivesEachPackageItsCoresWhoseNumbersStartAgain) {
    // hwmon10 comes after hwmon2; its "Core 4" reads N/A (a driver error) and is left out;
    // the ACPI zone and the NVMe drive are not the processor.
    const std::nullopt_t none = std::nullopt;
    EXPECT_EQ(
        readTemperatures(fixture("coretemp-two-packages")),
        (std::vector<TemperatureReading>{
            reading("coretemp", "Package id 0", none, 0, none, 52.0,
                    "/sys/class/hwmon/hwmon1/temp1_input"),
            reading("coretemp", "Core 0", 0, 0, none, 49.0, "/sys/class/hwmon/hwmon1/temp2_input"),
            reading("coretemp", "Core 4", 4, 0, none, 51.5, "/sys/class/hwmon/hwmon1/temp3_input"),
            reading("coretemp", "Package id 1", none, 1, none, 47.0,
                    "/sys/class/hwmon/hwmon10/temp1_input"),
            reading("coretemp", "Core 0", 0, 1, none, 45.0, "/sys/class/hwmon/hwmon10/temp2_input"),
            reading("coretemp", "Core 8", 8, 1, none, 46.25,
                    "/sys/class/hwmon/hwmon10/temp4_input")}));
}

TEST(Temperatures, K10tempGivesTheControlTemperatureAndEachCoreComplexDie) {
    // temp9 reads 250 °C, which no processor survives; hwmon4 is an older driver's chip whose
    // sensor has no label.
    const auto readings = readTemperatures(fixture("k10temp-zen3"));
    ASSERT_EQ(readings.size(), 4u);
    EXPECT_EQ(readings[0], reading("k10temp", "Tctl", std::nullopt, std::nullopt, std::nullopt,
                                   61.375, "/sys/class/hwmon/hwmon3/temp1_input"));
    EXPECT_EQ(readings[1].label, "Tccd1");
    EXPECT_EQ(readings[1].ccd, 1);
    EXPECT_EQ(readings[1].core, std::nullopt);
    EXPECT_DOUBLE_EQ(readings[2].celsius, 55.0);
    EXPECT_EQ(readings[2].ccd, 2);
    EXPECT_EQ(readings[3], reading("k10temp", "temp1", std::nullopt, std::nullopt, std::nullopt,
                                   40.125, "/sys/class/hwmon/hwmon4/temp1_input"));
}

TEST(Temperatures, NoProcessorSensorIsAnEmptyListAndGarbageIsLeftOut) {
    EXPECT_TRUE(readTemperatures(fixture("vm-no-cpu-sensor")).empty());
    EXPECT_TRUE(readTemperatures(fixture("missing")).empty());

    fixtures::Tree tree("temperatures-garbage");
    tree.file("sys/class/hwmon/hwmon0/name", "coretemp\n")
        .file("sys/class/hwmon/hwmon0/temp1_input", "")
        .file("sys/class/hwmon/hwmon0/temp2_input", "45000 C\n")
        .file("sys/class/hwmon/hwmon0/temp3_input", "-300000\n")
        .folder("sys/class/hwmon/hwmon0/temp4_input")
        .file("sys/class/hwmon/hwmon0/temp5_label", "Core\x1b[2J 1\n")
        .file("sys/class/hwmon/hwmon0/temp5_input", "44000\n")
        .file("sys/class/hwmon/hwmonX/name", "coretemp\n")
        .file("sys/class/hwmon/hwmonX/temp1_input", "44000\n")
        .folder("sys/class/hwmon/hwmon1");
    const auto readings = readTemperatures(tree.root());
    ASSERT_EQ(readings.size(), 1u);
    // The label is shown as the driver gave it, without what a terminal would obey, and it
    // names no core.
    EXPECT_EQ(readings[0].label.find('\x1b'), std::string::npos);
    EXPECT_EQ(readings[0].core, std::nullopt);
    EXPECT_DOUBLE_EQ(readings[0].celsius, 44.0);
}
