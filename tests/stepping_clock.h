// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A tick counter for timed code under test: its readings are first, first + step,
// first + 2 x step, ...

#include <cstdint>
#include <tuple>
#include <utility>

#include "platform/sources.h"

inline std::uint32_t tickValue = 0, tickStep = 0;

inline std::uint32_t steppingTicks() {
    return std::exchange(tickValue, tickValue + tickStep);
}

// Sets the readings to come; steppingTicks() (and `clock`) give them to code that takes its
// tick source.
struct SteppingClock {
    SteppingClock(std::uint32_t first, std::uint32_t step) {
        std::tie(tickValue, tickStep) = std::tie(first, step);
    }
    platform::Clock clock{.ticks = &steppingTicks};
};
