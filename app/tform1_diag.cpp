// SPDX-License-Identifier: GPL-3.0-or-later
// The CPU stability test and the memory test on "    Diagnostic    ".
#include <QMetaObject>
#include <memory>
#include <string>

#include "app/tform1.h"
#include "diag/memtest.h"
#include "diag/potok1.h"
#include "platform/format.h"
#include "platform/memory_limits.h"
#include "platform/qt_widgets.h"

namespace {

using platform::setLabelCaption;

// A worker's updates, handed to the window's thread: one queued call per update, posted
// from the worker's own thread, so they arrive in the order the worker made them. The
// window waits for every worker before it is destroyed, so it is alive for every post.
class WindowStabilityReport final : public diag::StabilityReport {
  public:
    explicit WindowStabilityReport(TForm1* form) : form_(form) {}

    void passCounted(std::int64_t passes) override {
        post([form = form_, passes] {
            setLabelCaption(form->Label88, platform::intToText(passes));
        });
    }
    void errorCounted(std::int32_t errors) override {
        post([form = form_, errors] {
            setLabelCaption(form->Label93, platform::floatToText(static_cast<long double>(errors)));
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
        show(form_->Label80, diag::sizeCaption(sizeMiB));
    }
    void showWriteSpeed(std::int64_t mbPerSec) override {
        show(form_->Label86, diag::speedCaption(mbPerSec));
    }
    void showCheckSpeed(std::int64_t mbPerSec) override {
        show(form_->Label87, diag::speedCaption(mbPerSec));
    }
    void showPasses(std::int64_t passes) override {
        show(form_->Label81, platform::intToText(passes));
    }
    void showErrors(std::int64_t errors) override {
        show(form_->Label83, platform::intToText(errors));
    }
    void processEvents(diag::EventPoint) override { form_->eventPoint(); }
    void cycleEnded(std::int64_t) override {}
    void showNoMemory() override {
        QMetaObject::invokeMethod(
            form_, [form = form_] { form->showMemTestMessage(); }, Qt::QueuedConnection);
    }
    void ended() override {
        QMetaObject::invokeMethod(
            form_,
            [form = form_] {
                form->Button8->setEnabled(true);
                setLabelCaption(form->Label80, diag::sizeCaption(0));
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
        stabilityWorkers_.startTwo(std::make_shared<WindowStabilityReport>(this));
    } catch (...) {
        // No thread could be had: without a worker nothing would ever bring RUN back.
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
    runJob([this] {
        WindowMemTestView view(this);
        diag::runMemTest(platform::memoryTestAllowance(), view);
    });
}

void TForm1::showMemTestMessage() {
    if (memTestMessage_ == nullptr) {
        memTestMessage_ = new QLabel(QString::fromUtf8(diag::kNoMemoryMessage), GroupBox10);
        memTestMessage_->setObjectName("memTestMessage");
        memTestMessage_->move(16, 128);
        memTestMessage_->adjustSize();
    }
    memTestMessage_->show();
}

void TForm1::Button9Click() {
    diag::memTestStop.store(1, std::memory_order_relaxed);
}

void TForm1::stopDiagnostics() {
    stabilityWorkers_.stopAndJoin();
}
