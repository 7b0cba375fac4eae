// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up identification, run when the main window is first to be shown.
#include "app/tform1.h"
#include "app/tform2.h"
#include "sysinfo/identification.h"

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
            const sysinfo::Identification found = sysinfo::identify(sysinfo::identificationSteps());
            post([this, found] { showIdentification(found); });
        },
        [this] {
            identified_ = true;
            if (Form2 != nullptr) Form2->hide();
            show();
        });
}

void TForm1::showIdentification(const sysinfo::Identification& found) {
    const auto text = [](const std::string& caption) { return QString::fromStdString(caption); };
    // The registry panels keep "-" when the key does not open.
    if (found.registry) {
        Panel2->setCaption(text(found.registry->identifier));
        Panel3->setCaption(text(found.registry->vendor));
        Panel1->setCaption(text(found.registry->cpuName));
    }
    Panel4->setCaption(text(found.instructions));
    // "-" stays when no sweep is slower than the one before by the drop ratio.
    if (found.cacheSize) Panel5->setCaption(text(*found.cacheSize));
    Panel6->setCaption(text(found.clock));
}
