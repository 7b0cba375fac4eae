// SPDX-License-Identifier: GPL-3.0-or-later
// The "    Diagnostic    " page of the real window, offscreen: the CPU test's buttons, labels
// and clock protocol with the workers' passes injected, and the memory test over an
// injected small amount of free memory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <map>
#include <stdexcept>

#include "app/tform1.h"
#include "diag/memtest.h"
#include "diag/stability.h"
#include "pass_gate.h"
#include "platform/memory_limits.h"
#include "window_jobs.h"

namespace {

// Counts the updates the workers hand to the window.
struct UpdateCounter : QObject {
    int updates = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) ++updates;
        return false;
    }
};

// The window with the stability passes injected and the memory test's page shown.
class DiagWindow : public WindowTest {
  protected:
    void SetUp() override {
        gate = &passes;
        WindowTest::SetUp();
        rebuildForMemTest({});
    }
    void TearDown() override {
        passes.openFully();
        form.reset();
        gate = nullptr;
    }

    // At the event point `point` of the memory test's run, `action` runs on the window
    // thread while the run waits for it.
    void atEventPoint(int point, std::function<void()> action) {
        actions[point] = std::move(action);
        jobs->atEventPoint = [this](int n) {
            if (const auto found = actions.find(n); found != actions.end())
                onWindowThread(form.get(), found->second);
        };
    }

    // RUN in "RAM TEST", and the run to its end.
    void runMemTest() {
        form->Button8->click();
        ASSERT_TRUE(finishJobs(*form));
    }

    // Sends the window manager's close; true if the window accepted it.
    bool closeAccepted() {
        QCloseEvent close;
        QCoreApplication::sendEvent(form.get(), &close);
        return close.isAccepted();
    }

    QLabel* message() const { return form->findChild<QLabel*>("memTestMessage"); }

  public:
    // A new window measuring with `inputs`, on the memory test's page.
    void rebuildForMemTest(WindowInputs inputs) {
        inputs.stabilityPass = gatedPass;
        rebuild(std::move(inputs));
        form->PageControl2->setCurrentIndex(2);
    }

  protected:
    PassGate passes;
    std::map<int, std::function<void()>> actions;  // by event point
};
using CpuTestWindow = DiagWindow;
using MemTestWindow = DiagWindow;

TEST_F(CpuTestWindow, RunCountsPassesAndErrorsStopEndsEachWorkerAfterItsPass) {
    UpdateCounter counter;
    form->installEventFilter(&counter);
    passes.results = {false};  // each worker's first pass is wrong
    // STOP while idle only sets the flag; RUN clears it.
    const QString clock = form->Panel15->caption();
    form->Button7->click();
    EXPECT_TRUE(diag::cpuTestStop.load());
    EXPECT_TRUE(form->Button5->isEnabled());
    ASSERT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), clock);
    form->Button5->click();
    EXPECT_FALSE(form->Button5->isEnabled());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), "OFF");

    passes.allow(2);
    ASSERT_TRUE(passes.waitFor(2, 6));
    ASSERT_TRUE(processUntil([&] { return form->Label88->text() == "2"; }));
    EXPECT_EQ(form->Label93->text(), "1");  // each worker counted its one wrong pass
    EXPECT_FALSE(form->Button5->isEnabled());

    // STOP: the first worker to end its pass brings RUN and the clock back.
    form->Button7->click();
    passes.allow(1, {0});
    ASSERT_TRUE(processUntil([&] { return form->Button5->isEnabled(); }));
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(passes.waitFor(1, 6));
    passes.allow(1, {1});
    // Both workers ended: three passes, one error and the end steps each.
    ASSERT_TRUE(processUntil([&] { return counter.updates == 10; }));
    EXPECT_EQ(form->Label88->text(), "3");
    EXPECT_EQ(form->Label93->text(), "1");
    EXPECT_EQ(passes.started, 6);

    // RUN again clears the flag; the old counts stay until the new test's first pass.
    form->Button5->click();
    EXPECT_FALSE(diag::cpuTestStop.load());
    ASSERT_TRUE(passes.waitFor(2, 8));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->Label88->text(), "3");
    passes.allow(1, {2});
    ASSERT_TRUE(processUntil([&] { return form->Label88->text() == "1"; }));
}

// The window manager's close keeps the window until the program ends; the workers are told
// to stop, and destroying the window waits for the passes under way.
TEST_F(CpuTestWindow, CloseStopsTheWorkersAndTheWindowWaitsForThem) {
    form->Button5->click();
    ASSERT_TRUE(passes.waitFor(2, 2));
    EXPECT_FALSE(closeAccepted());
    EXPECT_TRUE(diag::cpuTestStop.load());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(passes.inPass, 2);  // not waited for here: the event loop ends first
    passes.openFully();
    form.reset();
    EXPECT_EQ(passes.inPass, 0);
    EXPECT_EQ(passes.started, 2);       // each worker ended after the pass it was in
    QCoreApplication::processEvents();  // updates posted to the window went with it
}

using AllowanceSource = std::function<std::optional<platform::MemoryAllowance>()>;

// `bytes` of memory the test may take.
AllowanceSource available(std::int64_t bytes) {
    return [=] { return std::optional(platform::MemoryAllowance{bytes, bytes, {}}); };
}

// The window whose memory test may take what `memory` says, timed on a clock that moves
// 10 ms a reading.
void rebuildWithMemory(DiagWindow& test, AllowanceSource memory) {
    WindowInputs inputs;
    inputs.sources.memoryAllowanceSource = std::move(memory);
    inputs.sources.clock.ticks = +[] {
        static std::uint32_t ticks = 0;
        return ticks += 10;
    };
    test.rebuildForMemTest(std::move(inputs));
}

TEST_F(MemTestWindow, RunShowsTheSizeAndSpeedsAndEndsOnStop) {
    diag::memTestStop.store(1);  // left over from an earlier run: cleared by RUN
    // 8,500,000 bytes to take: a block of 8,414,976 bytes, 8 whole MiB.
    rebuildWithMemory(*this, available(8'500'000));
    // The first event point comes before any memory is backed; two points around the one
    // slice of backing, then four a cycle: STOP after the second cycle's check of the ones.
    bool sizeShown = false;
    atEventPoint(
        1, [&] { sizeShown = form->Label80->text() == "8 Mb." && !form->Button8->isEnabled(); });
    atEventPoint(8, [&] { form->Button9->click(); });
    runMemTest();

    EXPECT_TRUE(sizeShown);
    EXPECT_EQ(form->Label80->text(), "0 Mb.");
    EXPECT_TRUE(form->Button8->isEnabled());
    EXPECT_EQ(form->Label81->text(), "4");  // STOP seen in the second cycle
    EXPECT_EQ(form->Label83->text(), "0");
    EXPECT_EQ(form->Label86->text(), "800 Mb/sec");
    EXPECT_EQ(form->Label87->text(), "800 Mb/sec");
    EXPECT_TRUE(message() == nullptr || message()->isHidden());
}

TEST_F(MemTestWindow, NoMemoryShowsAMessageUntilTheNextRunAndStopDuringBackingEndsIt) {
    const AllowanceSource sources[] = {
        available(100), available(std::int64_t{1} << 62),           // the mapping is refused
        [] { return std::optional<platform::MemoryAllowance>(); },  // unreadable
    };
    for (const auto& source : sources) {
        rebuildWithMemory(*this, source);
        const CaptionLog log(*form);
        runMemTest();
        // Said before RUN comes back, so that a second run never sees it appear.
        EXPECT_LT(log.at("memTestMessage=Not enough memory"), log.at("Button8 enabled"));
        ASSERT_NE(message(), nullptr);
        EXPECT_FALSE(message()->isHidden());
        EXPECT_EQ(message()->text(), "Not enough memory");
        EXPECT_EQ(form->Label80->text(), "0 Mb.");
        EXPECT_EQ(form->Label81->text(), "0");
        EXPECT_TRUE(form->Button8->isEnabled());
    }
    // The next run hides the message; STOP before the first slice ends it (what the run
    // does then is in test_memtest).
    form->Button8->click();
    EXPECT_TRUE(message()->isHidden());
    atEventPoint(1, [&] { form->Button9->click(); });
    ASSERT_TRUE(finishJobs(*form));
    EXPECT_TRUE(form->Button8->isEnabled());
}

// A run that fails on its way (here the memory figures cannot be had at all) is shown in
// the error display, and RUN comes back all the same.
TEST_F(MemTestWindow, AFailedRunBringsRunBack) {
    rebuildWithMemory(*this, []() -> std::optional<platform::MemoryAllowance> {
        throw std::runtime_error("no memory figures");
    });
    QStringList shown;
    QTimer closer;  // closes the error display once it is up, noting what it says
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown << box->text();
            box->close();
        }
    });
    closer.start(10);
    runMemTest();
    // The display itself is the bench page's test: a close earlier in this file has told the
    // application to end, and a modal box then returns at once.
    ASSERT_TRUE(processUntil([&] { return form->Button8->isEnabled(); }));
    EXPECT_TRUE(shown.empty() || shown == QStringList{"no memory figures"});
    EXPECT_EQ(form->Label80->text(), "0 Mb.");
}

// Last in this file: the close tells the application to end. The phase under way stops at
// its next step, the cycle ends as STOP ends it, and the window keeps its place.
TEST_F(MemTestWindow, CloseStopsTheRunAtOnceAndKeepsTheWindow) {
    rebuildWithMemory(*this, available(2'200'000));
    bool accepted = true;
    atEventPoint(3, [&] { accepted = closeAccepted(); });  // after the timed write of ones
    runMemTest();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(form->Label81->text(), "2");  // the shortened phases still count their passes
    EXPECT_EQ(form->Label80->text(), "0 Mb.");
}

}  // namespace
