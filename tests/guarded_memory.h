// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Memory for tests of code that must touch exactly the bytes it is given: a block followed
// by an inaccessible page, and how much private memory really backs an address range.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

// `elements` 64-bit values ending exactly where an inaccessible page begins, so that any
// read past the last element faults.
class GuardedBlock {
  public:
    explicit GuardedBlock(std::size_t elements) {
        const std::size_t bytes = elements * sizeof(std::int64_t);
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        mapped_ = (bytes + page - 1) / page * page + page;
        void* base =
            mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) return;
        base_ = static_cast<char*>(base);
        mprotect(base_ + mapped_ - page, page, PROT_NONE);
        elements_ = reinterpret_cast<std::int64_t*>(base_ + mapped_ - page - bytes);
    }
    ~GuardedBlock() {
        if (base_) munmap(base_, mapped_);
    }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    std::int64_t* elements() const { return elements_; }

  private:
    std::size_t mapped_ = 0;
    char* base_ = nullptr;
    std::int64_t* elements_ = nullptr;
};

// Kilobytes of private anonymous memory (pages of its own, not the shared zero page) in
// the mappings that overlap [begin, end).
inline long anonymousKilobytes(const void* begin, const void* end) {
    std::ifstream smaps("/proc/self/smaps");
    const auto lo = reinterpret_cast<std::uintptr_t>(begin);
    const auto hi = reinterpret_cast<std::uintptr_t>(end);
    bool inside = false;
    long total = 0;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t start = 0, stop = 0;
        char dash = 0;
        std::istringstream header(line);
        if (header >> std::hex >> start >> dash >> stop && dash == '-')
            inside = start < hi && stop > lo;
        else if (inside && line.starts_with("Anonymous:"))
            total += std::stol(line.substr(10));
    }
    return total;
}
