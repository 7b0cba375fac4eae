// The live core clock on "CPU Info" and the pause/resume protocol of the runs.
#include "app/tform1.h"
#include "app/timers.h"
#include "sysinfo/clock.h"

void TForm1::Timer1Timer() {
    // A reading from a disturbed sleep is dropped; the caption keeps the last clock.
    if (sysinfo::measureClock()) Panel6->setCaption(QString::fromStdString(sysinfo::clockText()));
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
