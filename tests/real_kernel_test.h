// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fixtures for running the kernels and their helpers under the program's own x87 control
// word (invalid operation, division by zero and overflow fault), so that an input on which
// the unit would fault ends the test instead of passing quietly.

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/ticks.h"
#include "platform/x87.h"

class X87Faulting : public ::testing::Test {
  protected:
    void SetUp() override { platform::setX87ControlWord(platform::kStartupX87ControlWord); }
    void TearDown() override { platform::setX87ControlWord(savedWord_); }

  private:
    const std::uint16_t savedWord_ = platform::x87ControlWord();
};

// A tick counter that reads 0, 1000, 2000, ..., so a kernel returns 1000 x (its readings -
// 1). A sweep tail adds twelve readings inside the timing.
inline std::uint32_t readings = 0;

inline std::uint32_t countingTicks() {
    return 1000 * readings++;
}

class RealKernelTest : public X87Faulting {
  protected:
    void SetUp() override {
        readings = 0;
        X87Faulting::SetUp();
    }

    static constexpr std::int32_t kWithTail = 13'000;  // two readings of its own, six sweeps
    static constexpr std::int32_t kWithoutTail = 1'000;

    platform::ScopedTickSource ticks_{&countingTicks};
};
