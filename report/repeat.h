// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Figures over repetitions: the median, the extremes and the spread of each row and score.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "report/report.h"

namespace report {

struct Spread {
    std::int64_t median = 0, min = 0, max = 0;
    std::size_t medianRun = 0;  // the repetition that gave the median
    // (max - min) / median in %; empty when the median is 0 and the values differ.
    std::optional<double> percent;
};

// Over one value or more. For an even count the median is the lower of the two middle
// values, so that it is always one repetition's value.
Spread spreadOf(const std::vector<std::int64_t>& values);

// The repetitions' figures, one each, as one: each row and score takes the median
// repetition's value and keeps every repetition's value in `runs`.
BenchFigures combineBench(const std::vector<BenchFigures>& repetitions);
RamBenchFigures combineRam(const std::vector<RamBenchFigures>& repetitions);

}  // namespace report
