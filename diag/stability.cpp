// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/stability.h"

namespace diag {

std::atomic<bool> cpuTestStop{false};

namespace {

bool soundPass() {
    return stabilityPass();
}

std::atomic<StabilityPassRoutine> currentPass{&soundPass};

}  // namespace

StabilityPassRoutine stabilityPassRoutine() {
    return currentPass.load(std::memory_order_acquire);
}

ScopedStabilityPass::ScopedStabilityPass(StabilityPassRoutine routine)
    : previous_(currentPass.exchange(routine)) {}

ScopedStabilityPass::~ScopedStabilityPass() {
    currentPass.store(previous_);
}

}  // namespace diag
