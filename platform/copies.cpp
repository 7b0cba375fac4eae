// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/copies.h"

#include <linux/futex.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "platform/system_file.h"
#include "platform/ticks.h"

extern char** environ;

namespace platform {

// The memory the group shares with its copies: a header, then one lane per copy. Lock-free
// atomics are address-free, so they work in memory that several processes map.
struct alignas(64) CopyGroup::Shared {
    // Raised to release a step (or the end) to every copy; copies sleep on it.
    std::atomic<std::uint32_t> generation{0};
    // Copies that are ready (before the first step) or have finished the step released; the
    // group sleeps on it.
    std::atomic<std::uint32_t> arrived{0};
    std::atomic<std::int32_t> step{-1};  // the step released; kEnd ends the copies
    std::uint32_t copies = 0;
    std::uint64_t releasedNs = 0;

    struct Lane {
        CopyTiming timing;
        alignas(64) unsigned char slot[kCopySlotBytes];
    };
    Lane* lanes() { return reinterpret_cast<Lane*>(this + 1); }

    static std::size_t bytesFor(std::size_t copies) {
        // The lanes follow the header at its size, which must keep them aligned.
        static_assert(sizeof(Shared) % alignof(Lane) == 0);
        return sizeof(Shared) + copies * sizeof(Lane);
    }
};

namespace {

constexpr std::int32_t kEnd = -1;
// Where a copy finds the shared memory: a descriptor number far above what a program opens
// before its own main begins.
constexpr int kSharedDescriptor = 100;
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// Futex calls on a word that other processes map too: never the private kind.
long futexWait(std::atomic<std::uint32_t>& word, std::uint32_t seen, const timespec* timeout) {
    return syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT, seen, timeout,
                   nullptr, 0);
}

void futexWakeAll(std::atomic<std::uint32_t>& word) {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE, INT_MAX, nullptr,
            nullptr, 0);
}

std::string describeExit(int status) {
    if (WIFSIGNALED(status)) return "was ended by signal " + std::to_string(WTERMSIG(status));
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}

}  // namespace

Expected<std::unique_ptr<CopyGroup>, std::string> CopyGroup::start(const Launch& launch) {
    const auto refused = [](std::string why) { return Unexpected{std::move(why)}; };
    if (launch.cpus.empty()) return refused("no CPU to run a copy on");
    std::unique_ptr<CopyGroup> group(new CopyGroup);
    group->cpus_ = launch.cpus;
    group->patience_ = launch.patience;

    const int memory = memfd_create("corvane-copies", MFD_CLOEXEC);
    if (memory < 0) return refused(std::string("no shared memory: ") + std::strerror(errno));
    group->sharedBytes_ = Shared::bytesFor(launch.cpus.size());
    void* mapped = MAP_FAILED;
    if (ftruncate(memory, static_cast<off_t>(group->sharedBytes_)) == 0)
        mapped = mmap(nullptr, group->sharedBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0);
    if (mapped == MAP_FAILED) {
        close(memory);
        return refused(std::string("no shared memory: ") + std::strerror(errno));
    }
    group->shared_ = new (mapped) Shared;
    group->shared_->copies = static_cast<std::uint32_t>(launch.cpus.size());

    // Started, never forked: a fork of a process with threads may inherit a lock another
    // thread held. The copies inherit the blocked SIGINT of the report, so Ctrl-C ends them
    // only through the report.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, memory, kSharedDescriptor);
    std::optional<std::string> failure;
    for (std::size_t index = 0; index < launch.cpus.size() && !failure; ++index) {
        std::vector<std::string> words{launch.program};
        words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
        words.emplace_back(kCopyOfArgument);
        words.push_back(std::to_string(kSharedDescriptor) + ":" + std::to_string(index) + ":" +
                        std::to_string(launch.cpus[index]) + ":" + std::to_string(getpid()));
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int error =
            posix_spawn(&pid, launch.program.c_str(), &actions, nullptr, argv.data(), environ);
        if (error != 0)
            failure = "the copy for CPU " + std::to_string(launch.cpus[index]) +
                      " could not start: " + std::strerror(error);
        else
            group->pids_.push_back(pid);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(memory);
    if (failure) return refused(*failure);
    if (auto ready = group->waitFor(static_cast<int>(group->size()), true); !ready)
        return refused(ready.error());
    return group;
}

CopyGroup::~CopyGroup() {
    std::lock_guard lock(pidsMutex_);
    if (shared_ != nullptr && !pids_.empty()) {
        shared_->step.store(kEnd);
        shared_->generation.fetch_add(1);
        futexWakeAll(shared_->generation);
        // A copy between steps ends at once; one still in a kernel is not waited for.
        const std::uint64_t until = monotonicNanoseconds() + 1'000'000'000u;
        for (const pid_t pid : pids_) {
            while (waitpid(pid, nullptr, WNOHANG) == 0) {
                if (monotonicNanoseconds() > until) {
                    ::kill(pid, SIGKILL);
                    waitpid(pid, nullptr, 0);
                    break;
                }
                sleepMs(1);
            }
        }
    }
    if (shared_ != nullptr) munmap(shared_, sharedBytes_);
}

void CopyGroup::kill() {
    std::lock_guard lock(pidsMutex_);
    for (const pid_t pid : pids_) ::kill(pid, SIGKILL);
    for (const pid_t pid : pids_) waitpid(pid, nullptr, 0);
    pids_.clear();
}

std::optional<std::string> CopyGroup::deadCopy() {
    std::lock_guard lock(pidsMutex_);
    for (std::size_t index = 0; index < pids_.size(); ++index) {
        int status = 0;
        if (waitpid(pids_[index], &status, WNOHANG) == pids_[index]) {
            pids_.erase(pids_.begin() + static_cast<std::ptrdiff_t>(index));
            return "the copy on CPU " + std::to_string(cpus_[index]) + " " + describeExit(status);
        }
    }
    return std::nullopt;
}

Expected<void, std::string> CopyGroup::waitFor(int count, bool ready) {
    const std::uint64_t until =
        monotonicNanoseconds() +
        static_cast<std::uint64_t>(std::chrono::nanoseconds(patience_).count());
    const timespec tick{0, 50'000'000};  // a dead copy is noticed within 50 ms
    for (;;) {
        const std::uint32_t arrived = shared_->arrived.load();
        if (static_cast<int>(arrived) >= count) return {};
        futexWait(shared_->arrived, arrived, &tick);
        if (auto dead = deadCopy()) return Unexpected{*dead};
        if (monotonicNanoseconds() > until)
            return Unexpected{std::string(ready ? "the copies did not start in time"
                                                : "a copy did not finish its step in time")};
    }
}

Expected<GroupStep, std::string> CopyGroup::run(int step) {
    shared_->arrived.store(0);
    shared_->step.store(step);
    shared_->releasedNs = monotonicNanoseconds();
    shared_->generation.fetch_add(1);
    futexWakeAll(shared_->generation);
    if (auto done = waitFor(static_cast<int>(size()), false); !done)
        return Unexpected{done.error()};
    GroupStep result;
    std::uint64_t lastEnd = shared_->releasedNs;
    for (std::size_t index = 0; index < size(); ++index) {
        const CopyTiming& timing = shared_->lanes()[index].timing;
        result.copies.push_back(timing);
        lastEnd = std::max(lastEnd, timing.endNs);
    }
    result.elapsedNs = lastEnd - shared_->releasedNs;
    return result;
}

const void* CopyGroup::slot(std::size_t index) const {
    return shared_->lanes()[index].slot;
}

Expected<CopyMember, std::string> CopyMember::join(const std::string& where) {
    const auto refused = [](std::string why) { return Unexpected{std::move(why)}; };
    const auto parts = splitText(where, ':');
    if (parts.size() != 4) return refused("not a copy's place: " + cleanText(where));
    const auto descriptor = parseInteger(parts[0], 0, INT_MAX);
    const auto index = parseInteger(parts[1], 0, 1 << 20);
    const auto cpu = parseInteger(parts[2], 0, 1 << 20);
    const auto parent = parseInteger(parts[3], 1, INT_MAX);
    if (!descriptor || !index || !cpu || !parent)
        return refused("not a copy's place: " + cleanText(where));
    // A copy never outlives the program that started it, even when that one is killed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != static_cast<pid_t>(*parent)) return refused("the group has ended");

    const int memory = static_cast<int>(*descriptor);
    void* mapped = mmap(nullptr, sizeof(CopyGroup::Shared), PROT_READ, MAP_SHARED, memory, 0);
    if (mapped == MAP_FAILED) return refused("the group's memory cannot be mapped");
    const std::uint32_t copies = static_cast<const CopyGroup::Shared*>(mapped)->copies;
    munmap(mapped, sizeof(CopyGroup::Shared));
    if (*index >= copies) return refused("not a copy's place: " + cleanText(where));
    const std::size_t bytes = CopyGroup::Shared::bytesFor(copies);
    mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0);
    close(memory);
    if (mapped == MAP_FAILED) return refused("the group's memory cannot be mapped");

    CopyMember member;
    member.shared_ = static_cast<CopyGroup::Shared*>(mapped);
    member.index_ = static_cast<std::size_t>(*index);
    member.cpu_ = static_cast<int>(*cpu);
    member.seenGeneration_ = member.shared_->generation.load();
    if (!pinCurrentThread(member.cpu_) || currentCpu() != member.cpu_)
        return refused("CPU " + std::to_string(member.cpu_) + " refused the copy");
    return member;
}

void CopyMember::ready() {
    shared_->arrived.fetch_add(1);
    futexWakeAll(shared_->arrived);
}

std::optional<int> CopyMember::nextStep() {
    const std::uint32_t seen = seenGeneration_;
    while (shared_->generation.load() == seen) futexWait(shared_->generation, seen, nullptr);
    seenGeneration_ = shared_->generation.load();
    const std::int32_t step = shared_->step.load();
    if (step == kEnd) return std::nullopt;
    return step;
}

void* CopyMember::slot() {
    return shared_->lanes()[index_].slot;
}

void CopyMember::finished(const CopyTiming& timing) {
    shared_->lanes()[index_].timing = timing;
    shared_->arrived.fetch_add(1);
    futexWakeAll(shared_->arrived);
}

}  // namespace platform
