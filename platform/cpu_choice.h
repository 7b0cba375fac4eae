// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which CPUs a per-CPU benchmark or stability test runs on, chosen once from what was asked,
// what the process may run on, its CPU quota and the topology; and the summary of the
// machine's CPUs that a saved result keeps beside its figures.

#include <optional>
#include <string>
#include <string_view>

#include "platform/cpu_quota.h"
#include "platform/cpus.h"
#include "platform/expected.h"
#include "platform/topology.h"

namespace platform {

// "all", or the CPUs of a cpulist.
struct CpuRequest {
    bool all = true;
    CpuList cpus;  // when not `all`
};

// "all" (blanks around allowed) or a cpulist; the reason of a refusal is parseCpuList's.
Expected<CpuRequest, std::string> parseCpuRequest(std::string_view text);

// Why "all" took fewer CPUs than the process may run on: its quota grants fewer whole CPUs.
// Numbers only, for the caller to word.
struct QuotaNote {
    int allowedCpus = 0;  // what the affinity mask allows
    double quotaCpus = 0;
    int chosenCpus = 0;  // the quota's whole CPUs, at least 1
    std::string source;  // the file that sets the quota

    friend bool operator==(const QuotaNote&, const QuotaNote&) = default;
};

struct CpuChoice {
    CpuList cpus;
    std::optional<CpuQuota> quota;
    // Set when the quota cut the choice short.
    std::optional<QuotaNote> quotaNote;

    bool limitedByQuota() const { return quotaNote.has_value(); }
};

// "all" is every CPU of `allowed` (the online CPUs of `topology` when the system does not
// say), unless `quota` grants fewer whole CPUs (rounded down, at least one): then that
// many, one on each of as many distinct physical cores as there are before any core's second
// CPU, lowest numbers first. A list is taken as it is when each of its CPUs is allowed;
// otherwise the reason names the first that is not ("CPU 7 is not one this process may run
// on"). A list asked for more CPUs than the quota grants stays whole: someone chose it.
Expected<CpuChoice, std::string> chooseCpus(const CpuRequest& request, const CpuList& allowed,
                                            const std::optional<CpuQuota>& quota,
                                            const CpuTopology& topology);
Expected<CpuChoice, std::string> chooseCpus(std::string_view request, const CpuList& allowed,
                                            const std::optional<CpuQuota>& quota,
                                            const CpuTopology& topology);

// What a saved result records of the machine's CPUs, to tell two machines (or one machine
// with other settings) apart.
struct MachineCpus {
    int onlineCpus = 0;  // logical CPUs
    int physicalCores = 0;
    int packages = 0;
    bool smtActive = false;
    int performanceCpus = 0;  // both 0 unless the processor is hybrid
    int efficiencyCpus = 0;
    CpuList allowed;  // the CPUs this process may run on
    std::optional<CpuQuota> quota;
    bool hypervisor = false;

    friend bool operator==(const MachineCpus&, const MachineCpus&) = default;
};

MachineCpus summarizeMachineCpus(const CpuTopology& topology, const CpuList& allowed,
                                 const std::optional<CpuQuota>& quota, bool hypervisor);

}  // namespace platform
