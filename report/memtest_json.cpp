// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/memtest_json.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace report {
namespace {

using nlohmann::json;

// A value of 64 bits in all its digits, so a column of them lines up and each bit can be read.
constexpr int kValueDigits = 16;

template <class T>
std::optional<T> optionalAt(const json& j, const char* key) {
    const auto found = j.find(key);
    if (found == j.end() || found->is_null()) return std::nullopt;
    return found->get<T>();
}

json mismatchJson(const diag::Mismatch& m) {
    return {{"pattern", std::string(diag::patternName(m.pattern))},
            {"cycle", m.cycle},
            {"phase", m.phase},
            {"offset", hexJson(static_cast<std::uint64_t>(m.offset))},
            {"virtual", hexJson(m.virtualAddress)},
            {"physical", m.physicalAddress ? json(hexJson(*m.physicalAddress)) : json(nullptr)},
            {"expected", hexJson(m.expected, kValueDigits)},
            {"got", hexJson(m.got, kValueDigits)},
            {"xor", hexJson(m.xorBits, kValueDigits)},
            {"reread", hexJson(m.reread, kValueDigits)},
            {"cpu", m.cpu},
            {"located", m.located}};
}

diag::Mismatch mismatchFrom(const json& j) {
    diag::Mismatch m;
    m.pattern = diag::patternFromName(j.value("pattern", "")).value_or(diag::PatternId::Design);
    m.cycle = j.value("cycle", std::int64_t{0});
    m.phase = j.value("phase", 0);
    const auto hexAt = [&j](const char* key) {
        const auto found = j.find(key);
        return found == j.end() ? std::nullopt : hexFrom(*found);
    };
    m.offset = static_cast<std::int64_t>(hexAt("offset").value_or(0));
    m.virtualAddress = hexAt("virtual").value_or(0);
    m.physicalAddress = hexAt("physical");
    m.expected = hexAt("expected").value_or(0);
    m.got = hexAt("got").value_or(0);
    m.xorBits = hexAt("xor").value_or(0);
    m.reread = hexAt("reread").value_or(0);
    m.cpu = j.value("cpu", -1);
    m.located = j.value("located", true);
    return m;
}

json patternJson(const MemtestPattern& p) {
    return {{"name", p.name},
            {"seconds", p.seconds},
            {"bytes_checked", p.bytesChecked},
            {"bytes_per_second", p.bytesPerSecond},
            {"share_of_ceiling", p.shareOfCeiling},
            {"errors", p.errors}};
}

MemtestPattern patternFrom(const json& j) {
    return {j.value("name", ""),
            j.value("seconds", 0.0),
            j.value("bytes_checked", std::int64_t{0}),
            optionalAt<double>(j, "bytes_per_second"),
            optionalAt<double>(j, "share_of_ceiling"),
            j.value("errors", std::int64_t{0})};
}

json edacJson(const MemtestEdac& e) {
    return {{"controller", e.controller}, {"dimm", e.dimm},        {"label", e.label},
            {"ce_before", e.ceBefore},    {"ce_after", e.ceAfter}, {"ue_before", e.ueBefore},
            {"ue_after", e.ueAfter}};
}

MemtestEdac edacFrom(const json& j) {
    return {j.value("controller", 0),
            j.value("dimm", ""),
            optionalAt<std::string>(j, "label"),
            optionalAt<std::int64_t>(j, "ce_before"),
            optionalAt<std::int64_t>(j, "ce_after"),
            optionalAt<std::int64_t>(j, "ue_before"),
            optionalAt<std::int64_t>(j, "ue_after")};
}

template <class T, class Each>
json listJson(const std::vector<T>& items, Each each) {
    json list = json::array();
    for (const T& item : items) list.push_back(each(item));
    return list;
}

template <class T, class Each>
std::vector<T> listFrom(const json& j, const char* key, Each each) {
    std::vector<T> items;
    if (const auto found = j.find(key); found != j.end() && found->is_array())
        for (const json& item : *found) items.push_back(each(item));
    return items;
}

// The run's setting: its set, seed, cycles, threads, lock and block size against the caches.
void putSetting(json& j, const MemtestFigures& m) {
    j["patterns_set"] = *m.patternsSet;
    j["seed"] = m.seed ? json(hexJson(*m.seed)) : json(nullptr);
    j["cycles"] = m.cycles;
    j["threads"] = m.threads;
    j["cpus"] = m.cpus;
    j["locked"] = m.locked;
    j["lock_reason"] = m.lockReason;
    j["smaller_than_4x_llc"] = m.smallerThanFourCaches;
    j["ceiling"] = m.ceiling ? json{{"write_bytes_per_second", m.ceiling->writeBytesPerSecond},
                                    {"read_bytes_per_second", m.ceiling->readBytesPerSecond}}
                             : json(nullptr);
}

void takeSetting(const json& j, MemtestFigures& m) {
    m.patternsSet = optionalAt<std::string>(j, "patterns_set");
    if (const auto seed = j.find("seed"); seed != j.end()) m.seed = hexFrom(*seed);
    m.cycles = optionalAt<std::int64_t>(j, "cycles");
    m.threads = optionalAt<int>(j, "threads");
    m.cpus = optionalAt<std::string>(j, "cpus");
    m.locked = optionalAt<bool>(j, "locked");
    m.lockReason = optionalAt<std::string>(j, "lock_reason");
    m.smallerThanFourCaches = optionalAt<bool>(j, "smaller_than_4x_llc");
    if (const auto c = j.find("ceiling"); c != j.end() && c->is_object())
        m.ceiling = MemtestCeiling{optionalAt<double>(*c, "write_bytes_per_second"),
                                   optionalAt<double>(*c, "read_bytes_per_second")};
}

}  // namespace

std::string hexJson(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*" PRIx64, digits, value);
    return text;
}

std::optional<std::uint64_t> hexFrom(const json& j) {
    if (j.is_number_unsigned()) return j.get<std::uint64_t>();
    if (!j.is_string()) return std::nullopt;
    const std::string& text = j.get_ref<const std::string&>();
    if (!text.starts_with("0x") || text.size() < 3) return std::nullopt;
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [at, failure] = std::from_chars(text.data() + 2, end, value, 16);
    if (failure != std::errc() || at != end) return std::nullopt;
    return value;
}

void putLocated(json& j, const MemtestFigures& m) {
    if (!m.patternsSet) return;
    putSetting(j, m);
    j["patterns"] = listJson(m.patterns, patternJson);
    j["mismatches"] = listJson(m.mismatches, mismatchJson);
    j["mismatches_not_listed"] = m.mismatchesNotListed;
    j["physical_unknown_reason"] = m.physicalUnknownReason;
    j["bit_counts"] = m.bitCounts;
    j["edac"] = m.edac ? listJson(*m.edac, edacJson) : json(nullptr);
}

void takeLocated(const json& j, MemtestFigures& m) {
    takeSetting(j, m);
    if (!m.patternsSet) return;
    m.patterns = listFrom<MemtestPattern>(j, "patterns", patternFrom);
    m.mismatches = listFrom<diag::Mismatch>(j, "mismatches", mismatchFrom);
    m.mismatchesNotListed = j.value("mismatches_not_listed", std::int64_t{0});
    m.physicalUnknownReason = optionalAt<std::string>(j, "physical_unknown_reason");
    m.bitCounts = j.value("bit_counts", std::vector<std::int64_t>{});
    if (const auto edac = j.find("edac"); edac != j.end() && edac->is_array())
        m.edac = listFrom<MemtestEdac>(j, "edac", edacFrom);
}

}  // namespace report
