// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "guarded_memory.h"
#include "membench/memory_speed.h"
#include "stepping_clock.h"
#include "sysinfo/sweep.h"

using membench::NoSpeed;
using membench::Speed;

TEST(MemorySpeedFormula, TruncatedQuotientsOrAReasonWithoutTime) {
    EXPECT_EQ(*membench::writeSpeed(3333, 100), (Speed{5040, {100, 3333}}));  // 5040.5 cut
    EXPECT_EQ(membench::readSpeed(7)->figure, 1'141'714);
    EXPECT_EQ(membench::writeSpeed(0).error(), NoSpeed::tooFastToTime);
    EXPECT_EQ(membench::readSpeed(-1).error(), NoSpeed::tooFastToTime);
}

// Both measurements time across the tick counter's wrap.
constexpr std::uint32_t kBeforeTheWrap = 0xFFFF'FF00u;  // the first step crosses it

TEST(Measurements, WriteLeavesOneInEveryElementButTheLastAndReadTimesAFreshBlock) {
    using sysinfo::sweepBuffer;
    constexpr std::int32_t kLast = sysinfo::kSweepBufferElements - 1;
    std::fill(sweepBuffer, sweepBuffer + kLast, std::int64_t{-1});
    sweepBuffer[kLast] = 0x1234'5678'9ABC'DEF0;
    const membench::Workload small{.writePasses = 1, .readPasses = 2, .readBlockBytes = 1 << 16};
    {
        const SteppingClock clock(kBeforeTheWrap, 4000);
        EXPECT_EQ(*membench::writeMeasurement(clock.clock, small), (Speed{4200, {1 << 24, 4000}}));
    }
    for (std::int32_t i = 0; i < kLast; ++i) ASSERT_EQ(sweepBuffer[i], 1) << i;
    EXPECT_EQ(sweepBuffer[kLast], 0x1234'5678'9ABC'DEF0);
    const SteppingClock clock(kBeforeTheWrap, 1000);
    // Two passes over 64 KiB of addresses.
    EXPECT_EQ(*membench::readMeasurement(clock.clock, small), (Speed{7992, {2 << 16, 1000}}));
}

TEST(StridedReadPass, LoadsStopBelowTheSize) {
    // The page after the block is inaccessible: one load too many would fault.
    const auto page = static_cast<std::uint32_t>(sysconf(_SC_PAGESIZE));
    const GuardedBlock block(page / sizeof(std::int64_t));
    ASSERT_NE(block.elements(), nullptr);
    membench::stridedReadPass(block.elements(), page, 2);
    membench::stridedReadPass(block.elements(), page - 31, 1);
}

TEST(ReadBlock, EveryPageIsBackedAndGivenBackOnDestruction) {
    const void* address = nullptr;
    {
        const membench::ReadBlock block(membench::kReadBlockBytes);
        ASSERT_TRUE(block.obtained());
        EXPECT_EQ(block.size(), membench::kReadBlockBytes);
        // Pages mapped to the shared zero page would not count as anonymous memory.
        const char* begin = static_cast<const char*>(block.data());
        EXPECT_GE(anonymousKilobytes(begin, begin + block.size()), 8192);
        address = block.data();
    }
    unsigned char resident = 0;
    EXPECT_EQ(mincore(const_cast<void*>(address), 4096, &resident), -1);
    EXPECT_EQ(errno, ENOMEM);
}
