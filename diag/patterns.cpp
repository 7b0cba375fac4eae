// SPDX-License-Identifier: GPL-3.0-or-later
#include "diag/patterns.h"

#include <algorithm>

namespace diag {
namespace {

constexpr std::array<std::string_view, kPatternOrder.size()> kNames = {
    "own_address", "solid", "checkerboard", "walking", "random", "moving_inversions", "design",
};

constexpr std::array<std::string_view, kNames.size() + 1> kChoices = {
    "design",       "thorough", "own_address", "solid",
    "checkerboard", "walking",  "random",      "moving_inversions",
};

}  // namespace

std::string_view patternName(PatternId pattern) {
    return kNames[static_cast<std::size_t>(pattern)];
}

std::optional<PatternId> patternFromName(std::string_view name) {
    const auto found = std::find(kNames.begin(), kNames.end(), name);
    if (found == kNames.end()) return std::nullopt;
    return kPatternOrder[static_cast<std::size_t>(found - kNames.begin())];
}

int phaseCount(PatternId pattern) {
    switch (pattern) {
        case PatternId::Random:
            return 2;
        case PatternId::MovingInversions:
            return 3;
        default:
            return 4;
    }
}

PatternSet PatternSet::thorough() {
    PatternSet set;
    for (const PatternId pattern : kPatternOrder)
        if (pattern != PatternId::Design) set.add(pattern);
    return set;
}

PatternSet PatternSet::design() {
    PatternSet set;
    set.add(PatternId::Design);
    return set;
}

std::vector<PatternId> PatternSet::inOrder() const {
    std::vector<PatternId> patterns;
    for (const PatternId pattern : kPatternOrder)
        if (contains(pattern)) patterns.push_back(pattern);
    return patterns;
}

platform::Expected<PatternSet, PatternSetError> parsePatternSet(std::string_view text) {
    PatternSet set;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        if (name.empty()) return platform::Unexpected{PatternSetError{}};
        if (name == "thorough") {
            for (const PatternId pattern : PatternSet::thorough().inOrder()) set.add(pattern);
        } else if (const auto pattern = patternFromName(name)) {
            set.add(*pattern);
        } else {
            return platform::Unexpected{
                PatternSetError{PatternSetError::Kind::UnknownName, std::string(name)}};
        }
        if (comma == std::string_view::npos) return set;
        text.remove_prefix(comma + 1);
    }
}

std::span<const std::string_view> patternChoices() {
    return kChoices;
}

std::uint64_t randomPatternKey(std::uint64_t seed, std::int64_t cycle) {
    return mix64(seed ^ mix64(static_cast<std::uint64_t>(cycle)));
}

std::uint64_t randomPatternValue(std::uint64_t seed, std::int64_t cycle, std::int64_t offset) {
    return RandomValue{randomPatternKey(seed, cycle)}(offset);
}

}  // namespace diag
