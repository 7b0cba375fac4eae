// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The event-loop services every handler relies on.

#include <QString>
#include <exception>

namespace platform {

// Handles every queued window event (paints, clicks, timer ticks) and returns when the
// queue is empty. Long runs on the window thread call it at their fixed points only.
void processPendingEvents();

// Thrown at an event point of a long run once the program is ending: the run stops there,
// and runHandler lets it go without a word.
struct RunAbandoned {};

// The general error display: a message box over the main window.
void showError(const QString& message);

// Runs a handler; a failure that reaches here is shown and the handler abandoned, so
// nothing ever throws through the event loop.
template <class Handler>
void runHandler(Handler&& handler) {
    try {
        handler();
    } catch (const RunAbandoned&) {
    } catch (const std::exception& failure) {
        showError(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        showError(QStringLiteral("Unexpected failure."));
    }
}

}  // namespace platform
