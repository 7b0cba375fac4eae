#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "sysinfo/memory_monitor.h"

using platform::MemoryStatus;
using platform::Rgb;
using sysinfo::MemoryMonitor;

namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = 1024 * KiB;
constexpr std::int64_t GiB = 1024 * MiB;

constexpr Rgb kGrid = MemoryMonitor::kGridColour;
constexpr Rgb kMarker = MemoryMonitor::kMarkerColour;
constexpr Rgb kCurve = MemoryMonitor::kCurveColour;

// A report whose physical load is exactly `percent` (a multiple of 1 % of 100 MiB).
MemoryStatus reportAtLoad(int percent) {
    MemoryStatus report;
    report.totalPhys = 100 * MiB;
    report.availPhys = (100 - percent) * MiB;
    report.totalPageFile = 300 * MiB;
    report.availPageFile = 250 * MiB;
    report.totalVirtual = std::int64_t{1} << 47;
    report.availVirtual = (std::int64_t{1} << 47) - 300 * MiB;
    return report;
}

Rgb ramp(int row) {
    return {static_cast<std::uint8_t>(row >= 20 ? row - 20 : 0), 0, 0};
}

MemoryMonitor monitorAfterTicks(int ticks, int percent) {
    MemoryMonitor monitor;
    for (int i = 0; i < ticks; ++i) monitor.tick(reportAtLoad(percent));
    return monitor;
}

bool anyPixel(const platform::Canvas& chart, Rgb colour) {
    for (int y = 0; y < chart.height(); ++y) {
        for (int x = 0; x < chart.width(); ++x) {
            if (chart.pixel(x, y) == colour) return true;
        }
    }
    return false;
}

}  // namespace

TEST(MemoryTexts, KbytesRoundHalvesToEven) {
    EXPECT_EQ(sysinfo::kbyteText(2560), "2 Kbyte");  // 2.5
    EXPECT_EQ(sysinfo::kbyteText(3584), "4 Kbyte");  // 3.5
    EXPECT_EQ(sysinfo::kbyteText(1536), "2 Kbyte");  // 1.5
    EXPECT_EQ(sysinfo::kbyteText(2561), "3 Kbyte");
    EXPECT_EQ(sysinfo::kbyteText(536'281'088), "523712 Kbyte");
    EXPECT_EQ(sysinfo::kbyteText(0), "0 Kbyte");
    EXPECT_EQ(sysinfo::kbyteText(-2560), "-2 Kbyte");
}

TEST(MemoryTexts, CountsAboveFourGibibytesShowTheirTrueSize) {
    EXPECT_EQ(sysinfo::kbyteText(6 * GiB), "6291456 Kbyte");
    EXPECT_EQ(sysinfo::kbyteText(std::int64_t{1} << 47), "137438953472 Kbyte");
    EXPECT_EQ(sysinfo::kbyteText(2 * GiB), "2097152 Kbyte");
    EXPECT_EQ(sysinfo::freeMbText(5 * GiB + MiB - 1), "5120 Mb");
    EXPECT_EQ(sysinfo::freeMbText(1'572'863), "1 Mb");  // truncated, not rounded
}

TEST(MemoryTexts, LoadPercentRoundsHalvesToEven) {
    MemoryStatus report;
    report.totalPhys = 8;
    report.availPhys = 7;  // 12.5 %
    EXPECT_EQ(sysinfo::loadPercent(report), 12);
    report.availPhys = 5;  // 37.5 %
    EXPECT_EQ(sysinfo::loadPercent(report), 38);
    report.totalPhys = 24 * GiB;
    report.availPhys = 6 * GiB;
    EXPECT_EQ(sysinfo::loadPercent(report), 75);
    EXPECT_EQ(sysinfo::loadText(75), "75%");
}

TEST(MemoryMonitorTick, TextsFollowThePanelOrder) {
    MemoryMonitor monitor;
    MemoryStatus report;
    report.totalVirtual = std::int64_t{1} << 47;
    report.availVirtual = (std::int64_t{1} << 47) - 312456 * KiB;
    report.totalPageFile = (16303940 + 8388604) * KiB;
    report.availPageFile = (9876544 + 8123004) * KiB;
    report.totalPhys = 16303940 * KiB;
    report.availPhys = 9876544 * KiB;
    const sysinfo::MemoryTexts texts = monitor.tick(report);
    EXPECT_EQ(texts.panels[0], "137438953472 Kbyte");
    EXPECT_EQ(texts.panels[1], "137438641016 Kbyte");
    EXPECT_EQ(texts.panels[2], "24692544 Kbyte");
    EXPECT_EQ(texts.panels[3], "6692996 Kbyte");
    EXPECT_EQ(texts.panels[4], "16303940 Kbyte");
    EXPECT_EQ(texts.panels[5], "6427396 Kbyte");
    EXPECT_EQ(texts.freePhys, "9645 Mb");
    EXPECT_EQ(texts.load, "39%");  // 39.42 %
    EXPECT_EQ(monitor.lastLoadPercent(), 39);
    EXPECT_EQ(monitor.history()[0], 61);
}

TEST(MemoryMonitorTick, AnUnreadableReportShowsDashesAndKeepsTheChart) {
    MemoryMonitor monitor = monitorAfterTicks(3, 40);
    const platform::Canvas before = monitor.chart();
    const sysinfo::MemoryTexts texts = monitor.tick(std::nullopt);
    for (const std::string& panel : texts.panels) EXPECT_EQ(panel, "-");
    EXPECT_EQ(texts.freePhys, "-");
    EXPECT_EQ(texts.load, "-");
    EXPECT_EQ(monitor.position(), 3);
    EXPECT_EQ(monitor.lastLoadPercent(), 40);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 121; ++x) ASSERT_EQ(monitor.chart().pixel(x, y), before.pixel(x, y));
    }
    EXPECT_FALSE(MemoryMonitor().hasDrawn());
    MemoryMonitor fresh;
    fresh.tick(std::nullopt);
    EXPECT_FALSE(fresh.hasDrawn());
    EXPECT_EQ(fresh.position(), 0);
}

TEST(MemoryChart, FirstTickDrawsRampGridMarkerAndCurve) {
    const MemoryMonitor monitor = monitorAfterTicks(1, 40);  // sample row 60, position 1
    const platform::Canvas& chart = monitor.chart();
    // The background ramp: black above row 20, then red rising one step per row.
    EXPECT_EQ(chart.pixel(5, 15), Rgb{});
    EXPECT_EQ(chart.pixel(5, 21), ramp(21));
    EXPECT_EQ(chart.pixel(5, 55), ramp(55));
    EXPECT_EQ(chart.pixel(5, 99), (Rgb{79, 0, 0}));
    // The horizontal grid every ten rows; vertical grid columns at position + 10, + 20, ...
    EXPECT_EQ(chart.pixel(5, 30), kGrid);
    EXPECT_EQ(chart.pixel(5, 90), kGrid);
    EXPECT_EQ(chart.pixel(11, 55), kGrid);
    EXPECT_EQ(chart.pixel(111, 55), kGrid);
    EXPECT_EQ(chart.pixel(12, 55), ramp(55));
    // The marker on the newest sample's column (0) and the column after it.
    EXPECT_EQ(chart.pixel(0, 80), kMarker);
    EXPECT_EQ(chart.pixel(1, 80), kMarker);
    EXPECT_EQ(chart.pixel(2, 85), ramp(85));
    // The first segment runs down column 0 from the top to the sample, which the next
    // segment starts from.
    for (int y = 0; y <= 60; ++y) EXPECT_EQ(chart.pixel(0, y), kCurve) << "row " << y;
    EXPECT_EQ(chart.pixel(0, 61), kMarker);
    // Never-written slots are 0: the curve runs along the top row, its last pixel left out.
    EXPECT_EQ(chart.pixel(50, 0), kCurve);
    EXPECT_EQ(chart.pixel(119, 0), kCurve);
    EXPECT_EQ(chart.pixel(120, 0), kGrid);
    EXPECT_EQ(chart.penPosition(), (platform::Point{0, 0}));
    EXPECT_EQ(chart.penColour(), kCurve);
}

TEST(MemoryChart, GridColumnsMoveWithThePosition) {
    const MemoryMonitor monitor = monitorAfterTicks(57, 50);  // curve on row 50
    const platform::Canvas& chart = monitor.chart();
    EXPECT_EQ(chart.pixel(7, 55), kGrid);
    EXPECT_EQ(chart.pixel(47, 55), kGrid);
    EXPECT_EQ(chart.pixel(56, 55), kMarker);
    EXPECT_EQ(chart.pixel(57, 55), kMarker);
    EXPECT_EQ(chart.pixel(67, 55), kGrid);
    EXPECT_EQ(chart.pixel(117, 55), kGrid);
    EXPECT_EQ(chart.pixel(58, 55), ramp(55));
    EXPECT_EQ(chart.pixel(10, 55), ramp(55));
    // The vertical lines are drawn over the horizontal ones.
    EXPECT_EQ(chart.pixel(56, 60), kMarker);
    EXPECT_EQ(chart.pixel(30, 50), kCurve);
}

TEST(MemoryChart, ZeroLoadSitsBelowTheSurfaceAndFullLoadOnTheTopRow) {
    MemoryMonitor monitor = monitorAfterTicks(5, 50);
    monitor.tick(reportAtLoad(0));
    EXPECT_EQ(monitor.history()[5], 100);
    // The segment from slot 4 heads for row 100 and is cut at the surface's last row.
    EXPECT_EQ(monitor.chart().pixel(5, 99), kCurve);
    monitor.tick(reportAtLoad(100));
    EXPECT_EQ(monitor.history()[6], 0);
    EXPECT_EQ(monitor.chart().pixel(6, 0), kCurve);
}

TEST(MemoryChart, HistoryWrapsAfter128AndSlots121To127AreNeverDrawn) {
    MemoryMonitor monitor = monitorAfterTicks(121, 50);
    EXPECT_EQ(monitor.position(), 121);
    EXPECT_EQ(monitor.chart().pixel(120, 80), kMarker);  // only the sample's own column shows
    EXPECT_EQ(monitor.chart().pixel(119, 85), ramp(85));
    for (int tick = 122; tick <= 128; ++tick) {
        monitor.tick(reportAtLoad(90));  // row 10, in slots that are not drawn
        EXPECT_EQ(monitor.position(), tick);
        EXPECT_FALSE(anyPixel(monitor.chart(), kMarker)) << "tick " << tick;
        for (int x = 1; x <= 120; ++x) {
            EXPECT_NE(monitor.chart().pixel(x, 10), kCurve) << "tick " << tick << " column " << x;
        }
    }
    EXPECT_EQ(monitor.history()[127], 10);
    monitor.tick(reportAtLoad(20));
    EXPECT_EQ(monitor.position(), 1);
    EXPECT_EQ(monitor.history()[0], 80);
    EXPECT_EQ(monitor.history()[1], 50);
    EXPECT_EQ(monitor.chart().pixel(0, 90), kMarker);
    EXPECT_EQ(monitor.chart().pixel(1, 90), kMarker);
}

TEST(MemoryChart, EachTickRedrawsTheWholeSurface) {
    // A later tick at another load leaves nothing of the earlier curve behind.
    MemoryMonitor monitor = monitorAfterTicks(30, 50);
    for (int i = 0; i < 128; ++i) monitor.tick(reportAtLoad(70));
    for (int x = 1; x <= 119; ++x) {
        EXPECT_NE(monitor.chart().pixel(x, 50), kCurve) << x;
        EXPECT_EQ(monitor.chart().pixel(x, 30), kCurve) << x;
    }
}
