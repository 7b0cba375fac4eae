// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes one line of assembler text out k times at compile time, so an unrolled block is k
// separate instructions in the object code with no loop of its own, and its k appears once
// in the source instead of being counted by hand.
//
//   asm volatile("1:\n\t" CORVANE_ASM_REPEAT(64, "addl %1, %0\n\t") "decl %2\n\tjnz 1b" ...);
//
// The result is a string literal: GCC takes nothing else as an asm template.

#define CORVANE_ASM_REPEAT_1(text) text
#define CORVANE_ASM_REPEAT_2(text) CORVANE_ASM_REPEAT_1(text) CORVANE_ASM_REPEAT_1(text)
#define CORVANE_ASM_REPEAT_4(text) CORVANE_ASM_REPEAT_2(text) CORVANE_ASM_REPEAT_2(text)
#define CORVANE_ASM_REPEAT_8(text) CORVANE_ASM_REPEAT_4(text) CORVANE_ASM_REPEAT_4(text)
#define CORVANE_ASM_REPEAT_16(text) CORVANE_ASM_REPEAT_8(text) CORVANE_ASM_REPEAT_8(text)
#define CORVANE_ASM_REPEAT_32(text) CORVANE_ASM_REPEAT_16(text) CORVANE_ASM_REPEAT_16(text)
#define CORVANE_ASM_REPEAT_64(text) CORVANE_ASM_REPEAT_32(text) CORVANE_ASM_REPEAT_32(text)
#define CORVANE_ASM_REPEAT_80(text) CORVANE_ASM_REPEAT_64(text) CORVANE_ASM_REPEAT_16(text)

// k must be one of the counts above; any other is a compile error.
#define CORVANE_ASM_REPEAT(k, text) CORVANE_ASM_REPEAT_##k(text)
