// SPDX-License-Identifier: GPL-3.0-or-later
// What the report says about the memory a test may take, and the units it exports.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "diag/memtest.h"
#include "report/options.h"
#include "report/report.h"

namespace {

constexpr std::int64_t MiB = 1024 * 1024;

report::Options options(const std::string& memtest) {
    const auto parsed = report::parseOptions({"--memtest", memtest});
    EXPECT_TRUE(parsed) << memtest;
    return parsed ? *parsed : report::Options{};
}

// The block, or the refusal, for `memtest` when the process may take `allowance`.
std::string block(const std::string& memtest, std::optional<std::int64_t> allowance) {
    const auto result = report::memtestBlock(options(memtest), allowance);
    return result ? std::to_string(*result) : result.error();
}

platform::MemoryAllowance cgroupAllowance() {
    return {1011 * MiB + 5, 20'000 * MiB,
            platform::MemoryLimit{1024 * MiB, 1011 * MiB + 5,
                                  "/sys/fs/cgroup/system.slice/test.scope/memory.max"}};
}

// "name{labels}" -> value of every sample of an OpenMetrics text.
std::map<std::string, double> samples(const std::string& text) {
    std::map<std::string, double> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto blank = line.rfind(' ');
        out[line.substr(0, blank)] = std::stod(line.substr(blank + 1));
    }
    return out;
}

}  // namespace

TEST(MemtestSize, AboveTheAllowanceIsRefusedAndAPercentageTakesAShareOfIt) {
    const std::int64_t allowance = 1011 * MiB + 5;
    EXPECT_EQ(block("2G", allowance),
              "--memtest 2G: only 1011 MiB of memory may be used by this process");
    EXPECT_EQ(block("1011M", allowance), std::to_string(1011 * MiB));
    // 99 % is the window's block; 50 % half of the allowance, rounded the same way.
    EXPECT_EQ(block("99%", allowance), std::to_string(diag::memTestBlockBytes(allowance)));
    EXPECT_EQ(block("50%", allowance), std::to_string((allowance / 2 + 1) / 128 * 128));
    EXPECT_EQ(block("100%", allowance), std::to_string(allowance / 128 * 128));
    EXPECT_EQ(block("1%", 50 * MiB),
              "--memtest 1%: only 50 MiB of memory may be used by this "
              "process, under the smallest test, 1M");
    EXPECT_EQ(block("64M", std::nullopt),
              "--memtest 64M: the memory this process may use cannot be read");

    EXPECT_EQ(options("90%").memtestPercent, 90);
    EXPECT_FALSE(options("90%").memtestBytes);
    for (const char* bad : {"0%", "101%", "9.5%", "%", "-5%", "x%", "50%%"}) {
        const auto parsed = report::parseOptions({"--memtest", bad});
        ASSERT_FALSE(parsed) << bad;
        EXPECT_EQ(parsed.error().status, report::kExitUsage);
        EXPECT_EQ(parsed.error().text, std::string("--memtest: not a size: ") + bad);
    }
}

TEST(ReportMemoryLimit, JsonAndTextSayWhichLimitMakesTheTestSmaller) {
    report::Report r;
    r.memory.allowance = cgroupAllowance();
    const auto json = nlohmann::json(r)["memory"];
    EXPECT_EQ(json["limit"], 1024 * MiB);
    EXPECT_EQ(json["limit_available"], 1011 * MiB + 5);
    EXPECT_EQ(json["limit_source"], "/sys/fs/cgroup/system.slice/test.scope/memory.max");
    EXPECT_EQ(json["memtest_allowance"], 1011 * MiB + 5);
    EXPECT_EQ(json["unused"], 20'000 * MiB);
    const std::string text = report::renderText(r);
    EXPECT_NE(text.find("\nMemory limit       1024 MiB, 1011 MiB of it free "
                        "(/sys/fs/cgroup/system.slice/test.scope/memory.max)\n"
                        "Memory test block  1000 Mb. (99 % of 1011 MiB this process may use)\n"),
              std::string::npos)
        << text;

    r.memory.allowance->limit.reset();
    const auto unlimited = nlohmann::json(r)["memory"];
    for (const char* key : {"limit", "limit_available", "limit_source"})
        EXPECT_TRUE(unlimited[key].is_null()) << key;
    EXPECT_NE(report::renderText(r).find("\nMemory limit       none\n"), std::string::npos);

    r.memory.allowance.reset();
    EXPECT_TRUE(nlohmann::json(r)["memory"]["memtest_allowance"].is_null());
    EXPECT_NE(report::renderText(r).find("\nMemory limit       -\nMemory test block  -\n"),
              std::string::npos);
}

// Every exported figure whose name carries a unit, for known measurements: the true bytes,
// seconds, hertz or instructions.
TEST(OpenMetricsUnits, EveryFigureIsInTheUnitItsNameSays) {
    report::Report r;
    r.machine.tscMhz = 2096.04;
    r.machine.effectiveMhz = 3311.2;
    r.cpu.clockCycles = 1'048'960'000;  // 2097.92 MHz
    r.memory.status = platform::MemoryStatus{8 * 1024 * MiB, 6 * 1024 * MiB,        9 * 1024 * MiB,
                                             7 * 1024 * MiB, std::int64_t{1} << 47, 100};
    r.memory.allowance = cgroupAllowance();
    auto& bench = r.bench.emplace();
    bench.repetitions = 1;
    bench.rows.push_back({1, bench::Group::Alu, 1500, {1500}, true});
    bench.rows.push_back({26, bench::Group::Instr, 512, {512}, true});
    // The write loop: 1000 passes over 16 MiB in 4,000 ms. The read loop: 999 passes over
    // 8 MiB of addresses in 1,000 ms, of which it loads one 4-byte word per 32 bytes.
    auto& ram = r.ramBench.emplace();
    ram.write = membench::Speed{4200, {16'777'216'000, 4000}};
    ram.read = membench::Speed{7992, {999 * 8 * MiB, 1000}};
    r.stability = report::StabilityFigures{10, 201, 0, {100, 101}};
    // A 283 MiB block written in 250 ms and checked in 125 ms.
    r.memtest.emplace();
    r.memtest->bytes = 283 * MiB;
    r.memtest->passes = 2;
    r.memtest->write = diag::PhaseSpeed{1132, {283 * MiB, 250}};
    r.memtest->read = diag::PhaseSpeed{2264, {283 * MiB, 125}};

    const std::map<std::string, double> expected = {
        {"corvane_cpu_tsc_hertz", 2'096'040'000},
        {"corvane_cpu_measured_clock_hertz", 2'097'920'000},
        {"corvane_cpu_effective_clock_hertz", 3'311'200'000},
        {"corvane_memory_total_bytes{kind=\"physical\"}", 8589934592},
        {"corvane_memory_total_bytes{kind=\"pagefile\"}", 9663676416},
        {"corvane_memory_total_bytes{kind=\"virtual\"}", 140737488355328},
        {"corvane_memory_available_bytes{kind=\"physical\"}", 6442450944},
        {"corvane_memory_available_bytes{kind=\"pagefile\"}", 7516192768},
        {"corvane_memory_available_bytes{kind=\"virtual\"}", 100},
        {"corvane_memory_unused_bytes", 20'000 * MiB},
        {"corvane_memtest_allowance_bytes", 1011 * MiB + 5},
        {"corvane_memory_limit_bytes{source=\"/sys/fs/cgroup/system.slice/test.scope/"
         "memory.max\"}",
         1024 * MiB},
        {"corvane_memory_limit_available_bytes{source=\"/sys/fs/cgroup/system.slice/test.scope/"
         "memory.max\"}",
         1011 * MiB + 5},
        {"corvane_bench_row_duration_seconds{row=\"1\",group=\"ALU\",caption=\"Fibonachi "
         "digit's\"}",
         1.5},
        {"corvane_bench_row_instructions_per_second{row=\"26\",group=\"INSTR\",caption=\"SSE "
         "Add\"}",
         512e6},
        {"corvane_ram_write_bytes_per_second", 4'194'304'000},
        {"corvane_ram_read_bytes_per_second", 8'380'219'392},
        {"corvane_stability_duration_seconds", 10},
        {"corvane_memtest_size_bytes", 283 * MiB},
        {"corvane_memtest_write_bytes_per_second", 1132 * MiB},
        {"corvane_memtest_read_bytes_per_second", 2264 * MiB},
    };
    const auto exported = samples(report::renderOpenMetrics(r));
    for (const auto& [sample, value] : expected) {
        const auto found = exported.find(sample);
        ASSERT_NE(found, exported.end()) << sample;
        EXPECT_DOUBLE_EQ(found->second, value) << sample;
    }
    // No unit goes unpinned.
    for (const auto& [sample, value] : exported) {
        const std::string name = sample.substr(0, sample.find('{'));
        for (const char* unit : {"_bytes", "_seconds", "_hertz", "_per_second"}) {
            if (name.find(unit) != std::string::npos) {
                EXPECT_TRUE(expected.count(sample)) << sample << " is not pinned";
            }
        }
    }
}
