// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "memory_reports.h"
#include "sysinfo/memory_monitor.h"

using platform::Rgb;
using sysinfo::MemoryMonitor;

namespace {

constexpr std::int64_t GiB = 1024 * reports::MiB;
constexpr Rgb kGrid = MemoryMonitor::kGridColour;
constexpr Rgb kMarker = MemoryMonitor::kMarkerColour;
constexpr Rgb kCurve = MemoryMonitor::kCurveColour;

// The background: black above row 20, then red rising one step per row.
Rgb ramp(int row) {
    return {static_cast<std::uint8_t>(row >= 20 ? row - 20 : 0), 0, 0};
}

MemoryMonitor monitorAfterTicks(int ticks, int percent) {
    MemoryMonitor monitor;
    for (int i = 0; i < ticks; ++i) monitor.tick(reports::atLoad(percent));
    return monitor;
}

bool anyPixel(const platform::Canvas& chart, Rgb colour) {
    for (int y = 0; y < chart.height(); ++y)
        for (int x = 0; x < chart.width(); ++x)
            if (chart.pixel(x, y) == colour) return true;
    return false;
}

}  // namespace

// The words of these figures are the presentation's cases, counts above 32 bits the RAM
// page's.
TEST(MemoryFigures, TheLoadIsDividedFirstAndVirtualInUseIsTotalLessAvailable) {
    // 59 / 200 comes out just under 0.295, so dividing first gives 29; 5900 / 200 would be
    // exactly 29.5 and round to 30. 18 GiB in use of 24 would wrap in 32 bits.
    for (const auto& [total, available, percent] :
         {std::tuple{std::int64_t{8}, std::int64_t{7}, 12},
          {8, 5, 38},
          {200, 141, 29},
          {24 * GiB, 6 * GiB, 75}})
        EXPECT_EQ(sysinfo::loadPercent({.totalPhys = total, .availPhys = available}), percent)
            << total << " " << available;
    const sysinfo::MemoryFigures figures = sysinfo::memoryFigures({.totalPhys = 8 * GiB,
                                                                   .availPhys = 5 * GiB,
                                                                   .totalPageFile = 10 * GiB,
                                                                   .availPageFile = 6 * GiB,
                                                                   .totalVirtual = 128 * GiB,
                                                                   .availVirtual = 127 * GiB});
    EXPECT_EQ(figures.panels, (std::array<std::int64_t, 6>{128 * GiB, 1 * GiB, 10 * GiB, 4 * GiB,
                                                           8 * GiB, 3 * GiB}));
    EXPECT_EQ(figures.freePhys, 5 * GiB);
    EXPECT_EQ(figures.loadPercent, 38);
}

TEST(MemoryChart, FirstTickDrawsRampGridMarkerAndCurve) {
    const MemoryMonitor monitor = monitorAfterTicks(1, 40);  // sample row 60, position 1
    const platform::Canvas& chart = monitor.chart();
    for (int row : {15, 21, 55, 99}) EXPECT_EQ(chart.pixel(5, row), ramp(row)) << row;
    // Grid rows every ten (the moving columns have their own case); the marker starts just
    // below the newest sample (its columns: the wrap and RAM page cases).
    EXPECT_EQ(chart.pixel(5, 30), kGrid);
    EXPECT_EQ(chart.pixel(0, 61), kMarker);
    // Never-written slots are 0: the curve runs along the top row, its last pixel left out.
    EXPECT_EQ(chart.pixel(50, 0), kCurve);
    EXPECT_EQ(chart.pixel(119, 0), kCurve);
    EXPECT_EQ(chart.pixel(120, 0), kGrid);
}

// The pen is back at (0, 0) after every tick: no later curve begins with a segment from
// column 120 back to column 0.
TEST(MemoryChart, EveryCurveBeginsDownColumnZeroFromTheTop) {
    MemoryMonitor monitor;
    for (int tick = 1; tick <= 122; ++tick) {
        monitor.tick(reports::atLoad(40));  // sample row 60
        if (tick > 2 && tick < 122) continue;
        for (int y = 0; y <= 60; ++y)
            EXPECT_EQ(monitor.chart().pixel(0, y), kCurve) << "tick " << tick << " row " << y;
    }
}

TEST(MemoryChart, GridColumnsMoveWithThePosition) {
    const MemoryMonitor monitor = monitorAfterTicks(57, 50);  // curve on row 50
    const platform::Canvas& chart = monitor.chart();
    for (int x : {7, 47, 67, 117}) EXPECT_EQ(chart.pixel(x, 55), kGrid) << x;
    for (int x : {10, 58}) EXPECT_EQ(chart.pixel(x, 55), ramp(55)) << x;
    EXPECT_EQ(chart.pixel(56, 60), kMarker);  // drawn over the grid row
    EXPECT_EQ(chart.pixel(57, 55), kMarker);
    EXPECT_EQ(chart.pixel(30, 50), kCurve);
}

TEST(MemoryChart, ZeroLoadSitsBelowTheSurfaceAndFullLoadOnTheTopRow) {
    MemoryMonitor monitor = monitorAfterTicks(5, 50);
    monitor.tick(reports::atLoad(0));
    EXPECT_EQ(monitor.history()[5], 100);  // not cut to 99: the pixels cannot tell
    // The segment from slot 4 heads for row 100 and is cut at the surface's last row.
    EXPECT_EQ(monitor.chart().pixel(5, 99), kCurve);
    monitor.tick(reports::atLoad(100));
    EXPECT_EQ(monitor.chart().pixel(6, 0), kCurve);
}

// Each tick redraws the whole surface: the marker of slot 120 is gone at once.
TEST(MemoryChart, HistoryWrapsAfter128AndSlots121To127AreNeverDrawn) {
    MemoryMonitor monitor = monitorAfterTicks(121, 50);
    EXPECT_EQ(monitor.chart().pixel(120, 80), kMarker);  // only the sample's own column shows
    EXPECT_EQ(monitor.chart().pixel(119, 85), ramp(85));
    for (int tick = 122; tick <= 128; ++tick) {
        monitor.tick(reports::atLoad(90));  // row 10, in slots that are not drawn
        EXPECT_EQ(monitor.position(), tick);
        EXPECT_FALSE(anyPixel(monitor.chart(), kMarker)) << "tick " << tick;
        for (int x = 1; x <= 120; ++x)
            EXPECT_NE(monitor.chart().pixel(x, 10), kCurve) << "tick " << tick << " x " << x;
    }
    EXPECT_EQ(monitor.history()[127], 10);
    monitor.tick(reports::atLoad(20));
    EXPECT_EQ(monitor.position(), 1);
    EXPECT_EQ(monitor.history()[0], 80);
    EXPECT_EQ(monitor.chart().pixel(0, 90), kMarker);
    EXPECT_EQ(monitor.chart().pixel(1, 90), kMarker);
}
