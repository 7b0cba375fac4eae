// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/kernel_table.h"

#include "bench/alu_kernels.h"
#include "bench/fpu_kernels.h"
#include "bench/instr_kernels.h"

namespace bench {

const std::array<KernelRow, kRowCount>& kernelTable() {
    static const std::array<KernelRow, kRowCount> table{{
        {1, Group::Alu, 1, fibonacciDigits, Guard::None, kFibonacciTailFactor,
         fibonacciDigitsGolden},
        {2, Group::Alu, 2, calculFactorial, Guard::None, kCalculFactorialTailFactor,
         calculFactorialGolden},
        {3, Group::Alu, 3, formulaFerma, Guard::None, kFermaTailFactor, formulaFermaGolden},
        {4, Group::Alu, 4, bruteForce, Guard::None, 0, bruteForceGolden},
        {5, Group::Alu, 5, additionMatrix, Guard::None, kAdditionMatrixTailFactor,
         additionMatrixGolden},
        {6, Group::Alu, 6, multiplicationMatrix, Guard::None, kMultiplicationMatrixTailFactor,
         multiplicationMatrixGolden},
        {7, Group::Alu, 7, quickSort, Guard::None, 0, quickSortGolden},
        {8, Group::Fpu, 1, hyperbolicCosecant, Guard::None, kCosecantTailFactor,
         hyperbolicCosecantGolden},
        {9, Group::Fpu, 2, hyperbolicTangent, Guard::None, kTangentTailFactor,
         hyperbolicTangentGolden},
        {10, Group::Fpu, 3, hypotenuse, Guard::None, kHypotenuseTailFactor, hypotenuseGolden},
        {11, Group::Fpu, 4, digitPi, Guard::None, kDigitPiTailFactor, digitPiGolden},
        {12, Group::Fpu, 5, factorial, Guard::None, kFactorialTailFactor, factorialGolden},
        {13, Group::Fpu, 6, objects3D, Guard::None, kObjects3DTailFactor, objects3DGolden},
        {14, Group::Fpu, 7, precatching, Guard::None, 0, precatchingGolden},
        {15, Group::Instr, 1, instrAddition, Guard::None, 0, instrAdditionGolden},
        {16, Group::Instr, 2, instrSubstraction, Guard::None, 0, instrSubstractionGolden},
        {17, Group::Instr, 3, instrMultiplication, Guard::None, 0, instrMultiplicationGolden},
        {18, Group::Instr, 4, instrDivision, Guard::None, 0, instrDivisionGolden},
        {19, Group::Instr, 5, fpuAdd, Guard::None, 0, fpuAddGolden},
        {20, Group::Instr, 6, fpuSub, Guard::None, 0, fpuSubGolden},
        {21, Group::Instr, 7, fpuMul, Guard::None, 0, fpuMulGolden},
        {22, Group::Instr, 8, fpuDiv, Guard::None, 0, fpuDivGolden},
        {23, Group::Instr, 9, mmxAdd, Guard::Mmx, 0, mmxAddGolden},
        {24, Group::Instr, 10, mmxSub, Guard::Mmx, 0, mmxSubGolden},
        {25, Group::Instr, 11, mmxMul, Guard::Mmx, 0, mmxMulGolden},
        {26, Group::Instr, 12, sseAdd, Guard::Sse, 0, sseAddGolden},
        {27, Group::Instr, 13, sseSub, Guard::Sse, 0, sseSubGolden},
        {28, Group::Instr, 14, sseMul, Guard::Sse, 0, sseMulGolden},
        {29, Group::Instr, 15, sseDiv, Guard::Sse, 0, sseDivGolden},
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

}  // namespace bench
