// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-report on every core: the copies' rows counted together, the copy a wrong row came
// from, the stability test's CPUs as the outputs name them, and their saved form read back.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <nlohmann/json.hpp>

#include "fixture_tree.h"
#include "report/copies_bench.h"
#include "report/cpu_stability.h"
#include "report/report.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr std::uint64_t kMs = 1'000'000;

TEST(ReportCopies, RowResultsCountEveryCopysWorkInTheTimeOfTheLast) {
    using report::CopyRowRun;
    const CopyRowRun two[] = {{1000, 1000 * kMs}, {1000, 1000 * kMs}};
    // 1000.4 ms is 1000 ms: 12,000 Mark a copy.
    EXPECT_EQ(report::multiResult(bench::Group::Alu, 1'000'400'000, two), 24'000);
    // 1000.6 ms is 1001 ms: 12,000,000 / 1001 = 11,988 a copy.
    EXPECT_EQ(report::multiResult(bench::Group::Fpu, 1'000'600'000, two), 23'976);
    // 1000 Mln/s for 1 s and 500 Mln/s for 0.5 s: 1250 million instructions in 1 s.
    const CopyRowRun rates[] = {{1000, 1000 * kMs}, {500, 500 * kMs}};
    EXPECT_EQ(report::multiResult(bench::Group::Instr, 1000 * kMs, rates), 1250);
    const CopyRowRun refused[] = {{1000, 1000 * kMs}, {std::nullopt, 0}};
    EXPECT_EQ(report::multiResult(bench::Group::Alu, 1000 * kMs, refused), std::nullopt);
}

// Two copies on CPUs 2 and 3 of every row; copy 1 takes 1100 ms where copy 0 takes 1000 and
// its row 5 goes wrong. The group took 1000 ms (1000 Mln/s each for the INSTR rows).
report::BenchFigures twoCopies(std::vector<platform::GroupStep>& steps) {
    report::BenchFigures b;
    b.repetitions = 1;
    for (std::size_t i = 0; i < bench::kKernelTable.size(); ++i) {
        const bench::RowPlace place = bench::placeOf(bench::kKernelTable, i);
        b.rows.push_back({place.row, place.group, 1000, {1000}, true});
        steps.push_back({1000 * kMs, {{0, 1000 * kMs}, {0, 1000 * kMs}}});
    }
    for (int c = 0; c < 2; ++c) {
        report::BenchCopy copy{c, 2 + c, 2 + c, 0, 3000.0 - 200 * c, {}};
        for (const auto& row : b.rows) {
            report::BenchRow own = row;
            if (c == 1 && row.group != bench::Group::Instr) own.raw = 1100;
            copy.rows.push_back(own);
        }
        b.copies.push_back(copy);
    }
    b.copies[1].rows[4].valid = false;
    b.copies[1].rows[4].wrong = bench::Mismatch{bench::Mismatch::Kind::Count, 2, 10, 11, 0};
    return b;
}

TEST(ReportCopies, MultiCoreScoresScalingAndTheWrongCopyAreNamedInEveryOutput) {
    std::vector<platform::GroupStep> steps;
    report::BenchFigures b = twoCopies(steps);
    report::aggregateCopies(b, steps);
    const report::BenchRow& first = b.rows[0];
    EXPECT_EQ(first.multi, 24'000);
    EXPECT_DOUBLE_EQ(*first.scaling, 2.0);
    EXPECT_EQ(first.slowestCopy, 1);
    EXPECT_EQ(first.fastestCopy, 0);
    // ALU and FPU: 24,000 a row; INSTR: 2000 x 5.11945 = 10238.9; overall 7200 + 13200 +
    // 1535.85.
    ASSERT_TRUE(b.multiCore);
    EXPECT_EQ(b.multiCore->copies, 2);
    EXPECT_EQ(b.multiCore->alu, 24'000);
    EXPECT_EQ(b.multiCore->fpu, 24'000);
    EXPECT_EQ(b.multiCore->instr, 10'239);
    EXPECT_EQ(b.multiCore->cpuScore, 21'936);

    const report::BenchRow& wrong = b.rows[4];
    EXPECT_FALSE(wrong.valid);
    EXPECT_EQ(wrong.wrongCopy, 1);
    EXPECT_EQ(wrong.wrongCpu, 3);
    report::Report r;
    r.bench = b;
    const std::string text = report::renderText(r);
    EXPECT_NE(text.find("wrong result in copy 1, on CPU 3"), std::string::npos) << text;
    EXPECT_NE(text.find("multi-core score 21936"), std::string::npos) << text;
    // 2800 MHz is 6.7 % under the median of 3000 and 2800 (the lower middle, 2800): none.
    EXPECT_EQ(text.find("below the copies' median"), std::string::npos) << text;
    const json j = r;
    EXPECT_EQ(j["bench"]["rows"][4]["wrong_copy"], 1);
    EXPECT_EQ(j["bench"]["rows"][4]["wrong_cpu"], 3);
    EXPECT_TRUE(r.foundErrors());
}

TEST(ReportCopies, ACopyMoreThanFivePercentUnderTheMedianClockIsNamed) {
    std::vector<report::BenchCopy> copies(3);
    for (int c = 0; c < 3; ++c) copies[static_cast<std::size_t>(c)].copy = c;
    copies[0].effectiveMhz = 3000;
    copies[1].effectiveMhz = 3000;
    copies[2].effectiveMhz = 2900;  // 3.3 %: within
    EXPECT_TRUE(report::slowClockedCopies(copies).empty());
    copies[2].effectiveMhz = 2840;  // 5.3 %
    EXPECT_EQ(report::slowClockedCopies(copies), std::vector<int>{2});
}

std::atomic<std::uint64_t> fakeNs{0};

// The run's waits move the time on, so every phase lasts exactly its length.
platform::Sources fixtureSources(const fixtures::Tree& tree) {
    fakeNs = 0;
    platform::Sources sources;
    sources.root = tree.root();
    sources.clock.nanoseconds = [] { return fakeNs.load(); };
    sources.clock.sleepMs = [](std::uint32_t ms) { fakeNs += ms * kMs; };
    return sources;
}

// Two CPUs this process may use, as cores 0 and 1 of package 0, with coretemp's readings.
fixtures::Tree twoCoreTree(const platform::CpuList& cpus) {
    fixtures::Tree tree("report-cpus");
    tree.file("sys/devices/system/cpu/online", platform::formatCpuList(cpus));
    for (std::size_t k = 0; k < cpus.size(); ++k) {
        const std::string dir =
            "sys/devices/system/cpu/cpu" + std::to_string(cpus[k]) + "/topology/";
        tree.file(dir + "physical_package_id", "0\n").file(dir + "die_id", "0\n");
        tree.file(dir + "core_id", std::to_string(k) + "\n");
        tree.file(dir + "core_cpus_list", std::to_string(cpus[k]) + "\n");
    }
    const std::string hwmon = "sys/class/hwmon/hwmon0/";
    tree.file(hwmon + "name", "coretemp\n");
    tree.file(hwmon + "temp1_label", "Package id 0\n").file(hwmon + "temp1_input", "60000\n");
    tree.file(hwmon + "temp2_label", "Core 0\n").file(hwmon + "temp2_input", "50000\n");
    tree.file(hwmon + "temp3_label", "Core 1\n").file(hwmon + "temp3_input", "71000\n");
    return tree;
}

// A pass of the designed loop whose 7th iteration's rounding input is one bit off where
// `wrong` says.
template <class Wrong>
diag::PassRoutine shortPass(Wrong wrong) {
    return [wrong] {
        return diag::stabilityPass(100, [&](std::int64_t i, diag::Step step, double a) {
            return i == 7 && step == diag::Step::Halve && wrong() ? std::nextafter(a, 1e9) : a;
        });
    };
}

TEST(ReportCpuStability, AFaultyCpuIsNamedWithItsCoreTemperatureAndConfirmedRetest) {
    platform::CpuList cpus = platform::allowedCpus();
    if (cpus.size() < 2) GTEST_SKIP() << "needs two CPUs";
    cpus.resize(2);
    const fixtures::Tree tree = twoCoreTree(cpus);
    const int faulty = cpus[1];
    report::CpuStabilityPlan plan{1, "loop", cpus,
                                  shortPass([faulty] { return sched_getcpu() == faulty; }), 1s};
    const auto figures =
        report::runStabilityOnCpus(plan, fixtureSources(tree), [](const std::string&) {});
    ASSERT_TRUE(figures);
    ASSERT_EQ(figures->cpus.size(), 2u);
    EXPECT_EQ(figures->cpus[0].errors, 0);
    EXPECT_GT(figures->cpus[1].errors, 0);
    EXPECT_EQ(figures->cpus[1].retest, "confirmed");
    EXPECT_EQ(figures->cpus[1].maxCelsius, 71.0);
    EXPECT_EQ(figures->cpus[0].maxCelsius, 50.0);
    ASSERT_TRUE(figures->cpus[1].firstMismatch);
    EXPECT_EQ(figures->cpus[1].firstMismatch->iteration, 7);

    report::Report r;
    r.stability = *figures;
    const std::string text = report::renderText(r);
    const std::string where = "CPU " + std::to_string(faulty) + " (package 0, die 0, core 1)";
    EXPECT_NE(text.find("Faulty: " + where + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find(": iteration 7, before_rounding, expected "), std::string::npos) << text;
    EXPECT_NE(text.find("  retest: confirmed\n"), std::string::npos) << text;
    const std::string metrics = report::renderOpenMetrics(r);
    EXPECT_NE(metrics.find("corvane_stability_cpu_errors{cpu=\"" + std::to_string(faulty) +
                           "\",core=\"1\",package=\"0\"} " +
                           std::to_string(figures->cpus[1].errors) + "\n"),
              std::string::npos)
        << metrics;
}

TEST(ReportCpuStability, AnErrorThatDoesNotComeBackIsNotReproduced) {
    const platform::CpuList cpus = {platform::allowedCpus().front()};
    const fixtures::Tree tree("report-cpus-once");
    auto left = std::make_shared<std::atomic<int>>(1);
    report::CpuStabilityPlan plan{1, "loop", cpus,
                                  shortPass([left] { return left->fetch_sub(1) == 1; }), 1s};
    const auto figures =
        report::runStabilityOnCpus(plan, fixtureSources(tree), [](const std::string&) {});
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->cpus.at(0).errors, 1);
    EXPECT_EQ(figures->cpus[0].retest, "not reproduced in the retest");
    EXPECT_EQ(figures->cpus[0].maxCelsius, std::nullopt);  // no sensor: nothing said
    report::Report r;
    r.stability = *figures;
    EXPECT_NE(report::renderText(r).find("  retest: not reproduced in the retest\n"),
              std::string::npos);
}

TEST(ReportCpuJson, CopiesAndStabilityCpusReadBackToTheSameJson) {
    std::vector<platform::GroupStep> steps;
    report::Report r;
    r.bench = twoCopies(steps);
    report::aggregateCopies(*r.bench, steps);
    auto& s = r.stability.emplace();
    s.seconds = 60;
    s.workload = "kernels";
    s.cpus.push_back({3, 1, 0, 0, {3, 9}, 120, 2, {}, 41.25, "confirmed", 88.0, std::nullopt});
    // A NaN is null in JSON; its bits keep it.
    s.cpus[0].firstMismatch = report::CpuMismatch{
        51, std::nullopt, std::nullopt, 12, 100.0, std::numeric_limits<double>::quiet_NaN()};
    const json saved = json::parse(json(r).dump());  // as a file holds it
    EXPECT_EQ(saved["schema"], 3);
    EXPECT_EQ(saved["stability"]["cpus"][0]["siblings"], "3,9");
    EXPECT_TRUE(saved["stability"]["cpus"][0]["first_mismatch"]["got"].is_null());
    const report::Report read = saved.get<report::Report>();
    EXPECT_TRUE(std::isnan(*read.stability->cpus[0].firstMismatch->got));
    EXPECT_EQ(json(read).dump(), saved.dump());
}

}  // namespace
