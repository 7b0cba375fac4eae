// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo/sweep.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

#include "platform/ticks.h"

namespace sysinfo {

// Page-aligned so that backing it touches exactly its own pages.
alignas(4096) std::int64_t sweepBuffer[kSweepBufferElements];
volatile std::int32_t sweepSink;

namespace {
constexpr std::int32_t kRateNumerator = 640'000;
constexpr std::int32_t kElementsPerPage = 4096 / sizeof(std::int64_t);
constexpr std::int32_t kChunkElements = 131'072;  // 1 MiB of addresses
}  // namespace

void backSweepBuffer() {
    // A never-written static buffer reads from the kernel's single zero page, so every
    // sweep would run at cache speed whatever its size. One store per page gives each page
    // its own memory. Each store writes back the value read, so the contents never change,
    // and goes through a volatile pointer so the compiler keeps it all the same.
    volatile std::int64_t* const elements = sweepBuffer;
    for (std::int32_t i = 0; i < kSweepBufferElements; i += kElementsPerPage) {
        elements[i] = elements[i];
    }
    elements[kSweepBufferElements - 1] = elements[kSweepBufferElements - 1];
}

namespace {
int sweepBufferUses = 0;
}  // namespace

SweepBufferUse::SweepBufferUse() {
    ++sweepBufferUses;
}

SweepBufferUse::~SweepBufferUse() {
    if (--sweepBufferUses > 0) return;
    // Whole pages only: the element past 16 MiB shares its page with other data.
    constexpr std::size_t kWholePages = sizeof(sweepBuffer) / 4096 * 4096;
    // Advice, not a need: where the system declines, the pages just stay.
    madvise(sweepBuffer, kWholePages, MADV_DONTNEED);
}

std::int64_t sweepPassCount(std::int32_t blockLength, std::int32_t volumeFactor) {
    // Signed 32-bit as the sweep defines it; factors up to 2047 keep the shift in range.
    const std::int32_t countdown = (volumeFactor << 20) / blockLength;
    return countdown < 0 ? 0 : static_cast<std::int64_t>(countdown) + 1;
}

std::int32_t sweepRate(std::int32_t elapsedMs) {
    // A sweep quicker than one tick rates as if it took one: 640000, the highest rate the
    // tick counter can resolve. Neighbouring sweeps that the counter cannot tell apart then
    // compare equal in the cache detection's "r[k-1] > 1.37 x r[k]", so no drop is reported
    // for a difference under one tick, while a later sweep that really slows down still
    // shows as one. INT32_MAX would instead report a drop against any measurable sweep.
    if (elapsedMs <= 0) return kRateNumerator;
    return kRateNumerator / elapsedMs;
}

// Each step reads elements i + 8 down to i and stores each read into the sweep sink.
void sweepBlock(const std::int64_t* buffer, std::int32_t blockLength, std::int64_t passes) {
    std::int32_t* const sink = const_cast<std::int32_t*>(&sweepSink);
    const std::int64_t limit = blockLength;
    for (std::int64_t pass = 0; pass < passes; ++pass) {
        std::int64_t i = 0;
        // Written out so the loads stay nine 32-bit reads going downward, each stored to the
        // sink at once, with the signed test after the step; no compiler may widen, merge,
        // vectorise or drop them.
        asm volatile(
            "1:\n\t"
            "movl 64(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl 56(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl 48(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl 40(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl 32(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl 24(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl 16(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl 8(%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "movl (%[buffer],%[i],8), %%eax\n\t"
            "movl %%eax, (%[sink])\n\t"
            "addq $8, %[i]\n\t"
            "cmpq %[i], %[limit]\n\t"
            "jg 1b\n\t"
            : [i] "+r"(i)
            : [buffer] "r"(buffer), [sink] "r"(sink), [limit] "r"(limit)
            : "eax", "cc", "memory");
    }
}

std::int32_t memorySweep(std::int32_t blockLength, std::int32_t volumeFactor,
                         platform::TickSource ticks, SweepBlockRoutine block) {
    const std::int64_t passes = sweepPassCount(blockLength, volumeFactor);
    const std::uint32_t start = ticks();
    block(sweepBuffer, blockLength, passes);
    const std::uint32_t end = ticks();
    return sweepRate(platform::elapsedMs(start, end));
}

void sweepTail(std::int32_t volumeFactor, platform::TickSource ticks, SweepBlockRoutine block) {
    for (const std::int32_t blockLength : kSweepTailBlocks) {
        memorySweep(blockLength, volumeFactor, ticks, block);
    }
}

std::int64_t chunkPassCount(std::int32_t blockLength) {
    return blockLength >= kChunkElements ? 1 : kChunkElements / blockLength;
}

std::int32_t fastestChunkRate(std::int32_t blockLength, std::int32_t volumeFactor,
                              platform::NanosecondSource nanoseconds, SweepBlockRoutine block) {
    const std::int64_t passes = sweepPassCount(blockLength, volumeFactor);
    const std::int64_t perChunk = chunkPassCount(blockLength);
    // Per pass, in nanoseconds; compared as fractions so the last, shorter chunk counts too.
    std::uint64_t bestNs = 0;
    std::int64_t bestPasses = 0;
    for (std::int64_t done = 0; done < passes; done += perChunk) {
        const std::int64_t chunk = passes - done < perChunk ? passes - done : perChunk;
        const std::uint64_t start = nanoseconds();
        block(sweepBuffer, blockLength, chunk);
        // A chunk faster than the clock's unit counts as one unit, as a 0 ms sweep counts
        // as one millisecond.
        const std::uint64_t ns = std::max<std::uint64_t>(nanoseconds() - start, 1);
        if (bestPasses == 0 || ns * static_cast<std::uint64_t>(bestPasses) <
                                   bestNs * static_cast<std::uint64_t>(chunk)) {
            bestNs = ns;
            bestPasses = chunk;
        }
    }
    if (bestPasses == 0) return kRateNumerator;
    // 640000 / elapsed ms = 640000e6 / elapsed ns, elapsed = all passes at the best pace.
    const long double elapsedNs =
        static_cast<long double>(bestNs) * static_cast<long double>(passes) / bestPasses;
    const long double rate = 640'000.0e6L / elapsedNs;
    return rate >= INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(rate);
}

}  // namespace sysinfo
