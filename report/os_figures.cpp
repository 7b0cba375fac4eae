#include "report/os_figures.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/cpu_description.h"

namespace report {
namespace {

std::optional<std::string> firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    return line;
}

std::optional<std::string> wholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace

std::optional<std::int64_t> l2CacheBytesFromOs(const std::filesystem::path& root) {
    const auto cacheDir = root / "sys/devices/system/cpu/cpu0/cache";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(cacheDir, error)) {
        if (firstLine(entry.path() / "level") != "2") continue;
        const auto type = firstLine(entry.path() / "type");
        if (type != "Unified" && type != "Data") continue;
        const auto size = firstLine(entry.path() / "size");  // "2048K"
        if (!size || size->empty()) return std::nullopt;
        std::int64_t value = 0;
        const char* end = size->data() + size->size();
        const auto [unitAt, failure] = std::from_chars(size->data(), end, value);
        if (failure != std::errc() || value <= 0) return std::nullopt;
        const std::string unit(unitAt, end);
        if (unit == "K") return value * 1024;
        if (unit == "M") return value * 1024 * 1024;
        if (unit.empty()) return value;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> tscMHzFromOs(const std::filesystem::path& root) {
    if (const auto khz = firstLine(root / "sys/devices/system/cpu/cpu0/tsc_freq_khz")) {
        double value = 0;
        const auto [end, failure] = std::from_chars(khz->data(), khz->data() + khz->size(), value);
        if (failure == std::errc() && value > 0) return value / 1000.0;
    }
    if (std::filesystem::exists(root / "sys/devices/system/cpu/cpu0/cpufreq")) return std::nullopt;
    const auto cpuinfo = wholeFile(root / "proc/cpuinfo");
    if (!cpuinfo) return std::nullopt;
    const auto fields = platform::firstProcessorFields(*cpuinfo);
    const auto flags = fields.find("flags");
    const auto mhz = fields.find("cpu MHz");
    if (flags == fields.end() || mhz == fields.end()) return std::nullopt;
    if ((" " + flags->second + " ").find(" constant_tsc ") == std::string::npos)
        return std::nullopt;
    double value = 0;
    const auto& text = mhz->second;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || value <= 0) return std::nullopt;
    return value;
}

}  // namespace report
