// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/repeat.h"

#include <algorithm>
#include <numeric>

namespace report {
namespace {

// The median repetition of a score, and every repetition's value.
template <class T>
Repeated<T> combineScore(const std::vector<BenchFigures>& repetitions,
                         Repeated<T> BenchFigures::*member) {
    std::vector<std::int64_t> values;
    Repeated<T> out;
    for (const auto& repetition : repetitions) {
        values.push_back((repetition.*member).value);
        out.runs.push_back((repetition.*member).value);
    }
    out.value = (repetitions[spreadOf(values).medianRun].*member).value;
    return out;
}

// The median of the repetitions that measured something; their order is kept in `runs`.
void combineSpeed(const std::vector<RamBenchFigures>& repetitions, const RamSpeed& speed,
                  RamBenchFigures& out) {
    std::vector<std::int64_t> measured;
    std::vector<std::size_t> from;
    for (std::size_t i = 0; i < repetitions.size(); ++i) {
        const auto figure = figureOf(repetitions[i].*speed.speed);
        (out.*speed.runs).push_back(figure);
        if (figure) {
            measured.push_back(*figure);
            from.push_back(i);
        }
    }
    const std::size_t median = measured.empty() ? 0 : from[spreadOf(measured).medianRun];
    out.*speed.speed = repetitions[median].*speed.speed;
}

// With copies: the copies, their rows' figures and the multi-core scores all come from the
// repetition whose multi-core score is the median, so that they describe one run together.
void combineCopies(const std::vector<BenchFigures>& repetitions, BenchFigures& out) {
    std::vector<std::int64_t> scores;
    for (const auto& repetition : repetitions)
        scores.push_back(repetition.multiCore ? repetition.multiCore->cpuScore : 0);
    const BenchFigures& median = repetitions[spreadOf(scores).medianRun];
    if (median.copies.empty()) return;
    out.copies = median.copies;
    out.multiCore = median.multiCore;
    for (std::size_t i = 0; i < out.rows.size() && i < median.rows.size(); ++i) {
        BenchRow& row = out.rows[i];
        const BenchRow& from = median.rows[i];
        row.multi = from.multi;
        row.slowestCopy = from.slowestCopy;
        row.fastestCopy = from.fastestCopy;
        row.scaling.reset();
        if (row.multi && row.result() > 0)
            row.scaling = static_cast<double>(*row.multi) / row.result();
        for (const auto& repetition : repetitions) {
            if (row.wrongCopy || i >= repetition.rows.size()) continue;
            row.wrongCopy = repetition.rows[i].wrongCopy;
            row.wrongCpu = repetition.rows[i].wrongCpu;
        }
    }
}

}  // namespace

Spread spreadOf(const std::vector<std::int64_t>& values) {
    Spread spread;
    if (values.empty()) return spread;
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
    spread.medianRun = order[(order.size() - 1) / 2];
    spread.median = values[spread.medianRun];
    spread.min = values[order.front()];
    spread.max = values[order.back()];
    if (spread.median != 0)
        spread.percent = 100.0 * static_cast<double>(spread.max - spread.min) /
                         static_cast<double>(spread.median < 0 ? -spread.median : spread.median);
    else if (spread.min == spread.max)
        spread.percent = 0.0;
    return spread;
}

BenchFigures combineBench(const std::vector<BenchFigures>& repetitions) {
    if (repetitions.size() == 1) return repetitions.front();
    BenchFigures out;
    if (repetitions.empty()) return out;
    out.repetitions = static_cast<int>(repetitions.size());
    for (std::size_t i = 0; i < repetitions.front().rows.size(); ++i) {
        std::vector<std::int64_t> results;
        for (const auto& repetition : repetitions) results.push_back(repetition.rows[i].result());
        BenchRow row = repetitions[spreadOf(results).medianRun].rows[i];
        row.runs.clear();
        for (const auto& repetition : repetitions) {
            row.runs.push_back(repetition.rows[i].raw);
            // One wrong repetition makes the row wrong, whichever gives the median.
            row.valid = row.valid && repetition.rows[i].valid;
            if (!row.wrong) row.wrong = repetition.rows[i].wrong;
        }
        out.rows.push_back(std::move(row));
    }
    for (const GroupScore& group : kGroupScores)
        out.*group.score = combineScore(repetitions, group.score);
    out.cpuScore = combineScore(repetitions, &BenchFigures::cpuScore);
    combineCopies(repetitions, out);
    return out;
}

RamBenchFigures combineRam(const std::vector<RamBenchFigures>& repetitions) {
    if (repetitions.size() == 1) return repetitions.front();
    RamBenchFigures out;
    if (repetitions.empty()) return out;
    for (const RamSpeed& speed : kRamSpeeds) combineSpeed(repetitions, speed, out);
    return out;
}

}  // namespace report
