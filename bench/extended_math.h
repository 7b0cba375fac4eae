// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// 80-bit extended arithmetic for the floating-point kernels, done on the x87 unit itself:
// its own cosine, sine and square root, the exponential from its 2^x and scaling
// instructions, and storage packed at 10 bytes per value (long double takes 16 bytes on
// x86-64). Each instruction sits in `asm volatile`, so a kernel that computes the same
// cosine three times really computes it three times.
//
// The program runs with invalid operation, division by zero and overflow unmasked, so the
// helpers step around the inputs where the unit itself would fault and return the IEEE
// answer instead (documented per function); the kernels never reach those inputs.

#include <cstdint>
#include <limits>
#include <memory>

namespace bench {

inline constexpr long double kPi = 3.14159265358979323846264338327950288L;
inline constexpr long double kDegreesPerRadian = 57.2957795130823208767981548141051703L;
inline constexpr long double kLog2E = 1.44269504088896340735992468100189214L;
// Below 2^63 the unit's fsin/fcos/fistp work on the operand directly.
inline constexpr long double kTwoTo63 = 9223372036854775808.0L;

namespace detail {
long double cosLarge(long double x);
long double sinLarge(long double x);
}  // namespace detail

inline long double absX87(long double x) {
    return x < 0 ? -x : x;
}

// fcos; an argument of 2^63 or more is reduced first, an infinite one gives NaN.
inline long double cosX87(long double x) {
    if (!(absX87(x) < kTwoTo63)) return detail::cosLarge(x);
    asm volatile("fcos" : "+t"(x));
    return x;
}

// fsin, with the same range rule as cosX87.
inline long double sinX87(long double x) {
    if (!(absX87(x) < kTwoTo63)) return detail::sinLarge(x);
    asm volatile("fsin" : "+t"(x));
    return x;
}

// fsqrt; a negative argument gives NaN instead of the invalid-operation fault.
inline long double sqrtX87(long double x) {
    if (x < 0) return std::numeric_limits<long double>::quiet_NaN();
    asm volatile("fsqrt" : "+t"(x));
    return x;
}

// 2^t as f2xm1 of the fraction scaled by the integral part; beyond the extended range it
// gives infinity (or 0) rather than the overflow fault.
long double exp2X87(long double t);

// e^x = 2^(x log2 e). Out of line, so that two exponentials of the same argument are
// computed twice, multiplication included.
long double expX87(long double x);

// sqrt(x^2 + y^2) scaled by the larger magnitude, so huge and tiny operands neither
// overflow nor lose their digits in the squares. Both zero gives 0 (no 0/0).
long double hypotScaled(long double x, long double y);

inline std::int32_t signOf(std::int32_t value) {
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

// Nearest signed 64-bit integer, ties to even (fistp in round-to-nearest). Values outside
// the 64-bit range and NaN give INT64_MIN, the unit's own "integer indefinite", without
// raising the invalid-operation fault.
inline std::int64_t nearestInt64(long double x) {
    if (!(absX87(x) < kTwoTo63)) return std::numeric_limits<std::int64_t>::min();
    std::int64_t result;
    asm volatile("fistpll %0" : "=m"(result) : "t"(x) : "st");
    return result;
}

// base^exponent in extended precision. Exponent 0 gives 1. An integral exponent is
// evaluated by square-and-multiply over its bits (exact for integer powers that fit the
// 64-bit significand; one squaring per bit below the top one and one multiplication per
// further set bit, so the cost grows with the exponent, slowly); a negative one
// gives 1 / base^|n|. Other exponents go through 2^(exponent log2 base); a negative base
// then has no real result and gives NaN.
long double power(long double base, long double exponent);

// One extended value packed in 10 bytes, as the x87 unit stores it.
struct PackedExtended {
    unsigned char bytes[10];
};
static_assert(sizeof(PackedExtended) == 10 && alignof(PackedExtended) == 1);

inline void storePacked(PackedExtended& slot, long double value) {
    asm volatile("fstpt %0" : "=m"(slot) : "t"(value) : "st");
}

inline long double loadPacked(const PackedExtended& slot) {
    long double value;
    asm volatile("fldt %1" : "=t"(value) : "m"(slot));
    return value;
}

// The floating-point kernels' scratch array: 65,001 packed extended values (650,010
// bytes), owned by one kernel call and left uninitialised, as the kernels never read an
// element before writing it (except where a kernel sets one up before its timing).
class ExtendedScratch {
  public:
    static constexpr std::int32_t kElements = 65'001;

    ExtendedScratch() : slots_(new PackedExtended[kElements]) {}

    void store(std::int32_t index, long double value) { storePacked(slots_[index], value); }
    long double load(std::int32_t index) const { return loadPacked(slots_[index]); }
    const PackedExtended* data() const { return slots_.get(); }

  private:
    std::unique_ptr<PackedExtended[]> slots_;
};

}  // namespace bench
