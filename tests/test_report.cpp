// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bench/benchmark_run.h"
#include "bench/kernel_table.h"
#include "fake_benchmark_rows.h"
#include "report/collect.h"
#include "report/compare.h"
#include "report/options.h"
#include "report/output.h"
#include "report/repeat.h"
#include "report/report.h"
#include "report/save.h"

namespace fs = std::filesystem;
using report::EarlyExit;
using report::Options;

namespace {

// What parsing `line`, split at spaces, gave; expected to be a T: Options, or an EarlyExit.
template <class T = Options>
T parsed(const std::string& line) {
    std::istringstream words(line);
    const auto result = report::parseOptions({std::istream_iterator<std::string>(words), {}});
    if constexpr (std::is_same_v<T, Options>) {
        EXPECT_TRUE(result) << line << ": " << (result ? "" : result.error().text);
        return result ? *result : Options{};
    } else {
        EXPECT_FALSE(result) << line;
        return result ? EarlyExit{} : result.error();
    }
}

report::Report sampleReport() {
    report::Report r;
    r.cpu.described = true;
    r.cpu.ratedMhz = 3200;
    r.cpu.name = "Example CPU";
    r.cpu.clockCycles = 1'596'006'150;  // 3192.0123 MHz
    r.memory.status = platform::MemoryStatus{8'000'000'000, 6'000'000'000,         9'000'000'000,
                                             7'000'000'000, std::int64_t{1} << 47, 100};
    r.machine.when = "2026-12-07T01:02:03Z";
    auto& bench = r.bench.emplace();
    bench.repetitions = 1;
    bench.rows.push_back({1, bench::Group::Alu, 1500, {1500}, true});
    bench.rows.push_back({26, bench::Group::Instr, std::nullopt, {std::nullopt}, true});
    bench.alu = {8000, {8000}};
    bench.fpu = {4000, {4000}};
    bench.instr = {512, {512}};
    bench.cpuScore = {4677, {4677}};
    return r;
}

std::string contents(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What a run of corvane-report left: its wait status and its standard error.
struct Finished {
    int status = -1;
    std::string err;
};

// Runs corvane-report with its standard output in `out`, reading its standard error as it
// is written. With `interruptAfter`, Ctrl-C comes as soon as that line has shown there.
Finished runProgram(const std::vector<std::string>& arguments, const fs::path& out,
                    const std::string& interruptAfter = "", rusage* usage = nullptr) {
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen(out.c_str(), "w", stdout) || dup2(errPipe[1], STDERR_FILENO) < 0) _exit(127);
        std::vector<char*> argv{const_cast<char*>(CORVANE_REPORT_PROGRAM)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(errPipe[1]);
    Finished finished;
    bool interrupted = interruptAfter.empty();
    char chunk[4096];
    for (ssize_t got; (got = read(errPipe[0], chunk, sizeof chunk)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        finished.err.append(chunk, static_cast<std::size_t>(got));
        if (!interrupted && finished.err.find(interruptAfter + "\n") != std::string::npos) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    close(errPipe[0]);
    wait4(pid, &finished.status, 0, usage);
    return finished;
}

bool exitedWith(const Finished& finished, int status) {
    return WIFEXITED(finished.status) && WEXITSTATUS(finished.status) == status;
}

// The output file of a run of the program, named after the test and removed after it.
class ReportProgram : public ::testing::Test {
  protected:
    void TearDown() override { fs::remove(out); }
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const fs::path out = fs::temp_directory_path() / ("corvane-" + name + ".out");
};

}  // namespace

TEST(ReportOptions, ValuesAndSizesAreTakenAndHelpExitsWithZero) {
    const Options none = parsed("");  // the pages only
    EXPECT_EQ(none.format, report::Format::Text);
    EXPECT_FALSE(none.benchCpu || none.benchRam || none.stabilitySeconds || none.memtestBytes);
    const Options cpu = parsed("--bench cpu");
    EXPECT_TRUE(cpu.benchCpu && !cpu.benchRam);
    const Options all = parsed("--bench all --json");
    EXPECT_TRUE(all.benchCpu && all.benchRam && all.format == report::Format::Json);
    EXPECT_EQ(all.repeat, 1);
    EXPECT_EQ(parsed("--format openmetrics").format, report::Format::OpenMetrics);
    const Options o = parsed(
        "--bench ram --repeat 100 --save a.json --compare b.json --stability 30 --memtest 64M "
        "--passes 3");
    EXPECT_EQ(std::tuple(o.repeat, *o.saveFile, *o.compareFile),
              std::tuple(100, "a.json", "b.json"));
    EXPECT_EQ(std::tuple(*o.stabilitySeconds, *o.memtestBytes, o.memtestPasses),
              std::tuple(30, 64 << 20, 3));
    EXPECT_EQ(parsed("--memtest 1G").memtestPasses, 1);
    const EarlyExit help = parsed<EarlyExit>("--help");
    EXPECT_EQ(help.status, report::kExitAllWell);
    EXPECT_NE(help.text.find("--memtest"), std::string::npos);
    // Every exit status, as the manual page gives them.
    for (const char* status :
         {"\n  0    all went well\n", "\n  1    a stability test found an error",
          "\n  2    a usage error", "\n  130  interrupted by Ctrl-C"})
        EXPECT_NE(help.text.find(status), std::string::npos) << status << "\n" << help.text;
    const EarlyExit version = parsed<EarlyExit>("--version");
    EXPECT_EQ(version.status, report::kExitAllWell);
    EXPECT_EQ(version.text.rfind("corvane-report ", 0), 0u) << version.text;
    EXPECT_EQ(std::count(version.text.begin(), version.text.end(), '\n'), 1) << version.text;

    // Sizes are binary multiples.
    EXPECT_EQ(report::parseSize("65536"), 65536);
    EXPECT_EQ(report::parseSize("64K"), 64 * 1024);
    EXPECT_EQ(report::parseSize("3g"), std::int64_t{3} << 30);
    for (const char* bad : {"", "0", "M", "1.5G", "9999999999999G"})
        EXPECT_FALSE(report::parseSize(bad)) << bad;
}

// The reason alone: the program adds its name when it prints it.
TEST(ReportOptions, MistakesGiveOneLineAndStatusTwo) {
    // Among them: --passes without --memtest, a memtest under 1 MiB, --repeat or --compare
    // without --bench, and a comparison in OpenMetrics.
    for (const char* line :
         {"--frobnicate", "--memtest 12Q", "--memtest -5M", "--stability soon", "--stability 0",
          "--passes 2", "--memtest 100", "--memtest 1023K", "--repeat 3", "--bench cpu --repeat 0",
          "--bench cpu --repeat 101", "--compare a.json",
          "--bench cpu --compare a.json --format openmetrics", "--json --format text",
          "--format xml", "extra"}) {
        const EarlyExit e = parsed<EarlyExit>(line);
        EXPECT_EQ(e.status, report::kExitUsage) << line;
        EXPECT_FALSE(e.text.empty()) << line;
        EXPECT_EQ(e.text.find('\n'), std::string::npos) << e.text;
        EXPECT_EQ(e.text.find("corvane-report"), std::string::npos) << e.text;
    }
}

TEST(ReportJson, ParsesCarriesTheTextOutputsNumbersAndNullForWhatIsMissing) {
    report::Report r = sampleReport();
    const auto json = nlohmann::json::parse(nlohmann::json(r).dump());
    const std::string text = report::renderText(r);

    EXPECT_EQ(json["bench_revision"], bench::kBenchRevision);
    // The figures, each where the JSON output keeps it, and the texts beside them.
    const auto expected = R"({"schema": 3, "when": "2026-12-07T01:02:03Z", "incomplete": false,
        "cpu": {"name_text": "3200 Mhz Example CPU", "clock_text": "3192.01",
                "clock_cycles": 1596006150},
        "bench": {"cpu_score": 4677, "cpu_text": "Your CPU score: 4677 Mark!",
                  "rows": [{"raw": 1500, "result": 8000, "text": "8000 Mark", "runs": [1500],
                            "valid": true, "group": "ALU"}],
                  "runs": {"cpu_score": [4677]}},
        "memory": {"phys_in_use": 2000000000, "pagefile_in_use": 2000000000,
                   "load_percent": 25}})"_json.flatten();
    for (const auto& [at, value] : expected.items())
        EXPECT_EQ(json.at(nlohmann::json::json_pointer(at)), value) << at;
    for (const char* key : {"version", "build_type"})
        EXPECT_TRUE(json["corvane"][key].is_string()) << key;
    for (const char* key : {"cpu_name", "identifier", "vendor", "logical_cpus", "tsc_mhz",
                            "effective_mhz", "memory_total", "kernel_release", "hostname"})
        EXPECT_TRUE(json["machine"].contains(key)) << key;
    EXPECT_EQ(text.find("min "), std::string::npos);  // one run: today's lines
    for (const char* line : {"3200 Mhz Example CPU", "Your CPU score: 4677 Mark!",
                             "Fibonachi digit's........ 8000 Mark"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    // What could not be obtained is null.
    r.memory.status.reset();
    const nlohmann::json nulls = r;
    for (const char* at : {"/cpu/l2_cache_os", "/cpu/effective_mhz", "/memory/total_phys",
                           "/memory/load_percent", "/bench/rows/1/raw"})
        EXPECT_TRUE(nulls.at(nlohmann::json::json_pointer(at)).is_null()) << at;
    EXPECT_FALSE(nulls.contains("ram_bench"));
}

// A processor that computes one row wrongly: the row keeps its figure, and every output
// says so; the exit status is that of a stability error.
TEST(ReportBench, AWrongRowIsNamedInEveryOutputAndFailsTheExitStatus) {
    fake::resetScript();
    const auto rows = fake::rows();
    fake::script.wrong[3] = true;
    std::vector<std::string> progress;
    std::vector<report::BenchRow> done;
    report::Report r;
    r.bench = report::runCpuBenchmark(
        rows, [&](const std::string& line) { progress.push_back(line); },
        [&](const report::BenchRow& row) { done.push_back(row); });
    const std::string line = "Formula Ferma: wrong result; the processor made an error under load";

    ASSERT_EQ(r.bench->rows.size(), 29u);
    for (const auto& row : r.bench->rows) EXPECT_EQ(row.valid, row.row != 3) << row.row;
    ASSERT_EQ(done.size(), 29u);  // an interrupted run's rows say it too
    EXPECT_FALSE(done[2].valid);
    EXPECT_NE(std::find(progress.begin(), progress.end(), line), progress.end());
    EXPECT_TRUE(r.foundErrors());

    EXPECT_NE(report::renderText(r).find("\n" + line + "\n"), std::string::npos);
    const nlohmann::json json = r;
    for (const auto& row : json["bench"]["rows"])
        EXPECT_EQ(row.at("valid"), row["row"] != 3) << row["row"];
    // The row's work held its row number plus one where its golden value has the number.
    EXPECT_EQ(json["bench"]["rows"][2]["wrong"],
              nlohmann::json({{"slot", "count 0"}, {"expected", 3}, {"got", 4}}));
    // A value past a double's range goes as text, to every digit it has, and comes back.
    report::BenchRow extended = r.bench->rows[2];
    extended.wrong = {bench::Mismatch::Kind::Value, 0, 4.02387260077093773e2567L, 1.0L, 1e2558L};
    const nlohmann::json wrongValue = extended;
    EXPECT_EQ(wrongValue["wrong"]["slot"], "value 0");
    EXPECT_TRUE(
        wrongValue["wrong"]["expected"].get<std::string>().starts_with("4.02387260077093773"));
    EXPECT_EQ(wrongValue.get<report::BenchRow>().wrong, extended.wrong);
    const std::string metrics = report::renderOpenMetrics(r);
    EXPECT_NE(metrics.find("corvane_bench_row_valid{row=\"3\",group=\"ALU\",caption=\"Formula "
                           "Ferma\"} 0\n"),
              std::string::npos);
    EXPECT_NE(metrics.find("corvane_bench_row_valid{row=\"4\",group=\"ALU\",caption=\"Brute "
                           "force\"} 1\n"),
              std::string::npos);

    // One wrong repetition of three, not the median one, makes the row wrong.
    std::vector<report::BenchFigures> repetitions(3, *r.bench);
    repetitions[0].rows[2].raw = 12'000'000;  // 1 Mark
    repetitions[1].rows[2].valid = repetitions[2].rows[2].valid = true;
    repetitions[1].rows[2].wrong = repetitions[2].rows[2].wrong = std::nullopt;
    const report::BenchFigures combined = report::combineBench(repetitions);
    EXPECT_FALSE(combined.rows[2].valid);
    EXPECT_EQ(combined.rows[2].wrong, r.bench->rows[2].wrong);

    fake::script.wrong[3] = false;
    r.bench = report::runCpuBenchmark(rows, [](const std::string&) {});
    EXPECT_FALSE(r.foundErrors());
    EXPECT_EQ(report::renderText(r).find("wrong result"), std::string::npos);
}

// The stability test's errors are in test_report_threads.
TEST(ReportExitStatus, MemtestErrorsAreFoundAndTheTextSaysWhichPassCountIsWhich) {
    report::Report r;
    EXPECT_FALSE(r.foundErrors());
    // The window shows one thread's count; the report says which figure is which.
    r.stability = report::StabilityFigures{10, 201, 0, {100, 101}};
    EXPECT_NE(report::renderText(r).find("Pass: 100 and 101 per thread, 201 in all"),
              std::string::npos);
    r.memtest = report::MemtestFigures{};
    r.memtest->errors = 1;
    EXPECT_TRUE(r.foundErrors());
}

TEST(ReportRepeat, EachFigureTakesItsMedianRepetition) {
    const auto spread = report::spreadOf({120, 100, 110, 90});
    EXPECT_EQ(spread.median, 100);  // an even count takes the lower middle value
    EXPECT_EQ(spread.medianRun, 1u);
    EXPECT_DOUBLE_EQ(*spread.percent, 30.0);
    EXPECT_FALSE(report::spreadOf({0, 0, 5}).percent);

    std::vector<report::BenchFigures> repetitions(3, *sampleReport().bench);
    const std::int32_t raws[] = {1500, 1000, 2000};
    for (std::size_t i = 0; i < 3; ++i) {
        repetitions[i].rows[0].raw = raws[i];
        repetitions[i].cpuScore.value = 4000 + static_cast<std::int64_t>(i);
    }
    const report::BenchFigures b = report::combineBench(repetitions);
    EXPECT_EQ(b.repetitions, 3);
    EXPECT_EQ(b.rows[0].raw, 1500);  // the raw value of the repetition with the median result
    EXPECT_EQ(b.rows[0].runs, (std::vector<std::optional<std::int32_t>>{1500, 1000, 2000}));
    EXPECT_EQ(b.cpuScore.value, 4001);
    report::Report r = sampleReport();
    r.bench = b;
    EXPECT_NE(report::renderText(r).find("8000 Mark   min 6000, max 12000, spread 75.0 %"),
              std::string::npos);
}

TEST(ReportCompare, MarksOnlyChangesBeyondBothSpreads) {
    // Both saved by schema 1, as the release before wrote them.
    const auto loaded = report::loadSaved(std::string(CORVANE_FIXTURES) + "/report_before.json");
    ASSERT_TRUE(loaded) << loaded.error();
    report::Report before = *loaded;
    report::Report after =
        nlohmann::json::parse(contents(fs::path(CORVANE_FIXTURES) / "report_after.json"))
            .get<report::Report>();

    const report::Comparison c = report::compareResults(before, after, "before.json");
    EXPECT_EQ(c.notes.size(), 2u);  // CPU name and TSC
    EXPECT_TRUE(c.warnings.empty());
    std::map<std::string, const report::CompareLine*> lines;
    for (const auto& line : c.lines) lines[line.kind + " " + line.key] = &line;
    ASSERT_EQ(lines.size(), 9u);
    // Marked: row 1, 8000 -> 8571 (+7.1 %) against spreads of 6.25 % and 0.7 %; the ALU score,
    // +6.25 % against 2.5 %; the CPU score, +2.6 % against 2.1 %. Not marked: row 2, 12000 ->
    // 11428 (-4.8 %) inside the new run's 9.5 %; row 17; the FPU score, no change and no
    // spread; RAM write, +1.25 % against 5 %.
    for (const char* key : {"row 1", "score alu", "score cpu_score"})
        EXPECT_TRUE(lines[key]->marked) << key;
    for (const char* key : {"row 2", "row 17", "score fpu", "ram write"})
        EXPECT_FALSE(lines[key]->marked) << key;
    EXPECT_NEAR(*lines["row 1"]->threshold, 6.25, 1e-9);
    EXPECT_NEAR(*lines["row 2"]->threshold, 100.0 * 1091 / 11428, 1e-9);
    EXPECT_NEAR(*lines["ram write"]->ratio, 4050.0 / 4000.0, 1e-12);
    const std::string text = report::renderCompareText(c);
    EXPECT_NE(text.find("Note: TSC MHz differs: saved 2000.0, now 2600.0"), std::string::npos)
        << text;
    EXPECT_NE(text.find("1.071  * higher"), std::string::npos) << text;
    EXPECT_EQ(report::compareJson(c)["figures"].size(), 9u);

    // Single repetitions: 5 %.
    before.bench->rows[1].runs = {1000};
    after.bench->rows[1].raw = 1091;  // 10999 Mark: -8.3 %
    after.bench->rows[1].runs = {1091};
    const report::Comparison d = report::compareResults(before, after, "before.json");
    EXPECT_TRUE(d.lines[1].marked);
    EXPECT_DOUBLE_EQ(*d.lines[1].threshold, report::kSingleRunThreshold);
}

// Rows of another revision did other work: the text says so before the figures, the JSON
// gives both revisions and the same warning.
TEST(ReportCompare, AnotherBenchRevisionIsWarnedOfInTextAndJson) {
    const report::Report saved = sampleReport();
    report::Report now = sampleReport();
    now.benchRevision = saved.benchRevision + 1;
    const std::optional comparison = report::compareResults(saved, now, "before.json");
    const std::string warning =
        "bench revision differs: saved " + std::to_string(saved.benchRevision) + ", now " +
        std::to_string(now.benchRevision) + "; rows whose work changed are not comparable";

    const std::string text = report::rendered(now, report::Format::Text, comparison);
    const auto at =
        text.find("\nCompared with before.json (2026-12-07T01:02:03Z)\nWarning: " + warning + "\n");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_LT(at, text.find("Fibonachi digit's........", at)) << text;
    const auto json =
        nlohmann::json::parse(report::rendered(now, report::Format::Json, comparison));
    EXPECT_EQ(json["compare"]["saved_bench_revision"], saved.benchRevision);
    EXPECT_EQ(json["compare"]["bench_revision"], now.benchRevision);
    EXPECT_EQ(json["compare"]["warnings"], nlohmann::json::array({warning}));

    now.benchRevision = saved.benchRevision;
    const auto same = report::compareResults(saved, now, "before.json");
    EXPECT_TRUE(same.warnings.empty());
    EXPECT_EQ(report::renderCompareText(same).find("Warning"), std::string::npos);
}

// A whole result saved by the release before, schema 1 with "panel1", reads as this one's
// figures, and a result written now reads back as it was.
TEST(ReportCompare, ReadsWhatThePreviousReleaseSavedAndWhatThisOneSaves) {
    const auto old = report::loadSaved(std::string(CORVANE_FIXTURES) + "/saved-by-3.0.0.4.json");
    ASSERT_TRUE(old) << old.error();
    EXPECT_EQ(old->bench->rows.size(), 29u);
    EXPECT_EQ(old->cpu.ratedMhz, 2096);
    EXPECT_TRUE(old->ramBench->write && *old->ramBench->write);
    const report::Comparison c = report::compareResults(*old, *old, "saved-by-3.0.0.4.json");
    EXPECT_EQ(c.lines.size(), 29u + 4 + 2);  // rows, scores, speeds
    EXPECT_TRUE(c.notes.empty() && c.warnings.empty());

    report::Report now = sampleReport();
    now.stability = report::StabilityFigures{10, 201, 0, {100, 101}};
    now.memtest =
        report::MemtestFigures{1 << 20, 2, 1, diag::PhaseSpeed{1132, {1 << 20, 250}}, std::nullopt};
    const nlohmann::json saved = now;
    EXPECT_EQ(nlohmann::json(saved.get<report::Report>()), saved);
    // A count the file was saved without reads as none.
    nlohmann::json older = saved;
    older["memtest"].erase("errors");
    EXPECT_EQ(older.get<report::Report>().memtest->errors, 0);
}

TEST(ReportCompare, UnusableFilesGiveOneLine) {
    for (const char* name :
         {"missing.json", "garbage.json", "foreign.json", "newer.json", "mistyped.json"}) {
        const auto loaded =
            report::loadSaved((fs::path(CORVANE_FIXTURES) / "compare-unusable" / name).string());
        ASSERT_FALSE(loaded) << name;
        const std::string& message = loaded.error();
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_EQ(message.rfind("--compare: ", 0), 0u) << message;
    }
}

TEST(ReportSave, AFailedSaveLeavesTheEarlierFile) {
    const fs::path dir = fs::temp_directory_path() / "corvane-save";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "a.json";
    EXPECT_TRUE(report::saveAtomically(file, "old\n"));
    // The temporary file's place is taken: even root cannot create it.
    fs::create_directory(file.string() + ".tmp-" + std::to_string(getpid()));
    const auto failure = report::saveAtomically(file, "new\n");
    ASSERT_FALSE(failure);
    EXPECT_EQ(failure.error().find('\n'), std::string::npos);
    EXPECT_EQ(contents(file), "old\n");
    fs::remove(file.string() + ".tmp-" + std::to_string(getpid()));
    std::ofstream(dir / "plain") << "x";
    EXPECT_FALSE(report::saveAtomically(dir / "plain" / "a.json", "new\n"));  // parent is a file
    EXPECT_TRUE(report::saveAtomically(file, "new\n"));
    EXPECT_EQ(contents(file), "new\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    fs::remove_all(dir);
}

// The program itself, a few seconds each.
TEST_F(ReportProgram, OpenMetricsOutputPassesPromtool) {
    if (system("command -v promtool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "promtool is not installed (Debian package prometheus)";
    const Finished run = runProgram({"--bench", "ram", "--format", "openmetrics"}, out);
    ASSERT_TRUE(exitedWith(run, report::kExitAllWell)) << run.err;
    const std::string metrics = contents(out);
    EXPECT_NE(metrics.find("corvane_ram_write_bytes_per_second "), std::string::npos);
    EXPECT_EQ(metrics.substr(metrics.size() - 6), "# EOF\n");
    const std::string check = "promtool check metrics < " + out.string() + " 2>&1";
    EXPECT_EQ(system(check.c_str()), 0);
}

// The statuses that end a run before or after its work; only the program names itself.
TEST_F(ReportProgram, VersionWriteErrorsAndCtrlCGiveTheirStatus) {
    Finished run = runProgram({"--version"}, out);
    EXPECT_TRUE(exitedWith(run, report::kExitAllWell)) << run.err;
    EXPECT_EQ(contents(out).rfind("corvane-report ", 0), 0u) << contents(out);

    run = runProgram({"--memtest", "12Q"}, out);
    EXPECT_TRUE(exitedWith(run, report::kExitUsage));
    EXPECT_EQ(run.err, "corvane-report: --memtest: not a size: 12Q\n");

    run = runProgram({"--format", "json"}, "/dev/full");
    EXPECT_TRUE(exitedWith(run, report::kExitUsage));
    EXPECT_NE(run.err.find("\ncorvane-report: cannot write the output: "), std::string::npos)
        << run.err;

    run = runProgram({"--stability", "60"}, out, "CPU stability test...");
    EXPECT_TRUE(exitedWith(run, report::kExitInterrupted)) << run.status;
    EXPECT_NE(run.err.find("\ncorvane-report: interrupted\n"), std::string::npos) << run.err;
    const std::string text = contents(out);
    EXPECT_EQ(text.rfind("INCOMPLETE", 0), 0u) << text;
    EXPECT_NE(text.find("CPU TEST (60 s)  Pass: "), std::string::npos) << text;
}

// An oversized file is refused from its size, before any run: it costs no more memory than
// a refused file of a few bytes (compared so that a sanitizer's own memory cancels out).
TEST_F(ReportProgram, ACompareFileOfAHundredMegabytesIsRefusedQuicklyInLittleMemory) {
    const fs::path small = out.string() + ".small.json";
    std::ofstream(small) << "not json\n";
    rusage smallUsage{};
    runProgram({"--bench", "ram", "--compare", small}, out, "", &smallUsage);
    fs::remove(small);

    const fs::path big = out.string() + ".json";
    {
        std::ofstream file(big);
        file << "{\"schema\": 1, \"corvane\": {}, \"pad\": \"";
        const std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 100; ++i) file << chunk;
        file << "\"}\n";
    }
    rusage usage{};
    const Finished run = runProgram({"--bench", "ram", "--compare", big}, out, "", &usage);
    fs::remove(big);
    EXPECT_TRUE(exitedWith(run, report::kExitUsage)) << run.status;
    EXPECT_EQ(run.err, "corvane-report: --compare: " + big.string() +
                           ": larger than 64 MiB, not a corvane-report result\n");
    // The file was never read: 100 MiB of it would show many times over.
    EXPECT_LT(usage.ru_maxrss - smallUsage.ru_maxrss, 16 * 1024) << "KiB at most";
}

namespace {

// A tree with a processor's cpuinfo and no cpufreq, whose cpuinfo's opens are counted.
struct WatchedCpuinfo {
    WatchedCpuinfo() {
        fs::remove_all(root);
        fs::create_directories(root / "proc");
        std::ofstream(root / "proc/cpuinfo")
            << "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 26\nmodel\t\t: 2\n"
               "stepping\t: 1\nmodel name\t: Watched EPYC\ncpu MHz\t\t: 2096.040\n"
               "flags\t\t: fpu tsc constant_tsc\n\nprocessor\t: 1\n";
        // Closes too: inotify merges an event into the unread one before it when the two are
        // alike, and an open between two closes never is.
        watch =
            inotify_add_watch(events, (root / "proc/cpuinfo").c_str(), IN_OPEN | IN_CLOSE_NOWRITE);
    }
    ~WatchedCpuinfo() {
        close(events);
        fs::remove_all(root);
    }
    // The opens since the watch began; each is queued as the open happens.
    int opens() const {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = read(events, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                count += (event->mask & IN_OPEN) != 0;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return count;
    }
    const fs::path root =
        fs::temp_directory_path() / ("corvane-watched-" + std::to_string(getpid()));
    const int events = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    int watch = -1;
};

// A clock whose half-second sleep takes no time: exactly 500 ms and 1,048,020,000 cycles.
std::uint64_t steppingNanoseconds() {
    static std::uint64_t now = 0;
    return now += 500'000'000;
}
std::uint64_t steppingCounter() {
    static std::uint64_t cycles = 0;
    return cycles += 1'048'020'000;
}
void noSleep(std::uint32_t) {}

}  // namespace

// The description, the rated speed, the system's TSC rate and the machine's identity all come
// from one read of the first processor's block.
TEST(ReportCollect, ReadsCpuinfoOnceForEveryFigure) {
    const WatchedCpuinfo tree;
    ASSERT_GE(tree.watch, 0) << "inotify: " << std::strerror(errno);
    platform::Sources sources;
    sources.root = tree.root;
    sources.clock.nanoseconds = steppingNanoseconds;
    sources.clock.timeStampCounter = steppingCounter;
    sources.clock.sleepMs = noSleep;

    const report::CpuFigures cpu = report::collectCpu(sources);
    const report::MachineFigures machine = report::collectMachine(cpu, {}, sources);
    EXPECT_EQ(tree.opens(), 1);
    EXPECT_EQ(cpu.name, "Watched EPYC");
    EXPECT_EQ(cpu.ratedMhz, 2096);
    EXPECT_EQ(cpu.identifier, "AMD64 Family 26 Model 2 Stepping 1");
    EXPECT_EQ(cpu.tscMhzOs, 2096.04);
    EXPECT_EQ(machine.cpuName, "Watched EPYC");
    EXPECT_EQ(machine.tscMhz, 2096.04);
}

// --from measures nothing: a saved result renders in every format, round-trips through JSON
// apart from the note of where it came from, and gives a page; what is not a result is
// refused as --compare refuses it, and a page that cannot be written is status 2.
TEST_F(ReportProgram, FromRendersASavedResultAndHtmlWritesItsPage) {
    const fs::path saved = fs::temp_directory_path() / ("corvane-" + name + ".json");
    const fs::path page = fs::temp_directory_path() / ("corvane-" + name + ".html");
    const std::string fixture = std::string(CORVANE_FIXTURES) + "/report_after.json";
    ASSERT_TRUE(exitedWith(runProgram({"--from", fixture, "--json"}, saved), 0));
    ASSERT_TRUE(exitedWith(runProgram({"--from", saved, "--json", "--html", page}, out), 0));
    nlohmann::json again = nlohmann::json::parse(contents(out));
    EXPECT_EQ(again["from"]["file"], saved.string());
    again.erase("from");
    nlohmann::json first = nlohmann::json::parse(contents(saved));
    first.erase("from");
    EXPECT_EQ(again, first);
    const std::string html = contents(page);
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>")) << html.substr(0, 80);
    EXPECT_NE(html.find(saved.filename().string()), std::string::npos);

    const Finished notAResult = runProgram({"--from", page}, out);
    EXPECT_TRUE(exitedWith(notAResult, 2));
    EXPECT_NE(notAResult.err.find("--from: " + page.string() + ": not JSON"), std::string::npos)
        << notAResult.err;
    const Finished noFolder = runProgram({"--from", saved, "--html", "/nowhere/page.html"}, out);
    EXPECT_TRUE(exitedWith(noFolder, 2));
    EXPECT_NE(noFolder.err.find("--html: /nowhere: no such directory"), std::string::npos)
        << noFolder.err;
    EXPECT_TRUE(exitedWith(runProgram({"--from", saved, "--bench", "cpu"}, out), 2));
    fs::remove(saved);
    fs::remove(page);
}
