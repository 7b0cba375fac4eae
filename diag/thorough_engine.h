// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The machinery of the thorough test, over any memory: the kernels that write and check one
// slice, the locator that turns a wrong chunk into located mismatches, and the runner that
// gives each thread its slice and meets them at a barrier after every phase.
//
// The memory is a template parameter. On the machine it is DirectMemory, plain loads and
// stores the compiler vectorises; a test hands over memory that behaves like a faulty cell
// (stuck bits, a coupled neighbour, two offsets that alias) and sees the same code find it.
// A memory type offers:
//   std::uint64_t load(std::int64_t offset) const;
//   void store(std::int64_t offset, std::uint64_t value) const;
//   std::uint64_t reread(std::int64_t offset) const;   // from the memory itself
//   std::uint64_t address(std::int64_t offset) const;  // virtual address of the element
//   designElements(std::int64_t first)                 // a view for memtest.h's phases
//   platform::Expected<void, platform::BackingFailure> back(std::int64_t begin,
//                                                           std::int64_t end) const;

#include <emmintrin.h>

#include <algorithm>
#include <barrier>
#include <cstdint>
#include <functional>
#include <latch>
#include <optional>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "diag/memtest.h"
#include "diag/patterns.h"
#include "diag/thorough.h"
#include "platform/backing.h"
#include "platform/cpus.h"
#include "platform/pagemap.h"

namespace diag::engine {

// Elements [begin, end) of the block.
struct Range {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    std::int64_t size() const { return end - begin; }
};

// Slice `index` of `slices`: whole chunks, as even as they come, the last one taking the
// block's odd end. Slices start on a 4 KiB boundary of the block, so no page is backed or
// written by two threads; with more slices than chunks some are empty.
inline Range sliceOf(std::int64_t count, int slices, int index) {
    const std::int64_t chunks = (count + kCheckChunkElements - 1) / kCheckChunkElements;
    const auto edge = [&](int k) {
        return std::min(count, chunks * k / slices * kCheckChunkElements);
    };
    return {edge(index), index + 1 == slices ? count : edge(index + 1)};
}

// Nothing the compiler knows of memory survives it: the stores before it are made, the
// loads after it are made again.
inline void clobberMemory() {
    asm volatile("" ::: "memory");
}

// The value is taken as used, so the loads that made it stay.
inline void keepValue(std::uint64_t value) {
    asm volatile("" : : "r"(value));
}

// What one thread found: the first mismatches in full, every one counted.
struct ThreadLog {
    std::vector<Mismatch> kept;
    std::int64_t total = 0;
    std::array<std::int64_t, 64> bitCounts{};
    std::array<std::int64_t, kPatternOrder.size()> patternErrors{};
    std::optional<platform::FrameUnknown> physicalUnknown;
};

// Where a check stands, for the mismatches it locates.
struct Position {
    PatternId pattern = PatternId::OwnAddress;
    std::int64_t cycle = 0;
    int phase = 0;
};

class Locator {
  public:
    Locator(ThreadLog& log, const platform::Pagemap& pagemap) : log_(log), pagemap_(pagemap) {}
    void moveTo(const Position& position) { position_ = position; }

    // A chunk [begin, end) whose differences came out as `seenBits` (0 when not known) for
    // `seen` elements (at least one): each wrong element is read again and located.
    template <class Memory, class Value>
    [[gnu::noinline, gnu::cold]] void rescan(const Memory& memory, std::int64_t begin,
                                             std::int64_t end, const Value& value,
                                             std::uint64_t seenBits, std::int64_t seen) {
        clobberMemory();
        bool any = false;
        for (std::int64_t i = begin; i < end; ++i) {
            const std::uint64_t expected = value(i);
            const std::uint64_t got = memory.load(i);
            if (got == expected) continue;
            wrong(memory, i, expected, got);
            any = true;
        }
        if (!any) unlocated(memory, begin, seenBits, seen);
    }

    // One element found wrong: read again, located, counted.
    template <class Memory>
    [[gnu::noinline, gnu::cold]] void wrong(const Memory& memory, std::int64_t offset,
                                            std::uint64_t expected, std::uint64_t got) {
        Mismatch m = at(memory, offset);
        m.expected = expected;
        m.got = got;
        m.xorBits = expected ^ got;
        m.reread = memory.reread(offset);
        record(m, 1);
    }

  private:
    template <class Memory>
    void unlocated(const Memory& memory, std::int64_t begin, std::uint64_t seenBits,
                   std::int64_t seen) {
        Mismatch m = at(memory, begin);
        m.xorBits = seenBits;
        m.located = false;
        record(m, seen);
    }

    template <class Memory>
    Mismatch at(const Memory& memory, std::int64_t offset) const {
        Mismatch m;
        m.pattern = position_.pattern;
        m.cycle = position_.cycle;
        m.phase = position_.phase;
        m.offset = offset;
        m.virtualAddress = memory.address(offset);
        return m;
    }

    void record(Mismatch& m, std::int64_t count) {
        log_.total += count;
        log_.patternErrors[static_cast<std::size_t>(m.pattern)] += count;
        for (int bit = 0; bit < 64; ++bit)
            if ((m.xorBits >> bit & 1) != 0) ++log_.bitCounts[static_cast<std::size_t>(bit)];
        if (log_.kept.size() >= kKeptMismatches) return;
        // Looked up now: the kernel may move the page later (compaction, or swap where the
        // block is not locked).
        const auto physical = pagemap_.physicalAddress(m.virtualAddress);
        if (physical)
            m.physicalAddress = *physical;
        else if (!log_.physicalUnknown)
            log_.physicalUnknown = physical.error();
        m.cpu = platform::currentCpu();
        log_.kept.push_back(m);
    }

    ThreadLog& log_;
    const platform::Pagemap& pagemap_;
    Position position_;
};

inline bool stopRequested(const StopFlag& stop) {
    return stop.load(std::memory_order_relaxed);
}

// The kernels. Each covers its range chunk by chunk with a look at the stop flag after each
// and returns the number of elements it covered. Their loops are plain, so that the
// compiler vectorises them over DirectMemory (thorough.cpp is built with the vectoriser's
// full cost model: GCC's -O2 one leaves reductions scalar); the compiler barrier after each chunk
// makes every store happen, and no value is taken from an earlier phase. Each takes its own copy of
// the pattern's value: one read through a reference might alias the block, and would be read again
// after every store.

template <class Memory, class Value>
[[gnu::noinline]] std::int64_t fill(const Memory& memory, Range range, const Value value,
                                    const StopFlag& stop) {
    for (std::int64_t chunk = range.begin; chunk < range.end; chunk += kCheckChunkElements) {
        const std::int64_t end = std::min(chunk + kCheckChunkElements, range.end);
        for (std::int64_t i = chunk; i < end; ++i) memory.store(i, value(i));
        clobberMemory();
        if (stopRequested(stop)) return end - range.begin;
    }
    return range.size();
}

// The differences of a chunk are folded into one word; only a chunk where it is not zero is
// read element by element.
template <class Memory, class Value>
[[gnu::noinline]] std::int64_t check(const Memory& memory, Range range, const Value value,
                                     Locator& locator, const StopFlag& stop) {
    clobberMemory();
    for (std::int64_t chunk = range.begin; chunk < range.end; chunk += kCheckChunkElements) {
        const std::int64_t end = std::min(chunk + kCheckChunkElements, range.end);
        std::uint64_t differences = 0;
        for (std::int64_t i = chunk; i < end; ++i) differences |= memory.load(i) ^ value(i);
        if (differences != 0) [[unlikely]]
            locator.rescan(memory, chunk, end, value, differences, 1);
        if (stopRequested(stop)) return end - range.begin;
    }
    return range.size();
}

// Moving inversions: each element is checked and at once written with its next value, so a
// write that disturbs a neighbour not yet visited is seen when the sweep reaches it. The
// order within the sweep is the point of the pattern, so the elements go one by one.
template <class Memory>
[[gnu::noinline]] std::int64_t checkAndWriteUp(const Memory& memory, Range range,
                                               std::uint64_t expected, std::uint64_t next,
                                               Locator& locator, const StopFlag& stop) {
    clobberMemory();
    for (std::int64_t chunk = range.begin; chunk < range.end; chunk += kCheckChunkElements) {
        const std::int64_t end = std::min(chunk + kCheckChunkElements, range.end);
        for (std::int64_t i = chunk; i < end; ++i) {
            const std::uint64_t got = memory.load(i);
            if (got != expected) [[unlikely]]
                locator.wrong(memory, i, expected, got);
            memory.store(i, next);
        }
        clobberMemory();
        if (stopRequested(stop)) return end - range.begin;
    }
    return range.size();
}

template <class Memory>
[[gnu::noinline]] std::int64_t checkAndWriteDown(const Memory& memory, Range range,
                                                 std::uint64_t expected, std::uint64_t next,
                                                 Locator& locator, const StopFlag& stop) {
    clobberMemory();
    const std::int64_t chunks = (range.size() + kCheckChunkElements - 1) / kCheckChunkElements;
    for (std::int64_t c = chunks - 1; c >= 0; --c) {
        const std::int64_t chunk = range.begin + c * kCheckChunkElements;
        const std::int64_t end = std::min(chunk + kCheckChunkElements, range.end);
        for (std::int64_t i = end - 1; i >= chunk; --i) {
            const std::uint64_t got = memory.load(i);
            if (got != expected) [[unlikely]]
                locator.wrong(memory, i, expected, got);
            memory.store(i, next);
        }
        clobberMemory();
        if (stopRequested(stop)) return range.end - chunk;
    }
    return range.size();
}

// The ceiling's read: every element loaded and summed, nothing compared.
template <class Memory>
[[gnu::noinline]] std::int64_t readAll(const Memory& memory, Range range, const StopFlag& stop) {
    clobberMemory();
    std::uint64_t sum = 0;
    for (std::int64_t chunk = range.begin; chunk < range.end; chunk += kCheckChunkElements) {
        const std::int64_t end = std::min(chunk + kCheckChunkElements, range.end);
        for (std::int64_t i = chunk; i < end; ++i) sum += memory.load(i);
        if (stopRequested(stop)) {
            keepValue(sum);
            return end - range.begin;
        }
    }
    keepValue(sum);
    return range.size();
}

// Backs the slice piece by piece, with a look at the stop flag between pieces: backing
// gigabytes takes seconds. Returns the elements backed and the failure, if any.
template <class Memory>
std::pair<std::int64_t, std::optional<platform::BackingFailure>> back(const Memory& memory,
                                                                      Range range,
                                                                      const StopFlag& stop) {
    constexpr std::int64_t piece = kBackingSliceBytes / 8;
    for (std::int64_t begin = range.begin; begin < range.end; begin += piece) {
        if (stopRequested(stop)) return {begin - range.begin, std::nullopt};
        const std::int64_t end = std::min(begin + piece, range.end);
        if (const auto backed = memory.back(begin, end); !backed)
            return {begin - range.begin, backed.error()};
    }
    return {range.size(), std::nullopt};
}

// The designed 1/0 cycle through memtest.h's own phases, with its mismatches located.
template <class Memory>
std::int64_t designWrite(const Memory& memory, Range range, std::int64_t value,
                         const StopFlag& stop) {
    return writeElements(memory.designElements(range.begin), range.size(), value,
                         [&] { return stopRequested(stop); });
}

template <class Memory>
std::int64_t designCheck(const Memory& memory, Range range, std::int64_t value, Locator& locator,
                         const StopFlag& stop) {
    std::int64_t errors = 0;
    const SolidValue expected{static_cast<std::uint64_t>(value)};
    return checkElements(
        memory.designElements(range.begin), range.size(), value, errors,
        [&] { return stopRequested(stop); },
        [&](std::int64_t first, std::int64_t wrong) {
            const std::int64_t at = range.begin + first;
            locator.rescan(memory, at, at + kElementsPerStep, expected, 0, wrong);
        });
}

// A thread for `body`, or none when the system has none to give.
using StartThread = std::function<std::optional<std::thread>(std::function<void()> body)>;

inline std::optional<std::thread> startThread(std::function<void()> body) {
    // std::thread reports a refused thread only by throwing; the run goes on with fewer.
    try {
        return std::thread(std::move(body));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

// What one step of the run is.
struct Step {
    ThoroughProgress::Stage stage = ThoroughProgress::Stage::Backing;
    PatternId pattern = PatternId::OwnAddress;
    int phase = 0;
    std::int64_t cycle = 0;  // of a phase
};

inline std::vector<Step> cycleSteps(const PatternSet& patterns, std::int64_t cycle) {
    std::vector<Step> steps;
    for (const PatternId pattern : patterns.inOrder())
        for (int phase = 0; phase < phaseCount(pattern); ++phase)
            steps.push_back({ThoroughProgress::Stage::Phase, pattern, phase, cycle});
    return steps;
}

// The steps up to the end of the first cycle and the ceiling. The first write takes what a
// fresh block costs on its first pass (a virtual machine's host backs a page then), and the
// ceiling is measured once the block has been through a whole cycle: the second pass over a
// fresh block was still slower there.
inline std::vector<Step> openingSteps(const PatternSet& patterns, bool ceiling) {
    using Stage = ThoroughProgress::Stage;
    std::vector<Step> steps = {{Stage::Backing}};
    if (ceiling) steps.push_back({Stage::FirstWrite});
    for (const Step& step : cycleSteps(patterns, 1)) steps.push_back(step);
    if (ceiling) {
        steps.push_back({Stage::CeilingWrite});
        steps.push_back({Stage::CeilingRead});
    }
    return steps;
}

template <class Memory>
class Runner {
  public:
    Runner(const Memory& memory, std::int64_t count, const ThoroughPlan& plan, const StopFlag& stop,
           const ProgressHook& progress, const platform::Pagemap& pagemap)
        : memory_(memory),
          count_(count),
          plan_(plan),
          stop_(stop),
          progress_(progress),
          pagemap_(pagemap),
          opening_(openingSteps(plan.patterns, plan.measureCeiling)),
          cycle_(cycleSteps(plan.patterns, 0)) {}

    ThoroughRun run(const StartThread& start = startThread) {
        const platform::CpuList cpus = plan_.cpus.empty() ? platform::CpuList{-1} : plan_.cpus;
        workers_ = std::vector<Worker>(cpus.size());
        std::latch ready(1);
        std::vector<std::thread> threads;
        for (std::size_t k = 0; k < cpus.size(); ++k) {
            auto thread = start([this, k, &ready] {
                ready.wait();
                if (k < started_) work(workers_[k]);
            });
            if (!thread) break;
            threads.push_back(std::move(*thread));
        }
        started_ = threads.size();
        const int slices = static_cast<int>(started_);
        for (int k = 0; k < slices; ++k) {
            Worker& w = workers_[static_cast<std::size_t>(k)];
            w.cpu = cpus[static_cast<std::size_t>(k)];
            w.slice = sliceOf(count_, slices, k);
        }
        if (slices > 0) barrier_.emplace(slices, Completion{this});
        stepStart_ = plan_.clock();
        ready.count_down();
        for (std::thread& thread : threads) thread.join();
        return outcome(static_cast<int>(cpus.size()) - slices);
    }

  private:
    struct Accumulated {
        std::int64_t runs = 0, elapsedNs = 0, written = 0, checked = 0, rewritten = 0;
    };
    struct Timed {
        std::int64_t bytes = 0, ns = 0;
        bool whole = false;
    };

    // One thread's own: written by it during a step, read by the barrier's completion.
    struct alignas(64) Worker {
        int cpu = -1;
        bool pinned = false;
        Range slice;
        std::int64_t written = 0, checked = 0;  // elements, in the step that ends
        std::optional<platform::BackingFailure> backingFailure;
        std::int64_t backingOffset = 0;
        ThreadLog log;
    };

    struct Completion {
        Runner* runner;
        void operator()() noexcept { runner->stepEnded(); }
    };

    void work(Worker& w) {
        if (w.cpu >= 0) w.pinned = platform::pinCurrentThread(w.cpu);
        w.log.kept.reserve(kKeptMismatches);
        Locator locator(w.log, pagemap_);
        for (const Step& step : opening_) {
            runStep(w, step, step.cycle, locator);
            if (!endStep()) return;
        }
        if (cycle_.empty()) return;
        for (std::int64_t cycle = 2; plan_.cycles == 0 || cycle <= plan_.cycles; ++cycle) {
            for (const Step& step : cycle_) {
                runStep(w, step, cycle, locator);
                if (!endStep()) return;
            }
        }
    }

    // Waits for the others; false when the run ends here.
    bool endStep() {
        barrier_->arrive_and_wait();
        return !halt_;
    }

    void runStep(Worker& w, const Step& step, std::int64_t cycle, Locator& locator) {
        using Stage = ThoroughProgress::Stage;
        const Range r = w.slice;
        w.written = w.checked = 0;
        if (step.stage == Stage::Backing) {
            const auto [backed, failure] = back(memory_, r, stop_);
            w.written = backed;
            w.backingFailure = failure;
            w.backingOffset = (r.begin + backed) * 8;
            return;
        }
        if (step.stage == Stage::FirstWrite || step.stage == Stage::CeilingWrite) {
            w.written = fill(memory_, r, SolidValue{0}, stop_);
            return;
        }
        if (step.stage == Stage::CeilingRead) {
            w.checked = readAll(memory_, r, stop_);
            return;
        }
        locator.moveTo({step.pattern, cycle, step.phase});
        const std::uint64_t inverted = (step.phase & 2) != 0 ? ~std::uint64_t{0} : 0;
        const bool writes = step.phase % 2 == 0;
        const auto fillOrCheck = [&](const auto& value) {
            if (writes)
                w.written = fill(memory_, r, value, stop_);
            else
                w.checked = check(memory_, r, value, locator, stop_);
        };
        switch (step.pattern) {
            case PatternId::OwnAddress:
                return fillOrCheck(OwnAddressValue{inverted});
            case PatternId::Solid:
                return fillOrCheck(SolidValue{inverted});
            case PatternId::Checkerboard:
                return fillOrCheck(CheckerboardValue{inverted});
            case PatternId::Walking:
                return fillOrCheck(WalkingValue{inverted});
            case PatternId::Random:
                return fillOrCheck(RandomValue{randomPatternKey(plan_.seed, cycle)});
            case PatternId::MovingInversions: {
                constexpr std::uint64_t p = kMovingInversionsStart;
                if (step.phase == 0)
                    w.written = fill(memory_, r, SolidValue{p}, stop_);
                else if (step.phase == 1)
                    w.written = w.checked = checkAndWriteUp(memory_, r, p, ~p, locator, stop_);
                else
                    w.written = w.checked = checkAndWriteDown(memory_, r, ~p, p, locator, stop_);
                return;
            }
            case PatternId::Design: {
                const std::int64_t value = step.phase < 2 ? 1 : 0;
                if (writes)
                    w.written = designWrite(memory_, r, value, stop_);
                else
                    w.checked = designCheck(memory_, r, value, locator, stop_);
                return;
            }
        }
    }

    // The elements a step covers in a slice when it is not cut short: the designed phases
    // leave the block's last partial 8-element step alone.
    static std::int64_t wholeStep(const Step& step, Range slice) {
        if (step.stage == ThoroughProgress::Stage::Phase && step.pattern == PatternId::Design)
            return slice.size() / kElementsPerStep * kElementsPerStep;
        return slice.size();
    }

    // The step that ends, with the cycle of a phase.
    Step currentStep() const {
        if (stepIndex_ < opening_.size()) return opening_[stepIndex_];
        const std::size_t k = stepIndex_ - opening_.size();
        Step step = cycle_[k % cycle_.size()];
        step.cycle = 2 + static_cast<std::int64_t>(k / cycle_.size());
        return step;
    }

    // Runs on the last thread to arrive while the others wait: the step's time and bytes
    // are gathered here, and here it is decided whether the run goes on.
    void stepEnded() {
        using Stage = ThoroughProgress::Stage;
        const std::uint64_t now = plan_.clock();
        const auto elapsed = static_cast<std::int64_t>(now - stepStart_);
        stepStart_ = now;
        const Step step = currentStep();
        std::int64_t written = 0, checked = 0, mismatches = 0;
        bool whole = true;
        for (std::size_t k = 0; k < started_; ++k) {
            const Worker& w = workers_[k];
            written += w.written;
            checked += w.checked;
            mismatches += w.log.total;
            whole = whole && std::max(w.written, w.checked) == wholeStep(step, w.slice);
            if (w.backingFailure && !failed_) failed_ = &w;
        }
        if (step.stage != Stage::Backing && step.stage != Stage::Phase) {
            Timed& t = step.stage == Stage::FirstWrite     ? firstWrite_
                       : step.stage == Stage::CeilingWrite ? ceilingWrite_
                                                           : ceilingRead_;
            t = {8 * std::max(written, checked), elapsed, whole};
        } else if (step.stage == Stage::Phase) {
            Accumulated& a = figures_[static_cast<std::size_t>(step.pattern)];
            a.elapsedNs += elapsed;
            a.written += 8 * written;
            a.checked += 8 * checked;
            if (step.pattern == PatternId::MovingInversions && step.phase > 0)
                a.rewritten += 8 * checked;
            cycleWhole_ = cycleWhole_ && whole;
            patternWhole_ = (step.phase == 0 || patternWhole_) && whole;
            if (whole && patternWhole_ && step.phase + 1 == phaseCount(step.pattern)) ++a.runs;
        }
        const bool lastOfCycle = step.stage == Stage::Phase &&
                                 step.pattern == cycle_.back().pattern &&
                                 step.phase == cycle_.back().phase;
        if (lastOfCycle) {
            if (cycleWhole_) ++cycles_;
            cycleWhole_ = true;
        }
        if (failed_ != nullptr) halt_ = true;
        if (stopRequested(stop_)) halt_ = stopped_ = true;
        if (progress_) {
            ThoroughProgress p;
            p.stage = step.stage;
            p.pattern = step.pattern;
            p.phase = step.phase;
            p.phases = step.stage == Stage::Phase ? phaseCount(step.pattern) : 0;
            p.cycle = step.cycle;
            p.mismatches = mismatches;
            p.elapsedNs = elapsed;
            progress_(p);
        }
        ++stepIndex_;
    }

    ThoroughRun outcome(int refused) {
        if (started_ == 0)
            return platform::Unexpected{
                ThoroughFailure{ThoroughFailure::Kind::NoThread, count_ * 8, std::nullopt, 0}};
        if (failed_ != nullptr)
            return platform::Unexpected{ThoroughFailure{
                ThoroughFailure::Kind::NoBacking, count_ * 8, failed_->backingFailure,
                failed_->backingOffset + failed_->backingFailure->offset}};
        ThoroughResult result;
        result.bytes = count_ * 8;
        result.seed = plan_.seed;
        result.cycles = cycles_;
        result.stopped = stopped_;
        result.threadsRefused = refused;
        for (std::size_t k = 0; k < started_; ++k) {
            const Worker& w = workers_[k];
            result.threads.push_back({w.cpu, w.pinned, w.slice.begin, w.slice.size()});
            result.mismatches.insert(result.mismatches.end(), w.log.kept.begin(), w.log.kept.end());
            result.mismatchCount += w.log.total;
            for (std::size_t bit = 0; bit < 64; ++bit)
                result.bitCounts[bit] += w.log.bitCounts[bit];
            if (!result.physicalUnknown) result.physicalUnknown = w.log.physicalUnknown;
        }
        // The order in which a single thread would have found them: by phase, then offset.
        const auto found = [](const Mismatch& m) {
            return std::tuple(m.cycle, static_cast<int>(m.pattern), m.phase, m.offset);
        };
        std::stable_sort(result.mismatches.begin(), result.mismatches.end(),
                         [&](const Mismatch& a, const Mismatch& b) { return found(a) < found(b); });
        if (result.mismatches.size() > kKeptMismatches) result.mismatches.resize(kKeptMismatches);

        if (firstWrite_.whole && ceilingWrite_.whole && ceilingRead_.whole) {
            Ceiling c;
            c.bytes = ceilingWrite_.bytes;
            c.firstWriteNs = firstWrite_.ns;
            c.writeNs = ceilingWrite_.ns;
            c.readNs = ceilingRead_.ns;
            c.writeBytesPerSecond = perSecond(c.bytes, c.writeNs);
            c.readBytesPerSecond = perSecond(ceilingRead_.bytes, c.readNs);
            result.ceiling = c;
        }
        for (const PatternId pattern : plan_.patterns.inOrder()) {
            const Accumulated& a = figures_[static_cast<std::size_t>(pattern)];
            PatternFigures f;
            f.pattern = pattern;
            f.runs = a.runs;
            f.elapsedNs = a.elapsedNs;
            f.bytesWritten = a.written;
            f.bytesChecked = a.checked;
            f.bytesRewritten = a.rewritten;
            for (std::size_t k = 0; k < started_; ++k)
                f.errors += workers_[k].log.patternErrors[static_cast<std::size_t>(pattern)];
            f.checkedBytesPerSecond = perSecond(a.checked, a.elapsedNs);
            if (result.ceiling && result.ceiling->writeBytesPerSecond &&
                result.ceiling->readBytesPerSecond && a.elapsedNs > 0) {
                const double plainSeconds =
                    static_cast<double>(a.written) / *result.ceiling->writeBytesPerSecond +
                    static_cast<double>(a.checked - a.rewritten) /
                        *result.ceiling->readBytesPerSecond;
                f.ceilingShare = plainSeconds / (static_cast<double>(a.elapsedNs) * 1e-9);
            }
            result.patterns.push_back(f);
        }
        return result;
    }

    static std::optional<double> perSecond(std::int64_t bytes, std::int64_t ns) {
        if (ns <= 0) return std::nullopt;
        return static_cast<double>(bytes) / (static_cast<double>(ns) * 1e-9);
    }

    const Memory& memory_;
    const std::int64_t count_;
    const ThoroughPlan& plan_;
    const StopFlag& stop_;
    const ProgressHook& progress_;
    const platform::Pagemap& pagemap_;
    const std::vector<Step> opening_;
    const std::vector<Step> cycle_;  // of the cycles after the first

    std::vector<Worker> workers_;
    std::size_t started_ = 0;
    std::optional<std::barrier<Completion>> barrier_;

    // Written only by the barrier's completion, read by the threads after it.
    bool halt_ = false;
    bool stopped_ = false;
    const Worker* failed_ = nullptr;
    std::uint64_t stepStart_ = 0;
    std::size_t stepIndex_ = 0;
    std::int64_t cycles_ = 0;
    bool cycleWhole_ = true;
    bool patternWhole_ = true;
    std::array<Accumulated, kPatternOrder.size()> figures_{};
    Timed firstWrite_, ceilingWrite_, ceilingRead_;
};

// The test over `count` elements of `memory`; runThoroughTest calls it with the block.
template <class Memory>
ThoroughRun runEngine(const Memory& memory, std::int64_t count, const ThoroughPlan& plan,
                      const StopFlag& stop, const ProgressHook& progress,
                      const platform::Pagemap& pagemap, const StartThread& start = startThread) {
    return Runner<Memory>(memory, count, plan, stop, progress, pagemap).run(start);
}

// The block as the machine has it.
class DirectMemory {
  public:
    explicit DirectMemory(std::uint64_t* base) : base_(base) {}
    std::uint64_t load(std::int64_t i) const { return base_[i]; }
    void store(std::int64_t i, std::uint64_t value) const { base_[i] = value; }
    // The line flushed first, so the value comes from the memory, not from a cache.
    std::uint64_t reread(std::int64_t i) const {
        _mm_clflush(base_ + i);
        _mm_mfence();
        return *static_cast<volatile std::uint64_t*>(base_ + i);
    }
    std::uint64_t address(std::int64_t i) const {
        return reinterpret_cast<std::uintptr_t>(base_ + i);
    }
    VolatileElements<std::int64_t> designElements(std::int64_t first) const {
        return {reinterpret_cast<std::int64_t*>(base_ + first)};
    }
    platform::Expected<void, platform::BackingFailure> back(std::int64_t begin,
                                                            std::int64_t end) const {
        return platform::backPages(base_ + begin, static_cast<std::size_t>(end - begin) * 8);
    }

  private:
    std::uint64_t* base_;
};

// The kernels over the real block are built once, in thorough.cpp, with the vectoriser's
// full cost model; a copy another file made without it could be the one the linker keeps.
#define CORVANE_THOROUGH_KERNELS(PREFIX)                                                           \
    PREFIX std::int64_t fill(const DirectMemory&, Range, OwnAddressValue, const StopFlag&);        \
    PREFIX std::int64_t fill(const DirectMemory&, Range, SolidValue, const StopFlag&);             \
    PREFIX std::int64_t fill(const DirectMemory&, Range, CheckerboardValue, const StopFlag&);      \
    PREFIX std::int64_t fill(const DirectMemory&, Range, WalkingValue, const StopFlag&);           \
    PREFIX std::int64_t fill(const DirectMemory&, Range, RandomValue, const StopFlag&);            \
    PREFIX std::int64_t check(const DirectMemory&, Range, OwnAddressValue, Locator&,               \
                              const StopFlag&);                                                    \
    PREFIX std::int64_t check(const DirectMemory&, Range, SolidValue, Locator&, const StopFlag&);  \
    PREFIX std::int64_t check(const DirectMemory&, Range, CheckerboardValue, Locator&,             \
                              const StopFlag&);                                                    \
    PREFIX std::int64_t check(const DirectMemory&, Range, WalkingValue, Locator&,                  \
                              const StopFlag&);                                                    \
    PREFIX std::int64_t check(const DirectMemory&, Range, RandomValue, Locator&, const StopFlag&); \
    PREFIX std::int64_t checkAndWriteUp(const DirectMemory&, Range, std::uint64_t, std::uint64_t,  \
                                        Locator&, const StopFlag&);                                \
    PREFIX std::int64_t checkAndWriteDown(const DirectMemory&, Range, std::uint64_t,               \
                                          std::uint64_t, Locator&, const StopFlag&);               \
    PREFIX std::int64_t readAll(const DirectMemory&, Range, const StopFlag&);

CORVANE_THOROUGH_KERNELS(extern template)

}  // namespace diag::engine
