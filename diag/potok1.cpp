// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/potok1.h"

#include <algorithm>
#include <new>
#include <utility>

namespace diag {

potok1::potok1(std::shared_ptr<StabilityReport> report, PassRoutine pass)
    : report_(std::move(report)), pass_(std::move(pass)), thread_([this] { Execute(); }) {}

potok1::~potok1() {
    join();
}

void potok1::join() {
    if (thread_.joinable()) thread_.join();
}

void potok1::Execute() {
    try {
        std::int64_t passes = 0;
        std::int32_t errors = 0;
        do {
            const bool right = pass_().right;
            ++passes;
            report_->passCounted(passes);
            if (!right) {
                ++errors;
                report_->errorCounted(errors);
            }
        } while (!cpuTestStop.load(std::memory_order_relaxed));
        report_->ended();
    } catch (const std::bad_alloc&) {
        // A count could not be handed to the window: memory has run out. The pass itself
        // allocates nothing, so this worker stops here rather than take the program down
        // through std::terminate; its end is still reported, when there is memory for it,
        // so that RUN comes back.
        try {
            report_->ended();
        } catch (const std::bad_alloc&) {
        }
    }
    finished_.store(true, std::memory_order_release);
}

void StabilityWorkers::startTwo(const std::shared_ptr<StabilityReport>& report,
                                const PassRoutine& pass) {
    std::erase_if(workers_, [](const std::unique_ptr<potok1>& worker) {
        if (!worker->finished()) return false;
        worker->join();
        return true;
    });
    for (int n = 0; n < 2; ++n) {
        workers_.push_back(std::make_unique<potok1>(report, pass));
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
