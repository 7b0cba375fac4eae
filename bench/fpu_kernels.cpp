// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/fpu_kernels.h"

#include "bench/alu_kernels.h"
#include "bench/barriers.h"
#include "bench/extended_math.h"
#include "platform/ticks.h"
#include "sysinfo/sweep.h"

namespace bench {

volatile std::int64_t precatchP0 = 0;
volatile std::int64_t precatchP1 = 0;
volatile std::int64_t precatchP2 = 0;
volatile std::int64_t precatchP3 = 0;
volatile std::int64_t precatchP4 = 0;

namespace {

constexpr std::int32_t kFilledElements = 2'097'152;  // sweep buffer elements 1 to this
constexpr std::int32_t kObjectsElements = 2'067'152;

// Elements 1 to 2,097,152 := 1 to 2,097,152, before a kernel's timing.
void fillSweepBufferAscending() {
    std::int64_t* const e = sysinfo::sweepBuffer;
    for (std::int32_t k = 1; k <= kFilledElements; ++k) e[k] = k;
    clobberMemory();
}

// The loop value as a fresh unknown for each evaluation. Without it the compiler knows
// x >= 1 and drops the sign multiplication, hoists x x + 1 out of the inner loops and shares
// the integer-to-extended conversions between neighbouring evaluations; each evaluation is
// to do all of that work itself.
inline std::int32_t fresh(std::int32_t x) {
    doNotOptimize(x);
    return x;
}

// c(x) = cos((sign(x) sqrt(x x + 1) + 1) / x), x x + 1 formed as a 32-bit integer.
inline long double signForm(std::int32_t value) {
    const std::int32_t x = fresh(value);
    const std::int32_t square = x * x + 1;
    return cosX87((signOf(x) * sqrtX87(square) + 1.0L) / x);
}

// k(x) = cos((sqrt(x x + 1) cos(x) + 1) / x).
inline long double cosineForm(std::int32_t value) {
    const std::int32_t x = fresh(value);
    const std::int32_t square = x * x + 1;
    return cosX87((sqrtX87(square) * cosX87(x) + 1.0L) / x);
}

// t(x) from four exponentials, none reused.
inline long double tanhForm(std::int32_t x) {
    const long double difference = expX87(x) - expX87(-x);
    const long double sum = expX87(x) + expX87(-x);
    return difference / sum;
}

}  // namespace

std::int32_t hyperbolicCosecant() {
    ExtendedScratch scratch;
    const std::uint32_t start = startTiming();
    for (std::int32_t a = 1; a <= 130; ++a) {
        for (globalJ = 1; globalJ <= 130; stepInMemory(globalJ)) {
            for (std::int32_t d = 1; d <= 220; ++d) {
                scratch.store(65'000, signForm(d));
                scratch.store(32'000, cosineForm(globalJ));
                scratch.store(16'000, signForm(a));
                scratch.store(8'000, cosineForm(a));
                scratch.store(4'000, signForm(a));
                scratch.store(2'000, signForm(a));
            }
        }
    }
    sysinfo::sweepTail(kCosecantTailFactor);
    return stopTiming(start);
}

std::int32_t hyperbolicTangent() {
    ExtendedScratch scratch;
    const std::uint32_t start = startTiming();
    for (std::int32_t a = 1; a <= 110; ++a) {
        for (globalJ = 1; globalJ <= 110; stepInMemory(globalJ)) {
            for (std::int32_t d = 1; d <= 290; ++d) {
                scratch.store(65'000, tanhForm(d));
                scratch.store(32'000, tanhForm(globalJ));
                scratch.store(16'000, tanhForm(a));
            }
        }
    }
    sysinfo::sweepTail(kTangentTailFactor);
    return stopTiming(start);
}

std::int32_t hypotenuse() {
    ExtendedScratch scratch;
    const std::uint32_t start = startTiming();
    for (std::int32_t n = 1; n <= 6'400'000; ++n) {
        // n is converted for each use, as each hypotenuse takes it afresh.
        scratch.store(65'000, hypotScaled(fresh(n), 3.3L));
        scratch.store(32'000, hypotScaled(fresh(n), fresh(n)));
        scratch.store(16'000, hypotScaled(3.3L, fresh(n)));
        scratch.store(8'000, hypotScaled(3.1L, fresh(n)));
        scratch.store(4'000, hypotScaled(3.8L, fresh(n)));
        scratch.store(2'000, hypotScaled(3.9L, fresh(n)));
        scratch.store(1'000, hypotScaled(3.9L, fresh(n)));
        scratch.store(500, hypotScaled(3.2L, fresh(n)));
        scratch.store(200, hypotScaled(3.9L, fresh(n)));
    }
    sysinfo::sweepTail(kHypotenuseTailFactor);
    return stopTiming(start);
}

std::int32_t digitPi() {
    // Double variables: each store rounds to double, while the quotient and the sum are
    // formed in extended precision, as on the x87 unit.
    volatile double sum = 0.0;
    volatile double numerator = 0.0;
    volatile double denominator = 0.0;
    const std::uint32_t start = startTiming();
    for (std::int32_t k = 0; k <= 5'000'000; ++k) {
        for (int twice = 0; twice < 2; ++twice) {
            // Both terms convert k and form 2k + 1 themselves.
            const std::int32_t term = fresh(k);
            numerator = static_cast<double>(power(-1.0L, term));
            denominator = 2 * term + 1;
            sum = static_cast<double>(static_cast<long double>(sum) +
                                      static_cast<long double>(numerator) /
                                          static_cast<long double>(denominator));
        }
    }
    sysinfo::sweepTail(kDigitPiTailFactor);
    return stopTiming(start);
}

std::int32_t factorial() {
    ExtendedScratch scratch;
    // 1000! needs the extended range; every product goes through the packed element.
    volatile std::int64_t m = 0;
    const std::uint32_t start = startTiming();
    for (std::int32_t repetition = 0; repetition < 89'000; ++repetition) {
        scratch.store(65'000, 1.0L);
        for (m = 1; m <= 1000; stepInMemory(m)) {
            scratch.store(65'000, static_cast<long double>(m) * scratch.load(65'000));
        }
    }
    sysinfo::sweepTail(kFactorialTailFactor);
    return stopTiming(start);
}

std::int32_t objects3D() {
    ExtendedScratch scratch;
    fillSweepBufferAscending();
    volatile std::int64_t* const e = sysinfo::sweepBuffer;
    const std::uint32_t start = startTiming();
    for (std::int32_t repetition = 0; repetition < 4; ++repetition) {
        for (std::int32_t i = 1; i <= kObjectsElements; ++i) {
            const std::int64_t a = e[i];
            // X0, X1 and X2 are read back from their elements at every use.
            scratch.store(65'000, static_cast<long double>(a * i));
            scratch.store(64'000, static_cast<long double>(a) * kPi);
            scratch.store(63'000, scratch.load(65'000) / scratch.load(64'000));
            scratch.store(62'000, cosX87(i) * scratch.load(65'000) * kPi * scratch.load(65'000) *
                                      scratch.load(64'000));
            scratch.store(
                61'000, cosX87(i) *
                            ((scratch.load(65'000) + scratch.load(64'000)) * scratch.load(63'000)) *
                            kPi * scratch.load(65'000) * scratch.load(64'000));
            scratch.store(
                60'000, cosX87(i) *
                            ((scratch.load(65'000) + scratch.load(64'000)) *
                             (scratch.load(65'000) + scratch.load(64'000)) * scratch.load(63'000)) *
                            kPi * scratch.load(65'000) * scratch.load(64'000));
        }
    }
    sysinfo::sweepTail(kObjects3DTailFactor);
    return stopTiming(start);
}

std::int32_t precatching() {
    ExtendedScratch scratch;
    fillSweepBufferAscending();
    // Read below but never written by this kernel; see kPrecatchElement64000.
    scratch.store(64'000, kPrecatchElement64000);
    volatile std::int64_t* const e = sysinfo::sweepBuffer;
    const std::uint32_t start = startTiming();
    for (std::int32_t repetition = 0; repetition < 4; ++repetition) {
        for (std::int32_t b = 0; b < kFilledElements; b += 8) {
            precatchP0 = e[b];
            precatchP1 = e[b + 1];
            precatchP2 = e[b + 2];
            precatchP3 = e[b + 3];
            precatchP4 = e[b + 4];
            precatchP0 = e[b + 5];
            precatchP1 = e[b + 6];
            precatchP2 = e[b + 7];
        }
        for (std::int32_t step = 0; step < kFilledElements; ++step) {
            scratch.store(65'000, sinX87(precatchP0) + cosX87(precatchP0));
            scratch.store(32'000, cosX87(precatchP1) * sinX87(precatchP1));
            scratch.store(16'000, precatchP2 / scratch.load(65'000));
            scratch.store(8'000, precatchP3 * kDegreesPerRadian / precatchP4);
            scratch.store(4'000, scratch.load(8'000) + scratch.load(16'000) + scratch.load(32'000) +
                                     scratch.load(64'000));
            precatchP0 = nearestInt64(scratch.load(65'000));
            precatchP1 = nearestInt64(scratch.load(32'000));
            precatchP2 = nearestInt64(scratch.load(16'000));
            precatchP3 = nearestInt64(scratch.load(8'000));
            precatchP4 = nearestInt64(scratch.load(4'000));
        }
        for (std::int32_t b = 0; b < kFilledElements; b += 8) {
            e[b] = precatchP0;
            e[b + 1] = precatchP1;
            e[b + 2] = precatchP2;
            e[b + 3] = precatchP3;
            e[b + 4] = precatchP4;
            e[b + 5] = precatchP0;
            e[b + 6] = precatchP1;
            e[b + 7] = precatchP2;
        }
    }
    return stopTiming(start);
}

}  // namespace bench
