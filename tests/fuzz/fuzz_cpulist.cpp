// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the cpulist parser: what it takes is ascending, in range and
// written back in a form it reads as the same list; what it refuses has a short, clean reason.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/cpus.h"
#include "platform/system_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto list = platform::parseCpuList(text);
    if (!list) {
        const std::string& reason = list.error();
        if (reason.empty() || reason.size() > 200 || platform::cleanText(reason) != reason)
            __builtin_trap();
        return 0;
    }
    if (list->empty()) __builtin_trap();
    for (std::size_t i = 0; i < list->size(); ++i) {
        const int cpu = (*list)[i];
        if (cpu < 0 || cpu > platform::kMaxCpuNumber) __builtin_trap();
        if (i > 0 && (*list)[i - 1] >= cpu) __builtin_trap();
    }
    const auto again = platform::parseCpuList(platform::formatCpuList(*list));
    if (!again || *again != *list) __builtin_trap();
    return 0;
}
