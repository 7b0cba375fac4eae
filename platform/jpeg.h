// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// JPEG decoding with libjpeg into a plain RGB buffer, for the window's two pictures.
//
// libjpeg's stock error handling ends the process; here a corrupt, truncated or
// unsupported picture decodes to an empty image instead, so a bad picture can only ever
// leave a blank box.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // rows top to bottom, 3 bytes per pixel, no padding

    bool empty() const { return width == 0 || height == 0; }
};

// Pictures larger than this on either side are refused before any pixel memory is taken:
// a forged header must not make the decoder ask for gigabytes.
inline constexpr int kMaxJpegSide = 8192;

// Decodes a whole JPEG file held in memory. Any error, and any corrupt-data warning
// (libjpeg would otherwise fill a truncated picture with grey), gives an empty image.
RgbImage decodeJpeg(std::span<const unsigned char> file);

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

// The size a picture is drawn at when it is scaled down proportionally to fit a box:
// larger pictures shrink until both sides fit (the fractional part cut off), smaller
// ones keep their size.
PictureSize proportionalFit(PictureSize picture, PictureSize box);

}  // namespace platform
