// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up identification, run when the main window is first shown.
#include "app/tform1.h"
#include "app/tform2.h"
#include "sysinfo/identification.h"

void TForm1::FormShow() {
    const auto& steps = sysinfo::identificationSteps();

    // The splash covers the wait; it must be painted now, as no events are processed from
    // here until it is hidden again.
    if (Form2 != nullptr) Form2->showPainted();
    move(300, 100);

    // The registry panels keep "-" when the key does not open.
    if (const auto registry = steps.readRegistry()) {
        Panel2->setCaption(QString::fromStdString(registry->identifier));
        Panel3->setCaption(QString::fromStdString(registry->vendor));
        Panel1->setCaption(QString::fromStdString(registry->cpuName));
    }

    Panel4->setCaption(QString::fromStdString(
        sysinfo::instructionSetText(sysinfo::instructionProbes(), steps.runProbe)));

    // "-" stays when no sweep is slower than the one before by the drop ratio.
    if (const auto cacheSize = sysinfo::cacheSizeText(steps.runCacheSweeps()))
        Panel5->setCaption(QString::fromStdString(*cacheSize));

    Panel6->setCaption(QString::fromStdString(steps.measureClock()));

    if (Form2 != nullptr) Form2->hide();
}
