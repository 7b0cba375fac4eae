// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/vector_pass.h"

#include <cpuid.h>
#include <immintrin.h>

#include <array>
#include <cstring>

namespace diag {
namespace {

constexpr std::uint32_t kFma = 1u << 12, kOsxsave = 1u << 27, kAvx = 1u << 28;  // CPUID 1 ECX
constexpr std::uint32_t kAvx2 = 1u << 5, kAvx512f = 1u << 16;                   // CPUID 7 EBX
// XCR0: SSE and AVX state; AVX-512 adds the mask registers and both halves of the ZMM file.
constexpr std::uint64_t kYmmState = 0x6, kZmmState = 0xe6;

constexpr int kMaxLanes = 128;
constexpr int kModulusBits = 26;
// A = 1 (mod 4) and an odd C: every lane's sequence runs through all 2^26 values before it
// repeats, so no lane settles into a short cycle.
constexpr std::uint64_t kMultiplier = 0x2f5a3c5, kIncrement = 0x1d2b3c7;
constexpr std::uint64_t kModulus = std::uint64_t{1} << kModulusBits;
static_assert((kModulus - 1) * kMultiplier + kIncrement < (std::uint64_t{1} << 53),
              "every step must stay exact in a double");

// The lanes' start values, spread over the whole range.
constexpr std::array<double, kMaxLanes> startValues() {
    std::array<double, kMaxLanes> values{};
    std::uint64_t s = 0x9e3779b97f4a7c15;
    for (auto& v : values) {
        s = s * 6364136223846793005u + 1442695040888963407u;
        v = static_cast<double>(s >> (64 - kModulusBits));
    }
    return values;
}

// Every lane's value after a block, from integer arithmetic at compile time: none of it
// comes from the processor under test.
constexpr std::array<double, kMaxLanes> blockEndValues() {
    std::array<double, kMaxLanes> values = startValues();
    for (auto& v : values) {
        auto x = static_cast<std::uint64_t>(v);
        for (int step = 0; step < kVectorStepsPerBlock; ++step)
            x = (kMultiplier * x + kIncrement) & (kModulus - 1);
        v = static_cast<double>(x);
    }
    return values;
}

constexpr std::array<double, kMaxLanes> kStart = startValues();
constexpr std::array<double, kMaxLanes> kEnd = blockEndValues();

// The step's four constants, as the block routines load them.
struct Constants {
    double multiplier = static_cast<double>(kMultiplier);
    double increment = static_cast<double>(kIncrement);
    double inverseModulus = 1.0 / static_cast<double>(kModulus);
    double modulus = static_cast<double>(kModulus);
};

// Keeps a vector in a register the compiler knows nothing about, so that a block is
// neither computed at compile time nor merged with the next one, which starts from the same
// values.
template <class Vector>
[[gnu::always_inline]] inline void opaqueVector(Vector& v) {
    asm volatile("" : "+v"(v));
}

// One block on eight chains of four lanes. The chains are independent, so the multiply-add
// units are kept busy while each chain waits for its own results.
[[gnu::target("avx2,fma")]] void blockAvx2(const double* start, double* end,
                                           const Constants& constants) {
    constexpr int kChains = 8;
    __m256d x[kChains];
#pragma GCC unroll 8
    for (int c = 0; c < kChains; ++c) {
        x[c] = _mm256_loadu_pd(start + 4 * c);
        opaqueVector(x[c]);
    }
    __m256d a = _mm256_set1_pd(constants.multiplier);
    __m256d inc = _mm256_set1_pd(constants.increment);
    __m256d scale = _mm256_set1_pd(constants.inverseModulus);
    __m256d m = _mm256_set1_pd(constants.modulus);
    opaqueVector(a);
    opaqueVector(inc);
    opaqueVector(scale);
    opaqueVector(m);
    for (int step = 0; step < kVectorStepsPerBlock; ++step) {
#pragma GCC unroll 8
        for (int c = 0; c < kChains; ++c) {
            const __m256d t = _mm256_fmadd_pd(a, x[c], inc);
            const __m256d q = _mm256_floor_pd(_mm256_mul_pd(t, scale));
            x[c] = _mm256_fnmadd_pd(q, m, t);
        }
    }
#pragma GCC unroll 8
    for (int c = 0; c < kChains; ++c) _mm256_storeu_pd(end + 4 * c, x[c]);
}

// The same on sixteen chains of eight lanes: AVX-512 has twice the registers.
[[gnu::target("avx512f")]] void blockAvx512(const double* start, double* end,
                                            const Constants& constants) {
    constexpr int kChains = 16;
    __m512d x[kChains];
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) {
        x[c] = _mm512_loadu_pd(start + 8 * c);
        opaqueVector(x[c]);
    }
    __m512d a = _mm512_set1_pd(constants.multiplier);
    __m512d inc = _mm512_set1_pd(constants.increment);
    __m512d scale = _mm512_set1_pd(constants.inverseModulus);
    __m512d m = _mm512_set1_pd(constants.modulus);
    opaqueVector(a);
    opaqueVector(inc);
    opaqueVector(scale);
    opaqueVector(m);
    for (int step = 0; step < kVectorStepsPerBlock; ++step) {
#pragma GCC unroll 16
        for (int c = 0; c < kChains; ++c) {
            const __m512d t = _mm512_fmadd_pd(a, x[c], inc);
            // Every lane selected: the unmasked form trips GCC 12's uninitialized warning.
            const __m512d q = _mm512_maskz_roundscale_pd(0xff, _mm512_mul_pd(t, scale),
                                                         _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
            x[c] = _mm512_fnmadd_pd(q, m, t);
        }
    }
#pragma GCC unroll 16
    for (int c = 0; c < kChains; ++c) _mm512_storeu_pd(end + 8 * c, x[c]);
}

PassOutcome vectorPass(VectorUnit unit, std::int64_t blocks, const VectorFault& fault) {
    const auto block = unit == VectorUnit::Avx512 ? blockAvx512 : blockAvx2;
    const int lanes = vectorLanes(unit);
    const auto bytes = static_cast<std::size_t>(lanes) * sizeof(double);
    const Constants constants;
    std::array<double, kMaxLanes> values{};
    PassOutcome outcome;
    for (std::int64_t b = 0; b < blocks; ++b) {
        block(kStart.data(), values.data(), constants);
        if (fault) fault(b, std::span(values.data(), static_cast<std::size_t>(lanes)));
        // Bit for bit: every value is an integer, and a NaN differs from all of them.
        if (std::memcmp(values.data(), kEnd.data(), bytes) == 0) [[likely]]
            continue;
        outcome.right = false;
        if (outcome.first) continue;
        for (int lane = 0; lane < lanes; ++lane) {
            const auto l = static_cast<std::size_t>(lane);
            if (std::memcmp(&values[l], &kEnd[l], sizeof(double)) != 0) {
                outcome.first = {b, CheckedValue::LaneEnd, lane, kEnd[l], values[l]};
                break;
            }
        }
    }
    return outcome;
}

bool has(std::uint32_t bits, std::uint32_t wanted) {
    return (bits & wanted) == wanted;
}

}  // namespace

VectorFeatures readVectorFeatures() {
    VectorFeatures features;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) features.leaf1Ecx = ecx;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) features.leaf7Ebx = ebx;
    if (has(features.leaf1Ecx, kOsxsave)) {
        std::uint32_t low = 0, high = 0;
        asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        features.xcr0 = (std::uint64_t{high} << 32) | low;
    }
    return features;
}

VectorUnit widestVectorUnit(const VectorFeatures& f) {
    const bool avx2 = has(f.leaf1Ecx, kFma | kOsxsave | kAvx) && has(f.leaf7Ebx, kAvx2) &&
                      (f.xcr0 & kYmmState) == kYmmState;
    if (avx2 && has(f.leaf7Ebx, kAvx512f) && (f.xcr0 & kZmmState) == kZmmState)
        return VectorUnit::Avx512;
    return avx2 ? VectorUnit::Avx2Fma : VectorUnit::None;
}

VectorUnit widestVectorUnit() {
    static const VectorUnit unit = widestVectorUnit(readVectorFeatures());
    return unit;
}

int vectorLanes(VectorUnit unit) {
    switch (unit) {
        case VectorUnit::Avx2Fma:
            return 32;
        case VectorUnit::Avx512:
            return kMaxLanes;
        case VectorUnit::None:
            break;
    }
    return 0;
}

std::optional<PassRoutine> vectorPassRoutine(VectorUnit unit, std::int64_t blocks,
                                             VectorFault fault) {
    const VectorUnit here = widestVectorUnit();
    // AVX-512 is offered only beside AVX2 and FMA, so the wider unit implies the narrower.
    if (unit == VectorUnit::None || static_cast<int>(unit) > static_cast<int>(here))
        return std::nullopt;
    return PassRoutine(
        [unit, blocks, fault = std::move(fault)] { return vectorPass(unit, blocks, fault); });
}

}  // namespace diag
