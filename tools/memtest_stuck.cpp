// SPDX-License-Identifier: GPL-3.0-or-later
// A stuck bit end to end: the thorough memory test runs over a real block while a second
// thread keeps clearing one bit of one element, as a cell stuck at 0 would, and the located
// mismatches are printed one line each.
//
//   memtest_stuck [MiB = 256] [element = 1234567] [bit = 33]
//
// The engine runs over the tool's own block (runThoroughTest does not hand out its
// address); the bit is cleared with an atomic and, so no other bit of the element is lost.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "diag/memtest.h"
#include "diag/thorough.h"
#include "diag/thorough_engine.h"
#include "platform/cpus.h"

int main(int argc, char** argv) {
    const std::int64_t mib = argc > 1 ? std::atoll(argv[1]) : 256;
    const std::int64_t element = argc > 2 ? std::atoll(argv[2]) : 1234567;
    const int bit = argc > 3 ? std::atoi(argv[3]) : 33;
    diag::TestBlock block = diag::TestBlock::map(mib << 20);
    if (!block || element < 0 || element >= block.count() || bit < 0 || bit > 63) {
        std::fprintf(stderr, "no block of %lld MiB, or the element or bit is outside it\n",
                     static_cast<long long>(mib));
        return 2;
    }
    auto* const base = reinterpret_cast<std::uint64_t*>(block.data());

    diag::ThoroughPlan plan;
    plan.bytes = block.count() * 8;
    plan.cpus = platform::allowedCpus();
    std::random_device entropy;
    plan.seed = std::uint64_t{entropy()} << 32 | entropy();
    diag::StopFlag stop{false};
    std::atomic<bool> running{true};
    std::thread cell([&] {
        std::atomic_ref<std::uint64_t> value(base[element]);
        while (running.load()) {
            value.fetch_and(~(std::uint64_t{1} << bit));
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    const platform::Pagemap pagemap;
    const diag::engine::DirectMemory memory(base);
    const auto run =
        diag::engine::runEngine(memory, block.count(), plan, stop, diag::ProgressHook{}, pagemap);
    running.store(false);
    cell.join();
    if (!run) {
        std::fprintf(stderr, "the test could not run (failure %d)\n",
                     static_cast<int>(run.error().kind));
        return 1;
    }
    std::printf("block %lld MiB at %p, element %lld bit %d held at 0, seed 0x%016" PRIx64 "\n",
                static_cast<long long>(mib), static_cast<void*>(base),
                static_cast<long long>(element), bit, plan.seed);
    for (const diag::Mismatch& m : run->mismatches) {
        char physical[24] = "unknown";
        if (m.physicalAddress)
            std::snprintf(physical, sizeof physical, "0x%" PRIx64, *m.physicalAddress);
        std::printf("mismatch pattern=%s cycle=%" PRId64 " phase=%d offset=%" PRId64
                    " virtual=0x%" PRIx64 " physical=%s expected=0x%016" PRIx64 " got=0x%016" PRIx64
                    " xor=0x%016" PRIx64 " reread=0x%016" PRIx64 " cpu=%d\n",
                    std::string(diag::patternName(m.pattern)).c_str(), m.cycle, m.phase, m.offset,
                    m.virtualAddress, physical, m.expected, m.got, m.xorBits, m.reread, m.cpu);
    }
    std::printf("mismatches: %" PRId64 ", physical unknown: %s; bit counts:", run->mismatchCount,
                run->physicalUnknown ? "yes (frame numbers need root)" : "no");
    for (int b = 0; b < 64; ++b)
        if (run->bitCounts[static_cast<std::size_t>(b)] != 0)
            std::printf(" bit %d: %" PRId64, b, run->bitCounts[static_cast<std::size_t>(b)]);
    std::printf("\n");
    return run->mismatchCount > 0 ? 0 : 1;
}
