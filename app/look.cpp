// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/look.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include "app/fonts.h"

namespace app {

void applyLook() {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QPalette palette = QApplication::palette();
    const QColor buttonFace(212, 208, 200);
    palette.setColor(QPalette::Window, buttonFace);
    palette.setColor(QPalette::Button, buttonFace);
    QApplication::setPalette(palette);
    loadFonts();
    QApplication::setFont(tahoma11());
}

}  // namespace app
