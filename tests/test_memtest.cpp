// The memory test: block sizing, speeds, the four phases over a small block, and proof
// that a wrong element is found. Faults are planted at the points where the window would
// process its events, between the write of a pattern and its check.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "diag/memtest.h"
#include "platform/oom.h"
#include "platform/ticks.h"

namespace {

using diag::EventPoint;

TEST(MemTestSizing, NinetyNinePercentRoundedDownTo128Bytes) {
    const std::int64_t bytes = diag::memTestBlockBytes(300'000'000);
    EXPECT_EQ(bytes, 296'999'936);
    EXPECT_EQ(bytes / 8, 37'124'992);
    EXPECT_EQ(diag::sizeCaption(diag::memTestSizeMiB(bytes)), "283 Mb.");
}

TEST(MemTestSizing, CountsOf2GiBAndMoreStayPositive) {
    // A signed 32-bit reading of these would be negative.
    EXPECT_EQ(diag::memTestBlockBytes(3'000'000'000), 2'970'000'000);
    EXPECT_EQ(diag::memTestBlockBytes(std::int64_t{64} << 30) % 128, 0);
    EXPECT_EQ(diag::memTestSizeMiB(diag::memTestBlockBytes(std::int64_t{64} << 30)), 64880);
}

TEST(MemTestSizing, TooLittleMemoryGivesAnEmptyBlock) {
    EXPECT_EQ(diag::memTestBlockBytes(0), 0);
    EXPECT_EQ(diag::memTestBlockBytes(-5), 0);
    EXPECT_EQ(diag::memTestBlockBytes(128), 0);    // 126.72 rounds to 127
    EXPECT_EQ(diag::memTestBlockBytes(129), 128);  // 127.71 rounds to 128
    EXPECT_EQ(diag::memTestBlockBytes(100), 0);
    EXPECT_EQ(diag::sizeCaption(0), "0 Mb.");
}

TEST(MemTestSpeed, SizeTimesThousandOverMilliseconds) {
    EXPECT_EQ(diag::speedMbPerSec(283, 250), 1132);
    EXPECT_EQ(diag::speedCaption(1132), "1132 Mb/sec");
    EXPECT_EQ(diag::speedMbPerSec(283, 3), 94333);  // truncated
    // Beyond what 32 bits hold: 3 TiB in one millisecond.
    EXPECT_EQ(diag::speedMbPerSec(3'000'000, 1), 3'000'000'000);
    EXPECT_FALSE(diag::speedMbPerSec(283, 0));
    EXPECT_FALSE(diag::speedMbPerSec(283, -1));
}

// A block with guard elements on both sides, so a phase that strays is seen.
struct GuardedBlock {
    static constexpr std::int64_t kGuard = 16;
    static constexpr std::int64_t kSentinel = 0x5A5A5A5A5A5A5A5A;
    explicit GuardedBlock(std::int64_t count)
        : storage(static_cast<std::size_t>(count + 2 * kGuard), kSentinel), count(count) {
        for (std::int64_t i = 0; i < count; ++i) at(i) = 0;
    }
    std::int64_t* data() { return storage.data() + kGuard; }
    std::int64_t& at(std::int64_t i) { return data()[i]; }
    bool guardsIntact() const {
        for (std::int64_t i = 0; i < kGuard; ++i) {
            if (storage[i] != kSentinel || storage[storage.size() - 1 - i] != kSentinel)
                return false;
        }
        return true;
    }
    std::vector<std::int64_t> storage;
    std::int64_t count;
};

TEST(MemTestPhases, WriteCoversTheBlockAndTestsStopAfterEveryStep) {
    GuardedBlock block(64);
    int stopChecks = 0;
    const auto never = [&] {
        ++stopChecks;
        return false;
    };
    EXPECT_EQ(diag::writePattern(block.data(), 64, 1, never), 64);
    EXPECT_EQ(stopChecks, 8);
    for (std::int64_t i = 0; i < 64; ++i) EXPECT_EQ(block.at(i), 1) << i;
    EXPECT_TRUE(block.guardsIntact());
}

TEST(MemTestPhases, StopEndsAPhaseAfterItsFirstStep) {
    GuardedBlock block(64);
    EXPECT_EQ(diag::writePattern(block.data(), 64, 1, [] { return true; }), 8);
    for (std::int64_t i = 0; i < 64; ++i) EXPECT_EQ(block.at(i), i < 8 ? 1 : 0) << i;

    std::int64_t errors = 0;
    EXPECT_EQ(diag::checkPattern(block.data(), 64, 1, errors, [] { return true; }), 8);
    EXPECT_EQ(errors, 0);
}

TEST(MemTestPhases, CheckCountsEveryWrongElementOnce) {
    GuardedBlock block(128);
    const auto never = [] { return false; };
    diag::writePattern(block.data(), 128, 1, never);
    block.at(0) = 0;
    block.at(77) = 3;
    block.at(127) = std::int64_t{1} << 32 | 1;  // right low half, wrong high half
    std::int64_t errors = 10;
    EXPECT_EQ(diag::checkPattern(block.data(), 128, 1, errors, never), 128);
    EXPECT_EQ(errors, 13);
}

TEST(MemTestPhases, PartialLastStepIsLeftAlone) {
    GuardedBlock block(13);
    EXPECT_EQ(diag::writePattern(block.data(), 13, 1, [] { return false; }), 8);
    EXPECT_EQ(block.at(8), 0);
    EXPECT_EQ(diag::writePattern(block.data(), 0, 1, [] { return false; }), 0);
    EXPECT_TRUE(block.guardsIntact());
}

// Records what a run shows; runs a hook at every event point.
struct ScriptedView : diag::MemTestView {
    std::vector<std::int64_t> sizes, writeSpeeds, checkSpeeds, passes, errors;
    int noMemory = 0;
    int ends = 0;
    int cycle = 1;
    std::function<void(int cycle, EventPoint)> atPoint = [](int, EventPoint) {};

    void showSize(std::int64_t v) override { sizes.push_back(v); }
    void showWriteSpeed(std::int64_t v) override { writeSpeeds.push_back(v); }
    void showCheckSpeed(std::int64_t v) override { checkSpeeds.push_back(v); }
    void showPasses(std::int64_t v) override { passes.push_back(v); }
    void showErrors(std::int64_t v) override { errors.push_back(v); }
    void processEvents(EventPoint point) override {
        atPoint(cycle, point);
        if (point == EventPoint::AfterCheckZeros) ++cycle;
    }
    void showNoMemory() override { ++noMemory; }
    void ended() override { ++ends; }
};

void stopAt(int cycle, EventPoint point, int now, EventPoint at) {
    if (now == cycle && at == point) diag::memTestStop.store(1);
}

// Every reading of the tick counter is 250 ms after the one before.
std::uint32_t ticks = 0;
std::uint32_t quarterSecondTicks() {
    return ticks += 250;
}
std::uint32_t frozenTicks() {
    return 1000;
}

class MemTestCycles : public ::testing::Test {
  protected:
    void SetUp() override { diag::memTestStop.store(0); }
    GuardedBlock block{256};
    ScriptedView view;
};

TEST_F(MemTestCycles, HealthyCyclesRaisePassesByTwoAndFindNothing) {
    view.atPoint = [](int cycle, EventPoint p) {
        stopAt(3, EventPoint::AfterCheckZeros, cycle, p);
    };
    const diag::MemTestTotals totals = diag::runMemTestCycles(block.data(), 256, 1, view);
    EXPECT_EQ(totals.cycles, 3);
    EXPECT_EQ(view.passes, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(view.errors, (std::vector<std::int64_t>{0, 0, 0}));
    EXPECT_TRUE(block.guardsIntact());
}

TEST_F(MemTestCycles, ElementFlippedBeforeTheCheckOfOnesIsCountedOnce) {
    view.atPoint = [&](int cycle, EventPoint p) {
        if (cycle == 1 && p == EventPoint::AfterWriteOnes) block.at(100) = 0;
        if (cycle == 2 && p == EventPoint::AfterWriteOnes) {
            block.at(3) = 2;
            block.at(255) = -1;
        }
        stopAt(3, EventPoint::AfterCheckZeros, cycle, p);
    };
    diag::runMemTestCycles(block.data(), 256, 1, view);
    // The counter keeps growing over the run: 1, then 1 + 2, then nothing new.
    EXPECT_EQ(view.errors, (std::vector<std::int64_t>{1, 3, 3}));
}

TEST_F(MemTestCycles, StuckAtOneElementIsCountedInTheCheckOfZeros) {
    view.atPoint = [&](int cycle, EventPoint p) {
        if (p == EventPoint::AfterWriteZeros) block.at(42) = 1;
        stopAt(2, EventPoint::AfterCheckZeros, cycle, p);
    };
    diag::runMemTestCycles(block.data(), 256, 1, view);
    EXPECT_EQ(view.errors, (std::vector<std::int64_t>{1, 2}));
}

TEST_F(MemTestCycles, StopDuringTheTimedWriteShortensTheRestOfTheCycle) {
    // A STOP click during the timed write is seen at the first event point.
    view.atPoint = [&](int cycle, EventPoint p) {
        if (cycle == 1 && p == EventPoint::AfterWriteOnes) {
            diag::memTestStop.store(1);
            block.at(3) = 7;   // inside the first step: checked
            block.at(40) = 7;  // beyond it: not checked any more
        }
    };
    const platform::ScopedTickSource clock(&quarterSecondTicks);
    const diag::MemTestTotals totals = diag::runMemTestCycles(block.data(), 256, 283, view);
    EXPECT_EQ(totals.cycles, 1);
    EXPECT_EQ(view.passes, (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(view.errors, (std::vector<std::int64_t>{1}));
    // The zeros reached only the first step.
    for (std::int64_t i = 0; i < 256; ++i) {
        EXPECT_EQ(block.at(i), i < 8 ? 0 : (i == 40 ? 7 : 1)) << i;
    }
    // The whole write was timed; the cut-short check shows no speed.
    EXPECT_EQ(view.writeSpeeds, (std::vector<std::int64_t>{1132}));
    EXPECT_TRUE(view.checkSpeeds.empty());
}

TEST_F(MemTestCycles, SpeedsComeFromTheSizeAndTheTimedPhase) {
    view.atPoint = [](int cycle, EventPoint p) {
        stopAt(2, EventPoint::AfterCheckZeros, cycle, p);
    };
    ticks = 0xFFFFFF00u;  // the counter wraps during the run
    const platform::ScopedTickSource clock(&quarterSecondTicks);
    diag::runMemTestCycles(block.data(), 256, 283, view);
    EXPECT_EQ(view.writeSpeeds, (std::vector<std::int64_t>{1132, 1132}));
    EXPECT_EQ(view.checkSpeeds, (std::vector<std::int64_t>{1132, 1132}));
}

TEST_F(MemTestCycles, NoElapsedTimeLeavesTheSpeedsAlone) {
    view.atPoint = [](int cycle, EventPoint p) {
        stopAt(1, EventPoint::AfterCheckZeros, cycle, p);
    };
    const platform::ScopedTickSource clock(&frozenTicks);
    diag::runMemTestCycles(block.data(), 256, 283, view);
    EXPECT_TRUE(view.writeSpeeds.empty());
    EXPECT_TRUE(view.checkSpeeds.empty());
    EXPECT_EQ(view.passes.size(), 2u);
}

class MemTestRun : public ::testing::Test {
  protected:
    void SetUp() override { diag::memTestStop.store(1); }  // left over from an earlier run
    ScriptedView view;
};

TEST_F(MemTestRun, RunsOverAFreshZeroedBlockUntilStopped) {
    view.atPoint = [&](int cycle, EventPoint p) {
        stopAt(2, EventPoint::AfterCheckZeros, cycle, p);
    };
    // 2,200,000 available bytes: a block of 2,177,920 bytes, 2 whole MiB.
    const diag::MemTestTotals totals = diag::runMemTest(2'200'000, view);
    EXPECT_EQ(view.sizes, (std::vector<std::int64_t>{2}));
    EXPECT_EQ(totals.cycles, 2);  // the stop flag of the earlier run was cleared
    EXPECT_EQ(totals.errors, 0);
    EXPECT_EQ(view.ends, 1);
    EXPECT_EQ(view.noMemory, 0);
}

TEST_F(MemTestRun, NothingAvailableEndsAtOnceWithAMessage) {
    for (std::int64_t available : {std::int64_t{0}, std::int64_t{100}, std::int64_t{-1}}) {
        ScriptedView v;
        const diag::MemTestTotals totals = diag::runMemTest(available, v);
        EXPECT_EQ(v.sizes, (std::vector<std::int64_t>{0}));
        EXPECT_EQ(v.noMemory, 1);
        EXPECT_EQ(v.ends, 1);
        EXPECT_EQ(totals.passes, 0);
        EXPECT_TRUE(v.passes.empty());
    }
}

TEST_F(MemTestRun, RefusedMappingEndsAtOnceWithAMessage) {
    // More than the whole user address space: the mapping is refused, not faulted later.
    const diag::MemTestTotals totals = diag::runMemTest(std::int64_t{1} << 62, view);
    EXPECT_EQ(view.noMemory, 1);
    EXPECT_EQ(view.ends, 1);
    EXPECT_EQ(totals.cycles, 0);
}

TEST(MemTestBlock, FreshBlockIsZeroAndARefusalIsReported) {
    diag::TestBlock block = diag::TestBlock::allocate(1 << 20);
    ASSERT_TRUE(block);
    EXPECT_EQ(block.count(), (1 << 20) / 8);
    std::int64_t nonZero = 0;
    EXPECT_EQ(diag::checkPattern(block.data(), block.count(), 0, nonZero, [] { return false; }),
              block.count());
    EXPECT_EQ(nonZero, 0);

    const diag::TestBlock refused = diag::TestBlock::allocate(std::int64_t{1} << 62);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.refusal(), 0);
    EXPECT_FALSE(diag::TestBlock::allocate(0));
}

// oom_score_adj below a scratch root, as /proc/self would hold it.
class OomScore : public ::testing::Test {
  protected:
    void SetUp() override {
        root =
            std::filesystem::temp_directory_path() / ("corvane-oom-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "proc/self");
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    void write(const std::string& text) { std::ofstream(root / "proc/self/oom_score_adj") << text; }
    std::filesystem::path root;
};

TEST_F(OomScore, RaisedForTheRunThenPutBack) {
    write("-100\n");
    {
        const platform::FirstOomChoice choice(root);
        EXPECT_TRUE(choice.raised());
        EXPECT_EQ(platform::oomScoreAdj(root), 1000);
    }
    EXPECT_EQ(platform::oomScoreAdj(root), -100);
}

TEST_F(OomScore, MissingFileIsQuiet) {
    const platform::FirstOomChoice choice(root / "nowhere");
    EXPECT_FALSE(choice.raised());
    EXPECT_FALSE(platform::oomScoreAdj(root / "nowhere"));
}

TEST(OomScoreReal, ThisProcessCanBeMadeTheFirstChoice) {
    // Raising is allowed to every user; what it was is put back where the system lets us.
    const auto before = platform::oomScoreAdj();
    ASSERT_TRUE(before);
    {
        const platform::FirstOomChoice choice;
        EXPECT_TRUE(choice.raised());
        EXPECT_EQ(platform::oomScoreAdj(), 1000);
    }
}

}  // namespace
