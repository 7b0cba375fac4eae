// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every fixed caption of Corvane's window, written once: the window lays its controls out
// with them, and corvane-report prints its figures under them. The texts are the design's
// own, blanks and dots included ("Phisical memory" and "Substraction" among them).

#include <array>
#include <string>
#include <string_view>
#include <utility>

namespace present {

// The program's name, as the task bar shows it.
inline constexpr std::string_view kProgramName = "Corvane";

// "Corvane v. 3.0.0.4": the About page's first line and the start of the window's title.
std::string versionCaption();

// The window's title: the version caption, six blanks and the web site between '~'.
std::string windowTitle();

// The About page's other two lines.
inline constexpr std::string_view kAboutLine =
    "Processor and memory information, benchmarks and stability tests.";
inline constexpr std::string_view kRightsLine =
    "\u00a9 2026 Corvane developers. Free software under the GNU GPL v3 or later.";

// The tabs of the upper and the lower tab control, padding blanks included.
inline constexpr std::array<std::string_view, 3> kInfoTabs = {
    "       CPU Info       ", "       RAM Info      ",
    "                                          About"};
inline constexpr std::array<std::string_view, 3> kWorkTabs = {"CPU Benchmark ", " RAM Benchmark  ",
                                                              "    Diagnostic    "};

// Buttons and the clock refresh switch.
inline constexpr std::string_view kRun = "RUN";
inline constexpr std::string_view kStop = "STOP";
inline constexpr std::string_view kClose = "CLOSE";
inline constexpr std::string_view kOn = "ON";
inline constexpr std::string_view kOff = "OFF";

// What a figure shows before anything is known, and what a result label starts with.
inline constexpr std::string_view kNoFigure = "-";
inline constexpr std::string_view kNoResult = "0";
// Label91, the last FPU row's result, starts with a blank after its 0.
inline constexpr std::string_view kNoResultWithBlank = "0 ";
// "Size of testing memory:" before the first run: without the point the run's texts have.
inline constexpr std::string_view kNoTestingMemory = "0 Mb";

// "CPU Info": the group box and the captions beside Panel1 to Panel6.
inline constexpr std::string_view kInfoBox = "Info";
inline constexpr std::array<std::string_view, 6> kCpuCaptions = {
    "CPU Name", "Family Id", "Vendor", "Instructions", "Cache level 2", "Core speed"};

// "RAM Info": the group box and the captions beside Panel7 to Panel12.
inline constexpr std::string_view kHronologyBox = "Hronology";
inline constexpr std::array<std::string_view, 6> kMemoryCaptions = {
    "Virtual memory",  "Virtual m. in use", "Size of pagefile",
    "Pagefile in use", "Phisical memory",   "Load ph. memory"};

// "About".
inline constexpr std::string_view kAboutBox = "About";

// "CPU Benchmark ": each row's caption under the key its entry of bench::kKernelTable names,
// runs of dots included.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 29> kRowCaptions{{
    {"fibonacci_digits", "Fibonachi digit's........"},
    {"calcul_factorial", "Calcul factorial........."},
    {"formula_ferma", "Formula Ferma........."},
    {"brute_force", "Brute force............."},
    {"addition_matrix", "Addition matrix........"},
    {"multiplication_matrix", "Multiplication matrix..."},
    {"quick_sort", "Quick sort.............."},
    {"hyperbolic_cosecant", "Hyperbolic cosecant..."},
    {"hyperbolic_tangent", "Hyperbolic tangent...."},
    {"hypotenuse", "Hypotenuse............"},
    {"digit_pi", "Digit Pi.................."},
    {"factorial", "Factorial................"},
    {"objects_3d", "3D objects.............."},
    {"precatching", "Precatching............"},
    {"addition", "Addition..........."},
    {"substraction", "Substraction......"},
    {"multiplication", "Multiplication......"},
    {"division", "Division............"},
    {"fpu_add", "FPU Add.........."},
    {"fpu_sub", "FPU Sub.........."},
    {"fpu_mul", "FPU Mul..........."},
    {"fpu_div", "FPU Div..........."},
    {"mmx_add", "MMX Add.........."},
    {"mmx_sub", "MMX Sub.........."},
    {"mmx_mul", "MMX Mul..........."},
    {"sse_add", "SSE Add.........."},
    {"sse_sub", "SSE Sub.........."},
    {"sse_mul", "SSE Mul..........."},
    {"sse_div", "SSE Div..........."},
}};

// The caption under `key`; std::out_of_range for a key no caption has.
std::string_view rowCaption(std::string_view key);

// Row `row`'s caption, 1 to 29, in bench::kKernelTable's order.
std::string_view rowCaption(int row);

// The caption without its trailing dots or colon: "Formula Ferma", "Write memory speed".
std::string_view plainCaption(std::string_view caption);

// " RAM Benchmark  ".
inline constexpr std::string_view kRamBox = "RAM Group";
inline constexpr std::string_view kWriteMemorySpeed = "Write memory speed:";
inline constexpr std::string_view kReadMemorySpeed = "Read memory speed:";

// "    Diagnostic    ".
inline constexpr std::string_view kCpuTestBox = "CPU TEST";
inline constexpr std::string_view kPass = "Pass:";
inline constexpr std::string_view kErrors = "Errors:";
inline constexpr std::string_view kRamTestBox = "RAM TEST";
inline constexpr std::string_view kTestingMemorySize = "Size of testing memory:";
inline constexpr std::string_view kErrorsFound = "Errors found:";
inline constexpr std::string_view kWriteSpeed = "Write speed:";
inline constexpr std::string_view kReadAndTest = "Read and Test:";

// What a screen reader reads for controls that show no caption of their own.
inline constexpr std::string_view kRefreshDescription = "Core speed refresh";
inline constexpr std::string_view kLoadChartName = "Load chart";
// The chart's description before a sample, and then "Physical memory load 45%, free 9645 Mb".
inline constexpr std::string_view kLoadChartEmpty = "Physical memory load, no sample yet";
std::string loadChartDescription(std::string_view load, std::string_view free);
inline constexpr std::string_view kFreeMemoryName = "Free physical memory";
inline constexpr std::string_view kMemoryLoadName = "Physical memory load";
inline constexpr std::string_view kCpuScoreName = "CPU score";

}  // namespace present
