// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_events.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

void showError(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), message);
}

}  // namespace platform
