// SPDX-License-Identifier: GPL-3.0-or-later
// corvane-report's memory test: the options that choose its patterns, the outputs of a
// located result, the designed cycle's mismatches located through its checks, and one run of
// the program.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diag/memtest.h"
#include "diag/thorough_engine.h"
#include "report/memtest_thorough.h"
#include "report/options.h"
#include "report/report.h"

namespace {

using diag::Mismatch;
using diag::PatternId;

platform::Expected<report::Options, report::EarlyExit> parse(std::vector<std::string> args) {
    return report::parseOptions(args);
}

TEST(MemtestOptions, PatternsAndSeedAreParsedAndBadNamesAreUsageErrorsNamingThem) {
    const auto plain = parse({"--memtest", "64M"});
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->designedMemtest());
    EXPECT_FALSE(plain->seed);

    const auto chosen =
        parse({"--memtest", "64M", "--patterns", "walking,solid", "--seed", "0x5EED"});
    ASSERT_TRUE(chosen);
    EXPECT_FALSE(chosen->designedMemtest());
    EXPECT_EQ(chosen->patterns.inOrder(),
              (std::vector<PatternId>{PatternId::Solid, PatternId::Walking}));
    EXPECT_EQ(chosen->seed, 0x5eedu);
    EXPECT_EQ(parse({"--memtest", "64M", "--seed", "18446744073709551615"})->seed,
              18446744073709551615u);

    const auto unknown = parse({"--memtest", "64M", "--patterns", "solid,walk"});
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().status, report::kExitUsage);
    EXPECT_NE(unknown.error().text.find("named walk;"), std::string::npos) << unknown.error().text;
    EXPECT_NE(unknown.error().text.find("moving_inversions"), std::string::npos);
    for (const char* empty : {"", "solid,"}) {
        const auto refused = parse({"--memtest", "64M", "--patterns", empty});
        ASSERT_FALSE(refused) << empty;
        EXPECT_NE(refused.error().text.find("a pattern name is empty"), std::string::npos);
    }
    for (const char* seed : {"-1", "0x", "12x", "18446744073709551616", ""})
        EXPECT_FALSE(parse({"--memtest", "64M", "--seed", seed})) << seed;
    EXPECT_FALSE(parse({"--patterns", "thorough"}));  // needs --memtest
}

// A result with more mismatches than are kept: stuck bit 18 at one element, found in two
// cycles of solid, and others in walking, on a machine that hides frame numbers.
diag::ThoroughResult faultyResult() {
    diag::ThoroughResult r;
    r.bytes = 64 << 20;
    r.seed = 0x5eed0c0ffee;
    r.cycles = 2;
    r.threads = {{0, true, 0, 4 << 20}, {1, true, 4 << 20, 4 << 20}};
    r.locked = false;
    r.lockRefusal = platform::LockRefusal::OverLimit;
    r.smallerThanFourCaches = true;
    r.ceiling = diag::Ceiling{64 << 20, 1, 2, 3, 14.2e9, 18.9e9};
    diag::PatternFigures solid, walking;
    solid.pattern = PatternId::Solid;
    solid.elapsedNs = 1'000'000'000;
    solid.bytesChecked = std::int64_t{8} << 30;
    solid.checkedBytesPerSecond = 8e9;
    solid.ceilingShare = 0.53;
    solid.errors = 66;
    walking.pattern = PatternId::Walking;
    walking.errors = 4;
    r.patterns = {solid, walking};
    for (int k = 0; k < 64; ++k) {
        Mismatch m;
        m.pattern = PatternId::Solid;
        m.cycle = 1 + k % 2;
        m.offset = 0x1000 + k;
        m.virtualAddress = 0x7f0000000000 + 8 * static_cast<std::uint64_t>(m.offset);
        m.expected = ~std::uint64_t{0};
        m.got = ~(std::uint64_t{1} << 18);
        m.xorBits = std::uint64_t{1} << 18;
        m.reread = m.got;
        m.cpu = 1;
        if (k == 0) m.physicalAddress = 0x4b3a2c040;
        r.mismatches.push_back(m);
    }
    r.mismatchCount = 70;
    r.bitCounts[18] = 66;
    r.bitCounts[7] = 4;
    r.physicalUnknown = platform::FrameUnknown::NeedsRoot;
    return r;
}

report::Report reportWith(const report::MemtestFigures& memtest) {
    report::Report r;
    r.machine.when = "2026-12-08T08:00:00Z";
    r.cpu.hypervisor = true;
    r.memtest = memtest;
    return r;
}

std::vector<std::string> linesStarting(const std::string& text, const std::string& start) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) lines.push_back(line);
    return lines;
}

TEST(MemtestOutputs, TextListsTheKeptMismatchesCountsTheRestAndSaysOnceWhatAddressesAreNot) {
    const report::Report r = reportWith(report::thoroughFigures(faultyResult(), "thorough"));
    const std::string text = report::renderText(r);
    const auto mismatches = linesStarting(text, "Mismatch ");
    ASSERT_EQ(mismatches.size(), 64u);
    EXPECT_EQ(mismatches[0],
              "Mismatch solid cycle 1 element 0x1000 virtual 0x7f0000008000 physical 0x4b3a2c040 "
              "expected 0xffffffffffffffff got 0xfffffffffffbffff xor 0x0000000000040000 reread "
              "0xfffffffffffbffff CPU 1");
    EXPECT_NE(mismatches[1].find(" physical - "), std::string::npos);
    EXPECT_EQ(linesStarting(text, "... and 6 more mismatches not listed").size(), 1u);
    EXPECT_EQ(
        linesStarting(text, "70 mismatches, in bits 7 and 18, found by solid and walking").size(),
        1u);
    EXPECT_EQ(linesStarting(text, "Physical address -: the kernel shows frame numbers only to root")
                  .size(),
              1u);
    EXPECT_EQ(linesStarting(text, "Physical addresses are the guest's").size(), 1u);
    EXPECT_EQ(linesStarting(text,
                            "Patterns thorough, seed 0x5eed0c0ffee, 2 cycles, 2 threads on "
                            "CPUs 0-1")
                  .size(),
              1u);
    EXPECT_EQ(linesStarting(text, "The block was not locked in memory: the block is larger").size(),
              1u);
    EXPECT_EQ(linesStarting(text, "The block is smaller than four times").size(), 1u);
    EXPECT_EQ(
        linesStarting(text, "Pattern solid: 8.00 GB/s checked, 53 % of the ceiling, 66 errors")
            .size(),
        1u);
    EXPECT_TRUE(r.foundErrors());
}

TEST(MemtestOutputs, JsonHasThePageKeysInHexAndOpenMetricsItsOwnFamilies) {
    const nlohmann::json j = reportWith(report::thoroughFigures(faultyResult(), "thorough"));
    const nlohmann::json& m = j.at("memtest");
    EXPECT_EQ(j.at("schema"), 3);
    EXPECT_EQ(m.at("seed"), "0x5eed0c0ffee");
    EXPECT_EQ(m.at("cpus"), "0-1");
    EXPECT_EQ(m.at("errors"), 70);
    EXPECT_EQ(m.at("mismatches_not_listed"), 6);
    EXPECT_EQ(m.at("ceiling").at("read_bytes_per_second"), 18.9e9);
    EXPECT_EQ(m.at("patterns")[0].at("share_of_ceiling"), 0.53);
    EXPECT_EQ(m.at("patterns")[1].at("errors"), 4);
    const nlohmann::json& first = m.at("mismatches")[0];
    EXPECT_EQ(first.at("offset"), "0x1000");
    EXPECT_EQ(first.at("physical"), "0x4b3a2c040");
    EXPECT_EQ(first.at("xor"), "0x0000000000040000");
    EXPECT_TRUE(m.at("mismatches")[1].at("physical").is_null());
    EXPECT_EQ(m.at("bit_counts").size(), 64u);
    EXPECT_EQ(m.at("physical_unknown_reason"), "the kernel shows frame numbers only to root");

    const std::string metrics =
        report::renderOpenMetrics(reportWith(report::thoroughFigures(faultyResult(), "thorough")));
    EXPECT_NE(metrics.find("corvane_memtest_pattern_errors{pattern=\"solid\"} 66\n"),
              std::string::npos);
    EXPECT_NE(metrics.find("corvane_memtest_bit_errors{bit=\"18\"} 66\n"), std::string::npos);
    EXPECT_NE(metrics.find("corvane_memtest_bit_errors{bit=\"63\"} 0\n"), std::string::npos);
    if (system("command -v promtool >/dev/null 2>&1") != 0) return;
    const auto file = std::filesystem::temp_directory_path() / "corvane-memtest-metrics.txt";
    std::ofstream(file) << metrics;
    EXPECT_EQ(system(("promtool check metrics < " + file.string() + " 2>&1").c_str()), 0);
    std::filesystem::remove(file);
}

TEST(MemtestOutputs, ALocatedResultRoundTripsAndAnOlderOneReadsWithoutItsKeys) {
    report::MemtestFigures figures = report::thoroughFigures(faultyResult(), "solid,walking");
    figures.edac = {{0, "dimm1", "CPU_SrcID#0_Ha#0_Chan#1_DIMM#0", 1, 3, 0, 0}};
    figures.mismatches[5].located = false;
    const nlohmann::json saved = reportWith(figures);
    const report::Report read = saved.get<report::Report>();
    EXPECT_EQ(nlohmann::json(read), saved);
    EXPECT_EQ(read.memtest->mismatches[0].virtualAddress, 0x7f0000008000u);
    EXPECT_EQ(read.memtest->seed, 0x5eed0c0ffeeu);

    report::MemtestFigures older;
    older.bytes = 1 << 20;
    older.passes = 2;
    nlohmann::json old = reportWith(older);
    old["schema"] = 2;
    const report::Report oldRead = old.get<report::Report>();
    EXPECT_FALSE(oldRead.memtest->patternsSet);
    EXPECT_FALSE(oldRead.memtest->foundErrors());
    EXPECT_FALSE(nlohmann::json(oldRead).at("memtest").contains("mismatches"));
}

// Holds one bit of one element at a fixed value, after each write of the designed cycle,
// as a stuck cell would.
class StuckCellRecorder : public report::DesignedRecorder {
  public:
    StuckCellRecorder(report::MemtestFigures& figures, std::vector<std::int64_t>& block,
                      std::int64_t element, int bit, bool one)
        : DesignedRecorder(1, figures, quiet_, none_, "/nonexistent"),
          block_(block),
          element_(element),
          mask_(std::int64_t{1} << bit),
          one_(one) {}
    void processEvents(diag::EventPoint point) override {
        if (point == diag::EventPoint::AfterWriteOnes || point == diag::EventPoint::AfterWriteZeros)
            block_[static_cast<std::size_t>(element_)] =
                one_ ? block_[static_cast<std::size_t>(element_)] | mask_
                     : block_[static_cast<std::size_t>(element_)] & ~mask_;
    }

  private:
    report::Progress quiet_ = [](const std::string&) {};
    std::function<void(const report::MemtestFigures&)> none_;
    std::vector<std::int64_t>& block_;
    std::int64_t element_;
    std::int64_t mask_;
    bool one_;
};

report::MemtestFigures designedRun(int bit, bool one) {
    std::vector<std::int64_t> block(4096);
    report::MemtestFigures figures;
    StuckCellRecorder view(figures, block, 1000, bit, one);
    diag::memTestStop.store(0);
    const diag::MemTestTotals totals = diag::runMemTestCycles(
        block.data(), std::ssize(block), 0, view, [] { return std::uint32_t{0}; });
    figures.errors = totals.errors;
    return figures;
}

// Memory whose element `offset` has `bit` stuck, for the thorough engine.
struct StuckMemory {
    std::vector<std::uint64_t>* cells;
    std::int64_t offset;
    std::uint64_t mask;
    bool one;
    std::uint64_t load(std::int64_t i) const { return (*cells)[static_cast<std::size_t>(i)]; }
    void store(std::int64_t i, std::uint64_t v) const {
        if (i == offset) v = one ? v | mask : v & ~mask;
        (*cells)[static_cast<std::size_t>(i)] = v;
    }
    std::uint64_t reread(std::int64_t i) const { return load(i); }
    std::uint64_t address(std::int64_t i) const {
        return 0x10000 + 8 * static_cast<std::uint64_t>(i);
    }
    struct Design {
        const StuckMemory* m;
        std::int64_t first;
        std::int64_t load(std::int64_t k) const {
            return static_cast<std::int64_t>(m->load(first + k));
        }
        void store(std::int64_t k, std::int64_t v) const {
            m->store(first + k, static_cast<std::uint64_t>(v));
        }
    };
    Design designElements(std::int64_t first) const { return {this, first}; }
    platform::Expected<void, platform::BackingFailure> back(std::int64_t, std::int64_t) const {
        return {};
    }
};

std::int64_t thoroughFinds(int bit, bool one) {
    std::vector<std::uint64_t> cells(4096);
    const StuckMemory memory{&cells, 1000, std::uint64_t{1} << bit, one};
    diag::ThoroughPlan plan;
    plan.bytes = 4096 * 8;
    plan.measureCeiling = false;
    plan.seed = 7;
    const diag::StopFlag stop{false};
    const platform::Pagemap pagemap("/nonexistent");
    const auto run = diag::engine::runEngine(memory, 4096, plan, stop, {}, pagemap);
    if (!run || run->mismatches.empty() || run->mismatches[0].offset != 1000) return 0;
    return run->bitCounts[static_cast<std::size_t>(bit)];
}

// The designed cycle locates a bit stuck at 1 and is blind to one stuck at 0, which the
// thorough patterns find as well.
TEST(DesignedMemtest, LocatesStuckAtOneMissesStuckAtZeroWhichThoroughFinds) {
    const report::MemtestFigures stuckAtOne = designedRun(5, true);
    EXPECT_EQ(stuckAtOne.errors, 2);  // in the check of ones and of zeros
    ASSERT_EQ(stuckAtOne.mismatches.size(), 2u);
    const Mismatch& m = stuckAtOne.mismatches[0];
    EXPECT_EQ(m.pattern, PatternId::Design);
    EXPECT_EQ(m.cycle, 1);
    EXPECT_EQ(m.offset, 1000);
    EXPECT_EQ(m.expected, 1u);
    EXPECT_EQ(m.got, 0x21u);
    EXPECT_EQ(m.xorBits, 0x20u);
    EXPECT_EQ(m.reread, 0x21u);
    EXPECT_EQ(m.virtualAddress % 8, 0u);
    EXPECT_EQ(stuckAtOne.mismatches[1].expected, 0u);
    EXPECT_EQ(stuckAtOne.bitCounts[5], 2);
    EXPECT_TRUE(stuckAtOne.physicalUnknownReason);  // no page map below the root given

    const report::MemtestFigures stuckAtZero = designedRun(5, false);
    EXPECT_EQ(stuckAtZero.errors, 0);
    EXPECT_TRUE(stuckAtZero.mismatches.empty());

    EXPECT_GT(thoroughFinds(5, true), 0);
    EXPECT_GT(thoroughFinds(5, false), 0);
}

// The program itself, over a small block: a few seconds.
TEST(MemtestProgram, ThoroughRunOnAllCpusGivesPatternsAndCeilingInJson) {
    const std::string command = std::string(CORVANE_REPORT_PROGRAM) +
                                " --memtest 64M --patterns thorough --cpus all --seed 42"
                                " --format json 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char chunk[4096];
    for (std::size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, got);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == report::kExitAllWell) << out;
    const nlohmann::json m = nlohmann::json::parse(out).at("memtest");
    EXPECT_EQ(m.at("patterns_set"), "thorough");
    EXPECT_EQ(m.at("seed"), "0x2a");
    EXPECT_EQ(m.at("patterns").size(), 6u);
    EXPECT_EQ(m.at("cycles"), 1);
    EXPECT_TRUE(m.at("ceiling").is_object());
    EXPECT_GE(m.at("threads").get<int>(), 1);
    EXPECT_EQ(m.at("errors"), 0);
}

}  // namespace
