#pragma once
// A fixture for running real kernels: the program's own x87 control word (invalid
// operation, division by zero and overflow fault) and a tick counter that reads 0, 1000,
// 2000, ..., so a kernel returns 1000 x (its readings - 1). A sweep tail adds twelve
// readings inside the timing.

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/ticks.h"
#include "platform/x87.h"

inline std::uint32_t readings = 0;

inline std::uint32_t countingTicks() {
    return 1000 * readings++;
}

class RealKernelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        readings = 0;
        savedWord_ = platform::x87ControlWord();
        platform::setX87ControlWord(platform::kStartupX87ControlWord);
    }
    void TearDown() override { platform::setX87ControlWord(savedWord_); }

    static constexpr std::int32_t kWithTail = 13'000;  // two readings of its own, six sweeps
    static constexpr std::int32_t kWithoutTail = 1'000;

    platform::ScopedTickSource ticks_{&countingTicks};

  private:
    std::uint16_t savedWord_ = 0;
};
