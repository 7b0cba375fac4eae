// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory sweep: reads a block at the start of the static sweep buffer over and over
// until a fixed volume has passed, and reports how fast that went. The cache detection
// and the sweep tails of the benchmark kernels share it.

#include <cstdint>

#include "platform/ticks.h"

namespace sysinfo {

inline constexpr std::int32_t kSweepBufferElements = 2'097'153;  // 16 MiB plus one element

// The shared static buffer (zero at start) and the sink every swept value is stored into.
// The benchmark kernels and the memory write test use the buffer as working storage.
extern std::int64_t sweepBuffer[kSweepBufferElements];
extern volatile std::int32_t sweepSink;

// Writes every page of the sweep buffer once so that it is backed by its own memory;
// called before the first sweep. The contents stay as they were.
void backSweepBuffer();

// Held by each job that works in the sweep buffer (identification, the CPU and RAM
// benchmarks). When the last use ends the buffer's pages go back to the system: an idle
// window has no use for 16 MiB, and the buffer then reads as zero, as at start. A job backs
// the buffer again before it times anything in it. A nested job holds a use of its own, so
// the pages stay until the outermost job ends. Uses are taken on one thread at a time.
class SweepBufferUse {
  public:
    SweepBufferUse();
    ~SweepBufferUse();
    SweepBufferUse(const SweepBufferUse&) = delete;
    SweepBufferUse& operator=(const SweepBufferUse&) = delete;
};

// The untimed inner work of a sweep: `passes` passes over elements 0 to blockLength of
// `buffer`. sweepBlock below, or a test's recorder.
using SweepBlockRoutine = void (*)(const std::int64_t* buffer, std::int32_t blockLength,
                                   std::int64_t passes);

void sweepBlock(const std::int64_t* buffer, std::int32_t blockLength, std::int64_t passes);

// Sweeps `blockLength` elements (a positive multiple of 8, at most 2,097,152) of the sweep
// buffer with the given volume factor (1 to 2047), timed by two readings of `ticks`; returns
// 640000 / elapsed ms.
std::int32_t memorySweep(std::int32_t blockLength, std::int32_t volumeFactor,
                         platform::TickSource ticks, SweepBlockRoutine block);

// The six sweeps from 512 KiB to 16 MiB that end most ALU and FPU kernels.
void sweepTail(std::int32_t volumeFactor, platform::TickSource ticks, SweepBlockRoutine block);

// The same passes as memorySweep, timed piece by piece with the nanosecond clock: chunks of
// about 1 MiB of block addresses (whole passes, at least one). Returns the rate the sweep
// would have had if every chunk had run at the pace of the fastest one. Other work on the
// core only ever slows the chunks it falls in, so the fastest chunk shows the memory's own
// speed even where a descheduled moment would cost a whole-sweep timing a third of its rate.
std::int32_t fastestChunkRate(std::int32_t blockLength, std::int32_t volumeFactor,
                              platform::NanosecondSource nanoseconds, SweepBlockRoutine block);

// The pieces of memorySweep, for its tests and the benchmark runner.

// Passes one sweep makes: (factor << 20) / blockLength + 1, or 0 for a negative quotient.
std::int64_t sweepPassCount(std::int32_t blockLength, std::int32_t volumeFactor);

// 640000 / elapsed ms; an elapsed time of 0 (or less) rates as 640000, see sweep.cpp.
std::int32_t sweepRate(std::int32_t elapsedMs);

// Passes per chunk of fastestChunkRate: 1 MiB of addresses, or one pass of a larger block.
std::int64_t chunkPassCount(std::int32_t blockLength);

// Block lengths of the sweep tail, in order.
inline constexpr std::int32_t kSweepTailBlocks[6] = {65'536,  131'072,   262'144,
                                                     524'288, 1'048'576, 2'097'152};

}  // namespace sysinfo
