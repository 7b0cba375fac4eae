// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/fpu_kernels.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <initializer_list>

#include "bench/alu_kernels.h"
#include "bench/barriers.h"
#include "bench/extended_math.h"
#include "bench/golden.h"
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

// The elements a kernel stored last, for its proof.
template <std::size_t N>
std::array<long double, WorkProof::kValues> lastStored(const ExtendedScratch& scratch,
                                                       const std::int32_t (&elements)[N]) {
    std::array<long double, WorkProof::kValues> values{};
    for (std::size_t k = 0; k < N; ++k) values[k] = scratch.load(elements[k]);
    return values;
}

}  // namespace

// As in the integer kernels, each kernel is followed by its golden value, and loop counters
// declared before their loops keep their end values for the proof.

KernelOutcome hyperbolicCosecant(const KernelContext& context) {
    const TimedContext timed(context);
    ExtendedScratch scratch;
    std::int32_t a = 1;
    std::int32_t d = 1;
    std::int32_t steps = 0;  // no end value shows where a loop started
    const std::uint32_t start = startTiming(timed);
    for (a = 1; a <= 130; ++a) {
        for (globalJ = 1; globalJ <= 130; stepInMemory(globalJ)) {
            for (d = 1; d <= 220; ++d) {
                ++steps;
                scratch.store(65'000, signForm(d));
                scratch.store(32'000, cosineForm(globalJ));
                scratch.store(16'000, signForm(a));
                scratch.store(8'000, cosineForm(a));
                scratch.store(4'000, signForm(a));
                scratch.store(2'000, signForm(a));
            }
        }
    }
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {elapsed,
            {{a, globalJ, d, steps},
             lastStored(scratch, {65'000, 32'000, 16'000, 8'000, 4'000, 2'000})}};
}

namespace {

// The two forms in plain library arithmetic.
long double signFormReference(long double x) {
    return std::cos((std::sqrt(x * x + 1) + 1) / x);
}

long double cosineFormReference(long double x) {
    return std::cos((std::sqrt(x * x + 1) * std::cos(x) + 1) / x);
}

}  // namespace

Golden hyperbolicCosecantGolden() {
    // a, J and d one past 130, 130 and 220, and the steps they made; the six elements of
    // the last step.
    Golden golden = exactly({131, 131, 221, 130 * 130 * 220});
    const long double last[] = {signFormReference(220), cosineFormReference(130),
                                signFormReference(130), cosineFormReference(130),
                                signFormReference(130), signFormReference(130)};
    for (std::size_t k = 0; k < 6; ++k) expect(golden, k, last[k], kTranscendental);
    return golden;
}

KernelOutcome hyperbolicTangent(const KernelContext& context) {
    const TimedContext timed(context);
    ExtendedScratch scratch;
    std::int32_t a = 1;
    std::int32_t d = 1;
    std::int32_t steps = 0;
    // The last step's values are all tanh of 110 or more: exactly 1. The element of J, read
    // once per J turn, holds tanh(1) to tanh(110) in turn, most of them short of 1.
    long double tangents = 0;
    const std::uint32_t start = startTiming(timed);
    for (a = 1; a <= 110; ++a) {
        for (globalJ = 1; globalJ <= 110; stepInMemory(globalJ)) {
            for (d = 1; d <= 290; ++d) {
                ++steps;
                scratch.store(65'000, tanhForm(d));
                scratch.store(32'000, tanhForm(globalJ));
                scratch.store(16'000, tanhForm(a));
            }
            tangents += scratch.load(32'000);
        }
    }
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    WorkProof work{{a, globalJ, d, steps}, lastStored(scratch, {65'000, 32'000, 16'000})};
    work.values[3] = tangents;
    return {elapsed, work};
}

Golden hyperbolicTangentGolden() {
    // tanh of 290, 110 and 110: 1 to within far less than the significand resolves. Then
    // tanh(1) + ... + tanh(110), once for each a: about 0.28 short of 110 each time.
    Golden golden = exactly({111, 111, 291, 110 * 110 * 290});
    for (const std::size_t k : {0, 1, 2})
        expect(golden, k, std::tanh(k == 0 ? 290.0L : 110.0L), kTranscendental);
    long double tangents = 0;
    for (int j = 1; j <= 110; ++j) tangents += std::tanh(static_cast<long double>(j));
    expect(golden, 3, 110 * tangents, kTranscendental);
    return golden;
}

KernelOutcome hypotenuse(const KernelContext& context) {
    const TimedContext timed(context);
    ExtendedScratch scratch;
    std::int32_t n = 1;
    const std::uint32_t start = startTiming(timed);
    for (; n <= 6'400'000; ++n) {
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
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {
        elapsed,
        {{n}, lastStored(scratch, {65'000, 32'000, 16'000, 8'000, 4'000, 2'000, 1'000, 500, 200})}};
}

Golden hypotenuseGolden() {
    constexpr long double n = 6'400'000;
    const auto h = [](long double x, long double y) { return std::sqrt(x * x + y * y); };
    Golden golden = exactly({6'400'001});
    const long double last[] = {h(n, 3.3L), h(n, n),    h(3.3L, n), h(3.1L, n), h(3.8L, n),
                                h(3.9L, n), h(3.9L, n), h(3.2L, n), h(3.9L, n)};
    // A short leg c adds only c^2 / 2n^2 to the value: 7.7e-15 of it between 3.1 and 3.2.
    // Both the kernel's scaled form and this one round a few times in the 64-bit significand,
    // to within 3e-19 of the value under either control word; 1e-16 lies between the two.
    for (std::size_t k = 0; k < 9; ++k) expect(golden, k, last[k], 1e-16L);
    return golden;
}

KernelOutcome digitPi(const KernelContext& context) {
    const TimedContext timed(context);
    // Double variables: each store rounds to double, while the quotient and the sum are
    // formed in extended precision, as on the x87 unit. The sum starts at 0, so that what it
    // ends with proves the series was summed.
    volatile double sum = 0.0;
    volatile double numerator = 0.0;
    volatile double denominator = 0.0;
    std::int32_t k = 0;
    const std::uint32_t start = startTiming(timed);
    for (; k <= 5'000'000; ++k) {
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
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    const double summed = sum;
    return {elapsed, {{k}, {summed}}};
}

namespace reference {

long double leibnizSumTwice(std::int64_t n) {
    const long double a = 2.0L * static_cast<long double>(n) + 3.0L;
    return kPi / 2 + 1 / a + 1 / (a * a) - 2 / (a * a * a * a);
}

}  // namespace reference

Golden digitPiGolden() {
    // Each of 10,000,002 additions rounds to double, by at most about 1.1e-16 near pi/2:
    // 1.1e-9 at worst in all. One turn fewer moves the sum by 2e-7.
    Golden golden = exactly({5'000'001});
    golden.work.values[0] = reference::leibnizSumTwice(5'000'000);
    golden.tolerance[0] = 1e-8L;
    return golden;
}

KernelOutcome factorial(const KernelContext& context) {
    const TimedContext timed(context);
    ExtendedScratch scratch;
    // 1000! needs the extended range; every product goes through the packed element.
    volatile std::int64_t m = 0;
    std::int32_t repetition = 0;
    std::int32_t products = 0;  // a skipped factor 1 shows nowhere else
    const std::uint32_t start = startTiming(timed);
    for (; repetition < 89'000; ++repetition) {
        scratch.store(65'000, 1.0L);
        for (m = 1; m <= 1000; stepInMemory(m)) {
            ++products;
            scratch.store(65'000, static_cast<long double>(m) * scratch.load(65'000));
        }
    }
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {elapsed, {{repetition, m, products}, lastStored(scratch, {65'000})}};
}

Golden factorialGolden() {
    // 1000!, to 40 digits; 1,000 roundings of the product make at most 6e-17 of it.
    Golden golden = exactly({89'000, 1'001, 89'000 * 1'000});
    expect(golden, 0, 4.023872600770937735437024339230039857193e2567L, kExactOperations);
    return golden;
}

KernelOutcome objects3D(const KernelContext& context) {
    const TimedContext timed(context);
    ExtendedScratch scratch;
    fillSweepBufferAscending();
    volatile std::int64_t* const e = sysinfo::sweepBuffer;
    std::int32_t repetition = 0;
    std::int32_t i = 1;
    // Every repetition stores the same values, so only a count shows that all of them ran.
    std::int32_t steps = 0;
    const std::uint32_t start = startTiming(timed);
    for (; repetition < 4; ++repetition) {
        for (i = 1; i <= kObjectsElements; ++i) {
            ++steps;
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
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {elapsed,
            {{repetition, i, steps},
             lastStored(scratch, {65'000, 64'000, 63'000, 62'000, 61'000, 60'000})}};
}

Golden objects3DGolden() {
    // The elements of the last step, i = 2,067,152, with a = i.
    constexpr long double i = 2'067'152;
    Golden golden = exactly({4, 2'067'153, 4 * 2'067'152});
    const long double x0 = i * i;
    const long double x1 = i * kPi;
    const long double x2 = x0 / x1;
    const long double c = std::cos(i);  // about -0.967: far from 0, its error stays small
    expect(golden, 0, x0, kExactOperations);
    expect(golden, 1, x1, kExactOperations);
    expect(golden, 2, x2, kExactOperations);
    expect(golden, 3, c * x0 * kPi * x0 * x1, kTranscendental);
    expect(golden, 4, c * ((x0 + x1) * x2) * kPi * x0 * x1, kTranscendental);
    expect(golden, 5, c * ((x0 + x1) * (x0 + x1) * x2) * kPi * x0 * x1, kTranscendental);
    return golden;
}

KernelOutcome precatching(const KernelContext& context) {
    const TimedContext timed(context);
    ExtendedScratch scratch;
    fillSweepBufferAscending();
    // Read below but never written by this kernel; see kPrecatchElement64000.
    scratch.store(64'000, kPrecatchElement64000);
    volatile std::int64_t* const e = sysinfo::sweepBuffer;
    // The slots reach their fixed point within about fifty steps, whatever was copied in, so
    // only counts show how many blocks and steps each phase made: counted one by one over
    // all repetitions, as no end value shows where a loop started or how far it stepped.
    std::int32_t repetition = 0;
    std::int32_t in = 0;
    std::int32_t step = 0;
    std::int32_t out = 0;
    std::int32_t blocksIn = 0;
    std::int32_t steps = 0;
    std::int32_t blocksOut = 0;
    const std::uint32_t start = startTiming(timed);
    for (; repetition < 4; ++repetition) {
        for (in = 0; in < kFilledElements; in += 8) {
            ++blocksIn;
            precatchP0 = e[in];
            precatchP1 = e[in + 1];
            precatchP2 = e[in + 2];
            precatchP3 = e[in + 3];
            precatchP4 = e[in + 4];
            precatchP0 = e[in + 5];
            precatchP1 = e[in + 6];
            precatchP2 = e[in + 7];
        }
        for (step = 0; step < kFilledElements; ++step) {
            ++steps;
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
        for (out = 0; out < kFilledElements; out += 8) {
            ++blocksOut;
            e[out] = precatchP0;
            e[out + 1] = precatchP1;
            e[out + 2] = precatchP2;
            e[out + 3] = precatchP3;
            e[out + 4] = precatchP4;
            e[out + 5] = precatchP0;
            e[out + 6] = precatchP1;
            e[out + 7] = precatchP2;
        }
    }
    const std::int32_t elapsed = stopTiming(timed, start);
    // The copy-out's pattern over eight elements: P0 to P4, then P0 to P2 again.
    const std::int64_t p[8] = {precatchP0, precatchP1, precatchP2, precatchP3,
                               precatchP4, precatchP0, precatchP1, precatchP2};
    std::int64_t copied = 0;
    for (std::int32_t k = 0; k < kFilledElements; ++k) copied += e[k] == p[k % 8];
    return {elapsed,
            {{repetition, blocksIn, steps, blocksOut, p[0], p[1], p[2], p[3], p[4], copied}}};
}

Golden precatchingGolden() {
    // Four repetitions of 262,144 blocks, 2,097,152 steps and 262,144 blocks; the fixed
    // point P0 to P4 = 1, 0, 1, 0, 6,494,150 (nearest(0.7237... + 2,067,152 pi)), and that
    // pattern in all 2,097,152 elements.
    return exactly({4, 4 * 262'144, 4 * 2'097'152, 4 * 262'144, 1, 0, 1, 0, 6'494'150, 2'097'152});
}

}  // namespace bench
