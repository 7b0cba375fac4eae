// The start-up identification, run when the main window is first shown.
#include "app/tform1.h"
#include "app/tform2.h"
#include "sysinfo/identification.h"

void TForm1::FormShow() {
    const auto& steps = sysinfo::identificationSteps();

    // 1. The splash covers the wait; it must be painted before the thread blocks.
    if (Form2 != nullptr) Form2->showPainted();

    // 2. Placement; no events are processed from here to the end.
    move(300, 100);

    // 3. Registry: the panels keep "-" when the key does not open.
    if (const auto registry = steps.readRegistry()) {
        Panel2->setCaption(QString::fromStdString(registry->identifier));
        Panel3->setCaption(QString::fromStdString(registry->vendor));
        Panel1->setCaption(QString::fromStdString(registry->cpuName));
    }

    // 4, 5. Instruction probes, each on its own, appended in probe order.
    Panel4->setCaption("x86");
    for (const auto& probe : sysinfo::instructionProbes()) {
        if (steps.runProbe(probe)) Panel4->setCaption(Panel4->caption() + probe.text);
    }

    // 6. Cache detection: "-" stays when no drop is found.
    if (const auto cacheSize = sysinfo::cacheSizeText(steps.runCacheSweeps()))
        Panel5->setCaption(QString::fromStdString(*cacheSize));

    // 7. Core clock.
    Panel6->setCaption(QString::fromStdString(steps.measureClock()));

    // 8.
    if (Form2 != nullptr) Form2->hide();
}
