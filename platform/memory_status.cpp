#include "platform/memory_status.h"

#include <charconv>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace platform {
namespace {

// Far beyond any real machine, and small enough that the sums of two counts in bytes
// still fit 64 bits.
constexpr std::uint64_t kMaxKb = std::uint64_t{1} << 50;

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// "   24683748 kB" -> bytes; anything else (no digits, a sign, another unit) is refused.
std::optional<std::int64_t> kbToBytes(std::string_view text) {
    text = trim(text);
    std::uint64_t kb = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), kb);
    if (error != std::errc() || end == text.data()) return std::nullopt;
    if (trim(std::string_view(end, text.data() + text.size() - end)) != "kB") return std::nullopt;
    if (kb > kMaxKb) return std::nullopt;
    return static_cast<std::int64_t>(kb * 1024);
}

// The "Key: value" lines of a /proc file; the first line of each key wins.
std::optional<std::map<std::string, std::string, std::less<>>> readKeyedFile(
    const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::map<std::string, std::string, std::less<>> fields;
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        fields.emplace(line.substr(0, colon), line.substr(colon + 1));
    }
    return fields;
}

std::optional<std::int64_t> kbField(const std::map<std::string, std::string, std::less<>>& fields,
                                    std::string_view key) {
    const auto found = fields.find(key);
    if (found == fields.end()) return std::nullopt;
    return kbToBytes(found->second);
}

// The soft RLIMIT_AS from "Max address space  <soft>  <hard>  bytes"; empty when unlimited,
// missing or unreadable.
std::optional<std::int64_t> addressSpaceLimit(const std::filesystem::path& path) {
    std::ifstream in(path);
    constexpr std::string_view kName = "Max address space";
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with(kName)) continue;
        std::string_view rest = trim(std::string_view(line).substr(kName.size()));
        rest = rest.substr(0, rest.find_first_of(" \t"));
        std::uint64_t bytes = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), bytes);
        if (error != std::errc() || end != rest.data() + rest.size()) return std::nullopt;
        if (bytes >= static_cast<std::uint64_t>(kUserAddressSpace)) return std::nullopt;
        return static_cast<std::int64_t>(bytes);
    }
    return std::nullopt;
}

MemoryStatusSource& currentSource() {
    static MemoryStatusSource source = [] { return readMemoryStatus("/"); };
    return source;
}

}  // namespace

std::optional<MemoryStatus> readMemoryStatus(const std::filesystem::path& root) {
    const auto meminfo = readKeyedFile(root / "proc/meminfo");
    const auto status = readKeyedFile(root / "proc/self/status");
    if (!meminfo || !status) return std::nullopt;

    const auto memTotal = kbField(*meminfo, "MemTotal");
    const auto memAvailable = kbField(*meminfo, "MemAvailable");
    const auto swapTotal = kbField(*meminfo, "SwapTotal");
    const auto swapFree = kbField(*meminfo, "SwapFree");
    const auto vmSize = kbField(*status, "VmSize");
    if (!memTotal || !memAvailable || !swapTotal || !swapFree || !vmSize) return std::nullopt;
    if (*memTotal == 0) return std::nullopt;

    MemoryStatus report;
    report.totalPhys = *memTotal;
    report.availPhys = *memAvailable;
    report.totalPageFile = *memTotal + *swapTotal;
    report.availPageFile = *memAvailable + *swapFree;
    report.totalVirtual = addressSpaceLimit(root / "proc/self/limits").value_or(kUserAddressSpace);
    report.availVirtual = report.totalVirtual - *vmSize;
    return report;
}

std::optional<MemoryStatus> memoryStatus() {
    return currentSource()();
}

ScopedMemoryStatusSource::ScopedMemoryStatusSource(MemoryStatusSource source)
    : previous_(std::exchange(currentSource(), std::move(source))) {}

ScopedMemoryStatusSource::~ScopedMemoryStatusSource() {
    currentSource() = std::move(previous_);
}

}  // namespace platform
