// The start-up identification, run when the main window is first shown.
#include "app/tform1.h"
#include "sysinfo/clock.h"

void TForm1::FormShow() {
    move(300, 100);
    // The splash window and the processor identification run here, before the clock.
    sysinfo::measureClock();
    Panel6->setCaption(QString::fromStdString(sysinfo::clockText()));
}
