// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pictures.h"

#include <cstring>

#include "assets/pictures.h"

namespace app {

QImage toImage(const platform::RgbImage& picture) {
    if (picture.empty()) return {};
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    // QImage pads its rows to 4 bytes; the decoded rows are packed.
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y), picture.pixels.data() + rowBytes * y, rowBytes);
    return image;
}

QImage splashPicture() {
    const QImage picture = toImage(platform::decodeJpeg(assets::splashJpeg()));
    if (picture.isNull()) return {};
    return picture.scaled(321, 225, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage pagePicture() {
    const QImage picture = toImage(platform::decodeJpeg(assets::pageJpeg()));
    if (picture.isNull()) return {};
    const auto fit = platform::proportionalFit({picture.width(), picture.height()}, {92, 30});
    return picture.scaled(fit.width, fit.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace app
