// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cpus.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <memory>

#include "platform/system_file.h"

namespace platform {
namespace {

constexpr int kMaxCpus = kMaxCpuNumber + 1;

using Reason = Unexpected<std::string>;

// The first `count` characters of valid UTF-8, never cutting one in two.
std::string firstCharacters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t characters = 0; end < text.size(); ++end) {
        const bool continuation = (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
        if (!continuation && characters++ == count) break;
    }
    return std::string(text.substr(0, end));
}

// The bad part as a reason shows it: a list typed by hand or served as a file may hold
// anything, and the reason reaches a terminal.
std::string quoted(std::string_view part) {
    constexpr std::size_t kShown = 32;
    const std::string clean = cleanText(part);
    const std::string shown = firstCharacters(clean, kShown);
    return "\"" + shown + (shown.size() < clean.size() ? "...\"" : "\"");
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A CPU number (or a stride's count) of `entry`, at most `max`.
Expected<int, std::string> number(std::string_view text, std::string_view entry, int max) {
    text = trimBlanks(text);
    if (text.starts_with('-')) return Reason{quoted(entry) + " is negative: CPUs count from 0"};
    if (!allDigits(text)) return Reason{quoted(entry) + " is not a CPU number or range"};
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > max) {
        if (max == kMaxCpuNumber)
            return Reason{"CPU " + firstCharacters(text, 32) + " is beyond the largest, " +
                          std::to_string(kMaxCpuNumber)};
        return Reason{quoted(entry) + " has a stride beyond " + std::to_string(max)};
    }
    return value;
}

// One entry: "5", "0-3" or "0-15:2/4", its CPUs set in `cpus`.
Expected<void, std::string> addEntry(std::string_view entry, std::vector<bool>& cpus) {
    if (entry.starts_with('-')) return Reason{quoted(entry) + " is negative: CPUs count from 0"};
    const auto dash = entry.find('-');
    if (dash == std::string_view::npos) {
        const auto cpu = number(entry, entry, kMaxCpuNumber);
        if (!cpu) return Reason{cpu.error()};
        cpus[static_cast<std::size_t>(*cpu)] = true;
        return {};
    }
    std::string_view last = entry.substr(dash + 1);
    std::string_view stride;
    if (const auto colon = last.find(':'); colon != std::string_view::npos) {
        stride = last.substr(colon + 1);
        last = last.substr(0, colon);
    }
    if (trimBlanks(last).empty()) return Reason{quoted(entry) + " has no last CPU"};
    if (last.find('-') != std::string_view::npos)
        return Reason{quoted(entry) + " is not a CPU number or range"};
    const auto from = number(entry.substr(0, dash), entry, kMaxCpuNumber);
    if (!from) return Reason{from.error()};
    const auto to = number(last, entry, kMaxCpuNumber);
    if (!to) return Reason{to.error()};
    if (*to < *from) return Reason{quoted(entry) + " runs backwards"};
    int used = 1, group = 1;
    if (stride.data() != nullptr) {
        const auto slash = stride.find('/');
        if (slash == std::string_view::npos)
            return Reason{quoted(entry) + " has a stride without \"/\""};
        const auto u = number(stride.substr(0, slash), entry, kMaxCpus);
        if (!u) return Reason{u.error()};
        const auto g = number(stride.substr(slash + 1), entry, kMaxCpus);
        if (!g) return Reason{g.error()};
        if (*u == 0 || *g == 0 || *u > *g)
            return Reason{quoted(entry) + " takes more CPUs of each group than it holds"};
        used = *u;
        group = *g;
    }
    for (int cpu = *from; cpu <= *to; ++cpu)
        if ((cpu - *from) % group < used) cpus[static_cast<std::size_t>(cpu)] = true;
    return {};
}

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

Expected<CpuList, std::string> parseCpuList(std::string_view text) {
    const std::string_view list = trimBlanks(text);
    if (list.empty()) return Reason{"the CPU list is empty"};
    std::vector<bool> cpus(kMaxCpus, false);
    for (const std::string_view part : splitText(list, ',')) {
        const std::string_view entry = trimBlanks(part);
        if (entry.empty()) return Reason{"an entry of " + quoted(list) + " is empty"};
        if (auto added = addEntry(entry, cpus); !added) return Reason{added.error()};
    }
    CpuList out;
    for (int cpu = 0; cpu < kMaxCpus; ++cpu)
        if (cpus[static_cast<std::size_t>(cpu)]) out.push_back(cpu);
    return out;
}

std::string formatCpuList(const CpuList& cpus) {
    CpuList sorted = cpus;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::string out;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1) ++j;
        if (!out.empty()) out += ',';
        out += std::to_string(sorted[i]);
        if (j > i) out += "-" + std::to_string(sorted[j]);
        i = j + 1;
    }
    return out;
}

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
