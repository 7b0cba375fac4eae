// SPDX-License-Identifier: GPL-3.0-or-later
// The thorough memory test's engine over memory that behaves like faulty cells: each fault
// is found by the patterns made for it, at its offset and bit, and missed by the others;
// every element is tested exactly once per phase however the block is split; a stop ends a
// phase within one chunk. Then one run over a real block.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "diag/thorough.h"
#include "diag/thorough_engine.h"

namespace {

using diag::Mismatch;
using diag::PatternId;
using diag::PatternSet;
using diag::ThoroughProgress;
using diag::ThoroughResult;

constexpr std::uint64_t bitAt(int bit) {
    return std::uint64_t{1} << bit;
}

// Memory as the engine sees it, with faults a test plants: bits stuck at 0 or 1, a cell whose
// every write flips a bit of another, an offset that reaches another's cell, a read that is
// wrong once. It counts each element's loads and stores, so a test sees what every phase
// touched. Elements of two slices are never touched by the same thread at once.
class TestMemory {
  public:
    explicit TestMemory(std::int64_t count)
        : cells_(static_cast<std::size_t>(count)), loads_(cells_.size()), stores_(cells_.size()) {}

    void stick(std::int64_t offset, int bit, bool one) { stuck_.push_back({offset, bit, one}); }
    void couple(std::int64_t aggressor, std::int64_t victim, int bit) {
        coupled_.push_back({aggressor, victim, bit});
    }
    void alias(std::int64_t offset, std::int64_t onto) { aliases_.push_back({offset, onto}); }
    void misreadOnce(std::int64_t offset, int bit) {
        misread_ = {offset, bit};
        misreadArmed_.store(true);
    }
    void stopAt(std::int64_t offset, bool onStore, diag::StopFlag& stop) {
        stopAt_ = {offset, onStore, &stop};
    }
    void refuseBackingAt(std::int64_t offset) { refuseBacking_ = offset; }

    std::uint64_t load(std::int64_t i) const {
        ++loads_[index(i)];
        if (stopAt_ && !stopAt_->onStore && stopAt_->offset == i) stopAt_->stop->store(true);
        std::uint64_t value = cells_[cell(i)];
        if (misread_ && misread_->offset == i && misreadArmed_.exchange(false))
            value ^= bitAt(misread_->bit);
        return value;
    }
    void store(std::int64_t i, std::uint64_t value) const {
        ++stores_[index(i)];
        if (stopAt_ && stopAt_->onStore && stopAt_->offset == i) stopAt_->stop->store(true);
        const std::size_t c = cell(i);
        for (const Stuck& s : stuck_)
            if (index(s.offset) == c) value = s.one ? value | bitAt(s.bit) : value & ~bitAt(s.bit);
        cells_[c] = value;
        for (const Coupled& k : coupled_)
            if (k.aggressor == i) cells_[index(k.victim)] ^= bitAt(k.bit);
    }
    std::uint64_t reread(std::int64_t i) const { return cells_[cell(i)]; }
    std::uint64_t address(std::int64_t i) const {
        return kBase + static_cast<std::uint64_t>(i) * 8;
    }

    struct DesignView {
        const TestMemory* memory;
        std::int64_t first;
        std::int64_t load(std::int64_t k) const {
            return static_cast<std::int64_t>(memory->load(first + k));
        }
        void store(std::int64_t k, std::int64_t v) const {
            memory->store(first + k, static_cast<std::uint64_t>(v));
        }
    };
    DesignView designElements(std::int64_t first) const { return {this, first}; }

    platform::Expected<void, platform::BackingFailure> back(std::int64_t begin,
                                                            std::int64_t end) const {
        for (std::int64_t i = begin; i < end; ++i) ++backed_[index(i)];
        if (refuseBacking_ >= begin && refuseBacking_ < end)
            return platform::Unexpected{platform::BackingFailure{
                platform::BackingFailure::Kind::Poisoned, (refuseBacking_ - begin) * 8}};
        return {};
    }

    // Per element: how often it was loaded and stored since the last call; then zero.
    struct Touches {
        std::vector<int> loads, stores;
    };
    Touches takeTouches() const {
        Touches t{std::vector<int>(loads_.begin(), loads_.end()),
                  std::vector<int>(stores_.begin(), stores_.end())};
        std::fill(loads_.begin(), loads_.end(), 0);
        std::fill(stores_.begin(), stores_.end(), 0);
        return t;
    }
    std::vector<int> backed() const { return backed_; }

    static constexpr std::uint64_t kBase = 0x10000;

  private:
    struct Stuck {
        std::int64_t offset;
        int bit;
        bool one;
    };
    struct Coupled {
        std::int64_t aggressor, victim;
        int bit;
    };
    struct Misread {
        std::int64_t offset;
        int bit;
    };
    struct StopAt {
        std::int64_t offset;
        bool onStore;
        diag::StopFlag* stop;
    };
    static std::size_t index(std::int64_t i) { return static_cast<std::size_t>(i); }
    std::size_t cell(std::int64_t i) const {
        for (const auto& [offset, onto] : aliases_)
            if (offset == i) return index(onto);
        return index(i);
    }

    mutable std::vector<std::uint64_t> cells_;
    mutable std::vector<int> loads_, stores_;
    mutable std::vector<int> backed_ = std::vector<int>(cells_.size());
    std::vector<Stuck> stuck_;
    std::vector<Coupled> coupled_;
    std::vector<std::pair<std::int64_t, std::int64_t>> aliases_;
    std::optional<Misread> misread_;
    mutable std::atomic<bool> misreadArmed_{false};
    std::optional<StopAt> stopAt_;
    std::int64_t refuseBacking_ = -1;
};

constexpr std::int64_t kCount = 4096;  // two slices of four chunks
constexpr std::uint64_t kSeed = 0x00C0FFEE;

PatternSet only(PatternId pattern) {
    PatternSet set;
    set.add(pattern);
    return set;
}

struct EngineRun {
    const TestMemory& memory;
    PatternSet patterns = PatternSet::thorough();
    platform::CpuList cpus = {0, 1};
    std::int64_t count = kCount;
    std::int64_t cycles = 1;
    bool ceiling = false;
    diag::ProgressHook progress = {};
    diag::StopFlag* stop = nullptr;
    std::filesystem::path pagemap = "/nonexistent";
    diag::engine::StartThread start = diag::engine::startThread;
    // Each reading of the clock is a millisecond after the one before.
    platform::NanosecondSource clock = +[] {
        static std::atomic<std::uint64_t> now{0};
        return now += 1'000'000;
    };

    diag::ThoroughRun go() const {
        diag::ThoroughPlan plan;
        plan.bytes = count * 8;
        plan.patterns = patterns;
        plan.cycles = cycles;
        plan.seed = kSeed;
        plan.cpus = cpus;
        plan.measureCeiling = ceiling;
        plan.clock = clock;
        diag::StopFlag never{false};
        const platform::Pagemap map(pagemap);
        return diag::engine::runEngine(memory, count, plan, stop ? *stop : never, progress, map,
                                       start);
    }
    ThoroughResult result() const {
        auto run = go();
        EXPECT_TRUE(run);
        return run ? *run : ThoroughResult{};
    }
};

// --- Faults ------------------------------------------------------------------------------

struct Fault {
    std::string name;
    std::function<void(TestMemory&)> plant;
    std::int64_t offset;                   // where the mismatches are
    std::function<bool(PatternId)> finds;  // by which patterns, one at a time
    std::uint64_t bits;                    // and in which bits
};

// Whether the random pattern's value at `offset` has `bit` = `one` in the first cycle.
bool randomHas(std::int64_t offset, int bit, bool one) {
    return (diag::randomPatternValue(kSeed, 1, offset) >> bit & 1) == (one ? 1u : 0u);
}

std::vector<Fault> faults() {
    std::vector<Fault> all;
    for (const int bit : {0, 5, 31, 32, 63}) {
        for (const bool one : {false, true}) {
            const std::int64_t at = 1000 + bit;
            all.push_back({"stuck at " + std::to_string(one) + " in bit " + std::to_string(bit),
                           [=](TestMemory& m) { m.stick(at, bit, one); }, at,
                           [=](PatternId p) {
                               if (p == PatternId::Random) return randomHas(at, bit, !one);
                               // The designed cycle writes only 1 and 0: bits above the
                               // lowest are never 1, so a bit stuck at 0 there goes unseen.
                               if (p == PatternId::Design) return one || bit == 0;
                               return true;
                           },
                           bitAt(bit)});
        }
    }
    // A write to 1500 flips bit 7 of 1501. An ascending fill rewrites 1501 right after, so
    // only moving inversions, which checks 1501 after writing 1500 with a new value, sees it.
    all.push_back({"coupled to the cell above", [](TestMemory& m) { m.couple(1500, 1501, 7); },
                   1501, [](PatternId p) { return p == PatternId::MovingInversions; }, bitAt(7)});
    // A write to 1500 flips bit 7 of 1499, which every ascending fill wrote before: every
    // check after a fill sees it; moving inversions sees it on its way down.
    all.push_back({"coupled to the cell below", [](TestMemory& m) { m.couple(1500, 1499, 7); },
                   1499, [](PatternId) { return true; }, bitAt(7)});
    // 1300 reaches the cell of 300: the own-address check of 300 reads 1300. Both are even
    // (so the checkerboard's values agree) and solid values agree everywhere; the walking bit
    // (44 and 20) and the random values differ. Moving inversions reads each through the
    // other's write.
    all.push_back({"address 1300 aliases 300", [](TestMemory& m) { m.alias(1300, 300); }, 300,
                   [](PatternId p) {
                       return p != PatternId::Solid && p != PatternId::Checkerboard &&
                              p != PatternId::Design;
                   },
                   300 ^ 1300});
    return all;
}

TEST(ThoroughFaults, EachFaultIsFoundByThePatternsThatCatchItAtItsOffsetAndBits) {
    for (const Fault& fault : faults()) {
        for (const PatternId pattern : diag::kPatternOrder) {
            SCOPED_TRACE(fault.name + " / " + std::string(diag::patternName(pattern)));
            TestMemory memory(kCount);
            fault.plant(memory);
            const ThoroughResult r = EngineRun{memory, only(pattern)}.result();
            ASSERT_EQ(r.mismatchCount > 0, fault.finds(pattern));
            if (r.mismatchCount == 0) continue;
            ASSERT_EQ(r.mismatches.size(), static_cast<std::size_t>(r.mismatchCount));
            const bool atOffset = pattern != PatternId::MovingInversions ||
                                  fault.name.find("alias") == std::string::npos;
            for (const Mismatch& m : r.mismatches) {
                EXPECT_EQ(m.pattern, pattern);
                EXPECT_EQ(m.cycle, 1);
                EXPECT_TRUE(m.located);
                EXPECT_EQ(m.xorBits, m.expected ^ m.got);
                EXPECT_EQ(m.reread, m.got);  // the stored value is wrong, not the read
                EXPECT_EQ(m.virtualAddress,
                          TestMemory::kBase + 8 * static_cast<std::uint64_t>(m.offset));
                if (!atOffset) continue;
                EXPECT_EQ(m.offset, fault.offset);
                if (pattern == PatternId::OwnAddress || std::popcount(fault.bits) == 1) {
                    EXPECT_EQ(m.xorBits, fault.bits);
                }
            }
            if (std::popcount(fault.bits) == 1) {
                const int bit = std::countr_zero(fault.bits);
                EXPECT_EQ(r.bitCounts[static_cast<std::size_t>(bit)], r.mismatchCount);
                std::int64_t all = 0;
                for (const std::int64_t n : r.bitCounts) all += n;
                EXPECT_EQ(all, r.mismatchCount);
            }
        }
    }
}

// The designed 1/0 cycle misses a bit stuck at 0 anywhere but bit 0; a thorough cycle finds
// each, with the cell's value told apart from the read by reading again.
TEST(ThoroughFaults, DesignedCycleMissesStuckAtZeroThatAThoroughCycleFinds) {
    TestMemory memory(kCount);
    for (const int bit : {5, 31, 32, 63}) memory.stick(2000 + bit, bit, false);
    EXPECT_EQ((EngineRun{memory, PatternSet::design()}.result().mismatchCount), 0);
    const ThoroughResult thorough = EngineRun{memory}.result();
    for (const int bit : {5, 31, 32, 63}) {
        EXPECT_GT(thorough.bitCounts[static_cast<std::size_t>(bit)], 0) << bit;
        EXPECT_TRUE(std::any_of(thorough.mismatches.begin(), thorough.mismatches.end(),
                                [&](const Mismatch& m) { return m.offset == 2000 + bit; }));
    }
}

TEST(ThoroughFaults, AWrongReadIsToldFromAWrongCell) {
    // A check folds the chunk, sees the difference, and finds every element right when it
    // reads them again: one mismatch, not located, in the chunk of 1000.
    TestMemory chunked(kCount);
    chunked.misreadOnce(1000, 9);
    const ThoroughResult r = EngineRun{chunked, only(PatternId::Solid)}.result();
    ASSERT_EQ(r.mismatchCount, 1);
    EXPECT_FALSE(r.mismatches[0].located);
    EXPECT_EQ(r.mismatches[0].offset, 512);
    EXPECT_EQ(r.mismatches[0].xorBits, bitAt(9));
    EXPECT_EQ(r.bitCounts[9], 1);

    // Moving inversions checks element by element: located, and read right again.
    TestMemory single(kCount);
    single.misreadOnce(1000, 9);
    const ThoroughResult m = EngineRun{single, only(PatternId::MovingInversions)}.result();
    ASSERT_EQ(m.mismatchCount, 1);
    EXPECT_TRUE(m.mismatches[0].located);
    EXPECT_EQ(m.mismatches[0].offset, 1000);
    EXPECT_EQ(m.mismatches[0].reread, m.mismatches[0].expected);
}

TEST(ThoroughFaults, FirstMismatchesKeptInOrderOfOffsetTheRestCountedPerBit) {
    TestMemory memory(kCount);
    memory.stick(3000, 3, false);  // in the second thread's slice
    for (std::int64_t at = 10; at < 110; ++at) memory.stick(at, 3, false);
    const ThoroughResult r = EngineRun{memory, only(PatternId::Solid)}.result();
    EXPECT_EQ(r.mismatchCount, 101);
    EXPECT_EQ(r.bitCounts[3], 101);
    ASSERT_EQ(r.mismatches.size(), diag::kKeptMismatches);
    for (std::size_t k = 0; k < r.mismatches.size(); ++k)
        EXPECT_EQ(r.mismatches[k].offset, 10 + static_cast<std::int64_t>(k));
}

// The physical address is read from the page map when the mismatch is found; a frame of 0
// (what an ordinary user is shown) leaves it unknown and says why, once.
TEST(ThoroughFaults, MismatchesCarryThePhysicalAddressFromThePageMap) {
    const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("corvane-pagemap-" + std::to_string(::getpid()));
    std::vector<std::uint64_t> entries(TestMemory::kBase / page + kCount * 8 / page + 1);
    for (std::size_t p = 0; p < entries.size(); ++p)
        entries[p] = std::uint64_t{1} << 63 | (0x40000 + p);
    const std::size_t zeroFramePage = (TestMemory::kBase + 3000 * 8) / page;
    entries[zeroFramePage] = std::uint64_t{1} << 63;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(entries.data()),
               static_cast<std::streamsize>(entries.size() * 8));

    TestMemory memory(kCount);
    memory.stick(100, 40, false);
    memory.stick(3000, 40, false);
    EngineRun run{memory, only(PatternId::Solid)};
    run.pagemap = file;
    const ThoroughResult r = run.result();
    std::filesystem::remove(file);
    ASSERT_EQ(r.mismatches.size(), 2u);
    const std::uint64_t virt = TestMemory::kBase + 100 * 8;
    EXPECT_EQ(r.mismatches[0].physicalAddress, (0x40000 + virt / page) * page + virt % page);
    EXPECT_FALSE(r.mismatches[1].physicalAddress);
    EXPECT_EQ(r.physicalUnknown, platform::FrameUnknown::NeedsRoot);
    // Each was seen on the CPU its thread was pinned to.
    for (std::size_t k = 0; k < 2; ++k)
        if (r.threads[k].pinned) {
            EXPECT_EQ(r.mismatches[k].cpu, r.threads[k].cpu);
        }
}

// --- Slices ------------------------------------------------------------------------------

// For each step, as the barrier's completion reports it: the elements touched, and how.
struct StepTouches {
    ThoroughProgress step;
    TestMemory::Touches touches;
};

struct Touched {
    std::vector<StepTouches> steps;
    diag::ThoroughRun run;
};

Touched touchesPerStep(const TestMemory& memory, EngineRun run) {
    std::vector<StepTouches> steps;
    run.progress = [&](const ThoroughProgress& p) { steps.push_back({p, memory.takeTouches()}); };
    diag::ThoroughRun result = run.go();
    return {std::move(steps), std::move(result)};
}

// Whether a step stores to each element, and whether it loads each.
std::pair<bool, bool> writesAndReads(const ThoroughProgress& step) {
    using Stage = ThoroughProgress::Stage;
    if (step.stage == Stage::FirstWrite || step.stage == Stage::CeilingWrite) return {true, false};
    if (step.stage == Stage::CeilingRead) return {false, true};
    if (step.pattern == PatternId::MovingInversions) return {true, step.phase > 0};
    return {step.phase % 2 == 0, step.phase % 2 == 1};
}

TEST(ThoroughSlices, EveryElementExactlyOncePerPhaseForOddSizesManyThreadsAndOneCpu) {
    using Stage = ThoroughProgress::Stage;
    struct Case {
        std::int64_t count;
        platform::CpuList cpus;
    };
    // Odd sizes; more threads than chunks (two chunks, five threads); one CPU; no CPU given.
    for (const Case& c : {Case{4099, {0, 1}}, Case{1, {0, 1}}, Case{700, {0, 1, 0, 1, 0}},
                          Case{1537, {0}}, Case{513, {}}}) {
        SCOPED_TRACE(c.count);
        TestMemory memory(c.count);
        EngineRun run{memory};
        run.count = c.count;
        run.cpus = c.cpus;
        run.ceiling = true;
        run.patterns.add(PatternId::Design);
        const Touched touched = touchesPerStep(memory, run);
        ASSERT_TRUE(touched.run);
        EXPECT_EQ(touched.run->cycles, 1);
        for (const int n : memory.backed()) EXPECT_EQ(n, 1);
        ASSERT_EQ(touched.steps.size(), 1 + 3 + 4 + 4 + 4 + 4 + 2 + 3 + 4u);
        // The first write before the first cycle; the ceiling after it, in steady state.
        EXPECT_EQ(touched.steps[0].step.stage, Stage::Backing);
        EXPECT_EQ(touched.steps[1].step.stage, Stage::FirstWrite);
        EXPECT_EQ(touched.steps[touched.steps.size() - 2].step.stage, Stage::CeilingWrite);
        EXPECT_EQ(touched.steps.back().step.stage, Stage::CeilingRead);
        for (std::size_t s = 1; s < touched.steps.size(); ++s) {
            const auto& [step, touches] = touched.steps[s];
            SCOPED_TRACE(std::string(diag::patternName(step.pattern)) + " step " +
                         std::to_string(s));
            const auto [writes, reads] = writesAndReads(step);
            const bool design = step.stage == Stage::Phase && step.pattern == PatternId::Design;
            for (std::int64_t i = 0; i < c.count; ++i) {
                // The designed phases leave the block's last partial 8-element step alone.
                const int once = design && i >= c.count / 8 * 8 ? 0 : 1;
                const auto k = static_cast<std::size_t>(i);
                ASSERT_EQ(touches.stores[k], writes ? once : 0) << i;
                ASSERT_EQ(touches.loads[k], reads ? once : 0) << i;
            }
        }
    }
}

TEST(ThoroughSlices, SlicesAreContiguousWholeChunksCoveringTheBlock) {
    for (const std::int64_t count : {1, 511, 512, 513, 4097, 1'000'003}) {
        for (const int slices : {1, 2, 3, 7, 64}) {
            std::int64_t next = 0;
            for (int k = 0; k < slices; ++k) {
                const diag::engine::Range r = diag::engine::sliceOf(count, slices, k);
                EXPECT_EQ(r.begin, next) << count << " " << slices << " " << k;
                EXPECT_TRUE(r.begin % diag::kCheckChunkElements == 0 || r.begin == count);
                EXPECT_GE(r.size(), 0);
                next = r.end;
            }
            EXPECT_EQ(next, count);
        }
    }
}

TEST(ThoroughSlices, ThreadsTheSystemRefusesLeaveTheOthersTheWholeBlock) {
    TestMemory memory(kCount);
    memory.stick(4000, 1, true);
    EngineRun run{memory};
    run.cpus = {0, 1, 0, 1};
    int started = 0;
    run.start = [&](std::function<void()> body) -> std::optional<std::thread> {
        if (++started > 2) return std::nullopt;
        return std::thread(std::move(body));
    };
    const ThoroughResult r = run.result();
    ASSERT_EQ(r.threads.size(), 2u);
    EXPECT_EQ(r.threadsRefused, 2);
    EXPECT_EQ(r.threads[1].firstElement + r.threads[1].elements, kCount);
    EXPECT_EQ(r.cycles, 1);
    EXPECT_GT(r.mismatchCount, 0);

    run.start = [](std::function<void()>) -> std::optional<std::thread> { return std::nullopt; };
    const auto none = run.go();
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().kind, diag::ThoroughFailure::Kind::NoThread);
}

TEST(ThoroughSlices, ASliceThatCannotBeBackedEndsTheRunWithWhere) {
    TestMemory memory(kCount);
    memory.refuseBackingAt(3000);
    const auto run = EngineRun{memory}.go();
    ASSERT_FALSE(run);
    EXPECT_EQ(run.error().kind, diag::ThoroughFailure::Kind::NoBacking);
    EXPECT_EQ(run.error().backingOffset, 3000 * 8);
    EXPECT_EQ(run.error().backing->kind, platform::BackingFailure::Kind::Poisoned);
}

// --- Stop --------------------------------------------------------------------------------

TEST(ThoroughStop, AStopMidPhaseEndsItWithinOneChunkAndTheRun) {
    for (const bool onStore : {true, false}) {
        SCOPED_TRACE(onStore ? "during a fill" : "during a check");
        diag::StopFlag stop{false};
        TestMemory memory(kCount);
        memory.stopAt(1000, onStore, stop);  // in the second chunk, [512, 1024)
        EngineRun run{memory};
        run.cpus = {0};
        run.stop = &stop;
        const Touched touched = touchesPerStep(memory, run);
        ASSERT_FALSE(touched.steps.empty());
        const StepTouches& last = touched.steps.back();
        EXPECT_EQ(last.step.pattern, PatternId::OwnAddress);
        EXPECT_EQ(last.step.phase, onStore ? 0 : 1);
        const auto& counts = onStore ? last.touches.stores : last.touches.loads;
        const auto end = std::find(counts.begin(), counts.end(), 0) - counts.begin();
        EXPECT_EQ(end, 1024);
        EXPECT_TRUE(std::all_of(counts.begin() + end, counts.end(), [](int n) { return n == 0; }));
        ASSERT_TRUE(touched.run);
        EXPECT_TRUE(touched.run->stopped);
        EXPECT_EQ(touched.run->cycles, 0);
        EXPECT_EQ(touched.run->patterns[0].runs, 0);
    }
}

// A stop while the slices are backed ends the run there: nothing is written or timed.
TEST(ThoroughStop, AStopDuringTheBackingEndsTheRunBeforeAnyWrite) {
    diag::StopFlag stop{true};
    TestMemory memory(kCount);
    EngineRun run{memory};
    run.stop = &stop;
    run.ceiling = true;
    const Touched touched = touchesPerStep(memory, run);
    ASSERT_EQ(touched.steps.size(), 1u);
    EXPECT_EQ(touched.steps[0].step.stage, ThoroughProgress::Stage::Backing);
    EXPECT_TRUE(std::all_of(touched.steps[0].touches.stores.begin(),
                            touched.steps[0].touches.stores.end(), [](int n) { return n == 0; }));
    ASSERT_TRUE(touched.run);
    EXPECT_TRUE(touched.run->stopped);
    EXPECT_FALSE(touched.run->ceiling);
    EXPECT_EQ(touched.run->cycles, 0);
}

// --- A real block ------------------------------------------------------------------------

TEST(ThoroughRun, RealBlockCleanWithCeilingSharesAndEdacRiseSeenDuringTheRun) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("corvane-thorough-" + std::to_string(::getpid()));
    const std::filesystem::path dimm = root / "sys/devices/system/edac/mc/mc0/dimm0";
    std::filesystem::create_directories(dimm);
    std::ofstream(dimm / "dimm_ce_count") << "7\n";

    platform::CpuList cpus = platform::allowedCpus();
    if (cpus.size() > 2) cpus.resize(2);
    diag::ThoroughPlan plan;
    plan.bytes = std::int64_t{4} << 20;
    plan.cpus = cpus;
    plan.seed = kSeed;
    plan.lastLevelCacheBytes = std::int64_t{2} << 20;
    plan.root = root;
    plan.clock = +[] {
        static std::atomic<std::uint64_t> now{0};
        return now += 1'000'000;
    };
    diag::StopFlag stop{false};
    int steps = 0;
    const auto run = diag::runThoroughTest(plan, stop, [&](const ThoroughProgress&) {
        if (++steps == 6) std::ofstream(dimm / "dimm_ce_count") << "9\n";
    });
    std::filesystem::remove_all(root);
    ASSERT_TRUE(run);
    const ThoroughResult& r = *run;
    EXPECT_EQ(r.mismatchCount, 0);
    EXPECT_EQ(r.cycles, 1);
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(r.threads.size(), cpus.size());
    EXPECT_NE(r.locked, r.lockRefusal.has_value());
    EXPECT_EQ(r.smallerThanFourCaches, true);
    ASSERT_TRUE(r.ceiling);
    EXPECT_EQ(r.ceiling->bytes, plan.bytes);
    // Every step takes 1 ms on this clock: a pattern's share of the ceiling is the plain
    // write and read time of its lines (1 ms a block) over its steps' time. A block checked
    // and written again in place moves its lines once, as a plain write does.
    struct Expected {
        PatternId pattern;
        std::int64_t writes, checks, rewrites;
    };
    const Expected expected[] = {
        {PatternId::OwnAddress, 2, 2, 0},   {PatternId::Solid, 2, 2, 0},
        {PatternId::Checkerboard, 2, 2, 0}, {PatternId::Walking, 2, 2, 0},
        {PatternId::Random, 1, 1, 0},       {PatternId::MovingInversions, 3, 2, 2}};
    ASSERT_EQ(r.patterns.size(), std::size(expected));
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        const diag::PatternFigures& f = r.patterns[k];
        const Expected& e = expected[k];
        EXPECT_EQ(f.pattern, e.pattern);
        EXPECT_EQ(f.runs, 1);
        EXPECT_EQ(f.bytesWritten, e.writes * plan.bytes);
        EXPECT_EQ(f.bytesChecked, e.checks * plan.bytes);
        EXPECT_EQ(f.bytesRewritten, e.rewrites * plan.bytes);
        const std::int64_t stepsOfPattern = diag::phaseCount(e.pattern);
        EXPECT_EQ(f.elapsedNs, stepsOfPattern * 1'000'000);
        ASSERT_TRUE(f.ceilingShare);
        EXPECT_DOUBLE_EQ(*f.ceilingShare, static_cast<double>(e.writes + e.checks - e.rewrites) /
                                              static_cast<double>(stepsOfPattern));
    }
    ASSERT_TRUE(r.edac);
    EXPECT_TRUE(r.edac->rose());
    ASSERT_EQ(r.edac->dimms.size(), 1u);
    EXPECT_EQ(r.edac->dimms[0].corrected, 2);
    EXPECT_FALSE(r.edac->dimms[0].label);
    EXPECT_TRUE(r.foundErrors());

    // A block the system will not give.
    plan.bytes = std::int64_t{1} << 62;
    const auto refused = diag::runThoroughTest(plan, stop);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, diag::ThoroughFailure::Kind::NoBlock);
}

}  // namespace
