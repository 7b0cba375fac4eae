// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory status monitor of "RAM Info": once a second it turns a memory-status report
// into six figures and two overlay texts, records the physical load in a 128-sample
// history and redraws the load chart from it.

#include <array>
#include <cstdint>
#include <optional>

#include "platform/canvas.h"
#include "platform/memory_status.h"

namespace sysinfo {

// Physical memory in use as a whole percentage of the total, halves to even.
std::int32_t loadPercent(const platform::MemoryStatus& report);

// What one tick shows, as numbers.
struct MemoryFigures {
    // Panel7 to Panel12, in bytes: total virtual, virtual in use, page-file size, page file
    // in use, physical memory, physical memory in use.
    std::array<std::int64_t, 6> panels{};
    std::int64_t freePhys = 0;     // Label26
    std::int32_t loadPercent = 0;  // Label27
};

// The figures of a report, with "Virtual m. in use" as what is in use, total minus
// available, like the other two.
MemoryFigures memoryFigures(const platform::MemoryStatus& report);

class MemoryMonitor {
  public:
    static constexpr int kHistorySize = 128;
    static constexpr int kChartWidth = 121;
    static constexpr int kChartHeight = 100;

    static constexpr platform::Rgb kGridColour{122, 57, 1};
    static constexpr platform::Rgb kMarkerColour{230, 254, 0};
    static constexpr platform::Rgb kCurveColour{90, 235, 0};

    // One tick: the figures of the report, then the sample and the redrawn chart. A report
    // that could not be read has no figures and leaves the history and the chart as they
    // were: a sample made up from nothing would draw a false load.
    std::optional<MemoryFigures> tick(const std::optional<platform::MemoryStatus>& report);

    const platform::Canvas& chart() const { return chart_; }
    // The slot the next sample goes to, 0 to 128; 128 wraps to 0 on the next sample.
    int position() const { return position_; }
    const std::array<std::uint8_t, kHistorySize>& history() const { return history_; }

  private:
    void recordSample(std::int32_t percent);
    void drawChart();

    std::array<std::uint8_t, kHistorySize> history_{};
    int position_ = 0;
    platform::Canvas chart_{kChartWidth, kChartHeight};
};

}  // namespace sysinfo
