// SPDX-License-Identifier: GPL-3.0-or-later
// The memory sweep: pass counts, rates from an injected tick counter, the exact elements a
// pass reads (checked against a guard page), and the backing of the static buffer.

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "guarded_memory.h"
#include "stepping_clock.h"
#include "sysinfo/sweep.h"

namespace {

using BlockCall = std::tuple<const std::int64_t*, std::int32_t, std::int64_t>;
std::vector<BlockCall> blockCalls;
void recordBlock(const std::int64_t* buffer, std::int32_t length, std::int64_t passes) {
    blockCalls.push_back({buffer, length, passes});
}

// A nanosecond clock that advances only inside a block: by `nsPerPass` per pass, times
// the slowdown scripted for that call of the block (1 unless set).
std::uint64_t nanoseconds = 0;
std::uint64_t nsPerPass = 0;
std::vector<std::uint64_t> slowdown;
void timedBlock(const std::int64_t* buffer, std::int32_t length, std::int64_t passes) {
    const std::size_t call = blockCalls.size();
    recordBlock(buffer, length, passes);
    nanoseconds += nsPerPass * static_cast<std::uint64_t>(passes) *
                   (call < slowdown.size() ? slowdown[call] : 1);
}

// The sweep reads the counter twice.
std::int32_t sweepWithElapsed(std::uint32_t first, std::uint32_t step) {
    std::tie(tickValue, tickStep) = std::tie(first, step);
    return sysinfo::memorySweep(1'024, 1, steppingTicks, recordBlock);
}

}  // namespace

TEST(SweepRate, ZeroToThreeMillisecondsAndAcrossTheCounterWrap) {
    // Zero rates as one millisecond, the fastest measurable: the cache detection's
    // r[k-1] > 1.37 r[k] then sees no drop between a sweep under one tick and a one-tick
    // sweep, and still sees one against 2 ms.
    EXPECT_EQ(sweepWithElapsed(5'000, 0), 640'000);
    EXPECT_EQ(sweepWithElapsed(5'000, 1), 640'000);
    EXPECT_EQ(sweepWithElapsed(5'000, 2), 320'000);
    EXPECT_EQ(sweepWithElapsed(5'000, 3), 213'333);
    EXPECT_EQ(sweepWithElapsed(0xFFFF'FFFFu, 4), 160'000);
}

TEST(SweepBlock, ReadsLowHalvesDownToTheLastStepStart) {
    GuardedBlock block(17);
    ASSERT_NE(block.elements(), nullptr);
    for (int k = 0; k <= 16; ++k) block.elements()[k] = (std::int64_t{7} << 32) + 100 + k;
    // Steps at 0 and 8 read elements 8..0 and 16..8; a third step would read past the guard.
    sysinfo::sweepBlock(block.elements(), 16, 3);
    // The last read of a pass is element i of its last step, i = 8; only the low half lands.
    EXPECT_EQ(sysinfo::sweepSink, 108);
}

TEST(SweepBlock, FullBufferReadsElement2097152AndNothingBeyond) {
    GuardedBlock block(sysinfo::kSweepBufferElements);
    ASSERT_NE(block.elements(), nullptr);
    block.elements()[2'097'152] = 2'024;
    block.elements()[2'097'144] = 77;
    sysinfo::sweepBlock(block.elements(), 2'097'152, 1);
    // The last step starts at 2,097,144; that a step reads from element i + 8 down to i
    // shows in the machine-code test.
    EXPECT_EQ(sysinfo::sweepSink, 77);
}

TEST(MemorySweep, SweepsTheStaticBufferWithPPlusOnePasses) {
    blockCalls.clear();
    std::tie(tickValue, tickStep) = std::make_tuple(0u, 4u);
    EXPECT_EQ(sysinfo::memorySweep(1'024, 80, steppingTicks, recordBlock), 160'000);
    EXPECT_EQ(blockCalls, (std::vector<BlockCall>{{sysinfo::sweepBuffer, 1'024, 81'921}}));
    // The full buffer's count; 65,536 x 22 is in the tail's case.
    EXPECT_EQ(sysinfo::sweepPassCount(2'097'152, 80), 41);
}

TEST(SweepTail, SixTimedSweepsOfTheTailBlocksInOrder) {
    blockCalls.clear();
    std::tie(tickValue, tickStep) = std::make_tuple(0u, 1u);
    sysinfo::sweepTail(22, steppingTicks, recordBlock);
    std::vector<BlockCall> expected;
    for (std::int64_t passes : {353, 177, 89, 45, 23, 12})  // from 65,536 elements up
        expected.push_back({sysinfo::sweepBuffer, 65'536 << expected.size(), passes});
    EXPECT_EQ(blockCalls, expected);
    EXPECT_EQ(tickValue, 12u);  // two readings per sweep
}

TEST(FastestChunkRate, SweepsEveryPassInChunksAndRatesTheFastestChunksPace) {
    const auto clock = +[] { return nanoseconds; };
    nsPerPass = 200;
    // 81,921 passes of 8 KiB in chunks of 128 (1 MiB of addresses); the last has 1 pass.
    blockCalls.clear();
    slowdown.assign(641, 1);
    slowdown[0] = 3;     // a cold first chunk
    slowdown[300] = 50;  // the core taken away for a while
    const std::int32_t rate = sysinfo::fastestChunkRate(1'024, 80, clock, timedBlock);
    ASSERT_EQ(blockCalls.size(), 641u);
    std::int64_t passes = 0;
    for (const auto& [buffer, length, chunk] : blockCalls) {
        EXPECT_EQ(buffer, sysinfo::sweepBuffer);
        EXPECT_EQ(length, 1'024);
        passes += chunk;
    }
    EXPECT_EQ(passes, 81'921);
    EXPECT_EQ(std::get<2>(blockCalls[0]), 128);
    EXPECT_EQ(std::get<2>(blockCalls[640]), 1);
    // 81,921 x 200 ns = 16.3842 ms: 640000 / 16.3842 = 39062.0...
    EXPECT_EQ(rate, 39'062);

    // Blocks of 1 MiB and more: one pass a chunk. A sweep under the clock's unit rates at
    // one nanosecond a chunk, not as a division by zero.
    blockCalls.clear();
    slowdown.clear();
    nsPerPass = 0;
    EXPECT_EQ(sysinfo::fastestChunkRate(2'097'152, 80, clock, timedBlock), INT32_MAX);
    EXPECT_EQ(blockCalls.size(), 41u);
    EXPECT_EQ(std::get<2>(blockCalls[40]), 1);
}

TEST(BackSweepBuffer, GivesEveryPageItsOwnMemoryAndKeepsTheContents) {
    sysinfo::sweepBuffer[1'000] = 0;
    sysinfo::sweepBuffer[2'097'152] = 0;
    sysinfo::sweepBuffer[12'345] = 99;
    sysinfo::backSweepBuffer();
    const void* begin = sysinfo::sweepBuffer;
    const void* end = sysinfo::sweepBuffer + sysinfo::kSweepBufferElements;
    // 16 MiB + 8 bytes: 4,097 pages of 4 KiB.
    EXPECT_GE(anonymousKilobytes(begin, end), 16'388);
    EXPECT_EQ(sysinfo::sweepBuffer[12'345], 99);
    EXPECT_EQ(sysinfo::sweepBuffer[2'097'152], 0);
    sysinfo::sweepBuffer[12'345] = 0;
}

// The last use of the buffer gives its pages back, the contents with them; a nested use keeps
// them until the outer one ends, and backing makes them resident again.
TEST(SweepBufferUse, TheLastUseGivesThePagesBackANestedOneDoesNot) {
    const void* begin = sysinfo::sweepBuffer;
    const void* end = sysinfo::sweepBuffer + sysinfo::kSweepBufferElements;
    {
        const sysinfo::SweepBufferUse outer;
        sysinfo::backSweepBuffer();
        sysinfo::sweepBuffer[12'345] = 99;
        { const sysinfo::SweepBufferUse nested; }
        EXPECT_GE(anonymousKilobytes(begin, end), 16'384);
        EXPECT_EQ(sysinfo::sweepBuffer[12'345], 99);
    }
    // What stays is other static data in the same mapping, and the page the last element
    // shares with it.
    EXPECT_LE(anonymousKilobytes(begin, end), 64);
    EXPECT_EQ(sysinfo::sweepBuffer[12'345], 0);
    sysinfo::backSweepBuffer();
    EXPECT_GE(anonymousKilobytes(begin, end), 16'388);
}
