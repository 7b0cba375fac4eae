// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's jobs in widget tests: waiting for them, meeting them at their event points,
// and the log of every caption they hand over to the window.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/tform1.h"
#include "platform/jobs.h"
#include "qt_test_app.h"

// Handles window events as they come until `done`, for at most `patience` (a minute: a
// fake job; the real benchmark on a loaded machine takes longer). A heartbeat timer keeps
// the wait from blocking when nothing else is posted.
template <class Done>
bool processUntil(Done done, std::chrono::milliseconds patience = std::chrono::minutes(1)) {
    QTimer heartbeat;
    heartbeat.start(20);
    const QDeadlineTimer deadline(patience);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Until every job has ended and the window shows all that they handed over.
inline bool finishJobs(const TForm1& form,
                       std::chrono::milliseconds patience = std::chrono::minutes(1)) {
    const bool ended = processUntil([&] { return form.idle(); }, patience);
    QCoreApplication::processEvents();
    return ended;
}

// Runs `action` on the window thread and waits for it; called from a job, while the test
// waits in processUntil().
template <class Action>
void onWindowThread(QObject* window, Action action) {
    QMetaObject::invokeMethod(window, std::move(action), Qt::BlockingQueuedConnection);
}

// The window's worker with a log of what runs on it, and a hook at its event points.
class RecordingJobRunner final : public platform::JobRunner {
  public:
    void submit(Job job) override {
        const int n = ++submitted_;
        inner_.submit([this, n, job = std::move(job)] {
            note("job " + std::to_string(n) + " starts");
            job();
            note("job " + std::to_string(n) + " ends");
        });
    }
    void eventPoint() override {
        const int n = ++eventPoints_;
        if (atEventPoint) atEventPoint(n);
        inner_.eventPoint();
    }
    bool idle() const override { return inner_.idle(); }
    void finish() override {
        finishing.store(true);
        inner_.finish();
    }

    // Set once finish() began: the window is being destroyed.
    std::atomic<bool> finishing{false};

    // Called from job code: the entry joins the log, and its thread the threads seen.
    void note(const std::string& entry) {
        std::lock_guard lock(mutex_);
        log_.push_back(entry);
        threads_.insert(std::this_thread::get_id());
    }
    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::size_t threadsSeen() const {
        std::lock_guard lock(mutex_);
        return threads_.size();
    }

    // Runs on the worker at each event point (counted from 1), before the queued jobs.
    std::function<void(int point)> atEventPoint;

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
    std::set<std::thread::id> threads_;
    int submitted_ = 0;  // the window submits from its own thread only
    int eventPoints_ = 0;
    platform::WorkerJobRunner inner_;  // last: its jobs use everything above
};

// A fresh window for each test, its jobs on a recording worker. The window goes first, before
// whatever its jobs use in a fixture built on this one.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testApplication();
        rebuild({});
    }
    void TearDown() override { form.reset(); }

    // A new window whose identification and clock refresh run `steps`.
    void rebuildWithSteps(sysinfo::IdentificationSteps steps) {
        WindowInputs inputs;
        inputs.identification = std::move(steps);
        rebuild(std::move(inputs));
    }

    // A new window measuring with `inputs`, its jobs on a new recording worker.
    void rebuild(WindowInputs inputs) {
        form.reset();
        auto recording = std::make_unique<RecordingJobRunner>();
        jobs = recording.get();
        form = std::make_unique<TForm1>(std::move(inputs), std::move(recording));
    }

    RecordingJobRunner* jobs = nullptr;
    std::unique_ptr<TForm1> form;
};

// Every caption, title, enabled state and timer state of the window that an update handed
// to the window thread changes, in the order the updates arrive: "Label28=8000 Mark",
// "Button1 disabled", "Timer1 off".
class CaptionLog : public QObject {
  public:
    explicit CaptionLog(TForm1& form) : form_(form) {
        last_ = snapshot();
        form_.installEventFilter(this);
    }
    ~CaptionLog() override { form_.removeEventFilter(this); }

    const std::vector<std::string>& changes() const { return changes_; }

    // Where `entry` first appears in the log; the log's size when it never does.
    std::size_t at(const std::string& entry) const {
        std::size_t i = 0;
        while (i < changes_.size() && changes_[i] != entry) ++i;
        return i;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MetaCall) return false;
        // Delivered here, so that its changes are logged before the next update's.
        watched->QObject::event(event);
        logChanges();
        return true;
    }

  private:
    // Controls without a name (the tabs of the page controls) have no caption a job writes.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> state;
        for (auto* label : form_.findChildren<QLabel*>())
            state[label->objectName().toStdString()] = "=" + label->text().toStdString();
        for (auto* panel : form_.findChildren<widgets::Panel*>())
            state[panel->objectName().toStdString()] = "=" + panel->caption().toStdString();
        for (auto* box : form_.findChildren<QGroupBox*>())
            state[box->objectName().toStdString()] = "=" + box->title().toStdString();
        for (auto* button : form_.findChildren<QPushButton*>())
            state[button->objectName().toStdString()] =
                button->isEnabled() ? " enabled" : " disabled";
        for (auto* timer : {form_.Timer1, form_.Timer2})
            state[timer->objectName().toStdString()] = timer->isActive() ? " on" : " off";
        return state;
    }

    void logChanges() {
        auto now = snapshot();
        for (const auto& [name, value] : now)
            if (!name.empty() && last_[name] != value) changes_.push_back(name + value);
        last_ = std::move(now);
    }

    TForm1& form_;
    std::map<std::string, std::string> last_;
    std::vector<std::string> changes_;
};
