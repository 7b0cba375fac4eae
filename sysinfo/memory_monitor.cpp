// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/memory_monitor.h"

#include "platform/rounding.h"

namespace sysinfo {

std::int32_t loadPercent(const platform::MemoryStatus& report) {
    const std::int64_t inUse = report.totalPhys - report.availPhys;
    // Divided first, then scaled: the order decides which loads land on an exact half.
    const long double share =
        static_cast<long double>(inUse) / static_cast<long double>(report.totalPhys);
    return static_cast<std::int32_t>(platform::roundHalfEven(share * 100.0L));
}

MemoryFigures memoryFigures(const platform::MemoryStatus& r) {
    return {{r.totalVirtual, r.totalVirtual - r.availVirtual, r.totalPageFile,
             r.totalPageFile - r.availPageFile, r.totalPhys, r.totalPhys - r.availPhys},
            r.availPhys,
            loadPercent(r)};
}

std::optional<MemoryFigures> MemoryMonitor::tick(
    const std::optional<platform::MemoryStatus>& report) {
    if (!report) return std::nullopt;
    const MemoryFigures figures = memoryFigures(*report);
    recordSample(figures.loadPercent);
    drawChart();
    return figures;
}

void MemoryMonitor::recordSample(std::int32_t percent) {
    if (position_ > kHistorySize - 1) position_ = 0;
    // The sample is its row on the chart: 0 % load sits one row below the surface.
    history_[position_] = static_cast<std::uint8_t>(100 - percent);
    ++position_;
}

void MemoryMonitor::drawChart() {
    platform::Canvas& c = chart_;
    // Row 100 and the columns beyond 120 fall outside the surface; the canvas drops them.
    for (int y = 0; y <= 100; ++y) {
        for (int x = 0; x <= 120; ++x) {
            const platform::Rgb ramp{static_cast<std::uint8_t>(y >= 20 ? y - 20 : 0), 0, 0};
            c.setPixel(x, y, ramp);
        }
    }
    for (int x = 0; x <= 120; ++x) {
        for (int y = 0; y <= 100; y += 10) c.setPixel(x, y, kGridColour);
    }
    // The grid columns move with the write position, so the grid scrolls although the data
    // does not; the marker covers the newest sample's column and the one after it.
    for (int y = 0; y <= 100; ++y) {
        for (int offset = 120; offset >= 10; offset -= 10) {
            c.setPixel(position_ - offset, y, kGridColour);
        }
        c.setPixel(position_, y, kMarkerColour);
        c.setPixel(position_ - 1, y, kMarkerColour);
        for (int offset = 10; offset <= 120; offset += 10) {
            c.setPixel(position_ + offset, y, kGridColour);
        }
    }
    c.setPenColour(kCurveColour);
    for (int x = 0; x <= 120; ++x) {
        c.lineTo(x, static_cast<std::int8_t>(history_[x]));
    }
    // Back to the top left, so the next tick's curve starts with a segment down column 0
    // instead of one from column 120.
    c.moveTo(0, 0);
}

}  // namespace sysinfo
