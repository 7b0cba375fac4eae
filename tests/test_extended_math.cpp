// SPDX-License-Identifier: GPL-3.0-or-later
// The extended-precision helpers of the floating-point kernels, checked against known
// values, every test under the program's own x87 control word.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

#include "bench/extended_math.h"
#include "real_kernel_test.h"

namespace {

using bench::power;

using ExtendedMath = X87Faulting;

long double relativeError(long double got, long double want) {
    return std::fabs((got - want) / want);
}

}  // namespace

// Integral exponents are exact in the significand: 3^40 needs all 64 bits, exact in extended
// and not in double. A negative one gives the reciprocal.
TEST_F(ExtendedMath, IntegralPowersAreExactWhateverTheSigns) {
    using P = std::tuple<long double, long double, long double>;
    for (const auto& [base, exponent, exact] :
         {P{110, 9, 2'357'947'691'000'000'000.0L},
          P{3, 40, static_cast<long double>(12'157'665'459'056'928'801ULL)},
          P{2, 63, 9'223'372'036'854'775'808.0L}, P{0, 0, 1}, P{-7.5L, 0, 1}, P{-1, 5'000'000, 1},
          P{-1, 4'999'999, -1}, P{-2, 3, -8}, P{2, -3, 0.125L}, P{-2, -3, -0.125L},
          P{0, -1, std::numeric_limits<long double>::infinity()}})
        EXPECT_EQ(power(base, exponent), exact) << base << "^" << exponent;
    // 2 x 110^9 is the largest sum of the Fermat search; one more than a power must not
    // compare equal to it, as it would after rounding to double.
    EXPECT_NE(power(110, 9) + power(1, 9), power(110, 9));
}

TEST_F(ExtendedMath, LargeAndNonIntegralExponents) {
    // 2^40 multiplications would take hours; square-and-multiply takes 80. The 40
    // squarings double the rounding error each time, hence the loose bound.
    EXPECT_LT(relativeError(power(1.0L + 0x1p-40L, 0x1p40L), std::exp(1.0L)), 1e-7L);
    EXPECT_LT(relativeError(power(2, 0.5L), std::sqrt(2.0L)), 1e-18L);
    EXPECT_LT(relativeError(power(10, 2.5L), 316.227766016837933199889354443271853L), 1e-17L);
    EXPECT_EQ(power(0, 0.5L), 0.0L);
    EXPECT_TRUE(std::isnan(power(-8, 1.0L / 3)));
}

TEST_F(ExtendedMath, ExponentialTrigonometryAndSquareRoot) {
    EXPECT_LT(relativeError(bench::expX87(1), 2.71828182845904523536028747135266250L), 4e-19L);
    EXPECT_LT(relativeError(bench::expX87(-1), 0.367879441171442321595523770161460867L), 4e-19L);
    EXPECT_LT(relativeError(bench::expX87(290), std::exp(290.0L)), 1e-16L);
    EXPECT_LT(relativeError(bench::expX87(-290), std::exp(-290.0L)), 1e-16L);
    EXPECT_LT(relativeError(bench::sinX87(bench::kPi / 6), 0.5L), 1e-18L);
    EXPECT_LT(relativeError(bench::cosX87(2'067'152), std::cos(2'067'152.0L)), 1e-15L);
    EXPECT_EQ(bench::sqrtX87(48'401), 220.002272715533554780770018554160184L);
}

// Beyond the range or the domain: a result, never a fault.
TEST_F(ExtendedMath, OutOfRangeArgumentsGiveInfinityZeroOrNaNWithoutFaulting) {
    EXPECT_EQ(bench::expX87(20'000), std::numeric_limits<long double>::infinity());
    EXPECT_EQ(bench::expX87(-20'000), 0.0L);
    EXPECT_TRUE(std::isnan(bench::sqrtX87(-1)));
    EXPECT_TRUE(std::isnan(bench::cosX87(std::numeric_limits<long double>::infinity())));
    const long double huge = 0x1p70L;  // beyond fcos's own range: reduced first
    EXPECT_LE(std::fabs(bench::cosX87(huge)), 1.0L);
    EXPECT_LE(std::fabs(bench::sinX87(huge)), 1.0L);
}

TEST_F(ExtendedMath, HypotenuseOfSmallHugeAndTinyOperands) {
    EXPECT_EQ(bench::hypotScaled(3, 4), 5.0L);
    EXPECT_EQ(bench::hypotScaled(-4, 3), 5.0L);
    EXPECT_EQ(bench::hypotScaled(0, -7), 7.0L);
    EXPECT_EQ(bench::hypotScaled(0, 0), 0.0L);  // without a fault
    const long double root2 = 1.41421356237309504880168872420969808L;
    EXPECT_LT(relativeError(bench::hypotScaled(1e4000L, 1e4000L), 1e4000L * root2), 1e-18L);
    EXPECT_LT(relativeError(bench::hypotScaled(1e-4000L, 1e-4000L), 1e-4000L * root2), 1e-18L);
    EXPECT_EQ(bench::hypotScaled(1e4000L, 1.0L), 1e4000L);
}

TEST_F(ExtendedMath, NearestInt64TiesGoToTheEvenNeighbour) {
    using N = std::pair<long double, std::int64_t>;
    for (const auto& [x, nearest] : {N{0.5L, 0}, N{1.5L, 2}, N{2.5L, 2}, N{-0.5L, 0}, N{-1.5L, -2},
                                     N{-2.5L, -2}, N{0.7237L, 1}, N{6'494'150.26L, 6'494'150},
                                     N{9'223'372'036'854'775'807.0L, 9'223'372'036'854'775'807LL}})
        EXPECT_EQ(bench::nearestInt64(x), nearest) << x;
}

TEST_F(ExtendedMath, NearestInt64OutOfRangeGivesIntegerIndefiniteWithoutFaulting) {
    constexpr auto indefinite = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(bench::nearestInt64(1e19L), indefinite);
    EXPECT_EQ(bench::nearestInt64(std::numeric_limits<long double>::quiet_NaN()), indefinite);
}

TEST(PackedExtended, TenBytesPerElement) {
    bench::ExtendedScratch scratch;
    // Neighbours must not overlap: a 16-byte store would overwrite the next element.
    scratch.store(1, 4.0238726007709377354e2567L);
    scratch.store(2, -1.0L);
    scratch.store(0, 3.36e-4932L);
    EXPECT_EQ(scratch.load(1), 4.0238726007709377354e2567L);
    EXPECT_EQ(scratch.load(2), -1.0L);
    EXPECT_EQ(scratch.load(0), 3.36e-4932L);
    const auto* bytes = reinterpret_cast<const unsigned char*>(scratch.data());
    // -1.0 in the 80-bit layout: significand 0x8000000000000000, sign and exponent 0xBFFF.
    const unsigned char minusOne[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xBF};
    EXPECT_EQ(std::memcmp(bytes + 20, minusOne, 10), 0);
}
