// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>

namespace app {

// Enabling a running timer leaves its tick where it was; only a stopped timer starts anew.
inline void enableTimer(QTimer* timer, bool enabled) {
    if (!enabled) {
        timer->stop();
    } else if (!timer->isActive()) {
        timer->start();
    }
}

}  // namespace app
