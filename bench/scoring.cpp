// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/scoring.h"

#include <stdexcept>

#include "platform/rounding.h"

namespace bench {
namespace {

// The weights and the INSTR factor are extended values, so the products round as the
// published scores were computed, not in double.
constexpr long double kInstrFactor = 5.11945L;
constexpr long double kAluWeight = 0.3L;
constexpr long double kFpuWeight = 0.55L;
constexpr long double kInstrWeight = 0.15L;

// Sums as 32-bit integers that wrap, without the undefined behaviour of a signed overflow.
template <std::size_t N>
std::int32_t wrappingSum(const std::array<std::int32_t, N>& entries, std::size_t first,
                         std::size_t last) {
    std::uint32_t sum = 0;
    for (std::size_t i = first; i <= last; ++i) sum += static_cast<std::uint32_t>(entries[i]);
    return static_cast<std::int32_t>(sum);
}

}  // namespace

std::int32_t perMs(std::int32_t numerator, std::int32_t elapsedMs) {
    if (elapsedMs == 0) return 0;
    return numerator / elapsedMs;
}

std::int32_t rowResult(Group group, std::int32_t returned) {
    return group == Group::Instr ? returned : perMs(kRowScoreNumerator, returned);
}

std::int32_t& ScoreArrays::entry(Group group, int index) {
    const auto at = static_cast<std::size_t>(index);
    switch (group) {
        case Group::Alu:
            return alu.at(at);
        case Group::Fpu:
            return fpu.at(at);
        case Group::Instr:
            return instr.at(at);
    }
    throw std::out_of_range("unknown benchmark group");
}

std::int32_t ScoreArrays::entry(Group group, int index) const {
    return const_cast<ScoreArrays*>(this)->entry(group, index);
}

std::int32_t aluFpuGroupScore(const std::array<std::int32_t, 8>& entries) {
    return wrappingSum(entries, 1, 7) / 7;
}

std::int32_t instrGroupScore(const std::array<std::int32_t, 16>& entries) {
    const std::int32_t quotient = wrappingSum(entries, 3, 15) / 13;
    return static_cast<std::int32_t>(
        platform::roundHalfEven(static_cast<long double>(quotient) * kInstrFactor));
}

std::int64_t cpuScore(std::int32_t alu, std::int32_t fpu, std::int32_t instr) {
    const long double aluAndFpu =
        static_cast<long double>(alu) * kAluWeight + static_cast<long double>(fpu) * kFpuWeight;
    return platform::roundHalfEven(aluAndFpu + static_cast<long double>(instr) * kInstrWeight);
}

std::int32_t Scoreboard::recordRow(const RowPlace& place, std::int32_t returned) {
    const std::int32_t result = rowResult(place.group, returned);
    scores_.entry(place.group, place.index) = result;
    return result;
}

std::int32_t Scoreboard::completeGroup(Group group) {
    std::int32_t score = 0;
    switch (group) {
        case Group::Alu:
            score = scores_.alu[0] = aluFpuGroupScore(scores_.alu);
            break;
        case Group::Fpu:
            score = scores_.fpu[0] = aluFpuGroupScore(scores_.fpu);
            break;
        case Group::Instr:
            score = scores_.instr[0] = instrGroupScore(scores_.instr);
            break;
    }
    return score;
}

std::int64_t Scoreboard::completeRun() {
    cpuScore_ = bench::cpuScore(scores_.alu[0], scores_.fpu[0], scores_.instr[0]);
    return cpuScore_;
}

}  // namespace bench
