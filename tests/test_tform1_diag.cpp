// The "    Diagnostic    " page of the real window, offscreen: the CPU test's buttons, labels
// and clock protocol with the workers' passes injected, and the memory test over an
// injected small amount of free memory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QDir>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "app/look.h"
#include "app/tform1.h"
#include "diag/stability.h"
#include "platform/memory_status.h"
#include "platform/ticks.h"

namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "test_tform1_diag";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: destroying it at exit, after Qt's thread storage is
    // gone, would crash on the fonts the look adds.
    static QApplication* const app = [] {
        auto* created = new QApplication(argc, argv);
        app::applyLook();  // the screenshot looks as the window does in use
        return created;
    }();
    return *app;
}

// Handles window events as they come until `done`, for at most a minute. A heartbeat
// timer keeps the wait from blocking when nothing else is posted.
template <class Done>
bool processUntil(Done done) {
    QTimer heartbeat;
    heartbeat.start(50);
    const QDeadlineTimer deadline(60'000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Passes run only when the test lets them, worker by worker (workers are numbered in the
// order of their first pass); a worker's n-th pass can be told to come out wrong.
struct PassGate {
    std::mutex mutex;
    std::condition_variable changed;
    int workers = 0;
    std::vector<int> permits = std::vector<int>(8, 0);
    std::vector<int> passNumber = std::vector<int>(8, 0);
    bool open = false;
    int inPass = 0;
    int started = 0;
    std::vector<bool> results;  // by a worker's pass number; missing means right

    void allow(int worker, int n, bool fully = false) {
        std::lock_guard lock(mutex);
        permits[worker] += n;
        open = open || fully;
        changed.notify_all();
    }
    void openFully() { allow(0, 0, true); }
    int inPassNow() {
        std::lock_guard lock(mutex);
        return inPass;
    }
    bool waitFor(int running, int startedAtLeast) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60),
                                [&] { return inPass == running && started >= startedAtLeast; });
    }
};

PassGate* gate = nullptr;

bool gatedPass() {
    // Numbered per thread: a new thread may reuse the id of one that has ended.
    thread_local int worker = -1;
    std::unique_lock lock(gate->mutex);
    if (worker < 0) worker = gate->workers++;
    const int pass = gate->passNumber[worker]++;
    ++gate->started;
    ++gate->inPass;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->open || gate->permits[worker] > 0; });
    if (!gate->open) --gate->permits[worker];
    --gate->inPass;
    gate->changed.notify_all();
    return pass >= static_cast<int>(gate->results.size()) || gate->results[pass];
}

// Counts the updates the workers hand to the window.
struct UpdateCounter : QObject {
    int updates = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) ++updates;
        return false;
    }
};

class CpuTestWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        application();
        gate = &passes;
        form = std::make_unique<TForm1>();
    }
    void TearDown() override {
        passes.openFully();
        form.reset();
        gate = nullptr;
    }
    // RUN, with both workers then let through every pass.
    void runWithBothWorkersInPass() {
        form->Button5->click();
        ASSERT_TRUE(passes.waitFor(2, 2));
        passes.openFully();
    }

    PassGate passes;
    diag::ScopedStabilityPass injected{&gatedPass};
    std::unique_ptr<TForm1> form;
};

TEST_F(CpuTestWindow, RunCountsPassesAndErrorsStopEndsEachWorkerAfterItsPass) {
    UpdateCounter counter;
    form->installEventFilter(&counter);
    passes.results = {false};  // each worker's first pass is wrong
    ASSERT_TRUE(form->Timer1->isActive());
    form->Button5->click();
    EXPECT_FALSE(form->Button5->isEnabled());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), "OFF");

    passes.allow(0, 2);
    passes.allow(1, 2);
    ASSERT_TRUE(passes.waitFor(2, 6));
    ASSERT_TRUE(processUntil([&] { return form->Label88->text() == "2"; }));
    EXPECT_EQ(form->Label93->text(), "1");  // each worker counted its one wrong pass
    EXPECT_FALSE(form->Button5->isEnabled());

    // STOP: the first worker to end its pass brings RUN and the clock back.
    form->Button7->click();
    passes.allow(0, 1);
    ASSERT_TRUE(processUntil([&] { return form->Button5->isEnabled(); }));
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), "ON");
    EXPECT_TRUE(passes.waitFor(1, 6));
    passes.allow(1, 1);
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
    passes.allow(2, 1);
    ASSERT_TRUE(processUntil([&] { return form->Label88->text() == "1"; }));
}

TEST_F(CpuTestWindow, StopWhileIdleOnlySetsTheFlag) {
    diag::cpuTestStop.store(false);
    const QString clock = form->Panel15->caption();
    form->Button7->click();
    EXPECT_TRUE(diag::cpuTestStop.load());
    EXPECT_TRUE(form->Button5->isEnabled());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Panel15->caption(), clock);
}

TEST_F(CpuTestWindow, ClosingTheWindowWaitsForTheWorkers) {
    runWithBothWorkersInPass();
    QCloseEvent close;
    QCoreApplication::sendEvent(form.get(), &close);
    EXPECT_TRUE(diag::cpuTestStop.load());
    EXPECT_EQ(passes.inPassNow(), 0);
    const int started = passes.started;
    QCoreApplication::processEvents();
    EXPECT_EQ(passes.started, started);
}

TEST_F(CpuTestWindow, DestroyingTheWindowWaitsForTheWorkers) {
    runWithBothWorkersInPass();
    form.reset();
    EXPECT_EQ(passes.inPassNow(), 0);
    QCoreApplication::processEvents();  // updates posted to the window went with it
}

// The memory test over an injected amount of free memory.
std::uint32_t clockTicks = 0;
std::uint32_t tenMsTicks() {
    return clockTicks += 10;
}

// A memory report with `bytes` of free physical memory.
platform::MemoryStatusSource available(std::int64_t bytes) {
    return [=] { return std::optional(platform::MemoryStatus{std::int64_t{1} << 30, bytes}); };
}

class MemTestWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        application();
        form = std::make_unique<TForm1>();
        form->PageControl2->setCurrentIndex(2);
    }

    // At the event point `point` of the run, `action` runs once.
    void atEventPoint(int point, std::function<void()> action) {
        auto* timer = new QTimer(form.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, form.get(), [=, n = 0]() mutable {
            if (++n == point) {
                timer->stop();
                action();
            }
        });
        timer->start();
    }

    QLabel* message() const { return form->findChild<QLabel*>("memTestMessage"); }

    std::unique_ptr<TForm1> form;
};

TEST_F(MemTestWindow, RunShowsTheSizeAndSpeedsAndEndsOnStop) {
    // 8,500,000 bytes free: a block of 8,414,976 bytes, 8 whole MiB.
    const platform::ScopedMemoryStatusSource memory(available(8'500'000));
    const platform::ScopedTickSource clock(&tenMsTicks);
    QString sizeWhileRunning;
    bool runWhileRunning = true;
    atEventPoint(6, [&] {
        sizeWhileRunning = form->Label80->text();
        runWhileRunning = form->Button8->isEnabled();
        const QByteArray dir = qgetenv("CORVANE_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(QString::fromLocal8Bit(dir));
            form->grab().save(QString::fromLocal8Bit(dir) + "/diag-memtest-running.png");
        }
        form->Button9->click();
    });
    form->Button8->click();  // returns when the run has ended

    EXPECT_EQ(sizeWhileRunning, "8 Mb.");
    EXPECT_FALSE(runWhileRunning);
    EXPECT_EQ(form->Label80->text(), "0 Mb.");
    EXPECT_TRUE(form->Button8->isEnabled());
    EXPECT_EQ(form->Label81->text(), "4");  // STOP seen in the second cycle
    EXPECT_EQ(form->Label83->text(), "0");
    EXPECT_EQ(form->Label86->text(), "800 Mb/sec");
    EXPECT_EQ(form->Label87->text(), "800 Mb/sec");
    EXPECT_TRUE(message() == nullptr || message()->isHidden());
}

TEST_F(MemTestWindow, NoMemoryShowsAMessageUntilAGoodRun) {
    const platform::MemoryStatusSource sources[] = {
        available(100), available(std::int64_t{1} << 62),        // the mapping is refused
        [] { return std::optional<platform::MemoryStatus>(); },  // unreadable
    };
    for (const auto& source : sources) {
        const platform::ScopedMemoryStatusSource memory(source);
        form->Button8->click();
        ASSERT_NE(message(), nullptr);
        EXPECT_FALSE(message()->isHidden());
        EXPECT_EQ(message()->text(), "Not enough free memory.");
        EXPECT_EQ(form->Label80->text(), "0 Mb.");
        EXPECT_EQ(form->Label81->text(), "0");
        EXPECT_TRUE(form->Button8->isEnabled());
    }
    const platform::ScopedMemoryStatusSource memory(available(2'200'000));
    atEventPoint(1, [&] { form->Button9->click(); });
    form->Button8->click();
    EXPECT_TRUE(message()->isHidden());
    EXPECT_EQ(form->Label81->text(), "2");
}

TEST_F(MemTestWindow, ClosingTheWindowEndsTheRun) {
    const platform::ScopedMemoryStatusSource memory(available(2'200'000));
    atEventPoint(3, [&] {
        QCloseEvent close;
        QCoreApplication::sendEvent(form.get(), &close);
    });
    form->Button8->click();
    EXPECT_EQ(form->Label81->text(), "2");
    EXPECT_TRUE(form->Button8->isEnabled());
}

}  // namespace
