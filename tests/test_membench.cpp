#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "membench/memory_speed.h"
#include "platform/ticks.h"
#include "sysinfo/sweep.h"

using membench::Outcome;
using membench::Result;

namespace {

// Every reading is `step` ms after the previous one.
std::uint32_t tickNow = 0;
std::uint32_t tickStep = 0;
std::uint32_t steppingTicks() {
    return tickNow += tickStep;
}

struct SteppingClock {
    explicit SteppingClock(std::uint32_t step) : scoped(&steppingTicks) {
        tickNow = 0xFFFF'F000u;  // right across the counter's wrap
        tickStep = step;
    }
    platform::ScopedTickSource scoped;
};

// The "Anonymous:" kB of the mapping that holds `address`, from /proc/self/smaps.
long anonymousKbAt(const void* address) {
    std::ifstream smaps("/proc/self/smaps");
    const auto target = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long from = 0, to = 0;  // a mapping's header starts "from-to "
        if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2)
            inside = from <= target && target < to;
        else if (inside && line.starts_with("Anonymous:"))
            return std::stol(line.substr(10));
    }
    return -1;
}

}  // namespace

TEST(MemorySpeedFormula, TruncatedQuotientsOrAReasonWithoutTime) {
    EXPECT_EQ(membench::writeSpeed(3333), (Result{Outcome::measured, 5040}));  // 5040.5 cut
    EXPECT_EQ(membench::writeSpeed(1), (Result{Outcome::measured, 16'800'000}));
    EXPECT_EQ(membench::readSpeed(7), (Result{Outcome::measured, 1'141'714}));
    EXPECT_EQ(membench::writeSpeed(0).outcome, Outcome::tooFastToTime);
    EXPECT_EQ(membench::readSpeed(-1).outcome, Outcome::tooFastToTime);
}

// Both measurements time across the tick counter's wrap.
TEST(Measurements, WriteLeavesOneInEveryElementButTheLastAndReadTimesAFreshBlock) {
    using sysinfo::sweepBuffer;
    constexpr std::int32_t kLast = sysinfo::kSweepBufferElements - 1;
    std::fill(sweepBuffer, sweepBuffer + kLast, std::int64_t{-1});
    sweepBuffer[kLast] = 0x1234'5678'9ABC'DEF0;
    const membench::ScopedWorkload small(
        {.writePasses = 1, .readPasses = 2, .readBlockBytes = 1 << 16});
    {
        const SteppingClock clock(4000);
        EXPECT_EQ(membench::writeMeasurement(), (Result{Outcome::measured, 4200}));
    }
    for (std::int32_t i = 0; i < kLast; ++i) ASSERT_EQ(sweepBuffer[i], 1) << i;
    EXPECT_EQ(sweepBuffer[kLast], 0x1234'5678'9ABC'DEF0);
    const SteppingClock clock(1000);
    EXPECT_EQ(membench::readMeasurement(), (Result{Outcome::measured, 7992}));
}

TEST(StridedReadPass, LoadsStopBelowTheSize) {
    // The page after the block is inaccessible: one load too many would fault.
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* map = mmap(nullptr, 2 * page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    ASSERT_EQ(mprotect(static_cast<char*>(map) + page, page, PROT_NONE), 0);
    membench::stridedReadPass(map, static_cast<std::uint32_t>(page), 2);
    membench::stridedReadPass(map, static_cast<std::uint32_t>(page - 31), 1);
    munmap(map, 2 * page);
}

TEST(StridedReadPassDeathTest, EveryLoadReallyTakesPlace) {
    // An optimiser that dropped the discarded loads would survive this.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* map = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    EXPECT_DEATH(membench::stridedReadPass(map, static_cast<std::uint32_t>(page), 1), "");
    munmap(map, page);
}

TEST(ReadBlock, EveryPageIsBackedAndGivenBackOnDestruction) {
    const void* address = nullptr;
    {
        const membench::ReadBlock block(membench::kReadBlockBytes);
        ASSERT_TRUE(block.obtained());
        EXPECT_EQ(block.size(), membench::kReadBlockBytes);
        // Pages mapped to the shared zero page would not count as anonymous memory.
        EXPECT_GE(anonymousKbAt(block.data()), 8192);
        address = block.data();
    }
    unsigned char resident = 0;
    EXPECT_EQ(mincore(const_cast<void*>(address), 4096, &resident), -1);
    EXPECT_EQ(errno, ENOMEM);
}
