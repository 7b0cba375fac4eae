// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU stability loop: nine floating-point steps whose exact outcome is known, run
// 5,000,000 times per pass on doubles. A sound processor ends every iteration from the
// second on with exactly 100.0; any other value is a processor error.
//
// The loop contracts towards 100: a wrong value in one iteration is usually repaired by
// the rounding step of the next. Looking only at the value that ends a pass would miss
// nearly every error, so each iteration is compared with its known values: the one before
// rounding and the one it ends with. A pass still counts as at most one error; the first
// iteration that went wrong is kept, so that a report can say what the processor got.

#include <emmintrin.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <functional>
#include <optional>

namespace diag {

inline constexpr std::int64_t kIterationsPerPass = 5'000'000;

// The CPU test stop flag: one byte, written by the window thread, read by the workers
// once per pass. Atomic so that no worker keeps a stale copy in a register.
extern std::atomic<bool> cpuTestStop;
static_assert(sizeof(std::atomic<bool>) == 1 && std::atomic<bool>::is_always_lock_free);

// The nine steps of one iteration, by the number the results are known under.
enum class Step : int {
    Add = 1,
    Multiply,
    Reciprocal,
    Subtract,
    MultiplyTwice,
    Halve,
    RoundToInteger,
    Divide,
    Double
};

// Which known value a wrong iteration missed.
enum class CheckedValue : std::uint8_t {
    BeforeRounding,  // what step 6 hands to the rounding step
    IterationEnd,    // what step 9 leaves in a
    LaneEnd,         // the vector loop: one lane's value at the end of a block
};

// The first check of a pass that failed.
struct FirstMismatch {
    // Counted from 0 within the pass; the vector loop counts its blocks.
    std::int64_t iteration = 0;
    CheckedValue value = CheckedValue::IterationEnd;
    int lane = 0;  // the vector loop's lane; 0 for the stability loop
    double expected = 0.0;
    double got = 0.0;

    std::uint64_t expectedBits() const { return std::bit_cast<std::uint64_t>(expected); }
    std::uint64_t gotBits() const { return std::bit_cast<std::uint64_t>(got); }
    friend bool operator==(const FirstMismatch&, const FirstMismatch&) = default;
};

// What one pass found. A wrong pass without a mismatch is one whose checks all held but
// whose end value was still not the known one (a pass of a single iteration).
struct PassOutcome {
    bool right = true;
    std::optional<FirstMismatch> first;
};

// One pass of a workload, run by a worker thread; every worker calls its own copy.
using PassRoutine = std::function<PassOutcome()>;

// Lets a test change the result of one step; the sound loop uses NoFault, which the
// compiler removes completely.
struct NoFault {
    double operator()(std::int64_t /*iteration*/, Step /*step*/, double a) const { return a; }
};

namespace detail {

// The integer nearest to a, halves to even (the SSE rounding mode every thread starts
// with), as a signed 64-bit integer and back to double.
inline double nearestInteger(double a) {
    return static_cast<double>(_mm_cvtsd_si64(_mm_set_sd(a)));
}

// Steps 1 to 6 of one iteration from a: the value the rounding step receives. Evaluated
// by the compiler for the expected values, so they never come from the processor under
// test.
constexpr double valueBeforeRounding(double a, double b) {
    a = a + b;
    a = a * b;
    a = b / a;
    a = b - a;
    a = a * b * b;
    return a / 2.0;
}

// The expected values: the first iteration starts from 1 and ends with 99, the second
// starts from 99, every further one starts from 100 and ends with 100.
inline constexpr double kBeforeRoundingFirst = valueBeforeRounding(1.0, 10.0);
inline constexpr double kBeforeRoundingSecond = valueBeforeRounding(99.0, 10.0);
inline constexpr double kBeforeRoundingSteady = valueBeforeRounding(100.0, 10.0);
inline constexpr double kEndFirst = 99.0;
inline constexpr double kEndSteady = 100.0;

// Keeps a value in a register the compiler knows nothing about, so no step is folded. The
// constants go through it too: a known 2.0 would turn the halving into a multiplication by
// 0.5 and the doubling into an addition, and the divider would do a third less work.
inline void opaque(double& value) {
    asm volatile("" : "+x"(value));
}

// The nine steps; returns the value the rounding step received.
template <class Fault>
inline double iterate(double& a, double b, double two, std::int64_t iteration, Fault& fault) {
    a = fault(iteration, Step::Add, a + b);
    a = fault(iteration, Step::Multiply, a * b);
    a = fault(iteration, Step::Reciprocal, b / a);
    a = fault(iteration, Step::Subtract, b - a);
    a = fault(iteration, Step::MultiplyTwice, a * b * b);
    a = fault(iteration, Step::Halve, a / two);
    const double beforeRounding = a;
    a = fault(iteration, Step::RoundToInteger, nearestInteger(a));
    a = fault(iteration, Step::Divide, a / b);
    a = fault(iteration, Step::Double, a * two);
    return beforeRounding;
}

// Out of line and cold: the loop itself only tests and branches, so keeping the first
// mismatch costs a sound pass nothing measurable.
[[gnu::cold, gnu::noinline]] void noteMismatch(PassOutcome& outcome, std::int64_t iteration,
                                               double beforeRounding, double expectedBefore,
                                               double end, double expectedEnd);

template <class Fault>
inline void checkedIteration(double& a, double b, double two, std::int64_t iteration,
                             double expectedBefore, double expectedEnd, PassOutcome& outcome,
                             Fault& fault) {
    const double beforeRounding = iterate(a, b, two, iteration, fault);
    // Compared bit for bit: one branch for both values, fewer instructions than two
    // floating-point compares, and a NaN differs from every known value all the same.
    const std::uint64_t differ =
        (std::bit_cast<std::uint64_t>(beforeRounding) ^
         std::bit_cast<std::uint64_t>(expectedBefore)) |
        (std::bit_cast<std::uint64_t>(a) ^ std::bit_cast<std::uint64_t>(expectedEnd));
    if (differ != 0) [[unlikely]]
        noteMismatch(outcome, iteration, beforeRounding, expectedBefore, a, expectedEnd);
}

}  // namespace detail

// One stability pass of `iterations` iterations; right when every iteration gave its known
// values and the pass ended with exactly 100.0, with the first iteration that did not.
template <class Fault = NoFault>
PassOutcome stabilityPass(std::int64_t iterations = kIterationsPerPass, Fault fault = {}) {
    double a = 1.0;
    double b = 10.0;
    double two = 2.0;
    detail::opaque(b);
    detail::opaque(two);
    PassOutcome outcome;
    std::int64_t i = 0;
    if (i < iterations) {
        detail::checkedIteration(a, b, two, i++, detail::kBeforeRoundingFirst, detail::kEndFirst,
                                 outcome, fault);
    }
    if (i < iterations) {
        detail::checkedIteration(a, b, two, i++, detail::kBeforeRoundingSecond, detail::kEndSteady,
                                 outcome, fault);
    }
    for (; i < iterations; ++i) {
        detail::checkedIteration(a, b, two, i, detail::kBeforeRoundingSteady, detail::kEndSteady,
                                 outcome, fault);
    }
    outcome.right = outcome.right && a == detail::kEndSteady;
    return outcome;
}

// The designed pass: stabilityPass() of 5,000,000 iterations.
PassOutcome designedPass();

}  // namespace diag
