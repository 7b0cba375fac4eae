// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "fixture_tree.h"
#include "platform/topology.h"

using fixtures::Tree;
using platform::CoreId;
using platform::CoreKind;
using platform::CpuList;
using platform::CpuTopology;
using platform::readCpuTopology;

namespace {

const std::string kCpuDir = "sys/devices/system/cpu/";

// The topology files of one CPU as a 5.7 or later kernel writes them.
void addCpu(Tree& tree, int cpu, int package, int die, int core, const std::string& siblings) {
    const std::string dir = kCpuDir + "cpu" + std::to_string(cpu) + "/topology/";
    tree.file(dir + "physical_package_id", std::to_string(package) + "\n")
        .file(dir + "die_id", std::to_string(die) + "\n")
        .file(dir + "core_id", std::to_string(core) + "\n")
        .file(dir + "core_cpus_list", siblings + "\n")
        .file(dir + "thread_siblings_list", siblings + "\n");
}

// Two packages of two cores of two threads, numbered as Linux numbers a two-socket server:
// every core's first thread, package by package, then the second threads.
Tree twoSocketServer(const std::string& name) {
    Tree tree("topology-" + name);
    tree.file(kCpuDir + "online", "0-7\n").file(kCpuDir + "smt/active", "1\n");
    for (int cpu = 0; cpu < 8; ++cpu) {
        const int first = cpu % 4;
        addCpu(tree, cpu, first / 2, 0, first % 2,
               std::to_string(first) + "," + std::to_string(first + 4));
    }
    return tree;
}

}  // namespace

TEST(CpuTopologyRead, CoreIdsRepeatInEveryPackageSoACoreIsItsPackageDieAndId) {
    const CpuTopology t = readCpuTopology(twoSocketServer("two-sockets").root());
    EXPECT_EQ(t.online(), (CpuList{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(t.packages(), 2);
    EXPECT_EQ(t.physicalCores(), 4);
    EXPECT_TRUE(t.smtActive);
    EXPECT_FALSE(t.hybrid());
    // CPUs 0 and 2 both have core_id 0, in different packages.
    EXPECT_EQ(t.coreOf(0), (CoreId{0, 0, 0, true}));
    EXPECT_EQ(t.coreOf(2), (CoreId{1, 0, 0, true}));
    EXPECT_EQ(t.coreOf(6), t.coreOf(2));
    EXPECT_EQ(t.find(6)->siblings, (CpuList{2, 6}));
    EXPECT_EQ(t.find(6)->kind, CoreKind::unknown);
    EXPECT_EQ(t.coreOf(8), std::nullopt);
    EXPECT_EQ(t.find(8), nullptr);
}

TEST(CpuTopologyRead, DiesOfOnePackageRepeatCoreIdsToo) {
    Tree tree("topology-dies");
    tree.file(kCpuDir + "online", "0-3\n");
    for (int cpu = 0; cpu < 4; ++cpu) addCpu(tree, cpu, 0, cpu / 2, cpu % 2, std::to_string(cpu));
    const CpuTopology t = readCpuTopology(tree.root());
    EXPECT_EQ(t.physicalCores(), 4);
    EXPECT_EQ(t.packages(), 1);
    // No smt/active (before 4.19): the cores say it, one CPU each.
    EXPECT_FALSE(t.smtActive);
}

TEST(CpuTopologyRead, OlderKernelsWithoutDieIdOrCoreCpusList) {
    Tree tree = twoSocketServer("old-kernel");
    for (int cpu = 0; cpu < 8; ++cpu) {
        const std::string dir = kCpuDir + "cpu" + std::to_string(cpu) + "/topology/";
        std::filesystem::remove(tree.root() / (dir + "die_id"));
        std::filesystem::remove(tree.root() / (dir + "core_cpus_list"));
    }
    std::filesystem::remove(tree.root() / (kCpuDir + "smt/active"));
    const CpuTopology t = readCpuTopology(tree.root());
    EXPECT_EQ(t.find(5)->siblings, (CpuList{1, 5}));  // thread_siblings_list
    EXPECT_EQ(t.coreOf(5), (CoreId{0, 0, 1, true}));
    EXPECT_EQ(t.physicalCores(), 4);
    EXPECT_TRUE(t.smtActive);  // from the cores
}

TEST(CpuTopologyRead, SiblingsWithoutAListComeFromTheIdsAndOfflineOnesAreLeftOut) {
    Tree tree = twoSocketServer("offline-sibling");
    tree.file(kCpuDir + "online", "0-6\n").file(kCpuDir + "smt/active", "1\n");
    for (int cpu = 0; cpu < 8; ++cpu) {
        const std::string dir = kCpuDir + "cpu" + std::to_string(cpu) + "/topology/";
        std::filesystem::remove(tree.root() / (dir + "core_cpus_list"));
        if (cpu != 3) std::filesystem::remove(tree.root() / (dir + "thread_siblings_list"));
    }
    const CpuTopology t = readCpuTopology(tree.root());
    EXPECT_EQ(t.online().size(), 7u);
    EXPECT_EQ(t.find(4)->siblings, (CpuList{0, 4}));
    EXPECT_EQ(t.find(3)->siblings, (CpuList{3}));  // its list names 7, which is offline
    EXPECT_EQ(t.physicalCores(), 4);
}

TEST(CpuTopologyRead, HybridProcessorPerformanceAndEfficiencyCores) {
    // Two performance cores with two threads each, then four efficiency cores of one thread.
    Tree tree("topology-hybrid");
    tree.file(kCpuDir + "online", "0-7\n")
        .file(kCpuDir + "smt/active", "1\n")
        .file("sys/devices/cpu_core/cpus", "0-3\n")
        .file("sys/devices/cpu_atom/cpus", "4-7\n");
    addCpu(tree, 0, 0, 0, 0, "0-1");
    addCpu(tree, 1, 0, 0, 0, "0-1");
    addCpu(tree, 2, 0, 0, 4, "2-3");
    addCpu(tree, 3, 0, 0, 4, "2-3");
    for (int cpu = 4; cpu < 8; ++cpu) addCpu(tree, cpu, 0, 0, 8 + cpu, std::to_string(cpu));
    const CpuTopology t = readCpuTopology(tree.root());
    EXPECT_TRUE(t.hybrid());
    EXPECT_EQ(t.cpusOfKind(CoreKind::performance), 4);
    EXPECT_EQ(t.cpusOfKind(CoreKind::efficiency), 4);
    EXPECT_EQ(t.find(3)->kind, CoreKind::performance);
    EXPECT_EQ(t.find(4)->kind, CoreKind::efficiency);
    EXPECT_EQ(t.physicalCores(), 6);
    EXPECT_EQ(t.packages(), 1);
}

TEST(CpuTopologyRead, ACpuWithMissingOrGarbledFilesIsACoreOfItsOwn) {
    Tree tree("topology-garbled");
    tree.file(kCpuDir + "online", "0-3\n");
    addCpu(tree, 0, 0, 0, 0, "0");
    // cpu1 has no topology folder; cpu2's core id is garbage; cpu3 has core_id 1, the number
    // cpu1 is given as its core, and must not share a core with it.
    tree.folder(kCpuDir + "cpu1");
    addCpu(tree, 2, 0, 0, 0, "0,2");
    tree.file(kCpuDir + "cpu2/topology/core_id", "zero\n");
    addCpu(tree, 3, 0, 0, 1, "3");
    const CpuTopology t = readCpuTopology(tree.root());
    ASSERT_EQ(t.online(), (CpuList{0, 1, 2, 3}));
    EXPECT_FALSE(t.find(1)->topologyKnown);
    EXPECT_EQ(t.find(1)->core, 1);
    EXPECT_EQ(t.find(1)->siblings, (CpuList{1}));
    EXPECT_EQ(t.find(2)->core, 2);
    EXPECT_EQ(t.find(2)->siblings, (CpuList{2}));
    EXPECT_NE(t.coreOf(1), t.coreOf(3));
    EXPECT_EQ(t.physicalCores(), 4);
    EXPECT_EQ(t.packages(), 1);
    EXPECT_FALSE(t.smtActive);

    // A die_id that is there but garbled is no topology either; a negative package id is
    // what some kernels write for one they do not know.
    tree.file(kCpuDir + "cpu3/topology/die_id", "-\n");
    tree.file(kCpuDir + "cpu0/topology/physical_package_id", "-1\n");
    const CpuTopology again = readCpuTopology(tree.root());
    EXPECT_FALSE(again.find(3)->topologyKnown);
    EXPECT_FALSE(again.find(0)->topologyKnown);
}

TEST(CpuTopologyRead, WithoutAnOnlineFileTheCpuFoldersNotOfflineCount) {
    Tree tree("topology-no-online");
    tree.file(kCpuDir + "online", "every one\n")
        .file(kCpuDir + "cpu1/online", "1\n")
        .file(kCpuDir + "cpu2/online", "0\n")
        .folder(kCpuDir + "cpu10")
        .folder(kCpuDir + "cpufreq")
        .folder(kCpuDir + "cpuidle");
    addCpu(tree, 0, 0, 0, 0, "0");
    EXPECT_EQ(readCpuTopology(tree.root()).online(), (CpuList{0, 1, 10}));
    // Nothing at all: no CPUs, calmly.
    const CpuTopology none = readCpuTopology(Tree("topology-nothing").root());
    EXPECT_TRUE(none.cpus.empty());
    EXPECT_EQ(none.physicalCores(), 0);
    EXPECT_EQ(none.packages(), 0);
}

TEST(Hypervisor, TheFlagIsAWholeWordOfTheCpuinfoFlags) {
    EXPECT_TRUE(platform::underHypervisor("fpu vme de pse tsc msr hypervisor lahf_lm abm"));
    EXPECT_TRUE(platform::underHypervisor("hypervisor"));
    EXPECT_FALSE(platform::underHypervisor("fpu vme de pse tsc msr pae mce cx8 apic"));
    EXPECT_FALSE(platform::underHypervisor("fpu hypervisor_like xhypervisor"));
    EXPECT_FALSE(platform::underHypervisor(""));
}
