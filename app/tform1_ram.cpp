// SPDX-License-Identifier: GPL-3.0-or-later
// The memory status monitor on "RAM Info" and "RUN" on " RAM Benchmark  ".
#include <string>

#include "app/tform1.h"
#include "membench/memory_speed.h"
#include "platform/memory_status.h"
#include "present/captions.h"
#include "present/words.h"
#include "sysinfo/sweep.h"
#include "widgets/canvas_image.h"

using widgets::qtext;
using widgets::setLabelCaption;

// A report that cannot be read shows "-" everywhere and leaves the chart as it was.
void TForm1::Timer2Timer() {
    const std::optional<sysinfo::MemoryFigures> figures =
        memoryMonitor_.tick(inputs_.sources.memoryStatus());
    widgets::Panel* const panels[] = {Panel7, Panel8, Panel9, Panel10, Panel11, Panel12};
    for (std::size_t i = 0; i < std::size(panels); ++i) {
        panels[i]->setCaption(figures ? qtext(present::kbyteText(figures->panels[i]))
                                      : qtext(present::kNoFigure));
    }
    setLabelCaption(Label26, figures ? present::freeMbText(figures->freePhys)
                                     : std::string(present::kNoFigure));
    setLabelCaption(Label27, figures ? present::loadText(figures->loadPercent)
                                     : std::string(present::kNoFigure));
    if (figures) Image1->setImage(widgets::toImage(memoryMonitor_.chart()));
}

// The two measurements are a job. RUN stays enabled: a click during a run queues a second
// run, which runs to its end at the first run's next event point, between its two
// measurements, and never beside one; the outer run then shows its own read speed last.
void TForm1::Button3Click() {
    runJob([this] {
        const sysinfo::SweepBufferUse sweepBuffer;  // the write measurement's block
        sysinfo::backSweepBuffer();
        post([this] {
            setLabelCaption(Label73, std::string(present::kNoResult));
            setLabelCaption(Label74, std::string(present::kNoResult));
            pauseClockRefresh();
        });
        eventPoint();
        const std::string write = present::speedText(
            membench::writeMeasurement(inputs_.sources.clock, inputs_.ramWorkload));
        post([this, write] { setLabelCaption(Label73, write); });
        eventPoint();
        const std::string read = present::speedText(
            membench::readMeasurement(inputs_.sources.clock, inputs_.ramWorkload));
        post([this, read] {
            setLabelCaption(Label74, read);
            resumeClockRefresh();
        });
    });
}
