// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/alu_kernels.h"

#include <array>
#include <utility>

#include "bench/barriers.h"
#include "bench/extended_math.h"
#include "bench/golden.h"
#include "sysinfo/sweep.h"

namespace bench {

volatile std::int32_t globalI = 0;
volatile std::int32_t globalJ = 0;

namespace {

constexpr std::int32_t kMatrixSide = 100;
constexpr std::int32_t kMatrixBytes = kMatrixSide * kMatrixSide;

// Offset of element (I, J) of a row-major 100 x 100 byte matrix, from the counters in
// memory as they stand.
inline std::int32_t matrixOffset() {
    return (globalI - 1) * kMatrixSide + (globalJ - 1);
}

template <std::size_t N>
void fillPattern(std::array<std::uint8_t, N>& bytes) {
    for (std::size_t k = 0; k < N; ++k) bytes[k] = matrixStartByte(k);
}

}  // namespace

namespace reference {

std::uint32_t fibonacciMod2To32(std::uint64_t n) {
    // F(2m) = F(m) (2 F(m+1) - F(m)), F(2m+1) = F(m)^2 + F(m+1)^2, all modulo 2^32.
    std::uint32_t f = 0;     // F(m)
    std::uint32_t next = 1;  // F(m + 1)
    for (int bit = 63; bit >= 0; --bit) {
        const std::uint32_t doubled = f * (2 * next - f);
        const std::uint32_t doubledNext = f * f + next * next;
        f = doubled;
        next = doubledNext;
        if ((n >> bit) & 1u) {
            const std::uint32_t sum = f + next;
            f = next;
            next = sum;
        }
    }
    return f;
}

std::int64_t additionMatrixChecksum(std::int64_t passes) {
    // Powers of the step's matrix [[3, 2], [2, 1]] modulo 256, by squaring.
    using Matrix = std::array<std::uint32_t, 4>;
    const auto times = [](const Matrix& x, const Matrix& y) {
        return Matrix{(x[0] * y[0] + x[1] * y[2]) & 255u, (x[0] * y[1] + x[1] * y[3]) & 255u,
                      (x[2] * y[0] + x[3] * y[2]) & 255u, (x[2] * y[1] + x[3] * y[3]) & 255u};
    };
    const auto power = [&](std::int64_t n) {
        Matrix result{1, 0, 0, 1};
        Matrix square{3, 2, 2, 1};
        for (; n > 0; n >>= 1) {
            if (n & 1) result = times(result, square);
            square = times(square, square);
        }
        return result;
    };
    const Matrix last = power(passes);
    const Matrix beforeLast = power(passes - 1);
    constexpr std::size_t kSide = 10'000;
    std::array<std::uint8_t, 5 * kSide> matrices{};
    for (std::size_t k = 0; k < kSide; ++k) {
        const std::uint32_t a = matrixStartByte(k);
        const std::uint32_t b = matrixStartByte(kSide + k);
        // M1, M2 after the last pass; M3 = M4 = M5 = a + b of the pass before it.
        matrices[k] = static_cast<std::uint8_t>(last[0] * a + last[1] * b);
        matrices[kSide + k] = static_cast<std::uint8_t>(last[2] * a + last[3] * b);
        const auto sum = static_cast<std::uint8_t>((beforeLast[0] + beforeLast[2]) * a +
                                                   (beforeLast[1] + beforeLast[3]) * b);
        matrices[2 * kSide + k] = matrices[3 * kSide + k] = matrices[4 * kSide + k] = sum;
    }
    return byteChecksum(matrices.data(), matrices.size());
}

}  // namespace reference

// Each kernel is followed by the golden value its work must leave, from its own loop bounds
// and the design, never from running it. Loop counters declared before their loops keep
// their end values for the proof; the compiler knows most of them at the loop's exit and
// spends nothing on them.

KernelOutcome fibonacciDigits(const KernelContext& context) {
    const TimedContext timed(context);
    std::uint32_t previous = 1;
    std::uint32_t current = 2;
    std::int32_t block = 0;
    const std::uint32_t start = startTiming(timed);
    for (; block < 999'990'001; ++block) {
        // Seven dependent additions with the two registers taking turns as "current": after
        // an odd number of steps they have swapped roles, which the swap below undoes at no
        // cost. In assembly so the chain can be neither folded nor vectorised.
        asm volatile(
            "addl %[c], %[p]\n\t"
            "addl %[p], %[c]\n\t"
            "addl %[c], %[p]\n\t"
            "addl %[p], %[c]\n\t"
            "addl %[c], %[p]\n\t"
            "addl %[p], %[c]\n\t"
            "addl %[c], %[p]\n\t"
            : [p] "+r"(previous), [c] "+r"(current)
            :
            : "cc");
        std::swap(previous, current);
    }
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {elapsed, {.counts = {block, previous, current}}};
}

Golden fibonacciDigitsGolden() {
    // From previous = F(2), current = F(3), 7 steps in each of 999,990,001 blocks.
    constexpr std::uint64_t kBlocks = 999'990'001;
    constexpr std::uint64_t kSteps = 7 * kBlocks;
    return exactly({kBlocks, reference::fibonacciMod2To32(kSteps + 2),
                    reference::fibonacciMod2To32(kSteps + 3)});
}

KernelOutcome calculFactorial(const KernelContext& context) {
    const TimedContext timed(context);
    // In memory, as the workload asks: each step loads, multiplies and stores.
    volatile std::uint64_t product = 0;
    volatile std::uint64_t multiplier = 0;
    std::int32_t repetition = 0;
    // Counted apart from the bound: every repetition ends as the one before it did.
    std::int32_t repetitions = 0;
    const std::uint32_t start = startTiming(timed);
    for (; repetition < 4'500'001; ++repetition) {
        ++repetitions;
        product = 1;
        multiplier = 0;
        do {
            product = product * multiplier;
            multiplier = multiplier + 1;
        } while (multiplier != 35);
    }
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    const std::uint64_t lastProduct = product;
    const std::uint64_t lastMultiplier = multiplier;
    return {elapsed,
            {.counts = {repetition, static_cast<std::int64_t>(lastMultiplier),
                        static_cast<std::int64_t>(lastProduct), repetitions}}};
}

Golden calculFactorialGolden() {
    // Repetitions, the multiplier's end value, the product (the first factor is 0), and the
    // repetitions again, counted.
    return exactly({4'500'001, 35, 0, 4'500'001});
}

KernelOutcome formulaFerma(const KernelContext& context) {
    const TimedContext timed(context);
    constexpr std::int32_t kFirstExponent = 3;
    std::int32_t z = 0;
    std::int32_t n = 0;
    // The comparisons made, counted one by one: no end state shows where n starts. And the
    // last left-hand sum of each z turn, I^9 + J^9, folded in the order met, which no
    // exchange of I and J leaves the same.
    std::int64_t comparisons = 0;
    // In memory: held in a register, it would leave none for the search's result, which the
    // compiler would then store between the sweep tail and the closing tick.
    volatile std::uint64_t sums = 0;
    long double u = 0;
    const std::uint32_t start = startTiming(timed);
    // Sums of powers up to 2 x 110^9 stay exact in the 64-bit significand, so equality is
    // never found; with doubles it could be.
    const auto search = [&] {
        globalI = 1;
        do {
            globalJ = 1;
            do {
                for (z = 1; z <= 110; ++z) {
                    for (n = kFirstExponent; n <= 9; ++n) {
                        const long double exponent = n;
                        u = power(static_cast<long double>(globalI), exponent) +
                            power(static_cast<long double>(globalJ), exponent);
                        const long double v = power(static_cast<long double>(z), exponent);
                        ++comparisons;
                        if (u == v) return true;
                    }
                    sums = sums * 31 + static_cast<std::uint64_t>(nearestInt64(u));  // u is whole
                }
                globalJ = globalJ + 1;
            } while (globalJ != 111);
            globalI = globalI + 1;
        } while (globalI != 111);
        return false;
    };
    const bool found = search();
    // An equality would leave every loop at once, the sweep tail included.
    if (!found) sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {
        elapsed,
        {.counts = {globalI, globalJ, z, n, comparisons, found, static_cast<std::int64_t>(sums)}}};
}

Golden formulaFermaGolden() {
    // I, J and z end at 111, the exponent at 10; 110 x 110 x 110 triples of seven exponents;
    // no equality; I^9 + J^9 for each (I, J, z) in turn, folded as s := 31 s + u mod 2^64.
    std::uint64_t sums = 0;
    for (std::uint64_t i = 1; i <= 110; ++i) {
        for (std::uint64_t j = 1; j <= 110; ++j) {
            std::uint64_t u = 1;
            std::uint64_t w = 1;
            for (int n = 0; n < 9; ++n) {
                u *= i;
                w *= j;
            }
            for (int z = 1; z <= 110; ++z) sums = sums * 31 + (u + w);
        }
    }
    return exactly({111, 111, 111, 10, 110 * 110 * 110 * 7, 0, static_cast<std::int64_t>(sums)});
}

KernelOutcome bruteForce(const KernelContext& context) {
    const TimedContext timed(context);
    // d0 is the sweep sink itself; d1 to d4 live in memory; d5 to d9 may stay in registers.
    volatile std::int32_t& d0 = sysinfo::sweepSink;
    volatile std::int32_t d1 = 0;
    volatile std::int32_t d2 = 0;
    volatile std::int32_t d3 = 0;
    volatile std::int32_t d4 = 0;
    std::int32_t d5 = 0, d6 = 0, d7 = 0, d8 = 0, d9 = 0;
    std::int32_t matches = 0;  // counted on the one path that meets all sixes
    // Turns of the second-innermost loop, counted one by one: no digit's end value shows
    // where an outer loop started. A count in the innermost loop would add to its short body.
    std::int32_t rows = 0;
    const std::uint32_t start = startTiming(timed);
    for (d0 = 0; d0 < 8; stepInMemory(d0)) {
        for (d1 = 0; d1 < 8; stepInMemory(d1)) {
            for (d2 = 0; d2 < 8; stepInMemory(d2)) {
                for (d3 = 0; d3 < 8; stepInMemory(d3)) {
                    for (d4 = 0; d4 < 8; stepInMemory(d4)) {
                        for (d5 = 0; d5 < 8; ++d5) {
                            for (d6 = 0; d6 < 9; ++d6) {
                                for (d7 = 0; d7 < 9; ++d7) {
                                    for (d8 = 0; d8 < 9; ++d8) {
                                        ++rows;
                                        for (d9 = 0; d9 < 9; ++d9) {
                                            if (d0 == 6 && d1 == 6 && d2 == 6 && d3 == 6 &&
                                                d4 == 6 && d5 == 6 && d6 == 6 && d7 == 6 &&
                                                d8 == 6 && d9 == 6) {
                                                ++matches;
                                                break;
                                            }
                                        }
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    const std::int32_t elapsed = stopTiming(timed, start);
    return {elapsed, {.counts = {d0, d1, d2, d3, d4, d5, d6, d7, d8, d9, matches, rows}}};
}

Golden bruteForceGolden() {
    // Every digit ends one past its last value: d0 (the sweep sink) to d5 at 8, d6 to d9 at
    // 9; all sixes met once; 8^6 x 9^3 turns of d8.
    return exactly({8, 8, 8, 8, 8, 8, 9, 9, 9, 9, 1, 262'144 * 729});
}

KernelOutcome additionMatrix(const KernelContext& context) {
    const TimedContext timed(context);
    std::array<std::uint8_t, 5 * kMatrixBytes> storage;
    fillPattern(storage);
    // Every operand is read from memory and every sum written back, in the listed order.
    volatile std::uint8_t* const m1 = storage.data();
    volatile std::uint8_t* const m2 = m1 + kMatrixBytes;
    volatile std::uint8_t* const m3 = m2 + kMatrixBytes;
    volatile std::uint8_t* const m4 = m3 + kMatrixBytes;
    volatile std::uint8_t* const m5 = m4 + kMatrixBytes;
    std::int32_t pass = 0;
    const std::uint32_t start = startTiming(timed);
    for (; pass < 13'500; ++pass) {
        globalI = 1;
        do {
            globalJ = 1;
            do {
                std::int32_t k = matrixOffset();
                m5[k] = static_cast<std::uint8_t>(m1[k] + m2[k]);
                k = matrixOffset();
                m4[k] = static_cast<std::uint8_t>(m1[k] + m2[k]);
                k = matrixOffset();
                m3[k] = static_cast<std::uint8_t>(m1[k] + m2[k]);
                k = matrixOffset();
                m2[k] = static_cast<std::uint8_t>(m3[k] + m1[k]);
                k = matrixOffset();
                m1[k] = static_cast<std::uint8_t>(m3[k] + m2[k]);
                globalJ = globalJ + 1;
            } while (globalJ != 101);
            globalI = globalI + 1;
        } while (globalI != 101);
    }
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {elapsed, {.counts = {pass, globalI, globalJ, byteChecksum(m1, storage.size())}}};
}

Golden additionMatrixGolden() {
    return exactly({13'500, 101, 101, reference::additionMatrixChecksum(13'500)});
}

KernelOutcome multiplicationMatrix(const KernelContext& context) {
    const TimedContext timed(context);
    // A at offset 0, B at 10,000, P at 20,000. The column walk of A runs on into B and the
    // row walk of B on into P; the highest offset read is 20,009, inside the block.
    std::array<std::uint8_t, 3 * kMatrixBytes> storage;
    fillPattern(storage);
    volatile std::uint8_t* const block = storage.data();
    const auto elevenProducts = [block] {
        const std::int32_t i = globalI - 1;
        const std::int32_t j = globalJ - 1;
        std::uint8_t s = 0;
        for (std::int32_t k = 0; k <= 10; ++k) {
            s = static_cast<std::uint8_t>(s + block[(i + k) * kMatrixSide + j] *
                                                  block[kMatrixBytes + i * kMatrixSide + j + k]);
        }
        return s;
    };
    std::int32_t pass = 0;
    const std::uint32_t start = startTiming(timed);
    for (; pass < 2'700; ++pass) {
        globalI = 1;
        do {
            globalJ = 1;
            do {
                const std::uint8_t product = elevenProducts();
                block[2 * kMatrixBytes + matrixOffset()] = product;
                // Recomputed from memory, not reused: the second sum is part of the work.
                const std::uint8_t again = elevenProducts();
                block[matrixOffset()] = again;
                globalJ = globalJ + 1;
            } while (globalJ != 101);
            globalI = globalI + 1;
        } while (globalI != 101);
    }
    sweepTail(timed);
    const std::int32_t elapsed = stopTiming(timed, start);
    return {elapsed, {.counts = {pass, globalI, globalJ, byteChecksum(block, storage.size())}}};
}

Golden multiplicationMatrixGolden() {
    // The block after 2,700 passes: no shortcut, as A feeds itself through B; taken from a
    // plain simulation of the passes (checked again by the heavy tests).
    constexpr std::uint64_t kChecksum = 0x6e4b'9a95'9394'd8bdu;
    return exactly({2'700, 101, 101, static_cast<std::int64_t>(kChecksum)});
}

KernelOutcome quickSort(const KernelContext& context) {
    const TimedContext timed(context);
    volatile std::int64_t* const e = sysinfo::sweepBuffer;
    // The fill comes before the timing, so every call sorts the same ascending input.
    for (std::int32_t k = 1; k <= kQuickSortElements; ++k) e[k] = k;
    // One count per pass, outside the comparisons: the pass count shows nowhere else.
    std::int32_t passes = 0;
    const std::uint32_t start = startTiming(timed);
    std::int32_t exchanges = 0;
    do {
        ++passes;
        exchanges = 0;
        for (std::int32_t k = 1; k < kQuickSortElements; ++k) {
            const std::int64_t left = e[k];
            const std::int64_t right = e[k + 1];
            if (left < right) {
                e[k] = right;
                e[k + 1] = left;
                ++exchanges;
            }
        }
    } while (exchanges != 0);
    const std::int32_t elapsed = stopTiming(timed, start);
    std::int32_t descending = 0;  // elements holding their place in 32,500 down to 1
    for (std::int32_t k = 1; k <= kQuickSortElements; ++k)
        descending += e[k] == kQuickSortElements + 1 - k;
    return {elapsed, {.counts = {passes, descending}}};
}

Golden quickSortGolden() {
    // 32,499 passes with exchanges and one without; every element in its place.
    return exactly({32'500, 32'500});
}

}  // namespace bench
