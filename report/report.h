#pragma once
// What corvane-report prints: the figures of the window's pages, collected by the same
// routines the window calls, and rendered as text or as one JSON object.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

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
    std::optional<std::int32_t> loadPercent;
    std::vector<std::string> panelTexts;  // Panel7 to Panel12
    std::string freeText;                 // Label26
    std::string loadText;                 // Label27
};

struct BenchRow {
    int row = 0;
    std::string group;
    std::string caption;
    std::optional<std::int32_t> raw;  // the kernel's own return value; null: did not complete
    std::int32_t result = 0;
    std::string text;
};

struct BenchFigures {
    std::vector<BenchRow> rows;
    std::int32_t alu = 0, fpu = 0, instr = 0;
    std::int64_t cpuScore = 0;
    std::string aluText, fpuText, instrText;
    std::string cpuText;
};

struct RamBenchFigures {
    std::optional<std::int32_t> write, read;
    std::string writeText, readText;
};

struct StabilityFigures {
    int seconds = 0;
    std::int64_t passes = 0;
    std::int64_t errors = 0;
};

struct MemtestFigures {
    std::int64_t bytes = 0;
    std::int32_t passes = 0;
    std::int64_t errors = 0;
    std::optional<std::int32_t> writeSpeed, readSpeed;  // Mb/sec
    std::string writeText, readText;
};

struct Report {
    CpuFigures cpu;
    MemoryFigures memory;
    std::optional<BenchFigures> bench;
    std::optional<RamBenchFigures> ramBench;
    std::optional<StabilityFigures> stability;
    std::optional<MemtestFigures> memtest;

    // Whether a stability test counted an error.
    bool foundErrors() const;
};

std::string renderText(const Report& report);
nlohmann::json renderJson(const Report& report);

}  // namespace report
