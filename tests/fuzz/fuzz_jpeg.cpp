// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the JPEG decoder: it must return, never exit or crash.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto image = platform::decodeJpeg(std::span(data, size));
    if (!image.empty() &&
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3)
        __builtin_trap();
    return 0;
}
