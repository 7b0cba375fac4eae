// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as /proc/self/status and /proc/self/limits (split at the first NUL)
// to the memory-status reader.
#include "report_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto split = input.find('\0');
    const std::string_view limits =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    checkMemoryReport(platform::memoryStatusFromTexts(
        "MemTotal: 16303940 kB\nMemAvailable: 9876544 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n",
        input.substr(0, split), limits));
    return 0;
}
