// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's two pictures: our own JPEG files, compiled in as a Qt resource and decoded by
// QImage, sized for the boxes that show them. A picture that cannot be read comes back null
// and its box stays blank.

#include <QImage>
#include <QString>

namespace app {

// The splash picture stretched to 321 x 225, its aspect ratio not kept.
QImage splashPicture(const QString& file = QStringLiteral(":/pictures/splash.jpg"));

// The page picture scaled down proportionally into Image2's 92 x 30 box (the fraction of a
// pixel cut off); a picture that already fits keeps its size.
QImage pagePicture(const QString& file = QStringLiteral(":/pictures/page.jpg"));

}  // namespace app
