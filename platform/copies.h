// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Copies of this program, one pinned to each chosen CPU, that run the same step at the same
// moment and report it through memory they share with the program that started them.
//
// A copy is a process of its own, not a thread: the benchmark's kernels share program-wide
// buffers by design, so two of them in one process would share one buffer. A copy is the
// program started anew (never forked from a process that already has threads), and it dies
// with the process that started it.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cpus.h"
#include "platform/expected.h"

namespace platform {

// What a copy writes of one step, read by the group once every copy has finished it.
inline constexpr std::size_t kCopySlotBytes = 4096;

// One copy's timing of a step: CLOCK_MONOTONIC, the same clock in every process.
struct CopyTiming {
    std::uint64_t startNs = 0;
    std::uint64_t endNs = 0;
};

// The step every copy ran, timed from the moment the group released it until the last copy
// had finished.
struct GroupStep {
    std::uint64_t elapsedNs = 0;
    std::vector<CopyTiming> copies;
};

class CopyGroup {
  public:
    struct Launch {
        std::string program = "/proc/self/exe";
        // The copy's own arguments; the group appends "--copy-of" and where to find it.
        std::vector<std::string> arguments;
        CpuList cpus;  // one copy on each
        // How long a copy may take to start, or to finish a step, before the group gives up.
        std::chrono::milliseconds patience{std::chrono::minutes(10)};
    };

    // Starts the copies and waits until each is pinned and ready; the reason when one could
    // not be started, pinned or readied.
    static Expected<std::unique_ptr<CopyGroup>, std::string> start(const Launch& launch);

    // Ends the copies still running and waits for them.
    ~CopyGroup();
    CopyGroup(const CopyGroup&) = delete;
    CopyGroup& operator=(const CopyGroup&) = delete;

    std::size_t size() const {
        std::lock_guard lock(pidsMutex_);
        return pids_.size();
    }
    const CpuList& cpus() const { return cpus_; }

    // Releases step `step` in every copy at once and waits until each has finished it; the
    // reason when a copy died or took longer than the patience allows.
    Expected<GroupStep, std::string> run(int step);

    // What copy `index` wrote of the last step.
    const void* slot(std::size_t index) const;

    // Ends every copy now (Ctrl-C); may be called from another thread than the one that runs
    // the steps.
    void kill();

  private:
    friend class CopyMember;
    struct Shared;
    CopyGroup() = default;
    Expected<void, std::string> waitFor(int count, bool ready);
    std::optional<std::string> deadCopy();

    Shared* shared_ = nullptr;
    std::size_t sharedBytes_ = 0;
    CpuList cpus_;
    mutable std::mutex pidsMutex_;  // kill() comes from the Ctrl-C thread
    std::vector<pid_t> pids_;
    std::chrono::milliseconds patience_{};
};

// The program's side in a copy: the group it belongs to, found through the arguments the
// group appended ("--copy-of", then "FD:INDEX:CPU:PARENT").
class CopyMember {
  public:
    // Joins the group: dies with the parent, pins itself to its CPU. The reason when the
    // arguments are not the group's or the CPU refuses the copy.
    static Expected<CopyMember, std::string> join(const std::string& where);

    std::size_t index() const { return index_; }
    int cpu() const { return cpu_; }

    // Says that the copy is ready for its first step (its buffers backed).
    void ready();

    // Waits for the next step the group releases; nullopt when the group ends.
    std::optional<int> nextStep();

    // Where this copy writes what it reports of a step, before calling finished().
    void* slot();

    // Reports the step done, with its timing.
    void finished(const CopyTiming& timing);

  private:
    CopyMember() = default;
    CopyGroup::Shared* shared_ = nullptr;
    std::size_t index_ = 0;
    int cpu_ = -1;
    std::uint32_t seenGeneration_ = 0;
};

// The argument the group appends before its own "FD:INDEX:CPU:PARENT".
inline constexpr const char* kCopyOfArgument = "--copy-of";

}  // namespace platform
