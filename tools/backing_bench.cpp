// SPDX-License-Identifier: GPL-3.0-or-later
// Compares ways of backing the memory test's block before its first timed phase: one store
// per page, MADV_POPULATE_WRITE per slice, each with and without MADV_HUGEPAGE. Rounds
// alternate the methods, so a busy machine hurts them alike; a fresh mapping each time.
//
//   backing_bench [MiB per block = 2048] [rounds = 3] [only method 0-3]
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "diag/memtest.h"

namespace {

struct Method {
    const char* name;
    bool populate;
    bool hugePages;
};

// Seconds to back `bytes` in the memory test's slices; 0 when the mapping is refused.
double backOnce(std::size_t bytes, const Method& method) {
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return 0;
    if (method.hugePages) madvise(memory, bytes, MADV_HUGEPAGE);
    const auto start = std::chrono::steady_clock::now();
    const std::size_t slice = diag::kBackingSliceBytes;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    for (std::size_t offset = 0; offset < bytes; offset += slice) {
        char* const at = static_cast<char*>(memory) + offset;
        const std::size_t size = std::min(slice, bytes - offset);
        if (method.populate && madvise(at, size, MADV_POPULATE_WRITE) == 0) continue;
        volatile char* const pages = at;
        for (std::size_t i = 0; i < size; i += page) pages[i] = 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    munmap(memory, bytes);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 2048;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const int only = argc > 3 ? std::atoi(argv[3]) : -1;
    const std::size_t bytes = mib << 20;
    const Method methods[] = {{"store per page", false, false},
                              {"store per page, MADV_HUGEPAGE", false, true},
                              {"MADV_POPULATE_WRITE", true, false},
                              {"MADV_POPULATE_WRITE, MADV_HUGEPAGE", true, true}};
    std::vector<std::vector<double>> rates(std::size(methods));
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t m = 0; m < std::size(methods); ++m) {
            if (only >= 0 && static_cast<int>(m) != only) continue;
            const double seconds = backOnce(bytes, methods[m]);
            if (seconds <= 0) {
                std::fprintf(stderr, "%zu MiB refused\n", mib);
                return 1;
            }
            rates[m].push_back(static_cast<double>(bytes) / seconds / 1e9);
        }
    }
    for (std::size_t m = 0; m < std::size(methods); ++m) {
        if (rates[m].empty()) continue;
        std::sort(rates[m].begin(), rates[m].end());
        std::printf("%-36s %zu MiB: median %.2f GB/s, best %.2f, worst %.2f\n", methods[m].name,
                    mib, rates[m][rates[m].size() / 2], rates[m].back(), rates[m].front());
    }
    return 0;
}
