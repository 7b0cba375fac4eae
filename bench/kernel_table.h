// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 29 rows of the CPU benchmark in calling order, each declared once: the window, the
// report and the headless runners all walk this table. A row's number and its entry in its
// group's score array follow from its place here (placeOf), so moving, adding or removing a
// row is one edit. What a row computes and checks is its family's kernel source.

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "bench/alu_kernels.h"
#include "bench/fpu_kernels.h"
#include "bench/instr_kernels.h"
#include "bench/kernel.h"

namespace bench {

// clang-format off
inline constexpr std::array<KernelRow, 29> kKernelTable{{
    // group, caption key, kernel, guard, sweep tail factor (0: none), golden check
    {Group::Alu,   "fibonacci_digits",      fibonacciDigits,      Guard::None, 32, fibonacciDigitsGolden},
    {Group::Alu,   "calcul_factorial",      calculFactorial,      Guard::None, 48, calculFactorialGolden},
    {Group::Alu,   "formula_ferma",         formulaFerma,         Guard::None, 52, formulaFermaGolden},
    {Group::Alu,   "brute_force",           bruteForce,           Guard::None, 0,  bruteForceGolden},
    {Group::Alu,   "addition_matrix",       additionMatrix,       Guard::None, 52, additionMatrixGolden},
    {Group::Alu,   "multiplication_matrix", multiplicationMatrix, Guard::None, 32, multiplicationMatrixGolden},
    {Group::Alu,   "quick_sort",            quickSort,            Guard::None, 0,  quickSortGolden},
    {Group::Fpu,   "hyperbolic_cosecant",   hyperbolicCosecant,   Guard::None, 42, hyperbolicCosecantGolden},
    {Group::Fpu,   "hyperbolic_tangent",    hyperbolicTangent,    Guard::None, 42, hyperbolicTangentGolden},
    {Group::Fpu,   "hypotenuse",            hypotenuse,           Guard::None, 42, hypotenuseGolden},
    {Group::Fpu,   "digit_pi",              digitPi,              Guard::None, 22, digitPiGolden},
    {Group::Fpu,   "factorial",             factorial,            Guard::None, 32, factorialGolden},
    {Group::Fpu,   "objects_3d",            objects3D,            Guard::None, 62, objects3DGolden},
    {Group::Fpu,   "precatching",           precatching,          Guard::None, 0,  precatchingGolden},
    {Group::Instr, "addition",              instrAddition,        Guard::None, 0,  instrAdditionGolden},
    {Group::Instr, "substraction",          instrSubstraction,    Guard::None, 0,  instrSubstractionGolden},
    {Group::Instr, "multiplication",        instrMultiplication,  Guard::None, 0,  instrMultiplicationGolden},
    {Group::Instr, "division",              instrDivision,        Guard::None, 0,  instrDivisionGolden},
    {Group::Instr, "fpu_add",               fpuAdd,               Guard::None, 0,  fpuAddGolden},
    {Group::Instr, "fpu_sub",               fpuSub,               Guard::None, 0,  fpuSubGolden},
    {Group::Instr, "fpu_mul",               fpuMul,               Guard::None, 0,  fpuMulGolden},
    {Group::Instr, "fpu_div",               fpuDiv,               Guard::None, 0,  fpuDivGolden},
    {Group::Instr, "mmx_add",               mmxAdd,               Guard::Mmx,  0,  mmxAddGolden},
    {Group::Instr, "mmx_sub",               mmxSub,               Guard::Mmx,  0,  mmxSubGolden},
    {Group::Instr, "mmx_mul",               mmxMul,               Guard::Mmx,  0,  mmxMulGolden},
    {Group::Instr, "sse_add",               sseAdd,               Guard::Sse,  0,  sseAddGolden},
    {Group::Instr, "sse_sub",               sseSub,               Guard::Sse,  0,  sseSubGolden},
    {Group::Instr, "sse_mul",               sseMul,               Guard::Sse,  0,  sseMulGolden},
    {Group::Instr, "sse_div",               sseDiv,               Guard::Sse,  0,  sseDivGolden},
}};
// clang-format on

inline constexpr int kRowCount = static_cast<int>(kKernelTable.size());

// The revision of the rows' work. Raise it with every change to what any kernel computes,
// how long it runs or how its return value is scored: saved results of another revision
// are not comparable row by row. 1: the first that results record. 2: eight kernels count
// their turns beside their work, and every kernel loop starts on a 64-byte line of code
// (Quick sort went from about 630 to 400 ms).
inline constexpr int kBenchRevision = 2;

// Where the row at `position` (0-based) of `rows` stands: its number, 1 to rows.size(), and
// its entry in its group's score array, 1 for the first row of its group.
struct RowPlace {
    int row = 0;
    Group group = Group::Alu;
    int index = 0;
    friend bool operator==(const RowPlace&, const RowPlace&) = default;
};

constexpr RowPlace placeOf(std::span<const KernelRow> rows, std::size_t position) {
    int index = 1;
    for (std::size_t k = 0; k < position; ++k) index += rows[k].group == rows[position].group;
    return {static_cast<int>(position) + 1, rows[position].group, index};
}

// "ALU", "FPU", "INSTR": the group as saved results name it.
constexpr std::string_view groupName(Group group) {
    switch (group) {
        case Group::Alu:
            return "ALU";
        case Group::Fpu:
            return "FPU";
        case Group::Instr:
            return "INSTR";
    }
    return "";
}

}  // namespace bench
