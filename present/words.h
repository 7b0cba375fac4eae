// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place where Corvane's figures become words: the numbers the measuring code gives,
// with their units and fixed texts, as the window shows them. corvane-report prints the same
// words, so the two never disagree.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "bench/benchmark_run.h"
#include "bench/kernel_table.h"
#include "membench/memory_speed.h"
#include "sysinfo/probes.h"

namespace present {

// "CPU Info".

// The rated speed in the shared floating-point format, " Mhz " and the processor's name:
// "2096 Mhz AMD EPYC".
std::string cpuNameText(double ratedMhz, std::string_view name);

// An instruction-set extension's name: "MMX", "3DNow", "SSE", "SSE2", "SSE3".
std::string_view extensionName(sysinfo::Extension extension);

// "x86" followed by ", " and the name of each extension found: "x86, MMX, SSE, SSE2".
std::string instructionsText(std::span<const sysinfo::Extension> extensions);

// The cache size the detection found: "512 Kbyte".
std::string cacheSizeText(std::int32_t kib);

// Cycles across the half-second sleep as MHz, in the shared floating-point format, cut (not
// rounded) to 7 characters: 1,496,123,456 cycles read "2992.24".
std::string clockText(std::uint32_t cycles);

// "RAM Info".

// A byte count / 1024, halves to even, and " Kbyte": 2,560 -> "2 Kbyte", 3,584 -> "4 Kbyte".
std::string kbyteText(std::int64_t bytes);

// The free physical memory over the chart: whole MiB, truncated, then " Mb".
std::string freeMbText(std::int64_t availPhys);

// The load under the chart: "45%".
std::string loadText(std::int32_t percent);

// "CPU Benchmark ".

inline constexpr std::string_view kBenchmarking = "Benchmarking...";

// A group's short name, as its group box and score start with it: "ALU", "FPU", "INSTR.".
std::string_view groupLabel(bench::Group group);

// A group box's plain title: "ALU GROUP", "FPU GROUP", "INSTR. GROUP".
std::string groupTitle(bench::Group group);

// A row's result: "8000 Mark" for an ALU or FPU row, "960 Mln. instr/s" for an INSTR row.
std::string resultText(bench::Group group, std::int32_t result);

// "ALU GROUP      score: 8000": six blanks before "score: ".
std::string groupScoreTitle(bench::Group group, std::int32_t score);

// "Your CPU score: 4677 Mark!".
std::string cpuScoreText(std::int64_t score);

// What the window's error display and the report say of a row whose work came out wrong:
// "Formula Ferma: wrong result; the processor made an error under load".
std::string wrongResultLine(int row);

// The error display's text after a run: a line for each row whose work came out wrong, in
// row order; empty when every row's work was right.
std::string wrongResultsMessage(const bench::RunResult& result);

// Which slot of a row's work came out wrong: "count 3", "value 0".
std::string mismatchSlot(const bench::Mismatch& wrong);

// An extended value to all the digits that tell it from its neighbours, with a point
// whatever the locale: "4.02387260077093773545e+2567".
std::string extendedText(long double value);

// " RAM Benchmark  ".

// "4200 Mb/sec", or why there is no figure: "Too fast to time", "Not enough memory".
std::string speedText(const membench::Measured& speed);

// "    Diagnostic    ".

inline constexpr std::string_view kNotEnoughMemory = "Not enough memory";

// A page of the test block that the kernel marks as failed hardware, by its offset in the
// block in whole MiB: "Faulty memory at 1234 Mb".
std::string faultyMemoryText(std::int64_t offsetBytes);

// A pass or error count in plain decimal digits.
std::string countText(std::int64_t count);

// The CPU test's error count, in the shared floating-point format (for a whole number, its
// plain digits).
std::string cpuErrorsText(std::int32_t errors);

// The memory test's block in whole MiB: "283 Mb." (with the point).
std::string testingMemoryText(std::int64_t mib);

// A memory test phase's speed: "1132 Mb/sec".
std::string testSpeedText(std::int64_t mbPerSec);

}  // namespace present
