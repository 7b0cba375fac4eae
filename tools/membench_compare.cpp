// SPDX-License-Identifier: GPL-3.0-or-later
// Checks the memory benchmark's two figures against a measurement of our own: the same
// access patterns, written again here with volatile accesses and timed with a nanosecond
// clock, reported as bytes per second. Run it on a quiet machine:
//
//   membench_compare [rounds]
//
// Each round runs the product's write and read measurements, then the independent loops,
// and prints one line per figure; the product's figures are converted to the same unit.

#include <sys/mman.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "membench/memory_speed.h"
#include "present/words.h"
#include "sysinfo/sweep.h"

namespace {

constexpr std::size_t kWriteBytes = 16u << 20;
constexpr int kWritePasses = 1000;
constexpr std::size_t kReadBytes = 8u << 20;
constexpr int kReadPasses = 999;

// Our own 16 MiB, apart from the sweep buffer, with every page written before timing.
alignas(4096) std::uint32_t ownBuffer[kWriteBytes / 4];

double seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// 1, 0, 1, 0 ... as 32-bit stores over the whole buffer, `passes` times.
double independentWriteBytesPerSecond() {
    std::memset(ownBuffer, 0, sizeof ownBuffer);
    volatile std::uint32_t* const words = ownBuffer;
    const double start = seconds();
    for (int pass = 0; pass < kWritePasses; ++pass) {
        for (std::size_t i = 0; i < kWriteBytes / 4; i += 2) {
            words[i] = 1;
            words[i + 1] = 0;
        }
    }
    const double elapsed = seconds() - start;
    return static_cast<double>(kWriteBytes) * kWritePasses / elapsed;
}

// One 32-bit load per 32 bytes of a written 8 MiB block; counted, like the product does,
// as the whole span passed over.
// With `written` false the block is never written, so every page reads the one shared zero
// page: the figure the benchmark would show without backing its block first.
double independentReadBytesPerSecond(bool written) {
    void* block =
        mmap(nullptr, kReadBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return 0;
    if (written) std::memset(block, 0x5A, kReadBytes);
    const volatile std::uint32_t* const words = static_cast<std::uint32_t*>(block);
    std::uint32_t sum = 0;
    const double start = seconds();
    for (int pass = 0; pass < kReadPasses; ++pass) {
        for (std::size_t i = 0; i < kReadBytes / 4; i += 8) sum += words[i];
    }
    const double elapsed = seconds() - start;
    munmap(block, kReadBytes);
    if (sum == 1) std::puts("");  // keeps the sum alive
    return static_cast<double>(kReadBytes) * kReadPasses / elapsed;
}

// The product's figure as bytes per second: 16,800,000 / ms for 16,777,216,000 bytes, and
// 7,992,000 / ms for 999 passes of 8 MiB.
double productWriteBytesPerSecond(std::int32_t figure) {
    return static_cast<double>(figure) * (16'777'216'000.0 / 16'800'000.0) * 1000.0;
}
double productReadBytesPerSecond(std::int32_t figure) {
    return static_cast<double>(figure) * (999.0 * 8'388'608.0 / 7'992'000.0) * 1000.0;
}

void report(const char* what, const membench::Measured& product, double productBps,
            double independentBps) {
    if (!product) {
        std::printf("%-6s product: %s\n", what, present::speedText(product).c_str());
        return;
    }
    std::printf(
        "%-6s product %8d \"Mb/sec\" = %7.0f MB/s (%7.0f MiB/s) | independent %7.0f MB/s "
        "(%7.0f MiB/s) | ratio %.3f\n",
        what, product->figure, productBps / 1e6, productBps / 1048576.0, independentBps / 1e6,
        independentBps / 1048576.0, productBps / independentBps);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    sysinfo::backSweepBuffer();
    for (int round = 0; round < rounds; ++round) {
        const membench::Measured write = membench::writeMeasurement(platform::Clock{});
        const double ownWrite = independentWriteBytesPerSecond();
        report("write", write, write ? productWriteBytesPerSecond(write->figure) : 0, ownWrite);
        const membench::Measured read = membench::readMeasurement(platform::Clock{});
        const double ownRead = independentReadBytesPerSecond(true);
        report("read", read, read ? productReadBytesPerSecond(read->figure) : 0, ownRead);
        const double zeroPage = independentReadBytesPerSecond(false);
        std::printf(
            "       read over never-written pages: %7.0f MiB/s (%.2f x the written block)\n",
            zeroPage / 1048576.0, zeroPage / ownRead);
    }
    return 0;
}
