// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/memtest.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "platform/backing.h"
#include "platform/oom.h"
#include "platform/rounding.h"
#include "platform/ticks.h"

namespace diag {

std::atomic<std::uint8_t> memTestStop{0};

std::int64_t memTestBlockBytes(std::int64_t available, int percent) {
    if (available <= 0 || percent <= 0) return 0;
    const long double bytes = static_cast<long double>(available);
    // Written as "less the share left", so 99 % is exactly the bytes less bytes x 0.01.
    const long double left = static_cast<long double>(100 - std::min(percent, 100)) / 100.0L;
    const std::int64_t block = platform::roundHalfEven(bytes - bytes * left);
    return block / kBlockGranule * kBlockGranule;
}

std::int64_t memTestSizeMiB(std::int64_t blockBytes) {
    return blockBytes / 1'048'576;
}

std::optional<std::int64_t> speedMbPerSec(std::int64_t sizeMiB, std::int32_t elapsedMs) {
    if (elapsedMs <= 0) return std::nullopt;
    return sizeMiB * 1000 / elapsedMs;
}

TestBlock TestBlock::map(std::int64_t bytes) {
    TestBlock block;
    if (bytes <= 0) return block;
    // MAP_NORESERVE is not asked for, so the kernel's commit accounting gets its say here
    // rather than at a later page fault.
    void* memory = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return block;
    // No MADV_HUGEPAGE: huge pages back a block faster only while free 2 MiB runs exist; a
    // block of nearly all free memory makes the kernel compact memory at each fault, and
    // then backing is several times slower than with small pages.
    block.data_ = static_cast<std::int64_t*>(memory);
    block.count_ = bytes / static_cast<std::int64_t>(sizeof(std::int64_t));
    return block;
}

platform::Expected<bool, platform::BackingFailure> TestBlock::backNextSlice() {
    const std::int64_t left = bytes() - backedBytes_;
    if (left <= 0) return false;
    const std::int64_t slice = std::min(left, kBackingSliceBytes);
    char* const start = reinterpret_cast<char*>(data_) + backedBytes_;
    if (auto backed = platform::backPages(start, static_cast<std::size_t>(slice)); !backed) {
        platform::BackingFailure failure = backed.error();
        failure.offset += backedBytes_;
        return platform::Unexpected{failure};
    }
    backedBytes_ += slice;
    return true;
}

TestBlock::~TestBlock() {
    release();
}

TestBlock::TestBlock(TestBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      count_(std::exchange(other.count_, 0)),
      backedBytes_(std::exchange(other.backedBytes_, 0)) {}

TestBlock& TestBlock::operator=(TestBlock&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        count_ = std::exchange(other.count_, 0);
        backedBytes_ = std::exchange(other.backedBytes_, 0);
    }
    return *this;
}

void TestBlock::release() {
    if (data_ != nullptr) {
        munmap(data_, static_cast<std::size_t>(count_) * sizeof(std::int64_t));
        data_ = nullptr;
        count_ = 0;
        backedBytes_ = 0;
    }
}

namespace {

bool stopRequested() {
    return memTestStop.load(std::memory_order_relaxed) == 1;
}

// Only a phase over the whole block has a speed: one cut short by STOP says nothing about
// the block's.
std::optional<PhaseSpeed> phaseSpeed(std::int64_t covered, std::int64_t count, std::int64_t sizeMiB,
                                     std::int32_t elapsedMs) {
    if (covered != count) return std::nullopt;
    const auto speed = speedMbPerSec(sizeMiB, elapsedMs);
    if (!speed) return std::nullopt;
    return PhaseSpeed{*speed, {count * static_cast<std::int64_t>(sizeof(std::int64_t)), elapsedMs}};
}

// The check of a view that locates mismatches: apart, so that the window's checks keep
// their loops free of any call.
[[gnu::noinline]] std::int64_t locatingCheck(const std::int64_t* block, std::int64_t count,
                                             std::int64_t value, std::int64_t& errors,
                                             MemTestView& view) {
    return checkPattern(
        block, count, value, errors, [] { return stopRequested(); },
        [&](std::int64_t first, std::int64_t wrong) {
            view.wrongStep(block, first, value, wrong);
        });
}

}  // namespace

MemTestTotals runMemTestCycles(std::int64_t* block, std::int64_t count, std::int64_t sizeMiB,
                               MemTestView& view, platform::TickSource ticks) {
    MemTestTotals totals;
    const auto stop = [] { return stopRequested(); };
    // Asked once, outside the timed phases.
    const bool locates = view.locatesMismatches();
    do {
        // Nothing but the phase itself between the two tick readings.
        std::uint32_t start = ticks();
        std::int64_t covered = writePattern(block, count, 1, stop);
        std::uint32_t end = ticks();
        if (const auto speed = phaseSpeed(covered, count, sizeMiB, platform::elapsedMs(start, end)))
            view.showWriteSpeed(*speed);
        view.processEvents(EventPoint::AfterWriteOnes);

        start = ticks();
        covered = locates ? locatingCheck(block, count, 1, totals.errors, view)
                          : checkPattern(block, count, 1, totals.errors, stop);
        end = ticks();
        if (const auto speed = phaseSpeed(covered, count, sizeMiB, platform::elapsedMs(start, end)))
            view.showCheckSpeed(*speed);
        view.showPasses(++totals.passes);
        view.processEvents(EventPoint::AfterCheckOnes);

        writePattern(block, count, 0, stop);
        view.processEvents(EventPoint::AfterWriteZeros);

        if (locates)
            locatingCheck(block, count, 0, totals.errors, view);
        else
            checkPattern(block, count, 0, totals.errors, stop);
        view.showPasses(++totals.passes);
        view.processEvents(EventPoint::AfterCheckZeros);

        view.showErrors(totals.errors);
        view.cycleEnded(++totals.cycles);
    } while (!stopRequested());
    return totals;
}

MemTestRun runMemTest(MemTestView& view, const platform::Sources& sources) {
    return runMemTestOnBlock(memTestBlockBytes(sources.memoryTestAllowance()), view, sources);
}

namespace {

// Maps the block and backs it slice by slice, with an event point before each slice; empty
// when STOP came first.
platform::Expected<std::optional<TestBlock>, NoBlock> backedBlock(std::int64_t bytes,
                                                                  MemTestView& view) {
    TestBlock block = TestBlock::map(bytes);
    if (!block) return platform::Unexpected{NoBlock{bytes, std::nullopt}};
    for (;;) {
        view.processEvents(EventPoint::DuringBacking);
        if (stopRequested()) return std::optional<TestBlock>();
        const auto backed = block.backNextSlice();
        if (!backed) {
            const platform::BackingFailure& failure = backed.error();
            std::optional<std::int64_t> poisoned;
            if (failure.kind == platform::BackingFailure::Kind::Poisoned) poisoned = failure.offset;
            return platform::Unexpected{NoBlock{bytes, poisoned}};
        }
        if (!*backed) return std::optional<TestBlock>(std::move(block));
    }
}

}  // namespace

MemTestRun runMemTestOnBlock(std::int64_t bytes, MemTestView& view,
                             const platform::Sources& sources) {
    const std::int64_t sizeMiB = memTestSizeMiB(bytes);
    view.showSize(sizeMiB);

    // Declared before the block, so it is put back only after the block is gone.
    const platform::FirstOomChoice firstOomChoice(sources.root);
    auto block = backedBlock(bytes, view);
    if (!block) {
        view.refused(block.error());
        view.ended();
        return platform::Unexpected{block.error()};
    }
    if (!*block) {
        view.ended();
        return MemTestTotals{};
    }
    TestBlock& backed = **block;
    const MemTestTotals totals =
        runMemTestCycles(backed.data(), backed.count(), sizeMiB, view, sources.clock.ticks);
    view.ended();
    return totals;
}

}  // namespace diag
