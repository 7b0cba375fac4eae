// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memory pattern test: a block of most of the free physical memory, written with ones,
// checked, written with zeros and checked again, cycle after cycle until STOP.
//
// It runs as one job off the window thread. STOP sets the stop flag, which every phase reads
// after each 8-element step; the job's event points, four a cycle and one before each slice
// of the backing, are where other queued jobs run.

#include <atomic>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/backing.h"
#include "platform/expected.h"
#include "platform/sources.h"
#include "platform/ticks.h"

namespace diag {

// The memory-test stop flag: 0 while a run goes on, 1 once STOP was clicked.
extern std::atomic<std::uint8_t> memTestStop;

inline constexpr std::int64_t kElementsPerStep = 8;
inline constexpr std::int64_t kBlockGranule = 128;

// The share of the memory the test may take that the window's RUN tests.
inline constexpr int kWindowBlockPercent = 99;

// `percent` (1 to 100) of the bytes the test may take: the bytes less (100 - percent) % of
// them, in extended precision, rounded half to even, then down to a multiple of 128 bytes;
// 0 when nothing is available. The window's block is memTestBlockBytes(bytes).
std::int64_t memTestBlockBytes(std::int64_t available, int percent = kWindowBlockPercent);

// Whole MiB of the block, shown in the window and used for both speeds.
std::int64_t memTestSizeMiB(std::int64_t blockBytes);

// (size in MiB x 1000) / elapsed ms, truncated; nothing for an elapsed time of 0 or less.
std::optional<std::int64_t> speedMbPerSec(std::int64_t sizeMiB, std::int32_t elapsedMs);

// A timed phase over the whole block: the speed the window shows, and the bytes and
// milliseconds it came from.
struct PhaseSpeed {
    std::int64_t mbPerSec = 0;
    platform::TimedBytes timed;
};

// The block is backed this much at a time, with an event point and a look at the stop flag
// between slices: backing 20 GB takes ten seconds or more, and STOP must not wait for it.
inline constexpr std::int64_t kBackingSliceBytes = std::int64_t{64} << 20;

// An anonymous private mapping of 64-bit elements. A never-written anonymous page reads
// from the one shared zero page, so every page is backed (written with 0) before the
// first timed phase. A refused mapping leaves it empty.
class TestBlock {
  public:
    TestBlock() = default;
    // Maps `bytes` bytes, none backed yet; empty when bytes is not positive or the system
    // refuses.
    static TestBlock map(std::int64_t bytes);
    ~TestBlock();
    TestBlock(TestBlock&& other) noexcept;
    TestBlock& operator=(TestBlock&& other) noexcept;
    TestBlock(const TestBlock&) = delete;
    TestBlock& operator=(const TestBlock&) = delete;

    explicit operator bool() const { return data_ != nullptr; }
    std::int64_t* data() const { return data_; }
    std::int64_t count() const { return count_; }

    // Backs the next slice of at most kBackingSliceBytes: true when one was backed, false
    // when none was left. When the kernel cannot back it, no page of it is touched and the
    // failure (its offset from the start of the block, for a poisoned page) is the error.
    platform::Expected<bool, platform::BackingFailure> backNextSlice();

  private:
    std::int64_t bytes() const { return count_ * static_cast<std::int64_t>(sizeof(std::int64_t)); }
    void release();

    std::int64_t* data_ = nullptr;
    std::int64_t count_ = 0;
    std::int64_t backedBytes_ = 0;
};

// The designed phases reach the block through a view. The window's is this volatile one: the
// test is about the memory, so no store may be dropped because a later phase overwrites it,
// no load because the compiler knows the value, and none reordered. A test hands over a view
// of its own that behaves like faulty memory.
template <class Element>
struct VolatileElements {
    volatile Element* block;
    std::int64_t load(std::int64_t i) const { return block[i]; }
    void store(std::int64_t i, std::int64_t value) const { block[i] = value; }
};

// What a check does with a step that held wrong elements: the window only counts them, and
// this hook compiles to nothing. A hook of another type is called with the step's first
// element and how many of its elements were wrong, and may read the step again to locate
// them.
struct CountOnly {
    void operator()(std::int64_t, std::int64_t) const {}
};

// The four phases. Each goes through the elements in ascending order, 8 per step, and ends
// when the whole block is covered or when `stop()` is true after a step; it returns the
// number of elements covered. Elements past the last whole step (never there for a block of
// 128-byte multiples) are left alone.
template <class Elements, class Stop>
std::int64_t writeElements(const Elements& memory, std::int64_t count, std::int64_t value,
                           Stop&& stop) {
    std::int64_t i = 0;
    while (i + kElementsPerStep <= count) {
        for (std::int64_t k = 0; k < kElementsPerStep; ++k) memory.store(i + k, value);
        i += kElementsPerStep;
        if (stop()) break;
    }
    return i;
}

// Adds one to `errors` for every element that is not exactly `value`.
template <class Elements, class Stop, class OnWrongStep = CountOnly>
std::int64_t checkElements(const Elements& memory, std::int64_t count, std::int64_t value,
                           std::int64_t& errors, Stop&& stop, OnWrongStep&& onWrongStep = {}) {
    constexpr bool kLocates = !std::is_same_v<std::remove_cvref_t<OnWrongStep>, CountOnly>;
    std::int64_t i = 0;
    std::int64_t found = 0;
    while (i + kElementsPerStep <= count) {
        [[maybe_unused]] const std::int64_t before = found;
        for (std::int64_t k = 0; k < kElementsPerStep; ++k) found += memory.load(i + k) != value;
        if constexpr (kLocates) {
            if (found != before) [[unlikely]]
                onWrongStep(i, found - before);
        }
        i += kElementsPerStep;
        if (stop()) break;
    }
    errors += found;
    return i;
}

template <class Stop>
std::int64_t writePattern(std::int64_t* block, std::int64_t count, std::int64_t value,
                          Stop&& stop) {
    return writeElements(VolatileElements<std::int64_t>{block}, count, value, stop);
}

template <class Stop, class OnWrongStep = CountOnly>
std::int64_t checkPattern(const std::int64_t* block, std::int64_t count, std::int64_t value,
                          std::int64_t& errors, Stop&& stop, OnWrongStep&& onWrongStep = {}) {
    return checkElements(VolatileElements<const std::int64_t>{block}, count, value, errors, stop,
                         std::forward<OnWrongStep>(onWrongStep));
}

// The event points of a run: before each slice of the backing, and four times a cycle.
enum class EventPoint {
    DuringBacking,
    AfterWriteOnes,
    AfterCheckOnes,
    AfterWriteZeros,
    AfterCheckZeros
};

// The block of `bytes` the system would not give: not enough memory, or a page of it that
// the kernel marks as failed hardware.
struct NoBlock {
    std::int64_t bytes = 0;
    std::optional<std::int64_t> poisonedOffset;  // from the start of the block
};

// What the run shows, and its event points; the window implements it on its labels.
class MemTestView {
  public:
    virtual ~MemTestView() = default;
    virtual void showSize(std::int64_t sizeMiB) = 0;  // the run started with this block
    virtual void showWriteSpeed(const PhaseSpeed& speed) = 0;
    virtual void showCheckSpeed(const PhaseSpeed& speed) = 0;
    virtual void showPasses(std::int64_t passes) = 0;
    virtual void showErrors(std::int64_t errors) = 0;
    virtual void processEvents(EventPoint point) = 0;
    virtual void cycleEnded(std::int64_t cycles) = 0;  // after the cycle's errors were shown
    virtual void refused(const NoBlock& why) = 0;      // no block to test; ended() follows
    virtual void ended() = 0;                          // the run ends; before the block is released

    // A view that locates mismatches says so, and is then handed each check's steps that held
    // `wrong` elements other than `expected`: the 8 elements from `first` in `block`, which it
    // may read again. The window's view only counts, and its checks stay as lean as before.
    virtual bool locatesMismatches() const { return false; }
    virtual void wrongStep(const std::int64_t* /*block*/, std::int64_t /*first*/,
                           std::int64_t /*expected*/, std::int64_t /*wrong*/) {}
};

struct MemTestTotals {
    std::int64_t passes = 0;
    std::int64_t errors = 0;
    std::int64_t cycles = 0;
};

// Cycles over a given block until the stop flag is 1 at the end of a cycle, timed with
// `ticks`. The speeds are computed from `sizeMiB` and shown only for a timed phase that
// covered the whole block.
MemTestTotals runMemTestCycles(std::int64_t* block, std::int64_t count, std::int64_t sizeMiB,
                               MemTestView& view, platform::TickSource ticks);

using MemTestRun = platform::Expected<MemTestTotals, NoBlock>;

// A whole run over a block of `blockBytes` (a multiple of 128): shows its size, makes this
// process the out-of-memory killer's first choice, maps the block and backs it slice by
// slice, runs the cycles, ends, releases. A STOP during the backing ends the run there,
// before any cycle. A block the system will not give or back is shown as refused before
// the run ends. The caller clears the stop flag before the run.
MemTestRun runMemTestOnBlock(std::int64_t blockBytes, MemTestView& view,
                             const platform::Sources& sources);

// The run as RUN starts it: the block sized from what the sources say the test may take.
MemTestRun runMemTest(MemTestView& view, const platform::Sources& sources);

}  // namespace diag
