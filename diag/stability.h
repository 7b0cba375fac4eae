// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CPU stability loop: nine floating-point steps whose exact outcome is known, run
// 5,000,000 times per pass on doubles. A sound processor ends every iteration from the
// second on with exactly 100.0; any other value is a processor error.
//
// The loop contracts towards 100: a wrong value in one iteration is usually repaired by
// the rounding step of the next. Looking only at the value that ends a pass would miss
// nearly every error, so each iteration is compared with its known values: the one before
// rounding and the one it ends with. A pass still counts as at most one error.

#include <emmintrin.h>

#include <atomic>
#include <cstdint>

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

template <class Fault>
inline bool iterationRight(double& a, double b, double two, std::int64_t iteration,
                           double beforeRounding, double end, Fault& fault) {
    a = fault(iteration, Step::Add, a + b);
    a = fault(iteration, Step::Multiply, a * b);
    a = fault(iteration, Step::Reciprocal, b / a);
    a = fault(iteration, Step::Subtract, b - a);
    a = fault(iteration, Step::MultiplyTwice, a * b * b);
    a = fault(iteration, Step::Halve, a / two);
    const bool roundedFromRight = a == beforeRounding;
    a = fault(iteration, Step::RoundToInteger, nearestInteger(a));
    a = fault(iteration, Step::Divide, a / b);
    a = fault(iteration, Step::Double, a * two);
    // Also a NaN compares unequal, so a step that went invalid is caught here.
    return roundedFromRight & (a == end);
}

}  // namespace detail

// One stability pass of `iterations` iterations; true when every iteration gave its
// known values and the pass ended with exactly 100.0.
template <class Fault = NoFault>
bool stabilityPass(std::int64_t iterations = kIterationsPerPass, Fault fault = {}) {
    double a = 1.0;
    double b = 10.0;
    double two = 2.0;
    detail::opaque(b);
    detail::opaque(two);
    bool right = true;
    std::int64_t i = 0;
    if (i < iterations) {
        right &= detail::iterationRight(a, b, two, i++, detail::kBeforeRoundingFirst,
                                        detail::kEndFirst, fault);
    }
    if (i < iterations) {
        right &= detail::iterationRight(a, b, two, i++, detail::kBeforeRoundingSecond,
                                        detail::kEndSteady, fault);
    }
    for (; i < iterations; ++i) {
        right &= detail::iterationRight(a, b, two, i, detail::kBeforeRoundingSteady,
                                        detail::kEndSteady, fault);
    }
    return right && a == detail::kEndSteady;
}

// The pass the workers run: stabilityPass() unless a test replaced it.
using StabilityPassRoutine = bool (*)();
StabilityPassRoutine stabilityPassRoutine();

// Replaces the workers' pass routine for the lifetime of the object; tests only.
class ScopedStabilityPass {
  public:
    explicit ScopedStabilityPass(StabilityPassRoutine routine);
    ~ScopedStabilityPass();
    ScopedStabilityPass(const ScopedStabilityPass&) = delete;
    ScopedStabilityPass& operator=(const ScopedStabilityPass&) = delete;

  private:
    StabilityPassRoutine previous_;
};

}  // namespace diag
