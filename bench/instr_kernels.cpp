// SPDX-License-Identifier: GPL-3.0-or-later
// The instruction throughput kernels. Each times a long loop whose body is one instruction
// written out k times as a single dependent chain through an accumulator, and returns
// k x n / 1000 divided by the elapsed ms: millions of instructions per second.
//
// Every block is one asm statement: the compiler can neither fold, vectorise, reorder nor
// drop it, and the loop control is ours, so exactly k x n block instructions run. The
// "memory" clobber keeps each statement between its two tick readings. Each kernel is
// written as (k, n, N) and checks at compile time that N = k x n / 1000.
//
// The proof of the work comes out of the same statement: the accumulator's end value, a
// count of turns kept beside the chain (zeroed before the loop, one increment per block,
// independent of the accumulator, so it adds no latency), and the bytes of the block as
// assembled, read through labels around it. The accumulator alone cannot show the work:
// 1 x 1, 1.0 / 1.0, an even number of NOTs and a float sum past 2^24 all stand still. The
// operands sit in fixed registers, so that each block's bytes are known in advance.
// The closing tick is read before the outcome is built: GCC clears a braced return value
// whole before it evaluates the first member.

#include "bench/instr_kernels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <vector>

#include "bench/asm_repeat.h"
#include "bench/barriers.h"
#include "bench/golden.h"
#include "bench/scoring.h"

namespace bench {
namespace {

// The loop's tail, shared by every family: the label after the block, the turn count, the
// countdown; after the loop, where the block begins and ends.
#define CORVANE_BLOCK_TAIL         \
    "2:\n\t"                       \
    "incl %[turns]\n\t"            \
    "decl %[counter]\n\t"          \
    "jnz 1b\n\t"                   \
    "leaq 1b(%%rip), %[first]\n\t" \
    "leaq 2b(%%rip), %[end]\n\t"

// The outputs every family shares: the countdown, the turn count and the block's bounds.
#define CORVANE_BLOCK_OUTPUTS \
    [counter] "=&r"(counter), [turns] "=&r"(turns), [first] "=r"(first), [end] "=r"(end)

// FNV-1a over the block's bytes, as the processor fetched them. Out of line, so the kernel's
// one loop is its block.
[[gnu::noinline]] std::int64_t blockChecksum(const std::uint8_t* first, const std::uint8_t* end) {
    return byteChecksum(first, static_cast<std::size_t>(end - first));
}

// The 32-bit integer family: accumulator (EAX) and operand (ECX) both start at 1.
#define CORVANE_INTEGER_KERNEL(name, instruction, k, n, N)                                      \
    KernelOutcome name(const KernelContext& context) {                                          \
        const TimedContext timed(context);                                                      \
        std::int32_t one = 1;                                                                   \
        const std::uint32_t start = startTiming(timed);                                         \
        std::uint32_t accumulator, operand, counter, turns;                                     \
        const std::uint8_t *first, *end;                                                        \
        asm volatile(                                                                           \
            "movl %[one], %[acc]\n\t"                                                           \
            "movl %[one], %[op]\n\t"                                                            \
            "movl %[iterations], %[counter]\n\t"                                                \
            "xorl %[turns], %[turns]\n\t"                                                       \
            ".p2align 4\n"                                                                      \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %[op], %[acc]\n\t") CORVANE_BLOCK_TAIL \
            : [acc] "=&a"(accumulator), [op] "=&c"(operand), CORVANE_BLOCK_OUTPUTS              \
            : [one] "rm"(one), [iterations] "i"(n)                                              \
            : "cc", "memory");                                                                  \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                           \
        const std::int32_t elapsed = stopTiming(timed, start);                                  \
        return {perMs(N, elapsed), {{accumulator, turns, blockChecksum(first, end)}}};          \
    }

// The x87 family. FINIT and both loads are part of the timed section; the accumulator is
// stored and both values popped before the closing tick reading, because the calling
// convention wants the x87 stack empty at every call. The control word is left at the FINIT
// default, all exceptions masked: the rest of the benchmark run computes under it, as it
// would after these instructions anywhere, and no displayed figure depends on it.
#define CORVANE_X87_KERNEL(name, load, OperandType, value, instruction, k, n, N)                \
    KernelOutcome name(const KernelContext& context) {                                          \
        const TimedContext timed(context);                                                      \
        OperandType operandValue = value;                                                       \
        const std::uint32_t start = startTiming(timed);                                         \
        std::uint32_t counter, turns;                                                           \
        const std::uint8_t *first, *end;                                                        \
        long double accumulator;                                                                \
        asm volatile(                                                                           \
            "movl %[iterations], %[counter]\n\t"                                                \
            "xorl %[turns], %[turns]\n\t"                                                       \
            "finit\n\t" load " %[x]\n\t" load                                                   \
            " %[x]\n\t"                                                                         \
            ".p2align 4\n"                                                                      \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %%st(1), %%st\n\t") CORVANE_BLOCK_TAIL \
            "fstpt %[acc]\n\t"                                                                  \
            "fstp %%st(0)\n\t"                                                                  \
            : CORVANE_BLOCK_OUTPUTS, [acc] "=m"(accumulator)                                    \
            : [x] "m"(operandValue), [iterations] "i"(n)                                        \
            : "cc", "memory", "st", "st(1)");                                                   \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                           \
        const std::int32_t elapsed = stopTiming(timed, start);                                  \
        return {perMs(N, elapsed), {{turns, blockChecksum(first, end)}, {accumulator}}};        \
    }

// The MMX family: both registers hold the 16-bit lanes 1, 0, 0, 0; every block ends with
// EMMS, so the x87 stack is empty again when the kernel returns; the block's bytes take it
// in. Reading the accumulator after the loop takes one more EMMS.
#define CORVANE_MMX_KERNEL(name, instruction, k, n, N)                                   \
    KernelOutcome name(const KernelContext& context) {                                   \
        const TimedContext timed(context);                                               \
        std::int32_t one = 1;                                                            \
        const std::uint32_t start = startTiming(timed);                                  \
        std::uint32_t counter, turns;                                                    \
        const std::uint8_t *first, *end;                                                 \
        std::uint64_t lanes;                                                             \
        asm volatile(                                                                    \
            "movd %[one], %%mm0\n\t"                                                     \
            "movd %[one], %%mm1\n\t"                                                     \
            "movl %[iterations], %[counter]\n\t"                                         \
            "xorl %[turns], %[turns]\n\t"                                                \
            ".p2align 4\n"                                                               \
            "1:\n\t" CORVANE_ASM_REPEAT(                                                 \
                k, instruction " %%mm1, %%mm0\n\t") "emms\n\t" CORVANE_BLOCK_TAIL        \
                                                    "movq %%mm0, %[lanes]\n\t"           \
                                                    "emms\n\t"                           \
            : CORVANE_BLOCK_OUTPUTS, [lanes] "=&r"(lanes)                                \
            : [one] "rm"(one), [iterations] "i"(n)                                       \
            : "cc", "memory", "mm0", "mm1");                                             \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                    \
        const std::int32_t elapsed = stopTiming(timed, start);                           \
        return {perMs(N, elapsed),                                                       \
                {{static_cast<std::int64_t>(lanes), turns, blockChecksum(first, end)}}}; \
    }

// The SSE family: the lowest single-precision lanes of XMM0 (accumulator) and XMM1
// (operand) start at 1.0.
#define CORVANE_SSE_KERNEL(name, instruction, k, n, N)                                           \
    KernelOutcome name(const KernelContext& context) {                                           \
        const TimedContext timed(context);                                                       \
        std::int32_t one = 1;                                                                    \
        const std::uint32_t start = startTiming(timed);                                          \
        std::uint32_t bits, counter, turns;                                                      \
        const std::uint8_t *first, *end;                                                         \
        asm volatile(                                                                            \
            "movl %[iterations], %[counter]\n\t"                                                 \
            "xorl %[turns], %[turns]\n\t"                                                        \
            "cvtsi2ssl %[one], %%xmm0\n\t"                                                       \
            "cvtsi2ssl %[one], %%xmm1\n\t"                                                       \
            ".p2align 4\n"                                                                       \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %%xmm1, %%xmm0\n\t") CORVANE_BLOCK_TAIL \
            "movd %%xmm0, %[bits]\n\t"                                                           \
            : CORVANE_BLOCK_OUTPUTS, [bits] "=&r"(bits)                                          \
            : [one] "rm"(one), [iterations] "i"(n)                                               \
            : "cc", "memory", "xmm0", "xmm1");                                                   \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                            \
        const std::int32_t elapsed = stopTiming(timed, start);                                   \
        return {perMs(N, elapsed), {{bits, turns, blockChecksum(first, end)}}};                  \
    }

// The single-precision operand of FPU Mul and FPU Div: 1 + 2^-23, the float just above 1.
// Exactly 1.0 would keep every product and quotient at 1.0, an operand some dividers finish
// early on; 1.1 would carry FMUL's chain to infinity within about 120,000 steps and FDIV's
// into denormals, where the x87 unit slows down by orders of magnitude. Over the fixed
// chains (1.6e9 multiplications, 6.4e6 divisions per call) 1 + 2^-23 keeps the accumulator
// between 2^-2 and 2^276: finite and normal for the whole run.
constexpr float kX87MulDivOperand = 1.00000011920928955078125f;

// Each kernel below is followed by its golden value: the accumulator after k x n
// instructions, the n turns counted, and the block's bytes: k copies of the instruction's
// encoding from the processor's reference, with the accumulator in EAX, ST(0), MM0 or XMM0
// and the operand in ECX, ST(1), MM1 or XMM1 (ModRM 0xC1, or 0xC8 for ADD and SUB, whose
// operands run the other way).

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

// The lowest of the four 16-bit lanes, which wraps on its own; the others stay 0. The block
// ends with its EMMS, 0F 77.
constexpr std::initializer_list<std::uint8_t> kEmms = {0x0F, 0x77};

}  // namespace

CORVANE_INTEGER_KERNEL(instrAddition, "addl", 64, 300'000'000, 19'200'000)
Golden instrAdditionGolden() {
    return exactly({wrapped32(1 + 64 * 300'000'000LL), 300'000'000, block({0x01, 0xC8}, 64)});
}

CORVANE_INTEGER_KERNEL(instrSubstraction, "subl", 64, 300'000'000, 19'200'000)
Golden instrSubstractionGolden() {
    return exactly({wrapped32(1 - 64 * 300'000'000LL), 300'000'000, block({0x29, 0xC8}, 64)});
}

CORVANE_INTEGER_KERNEL(instrMultiplication, "imull", 64, 10'000'000, 640'000)
Golden instrMultiplicationGolden() {
    // 1 x 1, over and over
    return exactly({1, 10'000'000, block({0x0F, 0xAF, 0xC1}, 64)});
}

// Counts one operation per block of 32 NOTs, not 32: 400,000 / ms.
KernelOutcome instrDivision(const KernelContext& context) {
    const TimedContext timed(context);
    constexpr std::uint32_t kIterations = 400'000'000;
    const std::uint32_t start = startTiming(timed);
    std::uint32_t accumulator, counter, turns;
    const std::uint8_t *first, *end;
    asm volatile(
        "movl %[iterations], %[counter]\n\t"
        "xorl %[turns], %[turns]\n\t"
        "movl %[counter], %[acc]\n\t"
        ".p2align 4\n"
        "1:\n\t" CORVANE_ASM_REPEAT(32, "notl %[acc]\n\t") CORVANE_BLOCK_TAIL
        : [acc] "=&a"(accumulator), CORVANE_BLOCK_OUTPUTS
        : [iterations] "i"(kIterations)
        : "cc", "memory");
    const std::int32_t elapsed = stopTiming(timed, start);
    return {perMs(static_cast<std::int32_t>(kIterations / 1000), elapsed),
            {{accumulator, turns, blockChecksum(first, end)}}};
}

Golden instrDivisionGolden() {
    // 32 complements, an even number, per turn; NOT is F7 /2.
    return exactly({400'000'000, 400'000'000, block({0xF7, 0xD0}, 32)});
}

CORVANE_X87_KERNEL(fpuAdd, "fldl", double, 1.1, "fadd", 64, 30'000'000, 1'920'000)
Golden fpuAddGolden() {
    return x87Chain(30'000'000, 0xC1, 64, kAddOperand * (1 + 64 * 30'000'000.0L));
}

CORVANE_X87_KERNEL(fpuSub, "fldl", double, 1.1, "fsub", 64, 30'000'000, 1'920'000)
Golden fpuSubGolden() {
    return x87Chain(30'000'000, 0xE1, 64, kAddOperand * (1 - 64 * 30'000'000.0L));
}

CORVANE_X87_KERNEL(fpuMul, "flds", float, kX87MulDivOperand, "fmul", 80, 20'000'000, 1'600'000)
Golden fpuMulGolden() {
    return x87Chain(20'000'000, 0xC9, 80, std::exp((1 + 80 * 20'000'000.0L) * logMulDivOperand()));
}

CORVANE_X87_KERNEL(fpuDiv, "flds", float, kX87MulDivOperand, "fdiv", 32, 200'000, 6'400)
Golden fpuDivGolden() {
    return x87Chain(200'000, 0xF1, 32, std::exp((1 - 32 * 200'000.0L) * logMulDivOperand()));
}

CORVANE_MMX_KERNEL(mmxAdd, "paddw", 16, 100'000'000, 1'600'000)
Golden mmxAddGolden() {
    return exactly({static_cast<std::uint16_t>(1 + 16 * 100'000'000LL), 100'000'000,
                    block({0x0F, 0xFD, 0xC1}, 16, kEmms)});
}

CORVANE_MMX_KERNEL(mmxSub, "psubw", 16, 100'000'000, 1'600'000)
Golden mmxSubGolden() {
    return exactly({static_cast<std::uint16_t>(1 - 16 * 100'000'000LL), 100'000'000,
                    block({0x0F, 0xF9, 0xC1}, 16, kEmms)});
}

CORVANE_MMX_KERNEL(mmxMul, "pmullw", 16, 100'000'000, 1'600'000)
Golden mmxMulGolden() {
    return exactly({1, 100'000'000, block({0x0F, 0xD5, 0xC1}, 16, kEmms)});
}

CORVANE_SSE_KERNEL(sseAdd, "addss", 32, 20'000'000, 640'000)
Golden sseAddGolden() {
    return exactly(
        {floatCountBits(1 + 32 * 20'000'000LL), 20'000'000, block({0xF3, 0x0F, 0x58, 0xC1}, 32)});
}

CORVANE_SSE_KERNEL(sseSub, "subss", 32, 20'000'000, 640'000)
Golden sseSubGolden() {
    return exactly(
        {floatCountBits(1 - 32 * 20'000'000LL), 20'000'000, block({0xF3, 0x0F, 0x5C, 0xC1}, 32)});
}

CORVANE_SSE_KERNEL(sseMul, "mulss", 32, 20'000'000, 640'000)
Golden sseMulGolden() {
    return exactly(
        {std::bit_cast<std::uint32_t>(1.0f), 20'000'000, block({0xF3, 0x0F, 0x59, 0xC1}, 32)});
}

CORVANE_SSE_KERNEL(sseDiv, "divss", 32, 10'000'000, 320'000)
Golden sseDivGolden() {
    return exactly(
        {std::bit_cast<std::uint32_t>(1.0f), 10'000'000, block({0xF3, 0x0F, 0x5E, 0xC1}, 32)});
}

}  // namespace bench
