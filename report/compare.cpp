// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/compare.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "bench/kernel_table.h"
#include "present/captions.h"
#include "present/report_words.h"
#include "report/repeat.h"
#include "report/report.h"

namespace report {
namespace {

using nlohmann::json;

// One side of a figure: the median and what one can trust it to, from its runs.
struct Side {
    std::int64_t value = 0;
    std::optional<double> threshold;
};

Side side(std::int64_t value, const std::vector<std::int64_t>& runs) {
    Side s{value, kSingleRunThreshold};
    if (runs.size() >= 2) s.threshold = spreadOf(runs).percent;
    return s;
}

Side rowSide(const BenchRow& row) {
    return side(row.result(), row.runResults());
}

template <class T>
Side scoreSide(const Repeated<T>& score) {
    return side(score.value, {score.runs.begin(), score.runs.end()});
}

void addLine(Comparison& c, std::string kind, std::string key, std::string caption,
             const Side& saved, const Side& now) {
    CompareLine line;
    line.kind = std::move(kind);
    line.key = std::move(key);
    line.caption = std::move(caption);
    line.saved = saved.value;
    line.now = now.value;
    if (saved.value != 0)
        line.ratio = static_cast<double>(now.value) / static_cast<double>(saved.value);
    if (saved.threshold && now.threshold)
        line.threshold = std::max(*saved.threshold, *now.threshold);
    line.marked =
        line.ratio && line.threshold && std::abs(*line.ratio - 1.0) * 100.0 > *line.threshold;
    c.lines.push_back(std::move(line));
}

std::string shown(const json& value) {
    return value.is_string() ? "\"" + value.get<std::string>() + "\"" : value.dump();
}

// A note for each identity figure that differs; the TSC within half a percent is the same.
void compareMachines(const MachineFigures& saved, const MachineFigures& now, Comparison& c) {
    const auto note = [&c](std::string_view figure, const json& a, const json& b) {
        c.notes.push_back(present::differsNote(figure, shown(a), shown(b)));
    };
    const auto compare = [&note](std::string_view figure, const auto& a, const auto& b) {
        if (!(a == b)) note(figure, json(a), json(b));
    };
    compare(present::kCpuNameFigure, saved.cpuName, now.cpuName);
    compare(present::kCpuIdentifierFigure, saved.identifier, now.identifier);
    const bool sameTsc = saved.tscMhz && now.tscMhz && *saved.tscMhz != 0
                             ? std::abs(*now.tscMhz / *saved.tscMhz - 1.0) < 0.005
                             : saved.tscMhz == now.tscMhz;
    if (!sameTsc) note(present::kTscFigure, json(saved.tscMhz), json(now.tscMhz));
    compare(present::kLogicalCpusFigure, saved.logicalCpus, now.logicalCpus);
    compare(present::kMemoryTotalFigure, saved.memoryTotal, now.memoryTotal);
    compare(present::kKernelReleaseFigure, saved.kernelRelease, now.kernelRelease);
    compare(present::kHostnameFigure, saved.hostname, now.hostname);
}

// The multi-core scores, only between runs of as many copies: another count of copies
// measures another machine load. A single value a side: the single-run threshold.
void compareMultiCore(const BenchFigures& saved, const BenchFigures& now, Comparison& c) {
    if (!saved.multiCore && !now.multiCore) return;
    const int savedCopies = saved.multiCore ? saved.multiCore->copies : 0;
    const int nowCopies = now.multiCore ? now.multiCore->copies : 0;
    if (savedCopies != nowCopies) {
        c.notes.push_back(present::multiCoreNotComparedNote(savedCopies, nowCopies));
        return;
    }
    const auto one = [](std::int64_t value) { return Side{value, kSingleRunThreshold}; };
    const MultiCoreScores& a = *saved.multiCore;
    const MultiCoreScores& b = *now.multiCore;
    const std::pair<std::int64_t, std::int64_t> groups[] = {
        {a.alu, b.alu}, {a.fpu, b.fpu}, {a.instr, b.instr}};
    for (std::size_t g = 0; g < std::size(kGroupScores); ++g)
        addLine(c, "multi_core", kGroupScores[g].key,
                present::multiCoreScoreCaption(kGroupScores[g].group), one(groups[g].first),
                one(groups[g].second));
    addLine(c, "multi_core", "cpu_score", std::string(present::kMultiCoreScoreName),
            one(a.cpuScore), one(b.cpuScore));
}

// Each row both hold, then the group scores and the CPU score.
void compareBench(const BenchFigures& saved, const BenchFigures& now, Comparison& c) {
    for (const BenchRow& rowNow : now.rows) {
        for (const BenchRow& rowSaved : saved.rows) {
            if (rowSaved.row != rowNow.row) continue;
            addLine(c, "row", std::to_string(rowNow.row),
                    std::string(present::rowCaption(rowNow.row)), rowSide(rowSaved),
                    rowSide(rowNow));
        }
    }
    for (const GroupScore& group : kGroupScores)
        addLine(c, "score", group.key, present::scoreCaption(group.group),
                scoreSide(saved.*group.score), scoreSide(now.*group.score));
    addLine(c, "score", "cpu_score", std::string(present::kCpuScoreName), scoreSide(saved.cpuScore),
            scoreSide(now.cpuScore));
    compareMultiCore(saved, now, c);
}

// The speeds both runs measured.
void compareRam(const RamBenchFigures& saved, const RamBenchFigures& now, Comparison& c) {
    for (const RamSpeed& speed : kRamSpeeds) {
        const auto before = figureOf(saved.*speed.speed);
        const auto after = figureOf(now.*speed.speed);
        if (!before || !after) continue;
        addLine(c, "ram", speed.key, std::string(present::plainCaption(speed.caption)),
                side(*before, measuredRuns(saved.*speed.runs)),
                side(*after, measuredRuns(now.*speed.runs)));
    }
}

// The whole of a file a user handed over, or why not: the system's error, or "larger than
// 64 MiB", known from its size where it has one and otherwise after reading one byte more.
platform::Expected<std::string, std::string> userFileText(const std::string& path) {
    const auto failure = [](std::string reason) { return platform::Unexpected{std::move(reason)}; };
    const std::string tooLarge = present::tooLargeReason(kMaxUserFileBytes);
    struct Descriptor {
        int fd;
        ~Descriptor() {
            if (fd >= 0) ::close(fd);
        }
    } const file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    const int fd = file.fd;
    if (fd < 0) return failure(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > kMaxUserFileBytes)
        return failure(tooLarge);
    std::string text;
    char chunk[65536];
    while (static_cast<std::int64_t>(text.size()) <= kMaxUserFileBytes) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return failure(std::strerror(errno));
        if (got == 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    if (static_cast<std::int64_t>(text.size()) > kMaxUserFileBytes) return failure(tooLarge);
    return text;
}

}  // namespace

platform::Expected<Report, std::string> loadSaved(const std::string& path,
                                                  std::string_view option) {
    const auto failure = [&path, option](std::string_view why) {
        return platform::Unexpected{present::savedFileRefusedReason(option, path, why)};
    };
    const auto text = userFileText(path);
    if (!text) return failure(text.error());
    const json saved = json::parse(*text, nullptr, false);
    if (saved.is_discarded()) return failure(present::kNotJson);
    const auto schema = saved.is_object() ? saved.find("schema") : saved.end();
    if (schema == saved.end() || !schema->is_number_integer() || !saved.contains("corvane") ||
        schema->get<std::int64_t>() < kOldestSchema)
        return failure(present::kNotAResult);
    if (schema->get<std::int64_t>() > kSchema)
        return failure(present::newerSchemaReason(schema->dump(), kSchema));
    // Every figure must have its type: found now, not after the run.
    try {
        return saved.get<Report>();
    } catch (const json::exception&) {
        return failure(present::kNotAResult);
    }
}

Comparison compareResults(const Report& saved, const Report& now, const std::string& file) {
    Comparison c;
    c.file = file;
    c.savedWhen = saved.machine.when;
    c.savedRevision = saved.benchRevision;
    c.revision = now.benchRevision;
    compareMachines(saved.machine, now.machine, c);
    if (saved.benchRevision != now.benchRevision)
        c.warnings.push_back(present::revisionWarning(saved.benchRevision, now.benchRevision));
    if (saved.bench && now.bench) compareBench(*saved.bench, *now.bench, c);
    if (saved.ramBench && now.ramBench) compareRam(*saved.ramBench, *now.ramBench, c);
    return c;
}

namespace {

// "Fibonachi digit's........        8000       8571   1.071  * higher".
std::string tableLine(const CompareLine& l) {
    char ratio[16] = "-";
    if (l.ratio) std::snprintf(ratio, sizeof ratio, "%.3f", *l.ratio);
    const std::string mark =
        l.marked ? "  " + std::string(l.now > l.saved ? present::kHigherMark : present::kLowerMark)
                 : "";
    char line[160];
    std::snprintf(line, sizeof line, "%-26s %10lld %10lld %7s%s\n", l.caption.c_str(),
                  static_cast<long long>(l.saved), static_cast<long long>(l.now), ratio,
                  mark.c_str());
    return line;
}

std::string tableHeader() {
    char line[80];
    std::snprintf(
        line, sizeof line, "%-26s %10s %10s %7s\n", "", std::string(present::kSavedColumn).c_str(),
        std::string(present::kNowColumn).c_str(), std::string(present::kRatioColumn).c_str());
    return line;
}

}  // namespace

std::string renderCompareText(const Comparison& c) {
    std::ostringstream out;
    out << "\n" << present::comparedWithLine(c.file, c.savedWhen) << "\n";
    for (const auto& note : c.notes) out << present::kNotePrefix << note << "\n";
    for (const auto& warning : c.warnings) out << present::kWarningPrefix << warning << "\n";
    if (c.lines.empty()) {
        out << present::kNoFiguresInCommon << "\n";
        return out.str();
    }
    out << tableHeader();
    for (const auto& l : c.lines) out << tableLine(l);
    out << present::changedFootnote(kSingleRunThreshold) << "\n";
    return out.str();
}

json compareJson(const Comparison& c) {
    json lines = json::array();
    for (const auto& l : c.lines) {
        lines.push_back({{"kind", l.kind},
                         {"key", l.key},
                         {"caption", l.caption},
                         {"saved", l.saved},
                         {"now", l.now},
                         {"ratio", l.ratio ? json(*l.ratio) : json(nullptr)},
                         {"threshold_percent", l.threshold ? json(*l.threshold) : json(nullptr)},
                         {"marked", l.marked}});
    }
    return {{"file", c.file},
            {"saved_when", c.savedWhen},
            {"saved_bench_revision", c.savedRevision},
            {"bench_revision", c.revision},
            {"notes", c.notes},
            {"warnings", c.warnings},
            {"figures", lines}};
}

}  // namespace report
