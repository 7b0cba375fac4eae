// SPDX-License-Identifier: GPL-3.0-or-later
// "RUN" on "CPU Benchmark ": the 29 rows, the three group scores and the CPU score.
#include <QLabel>
#include <stdexcept>
#include <string>

#include "app/tform1.h"
#include "bench/benchmark_run.h"
#include "platform/qt_events.h"
#include "platform/qt_widgets.h"

namespace {

QString text(const std::string& caption) {
    return QString::fromStdString(caption);
}

QLabel* resultLabel(const TForm1& form, const QString& name) {
    auto* label = qobject_cast<QLabel*>(form.control(name));
    if (label == nullptr) throw std::logic_error("no result label " + name.toStdString());
    return label;
}

QGroupBox* groupBox(const TForm1& form, bench::Group group) {
    switch (group) {
        case bench::Group::Alu:
            return form.GroupBox5;
        case bench::Group::Fpu:
            return form.GroupBox6;
        case bench::Group::Instr:
            return form.GroupBox7;
    }
    throw std::logic_error("unknown benchmark group");
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
            post([this] { pauseClockRefresh(); });
            bench::RunCallbacks callbacks;
            callbacks.beforeRow = [this] { eventPoint(); };
            callbacks.showResult = [this](const bench::KernelRow& row, const std::string& caption) {
                const QString name =
                    QString::fromUtf8(row.resultLabel.data(), row.resultLabel.size());
                post([this, name, caption] {
                    platform::setLabelCaption(resultLabel(*this, name), caption);
                });
            };
            callbacks.showGroup = [this](bench::Group group, const std::string& caption) {
                post([this, group, caption] { groupBox(*this, group)->setTitle(text(caption)); });
            };
            callbacks.showStatus = [this](const std::string& caption) {
                post([this, caption] { Panel14->setCaption(text(caption)); });
            };
            const auto rows = bench::benchmarkRows();
            const bench::RunResult result = bench::runBenchmark(rows, callbacks);
            // Every figure stands as measured; wrong work is said once, after the run.
            post([this, wrong = bench::wrongResultsMessage(rows, result)] {
                resumeClockRefresh();
                if (!wrong.empty()) platform::showError(QString::fromStdString(wrong));
            });
        },
        [this] { benchmarkRunning_ = false; });
}
