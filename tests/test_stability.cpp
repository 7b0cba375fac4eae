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

double plusOne(double a) {
    return a + 1.0;
}
double nextUp(double a) {
    return std::nextafter(a, 1e300);
}
double notANumber(double) {
    return std::numeric_limits<double>::quiet_NaN();
}
double infinity(double) {
    return std::numeric_limits<double>::infinity();
}

TEST(StabilityLoop, SoundPassOfFiveMillionIterationsIsRight) {
    EXPECT_TRUE(stabilityPass());
}

TEST(StabilityLoop, ShortPassesSettleOnTheSecondIteration) {
    // The first iteration ends with 99, so a pass needs two iterations to end with 100.
    EXPECT_FALSE(stabilityPass(1));
    EXPECT_TRUE(stabilityPass(2));
    EXPECT_TRUE(stabilityPass(3));
    EXPECT_TRUE(stabilityPass(1000));
}

TEST(StabilityLoop, NearestIntegerStepRoundsHalvesToEven) {
    using diag::detail::nearestInteger;
    EXPECT_EQ(nearestInteger(2.5), 2.0);
    EXPECT_EQ(nearestInteger(3.5), 4.0);
    EXPECT_EQ(nearestInteger(-2.5), -2.0);
    EXPECT_EQ(nearestInteger(495.45454545454544), 495.0);
    EXPECT_EQ(nearestInteger(diag::detail::kBeforeRoundingFirst), 495.0);
    EXPECT_EQ(nearestInteger(diag::detail::kBeforeRoundingSecond), 500.0);
    EXPECT_EQ(nearestInteger(diag::detail::kBeforeRoundingSteady), 500.0);
}

TEST(StabilityLoop, WrongLastIterationMakesThePassWrong) {
    EXPECT_FALSE(stabilityPass(1000, OneWrongStep{999, Step::Double, plusOne}));
    EXPECT_FALSE(stabilityPass(1000, OneWrongStep{999, Step::RoundToInteger, plusOne}));
}

TEST(StabilityLoop, ErrorInTheMiddleOfAPassIsFoundThoughTheLoopRepairsIt) {
    double last = 0.0;
    OneWrongStep fault{2'500'000, Step::RoundToInteger, plusOne, &last};
    EXPECT_FALSE(stabilityPass(diag::kIterationsPerPass, fault));
    // The loop itself has forgotten the error by the end of the pass: only the checks of
    // every iteration can see it.
    EXPECT_EQ(last, 100.0);
}

TEST(StabilityLoop, ErrorInAnyOfTheNineStepsIsFound) {
    for (int s = 1; s <= 9; ++s) {
        const auto step = static_cast<Step>(s);
        for (std::int64_t iteration : {0, 1, 2, 500}) {
            EXPECT_FALSE(stabilityPass(1000, OneWrongStep{iteration, step, plusOne}))
                << "step " << s << ", iteration " << iteration;
        }
    }
}

TEST(StabilityLoop, ErrorThatRoundingWouldHideIsFound) {
    // One unit in the last place before the rounding step still rounds to 500.
    double last = 0.0;
    EXPECT_FALSE(stabilityPass(100, OneWrongStep{50, Step::Halve, nextUp, &last}));
    EXPECT_EQ(last, 100.0);
}

TEST(StabilityLoop, InvalidOrInfiniteResultIsFoundAndDoesNotFault) {
    EXPECT_FALSE(stabilityPass(100, OneWrongStep{40, Step::Reciprocal, notANumber}));
    EXPECT_FALSE(stabilityPass(100, OneWrongStep{99, Step::Double, notANumber}));
    // An infinite sum heals within the same iteration (10 / inf = 0) and is still found.
    double last = 0.0;
    EXPECT_FALSE(stabilityPass(100, OneWrongStep{40, Step::Add, infinity, &last}));
    EXPECT_EQ(last, 100.0);
}

TEST(StabilityLoop, ManyWrongIterationsMakeOneWrongPass) {
    // The pass is the unit that counts: wrong is wrong, however often.
    const auto everyIteration = [](std::int64_t, Step s, double a) {
        return s == Step::Double ? a + 1.0 : a;
    };
    EXPECT_FALSE(stabilityPass(1000, everyIteration));
}

}  // namespace
