// SPDX-License-Identifier: GPL-3.0-or-later
// The live core clock on "CPU Info" and the pause/resume protocol of the runs.
#include "app/tform1.h"
#include "app/timers.h"
#include "sysinfo/identification.h"

// The same clock step as the start-up identification's last one, so both are replaced
// together where the half-second measurement must not run.
void TForm1::Timer1Timer() {
    Panel6->setCaption(QString::fromStdString(sysinfo::identificationSteps().measureClock()));
}

void TForm1::Panel15Click() {
    if (Panel15->caption() == "ON") {
        app::enableTimer(Timer1, false);
        Panel15->setCaption("OFF");
    } else {
        app::enableTimer(Timer1, true);
        Panel15->setCaption("ON");
    }
}

void TForm1::pauseClockRefresh() {
    app::enableTimer(Timer1, false);
    Panel15->setCaption("OFF");
}

// Unconditional: a refresh the user had switched off is on again after any run.
void TForm1::resumeClockRefresh() {
    app::enableTimer(Timer1, true);
    Panel15->setCaption("ON");
}
