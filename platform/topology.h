// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the logical CPUs sit on cores, dies and packages, from sysfs.
//
// A failure has to name the core that saw it, and a test that may take only some CPUs
// should spread over distinct cores before it doubles up on SMT siblings, which share a
// core's execution units. core_id alone names no core: it starts again in every package
// (and on some machines every die), so a core is its package, die and core id together.

#include <compare>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/cpus.h"

namespace platform {

// Hybrid processors pair performance cores with smaller efficiency cores.
enum class CoreKind { unknown, performance, efficiency };

// One physical core. A CPU whose topology files are missing or garbled is a core of its own:
// `known` false and its own number as `core`, so it never merges with a core that was read.
struct CoreId {
    int package = 0;
    int die = 0;
    int core = 0;
    bool known = true;

    friend auto operator<=>(const CoreId&, const CoreId&) = default;
};

struct LogicalCpu {
    int cpu = 0;
    int package = 0;
    int die = 0;
    int core = 0;      // core_id, or the CPU's own number when `topologyKnown` is false
    CpuList siblings;  // every CPU of its core, itself included; just itself when unknown
    CoreKind kind = CoreKind::unknown;
    bool topologyKnown = false;

    CoreId coreId() const { return {package, die, core, topologyKnown}; }
    friend bool operator==(const LogicalCpu&, const LogicalCpu&) = default;
};

struct CpuTopology {
    std::vector<LogicalCpu> cpus;  // the online CPUs, ascending
    bool smtActive = false;        // simultaneous multithreading: CPUs share cores

    CpuList online() const;
    const LogicalCpu* find(int cpu) const;
    // The core of `cpu`; empty for a CPU that is not online.
    std::optional<CoreId> coreOf(int cpu) const;
    int physicalCores() const;
    int packages() const;
    // Performance and efficiency CPUs are told apart.
    bool hybrid() const;
    int cpusOfKind(CoreKind kind) const;
};

// The topology below `root`: the online CPUs from <root>/sys/devices/system/cpu/online (the
// cpuN folders not marked offline when that file cannot be read), each CPU's
// cpuN/topology/{physical_package_id,die_id,core_id,core_cpus_list} (thread_siblings_list on
// kernels before 5.7, die 0 before 5.2), the kinds from <root>/sys/devices/cpu_core/cpus and
// cpu_atom/cpus, and SMT from <root>/sys/devices/system/cpu/smt/active where the kernel has
// it, else from the cores. Never fails: what cannot be read is unknown.
CpuTopology readCpuTopology(const std::filesystem::path& root = "/");

// Whether the "flags" field of /proc/cpuinfo carries "hypervisor": the processor tells the
// guest of a virtual machine that it is one.
bool underHypervisor(std::string_view cpuinfoFlags);

}  // namespace platform
