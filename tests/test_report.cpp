#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "report/options.h"
#include "report/os_figures.h"
#include "report/report.h"

namespace fs = std::filesystem;
using report::EarlyExit;
using report::Options;
using report::parseOptions;

namespace {

Options parsed(std::vector<std::string> arguments) {
    auto result = parseOptions(arguments);
    EXPECT_TRUE(std::holds_alternative<Options>(result))
        << (std::holds_alternative<EarlyExit>(result) ? std::get<EarlyExit>(result).text : "");
    return std::holds_alternative<Options>(result) ? std::get<Options>(result) : Options{};
}

EarlyExit exited(std::vector<std::string> arguments) {
    auto result = parseOptions(arguments);
    EXPECT_TRUE(std::holds_alternative<EarlyExit>(result));
    return std::holds_alternative<EarlyExit>(result) ? std::get<EarlyExit>(result) : EarlyExit{};
}

report::Report sampleReport() {
    report::Report r;
    r.cpu.panel1 = "3200 Mhz Example CPU";
    r.cpu.name = "Example CPU";
    r.cpu.ratedMhz = 3200;
    r.cpu.identifier = "Intel64 Family 6 Model 158 Stepping 10";
    r.cpu.vendor = "GenuineIntel";
    r.cpu.instructions = "x86, MMX, SSE, SSE2, SSE3";
    r.cpu.clockText = "3192.01";
    r.cpu.clockMhz = 3192.0123;
    r.memory.status = platform::MemoryStatus{8'000'000'000, 6'000'000'000,         9'000'000'000,
                                             7'000'000'000, std::int64_t{1} << 47, 100};
    r.memory.loadPercent = 25;
    r.memory.panelTexts = {"a Kbyte", "b Kbyte", "c Kbyte", "d Kbyte", "e Kbyte", "f Kbyte"};
    report::BenchFigures bench;
    bench.rows.push_back({1, "ALU", "Fibonachi digit's........", 1500, 8000, "8000 Mark"});
    bench.rows.push_back({26, "INSTR", "SSE Add..........", std::nullopt, 0, "0"});
    bench.alu = 8000;
    bench.fpu = 4000;
    bench.instr = 512;
    bench.cpuScore = 4677;
    bench.cpuText = "Your CPU score: 4677 Mark!";
    r.bench = bench;
    return r;
}

}  // namespace

TEST(ReportOptions, NoArgumentsPrintsThePagesOnly) {
    const Options o = parsed({});
    EXPECT_FALSE(o.json || o.benchCpu || o.benchRam || o.stabilitySeconds || o.memtestBytes);
}

TEST(ReportOptions, BenchChoicesAndJson) {
    EXPECT_TRUE(parsed({"--bench", "cpu"}).benchCpu);
    EXPECT_FALSE(parsed({"--bench", "cpu"}).benchRam);
    const Options all = parsed({"--bench", "all", "--json"});
    EXPECT_TRUE(all.benchCpu && all.benchRam && all.json);
    EXPECT_EQ(exited({"--bench", "gpu"}).status, 2);
}

TEST(ReportOptions, StabilityAndMemtestTakeTheirValues) {
    EXPECT_EQ(parsed({"--stability", "30"}).stabilitySeconds, 30);
    const Options m = parsed({"--memtest", "64M", "--passes", "3"});
    EXPECT_EQ(m.memtestBytes, 64 << 20);
    EXPECT_EQ(m.memtestPasses, 3);
    EXPECT_EQ(parsed({"--memtest", "1G"}).memtestPasses, 1);
}

TEST(ReportOptions, MistakesGiveOneLineAndStatusTwo) {
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"--frobnicate"},
                                               {"--memtest", "12Q"},
                                               {"--memtest", "-5M"},
                                               {"--stability", "soon"},
                                               {"--stability", "0"},
                                               {"--passes", "2"},  // without --memtest
                                               {"extra"}}) {
        const EarlyExit e = exited(arguments);
        EXPECT_EQ(e.status, 2) << arguments[0];
        EXPECT_EQ(std::count(e.text.begin(), e.text.end(), '\n'), 1) << e.text;
        EXPECT_EQ(e.text.rfind("corvane-report: ", 0), 0u) << e.text;
    }
}

TEST(ReportOptions, HelpExitsWithZero) {
    const EarlyExit help = exited({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.text.find("--memtest"), std::string::npos);
}

TEST(ReportSize, BinaryMultiplesAndRejections) {
    EXPECT_EQ(report::parseSize("65536"), 65536);
    EXPECT_EQ(report::parseSize("64K"), 64 * 1024);
    EXPECT_EQ(report::parseSize("3g"), std::int64_t{3} << 30);
    EXPECT_FALSE(report::parseSize(""));
    EXPECT_FALSE(report::parseSize("0"));
    EXPECT_FALSE(report::parseSize("M"));
    EXPECT_FALSE(report::parseSize("1.5G"));
    EXPECT_FALSE(report::parseSize("9999999999999G"));
}

TEST(ReportJson, ParsesAndCarriesTheTextOutputsNumbers) {
    const report::Report r = sampleReport();
    const auto json = nlohmann::json::parse(report::renderJson(r).dump());
    const std::string text = report::renderText(r);

    EXPECT_EQ(json["cpu"]["panel1"], "3200 Mhz Example CPU");
    EXPECT_NE(text.find("3200 Mhz Example CPU"), std::string::npos);
    EXPECT_EQ(json["bench"]["cpu_score"], 4677);
    EXPECT_EQ(json["bench"]["cpu_text"], "Your CPU score: 4677 Mark!");
    EXPECT_NE(text.find("Your CPU score: 4677 Mark!"), std::string::npos);
    EXPECT_EQ(json["bench"]["rows"][0]["raw"], 1500);
    EXPECT_EQ(json["bench"]["rows"][0]["result"], 8000);
    EXPECT_NE(text.find("Fibonachi digit's........ 8000 Mark"), std::string::npos);
    EXPECT_EQ(json["memory"]["phys_in_use"], 2'000'000'000);
    EXPECT_EQ(json["memory"]["pagefile_in_use"], 2'000'000'000);
    EXPECT_EQ(json["memory"]["load_percent"], 25);
}

TEST(ReportJson, WhatCouldNotBeObtainedIsNull) {
    report::Report r = sampleReport();
    r.memory.status.reset();
    r.memory.loadPercent.reset();
    const auto json = report::renderJson(r);
    EXPECT_TRUE(json["cpu"]["l2_cache_os"].is_null());
    EXPECT_TRUE(json["cpu"]["effective_mhz"].is_null());
    EXPECT_TRUE(json["memory"]["total_phys"].is_null());
    EXPECT_TRUE(json["memory"]["load_percent"].is_null());
    EXPECT_TRUE(json["bench"]["rows"][1]["raw"].is_null());
    EXPECT_FALSE(json.contains("ram_bench"));
}

TEST(ReportExitStatus, ErrorsOfEitherTestAreFound) {
    report::Report r;
    EXPECT_FALSE(r.foundErrors());
    r.stability = report::StabilityFigures{10, 40, 0};
    EXPECT_FALSE(r.foundErrors());
    r.memtest = report::MemtestFigures{};
    r.memtest->errors = 1;
    EXPECT_TRUE(r.foundErrors());
}

TEST(OsFigures, LevelTwoCacheAndTscFromSysfs) {
    const fs::path root = fs::temp_directory_path() / "corvane-os-figures";
    fs::remove_all(root);
    const auto write = [&](const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    };
    const fs::path cache = root / "sys/devices/system/cpu/cpu0/cache";
    write(cache / "index0/level", "1\n");
    write(cache / "index0/type", "Data\n");
    write(cache / "index0/size", "32K\n");
    write(cache / "index2/level", "2\n");
    write(cache / "index2/type", "Unified\n");
    write(cache / "index2/size", "2048K\n");
    EXPECT_EQ(report::l2CacheBytesFromOs(root), 2048 * 1024);
    EXPECT_FALSE(report::tscMHzFromOs(root));  // no cpuinfo, no tsc_freq_khz

    write(root / "proc/cpuinfo", "processor : 0\ncpu MHz : 2096.040\nflags : fpu constant_tsc\n");
    EXPECT_DOUBLE_EQ(*report::tscMHzFromOs(root), 2096.040);
    fs::create_directories(root / "sys/devices/system/cpu/cpu0/cpufreq");  // a scaling clock
    EXPECT_FALSE(report::tscMHzFromOs(root));
    write(root / "sys/devices/system/cpu/cpu0/tsc_freq_khz", "2600000\n");
    EXPECT_DOUBLE_EQ(*report::tscMHzFromOs(root), 2600.0);
    fs::remove_all(root);
    EXPECT_FALSE(report::l2CacheBytesFromOs(root));
}

TEST(OsFigures, OddNumbersCountAsMissing) {
    EXPECT_EQ(report::cacheSizeBytes("512K\n"), 512 * 1024);
    EXPECT_EQ(report::cacheSizeBytes("4G"), std::int64_t{4} << 30);
    for (const char* odd :
         {"9223372036854775807K", "5G", "1023", "0K", "-1K", "2048 K", "2048KB", "K", "12x", ""})
        EXPECT_FALSE(report::cacheSizeBytes(odd)) << odd;

    const fs::path root = fs::temp_directory_path() / "corvane-os-figures-odd";
    fs::remove_all(root);
    fs::create_directories(root / "sys/devices/system/cpu/cpu0");
    for (const char* odd : {"1e308", "inf", "2445432 garbage", "999", "100000001", "-2600000"}) {
        std::ofstream(root / "sys/devices/system/cpu/cpu0/tsc_freq_khz") << odd << "\n";
        EXPECT_FALSE(report::tscMHzFromOs(root)) << odd;  // and no cpuinfo to fall back on
    }
    fs::remove_all(root);
}
