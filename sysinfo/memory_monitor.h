// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory status monitor of "RAM Info": once a second it turns a memory-status report
// into six figures and two overlay texts, records the physical load in a 128-sample
// history and redraws the load chart from it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/canvas.h"
#include "platform/memory_status.h"

namespace sysinfo {

// " Kbyte" after the byte count / 1024, halves to even: 2,560 -> "2 Kbyte", 3,584 -> "4 Kbyte".
std::string kbyteText(std::int64_t bytes);

// Physical memory in use as a whole percentage of the total, halves to even.
std::int32_t loadPercent(const platform::MemoryStatus& report);

// The free physical memory over the chart: whole MiB, truncated, then " Mb".
std::string freeMbText(std::int64_t availPhys);

// The load under the chart: "45%".
std::string loadText(std::int32_t percent);

// What one tick shows; every text is "-" when the report could not be read.
struct MemoryTexts {
    // Panel7 to Panel12: total virtual, virtual in use, page-file size, page file in use,
    // physical memory, physical memory in use.
    std::array<std::string, 6> panels;
    std::string freePhys;  // Label26
    std::string load;      // Label27
};

class MemoryMonitor {
  public:
    static constexpr int kHistorySize = 128;
    static constexpr int kChartWidth = 121;
    static constexpr int kChartHeight = 100;

    static constexpr platform::Rgb kGridColour{122, 57, 1};
    static constexpr platform::Rgb kMarkerColour{230, 254, 0};
    static constexpr platform::Rgb kCurveColour{90, 235, 0};

    // One tick: the texts of the report, then the sample and the redrawn chart. A report that
    // could not be read shows "-" everywhere and leaves the history and the chart as they were:
    // a sample made up from nothing would draw a false load.
    MemoryTexts tick(const std::optional<platform::MemoryStatus>& report);

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
