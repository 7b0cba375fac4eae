// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two JPEG files as they are embedded in the program, byte for byte.

#include <span>

namespace assets {

// The splash window's picture: 401 x 264, baseline JFIF, three 8-bit components.
std::span<const unsigned char> splashJpeg();

// The "CPU Info" page's picture: 200 x 60, the same format.
std::span<const unsigned char> pageJpeg();

}  // namespace assets
