// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/golden.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <vector>

#include "bench/alu_kernels.h"

namespace bench {
namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

// Tolerances, as parts of the value (at least of 1). Values from exact operations (sums,
// products, quotients, square roots) differ between sound processors only by how the
// reference rounds; values through fcos, fsin or f2xm1 by up to some 1e-15 of their size
// in the worst reductions any maker's unit does. One turn fewer changes every value below
// by 1e-7 of it or more.
constexpr long double kExactOperations = 1e-12L;
constexpr long double kTranscendental = 1e-9L;

long double toleranceFor(long double value, long double part) {
    return part * std::fmax(1.0L, std::fabs(value));
}

// A golden of counts only.
Golden exactly(std::array<std::int64_t, WorkProof::kCounts> counts) {
    Golden golden;
    golden.work.counts = counts;
    return golden;
}

// Adds value `index` with its tolerance.
void expect(Golden& golden, std::size_t index, long double value, long double part) {
    golden.work.values[index] = value;
    golden.tolerance[index] = toleranceFor(value, part);
}

}  // namespace

bool matchesGolden(const WorkProof& work, const Golden& golden) {
    if (work.counts != golden.work.counts) return false;
    for (std::size_t k = 0; k < WorkProof::kValues; ++k) {
        // Written so that a NaN fails.
        if (!(std::fabs(work.values[k] - golden.work.values[k]) <= golden.tolerance[k]))
            return false;
    }
    return true;
}

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

long double leibnizSumTwice(std::int64_t n) {
    const long double a = 2.0L * static_cast<long double>(n) + 3.0L;
    return kPi / 2 + 1 / a + 1 / (a * a) - 2 / (a * a * a * a);
}

}  // namespace reference

// The integer kernels.

Golden fibonacciDigitsGolden() {
    // From previous = F(2), current = F(3), 7 steps in each of 999,990,001 blocks.
    constexpr std::uint64_t kBlocks = 999'990'001;
    constexpr std::uint64_t kSteps = 7 * kBlocks;
    return exactly({kBlocks, reference::fibonacciMod2To32(kSteps + 2),
                    reference::fibonacciMod2To32(kSteps + 3)});
}

Golden calculFactorialGolden() {
    // Repetitions, the multiplier's end value, the product (the first factor is 0), and the
    // repetitions again, counted.
    return exactly({4'500'001, 35, 0, 4'500'001});
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

Golden bruteForceGolden() {
    // Every digit ends one past its last value: d0 (the sweep sink) to d5 at 8, d6 to d9 at
    // 9; all sixes met once; 8^6 x 9^3 turns of d8.
    return exactly({8, 8, 8, 8, 8, 8, 9, 9, 9, 9, 1, 262'144 * 729});
}

Golden additionMatrixGolden() {
    return exactly({13'500, 101, 101, reference::additionMatrixChecksum(13'500)});
}

Golden multiplicationMatrixGolden() {
    // The block after 2,700 passes: no shortcut, as A feeds itself through B; taken from a
    // plain simulation of the passes (checked again by the heavy tests).
    constexpr std::uint64_t kChecksum = 0x6e4b'9a95'9394'd8bdu;
    return exactly({2'700, 101, 101, static_cast<std::int64_t>(kChecksum)});
}

Golden quickSortGolden() {
    // 32,499 passes with exchanges and one without; every element in its place.
    return exactly({32'500, 32'500});
}

// The floating-point kernels.

namespace {

long double signForm(long double x) {
    return std::cos((std::sqrt(x * x + 1) + 1) / x);
}

long double cosineForm(long double x) {
    return std::cos((std::sqrt(x * x + 1) * std::cos(x) + 1) / x);
}

}  // namespace

Golden hyperbolicCosecantGolden() {
    // a, J and d one past 130, 130 and 220, and the steps they made; the six elements of
    // the last step.
    Golden golden = exactly({131, 131, 221, 130 * 130 * 220});
    const long double last[] = {signForm(220),   cosineForm(130), signForm(130),
                                cosineForm(130), signForm(130),   signForm(130)};
    for (std::size_t k = 0; k < 6; ++k) expect(golden, k, last[k], kTranscendental);
    return golden;
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

Golden digitPiGolden() {
    // Each of 10,000,002 additions rounds to double, by at most about 1.1e-16 near pi/2:
    // 1.1e-9 at worst in all. One turn fewer moves the sum by 2e-7.
    Golden golden = exactly({5'000'001});
    golden.work.values[0] = reference::leibnizSumTwice(5'000'000);
    golden.tolerance[0] = 1e-8L;
    return golden;
}

Golden factorialGolden() {
    // 1000!, to 40 digits; 1,000 roundings of the product make at most 6e-17 of it.
    Golden golden = exactly({89'000, 1'001, 89'000 * 1'000});
    expect(golden, 0, 4.023872600770937735437024339230039857193e2567L, kExactOperations);
    return golden;
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

Golden precatchingGolden() {
    // Four repetitions of 262,144 blocks, 2,097,152 steps and 262,144 blocks; the fixed
    // point P0 to P4 = 1, 0, 1, 0, 6,494,150 (nearest(0.7237... + 2,067,152 pi)), and that
    // pattern in all 2,097,152 elements.
    return exactly({4, 4 * 262'144, 4 * 2'097'152, 4 * 262'144, 1, 0, 1, 0, 6'494'150, 2'097'152});
}

// The instruction kernels: the accumulator after k x n instructions, the n turns counted,
// and the block's bytes: k copies of the instruction's encoding from the processor's
// reference, with the accumulator in EAX, ST(0), MM0 or XMM0 and the operand in ECX, ST(1),
// MM1 or XMM1 (ModRM 0xC1, or 0xC8 for ADD and SUB, whose operands run the other way).

namespace {

std::uint32_t wrapped32(std::int64_t value) {
    return static_cast<std::uint32_t>(value);
}

std::int64_t block(std::initializer_list<std::uint8_t> encoding, std::size_t copies,
                   std::initializer_list<std::uint8_t> after = {}) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 0; k < copies; ++k) bytes.insert(bytes.end(), encoding);
    bytes.insert(bytes.end(), after);
    return byteChecksum(bytes.data(), bytes.size());
}

// The bits of the single-precision sum 1 + 1 + ... (or 1 - 1 - ...) that would end at `end`:
// exact up to 2^24, where adding 1 rounds back to the even neighbour and the chain stands.
std::int64_t floatCountBits(std::int64_t end) {
    const std::int64_t limit = std::int64_t{1} << 24;
    return std::bit_cast<std::uint32_t>(static_cast<float>(std::clamp(end, -limit, limit)));
}

// The x87 chains start from the operand: c (1 + kn) for FADD, c (1 - kn) for FSUB, q^(1 + kn)
// and q^(1 - kn) for FMUL and FDIV. Each step rounds by at most half a unit in the last place
// of the 64-bit significand: at most 9e-11 of the value over the longest chain, 1.6e9 steps.
// ST(0) op= ST(1) is D8 with ModRM C1 (FADD), E1 (FSUB), C9 (FMUL), F1 (FDIV).
Golden x87Chain(std::int64_t n, std::uint8_t modrm, std::size_t k, long double value) {
    Golden golden = exactly({n, block({0xD8, modrm}, k)});
    expect(golden, 0, value, kTranscendental);
    return golden;
}

constexpr long double kAddOperand = 1.1;  // the double nearest 1.1

// ln q for the operand q = 1 + 2^-23 of FPU Mul and FPU Div.
long double logMulDivOperand() {
    return std::log1p(0x1p-23L);
}

}  // namespace

Golden instrAdditionGolden() {
    return exactly({wrapped32(1 + 64 * 300'000'000LL), 300'000'000, block({0x01, 0xC8}, 64)});
}

Golden instrSubstractionGolden() {
    return exactly({wrapped32(1 - 64 * 300'000'000LL), 300'000'000, block({0x29, 0xC8}, 64)});
}

Golden instrMultiplicationGolden() {
    // 1 x 1, over and over
    return exactly({1, 10'000'000, block({0x0F, 0xAF, 0xC1}, 64)});
}

Golden instrDivisionGolden() {
    // 32 complements, an even number, per turn; NOT is F7 /2.
    return exactly({400'000'000, 400'000'000, block({0xF7, 0xD0}, 32)});
}

Golden fpuAddGolden() {
    return x87Chain(30'000'000, 0xC1, 64, kAddOperand * (1 + 64 * 30'000'000.0L));
}

Golden fpuSubGolden() {
    return x87Chain(30'000'000, 0xE1, 64, kAddOperand * (1 - 64 * 30'000'000.0L));
}

Golden fpuMulGolden() {
    return x87Chain(20'000'000, 0xC9, 80, std::exp((1 + 80 * 20'000'000.0L) * logMulDivOperand()));
}

Golden fpuDivGolden() {
    return x87Chain(200'000, 0xF1, 32, std::exp((1 - 32 * 200'000.0L) * logMulDivOperand()));
}

// The lowest of the four 16-bit lanes, which wraps on its own; the others stay 0. The block
// ends with its EMMS, 0F 77.
constexpr std::initializer_list<std::uint8_t> kEmms = {0x0F, 0x77};

Golden mmxAddGolden() {
    return exactly({static_cast<std::uint16_t>(1 + 16 * 100'000'000LL), 100'000'000,
                    block({0x0F, 0xFD, 0xC1}, 16, kEmms)});
}

Golden mmxSubGolden() {
    return exactly({static_cast<std::uint16_t>(1 - 16 * 100'000'000LL), 100'000'000,
                    block({0x0F, 0xF9, 0xC1}, 16, kEmms)});
}

Golden mmxMulGolden() {
    return exactly({1, 100'000'000, block({0x0F, 0xD5, 0xC1}, 16, kEmms)});
}

Golden sseAddGolden() {
    return exactly(
        {floatCountBits(1 + 32 * 20'000'000LL), 20'000'000, block({0xF3, 0x0F, 0x58, 0xC1}, 32)});
}

Golden sseSubGolden() {
    return exactly(
        {floatCountBits(1 - 32 * 20'000'000LL), 20'000'000, block({0xF3, 0x0F, 0x5C, 0xC1}, 32)});
}

Golden sseMulGolden() {
    return exactly(
        {std::bit_cast<std::uint32_t>(1.0f), 20'000'000, block({0xF3, 0x0F, 0x59, 0xC1}, 32)});
}

Golden sseDivGolden() {
    return exactly(
        {std::bit_cast<std::uint32_t>(1.0f), 10'000'000, block({0xF3, 0x0F, 0x5E, 0xC1}, 32)});
}

}  // namespace bench
