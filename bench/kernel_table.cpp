// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/kernel_table.h"

#include "bench/alu_kernels.h"
#include "bench/fpu_kernels.h"
#include "bench/instr_kernels.h"

namespace bench {

const std::array<KernelRow, kRowCount>& kernelTable() {
    static const std::array<KernelRow, kRowCount> table{{
        {1, Group::Alu, 1, "Fibonachi digit's........", "Label13", "Label28", fibonacciDigits,
         Guard::None, kFibonacciTailFactor, fibonacciDigitsGolden},
        {2, Group::Alu, 2, "Calcul factorial.........", "Label14", "Label29", calculFactorial,
         Guard::None, kCalculFactorialTailFactor, calculFactorialGolden},
        {3, Group::Alu, 3, "Formula Ferma.........", "Label15", "Label30", formulaFerma,
         Guard::None, kFermaTailFactor, formulaFermaGolden},
        {4, Group::Alu, 4, "Brute force.............", "Label16", "Label31", bruteForce,
         Guard::None, 0, bruteForceGolden},
        {5, Group::Alu, 5, "Addition matrix........", "Label17", "Label32", additionMatrix,
         Guard::None, kAdditionMatrixTailFactor, additionMatrixGolden},
        {6, Group::Alu, 6, "Multiplication matrix...", "Label18", "Label33", multiplicationMatrix,
         Guard::None, kMultiplicationMatrixTailFactor, multiplicationMatrixGolden},
        {7, Group::Alu, 7, "Quick sort..............", "Label19", "Label34", quickSort, Guard::None,
         0, quickSortGolden},
        {8, Group::Fpu, 1, "Hyperbolic cosecant...", "Label20", "Label35", hyperbolicCosecant,
         Guard::None, kCosecantTailFactor, hyperbolicCosecantGolden},
        {9, Group::Fpu, 2, "Hyperbolic tangent....", "Label21", "Label36", hyperbolicTangent,
         Guard::None, kTangentTailFactor, hyperbolicTangentGolden},
        {10, Group::Fpu, 3, "Hypotenuse............", "Label22", "Label37", hypotenuse, Guard::None,
         kHypotenuseTailFactor, hypotenuseGolden},
        {11, Group::Fpu, 4, "Digit Pi..................", "Label23", "Label38", digitPi,
         Guard::None, kDigitPiTailFactor, digitPiGolden},
        {12, Group::Fpu, 5, "Factorial................", "Label24", "Label39", factorial,
         Guard::None, kFactorialTailFactor, factorialGolden},
        {13, Group::Fpu, 6, "3D objects..............", "Label25", "Label40", objects3D,
         Guard::None, kObjects3DTailFactor, objects3DGolden},
        {14, Group::Fpu, 7, "Precatching............", "Label90", "Label91", precatching,
         Guard::None, 0, precatchingGolden},
        {15, Group::Instr, 1, "Addition...........", "Label41", "Label56", instrAddition,
         Guard::None, 0, instrAdditionGolden},
        {16, Group::Instr, 2, "Substraction......", "Label42", "Label57", instrSubstraction,
         Guard::None, 0, instrSubstractionGolden},
        {17, Group::Instr, 3, "Multiplication......", "Label43", "Label58", instrMultiplication,
         Guard::None, 0, instrMultiplicationGolden},
        {18, Group::Instr, 4, "Division............", "Label44", "Label59", instrDivision,
         Guard::None, 0, instrDivisionGolden},
        {19, Group::Instr, 5, "FPU Add..........", "Label45", "Label60", fpuAdd, Guard::None, 0,
         fpuAddGolden},
        {20, Group::Instr, 6, "FPU Sub..........", "Label46", "Label61", fpuSub, Guard::None, 0,
         fpuSubGolden},
        {21, Group::Instr, 7, "FPU Mul...........", "Label47", "Label62", fpuMul, Guard::None, 0,
         fpuMulGolden},
        {22, Group::Instr, 8, "FPU Div...........", "Label48", "Label63", fpuDiv, Guard::None, 0,
         fpuDivGolden},
        {23, Group::Instr, 9, "MMX Add..........", "Label49", "Label64", mmxAdd, Guard::Mmx, 0,
         mmxAddGolden},
        {24, Group::Instr, 10, "MMX Sub..........", "Label50", "Label65", mmxSub, Guard::Mmx, 0,
         mmxSubGolden},
        {25, Group::Instr, 11, "MMX Mul...........", "Label51", "Label66", mmxMul, Guard::Mmx, 0,
         mmxMulGolden},
        {26, Group::Instr, 12, "SSE Add..........", "Label52", "Label67", sseAdd, Guard::Sse, 0,
         sseAddGolden},
        {27, Group::Instr, 13, "SSE Sub..........", "Label53", "Label68", sseSub, Guard::Sse, 0,
         sseSubGolden},
        {28, Group::Instr, 14, "SSE Mul...........", "Label54", "Label69", sseMul, Guard::Sse, 0,
         sseMulGolden},
        {29, Group::Instr, 15, "SSE Div...........", "Label55", "Label70", sseDiv, Guard::Sse, 0,
         sseDivGolden},
    }};
    return table;
}

std::string_view groupName(Group group) {
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

std::string plainCaption(std::string_view caption) {
    while (!caption.empty() && (caption.back() == '.' || caption.back() == ' '))
        caption.remove_suffix(1);
    return std::string(caption);
}

}  // namespace bench
