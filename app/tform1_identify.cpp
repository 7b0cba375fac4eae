// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up identification, run when the main window is first to be shown.
#include "app/tform1.h"
#include "app/tform2.h"
#include "present/words.h"
#include "sysinfo/identification.h"
#include "sysinfo/sweep.h"

// The window is made visible only once the identification has ended; until then the splash
// stands in for it. The first request to show it starts the identification.
void TForm1::setVisible(bool visible) {
    if (visible && !identified_) {
        if (!identifying_) {
            identifying_ = true;
            FormShow();
        }
        return;
    }
    QWidget::setVisible(visible);
}

// The identification runs as a job while the window thread paints the splash and answers the
// window manager; the main window appears, in its place, once the job has ended.
void TForm1::FormShow() {
    if (Form2 != nullptr) Form2->show();
    move(300, 100);
    runJob(
        [this] {
            const sysinfo::SweepBufferUse sweepBuffer;  // the cache sweeps' steps back it
            const sysinfo::Identification found = sysinfo::identify(inputs_.identification);
            post([this, found] { showIdentification(found); });
        },
        [this] {
            identified_ = true;
            if (Form2 != nullptr) Form2->hide();
            show();
        });
}

// A panel that cannot be filled keeps "-": the registry panels when the key does not open or
// a value is missing, the cache panel when no sweep is slower than the one before by the drop
// ratio, the clock when both sleeps were disturbed.
void TForm1::showIdentification(const sysinfo::Identification& found) {
    using widgets::qtext;
    if (const auto& registry = found.registry) {
        if (registry->identifier) Panel2->setCaption(qtext(*registry->identifier));
        if (registry->vendor) Panel3->setCaption(qtext(*registry->vendor));
        Panel1->setCaption(qtext(present::cpuNameText(registry->ratedMhz, registry->name)));
    }
    Panel4->setCaption(qtext(present::instructionsText(found.extensions)));
    if (found.cacheKiB) Panel5->setCaption(qtext(present::cacheSizeText(*found.cacheKiB)));
    if (found.clockCycles) Panel6->setCaption(qtext(present::clockText(*found.clockCycles)));
}
