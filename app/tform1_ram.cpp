// SPDX-License-Identifier: GPL-3.0-or-later
// The memory status monitor on "RAM Info" and "RUN" on " RAM Benchmark  ".
#include <string>

#include "app/tform1.h"
#include "membench/memory_speed.h"
#include "platform/memory_status.h"
#include "platform/qt_canvas.h"

using platform::setLabelCaption;

void TForm1::Timer2Timer() {
    const std::optional<platform::MemoryStatus> report = platform::memoryStatus();
    const sysinfo::MemoryTexts texts = memoryMonitor_.tick(report);
    platform::Panel* const panels[] = {Panel7, Panel8, Panel9, Panel10, Panel11, Panel12};
    for (std::size_t i = 0; i < texts.panels.size(); ++i) {
        panels[i]->setCaption(QString::fromStdString(texts.panels[i]));
    }
    setLabelCaption(Label26, texts.freePhys);
    setLabelCaption(Label27, texts.load);
    if (report) Image1->setImage(platform::toImage(memoryMonitor_.chart()));
}

// The two measurements are a job. A second click on RUN while it waits or runs is ignored,
// as on the CPU benchmark: a nested run would take a second read block and write its speeds
// under the outer run's.
void TForm1::Button3Click() {
    if (ramBenchmarkRunning_) return;
    ramBenchmarkRunning_ = true;
    runJob(
        [this] {
            post([this] {
                setLabelCaption(Label73, "0");
                setLabelCaption(Label74, "0");
                pauseClockRefresh();
            });
            eventPoint();
            const std::string write = membench::speedText(membench::writeMeasurement());
            post([this, write] { setLabelCaption(Label73, write); });
            eventPoint();
            const std::string read = membench::speedText(membench::readMeasurement());
            post([this, read] {
                setLabelCaption(Label74, read);
                resumeClockRefresh();
            });
        },
        [this] { ramBenchmarkRunning_ = false; });
}
