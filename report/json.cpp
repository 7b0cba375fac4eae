// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON form of every figure: one to_json/from_json pair a struct (CacheSweep's is beside
// it, in report.h). The numbers are the data; the texts beside them ("text", "cpu_text",
// "l2_cache" ...) are what the window shows, worded by the presentation module, and are
// never read back.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "present/captions.h"
#include "present/words.h"
#include "report/memtest_json.h"
#include "report/report.h"
#include "version.h"

namespace membench {

NLOHMANN_JSON_SERIALIZE_ENUM(NoSpeed, {{NoSpeed::tooFastToTime, "too_fast_to_time"},
                                       {NoSpeed::blockRefused, "block_refused"}})

}  // namespace membench

namespace bench {

// A group under its one name, bench::groupName.
void to_json(nlohmann::json& j, Group group) {
    j = groupName(group);
}

void from_json(const nlohmann::json& j, Group& group) {
    for (const report::GroupScore& known : report::kGroupScores) {
        if (j == groupName(known.group)) {
            group = known.group;
            return;
        }
    }
    throw nlohmann::json::other_error::create(501, "not a benchmark group", &j);
}

}  // namespace bench

namespace platform {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(CacheLevel, level, type, bytes)

void to_json(nlohmann::json& j, const LogicalCpu& c) {
    const char* kind = c.kind == CoreKind::performance  ? "performance"
                       : c.kind == CoreKind::efficiency ? "efficiency"
                                                        : nullptr;
    j = {{"cpu", c.cpu},
         {"package", c.package},
         {"die", c.die},
         {"core", c.core},
         {"siblings", formatCpuList(c.siblings)},
         {"kind", kind ? nlohmann::json(kind) : nlohmann::json(nullptr)},
         {"known", c.topologyKnown}};
}

void from_json(const nlohmann::json& j, LogicalCpu& c) {
    c.cpu = j.at("cpu").get<int>();
    c.package = j.value("package", 0);
    c.die = j.value("die", 0);
    c.core = j.value("core", c.cpu);
    if (const auto siblings = parseCpuList(j.value("siblings", ""))) c.siblings = *siblings;
    const auto kind = j.find("kind");
    const std::string named = kind != j.end() && kind->is_string() ? kind->get<std::string>() : "";
    c.kind = named == "performance"  ? CoreKind::performance
             : named == "efficiency" ? CoreKind::efficiency
                                     : CoreKind::unknown;
    c.topologyKnown = j.value("known", true);
}

}  // namespace platform

namespace report {
namespace {

using nlohmann::json;

template <class T>
json orNull(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

// A key that may be null or missing, as older results and unmeasured figures have it.
template <class T>
std::optional<T> optionalAt(const json& j, const char* key) {
    const auto found = j.find(key);
    if (found == j.end() || found->is_null()) return std::nullopt;
    return found->get<T>();
}

// Identity texts a saved result writes as "-" when the system did not say.
std::optional<std::string> identityAt(const json& j, const char* key) {
    auto text = optionalAt<std::string>(j, key);
    if (text == std::string(present::kNoFigure)) text.reset();
    return text;
}

std::string identityText(const std::optional<std::string>& text) {
    return text.value_or(std::string(present::kNoFigure));
}

// The extensions a saved result names; a name this program does not know is left out.
std::vector<sysinfo::Extension> extensionsFrom(const std::vector<std::string>& names) {
    using sysinfo::Extension;
    std::vector<Extension> extensions;
    for (const std::string& name : names) {
        for (const Extension known : {Extension::Mmx, Extension::ThreeDNow, Extension::Sse,
                                      Extension::Sse2, Extension::Sse3})
            if (present::extensionName(known) == name) extensions.push_back(known);
    }
    return extensions;
}

json timedJson(const platform::TimedBytes& timed) {
    return {{"bytes", timed.bytes}, {"ms", timed.ms}};
}

platform::TimedBytes timedFrom(const json& j) {
    return {j.at("bytes").get<std::int64_t>(), j.at("ms").get<std::int32_t>()};
}

// A count exactly, as a number; a value to all its digits, as text: the extended values
// reach far beyond a double's range (1000! is 4e2567) and are checked to closer than its
// precision.
json wrongJson(const std::optional<bench::Mismatch>& wrong) {
    if (!wrong) return nullptr;
    json j = {{"slot", present::mismatchSlot(*wrong)}};
    if (wrong->kind == bench::Mismatch::Kind::Count) {
        j["expected"] = static_cast<std::int64_t>(wrong->expected);
        j["got"] = static_cast<std::int64_t>(wrong->got);
    } else {
        j["expected"] = present::extendedText(wrong->expected);
        j["got"] = present::extendedText(wrong->got);
        j["tolerance"] = present::extendedText(wrong->tolerance);
    }
    return j;
}

std::optional<bench::Mismatch> wrongFrom(const json& j) {
    const auto found = j.find("wrong");
    if (found == j.end() || found->is_null()) return std::nullopt;
    bench::Mismatch wrong;
    const std::string slot = found->at("slot").get<std::string>();
    wrong.kind =
        slot.starts_with("count") ? bench::Mismatch::Kind::Count : bench::Mismatch::Kind::Value;
    wrong.slot = std::stoul(slot.substr(slot.find(' ') + 1));
    const auto number = [](const json& figure) {
        if (!figure.is_string()) return static_cast<long double>(figure.get<std::int64_t>());
        const std::string text = figure.get<std::string>();
        long double value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return value;
    };
    wrong.expected = number(found->at("expected"));
    wrong.got = number(found->at("got"));
    if (const auto tolerance = found->find("tolerance"); tolerance != found->end())
        wrong.tolerance = number(*tolerance);
    return wrong;
}

// A timed loop's bytes and milliseconds, as "write_timed" keeps them; a saved result of
// schema 1 has none.
std::optional<platform::TimedBytes> timedAt(const json& j, const std::string& key) {
    const auto timed = j.find(key);
    if (timed == j.end() || timed->is_null()) return std::nullopt;
    return timedFrom(*timed);
}

}  // namespace

void to_json(json& j, const CpuFigures& c) {
    std::vector<std::string_view> extensions;
    for (const sysinfo::Extension extension : c.extensions)
        extensions.push_back(present::extensionName(extension));
    j = {
        {"name_text", c.described ? present::cpuNameText(c.ratedMhz, c.name.value_or(""))
                                  : std::string(present::kNoFigure)},
        {"name", orNull(c.name)},
        {"rated_mhz", c.described ? json(c.ratedMhz) : json(nullptr)},
        {"identifier", identityText(c.identifier)},
        {"vendor", identityText(c.vendor)},
        {"instructions", present::instructionsText(c.extensions)},
        {"extensions", extensions},
        {"l2_cache",
         c.l2CacheKiB ? present::cacheSizeText(*c.l2CacheKiB) : std::string(present::kNoFigure)},
        {"l2_cache_kib", orNull(c.l2CacheKiB)},
        {"l2_cache_os", orNull(c.l2CacheOs)},
        {"cache_sweeps", c.cacheSweeps},
        {"clock_text",
         c.clockCycles ? present::clockText(*c.clockCycles) : std::string(present::kNoFigure)},
        {"clock_cycles", orNull(c.clockCycles)},
        {"clock_mhz", orNull(c.clockMhz())},
        {"tsc_mhz_os", orNull(c.tscMhzOs)},
        {"effective_mhz", orNull(c.effectiveMhz)},
        {"caches_os", c.cachesOs},
    };
}

void from_json(const json& j, CpuFigures& c) {
    const auto rated = optionalAt<double>(j, "rated_mhz");
    c.described = rated.has_value();
    c.ratedMhz = rated.value_or(0);
    c.name = optionalAt<std::string>(j, "name");
    c.identifier = identityAt(j, "identifier");
    c.vendor = identityAt(j, "vendor");
    c.extensions = extensionsFrom(j.value("extensions", std::vector<std::string>{}));
    c.l2CacheKiB = optionalAt<std::int32_t>(j, "l2_cache_kib");
    c.l2CacheOs = optionalAt<std::int64_t>(j, "l2_cache_os");
    c.cacheSweeps = j.value("cache_sweeps", std::vector<CacheSweep>{});
    c.clockCycles = optionalAt<std::uint32_t>(j, "clock_cycles");
    c.tscMhzOs = optionalAt<double>(j, "tsc_mhz_os");
    c.effectiveMhz = optionalAt<double>(j, "effective_mhz");
    c.cachesOs = j.value("caches_os", std::vector<platform::CacheLevel>{});
}

void to_json(json& j, const MemoryFigures& m) {
    const auto& s = m.status;
    const auto field = [&](std::int64_t platform::MemoryStatus::*member) {
        return s ? json((*s).*member) : json(nullptr);
    };
    // The panels "Pagefile in use" and "Phisical memory" in use, as the window shows them.
    const auto shown = m.shown();
    const auto panel = [&](std::size_t index) {
        return shown ? json(shown->panels[index]) : json(nullptr);
    };
    const auto& a = m.allowance;
    const auto& limit = a ? a->limit : std::nullopt;
    j = {
        {"total_virtual", field(&platform::MemoryStatus::totalVirtual)},
        {"avail_virtual", field(&platform::MemoryStatus::availVirtual)},
        {"total_pagefile", field(&platform::MemoryStatus::totalPageFile)},
        {"pagefile_in_use", panel(3)},
        {"total_phys", field(&platform::MemoryStatus::totalPhys)},
        {"phys_in_use", panel(5)},
        {"avail_phys", field(&platform::MemoryStatus::availPhys)},
        {"load_percent", shown ? json(shown->loadPercent) : json(nullptr)},
        {"unused", a ? json(a->unused) : json(nullptr)},
        {"memtest_allowance", a ? json(a->bytes) : json(nullptr)},
        {"limit", limit ? json(limit->limit) : json(nullptr)},
        {"limit_available", limit ? json(limit->available) : json(nullptr)},
        {"limit_source", limit ? json(limit->source) : json(nullptr)},
    };
}

void from_json(const json& j, MemoryFigures& m) {
    m = {};
    if (const auto totalPhys = optionalAt<std::int64_t>(j, "total_phys")) {
        platform::MemoryStatus s;
        s.totalPhys = *totalPhys;
        s.availPhys = j.at("avail_phys").get<std::int64_t>();
        s.totalPageFile = j.at("total_pagefile").get<std::int64_t>();
        s.availPageFile = s.totalPageFile - j.at("pagefile_in_use").get<std::int64_t>();
        s.totalVirtual = j.at("total_virtual").get<std::int64_t>();
        s.availVirtual = j.at("avail_virtual").get<std::int64_t>();
        m.status = s;
    }
    if (const auto bytes = optionalAt<std::int64_t>(j, "memtest_allowance")) {
        platform::MemoryAllowance a;
        a.bytes = *bytes;
        a.unused = j.at("unused").get<std::int64_t>();
        if (const auto limit = optionalAt<std::int64_t>(j, "limit"))
            a.limit = platform::MemoryLimit{*limit, j.at("limit_available").get<std::int64_t>(),
                                            j.at("limit_source").get<std::string>()};
        m.allowance = a;
    }
}

namespace {

// The CPUs as a saved result records them; files from before they were recorded have none.
void putMachineCpus(json& j, const platform::MachineCpus& c) {
    j["physical_cores"] = c.physicalCores;
    j["packages"] = c.packages;
    j["smt"] = c.smtActive;
    j["performance_cpus"] = c.performanceCpus;
    j["efficiency_cpus"] = c.efficiencyCpus;
    j["allowed_cpus"] = platform::formatCpuList(c.allowed);
    j["cpu_quota"] = c.quota ? json(c.quota->cpus) : json(nullptr);
    j["cpu_quota_source"] = c.quota ? json(c.quota->source) : json(nullptr);
    j["hypervisor"] = c.hypervisor;
}

std::optional<platform::MachineCpus> machineCpusFrom(const json& j) {
    if (!j.contains("physical_cores")) return std::nullopt;
    platform::MachineCpus c;
    c.onlineCpus = j.value("logical_cpus", 0);
    c.physicalCores = j.value("physical_cores", 0);
    c.packages = j.value("packages", 0);
    c.smtActive = j.value("smt", false);
    c.performanceCpus = j.value("performance_cpus", 0);
    c.efficiencyCpus = j.value("efficiency_cpus", 0);
    if (const auto allowed = platform::parseCpuList(j.value("allowed_cpus", "")))
        c.allowed = *allowed;
    if (const auto quota = optionalAt<double>(j, "cpu_quota"))
        c.quota = platform::CpuQuota{*quota, j.value("cpu_quota_source", "")};
    c.hypervisor = j.value("hypervisor", false);
    return c;
}

}  // namespace

void to_json(json& j, const MachineFigures& m) {
    j = {
        {"cpu_name", orNull(m.cpuName)},
        {"identifier", identityText(m.identifier)},
        {"vendor", identityText(m.vendor)},
        {"logical_cpus", m.logicalCpus},
        {"tsc_mhz", orNull(m.tscMhz)},
        {"effective_mhz", orNull(m.effectiveMhz)},
        {"memory_total", orNull(m.memoryTotal)},
        {"kernel_release", m.kernelRelease},
        {"hostname", m.hostname},
    };
    if (m.cpus) putMachineCpus(j, *m.cpus);
    if (!m.topology.empty()) j["topology"] = m.topology;
}

void from_json(const json& j, MachineFigures& m) {
    m.cpuName = optionalAt<std::string>(j, "cpu_name");
    m.identifier = identityAt(j, "identifier");
    m.vendor = identityAt(j, "vendor");
    m.logicalCpus = j.value("logical_cpus", 0);
    m.tscMhz = optionalAt<double>(j, "tsc_mhz");
    m.effectiveMhz = optionalAt<double>(j, "effective_mhz");
    m.memoryTotal = optionalAt<std::int64_t>(j, "memory_total");
    m.kernelRelease = j.value("kernel_release", "");
    m.hostname = j.value("hostname", "");
    m.cpus = machineCpusFrom(j);
    m.topology = j.value("topology", std::vector<platform::LogicalCpu>{});
}

namespace {

// A ratio to three decimals, as saved; read back it stays the same.
json ratioJson(const std::optional<double>& ratio) {
    return ratio ? json(std::round(*ratio * 1000) / 1000) : json(nullptr);
}

// What a row adds with copies on several CPUs; null for a run of one copy.
void putCopiesOfRow(json& j, const BenchRow& r) {
    j["multi"] = orNull(r.multi);
    j["scaling"] = ratioJson(r.scaling);
    j["slowest_copy"] = orNull(r.slowestCopy);
    j["fastest_copy"] = orNull(r.fastestCopy);
    j["wrong_copy"] = orNull(r.wrongCopy);
    j["wrong_cpu"] = orNull(r.wrongCpu);
}

void copiesOfRowFrom(const json& j, BenchRow& r) {
    r.multi = optionalAt<std::int64_t>(j, "multi");
    r.scaling = optionalAt<double>(j, "scaling");
    r.slowestCopy = optionalAt<int>(j, "slowest_copy");
    r.fastestCopy = optionalAt<int>(j, "fastest_copy");
    r.wrongCopy = optionalAt<int>(j, "wrong_copy");
    r.wrongCpu = optionalAt<int>(j, "wrong_cpu");
}

// A copy's own row: one run, no repetitions.
json copyRowJson(const BenchRow& r) {
    return {{"row", r.row},
            {"raw", orNull(r.raw)},
            {"result", r.result()},
            {"valid", r.valid},
            {"wrong", wrongJson(r.wrong)}};
}

BenchRow copyRowFrom(const json& j) {
    BenchRow r;
    r.row = j.at("row").get<int>();
    if (r.row >= 1 && r.row <= bench::kRowCount)
        r.group = bench::kKernelTable[static_cast<std::size_t>(r.row - 1)].group;
    r.raw = optionalAt<std::int32_t>(j, "raw");
    r.runs = {r.raw};
    r.valid = j.value("valid", true);
    r.wrong = wrongFrom(j);
    return r;
}

json copyJson(const BenchCopy& c) {
    json rows = json::array();
    for (const BenchRow& row : c.rows) rows.push_back(copyRowJson(row));
    return {{"copy", c.copy},
            {"cpu", c.cpu},
            {"core", c.core},
            {"package", c.package},
            {"effective_mhz", orNull(c.effectiveMhz)},
            {"rows", rows}};
}

BenchCopy copyFrom(const json& j) {
    BenchCopy c;
    c.copy = j.at("copy").get<int>();
    c.cpu = j.at("cpu").get<int>();
    c.core = j.value("core", c.cpu);
    c.package = j.value("package", 0);
    c.effectiveMhz = optionalAt<double>(j, "effective_mhz");
    for (const json& row : j.value("rows", json::array())) c.rows.push_back(copyRowFrom(row));
    return c;
}

}  // namespace

void to_json(json& j, const BenchRow& r) {
    j = {{"row", r.row},
         {"group", r.group},
         {"caption", present::rowCaption(r.row)},
         {"raw", orNull(r.raw)},
         {"result", r.result()},
         {"text",
          r.raw ? present::resultText(r.group, r.result()) : std::string(present::kNoResult)},
         {"runs", r.runs},
         {"valid", r.valid},
         {"wrong", wrongJson(r.wrong)}};
    putCopiesOfRow(j, r);
}

void from_json(const json& j, BenchRow& r) {
    r.row = j.at("row").get<int>();
    r.group = j.at("group").get<bench::Group>();
    r.raw = optionalAt<std::int32_t>(j, "raw");
    r.runs = j.at("runs").get<std::vector<std::optional<std::int32_t>>>();
    r.valid = j.value("valid", true);
    r.wrong = wrongFrom(j);
    copiesOfRowFrom(j, r);
}

void to_json(json& j, const BenchFigures& b) {
    j = {{"rows", b.rows},
         {"repetitions", b.repetitions},
         {"cpu_score", b.cpuScore.value},
         // An interrupted first repetition has rows but no scores yet.
         {"cpu_text", b.repetitions > 0 ? present::cpuScoreText(b.cpuScore.value) : ""},
         {"runs", {{"cpu_score", b.cpuScore.runs}}}};
    for (const GroupScore& group : kGroupScores) {
        j[group.key] = (b.*group.score).value;
        j["runs"][group.key] = (b.*group.score).runs;
    }
    if (b.copies.empty()) return;
    j["copies"] = json::array();
    for (const BenchCopy& copy : b.copies) j["copies"].push_back(copyJson(copy));
    if (const auto& m = b.multiCore)
        j["multi_core"] = {{"copies", m->copies},
                           {"alu", m->alu},
                           {"fpu", m->fpu},
                           {"instr", m->instr},
                           {"cpu_score", m->cpuScore}};
}

void from_json(const json& j, BenchFigures& b) {
    b.rows = j.at("rows").get<std::vector<BenchRow>>();
    b.repetitions = j.at("repetitions").get<int>();
    const json& runs = j.at("runs");
    for (const GroupScore& group : kGroupScores)
        b.*group.score = {j.at(group.key).get<std::int32_t>(),
                          runs.at(group.key).get<std::vector<std::int32_t>>()};
    b.cpuScore = {j.at("cpu_score").get<std::int64_t>(),
                  runs.at("cpu_score").get<std::vector<std::int64_t>>()};
    b.copies.clear();
    for (const json& copy : j.value("copies", json::array())) b.copies.push_back(copyFrom(copy));
    b.multiCore.reset();
    if (const auto multi = j.find("multi_core"); multi != j.end() && multi->is_object())
        b.multiCore = MultiCoreScores{
            multi->at("copies").get<int>(), multi->at("alu").get<std::int32_t>(),
            multi->at("fpu").get<std::int32_t>(), multi->at("instr").get<std::int32_t>(),
            multi->at("cpu_score").get<std::int64_t>()};
}

namespace {

// One measurement of the memory benchmark: its figure (null without one), why there is
// none, its bytes and milliseconds, and its text.
void putSpeed(json& j, const std::string& key, const std::optional<membench::Measured>& speed) {
    j[key] = orNull(figureOf(speed));
    j[key + "_failure"] = speed && !*speed ? json(speed->error()) : json(nullptr);
    j[key + "_timed"] = speed && *speed ? timedJson((*speed)->timed) : json(nullptr);
    j[key + "_text"] = speed ? present::speedText(*speed) : std::string(present::kNoFigure);
}

std::optional<membench::Measured> speedFrom(const json& j, const std::string& key) {
    if (const auto figure = optionalAt<std::int32_t>(j, key.c_str()))
        return membench::Measured(
            membench::Speed{*figure, timedAt(j, key + "_timed").value_or(platform::TimedBytes{})});
    if (const auto failure = optionalAt<membench::NoSpeed>(j, (key + "_failure").c_str()))
        return membench::Measured(platform::Unexpected{*failure});
    return std::nullopt;
}

// A timed phase of the memory test: its speed, its bytes and milliseconds, and its text.
void putPhase(json& j, const std::string& key, const std::optional<diag::PhaseSpeed>& phase) {
    j[key] = phase ? json(phase->mbPerSec) : json(nullptr);
    j[key + "_timed"] = phase ? timedJson(phase->timed) : json(nullptr);
    j[key + "_text"] =
        phase ? present::testSpeedText(phase->mbPerSec) : std::string(present::kNoFigure);
}

std::optional<diag::PhaseSpeed> phaseFrom(const json& j, const std::string& key) {
    const auto speed = optionalAt<std::int64_t>(j, key.c_str());
    if (!speed) return std::nullopt;
    return diag::PhaseSpeed{*speed, timedAt(j, key + "_timed").value_or(platform::TimedBytes{})};
}

}  // namespace

void to_json(json& j, const RamBenchFigures& r) {
    j = {{"runs", json::object()}};
    for (const RamSpeed& speed : kRamSpeeds) {
        putSpeed(j, speed.key, r.*speed.speed);
        j["runs"][speed.key] = r.*speed.runs;
    }
}

void from_json(const json& j, RamBenchFigures& r) {
    const json& runs = j.at("runs");
    for (const RamSpeed& speed : kRamSpeeds) {
        r.*speed.speed = speedFrom(j, speed.key);
        r.*speed.runs = runs.at(speed.key).get<std::vector<std::optional<std::int32_t>>>();
    }
}

namespace {

// A double's bits as text, so that a NaN (null in JSON) keeps what it held.
json bitsJson(const std::optional<double>& value) {
    if (!value) return nullptr;
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llx",
                  static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(*value)));
    return text;
}

std::optional<double> doubleFrom(const json& j, const char* key, const char* bitsKey) {
    if (const auto bits = optionalAt<std::string>(j, bitsKey))
        return std::bit_cast<double>(std::stoull(*bits, nullptr, 16));
    return optionalAt<double>(j, key);
}

json mismatchJson(const std::optional<CpuMismatch>& m) {
    if (!m) return nullptr;
    return {{"pass", m->pass},
            {"iteration", orNull(m->iteration)},
            {"value", orNull(m->value)},
            {"row", orNull(m->row)},
            {"expected", orNull(m->expected)},
            {"got", orNull(m->got)},
            {"expected_bits", bitsJson(m->expected)},
            {"got_bits", bitsJson(m->got)}};
}

std::optional<CpuMismatch> mismatchFrom(const json& j) {
    const auto found = j.find("first_mismatch");
    if (found == j.end() || found->is_null()) return std::nullopt;
    return CpuMismatch{found->at("pass").get<std::int64_t>(),
                       optionalAt<std::int64_t>(*found, "iteration"),
                       optionalAt<std::string>(*found, "value"),
                       optionalAt<int>(*found, "row"),
                       doubleFrom(*found, "expected", "expected_bits"),
                       doubleFrom(*found, "got", "got_bits")};
}

json stabilityCpuJson(const StabilityCpu& c) {
    return {{"cpu", c.cpu},
            {"core", c.core},
            {"package", c.package},
            {"die", c.die},
            {"siblings", platform::formatCpuList(c.siblings)},
            {"passes", c.passes},
            {"errors", c.errors},
            {"first_mismatch", mismatchJson(c.firstMismatch)},
            {"first_error_seconds", orNull(c.firstErrorSeconds)},
            {"retest", orNull(c.retest)},
            {"max_celsius", orNull(c.maxCelsius)},
            {"effective_mhz", orNull(c.effectiveMhz)}};
}

StabilityCpu stabilityCpuFrom(const json& j) {
    StabilityCpu c;
    c.cpu = j.at("cpu").get<int>();
    c.core = j.value("core", c.cpu);
    c.package = j.value("package", 0);
    c.die = j.value("die", 0);
    if (const auto siblings = platform::parseCpuList(j.value("siblings", "")))
        c.siblings = *siblings;
    c.passes = j.value("passes", std::int64_t{0});
    c.errors = j.value("errors", std::int64_t{0});
    c.firstMismatch = mismatchFrom(j);
    c.firstErrorSeconds = optionalAt<double>(j, "first_error_seconds");
    c.retest = optionalAt<std::string>(j, "retest");
    c.maxCelsius = optionalAt<double>(j, "max_celsius");
    c.effectiveMhz = optionalAt<double>(j, "effective_mhz");
    return c;
}

}  // namespace

void to_json(json& j, const StabilityFigures& s) {
    j = {{"seconds", s.seconds},
         {"passes", s.passes},
         {"passes_per_thread", s.threadPasses},
         {"errors", s.errors}};
    if (!s.workload) return;
    j["workload"] = *s.workload;
    j["cpus"] = json::array();
    for (const StabilityCpu& cpu : s.cpus) j["cpus"].push_back(stabilityCpuJson(cpu));
}

void from_json(const json& j, StabilityFigures& s) {
    s.seconds = j.at("seconds").get<int>();
    s.passes = j.at("passes").get<std::int64_t>();
    s.threadPasses = j.at("passes_per_thread").get<std::vector<std::int64_t>>();
    s.errors = j.at("errors").get<std::int64_t>();
    s.workload = optionalAt<std::string>(j, "workload");
    s.cpus.clear();
    for (const json& cpu : j.value("cpus", json::array())) s.cpus.push_back(stabilityCpuFrom(cpu));
}

void to_json(json& j, const MemtestFigures& m) {
    j = {{"bytes", m.bytes}};
    for (const MemtestCount& count : kMemtestCounts) j[count.key] = m.*count.count;
    for (const MemtestPhase& phase : kMemtestPhases) putPhase(j, phase.key, m.*phase.phase);
    putLocated(j, m);
}

void from_json(const json& j, MemtestFigures& m) {
    m.bytes = j.at("bytes").get<std::int64_t>();
    // A count newer than the file that holds the result reads as 0, so older results load.
    for (const MemtestCount& count : kMemtestCounts)
        m.*count.count = j.value(count.key, std::int64_t{0});
    for (const MemtestPhase& phase : kMemtestPhases) m.*phase.phase = phaseFrom(j, phase.key);
    takeLocated(j, m);
}

void to_json(json& j, const Report& r) {
    j = {{"schema", kSchema},
         {"corvane", {{"version", CORVANE_VERSION}, {"build_type", CORVANE_BUILD_TYPE}}},
         {"when", r.machine.when},
         {"bench_revision", r.benchRevision},
         {"incomplete", r.incomplete},
         {"machine", r.machine},
         {"cpu", r.cpu},
         {"memory", r.memory}};
    if (r.bench) j["bench"] = *r.bench;
    if (r.ramBench) j["ram_bench"] = *r.ramBench;
    if (r.stability) j["stability"] = *r.stability;
    if (r.memtest) j["memtest"] = *r.memtest;
    if (r.from) j["from"] = {{"file", *r.from}};
}

void from_json(const json& j, Report& r) {
    r = {};
    r.machine = j.value("machine", MachineFigures{});
    r.machine.when = j.value("when", "");
    r.cpu = j.value("cpu", CpuFigures{});
    r.memory = j.value("memory", MemoryFigures{});
    r.benchRevision = j.value("bench_revision", 0);
    r.incomplete = j.value("incomplete", false);
    r.bench = optionalAt<BenchFigures>(j, "bench");
    r.ramBench = optionalAt<RamBenchFigures>(j, "ram_bench");
    r.stability = optionalAt<StabilityFigures>(j, "stability");
    r.memtest = optionalAt<MemtestFigures>(j, "memtest");
    if (const auto from = j.find("from"); from != j.end() && from->is_object())
        r.from = from->value("file", "");
}

}  // namespace report
