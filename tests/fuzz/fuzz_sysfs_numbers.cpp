// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the parsers of single sysfs values: numbers, cache sizes, and
// the text cleaning every string from the system goes through.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os_figures.h"
#include "platform/system_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto khz = platform::parseInteger(text, 1000, 100'000'000))
        if (*khz < 1000 || *khz > 100'000'000) __builtin_trap();
    if (const auto mhz =
            platform::parseDecimal(text, platform::kMinClockMHz, platform::kMaxClockMHz))
        if (!(*mhz >= platform::kMinClockMHz && *mhz <= platform::kMaxClockMHz)) __builtin_trap();
    if (const auto bytes = platform::cacheSizeBytes(text))
        if (*bytes < platform::kMinCacheBytes || *bytes > platform::kMaxCacheBytes)
            __builtin_trap();
    // Clean text is valid UTF-8 without control characters: a second pass keeps it as it is.
    const std::string clean = platform::cleanText(text);
    if (platform::cleanText(clean) != clean) __builtin_trap();
    for (const char c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
    return 0;
}
