// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The processor's temperature sensors, as the coretemp (Intel) and k10temp (AMD) drivers
// give them through hwmon.
//
// A stability test that heats a core past its limit sees it throttle or fail, and the
// temperature it reached says which of the two it was. The caller samples these during a
// test and keeps each core's highest.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct TemperatureReading {
    std::string chip;   // "coretemp", "k10temp"
    std::string label;  // as the driver names it: "Core 3", "Package id 0", "Tctl", "Tccd1"
    // What the label numbers. coretemp's "Core N" is the core_id of the topology, in the
    // package its chip's "Package id" names; k10temp's "TccdN" is one core complex die.
    std::optional<int> core;
    std::optional<int> package;
    std::optional<int> ccd;
    double celsius = 0;
    std::string source;  // the file read: "/sys/class/hwmon/hwmon2/temp3_input"

    friend bool operator==(const TemperatureReading&, const TemperatureReading&) = default;
};

// Every reading of a coretemp or k10temp chip below <root>/sys/class/hwmon, chip by chip,
// sensor by sensor. A sensor without a label is named after its file ("temp1"); one that
// cannot be read or gives no plausible value is left out. No such chip (a virtual machine,
// another processor): an empty list.
std::vector<TemperatureReading> readTemperatures(const std::filesystem::path& root = "/");

}  // namespace platform
