// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cpus.h"

#include <sched.h>

#include <memory>

namespace platform {
namespace {

// Large enough for any machine the kernel supports (CONFIG_NR_CPUS is at most 8192).
constexpr int kMaxCpus = 8192;

struct CpuMask {
    CpuMask() : set(CPU_ALLOC(kMaxCpus)), size(CPU_ALLOC_SIZE(kMaxCpus)) {
        if (set != nullptr) CPU_ZERO_S(size, set);
    }
    ~CpuMask() { CPU_FREE(set); }
    CpuMask(const CpuMask&) = delete;
    CpuMask& operator=(const CpuMask&) = delete;

    cpu_set_t* set;
    std::size_t size;
};

}  // namespace

CpuList allowedCpus() {
    CpuMask mask;
    if (mask.set == nullptr || sched_getaffinity(0, mask.size, mask.set) != 0) return {};
    CpuList cpus;
    for (int cpu = 0; cpu < kMaxCpus; ++cpu)
        if (CPU_ISSET_S(static_cast<std::size_t>(cpu), mask.size, mask.set)) cpus.push_back(cpu);
    return cpus;
}

bool pinCurrentThread(int cpu) {
    return allowCurrentThread({cpu});
}

bool allowCurrentThread(const CpuList& cpus) {
    CpuMask mask;
    if (mask.set == nullptr || cpus.empty()) return false;
    for (const int cpu : cpus) {
        if (cpu < 0 || cpu >= kMaxCpus) return false;
        CPU_SET_S(static_cast<std::size_t>(cpu), mask.size, mask.set);
    }
    return sched_setaffinity(0, mask.size, mask.set) == 0;
}

int currentCpu() {
    return sched_getcpu();
}

}  // namespace platform
