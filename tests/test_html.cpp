// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "present/page_words.h"
#include "present/words.h"
#include "report/page/markup.h"
#include "report/page/page.h"
#include "report/page/svg.h"

namespace {

using nlohmann::json;

json fixture(const std::string& name) {
    std::ifstream in(std::string(CORVANE_FIXTURES) + "/" + name);
    EXPECT_TRUE(in) << name;
    return json::parse(in);
}

bool has(const std::string& page, const std::string& text) {
    return page.find(text) != std::string::npos;
}

std::size_t count(const std::string& page, const std::string& text) {
    std::size_t found = 0;
    for (auto at = page.find(text); at != std::string::npos; at = page.find(text, at + 1)) ++found;
    return found;
}

const char* const kSectionIds[] = {"machine",    "cache-and-memory", "cpu-benchmark",
                                   "every-core", "memory-test",      "diagnostic"};

std::vector<std::string> sections(const std::string& page) {
    std::vector<std::string> ids;
    for (const char* id : kSectionIds)
        if (has(page, "<section id=\"" + std::string(id) + "\">")) ids.emplace_back(id);
    return ids;
}

using Ids = std::vector<std::string>;

TEST(PageEscaping, HostileStringsAppearAsTextNeverAsMarkup) {
    json result = fixture("result-every-section.json");
    const std::string script = "<script>alert(1)</script>";
    result["machine"]["cpu_name"] = script;
    result["cpu"]["name"] = script;
    result["machine"]["hostname"] = "\"><img src=x onerror=alert(2)>";
    result["memtest"]["patterns"][0]["name"] = "</svg><svg onload=alert(3)>";
    result["memtest"]["edac"][0]["label"] = "<iframe src=\"https://example.com/\">";
    result["compare"]["file"] = "<!-- '&' -->";
    result["from"]["file"] = "a&b<c>.json";
    const std::string page = report::renderPage(result);

    // The page has no script of its own, so none at all may be in it.
    EXPECT_FALSE(has(page, "<script"));
    EXPECT_FALSE(has(page, "<img"));
    EXPECT_FALSE(has(page, "<iframe"));
    EXPECT_FALSE(has(page, "<svg onload"));
    EXPECT_FALSE(has(page, "<!-- '"));
    EXPECT_TRUE(has(page, "&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_TRUE(has(page, "&quot;&gt;&lt;img src=x onerror=alert(2)&gt;"));
    EXPECT_TRUE(has(page, "&lt;/svg&gt;&lt;svg onload=alert(3)&gt;"));
    EXPECT_TRUE(has(page, "a&amp;b&lt;c&gt;.json"));
    EXPECT_TRUE(has(page, "&lt;!-- &#39;&amp;&#39; --&gt;"));
    // The title and an SVG's aria-label are places a name lands in too.
    EXPECT_TRUE(has(page, "<title>Corvane measurement report \u2014 3192 Mhz &lt;script&gt;"));
}

TEST(PageEscaping, EscapesEveryMarkupCharacterAndDropsControls) {
    EXPECT_EQ(report::page::escape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
    EXPECT_EQ(report::page::escape(std::string("x\x01y\x1b[2Jz\tw\n", 12)), "xy[2Jz\tw\n");
    EXPECT_EQ(report::page::escape("\u00b0C \u2716"), "\u00b0C \u2716");
}

TEST(PageSections, EachSectionIsThereExactlyWhenItsDataIs) {
    const json full = fixture("result-every-section.json");
    EXPECT_EQ(sections(report::renderPage(full)),
              (Ids{"machine", "cache-and-memory", "cpu-benchmark", "every-core", "memory-test"}));

    EXPECT_EQ(sections(report::renderPage(json::object())), Ids{});
    EXPECT_EQ(sections(report::renderPage(json::array())), Ids{});

    json machineOnly = json::object();
    machineOnly["machine"] = full["machine"];
    EXPECT_EQ(sections(report::renderPage(machineOnly)), Ids{"machine"});

    json noPerCpu = full;
    noPerCpu["bench"].erase("copies");
    noPerCpu["stability"].erase("cpus");
    noPerCpu.erase("memtest");
    noPerCpu.erase("compare");
    // The older stability test, two threads and no CPU of its own: the window's diagnostic
    // figures alone.
    EXPECT_EQ(sections(report::renderPage(noPerCpu)),
              (Ids{"machine", "cache-and-memory", "cpu-benchmark", "diagnostic"}));

    json coresFromCopies = json::object();
    coresFromCopies["bench"] = full["bench"];
    EXPECT_EQ(sections(report::renderPage(coresFromCopies)), (Ids{"cpu-benchmark", "every-core"}));

    json memtestOnly = json::object();
    memtestOnly["memtest"] = {
        {"bytes", 1 << 30}, {"passes", 1}, {"errors", 0}, {"write", 9000}, {"read", 8000}};
    EXPECT_EQ(sections(report::renderPage(memtestOnly)), Ids{"memory-test"});

    json compareOnly = json::object();
    compareOnly["compare"] = full["compare"];
    EXPECT_EQ(sections(report::renderPage(compareOnly)), Ids{"cpu-benchmark"});
}

TEST(PageSections, ContentsListOnlyThePresentSections) {
    json result = fixture("result-every-section.json");
    result.erase("memtest");
    const std::string page = report::renderPage(result);
    EXPECT_TRUE(has(page, "<a href=\"#every-core\">Every core</a>"));
    EXPECT_FALSE(has(page, "#memory-test"));
}

TEST(PageSections, EverySectionHasAChartAndATable) {
    const std::string page = report::renderPage(fixture("result-every-section.json"));
    for (const char* id :
         {"machine", "cache-and-memory", "cpu-benchmark", "every-core", "memory-test"}) {
        const auto start = page.find("<section id=\"" + std::string(id) + "\">");
        ASSERT_NE(start, std::string::npos) << id;
        const std::string section = page.substr(start, page.find("</section>", start) - start);
        EXPECT_TRUE(has(section, "<svg class=\"chart\"")) << id;
        EXPECT_TRUE(has(section, "<table")) << id;
    }
}

TEST(PageOldFiles, SchemaOneResultsRenderWhatTheyHave) {
    for (const char* name : {"report_before.json", "report_after.json", "saved-by-3.0.0.4.json"}) {
        const json result = fixture(name);
        ASSERT_EQ(result.value("schema", 0), 1) << name;
        const std::string page = report::renderPage(result);
        EXPECT_EQ(sections(page), (Ids{"machine", "cache-and-memory", "cpu-benchmark"})) << name;
        EXPECT_TRUE(has(page, present::cpuScoreText(result["bench"]["cpu_score"].get<int>())))
            << name;
    }
}

// Every member of the full result, one at a time, made null, of the wrong type, or taken
// away: the page still renders. A saved file of another schema is exactly such a result.
TEST(PageOldFiles, AnyMemberMissingNullOrOfTheWrongTypeStillRenders) {
    const json full = fixture("result-every-section.json");
    std::vector<json::json_pointer> paths;
    const std::function<void(const json&, const json::json_pointer&)> walk =
        [&](const json& j, const json::json_pointer& at) {
            if (j.is_object()) {
                for (const auto& [key, value] : j.items()) {
                    paths.push_back(at / key);
                    walk(value, at / key);
                }
            } else if (j.is_array() && !j.empty()) {
                // The first element stands for the others: they have the same members.
                paths.push_back(at / 0);
                walk(j[0], at / 0);
            }
        };
    walk(full, json::json_pointer());
    ASSERT_GT(paths.size(), 200u);
    for (const auto& path : paths) {
        for (const json& replacement :
             {json(nullptr), json("-"), json(-1), json(1e300), json::array(), json::object()}) {
            json changed = full;
            changed[path] = replacement;
            EXPECT_NO_THROW(report::renderPage(changed)) << path << " = " << replacement;
        }
        json removed = full;
        json& parent = removed[path.parent_pointer()];
        if (parent.is_array()) {
            parent.erase(0);
        } else {
            parent.erase(path.back());
        }
        EXPECT_NO_THROW(report::renderPage(removed)) << path << " removed";
    }
}

TEST(PageSelfContained, NoAddressPointsOutsideTheFile) {
    const std::string page = report::renderPage(fixture("result-every-section.json"));
    EXPECT_FALSE(has(page, "http://"));
    EXPECT_FALSE(has(page, "https://"));
    EXPECT_FALSE(has(page, "@import"));
    // What follows each attribute that names an address, and each url( of the style.
    const auto following = [&page](const std::string& opening, char closing) {
        std::vector<std::string> values;
        for (auto at = page.find(opening); at != std::string::npos;
             at = page.find(opening, at + 1)) {
            const auto start = at + opening.size();
            values.push_back(page.substr(start, page.find(closing, start) - start));
        }
        return values;
    };
    for (const char* attribute :
         {" src=\"", " href=\"", "xlink:href=\"", " action=\"", " poster=\"", " data=\""})
        for (const std::string& value : following(attribute, '"'))
            EXPECT_TRUE(value.starts_with("#") || value.starts_with("data:")) << attribute << value;
    const auto urls = following("url(", ')');
    EXPECT_FALSE(urls.empty());
    for (const std::string& value : urls) EXPECT_TRUE(value.starts_with("#")) << value;
    EXPECT_TRUE(has(page, "Content-Security-Policy\" content=\"default-src 'none'"));
}

TEST(PageSize, FullResultsStayUnderOneAndAHalfMegabytes) {
    constexpr std::size_t kLimit = 1'500'000;
    EXPECT_LT(report::renderPage(fixture("result-every-section.json")).size(), kLimit);

    // A large machine with a faulty memory: 256 CPUs, a copy on each, thousands of mismatches.
    json big = fixture("result-every-section.json");
    json topology = json::array(), cpus = json::array(), copies = json::array();
    const json copy = big["bench"]["copies"][0];
    const json cpu = big["stability"]["cpus"][3];
    for (int n = 0; n < 256; ++n) {
        topology.push_back({{"cpu", n}, {"package", n / 64}, {"die", 0}, {"core", n % 64 / 2}});
        json c = cpu;
        c["cpu"] = n;
        cpus.push_back(c);
        json k = copy;
        k["copy"] = n;
        k["cpu"] = n;
        copies.push_back(k);
    }
    big["machine"]["topology"] = topology;
    big["stability"]["cpus"] = cpus;
    big["bench"]["copies"] = copies;
    json mismatches = json::array();
    for (int n = 0; n < 20000; ++n) mismatches.push_back(big["memtest"]["mismatches"][0]);
    big["memtest"]["mismatches"] = mismatches;
    const std::string page = report::renderPage(big);
    EXPECT_LT(page.size(), kLimit);
    EXPECT_TRUE(has(page, present::page::rowsShownText(500, 20000)));
}

TEST(PageFaults, WrongRowsFaultyCoresAndPatternsStandOut) {
    const std::string page = report::renderPage(fixture("result-every-section.json"));
    // Row 10's work came out wrong, and copy 3 on core 3 computed it wrongly.
    EXPECT_TRUE(has(page, present::wrongResultLine(10)));
    EXPECT_EQ(count(page, "class=\"tile faulty\""), 1u);
    EXPECT_TRUE(has(page, "\u2716 Core 3"));
    // In the row chart, the scaling chart and the copies' spread.
    EXPECT_EQ(count(page, "\u2716 Hypotenuse"), 3u);
    // The two patterns that found errors, the two bits that failed, the DIMM that counted.
    EXPECT_EQ(count(page, "\u2716 solid"), 1u);
    EXPECT_EQ(count(page, "\u2716 walking_ones"), 1u);
    EXPECT_EQ(count(page, "class=\"bar faulty\""), 3u + 2u + 2u + 1u);

    json clean = fixture("result-every-section.json");
    for (auto& row : clean["bench"]["rows"]) {
        row["valid"] = true;
        row["wrong"] = nullptr;
    }
    for (auto& copy : clean["bench"]["copies"])
        for (auto& row : copy["rows"]) row["valid"] = true;
    for (auto& cpu : clean["stability"]["cpus"]) {
        cpu["errors"] = 0;
        cpu["first_mismatch"] = nullptr;
    }
    clean["stability"]["errors"] = 0;
    clean.erase("memtest");
    const std::string cleanPage = report::renderPage(clean);
    EXPECT_FALSE(has(cleanPage, "faulty\""));
    EXPECT_FALSE(has(cleanPage, "\u2716"));
}

TEST(PageCompare, MarksChangesAsTheTextOutputDoes) {
    json result = json::object();
    result["compare"] = {{"file", "before.json"},
                         {"saved_when", "2026-12-01T10:00:00Z"},
                         {"notes", {"TSC MHz: 2000 before, 2600 now"}},
                         {"warnings", json::array()},
                         {"figures",
                          {{{"kind", "row"},
                            {"key", "3"},
                            {"caption", "Formula Ferma"},
                            {"saved", 1000},
                            {"now", 1100},
                            {"ratio", 1.1},
                            {"threshold_percent", 2.0},
                            {"marked", true}},
                           {{"kind", "score"},
                            {"key", "fpu"},
                            {"caption", "FPU score"},
                            {"saved", 1000},
                            {"now", 900},
                            {"ratio", 0.9},
                            {"threshold_percent", 2.0},
                            {"marked", true}},
                           {{"kind", "ram"},
                            {"key", "read"},
                            {"caption", "Read memory speed"},
                            {"saved", 1000},
                            {"now", 1010},
                            {"ratio", 1.01},
                            {"threshold_percent", 3.0},
                            {"marked", false}},
                           {{"kind", "row"},
                            {"key", "17"},
                            {"caption", "Multiplication"},
                            {"saved", 0},
                            {"now", 5},
                            {"ratio", nullptr},
                            {"threshold_percent", nullptr},
                            {"marked", false}}}}};
    const std::string page = report::renderPage(result);
    EXPECT_TRUE(has(page, "+10.0 % * higher"));
    EXPECT_TRUE(has(page, "-10.0 % * lower"));
    EXPECT_TRUE(has(page, ">+1.0 %<"));
    EXPECT_EQ(count(page, "* higher</td>"), 1u);
    EXPECT_EQ(count(page, "* lower</td>"), 1u);
    EXPECT_TRUE(has(page, "Note: TSC MHz: 2000 before, 2600 now"));
    // A band for each figure with a threshold; none without.
    EXPECT_EQ(count(page, "class=\"band\""), 3u);
    EXPECT_TRUE(has(page, "\u00b1 3.0 %"));
}

TEST(PageCache, MarksEachSizeOnTheSweepOrSaysItIsBeyond) {
    json result = json::object();
    result["cpu"] = fixture("result-every-section.json")["cpu"];
    result["cpu"]["caches_os"].push_back({{"level", 3}, {"type", "Unified"}, {"bytes", 33554432}});
    const std::string page = report::renderPage(result);
    EXPECT_TRUE(has(page, "Cache level 2: 256 Kbyte (timed)"));
    EXPECT_EQ(count(page, "class=\"mark timed\""), 1u);
    // L1 data, L2 and the 12 MiB L3 on the curve; the instruction cache has no place on it;
    // a 32 MiB L3 is past its end.
    EXPECT_EQ(count(page, "class=\"mark system\""), 3u);
    EXPECT_FALSE(has(page, "L1 Instruction: 32 KiB (system)"));
    EXPECT_TRUE(has(page, "L3 Unified: 32 MiB (system): beyond the chart."));

    // An older result names the second level's size alone.
    result["cpu"].erase("caches_os");
    result["cpu"]["l2_cache_os"] = 524288;
    EXPECT_TRUE(has(report::renderPage(result), "L2: 512 KiB (system)"));
}

// The numbers of attribute `name` of each element of `klass` in an SVG, in order.
std::vector<double> attributes(const std::string& svg, const std::string& klass,
                               const std::string& name) {
    std::vector<double> values;
    const std::string mark = "class=\"" + klass + "\"";
    for (auto at = svg.find(mark); at != std::string::npos; at = svg.find(mark, at + 1)) {
        const auto open = svg.rfind('<', at);
        const auto found = svg.find(" " + name + "=\"", open);
        if (found != std::string::npos && found < at)
            values.push_back(std::stod(svg.substr(found + name.size() + 3)));
    }
    return values;
}

TEST(SvgCharts, BarsWhiskersAndTheReferenceShareOneScale) {
    report::page::BarChart chart;
    chart.bars = {{"half", 50.0, "50", std::nullopt, std::nullopt, false, ""},
                  {"whole", 100.0, "100", 90.0, 110.0, false, ""},
                  {"wrong", 25.0, "25", std::nullopt, std::nullopt, true, ""}};
    chart.reference = 100;
    const std::string svg = report::page::barChart(chart);
    const auto x = attributes(svg, "bar", "x");
    const auto widths = attributes(svg, "bar", "width");
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(widths[1], 2 * widths[0], 0.2);
    const auto faulty = attributes(svg, "bar faulty", "width");
    ASSERT_EQ(faulty.size(), 1u);
    EXPECT_NEAR(faulty[0], widths[0] / 2, 0.2);
    // The reference line stands where the whole bar ends; the whisker spans 90 to 110.
    const auto reference = attributes(svg, "reference", "x1");
    ASSERT_EQ(reference.size(), 1u);
    EXPECT_NEAR(reference[0], x[1] + widths[1], 0.2);
    const auto whiskers = attributes(svg, "whisker", "x1");
    ASSERT_EQ(whiskers.size(), 3u);
    EXPECT_NEAR(whiskers[0], x[1] + widths[1] * 0.9, 0.2);
    EXPECT_NEAR(attributes(svg, "whisker", "x2")[0], x[1] + widths[1] * 1.1, 0.2);
}

TEST(SvgCharts, SweepMarksSitOnALogarithmicScale) {
    report::page::SweepChart chart;
    for (double kib = 8; kib <= 16384; kib *= 2) chart.points.push_back({kib, 1000.0, 900.0});
    chart.marks = {{256, "timed", true}, {48, "L1", false}, {32768, "L3", false}};
    const std::string svg = report::page::sweepChart(chart);
    const auto grid = attributes(svg, "grid", "x1");
    const auto timed = attributes(svg, "mark timed", "x1");
    const auto system = attributes(svg, "mark system", "x1");
    ASSERT_EQ(timed.size(), 1u);
    // One mark on the curve; the 32 MiB one is past its end.
    ASSERT_EQ(system.size(), 1u);
    // The vertical grid lines come after the horizontal ones, one a power of two from 8 KiB.
    ASSERT_GE(grid.size(), 12u);
    const std::vector<double> columns(grid.end() - 12, grid.end());
    EXPECT_NEAR(timed[0], columns[5], 0.2);  // 256 KiB
    // 48 KiB lies log2(1.5) of the way from 32 to 64 KiB.
    EXPECT_NEAR(system[0], columns[2] + (columns[3] - columns[2]) * std::log2(1.5), 0.2);
}

TEST(SvgCharts, ANoiseBandIsCentredOnNoChange) {
    report::page::ChangeChart chart;
    chart.changes = {{"row", 8.0, 2.5, "+8.0 % * higher", true}};
    const std::string svg = report::page::changeChart(chart);
    const auto zero = attributes(svg, "zero", "x1");
    const auto band = attributes(svg, "band", "x");
    const auto bandWidth = attributes(svg, "band", "width");
    const auto change = attributes(svg, "change marked", "x");
    const auto changeWidth = attributes(svg, "change marked", "width");
    ASSERT_EQ(zero.size(), 1u);
    ASSERT_EQ(band.size(), 1u);
    ASSERT_EQ(change.size(), 1u);
    EXPECT_NEAR(band[0] + bandWidth[0] / 2, zero[0], 0.2);
    EXPECT_NEAR(change[0], zero[0], 0.2);
    EXPECT_NEAR(changeWidth[0], bandWidth[0] / 2 * 8.0 / 2.5, 0.3);
}

TEST(PageWords, UnitsAndSizes) {
    namespace words = present::page;
    EXPECT_EQ(words::bytesText(32768), "32 KiB");
    EXPECT_EQ(words::bytesText(12582912), "12 MiB");
    EXPECT_EQ(words::bytesText(1572864), "1.5 MiB");
    EXPECT_EQ(words::bytesText(512), "512 B");
    EXPECT_EQ(words::bytesText(std::int64_t{50} << 30), "50 GiB");
    // The unit the window writes after a row's figure, never a second spelling of it.
    EXPECT_EQ(present::resultText(bench::Group::Alu, 8000),
              "8000 " + words::resultUnit(bench::Group::Alu));
    EXPECT_EQ(present::resultText(bench::Group::Instr, 960),
              "960 " + words::resultUnit(bench::Group::Instr));
    EXPECT_EQ(words::errorsText(1), "1 error");
    EXPECT_EQ(words::errorsText(3), "3 errors");
    EXPECT_EQ(words::signedPercentText(-3.04), "-3.0 %");
}

}  // namespace
