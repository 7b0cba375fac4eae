// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/jobs.h"

#include <utility>

namespace platform {

WorkerJobRunner::WorkerJobRunner() : thread_([this] { work(); }) {}

WorkerJobRunner::~WorkerJobRunner() {
    finish();
}

void WorkerJobRunner::finish() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void WorkerJobRunner::submit(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (ending_) return;
        queue_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void WorkerJobRunner::eventPoint() {
    while (Job job = next()) runOne(job);
}

bool WorkerJobRunner::idle() const {
    std::lock_guard lock(mutex_);
    return running_ == 0 && queue_.empty();
}

WorkerJobRunner::Job WorkerJobRunner::next() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return {};
    Job job = std::move(queue_.front());
    queue_.pop_front();
    ++running_;  // counted before the lock goes, so idle() never sees a gap between jobs
    return job;
}

void WorkerJobRunner::runOne(Job& job) {
    job();
    std::lock_guard lock(mutex_);
    --running_;
}

void WorkerJobRunner::work() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
            if (ending_) return;
        }
        eventPoint();
    }
}

}  // namespace platform
