// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Memory write and read speed, "RUN" on " RAM Benchmark  ".
//
// The write measurement stores 1, 0, 1, 0 ... as 32-bit words over the first 16 MiB of the
// sweep buffer, 1000 times; the read measurement loads one 32-bit word per 32 bytes of a
// fresh 8 MiB block, 999 times. Every store and load is a single 32-bit instruction written
// in inline assembly, so no optimisation can drop, merge or widen one.

#include <cstddef>
#include <cstdint>

#include "platform/expected.h"
#include "platform/sources.h"
#include "platform/ticks.h"

namespace membench {

inline constexpr std::size_t kWriteBytes = 16'777'216;
inline constexpr std::int32_t kWritePasses = 1000;
inline constexpr std::size_t kReadBlockBytes = 8'388'608;
inline constexpr std::int32_t kReadPasses = 999;

// `passes` passes over `bytes` (a multiple of 1024) from `start`: per 1024 bytes, 256 32-bit
// stores at ascending addresses, alternately 1 and 0, beginning with 1.
void writePattern(void* start, std::size_t bytes, std::int32_t passes);

// Gives up the time slice, then times `passes` passes of one 32-bit load at every 32 bytes
// below `size` with `ticks`; returns the elapsed milliseconds.
std::int32_t stridedReadPass(const void* block, std::uint32_t size, std::int32_t passes,
                             platform::TickSource ticks = platform::monotonicTicks);

// A measured speed: the figure the window shows, in its own unit (the write figure is
// 16,800,000 / ms, the read figure 7,992,000 / ms), and the loop it came from, from which
// true bytes per second follow.
struct Speed {
    std::int32_t figure = 0;
    platform::TimedBytes timed;
    friend bool operator==(const Speed&, const Speed&) = default;
};

// Why a measurement gives no figure: a time of 0 ms is below the counter's resolution, and a
// read block the system refuses gives no measurement at all.
enum class NoSpeed { tooFastToTime, blockRefused };

using Measured = platform::Expected<Speed, NoSpeed>;

// 16,800,000 / ms, truncated; the loop wrote `bytes`.
Measured writeSpeed(std::int32_t elapsedMs, std::int64_t bytes = kWriteBytes * kWritePasses);
// 8 x 999 x 1000 / ms in 64-bit arithmetic, truncated; the loads spanned `bytes`.
Measured readSpeed(std::int32_t elapsedMs, std::int64_t bytes = kReadBlockBytes * kReadPasses);

// An anonymous private mapping whose every page is backed by its own memory before anyone
// reads it: a never-written anonymous page reads from the one shared zero page, and a pass
// over it would time a single cached page instead of memory. Unmapped on destruction.
class ReadBlock {
  public:
    explicit ReadBlock(std::size_t bytes);
    ~ReadBlock();
    ReadBlock(const ReadBlock&) = delete;
    ReadBlock& operator=(const ReadBlock&) = delete;

    bool obtained() const { return data_ != nullptr; }
    const void* data() const { return data_; }
    std::size_t size() const { return size_; }

  private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

// The lengths of one run. Tests shorten them so the window's handler runs in milliseconds
// (the formulas stay those of the full run), or ask for a block no system can map.
struct Workload {
    std::int32_t writePasses = kWritePasses;
    std::int32_t readPasses = kReadPasses;
    std::size_t readBlockBytes = kReadBlockBytes;
};

// Times the write pattern over the first 16 MiB of the sweep buffer.
Measured writeMeasurement(const platform::Clock& clock, const Workload& workload = {});

// Obtains the read block, times the strided read pass over it and gives the block back.
Measured readMeasurement(const platform::Clock& clock, const Workload& workload = {});

}  // namespace membench
