// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The event-loop services every handler relies on.

#include <QString>
#include <exception>

namespace widgets {

// The general error display: a message box over the main window.
void showError(const QString& message);

// Runs a handler; a failure that reaches here (a thread or memory refused) is shown and
// the handler abandoned, so no standard exception throws through the event loop.
template <class Handler>
void runHandler(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        showError(QString::fromLocal8Bit(failure.what()));
    }
}

}  // namespace widgets
