// SPDX-License-Identifier: GPL-3.0-or-later
// The stability loop itself: a sound pass is right, and a wrong step anywhere in a pass,
// in any of the nine steps, makes the pass wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "diag/stability.h"

namespace {

using diag::stabilityPass;
using diag::Step;

// Changes one step of one iteration; remembers what the pass ended with.
struct OneWrongStep {
    std::int64_t iteration;
    Step step;
    double (*change)(double);
    double* lastValue = nullptr;

    double operator()(std::int64_t i, Step s, double a) const {
        if (i == iteration && s == step) a = change(a);
        if (lastValue != nullptr && s == Step::Double) *lastValue = a;
        return a;
    }
};

constexpr auto plusOne = [](double a) { return a + 1.0; };

TEST(StabilityLoop, SoundPassIsRightFromItsSecondIterationOn) {
    EXPECT_TRUE(stabilityPass());
    EXPECT_FALSE(stabilityPass(1));  // the first iteration ends with 99
    EXPECT_TRUE(stabilityPass(2));
}

TEST(StabilityLoop, ErrorInAnyOfTheNineStepsOfAnyIterationIsFound) {
    for (int s = 1; s <= 9; ++s) {
        for (std::int64_t iteration : {0, 1, 2, 500, 999}) {
            EXPECT_FALSE(
                stabilityPass(1000, OneWrongStep{iteration, static_cast<Step>(s), plusOne}))
                << "step " << s << ", iteration " << iteration;
        }
    }
}

TEST(StabilityLoop, ErrorsTheLoopRepairsBeforeThePassEndsAreStillFound) {
    struct Case {
        std::int64_t iterations;
        OneWrongStep fault;
    };
    const Case cases[] = {
        // In the middle of a full pass: the next rounding step repairs it.
        {diag::kIterationsPerPass, {2'500'000, Step::RoundToInteger, plusOne}},
        // One unit in the last place before the rounding step still rounds to 500.
        {100, {50, Step::Halve, [](double a) { return std::nextafter(a, 1e300); }}},
        // An infinite sum heals within the same iteration (10 / inf = 0).
        {100, {40, Step::Add, [](double) { return std::numeric_limits<double>::infinity(); }}},
    };
    for (Case c : cases) {
        double last = 0.0;
        c.fault.lastValue = &last;
        EXPECT_FALSE(stabilityPass(c.iterations, c.fault)) << "iteration " << c.fault.iteration;
        EXPECT_EQ(last, 100.0);  // only the checks of every iteration can see it
    }
}

TEST(StabilityLoop, InvalidResultIsFoundAndDoesNotFault) {
    const auto nan = [](double) { return std::numeric_limits<double>::quiet_NaN(); };
    EXPECT_FALSE(stabilityPass(100, OneWrongStep{40, Step::Reciprocal, nan}));
    EXPECT_FALSE(stabilityPass(100, OneWrongStep{99, Step::Double, nan}));
}

}  // namespace
