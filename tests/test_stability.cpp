// SPDX-License-Identifier: GPL-3.0-or-later
// The stability loop itself: a sound pass is right, a wrong step anywhere in a pass, in any
// of the nine steps, makes the pass wrong, and the pass keeps the first check that failed.
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
    const diag::PassOutcome sound = diag::designedPass();
    EXPECT_TRUE(sound.right);
    EXPECT_FALSE(sound.first);
    // The first iteration ends with 99: the pass is wrong, though no iteration missed its
    // own known values.
    const diag::PassOutcome one = stabilityPass(1);
    EXPECT_FALSE(one.right);
    EXPECT_FALSE(one.first);
    EXPECT_TRUE(stabilityPass(2).right);
}

// A wrong step before the rounding shows in the value the rounding receives, one from it on
// in the value the iteration ends with.
TEST(StabilityLoop, ErrorInAnyOfTheNineStepsOfAnyIterationIsFoundWhereItHappened) {
    for (int s = 1; s <= 9; ++s) {
        for (std::int64_t iteration : {0, 1, 2, 500, 999}) {
            const auto outcome =
                stabilityPass(1000, OneWrongStep{iteration, static_cast<Step>(s), plusOne});
            SCOPED_TRACE(testing::Message() << "step " << s << ", iteration " << iteration);
            EXPECT_FALSE(outcome.right);
            ASSERT_TRUE(outcome.first);
            EXPECT_EQ(outcome.first->iteration, iteration);
            EXPECT_EQ(outcome.first->value, s <= 6 ? diag::CheckedValue::BeforeRounding
                                                   : diag::CheckedValue::IterationEnd);
        }
    }
}

TEST(StabilityLoop, FirstMismatchKeepsTheExpectedAndTheWrongValueOfTheFirstFailure) {
    struct TwoWrongSteps {
        OneWrongStep first, second;
        double operator()(std::int64_t i, Step s, double a) const {
            return second(i, s, first(i, s, a));
        }
    };
    const auto outcome = stabilityPass(
        1000, TwoWrongSteps{{500, Step::Double, plusOne}, {700, Step::Halve, plusOne}});
    ASSERT_TRUE(outcome.first);
    EXPECT_EQ(*outcome.first,
              (diag::FirstMismatch{500, diag::CheckedValue::IterationEnd, 0, 100.0, 101.0}));
    EXPECT_EQ(outcome.first->expectedBits(), 0x4059000000000000u);
    EXPECT_EQ(outcome.first->gotBits(), 0x4059400000000000u);

    // In the first iteration, before rounding: 495.45..., one unit in the last place off.
    const auto early = stabilityPass(
        10, OneWrongStep{0, Step::Halve, [](double a) { return std::nextafter(a, 0.0); }});
    ASSERT_TRUE(early.first);
    EXPECT_EQ(early.first->value, diag::CheckedValue::BeforeRounding);
    EXPECT_EQ(early.first->expected, diag::detail::kBeforeRoundingFirst);
    EXPECT_EQ(early.first->expectedBits() - early.first->gotBits(), 1u);
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
        EXPECT_FALSE(stabilityPass(c.iterations, c.fault).right)
            << "iteration " << c.fault.iteration;
        EXPECT_EQ(last, 100.0);  // only the checks of every iteration can see it
    }
}

TEST(StabilityLoop, InvalidResultIsFoundAndDoesNotFault) {
    const auto nan = [](double) { return std::numeric_limits<double>::quiet_NaN(); };
    const auto invalid = stabilityPass(100, OneWrongStep{40, Step::Reciprocal, nan});
    EXPECT_FALSE(invalid.right);
    ASSERT_TRUE(invalid.first);
    EXPECT_TRUE(std::isnan(invalid.first->got));
    EXPECT_FALSE(stabilityPass(100, OneWrongStep{99, Step::Double, nan}).right);
}

}  // namespace
