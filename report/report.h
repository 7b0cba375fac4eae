// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What corvane-report prints: one typed result a job, numbers with their units in the names,
// collected by the code the window runs. What derives from a figure is computed here, beside
// it, for every output alike; figures that come in kinds (the group scores, the memory
// speeds, the memory test's counts and phases) are listed once in a table beside their struct,
// with their caption, JSON key and OpenMetrics family, and the three outputs walk it. The
// presentation module words them. Each struct's JSON form (to_json/from_json) is in
// report/json.cpp, used by the JSON output, --save and --compare alike.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "bench/golden.h"
#include "bench/kernel_table.h"
#include "diag/memtest.h"
#include "diag/thorough.h"
#include "membench/memory_speed.h"
#include "platform/cpu_choice.h"
#include "platform/memory_limits.h"
#include "platform/memory_status.h"
#include "platform/os_figures.h"
#include "present/captions.h"
#include "sysinfo/memory_monitor.h"
#include "sysinfo/probes.h"

// A missing figure is null in JSON.
namespace nlohmann {
template <class T>
struct adl_serializer<std::optional<T>> {
    static void to_json(json& j, const std::optional<T>& value) {
        if (value) {
            j = *value;
        } else {
            j = nullptr;
        }
    }
    static void from_json(const json& j, std::optional<T>& value) {
        if (j.is_null()) {
            value.reset();
        } else {
            value = j.get<T>();
        }
    }
};
}  // namespace nlohmann

namespace report {

// One sweep of the cache detection: its buffer size, its rate, and the rate the detection
// went by (the fastest of the confirming rounds where it confirmed a drop, else the same).
struct CacheSweep {
    std::int32_t kib = 0;
    std::int32_t rate = 0;
    std::int32_t confirmed = 0;
};
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(CacheSweep, kib, rate, confirmed)

// "CPU Info", with what the operating system reports beside Corvane's own figures.
struct CpuFigures {
    bool described = false;  // the processor's description could be read
    double ratedMhz = 0;
    std::optional<std::string> name;  // the processor's own name string
    std::optional<std::string> identifier;
    std::optional<std::string> vendor;
    std::vector<sysinfo::Extension> extensions;  // the instruction sets the probes found
    std::optional<std::int32_t> l2CacheKiB;      // the timed detection's size
    std::optional<std::int64_t> l2CacheOs;       // bytes, as the system says
    std::vector<CacheSweep> cacheSweeps;         // the twelve sweeps behind l2CacheKiB
    std::optional<std::uint32_t> clockCycles;    // across the half-second sleep
    std::optional<double> tscMhzOs;
    std::optional<double> effectiveMhz;
    std::vector<platform::CacheLevel> cachesOs;  // every level the system describes
    bool hypervisor = false;                     // the processor says it runs under a hypervisor

    // The core clock the cycles across the half-second sleep give.
    std::optional<double> clockMhz() const;
};

// "RAM Info", and what limits the memory test.
struct MemoryFigures {
    std::optional<platform::MemoryStatus> status;
    std::optional<platform::MemoryAllowance> allowance;

    // What the window's panels show of the status: the memory in use, the free memory and the
    // load among them.
    std::optional<sysinfo::MemoryFigures> shown() const;
};

// What identifies the machine and the build, so that saved results say where they came from.
struct MachineFigures {
    std::optional<std::string> cpuName;  // the processor's own name string
    std::optional<std::string> identifier;
    std::optional<std::string> vendor;
    int logicalCpus = 0;
    std::optional<double> tscMhz;  // the system's figure, else our own measurement
    std::optional<double> effectiveMhz;
    std::optional<std::int64_t> memoryTotal;  // bytes
    std::string kernelRelease;
    std::string hostname;
    std::string when;  // ISO 8601, UTC
    // The CPUs: how many of which kind, which this process may use, and where each one sits.
    std::optional<platform::MachineCpus> cpus;
    std::vector<platform::LogicalCpu> topology;
};

struct BenchRow {
    int row = 0;
    bench::Group group = bench::Group::Alu;
    // The median repetition's kernel return value (ms, or an INSTR row's rate); nullopt: the
    // row did not complete.
    std::optional<std::int32_t> raw;
    std::vector<std::optional<std::int32_t>> runs;  // every repetition's, in order
    // False when the work of any repetition did not leave its golden value: the processor
    // computed wrongly under load.
    bool valid = true;
    // Where the work went wrong, in the first repetition that went wrong.
    std::optional<bench::Mismatch> wrong{};
    // With copies on several CPUs: the result of all their work together (RowCopies), its
    // ratio to the single copy's result, and the copies that took longest and shortest.
    std::optional<std::int64_t> multi{};
    std::optional<double> scaling{};
    std::optional<int> slowestCopy{}, fastestCopy{};
    // The first copy whose work went wrong, when the single copy's did not.
    std::optional<int> wrongCopy{}, wrongCpu{};

    // What the row shows: the row score of an ALU or FPU row, the rate of an INSTR row;
    // 0 for a row that did not complete.
    std::int32_t result() const;

    // Each repetition's result; 0 for one that did not complete, as the scores count it.
    std::vector<std::int64_t> runResults() const;
};

// A score over the repetitions: the median repetition's value, and every value.
template <class T>
struct Repeated {
    T value{};
    std::vector<T> runs;
};

// One copy of the benchmark, pinned to its CPU, as it ran beside the others: its rows
// (row, raw, valid and wrong; no repetitions) and the effective clock it measured there.
struct BenchCopy {
    int copy = 0;
    int cpu = 0;
    int core = 0;
    int package = 0;
    std::optional<double> effectiveMhz{};
    std::vector<BenchRow> rows{};
};

// The scores of the copies' rows together: a multi-core score, not the CPU score.
struct MultiCoreScores {
    int copies = 0;
    std::int32_t alu = 0, fpu = 0, instr = 0;
    std::int64_t cpuScore = 0;
};

struct BenchFigures {
    std::vector<BenchRow> rows;
    Repeated<std::int32_t> alu, fpu, instr;
    Repeated<std::int64_t> cpuScore;
    int repetitions = 0;  // completed; 0 while the first one runs: no scores yet
    // With --cpus: one copy a chosen CPU, after the single copy's run.
    std::vector<BenchCopy> copies{};
    std::optional<MultiCoreScores> multiCore{};
};

// The three group scores, in the order every output gives them, under the key that JSON and
// the comparison know them by.
struct GroupScore {
    bench::Group group;
    Repeated<std::int32_t> BenchFigures::*score;
    const char* key;
};
inline constexpr GroupScore kGroupScores[] = {{bench::Group::Alu, &BenchFigures::alu, "alu"},
                                              {bench::Group::Fpu, &BenchFigures::fpu, "fpu"},
                                              {bench::Group::Instr, &BenchFigures::instr, "instr"}};

struct RamBenchFigures {
    // The median repetition's measurements; nullopt before one was made.
    std::optional<membench::Measured> write, read;
    std::vector<std::optional<std::int32_t>> writeRuns, readRuns;  // every repetition's figure
};

// The figure of a speed that was measured; nullopt otherwise.
std::optional<std::int32_t> figureOf(const std::optional<membench::Measured>& speed);
// The figures of the repetitions that measured one.
std::vector<std::int64_t> measuredRuns(const std::vector<std::optional<std::int32_t>>& runs);

// The two memory speeds. JSON keeps a speed under `key`, and beside it why there is none, its
// bytes and milliseconds and its text (key + "_failure", "_timed", "_text").
struct RamSpeed {
    std::optional<membench::Measured> RamBenchFigures::*speed;
    std::vector<std::optional<std::int32_t>> RamBenchFigures::*runs;
    const char* key;
    std::string_view caption;
    const char* metric;
    const char* help;
};
inline constexpr RamSpeed kRamSpeeds[] = {
    {&RamBenchFigures::write, &RamBenchFigures::writeRuns, "write", present::kWriteMemorySpeed,
     "corvane_ram_write_bytes_per_second",
     "Bytes written per second by the RAM benchmark's 32-bit stores (median repetition)."},
    {&RamBenchFigures::read, &RamBenchFigures::readRuns, "read", present::kReadMemorySpeed,
     "corvane_ram_read_bytes_per_second",
     "Bytes of addresses the RAM benchmark's reads span per second, one 4-byte load per 32 "
     "bytes (median repetition)."}};

// The first wrong check of a CPU: of its pass and, where the workload tells, the iteration,
// the value that differed (or the benchmark row whose work went wrong) and what it held.
struct CpuMismatch {
    std::int64_t pass = 0;
    std::optional<std::int64_t> iteration;
    std::optional<std::string> value;  // "before_rounding", "iteration_end", "lane_end"
    std::optional<int> row;            // the kernels workload: the wrong row
    std::optional<double> expected, got;
};

// One CPU of a stability test with --cpus: where it sits and what its pinned worker found.
struct StabilityCpu {
    int cpu = 0;
    int core = 0;
    int package = 0;
    int die = 0;
    platform::CpuList siblings;
    std::int64_t passes = 0;
    std::int64_t errors = 0;
    std::optional<CpuMismatch> firstMismatch;
    std::optional<double> firstErrorSeconds;
    // "confirmed", "not reproduced in the retest"; null without an error or a retest.
    std::optional<std::string> retest;
    std::optional<double> maxCelsius;  // its core's highest sensor reading during the test
    std::optional<double> effectiveMhz;
};

struct StabilityFigures {
    int seconds = 0;          // asked for
    std::int64_t passes = 0;  // all threads together
    std::int64_t errors = 0;
    std::vector<std::int64_t> threadPasses;  // each thread's own count; the window shows one
    // With --cpus: the workload ("loop", "kernels", "vector", "all") and every CPU's figures.
    std::optional<std::string> workload{};
    std::vector<StabilityCpu> cpus{};
};

// One pattern of the memory test: how long its runs took, what they checked and how fast, as
// a share of the plain write and read of the same block (1: as fast as the memory allows).
struct MemtestPattern {
    std::string name;  // diag::patternName
    double seconds = 0;
    std::int64_t bytesChecked = 0;
    std::optional<double> bytesPerSecond;
    std::optional<double> shareOfCeiling;
    std::int64_t errors = 0;
};

// The plain multi-threaded write and read of the block, measured in the same run.
struct MemtestCeiling {
    std::optional<double> writeBytesPerSecond, readBytesPerSecond;
};

// A memory controller's module (or the controller itself, where it names no module): its
// error counts before and after the run, and the label the firmware gives its slot.
struct MemtestEdac {
    int controller = 0;
    std::string dimm;
    std::optional<std::string> label;
    std::optional<std::int64_t> ceBefore, ceAfter, ueBefore, ueAfter;

    bool rose() const;
};

struct MemtestFigures {
    std::int64_t bytes = 0;
    std::int64_t passes = 0;  // checks of the designed cycle, two a cycle
    std::int64_t errors = 0;
    std::optional<diag::PhaseSpeed> write, read;  // the last whole timed phases

    // Where and how the mismatches were found; absent in results from before they were
    // located. The reasons are worded when measured, as the run knew them.
    std::optional<std::string> patternsSet;  // "design", "thorough", "solid,walking"
    std::optional<std::uint64_t> seed;       // of the random pattern
    std::optional<std::int64_t> cycles;
    std::optional<int> threads;
    std::optional<std::string> cpus;  // a cpulist
    std::optional<bool> locked;
    std::optional<std::string> lockReason;
    std::optional<bool> smallerThanFourCaches;
    std::optional<MemtestCeiling> ceiling;
    std::vector<MemtestPattern> patterns;
    std::vector<diag::Mismatch> mismatches;  // the first diag::kKeptMismatches
    std::int64_t mismatchesNotListed = 0;
    std::optional<std::string> physicalUnknownReason;
    std::vector<std::int64_t> bitCounts;           // 64 when located, else empty
    std::optional<std::vector<MemtestEdac>> edac;  // absent without EDAC

    // A mismatch, or a memory controller that counted an error during the run.
    bool foundErrors() const;
};

// The memory test's counts and timed phases, in the order the window shows them. A new one
// is a member above and a line here; every output then has it. JSON keeps a phase's speed
// under `key`, its bytes and milliseconds under key + "_timed" and its text under key +
// "_text".
struct MemtestCount {
    std::int64_t MemtestFigures::*count;
    const char* key;
    std::string_view caption;
    const char* metric;
    const char* help;
};
inline constexpr MemtestCount kMemtestCounts[] = {
    {&MemtestFigures::passes, "passes", present::kPass, "corvane_memtest_passes",
     "Write and check passes of the memory test."},
    {&MemtestFigures::errors, "errors", present::kErrorsFound, "corvane_memtest_errors",
     "Errors the memory test found."}};

struct MemtestPhase {
    std::optional<diag::PhaseSpeed> MemtestFigures::*phase;
    const char* key;
    std::string_view caption;
    const char* metric;
    const char* help;
};
inline constexpr MemtestPhase kMemtestPhases[] = {
    {&MemtestFigures::write, "write", present::kWriteSpeed,
     "corvane_memtest_write_bytes_per_second",
     "Bytes the memory test's timed write of ones stored per second."},
    {&MemtestFigures::read, "read", present::kReadAndTest, "corvane_memtest_read_bytes_per_second",
     "Bytes the memory test's timed check of ones loaded and compared per second."}};

struct Report {
    MachineFigures machine;
    CpuFigures cpu;
    MemoryFigures memory;
    std::optional<BenchFigures> bench;
    std::optional<RamBenchFigures> ramBench;
    std::optional<StabilityFigures> stability;
    std::optional<MemtestFigures> memtest;
    int benchRevision = bench::kBenchRevision;  // of the build that measured
    // Cut short by the user: what is here was measured, the rest was not.
    bool incomplete = false;
    // The saved file this result was read from (--from); empty for a run's own figures.
    std::optional<std::string> from;

    // Whether a stability or memory test counted an error or a benchmark row's work came out
    // wrong.
    bool foundErrors() const;
};

// The layout of the JSON output: raised when a key goes away or changes its meaning. 2:
// "panel1" is "name_text"; "extensions", "l2_cache_kib", "clock_cycles" and the speeds'
// bytes and milliseconds are new.
// 3: memtest has "patterns_set", "seed", "cycles", "threads", "cpus", "locked", "lock_reason",
// "smaller_than_4x_llc", "ceiling", "patterns", "mismatches", "mismatches_not_listed",
// "physical_unknown_reason", "bit_counts" and "edac"; the benchmark's copies on several CPUs
// ("bench.copies", "bench.multi_core", each row's "multi", "scaling", "slowest_copy",
// "fastest_copy", "wrong_copy", "wrong_cpu") and the stability test's CPUs
// ("stability.workload", "stability.cpus").
inline constexpr int kSchema = 3;
// The oldest layout --compare still reads.
inline constexpr int kOldestSchema = 1;

void to_json(nlohmann::json& j, const CpuFigures& c);
void from_json(const nlohmann::json& j, CpuFigures& c);
void to_json(nlohmann::json& j, const MemoryFigures& m);
void from_json(const nlohmann::json& j, MemoryFigures& m);
void to_json(nlohmann::json& j, const MachineFigures& m);
void from_json(const nlohmann::json& j, MachineFigures& m);
void to_json(nlohmann::json& j, const BenchRow& r);
void from_json(const nlohmann::json& j, BenchRow& r);
void to_json(nlohmann::json& j, const BenchFigures& b);
void from_json(const nlohmann::json& j, BenchFigures& b);
void to_json(nlohmann::json& j, const RamBenchFigures& r);
void from_json(const nlohmann::json& j, RamBenchFigures& r);
void to_json(nlohmann::json& j, const StabilityFigures& s);
void from_json(const nlohmann::json& j, StabilityFigures& s);
void to_json(nlohmann::json& j, const MemtestFigures& m);
void from_json(const nlohmann::json& j, MemtestFigures& m);
void to_json(nlohmann::json& j, const Report& r);
void from_json(const nlohmann::json& j, Report& r);

std::string renderText(const Report& report);
// The OpenMetrics text exposition, for node_exporter's textfile collector.
std::string renderOpenMetrics(const Report& report);

}  // namespace report
