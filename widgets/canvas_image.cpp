// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/canvas_image.h"

namespace widgets {

QImage toImage(const platform::Canvas& canvas) {
    QImage image(canvas.width(), canvas.height(), QImage::Format_RGB32);
    for (int y = 0; y < canvas.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            const platform::Rgb colour = canvas.pixel(x, y);
            line[x] = qRgb(colour.red, colour.green, colour.blue);
        }
    }
    return image;
}

}  // namespace widgets
