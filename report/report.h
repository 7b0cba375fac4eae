// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What corvane-report prints: the figures of the window's pages, collected by the same
// routines the window calls, and rendered as text or as one JSON object.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory_limits.h"
#include "platform/memory_status.h"

namespace report {

// One sweep of the cache detection: its buffer size, its rate, and the rate the detection
// went by (the fastest of the repeats where it confirmed a drop, else the same rate).
struct CacheSweep {
    std::int32_t kib = 0;
    std::int32_t rate = 0;
    std::int32_t confirmed = 0;
};

// "CPU Info", with what the operating system reports beside Corvane's own figures.
struct CpuFigures {
    std::string panel1 = "-";  // rated speed, " Mhz ", name: as the window shows it
    std::optional<std::string> name;
    std::optional<double> ratedMhz;
    std::string identifier = "-";
    std::string vendor = "-";
    std::string instructions;
    std::string l2Cache = "-";  // the timed detection's text, or "-"
    std::optional<std::int64_t> l2CacheOs;
    std::vector<CacheSweep> cacheSweeps;  // the twelve sweeps behind l2Cache
    std::string clockText;
    std::optional<double> clockMhz;  // the time-stamp counter's rate, unrounded
    std::optional<double> tscMhzOs;
    std::optional<double> effectiveMhz;
};

// "RAM Info".
struct MemoryFigures {
    std::optional<platform::MemoryStatus> status;
    // What the memory test may take, and the limit that leaves the least, if any.
    std::optional<platform::MemoryAllowance> allowance;
    std::optional<std::int32_t> loadPercent;
    std::vector<std::string> panelTexts;  // Panel7 to Panel12
    std::string freeText;                 // Label26
    std::string loadText;                 // Label27
};

// What identifies the machine and the build, so that saved results say where they came from.
struct MachineFigures {
    std::optional<std::string> cpuName;  // the processor's own name string
    std::string identifier = "-";
    std::string vendor = "-";
    int logicalCpus = 0;
    std::optional<double> tscMhz;  // the system's figure, else our own measurement
    std::optional<double> effectiveMhz;
    std::optional<std::int64_t> memoryTotal;  // bytes
    std::string kernelRelease;
    std::string hostname;
    std::string when;  // ISO 8601, UTC
};

struct BenchRow {
    int row = 0;
    std::string group;
    std::string caption;
    std::optional<std::int32_t> raw;  // the kernel's own return value; null: did not complete
    std::int32_t result = 0;
    std::string text;
    // Every repetition's raw value and result, in order; raw and result above are the
    // median repetition's.
    std::vector<std::optional<std::int32_t>> runs;
    std::vector<std::int32_t> results;
    // False when the work of any repetition did not leave its golden value: the processor
    // computed wrongly under load.
    bool valid = true;
};

// A score over the repetitions: the median repetition's value and text, and every value.
template <class T>
struct Repeated {
    T value{};
    std::string text;
    std::vector<T> runs;
};

struct BenchFigures {
    std::vector<BenchRow> rows;
    Repeated<std::int32_t> alu, fpu, instr;
    Repeated<std::int64_t> cpuScore;
    int repetitions = 0;  // completed
};

// What a timed loop covered: bytes (written, or spanned by the reads) in milliseconds.
struct TimedBytes {
    std::int64_t bytes = 0;
    std::int32_t ms = 0;
};

struct RamBenchFigures {
    std::optional<std::int32_t> write, read;          // Mb/sec of the median repetition
    std::optional<TimedBytes> writeTimed, readTimed;  // the median repetition's loops
    std::string writeText, readText;
    std::vector<std::optional<std::int32_t>> writeRuns, readRuns;
};

struct StabilityFigures {
    int seconds = 0;          // asked for
    std::int64_t passes = 0;  // all threads together
    std::int64_t errors = 0;
    std::vector<std::int64_t> threadPasses;  // each thread's own count; the window shows one
};

struct MemtestFigures {
    std::int64_t bytes = 0;
    std::int32_t passes = 0;
    std::int64_t errors = 0;
    std::optional<std::int32_t> writeSpeed, readSpeed;  // Mb/sec
    std::string writeText, readText;
};

struct Report {
    MachineFigures machine;
    CpuFigures cpu;
    MemoryFigures memory;
    std::optional<BenchFigures> bench;
    std::optional<RamBenchFigures> ramBench;
    std::optional<StabilityFigures> stability;
    std::optional<MemtestFigures> memtest;
    // Cut short by the user: what is here was measured, the rest was not.
    bool incomplete = false;

    // Whether a stability test counted an error or a benchmark row's work came out wrong.
    bool foundErrors() const;
};

// The layout of the JSON output: raised when a key goes away or changes its meaning.
inline constexpr int kSchema = 1;

std::string renderText(const Report& report);
nlohmann::json renderJson(const Report& report);
// The OpenMetrics text exposition, for node_exporter's textfile collector.
std::string renderOpenMetrics(const Report& report);

}  // namespace report
