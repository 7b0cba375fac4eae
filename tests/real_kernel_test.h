// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fixtures for running the kernels and their helpers under the program's own x87 control
// word (invalid operation, division by zero and overflow fault), so that an input on which
// the unit would fault ends the test instead of passing quietly.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <utility>
#include <vector>

#include "bench/golden.h"
#include "bench/kernel.h"
#include "platform/ticks.h"
#include "platform/x87.h"
#include "sysinfo/sweep.h"

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

// The sweeps a kernel asked for, recorded instead of run: block length and passes.
using SweepCalls = std::vector<std::pair<std::int32_t, std::int64_t>>;
inline SweepCalls sweeps;

inline void recordSweep(const std::int64_t*, std::int32_t length, std::int64_t passes) {
    sweeps.emplace_back(length, passes);
}

// The six sweeps of a tail with volume factor `factor`.
inline SweepCalls tailOf(std::int32_t factor) {
    SweepCalls calls;
    for (const std::int32_t length : sysinfo::kSweepTailBlocks)
        calls.emplace_back(length, sysinfo::sweepPassCount(length, factor));
    return calls;
}

// The work a kernel left against its golden value, entry by entry.
inline ::testing::AssertionResult leavesGolden(const bench::WorkProof& work,
                                               const bench::Golden& golden) {
    if (bench::matchesGolden(work, golden)) return ::testing::AssertionSuccess();
    std::ostringstream differences;
    differences.precision(21);
    for (std::size_t k = 0; k < bench::WorkProof::kCounts; ++k) {
        if (work.counts[k] != golden.work.counts[k])
            differences << "count " << k << ": " << work.counts[k] << ", golden "
                        << golden.work.counts[k] << "\n";
    }
    for (std::size_t k = 0; k < bench::WorkProof::kValues; ++k) {
        if (!(std::fabs(work.values[k] - golden.work.values[k]) <= golden.tolerance[k]))
            differences << "value " << k << ": " << work.values[k] << ", golden "
                        << golden.work.values[k] << " within " << golden.tolerance[k] << "\n";
    }
    return ::testing::AssertionFailure() << differences.str();
}

// Runs a kernel with the counting tick counter and its sweeps recorded, not run: the
// kernel's own work is what these tests are about.
class RealKernelTest : public X87Faulting {
  protected:
    void SetUp() override {
        readings = 0;
        sweeps.clear();
        X87Faulting::SetUp();
    }

    static constexpr std::int32_t kWithTail = 13'000;  // two readings of its own, six sweeps
    static constexpr std::int32_t kWithoutTail = 1'000;

    platform::ScopedTickSource ticks_{&countingTicks};
    sysinfo::ScopedSweepBlock recorder_{&recordSweep};
};
