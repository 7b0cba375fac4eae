// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_status.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "platform/system_file.h"

namespace platform {
namespace {

// Far beyond any real machine, and small enough that the sums of two counts in bytes
// still fit 64 bits.
constexpr std::int64_t kMaxKb = std::int64_t{1} << 50;

// "   24683748 kB" -> bytes; anything else (no digits, a sign, another unit) is refused.
std::optional<std::int64_t> kbToBytes(std::string_view text) {
    text = trimBlanks(text);
    const auto unit = text.find_first_not_of("0123456789");
    if (unit == std::string_view::npos || trimBlanks(text.substr(unit)) != "kB")
        return std::nullopt;
    const auto kb = parseInteger(text.substr(0, unit), 0, kMaxKb);
    if (!kb) return std::nullopt;
    return *kb * 1024;
}

}  // namespace

KeyedFields keyedFields(std::string_view text) {
    KeyedFields fields;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        fields.emplace(std::string(line.substr(0, colon)), line.substr(colon + 1));
    }
    return fields;
}

std::optional<std::int64_t> kbField(const KeyedFields& fields, std::string_view key) {
    const auto found = fields.find(key);
    if (found == fields.end()) return std::nullopt;
    return kbToBytes(found->second);
}

std::optional<std::int64_t> softLimit(std::string_view limits, std::string_view name) {
    while (!limits.empty()) {
        const auto newline = limits.find('\n');
        const std::string_view line = limits.substr(0, newline);
        limits.remove_prefix(newline == std::string_view::npos ? limits.size() : newline + 1);
        if (!line.starts_with(name)) continue;
        std::string_view rest = trimBlanks(line.substr(name.size()));
        rest = rest.substr(0, rest.find_first_of(" \t"));
        // "unlimited", or anything not a count below the user address space: no limit.
        return parseInteger(rest, 0, kUserAddressSpace - 1);
    }
    return std::nullopt;
}

std::optional<MemoryStatus> memoryStatusFromTexts(std::string_view meminfoText,
                                                  std::string_view statusText,
                                                  std::string_view limitsText) {
    const KeyedFields meminfo = keyedFields(meminfoText);
    const KeyedFields status = keyedFields(statusText);
    const auto memTotal = kbField(meminfo, "MemTotal");
    const auto memAvailable = kbField(meminfo, "MemAvailable");
    const auto swapTotal = kbField(meminfo, "SwapTotal");
    const auto swapFree = kbField(meminfo, "SwapFree");
    const auto vmSize = kbField(status, "VmSize");
    if (!memTotal || !memAvailable || !swapTotal || !swapFree || !vmSize) return std::nullopt;
    if (*memTotal == 0) return std::nullopt;

    // Some container setups report more available than total; nothing can be in use below
    // zero, so what is available is capped at what there is.
    const std::int64_t availPhys = std::min(*memAvailable, *memTotal);
    const std::int64_t availSwap = std::min(*swapFree, *swapTotal);
    MemoryStatus report;
    report.totalPhys = *memTotal;
    report.availPhys = availPhys;
    report.totalPageFile = *memTotal + *swapTotal;
    report.availPageFile = availPhys + availSwap;
    report.totalVirtual = softLimit(limitsText, "Max address space").value_or(kUserAddressSpace);
    // A limit set below what the process already maps leaves nothing available, not less.
    report.availVirtual =
        std::clamp<std::int64_t>(report.totalVirtual - *vmSize, 0, report.totalVirtual);
    return report;
}

std::optional<MemoryStatus> readMemoryStatus(const std::filesystem::path& root) {
    const auto meminfo = readSystemFile(root / "proc/meminfo");
    const auto status = readSystemFile(root / "proc/self/status");
    if (!meminfo || !status) return std::nullopt;
    const auto limits = readSystemFile(root / "proc/self/limits");
    return memoryStatusFromTexts(*meminfo, *status, limits.value_or(""));
}

}  // namespace platform
