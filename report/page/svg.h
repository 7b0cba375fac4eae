// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page's charts, drawn as inline SVG when the page is written. Every text is escaped;
// every colour is a CSS class, so the charts follow the light or dark preference and print
// in light colours; and nothing carries meaning by colour alone: a fault is hatched and
// marked with "✖", series differ by dash and point shape, marks by dash.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace report::page {

// The width, in CSS pixels, every chart is drawn for: an A4 page's printable width, so that
// a printout shows the charts at their own size.
inline constexpr double kChartWidth = 680;

// A horizontal bar.
struct Bar {
    std::string label;
    std::optional<double> value;      // none: only the label and valueText
    std::string valueText;            // in the column right of the bars
    std::optional<double> low, high;  // the extremes of repeated runs: a whisker
    bool faulty = false;
    std::string group;  // a heading above the first bar of a new group
};

struct BarChart {
    std::string title;  // what a screen reader says of the picture
    std::string axis;   // under the scale
    std::vector<Bar> bars;
    std::optional<double> reference;  // a dashed line across every bar, at this value
    std::string referenceText;
    double atLeast = 0;  // the scale reaches at least this
    // The label column holds at least this many characters, so that charts of one kind
    // shown one above the other line their bars up.
    std::size_t labelCharacters = 0;
};

std::string barChart(const BarChart& chart);

// A change from a saved figure in %, around a band that is noise.
struct Change {
    std::string label;
    std::optional<double> percent;
    std::optional<double> band;  // ± %
    std::string valueText;
    bool marked = false;  // beyond the band
};

struct ChangeChart {
    std::string title;
    std::string axis;
    std::vector<Change> changes;
};

std::string changeChart(const ChangeChart& chart);

// The memory sweep: rates against the block size, on a logarithmic axis from 8 KiB to
// 16 MiB, with cache sizes marked.
struct SweepPoint {
    double kib = 0;
    std::optional<double> first, confirmed;
};

struct SizeMark {
    double kib = 0;
    std::string text;
    bool timed = false;  // the size the sweep found (solid), else the system's (dashed)
};

struct SweepChart {
    std::string title;
    std::string rateAxis;
    std::string sizeAxis;
    std::vector<SweepPoint> points;
    std::vector<SizeMark> marks;
};

inline constexpr double kSweepSmallestKiB = 8;
inline constexpr double kSweepLargestKiB = 16384;

std::string sweepChart(const SweepChart& chart);

// The failure count of each of the 64 bits of a word, bit 0 first.
std::string bitChart(std::string_view title, std::string_view axis,
                     const std::vector<std::int64_t>& counts);

// The cores of each package as tiles.
struct CoreTile {
    std::string heading;
    std::vector<std::string> lines;
    bool faulty = false;
};

struct PackageTiles {
    std::string heading;
    std::vector<CoreTile> cores;
};

std::string coreMap(std::string_view title, const std::vector<PackageTiles>& packages);

// The patterns the charts fill with, written once at the top of the page's body.
std::string sharedDefinitions();

}  // namespace report::page
