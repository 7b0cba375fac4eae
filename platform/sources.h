// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything a job reads of the machine besides its own work, handed to it as one value: the
// clocks, the root below which /proc and /sys are read, the memory status and the memory
// the memory test may take, the CPUs this process may run on, their quota and topology, and
// the processor's temperatures.
//
// The program builds one from the live machine; a test builds another and hands it over. No
// global is swapped under a test, so a reader sees every input of a job in its signature.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/cpu_quota.h"
#include "platform/cpus.h"
#include "platform/memory_limits.h"
#include "platform/memory_status.h"
#include "platform/temperatures.h"
#include "platform/ticks.h"
#include "platform/topology.h"

namespace platform {

// The clocks of every timing.
struct Clock {
    // Milliseconds of CLOCK_MONOTONIC in 32 bits, as every designed timing reads them.
    TickSource ticks = monotonicTicks;
    // Nanoseconds of CLOCK_MONOTONIC, for pieces of work far shorter than one tick.
    NanosecondSource nanoseconds = monotonicNanoseconds;
    // The processor's time-stamp counter.
    std::uint64_t (*timeStampCounter)() = readTimeStampCounter;
    void (*sleepMs)(std::uint32_t) = platform::sleepMs;
};

struct Sources {
    Clock clock;
    // /proc and /sys are read below it: "/" on the live machine, a fixture tree in a test.
    std::filesystem::path root = "/";
    // Where set, these answer instead of the files below `root`.
    std::function<std::optional<MemoryStatus>()> memoryStatusSource;
    std::function<std::optional<MemoryAllowance>()> memoryAllowanceSource;
    std::function<CpuList()> affinitySource;

    std::optional<MemoryStatus> memoryStatus() const {
        return memoryStatusSource ? memoryStatusSource() : readMemoryStatus(root);
    }
    std::optional<MemoryAllowance> memoryAllowance() const {
        return memoryAllowanceSource ? memoryAllowanceSource() : readMemoryAllowance(root);
    }
    // The bytes the memory test may take; 0 when they cannot be known.
    std::int64_t memoryTestAllowance() const {
        const auto allowance = memoryAllowance();
        return allowance ? allowance->bytes : 0;
    }
    CpuList allowedCpus() const {
        return affinitySource ? affinitySource() : platform::allowedCpus();
    }
    std::optional<CpuQuota> cpuQuota() const { return readCpuQuota(root); }
    CpuTopology cpuTopology() const { return readCpuTopology(root); }
    std::vector<TemperatureReading> temperatures() const { return readTemperatures(root); }
};

}  // namespace platform
