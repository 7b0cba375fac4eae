// SPDX-License-Identifier: GPL-3.0-or-later
// "RUN" on "CPU Benchmark ": the 29 rows, the three group scores and the CPU score.
#include <QLabel>
#include <string>

#include "app/tform1.h"
#include "bench/benchmark_run.h"
#include "present/captions.h"
#include "present/words.h"
#include "sysinfo/sweep.h"
#include "widgets/controls.h"
#include "widgets/events.h"

using widgets::qtext;

namespace {

QGroupBox* groupBox(const TForm1& form, bench::Group group) {
    switch (group) {
        case bench::Group::Alu:
            return form.GroupBox5;
        case bench::Group::Fpu:
            return form.GroupBox6;
        case bench::Group::Instr:
            return form.GroupBox7;
    }
    return nullptr;
}

}  // namespace

// The run is a job of about a minute. A second click on RUN while it waits or runs is
// ignored: a nested run would redo all 29 rows and then leave the outer run writing its
// group scores over labels the nested run had filled, so the page would no longer show one
// run's figures. Everything the run shows is handed to the window thread as it happens.
void TForm1::Button1Click() {
    if (benchmarkRunning_) return;
    benchmarkRunning_ = true;
    runJob(
        [this] {
            const sysinfo::SweepBufferUse sweepBuffer;
            sysinfo::backSweepBuffer();
            post([this] { pauseClockRefresh(); });
            bench::RunCallbacks callbacks;
            callbacks.beforeRow = [this] { eventPoint(); };
            callbacks.reset = [this] {
                post([this] {
                    for (int row = 1; row <= bench::kRowCount; ++row)
                        widgets::setLabelCaption(resultLabel(row), std::string(present::kNoResult));
                    for (auto group : {bench::Group::Alu, bench::Group::Fpu, bench::Group::Instr})
                        groupBox(*this, group)->setTitle(qtext(present::groupTitle(group)));
                    Panel14->setCaption(qtext(present::kBenchmarking));
                });
            };
            callbacks.rowDone = [this](const bench::RowResult& row) {
                post([this, number = row.place.row,
                      caption = present::resultText(row.place.group, row.shown)] {
                    widgets::setLabelCaption(resultLabel(number), caption);
                });
            };
            callbacks.groupDone = [this](bench::Group group, std::int32_t score) {
                post([this, group, title = present::groupScoreTitle(group, score)] {
                    groupBox(*this, group)->setTitle(qtext(title));
                });
            };
            callbacks.runDone = [this](std::int64_t score) {
                post([this, caption = present::cpuScoreText(score)] {
                    Panel14->setCaption(qtext(caption));
                });
            };
            const bench::RunResult result =
                bench::runBenchmark(inputs_.benchmarkRows, inputs_.sources.clock, callbacks);
            // Every figure stands as measured; wrong work is said once, after the run.
            post([this, wrong = present::wrongResultsMessage(result)] {
                resumeClockRefresh();
                if (!wrong.empty()) widgets::showError(QString::fromStdString(wrong));
            });
        },
        [this] { benchmarkRunning_ = false; });
}
