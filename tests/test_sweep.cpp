// The memory sweep: pass counts, rates from an injected tick counter, the exact elements a
// pass reads (checked against a guard page), and the backing of the static buffer.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ticks.h"
#include "sysinfo/sweep.h"

namespace {

// Tick readings 0, step, 2 x step, ...; the sweep reads the counter twice.
std::uint32_t tickValue = 0;
std::uint32_t tickStep = 0;
std::uint32_t steppingTicks() {
    const std::uint32_t now = tickValue;
    tickValue += tickStep;
    return now;
}

std::int32_t sweepWithElapsed(std::uint32_t first, std::uint32_t step) {
    tickValue = first;
    tickStep = step;
    platform::ScopedTickSource ticks(&steppingTicks);
    return sysinfo::memorySweep(1'024, 1);
}

// `elements` 64-bit values ending exactly where an inaccessible page begins, so that any
// read past the last element faults.
class GuardedBlock {
  public:
    explicit GuardedBlock(std::size_t elements) {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t bytes = elements * sizeof(std::int64_t);
        dataBytes_ = (bytes + page_ - 1) / page_ * page_;
        mapped_ = dataBytes_ + page_;
        base_ = static_cast<char*>(
            mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (base_ == MAP_FAILED) {
            base_ = nullptr;
            return;
        }
        mprotect(base_ + dataBytes_, page_, PROT_NONE);
        elements_ = reinterpret_cast<std::int64_t*>(base_ + dataBytes_ - bytes);
    }
    ~GuardedBlock() {
        if (base_) munmap(base_, mapped_);
    }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    std::int64_t* elements() const { return elements_; }

  private:
    std::size_t page_ = 0;
    std::size_t dataBytes_ = 0;
    std::size_t mapped_ = 0;
    char* base_ = nullptr;
    std::int64_t* elements_ = nullptr;
};

// Kilobytes of private anonymous memory (pages of its own, not the shared zero page) in
// the mappings that overlap [begin, end).
long anonymousKilobytes(const void* begin, const void* end) {
    std::ifstream smaps("/proc/self/smaps");
    const auto lo = reinterpret_cast<std::uintptr_t>(begin);
    const auto hi = reinterpret_cast<std::uintptr_t>(end);
    bool inside = false;
    long total = 0;
    std::string line;
    while (std::getline(smaps, line)) {
        std::uintptr_t start = 0, stop = 0;
        char dash = 0;
        std::istringstream header(line);
        if (header >> std::hex >> start >> dash >> stop && dash == '-') {
            inside = start < hi && stop > lo;
            continue;
        }
        if (inside && line.rfind("Anonymous:", 0) == 0) {
            total += std::stol(line.substr(10));
        }
    }
    return total;
}

}  // namespace

TEST(SweepPassCount, WorkedExamples) {
    EXPECT_EQ(sysinfo::sweepPassCount(1'024, 80), 81'921);
    EXPECT_EQ(sysinfo::sweepPassCount(2'097'152, 80), 41);
    EXPECT_EQ(sysinfo::sweepPassCount(65'536, 22), 353);
}

TEST(SweepRate, OneTwoThreeMilliseconds) {
    EXPECT_EQ(sweepWithElapsed(5'000, 1), 640'000);
    EXPECT_EQ(sweepWithElapsed(5'000, 2), 320'000);
    EXPECT_EQ(sweepWithElapsed(5'000, 3), 213'333);
}

TEST(SweepRate, ElapsedTakenAcrossTheCounterWrap) {
    EXPECT_EQ(sweepWithElapsed(0xFFFF'FFFFu, 4), 160'000);
}

TEST(SweepRate, ZeroMillisecondsRatesAsTheFastestMeasurable) {
    EXPECT_EQ(sweepWithElapsed(5'000, 0), 640'000);
    // The cache detection looks for r[k-1] > 1.37 r[k]: a sweep under one tick next to a
    // one-tick sweep must not read as a drop, and one next to a clearly slower sweep must.
    const long double ratio = 1.37L;
    EXPECT_FALSE(sysinfo::sweepRate(0) > ratio * sysinfo::sweepRate(1));
    EXPECT_FALSE(sysinfo::sweepRate(1) > ratio * sysinfo::sweepRate(0));
    EXPECT_TRUE(sysinfo::sweepRate(0) > ratio * sysinfo::sweepRate(2));
}

TEST(SweepBlock, ReadsLowHalvesDownToTheLastStepStart) {
    GuardedBlock block(17);
    ASSERT_NE(block.elements(), nullptr);
    for (int k = 0; k <= 16; ++k) block.elements()[k] = (std::int64_t{7} << 32) + 100 + k;
    sysinfo::sweepBlock(block.elements(), 16, 3);
    // The last read of a pass is element i of its last step, i = 8; only the low half lands.
    EXPECT_EQ(sysinfo::sweepSink, 108);
}

TEST(SweepBlock, EightElementsMakeOneStepReadingNineElements) {
    GuardedBlock block(9);
    ASSERT_NE(block.elements(), nullptr);
    for (int k = 0; k <= 8; ++k) block.elements()[k] = 40 + k;
    sysinfo::sweepBlock(block.elements(), 8, 5);  // a second step would read past the guard
    EXPECT_EQ(sysinfo::sweepSink, 40);
}

TEST(SweepBlockDeathTest, ReadsTheElementAtTheBlockLength) {
    // Element 8 lies on the inaccessible page: a pass over 8 elements must fault on it.
    GuardedBlock block(8);
    ASSERT_NE(block.elements(), nullptr);
    EXPECT_DEATH(sysinfo::sweepBlock(block.elements(), 8, 1), "");
}

TEST(SweepBlock, FullBufferReadsElement2097152AndNothingBeyond) {
    GuardedBlock block(sysinfo::kSweepBufferElements);
    ASSERT_NE(block.elements(), nullptr);
    block.elements()[2'097'152] = 2'024;
    block.elements()[2'097'144] = 77;
    sysinfo::sweepBlock(block.elements(), 2'097'152, 1);
    EXPECT_EQ(sysinfo::sweepSink, 77);
}

TEST(SweepBlockDeathTest, FullBufferReadsItsLastElement) {
    GuardedBlock block(sysinfo::kSweepBufferElements - 1);
    ASSERT_NE(block.elements(), nullptr);
    EXPECT_DEATH(sysinfo::sweepBlock(block.elements(), 2'097'152, 1), "");
}

namespace {

struct BlockCall {
    const std::int64_t* buffer;
    std::int32_t length;
    std::int64_t passes;
    bool operator==(const BlockCall&) const = default;
};
std::vector<BlockCall> blockCalls;
void recordBlock(const std::int64_t* buffer, std::int32_t length, std::int64_t passes) {
    blockCalls.push_back({buffer, length, passes});
}

}  // namespace

TEST(MemorySweep, SweepsTheStaticBufferWithPPlusOnePasses) {
    blockCalls.clear();
    tickValue = 0;
    tickStep = 4;
    platform::ScopedTickSource ticks(&steppingTicks);
    EXPECT_EQ(sysinfo::memorySweep(1'024, 80, &recordBlock), 160'000);
    EXPECT_EQ(blockCalls, (std::vector<BlockCall>{{sysinfo::sweepBuffer, 1'024, 81'921}}));
}

TEST(SweepTail, SixTimedSweepsOfTheTailBlocksInOrder) {
    blockCalls.clear();
    tickValue = 0;
    tickStep = 1;
    platform::ScopedTickSource ticks(&steppingTicks);
    sysinfo::sweepTail(22, &recordBlock);
    const std::int64_t* const buffer = sysinfo::sweepBuffer;
    EXPECT_EQ(blockCalls, (std::vector<BlockCall>{{buffer, 65'536, 353},
                                                  {buffer, 131'072, 177},
                                                  {buffer, 262'144, 89},
                                                  {buffer, 524'288, 45},
                                                  {buffer, 1'048'576, 23},
                                                  {buffer, 2'097'152, 12}}));
    EXPECT_EQ(tickValue, 12u);  // two readings per sweep
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
