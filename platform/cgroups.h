// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cgroup directories above this process: where the limits of one controller (memory,
// cpu) are written, from the process's own group up to its hierarchy's root.
//
// A limit set on any ancestor holds for the process too, and a container often sees its
// limit only on a parent, so every reader of a limit walks all of them. Both versions are
// walked: a hybrid system mounts v2 beside v1, and a controller lives in one of the two.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One group directory on the walk.
struct CgroupLevel {
    std::filesystem::path directory;  // where its files are read: below the root handed over
    std::string shown;                // as the system names it: "/sys/fs/cgroup/user.slice"
    bool own = false;                 // the process's own group, not an ancestor

    friend bool operator==(const CgroupLevel&, const CgroupLevel&) = default;
};

struct CgroupLevels {
    std::vector<CgroupLevel> v2;  // the unified hierarchy, own group first
    std::vector<CgroupLevel> v1;  // the v1 hierarchy that holds the controller, own group first
};

// The groups of this process below `root`, from <root>/proc/self/cgroup and
// <root>/proc/self/mountinfo (the usual mount points, /sys/fs/cgroup and
// /sys/fs/cgroup/<controller>, when mountinfo cannot be read). `v1Controller` names the v1
// hierarchy to walk ("memory", "cpu"). A group that lies outside the cgroup namespace ("/..")
// or in no mounted hierarchy gives no levels; nothing readable gives none at all.
CgroupLevels cgroupLevels(const std::filesystem::path& root, std::string_view v1Controller);

}  // namespace platform
