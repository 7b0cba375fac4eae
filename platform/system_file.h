// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading what /proc and /sys say, the one way every reader of the machine does it.
//
// Hypervisors, containers and old kernels fill these files in their own ways, and a
// container may serve any file in their place. So a read is capped, only regular files
// are read (a device or a pipe served as a file would never end or never return), every
// number goes through one parser that refuses trailing text, overflow and implausible
// values, and every text is made valid UTF-8 before anything shows or stores it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Far more than any /proc or /sys file we read holds.
inline constexpr std::size_t kMaxSystemFileBytes = std::size_t{4} << 20;

// At most `limit` bytes from the start of a regular file; nullopt when it is missing,
// unreadable or not a regular file.
std::optional<std::string> readSystemFile(const std::filesystem::path& path,
                                          std::size_t limit = kMaxSystemFileBytes);

// The first line without its newline. nullopt as above, and when the line does not end
// within 64 KiB: a cut-off line could read as a different number.
std::optional<std::string> readFirstLine(const std::filesystem::path& path);

// The parts of `text` between `separator`s: "a,,b" gives "a", "", "b"; "" gives one "".
std::vector<std::string_view> splitText(std::string_view text, char separator);

// The lines of `text` without their newlines; a final newline does not start another line.
std::vector<std::string_view> textLines(std::string_view text);

// Blanks (space, tab, CR, LF) removed at both ends.
std::string_view trimBlanks(std::string_view text);

// A whole decimal integer in [min, max], blanks around it allowed. Trailing text, a value
// out of range or one that overflows is refused.
std::optional<std::int64_t> parseInteger(std::string_view text, std::int64_t min, std::int64_t max);

// A finite decimal number in [min, max] ("2400.000"), blanks around it allowed; "inf",
// "nan", trailing text and values out of range are refused.
std::optional<double> parseDecimal(std::string_view text, double min, double max);

// Plausible clock rates: 1 MHz to 100 GHz.
inline constexpr double kMinClockMHz = 1;
inline constexpr double kMaxClockMHz = 100'000;

// The text as valid UTF-8 with no control characters: every ill-formed sequence and every
// C0/C1 control becomes U+FFFD, so the window, the text report and the JSON show the same
// characters and a terminal is never sent an escape sequence from a served file.
std::string cleanText(std::string_view text);

}  // namespace platform
