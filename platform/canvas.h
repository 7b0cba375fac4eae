// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture's drawing surface: pixels, a pen colour and a pen position, with the classic
// desktop line routine. Plain memory, so every pixel of a drawing can be checked without
// a window.

#include <cstdint>
#include <vector>

namespace platform {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Point {
    int x = 0;
    int y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

class Canvas {
  public:
    // A surface of width x height pixels, all black, with the pen at (0, 0).
    Canvas(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    // Writes outside the surface are ignored.
    void setPixel(int x, int y, Rgb colour);
    // Outside the surface reads black.
    Rgb pixel(int x, int y) const;

    Rgb penColour() const { return pen_; }
    void setPenColour(Rgb colour) { pen_ = colour; }
    Point penPosition() const { return position_; }
    void moveTo(int x, int y) { position_ = {x, y}; }

    // Draws from the pen's position towards (x, y) with Bresenham's steps and leaves out the
    // end pixel, so joined segments never paint a joint twice; the pen ends at (x, y).
    void lineTo(int x, int y);

  private:
    int width_;
    int height_;
    std::vector<Rgb> pixels_;
    Rgb pen_{};
    Point position_{};
};

}  // namespace platform
