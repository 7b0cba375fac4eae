// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Comparing this run's benchmarks with a result saved earlier by --save.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"
#include "report/report.h"

namespace report {

// Change beyond which a figure counts as changed when a side has a single repetition and
// so no spread of its own, in %.
inline constexpr double kSingleRunThreshold = 5.0;

// The largest file a user may hand over: a saved result is a few hundred KiB, and a file of
// gigabytes would be read and parsed whole before it could be refused.
inline constexpr std::int64_t kMaxUserFileBytes = std::int64_t{64} << 20;

// The saved result, or the reason, in one line, why FILE cannot be compared with.
platform::Expected<Report, std::string> loadSaved(const std::string& path,
                                                  std::string_view option = "--compare");

struct CompareLine {
    std::string kind;     // "row", "score" or "ram"
    std::string key;      // the row number, "alu", "cpu_score", "write"...
    std::string caption;  // as the report prints it
    std::int64_t saved = 0, now = 0;
    std::optional<double> ratio;      // now / saved; empty when saved is 0
    std::optional<double> threshold;  // %, the larger side's spread; empty: unknown
    bool marked = false;              // the change exceeds the threshold
};

struct Comparison {
    std::string file;
    std::string savedWhen;
    // The benchmark's revision each side was measured with: rows of different revisions did
    // different work, which a warning says.
    int savedRevision = 0, revision = 0;
    std::vector<std::string> notes;     // where the two machines differ
    std::vector<std::string> warnings;  // where the figures are not comparable
    std::vector<CompareLine> lines;
};

// Compares two results; only the figures both hold.
Comparison compareResults(const Report& saved, const Report& now, const std::string& file);

std::string renderCompareText(const Comparison& comparison);
nlohmann::json compareJson(const Comparison& comparison);

}  // namespace report
