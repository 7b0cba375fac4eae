// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory controllers' own error counters (EDAC), read before and after a memory test.
//
// On a machine with ECC memory a weak cell is corrected in passing and no pattern test ever
// sees it; only the controller's corrected-error count rises. Where the kernel has an EDAC
// driver, /sys/devices/system/edac/mc/ holds one mc<N>/ per controller and one dimm<N>/ (or
// rank<N>/, as some drivers name them) per module, with the label the firmware gives its
// slot. Elsewhere the directory is missing and there is nothing to count.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct EdacCounters {
    std::optional<std::int64_t> corrected;    // ce_count / dimm_ce_count
    std::optional<std::int64_t> uncorrected;  // ue_count / dimm_ue_count
};

struct EdacController {
    std::string name;  // "mc0"
    EdacCounters counters;
};

struct EdacDimm {
    std::string controller;            // "mc0"
    std::string name;                  // "dimm3"
    std::optional<std::string> label;  // "CPU_SrcID#0_Ha#0_Chan#1_DIMM#0"; none if missing or empty
    EdacCounters counters;
};

struct EdacCounts {
    std::vector<EdacController> controllers;  // in the order of their numbers
    std::vector<EdacDimm> dimms;
};

// Every controller and module below <root>/sys/devices/system/edac/mc/; nothing when the
// directory is missing (no EDAC driver, or not Linux's /sys).
std::optional<EdacCounts> readEdacCounts(const std::filesystem::path& root = "/");

// How much one controller's or one module's counts rose between two readings; 0 where either
// reading lacks the counter. A module is matched by its controller and name.
struct EdacRise {
    std::string controller;
    std::string dimm;  // empty for the controller as a whole
    std::optional<std::string> label;
    std::int64_t corrected = 0;
    std::int64_t uncorrected = 0;
    // The two readings themselves, for a report that shows the counts beside the rise.
    EdacCounters before, after;
};

struct EdacChange {
    std::vector<EdacRise> controllers;
    std::vector<EdacRise> dimms;
    // A corrected or an uncorrected count rose anywhere: a finding of the test.
    bool rose() const;
};

EdacChange edacChange(const EdacCounts& before, const EdacCounts& after);

}  // namespace platform
