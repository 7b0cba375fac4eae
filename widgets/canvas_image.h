// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hands a drawn canvas to a picture control.

#include <QImage>

#include "platform/canvas.h"

namespace widgets {

// A copy of the canvas's pixels as an opaque 32-bit image of the same size.
QImage toImage(const platform::Canvas& canvas);

}  // namespace widgets
