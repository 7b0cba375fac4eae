// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cgroups.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/system_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

template <class Names>
bool holds(const Names& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
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
    for (const std::string_view part : splitText(path.substr(1), '/')) {
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
    std::optional<std::string> v1;  // the path of the line whose controllers hold the one asked
};

CgroupPaths cgroupPaths(std::string_view text, std::string_view controller) {
    CgroupPaths paths;
    for (const std::string_view line : textLines(text)) {
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
        if (!paths.v1 && holds(splitText(controllers, ','), controller)) paths.v1 = path;
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
    for (const std::string_view line : textLines(mountinfo)) {
        const auto fields = splitText(line, ' ');
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 5 || dash == fields.end() || dash - fields.begin() < 6 ||
            fields.end() - dash < 2)
            continue;
        Mount mount{unescapeOctal(fields[3]), unescapeOctal(fields[4]), std::string(dash[1]), {}};
        if (fields.end() - dash >= 4)
            for (const auto option : splitText(dash[3], ',')) mount.options.emplace_back(option);
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

// The mounts that may hold the v2 hierarchy, or the v1 one with `controller`: from mountinfo,
// or where systems mount them when mountinfo cannot be read.
std::vector<Mount> candidates(const std::optional<std::vector<Mount>>& all, bool v2,
                              std::string_view controller) {
    if (!all) {
        const std::string point =
            v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/" + std::string(controller);
        return {{"/", point, {}, {}}};
    }
    std::vector<Mount> out;
    for (const Mount& mount : *all) {
        if (v2 ? mount.type == "cgroup2"
               : mount.type == "cgroup" && holds(mount.options, controller))
            out.push_back(mount);
    }
    return out;
}

std::vector<CgroupLevel> levels(const fs::path& root, const std::optional<Hierarchy>& h) {
    std::vector<CgroupLevel> out;
    if (!h) return out;
    for (std::size_t depth = h->group.size() + 1; depth-- > 0;) {
        std::string shown = h->mountPoint;
        for (std::size_t i = 0; i < depth; ++i) shown += "/" + h->group[i];
        out.push_back({root / fs::path(shown).relative_path(), shown, depth == h->group.size()});
    }
    return out;
}

}  // namespace

CgroupLevels cgroupLevels(const fs::path& root, std::string_view v1Controller) {
    CgroupLevels out;
    const auto text = readSystemFile(root / "proc/self/cgroup");
    if (!text) return out;
    const CgroupPaths paths = cgroupPaths(*text, v1Controller);
    std::optional<std::vector<Mount>> all;
    if (const auto mountinfo = readSystemFile(root / "proc/self/mountinfo"))
        all = mounts(*mountinfo);
    if (paths.v2) out.v2 = levels(root, locate(candidates(all, true, v1Controller), *paths.v2));
    if (paths.v1) out.v1 = levels(root, locate(candidates(all, false, v1Controller), *paths.v1));
    return out;
}

}  // namespace platform
