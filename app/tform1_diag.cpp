// SPDX-License-Identifier: GPL-3.0-or-later
// The CPU stability test and the memory test on "    Diagnostic    ".
#include <QMetaObject>
#include <memory>
#include <string>

#include "app/tform1.h"
#include "diag/memtest.h"
#include "diag/potok1.h"
#include "present/words.h"
#include "widgets/controls.h"

namespace {

using widgets::setLabelCaption;

// A worker's updates, handed to the window's thread: one queued call per update, posted
// from the worker's own thread, so they arrive in the order the worker made them. The
// window waits for every worker before it is destroyed, so it is alive for every post.
class WindowStabilityReport final : public diag::StabilityReport {
  public:
    explicit WindowStabilityReport(TForm1* form) : form_(form) {}

    void passCounted(std::int64_t passes) override {
        post(
            [form = form_, passes] { setLabelCaption(form->Label88, present::countText(passes)); });
    }
    void errorCounted(std::int32_t errors) override {
        post([form = form_, errors] {
            setLabelCaption(form->Label93, present::cpuErrorsText(errors));
        });
    }
    void ended() override {
        post([form = form_] {
            form->resumeClockRefresh();
            form->Button5->setEnabled(true);
        });
    }

  private:
    template <class Update>
    void post(Update&& update) {
        QMetaObject::invokeMethod(form_, std::forward<Update>(update), Qt::QueuedConnection);
    }

    TForm1* form_;
};

// The memory test's view of the "RAM TEST" group: each update is handed to the window
// thread; the event points run what was queued meanwhile.
class WindowMemTestView final : public diag::MemTestView {
  public:
    explicit WindowMemTestView(TForm1* form) : form_(form) {}

    void showSize(std::int64_t sizeMiB) override {
        show(form_->Label80, present::testingMemoryText(sizeMiB));
    }
    void showWriteSpeed(const diag::PhaseSpeed& speed) override {
        show(form_->Label86, present::testSpeedText(speed.mbPerSec));
    }
    void showCheckSpeed(const diag::PhaseSpeed& speed) override {
        show(form_->Label87, present::testSpeedText(speed.mbPerSec));
    }
    void showPasses(std::int64_t passes) override {
        show(form_->Label81, present::countText(passes));
    }
    void showErrors(std::int64_t errors) override {
        show(form_->Label83, present::countText(errors));
    }
    void processEvents(diag::EventPoint) override { form_->eventPoint(); }
    void cycleEnded(std::int64_t) override {}
    // Handed over before ended(), which brings RUN back: a run started after it never sees
    // this run's refusal.
    void refused(const diag::NoBlock& why) override {
        QMetaObject::invokeMethod(
            form_,
            [form = form_, why] {
                form->showMemTestMessage(why.poisonedOffset
                                             ? present::faultyMemoryText(*why.poisonedOffset)
                                             : std::string(present::kNotEnoughMemory));
            },
            Qt::QueuedConnection);
    }
    void ended() override {
        QMetaObject::invokeMethod(
            form_,
            [form = form_] {
                form->Button8->setEnabled(true);
                setLabelCaption(form->Label80, present::testingMemoryText(0));
            },
            Qt::QueuedConnection);
    }

  private:
    void show(QLabel* label, std::string caption) {
        QMetaObject::invokeMethod(
            form_, [label, caption = std::move(caption)] { setLabelCaption(label, caption); },
            Qt::QueuedConnection);
    }

    TForm1* form_;
};

}  // namespace

void TForm1::Button5Click() {
    diag::cpuTestStop.store(false, std::memory_order_relaxed);
    Button5->setEnabled(false);
    pauseClockRefresh();
    try {
        stabilityWorkers_.startTwo(std::make_shared<WindowStabilityReport>(this),
                                   inputs_.stabilityPass);
    } catch (const std::exception&) {
        // No thread (or no memory for one) could be had: without a worker nothing would ever
        // bring RUN back. The failure itself goes on to the handler's error display.
        if (stabilityWorkers_.running() == 0) {
            resumeClockRefresh();
            Button5->setEnabled(true);
        }
        throw;
    }
}

void TForm1::Button7Click() {
    diag::cpuTestStop.store(true, std::memory_order_relaxed);
}

// The run is a job until STOP; STOP sets the flag at once and the phase under way ends at
// its next 8-element step.
void TForm1::Button8Click() {
    diag::memTestStop.store(0, std::memory_order_relaxed);
    Button8->setEnabled(false);
    if (memTestMessage_ != nullptr) memTestMessage_->hide();
    runJob(
        [this] {
            WindowMemTestView view(this);
            diag::runMemTest(view, inputs_.sources);
        },
        {},
        // A run that failed on its way never said it ended: RUN comes back all the same.
        [this] {
            Button8->setEnabled(true);
            setLabelCaption(Label80, present::testingMemoryText(0));
        });
}

void TForm1::showMemTestMessage(const std::string& text) {
    if (memTestMessage_ == nullptr) {
        memTestMessage_ = new QLabel(GroupBox10);
        memTestMessage_->setObjectName("memTestMessage");
        memTestMessage_->move(16, 128);
    }
    setLabelCaption(memTestMessage_, text);
    memTestMessage_->adjustSize();
    memTestMessage_->show();
}

void TForm1::Button9Click() {
    diag::memTestStop.store(1, std::memory_order_relaxed);
}

void TForm1::stopDiagnostics() {
    stabilityWorkers_.stopAndJoin();
}
