// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as /proc/meminfo to the memory-status reader.
#include "report_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view meminfo(reinterpret_cast<const char*>(data), size);
    checkMemoryReport(platform::memoryStatusFromTexts(meminfo, "VmSize:\t  312456 kB\n", ""));
    return 0;
}
