// SPDX-License-Identifier: GPL-3.0-or-later
// The instruction throughput kernels. Each times a long loop whose body is one instruction
// written out k times as a single dependent chain through an accumulator, and returns
// k x n / 1000 divided by the elapsed ms: millions of instructions per second.
//
// Every block is one asm statement: the compiler can neither fold, vectorise, reorder nor
// drop it, and the loop control is ours, so exactly k x n block instructions run. The
// "memory" clobber keeps each statement between its two tick readings. Each kernel is
// written as (k, n, N) and checks at compile time that N = k x n / 1000.

#include "bench/instr_kernels.h"

#include "bench/asm_repeat.h"
#include "bench/barriers.h"
#include "bench/scoring.h"
#include "platform/ticks.h"

namespace bench {
namespace {

// The 32-bit integer family: accumulator and operand both start at 1.
#define CORVANE_INTEGER_KERNEL(name, instruction, k, n, N)                                 \
    std::int32_t name() {                                                                  \
        std::int32_t one = 1;                                                              \
        const std::uint32_t start = startTiming();                                         \
        std::int32_t accumulator, operand;                                                 \
        std::uint32_t counter;                                                             \
        asm volatile(                                                                    \
            "movl %[one], %[acc]\n\t"                                                    \
            "movl %[one], %[op]\n\t"                                                     \
            "movl %[iterations], %[counter]\n\t"                                         \
            ".p2align 4\n"                                                               \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %[op], %[acc]\n\t")             \
            "decl %[counter]\n\t"                                                        \
            "jnz 1b\n\t"                                                                 \
            : [acc] "=&r"(accumulator), [op] "=&r"(operand), [counter] "=&r"(counter)    \
            : [one] "rm"(one), [iterations] "i"(n)                                       \
            : "cc", "memory"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                      \
        return perMs(N, stopTiming(start));                                                \
    }

// The x87 family. FINIT and both loads are part of the timed section; the two values are
// popped before the closing tick reading, because the calling convention wants the x87
// stack empty at every call. The control word is left at the FINIT default, all exceptions
// masked: the rest of the benchmark run computes under it, as it would after these
// instructions anywhere, and no displayed figure depends on it.
#define CORVANE_X87_KERNEL(name, load, OperandType, value, instruction, k, n, N)           \
    std::int32_t name() {                                                                  \
        OperandType operandValue = value;                                                  \
        const std::uint32_t start = startTiming();                                         \
        std::uint32_t counter;                                                             \
        asm volatile(                                                                    \
            "movl %[iterations], %[counter]\n\t"                                         \
            "finit\n\t" load " %[x]\n\t" load " %[x]\n\t"                                \
            ".p2align 4\n"                                                               \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %%st(1), %%st\n\t")             \
            "decl %[counter]\n\t"                                                        \
            "jnz 1b\n\t"                                                                 \
            "fstp %%st(0)\n\t"                                                           \
            "fstp %%st(0)\n\t"                                                           \
            : [counter] "=&r"(counter)                                                   \
            : [x] "m"(operandValue), [iterations] "i"(n)                                 \
            : "cc", "memory", "st", "st(1)"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                      \
        return perMs(N, stopTiming(start));                                                \
    }

// The MMX family: both registers hold the 16-bit lanes 1, 0, 0, 0; every block ends with
// EMMS, so the x87 stack is empty again when the kernel returns.
#define CORVANE_MMX_KERNEL(name, instruction, k, n, N)                                     \
    std::int32_t name() {                                                                  \
        std::int32_t one = 1;                                                              \
        const std::uint32_t start = startTiming();                                         \
        std::uint32_t counter;                                                             \
        asm volatile(                                                                    \
            "movd %[one], %%mm0\n\t"                                                     \
            "movd %[one], %%mm1\n\t"                                                     \
            "movl %[iterations], %[counter]\n\t"                                         \
            ".p2align 4\n"                                                               \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %%mm1, %%mm0\n\t")              \
            "emms\n\t"                                                                   \
            "decl %[counter]\n\t"                                                        \
            "jnz 1b\n\t"                                                                 \
            : [counter] "=&r"(counter)                                                   \
            : [one] "rm"(one), [iterations] "i"(n)                                       \
            : "cc", "memory", "mm0", "mm1"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                      \
        return perMs(N, stopTiming(start));                                                \
    }

// The SSE family: the lowest single-precision lanes of both registers start at 1.0.
#define CORVANE_SSE_KERNEL(name, instruction, k, n, N)                                     \
    std::int32_t name() {                                                                  \
        std::int32_t one = 1;                                                              \
        const std::uint32_t start = startTiming();                                         \
        float accumulator, operand;                                                        \
        std::uint32_t counter;                                                             \
        asm volatile(                                                                    \
            "movl %[iterations], %[counter]\n\t"                                         \
            "cvtsi2ssl %[one], %[acc]\n\t"                                               \
            "cvtsi2ssl %[one], %[op]\n\t"                                                \
            ".p2align 4\n"                                                               \
            "1:\n\t" CORVANE_ASM_REPEAT(k, instruction " %[op], %[acc]\n\t")             \
            "decl %[counter]\n\t"                                                        \
            "jnz 1b\n\t"                                                                 \
            : [acc] "=&x"(accumulator), [op] "=&x"(operand), [counter] "=&r"(counter)    \
            : [one] "rm"(one), [iterations] "i"(n)                                       \
            : "cc", "memory"); \
        static_assert((N) == (k) * static_cast<long long>(n) / 1000);                      \
        return perMs(N, stopTiming(start));                                                \
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
std::int32_t instrDivision() {
    constexpr std::uint32_t kIterations = 400'000'000;
    const std::uint32_t start = startTiming();
    std::uint32_t accumulator, counter;
    asm volatile(
        "movl %[iterations], %[counter]\n\t"
        "movl %[counter], %[acc]\n\t"
        ".p2align 4\n"
        "1:\n\t" CORVANE_ASM_REPEAT(32, "notl %[acc]\n\t")
        "decl %[counter]\n\t"
        "jnz 1b\n\t"
        : [acc] "=&r"(accumulator), [counter] "=&r"(counter)
        : [iterations] "i"(kIterations)
        : "cc", "memory");
    return perMs(static_cast<std::int32_t>(kIterations / 1000), stopTiming(start));
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
