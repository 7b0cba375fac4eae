// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/canvas.h"

#include <cstdlib>

namespace platform {

Canvas::Canvas(int width, int height)
    : width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {}

void Canvas::setPixel(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y) * width_ + x] = colour;
}

Rgb Canvas::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

void Canvas::lineTo(int x1, int y1) {
    int x = position_.x;
    int y = position_.y;
    // 64-bit error terms: the pen may sit far outside the surface.
    const std::int64_t dx = std::llabs(std::int64_t{x1} - x);
    const std::int64_t dy = -std::llabs(std::int64_t{y1} - y);
    const int stepX = x < x1 ? 1 : -1;
    const int stepY = y < y1 ? 1 : -1;
    std::int64_t error = dx + dy;
    while (x != x1 || y != y1) {
        setPixel(x, y, pen_);
        const std::int64_t twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
    position_ = {x1, y1};
}

}  // namespace platform
