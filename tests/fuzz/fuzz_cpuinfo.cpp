// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the /proc/cpuinfo parser behind the processor description key.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/cpu_description.h"
#include "platform/system_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto fields = platform::firstProcessorFields(text);
    // Every field the parser keeps has a non-empty key without surrounding blanks, and key
    // and value are clean already: cleaning them again changes nothing.
    for (const auto& [key, value] : fields) {
        if (key.empty() || key.front() == ' ' || key.back() == ' ') __builtin_trap();
        if (platform::cleanText(key) != key || platform::cleanText(value) != value)
            __builtin_trap();
    }
    return 0;
}
