// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/temperatures.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <system_error>

#include "platform/system_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// Millidegrees Celsius; a driver's error or a value no processor survives is no reading.
constexpr std::int64_t kMinMillidegrees = -60'000;
constexpr std::int64_t kMaxMillidegrees = 200'000;

// The number of a name that ends in one, after `prefix`: "hwmon12", "temp3_input".
std::optional<int> numberAfter(std::string_view name, std::string_view prefix,
                               std::string_view suffix = {}) {
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    const std::string_view digits =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto value = parseInteger(digits, 0, 1'000'000);
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
}

// The entries of `dir` named prefix<N>suffix, by N.
std::vector<std::pair<int, fs::path>> numbered(const fs::path& dir, std::string_view prefix,
                                               std::string_view suffix = {}) {
    std::vector<std::pair<int, fs::path>> out;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        if (const auto n = numberAfter(it->path().filename().string(), prefix, suffix))
            out.emplace_back(*n, it->path());
    std::sort(out.begin(), out.end());
    return out;
}

void applyLabel(TemperatureReading& reading) {
    const std::string_view label = trimBlanks(reading.label);
    const auto after = [&](std::string_view prefix) -> std::optional<int> {
        if (!label.starts_with(prefix)) return std::nullopt;
        const auto value = parseInteger(label.substr(prefix.size()), 0, 1'000'000);
        if (!value) return std::nullopt;
        return static_cast<int>(*value);
    };
    reading.core = after("Core ");
    reading.package = after("Package id ");
    reading.ccd = after("Tccd");
}

// `shown` is the chip's folder as the system names it, "/sys/class/hwmon/hwmon2".
void readChip(const fs::path& dir, const std::string& shown, const std::string& chip,
              std::vector<TemperatureReading>& out) {
    const std::size_t first = out.size();
    for (const auto& [index, input] : numbered(dir, "temp", "_input")) {
        const auto text = readFirstLine(input);
        const auto millidegrees =
            text ? parseInteger(*text, kMinMillidegrees, kMaxMillidegrees) : std::nullopt;
        if (!millidegrees) continue;
        TemperatureReading reading;
        reading.chip = chip;
        const std::string stem = "temp" + std::to_string(index);
        const auto label = readFirstLine(dir / (stem + "_label"));
        reading.label = label ? cleanText(trimBlanks(*label)) : stem;
        applyLabel(reading);
        reading.celsius = static_cast<double>(*millidegrees) / 1000.0;
        reading.source = shown + "/" + input.filename().string();
        out.push_back(std::move(reading));
    }
    // coretemp gives every package a chip of its own, with core numbers that start again in
    // each: its "Package id" says which package the cores belong to.
    std::optional<int> package;
    for (std::size_t i = first; i < out.size(); ++i)
        if (out[i].package) package = out[i].package;
    for (std::size_t i = first; i < out.size(); ++i)
        if (out[i].core && !out[i].package) out[i].package = package;
}

}  // namespace

std::vector<TemperatureReading> readTemperatures(const fs::path& root) {
    std::vector<TemperatureReading> out;
    const fs::path hwmon = root / "sys/class/hwmon";
    for (const auto& [index, dir] : numbered(hwmon, "hwmon")) {
        const auto name = readFirstLine(dir / "name");
        if (!name) continue;
        const std::string chip(trimBlanks(*name));
        if (chip != "coretemp" && chip != "k10temp") continue;
        readChip(dir, "/sys/class/hwmon/hwmon" + std::to_string(index), chip, out);
    }
    return out;
}

}  // namespace platform
