// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of corvane-report.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace report {

enum class Format { Text, Json, OpenMetrics };

struct Options {
    Format format = Format::Text;
    int repeat = 1;
    std::optional<std::string> saveFile;
    std::optional<std::string> compareFile;
    bool benchCpu = false;
    bool benchRam = false;
    std::optional<int> stabilitySeconds;
    std::optional<std::int64_t> memtestBytes;
    int memtestPasses = 1;
};

// What parsing asks the program to do instead of running: print `text` (help or an
// error line) and exit with `status`.
struct EarlyExit {
    int status = 0;
    std::string text;
};

std::variant<Options, EarlyExit> parseOptions(const std::vector<std::string>& arguments);

// The smallest memory test worth running: smaller blocks round to no whole MiB.
inline constexpr std::int64_t kMinMemtestBytes = std::int64_t{1} << 20;

// "512M", "1G", "65536", "64K": binary multiples; nullopt for anything else, 0, or a size
// that does not fit in 64 bits.
std::optional<std::int64_t> parseSize(const std::string& text);

}  // namespace report
