// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which logical CPUs this process may run on, and running a thread on one of them.
//
// A stability test that cannot say which CPU saw an error cannot name the faulty core, so
// every worker that tests a CPU is pinned to it and checks where it really ran.

#include <vector>

namespace platform {

// Logical CPU numbers, ascending, without repeats.
using CpuList = std::vector<int>;

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
