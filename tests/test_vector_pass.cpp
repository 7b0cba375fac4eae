// SPDX-License-Identifier: GPL-3.0-or-later
// The vector workload: which unit CPUID and XGETBV allow, a sound pass on every unit this
// machine has, and a wrong lane found with its block, lane and values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "diag/vector_pass.h"

namespace {

using diag::VectorUnit;

std::vector<VectorUnit> unitsHere() {
    std::vector<VectorUnit> units;
    for (const VectorUnit unit : {VectorUnit::Avx2Fma, VectorUnit::Avx512})
        if (diag::vectorPassRoutine(unit)) units.push_back(unit);
    return units;
}

TEST(VectorUnit, TheProcessorMustHaveTheInstructionsAndTheSystemMustSaveTheRegisters) {
    constexpr std::uint32_t fmaOsxsaveAvx = (1u << 12) | (1u << 27) | (1u << 28);
    constexpr std::uint32_t avx2 = 1u << 5, avx512f = 1u << 16;
    struct Case {
        diag::VectorFeatures features;
        VectorUnit unit;
    };
    const Case cases[] = {
        {{fmaOsxsaveAvx, avx2 | avx512f, 0xe7}, VectorUnit::Avx512},
        {{fmaOsxsaveAvx, avx2 | avx512f, 0x07}, VectorUnit::Avx2Fma},  // no ZMM state saved
        {{fmaOsxsaveAvx, avx2, 0xe7}, VectorUnit::Avx2Fma},
        {{fmaOsxsaveAvx, avx512f, 0xe7}, VectorUnit::None},  // AVX-512 only beside AVX2
        {{fmaOsxsaveAvx & ~(1u << 12), avx2 | avx512f, 0xe7}, VectorUnit::None},  // no FMA
        {{fmaOsxsaveAvx, avx2, 0x03}, VectorUnit::None},  // the system saves no YMM state
        {{fmaOsxsaveAvx & ~(1u << 27), avx2, 0}, VectorUnit::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(diag::widestVectorUnit(c.features), c.unit)
            << std::hex << c.features.leaf1Ecx << " " << c.features.leaf7Ebx << " "
            << c.features.xcr0;
    EXPECT_FALSE(diag::vectorPassRoutine(VectorUnit::None));
    if (diag::widestVectorUnit() != VectorUnit::Avx512) {
        EXPECT_FALSE(diag::vectorPassRoutine(VectorUnit::Avx512));
    }
}

TEST(VectorPass, SoundPassIsRightOnEveryUnitOfThisMachine) {
    if (unitsHere().empty()) GTEST_SKIP() << "no vector unit";
    for (const VectorUnit unit : unitsHere()) {
        const diag::PassOutcome outcome = (*diag::vectorPassRoutine(unit, 20))();
        EXPECT_TRUE(outcome.right) << static_cast<int>(unit);
        EXPECT_FALSE(outcome.first);
    }
}

// Every lane is checked, the last of the widest register too, and a NaN is wrong as well.
TEST(VectorPass, WrongLaneIsFoundWithItsBlockAndValues) {
    if (unitsHere().empty()) GTEST_SKIP() << "no vector unit";
    for (const VectorUnit unit : unitsHere()) {
        const int lanes = diag::vectorLanes(unit);
        for (const int lane : {0, 5, lanes - 1}) {
            for (const bool nan : {false, true}) {
                SCOPED_TRACE(testing::Message() << static_cast<int>(unit) << " lane " << lane);
                double sound = -1.0;
                const auto corrupt = [&](std::int64_t block, std::span<double> values) {
                    if (block < 3 || block > 4) return;
                    const auto l = static_cast<std::size_t>(lane);
                    if (block == 3) sound = values[l];
                    values[l] = nan ? std::numeric_limits<double>::quiet_NaN() : values[l] + 1;
                };
                const auto outcome = (*diag::vectorPassRoutine(unit, 8, corrupt))();
                EXPECT_FALSE(outcome.right);
                ASSERT_TRUE(outcome.first);
                EXPECT_EQ(outcome.first->iteration, 3);
                EXPECT_EQ(outcome.first->value, diag::CheckedValue::LaneEnd);
                EXPECT_EQ(outcome.first->lane, lane);
                EXPECT_EQ(outcome.first->expected, sound);
                EXPECT_EQ(std::isnan(outcome.first->got), nan);
                if (!nan) {
                    EXPECT_EQ(outcome.first->got, sound + 1);
                }
            }
        }
    }
}

}  // namespace
