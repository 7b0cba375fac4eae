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
#include <string>

namespace membench {

inline constexpr std::size_t kWriteBytes = 16'777'216;
inline constexpr std::int32_t kWritePasses = 1000;
inline constexpr std::size_t kReadBlockBytes = 8'388'608;
inline constexpr std::int32_t kReadPasses = 999;

// `passes` passes over `bytes` (a multiple of 1024) from `start`: per 1024 bytes, 256 32-bit
// stores at ascending addresses, alternately 1 and 0, beginning with 1.
void writePattern(void* start, std::size_t bytes, std::int32_t passes);

// Gives up the time slice, then times `passes` passes of one 32-bit load at every 32 bytes
// below `size`; returns the elapsed milliseconds.
std::int32_t stridedReadPass(const void* block, std::uint32_t size, std::int32_t passes);

// A measured speed, or why there is none: a time of 0 ms gives no figure, and a read block
// the system refuses gives no measurement.
enum class Outcome { measured, tooFastToTime, blockRefused };

struct Result {
    Outcome outcome = Outcome::measured;
    std::int32_t speed = 0;
    // What the figure was computed from: the timed milliseconds, and the bytes the loop
    // covered (written, or spanned by the reads), so others can give true bytes per second.
    std::int32_t elapsedMs = 0;
    std::int64_t bytes = 0;

    friend bool operator==(const Result&, const Result&) = default;
};

// 16,800,000 / ms, truncated.
Result writeSpeed(std::int32_t elapsedMs);
// 8 x 999 x 1000 / ms in 64-bit arithmetic, truncated.
Result readSpeed(std::int32_t elapsedMs);

// The label's caption: "4200 Mb/sec", or a short reason instead of a number.
std::string speedText(const Result& result);

// Times the write pattern over the first 16 MiB of the sweep buffer.
Result writeMeasurement();

// Obtains the read block, times the strided read pass over it and gives the block back.
Result readMeasurement();

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

const Workload& workload();

// Replaces the workload for the lifetime of the object; not thread-safe, tests only.
class ScopedWorkload {
  public:
    explicit ScopedWorkload(const Workload& replacement);
    ~ScopedWorkload();
    ScopedWorkload(const ScopedWorkload&) = delete;
    ScopedWorkload& operator=(const ScopedWorkload&) = delete;

  private:
    Workload previous_;
};

}  // namespace membench
