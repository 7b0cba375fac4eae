// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the window's long work runs: on one worker thread, one job at a time, so that the
// window thread only paints, answers the window manager and shows what the jobs hand over.
//
// A job submitted while another runs waits for that job's next event point and runs there,
// to its end, before the other goes on: the place where a click used to be taken while a
// long handler let the window process its events. So jobs never run side by side, none
// shares the sweep buffer with another, and none runs inside another's timed section.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

class JobRunner {
  public:
    using Job = std::function<void()>;

    virtual ~JobRunner() = default;

    // Queues a job and returns at once. Callable from any thread.
    virtual void submit(Job job) = 0;

    // An event point of the running job, called on the runner's thread between two steps of
    // the job: every job queued meanwhile runs here, each to its end.
    virtual void eventPoint() = 0;

    // True when no job runs and none waits.
    virtual bool idle() const = 0;

    // Drops the jobs that have not started and waits for the one under way, whose event
    // points still work meanwhile; no job is taken after it. Whoever owns the runner calls it
    // before anything the jobs use goes away.
    virtual void finish() = 0;
};

// The window's runner: a worker thread started at construction. Destroying it finishes it
// first; whoever cannot wait for a long kernel ends the process instead (see app/main.cpp).
class WorkerJobRunner final : public JobRunner {
  public:
    WorkerJobRunner();
    ~WorkerJobRunner() override;
    WorkerJobRunner(const WorkerJobRunner&) = delete;
    WorkerJobRunner& operator=(const WorkerJobRunner&) = delete;

    void submit(Job job) override;
    void eventPoint() override;
    bool idle() const override;
    void finish() override;

  private:
    void work();
    // Takes the next queued job, or nothing when the queue is empty.
    Job next();
    void runOne(Job& job);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    int running_ = 0;  // jobs started and not yet ended, nested ones included
    bool ending_ = false;
    std::thread thread_;  // last: starts once everything it uses is in place
};

}  // namespace platform
