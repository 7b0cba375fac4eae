// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/canvas.h"

using platform::Canvas;
using platform::Point;
using platform::Rgb;

namespace {

constexpr Rgb kInk{90, 235, 0};
using Pixels = std::set<std::pair<int, int>>;

// The coordinates of every pixel in the pen's colour.
Pixels inked(const Canvas& canvas) {
    Pixels points;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) == kInk) points.insert({x, y});
    return points;
}

Pixels drawLine(Point from, Point to) {
    Canvas canvas(16, 16);
    canvas.setPenColour(kInk);
    canvas.moveTo(from.x, from.y);
    canvas.lineTo(to.x, to.y);
    return inked(canvas);
}

}  // namespace

TEST(CanvasPixels, WritesOutsideTheSurfaceAreIgnored) {
    Canvas canvas(4, 3);
    const Rgb red{255, 0, 0};
    for (const auto& [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {4, 3}, {-5, -5}})
        canvas.setPixel(x, y, red);
    canvas.setPixel(3, 2, red);  // the row stride is the width: no bleed into a neighbour
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(canvas.pixel(x, y), x == 3 && y == 2 ? red : Rgb{}) << x << "," << y;
}

TEST(CanvasLineTo, JoinedSegmentsLeaveOutTheirEndPixelAndMoveThePen) {
    Canvas canvas(10, 10);
    canvas.setPenColour(kInk);
    canvas.lineTo(0, 4);
    EXPECT_EQ(inked(canvas), (Pixels{{0, 0}, {0, 1}, {0, 2}, {0, 3}}));
    EXPECT_EQ(canvas.penPosition(), (Point{0, 4}));
    canvas.lineTo(0, 4);  // a line to where the pen stands draws nothing
    canvas.lineTo(3, 4);
    canvas.lineTo(3, 0);
    // Eleven steps along the path, eleven pixels: each segment's end is the next one's start.
    EXPECT_EQ(inked(canvas).size(), 11u);
    EXPECT_EQ(canvas.pixel(3, 4), kInk);
    EXPECT_NE(canvas.pixel(3, 0), kInk);
}

TEST(CanvasLineTo, EveryDirectionFollowsTheNearestPixelFromTheStart) {
    EXPECT_EQ(drawLine({4, 2}, {1, 2}), (Pixels{{4, 2}, {3, 2}, {2, 2}}));
    EXPECT_EQ(drawLine({2, 5}, {5, 2}), (Pixels{{2, 5}, {3, 4}, {4, 3}}));
    // y = 2x/5 rounded: 0, 0.4, 0.8, 1.2, 1.6; and the same line standing up.
    EXPECT_EQ(drawLine({0, 0}, {5, 2}), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(drawLine({0, 0}, {2, 5}), (Pixels{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}));
    // Drawn backwards, the start pixel is kept and the origin left out.
    EXPECT_EQ(drawLine({5, 2}, {0, 0}), (Pixels{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}));
}

TEST(CanvasLineTo, LinesLeavingTheSurfaceAreClippedNotWrapped) {
    Canvas canvas(5, 5);
    canvas.setPenColour(kInk);
    canvas.moveTo(2, -3);
    canvas.lineTo(2, 9);  // enters at the top and leaves at the bottom
    EXPECT_EQ(inked(canvas), (Pixels{{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}}));
    canvas.moveTo(-2, 1);
    canvas.lineTo(9, 1);
    EXPECT_EQ(canvas.pixel(0, 1), kInk);
    EXPECT_EQ(canvas.pixel(4, 1), kInk);
    EXPECT_EQ(canvas.pixel(0, 2), Rgb{});  // nothing wrapped around from the row above
    EXPECT_EQ(canvas.penPosition(), (Point{9, 1}));
}
