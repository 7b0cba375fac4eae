// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/os_figures.h"

#include <string>

#include "platform/cpu_description.h"
#include "platform/system_file.h"

namespace report {

std::optional<std::int64_t> cacheSizeBytes(std::string_view text) {
    text = platform::trimBlanks(text);
    std::int64_t unit = 1;
    if (!text.empty() && (text.back() == 'K' || text.back() == 'M' || text.back() == 'G')) {
        unit = text.back() == 'K' ? kKiB : text.back() == 'M' ? kKiB * kKiB : kKiB * kKiB * kKiB;
        text.remove_suffix(1);
        if (text.empty() || text.back() < '0' || text.back() > '9') return std::nullopt;
    }
    // Bounded before the multiplication, so no size can overflow on the way.
    const auto count = platform::parseInteger(text, 1, kMaxCacheBytes / unit);
    if (!count || *count * unit < kMinCacheBytes) return std::nullopt;
    return *count * unit;
}

std::optional<std::int64_t> l2CacheBytesFromOs(const std::filesystem::path& root) {
    const auto cacheDir = root / "sys/devices/system/cpu/cpu0/cache";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(cacheDir, error)) {
        if (platform::readFirstLine(entry.path() / "level") != "2") continue;
        const auto type = platform::readFirstLine(entry.path() / "type");
        if (type != "Unified" && type != "Data") continue;
        const auto size = platform::readFirstLine(entry.path() / "size");  // "2048K"
        return size ? cacheSizeBytes(*size) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> tscMHzFromOs(const std::filesystem::path& root) {
    const auto cpu0 = root / "sys/devices/system/cpu/cpu0";
    if (const auto khz = platform::readFirstLine(cpu0 / "tsc_freq_khz")) {
        if (const auto value = platform::parseInteger(
                *khz, static_cast<std::int64_t>(platform::kMinClockMHz * 1000),
                static_cast<std::int64_t>(platform::kMaxClockMHz * 1000)))
            return static_cast<double>(*value) / 1000.0;
    }
    if (std::filesystem::exists(cpu0 / "cpufreq")) return std::nullopt;
    const auto cpuinfo = platform::readSystemFile(root / "proc/cpuinfo");
    if (!cpuinfo) return std::nullopt;
    const auto fields = platform::firstProcessorFields(*cpuinfo);
    const auto flags = fields.find("flags");
    const auto mhz = fields.find("cpu MHz");
    if (flags == fields.end() || mhz == fields.end()) return std::nullopt;
    if ((" " + flags->second + " ").find(" constant_tsc ") == std::string::npos)
        return std::nullopt;
    return platform::parseDecimal(mhz->second, platform::kMinClockMHz, platform::kMaxClockMHz);
}

}  // namespace report
