// SPDX-License-Identifier: GPL-3.0-or-later
// The live core clock on "CPU Info" and the pause/resume protocol of the runs.
#include "app/tform1.h"
#include "app/timers.h"
#include "present/captions.h"
#include "present/words.h"
#include "sysinfo/identification.h"

using platform::qtext;

namespace {}  // namespace

// The same clock step as the start-up identification's, so both are replaced together where
// the half-second measurement must not run. It runs as a job: between the steps of a run
// that is under way, as a tick did at that run's event points, and never beside one. A
// measurement without a reading leaves the text as it was.
void TForm1::Timer1Timer() {
    if (clockMeasuring_) return;
    clockMeasuring_ = true;
    runJob(
        [this] {
            if (const auto cycles = sysinfo::identificationSteps().measureClock()) {
                post([this, caption = present::clockText(*cycles)] {
                    Panel6->setCaption(QString::fromStdString(caption));
                });
            }
        },
        [this] { clockMeasuring_ = false; });
}

void TForm1::Panel15Click() {
    if (Panel15->caption() == qtext(present::kOn)) {
        app::enableTimer(Timer1, false);
        Panel15->setCaption(qtext(present::kOff));
    } else {
        app::enableTimer(Timer1, true);
        Panel15->setCaption(qtext(present::kOn));
    }
}

void TForm1::pauseClockRefresh() {
    app::enableTimer(Timer1, false);
    Panel15->setCaption(qtext(present::kOff));
}

// Unconditional: a refresh the user had switched off is on again after any run.
void TForm1::resumeClockRefresh() {
    app::enableTimer(Timer1, true);
    Panel15->setCaption(qtext(present::kOn));
}
