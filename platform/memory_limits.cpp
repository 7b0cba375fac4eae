// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_limits.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/cgroups.h"
#include "platform/memory_status.h"
#include "platform/system_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The kernels write "no limit" as "max" (cgroup v2) or as the largest page-aligned count
// (v1: 9223372036854771712); anything this large is no limit on any machine.
constexpr std::int64_t kNoLimitFrom = std::int64_t{1} << 62;

// A limit file's count; empty for "max", for no-limit sized counts and for anything unreadable.
std::optional<std::int64_t> limitValue(const fs::path& file) {
    const auto text = readFirstLine(file);
    if (!text) return std::nullopt;
    const auto value = parseInteger(*text, 0, std::numeric_limits<std::int64_t>::max());
    if (!value || *value >= kNoLimitFrom) return std::nullopt;
    return value;
}

std::optional<std::int64_t> usageValue(const fs::path& file) {
    const auto text = readFirstLine(file);
    if (!text) return std::nullopt;
    return parseInteger(*text, 0, std::numeric_limits<std::int64_t>::max());
}

// A usage above the limit (a limit lowered below what a group holds) leaves nothing.
void addLimit(std::vector<MemoryLimit>& out, std::optional<std::int64_t> limit,
              std::optional<std::int64_t> usage, std::string source) {
    if (!limit || !usage) return;
    out.push_back({*limit, std::max<std::int64_t>(*limit - *usage, 0), std::move(source)});
}

// "hierarchical_memory_limit 1073741824" in a v1 memory.stat: the tightest limit above the
// group, which holds even where the parents' own files are out of sight.
std::optional<std::int64_t> hierarchicalLimit(const fs::path& file) {
    const auto text = readSystemFile(file);
    if (!text) return std::nullopt;
    constexpr std::string_view kKey = "hierarchical_memory_limit ";
    for (const std::string_view line : textLines(*text)) {
        if (!line.starts_with(kKey)) continue;
        const auto value =
            parseInteger(line.substr(kKey.size()), 0, std::numeric_limits<std::int64_t>::max());
        if (!value || *value >= kNoLimitFrom) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

void addCgroupLimits(const fs::path& root, std::vector<MemoryLimit>& out) {
    const CgroupLevels levels = cgroupLevels(root, "memory");
    for (const CgroupLevel& level : levels.v2) {
        const auto current = usageValue(level.directory / "memory.current");
        addLimit(out, limitValue(level.directory / "memory.max"), current,
                 level.shown + "/memory.max");
        // Above memory.high the kernel throttles the group and reclaims its pages: not
        // fatal, but the thrashing this sizing is there to avoid.
        addLimit(out, limitValue(level.directory / "memory.high"), current,
                 level.shown + "/memory.high");
    }
    for (const CgroupLevel& level : levels.v1) {
        const auto usage = usageValue(level.directory / "memory.usage_in_bytes");
        addLimit(out, limitValue(level.directory / "memory.limit_in_bytes"), usage,
                 level.shown + "/memory.limit_in_bytes");
        if (level.own)
            addLimit(out, hierarchicalLimit(level.directory / "memory.stat"), usage,
                     level.shown + "/memory.stat");
    }
}

void addResourceLimits(const fs::path& root, std::vector<MemoryLimit>& out) {
    const auto limits = readSystemFile(root / "proc/self/limits");
    const auto status = readSystemFile(root / "proc/self/status");
    if (!limits || !status) return;
    const KeyedFields fields = keyedFields(*status);
    addLimit(out, softLimit(*limits, "Max address space"), kbField(fields, "VmSize"), "RLIMIT_AS");
    addLimit(out, softLimit(*limits, "Max data size"), kbField(fields, "VmData"), "RLIMIT_DATA");
}

}  // namespace

std::vector<MemoryLimit> readMemoryLimits(const fs::path& root) {
    std::vector<MemoryLimit> limits;
    addCgroupLimits(root, limits);
    addResourceLimits(root, limits);
    return limits;
}

std::optional<std::int64_t> unusedMemoryFromMeminfo(std::string_view meminfo) {
    const KeyedFields fields = keyedFields(meminfo);
    auto available = kbField(fields, "MemAvailable");
    if (!available) return std::nullopt;
    if (const auto total = kbField(fields, "MemTotal")) available = std::min(*available, *total);
    const auto free = kbField(fields, "MemFree");
    // Programs' working sets: the file pages used more than once lately (their code, the
    // files they work on), and the file pages mapped into a program right now, which stay
    // on the inactive list, however often they are touched, until reclaim looks at them.
    // A page both active and mapped is left out twice: a little less tested, nothing evicted.
    // Free pages are never in anyone's way.
    const std::int64_t workingSets =
        kbField(fields, "Active(file)").value_or(0) + kbField(fields, "Mapped").value_or(0);
    const std::int64_t floor = std::min(free.value_or(0), *available);
    return std::clamp(*available - workingSets, floor, *available);
}

std::optional<MemoryAllowance> readMemoryAllowance(const fs::path& root) {
    const auto meminfo = readSystemFile(root / "proc/meminfo");
    if (!meminfo) return std::nullopt;
    const auto unused = unusedMemoryFromMeminfo(*meminfo);
    if (!unused) return std::nullopt;
    MemoryAllowance allowance;
    allowance.unused = *unused;
    allowance.bytes = *unused;
    for (MemoryLimit& limit : readMemoryLimits(root)) {
        allowance.bytes = std::min(allowance.bytes, limit.available);
        if (!allowance.limit || limit.available < allowance.limit->available)
            allowance.limit = std::move(limit);
    }
    return allowance;
}

}  // namespace platform
