// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/extended_math.h"

#include <bit>
#include <cmath>

namespace bench {

namespace detail {

// fsin/fcos leave an operand of 2^63 or more untouched; reduce by 2 pi first.
long double cosLarge(long double x) {
    if (std::isinf(x) || std::isnan(x)) return std::numeric_limits<long double>::quiet_NaN();
    return cosX87(std::remainder(x, 2 * kPi));
}

long double sinLarge(long double x) {
    if (std::isinf(x) || std::isnan(x)) return std::numeric_limits<long double>::quiet_NaN();
    return sinX87(std::remainder(x, 2 * kPi));
}

}  // namespace detail

long double exp2X87(long double t) {
    // Past these the result leaves the extended range; fscale would raise the overflow
    // fault the program runs with unmasked.
    if (t >= 16384.0L) return std::numeric_limits<long double>::infinity();
    if (t < -16500.0L) return 0.0L;
    long double result;
    // t = i + f with i = nearest integer, |f| <= 1/2, inside f2xm1's domain.
    asm volatile(
        "fld %%st(0)\n\t"          // t, t
        "frndint\n\t"              // i, t
        "fxch\n\t"                 // t, i
        "fsub %%st(1), %%st\n\t"   // f, i
        "f2xm1\n\t"                // 2^f - 1, i
        "fld1\n\t"                 // 1, 2^f - 1, i
        "faddp %%st, %%st(1)\n\t"  // 2^f, i
        "fscale\n\t"               // 2^f * 2^i, i
        "fstp %%st(1)\n\t"         // 2^t
        : "=t"(result)
        : "0"(t)
        : "st(1)", "st(2)");
    return result;
}

long double expX87(long double x) {
    return exp2X87(x * kLog2E);
}

long double hypotScaled(long double x, long double y) {
    if (std::isnan(x) || std::isnan(y)) return std::numeric_limits<long double>::quiet_NaN();
    const long double ax = absX87(x);
    const long double ay = absX87(y);
    const long double larger = ax > ay ? ax : ay;
    const long double smaller = ax > ay ? ay : ax;
    if (larger == 0) return 0.0L;
    if (std::isinf(larger)) return larger;
    const long double ratio = smaller / larger;
    return larger * sqrtX87(1.0L + ratio * ratio);
}

namespace {

// Left-to-right square-and-multiply: every intermediate is a power of the base no larger
// in magnitude than the result, so nothing overflows or rounds that the result would not.
// The top bit comes from one count-leading-zeros instruction, so the loop makes one turn
// per bit below it: two squarings and a multiplication for an exponent of 5, three
// squarings and a multiplication for 9. n must not be 0.
long double integralPower(long double base, std::uint64_t n) {
    const int top = 63 - std::countl_zero(n);
    long double result = base;
    for (int bit = top - 1; bit >= 0; --bit) {
        result = result * result;
        if ((n >> bit) & 1u) result = result * base;
    }
    return result;
}

long double log2X87(long double x) {
    long double result;
    asm volatile("fld1\n\tfxch\n\tfyl2x" : "=t"(result) : "0"(x) : "st(1)");
    return result;
}

}  // namespace

long double power(long double base, long double exponent) {
    if (exponent == 0) return 1.0L;
    if (absX87(exponent) < kTwoTo63) {
        const std::int64_t n = nearestInt64(exponent);
        if (static_cast<long double>(n) == exponent) {
            const std::uint64_t magnitude =
                n < 0 ? 0u - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
            const long double positive = integralPower(base, magnitude);
            if (n > 0) return positive;
            // 1 / 0 would raise the division-by-zero fault; the IEEE answer is infinite.
            if (positive == 0)
                return std::copysign(std::numeric_limits<long double>::infinity(), positive);
            return 1.0L / positive;
        }
    }
    if (std::isnan(base) || std::isnan(exponent))
        return std::numeric_limits<long double>::quiet_NaN();
    // An exponent of 2^63 or more is integral and, but for a few just above 2^63, even.
    if (base < 0 && !(absX87(exponent) < kTwoTo63)) base = -base;
    if (base < 0) return std::numeric_limits<long double>::quiet_NaN();
    if (base == 0) return exponent > 0 ? 0.0L : std::numeric_limits<long double>::infinity();
    if (std::isinf(base)) return exponent > 0 ? base : 0.0L;
    return exp2X87(exponent * log2X87(base));
}

}  // namespace bench
