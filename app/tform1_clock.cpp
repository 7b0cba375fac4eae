// SPDX-License-Identifier: GPL-3.0-or-later
// The live core clock on "CPU Info" and the pause/resume protocol of the runs.
#include "app/tform1.h"
#include "app/timers.h"
#include "present/captions.h"
#include "present/words.h"
#include "sysinfo/identification.h"

using widgets::qtext;

// The same clock step as the start-up identification's, so both are replaced together where
// the half-second measurement must not run. It runs as a job: between the steps of a run
// that is under way, as a tick did at that run's event points, and never beside one. A job
// that waited while a run paused the refresh, or the user switched it off, measures nothing:
// the tick that queued it belongs to a refresh that is no longer on. A measurement without a
// reading leaves the text as it was.
void TForm1::Timer1Timer() {
    if (clockMeasuring_) return;
    clockMeasuring_ = true;
    runJob(
        [this] {
            if (!clockRefreshOn_.load()) return;
            if (const auto cycles = inputs_.identification.measureClock()) {
                post([this, caption = present::clockText(*cycles)] {
                    Panel6->setCaption(QString::fromStdString(caption));
                });
            }
        },
        [this] { clockMeasuring_ = false; });
}

void TForm1::Panel15Click() {
    if (Panel15->caption() == qtext(present::kOn)) {
        enableClockRefresh(false);
        Panel15->setCaption(qtext(present::kOff));
    } else {
        enableClockRefresh(true);
        Panel15->setCaption(qtext(present::kOn));
    }
}

void TForm1::pauseClockRefresh() {
    enableClockRefresh(false);
    Panel15->setCaption(qtext(present::kOff));
}

// Unconditional: a refresh the user had switched off is on again after any run.
void TForm1::resumeClockRefresh() {
    enableClockRefresh(true);
    Panel15->setCaption(qtext(present::kOn));
}

void TForm1::enableClockRefresh(bool enabled) {
    app::enableTimer(Timer1, enabled);
    clockRefreshOn_.store(enabled);
}
