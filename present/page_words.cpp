// SPDX-License-Identifier: GPL-3.0-or-later
#include "present/page_words.h"

#include <cmath>
#include <cstdio>

#include "present/format.h"
#include "present/words.h"

namespace present::page {
namespace {

// The page writes a point whatever the locale: it is read on other machines than the one
// that measured, and its figures must match the text report's "%.1f".
std::string printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string counted(std::int64_t count, std::string_view one, std::string_view many) {
    return intToText(count) + std::string(count == 1 ? one : many);
}

}  // namespace

std::string medianOfText(std::int64_t runs) {
    return "Median of " + intToText(runs) + " runs";
}

std::string whiskerLegend(std::int64_t runs) {
    return "Line across a bar: the slowest and fastest of " + intToText(runs) + " runs.";
}

std::string rowsChartTitle(bench::Group group) {
    return "Rows in " + resultUnit(group);
}

std::string wrongDetailText(std::string_view slot, std::string_view expected,
                            std::string_view got) {
    return std::string(slot) + ": expected " + std::string(expected) + ", got " + std::string(got);
}

std::string changeLegend(double singleRunPercent) {
    return "* changed by more than both runs' spread (" + printed("%.0f", singleRunPercent) +
           " % for a single run). Grey band: that spread; a change inside it is noise.";
}

std::string copiesText(std::int64_t copies) {
    return counted(copies, " copy", " copies");
}

std::string errorsText(std::int64_t errors) {
    return counted(errors, " error", " errors");
}

std::string notListedText(std::int64_t count) {
    return counted(count, " more mismatch not listed", " more mismatches not listed");
}

std::string edacChangeText(std::int64_t corrected, std::int64_t uncorrected) {
    return intToText(corrected) + " corrected, " + intToText(uncorrected) + " uncorrected";
}

std::string rowsShownText(std::int64_t shown, std::int64_t all) {
    return "showing the first " + intToText(shown) + " of " + intToText(all);
}

std::string resultUnit(bench::Group group) {
    // The window's label is the figure, a blank and the unit: take the unit from it, so the
    // two are one text.
    const std::string label = resultText(group, 0);
    const auto blank = label.find(' ');
    return blank == std::string::npos ? label : label.substr(blank + 1);
}

std::string speedUnit() {
    const std::string text = testSpeedText(0);
    const auto blank = text.find(' ');
    return blank == std::string::npos ? text : text.substr(blank + 1);
}

std::string mhzText(double mhz) {
    return printed("%.1f MHz", mhz);
}

std::string celsiusText(double celsius) {
    return printed("%.1f \u00b0C", celsius);
}

std::string percentText(double percent, int decimals) {
    return decimalText(percent, decimals) + " %";
}

std::string signedPercentText(double percent) {
    return printed("%+.1f %%", percent);
}

std::string scalingText(double times) {
    return printed("%.2f \u00d7", times);
}

std::string secondsText(double seconds) {
    return printed("%.3f s", seconds);
}

std::string wholeSecondsText(std::int64_t seconds) {
    return intToText(seconds) + " s";
}

std::string ratioText(double ratio) {
    return printed("%.3f", ratio);
}

std::string bytesText(std::int64_t bytes) {
    constexpr std::string_view kUnits[] = {" B", " KiB", " MiB", " GiB", " TiB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (std::fabs(value) >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    std::string figure = printed("%.2f", value);
    while (figure.back() == '0') figure.pop_back();
    if (figure.back() == '.') figure.pop_back();
    return figure + std::string(kUnits[unit]);
}

std::string decimalText(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string cacheLevelText(std::int64_t level, std::string_view type) {
    return "L" + intToText(level) + (type.empty() ? "" : " " + std::string(type));
}

}  // namespace present::page
