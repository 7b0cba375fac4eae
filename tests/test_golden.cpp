// SPDX-License-Identifier: GPL-3.0-or-later
// The golden values: each reference computation against the plain steps it stands for, the
// values the design states, and the check that decides whether a row's work was right and
// says where it was not.
// The kernels themselves meet their golden values in the heavy tests.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>

#include "bench/alu_kernels.h"
#include "bench/extended_math.h"
#include "bench/fpu_kernels.h"
#include "bench/golden.h"
#include "bench/instr_kernels.h"
#include "bench/kernel_table.h"
#include "platform/x87.h"

namespace reference = bench::reference;

// EXPECT_NEAR compares in double; these figures are extended and must stay so.
#define EXPECT_NEAR_EXTENDED(a, b, bound) EXPECT_LE(std::fabs((a) - (b)), (bound))

TEST(GoldenReference, FibonacciByFastDoublingIsTheSequenceModulo2To32) {
    std::uint32_t f = 0;
    std::uint32_t next = 1;
    for (std::uint64_t n = 0; n < 100'000; ++n) {
        ASSERT_EQ(reference::fibonacciMod2To32(n), f) << n;
        const std::uint32_t sum = f + next;
        f = next;
        next = sum;
    }
    EXPECT_EQ(reference::fibonacciMod2To32(50), 12'586'269'025u % (std::uint64_t{1} << 32));
}

TEST(GoldenReference, AdditionMatrixPowersAreThePasses) {
    std::array<std::uint8_t, 50'000> m{};  // M1 to M5, 10,000 bytes each
    for (std::size_t k = 0; k < m.size(); ++k) m[k] = bench::matrixStartByte(k);
    for (int pass = 1; pass <= 300; ++pass) {
        for (std::size_t k = 0; k < 10'000; ++k) {
            std::uint8_t* const e = m.data() + k;
            e[40'000] = e[30'000] = e[20'000] = static_cast<std::uint8_t>(e[0] + e[10'000]);
            e[10'000] = static_cast<std::uint8_t>(e[20'000] + e[0]);
            e[0] = static_cast<std::uint8_t>(e[20'000] + e[10'000]);
        }
        if (pass <= 3 || pass == 300) {
            EXPECT_EQ(reference::additionMatrixChecksum(pass),
                      bench::byteChecksum(m.data(), m.size()))
                << pass;
        }
    }
}

TEST(GoldenReference, DigitPiClosedFormIsTheSeriesSummedTwice) {
    for (const std::int64_t n : {1'000, 20'000}) {
        long double sum = 0;  // smallest terms first
        for (std::int64_t k = n; k >= 0; --k) sum += (k % 2 ? -2.0L : 2.0L) / (2 * k + 1);
        EXPECT_NEAR_EXTENDED(reference::leibnizSumTwice(n), sum, 1e-15L) << n;
    }
    // The kernel rounds the sum to double after each of its additions: over 200,002 of them
    // it stays well inside the golden tolerance's share, 1e-8 for 10,000,002.
    constexpr std::int64_t n = 100'000;
    double sum = 0;
    for (std::int64_t k = 0; k <= n; ++k) {
        for (int twice = 0; twice < 2; ++twice)
            sum = static_cast<double>(sum + (k % 2 ? -1.0L : 1.0L) / (2 * k + 1));
    }
    EXPECT_NEAR_EXTENDED(reference::leibnizSumTwice(n), sum, 2e-10L);
}

TEST(GoldenValues, AsTheDesignStatesThem) {
    EXPECT_EQ(bench::bruteForceGolden().work.counts[0], 8);   // the sweep sink
    EXPECT_EQ(bench::bruteForceGolden().work.counts[10], 1);  // all sixes met once
    EXPECT_EQ(bench::formulaFermaGolden().work.counts[4], 9'317'000);
    EXPECT_EQ(bench::quickSortGolden().work.counts[0], 32'500);

    // 1000!, by the product taken the other way round.
    long double product = 1;
    for (int m = 1000; m >= 1; --m) product *= m;
    const bench::Golden factorial = bench::factorialGolden();
    EXPECT_NEAR_EXTENDED(factorial.work.values[0] / product, 1.0L, 1e-15L);

    // The precatching slots' fixed point: nearest(sin 1 + cos 1), nearest(cos 0 sin 0),
    // nearest(1 / (sin 1 + cos 1)), 0 / P4, and nearest(0.7237... + 2,067,152 pi).
    const long double x0 = std::sin(1.0L) + std::cos(1.0L);
    const long double p4 = 1 / x0 + 2'067'152 * std::numbers::pi_v<long double>;
    const auto& slots = bench::precatchingGolden().work.counts;
    EXPECT_EQ(slots[4], std::llrint(x0));
    EXPECT_EQ(slots[5], 0);
    EXPECT_EQ(slots[6], std::llrint(1 / x0));
    EXPECT_EQ(slots[7], 0);
    EXPECT_EQ(slots[8], std::llrint(p4));
}

// The hypotenuses are all about n = 6,400,000: only a tight tolerance sees the short leg.
// The kernel's scaled form passes with every leg it uses and fails with a neighbouring one,
// under both control words the run meets.
TEST(GoldenValues, HypotenuseSeesItsShortLeg) {
    const bench::Golden golden = bench::hypotenuseGolden();
    constexpr long double n = 6'400'000;
    const std::uint16_t saved = platform::x87ControlWord();
    for (const std::uint16_t controlWord :
         {platform::kStartupX87ControlWord, std::uint16_t{0x037F}}) {
        SCOPED_TRACE(controlWord);
        platform::setX87ControlWord(controlWord);
        const long double legs[] = {3.3L, 3.1L, 3.8L, 3.9L, 3.2L};
        const std::size_t elements[] = {2, 3, 4, 5, 7};
        for (std::size_t k = 0; k < 5; ++k) {
            const long double value = golden.work.values[elements[k]];
            const long double tolerance = golden.tolerance[elements[k]];
            EXPECT_LE(std::fabs(bench::hypotScaled(legs[k], n) - value), tolerance) << legs[k];
            EXPECT_GT(std::fabs(bench::hypotScaled(legs[k] + 0.1L, n) - value), tolerance);
            EXPECT_GT(std::fabs(bench::hypotScaled(legs[k] - 0.1L, n) - value), tolerance);
        }
    }
    platform::setX87ControlWord(saved);
}

// The instruction chains' closed forms against shorter chains run step by step: the
// rounding of each step stays within the bound the tolerance is set from.
TEST(GoldenValues, ChainsEndWhereTheirClosedFormsSay) {
    constexpr std::int64_t steps = std::int64_t{1} << 22;
    const long double bound = steps * std::ldexp(1.0L, -64);  // of the value
    const long double c = 1.1;
    long double sum = c;
    for (std::int64_t k = 0; k < steps; ++k) sum += c;
    EXPECT_NEAR_EXTENDED(sum / (c * (1 + steps)), 1.0L, bound);
    const long double q = 1 + std::ldexp(1.0L, -23);
    long double product = q;
    for (std::int64_t k = 0; k < steps; ++k) product *= q;
    EXPECT_NEAR_EXTENDED(product / std::exp((1 + steps) * std::log1p(std::ldexp(1.0L, -23))), 1.0L,
                         bound);

    // Single precision counts up to 2^24 and no further: SSE Add and SSE Sub stand there.
    volatile float up = 1.0f;
    volatile float down = 1.0f;
    for (std::int64_t k = 0; k < (std::int64_t{1} << 24) + 100; ++k) {
        up = up + 1.0f;
        down = down - 1.0f;
    }
    EXPECT_EQ(bench::sseAddGolden().work.counts[0], std::bit_cast<std::uint32_t>(float{up}));
    EXPECT_EQ(bench::sseSubGolden().work.counts[0], std::bit_cast<std::uint32_t>(float{down}));
}

// The check names the first slot that differs, counts before values, with what was expected
// and what came; a value within its tolerance is right, a NaN never is.
TEST(CheckWork, NamesTheFirstWrongSlotWithWhatWasExpectedAndWhatCame) {
    using Kind = bench::Mismatch::Kind;
    bench::Golden golden;
    golden.work.counts = {7, 101};
    golden.work.values[0] = 1.0L;
    golden.tolerance[0] = 1e-9L;
    bench::WorkProof work = golden.work;
    EXPECT_EQ(bench::checkWork(work, golden), std::nullopt);
    work.values[0] = 1.0L + 0.9e-9L;
    EXPECT_EQ(bench::checkWork(work, golden), std::nullopt);
    work.values[0] = 1.0L + 1.1e-9L;
    EXPECT_EQ(bench::checkWork(work, golden),
              (bench::Mismatch{Kind::Value, 0, 1.0L, 1.0L + 1.1e-9L, 1e-9L}));
    for (const long double wrong : {std::numeric_limits<long double>::quiet_NaN(),
                                    std::numeric_limits<long double>::infinity()}) {
        work.values[0] = wrong;
        const auto mismatch = bench::checkWork(work, golden);
        ASSERT_TRUE(mismatch.has_value()) << wrong;
        EXPECT_EQ(mismatch->kind, Kind::Value);
    }
    work.counts[1] = 100;  // one turn fewer, told before the value
    EXPECT_EQ(bench::checkWork(work, golden), (bench::Mismatch{Kind::Count, 1, 101, 100, 0}));
    work = golden.work;
    work.counts[10] = std::int64_t{1} << 62;  // an entry the kernel does not use, held exactly
    EXPECT_EQ(bench::checkWork(work, golden), (bench::Mismatch{Kind::Count, 10, 0, 0x1p62L, 0}));
}

// What a processor computing wrongly leaves: a count off by a bit, or a value with a bit
// flipped in its sign, its exponent or the top 21 bits of its significand. Every row's
// golden value tells each of them from itself, at the slot flipped.
TEST(CheckWork, EveryRowsGoldenCatchesAFlippedBit) {
    for (const bench::KernelRow& row : bench::kKernelTable) {
        SCOPED_TRACE(row.caption);
        const bench::Golden golden = row.golden();
        ASSERT_EQ(bench::checkWork(golden.work, golden), std::nullopt);
        for (std::size_t k = 0; k < bench::WorkProof::kCounts; ++k) {
            for (const int bit : {0, 31, 62}) {
                bench::WorkProof work = golden.work;
                work.counts[k] ^= std::int64_t{1} << bit;
                const auto wrong = bench::checkWork(work, golden);
                ASSERT_TRUE(wrong.has_value()) << "count " << k;
                EXPECT_EQ(wrong->slot, k);
            }
        }
        for (std::size_t k = 0; k < bench::WorkProof::kValues; ++k) {
            if (golden.tolerance[k] == 0) continue;
            for (int bit = 43; bit < 80; ++bit) {
                bench::WorkProof work = golden.work;
                unsigned char bytes[sizeof(long double)];
                std::memcpy(bytes, &work.values[k], sizeof bytes);
                bytes[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
                std::memcpy(&work.values[k], bytes, sizeof bytes);
                const auto wrong = bench::checkWork(work, golden);
                ASSERT_TRUE(wrong.has_value()) << "value " << k << " bit " << bit;
                EXPECT_EQ(wrong->slot, k);
            }
        }
    }
}
