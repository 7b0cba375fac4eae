// SPDX-License-Identifier: GPL-3.0-or-later
// The extended-precision helpers of the floating-point kernels, checked against known
// values, every test under the program's own x87 control word.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "bench/extended_math.h"
#include "real_kernel_test.h"

namespace {

using bench::power;

using Power = X87Faulting;
using X87Functions = X87Faulting;
using Hypot = X87Faulting;
using NearestInt64 = X87Faulting;

long double relativeError(long double got, long double want) {
    return std::fabs((got - want) / want);
}

}  // namespace

TEST_F(Power, IntegerPowersAreExactInTheSignificand) {
    EXPECT_EQ(power(110, 9), 2'357'947'691'000'000'000.0L);
    // 3^40 needs 64 significand bits: exact in extended, not in double.
    EXPECT_EQ(power(3, 40), static_cast<long double>(12'157'665'459'056'928'801ULL));
    EXPECT_EQ(power(2, 63), 9'223'372'036'854'775'808.0L);
}

TEST_F(Power, SumsNearTheFermatLimitStayDistinct) {
    // 2 x 110^9 is the largest sum of the search; one more than a power must not compare
    // equal to it, as it would after rounding to double.
    EXPECT_NE(power(110, 9) + power(1, 9), power(110, 9));
}

TEST_F(Power, ZeroAndNegativeExponentsAndSigns) {
    EXPECT_EQ(power(0, 0), 1.0L);
    EXPECT_EQ(power(-7.5L, 0), 1.0L);
    EXPECT_EQ(power(-1, 5'000'000), 1.0L);
    EXPECT_EQ(power(-1, 4'999'999), -1.0L);
    EXPECT_EQ(power(-2, 3), -8.0L);
    // A negative integral exponent gives the reciprocal.
    EXPECT_EQ(power(2, -3), 0.125L);
    EXPECT_EQ(power(-2, -3), -0.125L);
    EXPECT_EQ(power(0, -1), std::numeric_limits<long double>::infinity());
}

TEST_F(Power, LargeIntegralExponentCostsItsBitsNotItsValue) {
    // 2^40 multiplications would take hours; square-and-multiply takes 80. The 40
    // squarings double the rounding error each time, hence the loose bound.
    const long double base = 1.0L + 0x1p-40L;
    EXPECT_LT(relativeError(power(base, 0x1p40L), std::exp(1.0L)), 1e-7L);
}

TEST_F(Power, NonIntegralExponents) {
    EXPECT_LT(relativeError(power(2, 0.5L), std::sqrt(2.0L)), 1e-18L);
    EXPECT_LT(relativeError(power(10, 2.5L), 316.227766016837933199889354443271853L), 1e-17L);
    EXPECT_EQ(power(0, 0.5L), 0.0L);
    EXPECT_TRUE(std::isnan(power(-8, 1.0L / 3)));
}

TEST_F(X87Functions, ExponentialFromTwoToTheXInAndBeyondTheRange) {
    EXPECT_LT(relativeError(bench::expX87(1), 2.71828182845904523536028747135266250L), 4e-19L);
    EXPECT_LT(relativeError(bench::expX87(-1), 0.367879441171442321595523770161460867L), 4e-19L);
    EXPECT_LT(relativeError(bench::expX87(290), std::exp(290.0L)), 1e-16L);
    EXPECT_LT(relativeError(bench::expX87(-290), std::exp(-290.0L)), 1e-16L);
    // Beyond the range: no fault.
    EXPECT_EQ(bench::expX87(20'000), std::numeric_limits<long double>::infinity());
    EXPECT_EQ(bench::expX87(-20'000), 0.0L);
}

TEST_F(X87Functions, TrigonometryAndSquareRoot) {
    EXPECT_LT(relativeError(bench::sinX87(bench::kPi / 6), 0.5L), 1e-18L);
    EXPECT_LT(relativeError(bench::cosX87(2'067'152), std::cos(2'067'152.0L)), 1e-15L);
    EXPECT_EQ(bench::sqrtX87(48'401), 220.002272715533554780770018554160184L);
}

TEST_F(X87Functions, OutOfDomainArgumentsGiveNaNWithoutFaulting) {
    EXPECT_TRUE(std::isnan(bench::sqrtX87(-1)));
    EXPECT_TRUE(std::isnan(bench::cosX87(std::numeric_limits<long double>::infinity())));
    const long double huge = 0x1p70L;  // beyond fcos's own range: reduced first
    EXPECT_LE(std::fabs(bench::cosX87(huge)), 1.0L);
    EXPECT_LE(std::fabs(bench::sinX87(huge)), 1.0L);
}

TEST_F(Hypot, SmallIntegersAndBothZeroWithoutAFault) {
    EXPECT_EQ(bench::hypotScaled(3, 4), 5.0L);
    EXPECT_EQ(bench::hypotScaled(-4, 3), 5.0L);
    EXPECT_EQ(bench::hypotScaled(0, -7), 7.0L);
    EXPECT_EQ(bench::hypotScaled(0, 0), 0.0L);
}

TEST_F(Hypot, HugeAndTinyOperandsKeepTheirMagnitude) {
    const long double root2 = 1.41421356237309504880168872420969808L;
    EXPECT_LT(relativeError(bench::hypotScaled(1e4000L, 1e4000L), 1e4000L * root2), 1e-18L);
    EXPECT_LT(relativeError(bench::hypotScaled(1e-4000L, 1e-4000L), 1e-4000L * root2), 1e-18L);
    EXPECT_EQ(bench::hypotScaled(1e4000L, 1.0L), 1e4000L);
}

TEST_F(NearestInt64, TiesGoToTheEvenNeighbour) {
    const long double x[] = {0.5L,    1.5L,          2.5L,
                             -0.5L,   -1.5L,         -2.5L,
                             0.7237L, 6'494'150.26L, 9'223'372'036'854'775'807.0L};
    const std::int64_t nearest[] = {0, 2, 2, 0, -2, -2, 1, 6'494'150, 9'223'372'036'854'775'807LL};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(bench::nearestInt64(x[k]), nearest[k]) << x[k];
}

TEST_F(NearestInt64, OutOfRangeGivesIntegerIndefiniteWithoutFaulting) {
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
