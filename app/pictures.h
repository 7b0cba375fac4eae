// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two embedded JPEG pictures, decoded and sized for the boxes that show them. A
// picture that fails to decode comes back null and its box stays blank.

#include <QImage>

#include "platform/jpeg.h"

namespace app {

QImage toImage(const platform::RgbImage& picture);

// The splash picture stretched to 321 x 225, its aspect ratio not kept.
QImage splashPicture();

// The page picture scaled down proportionally into Image2's 92 x 30 box.
QImage pagePicture();

}  // namespace app
