// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/page/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "present/format.h"
#include "present/page_words.h"
#include "report/page/markup.h"

namespace report::page {
namespace {

constexpr double kRowHeight = 22;
constexpr double kBarHeight = 14;
constexpr double kGroupHeight = 22;
constexpr double kAxisHeight = 38;
// A label longer than this is cut in the chart; the table beside has it whole.
constexpr std::size_t kLabelCharacters = 30;
// The width of a character of the charts' 12-pixel text, about, for the columns of labels
// and values: a page is written without a font to measure with.
constexpr double kCharacterWidth = 7.1;

std::size_t characters(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The columns left and right of the bars: as wide as their longest text, within bounds.
struct Columns {
    double label, value;
};

template <class Rows, class Faulty>
Columns columnsFor(const Rows& rows, Faulty faulty, std::size_t labelAtLeast = 4) {
    std::size_t label = std::min(kLabelCharacters + 3, labelAtLeast), value = 4;
    for (const auto& row : rows) {
        label = std::max(
            label, std::min(kLabelCharacters + 1, characters(row.label)) + (faulty(row) ? 2 : 0));
        value = std::max(value, characters(row.valueText));
    }
    return {std::clamp(static_cast<double>(label) * kCharacterWidth + 10, 70.0, 230.0),
            // Figures are wider than letters, and a fault's are bold.
            std::clamp(static_cast<double>(value) * (kCharacterWidth + 0.6) + 16, 60.0, 260.0)};
}

std::string at(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string label(std::string_view text) {
    const std::string shown = present::firstCharacters(text, kLabelCharacters);
    return escape(shown.size() < text.size() ? shown + "\u2026" : shown);
}

std::string open(double height, std::string_view title) {
    return "<svg class=\"chart\" viewBox=\"0 0 " + at(kChartWidth) + " " + at(height) +
           "\" width=\"" + at(kChartWidth) + "\" height=\"" + at(height) +
           "\" role=\"img\" aria-label=\"" + escape(title) + "\">\n";
}

std::string text(double x, double y, std::string_view klass, std::string_view anchor,
                 const std::string& escaped) {
    return "<text x=\"" + at(x) + "\" y=\"" + at(y) + "\" class=\"" + std::string(klass) +
           "\" text-anchor=\"" + std::string(anchor) + "\">" + escaped + "</text>\n";
}

std::string line(double x1, double y1, double x2, double y2, std::string_view klass) {
    return "<line x1=\"" + at(x1) + "\" y1=\"" + at(y1) + "\" x2=\"" + at(x2) + "\" y2=\"" +
           at(y2) + "\" class=\"" + std::string(klass) + "\"/>\n";
}

std::string rect(double x, double y, double width, double height, std::string_view klass,
                 std::string_view tooltip = {}) {
    std::string out = "<rect x=\"" + at(x) + "\" y=\"" + at(y) + "\" width=\"" +
                      at(std::max(width, 0.0)) + "\" height=\"" + at(height) + "\" class=\"" +
                      std::string(klass) + "\"";
    if (tooltip.empty()) return out + "/>\n";
    return out + "><title>" + escape(tooltip) + "</title></rect>\n";
}

// A step of 1, 2 or 5 times a power of ten that cuts `span` into about `parts`.
double niceStep(double span, int parts) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    const double raw = span / parts;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double factor = norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10;
    return factor * magnitude;
}

std::string tickText(double value, double step) {
    if (step >= 1 && std::fabs(value) < 9e18)
        return present::intToText(static_cast<std::int64_t>(std::llround(value)));
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A linear scale from `low` to `high` over the pixels `x0` to `x1`.
struct Scale {
    double low, high, x0, x1, step;
    double operator()(double value) const {
        const double clamped = std::clamp(value, low, high);
        return x0 + (clamped - low) / (high - low) * (x1 - x0);
    }
};

Scale scaleUpTo(double largest, double x0, double x1) {
    const double step = niceStep(largest, 5);
    const double high = std::max(step, std::ceil(largest / step - 1e-9) * step);
    return {0, high, x0, x1, step};
}

// Vertical grid lines from `top` to `bottom`, their values under them, and the axis caption.
std::string verticalGrid(const Scale& scale, double top, double bottom, std::string_view axis) {
    std::string out;
    for (double value = scale.low; value <= scale.high + scale.step * 1e-6; value += scale.step) {
        const double x = scale(value);
        out += line(x, top, x, bottom, std::abs(value) < scale.step * 1e-6 ? "zero" : "grid");
        out += text(x, bottom + 14, "tick", "middle", escape(tickText(value, scale.step)));
    }
    out += text((scale.x0 + scale.x1) / 2, bottom + 30, "axis", "middle", escape(axis));
    return out;
}

double barRowsHeight(const std::vector<Bar>& bars) {
    double height = 0;
    std::string group;
    for (const Bar& bar : bars) {
        if (!bar.group.empty() && bar.group != group) height += kGroupHeight;
        group = bar.group;
        height += kRowHeight;
    }
    return height;
}

std::string rowLabel(double x, double y, std::string_view caption, bool faulty) {
    return text(x, y, faulty ? "label faulty" : "label", "end",
                (faulty ? escape(present::page::kWrongMark) : "") + label(caption));
}

}  // namespace

std::string barChart(const BarChart& chart) {
    const Columns columns = columnsFor(
        chart.bars, [](const Bar& bar) { return bar.faulty; }, chart.labelCharacters);
    const double plotX0 = columns.label + 8;
    const double plotX1 = kChartWidth - columns.value;
    double largest = std::max(chart.atLeast, chart.reference.value_or(0));
    for (const Bar& bar : chart.bars)
        for (const auto& value : {bar.value, bar.high})
            if (value && std::isfinite(*value)) largest = std::max(largest, *value);
    const Scale scale = scaleUpTo(largest, plotX0, plotX1);

    const double top = chart.reference ? 18 : 6;
    const double bottom = top + barRowsHeight(chart.bars);
    std::string out = open(bottom + kAxisHeight, chart.title);
    out += verticalGrid(scale, top, bottom, chart.axis);

    double y = top;
    std::string group;
    for (const Bar& bar : chart.bars) {
        if (!bar.group.empty() && bar.group != group) {
            out += text(0, y + 15, "group", "start", escape(bar.group));
            y += kGroupHeight;
        }
        group = bar.group;
        const double middle = y + kRowHeight / 2;
        out += rowLabel(columns.label, middle + 4, bar.label, bar.faulty);
        if (bar.value && std::isfinite(*bar.value))
            out += rect(plotX0, middle - kBarHeight / 2, scale(*bar.value) - plotX0, kBarHeight,
                        bar.faulty ? "bar faulty" : "bar", bar.label + ": " + bar.valueText);
        if (bar.low && bar.high && *bar.high > *bar.low) {
            const double x0 = scale(*bar.low), x1 = scale(*bar.high);
            out += line(x0, middle, x1, middle, "whisker");
            out += line(x0, middle - 5, x0, middle + 5, "whisker");
            out += line(x1, middle - 5, x1, middle + 5, "whisker");
        }
        out += text(plotX1 + 8, middle + 4, bar.faulty ? "value faulty" : "value", "start",
                    escape(bar.valueText));
        y += kRowHeight;
    }
    if (chart.reference) {
        const double x = scale(*chart.reference);
        out += line(x, top - 4, x, bottom, "reference");
        out += text(x, 12, "reference-text", x > (plotX0 + plotX1) / 2 ? "end" : "start",
                    escape(chart.referenceText));
    }
    return out + "</svg>\n";
}

std::string changeChart(const ChangeChart& chart) {
    const Columns columns = columnsFor(chart.changes, [](const Change&) { return false; });
    const double plotX0 = columns.label + 8;
    const double plotX1 = kChartWidth - columns.value;
    double largest = 5;
    for (const Change& change : chart.changes) {
        if (change.percent && std::isfinite(*change.percent))
            largest = std::max(largest, std::fabs(*change.percent));
        if (change.band && std::isfinite(*change.band))
            largest = std::max(largest, std::fabs(*change.band));
    }
    const double step = niceStep(largest, 3);
    const double span = std::ceil(largest / step - 1e-9) * step;
    const Scale scale{-span, span, plotX0, plotX1, step};

    const double top = 6;
    const double bottom = top + kRowHeight * static_cast<double>(chart.changes.size());
    std::string out = open(bottom + kAxisHeight, chart.title);
    out += verticalGrid(scale, top, bottom, chart.axis);

    double y = top;
    for (const Change& change : chart.changes) {
        const double middle = y + kRowHeight / 2;
        if (change.band && *change.band > 0) {
            const double x0 = scale(-*change.band), x1 = scale(*change.band);
            out += rect(x0, y + 1, x1 - x0, kRowHeight - 2, "band");
            out += line(x0, y + 1, x0, y + kRowHeight - 1, "band-edge");
            out += line(x1, y + 1, x1, y + kRowHeight - 1, "band-edge");
        }
        out += rowLabel(columns.label, middle + 4, change.label, false);
        if (change.percent && std::isfinite(*change.percent)) {
            const double x0 = scale(0), x1 = scale(*change.percent);
            out += rect(std::min(x0, x1), middle - kBarHeight / 2 + 2, std::fabs(x1 - x0),
                        kBarHeight - 4, change.marked ? "change marked" : "change",
                        change.label + ": " + change.valueText);
        }
        out += text(plotX1 + 8, middle + 4, change.marked ? "value marked" : "value", "start",
                    escape(change.valueText));
        y += kRowHeight;
    }
    return out + "</svg>\n";
}

std::string sweepChart(const SweepChart& chart) {
    const double x0 = 64, x1 = kChartWidth - 24;
    std::vector<const SizeMark*> shown;
    for (const SizeMark& mark : chart.marks)
        if (mark.kib >= kSweepSmallestKiB && mark.kib <= kSweepLargestKiB) shown.push_back(&mark);
    // Each mark's label has a line of its own above the plot, so none hides another.
    const double top = 10 + 15 * static_cast<double>(shown.size());
    const double bottom = top + 220;

    const double lowLog = std::log2(kSweepSmallestKiB), highLog = std::log2(kSweepLargestKiB);
    const auto xOf = [&](double kib) {
        return x0 + (std::log2(kib) - lowLog) / (highLog - lowLog) * (x1 - x0);
    };
    double largest = 1;
    for (const SweepPoint& point : chart.points)
        for (const auto& rate : {point.first, point.confirmed})
            if (rate && std::isfinite(*rate)) largest = std::max(largest, *rate);
    const double step = niceStep(largest, 5);
    const double high = std::ceil(largest / step - 1e-9) * step;
    const auto yOf = [&](double rate) {
        return bottom - std::clamp(rate, 0.0, high) / high * (bottom - top);
    };

    std::string out = open(bottom + kAxisHeight + 4, chart.title);
    for (double value = 0; value <= high + step * 1e-6; value += step) {
        out += line(x0, yOf(value), x1, yOf(value), value == 0 ? "zero" : "grid");
        out += text(x0 - 6, yOf(value) + 4, "tick", "end", escape(tickText(value, step)));
    }
    for (double kib = kSweepSmallestKiB; kib <= kSweepLargestKiB; kib *= 2) {
        out += line(xOf(kib), top, xOf(kib), bottom, "grid");
        out += text(xOf(kib), bottom + 14, "tick small", "middle",
                    escape(present::page::bytesText(static_cast<std::int64_t>(kib) * 1024)));
    }
    out += text((x0 + x1) / 2, bottom + 32, "axis", "middle", escape(chart.sizeAxis));
    out += "<text class=\"axis\" text-anchor=\"middle\" transform=\"translate(14 " +
           at((top + bottom) / 2) + ") rotate(-90)\">" + escape(chart.rateAxis) + "</text>\n";

    for (std::size_t i = 0; i < shown.size(); ++i) {
        const double x = xOf(shown[i]->kib);
        const double labelY = 12 + 15 * static_cast<double>(i);
        out += line(x, labelY + 3, x, bottom, shown[i]->timed ? "mark timed" : "mark system");
        out += text(x > (x0 + x1) / 2 ? x - 4 : x + 4, labelY, "mark-text",
                    x > (x0 + x1) / 2 ? "end" : "start", escape(shown[i]->text));
    }

    const auto series = [&](bool confirmed) {
        std::string points, marks;
        for (const SweepPoint& point : chart.points) {
            const auto& rate = confirmed ? point.confirmed : point.first;
            if (!rate || !std::isfinite(*rate) || point.kib < kSweepSmallestKiB ||
                point.kib > kSweepLargestKiB)
                continue;
            const double x = xOf(point.kib), y = yOf(*rate);
            points += at(x) + "," + at(y) + " ";
            const std::string tooltip =
                "<title>" +
                escape(present::page::bytesText(static_cast<std::int64_t>(point.kib) * 1024) +
                       ": " + tickText(*rate, 1)) +
                "</title>";
            marks += confirmed ? "<rect x=\"" + at(x - 3.5) + "\" y=\"" + at(y - 3.5) +
                                     "\" width=\"7\" height=\"7\" class=\"point confirmed\">" +
                                     tooltip + "</rect>\n"
                               : "<circle cx=\"" + at(x) + "\" cy=\"" + at(y) +
                                     "\" r=\"4\" class=\"point first\">" + tooltip + "</circle>\n";
        }
        return "<polyline points=\"" + points + "\" class=\"series " +
               (confirmed ? "confirmed" : "first") + "\"/>\n" + marks;
    };
    out += series(true) + series(false);
    return out + "</svg>\n";
}

std::string bitChart(std::string_view title, std::string_view axis,
                     const std::vector<std::int64_t>& counts) {
    constexpr double x0 = 52, x1 = kChartWidth - 12;
    constexpr double top = 40, bottom = 190;
    const double width = (x1 - x0) / 64;
    double largest = 1;
    for (const std::int64_t count : counts) largest = std::max(largest, static_cast<double>(count));
    const double step = niceStep(largest, 4);
    const double high = std::max(step, std::ceil(largest / step - 1e-9) * step);
    const auto yOf = [&](double count) {
        return bottom - std::clamp(count, 0.0, high) / high * (bottom - top);
    };

    std::string out = open(bottom + kAxisHeight, title);
    for (double value = 0; value <= high + step * 1e-6; value += step) {
        out += line(x0, yOf(value), x1, yOf(value), value == 0 ? "zero" : "grid");
        out += text(x0 - 6, yOf(value) + 4, "tick", "end", escape(tickText(value, step)));
    }
    for (std::size_t bit = 0; bit < 64; ++bit) {
        const double x = x0 + width * static_cast<double>(bit);
        const std::int64_t count = bit < counts.size() ? counts[bit] : 0;
        out += line(x + width / 2, bottom, x + width / 2, bottom + 4, "grid");
        if (bit % 8 == 0 || bit == 63)
            out += text(x + width / 2, bottom + 16, "tick", "middle",
                        escape(present::intToText(static_cast<std::int64_t>(bit))));
        if (count <= 0) continue;
        const double y = yOf(static_cast<double>(count));
        out += rect(x + 1, y, width - 2, bottom - y, "bar faulty",
                    std::string(axis) + " " + present::intToText(static_cast<std::int64_t>(bit)) +
                        ": " + present::intToText(count));
        out += "<text class=\"count\" text-anchor=\"start\" transform=\"translate(" +
               at(x + width / 2 + 3) + " " + at(y - 3) + ") rotate(-90)\">" +
               escape(present::intToText(count)) + "</text>\n";
    }
    out += text((x0 + x1) / 2, bottom + 32, "axis", "middle", escape(axis));
    return out + "</svg>\n";
}

std::string coreMap(std::string_view title, const std::vector<PackageTiles>& packages) {
    constexpr double kTileWidth = 128, kGap = 8, kLine = 15, kHeadingHeight = 24;
    const auto perRow = static_cast<std::size_t>((kChartWidth + kGap) / (kTileWidth + kGap));
    std::size_t lines = 1;
    for (const auto& package : packages)
        for (const auto& core : package.cores) lines = std::max(lines, core.lines.size() + 1);
    const double tileHeight = 10 + kLine * static_cast<double>(lines);

    double height = 0;
    for (const auto& package : packages) {
        const std::size_t rows = (package.cores.size() + perRow - 1) / perRow;
        height += kHeadingHeight + static_cast<double>(rows) * (tileHeight + kGap);
    }
    std::string out = open(std::max(height, 1.0), title);
    double y = 0;
    for (const auto& package : packages) {
        out += text(0, y + 16, "group", "start", escape(package.heading));
        y += kHeadingHeight;
        for (std::size_t i = 0; i < package.cores.size(); ++i) {
            const CoreTile& core = package.cores[i];
            const double x = static_cast<double>(i % perRow) * (kTileWidth + kGap);
            const double tileY = y + static_cast<double>(i / perRow) * (tileHeight + kGap);
            out += rect(x + 1.5, tileY + 1.5, kTileWidth - 3, tileHeight - 3,
                        core.faulty ? "tile faulty" : "tile");
            out += text(
                x + 8, tileY + 18, core.faulty ? "tile-heading faulty" : "tile-heading", "start",
                (core.faulty ? escape(present::page::kWrongMark) : "") + label(core.heading));
            for (std::size_t l = 0; l < core.lines.size(); ++l)
                out += text(x + 8, tileY + 18 + kLine * static_cast<double>(l + 1), "tile-line",
                            "start", label(core.lines[l]));
        }
        const std::size_t rows = (package.cores.size() + perRow - 1) / perRow;
        y += static_cast<double>(rows) * (tileHeight + kGap);
    }
    return out + "</svg>\n";
}

std::string sharedDefinitions() {
    return "<svg class=\"definitions\" width=\"0\" "
           "height=\"0\" aria-hidden=\"true\" focusable=\"false\"><defs>\n"
           "<pattern id=\"hatch\" width=\"7\" height=\"7\" patternUnits=\"userSpaceOnUse\" "
           "patternTransform=\"rotate(45)\"><rect width=\"7\" height=\"7\" "
           "class=\"hatch-ground\"/><line x1=\"1.5\" y1=\"0\" x2=\"1.5\" y2=\"7\" "
           "class=\"hatch-line\"/></pattern>\n"
           "<pattern id=\"hatch-light\" width=\"9\" height=\"9\" patternUnits=\"userSpaceOnUse\" "
           "patternTransform=\"rotate(45)\"><rect width=\"9\" height=\"9\" "
           "class=\"hatch-light-ground\"/><line x1=\"1\" y1=\"0\" x2=\"1\" y2=\"9\" "
           "class=\"hatch-light-line\"/></pattern>\n"
           "</defs></svg>\n";
}

}  // namespace report::page
