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
// The proof of the work comes out of the same statement: the accumulator's end value, and
// the count the countdown started from (copied once, before the loop), since the end value
// of a multiplication by 1, or of a float sum past 2^24, no longer shows how many turns ran.
// The closing tick is read before the outcome is built: GCC clears a braced return value
// whole before it evaluates the first member.

#include "bench/instr_kernels.h"

#include <bit>

#include "bench/asm_repeat.h"
#include "bench/barriers.h"
#include "bench/scoring.h"
#include "platform/ticks.h"

namespace bench {
namespace {

// The 32-bit integer family: accumulator and operand both start at 1.
#define CORVANE_INTEGER_KERNEL(name, instruction, k, n, N)                                   \
    KernelOutcome name() {                                                                   \
        std::int32_t one = 1;                                                                \
        const std::uint32_t start = startTiming();                                           \
        std::uint32_t accumulator, operand, counter, turns;                                  \
        asm volatile(                                                                      \
            "movl %[one], %[acc]\n\t"                                                      \
            "movl %[one], %[op]\n\t"                                                       \
            "movl %[iterations], %[counter]\n\t"                                           \
            "movl %[counter], %[turns]\n\t"                                                \
            ".p2align 4\n"                                                                 \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %[op], %[acc]\n\t")               \
            "decl %[counter]\n\t"                                                          \
            "jnz 1b\n\t"                                                                   \
            : [acc] "=&r"(accumulator), [op] "=&r"(operand), [counter] "=&r"(counter),     \
              [turns] "=&r"(turns)                                                         \
            : [one] "rm"(one), [iterations] "i"(n)                                         \
            : "cc", "memory"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                        \
        const std::int32_t elapsed = stopTiming(start);                                      \
        return {perMs(N, elapsed), {{accumulator, turns}}};                                  \
    }

// The x87 family. FINIT and both loads are part of the timed section; the accumulator is
// stored and both values popped before the closing tick reading, because the calling
// convention wants the x87 stack empty at every call. The control word is left at the FINIT
// default, all exceptions masked: the rest of the benchmark run computes under it, as it
// would after these instructions anywhere, and no displayed figure depends on it.
#define CORVANE_X87_KERNEL(name, load, OperandType, value, instruction, k, n, N)             \
    KernelOutcome name() {                                                                   \
        OperandType operandValue = value;                                                    \
        const std::uint32_t start = startTiming();                                           \
        std::uint32_t counter, turns;                                                        \
        long double accumulator;                                                             \
        asm volatile(                                                                      \
            "movl %[iterations], %[counter]\n\t"                                           \
            "movl %[counter], %[turns]\n\t"                                                \
            "finit\n\t" load " %[x]\n\t" load " %[x]\n\t"                                  \
            ".p2align 4\n"                                                                 \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %%st(1), %%st\n\t")               \
            "decl %[counter]\n\t"                                                          \
            "jnz 1b\n\t"                                                                   \
            "fstpt %[acc]\n\t"                                                             \
            "fstp %%st(0)\n\t"                                                             \
            : [counter] "=&r"(counter), [turns] "=&r"(turns), [acc] "=m"(accumulator)      \
            : [x] "m"(operandValue), [iterations] "i"(n)                                   \
            : "cc", "memory", "st", "st(1)"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                        \
        const std::int32_t elapsed = stopTiming(start);                                      \
        return {perMs(N, elapsed), {{turns}, {accumulator}}};                                \
    }

// The MMX family: both registers hold the 16-bit lanes 1, 0, 0, 0; every block ends with
// EMMS, so the x87 stack is empty again when the kernel returns. Reading the accumulator
// after the loop takes one more EMMS.
#define CORVANE_MMX_KERNEL(name, instruction, k, n, N)                                       \
    KernelOutcome name() {                                                                   \
        std::int32_t one = 1;                                                                \
        const std::uint32_t start = startTiming();                                           \
        std::uint32_t counter, turns;                                                        \
        std::uint64_t lanes;                                                                 \
        asm volatile(                                                                      \
            "movd %[one], %%mm0\n\t"                                                       \
            "movd %[one], %%mm1\n\t"                                                       \
            "movl %[iterations], %[counter]\n\t"                                           \
            "movl %[counter], %[turns]\n\t"                                                \
            ".p2align 4\n"                                                                 \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %%mm1, %%mm0\n\t")                \
            "emms\n\t"                                                                     \
            "decl %[counter]\n\t"                                                          \
            "jnz 1b\n\t"                                                                   \
            "movq %%mm0, %[lanes]\n\t"                                                     \
            "emms\n\t"                                                                     \
            : [counter] "=&r"(counter), [turns] "=&r"(turns), [lanes] "=&r"(lanes)         \
            : [one] "rm"(one), [iterations] "i"(n)                                         \
            : "cc", "memory", "mm0", "mm1"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                        \
        const std::int32_t elapsed = stopTiming(start);                                      \
        return {perMs(N, elapsed), {{static_cast<std::int64_t>(lanes), turns}}};             \
    }

// The SSE family: the lowest single-precision lanes of both registers start at 1.0.
#define CORVANE_SSE_KERNEL(name, instruction, k, n, N)                                       \
    KernelOutcome name() {                                                                   \
        std::int32_t one = 1;                                                                \
        const std::uint32_t start = startTiming();                                           \
        float accumulator, operand;                                                          \
        std::uint32_t counter, turns;                                                        \
        asm volatile(                                                                      \
            "movl %[iterations], %[counter]\n\t"                                           \
            "movl %[counter], %[turns]\n\t"                                                \
            "cvtsi2ssl %[one], %[acc]\n\t"                                                 \
            "cvtsi2ssl %[one], %[op]\n\t"                                                  \
            ".p2align 4\n"                                                                 \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %[op], %[acc]\n\t")               \
            "decl %[counter]\n\t"                                                          \
            "jnz 1b\n\t"                                                                   \
            : [acc] "=&x"(accumulator), [op] "=&x"(operand), [counter] "=&r"(counter),     \
              [turns] "=&r"(turns)                                                         \
            : [one] "rm"(one), [iterations] "i"(n)                                         \
            : "cc", "memory"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                        \
        const std::int32_t elapsed = stopTiming(start);                                      \
        return {perMs(N, elapsed), {{std::bit_cast<std::uint32_t>(accumulator), turns}}};    \
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
    asm volatile(
        "movl %[iterations], %[counter]\n\t"
        "movl %[counter], %[turns]\n\t"
        "movl %[counter], %[acc]\n\t"
        ".p2align 4\n"
        "1:\n\t" CORVANE_ASM_REPEAT(32, "notl %[acc]\n\t")
        "decl %[counter]\n\t"
        "jnz 1b\n\t"
        : [acc] "=&r"(accumulator), [counter] "=&r"(counter), [turns] "=&r"(turns)
        : [iterations] "i"(kIterations)
        : "cc", "memory");
    const std::int32_t elapsed = stopTiming(start);
    return {perMs(static_cast<std::int32_t>(kIterations / 1000), elapsed), {{accumulator, turns}}};
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
