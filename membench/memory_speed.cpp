// SPDX-License-Identifier: GPL-3.0-or-later
#include "membench/memory_speed.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

#include "platform/backing.h"
#include "platform/ticks.h"
#include "sysinfo/sweep.h"

namespace membench {
namespace {

Measured fromElapsed(std::int32_t elapsedMs, std::int64_t numerator, std::int64_t bytes) {
    // 0 ms is below the counter's resolution, not infinite speed; a negative time would need
    // the counter to run backwards.
    if (elapsedMs <= 0) return platform::Unexpected{NoSpeed::tooFastToTime};
    return Speed{static_cast<std::int32_t>(numerator / elapsedMs), {bytes, elapsedMs}};
}

}  // namespace

void writePattern(void* start, std::size_t bytes, std::int32_t passes) {
    auto* const begin = static_cast<char*>(start);
    char* const end = begin + bytes / 1024 * 1024;
    for (std::int32_t pass = 0; pass < passes; ++pass) {
        for (char* step = begin; step != end; step += 1024) {
            // 256 separate movl stores, unrolled by the assembler: 1 at every low half of an
            // 8-byte element, 0 at every high half.
            asm volatile(
                ".set .Lcorvane_store, 0\n\t"
                ".rept 128\n\t"
                "movl $1, .Lcorvane_store(%0)\n\t"
                "movl $0, .Lcorvane_store+4(%0)\n\t"
                ".set .Lcorvane_store, .Lcorvane_store+8\n\t"
                ".endr"
                :
                : "r"(step)
                : "memory");
        }
    }
}

std::int32_t stridedReadPass(const void* block, std::uint32_t size, std::int32_t passes,
                             platform::TickSource ticks) {
    const auto* const base = static_cast<const char*>(block);
    platform::yieldSlice();
    const std::uint32_t start = ticks();
    for (std::int32_t pass = 0; pass < passes; ++pass) {
        // 64-bit offset: a size just below 4 GiB must not wrap the walk back to 0.
        for (std::uint64_t offset = 0; offset < size; offset += 32) {
            std::uint32_t discarded;
            asm volatile("movl %1, %0"
                         : "=r"(discarded)
                         : "m"(*reinterpret_cast<const std::uint32_t*>(base + offset)));
        }
    }
    return platform::elapsedMs(start, ticks());
}

Measured writeSpeed(std::int32_t elapsedMs, std::int64_t bytes) {
    return fromElapsed(elapsedMs, 16'800'000, bytes);
}

Measured readSpeed(std::int32_t elapsedMs, std::int64_t bytes) {
    return fromElapsed(elapsedMs, std::int64_t{8} * 999 * 1000, bytes);
}

Measured writeMeasurement(const platform::Clock& clock, const Workload& workload) {
    const std::int32_t passes = workload.writePasses;
    const std::uint32_t start = clock.ticks();
    writePattern(sysinfo::sweepBuffer, kWriteBytes, passes);
    return writeSpeed(platform::elapsedMs(start, clock.ticks()),
                      static_cast<std::int64_t>(kWriteBytes) * passes);
}

Measured readMeasurement(const platform::Clock& clock, const Workload& workload) {
    const ReadBlock block(workload.readBlockBytes);
    if (!block.obtained()) return platform::Unexpected{NoSpeed::blockRefused};
    const auto size = static_cast<std::uint32_t>(
        std::min<std::size_t>(block.size(), std::numeric_limits<std::uint32_t>::max()));
    return readSpeed(stridedReadPass(block.data(), size, workload.readPasses, clock.ticks),
                     static_cast<std::int64_t>(size) * workload.readPasses);
}

ReadBlock::ReadBlock(std::size_t bytes) {
    if (bytes == 0) return;
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return;
    // A block the kernel cannot back is as good as refused: a pass over partly unbacked
    // pages would time the shared zero page.
    if (!platform::backPages(mapped, bytes)) {
        munmap(mapped, bytes);
        return;
    }
    data_ = mapped;
    size_ = bytes;
}

ReadBlock::~ReadBlock() {
    if (data_ != nullptr) munmap(data_, size_);
}

}  // namespace membench
