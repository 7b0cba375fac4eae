// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/cpu_choice.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/system_file.h"

namespace platform {
namespace {

// `cpus` in the order a quota takes them: the first CPU of every core, then every core's
// second, and so on; cores in the order of their lowest CPU.
CpuList spreadOverCores(const CpuList& cpus, const CpuTopology& topology) {
    std::map<CoreId, CpuList> byCore;
    std::vector<CoreId> order;
    for (const int cpu : cpus) {
        // A CPU the topology does not know (it went offline since) is a core of its own.
        const CoreId core = topology.coreOf(cpu).value_or(CoreId{0, 0, cpu, false});
        auto [it, added] = byCore.try_emplace(core);
        if (added) order.push_back(core);
        it->second.push_back(cpu);
    }
    CpuList out;
    for (std::size_t round = 0; out.size() < cpus.size(); ++round)
        for (const CoreId& core : order)
            if (const CpuList& on = byCore[core]; round < on.size()) out.push_back(on[round]);
    return out;
}

}  // namespace

Expected<CpuRequest, std::string> parseCpuRequest(std::string_view text) {
    if (trimBlanks(text) == "all") return CpuRequest{};
    auto cpus = parseCpuList(text);
    if (!cpus) return Unexpected{cpus.error()};
    return CpuRequest{false, std::move(*cpus)};
}

Expected<CpuChoice, std::string> chooseCpus(const CpuRequest& request, const CpuList& allowed,
                                            const std::optional<CpuQuota>& quota,
                                            const CpuTopology& topology) {
    const CpuList permitted = allowed.empty() ? topology.online() : allowed;
    CpuChoice choice;
    choice.quota = quota;
    if (!request.all) {
        if (request.cpus.empty()) return Unexpected{std::string("the CPU list is empty")};
        // With nothing known to check against, pinning tells later.
        if (!permitted.empty())
            for (const int cpu : request.cpus)
                if (!std::binary_search(permitted.begin(), permitted.end(), cpu))
                    return Unexpected{"CPU " + std::to_string(cpu) +
                                      " is not one this process may run on"};
        choice.cpus = request.cpus;
        return choice;
    }
    if (permitted.empty())
        return Unexpected{std::string("no CPU this process may run on is known")};
    choice.cpus = permitted;
    const int available = static_cast<int>(permitted.size());
    if (quota) {
        const double whole = std::max(1.0, std::floor(quota->cpus));
        const int granted = whole >= available ? available : static_cast<int>(whole);
        if (granted < available) {
            choice.cpus = spreadOverCores(permitted, topology);
            choice.cpus.resize(static_cast<std::size_t>(granted));
            std::sort(choice.cpus.begin(), choice.cpus.end());
            choice.quotaNote = QuotaNote{available, quota->cpus, granted, quota->source};
        }
    }
    return choice;
}

Expected<CpuChoice, std::string> chooseCpus(std::string_view request, const CpuList& allowed,
                                            const std::optional<CpuQuota>& quota,
                                            const CpuTopology& topology) {
    const auto parsed = parseCpuRequest(request);
    if (!parsed) return Unexpected{parsed.error()};
    return chooseCpus(*parsed, allowed, quota, topology);
}

MachineCpus summarizeMachineCpus(const CpuTopology& topology, const CpuList& allowed,
                                 const std::optional<CpuQuota>& quota, bool hypervisor) {
    MachineCpus out;
    out.onlineCpus = static_cast<int>(topology.cpus.size());
    out.physicalCores = topology.physicalCores();
    out.packages = topology.packages();
    out.smtActive = topology.smtActive;
    if (topology.hybrid()) {
        out.performanceCpus = topology.cpusOfKind(CoreKind::performance);
        out.efficiencyCpus = topology.cpusOfKind(CoreKind::efficiency);
    }
    out.allowed = allowed;
    out.quota = quota;
    out.hypervisor = hypervisor;
    return out;
}

}  // namespace platform
