// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/alu_kernels.h"

#include <array>
#include <utility>

#include "bench/barriers.h"
#include "bench/extended_math.h"
#include "platform/ticks.h"
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

// Loop counters declared before their loops keep their end values for the proof; the
// compiler knows most of them at the loop's exit and spends nothing on them.

KernelOutcome fibonacciDigits() {
    std::uint32_t previous = 1;
    std::uint32_t current = 2;
    std::int32_t block = 0;
    const std::uint32_t start = startTiming();
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
    sysinfo::sweepTail(kFibonacciTailFactor);
    const std::int32_t elapsed = stopTiming(start);
    return {elapsed, {.counts = {block, previous, current}}};
}

KernelOutcome calculFactorial() {
    // In memory, as the workload asks: each step loads, multiplies and stores.
    volatile std::uint64_t product = 0;
    volatile std::uint64_t multiplier = 0;
    std::int32_t repetition = 0;
    // Counted apart from the bound: every repetition ends as the one before it did.
    std::int32_t repetitions = 0;
    const std::uint32_t start = startTiming();
    for (; repetition < 4'500'001; ++repetition) {
        ++repetitions;
        product = 1;
        multiplier = 0;
        do {
            product = product * multiplier;
            multiplier = multiplier + 1;
        } while (multiplier != 35);
    }
    sysinfo::sweepTail(kCalculFactorialTailFactor);
    const std::int32_t elapsed = stopTiming(start);
    const std::uint64_t lastProduct = product;
    const std::uint64_t lastMultiplier = multiplier;
    return {elapsed,
            {.counts = {repetition, static_cast<std::int64_t>(lastMultiplier),
                        static_cast<std::int64_t>(lastProduct), repetitions}}};
}

KernelOutcome formulaFerma() {
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
    const std::uint32_t start = startTiming();
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
    if (!found) sysinfo::sweepTail(kFermaTailFactor);
    const std::int32_t elapsed = stopTiming(start);
    return {
        elapsed,
        {.counts = {globalI, globalJ, z, n, comparisons, found, static_cast<std::int64_t>(sums)}}};
}

KernelOutcome bruteForce() {
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
    const std::uint32_t start = startTiming();
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
    const std::int32_t elapsed = stopTiming(start);
    return {elapsed, {.counts = {d0, d1, d2, d3, d4, d5, d6, d7, d8, d9, matches, rows}}};
}

KernelOutcome additionMatrix() {
    std::array<std::uint8_t, 5 * kMatrixBytes> storage;
    fillPattern(storage);
    // Every operand is read from memory and every sum written back, in the listed order.
    volatile std::uint8_t* const m1 = storage.data();
    volatile std::uint8_t* const m2 = m1 + kMatrixBytes;
    volatile std::uint8_t* const m3 = m2 + kMatrixBytes;
    volatile std::uint8_t* const m4 = m3 + kMatrixBytes;
    volatile std::uint8_t* const m5 = m4 + kMatrixBytes;
    std::int32_t pass = 0;
    const std::uint32_t start = startTiming();
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
    sysinfo::sweepTail(kAdditionMatrixTailFactor);
    const std::int32_t elapsed = stopTiming(start);
    return {elapsed, {.counts = {pass, globalI, globalJ, byteChecksum(m1, storage.size())}}};
}

KernelOutcome multiplicationMatrix() {
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
    const std::uint32_t start = startTiming();
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
    sysinfo::sweepTail(kMultiplicationMatrixTailFactor);
    const std::int32_t elapsed = stopTiming(start);
    return {elapsed, {.counts = {pass, globalI, globalJ, byteChecksum(block, storage.size())}}};
}

KernelOutcome quickSort() {
    volatile std::int64_t* const e = sysinfo::sweepBuffer;
    // The fill comes before the timing, so every call sorts the same ascending input.
    for (std::int32_t k = 1; k <= kQuickSortElements; ++k) e[k] = k;
    // One count per pass, outside the comparisons: the pass count shows nowhere else.
    std::int32_t passes = 0;
    const std::uint32_t start = startTiming();
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
    const std::int32_t elapsed = stopTiming(start);
    std::int32_t descending = 0;  // elements holding their place in 32,500 down to 1
    for (std::int32_t k = 1; k <= kQuickSortElements; ++k)
        descending += e[k] == kQuickSortElements + 1 - k;
    return {elapsed, {.counts = {passes, descending}}};
}

}  // namespace bench
