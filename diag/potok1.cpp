// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/potok1.h"

#include <algorithm>

namespace diag {

potok1::potok1(std::shared_ptr<StabilityReport> report, StabilityPassRoutine pass)
    : report_(std::move(report)), pass_(pass), thread_([this] { Execute(); }) {}

potok1::~potok1() {
    join();
}

void potok1::join() {
    if (thread_.joinable()) thread_.join();
}

void potok1::Execute() {
    // Anything that escapes a pass ends this worker quietly, as a fault would: no count for
    // that pass and no end steps, so the window comes back through a worker that ended
    // normally. Nothing may reach std::terminate and take the program with it.
    try {
        std::int64_t passes = 0;
        std::int32_t errors = 0;
        do {
            const bool right = pass_();
            ++passes;
            report_->passCounted(passes);
            if (!right) {
                ++errors;
                report_->errorCounted(errors);
            }
        } while (!cpuTestStop.load(std::memory_order_relaxed));
        report_->ended();
    } catch (...) {
    }
    finished_.store(true, std::memory_order_release);
}

void StabilityWorkers::startTwo(const std::shared_ptr<StabilityReport>& report) {
    std::erase_if(workers_, [](const std::unique_ptr<potok1>& worker) {
        if (!worker->finished()) return false;
        worker->join();
        return true;
    });
    for (int n = 0; n < 2; ++n) {
        workers_.push_back(std::make_unique<potok1>(report, stabilityPassRoutine()));
    }
}

void StabilityWorkers::stopAndJoin() {
    cpuTestStop.store(true, std::memory_order_relaxed);
    for (auto& worker : workers_) worker->join();
    workers_.clear();
}

std::size_t StabilityWorkers::running() const {
    return static_cast<std::size_t>(std::count_if(
        workers_.begin(), workers_.end(), [](const auto& worker) { return !worker->finished(); }));
}

}  // namespace diag
