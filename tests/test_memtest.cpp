// SPDX-License-Identifier: GPL-3.0-or-later
// The memory test: block sizing, speeds, the four phases over a small block, and proof
// that a wrong element is found. Faults are planted at the points where the window would
// process its events, between the write of a pattern and its check.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "diag/memtest.h"
#include "platform/oom.h"
#include "platform/sources.h"

namespace {

using diag::EventPoint;
using Counts = std::vector<std::int64_t>;

TEST(MemTestFigures, BlockIsAShareRoundedDownTo128BytesSpeedIsSizeOverTime) {
    // The window takes 99 %. 3e9 would be negative read as a signed 32-bit count; 128 and
    // 129 bytes give 126.72 and 127.71, rounded to 127 and 128, then down to 0 and 128; 90 %
    // of 1,000,000,007 is 900,000,006.3. Too little memory gives an empty block.
    using Case = std::tuple<std::int64_t, int, std::int64_t>;
    for (const auto& [available, percent, block] :
         {Case{300'000'000, 99, 296'999'936}, Case{3'000'000'000, 99, 2'970'000'000},
          Case{128, 99, 0}, Case{129, 99, 128}, Case{-5, 99, 0}, Case{-5, 50, 0},
          Case{300'000'000, 50, 150'000'000}, Case{1000 << 20, 100, 1000 << 20},
          Case{1000 << 20, 0, 0}, Case{1'000'000'007, 90, 900'000'000}})
        EXPECT_EQ(diag::memTestBlockBytes(available, percent), block)
            << available << " " << percent;
    EXPECT_EQ(diag::memTestSizeMiB(296'999'936), 283);
    EXPECT_EQ(diag::memTestSizeMiB(diag::memTestBlockBytes(std::int64_t{64} << 30)), 64880);

    // Speed: size x 1000 / ms.
    EXPECT_EQ(diag::speedMbPerSec(283, 3), 94333);                // truncated
    EXPECT_EQ(diag::speedMbPerSec(3'000'000, 1), 3'000'000'000);  // beyond 32 bits
    EXPECT_FALSE(diag::speedMbPerSec(283, 0));
    EXPECT_FALSE(diag::speedMbPerSec(283, -1));
}

// A block with guard elements on both sides, so a phase that strays is seen.
struct GuardedBlock {
    static constexpr std::int64_t kGuard = 16, kSentinel = 0x5A5A5A5A5A5A5A5A, kCount = 256;
    std::vector<std::int64_t> storage = std::vector<std::int64_t>(kCount + 2 * kGuard, kSentinel);
    std::int64_t* data() { return storage.data() + kGuard; }
    std::int64_t& at(std::int64_t i) { return data()[i]; }
    bool guardsIntact() const {
        return std::count(storage.begin(), storage.end(), kSentinel) == 2 * kGuard;
    }
};

// Records what a run shows; runs a hook at every event point.
struct ScriptedView : diag::MemTestView {
    Counts writeSpeeds, checkSpeeds, passes, errors;
    int ends = 0, cycle = 1, stopCycle = 0;  // STOP is clicked at the end of stopCycle
    std::vector<std::string> endings;        // "refused", "ended", in the order they came
    std::function<void(int cycle, EventPoint)> atPoint = [](int, EventPoint) {};

    void showSize(std::int64_t) override {}
    void showWriteSpeed(const diag::PhaseSpeed& v) override { writeSpeeds.push_back(v.mbPerSec); }
    void showCheckSpeed(const diag::PhaseSpeed& v) override { checkSpeeds.push_back(v.mbPerSec); }
    void showPasses(std::int64_t v) override { passes.push_back(v); }
    void showErrors(std::int64_t v) override { errors.push_back(v); }
    void processEvents(EventPoint point) override {
        atPoint(cycle, point);
        if (point == EventPoint::AfterCheckZeros && cycle++ == stopCycle)
            diag::memTestStop.store(1);
    }
    void cycleEnded(std::int64_t) override {}
    void refused(const diag::NoBlock&) override { endings.push_back("refused"); }
    void ended() override {
        ++ends;
        endings.push_back("ended");
    }
};

std::uint32_t ticks = 0;

class MemTestCycles : public ::testing::Test {
  protected:
    void SetUp() override { diag::memTestStop.store(0); }
    // Every reading of the tick counter is 250 ms after the one before, unless a test
    // reads it its own way.
    diag::MemTestTotals run(platform::TickSource clock = +[] { return ticks += 250; }) {
        return diag::runMemTestCycles(block.data(), GuardedBlock::kCount, 283, view, clock);
    }
    GuardedBlock block;
    ScriptedView view;
};

TEST_F(MemTestCycles, HealthyCyclesRaisePassesByTwoAndFindNothing) {
    view.stopCycle = 3;
    ticks = 0xFFFFFF00u;  // the counter wraps during the run
    EXPECT_EQ(run().cycles, 3);
    EXPECT_EQ(view.passes, (Counts{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(view.errors, (Counts{0, 0, 0}));
    EXPECT_EQ(view.writeSpeeds, (Counts{1132, 1132, 1132}));
    EXPECT_EQ(view.checkSpeeds, (Counts{1132, 1132, 1132}));
    EXPECT_TRUE(block.guardsIntact());
}

// Flipped before the check of ones in cycles 1 and 2, stuck at one before the check of
// zeros in cycle 3: each wrong element is counted once, and the count grows over the run.
TEST_F(MemTestCycles, EachWrongElementIsCountedOnceByTheCheckThatFollows) {
    view.stopCycle = 3;
    view.atPoint = [&](int cycle, EventPoint p) {
        if (cycle == 1 && p == EventPoint::AfterWriteOnes) block.at(100) = 0;
        if (cycle == 2 && p == EventPoint::AfterWriteOnes) {
            block.at(0) = 2;
            block.at(255) = std::int64_t{1} << 32 | 1;  // right low half, wrong high half
        }
        if (cycle == 3 && p == EventPoint::AfterWriteZeros) block.at(42) = 1;
    };
    run();
    EXPECT_EQ(view.errors, (Counts{1, 3, 4}));
}

TEST_F(MemTestCycles, StopDuringTheTimedWriteShortensTheRestOfTheCycle) {
    // A STOP click during the timed write is seen at the first event point.
    view.atPoint = [&](int, EventPoint p) {
        if (p != EventPoint::AfterWriteOnes) return;
        diag::memTestStop.store(1);
        block.at(3) = 7;   // inside the first step: checked
        block.at(40) = 7;  // beyond it: not checked any more
    };
    EXPECT_EQ(run().cycles, 1);
    EXPECT_EQ(view.passes, (Counts{1, 2}));
    EXPECT_EQ(view.errors, (Counts{1}));
    for (std::int64_t i = 0; i < GuardedBlock::kCount; ++i)  // zeros reach the first step only
        EXPECT_EQ(block.at(i), i < 8 ? 0 : (i == 40 ? 7 : 1)) << i;
    // The whole write was timed; the cut-short check shows no speed.
    EXPECT_EQ(view.writeSpeeds, (Counts{1132}));
    EXPECT_TRUE(view.checkSpeeds.empty());
}

// STOP clicked while a timed phase runs takes effect at once: the phase ends after its
// current 8-element step and shows no speed, the rest of the cycle covers its first step.
TEST_F(MemTestCycles, StopInTheMiddleOfATimedPhaseEndsItAtItsNextStep) {
    ticks = 0;
    const auto stopOnFirstReading = +[] {
        if (ticks == 0) diag::memTestStop.store(1);  // just after the timed write began
        return ticks += 250;
    };
    EXPECT_EQ(run(stopOnFirstReading).cycles, 1);
    EXPECT_EQ(view.passes, (Counts{1, 2}));
    EXPECT_EQ(view.errors, (Counts{0}));
    EXPECT_TRUE(view.writeSpeeds.empty());
    EXPECT_TRUE(view.checkSpeeds.empty());
    for (std::int64_t i = 0; i < GuardedBlock::kCount; ++i)
        EXPECT_EQ(block.at(i), i < 8 ? 0 : GuardedBlock::kSentinel) << i;
}

// A figure of this process from /proc/self/status, in KiB.
std::int64_t selfStatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string name;
    std::int64_t value = 0;
    while (status >> name) {
        if (name == field + ":" && status >> value) return value;
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

TEST(MemTestRun, LargeBlockIsBackedInSlicesWithEventsBetweenStopReleasesItRefusedOneIsEmpty) {
    ScriptedView view;
    const std::int64_t before = selfStatusKiB("VmSize");
    std::vector<std::int64_t> mapped, backed;  // at each event point of the backing
    view.atPoint = [&](int, EventPoint p) {
        ASSERT_EQ(p, EventPoint::DuringBacking);
        mapped.push_back(selfStatusKiB("VmSize"));
        backed.push_back(selfStatusKiB("RssAnon"));
        if (backed.size() == 3) diag::memTestStop.store(1);  // STOP after two slices
    };
    // 1 GiB available: a block of 1013 MiB, sixteen slices.
    platform::Sources sources;
    sources.memoryAllowanceSource = [] {
        return platform::MemoryAllowance{std::int64_t{1} << 30, std::int64_t{1} << 30, {}};
    };
    diag::memTestStop.store(0);
    EXPECT_TRUE(diag::runMemTest(view, sources));
    ASSERT_EQ(backed.size(), 3u);
    EXPECT_GE(mapped[0] - before, 1013 * 1024);  // mapped whole, nothing backed yet
    constexpr std::int64_t sliceKiB = diag::kBackingSliceBytes / 1024;
    EXPECT_GE(backed[1] - backed[0], sliceKiB);  // one slice between two event points
    EXPECT_GE(backed[2] - backed[1], sliceKiB);
    EXPECT_LT(backed[2] - backed[0], 3 * sliceKiB);
    // No cycle began; the run ended and gave the block back.
    EXPECT_TRUE(view.passes.empty());
    EXPECT_EQ(view.ends, 1);
    EXPECT_LT(selfStatusKiB("VmSize") - before, 64 * 1024);

    // 1 << 62 is more than the user address space: refused, not faulted later, and the run
    // says so before it ends, so that a new run can never see the refusal of the last one.
    EXPECT_FALSE(diag::TestBlock::map(0));
    view.endings.clear();
    const diag::MemTestRun refused = diag::runMemTestOnBlock(std::int64_t{1} << 62, view, sources);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().bytes, std::int64_t{1} << 62);
    EXPECT_EQ(view.endings, (std::vector<std::string>{"refused", "ended"}));
}

TEST(OomScore, RaisedForTheRunThenPutBackAndMissingFileIsQuiet) {
    // oom_score_adj below a scratch root, as /proc/self would hold it.
    const auto root =
        std::filesystem::temp_directory_path() / ("corvane-oom-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "proc/self");
    std::ofstream(root / "proc/self/oom_score_adj") << "-100\n";
    {
        const platform::FirstOomChoice choice(root);
        EXPECT_TRUE(choice.raised());
        EXPECT_EQ(platform::oomScoreAdj(root), 1000);
    }
    EXPECT_EQ(platform::oomScoreAdj(root), -100);
    EXPECT_FALSE(platform::FirstOomChoice(root / "nowhere").raised());
    EXPECT_FALSE(platform::oomScoreAdj(root / "nowhere"));
    std::filesystem::remove_all(root);

    // And this process's own.
    const platform::FirstOomChoice self;
    EXPECT_TRUE(self.raised());
    EXPECT_EQ(platform::oomScoreAdj(), 1000);
}

}  // namespace
