// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/stability.h"

namespace diag {

std::atomic<bool> cpuTestStop{false};

PassOutcome designedPass() {
    return stabilityPass();
}

namespace detail {

void noteMismatch(PassOutcome& outcome, std::int64_t iteration, double beforeRounding,
                  double expectedBefore, double end, double expectedEnd) {
    outcome.right = false;
    if (outcome.first) return;
    // A wrong value before rounding is the earlier of the two in the iteration.
    if (std::bit_cast<std::uint64_t>(beforeRounding) !=
        std::bit_cast<std::uint64_t>(expectedBefore)) {
        outcome.first = {iteration, CheckedValue::BeforeRounding, 0, expectedBefore,
                         beforeRounding};
    } else {
        outcome.first = {iteration, CheckedValue::IterationEnd, 0, expectedEnd, end};
    }
}

}  // namespace detail
}  // namespace diag
