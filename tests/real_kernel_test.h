// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fixtures for running the kernels and their helpers under the program's own x87 control
// word (invalid operation, division by zero and overflow fault), so that an input on which
// the unit would fault ends the test instead of passing quietly, each kernel with a context
// of the test's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/golden.h"
#include "bench/kernel_table.h"
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

// The work a kernel left against its golden value, with where it differs.
inline ::testing::AssertionResult leavesGolden(const bench::WorkProof& work,
                                               const bench::Golden& golden) {
    const std::optional<bench::Mismatch> wrong = bench::checkWork(work, golden);
    if (!wrong) return ::testing::AssertionSuccess();
    std::ostringstream text;
    text.precision(21);
    text << (wrong->kind == bench::Mismatch::Kind::Count ? "count " : "value ") << wrong->slot
         << ": " << wrong->got << ", golden " << wrong->expected << " within " << wrong->tolerance;
    return ::testing::AssertionFailure() << text.str();
}

// Runs a row's kernel from the table with the counting tick counter and its sweeps
// recorded, not run: the kernel's own work is what these tests are about.
class RealKernelTest : public X87Faulting {
  protected:
    void SetUp() override {
        readings = 0;
        sweeps.clear();
        X87Faulting::SetUp();
    }

    static const bench::KernelRow& row(std::string_view caption) {
        const auto found =
            std::ranges::find(bench::kKernelTable, caption, &bench::KernelRow::caption);
        if (found == bench::kKernelTable.end()) throw std::out_of_range(std::string(caption));
        return *found;
    }

    static bench::KernelOutcome run(const bench::KernelRow& entry) {
        return entry.kernel({&countingTicks, &recordSweep, entry.sweepTailFactor});
    }

    static constexpr std::int32_t kWithTail = 13'000;  // two readings of its own, six sweeps
    static constexpr std::int32_t kWithoutTail = 1'000;
};
