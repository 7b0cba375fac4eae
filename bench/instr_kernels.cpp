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

#include <cstddef>

#include "bench/asm_repeat.h"
#include "bench/barriers.h"
#include "bench/scoring.h"
#include "platform/ticks.h"

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
    KernelOutcome name() {                                                                      \
        std::int32_t one = 1;                                                                   \
        const std::uint32_t start = startTiming();                                              \
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
        const std::int32_t elapsed = stopTiming(start);                                         \
        return {perMs(N, elapsed), {{accumulator, turns, blockChecksum(first, end)}}};          \
    }

// The x87 family. FINIT and both loads are part of the timed section; the accumulator is
// stored and both values popped before the closing tick reading, because the calling
// convention wants the x87 stack empty at every call. The control word is left at the FINIT
// default, all exceptions masked: the rest of the benchmark run computes under it, as it
// would after these instructions anywhere, and no displayed figure depends on it.
#define CORVANE_X87_KERNEL(name, load, OperandType, value, instruction, k, n, N)                \
    KernelOutcome name() {                                                                      \
        OperandType operandValue = value;                                                       \
        const std::uint32_t start = startTiming();                                              \
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
        const std::int32_t elapsed = stopTiming(start);                                         \
        return {perMs(N, elapsed), {{turns, blockChecksum(first, end)}, {accumulator}}};        \
    }

// The MMX family: both registers hold the 16-bit lanes 1, 0, 0, 0; every block ends with
// EMMS, so the x87 stack is empty again when the kernel returns; the block's bytes take it
// in. Reading the accumulator after the loop takes one more EMMS.
#define CORVANE_MMX_KERNEL(name, instruction, k, n, N)                                   \
    KernelOutcome name() {                                                               \
        std::int32_t one = 1;                                                            \
        const std::uint32_t start = startTiming();                                       \
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
        const std::int32_t elapsed = stopTiming(start);                                  \
        return {perMs(N, elapsed),                                                       \
                {{static_cast<std::int64_t>(lanes), turns, blockChecksum(first, end)}}}; \
    }

// The SSE family: the lowest single-precision lanes of XMM0 (accumulator) and XMM1
// (operand) start at 1.0.
#define CORVANE_SSE_KERNEL(name, instruction, k, n, N)                                           \
    KernelOutcome name() {                                                                       \
        std::int32_t one = 1;                                                                    \
        const std::uint32_t start = startTiming();                                               \
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
        const std::int32_t elapsed = stopTiming(start);                                          \
        return {perMs(N, elapsed), {{bits, turns, blockChecksum(first, end)}}};                  \
    }

// The single-precision operand of FPU Mul and FPU Div: 1 + 2^-23, the float just above 1.
// Exactly 1.0 would keep every product and quotient at 1.0, an operand some dividers finish
// early on; 1.1 would carry FMUL's chain to infinity within about 120,000 steps and FDIV's
// into denormals, where the x87 unit slows down by orders of magnitude. Over the fixed
// chains (1.6e9 multiplications, 6.4e6 divisions per call) 1 + 2^-23 keeps the accumulator
// between 2^-2 and 2^276: finite and normal for the whole run.
constexpr float kX87MulDivOperand = 1.00000011920928955078125f;

}  // namespace

CORVANE_INTEGER_KERNEL(instrAddition, "addl", 64, 300'000'000, 19'200'000)
CORVANE_INTEGER_KERNEL(instrSubstraction, "subl", 64, 300'000'000, 19'200'000)
CORVANE_INTEGER_KERNEL(instrMultiplication, "imull", 64, 10'000'000, 640'000)

// Counts one operation per block of 32 NOTs, not 32: 400,000 / ms.
KernelOutcome instrDivision() {
    constexpr std::uint32_t kIterations = 400'000'000;
    const std::uint32_t start = startTiming();
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
    const std::int32_t elapsed = stopTiming(start);
    return {perMs(static_cast<std::int32_t>(kIterations / 1000), elapsed),
            {{accumulator, turns, blockChecksum(first, end)}}};
}

CORVANE_X87_KERNEL(fpuAdd, "fldl", double, 1.1, "fadd", 64, 30'000'000, 1'920'000)
CORVANE_X87_KERNEL(fpuSub, "fldl", double, 1.1, "fsub", 64, 30'000'000, 1'920'000)
CORVANE_X87_KERNEL(fpuMul, "flds", float, kX87MulDivOperand, "fmul", 80, 20'000'000, 1'600'000)
CORVANE_X87_KERNEL(fpuDiv, "flds", float, kX87MulDivOperand, "fdiv", 32, 200'000, 6'400)

CORVANE_MMX_KERNEL(mmxAdd, "paddw", 16, 100'000'000, 1'600'000)
CORVANE_MMX_KERNEL(mmxSub, "psubw", 16, 100'000'000, 1'600'000)
CORVANE_MMX_KERNEL(mmxMul, "pmullw", 16, 100'000'000, 1'600'000)

CORVANE_SSE_KERNEL(sseAdd, "addss", 32, 20'000'000, 640'000)
CORVANE_SSE_KERNEL(sseSub, "subss", 32, 20'000'000, 640'000)
CORVANE_SSE_KERNEL(sseMul, "mulss", 32, 20'000'000, 640'000)
CORVANE_SSE_KERNEL(sseDiv, "divss", 32, 10'000'000, 320'000)

}  // namespace bench
