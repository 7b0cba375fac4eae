// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os_figures.h"

#include <sys/utsname.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <thread>
#include <tuple>

#include "platform/system_file.h"

namespace platform {

std::optional<std::int64_t> cacheSizeBytes(std::string_view text) {
    text = trimBlanks(text);
    std::int64_t unit = 1;
    if (!text.empty() && (text.back() == 'K' || text.back() == 'M' || text.back() == 'G')) {
        unit = text.back() == 'K' ? kKiB : text.back() == 'M' ? kKiB * kKiB : kKiB * kKiB * kKiB;
        text.remove_suffix(1);
        if (text.empty() || text.back() < '0' || text.back() > '9') return std::nullopt;
    }
    // Bounded before the multiplication, so no size can overflow on the way.
    const auto count = parseInteger(text, 1, kMaxCacheBytes / unit);
    if (!count || *count * unit < kMinCacheBytes) return std::nullopt;
    return *count * unit;
}

std::vector<CacheLevel> cachesFromOs(const std::filesystem::path& root) {
    std::vector<CacheLevel> caches;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(root / "sys/devices/system/cpu/cpu0/cache", error)) {
        const auto levelText = readFirstLine(entry.path() / "level");
        const auto level = levelText ? parseInteger(*levelText, 1, 9) : std::nullopt;
        const auto type = readFirstLine(entry.path() / "type");
        const auto size = readFirstLine(entry.path() / "size");  // "2048K"
        const auto bytes = size ? cacheSizeBytes(*size) : std::nullopt;
        if (!level || !type || !bytes) continue;
        caches.push_back({static_cast<int>(*level), cleanText(*type), *bytes});
    }
    std::sort(caches.begin(), caches.end(), [](const CacheLevel& a, const CacheLevel& b) {
        return std::tie(a.level, a.type) < std::tie(b.level, b.type);
    });
    return caches;
}

std::optional<std::int64_t> l2CacheBytesFromOs(const std::filesystem::path& root) {
    for (const CacheLevel& cache : cachesFromOs(root))
        if (cache.level == 2 && (cache.type == "Unified" || cache.type == "Data"))
            return cache.bytes;
    return std::nullopt;
}

std::optional<std::int64_t> lastLevelCacheBytes(const std::vector<CacheLevel>& caches) {
    std::optional<CacheLevel> last;
    for (const CacheLevel& cache : caches)
        if (cache.type != "Instruction" && (!last || cache.level >= last->level)) last = cache;
    return last ? std::optional(last->bytes) : std::nullopt;
}

std::optional<double> tscMHzFromOs(const ProcessorFields& fields,
                                   const std::filesystem::path& root) {
    const auto cpu0 = root / "sys/devices/system/cpu/cpu0";
    if (const auto khz = readFirstLine(cpu0 / "tsc_freq_khz")) {
        if (const auto value = parseInteger(*khz, static_cast<std::int64_t>(kMinClockMHz * 1000),
                                            static_cast<std::int64_t>(kMaxClockMHz * 1000)))
            return static_cast<double>(*value) / 1000.0;
    }
    if (std::filesystem::exists(cpu0 / "cpufreq")) return std::nullopt;
    const auto flags = fields.find("flags");
    const auto mhz = fields.find("cpu MHz");
    if (flags == fields.end() || mhz == fields.end()) return std::nullopt;
    if ((" " + flags->second + " ").find(" constant_tsc ") == std::string::npos)
        return std::nullopt;
    return parseDecimal(mhz->second, kMinClockMHz, kMaxClockMHz);
}

MachineNames machineNames() {
    MachineNames names;
    names.logicalCpus = static_cast<int>(std::thread::hardware_concurrency());
    if (utsname system{}; uname(&system) == 0) {
        names.kernelRelease = system.release;
        names.hostname = system.nodename;
    }
    return names;
}

std::string utcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return when;
}

}  // namespace platform
