// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/golden.h"

#include <cmath>

namespace bench {

Golden exactly(const std::array<std::int64_t, WorkProof::kCounts>& counts) {
    Golden golden;
    golden.work.counts = counts;
    return golden;
}

void expect(Golden& golden, std::size_t slot, long double value, long double part) {
    golden.work.values[slot] = value;
    golden.tolerance[slot] = part * std::fmax(1.0L, std::fabs(value));
}

std::optional<Mismatch> checkWork(const WorkProof& work, const Golden& golden) {
    for (std::size_t k = 0; k < WorkProof::kCounts; ++k) {
        if (work.counts[k] != golden.work.counts[k])
            return Mismatch{Mismatch::Kind::Count, k,
                            static_cast<long double>(golden.work.counts[k]),
                            static_cast<long double>(work.counts[k]), 0};
    }
    for (std::size_t k = 0; k < WorkProof::kValues; ++k) {
        // Written so that a NaN fails.
        if (!(std::fabs(work.values[k] - golden.work.values[k]) <= golden.tolerance[k]))
            return Mismatch{Mismatch::Kind::Value, k, golden.work.values[k], work.values[k],
                            golden.tolerance[k]};
    }
    return std::nullopt;
}

}  // namespace bench
