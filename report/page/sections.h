// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page's sections, each made from the result's JSON alone; a section whose data is
// absent is the empty string, and so is left out.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/kernel_table.h"
#include "report/page/markup.h"

namespace report::page {

// The sections' anchors, in the page's order.
inline constexpr std::string_view kMachineId = "machine";
inline constexpr std::string_view kCacheId = "cache-and-memory";
inline constexpr std::string_view kBenchId = "cpu-benchmark";
inline constexpr std::string_view kCoresId = "every-core";
inline constexpr std::string_view kMemtestId = "memory-test";

inline constexpr std::string_view kDiagnosticId = "diagnostic";

// A section of the page: its anchor and heading for the contents, and its markup; no
// markup when its data is absent.
struct Part {
    std::string_view id;
    std::string heading;
    std::string html;
};

// Builds the part, wrapping `body` in its section; an empty body leaves it absent.
Part part(std::string_view id, std::string heading, const std::string& body);

Part machineSection(const json& result);
Part cacheSection(const json& result);
Part benchSection(const json& result);
Part coresSection(const json& result);
Part memtestSection(const json& result);

// Shared by the sections.

// A caption of the window without its padding blanks, dots or colon: " RAM Benchmark  ",
// "Write memory speed:" and "Formula Ferma........." as headings and column heads.
std::string bare(std::string_view caption);

// A benchmark row's group: its "group", else the kernel table's for its "row".
std::optional<bench::Group> groupOf(const json& row);
// A row's caption without its dots, by its number; a number this build does not know keeps
// the caption the result gives.
std::string rowName(const json& row);

// Every number of an array; null and other values are left out.
std::vector<std::int64_t> integers(const json* values);

// "Median, min, max, spread" of repeated values, as texts; nullopt for fewer than two.
struct SpreadTexts {
    std::string min, max, spread;
    std::int64_t low = 0, high = 0;
};
std::optional<SpreadTexts> spreadTexts(const std::vector<std::int64_t>& values,
                                       std::string (*word)(std::int64_t));

std::string figureText(const std::optional<std::int64_t>& value);
std::string figureText(const std::optional<std::string>& value);

// A heading inside a section.
std::string subheading(std::string_view text);

}  // namespace report::page
