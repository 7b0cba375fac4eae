// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "bench/golden.h"
#include "bench/instr_kernels.h"
#include "platform/rounding.h"
#include "platform/ticks.h"
#include "platform/x87.h"

// FPU Div is the one instruction kernel short enough (6.4 million divisions) to run here;
// the others run in the heavy test. Its timing is injected: every reading of the counter
// below is scripted. How many copies each kernel's block holds is read from the built code
// in the machine-code test.

namespace {

std::uint32_t firstReading = 0;
std::uint32_t elapsed = 0;
int readings = 0;

std::uint32_t scriptedTicks() {
    return firstReading + (readings++ == 0 ? 0 : elapsed);
}

std::int32_t fpuDivWith(std::uint32_t start, std::uint32_t ms) {
    firstReading = start;
    elapsed = ms;
    readings = 0;
    const bench::KernelOutcome outcome = bench::fpuDiv({.ticks = scriptedTicks});
    EXPECT_EQ(bench::checkWork(outcome.work, bench::fpuDivGolden()), std::nullopt);
    return outcome.returned;
}

struct X87Environment {
    std::uint16_t control, pad0, status, pad1, tags, pad2;
    std::uint32_t rest[4];
};

X87Environment x87Environment() {
    X87Environment environment{};
    asm volatile("fnstenv %0\n\tfldenv %0" : "+m"(environment));
    return environment;
}

}  // namespace

TEST(InstrKernel, ReturnsItsNumeratorOverTheElapsedMs) {
    EXPECT_EQ(fpuDivWith(5000, 10), 640);
    EXPECT_EQ(readings, 2);  // one reading at each end of the timed section
    EXPECT_EQ(fpuDivWith(5000, 7), 914);
    EXPECT_EQ(fpuDivWith(5000, 6401), 0);
    EXPECT_EQ(fpuDivWith(0xFFFF'FFF6u, 20), 320);  // across the counter's wrap
    EXPECT_EQ(fpuDivWith(123, 0), 0);              // equal readings: no division
}

TEST(InstrKernel, X87KernelLeavesAnEmptyStackAndTheDefaultControlWord) {
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    fpuDivWith(0, 100);
    const X87Environment after = x87Environment();
    EXPECT_EQ(after.control, 0x037F);  // what FINIT sets: every exception masked
    EXPECT_EQ(after.tags, 0xFFFF);     // all eight registers empty
    EXPECT_EQ((after.status >> 11) & 7, 0);
    // Extended arithmetic of the scoring still works after the kernel.
    EXPECT_EQ(platform::roundHalfEven(100.0L * 5.11945L), 512);
    platform::setX87ControlWord(0x037F);
}
