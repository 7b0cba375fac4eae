// SPDX-License-Identifier: GPL-3.0-or-later
// What derives from the figures, computed once for every output.
#include <algorithm>

#include "bench/scoring.h"
#include "report/report.h"
#include "sysinfo/clock.h"

namespace report {

std::optional<double> CpuFigures::clockMhz() const {
    return clockCycles ? std::optional(sysinfo::clockMHz(*clockCycles)) : std::nullopt;
}

std::optional<sysinfo::MemoryFigures> MemoryFigures::shown() const {
    return status ? std::optional(sysinfo::memoryFigures(*status)) : std::nullopt;
}

std::int32_t BenchRow::result() const {
    return raw ? bench::rowResult(group, *raw) : 0;
}

std::vector<std::int64_t> BenchRow::runResults() const {
    std::vector<std::int64_t> results;
    for (const auto& run : runs) results.push_back(run ? bench::rowResult(group, *run) : 0);
    return results;
}

std::optional<std::int32_t> figureOf(const std::optional<membench::Measured>& speed) {
    if (!speed || !*speed) return std::nullopt;
    return (*speed)->figure;
}

std::vector<std::int64_t> measuredRuns(const std::vector<std::optional<std::int32_t>>& runs) {
    std::vector<std::int64_t> values;
    for (const auto& run : runs)
        if (run) values.push_back(*run);
    return values;
}

bool MemtestEdac::rose() const {
    const auto up = [](const std::optional<std::int64_t>& before,
                       const std::optional<std::int64_t>& after) {
        return before && after && *after > *before;
    };
    return up(ceBefore, ceAfter) || up(ueBefore, ueAfter);
}

bool MemtestFigures::foundErrors() const {
    return errors > 0 || mismatchesNotListed > 0 || !mismatches.empty() ||
           (edac && std::any_of(edac->begin(), edac->end(),
                                [](const MemtestEdac& dimm) { return dimm.rose(); }));
}

bool Report::foundErrors() const {
    const bool wrongRow = bench && std::any_of(bench->rows.begin(), bench->rows.end(),
                                               [](const BenchRow& row) { return !row.valid; });
    return wrongRow || (stability && stability->errors > 0) || (memtest && memtest->foundErrors());
}

}  // namespace report
