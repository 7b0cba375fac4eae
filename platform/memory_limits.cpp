// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_limits.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/memory_status.h"
#include "platform/system_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The kernels write "no limit" as "max" (cgroup v2) or as the largest page-aligned count
// (v1: 9223372036854771712); anything this large is no limit on any machine.
constexpr std::int64_t kNoLimitFrom = std::int64_t{1} << 62;

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out = split(text, '\n');
    if (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

// mountinfo writes blanks, tabs, newlines and backslashes in paths as \ooo.
std::string unescapeOctal(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto octal = [&](std::size_t k) { return text[k] >= '0' && text[k] <= '7'; };
        if (text[i] == '\\' && i + 3 < text.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                     (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The parts of an absolute cgroup path; empty when it is not one or climbs with "..", which
// a cgroup namespace shows for a group outside it.
std::optional<std::vector<std::string>> pathParts(std::string_view path) {
    if (!path.starts_with('/')) return std::nullopt;
    std::vector<std::string> parts;
    for (const std::string_view part : split(path.substr(1), '/')) {
        if (part.empty()) continue;
        if (part == "." || part == "..") return std::nullopt;
        parts.emplace_back(part);
    }
    return parts;
}

struct Hierarchy {
    std::string mountPoint;          // as the system names it, "/sys/fs/cgroup/memory"
    std::vector<std::string> group;  // the process's group below the mount point
};

struct CgroupPaths {
    std::optional<std::string> v2;  // the "0::PATH" line's path
    std::optional<std::string> v1;  // the path of the line whose controllers hold "memory"
};

CgroupPaths cgroupPaths(std::string_view text) {
    CgroupPaths paths;
    for (const std::string_view line : lines(text)) {
        const auto first = line.find(':');
        const auto second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        const std::string_view id = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string path(line.substr(second + 1));
        if (id == "0" && controllers.empty()) {
            if (!paths.v2) paths.v2 = path;
            continue;
        }
        const auto names = split(controllers, ',');
        if (!paths.v1 && std::find(names.begin(), names.end(), "memory") != names.end())
            paths.v1 = path;
    }
    return paths;
}

struct Mount {
    std::string root;        // the part of the hierarchy mounted there
    std::string mountPoint;  // where
    std::string type;        // "cgroup2", "cgroup"
    std::vector<std::string> options;
};

std::vector<Mount> mounts(std::string_view mountinfo) {
    std::vector<Mount> out;
    for (const std::string_view line : lines(mountinfo)) {
        const auto fields = split(line, ' ');
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || dash == fields.end() || dash - fields.begin() < 6 ||
            fields.end() - dash < 2)
            continue;
        Mount mount{unescapeOctal(fields[3]), unescapeOctal(fields[4]), std::string(dash[1]), {}};
        if (fields.end() - dash >= 4)
            for (const auto option : split(dash[3], ',')) mount.options.emplace_back(option);
        out.push_back(std::move(mount));
    }
    return out;
}

// Where the group at `path` lies in the hierarchy mounted by one of `candidates`: the mount
// that holds it, else none.
std::optional<Hierarchy> locate(const std::vector<Mount>& candidates, std::string_view path) {
    const auto group = pathParts(path);
    if (!group) return std::nullopt;
    for (const Mount& mount : candidates) {
        const auto mountRoot = pathParts(mount.root);
        if (!mountRoot || mountRoot->size() > group->size() ||
            !std::equal(mountRoot->begin(), mountRoot->end(), group->begin()))
            continue;
        return Hierarchy{
            mount.mountPoint,
            {group->begin() + static_cast<std::ptrdiff_t>(mountRoot->size()), group->end()}};
    }
    return std::nullopt;
}

// The cgroup hierarchy holding the memory controller at `path`: from mountinfo, or where
// systems mount it when mountinfo cannot be read.
std::optional<Hierarchy> hierarchy(const fs::path& root, std::string_view path, bool v2) {
    std::vector<Mount> candidates;
    if (const auto mountinfo = readSystemFile(root / "proc/self/mountinfo")) {
        for (Mount& mount : mounts(*mountinfo)) {
            const bool memory = std::find(mount.options.begin(), mount.options.end(), "memory") !=
                                mount.options.end();
            if (v2 ? mount.type == "cgroup2" : mount.type == "cgroup" && memory)
                candidates.push_back(std::move(mount));
        }
    } else {
        candidates.push_back({"/", v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory", {}, {}});
    }
    return locate(candidates, path);
}

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
    for (const std::string_view line : lines(*text)) {
        if (!line.starts_with(kKey)) continue;
        const auto value =
            parseInteger(line.substr(kKey.size()), 0, std::numeric_limits<std::int64_t>::max());
        if (!value || *value >= kNoLimitFrom) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

// Each level from the process's own group up to the hierarchy's root.
template <class Level>
void eachLevel(const fs::path& root, const Hierarchy& h, Level&& level) {
    for (std::size_t depth = h.group.size() + 1; depth-- > 0;) {
        std::string systemPath = h.mountPoint;
        for (std::size_t i = 0; i < depth; ++i) systemPath += "/" + h.group[i];
        level(root / fs::path(systemPath).relative_path(), systemPath, depth == h.group.size());
    }
}

void addCgroupLimits(const fs::path& root, std::vector<MemoryLimit>& out) {
    const auto text = readSystemFile(root / "proc/self/cgroup");
    if (!text) return;
    const CgroupPaths paths = cgroupPaths(*text);
    if (paths.v2) {
        if (const auto h = hierarchy(root, *paths.v2, true)) {
            eachLevel(root, *h, [&](const fs::path& dir, const std::string& shown, bool) {
                const auto current = usageValue(dir / "memory.current");
                addLimit(out, limitValue(dir / "memory.max"), current, shown + "/memory.max");
                // Above memory.high the kernel throttles the group and reclaims its pages:
                // not fatal, but the thrashing this sizing is there to avoid.
                addLimit(out, limitValue(dir / "memory.high"), current, shown + "/memory.high");
            });
        }
    }
    if (paths.v1) {
        if (const auto h = hierarchy(root, *paths.v1, false)) {
            eachLevel(root, *h, [&](const fs::path& dir, const std::string& shown, bool own) {
                const auto usage = usageValue(dir / "memory.usage_in_bytes");
                addLimit(out, limitValue(dir / "memory.limit_in_bytes"), usage,
                         shown + "/memory.limit_in_bytes");
                if (own)
                    addLimit(out, hierarchicalLimit(dir / "memory.stat"), usage,
                             shown + "/memory.stat");
            });
        }
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
