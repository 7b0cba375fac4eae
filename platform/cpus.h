// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which logical CPUs this process may run on, and running a thread on one of them.
//
// A stability test that cannot say which CPU saw an error cannot name the faulty core, so
// every worker that tests a CPU is pinned to it and checks where it really ran.

#include <string>
#include <string_view>
#include <vector>

#include "platform/expected.h"

namespace platform {

// Logical CPU numbers, ascending, without repeats.
using CpuList = std::vector<int>;

// The kernel's largest CPU number (CONFIG_NR_CPUS is at most 8192).
inline constexpr int kMaxCpuNumber = 8191;

// A list in the kernel's cpulist syntax, as sysfs writes it and as `taskset -c` takes it:
// "0-3,8,10-11", blanks around the entries and a final newline allowed, a range with a
// stride "0-15:2/4" (2 CPUs of every 4) too. Repeats are merged. The reason of a refusal is
// a short phrase that names the bad part: "\"3-1\" runs backwards".
Expected<CpuList, std::string> parseCpuList(std::string_view text);

// The compact form the kernel writes: "0-3,8,10-11"; "" for an empty list.
std::string formatCpuList(const CpuList& cpus);

// The CPUs the calling thread may run on: its affinity mask, which the cpuset of its cgroup
// already narrows. Empty when the system does not say.
CpuList allowedCpus();

// Pins the calling thread to `cpu`; false when the system refuses (a CPU outside the
// affinity mask, or offline).
bool pinCurrentThread(int cpu);

// Lets the calling thread run on every CPU of `cpus` again; false when refused.
bool allowCurrentThread(const CpuList& cpus);

// The CPU the calling thread runs on at this moment; -1 when the system does not say.
int currentCpu();

}  // namespace platform
