// SPDX-License-Identifier: GPL-3.0-or-later
#include "present/words.h"

#include <charconv>
#include <optional>

#include "platform/rounding.h"
#include "present/captions.h"
#include "present/format.h"
#include "sysinfo/clock.h"

namespace present {
namespace {

// The units and fixed words around the figures.
constexpr std::string_view kMhz = " Mhz ";
constexpr std::string_view kExtensionSeparator = ", ";
constexpr std::string_view kKbyte = " Kbyte";
constexpr std::string_view kMb = " Mb";
constexpr std::string_view kPercent = "%";
constexpr std::string_view kMark = " Mark";
constexpr std::string_view kRate = " Mln. instr/s";
constexpr std::string_view kGroup = " GROUP";
constexpr std::string_view kScoreSeparator = "      score: ";  // six blanks
constexpr std::string_view kCpuScorePrefix = "Your CPU score: ";
constexpr std::string_view kCpuScoreUnit = " Mark!";
constexpr std::string_view kWrongResult = ": wrong result; the processor made an error under load";
constexpr std::string_view kMbPerSec = " Mb/sec";
constexpr std::string_view kTooFastToTime = "Too fast to time";
constexpr std::string_view kMbDot = " Mb.";
constexpr std::string_view kFaultyMemoryAt = "Faulty memory at ";

// The clock text is cut, not rounded, to this many characters.
constexpr std::size_t kClockCharacters = 7;

std::string join(std::string text, std::string_view unit) {
    text += unit;
    return text;
}

}  // namespace

std::string cpuNameText(double ratedMhz, std::string_view name) {
    return join(floatToText(ratedMhz) + std::string(kMhz), name);
}

std::string_view extensionName(sysinfo::Extension extension) {
    switch (extension) {
        case sysinfo::Extension::Mmx:
            return "MMX";
        case sysinfo::Extension::ThreeDNow:
            return "3DNow";
        case sysinfo::Extension::Sse:
            return "SSE";
        case sysinfo::Extension::Sse2:
            return "SSE2";
        case sysinfo::Extension::Sse3:
            return "SSE3";
    }
    return {};
}

std::string instructionsText(std::span<const sysinfo::Extension> extensions) {
    std::string text = "x86";
    for (const sysinfo::Extension extension : extensions) {
        text += kExtensionSeparator;
        text += extensionName(extension);
    }
    return text;
}

std::string cacheSizeText(std::int32_t kib) {
    return join(intToText(kib), kKbyte);
}

std::string clockText(std::uint32_t cycles) {
    return firstCharacters(floatToText(sysinfo::clockMHz(cycles)), kClockCharacters);
}

std::string kbyteText(std::int64_t bytes) {
    return join(intToText(platform::roundHalfEven(static_cast<long double>(bytes) / 1024.0L)),
                kKbyte);
}

std::string freeMbText(std::int64_t availPhys) {
    return join(intToText(availPhys / 1'048'576), kMb);
}

std::string loadText(std::int32_t percent) {
    return join(intToText(percent), kPercent);
}

std::string_view groupLabel(bench::Group group) {
    switch (group) {
        case bench::Group::Alu:
            return "ALU";
        case bench::Group::Fpu:
            return "FPU";
        case bench::Group::Instr:
            return "INSTR.";
    }
    return {};
}

std::string groupTitle(bench::Group group) {
    return join(std::string(groupLabel(group)), kGroup);
}

std::string resultText(bench::Group group, std::int32_t result) {
    return join(intToText(result), group == bench::Group::Instr ? kRate : kMark);
}

std::string groupScoreTitle(bench::Group group, std::int32_t score) {
    return join(groupTitle(group) + std::string(kScoreSeparator), intToText(score));
}

std::string cpuScoreText(std::int64_t score) {
    return join(std::string(kCpuScorePrefix) + intToText(score), kCpuScoreUnit);
}

std::string wrongResultLine(int row) {
    return join(std::string(plainCaption(rowCaption(row))), kWrongResult);
}

std::string wrongResultsMessage(const bench::RunResult& result) {
    std::string message;
    for (const std::optional<bench::RowResult>& row : result.rows) {
        if (!row || !row->wrong) continue;
        if (!message.empty()) message += "\n";
        message += wrongResultLine(row->place.row);
    }
    return message;
}

std::string mismatchSlot(const bench::Mismatch& wrong) {
    return (wrong.kind == bench::Mismatch::Kind::Count ? "count " : "value ") +
           std::to_string(wrong.slot);
}

std::string extendedText(long double value) {
    // 21 significant digits tell every 64-bit significand from its neighbours.
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 21);
    return std::string(text, end.ptr);
}

std::string speedText(const membench::Measured& speed) {
    if (speed) return join(intToText(speed->figure), kMbPerSec);
    switch (speed.error()) {
        case membench::NoSpeed::tooFastToTime:
            return std::string(kTooFastToTime);
        case membench::NoSpeed::blockRefused:
            return std::string(kNotEnoughMemory);
    }
    return {};
}

std::string faultyMemoryText(std::int64_t offsetBytes) {
    return join(std::string(kFaultyMemoryAt) + intToText(offsetBytes / 1'048'576), kMb);
}

std::string countText(std::int64_t count) {
    return intToText(count);
}

std::string cpuErrorsText(std::int32_t errors) {
    return floatToText(static_cast<long double>(errors));
}

std::string testingMemoryText(std::int64_t mib) {
    return join(intToText(mib), kMbDot);
}

std::string testSpeedText(std::int64_t mbPerSec) {
    return join(intToText(mbPerSec), kMbPerSec);
}

}  // namespace present
