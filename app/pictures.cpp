// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pictures.h"

namespace app {

QImage splashPicture(const QString& file) {
    const QImage picture(file);
    if (picture.isNull()) return {};
    return picture.scaled(321, 225, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage pagePicture(const QString& file) {
    const QImage picture(file);
    const QSize box(92, 30);
    const bool fits = picture.width() <= box.width() && picture.height() <= box.height();
    if (picture.isNull() || fits) return picture;
    return picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace app
