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

// Runs as results: an ALU or FPU row records milliseconds and shows their score.
Side side(std::int64_t value, const json& runs, const std::string& group) {
    std::vector<std::int64_t> values;
    if (runs.is_array()) {
        for (const auto& run : runs) {
            if (!run.is_number_integer()) continue;
            std::int64_t v = run.get<std::int64_t>();
            if (group == "ALU")
                v = bench::rowResult(bench::Group::Alu, static_cast<std::int32_t>(v));
            if (group == "FPU")
                v = bench::rowResult(bench::Group::Fpu, static_cast<std::int32_t>(v));
            values.push_back(v);
        }
    }
    Side s{value, kSingleRunThreshold};
    if (values.size() >= 2) s.threshold = spreadOf(values).percent;
    return s;
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
void compareMachines(const json& saved, const json& now, Comparison& c) {
    static const std::pair<const char*, const char*> keys[] = {
        {"cpu_name", "CPU name"},         {"identifier", "CPU identifier"},
        {"tsc_mhz", "TSC MHz"},           {"logical_cpus", "logical CPUs"},
        {"memory_total", "memory total"}, {"kernel_release", "kernel release"},
        {"hostname", "hostname"}};
    for (const auto& [key, name] : keys) {
        const json a = saved.value(key, json());
        const json b = now.value(key, json());
        bool same = a == b;
        if (a.is_number() && b.is_number() && a.get<double>() != 0)
            same = std::abs(b.get<double>() / a.get<double>() - 1.0) < 0.005;
        if (!same)
            c.notes.push_back(std::string(name) + " differs: saved " + shown(a) + ", now " +
                              shown(b));
    }
}

// The whole of a file a user handed over, or why not: the system's error, or "larger than
// 64 MiB", known from its size where it has one and otherwise after reading one byte more.
std::variant<std::string, std::string> userFileText(const std::string& path) {
    using Text = std::variant<std::string, std::string>;
    const auto failure = [](std::string reason) { return Text(std::in_place_index<1>, reason); };
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
    return Text(std::in_place_index<0>, std::move(text));
}

}  // namespace

std::variant<json, std::string> loadSaved(const std::string& path) {
    const std::string prefix = "corvane-report: --compare: " + path + ": ";
    const auto text = userFileText(path);
    if (text.index() == 1) return prefix + std::get<1>(text);
    json saved = json::parse(std::get<0>(text), nullptr, false);
    if (saved.is_discarded()) return prefix + "not JSON";
    if (!saved.is_object() || !saved.contains("schema") || !saved["schema"].is_number_integer() ||
        !saved.contains("corvane") || saved["schema"].get<std::int64_t>() < 1)
        return prefix + "not a corvane-report result";
    if (saved["schema"].get<std::int64_t>() > kSchema)
        return prefix + "schema " + saved["schema"].dump() + " is newer than this program's " +
               std::to_string(kSchema);
    // Every key the comparison reads must have its type: found now, not after the run.
    try {
        compareResults(saved, saved, path);
    } catch (const json::exception&) {
        return prefix + "not a corvane-report result";
    }
    return saved;
}

Comparison compareResults(const json& saved, const json& now, const std::string& file) {
    Comparison c;
    c.file = file;
    c.savedWhen = saved.value("when", "");
    compareMachines(saved.value("machine", json::object()), now.value("machine", json::object()),
                    c);
    const json savedRevision = saved.value("bench_revision", json());
    if (savedRevision != now.value("bench_revision", json()))
        c.warnings.push_back("bench revision differs: saved " + savedRevision.dump() + ", now " +
                             now.value("bench_revision", json()).dump() +
                             "; rows whose work changed are not comparable");

    if (saved.contains("bench") && now.contains("bench")) {
        const json& a = saved["bench"];
        const json& b = now["bench"];
        for (const auto& rowB : b.value("rows", json::array())) {
            for (const auto& rowA : a.value("rows", json::array())) {
                if (rowA.value("row", -1) != rowB.value("row", -2)) continue;
                const std::string group = rowB.value("group", "");
                addLine(c, "row", std::to_string(rowB.value("row", 0)), rowB.value("caption", ""),
                        side(rowA.value("result", 0), rowA.value("runs", json()), group),
                        side(rowB.value("result", 0), rowB.value("runs", json()), group));
            }
        }
        static const std::pair<const char*, const char*> scores[] = {{"alu", "ALU score"},
                                                                     {"fpu", "FPU score"},
                                                                     {"instr", "INSTR. score"},
                                                                     {"cpu_score", "CPU score"}};
        for (const auto& [key, caption] : scores) {
            if (!a.contains(key) || !b.contains(key)) continue;
            const json runs = json::object();
            addLine(c, "score", key, caption,
                    side(a.value(key, 0), a.value("runs", runs).value(key, json()), ""),
                    side(b.value(key, 0), b.value("runs", runs).value(key, json()), ""));
        }
    }
    if (saved.contains("ram_bench") && now.contains("ram_bench")) {
        const json& a = saved["ram_bench"];
        const json& b = now["ram_bench"];
        static const std::pair<const char*, const char*> speeds[] = {
            {"write", "Write memory speed"}, {"read", "Read memory speed"}};
        for (const auto& [key, caption] : speeds) {
            const json savedSpeed = a.value(key, json());
            const json nowSpeed = b.value(key, json());
            if (!savedSpeed.is_number_integer() || !nowSpeed.is_number_integer()) continue;
            const json runs = json::object();
            addLine(
                c, "ram", key, caption,
                side(savedSpeed.get<std::int64_t>(), a.value("runs", runs).value(key, json()), ""),
                side(nowSpeed.get<std::int64_t>(), b.value("runs", runs).value(key, json()), ""));
        }
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
