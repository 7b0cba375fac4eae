// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cpu_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "platform/system_file.h"

namespace platform {
namespace {

constexpr std::size_t kMaxLineBytes = 64u << 10;

// Fields of the identifier: far beyond any real family, model or stepping.
constexpr std::int64_t kMaxIdField = 0xFFFF;

std::string_view trim(std::string_view s) {
    return trimBlanks(s);
}

std::string lowerCase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// A frequency file of cpufreq holds kHz; a refused value counts as missing.
std::optional<std::int32_t> cpufreqMHz(const std::filesystem::path& file) {
    const auto content = readSystemFile(file);
    if (!content) return std::nullopt;
    const auto kHz = parseInteger(*content, static_cast<std::int64_t>(kMinClockMHz * 1000),
                                  static_cast<std::int64_t>(kMaxClockMHz * 1000));
    if (!kHz) return std::nullopt;
    return static_cast<std::int32_t>((*kHz + 500) / 1000);
}

// A file that holds MHz, as acpi_cppc's nominal_freq does.
std::optional<std::int32_t> wholeMHz(const std::filesystem::path& file) {
    const auto content = readSystemFile(file);
    if (!content) return std::nullopt;
    const auto mhz = parseInteger(*content, static_cast<std::int64_t>(kMinClockMHz),
                                  static_cast<std::int64_t>(kMaxClockMHz));
    if (!mhz) return std::nullopt;
    return static_cast<std::int32_t>(*mhz);
}

// The rated clock, most trustworthy source first. Under amd-pstate and intel_pstate
// cpuinfo_max_freq is the boost clock, so it comes only after the two that hold the
// nominal one.
std::optional<std::int32_t> ratedMHz(const ProcessorFields& fields,
                                     const std::filesystem::path& root) {
    const auto cpu0 = root / "sys/devices/system/cpu/cpu0";
    if (auto mhz = cpufreqMHz(cpu0 / "cpufreq/base_frequency")) return mhz;
    if (auto mhz = wholeMHz(cpu0 / "acpi_cppc/nominal_freq")) return mhz;
    if (auto mhz = cpufreqMHz(cpu0 / "cpufreq/cpuinfo_max_freq")) return mhz;
    if (auto it = fields.find("cpu MHz"); it != fields.end()) {
        if (auto mhz = parseDecimal(it->second, kMinClockMHz, kMaxClockMHz))
            return static_cast<std::int32_t>(std::lround(*mhz));
    }
    return std::nullopt;
}

std::optional<std::string> identifier(const ProcessorFields& fields) {
    const auto number = [&](const char* key) -> std::optional<std::int64_t> {
        auto it = fields.find(key);
        return it == fields.end() ? std::nullopt : parseInteger(it->second, 0, kMaxIdField);
    };
    const auto family = number("cpu family");
    const auto model = number("model");
    const auto stepping = number("stepping");
    if (!family || !model || !stepping) return std::nullopt;
    const auto vendor = fields.find("vendor_id");
    const bool amd = vendor != fields.end() &&
                     (vendor->second == "AuthenticAMD" || vendor->second == "HygonGenuine");
    return std::string(amd ? "AMD64" : "Intel64") + " Family " + std::to_string(*family) +
           " Model " + std::to_string(*model) + " Stepping " + std::to_string(*stepping);
}

}  // namespace

ProcessorFields firstProcessorFields(std::string_view cpuinfo) {
    ProcessorFields fields;
    while (!cpuinfo.empty()) {
        const auto newline = cpuinfo.find('\n');
        std::string_view line = cpuinfo.substr(0, newline);
        cpuinfo.remove_prefix(newline == std::string_view::npos ? cpuinfo.size() : newline + 1);
        if (trim(line).empty()) {
            if (!fields.empty()) break;  // the blank line after the first processor's block
            continue;
        }
        if (line.size() > kMaxLineBytes) continue;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const auto key = trim(line.substr(0, colon));
        if (key.empty()) continue;
        // Cleaned once here, so that every output shows the same characters.
        fields.emplace(cleanText(key), cleanText(trim(line.substr(colon + 1))));
    }
    return fields;
}

ProcessorFields readProcessorFields(const std::filesystem::path& root) {
    const auto cpuinfo = readSystemFile(root / "proc/cpuinfo");
    return cpuinfo ? firstProcessorFields(*cpuinfo) : ProcessorFields{};
}

std::optional<CpuDescription> CpuDescription::open(std::string_view keyPath,
                                                   const std::filesystem::path& root) {
    return open(keyPath, readProcessorFields(root), root);
}

std::optional<CpuDescription> CpuDescription::open(std::string_view keyPath,
                                                   const ProcessorFields& fields,
                                                   const std::filesystem::path& root) {
    if (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
    if (lowerCase(keyPath) != kKeyPath) return std::nullopt;
    if (fields.empty()) return std::nullopt;

    std::map<std::string, Value> values;
    if (auto it = fields.find("vendor_id"); it != fields.end())
        values.emplace("VendorIdentifier", it->second);
    if (auto it = fields.find("model name"); it != fields.end())
        values.emplace("ProcessorNameString", it->second);
    if (auto id = identifier(fields)) values.emplace("Identifier", *id);
    if (auto mhz = ratedMHz(fields, root)) values.emplace("~MHz", *mhz);
    return CpuDescription(std::move(values));
}

std::optional<std::string> CpuDescription::text(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    if (const auto* s = std::get_if<std::string>(&it->second)) return *s;
    return std::nullopt;
}

std::optional<std::int32_t> CpuDescription::integer(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    if (const auto* i = std::get_if<std::int32_t>(&it->second)) return *i;
    return std::nullopt;
}

}  // namespace platform
