// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/events.h"

#include <QApplication>
#include <QMessageBox>

namespace widgets {

void showError(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), message);
}

}  // namespace widgets
