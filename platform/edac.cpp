// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/edac.h"

#include <algorithm>
#include <limits>
#include <system_error>
#include <utility>

#include "platform/system_file.h"

namespace platform {
namespace {

// "mc12" -> 12 for the prefix "mc"; nothing for other names.
std::optional<std::int64_t> numberAfter(const std::string& name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) return std::nullopt;
    return parseInteger(std::string_view(name).substr(prefix.size()), 0,
                        std::numeric_limits<int>::max());
}

// The subdirectories of `directory` named prefix<N>, in the order of N.
std::vector<std::string> numberedEntries(const std::filesystem::path& directory,
                                         std::string_view prefix) {
    std::vector<std::pair<std::int64_t, std::string>> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        if (const auto number = numberAfter(name, prefix); number && it->is_directory(error))
            found.emplace_back(*number, std::move(name));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& entry : found) names.push_back(std::move(entry.second));
    return names;
}

std::optional<std::int64_t> readCount(const std::filesystem::path& file) {
    const auto line = readFirstLine(file);
    if (!line) return std::nullopt;
    return parseInteger(*line, 0, std::numeric_limits<std::int64_t>::max());
}

std::optional<std::string> readLabel(const std::filesystem::path& file) {
    const auto line = readFirstLine(file);
    if (!line) return std::nullopt;
    const std::string label = cleanText(trimBlanks(*line));
    if (label.empty()) return std::nullopt;
    return label;
}

std::int64_t rise(const std::optional<std::int64_t>& before,
                  const std::optional<std::int64_t>& after) {
    return before && after ? *after - *before : 0;
}

EdacRise riseOf(const EdacCounters& before, const EdacCounters& after) {
    EdacRise change;
    change.corrected = rise(before.corrected, after.corrected);
    change.uncorrected = rise(before.uncorrected, after.uncorrected);
    return change;
}

}  // namespace

std::optional<EdacCounts> readEdacCounts(const std::filesystem::path& root) {
    const std::filesystem::path controllers = root / "sys/devices/system/edac/mc";
    std::error_code error;
    if (!std::filesystem::is_directory(controllers, error)) return std::nullopt;
    EdacCounts counts;
    for (const std::string& mc : numberedEntries(controllers, "mc")) {
        const std::filesystem::path dir = controllers / mc;
        counts.controllers.push_back(
            {mc, {readCount(dir / "ce_count"), readCount(dir / "ue_count")}});
        for (const std::string_view prefix : {"dimm", "rank"}) {
            for (const std::string& dimm : numberedEntries(dir, prefix)) {
                const std::filesystem::path module = dir / dimm;
                counts.dimms.push_back(
                    {mc,
                     dimm,
                     readLabel(module / "dimm_label"),
                     {readCount(module / "dimm_ce_count"), readCount(module / "dimm_ue_count")}});
            }
        }
    }
    return counts;
}

bool EdacChange::rose() const {
    const auto up = [](const EdacRise& r) { return r.corrected > 0 || r.uncorrected > 0; };
    return std::any_of(controllers.begin(), controllers.end(), up) ||
           std::any_of(dimms.begin(), dimms.end(), up);
}

EdacChange edacChange(const EdacCounts& before, const EdacCounts& after) {
    EdacChange change;
    for (const EdacController& now : after.controllers) {
        const auto then = std::find_if(before.controllers.begin(), before.controllers.end(),
                                       [&](const EdacController& c) { return c.name == now.name; });
        EdacRise r =
            then == before.controllers.end() ? EdacRise{} : riseOf(then->counters, now.counters);
        if (then != before.controllers.end()) r.before = then->counters;
        r.after = now.counters;
        r.controller = now.name;
        change.controllers.push_back(std::move(r));
    }
    for (const EdacDimm& now : after.dimms) {
        const auto then =
            std::find_if(before.dimms.begin(), before.dimms.end(), [&](const EdacDimm& d) {
                return d.controller == now.controller && d.name == now.name;
            });
        EdacRise r = then == before.dimms.end() ? EdacRise{} : riseOf(then->counters, now.counters);
        if (then != before.dimms.end()) r.before = then->counters;
        r.after = now.counters;
        r.controller = now.controller;
        r.dimm = now.name;
        r.label = now.label;
        change.dimms.push_back(std::move(r));
    }
    return change;
}

}  // namespace platform
