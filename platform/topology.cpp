// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/topology.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/system_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::optional<CpuList> cpuListFile(const fs::path& file) {
    const auto text = readFirstLine(file);
    if (!text) return std::nullopt;
    auto list = parseCpuList(*text);
    if (!list) return std::nullopt;
    return std::move(*list);
}

std::optional<int> id(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const auto value = parseInteger(*text, 0, std::numeric_limits<int>::max());
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
}

// The cpuN folders that are not offline: what a system without an `online` file runs on.
// cpu0 often has no `online` file, since it cannot be taken offline.
CpuList onlineFromFolders(const fs::path& cpuDir) {
    CpuList out;
    std::error_code error;
    for (fs::directory_iterator it(cpuDir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 4 || !name.starts_with("cpu") || name[3] < '0' || name[3] > '9') continue;
        const auto cpu = parseInteger(std::string_view(name).substr(3), 0, kMaxCpuNumber);
        if (!cpu) continue;
        const auto online = readFirstLine(it->path() / "online");
        if (online && trimBlanks(*online) == "0") continue;
        out.push_back(static_cast<int>(*cpu));
    }
    std::sort(out.begin(), out.end());
    return out;
}

LogicalCpu readCpu(const fs::path& cpuDir, int cpu, const CpuList& online) {
    const fs::path dir = cpuDir / ("cpu" + std::to_string(cpu)) / "topology";
    LogicalCpu out;
    out.cpu = cpu;
    const auto package = id(readFirstLine(dir / "physical_package_id"));
    const auto core = id(readFirstLine(dir / "core_id"));
    // Kernels before 5.2 have no die_id: one die per package.
    const auto dieText = readFirstLine(dir / "die_id");
    const auto die = dieText ? id(dieText) : std::optional<int>(0);
    out.package = package.value_or(0);
    out.die = die.value_or(0);
    out.topologyKnown = package && core && die;
    out.core = out.topologyKnown ? *core : cpu;
    out.siblings = {cpu};
    if (!out.topologyKnown) return out;
    // core_cpus_list came with 5.7; thread_siblings_list says the same before it.
    auto siblings = cpuListFile(dir / "core_cpus_list");
    if (!siblings) siblings = cpuListFile(dir / "thread_siblings_list");
    out.siblings.clear();
    // A list without the CPU itself is not its core's; then the ids make it, once every CPU
    // is read.
    if (siblings && std::binary_search(siblings->begin(), siblings->end(), cpu))
        std::set_intersection(siblings->begin(), siblings->end(), online.begin(), online.end(),
                              std::back_inserter(out.siblings));
    return out;
}

}  // namespace

CpuList CpuTopology::online() const {
    CpuList out;
    for (const LogicalCpu& c : cpus) out.push_back(c.cpu);
    return out;
}

const LogicalCpu* CpuTopology::find(int cpu) const {
    const auto it = std::lower_bound(cpus.begin(), cpus.end(), cpu,
                                     [](const LogicalCpu& c, int n) { return c.cpu < n; });
    return it != cpus.end() && it->cpu == cpu ? &*it : nullptr;
}

std::optional<CoreId> CpuTopology::coreOf(int cpu) const {
    const LogicalCpu* c = find(cpu);
    if (c == nullptr) return std::nullopt;
    return c->coreId();
}

int CpuTopology::physicalCores() const {
    std::set<CoreId> cores;
    for (const LogicalCpu& c : cpus) cores.insert(c.coreId());
    return static_cast<int>(cores.size());
}

int CpuTopology::packages() const {
    std::set<int> packageIds;
    for (const LogicalCpu& c : cpus) packageIds.insert(c.package);
    return static_cast<int>(packageIds.size());
}

bool CpuTopology::hybrid() const {
    return cpusOfKind(CoreKind::performance) > 0 && cpusOfKind(CoreKind::efficiency) > 0;
}

int CpuTopology::cpusOfKind(CoreKind kind) const {
    return static_cast<int>(std::count_if(cpus.begin(), cpus.end(),
                                          [&](const LogicalCpu& c) { return c.kind == kind; }));
}

CpuTopology readCpuTopology(const fs::path& root) {
    const fs::path cpuDir = root / "sys/devices/system/cpu";
    CpuList online = cpuListFile(cpuDir / "online").value_or(CpuList{});
    if (online.empty()) online = onlineFromFolders(cpuDir);

    CpuTopology topology;
    for (const int cpu : online) topology.cpus.push_back(readCpu(cpuDir, cpu, online));

    std::map<CoreId, CpuList> cores;
    for (const LogicalCpu& c : topology.cpus) cores[c.coreId()].push_back(c.cpu);
    for (LogicalCpu& c : topology.cpus)
        if (c.siblings.empty()) c.siblings = cores[c.coreId()];

    const auto performance = cpuListFile(root / "sys/devices/cpu_core/cpus");
    const auto efficiency = cpuListFile(root / "sys/devices/cpu_atom/cpus");
    const auto in = [](const std::optional<CpuList>& list, int cpu) {
        return list && std::binary_search(list->begin(), list->end(), cpu);
    };
    for (LogicalCpu& c : topology.cpus) {
        if (in(performance, c.cpu))
            c.kind = CoreKind::performance;
        else if (in(efficiency, c.cpu))
            c.kind = CoreKind::efficiency;
    }

    // The kernel says so itself from 4.19 on; before, the cores tell.
    if (const auto active = readFirstLine(cpuDir / "smt/active")) {
        if (const auto value = parseInteger(*active, 0, 1)) {
            topology.smtActive = *value == 1;
            return topology;
        }
    }
    topology.smtActive = std::any_of(cores.begin(), cores.end(),
                                     [](const auto& core) { return core.second.size() > 1; });
    return topology;
}

bool underHypervisor(std::string_view cpuinfoFlags) {
    for (const std::string_view flag : splitText(cpuinfoFlags, ' '))
        if (trimBlanks(flag) == "hypervisor") return true;
    return false;
}

}  // namespace platform
