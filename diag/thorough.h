// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The thorough memory test: six patterns that find stuck, coupled and address faults, run
// over one block by a thread per chosen CPU, with every mismatch located down to the
// physical address and the CPU that saw it, and the speed of each pattern beside the
// block's plain write and read speed measured in the same run.
//
// corvane-report runs it; the window keeps the designed test of memtest.h. Everything here
// is numbers: present/ words them.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "diag/patterns.h"
#include "platform/backing.h"
#include "platform/cpus.h"
#include "platform/edac.h"
#include "platform/expected.h"
#include "platform/memlock.h"
#include "platform/pagemap.h"
#include "platform/ticks.h"

namespace diag {

// Set by STOP or Ctrl-C (a lock-free atomic may be stored from a signal handler); every
// thread looks at it after each chunk and between the pieces of its backing.
using StopFlag = std::atomic<bool>;

// A check reads a chunk of this many elements (4 KiB) with the differences folded together,
// and reads it element by element only when they were not all zero.
inline constexpr std::int64_t kCheckChunkElements = 512;
// The first mismatches are kept whole; the rest are counted.
inline constexpr std::size_t kKeptMismatches = 64;

struct Mismatch {
    PatternId pattern = PatternId::OwnAddress;
    std::int64_t cycle = 0;   // from 1
    int phase = 0;            // of the pattern, from 0
    std::int64_t offset = 0;  // element in the block
    std::uint64_t virtualAddress = 0;
    std::optional<std::uint64_t> physicalAddress;  // read from the page map when found
    std::uint64_t expected = 0;
    std::uint64_t got = 0;
    std::uint64_t xorBits = 0;  // expected ^ got
    // Read once more at once, after the cache line was flushed, so from the memory itself:
    // `got` again means the stored value is wrong, `expected` that the first read was.
    std::uint64_t reread = 0;
    int cpu = -1;  // the CPU of the thread that saw it; -1 when the system does not say
    // False for a chunk whose folded differences were not zero while no element of it was
    // wrong when read again: a wrong read, not a wrong stored value. `offset` is then the
    // chunk's first element, `xorBits` the differences seen, and the values are 0.
    bool located = true;
};

struct PatternFigures {
    PatternId pattern = PatternId::OwnAddress;
    std::int64_t runs = 0;  // complete runs over the whole block
    std::int64_t elapsedNs = 0;
    std::int64_t bytesWritten = 0;
    std::int64_t bytesChecked = 0;
    // Of those, checked and written again in place (moving inversions): each line is read and
    // written back once, as a plain write does.
    std::int64_t bytesRewritten = 0;
    std::int64_t errors = 0;                      // mismatches its checks found, located or not
    std::optional<double> checkedBytesPerSecond;  // absent for an elapsed time of 0
    // The time the ceiling's plain write and read would take to move the same lines, over the
    // time the pattern took: 1 is as fast as the memory allows. Absent without a ceiling.
    std::optional<double> ceilingShare;
};

// One plain sequential write and one plain read of the whole block by the same threads,
// after the first cycle; and the first plain write, before it. On a virtual machine the host
// backs a guest page only when the guest first writes it, whatever the guest kernel did to
// back it (0.1-0.4 GB/s): the first write takes that time, so that no pattern does.
struct Ceiling {
    std::int64_t bytes = 0;
    std::int64_t firstWriteNs = 0;
    std::int64_t writeNs = 0;
    std::int64_t readNs = 0;
    std::optional<double> writeBytesPerSecond;
    std::optional<double> readBytesPerSecond;
};

struct ThreadPlacement {
    int cpu = -1;  // asked for; -1 unpinned
    bool pinned = false;
    std::int64_t firstElement = 0;
    std::int64_t elements = 0;
};

struct ThoroughResult {
    std::int64_t bytes = 0;  // of the block
    std::uint64_t seed = 0;
    std::int64_t cycles = 0;  // complete cycles
    bool stopped = false;     // by the stop flag
    std::vector<ThreadPlacement> threads;
    int threadsRefused = 0;  // asked for but not started by the system
    std::optional<Ceiling> ceiling;
    std::vector<PatternFigures> patterns;  // in the order of a cycle
    std::vector<Mismatch> mismatches;      // the first kKeptMismatches, in the order found
    std::int64_t mismatchCount = 0;
    std::array<std::int64_t, 64> bitCounts{};  // how often each bit position was wrong
    // Why some kept mismatches lack a physical address (the first reason met).
    std::optional<platform::FrameUnknown> physicalUnknown;
    bool locked = false;
    std::optional<platform::LockRefusal> lockRefusal;  // when locking was asked and refused
    // The block against 4x the last-level cache: under it, caches answer much of the test.
    std::optional<bool> smallerThanFourCaches;
    // What the memory controllers counted during the run; absent without EDAC.
    std::optional<platform::EdacChange> edac;

    // A mismatch or a rise of the controllers' error counts.
    bool foundErrors() const { return mismatchCount > 0 || (edac && edac->rose()); }
};

struct ThoroughPlan {
    std::int64_t bytes = 0;
    PatternSet patterns = PatternSet::thorough();
    std::int64_t cycles = 1;  // 0: until the stop flag
    std::uint64_t seed = 0;   // of the random pattern; the caller shows it
    // One thread per CPU, each pinned to it; empty: one thread, not pinned.
    platform::CpuList cpus;
    std::optional<std::int64_t> lastLevelCacheBytes;
    bool measureCeiling = true;
    bool lock = true;
    platform::NanosecondSource clock = platform::monotonicNanoseconds;
    // /proc/self/pagemap and /sys/devices/system/edac are read below it.
    std::filesystem::path root = "/";
};

struct ThoroughFailure {
    enum class Kind {
        NoBlock,    // the system would not map the block
        NoThread,   // not one thread could be started
        NoBacking,  // a slice could not be backed
    };
    Kind kind = Kind::NoBlock;
    std::int64_t bytes = 0;  // of the block
    std::optional<platform::BackingFailure> backing;
    std::int64_t backingOffset = 0;  // bytes into the block where backing failed
};

using ThoroughRun = platform::Expected<ThoroughResult, ThoroughFailure>;

// Each step that ended, as the test goes: called on one of the test's threads while the
// others wait, so it should be quick.
struct ThoroughProgress {
    enum class Stage { Backing, FirstWrite, CeilingWrite, CeilingRead, Phase };
    Stage stage = Stage::Backing;
    PatternId pattern = PatternId::OwnAddress;  // of a phase
    int phase = 0;
    int phases = 0;
    std::int64_t cycle = 0;  // of a phase, from 1
    std::int64_t mismatches = 0;
    std::int64_t elapsedNs = 0;
};
using ProgressHook = std::function<void(const ThoroughProgress&)>;

// Maps the block, makes the process the out-of-memory killer's first choice, locks the
// block where allowed, has each thread back its own slice (so a NUMA machine tests memory
// near the CPU), measures the ceiling and runs the cycles. EDAC counts are read before and
// after.
ThoroughRun runThoroughTest(const ThoroughPlan& plan, const StopFlag& stop,
                            const ProgressHook& progress = {});

}  // namespace diag
