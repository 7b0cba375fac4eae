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
#include "bench/scoring.h"
#include "present/captions.h"
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

// A row's results over its runs: an ALU or FPU row records milliseconds and shows a score.
Side rowSide(const BenchRow& row) {
    std::vector<std::int64_t> results;
    for (const auto& run : row.runs)
        if (run) results.push_back(bench::rowResult(row.group, *run));
    return side(row.result(), results);
}

template <class T>
Side scoreSide(const Repeated<T>& score) {
    return side(score.value, {score.runs.begin(), score.runs.end()});
}

// The figure of a speed that was measured; nullopt otherwise.
std::optional<std::int64_t> figureOf(const std::optional<membench::Measured>& speed) {
    if (!speed || !*speed) return std::nullopt;
    return (*speed)->figure;
}

std::vector<std::int64_t> measuredRuns(const std::vector<std::optional<std::int32_t>>& runs) {
    std::vector<std::int64_t> values;
    for (const auto& run : runs)
        if (run) values.push_back(*run);
    return values;
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
    const auto note = [&c](const char* name, const json& a, const json& b) {
        c.notes.push_back(std::string(name) + " differs: saved " + shown(a) + ", now " + shown(b));
    };
    const auto compare = [&note](const char* name, const auto& a, const auto& b) {
        if (!(a == b)) note(name, json(a), json(b));
    };
    compare("CPU name", saved.cpuName, now.cpuName);
    compare("CPU identifier", saved.identifier, now.identifier);
    const bool sameTsc = saved.tscMhz && now.tscMhz && *saved.tscMhz != 0
                             ? std::abs(*now.tscMhz / *saved.tscMhz - 1.0) < 0.005
                             : saved.tscMhz == now.tscMhz;
    if (!sameTsc) note("TSC MHz", json(saved.tscMhz), json(now.tscMhz));
    compare("logical CPUs", saved.logicalCpus, now.logicalCpus);
    compare("memory total", saved.memoryTotal, now.memoryTotal);
    compare("kernel release", saved.kernelRelease, now.kernelRelease);
    compare("hostname", saved.hostname, now.hostname);
}

// The whole of a file a user handed over, or why not: the system's error, or "larger than
// 64 MiB", known from its size where it has one and otherwise after reading one byte more.
platform::Expected<std::string, std::string> userFileText(const std::string& path) {
    const auto failure = [](std::string reason) { return platform::Unexpected{std::move(reason)}; };
    const std::string tooLarge = "larger than " + std::to_string(kMaxUserFileBytes >> 20) +
                                 " MiB, not a corvane-report result";
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

platform::Expected<Report, std::string> loadSaved(const std::string& path) {
    const auto failure = [&path](const std::string& why) {
        return platform::Unexpected{"corvane-report: --compare: " + path + ": " + why};
    };
    const auto text = userFileText(path);
    if (!text) return failure(text.error());
    const json saved = json::parse(*text, nullptr, false);
    if (saved.is_discarded()) return failure("not JSON");
    const auto schema = saved.is_object() ? saved.find("schema") : saved.end();
    if (schema == saved.end() || !schema->is_number_integer() || !saved.contains("corvane") ||
        schema->get<std::int64_t>() < kOldestSchema)
        return failure("not a corvane-report result");
    if (schema->get<std::int64_t>() > kSchema)
        return failure("schema " + schema->dump() + " is newer than this program's " +
                       std::to_string(kSchema));
    // Every figure must have its type: found now, not after the run.
    try {
        return saved.get<Report>();
    } catch (const json::exception&) {
        return failure("not a corvane-report result");
    }
}

Comparison compareResults(const Report& saved, const Report& now, const std::string& file) {
    Comparison c;
    c.file = file;
    c.savedWhen = saved.machine.when;
    compareMachines(saved.machine, now.machine, c);
    if (saved.benchRevision != now.benchRevision)
        c.warnings.push_back(
            "bench revision differs: saved " + std::to_string(saved.benchRevision) + ", now " +
            std::to_string(now.benchRevision) + "; rows whose work changed are not comparable");

    if (saved.bench && now.bench) {
        for (const BenchRow& rowNow : now.bench->rows) {
            for (const BenchRow& rowSaved : saved.bench->rows) {
                if (rowSaved.row != rowNow.row) continue;
                addLine(c, "row", std::to_string(rowNow.row),
                        std::string(present::rowCaption(rowNow.row)), rowSide(rowSaved),
                        rowSide(rowNow));
            }
        }
        const BenchFigures& a = *saved.bench;
        const BenchFigures& b = *now.bench;
        addLine(c, "score", "alu", "ALU score", scoreSide(a.alu), scoreSide(b.alu));
        addLine(c, "score", "fpu", "FPU score", scoreSide(a.fpu), scoreSide(b.fpu));
        addLine(c, "score", "instr", "INSTR. score", scoreSide(a.instr), scoreSide(b.instr));
        addLine(c, "score", "cpu_score", "CPU score", scoreSide(a.cpuScore), scoreSide(b.cpuScore));
    }
    if (saved.ramBench && now.ramBench) {
        const RamBenchFigures& a = *saved.ramBench;
        const RamBenchFigures& b = *now.ramBench;
        const auto speedLine = [&c](const char* key, const char* caption,
                                    const std::optional<membench::Measured>& savedSpeed,
                                    const std::vector<std::optional<std::int32_t>>& savedRuns,
                                    const std::optional<membench::Measured>& nowSpeed,
                                    const std::vector<std::optional<std::int32_t>>& nowRuns) {
            const auto before = figureOf(savedSpeed);
            const auto after = figureOf(nowSpeed);
            if (!before || !after) return;
            addLine(c, "ram", key, caption, side(*before, measuredRuns(savedRuns)),
                    side(*after, measuredRuns(nowRuns)));
        };
        speedLine("write", "Write memory speed", a.write, a.writeRuns, b.write, b.writeRuns);
        speedLine("read", "Read memory speed", a.read, a.readRuns, b.read, b.readRuns);
    }
    return c;
}

std::string renderCompareText(const Comparison& c) {
    std::ostringstream out;
    out << "\nCompared with " << c.file;
    if (!c.savedWhen.empty()) out << " (" << c.savedWhen << ")";
    out << "\n";
    for (const auto& note : c.notes) out << "Note: " << note << "\n";
    for (const auto& warning : c.warnings) out << "Warning: " << warning << "\n";
    char line[160];
    if (c.lines.empty()) {
        out << "No benchmark figures in common.\n";
        return out.str();
    }
    std::snprintf(line, sizeof line, "%-26s %10s %10s %7s\n", "", "saved", "now", "ratio");
    out << line;
    for (const auto& l : c.lines) {
        char ratio[16] = "-";
        if (l.ratio) std::snprintf(ratio, sizeof ratio, "%.3f", *l.ratio);
        std::snprintf(line, sizeof line, "%-26s %10lld %10lld %7s%s\n", l.caption.c_str(),
                      static_cast<long long>(l.saved), static_cast<long long>(l.now), ratio,
                      l.marked ? (l.now > l.saved ? "  * higher" : "  * lower") : "");
        out << line;
    }
    std::snprintf(line, sizeof line,
                  "* changed by more than both runs' spread (%.0f %% for a single run)\n",
                  kSingleRunThreshold);
    out << line;
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
            {"notes", c.notes},
            {"warnings", c.warnings},
            {"figures", lines}};
}

}  // namespace report
